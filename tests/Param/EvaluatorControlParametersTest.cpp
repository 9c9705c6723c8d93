// The evaluator-control parameter sets: the global budgets and block sizes,
// and the per-main-thread options.

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <typeindex>
#include <typeinfo>
#include <vector>

#include "Math/ArrayOfDouble.hpp"
#include "Math/ArrayOfPoint.hpp"
#include "Math/Point.hpp"
#include "Param/Attribute.hpp"
#include "Param/EvaluatorControlGlobalParameters.hpp"
#include "Param/EvaluatorControlParameters.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "support/TestParameters.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::CerrCapture;
using QarnoTest::outcomeOf;
using QarnoTest::ProcessStateGuard;

namespace
{

constexpr size_t SIZE_INF = std::numeric_limits<size_t>::max();

/// One row of a definition table as the registered attribute shows it.
struct ExpectedAttribute
{
    const char* name;
    std::type_index type;
    const char* valueLine; // `display(out, false)` of the default value
    bool algoCompatibilityCheck;
    bool restartAttribute;
    bool uniqueEntry;
    const char* shortInfo;
    const char* keywords;
    const char* defaultItem; // last item of the help text
};

void expectTable(const Parameters& params, const std::vector<ExpectedAttribute>& rows)
{
    EXPECT_EQ(rows.size(), params.getAttributes().size());
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.name);
        const auto attribute = params.getAttribute(row.name);
        ASSERT_NE(nullptr, attribute);
        EXPECT_EQ(row.name, attribute->getName());
        const std::type_index* type = Parameters::findTypeOfAttribute(row.name);
        ASSERT_NE(nullptr, type);
        EXPECT_EQ(row.type, *type);
        EXPECT_EQ(row.valueLine, QarnoTest::valueLine(*attribute));
        EXPECT_EQ(row.algoCompatibilityCheck, attribute->isForAlgoCompatibilityCheck());
        EXPECT_EQ(row.restartAttribute, attribute->isRestartAttribute());
        EXPECT_EQ(row.uniqueEntry, attribute->getParamFromUniqueEntry());
        EXPECT_EQ(row.shortInfo, attribute->getShortInfo());
        EXPECT_EQ(row.keywords, attribute->getKeywords());
        EXPECT_EQ(std::string(" . Default: ") + row.defaultItem,
                  QarnoTest::helpLastItem(attribute->getHelpInfo()));
    }
}

/// A checked problem with one variable per granularity (0 for a continuous
/// variable), starting at 1.
std::shared_ptr<PbParameters> checkedProblem(const std::vector<double>& granularity)
{
    const size_t n = granularity.size();
    auto pb = std::make_shared<PbParameters>();
    pb->setAttributeValue<size_t>("DIMENSION", n);
    pb->setAttributeValue<ArrayOfPoint>("X0", ArrayOfPoint{Point(n, 1.0)});
    pb->setAttributeValue<ArrayOfDouble>("GRANULARITY", QarnoTest::makeArray(granularity));
    pb->checkAndComply();
    return pb;
}

/// A run set checked against a checked problem of `dimension` variables.
std::shared_ptr<RunParameters> checkedRun(bool ssdMads, size_t dimension = 4)
{
    auto pb = checkedProblem(std::vector<double>(dimension, 0.0));
    auto evcGlobal = std::make_shared<EvaluatorControlGlobalParameters>();
    evcGlobal->checkAndComply(pb);
    auto run = std::make_shared<RunParameters>();
    run->setAttributeValue<bool>("SSD_MADS_OPTIMIZATION", ssdMads);
    run->checkAndComply(evcGlobal, pb);
    return run;
}

} // namespace

TEST(EvaluatorControlGlobalParameters, DefinitionTable)
{
    const EvaluatorControlGlobalParameters params;
    EXPECT_EQ("EvaluatorControl", params.getTypeName());
    const std::type_index sizeT(typeid(size_t));
    const std::type_index boolean(typeid(bool));
    const std::type_index text(typeid(std::string));
    expectTable(
        params,
        {
            {"MAX_BB_EVAL", sizeT, "MAX_BB_EVAL 18446744073709551615", false, true, true,
             " Stopping criterion on the number of blackbox evaluations ",
             "  basic stop stops stopping max maximum criterion criterions blackbox blackboxes "
             "bb  ",
             "INF"},
            {"MAX_EVAL", sizeT, "MAX_EVAL 18446744073709551615", false, true, true,
             " Stopping criterion on the number of evaluations (blackbox and cache) ",
             "  advanced stop stops stopping max maximum criterion criterions blackbox "
             "blackboxes bb eval evals evaluation evaluations cache  ",
             "INF"},
            {"BB_MAX_BLOCK_SIZE", sizeT, "BB_MAX_BLOCK_SIZE 1", true, true, true,
             " Size of blocks of points, to be used for parallel evaluations ",
             "  advanced block parallel  ", "1"},
            {"SGTE_MAX_BLOCK_SIZE", sizeT, "SGTE_MAX_BLOCK_SIZE 18446744073709551615", true, true,
             true, " Size of blocks of points, to be used for parallel evaluations ",
             "  advanced block parallel  ", "INF"},
            {"MAX_BLOCK_EVAL", sizeT, "MAX_BLOCK_EVAL 18446744073709551615", true, true, true,
             " Stopping criterion on the number of blocks evaluations ",
             "  advances block stop parallel  ", "INF"},
            {"MAX_SGTE_EVAL", sizeT, "MAX_SGTE_EVAL 1000", true, true, true,
             " Max number of teskora model evaluations for each optimization of the surrogate "
             "problem ",
             "  advanced teskora search model model_search  ", "1000"},
            {"CLEAR_EVAL_QUEUE", boolean, "CLEAR_EVAL_QUEUE 1", true, true, true,
             " Opportunistic strategy: Flag to clear EvaluatorControl queue between each run ",
             "  advanced opportunistic oppor eval evals evaluation evaluations clear flush  ",
             "true"},
            {"TMP_DIR", text, "TMP_DIR /tmp/", false, false, true,
             " Directory where to put temporary files ", "  advanced  ", "/tmp/"},
            {"RANDOM_EVAL_SORT", boolean, "RANDOM_EVAL_SORT 0", true, true, true,
             " Mix points randomly before evaluation ", "  advanced  ", "false"},
        });
}

TEST(EvaluatorControlParameters, DefinitionTable)
{
    const EvaluatorControlParameters params;
    EXPECT_EQ("EvaluatorControl", params.getTypeName());
    expectTable(
        params,
        {
            {"OPPORTUNISTIC_EVAL", typeid(bool), "OPPORTUNISTIC_EVAL 1", true, true, true,
             " Opportunistic strategy: Terminate evaluations as soon as a success is "
             "found ",
             "  advanced opportunistic oppor eval evals evaluation evaluations terminate "
             "list success successes  ",
             "true"},
            {"USE_CACHE", typeid(bool), "USE_CACHE 1", true, false, true,
             " Use cache in algorithms ", "  advanced  ", "true"},
            {"MAX_BB_EVAL_IN_SUBPROBLEM", typeid(size_t),
             "MAX_BB_EVAL_IN_SUBPROBLEM 18446744073709551615", true, false, true,
             " Max number of evaluations for each subproblem ",
             "  advanced psd ssd mads parallel sequential decomposition subproblem  ", "INF"},
        });
}

TEST(EvaluatorControlGlobalParameters, BudgetsAndGranularity)
{
    ProcessStateGuard guard;
    const std::string granularMessage = "All variables are granular. MAX_EVAL is set to ";
    const std::string granularEnd =
        " to prevent algorithm from circling around best solution indefinitely\n";
    const std::vector<double> twoIntegers = {1, 1};

    const struct
    {
        const char* label;
        std::vector<double> granularity; // empty: no problem parameters
        size_t maxBbEval;
        size_t maxEval;
        size_t expectedMaxBbEval;
        size_t expectedMaxEval;
        const char* shownMaxEval; // in the message; nullptr: no message
    } cases[] = {
        {"zero budgets mean no limit", {}, 0, 0, SIZE_INF, SIZE_INF, nullptr},
        {"budgets kept without a problem", {}, 200, 300, 200, 300, nullptr},
        {"two integer variables", twoIntegers, SIZE_INF, SIZE_INF, SIZE_INF, 900, "900"},
        {"ten times MAX_BB_EVAL", twoIntegers, 500, SIZE_INF, 500, 5000, "5000"},
        {"base larger than ten times", twoIntegers, 50, SIZE_INF, 50, 900, "900"},
        {"zero MAX_BB_EVAL is no limit", twoIntegers, 0, SIZE_INF, SIZE_INF, 900, "900"},
        {"zero MAX_EVAL falls under the rule", twoIntegers, SIZE_INF, 0, SIZE_INF, 900, "900"},
        {"user MAX_EVAL kept", twoIntegers, SIZE_INF, 300, SIZE_INF, 300, nullptr},
        {"eight variables", std::vector<double>(8, 1), SIZE_INF, SIZE_INF, SIZE_INF, 656100,
         "656100"},
        {"nine variables", std::vector<double>(9, 1), SIZE_INF, SIZE_INF, SIZE_INF, 1000000,
         "1000000"},
        {"twelve variables", std::vector<double>(12, 1), SIZE_INF, SIZE_INF, SIZE_INF, 1000000,
         "1000000"},
        {"granular reals", {0.5, 0.01, 0.25}, SIZE_INF, SIZE_INF, SIZE_INF, 2700, "2700"},
        {"one continuous variable", {0}, SIZE_INF, SIZE_INF, SIZE_INF, SIZE_INF, nullptr},
        {"one of two continuous", {1, 0}, 500, SIZE_INF, 500, SIZE_INF, nullptr},
        {"step within the tolerance of 0",
         {1, -1e-14},
         SIZE_INF,
         SIZE_INF,
         SIZE_INF,
         SIZE_INF,
         nullptr},
        // 10 x MAX_BB_EVAL that does not fit in a size_t is no limit, not a
        // wrapped-around small budget.
        {"largest ten times that fits", twoIntegers, SIZE_INF / 10, SIZE_INF, SIZE_INF / 10,
         SIZE_INF / 10 * 10, "18446744073709551610"},
        {"ten times overflows", twoIntegers, SIZE_INF / 10 + 1, SIZE_INF, SIZE_INF / 10 + 1,
         SIZE_INF, "18446744073709551615"},
        {"ten times overflows far", twoIntegers, SIZE_INF - 1, SIZE_INF, SIZE_INF - 1, SIZE_INF,
         "18446744073709551615"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        std::shared_ptr<PbParameters> pb;
        if (!c.granularity.empty())
        {
            pb = checkedProblem(c.granularity);
        }
        EvaluatorControlGlobalParameters params;
        params.setAttributeValue<size_t>("MAX_BB_EVAL", c.maxBbEval);
        params.setAttributeValue<size_t>("MAX_EVAL", c.maxEval);
        CerrCapture cerr;
        params.checkAndComply(pb);

        EXPECT_FALSE(params.toBeChecked());
        EXPECT_EQ(c.expectedMaxBbEval, params.getAttributeValue<size_t>("MAX_BB_EVAL"));
        EXPECT_EQ(c.expectedMaxEval, params.getAttributeValue<size_t>("MAX_EVAL"));
        const std::string expectedText =
            (nullptr == c.shownMaxEval) ? "" : granularMessage + c.shownMaxEval + granularEnd;
        EXPECT_EQ(expectedText, cerr.text());
    }
}

TEST(EvaluatorControlGlobalParameters, SurrogateBlockSize)
{
    const struct
    {
        size_t sgteMaxBlockSize;
        size_t maxSgteEval;
        const char* outcome;
        size_t expectedBlockSize;
    } cases[] = {
        {SIZE_INF, 1000, "ok", 1000},
        {SIZE_INF, 50, "ok", 50},
        {10, 50, "ok", 10},
        {50, 50, "ok", 50},
        {1, SIZE_INF, "ok", 1},
        {0, 50, "Exception: Parameter SGTE_MAX_BLOCK_SIZE must be positive", 0},
        // A surrogate budget of 0 would lower the block size to 0, a size no
        // evaluation loop can take.
        {SIZE_INF, 0, "Exception: Parameter MAX_SGTE_EVAL must be positive", SIZE_INF},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.sgteMaxBlockSize) + " " + std::to_string(c.maxSgteEval));
        auto params = std::make_shared<EvaluatorControlGlobalParameters>();
        params->setAttributeValue<size_t>("SGTE_MAX_BLOCK_SIZE", c.sgteMaxBlockSize);
        params->setAttributeValue<size_t>("MAX_SGTE_EVAL", c.maxSgteEval);
        EXPECT_EQ(c.outcome, outcomeOf([&] { params->checkAndComply(nullptr); }));

        // A failure leaves the set to be checked.
        EXPECT_EQ(std::string("ok") != c.outcome, params->toBeChecked());
        EXPECT_EQ(c.expectedBlockSize,
                  params->getSpValue<size_t>("SGTE_MAX_BLOCK_SIZE", false, false));
    }
}

TEST(EvaluatorControlGlobalParameters, ProblemMustBeChecked)
{
    ProcessStateGuard guard;
    auto pb = std::make_shared<PbParameters>();
    pb->setAttributeValue<size_t>("DIMENSION", 2);

    EvaluatorControlGlobalParameters params;
    params.setAttributeValue<size_t>("MAX_BB_EVAL", 0);
    EXPECT_EQ("ParameterToBeChecked: Parameter to be checked. In getAttributeValue<T> the "
              "attribute GRANULARITY has not "
              "been checked",
              outcomeOf([&] { params.checkAndComply(pb); }));
    EXPECT_TRUE(params.toBeChecked());
    // The step before the failure stays done.
    EXPECT_EQ(SIZE_INF, params.getSpValue<size_t>("MAX_BB_EVAL", false, false));

    // A user-given MAX_EVAL does not need the problem at all.
    params.setAttributeValue<size_t>("MAX_EVAL", 100);
    EXPECT_EQ("ok", outcomeOf([&] { params.checkAndComply(pb); }));
}

TEST(EvaluatorControlGlobalParameters, CheckedSetIsLeftAlone)
{
    ProcessStateGuard guard;
    EvaluatorControlGlobalParameters params;
    params.checkAndComply(nullptr);
    ASSERT_FALSE(params.toBeChecked());

    // Nothing is derived again, not even from an all-granular problem, and
    // its problem set is not read.
    auto unchecked = std::make_shared<PbParameters>();
    unchecked->setAttributeValue<size_t>("DIMENSION", 2);
    CerrCapture cerr;
    EXPECT_EQ("ok", outcomeOf([&] { params.checkAndComply(unchecked); }));
    EXPECT_EQ(SIZE_INF, params.getAttributeValue<size_t>("MAX_EVAL"));
    EXPECT_EQ("", cerr.text());
}

TEST(EvaluatorControlGlobalParameters, SameCheckTwiceInOneProcess)
{
    ProcessStateGuard guard;
    for (int round = 0; round < 2; ++round)
    {
        SCOPED_TRACE(round);
        auto pb = checkedProblem({1, 1});
        EvaluatorControlGlobalParameters params;
        CerrCapture cerr;
        params.checkAndComply(pb);
        EXPECT_EQ(900u, params.getAttributeValue<size_t>("MAX_EVAL"));
        EXPECT_NE(std::string::npos, cerr.text().find("MAX_EVAL is set to 900 "));
    }
}

TEST(EvaluatorControlParameters, SubproblemBudget)
{
    ProcessStateGuard guard;
    const struct
    {
        const char* label;
        bool withRun;
        bool ssdMads;
        size_t budget;
        size_t expected;
    } cases[] = {
        {"plain MADS", true, false, 10, SIZE_INF},
        {"SSD-MADS", true, true, 10, 10},
        {"SSD-MADS, default", true, true, SIZE_INF, SIZE_INF},
        {"no run parameters", false, false, 10, 10},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        std::shared_ptr<RunParameters> run;
        if (c.withRun)
        {
            CerrCapture ignoreRunWarnings;
            run = checkedRun(c.ssdMads);
        }
        EvaluatorControlParameters params;
        params.setAttributeValue<size_t>("MAX_BB_EVAL_IN_SUBPROBLEM", c.budget);
        params.checkAndComply(run);
        EXPECT_FALSE(params.toBeChecked());
        EXPECT_EQ(c.expected, params.getAttributeValue<size_t>("MAX_BB_EVAL_IN_SUBPROBLEM"));
        // The other options are not touched.
        EXPECT_TRUE(params.getAttributeValue<bool>("OPPORTUNISTIC_EVAL"));
        EXPECT_TRUE(params.getAttributeValue<bool>("USE_CACHE"));
    }
}

TEST(EvaluatorControlParameters, RunMustBeChecked)
{
    ProcessStateGuard guard;
    auto run = std::make_shared<RunParameters>();
    EvaluatorControlParameters params;
    EXPECT_EQ("ParameterToBeChecked: Parameter to be checked. In getAttributeValue<T> the "
              "attribute PSD_MADS_OPTIMIZATION "
              "has not been checked",
              outcomeOf([&] { params.checkAndComply(run); }));
    EXPECT_TRUE(params.toBeChecked());
}

TEST(EvaluatorControlParameters, PerThreadCopyIsCheckedAgain)
{
    ProcessStateGuard guard;
    std::shared_ptr<RunParameters> run;
    {
        CerrCapture ignoreRunWarnings;
        run = checkedRun(true);
    }
    EvaluatorControlParameters original;
    original.setAttributeValue<bool>("OPPORTUNISTIC_EVAL", false);
    original.setAttributeValue<size_t>("MAX_BB_EVAL_IN_SUBPROBLEM", 25);
    original.checkAndComply(run);

    EvaluatorControlParameters copy;
    copy.copyParameters(original);
    EXPECT_TRUE(copy.toBeChecked());
    copy.checkAndComply(run);
    EXPECT_FALSE(copy.getAttributeValue<bool>("OPPORTUNISTIC_EVAL"));
    EXPECT_EQ(25u, copy.getAttributeValue<size_t>("MAX_BB_EVAL_IN_SUBPROBLEM"));
}
