// Phase one ahead of MADS: the points it queues, the four rules it swaps
// and puts back, the solution file, h of the cache, and its ends without a
// feasible point.

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "Algos/EvcInterface.hpp"
#include "Algos/MainStep.hpp"
#include "Algos/PhaseOne/PhaseOne.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/Eval.hpp"
#include "Eval/EvalPoint.hpp"
#include "Math/Double.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/PbParameters.hpp"
#include "support/MadsSupport.hpp"
#include "support/PhaseOneSupport.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using namespace QarnoTest;

namespace
{

bool feasible(const PhaseOneEvalRecord& record)
{
    return -1.0 - record.x[0] - record.x[1] <= 0.0;
}

/// The coordinates at the start of the solution file's line.
std::vector<double> solutionPoint(const std::string& content, size_t n)
{
    std::istringstream in(content);
    std::vector<double> x(n);
    for (auto& xi : x)
    {
        in >> xi;
    }
    return in ? x : std::vector<double>();
}

Double cachedH(const std::vector<double>& x)
{
    Point p(x.size());
    for (size_t i = 0; i < x.size(); ++i)
    {
        p[i] = x[i];
    }
    EvalPoint found;
    EXPECT_EQ(1u, CacheBase::getInstance()->find(p, found, EvalType::BB));
    return found.getH(EvalType::BB);
}

class PhaseOneTest : public ::testing::Test
{
protected:
    std::shared_ptr<AllParameters> params(const std::vector<double>& x0,
                                          std::vector<std::string> lines = {})
    {
        // A file of its own per run: the writer does not empty it.
        sol = dir.file("sol" + std::to_string(++runs) + ".txt");
        lines.push_back("SOLUTION_FILE " + sol);
        lines.push_back("HISTORY_FILE " + dir.file("hist.txt"));
        return makeMadsParameters(2, "OBJ EB", {x0}, lines);
    }

    ProcessStateGuard guard;
    TempDir dir;
    size_t runs = 0;
    /// The solution file of the last parameters made.
    std::string sol;
    std::vector<PhaseOneEvalRecord> records;
};

TEST_F(PhaseOneTest, InfeasibleStartRunsPhaseOneThenMadsFromItsFeasiblePoint)
{
    const std::vector<std::vector<double>> starts = {{-2, -2}, {-3, 0.5}, {0.25, -4}};
    for (const auto& x0 : starts)
    {
        SCOPED_TRACE(::testing::Message() << "x0 = " << x0[0] << " " << x0[1]);
        ProcessStateGuard perCase;
        records.clear();
        const auto allParams = params(x0, {"MAX_BB_EVAL 100"});
        const auto result =
            runPhaseOneMainStep(allParams, halfPlaneEB(records, sol));

        ASSERT_EQ("", result.error);
        ASSERT_EQ((std::vector<std::string>{"Phase One", "MADS"}), result.algos);
        EXPECT_LE(result.bbEval, 100u);
        ASSERT_EQ(result.bbEval, records.size());

        // The phase-one points come first, all marked and all under the
        // phase-one rules; the solution file stays untouched meanwhile.
        size_t p = 0;
        while (p < records.size() && records[p].inPhaseOne)
        {
            const auto& r = records[p];
            EXPECT_EQ("(Phase One)", r.comment);
            EXPECT_TRUE(r.rules.hCountsEBAsPB);
            EXPECT_TRUE(r.rules.evalSuccessOnHAlone);
            EXPECT_TRUE(r.rules.queueSuccessOnHAlone);
            EXPECT_TRUE(r.rules.solutionFileOff);
            EXPECT_EQ("", r.solutionFile);
            ++p;
        }
        ASSERT_GT(p, 0u);
        ASSERT_LT(p, records.size()) << "the main MADS evaluated nothing";
        EXPECT_FALSE(feasible(records[0]));
        // STOP_IF_FEASIBLE: phase one ends with the iteration that found
        // its first feasible point.
        EXPECT_TRUE(feasible(records[p - 1]));

        // Then the main MADS, under the default rules, with the solution
        // file written once by phase one: the best feasible point so far.
        double bestF = INF;
        std::vector<double> best;
        for (size_t i = 0; i < p; ++i)
        {
            const double f = records[i].x[0] + records[i].x[1];
            if (feasible(records[i]) && f < bestF)
            {
                bestF = f;
                best = records[i].x;
            }
        }
        EXPECT_EQ(best, solutionPoint(records[p].solutionFile, 2));
        for (size_t i = p; i < records.size(); ++i)
        {
            EXPECT_FALSE(records[i].inPhaseOne);
            EXPECT_NE("(Phase One)", records[i].comment);
            EXPECT_FALSE(records[i].rules.any());
        }

        // Rules and h restored; the user's STOP_IF_FEASIBLE untouched.
        EXPECT_FALSE(currentPhaseOneRules().any());
        EXPECT_EQ(Double(INF), cachedH(x0));
        EXPECT_EQ(Double(0), cachedH(best));
        EXPECT_FALSE(allParams->get_pb_params()->getAttributeValue<bool>("STOP_IF_FEASIBLE"));
        EXPECT_EQ(2u, solutionPoint(fileContent(sol), 2).size());
    }
}

TEST_F(PhaseOneTest, AFeasibleStartCostsNoExtraEvaluation)
{
    const std::vector<std::vector<double>> starts = {{1, 1}, {-0.5, -0.5}, {3, -2}};
    for (const auto& x0 : starts)
    {
        SCOPED_TRACE(::testing::Message() << "x0 = " << x0[0] << " " << x0[1]);
        ProcessStateGuard perCase;
        records.clear();
        const auto allParams = params(x0, {"MAX_BB_EVAL 30"});
        const auto result = runPhaseOneMainStep(allParams, halfPlaneEB(records, sol));
        ASSERT_EQ("", result.error);
        ASSERT_EQ((std::vector<std::string>{"Phase One", "MADS"}), result.algos);
        ASSERT_GE(records.size(), 2u);
        // Phase one evaluates x0 alone; the main MADS finds it in the cache.
        EXPECT_TRUE(records[0].inPhaseOne);
        EXPECT_EQ(x0, records[0].x);
        EXPECT_FALSE(records[1].inPhaseOne);
        EXPECT_EQ(x0, solutionPoint(records[1].solutionFile, 2));
        size_t x0Evaluations = 0;
        for (const auto& r : records)
        {
            x0Evaluations += (r.x == x0) ? 1 : 0;
        }
        EXPECT_EQ(1u, x0Evaluations);
        EXPECT_EQ(30u, result.bbEval);
    }
}

TEST_F(PhaseOneTest, NoFeasiblePointEndsTheRunWithoutTheMainMads)
{
    struct Case
    {
        std::vector<std::string> lines;
        std::string why;
    };
    const std::vector<Case> cases = {
        {{"MAX_BB_EVAL 20"}, "budget"},
        {{"MAX_BB_EVAL 1000", "MIN_FRAME_SIZE * 0.5"}, "frame size"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        ProcessStateGuard perCase;
        records.clear();
        const auto allParams = params({-2, -2}, c.lines);
        const auto result = runPhaseOneMainStep(
            allParams,
            halfPlaneEB(records, sol,
                        [](const std::vector<double>& x) { return 1.0 + x[0] * x[0]; }));
        ASSERT_EQ("", result.error);
        ASSERT_EQ(2u, result.algos.size());
        EXPECT_NE(std::string::npos,
                  result.stopReasons[0].find(
                      "Mads has terminated but no feasible point obtained (Algo)"))
            << result.stopReasons[0];
        ASSERT_FALSE(records.empty());
        for (const auto& r : records)
        {
            EXPECT_TRUE(r.inPhaseOne);
        }
        EXPECT_LE(result.bbEval, 1000u);
        EXPECT_EQ("", fileContent(sol));
        EXPECT_FALSE(currentPhaseOneRules().any());
        EXPECT_EQ(Double(INF), cachedH({-2, -2}));
    }
}

TEST_F(PhaseOneTest, AnEndWithoutARunFindsNoFeasiblePoint)
{
    const auto allParams = params({-2, -2});
    MainStep mainStep;
    mainStep.setAllParameters(allParams);
    mainStep.setEvaluator(halfPlaneEB(records, sol));
    mainStep.start();
    ASSERT_EQ(2u, mainStep.getAlgos().size());
    const auto& phaseOne = mainStep.getAlgos()[0];
    ASSERT_NE(nullptr, dynamic_cast<PhaseOne*>(phaseOne.get()));

    phaseOne->start();
    EXPECT_TRUE(currentPhaseOneRules().hCountsEBAsPB);
    EXPECT_EQ("(Phase One)", phaseOne->getAlgoComment());
    phaseOne->end();

    EXPECT_TRUE(records.empty());
    EXPECT_NE(std::string::npos,
              phaseOne->getAllStopReasons()->getStopReasonAsString().find(
                  "No feasible point obtained by PhaseOne search (Algo)"));
    EXPECT_TRUE(phaseOne->getAllStopReasons()->checkTerminate());
    EXPECT_FALSE(currentPhaseOneRules().any());
    EXPECT_EQ("", phaseOne->getAlgoComment());
    mainStep.end();
}

// A blackbox that fails in the middle of phase one: the error leaves the
// run, and the process must not keep the phase-one rules for what follows.
TEST_F(PhaseOneTest, AChildRunThatThrowsPutsTheDefaultRulesBack)
{
    const std::vector<size_t> failAfter = {1, 3, 6};
    for (const size_t n : failAfter)
    {
        SCOPED_TRACE(::testing::Message() << "fails after " << n << " evaluations");
        ProcessStateGuard perCase;
        records.clear();
        const auto allParams = params({-2, -2}, {"MAX_BB_EVAL 100"});
        auto evaluator = halfPlaneEB(records, sol,
                                     [](const std::vector<double>& x) { return 1.0 + x[0] * x[0]; });
        evaluator->beforeBlock = [this, n](const auto&)
        {
            if (records.size() >= n)
            {
                throw std::runtime_error("blackbox lost");
            }
        };
        const auto result = runPhaseOneMainStep(allParams, evaluator);

        ASSERT_NE(std::string::npos, result.error.find("blackbox lost")) << result.error;
        ASSERT_EQ(n, records.size());
        EXPECT_TRUE(records.back().rules.hCountsEBAsPB);
        // Put back at once, before the main step's end drops phase one.
        EXPECT_FALSE(result.rulesAfterError.hCountsEBAsPB);
        EXPECT_FALSE(result.rulesAfterError.evalSuccessOnHAlone);
        EXPECT_FALSE(result.rulesAfterError.queueSuccessOnHAlone);
        EXPECT_FALSE(result.rulesAfterError.solutionFileOff);
        EXPECT_FALSE(currentPhaseOneRules().any());
        // h of the cached points follows the default rule again.
        EXPECT_EQ(Double(INF), cachedH({-2, -2}));
    }
}

TEST_F(PhaseOneTest, RecomputingHOverTheCacheFollowsTheRuleAsked)
{
    PhaseOne::_bboutputtypes = {BBOutputType::OBJ, BBOutputType::EB};
    struct Case
    {
        std::string bbo;
        double hPB;
        double hDefault;
    };
    const std::vector<Case> cases = {
        {"1 5", 25, INF},
        {"1 0.5", 0.25, INF},
        {"1 -1", 0, 0},
        {"1 0", 0, 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.bbo);
        EvalPoint point(Point(1, Double(0)));
        point.setBBO(c.bbo, PhaseOne::_bboutputtypes, EvalType::BB, true);
        PhaseOne::recomputeHPB(point);
        EXPECT_EQ(Double(c.hPB), point.getH(EvalType::BB));
        PhaseOne::recomputeH(point);
        EXPECT_EQ(Double(c.hDefault), point.getH(EvalType::BB));
    }

    // Nothing to recompute: no blackbox evaluation, or no output text.
    EvalPoint unevaluated(Point(1, Double(0)));
    PhaseOne::recomputeHPB(unevaluated);
    PhaseOne::recomputeH(unevaluated);
    EXPECT_EQ(nullptr, unevaluated.getEval(EvalType::BB));

    EvalPoint noOutput(Point(1, Double(0)));
    {
        // The empty output is reported as a field-count mismatch.
        CerrCapture err;
        noOutput.setBBO("", PhaseOne::_bboutputtypes, EvalType::BB, true);
    }
    ASSERT_NE(nullptr, noOutput.getEval(EvalType::BB));
    noOutput.getEval(EvalType::BB)->setH(Double(3));
    PhaseOne::recomputeHPB(noOutput);
    EXPECT_EQ(Double(3), noOutput.getEval(EvalType::BB)->getH());
    PhaseOne::recomputeH(noOutput);
    EXPECT_EQ(Double(3), noOutput.getEval(EvalType::BB)->getH());
}

} // namespace
