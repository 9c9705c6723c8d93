// The cache file: its text, the round trip into a fresh process state, the
// header lines and their absence, files without a final line end, files
// that cannot be written or are write-protected, and the file templates.

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <iterator>
#include <limits>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Algos/ProcessState.hpp"
#include "Cache/CacheBase.hpp"
#include "Cache/CacheSet.hpp"
#include "Eval/BBOutput.hpp"
#include "Eval/Eval.hpp"
#include "Eval/EvalPoint.hpp"
#include "Math/Double.hpp"
#include "Math/Point.hpp"
#include "Util/FileLock.hpp"
#include "Util/FileUtils.hpp"
#include "support/CacheSupport.hpp"
#include "support/EvalSupport.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::CerrCapture;
using QarnoTest::coordsOf;
using QarnoTest::infoMessagesOf;
using QarnoTest::makeArray;
using QarnoTest::makeBBPoint;
using QarnoTest::makeCacheParameters;
using QarnoTest::messageOf;
using QarnoTest::ProcessStateGuard;
using QarnoTest::readTextFile;
using QarnoTest::startCache;
using QarnoTest::TempDir;
using QarnoTest::writeTextFile;

namespace
{

const BBOutputTypeList OBJ_PB = {BBOutputType::OBJ, BBOutputType::PB};
const BBOutputTypeList OBJ_ONLY = {BBOutputType::OBJ};
const std::string CACHE_SET_TYPE = "N11QARNO_4_0_08CacheSetE";
using Coords = std::vector<std::vector<double>>;

class CacheFileTest : public ::testing::Test
{
protected:
    ProcessStateGuard _guard;
    TempDir _dir;
};

/// The names in a folder, sorted.
std::vector<std::string> namesIn(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
    {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

/// A cache with points of every kind: evaluated (feasible, infeasible,
/// failed, rejected), queued, surrogate only, and one cache hit.
void fillCache(CacheBase& cache)
{
    cache.insert(makeBBPoint({1, 2}, "3.5 0", OBJ_PB));
    cache.insert(makeBBPoint({0.1, -4}, "1e-3 2", OBJ_PB));
    cache.insert(makeBBPoint({1.0 / 3.0, 123456789.123456789}, "7 1", OBJ_PB));
    EvalPoint failed(Point(makeArray({0, 7})));
    failed.setBBO("2 0", OBJ_PB, EvalType::BB, false); // the evaluator said it failed
    cache.insert(failed);
    EvalPoint rejected = makeBBPoint({5, 5}, "1 0", OBJ_PB);
    rejected.setEvalStatus(EvalStatusType::EVAL_USER_REJECTED, EvalType::BB);
    cache.insert(rejected);
    EvalPoint queued(Point(makeArray({3, 3})));
    cache.smartInsert(queued);
    EvalPoint sgteOnly(Point(makeArray({4, 4})));
    sgteOnly.setBBO("0 0", OBJ_PB, EvalType::SGTE, true);
    cache.insert(sgteOnly);
    cache.smartInsert(makeBBPoint({1, 2}, "3.5 0", OBJ_PB)); // a cache hit
}

TEST_F(CacheFileTest, FileHoldsHitsTypesAndTheEvaluatedPointsInCacheOrder)
{
    const std::string file = _dir.file("cache.txt");
    CacheBase& cache = startCache(OBJ_PB, file);
    fillCache(cache);
    std::string info;
    bool written = false;
    info = infoMessagesOf([&] { written = cache.write(); });
    EXPECT_TRUE(written);
    EXPECT_NE(std::string::npos, info.find("Write cache file " + file)) << info;
    EXPECT_EQ("CACHE_HITS 1\n"
              "BB_OUTPUT_TYPE OBJ PB\n"
              "( 0 7 ) EVAL_FAILED ( 2 0 )\n"
              "( 0.1 -4 ) EVAL_OK ( 1e-3 2 )\n"
              "( 0.3333333333333333 123456789.12345679 ) EVAL_OK ( 7 1 )\n"
              "( 1 2 ) EVAL_OK ( 3.5 0 )\n"
              "( 5 5 ) EVAL_USER_REJECTED ( 1 0 )\n",
              readTextFile(file));
    // Only the file itself is left in the folder, and the lock that the
    // cache holds on it while it lives.
    EXPECT_EQ((std::vector<std::string>{"cache.txt", "cache.txt.lock"}), namesIn(_dir.path()));

    CacheSet::_bbOutputType.clear();
    ASSERT_TRUE(cache.write());
    EXPECT_EQ(0u, readTextFile(file).find("CACHE_HITS 1\nBB_OUTPUT_TYPE \n("));
}

TEST_F(CacheFileTest, PointsQueuedButNotEvaluatedAreLeftOut)
{
    // The queue marks the cached copy of a point before and after its
    // evaluation: a point still waiting, under way, or sent back from a wait
    // has no output to keep, and a file that listed it would hand the next
    // run a point that it takes as evaluated.
    const std::string file = _dir.file("cache.txt");
    CacheBase& cache = startCache(OBJ_PB, file);
    cache.insert(makeBBPoint({1, 2}, "3.5 0", OBJ_PB));
    const struct
    {
        std::vector<double> coords;
        EvalStatusType status;
    } unevaluated[] = {
        {{3, 3}, EvalStatusType::EVAL_NOT_STARTED},
        {{4, 4}, EvalStatusType::EVAL_IN_PROGRESS},
        {{5, 5}, EvalStatusType::EVAL_WAIT},
        {{6, 6}, EvalStatusType::EVAL_STATUS_UNDEFINED},
    };
    for (const auto& u : unevaluated)
    {
        EvalPoint point(Point(makeArray(u.coords)));
        ASSERT_TRUE(cache.smartInsert(point, 1, EvalType::BB));
        point.setEvalStatus(u.status, EvalType::BB);
        ASSERT_TRUE(cache.update(point, EvalType::BB));
    }
    ASSERT_EQ(5u, cache.size());
    ASSERT_TRUE(cache.write());
    EXPECT_EQ("CACHE_HITS 0\n"
              "BB_OUTPUT_TYPE OBJ PB\n"
              "( 1 2 ) EVAL_OK ( 3.5 0 )\n",
              readTextFile(file));
}

TEST_F(CacheFileTest, RoundTripIntoAFreshProcessGivesTheSamePoints)
{
    const std::string file = _dir.file("cache.txt");
    std::vector<EvalPoint> before;
    {
        CacheBase& cache = startCache(OBJ_PB, file);
        fillCache(cache);
        ASSERT_TRUE(cache.write());
        cache.find(
            [](const EvalPoint& p) {
                return p.getEval(EvalType::BB) != nullptr &&
                       p.getEval(EvalType::BB)->goodForCacheFile();
            },
            before);
    }

    // Two later runs of the process read the same file.
    for (int run = 0; run < 2; ++run)
    {
        SCOPED_TRACE(run);
        resetProcessState();
        std::string info;
        info = infoMessagesOf([&] { startCache({}, file); });
        EXPECT_NE(std::string::npos, info.find("Read cache file " + file)) << info;
        CacheBase& cache = *CacheBase::getInstance();
        EXPECT_EQ(OBJ_PB, CacheSet::_bbOutputType);
        EXPECT_EQ(1u, CacheBase::_nbCacheHits.load());

        std::vector<EvalPoint> after;
        cache.getAllPoints(after);
        ASSERT_EQ(coordsOf(before), coordsOf(after));
        for (size_t i = 0; i < after.size(); ++i)
        {
            SCOPED_TRACE(after[i].displayAll());
            EXPECT_EQ(before[i].getEvalStatus(EvalType::BB), after[i].getEvalStatus(EvalType::BB));
            EXPECT_EQ(before[i].getF().isDefined(), after[i].getF().isDefined());
            if (before[i].getF().isDefined())
            {
                EXPECT_EQ(before[i].getF().todouble(), after[i].getF().todouble());
            }
            EXPECT_EQ(before[i].getH().todouble(), after[i].getH().todouble());
            EXPECT_EQ(before[i].getBBO(EvalType::BB), after[i].getBBO(EvalType::BB));
            EXPECT_FALSE(after[i].getEval(EvalType::BB)->toBeRecomputed());
            EXPECT_EQ(i + 1, after[i].getTag());
            EXPECT_EQ(1, after[i].getNumberEval());
            EXPECT_FALSE(after[i].toEval(1, EvalType::BB));
        }

        // Only the evaluated-OK points can be best: neither the failed one
        // nor the rejected one, whose outputs read well.
        std::vector<EvalPoint> best;
        ASSERT_EQ(1u, cache.findBestFeas(best, Point(2), EvalType::BB, nullptr));
        EXPECT_EQ((Coords{{1, 2}}), coordsOf(best));
    }
}

TEST_F(CacheFileTest, HeaderLinesAndLastLines)
{
    const struct
    {
        const char* label;
        std::string text;
        size_t hits; // the counter is 3 before reading
        BBOutputTypeList types;
        Coords points;
    } cases[] = {
        {"header only", "CACHE_HITS 5\nBB_OUTPUT_TYPE OBJ\n", 5, OBJ_ONLY, {}},
        {"header without final line end", "CACHE_HITS 5\nBB_OUTPUT_TYPE OBJ", 5, OBJ_ONLY, {}},
        {"types without final line end", "BB_OUTPUT_TYPE OBJ PB", 3, OBJ_PB, {}},
        {"no hit line", "BB_OUTPUT_TYPE OBJ\n( 1 ) EVAL_OK ( 2 )\n", 3, OBJ_ONLY, {{1}}},
        {"no type line", "CACHE_HITS 2\n( 1 ) EVAL_OK ( 2 0 )\n", 2, OBJ_PB, {{1}}},
        {"no header at all",
         "( 1 ) EVAL_OK ( 2 0 )\n( 0 ) EVAL_OK ( 1 0 )\n",
         3,
         OBJ_PB,
         {{0}, {1}}},
        {"last point without line end",
         "BB_OUTPUT_TYPE OBJ\n( 1 ) EVAL_OK ( 2 )\n( 3 ) EVAL_OK ( 4 )",
         3,
         OBJ_ONLY,
         {{1}, {3}}},
        {"point line twice",
         "CACHE_HITS 1\nBB_OUTPUT_TYPE OBJ\n( 1 ) EVAL_OK ( 2 )\n( 1 ) EVAL_OK ( 9 )\n",
         2,
         OBJ_ONLY,
         {{1}}},
        {"empty file", "", 3, OBJ_PB, {}},
        {"blank file", " \n\n", 3, OBJ_PB, {}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        resetProcessState();
        const std::string file = _dir.file("in.txt");
        writeTextFile(file, c.text);
        CacheBase::_nbCacheHits = 3;
        CacheBase& cache = startCache(OBJ_PB, file);
        EXPECT_EQ(c.hits, CacheBase::_nbCacheHits.load());
        EXPECT_EQ(c.types, CacheSet::_bbOutputType);
        std::vector<EvalPoint> points;
        cache.getAllPoints(points);
        EXPECT_EQ(c.points, coordsOf(points));
        EXPECT_TRUE(cache.read());
    }

    // The first line of a point given twice is the one kept.
    std::vector<EvalPoint> best;
    CacheBase::getInstance()->clear();
    writeTextFile(_dir.file("in.txt"), cases[7].text);
    ASSERT_TRUE(CacheBase::getInstance()->read());
    ASSERT_EQ(1u, CacheBase::getInstance()->findBestFeas(best, Point(1), EvalType::BB, nullptr));
    EXPECT_EQ(2.0, best[0].getF().todouble());
}

TEST_F(CacheFileTest, MissingFileIsNoFileAtAll)
{
    CerrCapture cerr;
    CacheBase& cache = startCache(OBJ_ONLY, _dir.file("none.txt"));
    EXPECT_FALSE(cache.read());
    EXPECT_EQ(0u, cache.size());
    EXPECT_EQ("", cerr.text());

    resetProcessState();
    CacheBase& noFile = startCache(OBJ_ONLY);
    EXPECT_FALSE(noFile.read());
    EXPECT_EQ("", cerr.text());
}

TEST_F(CacheFileTest, FileThatIsNoRegularFileIsNeitherReadNorReplaced)
{
    // /dev/zero would never end; a pipe would wait for a writer, and must
    // stay a pipe. (Only read from a device: a faulty writer must not be
    // able to replace one.)
    const std::string pipe = _dir.file("pipe");
    ASSERT_EQ(0, ::mkfifo(pipe.c_str(), 0600));
    for (const std::string& special : {std::string("/dev/zero"), pipe})
    {
        SCOPED_TRACE(special);
        resetProcessState();
        CerrCapture cerr;
        CacheBase& cache = startCache(OBJ_PB, special);
        EXPECT_EQ(0u, cache.size());
        EXPECT_FALSE(std::filesystem::exists(special + ".lock"));
        EXPECT_EQ("Warning: " + CACHE_SET_TYPE + ": Cannot read from file " + special + "\n",
                  cerr.text());
    }

    CerrCapture cerr;
    CacheBase& cache = *CacheBase::getInstance();
    cache.insert(makeBBPoint({1, 2}, "3.5 0", OBJ_PB));
    EXPECT_FALSE(cache.write());
    EXPECT_EQ("Warning: " + CACHE_SET_TYPE + ": Cannot write to file " + pipe + "\n", cerr.text());
    struct stat st;
    ASSERT_EQ(0, ::lstat(pipe.c_str(), &st));
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(std::vector<std::string>{"pipe"}, namesIn(_dir.path()));
}

TEST_F(CacheFileTest, WriteProtectedFileIsRead)
{
    const std::string file = _dir.file("protected.txt");
    writeTextFile(file, "CACHE_HITS 4\nBB_OUTPUT_TYPE OBJ\n( 1 ) EVAL_OK ( 2 )\n");
    ASSERT_EQ(0, ::chmod(file.c_str(), 0444));
    CerrCapture cerr;
    CacheBase& cache = startCache(OBJ_PB, file);
    EXPECT_EQ("", cerr.text());
    EXPECT_EQ(1u, cache.size());
    EXPECT_EQ(4u, CacheBase::_nbCacheHits.load());
}

/// Files may not grow beyond `bytes` while the object lives; writes past it
/// fail instead of raising SIGXFSZ.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &_previous);
        _previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = _previous;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &_previous);
        std::signal(SIGXFSZ, _previousHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    struct rlimit _previous;
    void (*_previousHandler)(int);
};

TEST_F(CacheFileTest, FailedWriteKeepsThePreviousFile)
{
    const std::string file = _dir.file("cache.txt");
    CacheBase& cache = startCache(OBJ_PB, file);
    cache.insert(makeBBPoint({1, 2}, "3.5 0", OBJ_PB));
    ASSERT_TRUE(cache.write());
    const std::string previous = readTextFile(file);

    for (int i = 0; i < 20; ++i)
    {
        cache.insert(makeBBPoint({10.0 + i, 2}, "1 0", OBJ_PB));
    }
    {
        const FileSizeLimit limit(previous.size() + 10);
        CerrCapture cerr;
        EXPECT_FALSE(cache.write());
        EXPECT_EQ("Warning: " + CACHE_SET_TYPE + ": Cannot write to file " + file + "\n",
                  cerr.text());
    }
    EXPECT_EQ(previous, readTextFile(file));
    EXPECT_EQ((std::vector<std::string>{"cache.txt", "cache.txt.lock"}), namesIn(_dir.path()));
    EXPECT_TRUE(cache.write());
    EXPECT_NE(previous, readTextFile(file));
}

TEST_F(CacheFileTest, LinkGivenAsCacheFileIsWrittenThrough)
{
    // The link stays a link: the file it leads to is replaced, by a
    // temporary file made in that file's own folder.
    const struct
    {
        const char* label;
        std::vector<std::pair<std::string, std::string>> links; // name, target
        bool targetExists;
    } cases[] = {
        {"absolute link", {{"cache.txt", "@/real/data.txt"}}, true},
        {"relative link", {{"cache.txt", "real/data.txt"}}, true},
        {"link to a link", {{"cache.txt", "second"}, {"second", "real/data.txt"}}, true},
        {"link to no file yet", {{"cache.txt", "real/data.txt"}}, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        resetProcessState();
        const TempDir dir;
        ASSERT_EQ(0, ::mkdir(dir.file("real").c_str(), 0700));
        const std::string target = dir.file("real/data.txt");
        if (c.targetExists)
        {
            writeTextFile(target, "CACHE_HITS 0\nBB_OUTPUT_TYPE OBJ PB\n( 3 3 ) EVAL_OK ( 1 0 )\n");
        }
        for (const auto& link : c.links)
        {
            const std::string to =
                link.second[0] == '@' ? dir.path() + link.second.substr(1) : link.second;
            ASSERT_EQ(0, ::symlink(to.c_str(), dir.file(link.first).c_str()));
        }
        const std::string file = dir.file("cache.txt");

        CacheBase& cache = startCache(OBJ_PB, file);
        EXPECT_EQ(c.targetExists ? 1u : 0u, cache.size());
        cache.insert(makeBBPoint({1, 2}, "3.5 0", OBJ_PB));
        ASSERT_TRUE(cache.write());

        struct stat st;
        ASSERT_EQ(0, ::lstat(file.c_str(), &st));
        EXPECT_TRUE(S_ISLNK(st.st_mode));
        EXPECT_NE(std::string::npos, readTextFile(target).find("( 1 2 ) EVAL_OK ( 3.5 0 )"));
        // The lock lies beside the file too.
        EXPECT_EQ((std::vector<std::string>{"data.txt", "data.txt.lock"}),
                  namesIn(dir.file("real")));
        EXPECT_EQ(c.links.size() + 1, namesIn(dir.path()).size());
    }
}

TEST_F(CacheFileTest, CacheFileHeldByAnotherRunIsRefused)
{
    // Two runs on one cache file would each write only their own points at
    // their end: the second one is refused, and leaves the file alone.
    const std::string file = _dir.file("cache.txt");
    writeTextFile(file, "BB_OUTPUT_TYPE OBJ PB\n( 1 2 ) EVAL_OK ( 3.5 0 )\n");
    const std::string other = _dir.file("other.txt");
    ASSERT_EQ(0, ::symlink(file.c_str(), other.c_str()));
    FileLock otherRun;
    ASSERT_EQ(FileLock::Result::ACQUIRED, otherRun.acquire(file));

    for (const auto& name : {file, other})
    {
        SCOPED_TRACE(name);
        resetProcessState();
        EXPECT_EQ("The cache file " + name + " is in use by another run (lock file " + file +
                      ".lock): two runs sharing one cache file would lose each other's points. "
                      "Give this run another CACHE_FILE, or start it when the other one has "
                      "ended.",
                  messageOf([&] { startCache(OBJ_PB, name); }));
        // The refused cache keeps nothing of the file and cannot write it.
        ASSERT_TRUE(CacheBase::hasInstance());
        EXPECT_EQ(0u, CacheBase::getInstance()->size());
        EXPECT_EQ("", CacheBase::getInstance()->getFileName());
    }

    // Once the other run has ended, the file is this run's.
    otherRun.release();
    resetProcessState();
    CacheBase& cache = startCache(OBJ_PB, other);
    EXPECT_EQ(1u, cache.size());
    cache.unlockFile();
    EXPECT_EQ(FileLock::Result::ACQUIRED, otherRun.acquire(file));
}

TEST_F(CacheFileTest, FileTemplatesWarnWithTheTypeName)
{
    CacheBase& base = startCache(OBJ_ONLY);
    auto& cache = dynamic_cast<CacheSet&>(base);
    const std::string missingDir = _dir.file("no/such/dir.txt");
    const struct
    {
        const char* label;
        std::function<bool()> op;
        std::string warning;
    } cases[] = {
        {"write without a name", [&] { return cache.write(); },
         "Warning: " + CACHE_SET_TYPE + ": Cannot write to file: file name is not defined."},
        {"write into a missing folder", [&] { return write<CacheSet>(cache, missingDir); },
         "Warning: " + CACHE_SET_TYPE + ": Cannot write to file " + missingDir + "\n"},
        {"read without a name", [&] { return read<CacheSet>(cache, ""); },
         "Warning: " + CACHE_SET_TYPE + ": Cannot read file: file name is not defined."},
        {"read a missing file", [&] { return read<CacheSet>(cache, missingDir); },
         "Warning: " + CACHE_SET_TYPE + ": File does not exist or cannot be read: " + missingDir +
             "\n"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        CerrCapture cerr;
        EXPECT_FALSE(c.op());
        EXPECT_EQ(c.warning, cerr.text());
    }
}

TEST_F(CacheFileTest, UnknownOutputTypeStopsTheReaderNamingTheLine)
{
    // Every point takes its meaning from the types: none is read under
    // types that cannot be known.
    const std::string file = _dir.file("bad.txt");
    writeTextFile(file, "CACHE_HITS 2\nBB_OUTPUT_TYPE OBJ XYZ\n( 1 ) EVAL_OK ( 2 )\n");
    EXPECT_EQ("cache file " + file + ", line 2: Unrecognized string for QARNO::BBOutputType: XYZ",
              messageOf([&] { startCache(OBJ_ONLY, file); }));
    ASSERT_TRUE(CacheBase::hasInstance());
    EXPECT_EQ(0u, CacheBase::getInstance()->size());
}

TEST_F(CacheFileTest, DamagedLineIsSkippedNamingTheFileAndTheLine)
{
    // A damaged record (a truncated file, a hand edit) costs that record
    // only: the lines around it are read.
    const std::string file = _dir.file("damaged.txt");
    const struct
    {
        const char* label;
        std::string line;
        std::string reason;
    } cases[] = {
        {"unknown status", "( 5 5 ) EVAL_BOGUS ( 3 0 )",
         "expecting an evaluation status after the point, got \"EVAL_BOGUS\""},
        {"truncated output", "( 5 5 ) EVAL_OK ( 3", "Expecting \")\", got \"\""},
        {"truncated point", "( 5 5", "Expecting \")\", got \"5\""},
        {"status without output", "( 5 5 ) EVAL_OK", "Expecting \"(\", got \"\""},
        {"not a point", "EVAL_BOGUS", "Expecting \"(\", got \"EVAL_BOGUS\""},
        {"undefined coordinate", "( 5 x ) EVAL_OK ( 3 0 )",
         "Error: Cache does not support incomplete points. Got point: #0 ( 5 - )\tEvaluation "
         "OK\t Undefined f\t h = inf"},
        {"other dimension", "( 5 5 5 ) EVAL_OK ( 3 0 )",
         "Error: Cache method called with a point of size 3: #0 ( 5 5 5 )\tEvaluation OK\t "
         "Undefined f\t h = inf. Cache needs points of size 2"},
        {"two records on a line", "( 5 5 ) EVAL_OK ( 3 0 ) ( 6 6 ) EVAL_OK ( 3 0 )",
         "unexpected text after the output: \"(\""},
        {"status of a run under way", "( 5 5 ) EVAL_IN_PROGRESS ( 3 0 )",
         "a cache file holds no point with status EVAL_IN_PROGRESS"},
        {"malformed escape", "( 5 5 ) EVAL_OK ( \\a\\x2 0 )",
         "Invalid escaped word in blackbox output: \"\\a\\x2\""},
        {"control characters shown", "\x1b[2J\r", "Expecting \"(\", got \"\\x1B[2J\""},
        {"hit count", "CACHE_HITS -1", "\"CACHE_HITS\" must be followed by one number"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        resetProcessState();
        writeTextFile(file, "BB_OUTPUT_TYPE OBJ PB\n"
                            "( 1 2 ) EVAL_OK ( 3.5 0 )\n" +
                                c.line +
                                "\n"
                                "( 0 7 ) EVAL_FAILED ( 2 0 )\n");
        CerrCapture cerr;
        CacheBase& cache = startCache(OBJ_PB, file);
        EXPECT_EQ("Warning: cache file " + file +
                      ", line 3 cannot be read and is skipped: " + c.reason + "\n",
                  cerr.text());
        std::vector<EvalPoint> points;
        cache.getAllPoints(points);
        EXPECT_EQ((Coords{{0, 7}, {1, 2}}), coordsOf(points));
        ASSERT_EQ(2u, points.size());
        EXPECT_EQ(EvalStatusType::EVAL_FAILED, points[0].getEvalStatus(EvalType::BB));
        EXPECT_EQ(EvalStatusType::EVAL_OK, points[1].getEvalStatus(EvalType::BB));
    }

    // A file damaged all through names its first bad lines and counts the
    // others.
    resetProcessState();
    std::string text = "( 1 2 ) EVAL_OK ( 3.5 0 )\n";
    for (int i = 0; i < 13; ++i)
    {
        text += "garbage\n";
    }
    writeTextFile(file, text);
    CerrCapture cerr;
    CacheBase& cache = startCache(OBJ_PB, file);
    EXPECT_EQ(1u, cache.size());
    const auto lines = QarnoTest::linesOf(cerr.text());
    ASSERT_EQ(11u, lines.size()) << cerr.text();
    EXPECT_EQ("Warning: cache file " + file +
                  ", line 11 cannot be read and is skipped: Expecting \"(\", got \"garbage\"",
              lines[9]);
    EXPECT_EQ("Warning: cache file " + file + ": 3 more lines cannot be read and are skipped",
              lines[10]);
}

TEST_F(CacheFileTest, EveryOutputReadsBackWithItsStatus)
{
    // Whatever the evaluator printed, the point read back has the status it
    // was written with and the output fields it had, so that it is neither
    // evaluated again nor taken as usable against its record.
    const std::string outputs[] = {
        "10.58 )", ") 0", "( 1 ) 0", "1\t2",  "3.5\v0",
        "2 0\f",   "1\r", "1 0\r",   "\\x 1", "nan 0",
        "1 2 3",   "",    "1 0",     "-2 5",  std::string("1\0 0", 4),
    };
    const EvalStatusType forced[] = {EvalStatusType::EVAL_FAILED, EvalStatusType::EVAL_ERROR,
                                     EvalStatusType::EVAL_USER_REJECTED,
                                     EvalStatusType::EVAL_CONS_H_OVER};
    const std::string file = _dir.file("cache.txt");
    std::vector<EvalPoint> before;
    {
        CerrCapture quiet;
        CacheBase& cache = startCache(OBJ_PB, file);
        double x = 0;
        const auto evaluated = [&x](const std::string& raw)
        {
            EvalPoint point(Point(makeArray({++x, 0})));
            point.setEvalStatus(EvalStatusType::EVAL_IN_PROGRESS, EvalType::BB);
            point.getEval(EvalType::BB)->setBBOutputAndRecompute(BBOutput(raw, true), OBJ_PB);
            point.setNumberEval(1);
            return point;
        };
        for (const auto& raw : outputs)
        {
            // The status the evaluator gives, then each other status a
            // cache file holds.
            cache.insert(evaluated(raw));
            for (const auto status : forced)
            {
                EvalPoint other = evaluated(raw);
                other.setEvalStatus(status, EvalType::BB);
                cache.insert(other);
            }
        }
        ASSERT_TRUE(cache.write());
        cache.getAllPoints(before);
    }

    resetProcessState();
    CerrCapture quiet;
    startCache({}, file);
    std::vector<EvalPoint> after;
    CacheBase::getInstance()->getAllPoints(after);
    ASSERT_EQ(coordsOf(before), coordsOf(after)) << quiet.text();
    const size_t perOutput = 1 + std::size(forced);
    for (size_t i = 0; i < after.size(); ++i)
    {
        const Eval& was = *before[i].getEval(EvalType::BB);
        const Eval& is = *after[i].getEval(EvalType::BB);
        SCOPED_TRACE(before[i].displayAll() + " | " + was.getBBO());
        EXPECT_EQ(was.getEvalStatus(), is.getEvalStatus());
        ASSERT_EQ(was.getBBOutput().getNbFields(), is.getBBOutput().getNbFields());
        for (size_t k = 0; k < was.getBBOutput().getNbFields(); ++k)
        {
            EXPECT_EQ(was.getBBOutput().getField(k), is.getBBOutput().getField(k));
        }
        if (0 == i % perOutput)
        {
            // As evaluated: the same f and h too.
            EXPECT_EQ(was.getF().isDefined(), is.getF().isDefined());
            if (was.getF().isDefined() && is.getF().isDefined())
            {
                EXPECT_EQ(was.getF().todouble(), is.getF().todouble());
            }
            EXPECT_EQ(was.getH().isDefined(), is.getH().isDefined());
            if (was.getH().isDefined() && is.getH().isDefined())
            {
                EXPECT_EQ(was.getH().todouble(), is.getH().todouble());
            }
        }
    }
}

TEST_F(CacheFileTest, StreamOperatorsRoundTrip)
{
    CacheBase& base = startCache(OBJ_PB);
    auto& cache = dynamic_cast<CacheSet&>(base);
    fillCache(cache);
    std::ostringstream out;
    out << cache;

    resetProcessState();
    auto& fresh = dynamic_cast<CacheSet&>(startCache({}));
    std::istringstream in(out.str());
    in >> fresh;
    std::ostringstream again;
    again << fresh;
    EXPECT_EQ(out.str(), again.str());
}

} // namespace
