#include "Math/Point.hpp"
#include "support/TestSupport.hpp"

#include <cmath>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "Math/ArrayOfPoint.hpp"
#include "Math/Direction.hpp"
#include "Math/Double.hpp"
#include "Util/Exception.hpp"

namespace
{

using namespace QARNO_4_0_0;
using QarnoTest::makeArray;
using QarnoTest::messageOf;
using QarnoTest::UNDEF;

/// A point from plain values; NaN stands for an undefined coordinate.
Point makePoint(const std::vector<double>& values)
{
    return Point(makeArray(values));
}

// ---------------------------------------------------------------------------
// Text forms
// ---------------------------------------------------------------------------

TEST(PointTest, TextForms)
{
    const Point p = makePoint({1, UNDEF, 3});
    EXPECT_EQ("( 1 - 3 )", p.display());
    EXPECT_EQ("1 - 3", p.displayNoPar());
    EXPECT_EQ("(  )", Point().display());
    EXPECT_EQ("", Point().displayNoPar());

    const ArrayOfDouble prec = makePoint({2, UNDEF, UNDEF});
    EXPECT_EQ("( " + Double(1.0).display(2, 0) + " - 3 )", p.display(prec));
    EXPECT_EQ(Double(1.0).display(2, 0) + " - 3", p.displayNoPar(prec));

    // The inserters go through the virtual display, also from a base reference.
    const ArrayOfDouble& asArray = p;
    std::ostringstream viaPoint;
    std::ostringstream viaArray;
    viaPoint << p;
    viaArray << asArray;
    EXPECT_EQ("( 1 - 3 )", viaPoint.str());
    EXPECT_EQ("( 1 - 3 )", viaArray.str());
}

TEST(PointTest, ListOfPointsText)
{
    const struct
    {
        std::vector<Point> points;
        std::string expected;
    } cases[] = {
        {{}, ""},
        {{makePoint({1, 2})}, "( 1 2 )"},
        {{makePoint({1, 2}), makePoint({3, 4})}, "( 1 2 ) ( 3 4 )"},
        {{Point(), makePoint({0.5})}, "(  ) ( 0.5 )"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.expected);
        std::ostringstream out;
        out << c.points;
        EXPECT_EQ(c.expected, out.str());
    }
    const ArrayOfPoint x0 = {makePoint({1})};
    std::ostringstream out;
    out << x0;
    EXPECT_EQ("( 1 )", out.str());
}

TEST(PointTest, ReadingTheParenthesisedForm)
{
    const struct
    {
        const char* text;
        std::string expected; // display after reading, or the message
        bool throws;
    } cases[] = {
        {"( 1 - 3 )", "( 1 - 3 )", false},
        {"( 1 x 3 )", "( 1 - 3 )", false},
        {"(\t2.5\n-INF )", "( 2.5 -1.79769e+308 )", false},
        {"( )", "(  )", false},
        {"1 2 3", "Expecting \"(\", got \"1\"", true},
        {"", "Expecting \"(\", got \"\"", true},
        {"(1 2 )", "Expecting \"(\", got \"(1\"", true},
        {"( 1 2", "Expecting \")\", got \"2\"", true},
        {"(", "Expecting \")\", got \"(\"", true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.text);
        std::istringstream in(c.text);
        Point p = makePoint({7, 8, 9, 10});
        if (c.throws)
        {
            std::string file;
            EXPECT_EQ(c.expected, messageOf([&] { in >> p; }, &file));
            EXPECT_EQ("src/Math/Point", file);
            EXPECT_TRUE(in.fail());
        }
        else
        {
            in >> p;
            EXPECT_EQ(c.expected, p.display());
            EXPECT_FALSE(in.fail());
        }
    }

    // Points follow one another in one stream.
    std::istringstream in("( 1 2 ) ( 3 )");
    Point a;
    Point b;
    in >> a >> b;
    EXPECT_EQ("( 1 2 )", a.display());
    EXPECT_EQ("( 3 )", b.display());
}

// ---------------------------------------------------------------------------
// Order and fixed values
// ---------------------------------------------------------------------------

TEST(PointTest, WeakLessOrdersBySizeThenLexicographically)
{
    const struct
    {
        std::vector<double> a;
        std::vector<double> b;
        bool less;
    } cases[] = {
        {{100}, {-5, -5}, true},
        {{-5, -5}, {100}, false},
        {{}, {}, false},
        {{}, {0}, true},
        {{1, 2}, {1, 3}, true},
        {{1, 3}, {1, 2}, false},
        {{0, 9}, {1, 0}, true},
        {{1, 2}, {1, 2}, false},
        // Values in one epsilon cell are tied.
        {{1e-13, 0}, {1.5e-13, 0}, false},
        {{1.5e-13, 0}, {1e-13, 0}, false},
        {{1e-13, 0}, {2e-13, 0}, true},
        // Zero and minus zero are one number: the next coordinate decides.
        {{-0.0, 1}, {0.0, 0}, false},
        {{0.0, 0}, {-0.0, 1}, true},
        // Long runs of equal coordinates are passed four at a time: a
        // difference in the rest, inside a block, a tie of cells inside a
        // block, and minus zero inside a block.
        {{1, 2, 3, 4, 5, 6, 7, 8, 9}, {1, 2, 3, 4, 5, 6, 7, 8, 10}, true},
        {{1, 2, 3, 4, 5, 6.5, 7, 8, 9}, {1, 2, 3, 4, 5, 6, 7, 8, 9}, false},
        {{0, 0, 0, 0, 0, 1e-13, 0, 0, 2}, {0, 0, 0, 0, 0, 1.5e-13, 0, 0, 3}, true},
        {{0, 0, 0, 0, 0, 1.5e-13, 0, 0, 3}, {0, 0, 0, 0, 0, 1e-13, 0, 0, 2}, false},
        {{1, 2, -0.0, 4, 5, 6, 7, 8, 9, 1}, {1, 2, 0.0, 4, 5, 6, 7, 8, 9, 0}, false},
    };
    for (const auto& c : cases)
    {
        const Point a = makePoint(c.a);
        const Point b = makePoint(c.b);
        SCOPED_TRACE(a.display() + " vs " + b.display());
        EXPECT_EQ(c.less, Point::weakLess(a, b));
    }
    const Point p = makePoint({1, UNDEF});
    EXPECT_FALSE(Point::weakLess(p, p)); // the same object: no coordinate read
    EXPECT_THROW((void)Point::weakLess(p, makePoint({1, 2})), Double::NotDefined);
    // Two copies hold the same bits in their undefined coordinate: still no order.
    EXPECT_THROW((void)Point::weakLess(p, Point(p)), Double::NotDefined);
    const Point q = makePoint({1, 2, 3, 4, 5, 6, UNDEF, 8, 9});
    EXPECT_THROW((void)Point::weakLess(q, Point(q)), Double::NotDefined);
}

TEST(PointTest, HasFixedComparesTheDefinedFixedValues)
{
    const struct
    {
        std::vector<double> x;
        std::vector<double> fixed;
        bool has;
    } cases[] = {
        {{1, 5, 2}, {UNDEF, 5, UNDEF}, true},
        {{1, 5 + 0.5e-13, 2}, {UNDEF, 5, UNDEF}, true},
        {{1, 4, 2}, {UNDEF, 5, UNDEF}, false},
        {{1, 4, 2}, {}, true},
        {{}, {1}, true},
        {{1, 4, 2}, {UNDEF, UNDEF, UNDEF}, true},
        // Only the indices that both points have are compared.
        {{1, 4}, {1, 4, 99}, true},
    };
    for (const auto& c : cases)
    {
        const Point x = makePoint(c.x);
        const Point fixed = makePoint(c.fixed);
        SCOPED_TRACE(x.display() + " with " + fixed.display());
        EXPECT_EQ(c.has, x.hasFixed(fixed));
    }

    // A defined NaN coordinate does not hold the fixed value.
    Point x = makePoint({1, 5, 2});
    x[1] = Double(std::nan(""));
    EXPECT_FALSE(x.hasFixed(makePoint({UNDEF, 5, UNDEF})));
}

// ---------------------------------------------------------------------------
// Vectors between points
// ---------------------------------------------------------------------------

TEST(PointTest, VectorizeDistAndTranslation)
{
    const Point a = makePoint({1, 2});
    const Point b = makePoint({4, 6});
    const Direction d = Point::vectorize(a, b);
    EXPECT_EQ("3 4", d.display());
    EXPECT_DOUBLE_EQ(5.0, Point::dist(a, b).todouble());
    EXPECT_DOUBLE_EQ(0.0, Point::dist(a, a).todouble());
    EXPECT_TRUE(a + d == b);
    EXPECT_EQ("( 4 6 )", (a + d).display());

    const Point c = makePoint({1, 2, 3});
    EXPECT_EQ("Cannot vectorize 2 points of different dimensions",
              messageOf([&] { (void)Point::vectorize(a, c); }));
    EXPECT_EQ("Cannot vectorize 2 points of different dimensions",
              messageOf([&] { (void)Point::dist(c, a); }));
    EXPECT_EQ("Cannot add a dimension to a point of different dimension",
              messageOf([&] { (void)(c + d); }));
    EXPECT_THROW((void)Point::vectorize(a, makePoint({1, UNDEF})), Double::NotDefined);
}

// ---------------------------------------------------------------------------
// Full space and sub-space
// ---------------------------------------------------------------------------

TEST(PointTest, FullSpaceAndSubSpaceMaps)
{
    const struct
    {
        std::vector<double> fixed;
        std::vector<double> sub;
        std::vector<double> full;
    } cases[] = {
        {{UNDEF, 5, UNDEF}, {1, 2}, {1, 5, 2}},
        {{5, UNDEF, UNDEF}, {1, 2}, {5, 1, 2}},
        {{UNDEF, UNDEF, 5}, {1, 2}, {1, 2, 5}},
        {{4, UNDEF, 6, UNDEF}, {1, 2}, {4, 1, 6, 2}},
        // Nothing fixed: both maps are the identity.
        {{UNDEF, UNDEF}, {1, 2}, {1, 2}},
        // Everything fixed: the sub-space is empty.
        {{7, 8}, {}, {7, 8}},
        // Free coordinates may be undefined themselves.
        {{UNDEF, 5, UNDEF}, {UNDEF, 2}, {UNDEF, 5, 2}},
    };
    for (const auto& c : cases)
    {
        const Point fixed = makePoint(c.fixed);
        const Point sub = makePoint(c.sub);
        const Point full = makePoint(c.full);
        SCOPED_TRACE(sub.display() + " within " + fixed.display());
        EXPECT_EQ(full.display(), sub.makeFullSpacePointFromFixed(fixed).display());
        EXPECT_EQ(sub.display(), full.makeSubSpacePointFromFixed(fixed, false).display());
        EXPECT_EQ(sub.display(), full.projectPointToSubspace(fixed).display());
        EXPECT_EQ(sub.display(), full.makeSubSpacePointFromFixed(fixed, true).display());
    }
}

TEST(PointTest, SubSpaceMapVerifiesTheFixedValues)
{
    const Point fixed = makePoint({UNDEF, 5, UNDEF});
    const Point x = makePoint({1, 4, 2});
    EXPECT_EQ("Error converting point ( 1 4 2 ) to subspace defined by fixed variable ( - 5 - )",
              messageOf([&] { (void)x.makeSubSpacePointFromFixed(fixed, true); }));
    EXPECT_EQ("( 1 2 )", x.makeSubSpacePointFromFixed(fixed, false).display());
    EXPECT_EQ("( 1 2 )", x.projectPointToSubspace(fixed).display());
    EXPECT_EQ("( 1 2 )",
              makePoint({1, 5 + 0.5e-13, 2}).makeSubSpacePointFromFixed(fixed, true).display());
    // The operands are left as they were.
    EXPECT_EQ("( 1 4 2 )", x.display());
    EXPECT_EQ("( - 5 - )", fixed.display());

    // A defined NaN in place of the fixed value does not pass the check.
    Point withNaN = makePoint({1, 5, 2});
    withNaN[1] = Double(std::nan(""));
    EXPECT_THROW((void)withNaN.makeSubSpacePointFromFixed(fixed, true), Exception);
}

TEST(PointTest, SpaceMapsRefuseWrongSizes)
{
    std::string file;
    const Point fixed = makePoint({UNDEF, 5, UNDEF});
    EXPECT_EQ("Error converting point ( 1 2 3 ) (size 3) to full space defined by fixed variable "
              "( - 5 - ) (size 3): point should be of size 3 - 1 = 2",
              messageOf(
                  [&] {
                      (void)makePoint({1, 2, 3}).makeFullSpacePointFromFixed(fixed);
                  },
                  &file));
    EXPECT_EQ("src/Math/Point", file);
    EXPECT_EQ("Error converting point ( 1 2 ) (size 2) to subspace defined by fixed variable "
              "( - 5 - ) (size 3): they should have the same size.",
              messageOf(
                  [&] {
                      (void)makePoint({1, 2}).makeSubSpacePointFromFixed(fixed);
                  }));
    // An empty fixed-variable point describes a space of dimension 0.
    EXPECT_EQ("Error converting point ( 1 ) (size 1) to full space defined by fixed variable "
              "(  ) (size 0): point should be of size 0 - 0 = 0",
              messageOf([&] { (void)makePoint({1}).makeFullSpacePointFromFixed(Point()); }));
}

// ---------------------------------------------------------------------------
// Copies and moves
// ---------------------------------------------------------------------------

TEST(PointTest, MovesLeaveTheSourceEmpty)
{
    Point a = makePoint({1, 2});
    Point b(std::move(a));
    EXPECT_EQ("( 1 2 )", b.display());
    EXPECT_EQ("(  )", a.display());

    Point c = makePoint({9});
    c = std::move(b);
    EXPECT_EQ("( 1 2 )", c.display());
    EXPECT_EQ(0u, b.size());

    // Assignment from a plain array keeps the point's text form.
    Point d;
    d = ArrayOfDouble(2, 3.0);
    EXPECT_EQ("( 3 3 )", d.display());

    std::vector<Point> points;
    points.push_back(makePoint({1}));
    points.push_back(makePoint({2}));
    points.push_back(makePoint({3}));
    EXPECT_EQ("( 1 )", points[0].display());
    static_assert(std::is_nothrow_move_constructible<Point>::value, "");
    static_assert(std::is_nothrow_move_assignable<Point>::value, "");
}

} // namespace
