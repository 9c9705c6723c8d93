// The cache of the process: its creation and binding to runs, the decision
// of `smartInsert`, tags and cache hits, the point checks, look-ups, update,
// the bulk operations and points that lie about epsilon apart.

#include <gtest/gtest.h>

#include <cstddef>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "Algos/ProcessState.hpp"
#include "Cache/CacheBase.hpp"
#include "Cache/CacheSet.hpp"
#include "Eval/EvalPoint.hpp"
#include "Math/Double.hpp"
#include "Math/Point.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/CacheParameters.hpp"
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
using QarnoTest::makeEvalPoint;
using QarnoTest::messageOf;
using QarnoTest::ProcessStateGuard;
using QarnoTest::startCache;
using QarnoTest::StreamCapture;
using QarnoTest::TempDir;
using QarnoTest::UNDEF;
using QarnoTest::writeTextFile;

namespace
{

const double EPS = Double::DEFAULT_EPSILON;
const BBOutputTypeList OBJ_ONLY = {BBOutputType::OBJ};

EvalPoint queued(const std::vector<double>& coords)
{
    return EvalPoint(Point(makeArray(coords)));
}

class CacheSetTest : public ::testing::Test
{
protected:
    ProcessStateGuard _guard;
};

TEST_F(CacheSetTest, InstanceIsCreatedOnceAndResetWithTheProcessState)
{
    EXPECT_FALSE(CacheBase::hasInstance());
    EXPECT_EQ("Cannot get instance. A non-virtual object derived from CacheBase must be "
              "instantiated first. For example, call CacheSet::setInstance() ONCE before calling "
              "CacheBase::getInstance()",
              messageOf([] { CacheBase::getInstance(); }));

    CacheBase& cache = startCache(OBJ_ONLY);
    EXPECT_EQ(0u, cache.size());
    EXPECT_EQ("", cache.getFileName());
    EXPECT_EQ(std::numeric_limits<size_t>::max(), cache.getMaxSize());
    EXPECT_EQ(OBJ_ONLY, CacheSet::_bbOutputType);
    EXPECT_EQ("Cannot get instance. QARNO::CacheSet::setInstance must be called only ONCE before "
              "calling QARNO::CacheBase::getInstance()",
              messageOf([] { CacheSet::setInstance(makeCacheParameters(), OBJ_ONLY); }));

    cache.smartInsert(makeBBPoint({1}, "2", OBJ_ONLY));
    cache.smartInsert(makeBBPoint({1}, "2", OBJ_ONLY));
    EXPECT_EQ(1u, CacheBase::_nbCacheHits.load());

    resetProcessState();
    EXPECT_FALSE(CacheBase::hasInstance());
    EXPECT_EQ(0u, CacheBase::_nbCacheHits.load());
    EXPECT_TRUE(CacheSet::_bbOutputType.empty());
}

TEST_F(CacheSetTest, ParametersMustBeCheckedAndTheFileNameAbsolute)
{
    auto unchecked = std::make_shared<CacheParameters>();
    unchecked->setAttributeValue<size_t>("MAX_CACHE_SIZE", 10);
    // Reading the parameters already refuses them.
    EXPECT_EQ("Parameter to be checked. In getAttributeValue<T> the attribute MAX_CACHE_SIZE has "
              "not been checked",
              messageOf([&] { CacheSet::setInstance(unchecked, OBJ_ONLY); }));
    EXPECT_FALSE(CacheBase::hasInstance());

    auto relative = makeCacheParameters();
    relative->setSpValueDefault<std::string>("CACHE_FILE", "cache.txt");
    CerrCapture cerr;
    CacheSet::setInstance(relative, OBJ_ONLY);
    EXPECT_EQ("Error: Cache file name should have been converted to full path: cache.txt",
              cerr.text());
    EXPECT_EQ("cache.txt", CacheBase::getInstance()->getFileName());
}

TEST_F(CacheSetTest, SmartInsertDecidesWhetherToEvaluate)
{
    enum class Stored
    {
        NONE,
        QUEUED,
        BB,
        SGTE_ONLY
    };
    const struct
    {
        const char* label;
        Stored stored;
        EvalStatusType status; // of the stored evaluation
        short storedCount;
        short maxNumberEval;
        EvalType evalType;
        bool expected;
        size_t hits;
        const char* info;    // level-7 message
        bool newEvalWarning; // on standard error
    } cases[] = {
        {"new point", Stored::NONE, EvalStatusType::EVAL_OK, 0, 1, EvalType::BB, true, 0, "",
         false},
        {"queued, offered again", Stored::QUEUED, EvalStatusType::EVAL_OK, 0, 1, EvalType::BB,
         false, 0, "Point already inserted in cache, but not evaluated: ", false},
        {"queued, offered for a surrogate", Stored::QUEUED, EvalStatusType::EVAL_OK, 0, 1,
         EvalType::SGTE, true, 0, "", false},
        {"evaluated OK", Stored::BB, EvalStatusType::EVAL_OK, 1, 1, EvalType::BB, false, 1,
         "Cache hit: ", false},
        {"evaluated OK, any maximum", Stored::BB, EvalStatusType::EVAL_OK, 1, 32767, EvalType::BB,
         false, 1, "Cache hit: ", false},
        {"error, may be evaluated again", Stored::BB, EvalStatusType::EVAL_ERROR, 0, 1,
         EvalType::BB, true, 1, "Cache hit: ", true},
        {"error, maximum reached", Stored::BB, EvalStatusType::EVAL_ERROR, 1, 1, EvalType::BB,
         false, 1, "Cache hit: ", false},
        {"failed, never again", Stored::BB, EvalStatusType::EVAL_FAILED, 1, 5, EvalType::BB, false,
         1, "Cache hit: ", false},
        {"surrogate, never twice", Stored::SGTE_ONLY, EvalStatusType::EVAL_OK, 1, 5, EvalType::SGTE,
         false, 0, "", false},
        {"surrogate only, blackbox asked", Stored::SGTE_ONLY, EvalStatusType::EVAL_OK, 1, 1,
         EvalType::BB, false, 0, "Point already inserted in cache, but not evaluated: ", false},
    };
    // `offer` gives the answers, tags and messages of `smartInsert` without
    // recording the point; a queued point is then the queue's copy, not a
    // cached one.
    for (const bool viaOffer : {false, true})
        for (const auto& c : cases)
        {
            SCOPED_TRACE(std::string(c.label) + (viaOffer ? ", offer" : ", smartInsert"));
            resetProcessState();
            CacheBase& cache = startCache(OBJ_ONLY);
            EvalPoint queuedCopy;
            const bool inQueue = viaOffer && c.stored == Stored::QUEUED;
            if (inQueue)
            {
                queuedCopy = queued({1, 2});
                queuedCopy.updateTag();
            }
            else if (c.stored != Stored::NONE)
            {
                EvalPoint stored = queued({1, 2});
                if (c.stored == Stored::BB)
                {
                    stored.setBBO("3", OBJ_ONLY, EvalType::BB, true);
                    stored.setEvalStatus(c.status, EvalType::BB);
                }
                else if (c.stored == Stored::SGTE_ONLY)
                {
                    stored.setBBO("3", OBJ_ONLY, EvalType::SGTE, true);
                }
                stored.setNumberEval(c.storedCount);
                ASSERT_TRUE(cache.insert(stored));
            }
            CacheBase::_nbCacheHits = 0;

            EvalPoint offered = queued({1, 2});
            bool answer = false;
            CerrCapture cerr;
            const std::string info = infoMessagesOf(
                [&]
                {
                    answer = viaOffer ? cache.offer(offered, inQueue ? &queuedCopy : nullptr,
                                                    c.maxNumberEval, c.evalType)
                                      : cache.smartInsert(offered, c.maxNumberEval, c.evalType);
                });
            EXPECT_EQ(c.expected, answer);
            EXPECT_EQ(c.hits, CacheBase::_nbCacheHits.load());
            EXPECT_EQ(1u, offered.getTag());
            const bool cachedBefore = c.stored != Stored::NONE && !inQueue;
            EXPECT_EQ((viaOffer && !cachedBefore) ? 0u : 1u, cache.size());
            if (*c.info == '\0')
            {
                EXPECT_EQ(std::string::npos, info.find("Cache hit")) << info;
                EXPECT_EQ(std::string::npos, info.find("already inserted")) << info;
            }
            else
            {
                EXPECT_NE(std::string::npos, info.find(c.info + std::string("#1 ( 1 2 )"))) << info;
            }
            EXPECT_EQ(c.newEvalWarning,
                      cerr.text().rfind("Warning: CacheSet: smartInsert: New evaluation of point "
                                        "found in cache #1 ( 1 2 )",
                                        0) == 0)
                << cerr.text();
        }
}

TEST_F(CacheSetTest, SamePointTwiceMakesOneEntryAndCountsOnlyEvaluatedHits)
{
    CacheBase& cache = startCache(OBJ_ONLY);
    EvalPoint first = queued({0.5, 1});
    EXPECT_TRUE(cache.smartInsert(first));
    EvalPoint second = queued({0.5, 1});
    EXPECT_FALSE(cache.smartInsert(second));
    EXPECT_EQ(1u, cache.size());
    EXPECT_EQ(0u, CacheBase::_nbCacheHits.load());

    // After its evaluation the point is a cache hit, never evaluated again.
    EvalPoint evaluated = makeBBPoint({0.5, 1}, "4", OBJ_ONLY);
    ASSERT_TRUE(cache.update(evaluated, EvalType::BB));
    for (int i = 1; i <= 2; ++i)
    {
        EvalPoint again = queued({0.5, 1});
        EXPECT_FALSE(cache.smartInsert(again));
        EXPECT_EQ(static_cast<size_t>(i), CacheBase::_nbCacheHits.load());
    }
    EXPECT_EQ(1u, cache.size());
}

TEST_F(CacheSetTest, OfferedPointTakesTheTagOfTheStoredOne)
{
    CacheBase& cache = startCache(OBJ_ONLY);
    EvalPoint a = queued({1});
    cache.smartInsert(a);
    EXPECT_EQ(1u, a.getTag());

    const EvalPoint sameCoords = queued({1}); // a const caller gets the tag too
    cache.smartInsert(sameCoords);
    EXPECT_EQ(1u, sameCoords.getTag());

    EvalPoint tagged = queued({2});
    tagged.setTag(7);
    cache.smartInsert(tagged);
    EXPECT_EQ(7u, tagged.getTag());
    EvalPoint found;
    ASSERT_EQ(1u, cache.find(Point(makeArray({2})), found));
    EXPECT_EQ(7u, found.getTag());
}

TEST_F(CacheSetTest, IncompleteAndMissizedPointsAreRefused)
{
    CacheBase& cache = startCache(OBJ_ONLY);
    cache.smartInsert(queued({1, 2}));

    std::vector<EvalPoint> list;
    const auto never = [](const Point&, const EvalPoint&) { return false; };
    const std::string incomplete = "Error: Cache does not support incomplete points. Got point: ";
    const std::string missized = "Error: Cache method called with a point of size 3: ";
    const struct
    {
        const char* label;
        std::function<void()> op;
        std::string expected;
    } cases[] = {
        {"smartInsert, incomplete",
         [&] {
             cache.smartInsert(queued({1, UNDEF}));
         },
         incomplete + "#0 ( 1 - )"},
        {"insert, incomplete",
         [&] {
             cache.insert(queued({UNDEF, 2}));
         },
         incomplete + "#0 ( - 2 )"},
        {"insert, no coordinate", [&] { cache.insert(EvalPoint()); }, incomplete + "#0 (  )"},
        {"find into a list, incomplete",
         [&] {
             cache.find(Point(makeArray({1, UNDEF})), list);
         },
         incomplete + "( 1 - )"},
        {"find around, incomplete",
         [&] {
             cache.find(Point(makeArray({UNDEF, UNDEF})), never, list, 0);
         },
         incomplete + "( - - )"},
        {"smartInsert, size 3",
         [&] {
             cache.smartInsert(queued({1, 2, 3}));
         },
         missized + "#0 ( 1 2 3 ). Cache needs points of size 2"},
        {"insert, size 1", [&] { cache.insert(queued({1})); },
         "Error: Cache method called with a point of size 1: #0 ( 1 ). Cache needs points of "
         "size 2"},
        {"find into a list, size 3",
         [&] {
             cache.find(Point(makeArray({1, 2, 3})), list);
         },
         missized + "( 1 2 3 ). Cache needs points of size 2"},
        {"find around, size 3",
         [&] {
             cache.find(Point(makeArray({1, 2, 3})), never, list, 0);
         },
         missized + "( 1 2 3 ). Cache needs points of size 2"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.expected, messageOf(c.op));
        EXPECT_EQ(1u, cache.size());
    }

    // Looking a point up by coordinates alone checks nothing: a point that
    // cannot be cached is simply not there.
    EvalPoint receiver;
    EXPECT_EQ(0u, cache.find(Point(makeArray({1, UNDEF})), receiver));
    EXPECT_EQ(0u, cache.find(Point(makeArray({1, 2, 3})), receiver));

    // After `clear` any dimension goes.
    EXPECT_TRUE(cache.clear());
    EXPECT_EQ(0u, cache.getPointSize());
    EXPECT_TRUE(cache.smartInsert(queued({1, 2, 3})));
    EXPECT_EQ(3u, cache.getPointSize());
}

TEST_F(CacheSetTest, LookUps)
{
    CacheBase& cache = startCache(OBJ_ONLY);
    for (double x : {3.0, 1.0, 2.0, 4.0})
    {
        cache.insert(makeEvalPoint({x, 0}, 10 - x, x > 2 ? 1.0 : 0.0));
    }
    cache.smartInsert(queued({5, 0})); // queued, no evaluation

    EvalPoint found;
    EXPECT_EQ(1u, cache.find(Point(makeArray({2, 0})), found));
    EXPECT_EQ(8.0, found.getF().todouble());
    EvalPoint untouched = queued({9, 9});
    EXPECT_EQ(0u, cache.find(Point(makeArray({7, 0})), untouched));
    EXPECT_EQ(9.0, untouched[0].todouble());

    std::vector<EvalPoint> list(3);
    EXPECT_EQ(1u, cache.find(Point(makeArray({4, 0})), list));
    EXPECT_EQ(1u, list.size());
    EXPECT_EQ(0u, cache.find(Point(makeArray({6, 0})), list));
    EXPECT_TRUE(list.empty());

    // By evaluation: f below 8.5.
    const auto fBelow = [](const Eval& e, const Eval& ref) { return e.getF() < ref.getF(); };
    EXPECT_EQ(3u, cache.find(QarnoTest::makeEval(8.5, 0), fBelow, list, EvalType::BB));
    EXPECT_EQ((std::vector<std::vector<double>>{{2, 0}, {3, 0}, {4, 0}}), coordsOf(list));
    EXPECT_EQ(0u, cache.find(QarnoTest::makeEval(8.5, 0), fBelow, list, EvalType::SGTE));

    // Around a point: a maximum of 0 means all of them.
    const auto within2 = [](const Point& x, const EvalPoint& p)
    { return Point::dist(x, p).todouble() <= 2.0; };
    const Point center(makeArray({3, 0}));
    EXPECT_EQ(5u, cache.find(center, within2, list, 0));
    EXPECT_EQ((std::vector<std::vector<double>>{{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}}),
              coordsOf(list));
    EXPECT_EQ(2u, cache.find(center, within2, list, 2));
    EXPECT_EQ((std::vector<std::vector<double>>{{1, 0}, {2, 0}}), coordsOf(list));

    // With predicates, in cache order.
    EXPECT_EQ(5u, cache.getAllPoints(list));
    EXPECT_EQ(4u, cache.find(EvalPoint::hasBbEval, list));
    const auto feasible = [](const EvalPoint& p) { return p.isFeasible(EvalType::BB); };
    EXPECT_EQ(2u, cache.find(EvalPoint::hasBbEval, feasible, list));
    EXPECT_EQ((std::vector<std::vector<double>>{{1, 0}, {2, 0}}), coordsOf(list));
}

std::vector<const EvalPoint*> g_visited;

void recordAddress(EvalPoint& p)
{
    g_visited.push_back(&p);
}

TEST_F(CacheSetTest, PredicatesSeeTheStoredPointsNotCopies)
{
    CacheBase& cache = startCache(OBJ_ONLY);
    for (double x : {1.0, 2.0, 3.0})
    {
        cache.insert(makeEvalPoint({x}, x, 0));
    }
    g_visited.clear();
    cache.processOnAllPoints(recordAddress);
    ASSERT_EQ(3u, g_visited.size());

    std::vector<const EvalPoint*> seen;
    std::vector<EvalPoint> list;
    cache.find(
        [&](const EvalPoint& p)
        {
            seen.push_back(&p);
            return true;
        },
        list);
    EXPECT_EQ(g_visited, seen);

    seen.clear();
    cache.find([&](const EvalPoint& p) { return seen.push_back(&p), true; },
               [&](const EvalPoint&) { return false; }, list);
    EXPECT_EQ(g_visited, seen);
}

TEST_F(CacheSetTest, UpdateStoresTheEvaluationOfAKnownPointOnly)
{
    CacheBase& cache = startCache(OBJ_ONLY);
    EvalPoint p = queued({1, 1});
    cache.smartInsert(p);

    EvalPoint evaluated = makeBBPoint({1, 1}, "2.5", OBJ_ONLY);
    evaluated.setNumberEval(3);
    EXPECT_TRUE(cache.update(evaluated, EvalType::BB));
    EvalPoint found;
    cache.find(evaluated, found);
    EXPECT_EQ(2.5, found.getF().todouble());
    EXPECT_EQ(3, found.getNumberEval());
    EXPECT_TRUE(cache.hasFeas(EvalType::BB));

    {
        CerrCapture cerr;
        EXPECT_FALSE(cache.update(queued({1, 1}), EvalType::BB));
        EXPECT_EQ("Warning: CacheSet: Update: Cannot update to a NULL Eval for Point #0 ( 1 1 )\n",
                  cerr.text());
    }

    const std::string notFound = "Warning: CacheSet: Update: Did not find EvalPoint to update in "
                                 "cache: #0 ( 2 2 )\t(BB - Evaluation OK\t f = 1\t h = 0)";
    CerrCapture cerr;
    StreamCapture out(std::cout);
    EXPECT_FALSE(cache.update(makeBBPoint({2, 2}, "1", OBJ_ONLY), EvalType::BB));
    EXPECT_EQ(notFound + "\n", cerr.text());
    OutputQueue::getInstance()->flush();
    EXPECT_NE(std::string::npos, out.text().find(notFound)) << out.text();
    EXPECT_EQ(1u, cache.size());
}

TEST_F(CacheSetTest, PointsAboutEpsilonApartShareAnEntryOnlyInOneEpsilonCell)
{
    CacheBase& cache = startCache(OBJ_ONLY);
    cache.insert(makeBBPoint({0.0}, "1", OBJ_ONLY));

    // Each coordinate falls into a cell [k eps, (k+1) eps); the points of one
    // cell are one entry, whatever the tolerant equality says: 0.99 eps and
    // eps are equal within eps but two entries, 0 and 0.99 eps one.
    const struct
    {
        double x;
        bool isNew;
    } cases[] = {
        {0.4 * EPS, false},  {0.99 * EPS, false}, {1.0 * EPS, true},  {1.5 * EPS, false},
        {1.99 * EPS, false}, {-0.2 * EPS, true},  {-1.1 * EPS, true}, {-1e-30, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.x / EPS);
        const Point x(makeArray({c.x}));
        EvalPoint found;
        EXPECT_EQ(c.isNew ? 0u : 1u, cache.find(x, found));
        EvalPoint offered(x);
        EXPECT_EQ(c.isNew, cache.smartInsert(offered));
        EXPECT_EQ(1u, cache.find(x, found));
    }
    std::vector<EvalPoint> all;
    cache.getAllPoints(all);
    EXPECT_EQ((std::vector<std::vector<double>>{{-1.1 * EPS}, {-0.2 * EPS}, {0.0}, {1.0 * EPS}}),
              coordsOf(all));

    // Every entry is found by its own coordinates, and the order is strict.
    for (size_t i = 0; i < all.size(); ++i)
    {
        std::vector<EvalPoint> list;
        ASSERT_EQ(1u, cache.find(all[i], list));
        EXPECT_EQ(all[i][0].todouble(), list[0][0].todouble());
        EXPECT_EQ(all[i].getTag(), list[0].getTag());
        if (i > 0)
        {
            EXPECT_TRUE(Point::weakLess(all[i - 1], all[i]));
            EXPECT_FALSE(Point::weakLess(all[i], all[i - 1]));
        }
    }
}

void makeFeasible(EvalPoint& p)
{
    if (p.getEval(EvalType::BB) != nullptr)
    {
        p.setH(0.0, EvalType::BB);
    }
}

TEST_F(CacheSetTest, BulkOperations)
{
    CacheBase& cache = startCache(OBJ_ONLY);
    for (double x : {1.0, 2.0, 3.0})
    {
        cache.insert(makeEvalPoint({x}, x, 2.0)); // infeasible
    }
    EvalPoint sgteOnly = queued({4});
    sgteOnly.setBBO("0", OBJ_ONLY, EvalType::SGTE, true);
    cache.insert(sgteOnly);
    EvalPoint both = makeEvalPoint({5}, 5, 2.0);
    both.setBBO("0", OBJ_ONLY, EvalType::SGTE, true);
    cache.insert(both);
    EvalPoint otherThread = queued({6});
    otherThread.setThreadAlgo(1);
    otherThread.setBBO("0", OBJ_ONLY, EvalType::SGTE, true);
    cache.insert(otherThread);

    Double mean;
    EXPECT_EQ(4u, cache.computeMeanF(mean));
    EXPECT_EQ(2.75, mean.todouble());

    // A visitor may change evaluations: the best-point searches follow.
    EXPECT_FALSE(cache.hasFeas(EvalType::BB));
    cache.processOnAllPoints(makeFeasible);
    EXPECT_TRUE(cache.hasFeas(EvalType::BB));
    std::vector<EvalPoint> best;
    EXPECT_EQ(1u, cache.findBestFeas(best, Point(1), EvalType::BB, nullptr));
    EXPECT_EQ((std::vector<std::vector<double>>{{1}}), coordsOf(best));

    cache.clearSgte(0);
    std::vector<EvalPoint> list;
    EXPECT_EQ(1u, cache.find(EvalPoint::hasSgteEval, list));
    EXPECT_EQ((std::vector<std::vector<double>>{{6}}), coordsOf(list));

    cache.smartInsert(queued({7}));
    cache.deleteSgteOnly(0);
    cache.getAllPoints(list);
    EXPECT_EQ((std::vector<std::vector<double>>{{1}, {2}, {3}, {5}, {6}}), coordsOf(list));
    EXPECT_EQ(1u, cache.getPointSize());

    CacheBase::_nbCacheHits = 4;
    EXPECT_TRUE(cache.clear());
    EXPECT_EQ(0u, cache.size());
    EXPECT_EQ(0u, CacheBase::_nbCacheHits.load());
    EXPECT_FALSE(cache.hasFeas(EvalType::BB));
}

TEST_F(CacheSetTest, PurgeKeepsTheLowestValuesThenHalves)
{
    const struct
    {
        const char* label;
        size_t maxSize;
        std::vector<double> fs; // f of points (0), (1), ...; NaN: no evaluation
        std::vector<std::vector<double>> kept;
    } cases[] = {
        {"no limit", std::numeric_limits<size_t>::max(), {1, 2, 3}, {{0}, {1}, {2}}},
        {"above the size", 4, {1, 2, 3}, {{0}, {1}, {2}}},
        {"below the mean, twice", 2, {1, 2, 3, 4, 5}, {{0}}},
        {"equal values are halved", 2, {1, 1, 1, 1}, {{0}}},
        {"no value at all is halved", 3, {UNDEF, UNDEF, UNDEF, UNDEF}, {{0}, {1}}},
        {"one point is never halved away", 1, {5}, {{0}}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        resetProcessState();
        CacheBase& cache = startCache(OBJ_ONLY, "", c.maxSize);
        for (size_t i = 0; i < c.fs.size(); ++i)
        {
            const double x = static_cast<double>(i);
            cache.insert(c.fs[i] == c.fs[i] ? makeEvalPoint({x}, c.fs[i], 0) : queued({x}));
        }
        CerrCapture cerr;
        cache.purge();
        EXPECT_EQ("Warning: Calling Cache purge. Size is " + std::to_string(c.fs.size()) +
                      " max is " + std::to_string(c.maxSize) +
                      ". Some points will be removed from the cache.\n",
                  cerr.text());
        std::vector<EvalPoint> list;
        cache.getAllPoints(list);
        EXPECT_EQ(c.kept, coordsOf(list));
        std::vector<EvalPoint> best;
        EXPECT_EQ(c.kept.empty() || c.fs[0] != c.fs[0] ? 0u : 1u,
                  cache.findBestFeas(best, Point(1), EvalType::BB, nullptr));
    }
}

TEST_F(CacheSetTest, EmptyCacheIsBoundToEachNewRun)
{
    TempDir dir;
    writeTextFile(dir.file("a.txt"), "BB_OUTPUT_TYPE OBJ\n( 1 ) EVAL_OK ( 3 )\n");
    writeTextFile(dir.file("b.txt"), "BB_OUTPUT_TYPE OBJ EB\n( 2 ) EVAL_OK ( 4 -1 )\n");

    // Two runs in one process; between them the caller empties the cache.
    const struct
    {
        std::string file;
        size_t maxSize;
        BBOutputTypeList types;
        double x;
        double f;
    } runs[] = {
        {dir.file("a.txt"), 100, OBJ_ONLY, 1, 3},
        {dir.file("b.txt"), 200, {BBOutputType::OBJ, BBOutputType::EB}, 2, 4},
    };
    for (const auto& run : runs)
    {
        SCOPED_TRACE(run.file);
        if (CacheBase::hasInstance())
        {
            CacheBase::getInstance()->clear();
        }
        CacheSet::bindToRun(makeCacheParameters(run.file, run.maxSize), OBJ_ONLY);
        CacheBase& cache = *CacheBase::getInstance();
        EXPECT_EQ(run.file, cache.getFileName());
        EXPECT_EQ(run.maxSize, cache.getMaxSize());
        EXPECT_EQ(run.types, CacheSet::_bbOutputType);
        std::vector<EvalPoint> best;
        ASSERT_EQ(1u, cache.findBestFeas(best, Point(1), EvalType::BB, nullptr));
        EXPECT_EQ(run.x, best[0][0].todouble());
        EXPECT_EQ(run.f, best[0].getF().todouble());
    }

    // A cache kept with its points stays bound to its run.
    CacheSet::bindToRun(makeCacheParameters(dir.file("a.txt"), 5), OBJ_ONLY);
    CacheBase& cache = *CacheBase::getInstance();
    EXPECT_EQ(dir.file("b.txt"), cache.getFileName());
    EXPECT_EQ(200u, cache.getMaxSize());
    EXPECT_EQ(1u, cache.size());
    EXPECT_EQ((BBOutputTypeList{BBOutputType::OBJ, BBOutputType::EB}), CacheSet::_bbOutputType);
}

} // namespace
