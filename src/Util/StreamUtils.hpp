#ifndef QARNO_UTIL_STREAMUTILS_HPP
#define QARNO_UTIL_STREAMUTILS_HPP

#include <cstdint>
#include <iosfwd>
#include <limits>
#include <string>

namespace QARNO_4_0_0
{

/// Returns `word` to the stream, character by character, so that the next
/// read sees it again: how the token readers of the cache and hot-restart
/// files hand a word they do not know to the reader that comes next. The end
/// of input reached while reading the word is forgotten.
void putBackWord(std::istream& in, const std::string& word);

/// Reads the next white-space-delimited word of a token reader. True when a
/// word was read, also one that ends exactly at the end of the input (the
/// stream is then at its end without having failed): a file need not end
/// with a line end for its last keyword or value to count.
///
///     std::string token;
///     while (readWord(in, token)) { ... putBackWord(in, token); break; }
bool readWord(std::istream& in, std::string& word);

/// Reads the next word as an unsigned decimal number of at most `maxValue`.
/// Only a word made of digits is a number: a sign, any other character or a
/// value above `maxValue` is refused instead of being wrapped round. A
/// refused or missing word fails the stream, so that the token loops stop,
/// and leaves `value` as it was; a refused word stays in the stream.
bool readUnsigned(std::istream& in, std::uint64_t& value,
                  std::uint64_t maxValue = std::numeric_limits<std::uint64_t>::max());

} // namespace QARNO_4_0_0

#endif
