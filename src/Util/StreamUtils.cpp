#include "Util/StreamUtils.hpp"

#include <istream>

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

} // namespace QARNO_4_0_0
