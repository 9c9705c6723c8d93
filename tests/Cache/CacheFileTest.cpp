// The cache file: its text, the round trip into a fresh process state, the
// header lines and their absence, files without a final line end, files
// that cannot be written or are write-protected, and the file templates.

#include <gtest/gtest.h>

#include <csignal>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>

#include "Algos/ProcessState.hpp"
#include "Cache/CacheBase.hpp"
#include "Cache/CacheSet.hpp"
#include "Eval/EvalPoint.hpp"
#include "Math/Double.hpp"
#include "Math/Point.hpp"
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
    // Only the file itself is left in the folder.
    size_t nbFiles = 0;
    for (const auto& entry : std::filesystem::directory_iterator(_dir.path()))
    {
        (void)entry;
        ++nbFiles;
    }
    EXPECT_EQ(1u, nbFiles);

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
    size_t nbFiles = 0;
    for (const auto& entry : std::filesystem::directory_iterator(_dir.path()))
    {
        (void)entry;
        ++nbFiles;
    }
    EXPECT_EQ(1u, nbFiles);
    EXPECT_TRUE(cache.write());
    EXPECT_NE(previous, readTextFile(file));
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

TEST_F(CacheFileTest, UnreadableContentStopsTheReader)
{
    const std::string file = _dir.file("bad.txt");
    const struct
    {
        const char* label;
        std::string text;
        std::string error;
        Coords kept;
    } cases[] = {
        {"unknown output type",
         "BB_OUTPUT_TYPE OBJ XYZ\n( 1 ) EVAL_OK ( 2 )\n",
         "Unrecognized string for QARNO::BBOutputType: XYZ",
         {}},
        {"not a point",
         "BB_OUTPUT_TYPE OBJ\n( 1 ) EVAL_OK ( 2 )\nhello\n",
         "Expecting \"(\", got \"hello\"",
         {{1}}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        resetProcessState();
        writeTextFile(file, c.text);
        EXPECT_EQ(c.error, messageOf([&] { startCache(OBJ_ONLY, file); }));
        ASSERT_TRUE(CacheBase::hasInstance());
        std::vector<EvalPoint> points;
        CacheBase::getInstance()->getAllPoints(points);
        EXPECT_EQ(c.kept, coordsOf(points));
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
