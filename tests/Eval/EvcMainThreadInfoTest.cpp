// What the evaluation queue keeps per main thread: the state of a new
// record, the thread's own parameter copy, the success rule that follows the
// evaluator, the budget resets, the evaluated points handed out once, the
// guarded decrements and the best incumbent.

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "Eval/ComputeSuccessType.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Eval/EvcMainThreadInfo.hpp"
#include "Type/BBOutputType.hpp"
#include "Util/StopReasonTypes.hpp"
#include "support/CacheSupport.hpp"
#include "support/EvalSupport.hpp"
#include "support/EvcSupport.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::EvcHarness;
using QarnoTest::EvcOptions;
using QarnoTest::FunctionEvaluator;
using QarnoTest::makeEvalPoint;
using QarnoTest::messageOf;
using QarnoTest::ProcessStateGuard;

namespace
{

const BBOutputTypeList OBJ_PB = {BBOutputType::OBJ, BBOutputType::PB};

EvcOptions opportunistic()
{
    EvcOptions options;
    options.opportunistic = true;
    return options;
}

class EvcMainThreadInfoTest : public ::testing::Test
{
protected:
    ProcessStateGuard _guard;
};

TEST_F(EvcMainThreadInfoTest, ANewRecordStartsClean)
{
    EvcHarness h(opportunistic(), OBJ_PB, QarnoTest::firstCoordinateObjective());
    const EvcMainThreadInfo& info = h.evc->getMainThreadInfo(0);

    EXPECT_EQ(SuccessType::FAILURE, info.getSuccessType());
    EXPECT_EQ(EvalMainThreadStopType::STARTED, info.getStopReason().get());
    EXPECT_EQ(std::numeric_limits<size_t>::max(), info.getLapMaxBbEval());
    EXPECT_EQ(0u, info.getNbPointsInQueue() + info.getCurrentlyRunning() + info.getLapBbEval() +
                      info.getSgteEval() + info.getBbEvalInSubproblem());
    EXPECT_FALSE(info.getDoneWithEval());
    EXPECT_FALSE(info.remainsEvaluatedPoints());
    EXPECT_EQ(nullptr, info.getBarrier());
    EXPECT_EQ(nullptr, info.getBestIncumbent());
}

TEST_F(EvcMainThreadInfoTest, TheParameterCopyBelongsToTheThread)
{
    EvcHarness h(opportunistic(), OBJ_PB, QarnoTest::firstCoordinateObjective());

    // As the evaluation of starting points does: off for a while, then back.
    h.evc->setOpportunisticEval(false);
    EXPECT_FALSE(h.evc->getOpportunisticEval(0));
    h.evc->setUseCache(false);
    EXPECT_FALSE(h.evc->getUseCache(0));
    h.evc->setMaxBbEvalInSubproblem(7);
    EXPECT_EQ(7u, h.evc->getMaxBbEvalInSubproblem(0));

    // The run's set is untouched and still readable.
    EXPECT_FALSE(h.params->toBeChecked());
    EXPECT_TRUE(h.params->getAttributeValue<bool>("OPPORTUNISTIC_EVAL"));
    EXPECT_TRUE(h.params->getAttributeValue<bool>("USE_CACHE"));

    h.evc->setOpportunisticEval(true);
    EXPECT_TRUE(h.evc->getOpportunisticEval(0));
}

TEST_F(EvcMainThreadInfoTest, TheSuccessRuleFollowsTheEvaluatorType)
{
    EvcHarness h(opportunistic(), OBJ_PB, QarnoTest::firstCoordinateObjective());
    EvcMainThreadInfo& info = h.evc->getMainThreadInfo(0);

    // Feasible for the blackbox, infeasible (h = 9) for the surrogate: the
    // two rules disagree against no reference with hMax 1.
    auto candidate = std::make_shared<EvalPoint>(makeEvalPoint({1, 2}, 1, 0));
    candidate->setBBO("1 3", OBJ_PB, EvalType::SGTE, true);
    const auto ruleAnswer = [&]
    { return info.getComputeSuccessType()(candidate, nullptr, Double(1.0)); };
    EXPECT_EQ(SuccessType::FULL_SUCCESS, ruleAnswer());

    auto sgte = std::make_shared<FunctionEvaluator>(OBJ_PB, QarnoTest::firstCoordinateObjective(),
                                                    EvalType::SGTE);
    const auto previous = h.evc->setEvaluator(sgte);
    EXPECT_EQ(h.evaluator, previous);
    EXPECT_EQ(EvalType::SGTE, h.evc->getEvalType(-1));
    EXPECT_EQ(SuccessType::FAILURE, ruleAnswer());

    // An empty evaluator keeps the rule in place.
    EXPECT_EQ(sgte, h.evc->setEvaluator(nullptr));
    EXPECT_EQ(EvalType::UNDEFINED, h.evc->getEvalType(0));
    EXPECT_EQ(SuccessType::FAILURE, ruleAnswer());

    h.evc->setEvaluator(previous);
    EXPECT_EQ(SuccessType::FULL_SUCCESS, ruleAnswer());
}

TEST_F(EvcMainThreadInfoTest, EachResetClearsOnlyItsOwnBudgetReason)
{
    using Stop = EvalMainThreadStopType;
    const struct
    {
        const char* label;
        std::function<void(EvcMainThreadInfo&)> reset;
        std::function<size_t(const EvcMainThreadInfo&)> count;
        Stop reasonBefore;
        Stop reasonAfter;
    } cases[] = {
        {"lap, own reason", [](EvcMainThreadInfo& i) { i.resetLapBbEval(); },
         [](const EvcMainThreadInfo& i) { return i.getLapBbEval(); }, Stop::LAP_MAX_BB_EVAL_REACHED,
         Stop::STARTED},
        {"lap, sub-problem reason", [](EvcMainThreadInfo& i) { i.resetLapBbEval(); },
         [](const EvcMainThreadInfo& i) { return i.getLapBbEval(); },
         Stop::SUBPROBLEM_MAX_BB_EVAL_REACHED, Stop::SUBPROBLEM_MAX_BB_EVAL_REACHED},
        {"sub-problem, own reason", [](EvcMainThreadInfo& i) { i.resetBbEvalInSubproblem(); },
         [](const EvcMainThreadInfo& i) { return i.getBbEvalInSubproblem(); },
         Stop::SUBPROBLEM_MAX_BB_EVAL_REACHED, Stop::STARTED},
        {"sub-problem, surrogate reason", [](EvcMainThreadInfo& i) { i.resetBbEvalInSubproblem(); },
         [](const EvcMainThreadInfo& i) { return i.getBbEvalInSubproblem(); },
         Stop::MAX_SGTE_EVAL_REACHED, Stop::MAX_SGTE_EVAL_REACHED},
        {"surrogate, own reason", [](EvcMainThreadInfo& i) { i.resetSgteEval(); },
         [](const EvcMainThreadInfo& i) { return i.getSgteEval(); }, Stop::MAX_SGTE_EVAL_REACHED,
         Stop::STARTED},
        {"surrogate, opportunistic stop", [](EvcMainThreadInfo& i) { i.resetSgteEval(); },
         [](const EvcMainThreadInfo& i) { return i.getSgteEval(); }, Stop::OPPORTUNISTIC_SUCCESS,
         Stop::OPPORTUNISTIC_SUCCESS},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        EvcHarness h(opportunistic(), OBJ_PB, QarnoTest::firstCoordinateObjective());
        EvcMainThreadInfo& info = h.evc->getMainThreadInfo(0);
        info.incLapBbEval();
        info.incBbEvalInSubproblem();
        info.incSgteEval();
        info.setStopReason(c.reasonBefore);

        c.reset(info);
        EXPECT_EQ(0u, c.count(info));
        EXPECT_EQ(c.reasonAfter, info.getStopReason().get());
    }
}

TEST_F(EvcMainThreadInfoTest, EvaluatedPointsAreHandedOutOnceAndCountsNeverGoBelowZero)
{
    EvcHarness h(opportunistic(), OBJ_PB, QarnoTest::firstCoordinateObjective());
    EvcMainThreadInfo& info = h.evc->getMainThreadInfo(0);
    info.addEvaluatedPoint(makeEvalPoint({1, 2}, 1, 0));
    info.addEvaluatedPoint(makeEvalPoint({3, 4}, 2, 0));

    EXPECT_EQ((std::vector<std::vector<double>>{{1, 2}, {3, 4}}),
              QarnoTest::coordsOf(info.retrieveAllEvaluatedPoints()));
    EXPECT_TRUE(info.retrieveAllEvaluatedPoints().empty());

    EXPECT_EQ("Error in EvaluatorControl main thread management: Trying to decrease number of "
              "points in queue which is already 0",
              messageOf([&] { info.decNbPointsInQueue(); }));
    std::string file;
    EXPECT_EQ("Error in EvaluatorControl main thread management: Trying to decrease number of "
              "currently running evaluations which is already 0",
              messageOf([&] { info.decCurrentlyRunning(); }, &file));
    EXPECT_EQ("src/Eval/EvcMainThreadInfo", file);
    EXPECT_EQ(0u, info.getNbPointsInQueue() + info.getCurrentlyRunning());
}

TEST_F(EvcMainThreadInfoTest, TheBestIncumbentOnlyImproves)
{
    EvcHarness h(opportunistic(), OBJ_PB, QarnoTest::firstCoordinateObjective());
    EvcMainThreadInfo& info = h.evc->getMainThreadInfo(0);
    const auto first = std::make_shared<EvalPoint>(makeEvalPoint({1, 1}, 5, 0));
    const auto worse = std::make_shared<EvalPoint>(makeEvalPoint({2, 2}, 8, 0));
    const auto better = std::make_shared<EvalPoint>(makeEvalPoint({3, 3}, 2, 0));

    info.setBestIncumbent(first);
    EXPECT_EQ(first, info.getBestIncumbent());
    info.setBestIncumbent(worse);
    EXPECT_EQ(first, info.getBestIncumbent());
    info.setBestIncumbent(better);
    EXPECT_EQ(better, info.getBestIncumbent());
}

TEST_F(EvcMainThreadInfoTest, AFeasiblePointReplacesAnInfeasibleBestIncumbent)
{
    // The success rules do not rank a feasible point against an infeasible
    // one; a best incumbent kept infeasible would hide every feasible point
    // of the run from its successes.
    EvcHarness h(opportunistic(), OBJ_PB, QarnoTest::firstCoordinateObjective());
    EvcMainThreadInfo& info = h.evc->getMainThreadInfo(0);
    const auto infeasible = std::make_shared<EvalPoint>(makeEvalPoint({1, 1}, 5, 2));
    const auto feasible = std::make_shared<EvalPoint>(makeEvalPoint({2, 2}, 30, 0));
    const auto betterInfeasible = std::make_shared<EvalPoint>(makeEvalPoint({3, 3}, 1, 1));

    info.setBestIncumbent(infeasible);
    info.setBestIncumbent(feasible);
    EXPECT_EQ(feasible, info.getBestIncumbent());
    info.setBestIncumbent(betterInfeasible);
    EXPECT_EQ(feasible, info.getBestIncumbent());
}

} // namespace
