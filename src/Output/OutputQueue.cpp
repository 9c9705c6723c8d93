#include "Output/OutputQueue.hpp"

#include <algorithm>
#include <cstddef>
#include <exception>
#include <iostream>
#include <limits>
#include <locale>
#include <utility>

#include "Math/ArrayOfDouble.hpp"
#include "Math/Double.hpp"
#include "Output/StatsInfo.hpp"
#include "Param/DisplayParameters.hpp"
#include "Util/Exception.hpp"
#include "Util/Utils.hpp"
#include "Util/WriteFailures.hpp"

namespace QARNO_4_0_0
{

namespace
{

/// DISPLAY_HEADER INF: the header is never shown.
constexpr size_t INF_SIZE_T = std::numeric_limits<size_t>::max();

/// Shown once per record at the first depth that is cut off.
const char* const CUT_LINE = "........................................";

/// Four blanks per block depth.
const char* const INDENT_STEP = "    ";

/// Statistics file lines keep every digit a double can carry.
constexpr double STATS_FILE_PRECISION = 20.0;
} // namespace

std::unique_ptr<OutputQueue> OutputQueue::_single;
bool OutputQueue::_hasBeenInitialized = false;

OutputQueue::OutputQueue()
    : _queue(), _params(), _statsFileName(), _statsFile(), _statsFileFormat(), _statsLineCount(0),
      _objWidth(0), _hWidth(0), _maxStepLevel(20), _maxOutputLevel(OutputLevel::LEVEL_FULL_DEBUG),
      _indentLevel(0), _blockStart("{"), _blockEnd("}")
{
    _statsFile.imbue(std::locale::classic());
}

OutputQueue::~OutputQueue()
{
    // Runs at the end of the process: whatever goes wrong is reported, never
    // thrown.
    try
    {
        if (!_queue.empty())
        {
            flush();
        }
    }
    catch (const std::exception& e)
    {
        std::cerr << e.what() << std::endl;
    }
    catch (...)
    {
        std::cerr << "OutputQueue: unknown error while flushing the queue" << std::endl;
    }
    if (!_statsFileName.empty())
    {
        _statsFile.close();
    }
}

const std::unique_ptr<OutputQueue>& OutputQueue::getInstance()
{
    if (nullptr == _single)
    {
        _single.reset(new OutputQueue());
    }
    return _single;
}

void OutputQueue::resetInstance()
{
    if (nullptr != _single)
    {
        // Pending records belong to whatever ran before; they are not shown.
        _single->_queue.clear();
        _single.reset();
    }
    _hasBeenInitialized = false;
}

void OutputQueue::Add(OutputInfo outputInfo)
{
    getInstance()->add(std::move(outputInfo));
}

void OutputQueue::add(OutputInfo outputInfo)
{
    if (goodLevel(outputInfo.getOutputLevel()))
    {
        _queue.push_back(std::move(outputInfo));
    }
}

void OutputQueue::add(const std::string& msg, OutputLevel outputLevel)
{
    if (goodLevel(outputLevel))
    {
        _queue.emplace_back(std::string(), msg, outputLevel);
    }
}

bool OutputQueue::goodLevel(const OutputLevel& outputLevel) const
{
    // Statistics lines reach the statistics file even when the display does
    // not show them.
    return outputLevel <= _maxOutputLevel ||
           (outputLevel <= OutputLevel::LEVEL_STATS && !_statsFileName.empty());
}

void OutputQueue::setDisplayDegree(int displayDegree)
{
    switch (displayDegree)
    {
    case 0:
        _maxOutputLevel = OutputLevel::LEVEL_NONE;
        break;
    case 1:
        _maxOutputLevel = OutputLevel::LEVEL_VERY_HIGH;
        break;
    case 2:
        _maxOutputLevel = OutputLevel::LEVEL_NORMAL;
        break;
    case 3:
        _maxOutputLevel = OutputLevel::LEVEL_INFO;
        break;
    case 4:
        _maxOutputLevel = OutputLevel::LEVEL_DEBUG;
        break;
    case 5:
        _maxOutputLevel = OutputLevel::LEVEL_FULL_DEBUG;
        break;
    default:
        std::cerr << "Unrecognized display degree to set: " << itos(displayDegree) << std::endl;
        _maxOutputLevel = OutputLevel::LEVEL_NORMAL;
        break;
    }
}

void OutputQueue::initParameters(const std::shared_ptr<DisplayParameters>& displayParams)
{
    if (_hasBeenInitialized)
    {
        reset();
    }

    _params = displayParams;
    if (nullptr == _params)
    {
        QARNO_THROW(Exception, "OutputQueue::initParameters: Display Parameters are NULL");
    }

    setDisplayDegree(_params->getAttributeValue<int>("DISPLAY_DEGREE"));
    _maxStepLevel = _params->getAttributeValue<size_t>("MAX_DISPLAY_STEP_LEVEL");
    _objWidth = _params->getAttributeValue<size_t>("OBJ_WIDTH");
    _hWidth = _objWidth;

    // STATS_FILE: a file name followed by the words of its format. A lone
    // word is no statistics file.
    const ArrayOfString& statsFile = _params->getAttributeValue<ArrayOfString>("STATS_FILE");
    std::string statsFileName;
    ArrayOfString statsFileFormat;
    if (statsFile.size() >= 2)
    {
        statsFileName = statsFile[0];
        for (size_t i = 1; i < statsFile.size(); ++i)
        {
            statsFileFormat.add(statsFile[i]);
        }
    }
    _statsFileName = statsFileName;
    initStatsFile();
    _statsFileFormat = statsFileFormat;

    _hasBeenInitialized = true;
}

void OutputQueue::flush()
{
    if (_queue.empty())
    {
        return;
    }

    if (_maxOutputLevel > OutputLevel::LEVEL_DEBUG)
    {
        std::cout << "Output all " << itos(_queue.size()) << " elements." << std::endl;
    }

    size_t i = 0;
    try
    {
        for (; i < _queue.size(); ++i)
        {
            flushBlock(_queue[i]);
        }
    }
    catch (...)
    {
        // The records already shown (statistics already written) leave the
        // queue with the one that failed, so that a later flush neither
        // repeats them nor fails again on the same record.
        _queue.erase(_queue.begin(), _queue.begin() + static_cast<std::ptrdiff_t>(i + 1));
        throw;
    }
    _queue.clear();
}

void OutputQueue::flushBlock(const OutputInfo& outputInfo)
{
    const StatsInfo* stats = outputInfo.getStatsInfo();
    flushStatsToStatsFile(stats);

    const OutputLevel outputLevel = outputInfo.getOutputLevel();
    if (outputLevel > _maxOutputLevel)
    {
        // Hidden: its block flags have no effect either.
        return;
    }

    if (OutputLevel::LEVEL_STATS == outputLevel)
    {
        flushStatsToStdout(stats);
        return;
    }

    const bool isBlockStart = outputInfo.isBlockStart();
    const bool isBlockEnd = outputInfo.isBlockEnd();
    if (isBlockEnd)
    {
        if (_indentLevel <= 0)
        {
            // The depth stays 0: the next records are laid out as if this
            // end had not been queued.
            QARNO_THROW(Exception, "OutputQueue has more block ends than block starts.");
        }
        --_indentLevel;
    }
    const int depth = _indentLevel;

    if (static_cast<size_t>(depth) > _maxStepLevel)
    {
        if (static_cast<size_t>(depth) - 1 == _maxStepLevel)
        {
            indent(depth);
            std::cout << CUT_LINE << std::endl;
        }
    }
    else
    {
        const ArrayOfString& lines = outputInfo.getMsg();
        for (size_t i = 0; i < lines.size(); ++i)
        {
            indent(depth);
            if (isBlockEnd)
            {
                endBlock();
            }
            std::cout << lines[i];
            if (isBlockStart)
            {
                startBlock();
            }
            std::cout << std::endl;
        }
    }

    if (isBlockStart)
    {
        ++_indentLevel;
    }
}

void OutputQueue::startBlock()
{
    std::cout << ' ' << _blockStart;
}

void OutputQueue::endBlock()
{
    std::cout << _blockEnd << ' ';
}

void OutputQueue::indent(int n)
{
    for (int i = 0; i < n; ++i)
    {
        std::cout << INDENT_STEP;
    }
}

void OutputQueue::reset()
{
    try
    {
        flush();
    }
    catch (...)
    {
        // The reset still completes: a next run must not write into this
        // run's statistics file.
        if (!_statsFileName.empty())
        {
            _statsFile.close();
        }
        _hasBeenInitialized = false;
        throw;
    }
    if (!_statsFileName.empty())
    {
        _statsFile.close();
    }
    _hasBeenInitialized = false;
}

void OutputQueue::initStatsFile()
{
    if (_statsFileName.empty())
    {
        return;
    }
    if (_statsFile.is_open())
    {
        _statsFile.close();
    }
    _statsFile.clear();
    _statsFile.open(_statsFileName, std::ios::out | std::ios::trunc);
    if (!_statsFile.is_open())
    {
        std::cerr << "Warning: could not open stats file " << _statsFileName << std::endl;
        WriteFailures::record(_statsFileName);
    }
}

void OutputQueue::flushStatsToStdout(const StatsInfo* stats)
{
    if (nullptr == stats)
    {
        return;
    }
    if (nullptr == _params)
    {
        QARNO_THROW(Exception, "OutputQueue: Display Parameters are NULL");
    }

    const bool displayInfeasible = _params->getAttributeValue<bool>("DISPLAY_INFEASIBLE");
    const bool displayUnsuccessful = _params->getAttributeValue<bool>("DISPLAY_UNSUCCESSFUL");
    const bool displayAllEval = _params->getAttributeValue<bool>("DISPLAY_ALL_EVAL");
    const size_t displayHeader = _params->getAttributeValue<size_t>("DISPLAY_HEADER");
    const ArrayOfString& format = _params->getAttributeValue<ArrayOfString>("DISPLAY_STATS");
    const ArrayOfDouble& solFormat = _params->getAttributeValue<ArrayOfDouble>("SOL_FORMAT");

    // From display degree 3 on, the step lines come between the statistics
    // lines and a header would no longer head anything.
    const size_t headerPeriod =
        (_maxOutputLevel < OutputLevel::LEVEL_INFO) ? displayHeader : INF_SIZE_T;

    if (!displayAllEval && !stats->alwaysDisplay(displayInfeasible, displayUnsuccessful))
    {
        return;
    }

    // The columns only grow, so that the lines of a run stay aligned.
    _objWidth = std::max(
        _objWidth,
        stats->display(ArrayOfString(1, "OBJ"), solFormat, _objWidth, _hWidth, false, false)
            .size());
    _hWidth = std::max(
        _hWidth,
        stats->display(ArrayOfString(1, "CONS_H"), solFormat, _objWidth, _hWidth, false, false)
            .size());
    _hWidth = std::max(
        _hWidth,
        stats->display(ArrayOfString(1, "H_MAX"), solFormat, _objWidth, _hWidth, false, false)
            .size());

    // A period of 0 shows the header once, above the first line.
    bool showHeader = false;
    if (INF_SIZE_T != headerPeriod)
    {
        showHeader =
            (0 == headerPeriod) ? (0 == _statsLineCount) : (0 == _statsLineCount % headerPeriod);
    }
    if (showHeader)
    {
        if (0 != _statsLineCount)
        {
            std::cout << '\n';
        }
        std::cout << stats->displayHeader(format, solFormat, _objWidth) << '\n';
    }

    std::cout << stats->display(format, solFormat, _objWidth, _hWidth,
                                displayUnsuccessful || displayAllEval, true)
              << std::endl;
    ++_statsLineCount;
}

void OutputQueue::flushStatsToStatsFile(const StatsInfo* stats)
{
    if (_statsFileName.empty() || nullptr == stats)
    {
        return;
    }
    if (nullptr == _params)
    {
        QARNO_THROW(Exception, "OutputQueue: Display Parameters are NULL");
    }

    const bool displayInfeasible = _params->getAttributeValue<bool>("DISPLAY_INFEASIBLE");
    const bool displayUnsuccessful = _params->getAttributeValue<bool>("DISPLAY_UNSUCCESSFUL");
    if (!stats->alwaysDisplay(displayInfeasible, displayUnsuccessful))
    {
        return;
    }
    if (!_statsFile.is_open() || !_statsFile)
    {
        // Reported when the file was opened, or when a line was lost.
        return;
    }

    const ArrayOfDouble& solFormat = _params->getAttributeValue<ArrayOfDouble>("SOL_FORMAT");
    const ArrayOfDouble precisions(solFormat.size(), Double(STATS_FILE_PRECISION));
    _statsFile << stats->display(_statsFileFormat, precisions, 0, 0, false, false) << std::endl;
    if (!_statsFile)
    {
        std::cerr << "Warning: could not write stats file " << _statsFileName
                  << ": the statistics are incomplete" << std::endl;
        WriteFailures::record(_statsFileName);
    }
}

} // namespace QARNO_4_0_0
