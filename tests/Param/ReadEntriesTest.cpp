#include <climits>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Math/Double.hpp"
#include "Math/Point.hpp"
#include "Param/ParameterEntry.hpp"
#include "Param/Parameters.hpp"
#include "Type/ListOfVariableGroup.hpp"
#include "Util/Exception.hpp"
#include "support/TestParameters.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::CerrCapture;
using QarnoTest::TestParameters;
using QarnoTest::TestParametersNoDimension;

namespace
{

// Stores the lines as lines 1, 2, ... of the file "param.txt", as reading
// that file would.
void storeLines(const std::vector<std::string>& lines)
{
    int lineNumber = 0;
    for (const auto& line : lines)
    {
        Parameters::readParamLine(line, "param.txt", ++lineNumber, false);
    }
}

// The attribute's value line without its short info: "NAME value".
std::string valueLine(const Parameters& params, const std::string& name)
{
    std::ostringstream os;
    params.getAttribute(name)->display(os, false);
    return os.str();
}

std::vector<Point> points(const Parameters& params)
{
    return params.getSpValue<ArrayOfPoint>("X0", false, false);
}

std::string pointsText(const Parameters& params)
{
    std::ostringstream os;
    for (const auto& p : points(params))
    {
        os << "[" << p.ArrayOfDouble::display() << "]";
    }
    return os.str();
}

std::string groupsText(const Parameters& params)
{
    std::ostringstream os;
    os << params.getSpValue<ListOfVariableGroup>("VARIABLE_GROUP", false, false);
    return os.str();
}

} // namespace

TEST(ReadEntriesTest, ConvertsByValueType)
{
    QarnoTest::ProcessStateGuard guard;
    const struct
    {
        std::vector<std::string> lines;
        std::string keyword;
        std::string value;
    } cases[] = {
        {{"dimension 3"}, "DIMENSION", "DIMENSION 3"},
        {{"MAX_BB_EVAL 100"}, "MAX_BB_EVAL", "MAX_BB_EVAL 100"},
        // INF is no limit, the largest size_t, as for the defaults.
        {{"MAX_BB_EVAL INF"}, "MAX_BB_EVAL", "MAX_BB_EVAL 18446744073709551615"},
        {{"MAX_TIME +inf"}, "MAX_TIME", "MAX_TIME 18446744073709551615"},
        {{"SEED -5"}, "SEED", "SEED -5"},
        {{"SEED INF"}, "SEED", "SEED 2147483647"},
        {{"DISPLAY_ALL_EVAL yes"}, "DISPLAY_ALL_EVAL", "DISPLAY_ALL_EVAL 1"},
        {{"OPPORTUNISTIC_EVAL false"}, "OPPORTUNISTIC_EVAL", "OPPORTUNISTIC_EVAL 0"},
        {{"BB_EXE 'my bb.exe'"}, "BB_EXE", "BB_EXE my bb.exe"},
        {{"TMP_DIR \"\""}, "TMP_DIR", "TMP_DIR "},
        {{"DISPLAY_STATS BBE ( SOL ) OBJ"}, "DISPLAY_STATS", "DISPLAY_STATS BBE ( SOL ) OBJ"},
        {{"DISABLE 'stats.txt BBE OBJ'"}, "DISABLE", "DISABLE stats.txt BBE OBJ"},
        {{"DISABLE ''"}, "DISABLE", "DISABLE  - "},
        {{"BB_INPUT_TYPE ( R I B )"}, "BB_INPUT_TYPE", "BB_INPUT_TYPE R I B"},
        {{"BB_OUTPUT_TYPE obj EB pb"}, "BB_OUTPUT_TYPE", "BB_OUTPUT_TYPE OBJ EB PB"},
        {{"LH_SEARCH 10 5"}, "LH_SEARCH", "LH_SEARCH 10 5"},
        {{"LH_SEARCH INF 0"}, "LH_SEARCH", "LH_SEARCH 2147483647 0"},
        {{"TESKORA_MODEL_FORMULATION EFI"},
         "TESKORA_MODEL_FORMULATION",
         "TESKORA_MODEL_FORMULATION EFI"},
        {{"TESKORA_MODEL_FEASIBILITY h"},
         "TESKORA_MODEL_FEASIBILITY",
         "TESKORA_MODEL_FEASIBILITY H"},
        {{"TEST_EVAL_TYPE SGTE"}, "TEST_EVAL_TYPE", "TEST_EVAL_TYPE SGTE"},
        {{"DIRECTION_TYPE n+1 uni"}, "DIRECTION_TYPE", "DIRECTION_TYPE N+1 UNI"},
        {{"DIRECTION_TYPE ORTHO"}, "DIRECTION_TYPE", "DIRECTION_TYPE ORTHO N+1 QUAD"},
        {{"H_MAX_0 INF"}, "H_MAX_0", "H_MAX_0 inf"},
        {{"NM_GAMMA 0.25"}, "NM_GAMMA", "NM_GAMMA 0.25"},
        // arrays and points are sized by DIMENSION, given before or after
        {{"DIMENSION 3", "LOWER_BOUND ( 0 - 2 )"}, "LOWER_BOUND", "LOWER_BOUND 0 - 2"},
        {{"UPPER_BOUND * 4", "DIMENSION 3"}, "UPPER_BOUND", "UPPER_BOUND 4 4 4"},
        {{"DIMENSION 3", "INITIAL_MESH_SIZE 1-2 0.5"},
         "INITIAL_MESH_SIZE",
         "INITIAL_MESH_SIZE - 0.5 0.5"},
        {{"DIMENSION 3", "FIXED_VARIABLE 1 5"}, "FIXED_VARIABLE", "FIXED_VARIABLE ( - 5 - )"},
        {{"DIMENSION 3", "X0 ( 1 2 3 )"}, "X0", "X0 ( 1 2 3 )"},
        {{"DIMENSION 3", "VARIABLE_GROUP 0-1"}, "VARIABLE_GROUP", "VARIABLE_GROUP  ( 0 1 ) "},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.lines.back());
        Parameters::_paramEntries.eraseAll();
        TestParameters params;
        params.checkAndComply();
        storeLines(c.lines);
        params.readEntries(false);
        EXPECT_TRUE(params.toBeChecked());
        EXPECT_EQ(c.value, valueLine(params, c.keyword));
        EXPECT_TRUE(Parameters::_paramEntries.findAllNonInterpreted().empty());
    }
}

TEST(ReadEntriesTest, FormatMessages)
{
    QarnoTest::ProcessStateGuard guard;
    const struct
    {
        std::string line;
        std::string message;
    } cases[] = {
        {"MAX_BB_EVAL -5", "Invalid format for size_t parameter: MAX_BB_EVAL at line 2"},
        {"MAX_BB_EVAL 1 2", "Invalid format for size_t parameter: MAX_BB_EVAL at line 2"},
        {"MAX_BB_EVAL 1.5", "Invalid format for size_t parameter: MAX_BB_EVAL at line 2"},
        {"MAX_BB_EVAL -INF", "Invalid format for size_t parameter: MAX_BB_EVAL at line 2"},
        // beyond the range of int: refused, not wrapped
        {"MAX_BB_EVAL 2147483648", "Invalid format for size_t parameter: MAX_BB_EVAL at line 2"},
        {"MAX_BB_EVAL 99999999999999999999",
         "Invalid format for size_t parameter: MAX_BB_EVAL at line 2"},
        {"SEED 3000000000", "Invalid format for integer parameter: SEED at line 2"},
        {"SEED -3000000000", "Invalid format for integer parameter: SEED at line 2"},
        {"SEED 1.5", "Invalid format for integer parameter: SEED at line 2"},
        {"SEED 1 2", "Invalid format for integer parameter: SEED at line 2"},
        {"DISPLAY_DEGREE x", "Invalid format for integer parameter: DISPLAY_DEGREE at line 2"},
        {"H_MAX_0 abc", "Invalid format for double parameter: H_MAX_0 at line 2"},
        {"H_MAX_0 1 2", "Invalid format for double parameter: H_MAX_0 at line 2"},
        {"DISPLAY_ALL_EVAL yes no",
         "Invalid format for bool parameter: DISPLAY_ALL_EVAL at line 2"},
        {"DISPLAY_ALL_EVAL maybe", "Unrecognized string for bool: MAYBE"},
        {"BB_EXE a b", "Invalid format for string parameter: BB_EXE at line 2"},
        {"LH_SEARCH 10", "Parameter LH_SEARCH expects exactly 2 values, at line 2"},
        {"LH_SEARCH 10 5 1", "Parameter LH_SEARCH expects exactly 2 values, at line 2"},
        {"LH_SEARCH 10 -1", "Invalid format for size_t parameter: LH_SEARCH at line 2"},
        {"LH_SEARCH 10 x", "Invalid format for size_t parameter: LH_SEARCH at line 2"},
        {"BB_OUTPUT_TYPE OBJ FOO", "Unrecognized string for QARNO::BBOutputType: FOO"},
        {"TEST_EVAL_TYPE undefined", "Unrecognized string for QARNO::EvalType: UNDEFINED"},
        {"TESKORA_MODEL_FORMULATION EFI X",
         "Unrecognized string for QARNO::TeskoraModelFormulationType: EFI X"},
        {"DIRECTION_TYPE ORTHO N+1 NEG", "ORTHO N+1 NEG direction type not yet supported"},
        {"VARIABLE_GROUP 3-1", "Invalid format for index range: VARIABLE_GROUP at line 2"},
        {"VARIABLE_GROUP x", "Invalid format for index range: VARIABLE_GROUP at line 2"},
        {"VARIABLE_GROUP 1 x", "Invalid format for index list: VARIABLE_GROUP at line 2"},
        {"VARIABLE_GROUP 1 -2", "Invalid value for size_t. Value must be >0"},
        {"VARIABLE_GROUP 1 1",
         "Invalid index. Duplicate index not allowed: VARIABLE_GROUP at line 2"},
        {"VARIABLE_GROUP 0-4",
         "Number of indices for VARIABLE_GROUP must be smaller than DIMENSION (5)."},
        {"VARIABLE_GROUP 0 1 2 3 4",
         "Number of indices for VARIABLE_GROUP must be smaller than DIMENSION (5)."},
        {"LOWER_BOUND ( 1 2 )",
         "Cannot read values:( 1 2 ), size is not compatible with array size:5"},
        {"X0 ( 1 2 )", "Cannot read values:( 1 2 ), size is not compatible with array size:5"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.line);
        Parameters::_paramEntries.eraseAll();
        TestParameters params;
        storeLines({"DIMENSION 5", c.line});
        EXPECT_EQ(c.message, QarnoTest::messageOf([&] { params.readEntries(false); }));
        // The failing entry stays uninterpreted for the check of unknown
        // parameters, the dimension before it was interpreted.
        const auto left = Parameters::_paramEntries.findAllNonInterpreted();
        ASSERT_EQ(1u, left.size());
        EXPECT_EQ(2, left[0]->getLine());
        EXPECT_TRUE(params.toBeChecked());
    }
}

TEST(ReadEntriesTest, FormatChecksOnEntriesWithoutValues)
{
    // Entries of the store always have a value; the checks also refuse an
    // entry that has none.
    QarnoTest::ProcessStateGuard guard;
    TestParameters params;
    const auto pe = std::make_shared<ParameterEntry>("SEED", true);
    pe->setLine(4);
    size_t s = 0;
    int i = 0;
    Double d;
    const struct
    {
        std::function<void()> check;
        std::string message;
    } cases[] = {
        {[&] { params.checkFormat1(pe); }, "Invalid format for parameter: SEED at line 4"},
        {[&] { params.checkFormatNbEntries(pe, 1); },
         "Parameter SEED expects exactly 1 values, at line 4"},
        {[&] { params.checkFormatBool(pe); }, "Invalid format for bool parameter: SEED at line 4"},
        {[&] { params.checkFormatSizeT(pe, s); },
         "Invalid format for size_t parameter: SEED at line 4"},
        {[&] { params.checkFormatInt(pe, i); },
         "Invalid format for integer parameter: SEED at line 4"},
        {[&] { params.checkFormatString(pe); },
         "Invalid format for string parameter: SEED at line 4"},
        {[&] { params.checkFormatDouble(pe, d); },
         "Invalid format for double parameter: SEED at line 4"},
        {[&] { params.checkFormatAllSizeT(pe); }, "(no exception)"},
        {[&] { params.checkFormatArrayOfString(pe); }, "(no exception)"},
        {[&] { params.checkFormatNbEntries(pe, 0); }, "(no exception)"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(c.message, QarnoTest::messageOf(c.check));
    }
}

TEST(ReadEntriesTest, MultipleEntriesOfUniqueKeywords)
{
    QarnoTest::ProcessStateGuard guard;
    const struct
    {
        std::vector<std::string> lines;
        bool allowMultipleEntries;
        std::string message;
    } cases[] = {
        {{"DIMENSION 3", "SEED 1", "DIMENSION 3"},
         false,
         "Multiple entries of parameter: DIMENSION at line #1! "},
        {{"DIMENSION 3", "SEED 1", "DIMENSION 3"},
         true,
         "Multiple entries of parameter: DIMENSION at line #1! "},
        {{"SEED 1", "MAX_BB_EVAL 100", "x 1", "max_bb_eval 200"},
         false,
         "Multiple entries of parameter: MAX_BB_EVAL at line #2! "},
        {{"SEED 1", "MAX_BB_EVAL 100", "x 1", "max_bb_eval 200"}, true, "(no exception)"},
        // not a unique-entry keyword: every entry is applied, the last wins
        {{"DISABLE A", "DISABLE B C"}, false, "(no exception)"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.lines.back());
        Parameters::_paramEntries.eraseAll();
        TestParameters params;
        storeLines(c.lines);
        EXPECT_EQ(c.message,
                  QarnoTest::messageOf([&] { params.readEntries(c.allowMultipleEntries); }));
    }

    Parameters::_paramEntries.eraseAll();
    TestParameters params;
    storeLines({"MAX_BB_EVAL 100", "DISABLE A", "MAX_BB_EVAL 200", "DISABLE B C"});
    params.readEntries(true);
    EXPECT_EQ("MAX_BB_EVAL 200", valueLine(params, "MAX_BB_EVAL"));
    EXPECT_EQ("DISABLE B C", valueLine(params, "DISABLE"));
    EXPECT_TRUE(Parameters::_paramEntries.findAllNonInterpreted().empty());
}

TEST(ReadEntriesTest, FailureStopsTheWholeInterpretation)
{
    QarnoTest::ProcessStateGuard guard;
    TestParameters params;
    // Interpreted in name order: BB_EXE, DISPLAY_DEGREE, SEED.
    storeLines({"SEED 3", "DISPLAY_DEGREE 1.5", "BB_EXE x", "UNKNOWN_KEYWORD 1"});
    EXPECT_EQ("Invalid format for integer parameter: DISPLAY_DEGREE at line 2",
              QarnoTest::messageOf([&] { params.readEntries(false); }));
    EXPECT_EQ("BB_EXE x", valueLine(params, "BB_EXE"));
    EXPECT_EQ("SEED 0", valueLine(params, "SEED"));
    EXPECT_TRUE(Parameters::_paramEntries.find("BB_EXE")->hasBeenInterpreted());
    EXPECT_FALSE(Parameters::_paramEntries.find("DISPLAY_DEGREE")->hasBeenInterpreted());
    EXPECT_FALSE(Parameters::_paramEntries.find("SEED")->hasBeenInterpreted());

    // A keyword no set registers is never interpreted.
    Parameters::_paramEntries.erase(Parameters::_paramEntries.find("DISPLAY_DEGREE"));
    params.readEntries(false);
    const auto left = Parameters::_paramEntries.findAllNonInterpreted();
    ASSERT_EQ(1u, left.size());
    EXPECT_EQ("UNKNOWN_KEYWORD", left[0]->getName());
    EXPECT_EQ("SEED 3", valueLine(params, "SEED"));
}

TEST(ReadEntriesTest, DimensionRule)
{
    QarnoTest::ProcessStateGuard guard;
    const struct
    {
        std::vector<std::string> lines;
        std::string message;
    } cases[] = {
        {{"LOWER_BOUND ( 0 0 )"}, "Dimension must be set!"},
        {{"FIXED_VARIABLE 0 1"}, "Dimension must be set!"},
        {{"X0 ( 0 0 )"}, "Dimension must be set!"},
        {{"VARIABLE_GROUP 0-1"}, "Dimension must be set!"},
        {{"DIMENSION 0", "LOWER_BOUND ( 0 0 )"}, "Dimension must be set!"},
        // An absurd dimension (a typo, or INF) is refused before an array of
        // that size is built.
        {{"DIMENSION INF", "LOWER_BOUND * 0"},
         "Parameters check: DIMENSION must be at most 1000000"},
        {{"DIMENSION 1000001", "X0 * 0"}, "Parameters check: DIMENSION must be at most 1000000"},
        {{"LOWER_BOUND ( 0 0 )", "DIMENSION 2"}, "(no exception)"},
        {{"DIMENSION 2", "LOWER_BOUND ( 0 0 )"}, "(no exception)"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.lines.front());
        Parameters::_paramEntries.eraseAll();
        TestParameters params;
        storeLines(c.lines);
        EXPECT_EQ(c.message, QarnoTest::messageOf([&] { params.readEntries(false); }));
    }

    // A dimension set directly, without an entry, counts as well.
    Parameters::_paramEntries.eraseAll();
    TestParameters params;
    params.setAttributeValue<size_t>("DIMENSION", 2);
    storeLines({"LOWER_BOUND * 1"});
    params.readEntries(false);
    EXPECT_EQ("LOWER_BOUND 1 1", valueLine(params, "LOWER_BOUND"));
}

TEST(ReadEntriesTest, SetWithoutDimensionRefusesArrays)
{
    // The set holds no DIMENSION: its array keyword cannot be sized, even
    // when another set's DIMENSION entry is stored, and is refused cleanly.
    QarnoTest::ProcessStateGuard guard;
    for (const char* dimensionLine : {"", "DIMENSION 2"})
    {
        SCOPED_TRACE(dimensionLine);
        Parameters::_paramEntries.eraseAll();
        TestParametersNoDimension params;
        storeLines({dimensionLine, "SOL_FORMAT ( 1 2 )", "SEED 4"});
        EXPECT_EQ("Dimension must be set!",
                  QarnoTest::messageOf([&] { params.readEntries(false); }));
        EXPECT_FALSE(Parameters::_paramEntries.find("SOL_FORMAT")->hasBeenInterpreted());
        const auto dimension = Parameters::_paramEntries.find("DIMENSION");
        if (dimension)
        {
            EXPECT_FALSE(dimension->hasBeenInterpreted());
        }
    }
}

TEST(ReadEntriesTest, MergesStartingPointsByIndex)
{
    QarnoTest::ProcessStateGuard guard;
    TestParameters params;
    params.setAttributeValue<size_t>("DIMENSION", 2);
    // Each line is given alone, as the facade does, replacing the stored
    // entry of X0; the points accumulate in the value.
    const struct
    {
        std::string line;
        std::string points;
    } steps[] = {
        {"X0 ( 1 2 )", "[1 2]"},
        {"X0 1 ( 3 4 )", "[1 2][3 4]"},
        {"X0 ( - 5 )", "[1 5][3 4]"},
        {"X0 3 ( 1 1 )", "[1 5][3 4][][1 1]"},
        {"X0 1 0 7", "[1 5][7 4][][1 1]"},
        // the gap left empty is filled by its own line
        {"X0 2 ( 6 6 )", "[1 5][7 4][6 6][1 1]"},
    };
    for (const auto& s : steps)
    {
        SCOPED_TRACE(s.line);
        CerrCapture err;
        params.readParamLine(s.line, true);
        EXPECT_EQ("", err.text());
        EXPECT_EQ(s.points, pointsText(params));
        // Interpreting the store again changes nothing.
        params.readEntries(false);
        EXPECT_EQ(s.points, pointsText(params));
    }
}

TEST(ReadEntriesTest, StartingPointsInAFileInAnyOrder)
{
    QarnoTest::ProcessStateGuard guard;
    const struct
    {
        std::vector<std::string> lines;
        std::string points;
    } cases[] = {
        {{"DIMENSION 3", "X0 0 1 2"}, "[- 2 -]"},
        {{"X0 ( 1 2 3 )", "X0 1 ( 4 5 6 )", "DIMENSION 3"}, "[1 2 3][4 5 6]"},
        // a later point first: the one skipped is filled afterwards
        {{"DIMENSION 3", "X0 1 ( 4 5 6 )", "X0 ( 1 2 3 )"}, "[1 2 3][4 5 6]"},
        {{"DIMENSION 3", "X0 2.0 ( 4 5 6 )"}, "[][][4 5 6]"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.lines.back());
        Parameters::_paramEntries.eraseAll();
        TestParameters params;
        storeLines(c.lines);
        params.readEntries(false);
        EXPECT_EQ(c.points, pointsText(params));
    }
}

TEST(ReadEntriesTest, RefusesPointIndicesThatAreNoPosition)
{
    // An integral first word is a point index; one that cannot be a position
    // in the list is refused instead of growing the list to that size.
    QarnoTest::ProcessStateGuard guard;
    const struct
    {
        std::string line;
        std::string message;
    } cases[] = {
        {"X0 -1 ( 1 2 )", "Error: cannot use -1 as an index."},
        {"X0 INF ( 1 2 )", "Error: cannot use INF as an index."},
        {"X0 -INF ( 1 2 )", "Error: cannot use -INF as an index."},
        {"X0 1e300 ( 1 2 )", "Error: cannot use 1e300 as an index."},
        {"X0 18446744073709551616 ( 1 2 )", "Error: cannot use 18446744073709551616 as an index."},
        {"X0 1000000 ( 1 2 )", "Error: cannot use 1000000 as an index."},
        // A first word that is not integral is no index but the first
        // coordinate word; the array reader then refuses it in the index form.
        {"X0 1.5 2", "Error: cannot use 1.5 as an index."},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.line);
        Parameters::_paramEntries.eraseAll();
        TestParameters params;
        storeLines({"DIMENSION 2", "X0 ( 1 2 )", c.line});
        EXPECT_EQ(c.message, QarnoTest::messageOf([&] { params.readEntries(false); }));
        EXPECT_EQ("[1 2]", pointsText(params));
    }
}

TEST(ReadEntriesTest, StartingPointOfAnotherSizeFailsOnItsIndex)
{
    QarnoTest::ProcessStateGuard guard;
    TestParameters params;
    params.setAttributeValue<size_t>("DIMENSION", 2);
    params.setAttributeValue<ArrayOfPoint>("X0", ArrayOfPoint{Point(1, 0.0)});
    storeLines({"X0 ( 1 2 )"});
    EXPECT_EQ("ArrayOfDouble: i = 1 is out of bounds [0, 0]",
              QarnoTest::messageOf([&] { params.readEntries(false); }));
}

TEST(ReadEntriesTest, VariableGroups)
{
    QarnoTest::ProcessStateGuard guard;
    const struct
    {
        std::vector<std::string> lines;
        std::string groups;
    } cases[] = {
        {{"DIMENSION 5", "VARIABLE_GROUP 0-1", "VARIABLE_GROUP 2 3"}, " ( 0 1 )   ( 2 3 ) "},
        {{"VARIABLE_GROUP 3 1", "DIMENSION 5", "VARIABLE_GROUP 4"}, " ( 1 3 )   ( 4 ) "},
        {{"DIMENSION 5", "VARIABLE_GROUP 1-4"}, " ( 1 2 3 4 ) "},
        {{"DIMENSION 5", "VARIABLE_GROUP 2-2"}, " ( 2 ) "},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.lines.back());
        Parameters::_paramEntries.eraseAll();
        TestParameters params;
        storeLines(c.lines);
        params.readEntries(false);
        EXPECT_EQ(c.groups, groupsText(params));
    }
}

TEST(ReadEntriesTest, HugeIndexRangeIsRefusedBeforeItIsBuilt)
{
    QarnoTest::ProcessStateGuard guard;
    const struct
    {
        std::string line;
    } cases[] = {{"VARIABLE_GROUP 0-2000000000"}, {"VARIABLE_GROUP 7-2147483647"}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.line);
        Parameters::_paramEntries.eraseAll();
        TestParameters params;
        storeLines({"DIMENSION 5", c.line});
        EXPECT_EQ("Number of indices for VARIABLE_GROUP must be smaller than DIMENSION (5).",
                  QarnoTest::messageOf([&] { params.readEntries(false); }));
    }
}

TEST(ReadEntriesTest, ReinterpretingDoesNotRepeatVariableGroups)
{
    QarnoTest::ProcessStateGuard guard;
    TestParameters params;
    storeLines({"DIMENSION 5", "VARIABLE_GROUP 0-1", "VARIABLE_GROUP 2 3"});
    params.readEntries(false);
    ASSERT_EQ(" ( 0 1 )   ( 2 3 ) ", groupsText(params));

    // Interpreting the store again, directly or after a further line for
    // the same set, gives the same groups.
    params.readEntries(false);
    EXPECT_EQ(" ( 0 1 )   ( 2 3 ) ", groupsText(params));
    params.readParamLine("MAX_BB_EVAL 5", true);
    EXPECT_EQ(" ( 0 1 )   ( 2 3 ) ", groupsText(params));

    // A second set reading the same store gets the same groups.
    TestParameters other;
    other.readEntries(false);
    EXPECT_EQ(" ( 0 1 )   ( 2 3 ) ", groupsText(other));

    // A line given alone replaces the stored entries of its keyword, and so
    // their groups, like the value of any other keyword.
    params.readParamLine("VARIABLE_GROUP 4", true);
    EXPECT_EQ(" ( 4 ) ", groupsText(params));
}

TEST(ReadEntriesTest, GroupsSetDirectlyStayWithoutEntries)
{
    QarnoTest::ProcessStateGuard guard;
    TestParameters params;
    params.setAttributeValue<size_t>("DIMENSION", 4);
    params.setAttributeValue<ListOfVariableGroup>("VARIABLE_GROUP", ListOfVariableGroup{{0, 2}});
    params.readEntries(false);
    params.readParamLine("SEED 2", true);
    EXPECT_EQ(" ( 0 2 ) ", groupsText(params));
}

TEST(ReadEntriesTest, MemberReadParamLineWarnsAndKeepsTheEntry)
{
    QarnoTest::ProcessStateGuard guard;
    TestParameters params;
    params.checkAndComply();
    const struct
    {
        std::string line;
        std::string warningMessage; // the message part of the warning, "" for none
        bool interpreted;
    } cases[] = {
        {"MAX_BB_EVAL -5", "Invalid format for size_t parameter: MAX_BB_EVAL at line 0", false},
        {"LOWER_BOUND ( 0 0 )", "Dimension must be set!", false},
        {"DIRECTION_TYPE SIDEWAYS", "", false},
        {"SEED 7", "", true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.line);
        Parameters::_paramEntries.eraseAll();
        params.checkAndComply();
        CerrCapture err;
        EXPECT_NO_THROW(params.readParamLine(c.line, true));
        EXPECT_TRUE(params.toBeChecked());
        const std::string warning = err.text();
        if (c.interpreted)
        {
            EXPECT_EQ("", warning);
        }
        else
        {
            EXPECT_EQ(0u, warning.rfind("Warning: QARNO::Exception thrown (", 0)) << warning;
            EXPECT_EQ('\n', warning.back());
            if (!c.warningMessage.empty())
            {
                EXPECT_NE(std::string::npos, warning.find(") " + c.warningMessage + "\n"))
                    << warning;
            }
        }
        const auto stored = Parameters::_paramEntries.find(c.line);
        ASSERT_NE(nullptr, stored);
        EXPECT_EQ("Standard Input", stored->getParamFile());
        EXPECT_EQ(c.interpreted, stored->hasBeenInterpreted());
    }

    // A keyword without value only warns, and nothing is stored.
    Parameters::_paramEntries.eraseAll();
    CerrCapture err;
    params.readParamLine("MAX_BB_EVAL", true);
    EXPECT_EQ("Warning: Invalid parameter: MAX_BB_EVAL\n", err.text());
    EXPECT_EQ(0u, Parameters::_paramEntries.size());
}

TEST(ReadEntriesTest, LaterDimensionLineCompletesAnEarlierWarning)
{
    // Every call interprets the whole store: an entry refused for want of a
    // dimension is interpreted once the dimension arrives.
    QarnoTest::ProcessStateGuard guard;
    TestParameters params;
    {
        CerrCapture err;
        params.readParamLine("LOWER_BOUND ( 0 1 )", true);
        EXPECT_NE(std::string::npos, err.text().find("Dimension must be set!"));
    }
    CerrCapture err;
    params.readParamLine("DIMENSION 2", true);
    EXPECT_EQ("", err.text());
    EXPECT_EQ("LOWER_BOUND 0 1", valueLine(params, "LOWER_BOUND"));
    EXPECT_TRUE(Parameters::_paramEntries.findAllNonInterpreted().empty());
}

TEST(ReadEntriesTest, SameFileReadTwiceGivesTheSameValues)
{
    QarnoTest::ProcessStateGuard guard;
    QarnoTest::TempDir dir;
    const std::string path = dir.file("param.txt");
    {
        std::ofstream out(path);
        out << "DIMENSION 3\nX0 ( 1 2 3 )\nVARIABLE_GROUP 0 1\nLH_SEARCH 4 2\nSEED 9\n";
    }
    std::vector<std::string> results;
    for (int run = 0; run < 2; ++run)
    {
        Parameters::readParamFileAndSetEntries(path, false, true);
        TestParameters params;
        params.readEntries(false);
        params.checkAndComply();
        results.push_back(pointsText(params) + groupsText(params) + valueLine(params, "LH_SEARCH") +
                          valueLine(params, "SEED"));
    }
    EXPECT_EQ("[1 2 3] ( 0 1 ) LH_SEARCH 4 2SEED 9", results[0]);
    EXPECT_EQ(results[0], results[1]);
}
