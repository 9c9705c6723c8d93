#include "Type/LHSearchType.hpp"

#include "Util/ArrayOfString.hpp"
#include "Util/Exception.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

namespace
{

// One count of points. A word that is not an integer, or a negative one,
// would otherwise turn into a near-infinite number of points to generate.
size_t readNbPoints(const std::string& word)
{
    int value = -1;
    if (!atoi(word, value) || value < 0)
    {
        QARNO_THROW(Exception, "LHSearchType: invalid number of points: " + word);
    }
    return static_cast<size_t>(value);
}

} // namespace

LHSearchType::LHSearchType(const std::string& text)
{
    if (text.empty())
    {
        return;
    }

    const ArrayOfString words(text, " ");
    if (words.size() != 2)
    {
        QARNO_THROW(Exception, "LHSearchType must have 2 entries, got " + itos(words.size()) +
                                   "( " + text + " )");
    }

    _nbInitial = readNbPoints(words[0]);
    _nbIteration = readNbPoints(words[1]);
    _enabled = (_nbInitial != 0 || _nbIteration != 0);
}

} // namespace QARNO_4_0_0
