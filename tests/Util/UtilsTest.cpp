#include "Util/Utils.hpp"

#include <cctype>
#include <climits>
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <list>
#include <string>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Util/Exception.hpp"
#include "support/TestSupport.hpp"

namespace
{

using namespace QARNO_4_0_0;
using QarnoTest::messageOf;

const size_t SIZE_MAXIMUM = std::numeric_limits<size_t>::max();

// Changes the working directory for the length of a test and always goes
// back, so a failing assertion cannot leave the rest of the suite elsewhere.
class CwdGuard
{
public:
    CwdGuard() : _saved(std::filesystem::current_path()) {}
    ~CwdGuard()
    {
        std::error_code ec;
        std::filesystem::current_path(_saved, ec);
    }
    CwdGuard(const CwdGuard&) = delete;
    CwdGuard& operator=(const CwdGuard&) = delete;

private:
    std::filesystem::path _saved;
};

void writeFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary);
    out << content;
}

// ---------------------------------------------------------------------------
// Texts
// ---------------------------------------------------------------------------

TEST(UtilsRemoveComments, CleansLines)
{
    const struct
    {
        const char* in;
        const char* out;
    } cases[] = {
        {"  X0\t( 0 1 )  # start\r", "X0 ( 0 1 )"},
        {"abc \r", "abc"},
        {"a\rb\r", "a\rb\r"},
        {"\r", ""},
        {"# only a comment", ""},
        {"   ", ""},
        {"A    B\t\t C", "A B C"},
        {"KEY value#comment # more", "KEY value"},
        {"", ""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.in);
        std::string line = c.in;
        removeComments(line);
        EXPECT_EQ(line, c.out);
    }
}

TEST(UtilsToupper, OnlyAsciiLettersChange)
{
    std::string s = "abz AZ 09 _-+ \xe9\xe0";
    toupper(s);
    EXPECT_EQ(s, "ABZ AZ 09 _-+ \xe9\xe0");

    std::list<std::string> l = {"inf", "Max_Bb_Eval", ""};
    toupper(l);
    EXPECT_EQ(l, (std::list<std::string>{"INF", "MAX_BB_EVAL", ""}));
}

// Switches to a single-byte locale in which the C function changes more than
// a-z. Machines (CI's among them) seldom have one installed, so one is built
// into a temporary folder with localedef and found through LOCPATH, which
// setlocale reads at every call.
class SingleByteLocale
{
public:
    SingleByteLocale()
        : _saved(std::setlocale(LC_ALL, nullptr)),
          _savedLocpath(std::getenv("LOCPATH") ? std::getenv("LOCPATH") : "")
    {
        const std::string name = "tr_TR.ISO-8859-9";
        if (std::setlocale(LC_ALL, name.c_str()) != nullptr)
        {
            _switched = true;
            return;
        }
        const std::string command =
            "localedef -i tr_TR -f ISO-8859-9 '" + _dir.file(name) + "' >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0)
        {
            return;
        }
        setenv("LOCPATH", _dir.path().c_str(), 1);
        _switched = std::setlocale(LC_ALL, name.c_str()) != nullptr;
    }

    ~SingleByteLocale()
    {
        std::setlocale(LC_ALL, _saved.c_str());
        if (_savedLocpath.empty())
        {
            unsetenv("LOCPATH");
        }
        else
        {
            setenv("LOCPATH", _savedLocpath.c_str(), 1);
        }
    }

    SingleByteLocale(const SingleByteLocale&) = delete;
    SingleByteLocale& operator=(const SingleByteLocale&) = delete;

    bool switched() const { return _switched; }

private:
    std::string _saved;
    std::string _savedLocpath;
    QarnoTest::TempDir _dir;
    bool _switched = false;
};

TEST(UtilsToupper, IgnoresProcessLocale)
{
    std::string s = "i\xe9t\xe9";
    bool switched = false;
    {
        const SingleByteLocale locale;
        switched = locale.switched();
        // The C function does change more than a-z here ("i" becomes a
        // dotted capital, 0xE9 becomes 0xC9), so the test can fail.
        if (switched)
        {
            EXPECT_NE('I', std::toupper(static_cast<unsigned char>('i')));
        }
        toupper(s);
    }
    // test.sh installs localedef and its sources (Debian's locales).
    ASSERT_TRUE(switched) << "no single-byte locale could be installed or built";
    EXPECT_EQ(s, "I\xe9T\xe9");
}

TEST(UtilsNbDecimals, CountsAfterLastDot)
{
    const struct
    {
        const char* s;
        size_t n;
    } cases[] = {
        {"1.5", 1}, {"12", 0}, {"0.123456", 6}, {"3.", 0}, {"1.2.345", 3}, {"", 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.s);
        EXPECT_EQ(nbDecimals(c.s), c.n);
    }
}

TEST(UtilsGetFormat, AlignsDecimals)
{
    const struct
    {
        const char* s;
        size_t precision;
        size_t width;
        size_t nbBlanks;
    } cases[] = {
        {"1.5", 4, 8, 3},    {"2", 4, 8, 5},     {"0.123456", 4, 8, 0},
        {"0.1234", 4, 8, 0}, {"-3.25", 2, 6, 0}, {"7.", 3, 7, 3},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.s) + " precision " + std::to_string(c.precision));
        size_t width = 99;
        size_t nbBlanks = 99;
        getFormat(c.s, c.precision, width, nbBlanks);
        EXPECT_EQ(width, c.width);
        EXPECT_EQ(nbBlanks, c.nbBlanks);
    }
}

TEST(UtilsGetFormat, ZeroPrecisionKeepsBlanks)
{
    size_t width = 0;
    size_t nbBlanks = 42;
    getFormat("12", 0, width, nbBlanks);
    EXPECT_EQ(width, 3u);
    EXPECT_EQ(nbBlanks, 42u);
}

TEST(UtilsValidFormat, ChecksAndCompletes)
{
    const struct
    {
        const char* in;
        bool valid;
        const char* after;
    } cases[] = {
        {"%d", true, "%d"},          {"%f", true, "%f"},
        {"%12", true, "%12f"},       {"%5.2", true, "%5.2f"},
        {"%.3e", true, "%.3e"},      {"%10.4G", true, "%10.4G"},
        {"%8i", true, "%8i"},        {"d", false, "d"},
        {"%", false, "%"},           {"", false, ""},
        {"5d", false, "5d"},         {"%5d2", false, "%5d2f"},
        {"%-5d", false, "%-5d"},     {"%1.2.3f", false, "%1.2.3f"},
        {"%5.2lf", false, "%5.2lf"}, {"%%", false, "%%"},
        {"%x", false, "%x"},         {"x5", false, "x5f"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.in);
        std::string format = c.in;
        EXPECT_EQ(validFormat(format), c.valid);
        EXPECT_EQ(format, c.after);
    }
}

TEST(UtilsSeparateFormat, SplitsLeadingFormat)
{
    const struct
    {
        const char* text;
        bool ok;
        const char* format;
        const char* rest;
    } cases[] = {
        {"%.2EOBJ", true, "%.2E", "OBJ"},  {"%5.1OBJ", true, "%5.1f", "OBJ"},
        {"%dBBE", true, "%d", "BBE"},      {"%12BBE", true, "%12f", "BBE"},
        {"%5EVAL", true, "%5E", "VAL"},    {"%.3f", true, "%.3f", ""},
        {"%OBJ", false, "", "%OBJ"},       {"%", false, "", "%"},
        {"%.2%OBJ", false, "", "%.2%OBJ"}, {"%12", false, "", "%12"},
        {"OBJ", false, "", "OBJ"},         {"", false, "", ""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.text);
        std::string format = "stale";
        std::string rest = "stale";
        EXPECT_EQ(separateFormat(c.text, format, rest), c.ok);
        EXPECT_EQ(format, c.format);
        EXPECT_EQ(rest, c.rest);
    }
}

TEST(UtilsThreadNum, AlwaysZero)
{
    EXPECT_EQ(getThreadNum(), 0);
}

// ---------------------------------------------------------------------------
// Conversions
// ---------------------------------------------------------------------------

TEST(UtilsItos, WritesPlainDecimals)
{
    EXPECT_EQ(itos(size_t(0)), "0");
    EXPECT_EQ(itos(size_t(1234567)), "1234567");
    EXPECT_EQ(itos(SIZE_MAXIMUM), "18446744073709551615");
    EXPECT_EQ(itos(0), "0");
    EXPECT_EQ(itos(-42), "-42");
    EXPECT_EQ(itos(INT_MIN), "-2147483648");
    EXPECT_EQ(itos(INT_MAX), "2147483647");
}

TEST(UtilsBool, WritesAndReadsBack)
{
    EXPECT_EQ(boolToString(true), "true");
    EXPECT_EQ(boolToString(false), "false");
    EXPECT_TRUE(stringToBool(boolToString(true)));
    EXPECT_FALSE(stringToBool(boolToString(false)));
}

TEST(UtilsStringToBool, ReadsWords)
{
    const struct
    {
        const char* s;
        bool value;
    } cases[] = {
        {"yes", true}, {"Y", true},  {"1", true},      {"True", true}, {"tRuE", true},
        {"no", false}, {"0", false}, {"false", false}, {"n", false},   {"NO", false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.s);
        EXPECT_EQ(stringToBool(c.s), c.value);
    }
}

TEST(UtilsStringToBool, ThrowsWithUpperCasedText)
{
    const struct
    {
        const char* s;
        const char* message;
    } cases[] = {
        {"maybe", "Unrecognized string for bool: MAYBE"},
        {"", "Unrecognized string for bool: "},
        {" yes", "Unrecognized string for bool:  YES"},
        {"2", "Unrecognized string for bool: 2"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.s);
        try
        {
            stringToBool(c.s);
            FAIL() << "no exception";
        }
        catch (const Exception& e)
        {
            EXPECT_EQ(messageOf(e), c.message);
            EXPECT_NE(std::string(e.what()).find("src/Util/Utils"), std::string::npos);
        }
    }
}

TEST(UtilsAtoi, ReadsIntegers)
{
    const struct
    {
        const char* s;
        bool ok;
        int value;
    } cases[] = {
        {"007", true, 7},
        {"0", true, 0},
        {"-12", true, -12},
        {"-0", true, 0},
        {"INF", true, INT_MAX},
        {"inf", true, INT_MAX},
        {"+Inf", true, INT_MAX},
        {"-inf", true, -INT_MAX},
        {"-INF", true, -INT_MAX},
        {"2147483647", true, INT_MAX},
        {"-2147483647", true, -INT_MAX},
        {"", false, -1},
        {"-", false, -1},
        {"--1", false, -1},
        {"--5", false, -1},
        {"+5", false, -1},
        {" 5", false, -1},
        {"5 ", false, -1},
        {"1e3", false, -1},
        {"0x1F", false, -1},
        {"INFINITY", false, -1},
        {"1.0", false, -1},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.s);
        int value = 12345;
        EXPECT_EQ(atoi(std::string(c.s), value), c.ok);
        EXPECT_EQ(value, c.value);
    }
}

TEST(UtilsAtoi, RefusesValuesBeyondIntRange)
{
    // Wrapping these would turn a huge count into a small or negative one.
    const char* cases[] = {"2147483648", "99999999999999999999", "-2147483648", "4294967296",
                           "-99999999999999999999"};
    for (const char* s : cases)
    {
        SCOPED_TRACE(s);
        int value = 12345;
        EXPECT_FALSE(atoi(std::string(s), value));
        EXPECT_EQ(value, -1);
    }
}

TEST(UtilsAtoi, ReadsOneCharacter)
{
    int value = 0;
    EXPECT_TRUE(atoi('7', value));
    EXPECT_EQ(value, 7);
    EXPECT_TRUE(atoi('0', value));
    EXPECT_EQ(value, 0);
    for (char c : {'a', '-', '+', ' ', '.'})
    {
        SCOPED_TRACE(std::string(1, c));
        value = 3;
        EXPECT_FALSE(atoi(c, value));
        EXPECT_EQ(value, -1);
    }
}

TEST(UtilsAtost, ReadsSizes)
{
    const struct
    {
        const char* s;
        bool ok;
        size_t value;
    } cases[] = {
        {"12", true, 12},
        {"0", true, 0},
        {"-0", true, 0},
        {"INF", true, SIZE_MAXIMUM},
        {"+inf", true, SIZE_MAXIMUM},
        {"2147483647", true, 2147483647u},
        {"abc", false, SIZE_MAXIMUM},
        {"", false, SIZE_MAXIMUM},
        {"+5", false, SIZE_MAXIMUM},
        {"2147483648", false, SIZE_MAXIMUM},
        {"18446744073709551615", false, SIZE_MAXIMUM},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.s);
        size_t value = 7;
        EXPECT_EQ(atost(c.s, value), c.ok);
        EXPECT_EQ(value, c.value);
    }
}

TEST(UtilsAtost, NegativeThrows)
{
    for (const char* s : {"-1", "-5", "-INF"})
    {
        SCOPED_TRACE(s);
        size_t value = 0;
        try
        {
            atost(s, value);
            FAIL() << "no exception";
        }
        catch (const Exception& e)
        {
            EXPECT_EQ(messageOf(e), "Invalid value for size_t. Value must be >0");
        }
    }
}

TEST(UtilsStringToIndexRange, ReadsIndicesAndRanges)
{
    const struct
    {
        const char* s;
        bool checkOrder;
        bool ok;
        size_t i;
        size_t j;
    } cases[] = {
        {"4", true, true, 4, 4},    {"2-5", true, true, 2, 5},
        {"2-2", true, true, 2, 2},  {"0-0", true, true, 0, 0},
        {"7-5", false, true, 7, 5}, {"INF-3", false, true, SIZE_MAXIMUM, 3},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.s);
        size_t i = 99;
        size_t j = 99;
        EXPECT_EQ(stringToIndexRange(c.s, i, j, c.checkOrder), c.ok);
        EXPECT_EQ(i, c.i);
        EXPECT_EQ(j, c.j);
    }
}

TEST(UtilsStringToIndexRange, RefusesMalformedText)
{
    const struct
    {
        const char* s;
        bool checkOrder;
    } cases[] = {
        {"5-2", true},  {"7-5", true},        {"5-", true},           {"2-x", true},
        {"INF", true},  {"", true},           {"1-2-3", true},        {"1-INF", true},
        {" 3-5", true}, {"3 - 5", true},      {"3-5 ", true},         {"a-3", true},
        {"+3", true},   {"2147483648", true}, {"1-2147483648", true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.s);
        size_t i = 0;
        size_t j = 0;
        EXPECT_FALSE(stringToIndexRange(c.s, i, j, c.checkOrder));
    }
}

TEST(UtilsStringToIndexRange, LeadingMinusIsRefusedWithoutThrowing)
{
    // A negative index or a range without a start is a malformed entry: the
    // caller words the message, no size_t error escapes.
    for (const char* s : {"-3", "-3-5", "-", "--", "-INF", "-0"})
    {
        SCOPED_TRACE(s);
        size_t i = 0;
        size_t j = 0;
        bool answer = true;
        EXPECT_NO_THROW(answer = stringToIndexRange(s, i, j, true));
        EXPECT_FALSE(answer);
    }
}

TEST(UtilsEnumStr, SuccessTypeTexts)
{
    const struct
    {
        SuccessType s;
        const char* text;
    } cases[] = {
        {SuccessType::NOT_EVALUATED, "Not evaluated yet"},
        {SuccessType::FAILURE, "Failure"},
        {SuccessType::PARTIAL_SUCCESS, "Partial success (improving)"},
        {SuccessType::FULL_SUCCESS, "Full success (dominating)"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(enumStr(c.s), c.text);
    }
    EXPECT_LT(SuccessType::FAILURE, SuccessType::PARTIAL_SUCCESS);
    EXPECT_LT(SuccessType::PARTIAL_SUCCESS, SuccessType::FULL_SUCCESS);
}

TEST(UtilsEnumStr, UnknownValueThrows)
{
    try
    {
        enumStr(static_cast<SuccessType>(4));
        FAIL() << "no exception";
    }
    catch (const Exception& e)
    {
        EXPECT_EQ(messageOf(e), "Error: Enum for success type is not recognized");
    }
}

// ---------------------------------------------------------------------------
// Paths
// ---------------------------------------------------------------------------

TEST(UtilsPaths, SplitsNames)
{
    const struct
    {
        const char* path;
        const char* extension;
        const char* dirname;
        const char* fullpath;
        const char* rootname;
    } cases[] = {
        {"a/b.txt", ".txt", "a/", "a/b.txt", "b"},
        {"a.b.c", ".c", "./", "./a.b.c", "a.b"},
        {"dir.d/file", "", "dir.d/", "dir.d/file", "file"},
        {"a/b/c", "", "a/b/", "a/b/c", "c"},
        {"/f", "", "/", "/f", "f"},
        {"d/x.txt", ".txt", "d/", "d/x.txt", "x"},
        {"d.e/x", "", "d.e/", "d.e/x", "x"},
        {".hidden", ".hidden", "./", "./.hidden", ""},
        {"plain", "", "./", "./plain", "plain"},
        {"dir/", "", "dir/", "dir/", ""},
        {"", "", "./", "./", ""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(extension(c.path), c.extension);
        EXPECT_EQ(dirname(c.path), c.dirname);
        EXPECT_EQ(fullpath(c.path), c.fullpath);
        EXPECT_EQ(rootname(c.path), c.rootname);
    }
}

TEST(UtilsPaths, IsAbsoluteAndEnsureDirPath)
{
    EXPECT_TRUE(isAbsolute("/"));
    EXPECT_TRUE(isAbsolute("/a/b"));
    EXPECT_FALSE(isAbsolute(""));
    EXPECT_FALSE(isAbsolute("a/b"));
    EXPECT_FALSE(isAbsolute("./a"));
    EXPECT_FALSE(isAbsolute(" /a"));

    const struct
    {
        const char* in;
        const char* out;
    } cases[] = {
        {"", "./"}, {"tmp", "tmp/"}, {"tmp/", "tmp/"}, {"/", "/"}, {".", "./"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.in);
        std::string dir = c.in;
        ensureDirPath(dir);
        EXPECT_EQ(dir, c.out);
    }
}

TEST(UtilsAddSeed, InsertsBeforeExtension)
{
    const struct
    {
        const char* seed;
        const char* in;
        const char* out;
    } cases[] = {
        {"3", "x.txt", "x.3.txt"},
        {"3", "ab3.txt", "ab3.txt"},
        {"3", "a3.txt", "a3.3.txt"},
        {"3", "x", "x.3"},
        {"3", "run13.txt", "run13.txt"},
        {"3", "hist.3.txt", "hist.3.txt"},
        {"7", "history.txt", "history.7.txt"},
        {"7", "history", "history.7"},
        {"7", "/d/./stats.txt", "/d/./stats.7.txt"},
        {"12", "/d/f.txt", "/d/f.12.txt"},
        {"12", "/d/f.12.txt", "/d/f.12.txt"},
        {"-1", "sol.txt", "sol.-1.txt"},
        {"3", "", ""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.in) + " seed " + c.seed);
        std::string name = c.in;
        const std::string seed = c.seed;
        addSeedToFileName(seed.size(), seed, name);
        EXPECT_EQ(name, c.out);
    }
}

TEST(UtilsAddSeed, DotInDirectoryIsNoExtension)
{
    // The seed goes after the file's own name, never into a directory part,
    // so the file stays in the directory the caller named.
    const struct
    {
        const char* in;
        const char* out;
    } cases[] = {
        {"/cwd/./history", "/cwd/./history.7"},
        {"/home/u/proj.d/stats", "/home/u/proj.d/stats.7"},
        {"./cache", "./cache.7"},
        {"../out/hist", "../out/hist.7"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.in);
        std::string name = c.in;
        addSeedToFileName(1, "7", name);
        EXPECT_EQ(name, c.out);
    }
}

TEST(UtilsAddSeed, HugeSeedLengthNeverMatches)
{
    // No root is longer than the largest size plus one: the seed is added.
    std::string name = "ab3.txt";
    addSeedToFileName(std::numeric_limits<size_t>::max(), "3", name);
    EXPECT_EQ("ab3.3.txt", name);
}

// ---------------------------------------------------------------------------
// Current directory and completion of file names
// ---------------------------------------------------------------------------

TEST(UtilsCurdir, GivesWorkingDirectory)
{
    QarnoTest::TempDir dir;
    CwdGuard guard;
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    const std::string expected = std::filesystem::current_path().string();
    EXPECT_EQ(curdir(), expected);
    EXPECT_NE(curdir().back(), '/');
}

TEST(UtilsCurdir, HandlesLongDirectoryNames)
{
    // Longer than 1023 characters: a fixed small buffer would fail here.
    QarnoTest::TempDir dir;
    std::string path = dir.path();
    while (path.size() < 1500)
    {
        path += "/" + std::string(200, 'd');
        ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
    }
    CwdGuard guard;
    ASSERT_EQ(chdir(path.c_str()), 0);
    const std::string expected = std::filesystem::current_path().string();
    ASSERT_GT(expected.size(), 1024u);

    testing::internal::CaptureStderr();
    const std::string cwd = curdir();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(cwd, expected);

    std::string name = "hist.txt";
    completeFileName(name, "./", true, 4);
    EXPECT_EQ(name, expected + "/./hist.4.txt");
}

TEST(UtilsCurdir, RemovedDirectoryWarnsAndLeavesNamesRelative)
{
    CwdGuard guard;
    QarnoTest::TempDir dir;
    const std::string gone = dir.file("gone");
    ASSERT_EQ(mkdir(gone.c_str(), 0700), 0);
    ASSERT_EQ(chdir(gone.c_str()), 0);
    ASSERT_EQ(rmdir(gone.c_str()), 0);

    testing::internal::CaptureStderr();
    const std::string cwd = curdir();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(cwd, "");
    EXPECT_EQ(err, "Warning: Could not get current directory\n");

    // Never rooted at "/": the name stays relative to where the caller is.
    testing::internal::CaptureStderr();
    std::string name = "history";
    completeFileName(name, "./", true, 7);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(name, "./history.7");

    testing::internal::CaptureStderr();
    std::string other = "stats.txt";
    completeFileName(other, "out/", false, 0);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(other, "out/stats.txt");
}

TEST(UtilsCompleteFileName, AbsoluteDirectory)
{
    const struct
    {
        const char* name;
        const char* dir;
        bool addSeed;
        int seed;
        const char* out;
    } cases[] = {
        {"", "/d/", true, 12, ""},
        {"/abs/f.txt", "/d/", true, 12, "/abs/f.txt"},
        {"f.txt", "/d/", true, 12, "/d/f.12.txt"},
        {"/d/f.12.txt", "/d/", true, 12, "/d/f.12.txt"},
        {"f.txt", "/d/", false, 12, "/d/f.txt"},
        {"f.txt", "/d", false, 0, "/df.txt"},
        {"history", "/d/./", true, 7, "/d/./history.7"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.name) + " in " + c.dir);
        std::string name = c.name;
        completeFileName(name, c.dir, c.addSeed, c.seed);
        EXPECT_EQ(name, c.out);
    }
}

TEST(UtilsCompleteFileName, RelativeDirectoryUsesCurrentDirectory)
{
    QarnoTest::TempDir dir;
    CwdGuard guard;
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    const std::string cwd = std::filesystem::current_path().string();

    const struct
    {
        const char* name;
        const char* dir;
        bool addSeed;
        int seed;
        std::string out;
    } cases[] = {
        {"hist.txt", "./", false, 0, cwd + "/./hist.txt"},
        {"hist.txt", "./", true, 7, cwd + "/./hist.7.txt"},
        {"history", "./", true, 7, cwd + "/./history.7"},
        {"stats.txt", "sub/", false, 0, cwd + "/sub/stats.txt"},
        {"x", "", false, 0, cwd + "/x"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.name) + " in " + c.dir);
        std::string name = c.name;
        completeFileName(name, c.dir, c.addSeed, c.seed);
        EXPECT_EQ(name, c.out);

        // Completing again changes nothing: the name is now absolute.
        std::string again = name;
        completeFileName(again, c.dir, c.addSeed, c.seed);
        EXPECT_EQ(again, name);
    }
}

// ---------------------------------------------------------------------------
// Files
// ---------------------------------------------------------------------------

TEST(UtilsReadAllFile, ReadsEveryByte)
{
    QarnoTest::TempDir dir;
    const std::string binary("line 1\r\nline\0two\n\xff", 18);
    const struct
    {
        const char* name;
        std::string content;
        bool ok;
    } cases[] = {
        {"text.txt", "a\nb\n", true},
        {"binary.bin", binary, true},
        {"empty.txt", "", false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        writeFile(dir.file(c.name), c.content);
        std::string content = "previous";
        EXPECT_EQ(readAllFile(content, dir.file(c.name)), c.ok);
        EXPECT_EQ(content, c.content);
    }
}

TEST(UtilsReadAllFile, MissingFileGivesEmptyText)
{
    QarnoTest::TempDir dir;
    std::string content = "previous";
    EXPECT_FALSE(readAllFile(content, dir.file("missing.txt")));
    EXPECT_EQ(content, "");
}

TEST(UtilsFileChecks, FollowFileModes)
{
    QarnoTest::TempDir dir;
    const std::string data = dir.file("data.txt");
    const std::string exe = dir.file("run.sh");
    writeFile(data, "x");
    writeFile(exe, "#!/bin/sh\n");
    ASSERT_EQ(chmod(data.c_str(), 0644), 0);
    ASSERT_EQ(chmod(exe.c_str(), 0755), 0);

    EXPECT_TRUE(checkReadFile(data));
    EXPECT_TRUE(checkWriteFile(data));
    EXPECT_FALSE(checkExeFile(data));
    EXPECT_TRUE(checkExeFile(exe));

    const std::string missing = dir.file("missing");
    EXPECT_FALSE(checkReadFile(missing));
    EXPECT_FALSE(checkWriteFile(missing));
    EXPECT_FALSE(checkExeFile(missing));
    EXPECT_FALSE(checkReadFile(""));

    if (geteuid() != 0)
    {
        // The superuser may read and write whatever the modes say.
        const std::string locked = dir.file("locked.txt");
        writeFile(locked, "x");
        ASSERT_EQ(chmod(locked.c_str(), 0), 0);
        EXPECT_FALSE(checkReadFile(locked));
        EXPECT_FALSE(checkWriteFile(locked));
    }
}

} // namespace
