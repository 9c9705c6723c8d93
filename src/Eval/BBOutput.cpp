#include "Eval/BBOutput.hpp"

#include <iostream>

#include "Util/Exception.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

namespace
{

const char* const SOURCE_FILE = "src/Eval/BBOutput";

/// Calls f(index, field) for every field of `text`, in order, until f
/// answers false. Only the blank separates fields.
template <typename F> void forEachField(std::string_view text, F&& f)
{
    size_t index = 0;
    size_t pos = 0;
    const size_t n = text.size();
    while (pos < n)
    {
        while (pos < n && text[pos] == ' ')
        {
            ++pos;
        }
        if (pos >= n)
        {
            break;
        }
        size_t end = pos;
        while (end < n && text[end] != ' ')
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

bool isObjOrConstraint(BBOutputType type)
{
    return type == BBOutputType::OBJ || type == BBOutputType::EB || type == BBOutputType::PB;
}

} // namespace

const std::string BBOutput::bboStart = "(";
const std::string BBOutput::bboEnd = ")";

BBOutput::BBOutput(const std::string& rawBBO, bool evalOk) : _rawBBO(), _evalOk(evalOk)
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
        _rawBBO.reset();
    }
    else
    {
        _rawBBO = std::make_shared<const std::string>(rawBBO);
    }
    _evalOk = evalOk;
}

size_t BBOutput::getNbFields() const
{
    size_t count = 0;
    forEachField(getBBO(), [&count](size_t, std::string_view) {
        ++count;
        return true;
    });
    return count;
}

std::string_view BBOutput::getField(size_t i) const
{
    std::string_view found;
    forEachField(getBBO(), [&found, i](size_t index, std::string_view field) {
        if (index == i)
        {
            found = field;
            return false;
        }
        return true;
    });
    return found;
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
              << (nbTypes >= 2 ? "s" : "") << ", but raw output has " << itos(nbFields)
              << " field" << (nbFields >= 2 ? "s" : "") << ":" << '\n'
              << getBBO() << std::endl;
    return false;
}

bool BBOutput::isComplete(const BBOutputTypeList& bbOutputType) const
{
    if (!checkSizeMatch(bbOutputType))
    {
        return false;
    }
    bool complete = true;
    forEachField(getBBO(), [&](size_t i, std::string_view field) {
        if (isObjOrConstraint(bbOutputType[i]) && !fieldToDouble(field).isDefined())
        {
            complete = false;
        }
        return complete;
    });
    return complete;
}

Double BBOutput::getObjective(const BBOutputTypeList& bbOutputType) const
{
    Double obj;
    if (!checkSizeMatch(bbOutputType))
    {
        return obj;
    }
    forEachField(getBBO(), [&](size_t i, std::string_view field) {
        if (bbOutputType[i] == BBOutputType::OBJ)
        {
            obj = fieldToDouble(field);
            return false;
        }
        return true;
    });
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
    forEachField(getBBO(), [&](size_t i, std::string_view field) {
        if (isConstraint(bbOutputType[i]))
        {
            constraints[j++] = fieldToDouble(field);
        }
        return true;
    });
    return constraints;
}

bool BBOutput::getCountEval(const BBOutputTypeList& bbOutputType) const
{
    bool countEval = true;
    forEachField(getBBO(), [&](size_t i, std::string_view field) {
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
    ArrayOfDouble values(getNbFields());
    forEachField(getBBO(), [&values](size_t i, std::string_view field) {
        values[i] = fieldToDouble(field);
        return true;
    });
    return values;
}

std::ostream& operator<<(std::ostream& out, const BBOutput& bbo)
{
    out << BBOutput::bboStart << " " << bbo.getBBO() << " " << BBOutput::bboEnd;
    return out;
}

std::istream& operator>>(std::istream& in, BBOutput& bbo)
{
    std::string word;
    in >> word;
    if (word != BBOutput::bboStart)
    {
        in.setstate(std::ios::failbit);
        throw Exception(SOURCE_FILE, __LINE__,
                        "Expecting \"" + BBOutput::bboStart + "\", got \"" + word + "\"");
    }

    std::string text;
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
            throw Exception(SOURCE_FILE, __LINE__,
                            "Expecting \"" + BBOutput::bboEnd + "\", got \"" + word + "\"");
        }
        if (word == BBOutput::bboEnd)
        {
            break;
        }
        if (!text.empty())
        {
            text += ' ';
        }
        text += word;
    }
    bbo.setBBO(text, true);
    return in;
}

} // namespace QARNO_4_0_0
