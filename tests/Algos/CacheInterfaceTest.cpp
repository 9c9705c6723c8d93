#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Algos/CacheInterface.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/EvalPoint.hpp"
#include "Math/Point.hpp"
#include "support/CacheSupport.hpp"
#include "support/StepSupport.hpp"
#include "support/SubspaceSupport.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::coordsOf;
using QarnoTest::makeArray;
using QarnoTest::makeBBPoint;
using QarnoTest::messageOf;
using QarnoTest::ProcessStateGuard;
using QarnoTest::RecordingStep;
using QarnoTest::startCache;
using QarnoTest::SubspaceAlgorithm;
using QarnoTest::UNDEF;

namespace
{

using Coords = std::vector<std::vector<double>>;

const BBOutputTypeList OBJ_PB = {BBOutputType::OBJ, BBOutputType::PB};

/// Variables 1 and 3 fixed at 2 and 4.
const std::vector<double> FIX_1_3 = {UNDEF, 2, UNDEF, 4, UNDEF};
const std::vector<double> NO_FIX = {UNDEF, UNDEF, UNDEF, UNDEF, UNDEF};

/// Cache of four points: two carry the fixed values 2 and 4, two do not.
void fillCache()
{
    auto& cache = startCache(OBJ_PB);
    cache.insert(makeBBPoint({1, 2, 3, 4, 5}, "7 0", OBJ_PB));
    cache.insert(makeBBPoint({0, 2, 0, 4, 0}, "3 0", OBJ_PB));
    cache.insert(makeBBPoint({1, 9, 3, 4, 5}, "1 0", OBJ_PB));
    cache.insert(makeBBPoint({1, 2, 3, 8, 5}, "2 0", OBJ_PB));
}

Point pointOf(const std::vector<double>& coords)
{
    return Point(makeArray(coords));
}

} // namespace

TEST(CacheInterface, FindsSubSpacePointsThroughTheirFullSpaceForm)
{
    ProcessStateGuard guard;
    fillCache();
    struct Case
    {
        const char* label;
        std::vector<double> fixed;
        std::vector<double> x;
        size_t found;
        std::vector<double> coords;
        double f;
    };
    const Case cases[] = {
        {"fixed values put back", FIX_1_3, {1, 3, 5}, 1, {1, 3, 5}, 7},
        {"other sub-space point", FIX_1_3, {0, 0, 0}, 1, {0, 0, 0}, 3},
        {"full form not cached", FIX_1_3, {1, 3, 6}, 0, {}, UNDEF},
        {"no fixed variable: the cache itself", NO_FIX, {1, 9, 3, 4, 5}, 1, {1, 9, 3, 4, 5}, 1},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        SubspaceAlgorithm algo(c.fixed);
        RecordingStep poll(&algo.algo, "Poll");
        CacheInterface view(&poll);

        EvalPoint received;
        EXPECT_EQ(c.found, view.find(pointOf(c.x), received, EvalType::BB));
        if (c.found > 0)
        {
            EXPECT_EQ(Coords{c.coords}, coordsOf({received}));
            EXPECT_DOUBLE_EQ(c.f, received.getF().todouble());
        }
        else
        {
            EXPECT_EQ(0u, received.size());
        }
    }
}

TEST(CacheInterface, SelectsOnlyPointsCarryingTheFixedVariable)
{
    ProcessStateGuard guard;
    fillCache();
    SubspaceAlgorithm algo(FIX_1_3);
    RecordingStep poll(&algo.algo, "Poll");
    const CacheInterface view(&poll);

    std::vector<EvalPoint> points;
    EXPECT_EQ(2u, view.getAllPoints(points));
    const Coords fixedOnes = {{0, 0, 0}, {1, 3, 5}};
    EXPECT_EQ(fixedOnes, coordsOf(points));

    // The best feasible point of the cache (f = 1) has another fixed value.
    EXPECT_EQ(1u, view.findBestFeas(points, EvalType::BB, nullptr));
    EXPECT_EQ((Coords{{0, 0, 0}}), coordsOf(points));
}

TEST(CacheInterface, CriterionSeesSubSpacePointsOnlyWhenRestricted)
{
    ProcessStateGuard guard;
    fillCache();
    SubspaceAlgorithm algo(FIX_1_3);
    RecordingStep poll(&algo.algo, "Poll");
    const CacheInterface view(&poll);

    std::vector<size_t> seenSizes;
    const auto firstIsOne = [&seenSizes](const EvalPoint& p)
    {
        seenSizes.push_back(p.size());
        return p[0] == 1.0;
    };
    std::vector<EvalPoint> points{EvalPoint(pointOf({42}))};

    EXPECT_EQ(1u, view.find(firstIsOne, points, true));
    EXPECT_EQ((Coords{{1, 3, 5}}), coordsOf(points));
    EXPECT_EQ((std::vector<size_t>{3, 3}), seenSizes);

    seenSizes.clear();
    // Unrestricted: full-space points, whatever their fixed coordinates, all
    // returned without the coordinates 1 and 3.
    EXPECT_EQ(3u, view.find(firstIsOne, points, false));
    const Coords expected = {{1, 3, 5}, {1, 3, 5}, {1, 3, 5}};
    EXPECT_EQ(expected, coordsOf(points));
    EXPECT_EQ((std::vector<size_t>{5, 5, 5, 5}), seenSizes);
}

TEST(CacheInterface, SmartInsertStoresTheFullSpaceFormOnly)
{
    ProcessStateGuard guard;
    auto& cache = startCache(OBJ_PB);
    SubspaceAlgorithm algo(FIX_1_3);
    RecordingStep poll(&algo.algo, "Poll");
    CacheInterface view(&poll);

    const EvalPoint sub(pointOf({6, 7, 8}));
    EXPECT_TRUE(view.smartInsert(sub, 1, EvalType::BB));
    EXPECT_EQ(0u, sub.getTag());
    std::vector<EvalPoint> all;
    cache.getAllPoints(all);
    EXPECT_EQ((Coords{{6, 2, 7, 4, 8}}), coordsOf(all));
    EXPECT_NE(0u, all[0].getTag());
}

TEST(CacheInterface, RefusesAMissingStepOrCache)
{
    ProcessStateGuard guard;
    EXPECT_EQ("Step for CacheInterface should not be NULL",
              messageOf([] { CacheInterface view(nullptr); }));

    SubspaceAlgorithm algo(FIX_1_3);
    CacheInterface view(&algo.algo);
    std::vector<EvalPoint> points;
    EXPECT_EQ("Cannot get instance. A non-virtual object derived from CacheBase must be "
              "instantiated first. For example, call CacheSet::setInstance() ONCE before calling "
              "CacheBase::getInstance()",
              messageOf([&] { view.getAllPoints(points); }));
}
