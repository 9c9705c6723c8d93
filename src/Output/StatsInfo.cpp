#include "Output/StatsInfo.hpp"

#include <charconv>
#include <cmath>

#include "Param/DisplayParameters.hpp"
#include "Util/ArrayOfString.hpp"

namespace QARNO_4_0_0
{

namespace
{

/// The keyword texts, indexed by the value of `DisplayStatsType`.
const char* const KEYWORD_TEXTS[] = {"OBJ",        "CONS_H",       "H_MAX",       "BBE",
                                     "FEAS_BBE",   "INF_BBE",      "ALGO_BBE",    "BLK_EVA",
                                     "BLK_SIZE",   "LAP",          "SGTE",        "TOTAL_SGTE",
                                     "BBO",        "EVAL",         "REL_SUCC",    "PHASE_ONE_SUCC",
                                     "CACHE_HITS", "CACHE_SIZE",   "ITER_NUM",    "TIME",
                                     "MESH_INDEX", "MESH_SIZE",    "DELTA_M",     "FRAME_SIZE",
                                     "DELTA_F",    "SOL",          "THREAD_ALGO", "THREAD_NUM",
                                     "GEN_STEP",   "SUCCESS_TYPE", "USER"};

constexpr int NB_KEYWORDS = static_cast<int>(sizeof(KEYWORD_TEXTS) / sizeof(KEYWORD_TEXTS[0]));
static_assert(NB_KEYWORDS == static_cast<int>(DisplayStatsType::USER) + 1, "one text per keyword");

/// Integers go straight into the line: no stream, no locale.
template <typename INT> void appendInteger(std::string& line, INT value)
{
    char buffer[24];
    const std::to_chars_result res = std::to_chars(buffer, buffer + sizeof(buffer), value);
    line.append(buffer, res.ptr);
}

/// The precision of the objective: the largest precision of `solFormat`,
/// truncated. Bounded so that a hand-made format cannot ask for a
/// conversion outside the int range or for a huge buffer.
int objectivePrecision(const ArrayOfDouble& solFormat)
{
    const double largest = std::trunc(solFormat.max().todouble());
    if (largest < -1.0)
    {
        return -1;
    }
    if (largest > DisplayParameters::maxSolFormatPrecision)
    {
        return DisplayParameters::maxSolFormatPrecision;
    }
    return static_cast<int>(largest);
}

/// `d` with `precision` decimals, right-aligned in at least `width`
/// characters, whatever the precision (the default form of `Double::display`
/// ignores the width).
std::string alignedDisplay(const Double& d, int precision, size_t width)
{
    std::string text = d.display(precision, width);
    if (text.size() < width)
    {
        text.insert(0, width - text.size(), ' ');
    }
    return text;
}

} // namespace

StatsInfo::StatsInfo()
    : _obj(), _consH(), _hMax(), _bbe(0), _feasBBE(0), _infBBE(0), _relSucc(0), _phaseOneSucc(0),
      _algoBBE(0), _blkEva(0), _blkSize(0), _bbo(), _eval(0), _cacheHits(0), _cacheSize(0),
      _iterNum(0), _time(0), _meshIndex(), _meshSize(), _frameSize(), _lap(0), _sgte(0),
      _totalSgte(0), _sol(), _threadAlgo(0), _threadNum(0), _success(false), _comment(), _genStep(),
      _successType(SuccessType::NOT_EVALUATED)
{
}

std::string StatsInfo::displayStatsTypeToString(const DisplayStatsType& displayStatsType)
{
    const int value = static_cast<int>(displayStatsType);
    if (value < 0 || value >= NB_KEYWORDS)
    {
        return "UNDEFINED";
    }
    return KEYWORD_TEXTS[value];
}

DisplayStatsType StatsInfo::stringToDisplayStatsType(const std::string& word, std::string& format)
{
    std::string keyword;
    if (!separateFormat(word, format, keyword))
    {
        format.clear();
        keyword = word;
    }
    toupper(keyword);

    // Synonyms first; DELTA_M and DELTA_F are read as the columns they name.
    if (keyword == "DELTA_M")
    {
        return DisplayStatsType::MESH_SIZE;
    }
    if (keyword == "DELTA_F" || keyword == "POLL_SIZE" || keyword == "DELTA_P")
    {
        return DisplayStatsType::FRAME_SIZE;
    }
    for (int i = 0; i < NB_KEYWORDS; ++i)
    {
        if (keyword == KEYWORD_TEXTS[i])
        {
            return static_cast<DisplayStatsType>(i);
        }
    }
    return DisplayStatsType::USER;
}

bool StatsInfo::alwaysDisplay(bool displayInfeasible, bool displayUnsuccessful) const
{
    if (!_obj.isDefined())
    {
        return false;
    }
    // The first evaluation is always shown.
    if (_bbe <= 1)
    {
        return true;
    }
    if (!displayInfeasible &&
        !(_consH.isDefined() && std::fabs(_consH.todouble()) < Double::getEpsilon()))
    {
        return false;
    }
    if (!displayUnsuccessful && !_success)
    {
        return false;
    }
    return true;
}

std::string StatsInfo::displayHeader(const ArrayOfString& format,
                                     const ArrayOfDouble& /*solFormat*/, size_t /*objWidth*/) const
{
    // An empty format shows the columns BBE and OBJ (see display): the
    // header names them too.
    if (format.size() == 0)
    {
        return "BBE OBJ";
    }
    ArrayOfString words;
    for (size_t i = 0; i < format.size(); ++i)
    {
        std::string displayFormat;
        std::string word;
        separateFormat(format[i], displayFormat, word);
        words.add(word);
    }
    return words.display();
}

std::string StatsInfo::display(const ArrayOfString& format, const ArrayOfDouble& solFormat,
                               size_t objWidth, size_t hWidth, bool markSuccess,
                               bool appendComment) const
{
    if (format.size() == 0)
    {
        return display(ArrayOfString("BBE OBJ", " "), solFormat, objWidth, 0, false, true);
    }

    int objPrecision = 0;
    int hPrecision = -1;
    if (solFormat.isDefined())
    {
        objPrecision = objectivePrecision(solFormat);
        hPrecision = (objWidth >= hWidth) ? objPrecision : -1;
    }

    std::string line;
    line.reserve(16 * format.size());
    for (size_t i = 0; i < format.size(); ++i)
    {
        const std::string& word = format[i];
        std::string wordFormat;
        switch (stringToDisplayStatsType(word, wordFormat))
        {
        case DisplayStatsType::OBJ:
            line += wordFormat.empty() ? alignedDisplay(_obj, objPrecision, objWidth)
                                       : _obj.display(wordFormat);
            break;
        case DisplayStatsType::CONS_H:
            line += wordFormat.empty() ? alignedDisplay(_consH, hPrecision, hWidth)
                                       : _consH.display(wordFormat);
            break;
        case DisplayStatsType::H_MAX:
            line += wordFormat.empty() ? alignedDisplay(_hMax, hPrecision, hWidth)
                                       : _hMax.display(wordFormat);
            break;
        case DisplayStatsType::BBE:
            appendInteger(line, _bbe);
            break;
        case DisplayStatsType::FEAS_BBE:
            appendInteger(line, _feasBBE);
            break;
        case DisplayStatsType::INF_BBE:
            appendInteger(line, _infBBE);
            break;
        case DisplayStatsType::ALGO_BBE:
            appendInteger(line, _algoBBE);
            break;
        case DisplayStatsType::BLK_EVA:
            appendInteger(line, _blkEva);
            break;
        case DisplayStatsType::BLK_SIZE:
            appendInteger(line, _blkSize);
            break;
        case DisplayStatsType::LAP:
            appendInteger(line, _lap);
            break;
        case DisplayStatsType::SGTE:
            appendInteger(line, _sgte);
            break;
        case DisplayStatsType::TOTAL_SGTE:
            appendInteger(line, _totalSgte);
            break;
        case DisplayStatsType::BBO:
            line += _bbo;
            break;
        case DisplayStatsType::EVAL:
            appendInteger(line, _eval);
            break;
        case DisplayStatsType::REL_SUCC:
            appendInteger(line, _relSucc);
            break;
        case DisplayStatsType::PHASE_ONE_SUCC:
            appendInteger(line, _phaseOneSucc);
            break;
        case DisplayStatsType::CACHE_HITS:
            appendInteger(line, _cacheHits);
            break;
        case DisplayStatsType::CACHE_SIZE:
            appendInteger(line, _cacheSize);
            break;
        case DisplayStatsType::ITER_NUM:
            appendInteger(line, _iterNum);
            break;
        case DisplayStatsType::TIME:
            appendInteger(line, _time);
            break;
        case DisplayStatsType::MESH_INDEX:
            line += _meshIndex.display(solFormat);
            break;
        case DisplayStatsType::MESH_SIZE:
        case DisplayStatsType::DELTA_M:
            line += _meshSize.display(solFormat);
            break;
        case DisplayStatsType::FRAME_SIZE:
        case DisplayStatsType::DELTA_F:
            line += _frameSize.display(solFormat);
            break;
        case DisplayStatsType::SOL:
            line += _sol.displayNoPar(solFormat);
            break;
        case DisplayStatsType::THREAD_ALGO:
            appendInteger(line, _threadAlgo);
            break;
        case DisplayStatsType::THREAD_NUM:
            appendInteger(line, _threadNum);
            break;
        case DisplayStatsType::GEN_STEP:
            line += _genStep;
            break;
        case DisplayStatsType::SUCCESS_TYPE:
            line += enumStr(_successType);
            break;
        case DisplayStatsType::USER:
            line += word;
            break;
        }

        if (i + 1 < format.size())
        {
            // Tabs set points and arrays apart from the columns around them.
            const bool tab =
                (word == ArrayOfDouble::pEnd || format[i + 1] == ArrayOfDouble::pStart);
            line += tab ? '\t' : ' ';
        }
    }

    if (appendComment && !_comment.empty())
    {
        line += ' ';
        line += _comment;
    }
    if (markSuccess && _success)
    {
        line += " *";
    }
    return line;
}

} // namespace QARNO_4_0_0
