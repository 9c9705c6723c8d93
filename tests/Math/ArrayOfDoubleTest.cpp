#include "Math/ArrayOfDouble.hpp"

#include <cfloat>
#include <cmath>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "Math/Double.hpp"
#include "Util/ArrayOfString.hpp"
#include "Util/Exception.hpp"
#include "support/TestSupport.hpp"

namespace
{

using namespace QARNO_4_0_0;
using QarnoTest::makeArray;
using QarnoTest::messageOf;
using QarnoTest::UNDEF;

struct Thrown
{
    bool thrown = false;
    std::string file;
    std::string msg;
};

/// What `op` throws as a library `Exception`: its source file and its
/// message without the location part.
Thrown thrownBy(const std::function<void()>& op)
{
    Thrown t;
    try
    {
        op();
    }
    catch (const Exception& e)
    {
        t.thrown = true;
        const std::string text = e.what();
        const std::string prefix = "QARNO::Exception thrown (";
        const size_t comma = text.find(", ", prefix.size());
        const size_t close = text.find(") ", comma);
        if (text.rfind(prefix, 0) == 0 && comma != std::string::npos && close != std::string::npos)
        {
            t.file = text.substr(prefix.size(), comma - prefix.size());
            t.msg = text.substr(close + 2);
        }
        else
        {
            t.msg = text;
        }
    }
    return t;
}

void expectThrows(const std::function<void()>& op, const std::string& msg,
                  const std::string& file = "src/Math/ArrayOfDouble")
{
    const Thrown t = thrownBy(op);
    EXPECT_TRUE(t.thrown) << "expected: " << msg;
    EXPECT_EQ(file, t.file);
    EXPECT_EQ(msg, t.msg);
}

// ---------------------------------------------------------------------------
// Storage
// ---------------------------------------------------------------------------

TEST(ArrayOfDoubleTest, EmptyArrayAnswersWithoutStorage)
{
    const ArrayOfDouble a;
    const ArrayOfDouble b(0, 3.0);
    EXPECT_EQ(0u, a.size());
    EXPECT_FALSE(a.isDefined());
    EXPECT_FALSE(a.isComplete());
    EXPECT_EQ(0u, a.nbDefined());
    EXPECT_EQ("", a.display());
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a.max().isDefined());
    int index = 7;
    EXPECT_TRUE(a.isMultipleOf(ArrayOfDouble(), index));
    EXPECT_EQ(-1, index);
    expectThrows([&] { (void)a[0]; }, "ArrayOfDouble: Array is not defined");
    // The size check of the comparisons refuses a second size of 0.
    expectThrows(
        [&] { (void)(a <= b); },
        "ArrayOfDouble comparison operator: Cannot compare arrays of different sizes (0 and 0)");
}

TEST(ArrayOfDoubleTest, IndexOutOfRangeThrows)
{
    ArrayOfDouble a(3, 1.0);
    expectThrows([&] { (void)a[3]; }, "ArrayOfDouble: i = 3 is out of bounds [0, 2]");
    const ArrayOfDouble& ca = a;
    expectThrows([&] { (void)ca[10]; }, "ArrayOfDouble: i = 10 is out of bounds [0, 2]");
}

TEST(ArrayOfDoubleTest, ResizeKeepsThePrefixAndFillsTheRest)
{
    const struct
    {
        std::vector<double> start;
        size_t n;
        double fill;
        std::string expected;
    } cases[] = {
        {{}, 4, 7, "7 7 7 7"},     {{}, 4, UNDEF, "- - - -"},
        {{1, 2}, 4, 7, "1 2 7 7"}, {{1, 2}, 4, UNDEF, "1 2 - -"},
        {{1, 2}, 1, 7, "1"},       {{1, 2}, 2, 7, "1 2"},
        {{1, 2}, 0, 7, ""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << c.start.size() << " -> " << c.n);
        ArrayOfDouble a = makeArray(c.start);
        a.resize(c.n, (c.fill == c.fill) ? Double(c.fill) : Double());
        EXPECT_EQ(c.n, a.size());
        EXPECT_EQ(c.expected, a.display());
    }
}

TEST(ArrayOfDoubleTest, ResetAndSetReplaceTheContent)
{
    ArrayOfDouble a = makeArray({1, 2, 3});
    a.reset(2, 5.0);
    EXPECT_EQ("5 5", a.display());
    a.reset(2);
    EXPECT_EQ("- -", a.display());
    a.reset();
    EXPECT_EQ(0u, a.size());
    expectThrows([&] { (void)a[0]; }, "ArrayOfDouble: Array is not defined");

    const Double values[] = {4.0, Double(), 6.0};
    a.set(3, values);
    EXPECT_EQ("4 - 6", a.display());
    a.set(0, values);
    a.set(2, nullptr);
    EXPECT_EQ("4 - 6", a.display());
    a.set(2, values);
    EXPECT_EQ("4 -", a.display());
}

TEST(ArrayOfDoubleTest, CopiesAreDeep)
{
    ArrayOfDouble a = makeArray({1, 2});
    ArrayOfDouble b(a);
    ArrayOfDouble c(5, 0.0);
    c = a;
    a[0] = 9.0;
    EXPECT_EQ("1 2", b.display());
    EXPECT_EQ("1 2", c.display());
    const ArrayOfDouble& same = c;
    c = same; // self-assignment
    EXPECT_EQ("1 2", c.display());
}

TEST(ArrayOfDoubleTest, MovesLeaveTheSourceEmptyAndUsable)
{
    ArrayOfDouble a = makeArray({1, 2, 3});
    ArrayOfDouble b(std::move(a));
    EXPECT_EQ("1 2 3", b.display());
    EXPECT_EQ(0u, a.size());
    EXPECT_FALSE(a.isDefined());
    expectThrows([&] { (void)a[0]; }, "ArrayOfDouble: Array is not defined");

    ArrayOfDouble c(2, 5.0);
    c = std::move(b);
    EXPECT_EQ("1 2 3", c.display());
    EXPECT_EQ(0u, b.size());
    EXPECT_EQ("", b.display());

    // A moved-from array takes new content like any other.
    a.reset(2, 4.0);
    b = c;
    EXPECT_EQ("4 4", a.display());
    EXPECT_EQ("1 2 3", b.display());

    static_assert(std::is_nothrow_move_constructible<ArrayOfDouble>::value, "");
    static_assert(std::is_nothrow_move_assignable<ArrayOfDouble>::value, "");
}

TEST(ArrayOfDoubleTest, RelativeSetScalesTheBoundRange)
{
    const std::string badValue = "Set: invalid value to set coordinate (0<=d<1) relative to bounds";
    const struct
    {
        double d;
        double lb;
        double ub;
        double expected; // NaN: throws `msg`
        std::string msg;
    } cases[] = {
        {0.5, 2, 6, 2.0, ""},
        {1.0, 2, 6, 4.0, ""},
        {0.0, 2, 6, 0.0, ""},
        {1.5, 2, 6, UNDEF, badValue},
        {-0.1, 2, 6, UNDEF, badValue},
        {UNDEF, 2, 6, UNDEF, badValue},
        {0.5, UNDEF, 6, UNDEF, "Set: invalid bounds"},
        {0.5, 2, UNDEF, UNDEF, "Set: invalid bounds"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << c.d << " in [" << c.lb << ", " << c.ub << "]");
        ArrayOfDouble a(2, 9.0);
        const auto toDouble = [](double v) { return (v == v) ? Double(v) : Double(); };
        if (c.msg.empty())
        {
            a.set(1, toDouble(c.d), true, toDouble(c.lb), toDouble(c.ub));
            EXPECT_DOUBLE_EQ(c.expected, a[1].todouble());
        }
        else
        {
            expectThrows([&] { a.set(1, toDouble(c.d), true, toDouble(c.lb), toDouble(c.ub)); },
                         c.msg);
            EXPECT_DOUBLE_EQ(9.0, a[1].todouble());
        }
    }

    ArrayOfDouble a(2, 9.0);
    a.set(0, Double());
    EXPECT_FALSE(a[0].isDefined());
    expectThrows([&] { a.set(2, 1.0); }, "Set: invalid index");
}

// ---------------------------------------------------------------------------
// Queries and comparisons
// ---------------------------------------------------------------------------

TEST(ArrayOfDoubleTest, EqualityNeedsEveryCoordinateDefined)
{
    const struct
    {
        std::vector<double> a;
        std::vector<double> b;
        bool equal;
    } cases[] = {
        {{1, 2}, {1, 2}, true},
        {{1, 2}, {1, 2 + 0.5e-13}, true},
        {{1, 2}, {1, 2 + 2e-13}, false},
        {{1, 2}, {1, 2, 3}, false},
        {{}, {}, true},
        {{UNDEF, UNDEF}, {UNDEF, UNDEF}, false},
        {{1, UNDEF}, {1, UNDEF}, false},
        {{UNDEF, 1}, {2, 1}, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(makeArray(c.a).display() + " vs " + makeArray(c.b).display());
        EXPECT_EQ(c.equal, makeArray(c.a) == makeArray(c.b));
        EXPECT_EQ(!c.equal, makeArray(c.a) != makeArray(c.b));
    }
    const ArrayOfDouble u(2);
    EXPECT_TRUE(u == u); // the same object

    // A defined NaN coordinate is not within epsilon of anything, itself included.
    ArrayOfDouble withNaN = makeArray({1, 2});
    withNaN[1] = Double(std::nan(""));
    const ArrayOfDouble copy(withNaN);
    EXPECT_FALSE(withNaN == copy);
    EXPECT_TRUE(withNaN != copy);
}

TEST(ArrayOfDoubleTest, ComparisonsStopAtTheFirstGreaterCoordinate)
{
    const std::string undefinedMsg = "ArrayOfDouble comparison operator: Undefined value in array";
    const struct
    {
        std::vector<double> a;
        std::vector<double> b;
        bool le;
        bool lt;
        std::string msg;
    } cases[] = {
        {{1, 2}, {1, 2 + 1e-14}, true, false, ""},
        {{1, 2}, {1, 3}, true, true, ""},
        {{1, 3}, {1, 2}, false, false, ""},
        {{0, 3}, {1, 2}, false, false, ""},
        {{1, 2}, {1, 2}, true, false, ""},
        // The third coordinate is never read.
        {{2, 1, UNDEF}, {1, 3, 5}, false, false, ""},
        {{1, 1, UNDEF}, {1, 3, 5}, false, false, undefinedMsg},
        {{1, 2}, {UNDEF, 3}, false, false, undefinedMsg},
        {{1, 2},
         {1, 2, 3},
         false,
         false,
         "ArrayOfDouble comparison operator: Cannot compare arrays of different sizes (2 and 3)"},
    };
    for (const auto& c : cases)
    {
        const ArrayOfDouble a = makeArray(c.a);
        const ArrayOfDouble b = makeArray(c.b);
        SCOPED_TRACE(a.display() + " vs " + b.display());
        if (c.msg.empty())
        {
            EXPECT_EQ(c.le, a <= b);
            EXPECT_EQ(c.lt, a < b);
        }
        else
        {
            expectThrows([&] { (void)(a <= b); }, c.msg);
            expectThrows([&] { (void)(a < b); }, c.msg);
        }
    }
}

TEST(ArrayOfDoubleTest, VerifySizesMatchCarriesTheCallersLocation)
{
    const ArrayOfDouble a;
    const Thrown t = thrownBy([&] { a.verifySizesMatch(2, 3, "src/Somewhere", 42); });
    EXPECT_TRUE(t.thrown);
    EXPECT_EQ("src/Somewhere", t.file);
    EXPECT_EQ(
        "ArrayOfDouble comparison operator: Cannot compare arrays of different sizes (2 and 3)",
        t.msg);
    EXPECT_NO_THROW(a.verifySizesMatch(2, 2, "src/Somewhere", 42));
}

TEST(ArrayOfDoubleTest, InBoundsSkipsUndefinedBounds)
{
    const struct
    {
        std::vector<double> x;
        std::vector<double> lb;
        std::vector<double> ub;
        bool in;
    } cases[] = {
        {{1, 2}, {0, 0}, {3, 3}, true},
        {{0 - 0.5e-13, 3 + 0.5e-13}, {0, 0}, {3, 3}, true},
        {{-1e-12, 2}, {0, 0}, {3, 3}, false},
        {{1, 4}, {0, 0}, {3, 3}, false},
        {{-5, 40}, {UNDEF, UNDEF}, {UNDEF, UNDEF}, true},
        {{1, UNDEF}, {0, 0}, {3, 3}, false},
        {{}, {}, {}, true},
        // Coordinates are tested four at a time, then one at a time: a
        // failure inside a block of four and in the rest.
        {{1, 2, 3, 4, 5, 6}, {0, 0, 0, 0, 0, 0}, {9, 9, 9, 9, 9, 6}, true},
        {{1, 2, -1, 4, 5, 6}, {0, 0, 0, 0, 0, 0}, {9, 9, 9, 9, 9, 9}, false},
        {{1, 2, 3, 4, 5, 6 + 1e-12}, {0, 0, 0, 0, 0, 0}, {9, 9, 9, 9, 9, 6}, false},
        {{1, 2, 3, UNDEF, 5, 6}, {0, 0, 0, 0, 0, 0}, {9, 9, 9, 9, 9, 9}, false},
        {{-7, 2, 3, 4, 5, 60}, {UNDEF, 0, 0, 0, 0, 0}, {9, 9, 9, 9, 9, UNDEF}, true},
    };
    for (const auto& c : cases)
    {
        const ArrayOfDouble x = makeArray(c.x);
        SCOPED_TRACE(x.display());
        EXPECT_EQ(c.in, x.inBounds(makeArray(c.lb), makeArray(c.ub)));
    }
    expectThrows([] { (void)makeArray({1}).inBounds(ArrayOfDouble(), ArrayOfDouble()); },
                 "ArrayOfDouble: Array is not defined");
}

TEST(ArrayOfDoubleTest, IsCompleteLooksAtEveryCoordinate)
{
    const struct
    {
        std::vector<double> x;
        bool complete;
    } cases[] = {
        {{1, 2, 3, 4, 5, 6}, true},
        {{1, 2, UNDEF, 4, 5, 6}, false},
        {{1, 2, 3, 4, 5, UNDEF}, false},
        {{UNDEF}, false},
        {{7}, true},
    };
    for (const auto& c : cases)
    {
        const ArrayOfDouble x = makeArray(c.x);
        SCOPED_TRACE(x.display());
        EXPECT_EQ(c.complete, x.isComplete());
    }
}

TEST(ArrayOfDoubleTest, IsMultipleOfNamesTheFirstFailingCoordinate)
{
    const struct
    {
        std::vector<double> x;
        std::vector<double> g;
        bool multiple;
        int index;
    } cases[] = {
        {{0.3, 2, 7.5}, {0.1, 1, 0}, true, -1},
        {{0.3, 2.5, 7.25}, {0.1, 1, 0.5}, false, 1},
        {{0.35, 2.5}, {0.1, 1}, false, 0},
        {{1.23456, 2}, {0, 0}, true, -1},
        // A zero granularity skips the coordinate, even an undefined one.
        {{UNDEF, 2}, {0, 1}, true, -1},
        {{UNDEF, 2}, {1e-14, 1}, true, -1},
    };
    for (const auto& c : cases)
    {
        const ArrayOfDouble x = makeArray(c.x);
        SCOPED_TRACE(x.display());
        int index = 99;
        EXPECT_EQ(c.multiple, x.isMultipleOf(makeArray(c.g), index));
        EXPECT_EQ(c.index, index);
    }
    int index = 0;
    EXPECT_THROW((void)makeArray({1}).isMultipleOf(ArrayOfDouble(1), index), Double::NotDefined);
}

TEST(ArrayOfDoubleTest, AbsAndMaxIgnoreUndefinedCoordinates)
{
    EXPECT_EQ("3 - 0 2", makeArray({-3, UNDEF, 0, 2}).abs().display());
    const struct
    {
        std::vector<double> x;
        double max; // NaN: undefined
    } cases[] = {
        {{UNDEF, -3, 2, UNDEF}, 2},
        {{-3, -5}, -3},
        {{UNDEF, UNDEF}, UNDEF},
        // A value above the maximum by less than epsilon does not replace it.
        {{1, 1 + 0.5e-13}, 1},
    };
    for (const auto& c : cases)
    {
        const ArrayOfDouble x = makeArray(c.x);
        SCOPED_TRACE(x.display());
        const Double m = x.max();
        if (c.max == c.max)
        {
            EXPECT_EQ(c.max, m.todouble());
        }
        else
        {
            EXPECT_FALSE(m.isDefined());
        }
    }
}

TEST(ArrayOfDoubleTest, ArithmeticNeedsMatchingDefinedArrays)
{
    EXPECT_EQ("4 1", (makeArray({1, 2}) + makeArray({3, -1})).display());
    EXPECT_EQ("-2 3", (makeArray({1, 2}) - makeArray({3, -1})).display());
    ArrayOfDouble a = makeArray({1, -2});
    a *= 2.5;
    EXPECT_EQ("2.5 -5", a.display());

    expectThrows([] { (void)(makeArray({1, 2}) + makeArray({1})); }, "x + y: x.size != y.size");
    expectThrows([] { (void)(makeArray({1, 2}) - makeArray({1})); }, "x - y: x.size != y.size");
    EXPECT_THROW((void)(makeArray({1, UNDEF}) + makeArray({1, 2})), Double::NotDefined);
    ArrayOfDouble u = makeArray({1, UNDEF});
    EXPECT_THROW(u *= 2.0, Double::NotDefined);
}

// ---------------------------------------------------------------------------
// Text
// ---------------------------------------------------------------------------

TEST(ArrayOfDoubleTest, DisplayUsesThePrecisionOfEachDefinedEntry)
{
    const ArrayOfDouble x = makeArray({1.5, 2.25, UNDEF, 1.0 / 3});
    const struct
    {
        std::vector<double> prec;
        std::string expected;
    } cases[] = {
        {{}, "1.5 2.25 - 0.333333"},
        {{UNDEF, UNDEF, UNDEF, UNDEF}, "1.5 2.25 - 0.333333"},
        {{2, UNDEF, UNDEF, 2},
         Double(1.5).display(2, 0) + " 2.25 - " + Double(1.0 / 3).display(2, 0)},
        // A precision array shorter than the array leaves the rest at the default.
        {{0}, Double(1.5).display(0, 0) + " 2.25 - 0.333333"},
    };
    for (const auto& c : cases)
    {
        const ArrayOfDouble prec = makeArray(c.prec);
        SCOPED_TRACE(prec.display());
        EXPECT_EQ(c.expected, x.display(prec));
    }
    std::ostringstream out;
    out << x;
    EXPECT_EQ("1.5 2.25 - 0.333333", out.str());
}

TEST(ArrayOfDoubleTest, ExtractorReadsExactlyTheCurrentSize)
{
    ArrayOfDouble a(3);
    std::istringstream in("1 - INF 4");
    in >> a;
    EXPECT_EQ(3u, a.size());
    EXPECT_EQ(1.0, a[0].todouble());
    EXPECT_FALSE(a[1].isDefined());
    EXPECT_EQ(DBL_MAX, a[2].todouble());
    std::string rest;
    in >> rest;
    EXPECT_EQ("4", rest);

    ArrayOfDouble b(3);
    std::istringstream bad("1 x 3");
    expectThrows([&] { bad >> b; }, "ArrayOfDouble: bad input for operator>>");
    ArrayOfDouble c(3);
    std::istringstream shortText("1 2");
    expectThrows([&] { shortText >> c; }, "ArrayOfDouble: bad input for operator>>");
}

// ---------------------------------------------------------------------------
// Snapping onto bounds
// ---------------------------------------------------------------------------

TEST(ArrayOfDoubleTest, SnapToBoundsWithAndWithoutMesh)
{
    const struct
    {
        const char* name;
        std::vector<double> x;
        std::vector<double> lb;
        std::vector<double> ub;
        std::vector<double> center;
        std::vector<double> mesh;
        std::vector<double> expected;
    } cases[] = {
        {"upper, no mesh", {5.0}, {0}, {4}, {}, {}, {4.0}},
        {"upper, mesh step back", {5.0}, {0}, {4}, {0}, {1.5}, {3.0}},
        {"upper, mesh point on bound", {5.0}, {0}, {4.5}, {0}, {1.5}, {4.5}},
        {"lower, no mesh", {-5.0}, {-4}, {4}, {}, {}, {-4.0}},
        {"lower, mesh", {-5.0}, {-4}, {4}, {0}, {1.5}, {-3.0}},
        {"lower, mesh from a shifted center", {-5.0}, {-4}, {4}, {1}, {2}, {-3.0}},
        {"zero mesh size means no mesh", {5.0}, {0}, {4}, {0}, {0}, {4.0}},
        {"undefined mesh entry means no mesh",
         {5.0, 7.0},
         {0, 0},
         {4, 4},
         {0, 0},
         {1.5, UNDEF},
         {3.0, 4.0}},
        {"inside stays", {1.0, 9.0}, {0, UNDEF}, {4, UNDEF}, {}, {}, {1.0, 9.0}},
        {"within epsilon stays", {4 + 0.5e-13}, {0}, {4}, {}, {}, {4 + 0.5e-13}},
        {"no defined bound", {-9.0, 9.0}, {UNDEF, UNDEF}, {UNDEF, UNDEF}, {}, {}, {-9.0, 9.0}},
        {"each coordinate on its own", {-1, 1, 10}, {0, 0, 0}, {5, 5, 5}, {}, {}, {0, 1, 5}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ArrayOfDouble x = makeArray(c.x);
        x.snapToBounds(makeArray(c.lb), makeArray(c.ub), makeArray(c.center), makeArray(c.mesh));
        ASSERT_EQ(c.expected.size(), x.size());
        for (size_t i = 0; i < x.size(); ++i)
        {
            EXPECT_DOUBLE_EQ(c.expected[i], x[i].todouble()) << "coordinate " << i;
        }
    }
}

TEST(ArrayOfDoubleTest, SnapToBoundsRefusesIncompleteArraysAndOtherSizes)
{
    ArrayOfDouble x = makeArray({1, UNDEF});
    expectThrows([&] { x.snapToBounds(ArrayOfDouble(2, 0.0), ArrayOfDouble(2, 1.0)); },
                 "snapToBounds: ArrayOfDouble is not completely defined.");
    ArrayOfDouble empty;
    expectThrows([&] { empty.snapToBounds(ArrayOfDouble(), ArrayOfDouble()); },
                 "snapToBounds: ArrayOfDouble is not completely defined.");
    ArrayOfDouble y = makeArray({5, 6});
    expectThrows([&] { y.snapToBounds(ArrayOfDouble(2, 0.0), ArrayOfDouble(3, 1.0)); },
                 "snapToBounds: Inconsistent dimension for bounds. Expecting 2 but sizes are 2 and "
                 "3.");
    EXPECT_EQ("5 6", y.display());
}

TEST(ArrayOfDoubleTest, SnapToBoundsWarnsWhenTheMeshPointStaysBelow)
{
    // 0.1 - 1e6 is rounded, and a mesh size equal to its magnitude makes it
    // its own mesh multiple: the centre plus it lands 2.3e-11 below 0.1.
    const double step = 1e6 - 0.1;
    ArrayOfDouble x = makeArray({-5.0});
    ::testing::internal::CaptureStderr();
    x.snapToBounds(makeArray({0.1}), makeArray({4}), makeArray({1e6}), makeArray({step}));
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_LT(x[0].todouble(), 0.1);
    EXPECT_EQ(0u, err.rfind("Warning: snapToBounds: Error snapping -5 to lower bound 0.1 - "
                            "frameCenter = 1000000, deltaMeshSize = ",
                            0))
        << err;
    EXPECT_NE(std::string::npos, err.find(" which is still lower than 0.1\n")) << err;
}

// ---------------------------------------------------------------------------
// Reading parameter words
// ---------------------------------------------------------------------------

TEST(ArrayOfDoubleTest, ReadValuesAsArrayForms)
{
    const struct
    {
        const char* words;
        std::string expected; // display of the array after reading, from "10 20 30"
        bool marked;
    } cases[] = {
        {"( 1 - 3 )", "1 20 3", false},
        {"( - - - )", "10 20 30", false},
        {"( INF -INF - )", "1.79769e+308 -1.79769e+308 30", false},
        {"* 0.5", "0.5 0.5 0.5", false},
        {"* -", "- - -", false},
        {"1 2.5", "10 2.5 30", false},
        {"1.0 2.5", "10 2.5 30", false},
        {"0-1 -", "- - 30", false},
        {"0-2 7", "7 7 7", false},
        {"1-1 4", "10 4 30", false},
        {"2", "10 20 -", true},
        {"1-2", "10 - -", true},
        // An empty range changes nothing.
        {"2-1 7", "10 20 30", false},
        {"2-0", "10 20 30", false},
        {"0--1 5", "10 20 30", false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.words);
        ArrayOfDouble a = makeArray({10, 20, 30});
        a.readValuesAsArray(ArrayOfString(c.words, " "));
        EXPECT_EQ(c.expected, a.display());
        EXPECT_EQ(c.marked, a.toBeDefined());
    }
}

TEST(ArrayOfDoubleTest, ReadValuesAsArrayErrors)
{
    const struct
    {
        const char* words;
        std::string msg;
        std::string after; // the array after the failure, from "10 20 30"
    } cases[] = {
        {"( 1 2 )", "Cannot read values:( 1 2 ), size is not compatible with array size:3",
         "10 20 30"},
        {"( 1 2 3 ]",
         "Incompatible format for array: ( 1 2 3 ]. Must be delimited by \"(\" and \"))\" "
         "parenthesis.",
         "10 20 30"},
        // Coordinates before the failing word keep their new values.
        {"( 1 x 3 )", "Error reading array ( 1 x 3 ). Cannot convert string x to double.",
         "1 20 30"},
        {"* x", "Error reading array * x. Cannot convert string x to double.", "10 20 30"},
        {"3 1", "Error: cannot use 3 as an index.", "10 20 30"},
        {"1.5 2", "Error: cannot use 1.5 as an index.", "10 20 30"},
        {"0-3 1", "Error: cannot use 0-3 as an index.", "10 20 30"},
        {"a-1 1", "Error: cannot use a-1 as an index.", "10 20 30"},
        {"-1-2 1", "Error: cannot use -1-2 as an index.", "10 20 30"},
        {"x 1", "Error: cannot use x as an index.", "10 20 30"},
        // A negative index names no coordinate: refused, nothing written.
        {"-1 5", "Error: cannot use -1 as an index.", "10 20 30"},
        {"-2", "Error: cannot use -2 as an index.", "10 20 30"},
        {"-1.0 5", "Error: cannot use -1.0 as an index.", "10 20 30"},
        {"1 2 3", "Cannot read value as an array of doubles: 1 2 3", "10 20 30"},
        {"1 x", "Cannot read value as an array of doubles: 1 x", "10 20 30"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.words);
        ArrayOfDouble a = makeArray({10, 20, 30});
        expectThrows([&] { a.readValuesAsArray(ArrayOfString(c.words, " ")); }, c.msg);
        EXPECT_EQ(c.after, a.display());
        EXPECT_FALSE(a.toBeDefined());
    }

    ArrayOfDouble empty;
    expectThrows([&] { empty.readValuesAsArray(ArrayOfString("1 2", " ")); },
                 "Cannot read values into an empty array");
}

TEST(ArrayOfDoubleTest, ReadValuesAsArrayWarnsOnAStarWithTooManyWords)
{
    ArrayOfDouble a(3);
    ::testing::internal::CaptureStderr();
    a.readValuesAsArray(ArrayOfString("* 1 2", " "));
    EXPECT_EQ("Warning: Expecting an array of size 2 for this parameter entry: * 1 2\n",
              ::testing::internal::GetCapturedStderr());
    EXPECT_EQ("1 1 1", a.display());

    // A lone "*" has no value word to read.
    ArrayOfDouble b(3, 4.0);
    ::testing::internal::CaptureStderr();
    const Thrown t = thrownBy([&] { b.readValuesAsArray(ArrayOfString("*", " ")); });
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(t.thrown);
    EXPECT_EQ("Warning: Expecting an array of size 2 for this parameter entry: *\n", err);
    EXPECT_EQ("4 4 4", b.display());
}

TEST(ArrayOfDoubleTest, ToBeDefinedMarkIsAnUndefinedCoordinateThatSurvivesCopies)
{
    ArrayOfDouble a(3, 1.0);
    a.readValuesAsArray(ArrayOfString("1", " "));
    EXPECT_TRUE(a.toBeDefined());
    EXPECT_FALSE(a.isComplete());
    EXPECT_FALSE(a[1].isDefined());
    EXPECT_EQ(2u, a.nbDefined());

    const ArrayOfDouble copy(a);
    ArrayOfDouble assigned;
    assigned = a;
    ArrayOfDouble resized(a);
    resized.resize(5);
    EXPECT_TRUE(copy.toBeDefined());
    EXPECT_TRUE(assigned.toBeDefined());
    EXPECT_TRUE(resized.toBeDefined());

    // Ordinary undefined coordinates are not marked, whatever made them so.
    ArrayOfDouble plain(3);
    EXPECT_FALSE(plain.toBeDefined());
    plain.readValuesAsArray(ArrayOfString("* -", " "));
    EXPECT_FALSE(plain.toBeDefined());
    a[1] = 1.0;
    EXPECT_FALSE(a.toBeDefined());
}

} // namespace
