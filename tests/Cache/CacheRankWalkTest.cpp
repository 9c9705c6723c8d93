// The walk of the cache best first: the order of the rankings, the stop
// asked by the caller, and the refusal when the rankings miss a point.

#include <gtest/gtest.h>

#include <cstddef>
#include <limits>
#include <vector>

#include "Cache/CacheBase.hpp"
#include "Cache/CacheSet.hpp"
#include "Eval/EvalPoint.hpp"
#include "support/CacheSupport.hpp"
#include "support/EvalSupport.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::makeEvalPoint;
using QarnoTest::ProcessStateGuard;
using QarnoTest::startCache;

namespace
{

const double INF = std::numeric_limits<double>::infinity();

class CacheRankWalkTest : public ::testing::Test
{
protected:
    ProcessStateGuard _guard;
};

/// The first coordinates of the points visited, at most `limit` of them.
std::vector<double> walk(const CacheSet& cache, EvalType evalType, size_t limit, bool& walked)
{
    std::vector<double> visited;
    walked = cache.visitInRankOrder(evalType,
                                    [&](const EvalPoint& p)
                                    {
                                        visited.push_back(p[0].todouble());
                                        return visited.size() < limit;
                                    });
    return visited;
}

TEST_F(CacheRankWalkTest, FeasibleByFThenHAndInfeasibleByHThenF)
{
    CacheBase& cache = startCache({BBOutputType::OBJ, BBOutputType::PB});
    const struct
    {
        double x; // also the name of the point in the expected orders
        double f;
        double h;
    } points[] = {
        {1, 3, 0}, {2, 1, 0}, {3, 2, 0},    {4, -5, 2},
        {5, 7, 1}, {6, 6, 1}, {7, -9, INF}, {8, 2.5, 0},
    };
    for (const auto& p : points)
    {
        cache.insert(makeEvalPoint({p.x, 0}, p.f, p.h));
    }
    const auto& cacheSet = dynamic_cast<const CacheSet&>(cache);

    const struct
    {
        const char* label;
        size_t limit;
        std::vector<double> expected;
    } cases[] = {
        {"every point", 100, {2, 3, 8, 1, 6, 5, 4, 7}},
        {"stopped by the caller", 2, {2, 3}},
        {"stopped on the first infeasible point", 5, {2, 3, 8, 1, 6}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        bool walked = false;
        EXPECT_EQ(c.expected, walk(cacheSet, EvalType::BB, c.limit, walked));
        EXPECT_TRUE(walked);
    }

    bool walked = false;
    EXPECT_TRUE(walk(cacheSet, EvalType::SGTE, 100, walked).empty());
    EXPECT_TRUE(walked) << "no surrogate evaluation: an empty walk";
    EXPECT_TRUE(walk(cacheSet, EvalType::UNDEFINED, 100, walked).empty());
    EXPECT_FALSE(walked) << "no ranking of either kind";

    // f not a number: the rankings cannot place the point, the caller must
    // look at every point.
    cache.insert(makeEvalPoint({9, 0}, std::numeric_limits<double>::quiet_NaN(), 0));
    EXPECT_TRUE(walk(cacheSet, EvalType::BB, 100, walked).empty());
    EXPECT_FALSE(walked);
}

} // namespace
