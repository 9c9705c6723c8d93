// The run parameters: their table, the settings they hand to the value
// types, and the checks that prepare a run.

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Math/Double.hpp"
#include "Math/Point.hpp"
#include "Math/RNG.hpp"
#include "Param/EvaluatorControlGlobalParameters.hpp"
#include "Param/InvalidParameter.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/ArrayOfString.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::CerrCapture;
using QarnoTest::messageOf;
using QarnoTest::ProcessStateGuard;
using QarnoTest::TempDir;

namespace
{

constexpr size_t NO_LIMIT = std::numeric_limits<size_t>::max();

/// Gives the tests the definition table the set registered.
class RunParametersTable : public RunParameters
{
public:
    using Parameters::_attributeDefinitions;
};

std::shared_ptr<PbParameters> checkedPb(size_t dimension)
{
    auto pb = std::make_shared<PbParameters>();
    pb->setAttributeValue<size_t>("DIMENSION", dimension);
    pb->setAttributeValue<Point>("X0", Point(dimension, Double(1.0)));
    CerrCapture ignoreWarnings;
    pb->checkAndComply();
    return pb;
}

std::shared_ptr<EvaluatorControlGlobalParameters> checkedEvcGlobal()
{
    auto evcGlobal = std::make_shared<EvaluatorControlGlobalParameters>();
    evcGlobal->checkAndComply(nullptr);
    return evcGlobal;
}

std::string words(const ArrayOfString& array)
{
    std::string text;
    for (size_t i = 0; i < array.size(); ++i)
    {
        text += (i == 0 ? "" : " ") + array[i];
    }
    return text;
}

/// How a run check ends: "ok", or the kind and message of its failure.
std::string checkOutcome(RunParameters& run,
                         const std::shared_ptr<EvaluatorControlGlobalParameters>& evcGlobal,
                         const std::shared_ptr<PbParameters>& pb)
{
    try
    {
        run.checkAndComply(evcGlobal, pb);
    }
    catch (const InvalidParameter& e)
    {
        return "InvalidParameter: " + messageOf(e);
    }
    catch (const Exception& e)
    {
        return "Exception: " + messageOf(e);
    }
    return "ok";
}

/// A parameter file of two keywords that no set knows, on lines 2 and 3.
std::string writeUnknownParamFile(const TempDir& dir)
{
    const std::string name = dir.file("param.txt");
    std::ofstream out(name);
    out << "# two unknown keywords\n"
        << "UNKNOWN_ONE 1\n"
        << "ANOTHER_UNKNOWN 2 3\n";
    return name;
}

/// What the check reports for that file (entries in keyword order).
std::string unknownParamText(const std::string& fileName)
{
    return "Unrecognized parameters in file " + fileName + ":\n" +
           "line 3: Unrecognized parameter: ANOTHER_UNKNOWN\n" +
           "line 2: Unrecognized parameter: UNKNOWN_ONE\n";
}

/// Builds fresh checked problem and evaluator-control sets and a fresh run
/// set, lets `setup` change the run set, checks it and gives the outcome
/// and what the check wrote on standard error.
struct CheckRun
{
    std::shared_ptr<RunParameters> run = std::make_shared<RunParameters>();
    std::string outcome;
    std::string cerr;

    CheckRun(size_t dimension, const std::function<void(RunParameters&)>& setup)
    {
        const auto pb = checkedPb(dimension);
        const auto evcGlobal = checkedEvcGlobal();
        setup(*run);
        CerrCapture capture;
        outcome = checkOutcome(*run, evcGlobal, pb);
        cerr = capture.text();
    }
};

} // namespace

// ---------------------------------------------------------------------------
// The table
// ---------------------------------------------------------------------------

TEST(RunParametersTable, FreshSetHoldsTheValueTypeSettings)
{
    const RunParameters run;
    EXPECT_EQ("Run", run.getTypeName());
    EXPECT_EQ(66u, run.getAttributes().size());
    EXPECT_TRUE(run.toBeChecked());

    const struct
    {
        const char* keyword;
        std::string expected;
    } texts[] = {
        {"PROBLEM_DIR", "./"},
        {"UNDEF_STR", "NaN"},
        {"INF_STR", "inf"},
        {"QARNO_VERSION", "4.0.0"},
        {"MODEL_DISPLAY", ""},
        {"HOT_RESTART_FILE", "hotrestart.txt"},
        {"TESKORA_MODEL_FILTER", "2345"},
    };
    for (const auto& c : texts)
    {
        SCOPED_TRACE(c.keyword);
        EXPECT_EQ(c.expected, run.getSpValue<std::string>(c.keyword, false, false));
    }
    EXPECT_EQ(1e-13, run.getSpValue<Double>("EPSILON", false, false).todouble());
    EXPECT_EQ(std::numeric_limits<double>::max(),
              run.getSpValue<Double>("H_MAX_0", false, false).todouble());
    EXPECT_EQ(-0.5, run.getSpValue<Double>("NM_DELTA_IC", false, false).todouble());
    EXPECT_EQ(NO_LIMIT, run.getSpValue<size_t>("MAX_TIME", false, false));
    EXPECT_EQ(NO_LIMIT, run.getSpValue<size_t>("SSD_MADS_NB_SUBPROBLEM", false, false));
    EXPECT_EQ(-1, run.getSpValue<int>("NB_THREADS_OPENMP", false, false));
    EXPECT_FALSE(run.getSpValue<bool>("TESKORA_MODEL_EVAL", false, false));
    EXPECT_FALSE(run.getSpValue<LHSearchType>("LH_SEARCH", false, false).isEnabled());
    EXPECT_EQ(0u, run.getSpValue<ArrayOfString>("DISABLE", false, false).size());
    EXPECT_EQ(TeskoraModelFormulationType::FS, run.getSpValue<TeskoraModelFormulationType>(
                                                   "TESKORA_MODEL_FORMULATION", false, false));
}

TEST(RunParametersTable, ShortInfosKeywordsAndFlags)
{
    const RunParameters run;
    const struct
    {
        const char* keyword;
        std::string shortInfo;
        std::string keywords;
        bool algo;
        bool restart;
        bool unique;
    } cases[] = {
        {"SEED", " The seed for the pseudo-random number generator ",
         "  advanced seed seeds random number run  ", true, true, true},
        {"NB_THREADS_OPENMP",
         " The number of threads when OpenMP parallel evaluations \n are enabled ",
         "  advanced thread threads openmp parallel eval evals evaluation evaluations  ", true,
         false, true},
        {"HOT_RESTART_FILE", " The name of the hot restart file ",
         "  advanced hot restart file files file interrupt  ", false, false, true},
        {"TESKORA_MODEL_EVAL", " Teskora Model Sampling of points ",
         "  advanced teskora model sampling  ", true, false, true},
        {"H_MAX_0", " Initial value of hMax. ",
         "  advanced hmax h_max constraint constraints pb feasibility progressive barrier  ", true,
         false, true},
        {"USER_CALLS_ENABLED", " Controls the automatic calls to user function ",
         "  advanced user users callback function functions  ", false, true, true},
        {"MAX_TIME", " Maximum wall-clock time in seconds ", "  basic clock stop time  ", false,
         true, true},
        {"NM_SEARCH", " Nelder Mead optimization used as a search step for Mads ",
         "  advanced nelder mead simplex mads search ", true, true, true},
        {"NM_SIMPLEX_INCLUDE_LENGTH", " Construct NM simplex using points in cache.",
         "  advanced nelder mead simplex length ", true, true, true},
        {"DISABLE", "Forcefully disable a feature", "  advanced model  ", true, true, false},
        {"SSD_MADS_ITER_OPPORTUNISTIC",
         " Opportunistic strategy between the Mads subproblems in SSD-MADS ",
         "  advanced sequential space ssd mads decomposition subproblem opportunistic  ", true,
         false, true},
        // The five set one by one: a short info only.
        {"EPSILON", " advanced precision double(s) value(s) number(s) ", "", false, true, true},
        {"UNDEF_STR", " advanced undef(ined) value(s) string(s) ", "", false, true, true},
        {"QARNO_VERSION", " advanced qarno version(s) release(s) revision(s) ", "", true, true,
         true},
        {"INF_STR", " advanced string(s) inf(inite) value(s) ", "", false, true, true},
        {"PROBLEM_DIR", " problem dir(ectory) folder(s) ", "", false, true, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.keyword);
        const auto attribute = run.getAttribute(c.keyword);
        ASSERT_NE(nullptr, attribute);
        EXPECT_EQ(c.shortInfo, attribute->getShortInfo());
        EXPECT_EQ(c.keywords, attribute->getKeywords());
        EXPECT_EQ(c.algo, attribute->isForAlgoCompatibilityCheck());
        EXPECT_EQ(c.restart, attribute->isRestartAttribute());
        EXPECT_EQ(c.unique, attribute->getParamFromUniqueEntry());
    }

    // DISABLE is the one keyword that may be given on several lines.
    for (const auto& attribute : run.getAttributes())
    {
        SCOPED_TRACE(attribute->getName());
        EXPECT_EQ(attribute->getName() != "DISABLE", attribute->getParamFromUniqueEntry());
    }
}

TEST(RunParametersTable, HelpTextsFollowOneLayout)
{
    const RunParametersTable run;
    ASSERT_EQ(61u, run._attributeDefinitions.size());
    for (const auto& def : run._attributeDefinitions)
    {
        SCOPED_TRACE(def._name);
        const std::string& help = run.getAttribute(def._name)->getHelpInfo();
        ASSERT_EQ(help, def._helpInfo);
        ASSERT_GT(help.size(), 6u);
        EXPECT_EQ(" \n . ", help.substr(0, 5));
        EXPECT_EQ("\n\n", help.substr(help.size() - 2));
        EXPECT_NE('\n', help[help.size() - 3]);

        // Items are separated by a line of two blanks; the last one gives
        // the default as registered.
        const std::string separator = "\n  \n";
        const size_t lastSeparator = help.rfind(separator);
        ASSERT_NE(std::string::npos, lastSeparator);
        const std::string lastItem = help.substr(
            lastSeparator + separator.size(), help.size() - 2 - lastSeparator - separator.size());
        if (def._name == "LH_SEARCH")
        {
            EXPECT_EQ(" . No default value", lastItem);
        }
        else
        {
            EXPECT_EQ(" . Default: " + (def._defaultValue.empty() ? "empty" : def._defaultValue),
                      lastItem);
        }
        size_t pos = 0;
        while ((pos = help.find(separator, pos)) != std::string::npos)
        {
            pos += separator.size();
            EXPECT_EQ(" . ", help.substr(pos, 3));
        }
        EXPECT_NE(std::string::npos, help.find(" . Example: " + def._name + " "))
            << "every help gives an example with its keyword";
    }
    for (const char* single : {"EPSILON", "UNDEF_STR", "QARNO_VERSION", "INF_STR", "PROBLEM_DIR"})
    {
        SCOPED_TRACE(single);
        EXPECT_EQ("", run.getAttribute(single)->getHelpInfo());
    }
    EXPECT_NO_THROW(run.checkInfo());
}

TEST(RunParametersTable, ARegistrationFailureIsReportedAsSuch)
{
    // Registering the table a second time meets SEED again.
    class RegisteredTwice : public RunParameters
    {
    public:
        void initAgain() { init(); }
    };
    RegisteredTwice run;
    const std::string message = messageOf([&] { run.initAgain(); });
    EXPECT_EQ("Attribute registration failed: ", message.substr(0, 31));
    EXPECT_NE(std::string::npos, message.find("SEED")) << message;
}

// ---------------------------------------------------------------------------
// setStaticParameters
// ---------------------------------------------------------------------------

TEST(RunParametersStatic, HandsSeedToleranceAndTextsToTheValueTypes)
{
    ProcessStateGuard guard;
    for (int i = 0; i < 3; ++i)
    {
        RNG::rand();
    }
    const uint32_t fourthDraw = RNG::rand();
    QarnoTest::resetRandomGenerator();

    RunParameters run;
    run.setAttributeValue<int>("SEED", 3);
    run.setAttributeValue<Double>("EPSILON", Double(1e-10));
    run.setAttributeValue<std::string>("UNDEF_STR", "undefined");
    run.setAttributeValue<std::string>("INF_STR", "infinity");
    run.setStaticParameters();

    EXPECT_EQ(3, RNG::_s);
    EXPECT_EQ(fourthDraw, RNG::rand());
    EXPECT_EQ(1e-10, Double::getEpsilon());
    EXPECT_TRUE(Double(1.0) == Double(1.0 + 5e-11));
    EXPECT_FALSE(Double(1.0) == Double(1.0 + 2e-10));
    std::ostringstream out;
    out << Double() << " " << Double(std::numeric_limits<double>::max());
    EXPECT_EQ("undefined infinity", out.str());

    // What the value types hold is written back, and the set must be
    // checked again.
    EXPECT_EQ(3, run.getSpValue<int>("SEED", false, false));
    EXPECT_EQ(1e-10, run.getSpValue<Double>("EPSILON", false, false).todouble());
    EXPECT_EQ("undefined", run.getSpValue<std::string>("UNDEF_STR", false, false));
    EXPECT_EQ("infinity", run.getSpValue<std::string>("INF_STR", false, false));
    EXPECT_TRUE(run.toBeChecked());
}

TEST(RunParametersStatic, PassesOnTheRefusalsOfTheValueTypes)
{
    ProcessStateGuard guard;
    const struct
    {
        const char* name;
        std::function<void(RunParameters&)> setup;
        std::string message;
    } cases[] = {
        {"negative seed", [](RunParameters& r) { r.setAttributeValue<int>("SEED", -2); },
         "QARNO::RNG::setSeed(): invalid seed. Seed should be in [0,INT_MAX]"},
        {"zero tolerance",
         [](RunParameters& r) { r.setAttributeValue<Double>("EPSILON", Double(0.0)); },
         "QARNO::Double::setEpsilon(): invalid epsilon"},
        {"tolerance below the machine precision",
         [](RunParameters& r) { r.setAttributeValue<Double>("EPSILON", Double(1e-20)); },
         "QARNO::Double::setEpsilon(): minimum value for epsilon is std epsilon = 2.22045e-16"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        RunParameters run;
        c.setup(run);
        EXPECT_EQ(c.message, messageOf([&] { run.setStaticParameters(); }));
        EXPECT_EQ(1e-13, Double::getEpsilon());
        EXPECT_EQ(0, RNG::_s);
    }
}

// ---------------------------------------------------------------------------
// checkAndComply
// ---------------------------------------------------------------------------

TEST(RunParametersCheck, RulesInputsDerivedValuesAndMessages)
{
    using Setup = std::function<void(RunParameters&)>;
    using Verify = std::function<void(const RunParameters&)>;
    const Verify nothing = [](const RunParameters&) {};
    const std::string modelsWarning =
        "Warning: Dimension 50 is greater than (or equal to) 50. Models are disabled.\n";
    const std::string exclusive =
        "Exception: Multiple parameters for algorithms are set. These parameters are mutually "
        "exclusive:";
    const std::string choose = ". Please review parameters settings and choose only one algorithm.";

    const struct
    {
        const char* name;
        size_t dimension;
        Setup setup;
        std::string outcome;
        std::string cerr;
        Verify verify;
    } cases[] = {
        {"defaults", 6, [](RunParameters&) {}, "ok", "",
         [](const RunParameters& r)
         {
             EXPECT_EQ("", words(r.getAttributeValue<ArrayOfString>("DISABLE")));
             EXPECT_EQ("TYPE PRS DEGREE 2",
                       words(r.getAttributeValue<ArrayOfString>("TESKORA_MODEL_DEFINITION")));
             EXPECT_EQ(4u, r.getAttributeValue<ArrayOfString>("TESKORA_MODEL_DEFINITION").size());
             EXPECT_EQ(NO_LIMIT, r.getAttributeValue<size_t>("SSD_MADS_NB_SUBPROBLEM"));
             const std::string file = r.getAttributeValue<std::string>("HOT_RESTART_FILE");
             EXPECT_EQ('/', file.front());
             EXPECT_EQ("/hotrestart.txt", file.substr(file.size() - 15));
         }},
        {"negative seed", 6, [](RunParameters& r) { r.setAttributeValue<int>("SEED", -1); },
         "Exception: Parameters check: SEED must be non-negative", "", nothing},
        {"other version", 6,
         [](RunParameters& r) { r.setAttributeValue<std::string>("QARNO_VERSION", "3.9.1"); },
         "Exception: Parameters check: QARNO_VERSION is not compatible with registered version "
         "4.0.0\n",
         "", nothing},
        {"anisotropy zero", 6,
         [](RunParameters& r) { r.setAttributeValue<Double>("ANISOTROPY_FACTOR", Double(0.0)); },
         "Exception: Parameters check: ANISOTROPY_FACTOR must be positive", "", nothing},
        {"anisotropy at the tolerance", 6,
         [](RunParameters& r) { r.setAttributeValue<Double>("ANISOTROPY_FACTOR", Double(1e-13)); },
         "Exception: Parameters check: ANISOTROPY_FACTOR must be positive", "", nothing},
        {"anisotropy small but positive", 6,
         [](RunParameters& r) { r.setAttributeValue<Double>("ANISOTROPY_FACTOR", Double(1e-3)); },
         "ok", "", nothing},
        {"tolerance too small", 6,
         [](RunParameters& r) { r.setAttributeValue<Double>("EPSILON", Double(-1.0)); },
         "Exception: QARNO::Double::setEpsilon(): invalid epsilon", "", nothing},
        {"disable upper-cased", 6,
         [](RunParameters& r)
         { r.setAttributeValue<ArrayOfString>("DISABLE", ArrayOfString("eval_sort Models", " ")); },
         "ok", "",
         [](const RunParameters& r)
         { EXPECT_EQ("EVAL_SORT MODELS", words(r.getAttributeValue<ArrayOfString>("DISABLE"))); }},
        {"dimension 49 keeps models", 49, [](RunParameters&) {}, "ok", "",
         [](const RunParameters& r)
         { EXPECT_EQ("", words(r.getAttributeValue<ArrayOfString>("DISABLE"))); }},
        {"dimension 50 disables models", 50, [](RunParameters&) {}, "ok", modelsWarning,
         [](const RunParameters& r)
         { EXPECT_EQ("MODELS", words(r.getAttributeValue<ArrayOfString>("DISABLE"))); }},
        {"dimension 50 with models already disabled", 50,
         [](RunParameters& r)
         { r.setAttributeValue<ArrayOfString>("DISABLE", ArrayOfString("eval_sort models", " ")); },
         "ok", "",
         [](const RunParameters& r)
         { EXPECT_EQ("EVAL_SORT MODELS", words(r.getAttributeValue<ArrayOfString>("DISABLE"))); }},
        {"dimension 50 with another word disabled", 50,
         [](RunParameters& r)
         { r.setAttributeValue<ArrayOfString>("DISABLE", ArrayOfString("eval_sort", " ")); },
         "ok", modelsWarning,
         [](const RunParameters& r)
         { EXPECT_EQ("EVAL_SORT MODELS", words(r.getAttributeValue<ArrayOfString>("DISABLE"))); }},
        {"model definition given", 6,
         [](RunParameters& r)
         {
             r.setAttributeValue<ArrayOfString>("TESKORA_MODEL_DEFINITION",
                                                ArrayOfString("TYPE KRIGING", " "));
         },
         "ok", "",
         [](const RunParameters& r)
         {
             EXPECT_EQ("TYPE KRIGING",
                       words(r.getAttributeValue<ArrayOfString>("TESKORA_MODEL_DEFINITION")));
         }},
        {"model trials zero", 6,
         [](RunParameters& r) { r.setAttributeValue<size_t>("TESKORA_MODEL_TRIALS", 0); },
         "Exception: Parameter TESKORA_MODEL_TRIALS must be positive", "", nothing},
        {"teskora model eval", 6,
         [](RunParameters& r) { r.setAttributeValue<bool>("TESKORA_MODEL_EVAL", true); },
         "Exception: Teskora Model sampling cannot be used. Either set parameter "
         "TESKORA_MODEL_EVAL to false, or recompile QARNO using option USE_TESKORA=1.",
         "", nothing},
        // The run says once that MADS goes without them; the checks of the
        // set, repeated on its copies, stay quiet.
        {"teskora search kept quietly", 6,
         [](RunParameters& r) { r.setAttributeValue<bool>("TESKORA_SEARCH", true); }, "ok", "",
         [](const RunParameters& r) { EXPECT_TRUE(r.getAttributeValue<bool>("TESKORA_SEARCH")); }},
        {"quad model search kept quietly", 6,
         [](RunParameters& r) { r.setAttributeValue<bool>("QUAD_MODEL_SEARCH", true); }, "ok", "",
         [](const RunParameters& r)
         { EXPECT_TRUE(r.getAttributeValue<bool>("QUAD_MODEL_SEARCH")); }},
        {"both model searches kept quietly", 6,
         [](RunParameters& r)
         {
             r.setAttributeValue<bool>("QUAD_MODEL_SEARCH", true);
             r.setAttributeValue<bool>("TESKORA_SEARCH", true);
         },
         "ok", "", nothing},
        {"psd mads", 6,
         [](RunParameters& r) { r.setAttributeValue<bool>("PSD_MADS_OPTIMIZATION", true); },
         "Exception: Error: PSD_MADS_OPTIMIZATION can only be used when OpenMP is available. If "
         "that is not the case, use SSD_MADS_OPTIMIZATION.",
         "", nothing},
        {"ssd mads derives the number of sub-problems", 6,
         [](RunParameters& r) { r.setAttributeValue<bool>("SSD_MADS_OPTIMIZATION", true); }, "ok",
         "",
         [](const RunParameters& r)
         {
             EXPECT_EQ(4u, r.getAttributeValue<size_t>("SSD_MADS_NB_SUBPROBLEM"));
             EXPECT_FALSE(r.isAttributeDefaultValue<size_t>("SSD_MADS_NB_SUBPROBLEM"));
         }},
        {"ssd mads with all variables in one sub-problem", 7,
         [](RunParameters& r)
         {
             r.setAttributeValue<bool>("SSD_MADS_OPTIMIZATION", true);
             r.setAttributeValue<size_t>("SSD_MADS_NB_VAR_IN_SUBPROBLEM", 7);
         },
         "ok", "",
         [](const RunParameters& r)
         { EXPECT_EQ(2u, r.getAttributeValue<size_t>("SSD_MADS_NB_SUBPROBLEM")); }},
        {"ssd mads keeps a given number of sub-problems", 6,
         [](RunParameters& r)
         {
             r.setAttributeValue<bool>("SSD_MADS_OPTIMIZATION", true);
             r.setAttributeValue<size_t>("SSD_MADS_NB_SUBPROBLEM", 3);
         },
         "ok", "",
         [](const RunParameters& r)
         { EXPECT_EQ(3u, r.getAttributeValue<size_t>("SSD_MADS_NB_SUBPROBLEM")); }},
        {"ssd mads sub-problem of no variable", 6,
         [](RunParameters& r)
         {
             r.setAttributeValue<bool>("SSD_MADS_OPTIMIZATION", true);
             r.setAttributeValue<size_t>("SSD_MADS_NB_VAR_IN_SUBPROBLEM", 0);
         },
         "InvalidParameter: Invalid Parameter. Parameter SSD_MADS_NB_VAR_IN_SUBPROBLEM must be "
         "between 1 and 6. Value provided: 0",
         "", nothing},
        {"ssd mads sub-problem larger than the problem", 6,
         [](RunParameters& r)
         {
             r.setAttributeValue<bool>("SSD_MADS_OPTIMIZATION", true);
             r.setAttributeValue<size_t>("SSD_MADS_NB_VAR_IN_SUBPROBLEM", 7);
         },
         "InvalidParameter: Invalid Parameter. Parameter SSD_MADS_NB_VAR_IN_SUBPROBLEM must be "
         "between 1 and 6. Value provided: 7",
         "", nothing},
        {"sub-problem size unchecked without ssd mads", 6,
         [](RunParameters& r) { r.setAttributeValue<size_t>("SSD_MADS_NB_VAR_IN_SUBPROBLEM", 0); },
         "ok", "", nothing},
        {"lh eval alone", 6, [](RunParameters& r) { r.setAttributeValue<size_t>("LH_EVAL", 10); },
         "ok", "", nothing},
        {"lh eval and nelder mead", 6,
         [](RunParameters& r)
         {
             r.setAttributeValue<bool>("NM_OPTIMIZATION", true);
             r.setAttributeValue<size_t>("LH_EVAL", 10);
         },
         exclusive + " LH_EVAL NM_OPTIMIZATION" + choose, "", nothing},
        {"four algorithms", 6,
         [](RunParameters& r)
         {
             r.setAttributeValue<bool>("SSD_MADS_OPTIMIZATION", true);
             r.setAttributeValue<bool>("QUAD_MODEL_OPTIMIZATION", true);
             r.setAttributeValue<bool>("NM_OPTIMIZATION", true);
             r.setAttributeValue<size_t>("LH_EVAL", 1);
         },
         exclusive + " LH_EVAL NM_OPTIMIZATION QUAD_MODEL_OPTIMIZATION SSD_MADS_OPTIMIZATION" +
             choose,
         "", nothing},
        {"quad model and ssd mads", 6,
         [](RunParameters& r)
         {
             r.setAttributeValue<bool>("SSD_MADS_OPTIMIZATION", true);
             r.setAttributeValue<bool>("QUAD_MODEL_OPTIMIZATION", true);
         },
         exclusive + " QUAD_MODEL_OPTIMIZATION SSD_MADS_OPTIMIZATION" + choose, "", nothing},
        {"hot restart file under the problem directory", 6,
         [](RunParameters& r)
         {
             r.setAttributeValue<std::string>("PROBLEM_DIR", "/data/problem/");
             r.setAttributeValue<std::string>("HOT_RESTART_FILE", "restart.txt");
         },
         "ok", "",
         [](const RunParameters& r) {
             EXPECT_EQ("/data/problem/restart.txt",
                       r.getAttributeValue<std::string>("HOT_RESTART_FILE"));
         }},
        {"problem directory without its final slash", 6,
         [](RunParameters& r)
         {
             r.setAttributeValue<std::string>("PROBLEM_DIR", "/data/problem");
             r.setAttributeValue<std::string>("HOT_RESTART_FILE", "restart.txt");
         },
         "ok", "",
         [](const RunParameters& r)
         {
             EXPECT_EQ("/data/problem/restart.txt",
                       r.getAttributeValue<std::string>("HOT_RESTART_FILE"));
             EXPECT_EQ("/data/problem", r.getAttributeValue<std::string>("PROBLEM_DIR"));
         }},
        {"absolute hot restart file", 6,
         [](RunParameters& r)
         {
             r.setAttributeValue<std::string>("PROBLEM_DIR", "/data/problem/");
             r.setAttributeValue<std::string>("HOT_RESTART_FILE", "/elsewhere/restart.txt");
         },
         "ok", "",
         [](const RunParameters& r) {
             EXPECT_EQ("/elsewhere/restart.txt",
                       r.getAttributeValue<std::string>("HOT_RESTART_FILE"));
         }},
        {"empty hot restart file", 6,
         [](RunParameters& r) { r.setAttributeValue<std::string>("HOT_RESTART_FILE", ""); }, "ok",
         "",
         [](const RunParameters& r)
         { EXPECT_EQ("", r.getAttributeValue<std::string>("HOT_RESTART_FILE")); }},
        {"h max at the tolerance", 6,
         [](RunParameters& r) { r.setAttributeValue<Double>("H_MAX_0", Double(1e-13)); },
         "Exception: Parameters check: H_MAX_0 must be positive", "", nothing},
        {"h max negative", 6,
         [](RunParameters& r) { r.setAttributeValue<Double>("H_MAX_0", Double(-4.0)); },
         "Exception: Parameters check: H_MAX_0 must be positive", "", nothing},
        {"h max just above the tolerance", 6,
         [](RunParameters& r) { r.setAttributeValue<Double>("H_MAX_0", Double(3e-13)); }, "ok", "",
         nothing},
        // The first failure wins, in the order of the checks.
        {"seed before version", 6,
         [](RunParameters& r)
         {
             r.setAttributeValue<std::string>("QARNO_VERSION", "3");
             r.setAttributeValue<int>("SEED", -5);
         },
         "Exception: Parameters check: SEED must be non-negative", "", nothing},
        {"teskora eval before psd and exclusion", 6,
         [](RunParameters& r)
         {
             r.setAttributeValue<bool>("PSD_MADS_OPTIMIZATION", true);
             r.setAttributeValue<bool>("NM_OPTIMIZATION", true);
             r.setAttributeValue<size_t>("LH_EVAL", 3);
             r.setAttributeValue<bool>("TESKORA_MODEL_EVAL", true);
         },
         "Exception: Teskora Model sampling cannot be used. Either set parameter "
         "TESKORA_MODEL_EVAL to false, or recompile QARNO using option USE_TESKORA=1.",
         "", nothing},
        {"warnings before the psd refusal", 50,
         [](RunParameters& r)
         {
             r.setAttributeValue<bool>("TESKORA_SEARCH", true);
             r.setAttributeValue<bool>("PSD_MADS_OPTIMIZATION", true);
         },
         "Exception: Error: PSD_MADS_OPTIMIZATION can only be used when OpenMP is available. If "
         "that is not the case, use SSD_MADS_OPTIMIZATION.",
         modelsWarning, nothing},
        {"sub-problem size before exclusion", 6,
         [](RunParameters& r)
         {
             r.setAttributeValue<bool>("SSD_MADS_OPTIMIZATION", true);
             r.setAttributeValue<size_t>("SSD_MADS_NB_VAR_IN_SUBPROBLEM", 9);
             r.setAttributeValue<bool>("NM_OPTIMIZATION", true);
         },
         "InvalidParameter: Invalid Parameter. Parameter SSD_MADS_NB_VAR_IN_SUBPROBLEM must be "
         "between 1 and 6. Value provided: 9",
         "", nothing},
        {"exclusion before h max", 6,
         [](RunParameters& r)
         {
             r.setAttributeValue<Double>("H_MAX_0", Double(0.0));
             r.setAttributeValue<bool>("NM_OPTIMIZATION", true);
             r.setAttributeValue<size_t>("LH_EVAL", 3);
         },
         exclusive + " LH_EVAL NM_OPTIMIZATION" + choose, "", nothing},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard guard;
        CheckRun check(c.dimension, c.setup);
        EXPECT_EQ(c.outcome, check.outcome);
        EXPECT_EQ(c.cerr, check.cerr);
        // A completed check leaves the set checked, a failed one marked.
        EXPECT_EQ(c.outcome != "ok", check.run->toBeChecked());
        if (c.outcome == "ok")
        {
            c.verify(*check.run);
        }
    }
}

TEST(RunParametersCheck, BlockSizesOfTheEvaluatorControl)
{
    const struct
    {
        const char* keyword;
        std::string message;
    } cases[] = {
        {"BB_MAX_BLOCK_SIZE", "Parameter BB_MAX_BLOCK_SIZE must be positive"},
        {"SGTE_MAX_BLOCK_SIZE", "Parameter SGTE_MAX_BLOCK_SIZE must be positive"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.keyword);
        ProcessStateGuard guard;
        const auto pb = checkedPb(4);
        const auto evcGlobal = checkedEvcGlobal();
        evcGlobal->setAttributeValue<size_t>(c.keyword, 0);
        RunParameters run;
        EXPECT_EQ("Exception: " + c.message, checkOutcome(run, evcGlobal, pb));
        EXPECT_TRUE(run.toBeChecked());
    }
}

TEST(RunParametersCheck, ChecksTheEvaluatorControlFirstWhenNeeded)
{
    ProcessStateGuard guard;
    const auto pb = checkedPb(4);
    const auto evcGlobal = std::make_shared<EvaluatorControlGlobalParameters>();
    evcGlobal->setAttributeValue<size_t>("BB_MAX_BLOCK_SIZE", 3);
    ASSERT_TRUE(evcGlobal->toBeChecked());

    RunParameters run;
    EXPECT_EQ("ok", checkOutcome(run, evcGlobal, pb));
    EXPECT_FALSE(evcGlobal->toBeChecked());
    EXPECT_EQ(3u, evcGlobal->getAttributeValue<size_t>("BB_MAX_BLOCK_SIZE"));
}

TEST(RunParametersCheck, MissingSetsAreReportedNotDereferenced)
{
    ProcessStateGuard guard;
    {
        RunParameters run;
        EXPECT_EQ("Exception: RunParameters::checkAndComply: the problem parameters are missing",
                  checkOutcome(run, checkedEvcGlobal(), nullptr));
    }
    {
        RunParameters run;
        EXPECT_EQ("Exception: RunParameters::checkAndComply: the evaluator control global "
                  "parameters are missing",
                  checkOutcome(run, nullptr, checkedPb(2)));
    }
}

TEST(RunParametersCheck, AFailedCheckKeepsWhatEarlierStepsWrote)
{
    ProcessStateGuard guard;
    CheckRun check(50,
                   [](RunParameters& r)
                   {
                       r.setAttributeValue<std::string>("UNDEF_STR", "undef");
                       r.setAttributeValue<int>("SEED", 2);
                       r.setAttributeValue<ArrayOfString>("DISABLE",
                                                          ArrayOfString("eval_sort", " "));
                       r.setAttributeValue<bool>("PSD_MADS_OPTIMIZATION", true);
                   });
    EXPECT_NE("ok", check.outcome);
    EXPECT_TRUE(check.run->toBeChecked());
    EXPECT_EQ("EVAL_SORT MODELS",
              words(check.run->getSpValue<ArrayOfString>("DISABLE", false, false)));
    EXPECT_EQ(
        4u, check.run->getSpValue<ArrayOfString>("TESKORA_MODEL_DEFINITION", false, false).size());
    EXPECT_EQ("undef", Double::_undefStr);
    EXPECT_EQ(2, RNG::_s);
    EXPECT_FALSE(RunParameters::_warningUnknownParamShown);
}

TEST(RunParametersCheck, ASetNotToBeCheckedReturnsAtOnce)
{
    ProcessStateGuard guard;
    TempDir dir;
    const auto pb = checkedPb(3);
    const auto evcGlobal = checkedEvcGlobal();
    RunParameters run;
    run.setAttributeValue<bool>("REJECT_UNKNOWN_PARAMETERS", true);
    ASSERT_EQ("ok", checkOutcome(run, evcGlobal, pb));

    // Unknown entries arrive, and the value types are changed behind the
    // set's back: a set already checked looks at none of it.
    Parameters::readParamFileAndSetEntries(writeUnknownParamFile(dir), false, false);
    Double::setEpsilon(1e-9);
    CerrCapture capture;
    EXPECT_EQ("ok", checkOutcome(run, evcGlobal, pb));
    EXPECT_EQ("", capture.text());
    EXPECT_EQ(1e-9, Double::getEpsilon());
}

TEST(RunParametersCheck, CheckInfoRunsEvenWhenNothingIsToBeChecked)
{
    // A set whose only attribute has no documentation fails the first step.
    class Undocumented : public RunParameters
    {
    public:
        Undocumented()
        {
            registerAttribute<int>("RUN_TEST_UNDOCUMENTED", 1, false, false, true, "");
        }
        void markChecked() { _toBeChecked = false; }
    };
    ProcessStateGuard guard;
    Undocumented run;
    run.markChecked();
    EXPECT_EQ("Exception: Check: empty info (Short info and/or Help info) for attribute "
              "RUN_TEST_UNDOCUMENTED!",
              checkOutcome(run, checkedEvcGlobal(), checkedPb(2)));
}

// ---------------------------------------------------------------------------
// Unknown parameters
// ---------------------------------------------------------------------------

TEST(RunParametersUnknown, RejectedWithTheFileAndEachLine)
{
    ProcessStateGuard guard;
    TempDir dir;
    const std::string file = writeUnknownParamFile(dir);
    Parameters::readParamFileAndSetEntries(file, false, false);

    // Rejected whether or not the warning was shown before in the process.
    for (const bool shownBefore : {false, true})
    {
        SCOPED_TRACE(shownBefore);
        RunParameters::_warningUnknownParamShown = shownBefore;
        CheckRun check(3, [](RunParameters& r)
                       { r.setAttributeValue<bool>("REJECT_UNKNOWN_PARAMETERS", true); });
        EXPECT_EQ("Exception: " + unknownParamText(file), check.outcome);
        EXPECT_EQ("", check.cerr);
        EXPECT_TRUE(check.run->toBeChecked());
        EXPECT_EQ(shownBefore, RunParameters::_warningUnknownParamShown);
    }
    // The store is left as it was.
    EXPECT_EQ(2u, Parameters::_paramEntries.findAllNonInterpreted().size());
}

TEST(RunParametersUnknown, WarningShownOncePerProcess)
{
    ProcessStateGuard guard;
    TempDir dir;
    const std::string file = writeUnknownParamFile(dir);
    const std::string warning =
        "Warning: " + unknownParamText(file) + "Ignoring unknown parameters.\n";
    const auto noChange = [](RunParameters&) {};

    Parameters::readParamFileAndSetEntries(file, false, false);
    {
        CheckRun first(3, noChange);
        EXPECT_EQ("ok", first.outcome);
        EXPECT_EQ(warning, first.cerr);
        EXPECT_TRUE(RunParameters::_warningUnknownParamShown);
    }
    {
        CheckRun second(3, noChange);
        EXPECT_EQ("ok", second.outcome);
        EXPECT_EQ("", second.cerr);
    }

    // A fresh process state shows it again.
    ProcessStateGuard::resetToLoadState();
    EXPECT_FALSE(RunParameters::_warningUnknownParamShown);
    Parameters::readParamFileAndSetEntries(file, false, false);
    CheckRun afterReset(3, noChange);
    EXPECT_EQ(warning, afterReset.cerr);
}

TEST(RunParametersUnknown, OnlyACompletedCheckSilencesTheWarning)
{
    ProcessStateGuard guard;
    TempDir dir;
    const std::string file = writeUnknownParamFile(dir);
    const std::string warning =
        "Warning: " + unknownParamText(file) + "Ignoring unknown parameters.\n";

    // A check that fails after the warning leaves it to be shown again.
    Parameters::readParamFileAndSetEntries(file, false, false);
    CheckRun failed(3, [](RunParameters& r) { r.setAttributeValue<int>("SEED", -1); });
    EXPECT_EQ(warning, failed.cerr);
    EXPECT_FALSE(RunParameters::_warningUnknownParamShown);
    CheckRun completed(3, [](RunParameters&) {});
    EXPECT_EQ(warning, completed.cerr);

    // A completed check without unknown parameters silences later ones.
    ProcessStateGuard::resetToLoadState();
    CheckRun clean(3, [](RunParameters&) {});
    EXPECT_EQ("", clean.cerr);
    EXPECT_TRUE(RunParameters::_warningUnknownParamShown);
    Parameters::readParamFileAndSetEntries(file, false, false);
    CheckRun later(3, [](RunParameters&) {});
    EXPECT_EQ("ok", later.outcome);
    EXPECT_EQ("", later.cerr);
}

// ---------------------------------------------------------------------------
// Repeated runs and copies
// ---------------------------------------------------------------------------

TEST(RunParametersCheck, TwoFreshSetsGiveTheSameResult)
{
    ProcessStateGuard guard;
    TempDir dir;
    const std::string file = writeUnknownParamFile(dir);

    // Everything a check leaves behind: the values, its messages and the
    // process-wide settings it made.
    const auto runOnce = [&]()
    {
        ProcessStateGuard::resetToLoadState();
        Parameters::readParamFileAndSetEntries(file, false, false);
        CheckRun check(50,
                       [](RunParameters& r)
                       {
                           r.setAttributeValue<int>("SEED", 11);
                           r.setAttributeValue<Double>("EPSILON", Double(1e-11));
                           r.setAttributeValue<std::string>("INF_STR", "INFINITY");
                           r.setAttributeValue<bool>("TESKORA_SEARCH", true);
                           r.setAttributeValue<bool>("SSD_MADS_OPTIMIZATION", true);
                           r.setAttributeValue<size_t>("SSD_MADS_NB_VAR_IN_SUBPROBLEM", 5);
                       });
        std::ostringstream out;
        check.run->display(out, false);
        out << check.outcome << "\n"
            << check.cerr << "\n"
            << Double::getEpsilon() << " " << Double::_infStr << " " << RNG::_s << " "
            << RNG::rand();
        return out.str();
    };
    const std::string first = runOnce();
    const std::string second = runOnce();
    EXPECT_EQ(first, second);
    EXPECT_NE(std::string::npos, first.find("SSD_MADS_NB_SUBPROBLEM 11"));
    EXPECT_NE(std::string::npos, first.find("Ignoring unknown parameters."));
}

TEST(RunParametersCheck, ACopyOfACheckedSetChecksToTheSameValues)
{
    // Sub-problems check copies of the run set again.
    ProcessStateGuard guard;
    CheckRun original(60,
                      [](RunParameters& r)
                      {
                          r.setAttributeValue<ArrayOfString>("DISABLE",
                                                             ArrayOfString("eval_sort", " "));
                          r.setAttributeValue<bool>("SSD_MADS_OPTIMIZATION", true);
                          r.setAttributeValue<std::string>("HOT_RESTART_FILE", "restart.txt");
                      });
    ASSERT_EQ("ok", original.outcome);
    std::ostringstream before;
    original.run->display(before, false);

    RunParameters copy;
    copy.copyParameters(*original.run);
    ASSERT_TRUE(copy.toBeChecked());
    CerrCapture capture;
    EXPECT_EQ("ok", checkOutcome(copy, checkedEvcGlobal(), checkedPb(60)));
    EXPECT_EQ("", capture.text());
    std::ostringstream after;
    copy.display(after, false);
    EXPECT_EQ(before.str(), after.str());
    EXPECT_EQ("EVAL_SORT MODELS", words(copy.getAttributeValue<ArrayOfString>("DISABLE")));
    EXPECT_EQ(31u, copy.getAttributeValue<size_t>("SSD_MADS_NB_SUBPROBLEM"));
}

TEST(RunParametersTable, KeptFlagsFollowEveryChangeOfTheSet)
{
    // The plain read of each flag, and a write of its value: a boolean
    // keyword, or EVAL_SORT in DISABLE.
    const std::string evalSort = "DISABLE EVAL_SORT";
    const auto read = [&](const RunParameters& run, const std::string& name)
    {
        return (name == evalSort)
                   ? run.getAttributeValue<ArrayOfString>("DISABLE").find("EVAL_SORT") >= 0
                   : run.getAttributeValue<bool>(name);
    };
    const auto write = [&](RunParameters& run, const std::string& name, bool value)
    {
        if (name == evalSort)
        {
            run.setAttributeValue("DISABLE", ArrayOfString(value ? 1 : 0, "EVAL_SORT"));
        }
        else
        {
            run.setAttributeValue<bool>(name, value);
        }
    };
    const struct
    {
        const char* name;
        bool (RunParameters::*get)() const;
    } cases[] = {
        {"GENERATE_ALL_POINTS_BEFORE_EVAL", &RunParameters::getGenerateAllPointsBeforeEval},
        {"USER_CALLS_ENABLED", &RunParameters::getUserCallsEnabled},
        {"FRAME_CENTER_USE_CACHE", &RunParameters::getFrameCenterUseCache},
        {"DISABLE EVAL_SORT", &RunParameters::getEvalSortDisabled},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard guard;
        const auto pb = checkedPb(2);
        const auto evcGlobal = checkedEvcGlobal();
        RunParameters run;
        run.checkAndComply(evcGlobal, pb);
        const bool initial = (run.*c.get)();
        EXPECT_EQ(read(run, c.name), initial);

        // The value read before the change must not be answered after it: as
        // the plain read, the changed set refuses to be read before its check.
        write(run, c.name, !initial);
        const std::string plain = messageOf([&] { read(run, c.name); });
        ASSERT_NE("(no exception)", plain);
        EXPECT_EQ(plain, messageOf([&] { (run.*c.get)(); }));
        run.checkAndComply(evcGlobal, pb);
        EXPECT_EQ(!initial, (run.*c.get)());

        run.resetToDefaultValues();
        run.checkAndComply(evcGlobal, pb);
        EXPECT_EQ(initial, (run.*c.get)());
    }
}
