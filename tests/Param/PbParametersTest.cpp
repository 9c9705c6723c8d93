// The problem parameter set: its keywords, the exception of its checks, the
// text of a list of input types, and the first steps of its check
// (dimension, bounds, starting points, deprecated sizes) with its life cycle.

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <typeindex>
#include <vector>

#include "Param/InvalidParameter.hpp"
#include "Param/PbParameters.hpp"
#include "support/FrontEndSupport.hpp"
#include "support/MadsSupport.hpp"
#include "support/TestParameters.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::CerrCapture;
using QarnoTest::checkOutcome;
using QarnoTest::ProcessStateGuard;
using QarnoTest::StreamCapture;

namespace
{

const double NaN = std::nan("");

ArrayOfDouble arr(const std::vector<double>& values)
{
    return QarnoTest::makeArray(values);
}

Point pt(const std::vector<double>& values)
{
    return Point(QarnoTest::makeArray(values));
}

/// The value lines of a checked set, for whole-set comparisons.
std::string valueText(const PbParameters& pb)
{
    std::ostringstream out;
    pb.display(out, false);
    return out.str();
}

class PbParametersTest : public ::testing::Test
{
protected:
    ProcessStateGuard _guard;
};

} // namespace

TEST(InvalidParameterTest, CarriesItsTypeTextBetweenLocationAndMessage)
{
    const InvalidParameter e("src/Param/PbParameters", 42, "Check: something");
    EXPECT_STREQ("QARNO::Exception thrown (src/Param/PbParameters, 42) Invalid Parameter. Check: "
                 "something",
                 e.what());
    const Exception* base = &e;
    EXPECT_NE(nullptr, dynamic_cast<const InvalidParameter*>(base));
}

TEST(BBInputTypeListTextTest, WritesOneLetterPerType)
{
    const struct
    {
        std::vector<BBInputType> types;
        std::string text;
    } cases[] = {
        {{}, ""},
        {{BBInputType::INTEGER, BBInputType::BINARY, BBInputType::CONTINUOUS}, "I B R"},
        {{BBInputType::ALL_INTEGER}, "R"},
        {{BBInputType::ALL_BINARY, BBInputType::ALL_CONTINUOUS, BBInputType::INTEGER}, "R R I"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.text);
        std::ostringstream out;
        out << c.types;
        EXPECT_EQ(c.text, out.str());
    }
}

TEST_F(PbParametersTest, RegistersTheSixteenProblemKeywords)
{
    const PbParameters pb;
    EXPECT_EQ("Problem", pb.getTypeName());
    EXPECT_EQ(16u, pb.getAttributes().size());
    EXPECT_TRUE(pb._showMeshWarning);

    // keyword, value type, a, r, u, short info
    const struct
    {
        const char* name;
        std::type_index type;
        bool algoCompatibilityCheck;
        bool uniqueEntry;
        const char* shortInfo;
    } cases[] = {
        {"DIMENSION", typeid(size_t), false, true,
         " Dimension of the optimization problem (required) "},
        {"X0", typeid(ArrayOfPoint), false, false, " The initial point(s) "},
        {"LOWER_BOUND", typeid(ArrayOfDouble), false, true,
         " The optimization problem lower bounds for each variable "},
        {"UPPER_BOUND", typeid(ArrayOfDouble), false, true,
         " The optimization problem upper bounds for each variable "},
        {"BB_INPUT_TYPE", typeid(BBInputTypeList), false, true,
         " The variable blackbox input types "},
        {"INITIAL_MESH_SIZE", typeid(ArrayOfDouble), false, true,
         " The initial mesh size of MADS "},
        {"INITIAL_POLL_SIZE", typeid(ArrayOfDouble), false, true,
         " Deprecated, see INITIAL_FRAME_SIZE "},
        {"INITIAL_FRAME_SIZE", typeid(ArrayOfDouble), false, true,
         " The initial frame size of MADS "},
        {"MIN_POLL_SIZE", typeid(ArrayOfDouble), false, true, " Deprecated, see MIN_FRAME_SIZE "},
        {"MIN_FRAME_SIZE", typeid(ArrayOfDouble), false, true,
         " Termination criterion on minimal frame size of MADS "},
        {"MIN_MESH_SIZE", typeid(ArrayOfDouble), false, true,
         " Termination criterion on minimal mesh size of MADS "},
        {"GRANULARITY", typeid(ArrayOfDouble), false, true, " The granularity of the variables "},
        {"FIXED_VARIABLE", typeid(Point), false, true,
         " Fix some variables to some specific values "},
        {"STOP_IF_FEASIBLE", typeid(bool), false, true,
         " Stop algorithm once a feasible point is obtained "},
        {"DIRECTION_TYPE", typeid(DirectionType), true, true, " Type of direction for Mads poll "},
        {"VARIABLE_GROUP", typeid(ListOfVariableGroup), true, false, " The groups of variables) "},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const auto attribute = pb.getAttribute(c.name);
        ASSERT_NE(nullptr, attribute);
        const std::type_index* type = Parameters::findTypeOfAttribute(c.name);
        ASSERT_NE(nullptr, type);
        EXPECT_EQ(c.type, *type);
        EXPECT_EQ(c.algoCompatibilityCheck, attribute->isForAlgoCompatibilityCheck());
        EXPECT_FALSE(attribute->isRestartAttribute());
        EXPECT_EQ(c.uniqueEntry, attribute->getParamFromUniqueEntry());
        EXPECT_EQ(c.shortInfo, attribute->getShortInfo());

        // Every help text ends with its default (or its absence).
        EXPECT_NE("", QarnoTest::helpLastItem(attribute->getHelpInfo()));
        const std::string& keywords = attribute->getKeywords();
        EXPECT_TRUE(keywords.rfind("  basic ", 0) == 0 || keywords.rfind("  advanced ", 0) == 0);
        EXPECT_EQ("  ", keywords.substr(keywords.size() - 2));
    }
}

TEST_F(PbParametersTest, ARegistrationFailureIsWrapped)
{
    PbParameters pb;
    // Registering the table a second time fails on its first keyword.
    const std::string message = QarnoTest::messageOf([&pb] { pb.init(); });
    EXPECT_EQ(0u, message.find("Attribute registration failed: "));
    EXPECT_NE(std::string::npos,
              message.find("Attribute DIMENSION is already in set of attributes."));
}

TEST_F(PbParametersTest, DefaultsOfTheProblemSet)
{
    const PbParameters pb;
    EXPECT_EQ(0u, pb.getSpValue<size_t>("DIMENSION", false, true));
    EXPECT_EQ(BBInputTypeList{BBInputType::ALL_CONTINUOUS},
              pb.getSpValue<BBInputTypeList>("BB_INPUT_TYPE", false, true));
    EXPECT_EQ(DirectionType::ORTHO_2N, pb.getSpValue<DirectionType>("DIRECTION_TYPE", false, true));
    EXPECT_FALSE(pb.getSpValue<bool>("STOP_IF_FEASIBLE", false, true));
    EXPECT_TRUE(pb.getSpValue<ArrayOfPoint>("X0", false, true).empty());
    EXPECT_EQ(0u, pb.getSpValue<Point>("FIXED_VARIABLE", false, true).size());
    EXPECT_TRUE(pb.getSpValue<ListOfVariableGroup>("VARIABLE_GROUP", false, true).empty());
    for (const char* name :
         {"LOWER_BOUND", "UPPER_BOUND", "INITIAL_MESH_SIZE", "INITIAL_POLL_SIZE",
          "INITIAL_FRAME_SIZE", "MIN_POLL_SIZE", "MIN_FRAME_SIZE", "MIN_MESH_SIZE", "GRANULARITY"})
    {
        SCOPED_TRACE(name);
        EXPECT_EQ(0u, pb.getSpValue<ArrayOfDouble>(name, false, true).size());
    }
}

// What a user sees: "qarno -h WORD" shows, under its heading, every
// parameter whose help keywords hold WORD, and nothing else.
TEST(PbParametersHelp, HelpOnAWordShowsTheParametersItNames)
{
    const QarnoTest::TempDir dir;
    const struct
    {
        const char* word;
        std::string heading;
        std::vector<std::string> entries;
        const char* shownText;
    } cases[] = {
        {"dims", "BASIC PARAMETERS", {"DIMENSION"}, " . Example: DIMENSION 3\n"},
        {"categorical", "BASIC PARAMETERS", {"BB_INPUT_TYPE"}, " . Default: * R\n"},
        // The typo is the keyword's own: users who make it find the entry.
        {"intial", "ADVANCED PARAMETERS", {"INITIAL_FRAME_SIZE"}, "Initial frame size of MADS"},
        {"group", "ADVANCED PARAMETERS", {"VARIABLE_GROUP"}, ""},
        {"terminate",
         "ADVANCED PARAMETERS",
         {"OPPORTUNISTIC_EVAL", "MIN_FRAME_SIZE", "MIN_MESH_SIZE", "STOP_IF_FEASIBLE",
          "MAX_CACHE_SIZE"},
         " . Example: STOP_IF_FEASIBLE yes\n"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.word);
        const QarnoTest::ProcessResult result =
            QarnoTest::runProgram(QarnoTest::qarnoExe(), {"-h", c.word}, dir.path());
        ASSERT_EQ(0, result.exitStatus) << result.err;
        EXPECT_NE(std::string::npos, result.out.find(c.heading));
        std::vector<std::string> shown;
        std::istringstream lines(result.out);
        for (std::string line; std::getline(lines, line);)
        {
            const size_t brace = line.find(" {");
            if (brace != std::string::npos && brace > 0 && line[0] >= 'A' && line[0] <= 'Z')
            {
                shown.push_back(line.substr(0, brace));
            }
        }
        EXPECT_EQ(c.entries, shown) << result.out;
        EXPECT_NE(std::string::npos, result.out.find(c.shownText)) << result.out;
    }
}

TEST_F(PbParametersTest, FirstStepsRejectInconsistentValues)
{
    const struct
    {
        const char* label;
        std::function<void(PbParameters&)> setUp;
        std::string outcome;
    } cases[] = {
        {"no dimension", [](PbParameters&) {},
         "InvalidParameter: Parameters check: DIMENSION must be positive"},
        // Arrays of DIMENSION coordinates are built next: an absurd
        // dimension is refused before.
        {"huge dimension",
         [](PbParameters& pb) { pb.setAttributeValue("DIMENSION", size_t(2000000000)); },
         "InvalidParameter: Parameters check: DIMENSION must be at most 1000000"},
        {"lower bound size",
         [](PbParameters& pb) {
             pb.setAttributeValue("LOWER_BOUND", arr({0, NaN}));
         },
         "InvalidParameter: Error: Parameter LOWER_BOUND has dimension 2 which is different "
         "from problem dimension 3"},
        {"upper bound size",
         [](PbParameters& pb) {
             pb.setAttributeValue("UPPER_BOUND", arr({1, 2, 3, 4}));
         },
         "InvalidParameter: Error: Parameter UPPER_BOUND has dimension 4 which is different "
         "from problem dimension 3"},
        {"x0 size",
         [](PbParameters& pb) {
             pb.setAttributeValue("X0", ArrayOfPoint{pt({1, 2, 3}), pt({1, 2})});
         },
         "InvalidParameter: Error: X0 ( 1 2 ) has dimension 2 which is different from problem "
         "dimension 3"},
        {"lower above upper",
         [](PbParameters& pb)
         {
             pb.setAttributeValue("LOWER_BOUND", arr({0, 2.5, 0}));
             pb.setAttributeValue("UPPER_BOUND", arr({1, 1, NaN}));
         },
         "InvalidParameter: Check: LOWER_BOUND is greater than UPPER_BOUND at index 1. Lower "
         "bound = 2.5; Upper bound = 1"},
        {"lower equals upper",
         [](PbParameters& pb)
         {
             pb.setAttributeValue("LOWER_BOUND", arr({NaN, 2, 4}));
             pb.setAttributeValue("UPPER_BOUND", arr({0, 5, 4}));
         },
         "InvalidParameter: Check: LOWER_BOUND is equal to UPPER_BOUND at index 2. Value = 4"},
        {"lower above upper within epsilon",
         [](PbParameters& pb)
         {
             pb.setAttributeValue("LOWER_BOUND", arr({1 + 5e-14, 0, 0}));
             pb.setAttributeValue("UPPER_BOUND", arr({1, 1, 1}));
         },
         "InvalidParameter: Check: LOWER_BOUND is equal to UPPER_BOUND at index 0. Value = 1"},
        {"poll and frame size",
         [](PbParameters& pb)
         {
             pb.setAttributeValue("INITIAL_POLL_SIZE", arr({1, 1, 1}));
             pb.setAttributeValue("INITIAL_FRAME_SIZE", arr({NaN, 1, NaN}));
         },
         "InvalidParameter: Check: INITIAL_POLL_SIZE (deprecated) and INITIAL_FRAME_SIZE are "
         "defined. Just one must be set"},
        {"min poll and frame size",
         [](PbParameters& pb)
         {
             pb.setAttributeValue("MIN_POLL_SIZE", arr({0.1}));
             pb.setAttributeValue("MIN_FRAME_SIZE", arr({0.1, 0.1, 0.1}));
         },
         "InvalidParameter: Check: MIN_POLL_SIZE (deprecated) and MIN_FRAME_SIZE are defined. "
         "Just one must be set."},
        {"empty arrays of another size",
         [](PbParameters& pb)
         {
             pb.setAttributeValue("LOWER_BOUND", arr({NaN, NaN}));
             pb.setAttributeValue("INITIAL_POLL_SIZE", arr({NaN}));
             pb.setAttributeValue("MIN_FRAME_SIZE", arr({NaN, NaN, NaN, NaN, NaN}));
         },
         "ok"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        PbParameters pb;
        if (std::string(c.label) != "no dimension")
        {
            pb.setAttributeValue("DIMENSION", size_t(3));
        }
        c.setUp(pb);
        StreamCapture outCapture(std::cout);
        CerrCapture errCapture;
        EXPECT_EQ(c.outcome, checkOutcome(pb));
        // These steps report only through the exception.
        EXPECT_EQ("", errCapture.text());
        EXPECT_EQ("", outCapture.text());
        EXPECT_EQ(c.outcome != "ok", pb.toBeChecked());
    }
}

// Values handed over by a program (not read from text) may be NaN or
// infinite; they are refused before any comparison, bounds excepted, where
// an infinite value means no bound.
TEST_F(PbParametersTest, NonFiniteValuesAreRefused)
{
    const double inf = std::numeric_limits<double>::infinity();
    const struct
    {
        const char* name;
        std::vector<double> values;
        std::string outcome;
    } cases[] = {
        {"LOWER_BOUND", {0, -inf, -inf}, "ok"},
        {"UPPER_BOUND", {inf, 1, 1}, "ok"},
        {"LOWER_BOUND",
         {0, NaN, 0},
         "InvalidParameter: Check: invalid value for parameter LOWER_BOUND at index 1: not a "
         "finite number"},
        {"X0",
         {1, 2, inf},
         "InvalidParameter: Check: invalid value for parameter X0 at index 2: not a finite "
         "number"},
        {"FIXED_VARIABLE",
         {NaN, 1, 1},
         "InvalidParameter: Check: invalid value for parameter FIXED_VARIABLE at index 0: not a "
         "finite number"},
        {"GRANULARITY",
         {-inf, 0, 0},
         "InvalidParameter: Check: invalid value for parameter GRANULARITY at index 0: not a "
         "finite number"},
        {"INITIAL_MESH_SIZE",
         {1, inf, 1},
         "InvalidParameter: Check: invalid value for parameter INITIAL_MESH_SIZE at index 1: "
         "not a finite number"},
        {"MIN_POLL_SIZE",
         {1, 1, inf},
         "InvalidParameter: Check: invalid value for parameter MIN_POLL_SIZE at index 2: not a "
         "finite number"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        PbParameters pb;
        pb.setAttributeValue("DIMENSION", size_t(3));
        // Every value defined, NaN included, as a program may hand it over.
        ArrayOfDouble values(c.values.size());
        for (size_t i = 0; i < c.values.size(); ++i)
        {
            values[i] = c.values[i];
        }
        const std::string name = c.name;
        if (name == "X0")
        {
            pb.setAttributeValue("X0", ArrayOfPoint{Point(values)});
        }
        else if (name == "FIXED_VARIABLE")
        {
            pb.setAttributeValue("FIXED_VARIABLE", Point(values));
        }
        else
        {
            pb.setAttributeValue(name, values);
        }
        EXPECT_EQ(c.outcome, checkOutcome(pb));
    }
}

TEST_F(PbParametersTest, CompletesBoundsStartingPointsAndDeprecatedSizes)
{
    PbParameters pb;
    pb.setAttributeValue("DIMENSION", size_t(3));
    pb.setAttributeValue("INITIAL_POLL_SIZE", arr({0.5, 0.5, 0.5}));
    pb.setAttributeValue("MIN_POLL_SIZE", arr({0.01, 0.01, 0.01}));
    ASSERT_EQ("ok", checkOutcome(pb));
    EXPECT_FALSE(pb.toBeChecked());

    for (const char* name : {"LOWER_BOUND", "UPPER_BOUND"})
    {
        SCOPED_TRACE(name);
        const ArrayOfDouble& bound = pb.getAttributeValue<ArrayOfDouble>(name);
        EXPECT_EQ(3u, bound.size());
        EXPECT_EQ(0u, bound.nbDefined());
    }

    // Without X0, one starting point whose coordinates are all to be defined.
    const ArrayOfPoint& x0s = pb.getAttributeValue<ArrayOfPoint>("X0");
    ASSERT_EQ(1u, x0s.size());
    ASSERT_EQ(3u, x0s[0].size());
    for (size_t i = 0; i < 3; ++i)
    {
        EXPECT_TRUE(x0s[0][i].isToBeDefinedMark());
    }

    EXPECT_EQ(arr({0.5, 0.5, 0.5}), pb.getAttributeValue<ArrayOfDouble>("INITIAL_FRAME_SIZE"));
    EXPECT_EQ(arr({0.01, 0.01, 0.01}), pb.getAttributeValue<ArrayOfDouble>("MIN_FRAME_SIZE"));
}

TEST_F(PbParametersTest, AFailureKeepsWhatEarlierStepsStoredAndTheSetMarked)
{
    PbParameters pb;
    pb.setAttributeValue("DIMENSION", size_t(2));
    pb.setAttributeValue("X0", ArrayOfPoint{pt({1, 3.5})});
    pb.setAttributeValue("LOWER_BOUND", arr({0, 3}));
    pb.setAttributeValue("UPPER_BOUND", arr({5, 2}));
    EXPECT_EQ("InvalidParameter: Check: LOWER_BOUND is greater than UPPER_BOUND at index 1. "
              "Lower bound = 3; Upper bound = 2",
              checkOutcome(pb));
    EXPECT_TRUE(pb.toBeChecked());
    EXPECT_THROW(pb.getAttributeValue<ArrayOfDouble>("LOWER_BOUND"), ParameterToBeChecked);

    // Mended, the same set passes.
    pb.setAttributeValue("UPPER_BOUND", arr({5, 4}));
    EXPECT_EQ("ok", checkOutcome(pb));
    EXPECT_EQ(arr({0, 3}), pb.getAttributeValue<ArrayOfDouble>("LOWER_BOUND"));
}

TEST_F(PbParametersTest, ACheckedSetIsNotCheckedAgain)
{
    PbParameters pb;
    pb.setAttributeValue("DIMENSION", size_t(2));
    ASSERT_EQ("ok", checkOutcome(pb));
    // A value stored without marking the set is not looked at.
    pb.setSpValueDefault("DIMENSION", size_t(0));
    EXPECT_EQ("ok", checkOutcome(pb));
    pb.setAttributeValue("DIMENSION", size_t(0));
    EXPECT_EQ("InvalidParameter: Parameters check: DIMENSION must be positive", checkOutcome(pb));
}

TEST_F(PbParametersTest, TwoFreshSetsAndACopyCheckToTheSameValues)
{
    const auto fill = [](PbParameters& pb)
    {
        pb.setAttributeValue("DIMENSION", size_t(3));
        pb.setAttributeValue("X0", ArrayOfPoint{pt({1, 2, 3}), pt({2, 2, 0})});
        pb.setAttributeValue("LOWER_BOUND", arr({0, NaN, -1}));
        pb.setAttributeValue("UPPER_BOUND", arr({10, 4, NaN}));
        pb.setAttributeValue("GRANULARITY", arr({0, 0.5, 0}));
        pb.setAttributeValue("BB_INPUT_TYPE",
                             BBInputTypeList{BBInputType::INTEGER, BBInputType::CONTINUOUS,
                                             BBInputType::CONTINUOUS});
        pb.setAttributeValue("VARIABLE_GROUP", ListOfVariableGroup{{2}});
    };
    PbParameters first;
    fill(first);
    ASSERT_EQ("ok", checkOutcome(first));
    PbParameters second;
    fill(second);
    ASSERT_EQ("ok", checkOutcome(second));
    EXPECT_EQ(valueText(first), valueText(second));

    // A copy of a checked set, checked again, keeps every value.
    PbParameters copy;
    copy.copyParameters(first);
    EXPECT_TRUE(copy.toBeChecked());
    CerrCapture noWarning;
    ASSERT_EQ("ok", checkOutcome(copy));
    EXPECT_EQ(valueText(first), valueText(copy));
    EXPECT_EQ("", noWarning.text());
}
