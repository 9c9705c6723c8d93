#include "Math/Double.hpp"

#include <cfloat>
#include <clocale>
#include <cmath>
#include <functional>
#include <iomanip>
#include <limits>
#include <locale>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "Util/Exception.hpp"
#include "Util/TextConstants.hpp"
#include "support/TestSupport.hpp"

namespace
{

using namespace QARNO_4_0_0;

const double IEEE_INF = std::numeric_limits<double>::infinity();
const double IEEE_NAN = std::numeric_limits<double>::quiet_NaN();

enum class Kind
{
    NotDefined,
    InvalidValue,
    Plain
};

const char* kindName(Kind k)
{
    switch (k)
    {
    case Kind::NotDefined:
        return "NotDefined";
    case Kind::InvalidValue:
        return "InvalidValue";
    default:
        return "Exception";
    }
}

// Runs `op` and checks that it throws the expected kind from the expected
// source file with the expected message (the line number is not checked).
void expectThrow(const std::function<void()>& op, Kind kind, const std::string& file,
                 const std::string& msg)
{
    try
    {
        op();
        ADD_FAILURE() << "no exception, expected " << kindName(kind) << ": " << msg;
    }
    catch (const Exception& e)
    {
        const bool isNotDefined = dynamic_cast<const Double::NotDefined*>(&e) != nullptr;
        const bool isInvalid = dynamic_cast<const Double::InvalidValue*>(&e) != nullptr;
        EXPECT_EQ(kind == Kind::NotDefined, isNotDefined) << kindName(kind);
        EXPECT_EQ(kind == Kind::InvalidValue, isInvalid) << kindName(kind);

        const std::string text = e.what();
        const std::string prefix = "QARNO::Exception thrown (" + file + ", ";
        EXPECT_EQ(0u, text.rfind(prefix, 0)) << text;
        const size_t close = text.find(") ");
        ASSERT_NE(std::string::npos, close) << text;
        EXPECT_EQ(msg, text.substr(close + 2));
    }
}

std::string inserted(const Double& d)
{
    std::ostringstream out;
    out << d;
    return out.str();
}

// ---------------------------------------------------------------------------
// Comparisons
// ---------------------------------------------------------------------------

TEST(DoubleTest, DefaultIsUndefinedAndRefusesComparison)
{
    const Double u;
    EXPECT_FALSE(u.isDefined());
    EXPECT_FALSE(u.isInteger());
    EXPECT_FALSE(u.isBinary());
    EXPECT_FALSE(u.isMultipleOf(Double(1.0)));

    const std::string msg = "QARNO::Double::todouble(): value not defined";
    expectThrow([&] { (void)(u == Double(1.0)); }, Kind::NotDefined, "src/Math/Double", msg);
    expectThrow([&] { (void)(Double(1.0) < u); }, Kind::NotDefined, "src/Math/Double", msg);
    expectThrow([&] { (void)u.todouble(); }, Kind::NotDefined, "src/Math/Double", msg);
}

TEST(DoubleTest, ComparisonsUseTheToleranceBoundaries)
{
    QarnoTest::ProcessStateGuard guard;
    const struct
    {
        double a;
        double b;
        bool eq, lt, gt, le, ge;
    } cases[] = {
        {1.0, 1.0, true, false, false, true, true},
        {1.0, 1.0 + 0.5e-13, true, false, false, true, true},
        {1.0 + 0.5e-13, 1.0, true, false, false, true, true},
        {1.0, 1.0 + 2e-13, false, true, false, true, false},
        {1.0, 1.0 - 2e-13, false, false, true, false, true},
        {-3.0, 2.0, false, true, false, true, false},
        {DBL_MAX, DBL_MAX, true, false, false, true, true},
        {-DBL_MAX, DBL_MAX, false, true, false, true, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << std::setprecision(17) << c.a << " vs " << c.b);
        const Double a(c.a);
        const Double b(c.b);
        EXPECT_EQ(c.eq, a == b);
        EXPECT_EQ(!c.eq, a != b);
        EXPECT_EQ(c.lt, a < b);
        EXPECT_EQ(c.gt, a > b);
        EXPECT_EQ(c.le, a <= b);
        EXPECT_EQ(c.ge, a >= b);
    }
}

TEST(DoubleTest, WeakLessComparesEpsilonCells)
{
    QarnoTest::ProcessStateGuard guard;
    const struct
    {
        double a;
        double b;
        bool less;
    } cases[] = {
        {1e-13, 1.5e-13, false}, // same cell
        {1.5e-13, 1e-13, false}, {1e-13, 2e-13, true}, {2e-13, 1e-13, false},
        {-1.0, 1.0, true},       {5.0, 5.0, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << c.a << " vs " << c.b);
        EXPECT_EQ(c.less, Double::weakLess(Double(c.a), Double(c.b)));
    }
}

// ---------------------------------------------------------------------------
// Arithmetic
// ---------------------------------------------------------------------------

TEST(DoubleTest, ArithmeticResults)
{
    const Double a(7.5);
    const Double b(2.5);
    EXPECT_DOUBLE_EQ(10.0, (a + b).todouble());
    EXPECT_DOUBLE_EQ(5.0, (a - b).todouble());
    EXPECT_DOUBLE_EQ(18.75, (a * b).todouble());
    EXPECT_DOUBLE_EQ(3.0, (a / b).todouble());

    Double d(1.0);
    d += 2.0;
    d -= 0.5;
    d *= 4.0;
    d /= 5.0;
    EXPECT_DOUBLE_EQ(2.0, d.todouble());

    EXPECT_DOUBLE_EQ(3.0, (++d).todouble());
    EXPECT_DOUBLE_EQ(2.0, (--d).todouble());

    // Postfix: the old value back, then +n when n > 0, else +1.
    Double e(10.0);
    EXPECT_DOUBLE_EQ(10.0, (e++).todouble());
    EXPECT_DOUBLE_EQ(11.0, e.todouble());
    EXPECT_DOUBLE_EQ(11.0, e.operator++(5).todouble());
    EXPECT_DOUBLE_EQ(16.0, e.todouble());
    EXPECT_DOUBLE_EQ(16.0, (e--).todouble());
    EXPECT_DOUBLE_EQ(15.0, e.todouble());
    EXPECT_DOUBLE_EQ(15.0, e.operator--(3).todouble());
    EXPECT_DOUBLE_EQ(12.0, e.todouble());
}

TEST(DoubleTest, FailuresCarryTheirKindFileAndMessage)
{
    const Double u;
    const Double one(1.0);
    const Double zero(0.0);
    const struct
    {
        const char* name;
        std::function<void()> op;
        Kind kind;
        const char* file;
        const char* msg;
    } cases[] = {
        {"u + 1", [&] { (void)(u + one); }, Kind::NotDefined, "src/Math/Double",
         "QARNO::Double::todouble(): value not defined"},
        {"1 * u", [&] { (void)(one * u); }, Kind::NotDefined, "src/Math/Double",
         "QARNO::Double::todouble(): value not defined"},
        {"1 / 0", [&] { (void)(one / zero); }, Kind::InvalidValue, "Double",
         "QARNO::Double: d1 / d2: division by zero"},
        // The divisor is read first.
        {"u / 0", [&] { (void)(u / zero); }, Kind::InvalidValue, "Double",
         "QARNO::Double: d1 / d2: division by zero"},
        {"1 / u", [&] { (void)(one / u); }, Kind::NotDefined, "src/Math/Double",
         "QARNO::Double::todouble(): value not defined"},
        {"1 += u",
         [&]
         {
             Double d(1.0);
             d += u;
         },
         Kind::NotDefined, "Double", "QARNO::Double: d1 += d2: d1 or d2 not defined"},
        {"u -= 1",
         [&]
         {
             Double d;
             d -= one;
         },
         Kind::NotDefined, "Double", "QARNO::Double: d1 -= d2: d1 or d2 not defined"},
        {"1 *= u",
         [&]
         {
             Double d(1.0);
             d *= u;
         },
         Kind::NotDefined, "Double", "QARNO::Double: d1 *= d2: d1 or d2 not defined"},
        {"1 /= u",
         [&]
         {
             Double d(1.0);
             d /= u;
         },
         Kind::NotDefined, "Double", "QARNO::Double: d1 /= d2: d1 or d2 not defined"},
        {"1 /= 0",
         [&]
         {
             Double d(1.0);
             d /= zero;
         },
         Kind::InvalidValue, "Double", "QARNO::Double: d1 /= d2: division by zero"},
        {"++u",
         [&]
         {
             Double d;
             ++d;
         },
         Kind::NotDefined, "Double", "QARNO::Double: ++d: d not defined"},
        {"--u",
         [&]
         {
             Double d;
             --d;
         },
         Kind::NotDefined, "Double", "QARNO::Double: --d: d not defined"},
        {"u++",
         [&]
         {
             Double d;
             d++;
         },
         Kind::NotDefined, "Double", "QARNO::Double: d++: d not defined"},
        {"u--",
         [&]
         {
             Double d;
             d--;
         },
         Kind::NotDefined, "Double", "QARNO::Double: d--: d not defined"},
        {"roundd(u)", [&] { (void)u.roundd(); }, Kind::NotDefined, "Double",
         "QARNO::Double::round(): value not defined"},
        {"round(u)", [&] { (void)u.round(); }, Kind::NotDefined, "Double",
         "QARNO::Double::round(): value not defined"},
        {"ceil(u)", [&] { (void)u.ceil(); }, Kind::NotDefined, "Double",
         "QARNO::Double::ceil(): value not defined"},
        {"floor(u)", [&] { (void)u.floor(); }, Kind::NotDefined, "Double",
         "QARNO::Double::floor(): value not defined"},
        {"abs(u)", [&] { (void)u.abs(); }, Kind::NotDefined, "Double",
         "QARNO::Double::abs(): value not defined"},
        {"pow2(u)", [&] { (void)u.pow2(); }, Kind::NotDefined, "Double",
         "QARNO::Double::pow2(): value not defined"},
        {"sqrt(u)", [&] { (void)u.sqrt(); }, Kind::NotDefined, "Double",
         "QARNO::Double::sqrt(): value not defined"},
        {"sqrt(-2e-13)", [&] { (void)Double(-2e-13).sqrt(); }, Kind::InvalidValue, "Double",
         "QARNO::Double::sqrt(x): x < 0"},
        {"trunk(u)", [&] { (void)u.trunk(); }, Kind::NotDefined, "src/Math/Double",
         "QARNO::Double::trunk(): value not defined"},
        {"weakLess(1, u)", [&] { (void)Double::weakLess(one, u); }, Kind::NotDefined,
         "src/Math/Double", "QARNO::Double::trunk(): value not defined"},
        {"relErr(1, u)", [&] { (void)one.relErr(u); }, Kind::NotDefined, "Double",
         "QARNO::Double::rel_err(): one of the values is not defined"},
        {"relErr(u, 1)", [&] { (void)u.relErr(one); }, Kind::NotDefined, "Double",
         "QARNO::Double::rel_err(): one of the values is not defined"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        expectThrow(c.op, c.kind, c.file, c.msg);
    }
}

TEST(DoubleTest, FailedCompoundOperationLeavesOperandUnchanged)
{
    Double d(4.0);
    EXPECT_THROW(d += Double(), Double::NotDefined);
    EXPECT_THROW(d /= Double(0.0), Double::InvalidValue);
    ASSERT_TRUE(d.isDefined());
    EXPECT_EQ(4.0, d.todouble());
}

// ---------------------------------------------------------------------------
// Rounding and functions of the value
// ---------------------------------------------------------------------------

TEST(DoubleTest, RoundingHalfAwayFromZero)
{
    const struct
    {
        double v;
        double rounded;
    } cases[] = {
        {2.5, 3.0}, {-2.5, -3.0}, {0.49, 0.0}, {-0.5, -1.0}, {7.0, 7.0}, {-7.2, -7.0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.v);
        EXPECT_EQ(c.rounded, Double(c.v).roundd().todouble());
        EXPECT_EQ(static_cast<int>(c.rounded), Double(c.v).round());
    }
}

TEST(DoubleTest, RoundRefusesValuesOutsideIntRange)
{
    EXPECT_EQ(2147483647, Double(2147483647.4).round());
    EXPECT_EQ(-2147483647 - 1, Double(-2147483648.4).round());

    const std::string msg = "QARNO::Double::round(): value cannot be rounded to integer because "
                            "it is outside of range";
    // The IEEE infinity and NaN have no int either: refused like any other
    // value out of range, never converted.
    const double outside[] = {2147483647.5, -2147483648.5, DBL_MAX, -DBL_MAX,
                              IEEE_INF,     -IEEE_INF,     IEEE_NAN};
    for (const double v : outside)
    {
        SCOPED_TRACE(v);
        expectThrow([&] { (void)Double(v).round(); }, Kind::InvalidValue, "Double", msg);
    }
}

TEST(DoubleTest, FunctionsOfTheValue)
{
    const Double d(-2.5);
    EXPECT_EQ(-2.0, d.ceil().todouble());
    EXPECT_EQ(-3.0, d.floor().todouble());
    EXPECT_EQ(2.5, d.abs().todouble());
    EXPECT_EQ(6.25, d.pow2().todouble());
    EXPECT_EQ(3.0, Double(9.0).sqrt().todouble());

    const struct
    {
        double v;
        bool integer;
        bool binary;
    } cases[] = {
        {3.0, true, false}, {3.5, false, false},          {0.0, true, true},
        {1.0, true, true},  {1.0 + 0.5e-13, false, true}, {-1.0, true, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.v);
        EXPECT_EQ(c.integer, Double(c.v).isInteger());
        EXPECT_EQ(c.binary, Double(c.v).isBinary());
    }
}

TEST(DoubleTest, SqrtOfAZeroResidueIsZero)
{
    QarnoTest::ProcessStateGuard guard;
    // A value within epsilon below 0 is a rounding residue of 0: its root
    // is 0, a usable number, not a NaN.
    const double residues[] = {-0.5e-13, -1e-13, -1e-300};
    for (const double v : residues)
    {
        SCOPED_TRACE(v);
        const Double r = Double(v).sqrt();
        ASSERT_TRUE(r.isDefined());
        EXPECT_FALSE(std::isnan(r.todouble()));
        EXPECT_EQ(0.0, r.todouble());
    }
}

TEST(DoubleTest, RelativeError)
{
    const struct
    {
        double a;
        double b;
        double err;
    } cases[] = {
        {0.0, 5.0, 2.0},
        {0.0, 1.5, 1.5},
        {-0.25, 0.5, 0.75},
        {-1.0, 3.0, 4.0 / 3.0},
        {2.0, 3.0, 1.0 / 3.0},
        {3.0, 3.0, 0.0},
        {5.0, 0.0, 2.0},
        // Opposite signs and a small difference: the difference itself,
        // also when the product of the two would underflow to -0.
        {-1e-200, 1e-200, 2e-200},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << c.a << " vs " << c.b);
        EXPECT_DOUBLE_EQ(c.err, Double(c.a).relErr(Double(c.b)).todouble());
    }
    const Double self(7.0);
    EXPECT_EQ(0.0, self.relErr(self).todouble());
}

// ---------------------------------------------------------------------------
// Granular mesh
// ---------------------------------------------------------------------------

TEST(DoubleTest, IsMultipleOf)
{
    QarnoTest::ProcessStateGuard guard;
    const struct
    {
        Double v;
        Double g;
        bool multiple;
    } cases[] = {
        {0.3, 0.1, true},       {0.35, 0.1, false}, {-0.3, 0.1, true},  {1e-14, 7.0, true},
        {5.0, Double(), true},  {5.0, 0.0, true},   {5.0, -1.0, false}, {5.0, -1e-14, true},
        {Double(), 1.0, false}, {1e12, 1.0, true},  {0.04, 0.1, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << c.v.tostring() << " of " << c.g.tostring());
        EXPECT_EQ(c.multiple, c.v.isMultipleOf(c.g));
    }
}

TEST(DoubleTest, NextMult)
{
    QarnoTest::ProcessStateGuard guard;
    const struct
    {
        Double v;
        Double g;
        double next;
    } cases[] = {
        {2.5, 1.0, 3.0},
        {-2.5, 1.0, -2.0},
        {3.0, 1.0, 3.0},
        {2.5, 0.0, 2.5},
        {2.5, Double(), 2.5},
        {0.25, 0.1, 3 * 0.1},
        {-0.25, 0.1, -2 * 0.1},
        // Quotients beyond the int range keep going.
        {1e12 + 0.5, 1.0, 1e12 + 1},
        {-(3e9 + 0.5), 1.0, -3e9},
        {5e9 + 0.25, 0.5, 5e9 + 0.5},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(::testing::Message()
                     << std::setprecision(17) << c.v.todouble() << " with " << c.g.tostring());
        const Double next = c.v.nextMult(c.g);
        ASSERT_TRUE(next.isDefined());
        EXPECT_EQ(c.next, next.todouble());
    }
    // An undefined value comes back as it is.
    EXPECT_FALSE(Double().nextMult(Double(1.0)).isDefined());
}

TEST(DoubleTest, NbDecimals)
{
    QarnoTest::ProcessStateGuard guard;
    const struct
    {
        double v;
        size_t decimals;
    } cases[] = {
        {1.0, 0},
        {2.0, 0},
        {10.0, 0},
        {100.0, 0},
        {0.1, 1},
        {0.5, 1},
        {0.01, 2},
        {0.001, 3},
        {DBL_MAX, 0},
        {1e300, 0},
        // Rounding must not pile up: these end at 13 by repeated subtraction.
        {0.25, 2},
        {0.15, 2},
        {0.075, 3},
        {0.45, 2},
        {12345.678, 3},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.v);
        EXPECT_EQ(c.decimals, Double(c.v).nbDecimals());
    }
}

TEST(DoubleTest, NbDecimalsRefusesSmallAndNonFiniteValues)
{
    QarnoTest::ProcessStateGuard guard;
    const std::string msg = "Error: nbDecimals of number smaller than EPSILON is not supported";
    // inf and NaN would otherwise loop on log10 or convert a non-finite
    // number to int.
    const double refused[] = {0.0, -1.0, 1e-14, IEEE_INF, -IEEE_INF, IEEE_NAN};
    for (const double v : refused)
    {
        SCOPED_TRACE(v);
        expectThrow([&] { (void)Double(v).nbDecimals(); }, Kind::Plain, "src/Math/Double", msg);
    }
}

TEST(DoubleTest, NbDecimalsEndsForLargeNonIntegralValues)
{
    QarnoTest::ProcessStateGuard guard;
    Double::setEpsilon(DBL_EPSILON);
    // Many digits to subtract one by one: the answer still comes.
    const double values[] = {1578898997398656.2, 4503599627370495.5, 999999999999.99};
    for (const double v : values)
    {
        SCOPED_TRACE(v);
        EXPECT_LE(Double(v).nbDecimals(), 16u);
    }
}

// ---------------------------------------------------------------------------
// Tolerance
// ---------------------------------------------------------------------------

TEST(DoubleTest, SetEpsilon)
{
    QarnoTest::ProcessStateGuard guard;
    const std::string invalid = "QARNO::Double::setEpsilon(): invalid epsilon";
    const std::string minimum =
        "QARNO::Double::setEpsilon(): minimum value for epsilon is std epsilon = 2.22045e-16";
    const struct
    {
        double eps;
        const char* msg; // nullptr: accepted
    } cases[] = {
        {0.0, invalid.c_str()},
        {-1.0, invalid.c_str()},
        {IEEE_NAN, invalid.c_str()},
        {IEEE_INF, invalid.c_str()},
        {1e-16, minimum.c_str()},
        {DBL_EPSILON, nullptr},
        {1e-10, nullptr},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.eps);
        Double::setEpsilon(1e-13);
        if (c.msg == nullptr)
        {
            EXPECT_NO_THROW(Double::setEpsilon(c.eps));
            EXPECT_EQ(c.eps, Double::getEpsilon());
        }
        else
        {
            expectThrow([&] { Double::setEpsilon(c.eps); }, Kind::Plain, "src/Math/Double", c.msg);
            EXPECT_EQ(1e-13, Double::getEpsilon());
        }
    }
}

TEST(DoubleTest, SetEpsilonChangesLaterComparisons)
{
    QarnoTest::ProcessStateGuard guard;
    const Double a(1.0);
    const Double b(1.0 + 5e-11);
    EXPECT_FALSE(a == b);
    Double::setEpsilon(1e-10);
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a < Double(1.0 + 1e-10 / 2));
    EXPECT_TRUE(a < Double(1.0 + 2e-10));
    EXPECT_FALSE(Double::weakLess(Double(1e-10), Double(1.5e-10)));
}

// ---------------------------------------------------------------------------
// Reading
// ---------------------------------------------------------------------------

TEST(DoubleTest, AtofWords)
{
    QarnoTest::ProcessStateGuard guard;
    enum Outcome
    {
        REJECTED,
        UNDEFINED,
        VALUE
    };
    const struct
    {
        const char* word;
        Outcome outcome;
        double value;
    } cases[] = {
        // Undefined words: case matters.
        {"NaN", UNDEFINED, 0},
        {"nan", UNDEFINED, 0},
        {"-", UNDEFINED, 0},
        {"-NaN", UNDEFINED, 0},
        {"-nan", UNDEFINED, 0},
        {"NAN", REJECTED, 0},
        {"Nan", REJECTED, 0},
        // Infinity words.
        {"inf", VALUE, DBL_MAX},
        {"Inf", VALUE, DBL_MAX},
        {"+inf", VALUE, DBL_MAX},
        {"+INF", VALUE, DBL_MAX},
        {"QARNO::inf", VALUE, DBL_MAX},
        {"+QARNO::INF", VALUE, DBL_MAX},
        {"-inf", VALUE, -DBL_MAX},
        {"-INF", VALUE, -DBL_MAX},
        {"-Inf", VALUE, -DBL_MAX},
        {"-qarno::Inf", VALUE, -DBL_MAX},
        // Numbers: the longest leading part that forms one.
        {"5", VALUE, 5},
        {"007", VALUE, 7},
        {"-2.5", VALUE, -2.5},
        {".5", VALUE, 0.5},
        {"1e-3", VALUE, 0.001},
        {"1E+", VALUE, 1},
        {"1.2.3", VALUE, 1.2},
        {"1E5E3", VALUE, 1e5},
        {"5.", VALUE, 5},
        {"1.E2", VALUE, 100},
        {"0E999999999", VALUE, 0},
        {"-.E5", VALUE, 0},
        {"+.", VALUE, 0},
        {"1e-400", VALUE, 0},
        // Beyond the double range: the library's infinity, not IEEE's.
        {"1e400", VALUE, DBL_MAX},
        {"-1e400", VALUE, -DBL_MAX},
        {"1.7976931348623159e308", VALUE, DBL_MAX},
        {"0.000000001e999999999999", VALUE, DBL_MAX},
        // Malformed.
        {"", REJECTED, 0},
        {"+", REJECTED, 0},
        {".", REJECTED, 0},
        {"1E", REJECTED, 0},
        {" 1", REJECTED, 0},
        {"1 ", REJECTED, 0},
        {"1-2", REJECTED, 0},
        {"0x10", REJECTED, 0},
        {"12abc", REJECTED, 0},
        {"1,5", REJECTED, 0},
        {"infinity", REJECTED, 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string("'") + c.word + "'");
        Double d(42.0);
        const bool ok = d.atof(c.word);
        switch (c.outcome)
        {
        case REJECTED:
            EXPECT_FALSE(ok);
            ASSERT_TRUE(d.isDefined());
            EXPECT_EQ(42.0, d.todouble());
            break;
        case UNDEFINED:
            EXPECT_TRUE(ok);
            EXPECT_FALSE(d.isDefined());
            break;
        case VALUE:
            EXPECT_TRUE(ok);
            ASSERT_TRUE(d.isDefined());
            EXPECT_FALSE(std::isinf(d.todouble()));
            EXPECT_EQ(c.value, d.todouble());
            break;
        }
    }
}

TEST(DoubleTest, AtofFollowsTheConfiguredTexts)
{
    QarnoTest::ProcessStateGuard guard;
    Double::_infStr = "Infinity";
    Double::_undefStr = "undef";
    const struct
    {
        const char* word;
        bool ok;
        bool defined;
        double value;
    } cases[] = {
        {"Infinity", true, true, DBL_MAX},   {"+Infinity", true, true, DBL_MAX},
        {"-Infinity", true, true, -DBL_MAX}, {"INF", true, true, DBL_MAX},
        {"infinity", false, true, 42.0},     {"undef", true, false, 0.0},
        {"-undef", true, false, 0.0},        {"nan", true, false, 0.0},
        {"NaN", false, true, 42.0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.word);
        Double d(42.0);
        EXPECT_EQ(c.ok, d.atof(c.word));
        ASSERT_EQ(c.defined, d.isDefined());
        if (c.defined)
        {
            EXPECT_EQ(c.value, d.todouble());
        }
    }
}

TEST(DoubleTest, RelativeAtof)
{
    QarnoTest::ProcessStateGuard guard;
    const struct
    {
        const char* word;
        bool answer;
        bool relative;
        bool defined;
        double value; // stored afterwards, when defined
    } cases[] = {
        {"r0.5", true, true, true, 0.5},
        {"R2", true, true, true, 2.0},
        {"R-1", false, true, true, -1.0}, // stored, but refused
        {"r-1e-14", true, true, true, -1e-14},
        {"0.5", true, false, true, 0.5},
        {"-1", true, false, true, -1.0},
        {"", false, false, true, 42.0},
        {"r", false, true, true, 42.0},
        {"rabc", false, true, true, 42.0},
        {"rinf", true, true, true, DBL_MAX},
        // An undefined relative value is refused instead of failing on the
        // sign test.
        {"r-", false, true, false, 0.0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string("'") + c.word + "'");
        Double d(42.0);
        bool relative = !c.relative;
        bool answer = false;
        EXPECT_NO_THROW(answer = d.relativeAtof(c.word, relative));
        EXPECT_EQ(c.answer, answer);
        EXPECT_EQ(c.relative, relative);
        ASSERT_EQ(c.defined, d.isDefined());
        if (c.defined)
        {
            EXPECT_EQ(c.value, d.todouble());
        }
    }
}

TEST(DoubleTest, StreamExtraction)
{
    std::istringstream in("  3.5\t-inf  NaN 12abc 8");
    Double a, b, c(1.0);
    in >> a >> b >> c;
    ASSERT_TRUE(in.good());
    EXPECT_EQ(3.5, a.todouble());
    EXPECT_EQ(-DBL_MAX, b.todouble());
    EXPECT_FALSE(c.isDefined());

    Double d(42.0);
    in >> d;
    EXPECT_TRUE(in.fail());
    ASSERT_TRUE(d.isDefined());
    EXPECT_EQ(42.0, d.todouble());

    std::istringstream empty("   ");
    Double e(7.0);
    empty >> e;
    EXPECT_TRUE(empty.fail());
    ASSERT_TRUE(e.isDefined());
    EXPECT_EQ(7.0, e.todouble());
}

// ---------------------------------------------------------------------------
// Writing
// ---------------------------------------------------------------------------

TEST(DoubleTest, Inserter)
{
    QarnoTest::ProcessStateGuard guard;
    const struct
    {
        Double d;
        const char* text;
    } cases[] = {
        {5.0, "5"},
        {-3.0, "-3"},
        {-0.0, "0"},
        {2147483645.0, "2147483645"},
        {-2147483645.0, "-2147483645"},
        {2147483646.0, "2.14748e+09"},
        {0.1, "0.1"},
        {1.5, "1.5"},
        {3.14159265, "3.14159"},
        {1e-5, "1e-05"},
        {DBL_MAX, "inf"},
        {-DBL_MAX, "-inf"},
        {Double(), "NaN"},
        {IEEE_INF, "inf"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.text, inserted(c.d));
        EXPECT_EQ(c.text, c.d.tostring());
    }
}

TEST(DoubleTest, InserterFieldWidthAppliesToFirstPiece)
{
    std::ostringstream out;
    out << std::setw(6) << Double(5.0) << "|" << std::setw(6) << Double(0.25) << "|" << std::setw(6)
        << Double(-DBL_MAX) << "|";
    EXPECT_EQ("     5|  0.25|     -inf|", out.str());
}

TEST(DoubleTest, ConfiguredTextsChangeInserterButNotFixedForms)
{
    QarnoTest::ProcessStateGuard guard;
    Double::_undefStr = "undef";
    Double::_infStr = "Infinity";
    const Double u;
    EXPECT_EQ("undef", inserted(u));
    EXPECT_EQ("NaN", u.tostring());
    EXPECT_EQ("Infinity", Double(DBL_MAX).tostring());
    EXPECT_EQ("-Infinity", inserted(Double(-DBL_MAX)));
    EXPECT_EQ("  NaN", u.display("%5d"));
    EXPECT_EQ("inf", Double(DBL_MAX).display("%d"));
    EXPECT_EQ("-", u.display(-1, 0));
}

TEST(DoubleTest, DisplayAligned)
{
    const struct
    {
        Double d;
        int prec;
        size_t width;
        const char* text;
    } cases[] = {
        {2.5, 2, 0, "  2.5 "},
        {100.0, 2, 0, "100   "},
        {0.1, 2, 0, "  0.1 "},
        {3.0000000001, 2, 0, "  3.  "},
        {Double(), 2, 0, "  -   "},
        {100.0, 0, 0, "100"},
        {0.0, 0, 0, "  0"},
        {Double(), 0, 0, "  -"},
        {123.456, 1, 0, "123.5"},
        {2.5, 2, 10, "      2.5 "},
        {7.0, -1, 8, "7"},
        {Double(), -1, 8, "-"},
        {3.14159265, -1, 0, "3.14159"},
        {DBL_MAX, -1, 0, "1.79769e+308"},
        {0.0, 2, 0, "  0   "},
        {1.25, 4, 0, "  1.25  "},
        // The library's infinities as words, placed as "-" is, instead of
        // their 309 digits.
        {DBL_MAX, 2, 0, "inf   "},
        {-DBL_MAX, 2, 0, "-inf   "},
        {DBL_MAX, 0, 0, "inf"},
        {-DBL_MAX, 2, 10, "   -inf   "},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(::testing::Message()
                     << c.d.tostring() << " prec " << c.prec << " width " << c.width);
        EXPECT_EQ(c.text, c.d.display(c.prec, c.width));
    }
}

TEST(DoubleTest, DisplayFormatted)
{
    const struct
    {
        Double d;
        const char* format;
        const char* text;
    } cases[] = {
        {3.14159, "%.2f", "3.14"},
        {3.14159, "%8.3f", "   3.142"},
        {3.14159, "%e", "3.141590e+00"},
        {3.14159, "%.3E", "3.142E+00"},
        {3.14159, "%g", "3.141590"},
        {-2.5, "%5d", "   -3"},
        {2.5, "%d", "3"},
        {2.5, "%i", "3"},
        {1e10, "%d", "1e+10"},
        {3.0, "%5", "    3"},
        {3.7, "%5", "3.700000"},
        {3.7, "%.1", "3.7"},
        {12.0, "%.f", "12"},
        {Double(), "%8.2f", "     NaN"},
        {0.000123, "%.2g", "0.00"},
        {1.23456789e8, "%.2g", "1.23e+08"},
        {1.23456789e8, "%.2G", "1.23E+08"},
        {12.5, "", ""},
        {12.5, "x", ""},
        {12.0, "", "12"},
        {12.0, "x", ""},
        {DBL_MAX, "%d", "inf"},
        {DBL_MAX, "%10.2f", "       inf"},
        {-DBL_MAX, "%6d", "     -inf"},
        {-1.5, "%-8.2f", "-1.50"},
        {42.0, "%", "42"},
        // Without "%" there is no conversion, but the width still pads the
        // fixed undefined and infinity texts.
        {Double(), "x12y", "         NaN"},
        {DBL_MAX, "x12y", "         inf"},
        {12.5, "x12y", ""},
        {Double(), ".123", "NaN"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << c.d.tostring() << " '" << c.format << "'");
        EXPECT_EQ(c.text, c.d.display(c.format));
    }
}

TEST(DoubleTest, DisplayFormattedWithHugePrecision)
{
    // A precision beyond the bound of a valid format is ignored, as one
    // beyond the int range is, rather than making a text of that size.
    EXPECT_EQ("0.500000", Double(0.5).display("%.5000000f"));
}

// A decimal comma and digit grouping, as many national locales have.
class CommaNumpunct : public std::numpunct<char>
{
protected:
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

// Installs a non-C global locale for the length of a test: a named one
// when the system has it (which also switches the C locale), else a
// classic locale with national number punctuation.
class GlobalLocaleGuard
{
public:
    GlobalLocaleGuard() : _saved(std::locale()), _savedC(std::setlocale(LC_ALL, nullptr))
    {
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "de_DE"})
        {
            try
            {
                std::locale::global(std::locale(name));
                return;
            }
            catch (const std::runtime_error&)
            {
            }
        }
        std::locale::global(std::locale(std::locale::classic(), new CommaNumpunct));
    }
    ~GlobalLocaleGuard()
    {
        std::locale::global(_saved);
        std::setlocale(LC_ALL, _savedC.c_str());
    }
    GlobalLocaleGuard(const GlobalLocaleGuard&) = delete;
    GlobalLocaleGuard& operator=(const GlobalLocaleGuard&) = delete;

private:
    std::locale _saved;
    std::string _savedC;
};

TEST(DoubleTest, TextFormsIgnoreTheGlobalLocale)
{
    QarnoTest::ProcessStateGuard guard;
    GlobalLocaleGuard localeGuard;

    // The locale is in force: a plain stream now writes a decimal comma.
    std::ostringstream probe;
    probe << 1.5;
    ASSERT_EQ("1,5", probe.str());

    EXPECT_EQ("2147483645", inserted(Double(2147483645.0)));
    EXPECT_EQ("3.14159", inserted(Double(3.14159265)));
    EXPECT_EQ("2.14748e+09", inserted(Double(2147483646.0)));
    EXPECT_EQ("-0.25", Double(-0.25).tostring());
    EXPECT_EQ("  2.5 ", Double(2.5).display(2, 0));
    EXPECT_EQ("123.5", Double(123.456).display(1, 0));
    EXPECT_EQ("   3.142", Double(3.14159).display("%8.3f"));
    EXPECT_EQ("1.23e+08", Double(1.23456789e8).display("%.2g"));
    EXPECT_EQ("1234567", Double(1234567.0).display("%d"));

    Double d;
    ASSERT_TRUE(d.atof("1.5"));
    EXPECT_EQ(1.5, d.todouble());
    EXPECT_FALSE(d.atof("1,5"));
    std::istringstream in("2.75");
    in >> d;
    EXPECT_EQ(2.75, d.todouble());
}

TEST(DoubleTest, SharedTextConstants)
{
    EXPECT_STREQ("inf", INF_TEXT);
    EXPECT_STREQ("NaN", UNDEF_TEXT);
    EXPECT_STREQ("-", UNDEF_MARK);
    EXPECT_STREQ("nan", NAN_TEXT);

    QarnoTest::ProcessStateGuard guard;
    EXPECT_EQ(INF_TEXT, Double::_infStr);
    EXPECT_EQ(UNDEF_TEXT, Double::_undefStr);
    EXPECT_EQ(1e-13, Double::getEpsilon());
}

} // namespace
