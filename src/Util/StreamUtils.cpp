#include "Util/StreamUtils.hpp"

#include <charconv>
#include <istream>
#include <system_error>

namespace QARNO_4_0_0
{

void putBackWord(std::istream& in, const std::string& word)
{
    if (word.empty())
    {
        return;
    }
    in.clear(in.rdstate() & ~(std::ios::failbit | std::ios::eofbit));
    for (auto it = word.rbegin(); it != word.rend(); ++it)
    {
        in.putback(*it);
    }
}

bool readWord(std::istream& in, std::string& word)
{
    word.clear();
    // Only a failed extraction ends the loop: the end-of-input flag alone
    // means the word ran up to the end of the file.
    return static_cast<bool>(in >> word);
}

bool readUnsigned(std::istream& in, std::uint64_t& value, std::uint64_t maxValue)
{
    std::string word;
    if (!readWord(in, word))
    {
        return false;
    }
    // from_chars on an unsigned type takes neither "-" nor "+", and reports
    // an overflow instead of wrapping.
    std::uint64_t parsed = 0;
    const char* const end = word.data() + word.size();
    const std::from_chars_result res = std::from_chars(word.data(), end, parsed);
    if (res.ec != std::errc() || res.ptr != end || parsed > maxValue)
    {
        // Left in the stream, as a failed extraction of a number leaves
        // what it could not read.
        putBackWord(in, word);
        in.setstate(std::ios::failbit);
        return false;
    }
    value = parsed;
    return true;
}

} // namespace QARNO_4_0_0
