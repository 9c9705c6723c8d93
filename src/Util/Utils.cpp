#include "Util/Utils.hpp"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <iterator>
#include <limits>
#include <vector>

#include <unistd.h>

#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

namespace
{

// The conversion letters that end a display format.
const char* const FORMAT_LETTERS = "eEfgGdi";

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool allDigits(const std::string& s)
{
    for (char c : s)
    {
        if (!isDigit(c))
        {
            return false;
        }
    }
    return true;
}

bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char upperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool isInfWord(const std::string& s)
{
    const std::string u = upperCopy(s);
    return u == "INF" || u == "+INF";
}

// Access test shared by the three file checks.
bool accessOk(const std::string& path, int mode)
{
    return ::access(path.c_str(), mode) == 0;
}

} // namespace

// ---------------------------------------------------------------------------
// Success type
// ---------------------------------------------------------------------------

std::string enumStr(SuccessType s)
{
    switch (s)
    {
    case SuccessType::NOT_EVALUATED:
        return "Not evaluated yet";
    case SuccessType::FAILURE:
        return "Failure";
    case SuccessType::PARTIAL_SUCCESS:
        return "Partial success (improving)";
    case SuccessType::FULL_SUCCESS:
        return "Full success (dominating)";
    }
    QARNO_THROW(Exception, "Error: Enum for success type is not recognized");
}

// ---------------------------------------------------------------------------
// Files and paths
// ---------------------------------------------------------------------------

bool checkExeFile(const std::string& path)
{
    return accessOk(path, X_OK);
}

bool checkReadFile(const std::string& path)
{
    return accessOk(path, R_OK);
}

bool checkWriteFile(const std::string& path)
{
    return accessOk(path, W_OK);
}

bool isAbsolute(const std::string& path)
{
    return !path.empty() && path[0] == '/';
}

std::string curdir()
{
    // The buffer grows until the whole name fits: a truncated or missing
    // name would make completed file names point at the filesystem root.
    // The cap only guards against a system that keeps answering ERANGE.
    const size_t maxSize = size_t(1) << 20;
    std::vector<char> buffer(1024);
    while (true)
    {
        if (::getcwd(buffer.data(), buffer.size()) != nullptr)
        {
            return std::string(buffer.data());
        }
        if (errno != ERANGE || buffer.size() >= maxSize)
        {
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    std::cerr << "Warning: Could not get current directory" << std::endl;
    return std::string();
}

void ensureDirPath(std::string& dir)
{
    if (dir.empty())
    {
        dir = ".";
    }
    if (dir.back() != '/')
    {
        dir += '/';
    }
}

std::string extension(const std::string& path)
{
    const size_t lastDot = path.rfind('.');
    const size_t lastSlash = path.rfind('/');
    if (lastDot != std::string::npos && (lastSlash == std::string::npos || lastDot > lastSlash))
    {
        return path.substr(lastDot);
    }
    return std::string();
}

std::string dirname(const std::string& path)
{
    const size_t lastSlash = path.rfind('/');
    if (lastSlash == std::string::npos)
    {
        return "./";
    }
    return path.substr(0, lastSlash + 1);
}

std::string fullpath(const std::string& path)
{
    if (path.find('/') != std::string::npos)
    {
        return path;
    }
    return "./" + path;
}

std::string rootname(const std::string& path)
{
    const size_t lastSlash = path.rfind('/');
    const size_t lastDot = path.rfind('.');
    if (lastSlash == std::string::npos)
    {
        return path.substr(0, lastDot);
    }
    const std::string name = path.substr(lastSlash + 1);
    if (lastDot != std::string::npos && lastDot > lastSlash)
    {
        return name.substr(0, lastDot - lastSlash - 1);
    }
    return name;
}

void completeFileName(std::string& fileName, const std::string& dirName, bool addSeed, int seed)
{
    if (fileName.empty() || isAbsolute(fileName))
    {
        return;
    }

    if (isAbsolute(dirName))
    {
        fileName = dirName + fileName;
    }
    else
    {
        // Without a current directory the name stays relative rather than
        // being rooted at "/".
        const std::string cwd = curdir();
        fileName = cwd.empty() ? dirName + fileName : cwd + "/" + dirName + fileName;
    }

    if (addSeed)
    {
        const std::string seedText = itos(seed);
        addSeedToFileName(seedText.size(), seedText, fileName);
    }
}

void addSeedToFileName(size_t seedLength, const std::string& seedText, std::string& fileName)
{
    if (fileName.empty())
    {
        return;
    }

    // A "." that lies in a directory part ("/d/./history") is no extension.
    std::string root = fileName;
    std::string ext;
    const size_t lastDot = fileName.rfind('.');
    const size_t lastSlash = fileName.rfind('/');
    if (lastDot != std::string::npos && (lastSlash == std::string::npos || lastDot > lastSlash))
    {
        root = fileName.substr(0, lastDot);
        ext = fileName.substr(lastDot);
    }

    // Written without seedLength + 1, which wraps for the largest size.
    if (root.size() > 1 && root.size() - 1 > seedLength &&
        root.compare(root.size() - seedLength, seedLength, seedText) == 0)
    {
        return;
    }

    fileName = root + "." + seedText + ext;
}

bool readAllFile(std::string& content, const std::string& fileName)
{
    std::ifstream in(fileName, std::ios::in | std::ios::binary);
    if (!in.is_open())
    {
        content.clear();
        return false;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    content = std::move(text);
    return !content.empty();
}

// ---------------------------------------------------------------------------
// Texts
// ---------------------------------------------------------------------------

std::string escapeControlChars(std::string_view text)
{
    static const char HEX[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char c : text)
    {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F)
        {
            out += c;
            continue;
        }
        switch (c)
        {
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\v':
            out += "\\v";
            break;
        case '\f':
            out += "\\f";
            break;
        default:
            out += "\\x";
            out += HEX[byte >> 4];
            out += HEX[byte & 0xF];
        }
    }
    return out;
}

void removeComments(std::string& line)
{
    const size_t hash = line.find('#');
    if (hash != std::string::npos)
    {
        line.erase(hash);
    }

    for (char& c : line)
    {
        if (c == '\t')
        {
            c = ' ';
        }
    }

    const size_t first = line.find_first_not_of(' ');
    line.erase(0, first == std::string::npos ? line.size() : first);

    const size_t cr = line.find('\r');
    if (cr != std::string::npos && cr + 1 == line.size())
    {
        line.pop_back();
    }

    const size_t last = line.find_last_not_of(' ');
    line.erase(last == std::string::npos ? 0 : last + 1);

    std::string folded;
    folded.reserve(line.size());
    for (char c : line)
    {
        if (c == ' ' && !folded.empty() && folded.back() == ' ')
        {
            continue;
        }
        folded += c;
    }
    line = std::move(folded);
}

void toupper(std::string& s)
{
    for (char& c : s)
    {
        c = upperAscii(c);
    }
}

void toupper(std::list<std::string>& l)
{
    for (std::string& s : l)
    {
        toupper(s);
    }
}

std::string upperCopy(const std::string& s)
{
    std::string u(s);
    toupper(u);
    return u;
}

size_t nbDecimals(const std::string& s)
{
    const size_t dot = s.rfind('.');
    if (dot == std::string::npos)
    {
        return 0;
    }
    return s.size() - dot - 1;
}

void getFormat(const std::string& s, size_t precision, size_t& width, size_t& nbBlanks)
{
    if (precision == 0)
    {
        width = 3;
        return;
    }

    width = precision + 4;
    nbBlanks = precision + 1;
    const size_t dot = s.find('.');
    if (dot != std::string::npos)
    {
        // The decimals still missing to reach the precision.
        const size_t written = s.size() - dot;
        nbBlanks = (written < precision + 1) ? precision + 1 - written : 0;
    }
}

bool validFormat(std::string& format)
{
    if (format.size() < 2)
    {
        return false;
    }
    if (isDigit(format.back()))
    {
        format += 'f';
    }

    const size_t letter = format.find_first_of(FORMAT_LETTERS, 1);
    if (letter == std::string::npos)
    {
        return false;
    }
    if (format[0] != '%' || letter + 1 != format.size())
    {
        return false;
    }

    // Width and precision saturate just above their bounds, so that a run of
    // digits of any length is read without overflow.
    const int saturated = std::max(MAX_FORMAT_WIDTH, MAX_FORMAT_PRECISION) + 1;
    int width = 0;
    int precision = 0;
    size_t nbDots = 0;
    for (size_t k = 1; k < letter; ++k)
    {
        if (format[k] == '.')
        {
            if (++nbDots > 1)
            {
                return false;
            }
        }
        else if (!isDigit(format[k]))
        {
            return false;
        }
        else
        {
            int& value = (nbDots == 0) ? width : precision;
            value = std::min(saturated, value * 10 + (format[k] - '0'));
        }
    }
    return width <= MAX_FORMAT_WIDTH && precision <= MAX_FORMAT_PRECISION;
}

bool separateFormat(const std::string& text, std::string& format, std::string& rest)
{
    format.clear();
    rest = text;

    if (text.empty() || text[0] != '%')
    {
        return false;
    }

    size_t firstLetter = std::string::npos;
    for (size_t k = 1; k < text.size(); ++k)
    {
        if (isAsciiLetter(text[k]))
        {
            firstLetter = k;
            break;
        }
    }
    if (firstLetter == std::string::npos)
    {
        return false;
    }

    // A conversion letter ends the format; any other letter starts the name.
    const size_t firstConversion = text.find_first_of(FORMAT_LETTERS, 1);
    const size_t end = (firstConversion == firstLetter) ? firstLetter + 1 : firstLetter;

    std::string candidate = text.substr(0, end);
    if (!validFormat(candidate))
    {
        return false;
    }
    format = candidate;
    rest = text.substr(end);
    return true;
}

int getThreadNum()
{
    return 0;
}

// ---------------------------------------------------------------------------
// Conversions
// ---------------------------------------------------------------------------

std::string itos(size_t i)
{
    char buffer[32];
    const auto res = std::to_chars(buffer, buffer + sizeof(buffer), i);
    return std::string(buffer, res.ptr);
}

std::string itos(int i)
{
    char buffer[32];
    const auto res = std::to_chars(buffer, buffer + sizeof(buffer), i);
    return std::string(buffer, res.ptr);
}

std::string boolToString(bool b)
{
    return b ? "true" : "false";
}

bool atoi(const std::string& s, int& value)
{
    value = -1;
    if (s.empty())
    {
        return false;
    }

    if (s[0] == '-')
    {
        if (s.size() > 1 && s[1] == '-')
        {
            return false;
        }
        int positive = -1;
        if (!atoi(s.substr(1), positive))
        {
            return false;
        }
        value = -positive;
        return true;
    }

    if (isInfWord(s))
    {
        value = INT_MAX;
        return true;
    }

    if (!allDigits(s))
    {
        return false;
    }

    // Digits beyond the int range are refused rather than wrapped.
    int parsed = 0;
    const auto res = std::from_chars(s.data(), s.data() + s.size(), parsed);
    if (res.ec != std::errc() || res.ptr != s.data() + s.size())
    {
        return false;
    }
    value = parsed;
    return true;
}

bool atoi(char c, int& value)
{
    return atoi(std::string(1, c), value);
}

bool atost(const std::string& s, size_t& value)
{
    value = std::numeric_limits<size_t>::max();
    if (s.empty())
    {
        return false;
    }
    if (isInfWord(s))
    {
        return true;
    }

    int i = -1;
    if (!atoi(s, i))
    {
        return false;
    }
    if (i < 0)
    {
        QARNO_THROW(Exception, "Invalid value for size_t. Value must be >0");
    }
    value = static_cast<size_t>(i);
    return true;
}

bool stringToIndexRange(const std::string& s, size_t& i, size_t& j, bool checkOrder)
{
    // A leading "-" would be a negative index or a range with no start.
    if (s.empty() || s[0] == '-')
    {
        return false;
    }

    const size_t dash = s.find('-');
    if (dash == std::string::npos)
    {
        if (!allDigits(s) || !atost(s, i))
        {
            return false;
        }
        j = i;
        return true;
    }

    if (dash + 1 == s.size())
    {
        return false;
    }

    const std::string first = s.substr(0, dash);
    const std::string second = s.substr(dash + 1);
    if (!allDigits(second))
    {
        return false;
    }
    if (!atost(first, i) || !atost(second, j))
    {
        return false;
    }
    return checkOrder ? i <= j : true;
}

bool stringToBool(const std::string& s)
{
    const std::string u = upperCopy(s);
    if (u == "Y" || u == "YES" || u == "1" || u == "TRUE")
    {
        return true;
    }
    if (u == "N" || u == "NO" || u == "0" || u == "FALSE")
    {
        return false;
    }
    QARNO_THROW(Exception, "Unrecognized string for bool: " + u);
}

} // namespace QARNO_4_0_0
