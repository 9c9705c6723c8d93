#include "Type/BBOutputType.hpp"

#include <algorithm>

#include "Util/ArrayOfString.hpp"
#include "Util/Exception.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

BBOutputType stringToBBOutputType(const std::string& s)
{
    std::string word = s;
    toupper(word);

    if (word == "OBJ")
    {
        return BBOutputType::OBJ;
    }
    if (word == "EB")
    {
        return BBOutputType::EB;
    }
    if (word == "PB")
    {
        return BBOutputType::PB;
    }
    if (word == "CNT_EVAL")
    {
        return BBOutputType::CNT_EVAL;
    }
    // The names under which an output that the optimisation does not use may appear.
    if (word == "EXTRA_O" || word == "NOTHING" || word == "-" || word == "BBO_UNDEFINED")
    {
        return BBOutputType::BBO_UNDEFINED;
    }
    QARNO_THROW(Exception, "Unrecognized string for QARNO::BBOutputType: " + word);
}

BBOutputTypeList stringToBBOutputTypeList(const std::string& s)
{
    BBOutputTypeList list;
    const ArrayOfString words(s, " ");
    list.reserve(words.size());
    for (size_t i = 0; i < words.size(); ++i)
    {
        list.push_back(stringToBBOutputType(words[i]));
    }
    return list;
}

std::string BBOutputTypeListToString(const BBOutputTypeList& bbotList)
{
    std::string text;
    for (const auto& bbot : bbotList)
    {
        switch (bbot)
        {
        case BBOutputType::OBJ:
            text += "OBJ";
            break;
        case BBOutputType::EB:
            text += "EB";
            break;
        case BBOutputType::PB:
            text += "PB";
            break;
        case BBOutputType::CNT_EVAL:
            text += "CNT_EVAL";
            break;
        default:
            text += "BBO_UNDEFINED";
            break;
        }
        text += " ";
    }
    return text;
}

bool BBOutputTypeIsConstraint(const BBOutputType& bbot)
{
    return bbot == BBOutputType::EB || bbot == BBOutputType::PB;
}

bool isConstraint(const BBOutputType& bbot)
{
    return BBOutputTypeIsConstraint(bbot);
}

size_t getNbConstraints(const BBOutputTypeList& bbotList)
{
    return static_cast<size_t>(
        std::count_if(bbotList.begin(), bbotList.end(), BBOutputTypeIsConstraint));
}

size_t getNbObj(const BBOutputTypeList& bbotList)
{
    return static_cast<size_t>(std::count(bbotList.begin(), bbotList.end(), BBOutputType::OBJ));
}

} // namespace QARNO_4_0_0
