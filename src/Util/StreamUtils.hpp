#ifndef QARNO_UTIL_STREAMUTILS_HPP
#define QARNO_UTIL_STREAMUTILS_HPP

#include <iosfwd>
#include <string>

namespace QARNO_4_0_0
{

/// Returns `word` to the stream, character by character, so that the next
/// read sees it again: how the token readers of the cache and hot-restart
/// files hand a word they do not know to the reader that comes next. The end
/// of input reached while reading the word is forgotten.
void putBackWord(std::istream& in, const std::string& word);

} // namespace QARNO_4_0_0

#endif
