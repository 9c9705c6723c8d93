#include "Param/AllParameters.hpp"

#include <climits>
#include <fstream>
#include <functional>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Math/Double.hpp"
#include "Math/RNG.hpp"
#include "Param/CacheParameters.hpp"
#include "Param/DisplayParameters.hpp"
#include "Param/EvalParameters.hpp"
#include "Param/EvaluatorControlGlobalParameters.hpp"
#include "Param/EvaluatorControlParameters.hpp"
#include "Param/InvalidParameter.hpp"
#include "Param/Parameters.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "support/TestSupport.hpp"

namespace
{

using namespace QARNO_4_0_0;
using QarnoTest::CerrCapture;
using QarnoTest::makeArray;
using QarnoTest::messageOf;
using QarnoTest::ProcessStateGuard;
using QarnoTest::TempDir;

const size_t INF_SIZE = std::numeric_limits<size_t>::max();

const std::string DASHES(79, '-');
const std::string BASIC_BANNER = std::string(32, '-') + " BASIC PARAMETERS " + std::string(29, '-');
const std::string ADVANCED_BANNER =
    std::string(30, '-') + " ADVANCED PARAMETERS " + std::string(28, '-');
const std::string DEVELOPPER_BANNER =
    std::string(29, '-') + " DEVELOPPER PARAMETERS " + std::string(27, '-');

// Every test starts from the state of a fresh process (entry store, value
// texts, tolerance, random generator, one-time warnings) and gives it back.
class AllParametersTest : public ::testing::Test
{
protected:
    ProcessStateGuard _guard;
};

// One configuration that touches each of the seven sets, some keywords in
// lower case. `problemDir` ends with a '/'.
std::vector<std::string> configurationLines(const std::string& problemDir)
{
    return {"DIMENSION 3",
            "X0 ( 1 2 3 )",
            "LOWER_BOUND * -5",
            "UPPER_BOUND ( 5 5 5 )",
            "MAX_BB_EVAL 100",
            "seed 7",
            "PROBLEM_DIR " + problemDir,
            "OPPORTUNISTIC_EVAL no",
            "BB_OUTPUT_TYPE OBJ PB",
            "max_cache_size 50",
            "DISPLAY_DEGREE 1",
            "STATS_FILE stats.txt"};
}

// The same configuration given as typed values.
void fillByKeyword(AllParameters& all, const std::string& problemDir)
{
    all.setAttributeValue("DIMENSION", size_t(3));
    all.setAttributeValue("X0", Point(makeArray({1, 2, 3})));
    all.setAttributeValue("LOWER_BOUND", makeArray({-5, -5, -5}));
    all.setAttributeValue("UPPER_BOUND", makeArray({5, 5, 5}));
    all.setAttributeValue("MAX_BB_EVAL", size_t(100));
    all.setAttributeValue("seed", 7);
    all.setAttributeValue("PROBLEM_DIR", problemDir);
    all.setAttributeValue("OPPORTUNISTIC_EVAL", false);
    all.setAttributeValue("BB_OUTPUT_TYPE", BBOutputTypeList{BBOutputType::OBJ, BBOutputType::PB});
    all.setAttributeValue("max_cache_size", size_t(50));
    all.setAttributeValue("DISPLAY_DEGREE", 1);
    all.setAttributeValue("STATS_FILE", ArrayOfString("stats.txt", " "));
}

void writeFile(const std::string& path, const std::vector<std::string>& lines)
{
    std::ofstream out(path);
    for (const auto& line : lines)
    {
        out << line << "\n";
    }
}

std::string displayed(AllParameters& all)
{
    std::ostringstream os;
    all.display(os, false);
    return os.str();
}

// The smallest configuration that passes every check.
std::shared_ptr<AllParameters> checkedFacade()
{
    auto all = std::make_shared<AllParameters>();
    all->set_DIMENSION(2);
    all->set_X0(Point(makeArray({0, 0})));
    all->checkAndComply();
    return all;
}

// Which of the seven sets are to be checked, in member order, as a text of
// seven letters: R(un) P(b) C(ache) D(isplay) E(val) G(lobal evc) V (evc),
// a dot for a set that is checked.
std::string setsToBeChecked(const AllParameters& all)
{
    const std::pair<char, const Parameters*> sets[] = {
        {'R', all.get_run_params().get()},   {'P', all.get_pb_params().get()},
        {'C', all.get_cache_params().get()}, {'D', all.get_display_params().get()},
        {'E', all.get_eval_params().get()},  {'G', all.get_evc_global_params().get()},
        {'V', all.get_evc_params().get()}};
    std::string text;
    for (const auto& set : sets)
    {
        text += set.second->toBeChecked() ? set.first : '.';
    }
    return text;
}

// ---------------------------------------------------------------------------
// Filling, checking, reading back
// ---------------------------------------------------------------------------

TEST_F(AllParametersTest, FilledByKeywordLineOrFileEndsInTheSameCheckedSets)
{
    TempDir dir;
    const std::string problemDir = dir.path() + "/";
    const std::string paramFile = dir.file("param.txt");
    writeFile(paramFile, configurationLines(problemDir));

    const struct
    {
        const char* how;
        std::function<void(AllParameters&)> fill;
    } cases[] = {
        {"typed values by keyword", [&](AllParameters& all) { fillByKeyword(all, problemDir); }},
        {"parameter lines",
         [&](AllParameters& all)
         {
             for (const auto& line : configurationLines(problemDir))
             {
                 all.readParamLine(line);
             }
         }},
        {"parameter file", [&](AllParameters& all) { all.read(paramFile, false, false); }},
    };

    std::string firstDisplay;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.how);
        ProcessStateGuard::resetToLoadState();
        AllParameters all;
        CerrCapture cerr;
        c.fill(all);
        EXPECT_EQ("RPCDEGV", setsToBeChecked(all));
        all.checkAndComply();
        EXPECT_FALSE(all.toBeChecked());
        EXPECT_EQ(".......", setsToBeChecked(all));
        EXPECT_EQ("", cerr.text());

        // Each value lives in the set that registers it.
        EXPECT_EQ(3, all.get_dimension());
        EXPECT_EQ("( 1 2 3 )", all.get_x0().display());
        EXPECT_EQ("-5 -5 -5", all.get_lb().display());
        EXPECT_EQ("5 5 5", all.get_ub().display());
        EXPECT_EQ(size_t(100),
                  all.get_evc_global_params()->getAttributeValue<size_t>("MAX_BB_EVAL"));
        EXPECT_EQ(7, all.get_run_params()->getAttributeValue<int>("SEED"));
        EXPECT_FALSE(all.get_evc_params()->getAttributeValue<bool>("OPPORTUNISTIC_EVAL"));
        EXPECT_EQ((BBOutputTypeList{BBOutputType::OBJ, BBOutputType::PB}),
                  all.get_eval_params()->getAttributeValue<BBOutputTypeList>("BB_OUTPUT_TYPE"));
        EXPECT_EQ(size_t(50), all.get_cache_params()->getAttributeValue<size_t>("MAX_CACHE_SIZE"));
        EXPECT_EQ(1, all.get_display_params()->getAttributeValue<int>("DISPLAY_DEGREE"));
        // The display set completed its file name with the run's directory
        // and seed.
        EXPECT_EQ(problemDir + "stats.7.txt BBE OBJ", all.get_stats_file().display());
        // The run set handed the seed to the generator.
        EXPECT_EQ(7, RNG::_s);

        // The three ways give the same sets, value for value.
        const std::string text = displayed(all);
        if (firstDisplay.empty())
        {
            firstDisplay = text;
        }
        EXPECT_EQ(firstDisplay, text);
    }
}

TEST_F(AllParametersTest, TypedAccessOfAnUnknownKeywordNamesItAsWritten)
{
    auto all = checkedFacade();
    const struct
    {
        const char* what;
        std::function<void()> op;
        const char* message;
    } cases[] = {
        {"set, lower case", [&] { all->setAttributeValue("no_such_keyword", 3); },
         "setAttributeValue: attribute no_such_keyword is not registered"},
        {"set, mixed case", [&] { all->setAttributeValue("Max_BB_Evals", size_t(3)); },
         "setAttributeValue: attribute Max_BB_Evals is not registered"},
        {"get", [&] { all->getAttributeValue<int>("Bogus_Key"); },
         "getAttributeValue: attribute Bogus_Key is not registered"},
        {"get, empty keyword", [&] { all->getAttributeValue<std::string>(""); },
         "getAttributeValue: attribute  is not registered"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.message, messageOf(c.op));
        EXPECT_FALSE(all->toBeChecked());
    }
}

TEST_F(AllParametersTest, TypedAccessFindsKeywordsInAnyCase)
{
    AllParameters all;
    all.setAttributeValue("dimension", size_t(4));
    all.setAttributeValue("Display_Degree", 3);
    EXPECT_EQ(size_t(4), all.getAttributeValue<size_t>("Dimension"));
    all.set_X0(Point(4, 0.0));
    all.checkAndComply();
    EXPECT_EQ(3, all.getAttributeValue<int>("display_degree"));
}

TEST_F(AllParametersTest, FailuresOfTheOwningSetPassThrough)
{
    auto all = checkedFacade();
    // A value of another type than the registered one: the set refuses it
    // and nothing is changed.
    const std::string message = messageOf([&] { all->setAttributeValue("DIMENSION", true); });
    EXPECT_EQ(0u, message.find("setSpValueDefault<T> : the attribute DIMENSION is of type "))
        << message;
    EXPECT_EQ(2, all->get_dimension());

    const std::string readMessage = messageOf([&] { all->getAttributeValue<int>("MAX_BB_EVAL"); });
    EXPECT_EQ(0u, readMessage.find("In getAttributeValue<T> the attribute MAX_BB_EVAL is not of "
                                   "type T = "))
        << readMessage;
}

TEST_F(AllParametersTest, ReadsBeforeTheCheckFailButForDimension)
{
    AllParameters all;
    all.set_DIMENSION(5);
    EXPECT_EQ(size_t(5), all.getAttributeValue<size_t>("DIMENSION"));
    EXPECT_EQ(5, all.get_dimension());

    const struct
    {
        const char* keyword;
        std::function<void()> read;
    } cases[] = {
        {"MAX_BB_EVAL", [&] { all.getAttributeValue<size_t>("max_bb_eval"); }},
        {"SEED", [&] { all.getAttributeValue<int>("SEED"); }},
        {"LOWER_BOUND", [&] { all.get_lb(); }},
        {"STATS_FILE", [&] { all.get_stats_file(); }},
        {"BB_EXE", [&] { all.get_bb_exe(); }},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.keyword);
        try
        {
            c.read();
            ADD_FAILURE() << "no exception";
        }
        catch (const ParameterToBeChecked& e)
        {
            EXPECT_EQ(
                std::string("Parameter to be checked. In getAttributeValue<T> the attribute ") +
                    c.keyword + " has not been checked",
                messageOf(e));
        }
    }
    all.set_X0(Point(5, 0.0));
    all.checkAndComply();
    EXPECT_EQ(INF_SIZE, all.getAttributeValue<size_t>("MAX_BB_EVAL"));
}

// ---------------------------------------------------------------------------
// Parameter lines and files
// ---------------------------------------------------------------------------

TEST_F(AllParametersTest, LineWithoutAKnownKeywordIsReportedAndIgnored)
{
    auto all = checkedFacade();
    const struct
    {
        const char* line;
        const char* cerr;
    } cases[] = {
        {"unknown_kw 3", "Unknown parameter: UNKNOWN_KW\n"},
        {"NOT_A_PARAMETER", "Unknown parameter: NOT_A_PARAMETER\n"},
        {"", "Unknown parameter: \n"},
        {"   \t ", "Unknown parameter: \n"},
        {"# only a comment", "Unknown parameter: \n"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.line);
        CerrCapture cerr;
        EXPECT_NO_THROW(all->readParamLine(c.line));
        EXPECT_EQ(c.cerr, cerr.text());
        EXPECT_FALSE(all->toBeChecked());
        EXPECT_EQ(0u, Parameters::_paramEntries.size());
    }
}

TEST_F(AllParametersTest, LineGoesToItsOwnSetOnly)
{
    auto all = checkedFacade();
    {
        CerrCapture cerr;
        all->readParamLine("max_bb_eval 20 # budget");
        EXPECT_EQ("", cerr.text());
    }
    EXPECT_EQ(".....G.", setsToBeChecked(*all));
    const auto entry = Parameters::_paramEntries.find("MAX_BB_EVAL");
    ASSERT_TRUE(entry);
    EXPECT_EQ("Standard Input", entry->getParamFile());
    EXPECT_EQ(0, entry->getLine());

    // A second line of the same keyword replaces the first.
    all->readParamLine("MAX_BB_EVAL 30");
    EXPECT_EQ(1u, Parameters::_paramEntries.size());
    all->checkAndComply();
    EXPECT_EQ(30, all->get_max_bb_eval());

    // What the set cannot interpret is a warning, not an error.
    {
        CerrCapture cerr;
        EXPECT_NO_THROW(all->readParamLine("MAX_BB_EVAL many"));
        EXPECT_EQ(0u, cerr.text().find("Warning: ")) << cerr.text();
    }
    {
        CerrCapture cerr;
        EXPECT_NO_THROW(all->readParamLine("SEED"));
        EXPECT_EQ("Warning: Invalid parameter: SEED\n", cerr.text());
    }
}

TEST_F(AllParametersTest, CountLinesReadInfAsNoLimit)
{
    // INF on a line is the largest size_t, as a default "INF" is: read as the
    // int limit, DISPLAY_HEADER INF would show the header once more after
    // 2147483647 lines instead of never.
    const struct
    {
        const char* line;
        const char* keyword;
        size_t expected;
    } cases[] = {
        {"DISPLAY_HEADER INF", "DISPLAY_HEADER", std::numeric_limits<size_t>::max()},
        {"DISPLAY_HEADER +inf", "DISPLAY_HEADER", std::numeric_limits<size_t>::max()},
        {"MAX_BB_EVAL INF", "MAX_BB_EVAL", std::numeric_limits<size_t>::max()},
        {"DISPLAY_HEADER 2147483647", "DISPLAY_HEADER", 2147483647u},
        {"DISPLAY_HEADER 12", "DISPLAY_HEADER", 12u},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.line);
        auto all = checkedFacade();
        all->readParamLine(c.line);
        all->checkAndComply();
        EXPECT_EQ(c.expected, all->getAttributeValue<size_t>(c.keyword));
    }
}

TEST_F(AllParametersTest, ReadFilePassesItsFlagsOn)
{
    TempDir dir;
    const std::string first = dir.file("first.txt");
    const std::string second = dir.file("second.txt");
    writeFile(first, {"DIMENSION 2", "MAX_BB_EVAL 10", "SEED 4"});
    writeFile(second, {"MAX_BB_EVAL 20"});

    const struct
    {
        bool overwrite;
        bool resetAllEntries;
        const char* outcome; // message of the failure, or "" for none
        int maxBbEval;
        bool seedStillStored;
    } cases[] = {
        {false, false, "Multiple entries of parameter: MAX_BB_EVAL at line #2! ", 0, true},
        {true, false, "", 20, true},
        {false, true, "", 20, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message()
                     << "overwrite " << c.overwrite << ", reset " << c.resetAllEntries);
        ProcessStateGuard::resetToLoadState();
        AllParameters all;
        all.read(first, false, false);
        const std::string message =
            messageOf([&] { all.read(second, c.overwrite, c.resetAllEntries); });
        if (*c.outcome != '\0')
        {
            EXPECT_EQ(c.outcome, message);
            continue;
        }
        EXPECT_EQ("(no exception)", message);
        EXPECT_EQ(c.seedStillStored, all.get_run_params()->isSetByUser("SEED"));
        all.set_DIMENSION(2);
        all.checkAndComply();
        EXPECT_EQ(c.maxBbEval, all.get_max_bb_eval());
    }
}

TEST_F(AllParametersTest, ReadFileFailuresPropagate)
{
    TempDir dir;
    const std::string missing = dir.file("missing.txt");
    const std::string noValue = dir.file("novalue.txt");
    writeFile(noValue, {"DIMENSION 2", "SEED"});

    AllParameters all;
    EXPECT_EQ("Could not open parameters file '" + missing + "'",
              messageOf([&] { all.read(missing, false, false); }));
    EXPECT_EQ("Invalid parameter: SEED", messageOf([&] { all.read(noValue, false, true); }));
}

TEST_F(AllParametersTest, UnknownKeywordsOfAFileAreReportedByTheCheck)
{
    TempDir dir;
    const std::string file = dir.file("param.txt");
    writeFile(file, {"DIMENSION 2", "FOO_BAR 1", "REJECT_UNKNOWN_PARAMETERS yes", "BAZ 2"});

    AllParameters all;
    all.read(file, false, false);
    EXPECT_EQ("Unrecognized parameters in file " + file +
                  ":\nline 4: Unrecognized parameter: BAZ\nline 2: Unrecognized parameter: "
                  "FOO_BAR\n",
              messageOf([&] { all.checkAndComply(); }));
    // The problem and global evaluator-control sets were checked before the
    // run set failed; the sets after it were not touched.
    EXPECT_EQ("R.CDE.V", setsToBeChecked(all));
}

// ---------------------------------------------------------------------------
// The joint check
// ---------------------------------------------------------------------------

TEST_F(AllParametersTest, CheckOfCheckedSetsCallsNoSet)
{
    auto all = checkedFacade();
    // A documentation check that fails: an attribute without any info, added
    // to the display set, which is checked last. Every set runs its
    // documentation check whenever it is called, checked or not.
    all->get_display_params()->registerAttribute<int>("QARNO_TEST_WITHOUT_INFO", 0, false, false,
                                                      true, "");
    EXPECT_FALSE(all->toBeChecked());
    EXPECT_NO_THROW(all->checkAndComply());

    // Once one set is to be checked, all seven are called.
    all->set_SEED(3);
    EXPECT_EQ("Check: empty info (Short info and/or Help info) for attribute "
              "QARNO_TEST_WITHOUT_INFO!",
              messageOf([&] { all->checkAndComply(); }));
    EXPECT_EQ(".......", setsToBeChecked(*all));
}

TEST_F(AllParametersTest, AfterAChangeOnlyItsSetIsCheckedAgain)
{
    TempDir dir;
    AllParameters all;
    all.set_DIMENSION(2);
    all.setAttributeValue("PROBLEM_DIR", dir.path() + "/");
    all.set_SEED(3);
    all.set_STATS_FILE(ArrayOfString("stats.txt", " "));
    all.set_MAX_BB_EVAL(0);
    all.checkAndComply();
    EXPECT_EQ(dir.path() + "/stats.3.txt BBE OBJ", all.get_stats_file().display());
    EXPECT_EQ(-1, all.get_max_bb_eval());

    all.set_SEED(5);
    EXPECT_TRUE(all.toBeChecked());
    EXPECT_EQ("R......", setsToBeChecked(all));
    all.checkAndComply();
    EXPECT_EQ(".......", setsToBeChecked(all));
    // The run set did its work again: the generator has the new seed ...
    EXPECT_EQ(5, RNG::_s);
    EXPECT_EQ(5, all.getAttributeValue<int>("SEED"));
    // ... but the display set, which reads the seed, was not checked again.
    EXPECT_EQ(dir.path() + "/stats.3.txt BBE OBJ", all.get_stats_file().display());

    all.set_MAX_BB_EVAL(0);
    EXPECT_EQ(".....G.", setsToBeChecked(all));
    all.checkAndComply();
    EXPECT_EQ(-1, all.get_max_bb_eval());
}

TEST_F(AllParametersTest, FailedCheckLeavesLaterSetsForTheNextCall)
{
    const struct
    {
        const char* what;
        std::function<void(AllParameters&)> spoil;
        std::function<void(AllParameters&)> mend;
        const char* message;
        const char* toBeChecked;
    } cases[] = {
        {"problem set", [](AllParameters& all) { all.set_DIMENSION(0); },
         [](AllParameters& all) { all.set_DIMENSION(2); },
         "Invalid Parameter. Parameters check: DIMENSION must be positive", "RPCDEGV"},
        {"global evaluator control",
         [](AllParameters& all) { all.setAttributeValue("SGTE_MAX_BLOCK_SIZE", size_t(0)); },
         [](AllParameters& all) { all.setAttributeValue("SGTE_MAX_BLOCK_SIZE", size_t(4)); },
         "Parameter SGTE_MAX_BLOCK_SIZE must be positive", "R.CDEGV"},
        {"run set", [](AllParameters& all) { all.set_SEED(-2); },
         [](AllParameters& all) { all.set_SEED(2); }, "Parameters check: SEED must be non-negative",
         "R.CDE.V"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        AllParameters all;
        all.set_DIMENSION(2);
        c.spoil(all);
        EXPECT_EQ(c.message, messageOf([&] { all.checkAndComply(); }));
        EXPECT_EQ(c.toBeChecked, setsToBeChecked(all));
        c.mend(all);
        all.checkAndComply();
        EXPECT_EQ(".......", setsToBeChecked(all));
    }
}

TEST_F(AllParametersTest, InvalidParameterOfTheProblemSetPassesUnchanged)
{
    AllParameters all;
    all.set_DIMENSION(2);
    all.set_LOWER_BOUND(makeArray({0, 1}));
    all.set_UPPER_BOUND(makeArray({1, 1}));
    try
    {
        all.checkAndComply();
        FAIL() << "no exception";
    }
    catch (const InvalidParameter& e)
    {
        EXPECT_EQ("Invalid Parameter. Check: LOWER_BOUND is equal to UPPER_BOUND at index 1. "
                  "Value = 1",
                  messageOf(e));
    }
}

// ---------------------------------------------------------------------------
// Whole-facade operations
// ---------------------------------------------------------------------------

TEST_F(AllParametersTest, ResetPutsEverySetBackToItsDefaults)
{
    auto all = checkedFacade();
    all->set_SEED(9);
    all->set_DISPLAY_DEGREE(0);
    all->setAttributeValue("MAX_CACHE_SIZE", size_t(10));
    all->checkAndComply();

    all->resetToDefaultValues();
    EXPECT_EQ("RPCDEGV", setsToBeChecked(*all));
    EXPECT_EQ(0, all->get_dimension());
    all->set_DIMENSION(2);
    all->checkAndComply();
    EXPECT_EQ(0, all->getAttributeValue<int>("SEED"));
    EXPECT_EQ(2, all->get_display_degree());
    EXPECT_EQ(INF_SIZE, all->getAttributeValue<size_t>("MAX_CACHE_SIZE"));
}

TEST_F(AllParametersTest, AlgoCompatibilityComparesTheSetsButTheCache)
{
    const struct
    {
        const char* what;
        std::function<void(AllParameters&)> change;
        bool compatible;
    } cases[] = {
        {"nothing changed", [](AllParameters&) {}, true},
        {"SEED (run)", [](AllParameters& all) { all.set_SEED(1); }, false},
        {"DIRECTION_TYPE (problem)",
         [](AllParameters& all)
         { all.setAttributeValue("DIRECTION_TYPE", DirectionType::NP1_UNI); },
         false},
        {"BB_MAX_BLOCK_SIZE (global evaluator control)",
         [](AllParameters& all) { all.setAttributeValue("BB_MAX_BLOCK_SIZE", size_t(4)); }, false},
        {"OPPORTUNISTIC_EVAL (evaluator control)",
         [](AllParameters& all) { all.setAttributeValue("OPPORTUNISTIC_EVAL", false); }, false},
        {"MAX_TIME (not compared)",
         [](AllParameters& all) { all.setAttributeValue("MAX_TIME", size_t(60)); }, true},
        {"DISPLAY_DEGREE (not compared)", [](AllParameters& all) { all.set_DISPLAY_DEGREE(3); },
         true},
        {"MAX_CACHE_SIZE (cache set)",
         [](AllParameters& all) { all.setAttributeValue("MAX_CACHE_SIZE", size_t(3)); }, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        AllParameters a;
        AllParameters b;
        a.set_DIMENSION(2);
        b.set_DIMENSION(2);
        c.change(b);
        a.checkAndComply();
        b.checkAndComply();
        EXPECT_EQ(c.compatible, a.isAlgoCompatible(b));
        EXPECT_EQ(c.compatible, b.isAlgoCompatible(a));
    }
}

TEST_F(AllParametersTest, ChangedValuesAreRecordedInSetOrder)
{
    AllParameters all;
    EXPECT_EQ("All attributes have default value", all.getSetAttributeAsString());
    // Values equal to their defaults leave no record.
    all.set_DISPLAY_DEGREE(2);
    all.set_SEED(0);
    EXPECT_EQ("All attributes have default value", all.getSetAttributeAsString());

    // Display, problem, then run: recorded in the order run, problem, ...,
    // display, whatever the order of the calls.
    all.set_DISPLAY_DEGREE(1);
    all.set_DIMENSION(4);
    all.set_SEED(3);
    EXPECT_EQ(" [ SEED 3 ]  [ DIMENSION 4 ]  [ DISPLAY_DEGREE 1 ] ", all.getSetAttributeAsString());
}

TEST_F(AllParametersTest, DisplayWarnsForUncheckedSetsAndShowsSevenSections)
{
    const std::vector<std::string> headers = {
        "----- RUN PARAMETERS -----",
        "----- PROBLEM PARAMETERS -----",
        "----- EVAL PARAMETERS -----",
        "----- EVALUATOR CONTROL PARAMETERS (GLOBAL) -----",
        "----- EVALUATOR CONTROL PARAMETERS (BY MAIN THREAD)-----",
        "----- CACHE PARAMETERS -----",
        "----- DISPLAY PARAMETERS -----"};
    const std::string facadeWarning =
        "Warning: AllParameters::display(): Parameters are not checked.\n";
    std::string setWarnings;
    for (int i = 0; i < 7; ++i)
    {
        setWarnings += "Warning: Parameters::display(): Parameters are not checked.\n";
    }

    const struct
    {
        const char* what;
        bool checked;
        bool helpInfo;
        std::string cerr;
    } cases[] = {
        {"new facade, values", false, false, facadeWarning + setWarnings},
        {"new facade, help texts", false, true, facadeWarning},
        {"checked facade, values", true, false, ""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        AllParameters all;
        if (c.checked)
        {
            all.set_DIMENSION(2);
            all.checkAndComply();
        }
        CerrCapture cerr;
        std::ostringstream os;
        all.display(os, c.helpInfo);
        EXPECT_EQ(c.cerr, cerr.text());

        // The headers in order, each followed by its set's lines, which
        // start with its first keyword in name order.
        const char* const firstKeywords[] = {
            "ADD_SEED_TO_FILE_NAMES",    "BB_INPUT_TYPE", "BB_EXE",          "BB_MAX_BLOCK_SIZE",
            "MAX_BB_EVAL_IN_SUBPROBLEM", "CACHE_FILE",    "DISPLAY_ALL_EVAL"};
        std::istringstream lines(os.str());
        std::string line;
        std::vector<std::string> seen;
        while (std::getline(lines, line))
        {
            if (line.rfind("----- ", 0) != 0)
            {
                continue;
            }
            seen.push_back(line);
            std::string next;
            std::getline(lines, next);
            if (!c.helpInfo && seen.size() <= 7)
            {
                EXPECT_EQ(0u, next.find(std::string(firstKeywords[seen.size() - 1]) + " ")) << next;
            }
        }
        EXPECT_EQ(headers, seen);
        EXPECT_EQ(0u, os.str().find(headers[0] + "\n"));
    }
}

TEST_F(AllParametersTest, HelpWithoutAMatchSaysSoInBothModes)
{
    AllParameters all;
    const struct
    {
        const char* subject;
        bool developer;
    } cases[] = {
        {"NO_SUCH_SUBJECT", false},
        {"NO_SUCH_SUBJECT", true},
        // The subject is not upper-cased: a lower-case one matches nothing.
        {"cache", false},
        {"dimension", true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.subject);
        std::ostringstream os;
        all.displayHelp(c.subject, c.developer, os);
        EXPECT_EQ(std::string("No help found for ") + c.subject + "\n\n", os.str());
    }
}

TEST_F(AllParametersTest, HelpGroupsBasicThenAdvancedUnderBanners)
{
    AllParameters all;
    std::ostringstream os;
    all.displayHelp("CACHE", false, os);
    const std::string text = os.str();

    const std::string basicHead = DASHES + "\n" + BASIC_BANNER + "\n" + DASHES + "\n\n";
    const std::string advancedHead = DASHES + "\n" + ADVANCED_BANNER + "\n" + DASHES + "\n\n";
    ASSERT_EQ(0u, text.find(basicHead)) << text;
    const size_t advanced = text.find(advancedHead);
    ASSERT_NE(std::string::npos, advanced) << text;
    // CACHE_FILE is a basic keyword, MAX_CACHE_SIZE an advanced one.
    const size_t cacheFile = text.find("\nCACHE_FILE {");
    const size_t maxCacheSize = text.find("\nMAX_CACHE_SIZE {");
    EXPECT_LT(cacheFile, advanced);
    EXPECT_GT(maxCacheSize, advanced);
    EXPECT_NE(std::string::npos, maxCacheSize);
    // Each section: its blocks, then two more ends of line.
    EXPECT_EQ("}\n\n\n\n" + advancedHead, text.substr(advanced - 5, 5 + advancedHead.size()));
    EXPECT_EQ("}\n\n\n\n", text.substr(text.size() - 5));
    EXPECT_EQ(79u, BASIC_BANNER.size());
    EXPECT_EQ(79u, ADVANCED_BANNER.size());
}

TEST_F(AllParametersTest, DeveloperHelpFindsTheTablesDeveloperKeywords)
{
    // The tables spell the help keyword "developer": developer mode must
    // still find those parameters (the basic ones among them).
    AllParameters all;
    std::ostringstream os;
    all.displayHelp("TESKORA_MODEL_TRIALS", true, os);
    const std::string text = os.str();
    EXPECT_EQ(0u, text.find(DASHES + "\n" + DEVELOPPER_BANNER + "\n" + DASHES + "\n")) << text;
    EXPECT_NE(std::string::npos, text.find("TESKORA_MODEL_TRIALS {")) << text;
}

TEST_F(AllParametersTest, DeveloperHelpShowsOnlyTheBasicDeveloperBlocks)
{
    AllParameters all;
    // The real tables spell their developer keyword otherwise; two attributes
    // that carry the help keyword "developper" show the developer banner.
    all.get_eval_params()->registerAttribute<int>("QARNO_TEST_DEV_BASIC", 0, false, false, true,
                                                  " short ", " Basic help. ", " developper ");
    all.get_cache_params()->registerAttribute<int>("QARNO_TEST_DEV_ADVANCED", 0, false, false, true,
                                                   " short ", " Advanced help. ",
                                                   " developper advanced ");
    const std::string basicBlock = "QARNO_TEST_DEV_BASIC { Basic help. \n}\n\n";
    const std::string advancedBlock = "QARNO_TEST_DEV_ADVANCED { Advanced help. \n}\n\n";

    const struct
    {
        bool developer;
        std::string expected;
    } cases[] = {
        {true, DASHES + "\n" + DEVELOPPER_BANNER + "\n" + DASHES + "\n" + basicBlock + "\n\n"},
        {false, DASHES + "\n" + BASIC_BANNER + "\n" + DASHES + "\n\n" + basicBlock + "\n\n" +
                    DASHES + "\n" + ADVANCED_BANNER + "\n" + DASHES + "\n\n" + advancedBlock +
                    "\n\n"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.developer ? "developer" : "normal");
        std::ostringstream os;
        all.displayHelp("QARNO_TEST_DEV", c.developer, os);
        EXPECT_EQ(c.expected, os.str());
    }
    EXPECT_EQ(79u, DEVELOPPER_BANNER.size());

    // Only the advanced block matches: nothing in developer mode.
    std::ostringstream os;
    all.displayHelp("QARNO_TEST_DEV_ADVANCED", true, os);
    EXPECT_EQ("No help found for QARNO_TEST_DEV_ADVANCED\n\n", os.str());
}

TEST_F(AllParametersTest, TwoRunsInOneProcessGiveTheSameSetsAndWarnOnce)
{
    TempDir dir;
    const std::string file = dir.file("param.txt");
    std::vector<std::string> lines = configurationLines(dir.path() + "/");
    lines.push_back("UNKNOWN_KEYWORD 1");
    writeFile(file, lines);
    const std::string warning = "Warning: Unrecognized parameters in file " + file +
                                ":\nline 13: Unrecognized parameter: UNKNOWN_KEYWORD\n"
                                "Ignoring unknown parameters.\n";

    // Each run reads the file afresh, as a new run of the module does; the
    // one-time warning is process-wide and only the first run shows it,
    // until the process state is put back to its load state.
    const struct
    {
        const char* what;
        bool resetProcessState;
        std::string cerr;
    } runs[] = {
        {"first run", false, warning},
        {"second run", false, ""},
        {"run after a reset of the process state", true, warning},
    };
    std::string firstDisplay;
    for (const auto& run : runs)
    {
        SCOPED_TRACE(run.what);
        if (run.resetProcessState)
        {
            ProcessStateGuard::resetToLoadState();
        }
        auto all = std::make_shared<AllParameters>();
        CerrCapture cerr;
        all->read(file, false, true);
        all->checkAndComply();
        EXPECT_EQ(run.cerr, cerr.text());
        EXPECT_EQ(7, RNG::_s);
        const std::string text = displayed(*all);
        if (firstDisplay.empty())
        {
            firstDisplay = text;
        }
        EXPECT_EQ(firstDisplay, text);
    }
}

// ---------------------------------------------------------------------------
// Convenience accessors
// ---------------------------------------------------------------------------

TEST_F(AllParametersTest, CountsGivenAsIntMapMinusOneAndLargestIntToNoLimit)
{
    const struct
    {
        int given;
        size_t stored;
        int readBack;
    } cases[] = {
        {-1, INF_SIZE, -1},
        {INT_MAX, INF_SIZE, -1},
        {100, 100, 100},
        {INT_MAX - 1, size_t(INT_MAX - 1), INT_MAX - 1},
        // Any other negative count wraps around: still beyond the largest int.
        {-5, INF_SIZE - 4, -1},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.given);
        AllParameters all;
        all.set_DIMENSION(2);
        all.set_MAX_BB_EVAL(c.given);
        all.set_MAX_EVAL(c.given);
        all.set_MAX_ITERATIONS(c.given);
        const auto& evc = *all.get_evc_global_params();
        EXPECT_EQ(c.stored, evc.getSpValue<size_t>("MAX_BB_EVAL", false, false));
        EXPECT_EQ(c.stored, evc.getSpValue<size_t>("MAX_EVAL", false, false));
        EXPECT_EQ(c.stored,
                  all.get_run_params()->getSpValue<size_t>("MAX_ITERATIONS", false, false));
        all.checkAndComply();
        EXPECT_EQ(c.readBack, all.get_max_bb_eval());
        EXPECT_EQ(c.readBack, all.get_max_iterations());
    }
}

TEST_F(AllParametersTest, PollSizeAccessorsUseTheFrameSizeKeywords)
{
    AllParameters all;
    all.set_DIMENSION(2);
    all.set_X0(Point(makeArray({0, 0})));
    all.set_INITIAL_POLL_SIZE(makeArray({2, 4}));
    all.set_MIN_POLL_SIZE(makeArray({0.01, 0.02}));
    const auto& pb = *all.get_pb_params();
    EXPECT_EQ("2 4", pb.getSpValue<ArrayOfDouble>("INITIAL_FRAME_SIZE", false, false).display());
    EXPECT_EQ("0.01 0.02", pb.getSpValue<ArrayOfDouble>("MIN_FRAME_SIZE", false, false).display());
    EXPECT_FALSE(pb.getSpValue<ArrayOfDouble>("INITIAL_POLL_SIZE", false, false).isDefined());
    EXPECT_FALSE(pb.getSpValue<ArrayOfDouble>("MIN_POLL_SIZE", false, false).isDefined());

    all.checkAndComply();
    EXPECT_EQ("2 4", all.get_initial_poll_size().display());
    EXPECT_EQ("0.01 0.02", all.get_min_poll_size().display());
    EXPECT_EQ(&pb.getAttributeValue<ArrayOfDouble>("INITIAL_FRAME_SIZE"),
              &all.get_initial_poll_size());
    EXPECT_EQ(&pb.getAttributeValue<ArrayOfDouble>("MIN_FRAME_SIZE"), &all.get_min_poll_size());
}

TEST_F(AllParametersTest, SetX0LeavesOneStartingPoint)
{
    AllParameters all;
    all.set_DIMENSION(2);
    all.setAttributeValue("X0", ArrayOfPoint{Point(makeArray({1, 1})), Point(makeArray({2, 2})),
                                             Point(makeArray({3, 3}))});
    all.checkAndComply();
    EXPECT_EQ(3u, all.get_x0s().size());

    all.set_X0(Point(makeArray({4, 5})));
    all.checkAndComply();
    ASSERT_EQ(1u, all.get_x0s().size());
    EXPECT_EQ("( 4 5 )", all.get_x0().display());
    EXPECT_EQ(&all.get_x0s()[0], &all.get_x0());

    // An empty list (which a check never leaves) has no first point.
    all.get_pb_params()->setSpValueDefault<ArrayOfPoint>("X0", ArrayOfPoint());
    EXPECT_EQ("In getAttributeValue<Point> : the attribute X0 contains no point.",
              messageOf([&] { all.get_x0(); }));
}

TEST_F(AllParametersTest, DimensionReadsBeforeTheCheckBoundsDoNot)
{
    AllParameters all;
    all.set_DIMENSION(3);
    EXPECT_EQ(3, all.get_dimension());
    EXPECT_THROW(all.get_lb(), ParameterToBeChecked);
    EXPECT_THROW(all.get_display_stats(), ParameterToBeChecked);
}

TEST_F(AllParametersTest, ResetsMarkTheFacadeToBeChecked)
{
    const struct
    {
        const char* what;
        std::function<void(AllParameters&)> reset;
        const char* toBeChecked;
    } cases[] = {
        {"reset_bounds", [](AllParameters& all) { all.reset_bounds(); }, ".P....."},
        {"resetStatsFile", [](AllParameters& all) { all.resetStatsFile(); }, "...D..."},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        AllParameters all;
        all.set_DIMENSION(2);
        all.set_LOWER_BOUND(makeArray({-1, -2}));
        all.set_UPPER_BOUND(makeArray({1, 2}));
        all.set_STATS_FILE(ArrayOfString("/tmp/stats.txt BBE", " "));
        all.checkAndComply();
        ASSERT_FALSE(all.toBeChecked());

        c.reset(all);
        EXPECT_TRUE(all.toBeChecked());
        EXPECT_EQ(c.toBeChecked, setsToBeChecked(all));
        all.checkAndComply();
        if (c.toBeChecked[1] == 'P')
        {
            EXPECT_FALSE(all.get_lb().isDefined());
            EXPECT_FALSE(all.get_ub().isDefined());
            EXPECT_EQ("/tmp/stats.txt BBE", all.get_stats_file().display());
        }
        else
        {
            EXPECT_EQ(0u, all.get_stats_file().size());
            EXPECT_EQ("-1 -2", all.get_lb().display());
        }
    }
}

TEST_F(AllParametersTest, AccessorsReadAndWriteTheirKeywords)
{
    const struct
    {
        const char* keyword;
        std::function<void(AllParameters&)> set;
        std::function<std::string(const AllParameters&)> get;
        std::string expected;
    } cases[] = {
        {"SEED", [](AllParameters& a) { a.set_SEED(11); },
         [](const AllParameters& a) { return std::to_string(a.getAttributeValue<int>("SEED")); },
         "11"},
        {"DISPLAY_DEGREE", [](AllParameters& a) { a.set_DISPLAY_DEGREE(3); },
         [](const AllParameters& a) { return std::to_string(a.get_display_degree()); }, "3"},
        {"UNDEF_STR", [](AllParameters& a) { a.set_UNDEF_STR("UNDEFINED"); },
         [](const AllParameters& a) { return a.get_undef_str(); }, "UNDEFINED"},
        {"INF_STR", [](AllParameters& a) { a.set_INF_STR("INFINITY"); },
         [](const AllParameters& a) { return a.get_inf_str(); }, "INFINITY"},
        {"TMP_DIR", [](AllParameters& a) { a.set_TMP_DIR("/var/tmp/"); },
         [](const AllParameters& a) { return a.get_tmp_dir(); }, "/var/tmp/"},
        {"PROBLEM_DIR", [](AllParameters&) {},
         [](const AllParameters& a) { return a.get_problem_dir(); }, "./"},
        // Set by keyword, not by a parameter line: not completed or tested.
        {"BB_EXE", [](AllParameters& a) { a.set_BB_EXE("bb.exe"); },
         [](const AllParameters& a) { return a.get_bb_exe(); }, "bb.exe"},
        {"DISPLAY_ALL_EVAL", [](AllParameters& a) { a.set_DISPLAY_ALL_EVAL(true); },
         [](const AllParameters& a) { return std::to_string(a.get_display_all_eval()); }, "1"},
        {"ADD_SEED_TO_FILE_NAMES", [](AllParameters& a) { a.set_ADD_SEED_TO_FILE_NAMES(false); },
         [](const AllParameters& a) { return std::to_string(a.get_add_seed_to_file_names()); },
         "0"},
        {"BB_INPUT_TYPE",
         [](AllParameters& a) {
             a.set_BB_INPUT_TYPE({BBInputType::CONTINUOUS, BBInputType::INTEGER});
         },
         [](const AllParameters& a)
         {
             std::ostringstream os;
             os << a.get_bb_input_type();
             return os.str();
         },
         "R I"},
        {"BB_OUTPUT_TYPE",
         [](AllParameters& a) {
             a.set_BB_OUTPUT_TYPE({BBOutputType::OBJ, BBOutputType::EB});
         },
         [](const AllParameters& a)
         {
             std::ostringstream os;
             for (const auto& t : a.get_bb_output_type())
             {
                 os << t << " ";
             }
             return os.str();
         },
         "OBJ EB "},
        {"EPSILON", [](AllParameters& a) { a.set_EPSILON(Double(1e-10)); },
         [](const AllParameters& a) { return a.get_epsilon().tostring(); }, "1e-10"},
        {"MIN_MESH_SIZE",
         [](AllParameters& a) {
             a.set_MIN_MESH_SIZE(makeArray({0.001, 0.002}));
         },
         [](const AllParameters& a) { return a.get_min_mesh_size().display(); }, "0.001 0.002"},
        {"INITIAL_MESH_SIZE",
         [](AllParameters& a) {
             a.set_INITIAL_MESH_SIZE(makeArray({0.5, 0.25}));
         },
         [](const AllParameters& a) { return a.get_initial_mesh_size().display(); }, "0.5 0.25"},
        {"LOWER_BOUND",
         [](AllParameters& a) {
             a.set_LOWER_BOUND(makeArray({-1, -3}));
         },
         [](const AllParameters& a) { return a.get_lb().display(); }, "-1 -3"},
        {"UPPER_BOUND",
         [](AllParameters& a) {
             a.set_UPPER_BOUND(makeArray({1, 3}));
         },
         [](const AllParameters& a) { return a.get_ub().display(); }, "1 3"},
        {"GRANULARITY",
         [](AllParameters& a) {
             a.set_GRANULARITY(makeArray({0.5, 0}));
         },
         [](const AllParameters& a) { return a.get_granularity().display(); }, "0.5 0"},
        {"DISPLAY_STATS",
         [](AllParameters& a) { a.set_DISPLAY_STATS(ArrayOfString("BBE OBJ CONS_H", " ")); },
         [](const AllParameters& a) { return a.get_display_stats().display(); }, "BBE OBJ CONS_H"},
        {"STATS_FILE",
         [](AllParameters& a) { a.set_STATS_FILE(ArrayOfString("/tmp/s.txt BBE", " ")); },
         [](const AllParameters& a) { return a.get_stats_file().display(); }, "/tmp/s.txt BBE"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.keyword);
        AllParameters all;
        all.set_DIMENSION(2);
        all.set_X0(Point(makeArray({0, 0})));
        c.set(all);
        all.checkAndComply();
        EXPECT_EQ(c.expected, c.get(all));
    }
}

TEST_F(AllParametersTest, AccessorsOfANewCheckedFacadeGiveTheDefaults)
{
    auto all = checkedFacade();
    EXPECT_EQ("./", all->get_problem_dir());
    EXPECT_EQ("NaN", all->get_undef_str());
    EXPECT_EQ("inf", all->get_inf_str());
    EXPECT_EQ("/tmp/", all->get_tmp_dir());
    EXPECT_EQ("", all->get_bb_exe());
    EXPECT_EQ(-1, all->get_max_bb_eval());
    EXPECT_EQ(-1, all->get_max_iterations());
    EXPECT_EQ(2, all->get_dimension());
    EXPECT_EQ(1e-13, all->get_epsilon().todouble());
    EXPECT_EQ(2, all->get_display_degree());
    EXPECT_FALSE(all->get_display_all_eval());
    EXPECT_TRUE(all->get_add_seed_to_file_names());
    EXPECT_EQ("BBE OBJ", all->get_display_stats().display());
    EXPECT_EQ(0u, all->get_stats_file().size());
    EXPECT_EQ((BBOutputTypeList{BBOutputType::OBJ}), all->get_bb_output_type());
    EXPECT_EQ(2u, all->get_bb_input_type().size());
}

} // namespace
