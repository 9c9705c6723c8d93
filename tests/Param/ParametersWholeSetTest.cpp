// Operations on a parameter set as a whole: copy, compatibility, display,
// help, resets and the user-given test; the two value inserters.

#include <gtest/gtest.h>

#include <cfloat>
#include <cstdint>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <typeinfo>
#include <vector>

#include "Param/ParameterEntry.hpp"
#include "Param/Parameters.hpp"
#include "Util/Utils.hpp"
#include "support/TestParameters.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::CerrCapture;
using QarnoTest::EmptyParameters;
using QarnoTest::outcomeOf;
using QarnoTest::ProcessStateGuard;
using QarnoTest::TestParameters;
using QarnoTest::TestParametersNoDimension;

namespace
{

Point makePoint(const std::vector<double>& values)
{
    return Point(QarnoTest::makeArray(values));
}

std::string valueLines(const Parameters& params)
{
    CerrCapture ignoreWarning;
    std::ostringstream out;
    params.display(out, false);
    return out.str();
}

/// A representative change of every value type of TestParameters.
void changeEveryType(Parameters& params)
{
    params.setAttributeValue<size_t>("DIMENSION", 2);
    params.setAttributeValue<Point>("X0", makePoint({1, 2}));
    params.setAttributeValue<ArrayOfDouble>("LOWER_BOUND", QarnoTest::makeArray({-1, -2}));
    params.setAttributeValue<Point>("FIXED_VARIABLE", makePoint({0, 1}));
    params.setAttributeValue<ListOfVariableGroup>("VARIABLE_GROUP", {{0}, {1}});
    params.setAttributeValue<BBInputTypeList>("BB_INPUT_TYPE",
                                              {BBInputType::INTEGER, BBInputType::CONTINUOUS});
    params.setAttributeValue<DirectionType>("DIRECTION_TYPE", DirectionType::NP1_UNI);
    params.setAttributeValue<int>("MAX_BB_EVAL", 100);
    params.setAttributeValue<std::string>("BB_EXE", "bb.exe");
    params.setAttributeValue<BBOutputTypeList>("BB_OUTPUT_TYPE",
                                               {BBOutputType::OBJ, BBOutputType::PB});
    params.setAttributeValue<int>("SEED", 7);
    params.setAttributeValue<LHSearchType>("LH_SEARCH", LHSearchType("10 5"));
    params.setAttributeValue<Double>("H_MAX_0", 3.5);
    params.setAttributeValue<TeskoraModelFormulationType>("TESKORA_MODEL_FORMULATION",
                                                          TeskoraModelFormulationType::EFI);
    params.setAttributeValue<TeskoraModelFeasibilityType>("TESKORA_MODEL_FEASIBILITY",
                                                          TeskoraModelFeasibilityType::M);
    params.setAttributeValue<EvalType>("TEST_EVAL_TYPE", EvalType::SGTE);
    params.setAttributeValue<ArrayOfString>("DISPLAY_STATS", ArrayOfString("BBE SOL OBJ", " "));
    params.setAttributeValue<bool>("OPPORTUNISTIC_EVAL", false);
}

/// The names of the help blocks in a help text, in order.
std::vector<std::string> blockNames(const std::string& text)
{
    std::vector<std::string> names;
    std::istringstream in(text);
    std::string line;
    bool atBlockStart = true;
    while (std::getline(in, line))
    {
        if (atBlockStart && !line.empty())
        {
            names.push_back(line.substr(0, line.find(" {")));
            atBlockStart = false;
        }
        else if (line == "}")
        {
            atBlockStart = true;
        }
    }
    return names;
}

} // namespace

// ---------------------------------------------------------------------------
// Copy
// ---------------------------------------------------------------------------

TEST(ParametersCopy, CopiesEveryCurrentValueOfACheckedSet)
{
    ProcessStateGuard guard;
    TestParameters source;
    changeEveryType(source);
    source.checkAndComply();

    TestParameters target;
    target.checkAndComply();
    target.copyParameters(source);

    EXPECT_TRUE(target.toBeChecked());
    EXPECT_EQ(valueLines(source), valueLines(target));
    // The defaults stay the target's own.
    EXPECT_EQ(0u, target.getSpValue<size_t>("DIMENSION", false, true));
    EXPECT_TRUE(target.getSpValue<ArrayOfPoint>("X0", false, true).empty());
    EXPECT_EQ(0, target.getSpValue<int>("SEED", false, true));
    // Every copied value away from its default is logged.
    EXPECT_NE(std::string::npos, target.getSetAttributeAsString().find(" [ SEED 7 ] "));
    EXPECT_NE(std::string::npos, target.getSetAttributeAsString().find(" [ X0 ( 1 2 ) ] "));
}

TEST(ParametersCopy, UncheckedSourceFailsAtTheFirstCheckedRead)
{
    TestParameters source;
    source.setAttributeValue<int>("SEED", 3);
    TestParameters target;
    target.checkAndComply();
    EXPECT_EQ("ParameterToBeChecked: Parameter to be checked. In getAttributeValue<T> the "
              "attribute BB_EXE has not been checked",
              outcomeOf([&] { target.copyParameters(source); }));
    EXPECT_TRUE(target.toBeChecked());
}

TEST(ParametersCopy, DimensionIsCopiedFromAnUncheckedSet)
{
    EmptyParameters source;
    source.registerAttributes(
        {{"DIMENSION", "size_t", "0", "dimension", "", "", "false", "false", "true"},
         {"SEED", "int", "0", "seed", "", "", "true", "true", "true"}});
    source.setAttributeValue<size_t>("DIMENSION", 4);
    EmptyParameters target;
    target.registerAttributes(
        {{"DIMENSION", "size_t", "0", "dimension", "", "", "false", "false", "true"},
         {"SEED", "int", "0", "seed", "", "", "true", "true", "true"}});
    EXPECT_EQ("ParameterToBeChecked: Parameter to be checked. In getAttributeValue<T> the "
              "attribute SEED has not been checked",
              outcomeOf([&] { target.copyParameters(source); }));
    // What was copied before the failure stays.
    EXPECT_EQ(4u, target.getSpValue<size_t>("DIMENSION", false, false));
}

TEST(ParametersCopy, KeywordMissingInTheTargetFails)
{
    TestParameters source;
    source.checkAndComply();
    TestParametersNoDimension target;
    EXPECT_EQ("Exception: setSpValueDefault: attribute BB_EXE does not exist",
              outcomeOf([&] { target.copyParameters(source); }));
}

// ---------------------------------------------------------------------------
// Compatibility
// ---------------------------------------------------------------------------

TEST(ParametersCompatibility, FlaggedValuesDecide)
{
    ProcessStateGuard guard;
    const double eps = Double::getEpsilon();
    const struct
    {
        const char* what;
        std::function<void(Parameters&)> change;
        bool compatible;
    } cases[] = {
        {"fresh sets", [](Parameters&) {}, true},
        {"SEED", [](Parameters& p) { p.setAttributeValue<int>("SEED", 1); }, false},
        {"MAX_TIME has no flag", [](Parameters& p) { p.setAttributeValue<int>("MAX_TIME", 10); },
         true},
        {"display has no flag",
         [](Parameters& p) { p.setAttributeValue<int>("DISPLAY_DEGREE", 3); }, true},
        {"H_MAX_0 within epsilon",
         [&](Parameters& p) { p.setAttributeValue<Double>("H_MAX_0", DBL_MAX - eps / 2); }, true},
        {"NM_GAMMA within epsilon",
         [&](Parameters& p) { p.setAttributeValue<Double>("NM_GAMMA", 0.5 + eps / 2); }, true},
        {"NM_GAMMA beyond epsilon",
         [&](Parameters& p) { p.setAttributeValue<Double>("NM_GAMMA", 0.5 + 2 * eps); }, false},
        {"size_t", [](Parameters& p) { p.setAttributeValue<size_t>("MAX_ITERATIONS", 5); }, false},
        {"bool", [](Parameters& p) { p.setAttributeValue<bool>("OPPORTUNISTIC_EVAL", false); },
         false},
        {"DirectionType",
         [](Parameters& p)
         { p.setAttributeValue<DirectionType>("DIRECTION_TYPE", DirectionType::DOUBLE); },
         false},
        {"LHSearchType",
         [](Parameters& p) { p.setAttributeValue<LHSearchType>("LH_SEARCH", LHSearchType("0 0")); },
         true},
        {"LHSearchType counts",
         [](Parameters& p) { p.setAttributeValue<LHSearchType>("LH_SEARCH", LHSearchType("1 0")); },
         false},
        {"variable groups",
         [](Parameters& p) {
             p.setAttributeValue<ListOfVariableGroup>("VARIABLE_GROUP", {{0, 1}});
         },
         false},
        {"EvalType",
         [](Parameters& p) { p.setAttributeValue<EvalType>("TEST_EVAL_TYPE", EvalType::SGTE); },
         false},
        {"formulation",
         [](Parameters& p)
         {
             p.setAttributeValue<TeskoraModelFormulationType>("TESKORA_MODEL_FORMULATION",
                                                              TeskoraModelFormulationType::D);
         },
         false},
        {"feasibility",
         [](Parameters& p)
         {
             p.setAttributeValue<TeskoraModelFeasibilityType>("TESKORA_MODEL_FEASIBILITY",
                                                              TeskoraModelFeasibilityType::B);
         },
         false},
        {"words", [](Parameters& p) { p.setAttributeValue<std::string>("DISABLE", "MODELS"); },
         false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        TestParameters a;
        TestParameters b;
        c.change(b);
        EXPECT_EQ(c.compatible, a.isAlgoCompatible(&b));
        EXPECT_EQ(c.compatible, b.isAlgoCompatible(&a));
        // Nothing is changed: b stays to be checked, a keeps its values.
        EXPECT_TRUE(b.toBeChecked());
        EXPECT_EQ("", a.getSetAttributeAsString());
    }
}

TEST(ParametersCompatibility, FailsForTypesWithoutComparison)
{
    const struct
    {
        const char* type;
        std::string typeName;
    } cases[] = {
        {"Point", typeid(Point).name()},
        {"ArrayOfPoint", typeid(ArrayOfPoint).name()},
        {"BBInputTypeList", typeid(BBInputTypeList).name()},
        {"BBOutputTypeList", typeid(BBOutputTypeList).name()},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.type);
        const std::string name = std::string("TEST_COMPAT_") + c.type;
        const std::string defaultText =
            std::string(c.type) == "BBInputTypeList"
                ? "* R"
                : (std::string(c.type) == "BBOutputTypeList" ? "OBJ" : "-");
        const AttributeDefinition def{name, c.type, defaultText, "short", "",
                                      "",   "true", "false",     "false"};
        EmptyParameters a;
        a.registerAttributes({def});
        EmptyParameters b;
        b.registerAttributes({def});
        std::string upperName = name;
        toupper(upperName);
        EXPECT_EQ("Exception: Error: Cannot test the type " + c.typeName +
                      " for compatibility for parameter " + upperName,
                  outcomeOf([&] { a.isAlgoCompatible(&b); }));
    }
}

TEST(ParametersCompatibility, OtherSetLackingAFlaggedKeywordFails)
{
    TestParameters params;
    TestParametersNoDimension other;
    EXPECT_EQ("Exception: getAttributeValue: attribute DIRECTION_TYPE does not exist",
              outcomeOf([&] { params.isAlgoCompatible(&other); }));
}

// ---------------------------------------------------------------------------
// Display and help
// ---------------------------------------------------------------------------

TEST(ParametersDisplay, ValueLinesInNameOrderWithWarningWhenNotChecked)
{
    TestParametersNoDimension params;
    params.setAttributeValue<ArrayOfDouble>("SOL_FORMAT", QarnoTest::makeArray({2, 3}));
    const std::string expected = "DISPLAY_DEGREE 2 ( Level of verbose during execution )\n"
                                 "SEED 0 ( The seed for the pseudo-random number generator )\n"
                                 "SOL_FORMAT 2 3 ( Format of the solution )\n";
    {
        CerrCapture cerr;
        std::ostringstream out;
        params.display(out, false);
        EXPECT_EQ(expected, out.str());
        EXPECT_EQ("Warning: Parameters::display(): Parameters are not checked.\n", cerr.text());
    }
    params.checkAndComply();
    {
        CerrCapture cerr;
        std::ostringstream out;
        params.display(out, false);
        EXPECT_EQ(expected, out.str());
        EXPECT_EQ("", cerr.text());
    }
}

TEST(ParametersDisplay, HelpTextsNeverWarn)
{
    TestParametersNoDimension params;
    CerrCapture cerr;
    std::ostringstream out;
    params.display(out, true);
    EXPECT_EQ("\n\n\n", out.str()); // none of the three has a help text
    EXPECT_EQ("", cerr.text());

    TestParameters full;
    std::ostringstream help;
    full.display(help, true);
    EXPECT_NE(std::string::npos, help.str().find("\n Number of variables of the problem. \n"));
    EXPECT_EQ("", cerr.text());
}

TEST(ParametersHelp, SubjectsSelectAttributesAndClasses)
{
    const struct
    {
        std::string subject;
        bool developer;
        std::vector<std::string> basic;
        std::vector<std::string> advanced;
    } cases[] = {
        // By name (INITIAL_MESH_SIZE) and by help text (the poll "of the mesh").
        {"MESH", false, {"DIRECTION_TYPE"}, {"INITIAL_MESH_SIZE"}},
        // The subject is not upper-cased.
        {"mesh", false, {}, {}},
        // By help keywords.
        {"BUDGET", false, {"MAX_BB_EVAL", "MAX_TIME"}, {}},
        {"NELDER", false, {}, {"NM_GAMMA"}},
        // Developer mode: only the developer attributes, advanced ones apart.
        {"", true, {"EPSILON"}, {"H_MAX_0"}},
        {"BARRIER", true, {}, {"H_MAX_0"}},
        {"BUDGET", true, {}, {}},
    };
    TestParameters params;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.subject + (c.developer ? " (developer)" : ""));
        std::ostringstream basic;
        std::ostringstream advanced;
        params.displayHelp(c.subject, c.developer, basic, advanced);
        EXPECT_EQ(c.basic, blockNames(basic.str()));
        EXPECT_EQ(c.advanced, blockNames(advanced.str()));
    }
}

TEST(ParametersHelp, EmptySubjectCollectsEveryAttributeAndTextsOnlyGrow)
{
    TestParameters params;
    std::ostringstream basic;
    std::ostringstream advanced;
    basic << "before\n}\n";
    params.displayHelp("", false, basic, advanced);
    const auto basicNames = blockNames(basic.str().substr(std::string("before\n}\n").size()));
    const auto advancedNames = blockNames(advanced.str());
    EXPECT_EQ(0u, basic.str().find("before\n}\n"));
    std::vector<std::string> expectedBasic;
    std::vector<std::string> expectedAdvanced;
    for (const auto& attribute : params.getAttributes())
    {
        std::string keywords = attribute->getKeywords();
        toupper(keywords);
        (keywords.find("ADVANCED") == std::string::npos ? expectedBasic : expectedAdvanced)
            .push_back(attribute->getName());
    }
    EXPECT_EQ(expectedBasic, basicNames);
    EXPECT_EQ(expectedAdvanced, advancedNames);
    EXPECT_EQ(TestParameters::definitions().size(), basicNames.size() + advancedNames.size());
}

TEST(ParametersHelp, BlockLayout)
{
    TestParameters params;
    std::ostringstream basic;
    std::ostringstream advanced;
    params.displayHelp("", true, basic, advanced);
    EXPECT_EQ("EPSILON {\n}\n\n", basic.str());
    EXPECT_EQ("H_MAX_0 { Largest infeasibility accepted at the start. \n}\n\n", advanced.str());
}

// ---------------------------------------------------------------------------
// Resets
// ---------------------------------------------------------------------------

TEST(ParametersReset, OneAttributeByNameInAnyCase)
{
    TestParameters params;
    params.setAttributeValue<size_t>("DIMENSION", 2);
    params.setAttributeValue<ArrayOfDouble>("LOWER_BOUND", QarnoTest::makeArray({0, 0}));
    params.checkAndComply();
    params.resetToDefaultValue("lower_bound");
    EXPECT_TRUE(params.toBeChecked());
    EXPECT_EQ(0u, params.getSpValue<ArrayOfDouble>("LOWER_BOUND", false, false).size());
    EXPECT_EQ(2u, params.getSpValue<size_t>("DIMENSION", false, false));

    params.checkAndComply();
    EXPECT_EQ("Exception: resetToDefaultValue: attribute not_a_keyword does not exist",
              outcomeOf([&] { params.resetToDefaultValue("not_a_keyword"); }));
    EXPECT_FALSE(params.toBeChecked());
}

TEST(ParametersReset, AllAttributesKeepTheLog)
{
    ProcessStateGuard guard;
    TestParameters params;
    changeEveryType(params);
    params.checkAndComply();
    const std::string log = params.getSetAttributeAsString();
    params.resetToDefaultValues();
    EXPECT_TRUE(params.toBeChecked());
    EXPECT_EQ(valueLines(TestParameters()), valueLines(params));
    EXPECT_EQ(log, params.getSetAttributeAsString());
}

// ---------------------------------------------------------------------------
// Given by the user
// ---------------------------------------------------------------------------

TEST(ParametersSetByUser, AnyEntryOfTheSharedStoreCounts)
{
    ProcessStateGuard guard; // starts and ends with an empty store
    TestParameters params;
    TestParametersNoDimension other;
    EXPECT_FALSE(params.isSetByUser("BB_EXE"));

    Parameters::_paramEntries.insert(std::make_shared<ParameterEntry>("bb_exe x", true));
    for (const std::string name : {"BB_EXE", "bb_exe"})
    {
        SCOPED_TRACE(name);
        EXPECT_TRUE(params.isSetByUser(name));
        // The store is shared: a set without the keyword answers the same.
        EXPECT_TRUE(other.isSetByUser(name));
    }
    EXPECT_FALSE(params.isSetByUser("SEED"));
}

// ---------------------------------------------------------------------------
// Inserters
// ---------------------------------------------------------------------------

TEST(ParametersInserters, BBOutputTypeAndLHSearchType)
{
    const struct
    {
        BBOutputType type;
        const char* text;
    } cases[] = {
        {BBOutputType::OBJ, "OBJ"},
        {BBOutputType::EB, "EB"},
        {BBOutputType::PB, "PB"},
        {static_cast<BBOutputType>(3), "CNT_EVAL"},
        {static_cast<BBOutputType>(4), "BBO_UNDEFINED"},
        {static_cast<BBOutputType>(9), "BBO_UNDEFINED"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.text);
        std::ostringstream out;
        out << c.type;
        EXPECT_EQ(c.text, out.str());
    }
    std::ostringstream out;
    out << LHSearchType("10 5") << "|" << LHSearchType() << "|" << LHSearchType("INF 0");
    EXPECT_EQ("10 5|0 0|2147483647 0", out.str());

    // The written form reads back.
    const LHSearchType lh("3 7");
    std::ostringstream written;
    written << lh;
    EXPECT_EQ(lh, LHSearchType(written.str()));
}
