// Phase one ahead of MADS: the points it queues, the four rules it swaps
// and puts back, the solution file, h of the cache, its ends without a
// feasible point, an interrupt in its middle, and the report of a run that
// stops on the feasible point it found.

#include <gtest/gtest.h>

#include <csignal>
#include <iostream>
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
#include "support/CacheSupport.hpp"
#include "support/EvaluatorSupport.hpp"
#include "support/FrontEndSupport.hpp"
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
        const auto result = runPhaseOneMainStep(allParams, halfPlaneEB(records, sol));

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
            allParams, halfPlaneEB(records, sol,
                                   [](const std::vector<double>& x) { return 1.0 + x[0] * x[0]; }));
        ASSERT_EQ("", result.error);
        ASSERT_EQ(2u, result.algos.size());
        EXPECT_NE(
            std::string::npos,
            result.stopReasons[0].find("Mads has terminated but no feasible point obtained (Algo)"))
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
    EXPECT_NE(std::string::npos, phaseOne->getAllStopReasons()->getStopReasonAsString().find(
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
        auto evaluator = halfPlaneEB(
            records, sol, [](const std::vector<double>& x) { return 1.0 + x[0] * x[0]; });
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

/// A whole run of a main step: what it showed, the error that ended it (""
/// for none) and its blackbox evaluations.
MadsRunResult runMainStep(const std::shared_ptr<AllParameters>& allParams,
                          const std::shared_ptr<Evaluator>& evaluator)
{
    return runMadsMainStep(allParams, evaluator, CatchErrors::ALL);
}

TEST_F(PhaseOneTest, AnInterruptEndsTheRunWithItsReportsAndFiles)
{
    // Ctrl-C while phase one runs used to end the run silently: phase one
    // leaves the reports and the files to the main MADS, which then does
    // not run. The same with PB constraints (no phase one) for comparison.
    const struct
    {
        const char* label;
        std::string outputs;
        size_t interruptAt; // the evaluation during which Ctrl-C comes
    } cases[] = {
        {"phase one, starting point", "OBJ EB", 1},
        {"phase one, iterations", "OBJ EB", 3},
        {"MADS, starting point", "OBJ PB", 1},
        {"MADS, iterations", "OBJ PB", 3},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ProcessStateGuard perCase;
        TempDir files;
        const auto allParams = makeMadsParameters(
            2, c.outputs, {{-2, -2}},
            {"MAX_BB_EVAL 50", "CACHE_FILE " + files.file("cache.txt"),
             "HOT_RESTART_WRITE_FILES yes", "HOT_RESTART_FILE " + files.file("hot.txt")});
        const BBOutputTypeList types = stringToBBOutputTypeList(c.outputs);
        auto evaluator = std::make_shared<FunctionEvaluator>(
            types,
            [](const EvalPoint& point)
            {
                const double f = point[0].todouble() + point[1].todouble();
                return Double(f).tostring() + " " + Double(-1.0 - f).tostring();
            });
        size_t blocks = 0;
        evaluator->beforeBlock = [&blocks, &c](const auto&)
        {
            if (++blocks == c.interruptAt)
            {
                std::raise(SIGINT);
            }
        };

        const MadsRunResult run = runMainStep(allParams, evaluator);
        ASSERT_EQ("", run.error);
        EXPECT_NE(std::string::npos, run.out.find("QARNO caught User interruption."));
        EXPECT_NE(std::string::npos, run.out.find("A termination criterion is reached: Ctrl-C"))
            << run.out;
        EXPECT_NE(std::string::npos, run.out.find("Best feasible solution")) << run.out;
        EXPECT_NE(std::string::npos, run.out.find("Blackbox evaluations: ")) << run.out;

        ASSERT_GE(run.bbEval, c.interruptAt);
        EXPECT_LT(run.bbEval, 50u);
        EXPECT_EQ(run.bbEval, cachedPointsOf(fileContent(files.file("cache.txt"))).size());
        EXPECT_NE(std::string::npos, fileContent(files.file("hot.txt"))
                                         .find("NB_BB_EVAL " + std::to_string(run.bbEval) + "\n"))
            << fileContent(files.file("hot.txt"));
        EXPECT_FALSE(currentPhaseOneRules().any());
    }
}

TEST_F(PhaseOneTest, ARunThatStopsOnItsFirstFeasiblePointReportsIt)
{
    // With STOP_IF_FEASIBLE the main MADS stops before its first
    // mega-iteration; its report used to say "Undefined." while the
    // solution file held the point phase one found.
    const auto allParams = params({-2, -2}, {"MAX_BB_EVAL 100", "STOP_IF_FEASIBLE yes"});
    const MadsRunResult run = runMainStep(allParams, halfPlaneEB(records, sol));
    ASSERT_EQ("", run.error);
    const std::vector<double> found = solutionPoint(fileContent(sol), 2);
    ASSERT_EQ(2u, found.size()) << run.out;

    std::string reported;
    for (const auto& line : linesOf(run.out))
    {
        if (0 == line.rfind("Best feasible solution", 0))
        {
            reported = line;
        }
    }
    EXPECT_EQ(std::string::npos, reported.find("Undefined")) << run.out;
    std::istringstream words(reported.substr(reported.find('(') + 1));
    std::vector<double> x(2);
    words >> x[0] >> x[1];
    EXPECT_EQ(found, x) << reported;
}

TEST(PhaseOneQarnoExe, CtrlCInPhaseOneEndsWithStatusZeroReportsAndFiles)
{
    // As a user sees it: qarno on an EB problem from an infeasible X0,
    // Ctrl-C during the second evaluation. The shell hands its process id
    // to qarno by exec, and the blackbox signals it.
    TempDir dir;
    writeTextFile(dir.file("param.txt"), "DIMENSION 2\n"
                                         "X0 ( 15.3 0.2 )\n"
                                         "BB_EXE " +
                                             testBBExe() +
                                             "\n"
                                             "BB_OUTPUT_TYPE OBJ EB\n"
                                             "MAX_BB_EVAL 50\n"
                                             "ADD_SEED_TO_FILE_NAMES no\n"
                                             "CACHE_FILE cache.txt\n"
                                             "HOT_RESTART_WRITE_FILES yes\n");
    ScopedEnv mode("QARNO_TEST_BB_MODE", std::string("interrupt"));
    ScopedEnv log("QARNO_TEST_BB_LOG", dir.file("runs.txt"));
    ScopedEnv at("QARNO_TEST_INTERRUPT_AT", std::string("2"));
    const auto result =
        runProgram("/bin/sh",
                   {"-c",
                    "QARNO_TEST_SIGNAL_PID=$$; export QARNO_TEST_SIGNAL_PID; exec \"$0\" "
                    "param.txt",
                    qarnoExe()},
                   dir.path());

    EXPECT_EQ(0, result.exitStatus) << result.err;
    EXPECT_NE(std::string::npos, result.out.find("QARNO caught User interruption.")) << result.out;
    EXPECT_NE(std::string::npos, result.out.find("A termination criterion is reached: Ctrl-C"))
        << result.out;
    EXPECT_NE(std::string::npos, result.out.find("Best infeasible solution")) << result.out;
    EXPECT_NE(std::string::npos, result.out.find("Blackbox evaluations: 2\n")) << result.out;
    EXPECT_EQ(2u, cachedPointsOf(readTextFile(dir.file("cache.txt"))).size());
    EXPECT_NE(std::string::npos, readTextFile(dir.file("hotrestart.txt")).find("NB_BB_EVAL 2\n"));
}

} // namespace
