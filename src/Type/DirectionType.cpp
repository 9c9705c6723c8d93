#include "Type/DirectionType.hpp"

#include <iterator>

#include "Util/Exception.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

namespace
{

std::string joinWords(const std::list<std::string>& words)
{
    std::string joined;
    for (const auto& w : words)
    {
        joined += w;
    }
    return joined;
}

} // namespace

DirectionType stringToDirectionType(const std::list<std::string>& words)
{
    if (words.empty())
    {
        QARNO_THROW(Exception,
                    "An empty list of string cannot be converted to QARNO::DirectionType ");
    }

    std::list<std::string> upper = words;
    toupper(upper);

    if (upper.size() > 4)
    {
        QARNO_THROW(Exception, "List of string cannot be converted to QARNO::DirectionType  " +
                                   joinWords(upper));
    }

    auto it = upper.begin();
    const auto end = upper.end();
    // The word that decides: the first word, then, after "ORTHO", the
    // second, then, after "ORTHO N+1", the third.
    std::string current = *it;
    const auto next = std::next(it);

    if (current == "N+1" && next != end && *next == "UNI")
    {
        return DirectionType::NP1_UNI;
    }
    if (current == "SINGLE")
    {
        return DirectionType::SINGLE;
    }
    if (current == "DOUBLE")
    {
        return DirectionType::DOUBLE;
    }

    if (current == "ORTHO")
    {
        ++it;
        if (it == end)
        {
            return DirectionType::ORTHO_NP1_QUAD;
        }
        if (*it == "1")
        {
            return DirectionType::SINGLE;
        }
        if (*it == "2")
        {
            return DirectionType::DOUBLE;
        }
        current = *it;
        if (current == "2N")
        {
            return DirectionType::ORTHO_2N;
        }
        if (current == "N+1")
        {
            ++it;
            if (it == end)
            {
                QARNO_THROW(Exception, "ORTHO N+1 QUAD direction type not yet supported");
            }
            current = *it;
            if (current == "QUAD")
            {
                QARNO_THROW(Exception, "ORTHO N+1 QUAD direction type not yet supported");
            }
            if (current == "NEG")
            {
                QARNO_THROW(Exception, "ORTHO N+1 NEG direction type not yet supported");
            }
            if (current == "UNI")
            {
                return DirectionType::NP1_UNI;
            }
        }
    }

    if (current == "LT")
    {
        QARNO_THROW(Exception, "LT direction type not yet supported");
    }
    if (current == "GPS")
    {
        QARNO_THROW(Exception, "GPS direction type not yet supported");
    }

    QARNO_THROW(Exception,
                "List of strings cannot be converted to QARNO::DirectionType  " + joinWords(upper));
}

DirectionType stringToDirectionType(const std::string& s)
{
    // Cut at every single blank: "ORTHO  2N" holds an empty word and is
    // refused rather than read as "ORTHO 2N".
    std::list<std::string> words;
    size_t start = 0;
    while (true)
    {
        const size_t blank = s.find(' ', start);
        if (blank == std::string::npos)
        {
            words.push_back(s.substr(start));
            break;
        }
        words.push_back(s.substr(start, blank - start));
        start = blank + 1;
    }
    return stringToDirectionType(words);
}

std::string directionTypeToString(const DirectionType& dt)
{
    switch (dt)
    {
    case DirectionType::ORTHO_2N:
        return "ORTHO 2N";
    case DirectionType::ORTHO_NP1_NEG:
        return "ORTHO N+1 NEG";
    case DirectionType::ORTHO_NP1_QUAD:
        return "ORTHO N+1 QUAD";
    case DirectionType::NP1_UNI:
        return "N+1 UNI";
    case DirectionType::SINGLE:
        return "SINGLE";
    case DirectionType::DOUBLE:
        return "DOUBLE";
    }
    QARNO_THROW(Exception, "Unrecognized QARNO::DirectionType " + itos(static_cast<int>(dt)));
}

} // namespace QARNO_4_0_0
