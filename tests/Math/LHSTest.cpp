#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Math/ArrayOfDouble.hpp"
#include "Math/LHS.hpp"
#include "Math/Point.hpp"
#include "Math/RNG.hpp"
#include "Util/Exception.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::makeArray;
using QarnoTest::messageOf;

namespace
{

class LHSTest : public ::testing::Test
{
protected:
    QarnoTest::ProcessStateGuard _guard;
};

} // namespace

TEST_F(LHSTest, IncompleteBoundsAreRejected)
{
    ArrayOfDouble holed = makeArray({0.0, 1.0, 2.0});
    holed[1] = Double();
    const ArrayOfDouble full = makeArray({5.0, 6.0, 7.0});
    const Point fullPoint(full);
    const struct
    {
        const char* name;
        ArrayOfDouble lb;
        ArrayOfDouble ub;
        std::string message;
    } cases[] = {
        {"lower with a hole", holed, full,
         "LHS Lower bound needs to be completely defined. Values given: 0 - 2"},
        {"both with holes: lower first", holed, holed,
         "LHS Lower bound needs to be completely defined. Values given: 0 - 2"},
        {"upper with a hole", full, holed,
         "LHS Upper bound needs to be completely defined. Values given: 0 - 2"},
        {"empty lower", ArrayOfDouble(), full,
         "LHS Lower bound needs to be completely defined. Values given: "},
        {"undefined upper", fullPoint, ArrayOfDouble(3),
         "LHS Upper bound needs to be completely defined. Values given: - - -"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        try
        {
            LHS lhs(3, 4, c.lb, c.ub);
            ADD_FAILURE() << "no exception";
        }
        catch (const Exception& e)
        {
            EXPECT_EQ(c.message, messageOf(e));
        }
    }
}

TEST_F(LHSTest, PermutationFollowsRandomPickup)
{
    const std::vector<size_t> expected = {1, 5, 4, 3, 2};
    EXPECT_EQ(expected, LHS::Permutation(5));
    EXPECT_TRUE(LHS::Permutation(0).empty());
}

// Values computed apart from the library from the default generator state.
TEST_F(LHSTest, SampleFromDefaultState)
{
    const struct
    {
        size_t p;
        std::vector<std::vector<double>> points;
    } cases[] = {
        {3,
         {{0.29152383545681926, 0.7960998778688022},
          {2.8493741929646057, -0.5980322904880233},
          {1.2404978322425153, 0.04161756370254266}}},
        // One point: lb + (1 - u) (ub - lb).
        {1, {{0.8546539258339101, 0.5031664128189828}}},
    };
    const ArrayOfDouble lb = makeArray({0.0, -1.0});
    const ArrayOfDouble ub = makeArray({3.0, 1.0});
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.p);
        QarnoTest::resetRandomGenerator();
        const std::vector<Point> sample = LHS(2, c.p, lb, ub).Sample();
        ASSERT_EQ(c.points.size(), sample.size());
        for (size_t j = 0; j < sample.size(); ++j)
        {
            ASSERT_EQ(2u, sample[j].size());
            for (size_t i = 0; i < 2; ++i)
            {
                EXPECT_NEAR(c.points[j][i], sample[j][i].todouble(), 1e-14) << j << " " << i;
            }
        }
    }
}

TEST_F(LHSTest, OnePointPerSliceInEveryCoordinate)
{
    const struct
    {
        size_t n;
        size_t p;
        int seed;
        std::vector<double> lb;
        std::vector<double> ub;
    } cases[] = {
        {1, 1, 0, {0.0}, {1.0}},
        {2, 7, 3, {-1.0, 10.0}, {1.0, 10.5}},
        {5, 50, 12, {0.0, -100.0, 1e-3, -1e6, 2.0}, {1.0, 100.0, 2e-3, 1e6, 2.0}},
        {3, 200, 77, {-5.0, 0.0, 3.0}, {5.0, 1e-6, 4.0}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.n) + "x" + std::to_string(c.p));
        QarnoTest::resetRandomGenerator();
        RNG::setSeed(c.seed);
        const std::vector<Point> sample = LHS(c.n, c.p, makeArray(c.lb), makeArray(c.ub)).Sample();
        ASSERT_EQ(c.p, sample.size());
        for (size_t i = 0; i < c.n; ++i)
        {
            std::vector<double> values;
            for (const Point& x : sample)
            {
                ASSERT_EQ(c.n, x.size());
                values.push_back(x[i].todouble());
            }
            std::sort(values.begin(), values.end());
            // The j-th smallest value lies in slice j.
            const double width = (c.ub[i] - c.lb[i]) / c.p;
            const double tol = 1e-12 * std::max(1.0, std::abs(c.ub[i]) + std::abs(c.lb[i]));
            for (size_t j = 0; j < c.p; ++j)
            {
                EXPECT_GE(values[j], c.lb[i] + j * width - tol) << "coordinate " << i;
                EXPECT_LE(values[j], c.lb[i] + (j + 1) * width + tol) << "coordinate " << i;
            }
        }
    }
}

TEST_F(LHSTest, SamplesAreReproducibleAndContinueTheStream)
{
    const ArrayOfDouble lb = makeArray({0.0, -2.0, 5.0});
    const ArrayOfDouble ub = makeArray({1.0, 2.0, 6.0});
    const size_t n = 3;
    const size_t p = 6;
    const int seed = 41;

    auto samplesFromSeed = [&]()
    {
        QarnoTest::resetRandomGenerator();
        RNG::setSeed(seed);
        const LHS lhs(n, p, lb, ub);
        std::vector<std::vector<Point>> two;
        two.push_back(lhs.Sample());
        two.push_back(lhs.Sample());
        return two;
    };
    const std::vector<std::vector<Point>> first = samplesFromSeed();
    const std::vector<std::vector<Point>> again = samplesFromSeed();

    for (size_t s = 0; s < 2; ++s)
    {
        ASSERT_EQ(p, first[s].size());
        for (size_t j = 0; j < p; ++j)
        {
            for (size_t i = 0; i < n; ++i)
            {
                EXPECT_EQ(first[s][j][i].todouble(), again[s][j][i].todouble());
            }
        }
    }
    // The second sample takes later draws: it differs from the first.
    EXPECT_NE(first[0][0][0].todouble(), first[1][0][0].todouble());

    // Each sample takes n p draws for the permutations and n p offsets.
    QarnoTest::resetRandomGenerator();
    RNG::setSeed(seed);
    RNG::advance(2 * 2 * n * p);
    const uint32_t expectedNext = RNG::rand();
    samplesFromSeed();
    EXPECT_EQ(expectedNext, RNG::rand());
}

TEST_F(LHSTest, EmptyCasesDrawNothing)
{
    const struct
    {
        size_t n;
        size_t p;
    } cases[] = {
        {3, 0}, // no point
        {0, 4}, // four empty points
        {0, 0},
    };
    const uint32_t firstDraw = 1588437975u;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.n) + "x" + std::to_string(c.p));
        QarnoTest::resetRandomGenerator();
        const std::vector<Point> sample =
            LHS(c.n, c.p, makeArray({0.0, 0.0, 0.0}), makeArray({1.0, 1.0, 1.0})).Sample();
        ASSERT_EQ(c.p, sample.size());
        for (const Point& x : sample)
        {
            EXPECT_EQ(0u, x.size());
        }
        EXPECT_EQ(firstDraw, RNG::rand());
    }
}

TEST_F(LHSTest, BoundsShorterThanDimensionThrowInsteadOfReadingPastThem)
{
    const LHS lhs(3, 2, makeArray({0.0, 0.0}), makeArray({1.0, 1.0}));
    EXPECT_THROW(lhs.Sample(), Exception);
}
