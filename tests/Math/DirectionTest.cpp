#include "Math/Direction.hpp"

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "Math/Double.hpp"
#include "Math/RNG.hpp"
#include "Util/Exception.hpp"
#include "support/TestSupport.hpp"

namespace
{

using namespace QARNO_4_0_0;
using QarnoTest::makeArray;
using QarnoTest::messageOf;
using QarnoTest::UNDEF;

/// A direction from plain values; NaN stands for an undefined coordinate.
Direction makeDirection(const std::vector<double>& values)
{
    return Direction(makeArray(values));
}

/// Rows of n coordinates, each first set to `init`, and the pointers to them
/// that `householder` takes.
struct Rows
{
    Rows(size_t count, size_t n, double init) : rows(count, Direction(n, init))
    {
        for (Direction& r : rows)
        {
            pointers.push_back(&r);
        }
    }
    std::vector<Direction> rows;
    std::vector<Direction*> pointers;
};

// ---------------------------------------------------------------------------
// Norms and products
// ---------------------------------------------------------------------------

TEST(DirectionTest, Norms)
{
    const struct
    {
        std::vector<double> d;
        NormType type;
        double expected;
    } cases[] = {
        {{-3, 2}, NormType::LINF, 3},
        {{-3, 2}, NormType::L1, 5},
        {{-3, 2}, NormType::L2, std::sqrt(13.0)},
        {{3, 4}, NormType::L2, 5},
        {{2, -3}, NormType::LINF, 3},
        {{}, NormType::L1, 0},
        {{}, NormType::L2, 0},
        {{}, NormType::LINF, 0},
        // Any selector other than L1 and LINF gives the Euclidean norm.
        {{3, 4}, static_cast<NormType>(7), 5},
    };
    for (const auto& c : cases)
    {
        const Direction d = makeDirection(c.d);
        SCOPED_TRACE(::testing::Message() << d.display() << " norm " << static_cast<int>(c.type));
        EXPECT_DOUBLE_EQ(c.expected, d.norm(c.type).todouble());
    }
    EXPECT_DOUBLE_EQ(3.0, makeDirection({-3, 2}).infiniteNorm().todouble());
    EXPECT_DOUBLE_EQ(25.0, makeDirection({3, -4}).squaredL2Norm().todouble());
    EXPECT_DOUBLE_EQ(5.0, makeDirection({3, 4}).norm().todouble());

    const Direction u = makeDirection({1, UNDEF});
    EXPECT_THROW((void)u.norm(NormType::L1), Double::NotDefined);
    EXPECT_THROW((void)u.norm(NormType::L2), Double::NotDefined);
    EXPECT_THROW((void)u.norm(NormType::LINF), Double::NotDefined);
}

TEST(DirectionTest, DotProductAndCosine)
{
    EXPECT_DOUBLE_EQ(
        -5.0,
        Direction::dotProduct(makeDirection({1, 2, 3}), makeDirection({4, -3, -1})).todouble());
    EXPECT_DOUBLE_EQ(0.0, Direction::dotProduct(Direction(), Direction()).todouble());
    std::string file;
    EXPECT_EQ("Dot product: vectors are not of the same size: \n1 2\n1 2 3",
              messageOf(
                  [] {
                      (void)Direction::dotProduct(makeDirection({1, 2}), makeDirection({1, 2, 3}));
                  },
                  &file));
    EXPECT_EQ("src/Math/Direction", file);

    const struct
    {
        std::vector<double> a;
        std::vector<double> b;
        double cos;
    } cases[] = {
        {{1, 0}, {0, 2}, 0},
        {{1, 1}, {2, 2}, 1},
        {{1, 0}, {-3, 0}, -1},
        {{1, 0}, {1, 1}, std::sqrt(0.5)},
    };
    for (const auto& c : cases)
    {
        const Direction a = makeDirection(c.a);
        const Direction b = makeDirection(c.b);
        SCOPED_TRACE(a.display() + " and " + b.display());
        EXPECT_NEAR(c.cos, Direction::cos(a, b).todouble(), 1e-15);
    }
    const std::string zero = "Cosine: a vector is of size 0";
    EXPECT_EQ(zero, messageOf(
                        [] {
                            (void)Direction::cos(Direction(3, 0.0), makeDirection({1, 2, 3}));
                        }));
    EXPECT_EQ(zero, messageOf([] { (void)Direction::cos(makeDirection({1}), Direction()); }));
}

TEST(DirectionTest, PrintsWithoutParentheses)
{
    std::ostringstream out;
    out << makeDirection({1, UNDEF, 3});
    EXPECT_EQ("1 - 3", out.str());
    std::ostringstream viaBase;
    const ArrayOfDouble& base = makeDirection({1, 2});
    viaBase << base;
    EXPECT_EQ("1 2", viaBase.str());
}

// ---------------------------------------------------------------------------
// Random unit directions
// ---------------------------------------------------------------------------

TEST(DirectionTest, UnitSphereDrawsOneNormalPerCoordinateInOrder)
{
    QarnoTest::ProcessStateGuard guard;

    // From the state at load, the first three normal draws are -2.24800558...,
    // 0.83473016... and 1.09774618...
    Direction d(3);
    Direction::computeDirOnUnitSphere(d);
    EXPECT_NEAR(-0.8523890916610134, d[0].todouble(), 1e-15);
    EXPECT_NEAR(0.3165093950602657, d[1].todouble(), 1e-15);
    EXPECT_NEAR(0.41623868063395664, d[2].todouble(), 1e-15);
    EXPECT_EQ(86133791u, RNG::_x);
    EXPECT_EQ(3042881956u, RNG::_y);
    EXPECT_EQ(1313616534u, RNG::_z);

    // At any size: the normal draws of the generator, in coordinate order,
    // normalised, and the generator left where those draws leave it.
    for (size_t n : {1u, 2u, 7u, 50u})
    {
        SCOPED_TRACE(n);
        QarnoTest::resetRandomGenerator();
        RNG::setSeed(static_cast<int>(n));
        const uint32_t x = RNG::_x;
        const uint32_t y = RNG::_y;
        const uint32_t z = RNG::_z;
        std::vector<double> draws;
        double sq = 0;
        for (size_t i = 0; i < n; ++i)
        {
            draws.push_back(RNG::normalRand(0.0, 1.0));
            sq += draws.back() * draws.back();
        }
        const uint32_t xAfter = RNG::_x;
        const uint32_t yAfter = RNG::_y;
        const uint32_t zAfter = RNG::_z;

        RNG::_x = x;
        RNG::_y = y;
        RNG::_z = z;
        Direction v(n, 5.0);
        Direction::computeDirOnUnitSphere(v);
        ASSERT_EQ(n, v.size());
        for (size_t i = 0; i < n; ++i)
        {
            EXPECT_NEAR(draws[i] / std::sqrt(sq), v[i].todouble(), 1e-14) << "coordinate " << i;
        }
        EXPECT_NEAR(1.0, v.norm().todouble(), 1e-14);
        EXPECT_EQ(xAfter, RNG::_x);
        EXPECT_EQ(yAfter, RNG::_y);
        EXPECT_EQ(zAfter, RNG::_z);
    }
}

TEST(DirectionTest, UnitSphereRefusesAnEmptyDirection)
{
    QarnoTest::ProcessStateGuard guard;
    Direction d;
    EXPECT_EQ("Cannot compute a random direction on unit sphere",
              messageOf([&] { Direction::computeDirOnUnitSphere(d); }));
    // Nothing was drawn.
    EXPECT_EQ(RNG::x_def, RNG::_x);
    EXPECT_EQ(RNG::y_def, RNG::_y);
    EXPECT_EQ(RNG::z_def, RNG::_z);
}

// ---------------------------------------------------------------------------
// Householder matrix
// ---------------------------------------------------------------------------

TEST(DirectionTest, HouseholderOfAUnitAxis)
{
    Rows h(4, 2, 9.0);
    Direction::householder(makeDirection({1, 0}), true, h.pointers.data());
    const std::vector<double> expected[] = {{-1, 0}, {0, 1}, {1, 0}, {0, -1}};
    for (size_t i = 0; i < 4; ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_TRUE(h.rows[i] == makeDirection(expected[i])) << h.rows[i].display();
    }
}

TEST(DirectionTest, HouseholderRowsAreOrthogonalAndScaled)
{
    QarnoTest::ProcessStateGuard guard;
    std::vector<Direction> directions = {
        makeDirection({3, 4}),
        makeDirection({1, -2, 0.5, 3}),
        makeDirection({0.1, 1e3, -7}),
        makeDirection({2}),
        makeDirection({1e-3, 2e-3, -5e-4, 1e-3, 0, 7e-4}),
        Direction(30),
    };
    Direction::computeDirOnUnitSphere(directions.back());
    for (const Direction& d : directions)
    {
        SCOPED_TRACE(d.display());
        const size_t n = d.size();
        const double s = d.squaredL2Norm().todouble();
        const double tol = 1e-12 * s * s;

        Rows h(2 * n, n, 9.0);
        Direction::householder(d, true, h.pointers.data());
        for (size_t i = 0; i < n; ++i)
        {
            for (size_t j = 0; j < n; ++j)
            {
                const double dot = Direction::dotProduct(h.rows[i], h.rows[j]).todouble();
                EXPECT_NEAR((i == j) ? s * s : 0.0, dot, tol) << "rows " << i << ", " << j;
                // Symmetric.
                EXPECT_EQ(h.rows[i][j].todouble(), h.rows[j][i].todouble());
                // The negated half.
                EXPECT_EQ(-h.rows[i][j].todouble(), h.rows[i + n][j].todouble());
            }
            // A reflection that sends d to -d, scaled by s.
            const double img = Direction::dotProduct(h.rows[i], d).todouble();
            EXPECT_NEAR(-s * d[i].todouble(), img, 1e-12 * s * std::sqrt(s));
        }

        // Without completeTo2n only the first n rows are written.
        Rows half(2 * n, n, 9.0);
        Direction::householder(d, false, half.pointers.data());
        for (size_t i = 0; i < n; ++i)
        {
            EXPECT_TRUE(half.rows[i] == h.rows[i]);
            EXPECT_TRUE(half.rows[i + n] == Direction(n, 9.0));
        }
    }
}

TEST(DirectionTest, HouseholderNeedsRowsOfTheDirectionsSize)
{
    Rows h(2, 1, 0.0);
    EXPECT_EQ("ArrayOfDouble: i = 1 is out of bounds [0, 0]",
              messageOf(
                  [&] {
                      Direction::householder(makeDirection({1, 2}), false, h.pointers.data());
                  }));
    Rows ok(2, 2, 0.0);
    EXPECT_THROW(Direction::householder(makeDirection({1, UNDEF}), false, ok.pointers.data()),
                 Double::NotDefined);
}

// ---------------------------------------------------------------------------
// Copies and moves
// ---------------------------------------------------------------------------

TEST(DirectionTest, MovesLeaveTheSourceEmpty)
{
    Direction a = makeDirection({1, 2});
    Direction b(std::move(a));
    EXPECT_EQ("1 2", b.display());
    EXPECT_EQ(0u, a.size());
    Direction c;
    c = std::move(b);
    EXPECT_EQ("1 2", c.display());
    EXPECT_EQ(0u, b.size());
    static_assert(std::is_nothrow_move_constructible<Direction>::value, "");
    static_assert(std::is_nothrow_move_assignable<Direction>::value, "");
}

} // namespace
