#ifndef QARNO_UTIL_UTILS_HPP
#define QARNO_UTIL_UTILS_HPP

#include <cstddef>
#include <list>
#include <string>
#include <string_view>

namespace QARNO_4_0_0
{

/// Outcome of comparing a new evaluation with the incumbents. The order
/// matters: a value of PARTIAL_SUCCESS or more is an improvement.
enum class SuccessType
{
    NOT_EVALUATED,   ///< "Not evaluated yet"
    FAILURE,         ///< "Failure"
    PARTIAL_SUCCESS, ///< "Partial success (improving)"
    FULL_SUCCESS     ///< "Full success (dominating)"
};

/// Text of a success type; throws on a value outside the enumeration.
std::string enumStr(SuccessType s);

// ---------------------------------------------------------------------------
// Files and paths
// ---------------------------------------------------------------------------

/// True when the process may execute / read / write the file (POSIX access).
bool checkExeFile(const std::string& path);
bool checkReadFile(const std::string& path);
bool checkWriteFile(const std::string& path);

/// True when the first character is "/".
bool isAbsolute(const std::string& path);

/// The current working directory, without a final "/". When the system
/// cannot give it, a warning goes to standard error and the answer is empty,
/// so that names completed against it stay relative.
std::string curdir();

/// Makes `dir` usable as a prefix of file names: "" becomes "./", and "/" is
/// appended unless already there.
void ensureDirPath(std::string& dir);

/// The extension with its ".", or "" when the file's own name has none.
std::string extension(const std::string& path);

/// The directory part, ending in "/" ("./" when the path has no "/").
std::string dirname(const std::string& path);

/// The path with "./" in front when it holds no "/".
std::string fullpath(const std::string& path);

/// The file's own name without directory and extension.
std::string rootname(const std::string& path);

/// Makes an output-file name absolute against `dirName` (itself completed
/// against the current directory when relative) and optionally inserts the
/// seed before the extension.
void completeFileName(std::string& fileName, const std::string& dirName, bool addSeed = false,
                      int seed = 0);

/// Inserts `seedText` before the extension of `fileName`, unless the name
/// already ends with it.
void addSeedToFileName(size_t seedLength, const std::string& seedText, std::string& fileName);

/// Replaces `content` with every byte of the file; true when at least one
/// byte was read.
bool readAllFile(std::string& content, const std::string& fileName);

// ---------------------------------------------------------------------------
// Texts
// ---------------------------------------------------------------------------

/// Cuts a "#" comment, turns tabs into blanks, trims, drops a final carriage
/// return and folds repeated blanks.
void removeComments(std::string& line);

/// `text` for a message: every control character (tab, carriage return,
/// NUL, escape, ...) spelled out as "\t", "\r", "\n", "\v", "\f" or "\xHH",
/// so that a line shown to the user hides nothing and cannot move the
/// cursor. A backslash is left as it is.
std::string escapeControlChars(std::string_view text);

/// Upper-cases in place, byte by byte, independently of the locale.
void toupper(std::string& s);
void toupper(std::list<std::string>& l);

/// An upper-cased copy of `s` (same rule as `toupper`).
std::string upperCopy(const std::string& s);

/// Number of characters after the last "." of `s`; 0 without ".".
size_t nbDecimals(const std::string& s);

/// Field width and number of trailing blanks for the aligned display of a
/// number's text `s` with `precision` decimals.
void getFormat(const std::string& s, size_t precision, size_t& width, size_t& nbBlanks);

/// The largest field width and precision of a display format. A format is
/// applied to every number of every statistics line: "%.2147483647f" would
/// make each of them a text of 2 GB.
constexpr int MAX_FORMAT_WIDTH = 1000;
constexpr int MAX_FORMAT_PRECISION = 100;

/// Checks one display format ("%", digits with at most one ".", one of
/// "eEfgGdi"), with a width of at most MAX_FORMAT_WIDTH and a precision of
/// at most MAX_FORMAT_PRECISION; a format ending in a digit is completed
/// with "f".
bool validFormat(std::string& format);

/// Splits a leading display format from the name that follows it.
bool separateFormat(const std::string& text, std::string& format, std::string& rest);

/// The number of the calling thread: always 0, everything runs on the thread
/// that started the run.
int getThreadNum();

// ---------------------------------------------------------------------------
// Conversions
// ---------------------------------------------------------------------------

std::string itos(size_t i);
std::string itos(int i);
std::string boolToString(bool b);

/// Reads an integer: optional "-", digits, or "INF"/"+INF" (any case) for
/// the largest int. False on malformed text and on a value beyond the int
/// range; `value` is -1 after a failure.
bool atoi(const std::string& s, int& value);
bool atoi(char c, int& value);

/// Reads a size: "INF"/"+INF" for the largest size, otherwise as `atoi`;
/// a negative number throws.
bool atost(const std::string& s, size_t& value);

/// Reads an index "i" or an inclusive range "i-j".
bool stringToIndexRange(const std::string& s, size_t& i, size_t& j, bool checkOrder = true);

/// Reads a boolean word ("Y", "YES", "1", "TRUE", "N", "NO", "0", "FALSE" in
/// any case); throws on anything else.
bool stringToBool(const std::string& s);

} // namespace QARNO_4_0_0

#endif
