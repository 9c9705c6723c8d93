// The files of a run through the qarno program, against hostile blackbox
// outputs and damaged or shared files: the cache file read back by the next
// run, two runs on one cache file, files that cannot be written, a cache
// file reached through a link, hot-restart files of another problem.

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "Util/FileLock.hpp"
#include "support/CacheSupport.hpp"
#include "support/FrontEndSupport.hpp"
#include "support/MadsSupport.hpp"
#include "support/TestSupport.hpp"

namespace
{

using QarnoTest::linesOf;
using QarnoTest::qarnoExe;
using QarnoTest::readTextFile;
using QarnoTest::runProgram;
using QarnoTest::TempDir;
using QarnoTest::writeTextFile;

bool contains(const std::string& text, const std::string& part)
{
    return std::string::npos != text.find(part);
}

/// A blackbox in `dir` that prints, for each point (x, y), the awk format
/// `format` applied to f = (x - 1)^2 + (y - 1)^2 and c = x - 3.
std::string writeBlackbox(const TempDir& dir, const std::string& format)
{
    const std::string path = dir.file("bb.sh");
    writeTextFile(path, "#!/bin/sh\nexec awk '{ printf \"" + format +
                            "\", ($1 - 1) * ($1 - 1) + ($2 - 1) * ($2 - 1), $1 - 3 }' \"$1\"\n");
    ::chmod(path.c_str(), 0700);
    return path;
}

/// A parameter file for the blackbox of `writeBlackbox` in dimension 2.
std::string parameters(const std::string& bbOutputType, const std::string& more = "")
{
    return "DIMENSION 2\n"
           "X0 ( 0 0 )\n"
           "LOWER_BOUND * -5\n"
           "UPPER_BOUND * 5\n"
           "BB_EXE bb.sh\n"
           "BB_OUTPUT_TYPE " +
           bbOutputType +
           "\n"
           "ADD_SEED_TO_FILE_NAMES no\n"
           "MAX_BB_EVAL 12\n"
           "CACHE_FILE cache.txt\n"
           "DISPLAY_DEGREE 2\n" +
           more;
}

TEST(MadsQarnoFiles, CacheFileOfAnyOutputIsReadBackByTheNextRun)
{
    // Whatever the blackbox prints, the next run reads the cache file whole
    // and keeps every point with its status and its output.
    const struct
    {
        const char* label;
        const char* format;
        const char* types;
        bool anyOk; // some evaluation succeeds
    } cases[] = {
        {"a word \")\"", "10.58 )\\n", "OBJ", false},
        {"a word \")\" after the values", "%.6g %.6g )\\n", "OBJ PB BBO_UNDEFINED", true},
        {"tab separated", "%.6g\\t%.6g\\n", "OBJ PB", true},
        {"CR LF line ends", "%.6g %.6g\\r\\n", "OBJ PB", true},
        {"vertical tab and form feed", "%.6g\\v%.6g\\f\\n", "OBJ PB", true},
        {"a field starting with a backslash", "%.6g %.6g \\\\x41\\n", "OBJ PB BBO_UNDEFINED", true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        TempDir dir;
        writeBlackbox(dir, c.format);
        writeTextFile(dir.file("param.txt"), parameters(c.types));

        const auto first = runProgram(qarnoExe(), {"param.txt"}, dir.path());
        ASSERT_EQ(0, first.exitStatus) << first.out << first.err;
        const std::string firstCache = readTextFile(dir.file("cache.txt"));
        EXPECT_EQ(c.anyOk, contains(firstCache, " EVAL_OK ")) << firstCache;

        const auto second = runProgram(qarnoExe(), {"param.txt"}, dir.path());
        EXPECT_EQ(0, second.exitStatus) << second.out << second.err;
        EXPECT_FALSE(contains(second.err, "cache file")) << second.err;
        EXPECT_FALSE(contains(second.err, "Expecting")) << second.err;
        const auto secondLines = linesOf(readTextFile(dir.file("cache.txt")));
        const auto firstLines = linesOf(firstCache);
        ASSERT_GE(firstLines.size(), 3u) << firstCache;
        for (size_t i = 2; i < firstLines.size(); ++i)
        {
            EXPECT_NE(secondLines.end(),
                      std::find(secondLines.begin(), secondLines.end(), firstLines[i]))
                << firstLines[i];
        }
    }
}

TEST(MadsQarnoFiles, RunOnACacheFileInUseIsRefused)
{
    TempDir dir;
    writeBlackbox(dir, "%.6g %.6g\\n");
    writeTextFile(dir.file("param.txt"), parameters("OBJ PB"));
    const std::string cacheFile = dir.file("cache.txt");

    {
        // Another run holds the file.
        QARNO_4_0_0::FileLock otherRun;
        ASSERT_EQ(QARNO_4_0_0::FileLock::Result::ACQUIRED, otherRun.acquire(cacheFile));
        const auto refused = runProgram(qarnoExe(), {"param.txt"}, dir.path());
        EXPECT_NE(0, refused.exitStatus) << refused.out << refused.err;
        EXPECT_TRUE(contains(refused.err, "/cache.txt is in use by another run")) << refused.err;
        EXPECT_EQ("", readTextFile(cacheFile));
    }

    // Alone on the file, the run takes it and gives it up at its end.
    const auto alone = runProgram(qarnoExe(), {"param.txt"}, dir.path());
    EXPECT_EQ(0, alone.exitStatus) << alone.out << alone.err;
    EXPECT_TRUE(contains(readTextFile(cacheFile), " EVAL_OK "));
    EXPECT_EQ("", readTextFile(cacheFile + ".lock"));
    QARNO_4_0_0::FileLock next;
    EXPECT_EQ(QARNO_4_0_0::FileLock::Result::ACQUIRED, next.acquire(cacheFile));
}

} // namespace
