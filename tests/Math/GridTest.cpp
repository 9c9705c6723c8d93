#include "Math/Grid.hpp"

#include <cfloat>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/TestSupport.hpp"

namespace
{

using namespace QARNO_4_0_0;
using QarnoTest::makeArray;
using QarnoTest::UNDEF;

/// The double that the decimal text k x 10^-d reads as: the nearest one.
double decimal(long long k, int d)
{
    return std::stod(std::to_string(k) + "e-" + std::to_string(d));
}

TEST(Grid, MultiplesOfADecimalGranularityAreTheNearestDoubles)
{
    struct Case
    {
        double g;
        int decimals; // g = 10^-decimals
    };
    for (const Case& c : {Case{1e-7, 7}, Case{0.1, 1}, Case{0.01, 2}})
    {
        SCOPED_TRACE("g = " + std::to_string(c.g));
        const Grid grid{Double(c.g)};
        ASSERT_TRUE(grid.isGranular());
        // k x g in plain arithmetic is off for many k (3 x 0.1 is
        // 0.30000000000000004): the grid gives the decimal itself.
        for (long long k = -20000; k <= 20000; k += 7)
        {
            ASSERT_EQ(decimal(k, c.decimals), grid.multiple(static_cast<double>(k))) << k;
        }
        const long long big = 49999999; // about 5 for g = 1e-7
        EXPECT_EQ(decimal(big, c.decimals), grid.multiple(static_cast<double>(big)));
    }
}

TEST(Grid, IntegerAndHalfGranularitiesGiveExactValues)
{
    const Grid integer{Double(1.0)};
    const Grid two{Double(2.0)};
    const Grid half{Double(0.5)};
    for (double k = -1000; k <= 1000; ++k)
    {
        ASSERT_EQ(k, integer.multiple(k));
        ASSERT_EQ(2 * k, two.multiple(k));
        ASSERT_EQ(k / 2, half.multiple(k));
    }
    // What a sum of steps gives near an integer reaches the grid as the
    // integer itself.
    EXPECT_EQ(4.0, integer.nearest(3.9999999999999996));
    EXPECT_EQ(4.0, integer.nearest(4.000000000000001));
}

TEST(Grid, NearestCeilAndFloor)
{
    struct Case
    {
        const char* name;
        double g;
        double x;
        double nearest;
        double ceil;
        double floor;
    };
    const std::vector<Case> cases = {
        // The exact ceiling of a value a hair above a grid point is the next one.
        {"off by rounding", 1e-7, 0.30000000000000004, 0.3, 0.3000001, 0.3},
        {"off by a third of a step", 1e-7, 0.2999999656524658, 0.3, 0.3, 0.2999999},
        {"off bound", 1e-7, 0.12345678, 0.1234568, 0.1234568, 0.1234567},
        {"negative", 0.5, -0.3, -0.5, 0.0, -0.5},
        {"on the grid", 0.5, 1.5, 1.5, 1.5, 1.5},
        {"integer", 1.0, -2.5, -3.0, -2.0, -3.0},
        {"no short decimal", 1.0 / 3.0, 0.5, 2.0 / 3.0, 2.0 / 3.0, 1.0 / 3.0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const Grid grid{Double(c.g)};
        EXPECT_EQ(c.nearest, grid.nearest(c.x));
        EXPECT_EQ(c.ceil, grid.ceil(c.x));
        EXPECT_EQ(c.floor, grid.floor(c.x));
    }
}

TEST(Grid, NoGridForAContinuousCoordinate)
{
    for (const Double& g : {Double(), Double(0.0), Double(1e-14), Double(-1.0), Double(INF * 10)})
    {
        SCOPED_TRACE(g.tostring());
        const Grid grid(g);
        EXPECT_FALSE(grid.isGranular());
        EXPECT_EQ(0.30000000000000004, grid.nearest(0.30000000000000004));
        EXPECT_EQ(0.1, grid.ceil(0.1));
        EXPECT_EQ(0.1, grid.floor(0.1));
    }
}

TEST(Grid, PlaceOnGridsWithinBounds)
{
    struct Case
    {
        const char* name;
        std::vector<double> x;
        std::vector<double> granularity;
        std::vector<double> lb;
        std::vector<double> ub;
        bool placed;
        std::vector<double> expected;
    };
    const std::vector<Case> cases = {
        {"onto the grid",
         {0.30000000000000004, 3.9999999999999996},
         {1e-7, 1},
         {-5, -5},
         {5, 5},
         true,
         {0.3, 4}},
        {"a bound on the grid",
         {5.000000000000001, -5.0000000000000009},
         {1e-7, 1e-7},
         {-5, -5},
         {5, 5},
         true,
         {5, -5}},
        {"bounds off the grid",
         {0.1, 0.2},
         {1e-7, 1e-7},
         {0.12345678, UNDEF},
         {UNDEF, 0.19999995},
         true,
         {0.1234568, 0.1999999}},
        {"continuous coordinates",
         {0.7000000000000568, -1.3000000000000003},
         {0, 0},
         {-1.3, -1.3},
         {0.7, 0.7},
         true,
         {0.7, -1.3}},
        {"no bounds",
         {1e300, -0.25000000000000006},
         {0, 0.5},
         {UNDEF, UNDEF},
         {UNDEF, UNDEF},
         true,
         {1e300, -0.5}},
        {"undefined coordinate", {UNDEF, 0.1}, {1, 1}, {0, 0}, {1, 1}, true, {UNDEF, 0}},
        {"no grid point within the bounds",
         {0.3, 0.25},
         {0, 0.5},
         {0, 0.1},
         {1, 0.4},
         false,
         {0.3, 0.25}},
        {"a later failure leaves the placed coordinates as they were",
         {0.34, 0.25},
         {0.1, 0.5},
         {0, 0.1},
         {1, 0.4},
         false,
         {0.34, 0.25}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        ArrayOfDouble x = makeArray(c.x);
        EXPECT_EQ(c.placed, Grid::placeOnGridsWithinBounds(x, makeArray(c.granularity),
                                                           makeArray(c.lb), makeArray(c.ub)));
        for (size_t i = 0; i < c.x.size(); ++i)
        {
            SCOPED_TRACE("coordinate " + std::to_string(i));
            if (std::isnan(c.expected[i]))
            {
                EXPECT_FALSE(x[i].isDefined());
            }
            else
            {
                EXPECT_EQ(c.expected[i], x[i].todouble());
            }
        }
    }
}

} // namespace
