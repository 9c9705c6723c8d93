// The per-variable steps of the problem check: granularity, input types,
// variable groups, fixed variables, starting points against bounds and
// granularity, and the minimum and initial mesh and frame sizes.

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "Param/InvalidParameter.hpp"
#include "Param/PbParameters.hpp"
#include "support/TestParameters.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::CerrCapture;
using QarnoTest::checkOutcome;
using QarnoTest::ProcessStateGuard;

namespace
{

const double NaN = std::nan("");
const double EPS = 1e-13;
const BBInputType R = BBInputType::CONTINUOUS;
const BBInputType I = BBInputType::INTEGER;
const BBInputType B = BBInputType::BINARY;

ArrayOfDouble arr(const std::vector<double>& values)
{
    return QarnoTest::makeArray(values);
}

Point pt(const std::vector<double>& values)
{
    return Point(QarnoTest::makeArray(values));
}

/// A point whose coordinates listed in `toBeDefined` carry the
/// to-be-defined mark (an index given without a value).
Point withMarks(Point p, const std::vector<size_t>& toBeDefined)
{
    for (const size_t i : toBeDefined)
    {
        p[i] = Double::toBeDefinedMark();
    }
    return p;
}

/// Compares two arrays coordinate by coordinate with a relative tolerance,
/// undefined coordinates (NaN in `expected`) included.
void expectArray(const std::vector<double>& expected, const ArrayOfDouble& actual, const char* name)
{
    SCOPED_TRACE(name);
    ASSERT_EQ(expected.size(), actual.size());
    for (size_t i = 0; i < expected.size(); ++i)
    {
        SCOPED_TRACE(i);
        if (std::isnan(expected[i]))
        {
            EXPECT_FALSE(actual[i].isDefined());
        }
        else
        {
            ASSERT_TRUE(actual[i].isDefined());
            EXPECT_NEAR(expected[i], actual[i].todouble(), 1e-12 * std::fabs(expected[i]));
        }
    }
}

using Configure = std::function<void(PbParameters&)>;

class PbParametersCheckTest : public ::testing::Test
{
protected:
    ProcessStateGuard _guard;
};

} // namespace

// ---------------------------------------------------------------------------
// Granularity and input types
// ---------------------------------------------------------------------------

TEST_F(PbParametersCheckTest, GranularityIsCompletedAndMustNotBeNegative)
{
    const struct
    {
        const char* label;
        std::vector<double> given; // empty: not given
        std::string outcome;
        std::vector<double> granularity;
    } cases[] = {
        {"not given", {}, "ok", {0, 0, 0}},
        {"one variable", {NaN, 0.5, NaN}, "ok", {0, 0.5, 0}},
        {"undefined of another size", {NaN}, "ok", {0, 0, 0}},
        {"another size",
         {0.1, 0.1},
         "InvalidParameter: Error: Parameter GRANULARITY has dimension 2 which is different "
         "from problem dimension 3",
         {}},
        {"negative",
         {0, -0.01, 0},
         "InvalidParameter: Check: invalid granular variables "
         "(negative values)",
         {}},
        {"negative within epsilon", {-5e-14, 0, 0}, "ok", {-5e-14, 0, 0}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        PbParameters pb;
        pb.setAttributeValue("DIMENSION", size_t(3));
        if (!c.given.empty())
        {
            pb.setAttributeValue("GRANULARITY", arr(c.given));
        }
        ASSERT_EQ(c.outcome, checkOutcome(pb));
        if (c.outcome == "ok")
        {
            expectArray(c.granularity, pb.getAttributeValue<ArrayOfDouble>("GRANULARITY"),
                        "GRANULARITY");
        }
    }
}

TEST_F(PbParametersCheckTest, InputTypesSettleGranularityAndBinaryBounds)
{
    const struct
    {
        const char* label;
        BBInputTypeList given; // empty: the default "* R"
        std::vector<double> granularity;
        std::string outcome;
        BBInputTypeList types;
        std::vector<double> finalGranularity;
        std::vector<double> lb;
        std::vector<double> ub;
    } cases[] = {
        {"default", {}, {}, "ok", {R, R, R}, {0, 0, 0}, {-5, NaN, NaN}, {5, NaN, NaN}},
        {"all integer",
         {BBInputType::ALL_INTEGER},
         {0, 2, 0},
         "ok",
         {I, I, I},
         {1, 2, 1},
         {-5, NaN, NaN},
         {5, NaN, NaN}},
        {"all binary",
         {BBInputType::ALL_BINARY},
         {},
         "ok",
         {B, B, B},
         {1, 1, 1},
         {0, 0, 0},
         {1, 1, 1}},
        {"integer keeps a granularity above 1",
         {I, R, R},
         {3, 0.5, 0},
         "ok",
         {I, R, R},
         {3, 0.5, 0},
         {-5, NaN, NaN},
         {5, NaN, NaN}},
        {"integer with a fractional granularity",
         {R, I, R},
         {0, 0.5, 0},
         "InvalidParameter: Check: Invalid granularity[1] = 0.5 for BB_INPUT_TYPE INTEGER",
         {},
         {},
         {},
         {}},
        {"binary overrides bounds and granularity",
         {B, R, R},
         {0.3, 0, 0},
         "ok",
         {B, R, R},
         {1, 0, 0},
         {0, NaN, NaN},
         {1, NaN, NaN}},
        {"short list not given by the user",
         {R, I},
         {},
         "ok",
         {R, I, R},
         {0, 1, 0},
         {-5, NaN, NaN},
         {5, NaN, NaN}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        PbParameters pb;
        pb.setAttributeValue("DIMENSION", size_t(3));
        pb.setAttributeValue("LOWER_BOUND", arr({-5, NaN, NaN}));
        pb.setAttributeValue("UPPER_BOUND", arr({5, NaN, NaN}));
        if (!c.given.empty())
        {
            pb.setAttributeValue("BB_INPUT_TYPE", c.given);
        }
        if (!c.granularity.empty())
        {
            pb.setAttributeValue("GRANULARITY", arr(c.granularity));
        }
        CerrCapture noMessage;
        ASSERT_EQ(c.outcome, checkOutcome(pb));
        EXPECT_EQ("", noMessage.text());
        if (c.outcome != "ok")
        {
            continue;
        }
        EXPECT_EQ(c.types, pb.getAttributeValue<BBInputTypeList>("BB_INPUT_TYPE"));
        expectArray(c.finalGranularity, pb.getAttributeValue<ArrayOfDouble>("GRANULARITY"),
                    "GRANULARITY");
        expectArray(c.lb, pb.getAttributeValue<ArrayOfDouble>("LOWER_BOUND"), "LOWER_BOUND");
        expectArray(c.ub, pb.getAttributeValue<ArrayOfDouble>("UPPER_BOUND"), "UPPER_BOUND");
        // The minimum sizes of integer and binary variables are their granularity.
        for (size_t i = 0; i < 3; ++i)
        {
            if (c.types[i] != R)
            {
                EXPECT_EQ(Double(c.finalGranularity[i]),
                          pb.getAttributeValue<ArrayOfDouble>("MIN_MESH_SIZE")[i]);
            }
        }
    }
}

TEST_F(PbParametersCheckTest, InputTypesGivenByTheUserMustMatchTheDimension)
{
    PbParameters pb;
    pb.readParamLine("DIMENSION 3", true);
    pb.readParamLine("BB_INPUT_TYPE ( R I )", true);
    ASSERT_TRUE(pb.isSetByUser("BB_INPUT_TYPE"));
    EXPECT_EQ("InvalidParameter: Error: BB_INPUT_TYPE R I has dimension 2 which is different "
              "from problem dimension 3",
              checkOutcome(pb));

    // A starred form given by the user covers every variable.
    PbParameters all;
    all.readParamLine("DIMENSION 3", true);
    all.readParamLine("BB_INPUT_TYPE * B", true);
    ASSERT_EQ("ok", checkOutcome(all));
    EXPECT_EQ((BBInputTypeList{B, B, B}), all.getAttributeValue<BBInputTypeList>("BB_INPUT_TYPE"));
}

// ---------------------------------------------------------------------------
// Variable groups
// ---------------------------------------------------------------------------

TEST_F(PbParametersCheckTest, VariableGroupsCoverEveryVariableOnce)
{
    const size_t huge = std::numeric_limits<size_t>::max();
    const struct
    {
        const char* label;
        ListOfVariableGroup given;
        std::string outcome;
        ListOfVariableGroup groups;
    } cases[] = {
        {"none", {}, "ok", {}},
        {"one group", {{0, 1}}, "ok", {{0, 1}, {2, 3}}},
        {"every variable", {{0, 1, 2, 3}}, "ok", {{0, 1, 2, 3}}},
        {"two groups, gaps", {{3, 1}, {0}}, "ok", {{1, 3}, {0}, {2}}},
        {"repeated index",
         {{0, 1}, {1, 2}},
         "InvalidParameter: Parameters check: VARIABLE_GROUP, each index must be unique.\n",
         {}},
        {"index out of range",
         {{0}, {4}},
         "InvalidParameter: Parameters check: VARIABLE_GROUP, an index must be an integer in "
         "[0;3].\n",
         {}},
        {"largest index",
         {{huge}},
         "InvalidParameter: Parameters check: VARIABLE_GROUP, an index must be an integer in "
         "[0;3].\n",
         {}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        PbParameters pb;
        pb.setAttributeValue("DIMENSION", size_t(4));
        pb.setAttributeValue("VARIABLE_GROUP", c.given);
        ASSERT_EQ(c.outcome, checkOutcome(pb));
        if (c.outcome == "ok")
        {
            EXPECT_EQ(c.groups, pb.getAttributeValue<ListOfVariableGroup>("VARIABLE_GROUP"));
        }
    }
}

// ---------------------------------------------------------------------------
// Fixed variables and starting points
// ---------------------------------------------------------------------------

TEST_F(PbParametersCheckTest, FixedVariablesTakeTheStartingPointAndRespectBounds)
{
    const struct
    {
        const char* label;
        Point fixed;
        ArrayOfPoint x0s; // empty: not given
        std::vector<double> lb;
        std::vector<double> ub;
        std::string outcome;
        std::vector<double> finalFixed; // NaN: free or still to be defined
    } cases[] = {
        {"index without value",
         withMarks(pt({NaN, NaN}), {0}),
         {pt({2, 3})},
         {NaN, NaN},
         {NaN, NaN},
         "ok",
         {2, NaN}},
        {"index without value, two starting points",
         withMarks(pt({NaN, NaN}), {0}),
         {pt({2, 3}), pt({5, 3})},
         {NaN, NaN},
         {NaN, NaN},
         "InvalidParameter: Parameters check: fixed variable must be the same as x0 at index "
         "0:\nv[0] = 2 != x0[0] = 5\n",
         {}},
        {"value that differs from x0",
         pt({NaN, 1.5}),
         {pt({0, 2})},
         {NaN, NaN},
         {NaN, NaN},
         "InvalidParameter: Parameters check: fixed variable must be the same as x0 at index "
         "1:\nv[1] = 1.5 != x0[1] = 2\n",
         {}},
        {"value of another size",
         pt({1}),
         {},
         {NaN, NaN},
         {NaN, NaN},
         "InvalidParameter: Error: FIXED_VARIABLES has dimension 1 which is different from "
         "problem dimension 2",
         {}},
        {"only marks, another size",
         withMarks(pt({NaN, NaN, NaN}), {2}),
         {pt({1, 1})},
         {NaN, NaN},
         {NaN, NaN},
         "ok",
         {NaN, NaN}},
        {"not given", Point(), {pt({1, 1})}, {NaN, NaN}, {NaN, NaN}, "ok", {NaN, NaN}},
        {"under the lower bound",
         pt({-1, NaN}),
         {},
         {0, 0},
         {NaN, NaN},
         "InvalidParameter: Parameters check: fixed variable v under lower bound: v[0] = -1 < "
         "0\n",
         {}},
        {"over the upper bound",
         withMarks(pt({NaN, NaN}), {1}),
         {pt({0, 7})},
         {NaN, NaN},
         {NaN, 5},
         "InvalidParameter: Parameters check: fixed variable v over upper bound: v[1] = 7 > 5\n",
         {}},
        {"value within bounds", pt({NaN, 4}), {pt({1, 4})}, {0, 0}, {5, 5}, "ok", {NaN, 4}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        PbParameters pb;
        pb.setAttributeValue("DIMENSION", size_t(2));
        pb.setAttributeValue("FIXED_VARIABLE", c.fixed);
        if (!c.x0s.empty())
        {
            pb.setAttributeValue("X0", c.x0s);
        }
        pb.setAttributeValue("LOWER_BOUND", arr(c.lb));
        pb.setAttributeValue("UPPER_BOUND", arr(c.ub));
        ASSERT_EQ(c.outcome, checkOutcome(pb));
        if (c.outcome == "ok")
        {
            expectArray(c.finalFixed, pb.getAttributeValue<Point>("FIXED_VARIABLE"),
                        "FIXED_VARIABLE");
        }
    }
}

TEST_F(PbParametersCheckTest, AFixedVariableWithoutStartingPointStaysToBeDefined)
{
    PbParameters pb;
    pb.setAttributeValue("DIMENSION", size_t(3));
    pb.setAttributeValue("FIXED_VARIABLE", withMarks(pt({NaN, NaN, NaN}), {1}));
    // A to-be-defined coordinate is free for the bound check.
    pb.setAttributeValue("LOWER_BOUND", arr({NaN, 10, NaN}));
    ASSERT_EQ("ok", checkOutcome(pb));
    const Point& fixed = pb.getAttributeValue<Point>("FIXED_VARIABLE");
    ASSERT_EQ(3u, fixed.size());
    EXPECT_TRUE(fixed[1].isToBeDefinedMark());
    EXPECT_FALSE(fixed[0].isDefined() || fixed[0].isToBeDefinedMark());
}

TEST_F(PbParametersCheckTest, StartingPointsMustLieWithinTheBounds)
{
    const struct
    {
        const char* label;
        ArrayOfPoint x0s;
        BBInputTypeList types;
        std::string outcome;
    } cases[] = {
        {"within", {pt({0, 1}), pt({1, 0})}, {R, R}, "ok"},
        {"undefined coordinate skipped", {pt({NaN, 1})}, {R, R}, "ok"},
        {"under",
         {pt({0.5, 0.5}), pt({1, -1})},
         {R, R},
         "InvalidParameter: Parameters check: x0 under lower bound: x0[1] = -1 < 0 ( 1 -1 )\n"},
        {"over",
         {pt({2, 0})},
         {R, R},
         "InvalidParameter: Parameters check: x0 over upper bound: x0[0] = 2 > 1\n"},
        {"over a binary bound",
         {pt({0.5, 2})},
         {R, B},
         "InvalidParameter: Parameters check: x0 over upper bound: x0[1] = 2 > 1\n"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        PbParameters pb;
        pb.setAttributeValue("DIMENSION", size_t(2));
        pb.setAttributeValue("LOWER_BOUND", arr({0, 0}));
        pb.setAttributeValue("UPPER_BOUND", arr({1, 3}));
        pb.setAttributeValue("BB_INPUT_TYPE", c.types);
        pb.setAttributeValue("X0", c.x0s);
        EXPECT_EQ(c.outcome, checkOutcome(pb));
    }
}

TEST_F(PbParametersCheckTest, StartingPointsAndSizesMustRespectTheGranularity)
{
    const struct
    {
        const char* label;
        Configure setUp;
        std::string outcome;
    } cases[] = {
        {"x0 on the granularity",
         [](PbParameters& pb) {
             pb.setAttributeValue("X0", ArrayOfPoint{pt({1.5, 2})});
         },
         "ok"},
        {"x0 off the granularity, 16 digits",
         [](PbParameters& pb) {
             pb.setAttributeValue("X0", ArrayOfPoint{pt({1.5, 1.2345678901234567})});
         },
         "InvalidParameter: Check: Invalid granularity of parameter X0 at index 1: "
         "1.234567890123457 vs granularity value 0.5"},
        {"x0 with a to-be-defined coordinate is not checked",
         [](PbParameters& pb) {
             pb.setAttributeValue("X0", ArrayOfPoint{withMarks(pt({0.3, NaN}), {1})});
         },
         "ok"},
        {"initial mesh size off the granularity",
         [](PbParameters& pb) {
             pb.setAttributeValue("INITIAL_MESH_SIZE", arr({0.5, 0.75}));
         },
         "InvalidParameter: Check: Invalid granularity of parameter INITIAL_MESH_SIZE at index "
         "1: 0.75 vs granularity value 0.5"},
        {"min frame size off the granularity",
         [](PbParameters& pb) {
             pb.setAttributeValue("MIN_FRAME_SIZE", arr({0.1, 0.7}));
         },
         "InvalidParameter: Check: Invalid granularity of parameter MIN_FRAME_SIZE at index 1: "
         "0.7 vs granularity value 0.5"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        PbParameters pb;
        pb.setAttributeValue("DIMENSION", size_t(2));
        pb.setAttributeValue("GRANULARITY", arr({0, 0.5}));
        c.setUp(pb);
        EXPECT_EQ(c.outcome, checkOutcome(pb));
    }
}

TEST_F(PbParametersCheckTest, ValuesBeyondTheMeshAreNamedAsTooLarge)
{
    // With a granularity of 1e-7, the multiples of the granularity that a
    // double holds end near 1.8e301: a point or a frame size beyond has no
    // place on the mesh. A continuous variable has no such limit.
    const std::string beyond =
        " is too large for the mesh: with a granularity of 1e-07, the mesh holds values up "
        "to 1.797693134862316e+301 in absolute value";
    const struct
    {
        const char* label;
        Configure setUp;
        std::string outcome;
    } cases[] = {
        {"bounds of +-1e308",
         [](PbParameters& pb)
         {
             pb.setAttributeValue("LOWER_BOUND", arr({-1, -1e308}));
             pb.setAttributeValue("UPPER_BOUND", arr({1, 1e308}));
         },
         "InvalidParameter: Check: INITIAL_FRAME_SIZE (a tenth of the distance between the "
         "bounds) at index 1: 2e+307" +
             beyond},
        {"a lower bound far below x0",
         [](PbParameters& pb)
         {
             pb.setAttributeValue("X0", ArrayOfPoint{pt({0, 0})});
             pb.setAttributeValue("LOWER_BOUND", arr({-1, -1e308}));
         },
         "InvalidParameter: Check: INITIAL_FRAME_SIZE (a tenth of the distance from X0 to the "
         "lower bound) at index 1: 1e+307" +
             beyond},
        {"x0 of 1e308",
         [](PbParameters& pb) {
             pb.setAttributeValue("X0", ArrayOfPoint{pt({0, 1e308})});
         },
         "InvalidParameter: Check: X0 at index 1: 1e+308" + beyond},
        {"x0 of -1e302 among several starting points",
         [](PbParameters& pb) {
             pb.setAttributeValue("X0", ArrayOfPoint{pt({0, 1}), pt({0, -1e302})});
         },
         "InvalidParameter: Check: X0 at index 1: -1e+302" + beyond},
        {"an initial mesh size of 1e305",
         [](PbParameters& pb) {
             pb.setAttributeValue("INITIAL_MESH_SIZE", arr({1, 1e305}));
         },
         "InvalidParameter: Check: INITIAL_FRAME_SIZE (from INITIAL_MESH_SIZE) at index 1: "
         "1.414213562373095e+305" +
             beyond},
        {"an initial frame size of 2e305",
         [](PbParameters& pb) {
             pb.setAttributeValue("INITIAL_FRAME_SIZE", arr({1, 2e305}));
         },
         "InvalidParameter: Check: INITIAL_FRAME_SIZE at index 1: 2e+305" + beyond},
        {"x0 of 1e300 and its frame fit",
         [](PbParameters& pb) {
             pb.setAttributeValue("X0", ArrayOfPoint{pt({0, 1e300})});
         },
         "ok"},
        {"a continuous variable at 1e308",
         [](PbParameters& pb)
         {
             pb.setAttributeValue("X0", ArrayOfPoint{pt({1e308, 0})});
             pb.setAttributeValue("LOWER_BOUND", arr({-1e308, -1}));
             pb.setAttributeValue("UPPER_BOUND", arr({1e308, 1}));
         },
         "ok"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        PbParameters pb;
        pb.setAttributeValue("DIMENSION", size_t(2));
        pb.setAttributeValue("GRANULARITY", arr({0, 1e-7}));
        c.setUp(pb);
        EXPECT_EQ(c.outcome, checkOutcome(pb));
    }
}

// With many variables and several starting points every step stays linear:
// a quadratic walk (a look-up of each index in the indices seen so far)
// would not end in reasonable time here.
TEST_F(PbParametersCheckTest, ManyVariablesAreCheckedInOnePass)
{
    const size_t n = 50000;
    PbParameters pb;
    pb.setAttributeValue("DIMENSION", n);
    VariableGroup evens;
    Point fixed(n);
    ArrayOfPoint x0s(3, Point(n, 1.0));
    for (size_t i = 0; i < n; ++i)
    {
        if (i % 2 == 0)
        {
            evens.insert(evens.end(), i);
        }
        x0s[2][i] = 2.0;
    }
    fixed[n - 1] = Double::toBeDefinedMark();
    x0s[1][n - 1] = 1.0;
    x0s[2][n - 1] = 1.0;
    pb.setAttributeValue("VARIABLE_GROUP", ListOfVariableGroup{evens});
    pb.setAttributeValue("FIXED_VARIABLE", fixed);
    pb.setAttributeValue("X0", x0s);
    pb.setAttributeValue("LOWER_BOUND", ArrayOfDouble(n, 0.0));
    ASSERT_EQ("ok", checkOutcome(pb));

    const ListOfVariableGroup& groups = pb.getAttributeValue<ListOfVariableGroup>("VARIABLE_GROUP");
    ASSERT_EQ(2u, groups.size());
    EXPECT_EQ(n / 2, groups.back().size());
    EXPECT_EQ(1u, *groups.back().begin());
    EXPECT_EQ(Double(1.0), pb.getAttributeValue<Point>("FIXED_VARIABLE")[n - 1]);
    // The frame of a bounded-below variable: the nearest starting point / 10.
    EXPECT_EQ(Double(0.1), pb.getAttributeValue<ArrayOfDouble>("INITIAL_FRAME_SIZE")[0]);
}

// ---------------------------------------------------------------------------
// Minimum and initial mesh and frame sizes
// ---------------------------------------------------------------------------

TEST_F(PbParametersCheckTest, SizesAreDerivedFromBoundsStartingPointsAndEachOther)
{
    const double r2 = std::sqrt(2.0);
    const double big = DBL_MAX;
    const struct
    {
        const char* label;
        size_t n;
        Configure setUp;
        std::vector<double> frame;
        std::vector<double> mesh;
        std::vector<double> minFrame;
        std::vector<double> minMesh;
    } cases[] = {
        {"bounds of every variable",
         4,
         [](PbParameters& pb)
         {
             pb.setAttributeValue("LOWER_BOUND", ArrayOfDouble(4, 0.0));
             pb.setAttributeValue("UPPER_BOUND", ArrayOfDouble(4, 10.0));
         },
         {1, 1, 1, 1},
         {0.5, 0.5, 0.5, 0.5},
         {EPS, EPS, EPS, EPS},
         {EPS, EPS, EPS, EPS}},
        {"no bounds",
         2,
         [](PbParameters& pb) {
             pb.setAttributeValue("X0", ArrayOfPoint{pt({5, 0})});
         },
         {0.5, 1},
         {0.5 / r2, 1 / r2},
         {EPS, EPS},
         {EPS, EPS}},
        {"no bounds, no starting point", 1, [](PbParameters&) {}, {1}, {1}, {EPS}, {EPS}},
        {"one defined coordinate of a single starting point",
         2,
         [](PbParameters& pb) {
             pb.setAttributeValue("X0", ArrayOfPoint{pt({-30, NaN})});
         },
         {3, 1},
         {3 / r2, 1 / r2},
         {EPS, EPS},
         {EPS, EPS}},
        {"lower bound only",
         1,
         [](PbParameters& pb)
         {
             pb.setAttributeValue("LOWER_BOUND", arr({0}));
             pb.setAttributeValue("X0", ArrayOfPoint{pt({3})});
         },
         {0.3},
         {0.3},
         {EPS},
         {EPS}},
        {"upper bound only",
         1,
         [](PbParameters& pb)
         {
             pb.setAttributeValue("UPPER_BOUND", arr({10}));
             pb.setAttributeValue("X0", ArrayOfPoint{pt({3})});
         },
         {0.7},
         {0.7},
         {EPS},
         {EPS}},
        {"starting point on the lower bound",
         1,
         [](PbParameters& pb)
         {
             pb.setAttributeValue("LOWER_BOUND", arr({3}));
             pb.setAttributeValue("X0", ArrayOfPoint{pt({3})});
         },
         {0.3},
         {0.3},
         {EPS},
         {EPS}},
        {"nearest of several starting points",
         1,
         [](PbParameters& pb)
         {
             pb.setAttributeValue("LOWER_BOUND", arr({0}));
             pb.setAttributeValue("X0", ArrayOfPoint{pt({3}), pt({1}), pt({2})});
         },
         {0.1},
         {0.1},
         {EPS},
         {EPS}},
        {"integer variables",
         2,
         [](PbParameters& pb)
         {
             pb.setAttributeValue("BB_INPUT_TYPE", BBInputTypeList{BBInputType::ALL_INTEGER});
             pb.setAttributeValue("LOWER_BOUND", arr({0, 0}));
             pb.setAttributeValue("X0", ArrayOfPoint{pt({3, 3})});
         },
         {1, 1},
         {1, 1},
         {1, 1},
         {1, 1}},
        {"mesh given",
         4,
         [](PbParameters& pb) { pb.setAttributeValue("INITIAL_MESH_SIZE", ArrayOfDouble(4, 1.0)); },
         {2, 2, 2, 2},
         {1, 1, 1, 1},
         {EPS, EPS, EPS, EPS},
         {EPS, EPS, EPS, EPS}},
        {"frame given",
         2,
         [](PbParameters& pb) {
             pb.setAttributeValue("INITIAL_FRAME_SIZE", arr({2, 4}));
         },
         {2, 4},
         {2 / r2, 4 / r2},
         {EPS, EPS},
         {EPS, EPS}},
        {"minimum sizes given",
         1,
         [](PbParameters& pb)
         {
             pb.setAttributeValue("MIN_MESH_SIZE", arr({1e-20}));
             pb.setAttributeValue("MIN_FRAME_SIZE", arr({0.25}));
             pb.setAttributeValue("INITIAL_FRAME_SIZE", arr({0.5}));
         },
         {0.5},
         {0.5},
         {0.25},
         {EPS}},
        {"minimum sizes raised to the granularity",
         2,
         [](PbParameters& pb)
         {
             pb.setAttributeValue("GRANULARITY", arr({0.5, 0.5}));
             pb.setAttributeValue("MIN_MESH_SIZE", arr({0.1, NaN}));
             pb.setAttributeValue("MIN_FRAME_SIZE", arr({1.5, NaN}));
             pb.setAttributeValue("INITIAL_FRAME_SIZE", arr({2, 2}));
         },
         {2, 2},
         {1.5, 1.5},
         {1.5, 0.5},
         {0.5, 0.5}},
        {"derived sizes raised to the minimum",
         1,
         [](PbParameters& pb)
         {
             pb.setAttributeValue("MIN_MESH_SIZE", arr({2}));
             pb.setAttributeValue("MIN_FRAME_SIZE", arr({3}));
         },
         {3},
         {3},
         {3},
         {2}},
        // A bound at INF limits nothing: the frame comes from the other
        // rules rather than from a range of the order of the largest double.
        {"infinite bounds",
         2,
         [big](PbParameters& pb)
         {
             pb.setAttributeValue("LOWER_BOUND", arr({-big, -big}));
             pb.setAttributeValue("UPPER_BOUND", arr({big, 10}));
             pb.setAttributeValue("X0", ArrayOfPoint{pt({20, 3})});
         },
         {2, 0.7},
         {2 / r2, 0.7 / r2},
         {EPS, EPS},
         {EPS, EPS}},
        {"huge distance to the lower bound",
         1,
         [](PbParameters& pb)
         {
             pb.setAttributeValue("LOWER_BOUND", arr({-1e308}));
             pb.setAttributeValue("X0", ArrayOfPoint{pt({1e308})});
         },
         {2e307},
         {2e307},
         {EPS},
         {EPS}},
        {"huge finite bounds",
         1,
         [](PbParameters& pb)
         {
             pb.setAttributeValue("LOWER_BOUND", arr({-1e308}));
             pb.setAttributeValue("UPPER_BOUND", arr({1e308}));
         },
         {2e307},
         {2e307},
         {EPS},
         {EPS}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        PbParameters pb;
        pb.setAttributeValue("DIMENSION", c.n);
        c.setUp(pb);
        CerrCapture noWarning;
        ASSERT_EQ("ok", checkOutcome(pb));
        EXPECT_EQ("", noWarning.text());
        expectArray(c.frame, pb.getAttributeValue<ArrayOfDouble>("INITIAL_FRAME_SIZE"),
                    "INITIAL_FRAME_SIZE");
        expectArray(c.mesh, pb.getAttributeValue<ArrayOfDouble>("INITIAL_MESH_SIZE"),
                    "INITIAL_MESH_SIZE");
        expectArray(c.minFrame, pb.getAttributeValue<ArrayOfDouble>("MIN_FRAME_SIZE"),
                    "MIN_FRAME_SIZE");
        expectArray(c.minMesh, pb.getAttributeValue<ArrayOfDouble>("MIN_MESH_SIZE"),
                    "MIN_MESH_SIZE");
    }
}

TEST_F(PbParametersCheckTest, SizeChecksReportBadValues)
{
    const struct
    {
        const char* label;
        Configure setUp;
        std::string outcome;
    } cases[] = {
        {"min mesh size of another size",
         [](PbParameters& pb) {
             pb.setAttributeValue("MIN_MESH_SIZE", arr({1, 1, 1}));
         },
         "InvalidParameter: Error: MIN_MESH_SIZE has dimension 3 which is different from "
         "problem dimension 2"},
        {"min frame size of another size",
         [](PbParameters& pb) { pb.setAttributeValue("MIN_FRAME_SIZE", arr({1})); },
         "InvalidParameter: Error: MIN_FRAME_SIZE has dimension 1 which is different from "
         "problem dimension 2"},
        {"zero min mesh size",
         [](PbParameters& pb) {
             pb.setAttributeValue("MIN_MESH_SIZE", arr({NaN, 0}));
         },
         "InvalidParameter: Check: invalid value for parameter MIN_MESH_SIZE"},
        {"negative min frame size",
         [](PbParameters& pb) {
             pb.setAttributeValue("MIN_FRAME_SIZE", arr({-1, 1}));
         },
         "InvalidParameter: Check: invalid value for parameter MIN_FRAME_SIZE"},
        {"initial mesh size of another size",
         [](PbParameters& pb) { pb.setAttributeValue("INITIAL_MESH_SIZE", arr({1})); },
         "InvalidParameter: Error: INITIAL_MESH_SIZE has dimension 1 which is different from "
         "problem dimension 2"},
        {"initial frame size of another size",
         [](PbParameters& pb) {
             pb.setAttributeValue("INITIAL_FRAME_SIZE", arr({1, 1, NaN}));
         },
         "InvalidParameter: Error: INITIAL_FRAME_SIZE has dimension 3 which is different from "
         "problem dimension 2"},
        {"initial frame below the minimum",
         [](PbParameters& pb)
         {
             pb.setAttributeValue("INITIAL_FRAME_SIZE", arr({0.1, 1}));
             pb.setAttributeValue("MIN_FRAME_SIZE", arr({0.5, 0.5}));
         },
         "InvalidParameter: Check: initial frame size is lower than min frame size.\n"
         "INITIAL_FRAME_SIZE\t0.1 1\nMIN_FRAME_SIZE\t\t0.5 0.5"},
        {"initial frame below the minimum within epsilon",
         [](PbParameters& pb)
         {
             pb.setAttributeValue("INITIAL_FRAME_SIZE", arr({0.5 - 5e-14, 1}));
             pb.setAttributeValue("MIN_FRAME_SIZE", arr({0.5, 0.5}));
         },
         "ok"},
        {"initial mesh below the minimum, mesh first",
         [](PbParameters& pb)
         {
             pb.setAttributeValue("INITIAL_MESH_SIZE", arr({0.01, 0.01}));
             pb.setAttributeValue("MIN_MESH_SIZE", arr({0.1, NaN}));
             pb.setAttributeValue("MIN_FRAME_SIZE", arr({0.5, 0.5}));
         },
         "InvalidParameter: Check: initial mesh size is lower than min mesh size.\n"
         "INITIAL_MESH_SIZE 0.01 0.01\nMIN_MESH_SIZE 0.1 1e-13"},
        {"negative initial frame size",
         [](PbParameters& pb) {
             pb.setAttributeValue("INITIAL_FRAME_SIZE", arr({1, -1}));
         },
         "InvalidParameter: Check: initial frame size is lower than min frame size.\n"
         "INITIAL_FRAME_SIZE\t1 -1\nMIN_FRAME_SIZE\t\t1e-13 1e-13"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        PbParameters pb;
        pb.setAttributeValue("DIMENSION", size_t(2));
        c.setUp(pb);
        EXPECT_EQ(c.outcome, checkOutcome(pb));
    }
}

// Several starting points are compared coordinate by coordinate to derive
// the frame; an undefined coordinate among them is a reported error (it
// used to escape as an error of an undefined number, in one order only).
TEST_F(PbParametersCheckTest, SeveralStartingPointsWithAnUndefinedCoordinateAreRefused)
{
    const struct
    {
        const char* label;
        ArrayOfPoint x0s;
        std::string outcome;
    } cases[] = {
        {"undefined after defined",
         {pt({1, 2}), pt({3, NaN})},
         "InvalidParameter: Check: X0 ( 3 - ) has an undefined coordinate at index 1. With more "
         "than one X0 point, every coordinate must be defined"},
        {"undefined before defined",
         {pt({NaN, 2}), pt({3, 4})},
         "InvalidParameter: Check: X0 ( - 2 ) has an undefined coordinate at index 0. With more "
         "than one X0 point, every coordinate must be defined"},
        {"to be defined",
         {pt({1, 2}), withMarks(pt({NaN, NaN}), {0, 1})},
         "InvalidParameter: Check: X0 ( - - ) has an undefined coordinate at index 0. With more "
         "than one X0 point, every coordinate must be defined"},
        {"complete points", {pt({1, 2}), pt({3, 4})}, "ok"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        PbParameters pb;
        pb.setAttributeValue("DIMENSION", size_t(2));
        pb.setAttributeValue("X0", c.x0s);
        EXPECT_EQ(c.outcome, checkOutcome(pb));
    }
}

TEST_F(PbParametersCheckTest, MeshResetWarningIsWrittenOncePerSet)
{
    const std::string warning = "Warning: initial mesh size reset from initial frame size.\n"
                                "INITIAL_MESH_SIZE: 1.41421 1.41421\n"
                                "INITIAL_FRAME_SIZE: 2 2\n";
    const auto fill = [](PbParameters& pb)
    {
        pb.setAttributeValue("DIMENSION", size_t(2));
        pb.setAttributeValue("INITIAL_MESH_SIZE", arr({1, 1}));
        pb.setAttributeValue("INITIAL_FRAME_SIZE", arr({2, 2}));
    };

    PbParameters pb;
    fill(pb);
    {
        CerrCapture err;
        ASSERT_EQ("ok", checkOutcome(pb));
        EXPECT_EQ(warning, err.text());
    }
    EXPECT_FALSE(pb._showMeshWarning);
    expectArray({std::sqrt(2.0), std::sqrt(2.0)},
                pb.getAttributeValue<ArrayOfDouble>("INITIAL_MESH_SIZE"), "INITIAL_MESH_SIZE");
    {
        // The same set reset again: silent.
        fill(pb);
        CerrCapture err;
        ASSERT_EQ("ok", checkOutcome(pb));
        EXPECT_EQ("", err.text());
    }

    // A new top-level set warns again; a set cleared as a sub-problem's does not.
    for (const bool topLevel : {true, false})
    {
        SCOPED_TRACE(topLevel);
        PbParameters other;
        other._showMeshWarning = topLevel;
        fill(other);
        CerrCapture err;
        ASSERT_EQ("ok", checkOutcome(other));
        EXPECT_EQ(topLevel ? warning : "", err.text());
    }

    // A mesh given for one variable only is completed from the frame: reset too.
    PbParameters partial;
    partial.setAttributeValue("DIMENSION", size_t(2));
    partial.setAttributeValue("INITIAL_MESH_SIZE", arr({0.5, NaN}));
    CerrCapture err;
    ASSERT_EQ("ok", checkOutcome(partial));
    EXPECT_EQ("Warning: initial mesh size reset from initial frame size.\n"
              "INITIAL_MESH_SIZE: 0.5 0.707107\n"
              "INITIAL_FRAME_SIZE: 0.707107 1\n",
              err.text());
}
