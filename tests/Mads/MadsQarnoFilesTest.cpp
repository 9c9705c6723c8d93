// The files of a run through the qarno program, against hostile blackbox
// outputs and damaged or shared files: the cache file read back by the next
// run, two runs on one cache file, files that cannot be written, a cache
// file reached through a link, hot-restart files of another problem.

#include <algorithm>
#include <cstdio>
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

/// A parameter file for the blackbox of `writeBlackbox` in dimension 2,
/// with the lines `more` (a CACHE_FILE or MAX_BB_EVAL among them replaces
/// the default one).
std::string parameters(const std::string& bbOutputType, const std::string& more = "")
{
    std::string text = "DIMENSION 2\n"
                       "X0 ( 0 0 )\n"
                       "LOWER_BOUND * -5\n"
                       "UPPER_BOUND * 5\n"
                       "BB_EXE bb.sh\n"
                       "BB_OUTPUT_TYPE " +
                       bbOutputType +
                       "\n"
                       "ADD_SEED_TO_FILE_NAMES no\n"
                       "DISPLAY_DEGREE 2\n" +
                       more;
    if (!contains(more, "MAX_BB_EVAL "))
    {
        text += "MAX_BB_EVAL 12\n";
    }
    if (!contains(more, "CACHE_FILE "))
    {
        text += "CACHE_FILE cache.txt\n";
    }
    return text;
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

TEST(MadsQarnoFiles, DamagedCacheFileCostsOnlyItsDamagedLines)
{
    // A hand-edited line and a file cut short: the run names them and goes
    // on with the other points, which it does not evaluate again.
    TempDir dir;
    writeBlackbox(dir, "%.6g %.6g\\n");
    writeTextFile(dir.file("param.txt"), parameters("OBJ PB"));
    writeTextFile(dir.file("cache.txt"), "CACHE_HITS 0\n"
                                         "BB_OUTPUT_TYPE OBJ PB\n"
                                         "( 0 0 ) EVAL_OK ( 2 -3 )\n"
                                         "( 1 0 ) EVAL_BOGUS ( 1 -2 )\n"
                                         "( 1 1 ) EVAL_OK ( 0 -2 )\n"
                                         "( 2 2 ) EVAL_OK ( 2");
    const auto run = runProgram(qarnoExe(), {"param.txt"}, dir.path());
    EXPECT_EQ(0, run.exitStatus) << run.out << run.err;
    const std::string file = dir.file("./cache.txt");
    EXPECT_TRUE(contains(run.err, "Warning: cache file " + file +
                                      ", line 4 cannot be read and is skipped: expecting an "
                                      "evaluation status after the point, got \"EVAL_BOGUS\"\n"))
        << run.err;
    EXPECT_TRUE(contains(run.err, "Warning: cache file " + file +
                                      ", line 6 cannot be read and is skipped: Expecting \")\", "
                                      "got \"\"\n"))
        << run.err;
    const std::string cache = readTextFile(dir.file("cache.txt"));
    EXPECT_TRUE(contains(cache, "( 0 0 ) EVAL_OK ( 2 -3 )\n")) << cache;
    EXPECT_TRUE(contains(cache, "( 1 1 ) EVAL_OK ( 0 -2 )\n")) << cache;
    // The optimum was known from the file: the run started from it.
    EXPECT_TRUE(contains(run.out, "Best feasible solution:     (   1          1        )"))
        << run.out;
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

TEST(MadsQarnoFiles, FileThatCannotBeWrittenFailsTheRun)
{
    // The run goes on to its result, names the file where the write
    // failed, and ends with a failure status.
    const struct
    {
        const char* label;
        std::string lines;
        std::string file;  // as named in the messages
        std::string where; // the warning where the write failed
    } cases[] = {
        {"history on a full disk", "HISTORY_FILE /dev/full\n", "/dev/full",
         "Warning: could not write history file /dev/full: the history is incomplete"},
        {"solution on a full disk", "SOLUTION_FILE /dev/full\n", "/dev/full",
         "Warning: could not write solution file /dev/full"},
        {"statistics on a full disk", "STATS_FILE /dev/full BBE OBJ\n", "/dev/full",
         "Warning: could not write stats file /dev/full: the statistics are incomplete"},
        {"main statistics on a full disk", "MAIN_STATS_FILE /dev/full\n", "/dev/full",
         "Warning: could not write main stats file /dev/full"},
        {"history in a missing folder", "HISTORY_FILE /no/such/folder/history.txt\n",
         "/no/such/folder/history.txt",
         "Warning: could not open history file /no/such/folder/history.txt"},
        // A pipe is no file to read or replace: it stays what it is.
        {"cache on a pipe", "CACHE_FILE /PIPE\n", "/PIPE",
         "Warning: N11QARNO_4_0_08CacheSetE: Cannot write to file /PIPE"},
        {"hot restart in a missing folder",
         "HOT_RESTART_WRITE_FILES yes\nHOT_RESTART_FILE /no/such/folder/hot.txt\n",
         "/no/such/folder/hot.txt",
         "Warning: N11QARNO_4_0_09AlgorithmE: Cannot write to file /no/such/folder/hot.txt"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        TempDir dir;
        const std::string pipe = dir.file("pipe");
        ASSERT_EQ(0, ::mkfifo(pipe.c_str(), 0600));
        const auto withPipe = [&pipe](std::string text)
        {
            const size_t at = text.find("/PIPE");
            return std::string::npos == at ? text : text.replace(at, 5, pipe);
        };
        writeBlackbox(dir, "%.6g %.6g\\n");
        writeTextFile(dir.file("param.txt"), parameters("OBJ PB", withPipe(c.lines)));
        const auto run = runProgram(qarnoExe(), {"param.txt"}, dir.path());
        EXPECT_EQ(1, run.exitStatus) << run.out << run.err;
        EXPECT_TRUE(contains(run.out, "Best feasible solution:     ( ")) << run.out;
        const auto errLines = linesOf(run.err);
        EXPECT_EQ(1, std::count(errLines.begin(), errLines.end(), withPipe(c.where))) << run.err;
        ASSERT_FALSE(errLines.empty());
        EXPECT_EQ("Error: the run could not write " + withPipe(c.file), errLines.back()) << run.err;
        struct stat st;
        ASSERT_EQ(0, ::lstat(pipe.c_str(), &st));
        EXPECT_TRUE(S_ISFIFO(st.st_mode));
    }
}

TEST(MadsQarnoFiles, HistoryCutByAFullDiskFailsTheRun)
{
    // The disk fills up during the run (a file size limit stands for it):
    // the history keeps what was written and the run says it lost the rest.
    TempDir dir;
    writeBlackbox(dir, "%.6g %.6g\\n");
    writeTextFile(dir.file("param.txt"),
                  parameters("OBJ PB", "HISTORY_FILE history.txt\nMAX_BB_EVAL 400\n"));
    // The shell's limit is in blocks of 512 bytes; the signal that the limit
    // raises stays ignored in the program, whose writes then fail.
    const auto run = runProgram(
        "/bin/sh", {"-c", "trap '' XFSZ; ulimit -f 8; exec " + qarnoExe() + " param.txt"},
        dir.path());
    EXPECT_EQ(1, run.exitStatus) << run.out << run.err;
    const std::string history = dir.file("./history.txt");
    EXPECT_TRUE(contains(run.err, "Warning: could not write history file " + history +
                                      ": the history is incomplete"))
        << run.err;
    EXPECT_TRUE(contains(run.err, "Error: the run could not write " + history)) << run.err;
    // What was written before the limit stays (the shell's blocks are of
    // 512 or 1024 bytes).
    const size_t kept = readTextFile(history).size();
    EXPECT_GT(kept, 0u);
    EXPECT_LE(kept, 8192u);
}

/// A MADS run of dimension n from the origin that writes and reads its
/// hot-restart file beside its cache file.
std::string hotRestartParameters(size_t n)
{
    std::string x0 = "X0 (";
    for (size_t i = 0; i < n; ++i)
    {
        x0 += " 0";
    }
    return "DIMENSION " + std::to_string(n) + "\n" + x0 +
           " )\n"
           "LOWER_BOUND * -5\n"
           "UPPER_BOUND * 5\n"
           "BB_EXE bb.sh\n"
           "BB_OUTPUT_TYPE OBJ PB\n"
           "ADD_SEED_TO_FILE_NAMES no\n"
           "MAX_BB_EVAL 15\n"
           "CACHE_FILE cache.txt\n"
           "HOT_RESTART_FILE hot.txt\n"
           "HOT_RESTART_READ_FILES yes\n"
           "HOT_RESTART_WRITE_FILES yes\n"
           "DISPLAY_DEGREE 2\n";
}

TEST(MadsQarnoFiles, HotRestartFileOfAnotherProblemIsRefused)
{
    // The files of a run in dimension 3, and the hot-restart file of a run
    // in dimension 2.
    TempDir dir;
    const std::string bb =
        "#!/bin/sh\nexec awk '{ s = 0; for (i = 1; i <= NF; i++) s += ($i - 1) * ($i - 1); "
        "printf \"%.6g %.6g\\n\", s, $1 - 3 }' \"$1\"\n";
    writeTextFile(dir.file("bb.sh"), bb);
    ::chmod(dir.file("bb.sh").c_str(), 0700);
    writeTextFile(dir.file("param2.txt"), hotRestartParameters(2));
    writeTextFile(dir.file("param3.txt"), hotRestartParameters(3));
    ASSERT_EQ(0, runProgram(qarnoExe(), {"param2.txt"}, dir.path()).exitStatus);
    const std::string hot2 = readTextFile(dir.file("hot.txt"));
    std::remove(dir.file("cache.txt").c_str());
    ASSERT_EQ(0, runProgram(qarnoExe(), {"param3.txt"}, dir.path()).exitStatus);
    const std::string hot3 = readTextFile(dir.file("hot.txt"));
    const std::string cache3 = readTextFile(dir.file("cache.txt"));
    ASSERT_TRUE(contains(hot3, "X_FEAS ( ")) << hot3;
    ASSERT_TRUE(contains(hot3, "DELTA_MESH_SIZE ")) << hot3;

    // The counters of the file without what comes after NB_EVAL.
    const std::string hot3NoCounters = hot3.substr(0, hot3.find("NB_EVAL"));
    const std::string cacheWithHits = "CACHE_HITS 12" + cache3.substr(cache3.find('\n'));
    const struct
    {
        const char* label;
        std::string hot;
        std::string cache;
        std::string reason;
    } cases[] = {
        {"a run of another dimension", hot2, cache3,
         "DELTA_MESH_SIZE does not hold 3 values, one per variable"},
        {"a barrier point of another dimension",
         "MEGA_ITERATION\nITERATION_COUNT 2\nBARRIER\nX_FEAS ( 1 1 )\nH_MAX inf\n", cache3,
         "the point ( 1 1 ) of X_FEAS has 2 coordinates, not 3"},
        {"a centre without outputs",
         "MEGA_ITERATION\nITERATION_COUNT 2\nBARRIER\nX_FEAS ( 1 1 1 )\nH_MAX inf\nNB_EVAL 30\n",
         cache3, "the point ( 1 1 1 ) of its barrier is not an evaluated point of the cache file"},
        {"fewer evaluations than cache hits", hot3NoCounters + "NB_EVAL 0\nNB_BB_EVAL 15\n",
         cacheWithHits, "NB_EVAL 0 is smaller than the 12 cache hits of the cache file"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        writeTextFile(dir.file("hot.txt"), c.hot);
        writeTextFile(dir.file("cache.txt"), c.cache);
        const auto run = runProgram(qarnoExe(), {"param3.txt"}, dir.path());
        EXPECT_EQ(1, run.exitStatus) << run.out << run.err;
        EXPECT_TRUE(contains(run.err, "/hot.txt does not match this problem: " + c.reason + "\n"))
            << run.err;
        EXPECT_TRUE(contains(run.err, "Error: QARNO::Exception thrown")) << run.err;
        // Nothing was evaluated, and the files stay as they were.
        EXPECT_EQ(c.hot, readTextFile(dir.file("hot.txt")));
        EXPECT_EQ(c.cache, readTextFile(dir.file("cache.txt")));
    }

    // The run's own files: it goes on from them.
    writeTextFile(dir.file("hot.txt"), hot3);
    writeTextFile(dir.file("cache.txt"), cache3);
    const auto own = runProgram(qarnoExe(), {"param3.txt"}, dir.path());
    EXPECT_EQ(0, own.exitStatus) << own.out << own.err;
    EXPECT_TRUE(contains(own.out, "Read hot restart file ")) << own.out;
}

} // namespace
