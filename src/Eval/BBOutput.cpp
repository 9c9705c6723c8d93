#include "Eval/BBOutput.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iostream>

#include "Util/Exception.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

namespace
{

/// Calls f(index, field) for every field of `text`, in order, until f
/// answers false.
template <typename F> void forEachField(std::string_view text, F&& f)
{
    size_t index = 0;
    size_t pos = 0;
    const size_t n = text.size();
    while (pos < n)
    {
        while (pos < n && BBOutput::isFieldSeparator(text[pos]))
        {
            ++pos;
        }
        if (pos >= n)
        {
            break;
        }
        size_t end = pos;
        while (end < n && !BBOutput::isFieldSeparator(text[end]))
        {
            ++end;
        }
        if (!f(index, text.substr(pos, end - pos)))
        {
            return;
        }
        ++index;
        pos = end;
    }
}

/// Marks a field written in its escaped form in the text form.
constexpr char ESCAPE = '\\';

bool isControl(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

/// A field that would not read back as itself: the closing word, a field
/// that begins like an escaped one, or one holding a control character
/// (which a text file should not carry).
bool needsEscape(std::string_view field)
{
    if (field == BBOutput::bboEnd || field.front() == ESCAPE)
    {
        return true;
    }
    return std::any_of(field.begin(), field.end(), isControl);
}

/// The escaped form: the mark, then the field with each backslash doubled
/// and each control character as "\xHH".
void appendEscaped(std::string& out, std::string_view field)
{
    static const char HEX[] = "0123456789ABCDEF";
    out += ESCAPE;
    for (const char c : field)
    {
        if (c == ESCAPE)
        {
            out += ESCAPE;
            out += ESCAPE;
        }
        else if (isControl(c))
        {
            const auto byte = static_cast<unsigned char>(c);
            out += ESCAPE;
            out += 'x';
            out += HEX[byte >> 4];
            out += HEX[byte & 0xF];
        }
        else
        {
            out += c;
        }
    }
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
    {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F')
    {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f')
    {
        return c - 'a' + 10;
    }
    return -1;
}

/// The field of a word of the text form; false for an escaped word that is
/// not one `appendEscaped` could have made.
bool unescape(const std::string& word, std::string& field)
{
    field.clear();
    if (word.empty() || word.front() != ESCAPE)
    {
        field = word;
        return true;
    }
    for (size_t i = 1; i < word.size(); ++i)
    {
        if (word[i] != ESCAPE)
        {
            field += word[i];
            continue;
        }
        if (i + 1 < word.size() && word[i + 1] == ESCAPE)
        {
            field += ESCAPE;
            ++i;
            continue;
        }
        if (i + 3 >= word.size() || word[i + 1] != 'x')
        {
            return false;
        }
        const int high = hexValue(word[i + 2]);
        const int low = hexValue(word[i + 3]);
        if (high < 0 || low < 0)
        {
            return false;
        }
        const char decoded = static_cast<char>(high * 16 + low);
        if (BBOutput::isFieldSeparator(decoded))
        {
            return false; // it would split the field when read again
        }
        field += decoded;
        i += 3;
    }
    return !field.empty();
}

bool isObjOrConstraint(BBOutputType type)
{
    return type == BBOutputType::OBJ || type == BBOutputType::EB || type == BBOutputType::PB;
}

} // namespace

const std::string BBOutput::bboStart = "(";
const std::string BBOutput::bboEnd = ")";

BBOutput::BBOutput(const std::string& rawBBO, bool evalOk) : _line(), _evalOk(evalOk)
{
    setBBO(rawBBO, evalOk);
}

const std::string& BBOutput::emptyText()
{
    static const std::string empty;
    return empty;
}

void BBOutput::setBBO(const std::string& rawBBO, bool evalOk)
{
    if (rawBBO.empty())
    {
        _line.reset();
    }
    else
    {
        auto line = std::make_shared<Line>();
        line->text = rawBBO;
        const std::string_view text(line->text);
        forEachField(text,
                     [&line, &text](size_t, std::string_view field)
                     {
                         line->fields.push_back({static_cast<size_t>(field.data() - text.data()),
                                                 field.size(), fieldToDouble(field)});
                         return true;
                     });
        _line = std::move(line);
    }
    _evalOk = evalOk;
}

void BBOutput::appendValue(std::string& line, double value)
{
    if (std::isnan(value))
    {
        line += "nan";
        return;
    }
    if (std::isinf(value))
    {
        line += (value > 0) ? "inf" : "-inf";
        return;
    }
    char text[32];
    const auto written = std::to_chars(text, text + sizeof(text), value);
    line.append(text, written.ptr);
}

void BBOutput::setBBO(const std::vector<double>& values, bool evalOk)
{
    if (values.empty())
    {
        _line.reset();
        _evalOk = evalOk;
        return;
    }
    auto line = std::make_shared<Line>();
    line->fields.reserve(values.size());
    for (const double value : values)
    {
        if (!line->text.empty())
        {
            line->text += ' ';
        }
        const size_t begin = line->text.size();
        appendValue(line->text, value);
        const size_t size = line->text.size() - begin;
        // A finite value reads back from its shortest text as itself; the
        // words of the other ones are read as the text reader reads them.
        const Double read = std::isfinite(value)
                                ? Double(value)
                                : fieldToDouble(std::string_view(line->text).substr(begin, size));
        line->fields.push_back({begin, size, read});
    }
    _line = std::move(line);
    _evalOk = evalOk;
}

size_t BBOutput::getNbFields() const
{
    return _line ? _line->fields.size() : 0;
}

std::string_view BBOutput::getField(size_t i) const
{
    if (!_line || i >= _line->fields.size())
    {
        return std::string_view();
    }
    const Line::Field& field = _line->fields[i];
    return std::string_view(_line->text).substr(field.begin, field.size);
}

Double BBOutput::getFieldValue(size_t i) const
{
    if (!_line || i >= _line->fields.size())
    {
        return Double();
    }
    return _line->fields[i].value;
}

Double BBOutput::fieldToDouble(std::string_view field)
{
    Double d;
    d.atof(std::string(field)); // a word that does not read leaves d undefined
    return d;
}

bool BBOutput::checkSizeMatch(const BBOutputTypeList& bbOutputType) const
{
    const size_t nbTypes = bbOutputType.size();
    const size_t nbFields = getNbFields();
    if (nbTypes == nbFields)
    {
        return true;
    }
    std::cerr << "Error: Parameter BB_OUTPUT_TYPE has " << itos(nbTypes) << " type"
              << (nbTypes >= 2 ? "s" : "") << ", but raw output has " << itos(nbFields) << " field"
              << (nbFields >= 2 ? "s" : "") << ":" << '\n'
              << escapeControlChars(getBBO()) << std::endl;
    return false;
}

bool BBOutput::isComplete(const BBOutputTypeList& bbOutputType) const
{
    if (!checkSizeMatch(bbOutputType))
    {
        return false;
    }
    const size_t n = getNbFields();
    for (size_t i = 0; i < n; ++i)
    {
        if (isObjOrConstraint(bbOutputType[i]) && !_line->fields[i].value.isDefined())
        {
            return false;
        }
    }
    return true;
}

Double BBOutput::getObjective(const BBOutputTypeList& bbOutputType) const
{
    Double obj;
    if (!checkSizeMatch(bbOutputType))
    {
        return obj;
    }
    const size_t n = getNbFields();
    for (size_t i = 0; i < n; ++i)
    {
        if (bbOutputType[i] == BBOutputType::OBJ)
        {
            return _line->fields[i].value;
        }
    }
    return obj;
}

ArrayOfDouble BBOutput::getConstraints(const BBOutputTypeList& bbOutputType) const
{
    if (!checkSizeMatch(bbOutputType))
    {
        return ArrayOfDouble();
    }
    ArrayOfDouble constraints(getNbConstraints(bbOutputType));
    size_t j = 0;
    const size_t n = getNbFields();
    for (size_t i = 0; i < n; ++i)
    {
        if (isConstraint(bbOutputType[i]))
        {
            constraints[j++] = _line->fields[i].value;
        }
    }
    return constraints;
}

bool BBOutput::getCountEval(const BBOutputTypeList& bbOutputType) const
{
    bool countEval = true;
    forEachField(getBBO(),
                 [&](size_t i, std::string_view field)
                 {
                     if (i >= bbOutputType.size())
                     {
                         return false;
                     }
                     if (bbOutputType[i] == BBOutputType::CNT_EVAL)
                     {
                         countEval = stringToBool(std::string(field));
                     }
                     return true;
                 });
    return countEval;
}

ArrayOfDouble BBOutput::getBBOAsArrayOfDouble() const
{
    const size_t n = getNbFields();
    ArrayOfDouble values(n);
    for (size_t i = 0; i < n; ++i)
    {
        values[i] = _line->fields[i].value;
    }
    return values;
}

std::ostream& operator<<(std::ostream& out, const BBOutput& bbo)
{
    const std::string& raw = bbo.getBBO();
    // An ordinary line is written as it stands. A line that would not read
    // back as the same fields (a field ")" would end it early, a control
    // character does not belong in a text file) is written field by field,
    // the odd fields escaped.
    bool plain = std::none_of(raw.begin(), raw.end(), isControl);
    forEachField(raw,
                 [&plain](size_t, std::string_view field)
                 {
                     plain = plain && !needsEscape(field);
                     return plain;
                 });
    out << BBOutput::bboStart << ' ';
    if (plain)
    {
        out << raw;
    }
    else
    {
        std::string text;
        forEachField(raw,
                     [&text](size_t index, std::string_view field)
                     {
                         if (index > 0)
                         {
                             text += ' ';
                         }
                         if (needsEscape(field))
                         {
                             appendEscaped(text, field);
                         }
                         else
                         {
                             text += field;
                         }
                         return true;
                     });
        out << text;
    }
    out << ' ' << BBOutput::bboEnd;
    return out;
}

std::istream& operator>>(std::istream& in, BBOutput& bbo)
{
    std::string word;
    in >> word;
    if (word != BBOutput::bboStart)
    {
        in.setstate(std::ios::failbit);
        QARNO_THROW(Exception, "Expecting \"" + BBOutput::bboStart + "\", got \"" +
                                   escapeControlChars(word) + "\"");
    }

    std::string text;
    std::string field;
    while (true)
    {
        word.clear();
        in >> word;
        if (in.fail())
        {
            if (word == BBOutput::bboEnd)
            {
                break;
            }
            in.setstate(std::ios::failbit);
            QARNO_THROW(Exception, "Expecting \"" + BBOutput::bboEnd + "\", got \"" +
                                       escapeControlChars(word) + "\"");
        }
        if (word == BBOutput::bboEnd)
        {
            break;
        }
        if (!unescape(word, field))
        {
            in.setstate(std::ios::failbit);
            QARNO_THROW(Exception, "Invalid escaped word in blackbox output: \"" +
                                       escapeControlChars(word) + "\"");
        }
        if (!text.empty())
        {
            text += ' ';
        }
        text += field;
    }
    bbo.setBBO(text, true);
    return in;
}

} // namespace QARNO_4_0_0
