#include "Type/BBInputType.hpp"

#include "Util/ArrayOfString.hpp"
#include "Util/Exception.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

namespace
{

const char* const UNRECOGNIZED = "Unrecognized string for QARNO::BBInputType: ";

} // namespace

BBInputType stringToBBInputType(const std::string& s)
{
    std::string word = s;
    toupper(word);

    if (word == "R")
    {
        return BBInputType::CONTINUOUS;
    }
    if (word == "*R")
    {
        return BBInputType::ALL_CONTINUOUS;
    }
    if (word == "I")
    {
        return BBInputType::INTEGER;
    }
    if (word == "*I")
    {
        return BBInputType::ALL_INTEGER;
    }
    if (word == "B")
    {
        return BBInputType::BINARY;
    }
    if (word == "*B")
    {
        return BBInputType::ALL_BINARY;
    }
    QARNO_THROW(Exception, UNRECOGNIZED + word);
}

BBInputTypeList stringToBBInputTypeList(const std::string& s)
{
    BBInputTypeList list;
    const ArrayOfString words(s, " ");
    const size_t n = words.size();
    if (n == 0)
    {
        return list;
    }

    const bool hasStar = (s.find('*') != std::string::npos);

    if (n >= 2 && words[0] == "(" && words[n - 1] == ")")
    {
        // A starred type stands for every variable: it has no place in a list.
        if (hasStar)
        {
            QARNO_THROW(Exception, UNRECOGNIZED + s);
        }
        for (size_t i = 1; i + 1 < n; ++i)
        {
            list.push_back(stringToBBInputType(words[i]));
        }
        return list;
    }

    if (hasStar)
    {
        // "* R" and "*R" are the same type once the words are glued together.
        std::string word;
        for (size_t i = 0; i < n; ++i)
        {
            word += words[i];
        }
        list.push_back(stringToBBInputType(word));
        return list;
    }

    QARNO_THROW(Exception, UNRECOGNIZED + s);
}

} // namespace QARNO_4_0_0
