// The display parameters: their definition table, the precision of points
// derived from the granularity, the completion of the output file names and
// the rules that keep the output layer safe.

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <locale>
#include <memory>
#include <sstream>
#include <string>
#include <typeindex>
#include <vector>

#include "Math/ArrayOfDouble.hpp"
#include "Math/Double.hpp"
#include "Math/Point.hpp"
#include "Param/DisplayParameters.hpp"
#include "Param/EvaluatorControlGlobalParameters.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/ArrayOfString.hpp"
#include "Util/Utils.hpp"
#include "support/TestParameters.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::CerrCapture;
using QarnoTest::makeArray;
using QarnoTest::outcomeOf;
using QarnoTest::ProcessStateGuard;
using QarnoTest::TempDir;
using QarnoTest::UNDEF;

namespace
{

std::string textOf(const ArrayOfDouble& values)
{
    std::ostringstream oss;
    oss.imbue(std::locale::classic());
    oss << values;
    return oss.str();
}

/// A checked problem set of dimension n with X0 at the origin (a multiple of
/// every granularity); no granularity given when `granularity` is empty.
std::shared_ptr<PbParameters> checkedPb(size_t n, const std::vector<double>& granularity = {})
{
    auto pb = std::make_shared<PbParameters>();
    pb->setAttributeValue<size_t>("DIMENSION", n);
    pb->setAttributeValue<Point>("X0", Point(n, Double(0.0)));
    if (!granularity.empty())
    {
        pb->setAttributeValue<ArrayOfDouble>("GRANULARITY", makeArray(granularity));
    }
    pb->checkAndComply();
    return pb;
}

/// A problem set whose granularity stays at its default: only DIMENSION is
/// set, which may be read without a check.
std::shared_ptr<PbParameters> pbWithDefaultGranularity(size_t n)
{
    auto pb = std::make_shared<PbParameters>();
    pb->setAttributeValue<size_t>("DIMENSION", n);
    return pb;
}

struct RunSettings
{
    std::string problemDir; // empty: the default "./"
    int seed;
    bool addSeed;
};

std::shared_ptr<RunParameters> checkedRun(const std::shared_ptr<PbParameters>& pb,
                                          const RunSettings& settings)
{
    auto evcGlobal = std::make_shared<EvaluatorControlGlobalParameters>();
    evcGlobal->checkAndComply(pb);
    auto run = std::make_shared<RunParameters>();
    if (!settings.problemDir.empty())
    {
        run->setAttributeValue<std::string>("PROBLEM_DIR", settings.problemDir);
    }
    run->setAttributeValue<int>("SEED", settings.seed);
    run->setAttributeValue<bool>("ADD_SEED_TO_FILE_NAMES", settings.addSeed);
    run->checkAndComply(evcGlobal, pb);
    return run;
}

std::shared_ptr<RunParameters> checkedRun(const std::shared_ptr<PbParameters>& pb)
{
    return checkedRun(pb, RunSettings{"", 0, true});
}

/// Every value of the set after a check, as one text.
std::string allValues(const DisplayParameters& display)
{
    std::ostringstream oss;
    oss.imbue(std::locale::classic());
    oss << display.getAttributeValue<ArrayOfString>("DISPLAY_STATS").display() << " | "
        << textOf(display.getAttributeValue<ArrayOfDouble>("SOL_FORMAT")) << " | "
        << display.getAttributeValue<ArrayOfString>("STATS_FILE").display() << " | "
        << display.getAttributeValue<std::string>("MAIN_STATS_FILE") << " | "
        << display.getAttributeValue<std::string>("HISTORY_FILE") << " | "
        << display.getAttributeValue<std::string>("SOLUTION_FILE");
    return oss.str();
}

} // namespace

// ---------------------------------------------------------------------------
// Definition table
// ---------------------------------------------------------------------------

TEST(DisplayParametersTable, KeywordsTypesDefaultsFlagsAndInfos)
{
    ProcessStateGuard guard;
    DisplayParameters display;
    EXPECT_EQ("Display", display.getTypeName());
    EXPECT_EQ(13u, display.getAttributes().size());

    const struct
    {
        const char* name;
        std::type_index type;
        const char* defaultText; // the default value as the set shows it
        bool restart;
        const char* shortInfo;
        const char* keywords;
    } cases[] = {
        {"DISPLAY_STATS", typeid(ArrayOfString), "BBE OBJ", true,
         " Format for displaying the evaluation points ",
         "  basic display displays output outputs stat stats success successes  "},
        {"DISPLAY_DEGREE", typeid(int), "2", true, " Level of verbose during execution ",
         "  basic display verbose output outputs info infos  "},
        {"DISPLAY_ALL_EVAL", typeid(bool), "false", true, " Flag to display all evaluations ",
         "  basic display displays stat stats eval evals evaluation evaluations   "},
        {"DISPLAY_INFEASIBLE", typeid(bool), "false", true, " Flag to display infeasible ",
         "  advanced display displays infeasible  "},
        {"DISPLAY_UNSUCCESSFUL", typeid(bool), "true", true, " Flag to display unsuccessful ",
         "  advanced display displays success successes failed failure failures fail fails  "},
        {"STATS_FILE", typeid(ArrayOfString), " - ", false, " The name of the stats file ",
         "  basic stat stats file files name display displays output outputs  "},
        {"MAIN_STATS_FILE", typeid(std::string), "-", false, " The name of the main stats file ",
         "  basic main detailed stat stats file files success successes evaluation "
         "evaluations  "},
        {"SOL_FORMAT", typeid(ArrayOfDouble), "", true, " Format of the solution ",
         "  advanced internal  "},
        {"DISPLAY_HEADER", typeid(size_t), "40", true,
         " Frequency at which the stats header is displayed ", "  advanced  "},
        {"OBJ_WIDTH", typeid(size_t), "0", false, " Character width of the objective ",
         "  advanced internal  "},
        {"MAX_DISPLAY_STEP_LEVEL", typeid(size_t), "20", true,
         " Depth of the step after which info is not printed ", "  advanced  "},
        {"HISTORY_FILE", typeid(std::string), "", false, " The name of the history file ",
         "  basic history file name display displays output outputs  "},
        {"SOLUTION_FILE", typeid(std::string), "", false,
         " The name of the file containing the best feasible solution ",
         "  basic solution best incumbent file name display displays output outputs  "},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const auto attribute = display.getAttribute(c.name);
        ASSERT_NE(nullptr, attribute);
        const std::type_index* type = Parameters::findTypeOfAttribute(c.name);
        ASSERT_NE(nullptr, type);
        EXPECT_EQ(c.type, *type);
        EXPECT_FALSE(attribute->isForAlgoCompatibilityCheck());
        EXPECT_EQ(c.restart, attribute->isRestartAttribute());
        EXPECT_TRUE(attribute->getParamFromUniqueEntry());
        EXPECT_EQ(c.shortInfo, attribute->getShortInfo());
        EXPECT_EQ(c.keywords, attribute->getKeywords());

        std::string defaultText;
        if (*type == typeid(ArrayOfString))
        {
            defaultText = display.getSpValue<ArrayOfString>(c.name, false, true).display();
        }
        else if (*type == typeid(int))
        {
            defaultText = itos(display.getSpValue<int>(c.name, false, true));
        }
        else if (*type == typeid(bool))
        {
            defaultText = boolToString(display.getSpValue<bool>(c.name, false, true));
        }
        else if (*type == typeid(size_t))
        {
            defaultText = itos(display.getSpValue<size_t>(c.name, false, true));
        }
        else if (*type == typeid(std::string))
        {
            defaultText = display.getSpValue<std::string>(c.name, false, true);
        }
        else
        {
            const ArrayOfDouble& format = display.getSpValue<ArrayOfDouble>(c.name, false, true);
            EXPECT_FALSE(format.isDefined());
            defaultText = textOf(format);
        }
        EXPECT_EQ(c.defaultText, defaultText);
        EXPECT_TRUE(display.getAttribute(c.name)->getHelpInfo().size() > 0);
    }
}

TEST(DisplayParametersTable, HelpTextsFollowTheItemLayout)
{
    ProcessStateGuard guard;
    DisplayParameters display;
    for (const auto& attribute : display.getAttributes())
    {
        const std::string& help = attribute->getHelpInfo();
        SCOPED_TRACE(attribute->getName());
        const std::string lastItem = QarnoTest::helpLastItem(help);
        EXPECT_EQ(" . Default: ", lastItem.substr(0, 12));
    }
}

TEST(DisplayParametersTable, HelpSearchFindsTheFileKeywords)
{
    ProcessStateGuard guard;
    DisplayParameters display;
    std::ostringstream basic;
    std::ostringstream advanced;
    display.displayHelp("SEED", false, basic, advanced);
    // The four file names carry the seed; nothing else speaks of it.
    for (const char* name : {"STATS_FILE", "MAIN_STATS_FILE", "HISTORY_FILE", "SOLUTION_FILE"})
    {
        EXPECT_NE(std::string::npos, basic.str().find(std::string(name) + " {")) << name;
    }
    EXPECT_EQ("", advanced.str());
}

// ---------------------------------------------------------------------------
// Precision of points from the granularity
// ---------------------------------------------------------------------------

TEST(DisplayParametersFormat, DecimalsOfEachPositiveGranularity)
{
    ProcessStateGuard guard;
    DisplayParameters display;
    const double inf = std::numeric_limits<double>::infinity();
    const struct
    {
        const char* label;
        std::vector<Double> granularity;
        const char* format;
    } cases[] = {
        {"real, integer, hundredths", {0.0, 1.0, 0.01}, "6 0 2"},
        {"halves, quarters, steps of 3", {0.5, 0.25, 3.0}, "1 2 0"},
        // Subtracting powers of ten, these end at 13 decimals.
        {"steps whose subtractions round badly", {0.15, 0.075, 0.45}, "2 3 2"},
        {"large steps with decimals", {12345.678, 1e6 + 0.5, 1e15}, "3 1 0"},
        {"below the tolerance counts as 0", {1e-14, 1e-13, 2e-13}, "6 6 13"},
        {"small steps", {1e-10, 0.001, 0.3}, "10 3 1"},
        {"undefined is no granularity", {Double(), 0.1}, "6 1"},
        {"NaN is no granularity", {Double(std::nan("")), 0.1}, "6 1"},
        {"infinite steps are integral", {Double(inf), Double(DBL_MAX)}, "0 0"},
        {"empty", {}, ""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ArrayOfDouble granularity(c.granularity.size());
        for (size_t i = 0; i < c.granularity.size(); ++i)
        {
            granularity[i] = c.granularity[i];
        }
        std::string outcome = outcomeOf(
            [&]() { EXPECT_EQ(c.format, textOf(display.setFormatFromGranularity(granularity))); });
        EXPECT_EQ("ok", outcome);
    }
}

TEST(DisplayParametersCheck, SolFormatFromDimensionAndGranularity)
{
    ProcessStateGuard guard;
    const struct
    {
        const char* label;
        size_t n;
        std::vector<double> granularity;
        std::vector<double> userFormat; // empty: not given
        const char* format;
    } cases[] = {
        {"dimension 3 without granularity", 3, {}, {}, "6 6 6"},
        {"granularity 0 1 0.01", 3, {0.0, 1.0, 0.01}, {}, "6 0 2"},
        {"granularity for one variable only", 3, {UNDEF, 0.5, UNDEF}, {}, "6 1 6"},
        {"the granularity replaces a given format", 2, {0.1, 0.0}, {3.0, 4.0}, "1 6"},
        {"so does a problem without granularity", 2, {}, {3.0, 4.0}, "6 6"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        auto pb = checkedPb(c.n, c.granularity);
        auto run = checkedRun(pb);
        DisplayParameters display;
        if (!c.userFormat.empty())
        {
            display.setAttributeValue<ArrayOfDouble>("SOL_FORMAT", makeArray(c.userFormat));
        }
        display.checkAndComply(run, pb);
        EXPECT_FALSE(display.toBeChecked());
        EXPECT_EQ(c.format, textOf(display.getAttributeValue<ArrayOfDouble>("SOL_FORMAT")));
    }
}

TEST(DisplayParametersCheck, FormatKeptOrRejectedWhenTheGranularityIsAtItsDefault)
{
    ProcessStateGuard guard;
    const double inf = std::numeric_limits<double>::infinity();
    const std::string rule = "Parameters check: SOL_FORMAT must hold 3 integers from 0 to 20, "
                             "one per variable. Value provided: ";
    const struct
    {
        const char* label;
        std::vector<Double> format; // empty: not given
        std::string outcome;        // "ok" or the failure
        const char* formatAfter;
    } cases[] = {
        {"not given", {}, "ok", "6 6 6"},
        {"all undefined", {Double(), Double(), Double()}, "ok", "6 6 6"},
        {"three valid precisions", {0.0, 4.0, 20.0}, "ok", "0 4 20"},
        {"too short", {2.0, 2.0}, "Exception: " + rule + "( 2 2 )", ""},
        {"too long", {2.0, 2.0, 2.0, 2.0}, "Exception: " + rule + "( 2 2 2 2 )", ""},
        {"partly undefined", {2.0, Double(), 2.0}, "Exception: " + rule + "( 2 - 2 )", ""},
        {"negative", {2.0, -1.0, 2.0}, "Exception: " + rule + "( 2 -1 2 )", ""},
        {"not an integer", {2.0, 2.5, 2.0}, "Exception: " + rule + "( 2 2.5 2 )", ""},
        {"too large", {2.0, 21.0, 2.0}, "Exception: " + rule + "( 2 21 2 )", ""},
        {"INF", {2.0, DBL_MAX, 2.0}, "Exception: " + rule + "( 2 1.79769e+308 2 )", ""},
        {"infinite", {2.0, Double(inf), 2.0}, "Exception: " + rule + "( 2 inf 2 )", ""},
        {"huge", {2.0, 1e300, 2.0}, "Exception: " + rule + "( 2 1e+300 2 )", ""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        auto pb = pbWithDefaultGranularity(3);
        DisplayParameters display;
        if (!c.format.empty())
        {
            ArrayOfDouble format(c.format.size());
            for (size_t i = 0; i < c.format.size(); ++i)
            {
                format[i] = c.format[i];
            }
            display.setAttributeValue<ArrayOfDouble>("SOL_FORMAT", format);
        }
        // No file name: the run set is not needed.
        EXPECT_EQ(c.outcome, outcomeOf([&]() { display.checkAndComply(nullptr, pb); }));
        if (c.outcome == "ok")
        {
            EXPECT_EQ(c.formatAfter,
                      textOf(display.getAttributeValue<ArrayOfDouble>("SOL_FORMAT")));
        }
        else
        {
            EXPECT_TRUE(display.toBeChecked());
        }
    }
}

// ---------------------------------------------------------------------------
// Statistics formats
// ---------------------------------------------------------------------------

TEST(DisplayParametersCheck, DisplayStatsAndStatsFileFormats)
{
    ProcessStateGuard guard;
    TempDir dir;
    const std::string d = dir.path() + "/";
    const struct
    {
        const char* label;
        const char* displayStats; // nullptr: default
        const char* statsFile;    // nullptr: default
        std::string displayStatsAfter;
        std::string statsFileAfter;
    } cases[] = {
        {"defaults", nullptr, nullptr, "BBE OBJ", " - "},
        {"empty display format", "", nullptr, "BBE OBJ", " - "},
        {"given display format", "BBE ( SOL ) %.2fOBJ", nullptr, "BBE ( SOL ) %.2fOBJ", " - "},
        {"stats file name alone", nullptr, "stats.txt", "BBE OBJ", d + "stats.5.txt BBE OBJ"},
        {"stats file with format", nullptr, "stats.txt BBE SOL CONS_H", "BBE OBJ",
         d + "stats.5.txt BBE SOL CONS_H"},
        {"absolute stats file", nullptr, "/abs/st.txt EVAL", "BBE OBJ", "/abs/st.txt EVAL"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        auto pb = checkedPb(2);
        auto run = checkedRun(pb, RunSettings{dir.path(), 5, true});
        DisplayParameters display;
        if (nullptr != c.displayStats)
        {
            display.setAttributeValue<ArrayOfString>("DISPLAY_STATS",
                                                     ArrayOfString(c.displayStats, " "));
        }
        if (nullptr != c.statsFile)
        {
            display.setAttributeValue<ArrayOfString>("STATS_FILE", ArrayOfString(c.statsFile, " "));
        }
        display.checkAndComply(run, pb);
        EXPECT_EQ(c.displayStatsAfter,
                  display.getAttributeValue<ArrayOfString>("DISPLAY_STATS").display());
        EXPECT_EQ(c.statsFileAfter,
                  display.getAttributeValue<ArrayOfString>("STATS_FILE").display());
    }
}

// ---------------------------------------------------------------------------
// File names
// ---------------------------------------------------------------------------

TEST(DisplayParametersCheck, FileNamesCompletedWithProblemDirAndSeed)
{
    ProcessStateGuard guard;
    TempDir dir;
    const std::string d = dir.path() + "/";
    const std::string cwd = curdir();
    const struct
    {
        const char* label;
        std::string problemDir; // empty: the default "./"
        int seed;
        bool addSeed;
        const char* name;
        std::string completed;
    } cases[] = {
        {"seed added by default", d, 7, true, "history.txt", d + "history.7.txt"},
        {"without seed", d, 7, false, "history.txt", d + "history.txt"},
        {"seed 0", d, 0, true, "history.txt", d + "history.0.txt"},
        {"no extension", d, 12, true, "history", d + "history.12"},
        {"sub-directory", d, 3, true, "out/h.txt", d + "out/h.3.txt"},
        {"absolute name stays", d, 7, true, "/abs/h.txt", "/abs/h.txt"},
        {"problem dir without final slash", dir.path(), 7, true, "h.txt", d + "h.7.txt"},
        {"default problem dir", "", 4, true, "h.txt", cwd + "/./h.4.txt"},
        {"relative problem dir", "sub/", 4, false, "h.txt", cwd + "/sub/h.txt"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        auto pb = checkedPb(2);
        auto run = checkedRun(pb, RunSettings{c.problemDir, c.seed, c.addSeed});
        // Every file is completed alike, each alone or together.
        for (const char* keyword : {"HISTORY_FILE", "SOLUTION_FILE", "MAIN_STATS_FILE"})
        {
            SCOPED_TRACE(keyword);
            DisplayParameters display;
            display.setAttributeValue<std::string>(keyword, c.name);
            CerrCapture err;
            display.checkAndComply(run, pb);
            EXPECT_EQ("", err.text());
            EXPECT_EQ(c.completed, display.getAttributeValue<std::string>(keyword));
        }
        DisplayParameters display;
        display.setAttributeValue<ArrayOfString>("STATS_FILE", ArrayOfString(c.name, " "));
        display.checkAndComply(run, pb);
        EXPECT_EQ(c.completed + " BBE OBJ",
                  display.getAttributeValue<ArrayOfString>("STATS_FILE").display());
    }
}

TEST(DisplayParametersCheck, UnsetNamesStayAsTheyAre)
{
    ProcessStateGuard guard;
    TempDir dir;
    auto pb = checkedPb(2);
    auto run = checkedRun(pb, RunSettings{dir.path(), 7, true});
    DisplayParameters display;
    display.setAttributeValue<std::string>("SOLUTION_FILE", "sol.txt");
    display.checkAndComply(run, pb);
    EXPECT_EQ("", display.getAttributeValue<std::string>("HISTORY_FILE"));
    EXPECT_EQ("-", display.getAttributeValue<std::string>("MAIN_STATS_FILE"));
    EXPECT_EQ(0u, display.getAttributeValue<ArrayOfString>("STATS_FILE").size());
    EXPECT_EQ(dir.path() + "/sol.7.txt", display.getAttributeValue<std::string>("SOLUTION_FILE"));

    // "-" is no main statistics file, whatever the directory.
    DisplayParameters dash;
    dash.setAttributeValue<std::string>("MAIN_STATS_FILE", "-");
    dash.checkAndComply(run, pb);
    EXPECT_EQ("-", dash.getAttributeValue<std::string>("MAIN_STATS_FILE"));
}

TEST(DisplayParametersCheck, TwoKeywordsNamingOneFileAreRefused)
{
    ProcessStateGuard guard;
    TempDir dir;
    const std::string d = dir.path() + "/";
    const struct
    {
        const char* label;
        const char* statsFile;
        const char* mainStatsFile;
        const char* historyFile;
        std::string solutionFile;
        std::string message; // empty: accepted
    } cases[] = {
        {"history is solution", "", "", "out.txt", "out.txt",
         "Parameters check: HISTORY_FILE and SOLUTION_FILE name the same file: " + d + "out.1.txt"},
        {"relative and absolute forms of one file", "", "", "out.txt", d + "out.1.txt",
         "Parameters check: HISTORY_FILE and SOLUTION_FILE name the same file: " + d + "out.1.txt"},
        {"stats is history", "out.txt OBJ", "", "out.txt", "",
         "Parameters check: STATS_FILE and HISTORY_FILE name the same file: " + d + "out.1.txt"},
        {"main stats is solution", "", "out.txt", "", "out.txt",
         "Parameters check: MAIN_STATS_FILE and SOLUTION_FILE name the same file: " + d +
             "out.1.txt"},
        {"four different files", "s.txt", "m.txt", "h.txt", "x.txt", ""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        auto pb = checkedPb(2);
        auto run = checkedRun(pb, RunSettings{d, 1, true});
        DisplayParameters display;
        if (*c.statsFile)
        {
            display.setAttributeValue<ArrayOfString>("STATS_FILE", ArrayOfString(c.statsFile, " "));
        }
        if (*c.mainStatsFile)
        {
            display.setAttributeValue<std::string>("MAIN_STATS_FILE", c.mainStatsFile);
        }
        display.setAttributeValue<std::string>("HISTORY_FILE", c.historyFile);
        display.setAttributeValue<std::string>("SOLUTION_FILE", c.solutionFile);
        const std::string expected = c.message.empty() ? "ok" : "Exception: " + c.message;
        EXPECT_EQ(expected, outcomeOf([&]() { display.checkAndComply(run, pb); }));
        if (!c.message.empty())
        {
            // Nothing was written: the names are still those given.
            EXPECT_TRUE(display.toBeChecked());
            EXPECT_EQ(c.historyFile, display.getSpValue<std::string>("HISTORY_FILE", false, false));
        }
    }
}

// ---------------------------------------------------------------------------
// Errors
// ---------------------------------------------------------------------------

TEST(DisplayParametersCheck, RefusedValuesLeaveTheSetUnchanged)
{
    ProcessStateGuard guard;
    TempDir dir;
    const struct
    {
        const char* label;
        size_t n;
        bool withPb;
        bool withRun;
        bool runChecked;
        size_t displayHeader;
        size_t objWidth;
        std::string outcome;
    } cases[] = {
        {"dimension 0", 0, true, true, true, 40, 0,
         "Exception: Parameters check: DIMENSION must be positive"},
        {"no problem set", 2, false, true, true, 40, 0,
         "Exception: DisplayParameters::checkAndComply: Problem Parameters are NULL"},
        {"no run set with names to complete", 2, true, false, true, 40, 0,
         "Exception: DisplayParameters::checkAndComply: Run Parameters are NULL"},
        {"run set not checked", 2, true, true, false, 40, 0,
         "ParameterToBeChecked: Parameter to be checked. In getAttributeValue<T> the attribute "
         "PROBLEM_DIR has not been "
         "checked"},
        // 0 is no repeated header, which the output layer handles.
        {"header every 0 lines", 2, true, true, true, 0, 0, "ok"},
        {"objective wider than 1000", 2, true, true, true, 40, 1001,
         "Exception: Parameters check: OBJ_WIDTH must be at most 1000. Value provided: 1001"},
        {"INF objective width", 2, true, true, true, 40, std::numeric_limits<size_t>::max(),
         "Exception: Parameters check: OBJ_WIDTH must be at most 1000. Value provided: " +
             itos(std::numeric_limits<size_t>::max())},
        {"header never, widest objective", 2, true, true, true, std::numeric_limits<size_t>::max(),
         1000, "ok"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        auto pb = (0 == c.n) ? pbWithDefaultGranularity(0) : checkedPb(c.n);
        std::shared_ptr<RunParameters> run;
        if (c.withRun)
        {
            run = (0 == c.n) ? std::make_shared<RunParameters>()
                             : checkedRun(pb, {dir.path(), 1, true});
            if (!c.runChecked)
            {
                run->setAttributeValue<int>("SEED", 2);
            }
        }
        DisplayParameters display;
        display.setAttributeValue<std::string>("HISTORY_FILE", "h.txt");
        display.setAttributeValue<ArrayOfString>("DISPLAY_STATS", ArrayOfString());
        display.setAttributeValue<size_t>("DISPLAY_HEADER", c.displayHeader);
        display.setAttributeValue<size_t>("OBJ_WIDTH", c.objWidth);
        EXPECT_EQ(c.outcome,
                  outcomeOf([&]() { display.checkAndComply(run, c.withPb ? pb : nullptr); }));
        if (c.outcome != "ok")
        {
            EXPECT_TRUE(display.toBeChecked());
            EXPECT_EQ("h.txt", display.getSpValue<std::string>("HISTORY_FILE", false, false));
            EXPECT_EQ(0u, display.getSpValue<ArrayOfString>("DISPLAY_STATS", false, false).size());
            EXPECT_FALSE(display.getSpValue<ArrayOfDouble>("SOL_FORMAT", false, false).isDefined());
        }
        else
        {
            EXPECT_FALSE(display.toBeChecked());
            EXPECT_EQ(dir.path() + "/h.1.txt",
                      display.getAttributeValue<std::string>("HISTORY_FILE"));
        }
    }
}

TEST(DisplayParametersCheck, ProblemSetNotCheckedIsReportedWhenItsGranularityIsRead)
{
    ProcessStateGuard guard;
    auto pb = pbWithDefaultGranularity(2);
    pb->setAttributeValue<ArrayOfDouble>("GRANULARITY", makeArray({0.1, 0.0}));
    DisplayParameters display;
    EXPECT_EQ("ParameterToBeChecked: Parameter to be checked. In getAttributeValue<T> the "
              "attribute GRANULARITY has not "
              "been checked",
              outcomeOf([&]() { display.checkAndComply(nullptr, pb); }));
    EXPECT_TRUE(display.toBeChecked());
}

// ---------------------------------------------------------------------------
// Repeated checks
// ---------------------------------------------------------------------------

TEST(DisplayParametersCheck, SetNotMarkedIsLeftAlone)
{
    ProcessStateGuard guard;
    auto pb = checkedPb(2, {0.5, 0.0});
    auto run = checkedRun(pb);
    DisplayParameters display;
    display.checkAndComply(run, pb);
    // A change that does not mark the set is not looked at: no check runs,
    // not even with missing sets.
    display.setSpValueDefault<std::string>("HISTORY_FILE", "h.txt");
    display.checkAndComply(nullptr, nullptr);
    EXPECT_EQ("h.txt", display.getAttributeValue<std::string>("HISTORY_FILE"));
    EXPECT_EQ("1 6", textOf(display.getAttributeValue<ArrayOfDouble>("SOL_FORMAT")));
}

TEST(DisplayParametersCheck, SameResultFromTwoFreshSetsAndFromACheckedCopy)
{
    ProcessStateGuard guard;
    TempDir dir;
    auto fill = [](DisplayParameters& display)
    {
        display.setAttributeValue<ArrayOfString>("STATS_FILE", ArrayOfString("st.txt", " "));
        display.setAttributeValue<std::string>("MAIN_STATS_FILE", "main.txt");
        display.setAttributeValue<std::string>("HISTORY_FILE", "hist.txt");
        display.setAttributeValue<std::string>("SOLUTION_FILE", "sol");
        display.setAttributeValue<ArrayOfString>("DISPLAY_STATS", ArrayOfString());
    };
    const std::string d = dir.path() + "/";
    const std::string expected = "BBE OBJ | 2 6 0 | " + d + "st.9.txt BBE OBJ | " + d +
                                 "main.9.txt | " + d + "hist.9.txt | " + d + "sol.9";

    std::vector<std::string> results;
    for (int round = 0; round < 2; ++round)
    {
        auto pb = checkedPb(3, {0.01, 0.0, 2.0});
        auto run = checkedRun(pb, RunSettings{d, 9, true});
        auto display = std::make_shared<DisplayParameters>();
        fill(*display);
        display->checkAndComply(run, pb);
        results.push_back(allValues(*display));

        // A copy checked again (as for a sub-problem) keeps every completed
        // name: no second directory, no second seed.
        DisplayParameters copy;
        copy.copyParameters(*display);
        ASSERT_TRUE(copy.toBeChecked());
        copy.checkAndComply(run, pb);
        EXPECT_EQ(expected, allValues(copy));
    }
    EXPECT_EQ(expected, results[0]);
    EXPECT_EQ(results[0], results[1]);
}
