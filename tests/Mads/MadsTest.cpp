// MADS runs through the main step with C++ evaluators: convergence on
// bounded, integer and constrained problems, budgets, stop reasons,
// reproducibility from SEED and the hot restart of a run.

#include <algorithm>
#include <cmath>
#include <csignal>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/Mads/Mads.hpp"
#include "Algos/MainStep.hpp"
#include "Util/FileUtils.hpp"
#include "support/CacheSupport.hpp"
#include "support/EvcSupport.hpp"
#include "support/MadsSupport.hpp"
#include "support/StepSupport.hpp"
#include "support/StepTree.hpp"
#include "support/TestProblems.hpp"
#include "support/TestSupport.hpp"

namespace
{

using namespace QARNO_4_0_0;
using QarnoTest::FunctionEvaluator;
using QarnoTest::MadsRunResult;
using QarnoTest::makeMadsParameters;
using QarnoTest::ProcessStateGuard;
using QarnoTest::runMadsMainStep;
using QarnoTest::shiftedQuadratic;
using QarnoTest::TempDir;

bool contains(const std::string& text, const std::string& part)
{
    return std::string::npos != text.find(part);
}

double sumOfSquares(const std::vector<double>& x, const std::vector<double>& shift)
{
    double f = 0;
    for (size_t i = 0; i < x.size(); ++i)
    {
        f += (x[i] - shift[i]) * (x[i] - shift[i]);
    }
    return f;
}

TEST(MadsRun, ShiftedQuadraticWithBounds)
{
    for (size_t n = 2; n <= 10; ++n)
    {
        SCOPED_TRACE("n = " + std::to_string(n));
        ProcessStateGuard guard;
        std::vector<double> shift;
        for (size_t i = 0; i < n; ++i)
        {
            shift.push_back(0.5 + 0.25 * static_cast<double>(i));
        }
        // The last coordinate's optimum lies beyond the upper bound.
        shift[n - 1] = 4;
        const std::vector<double> x0(n, -2.0);
        const size_t maxBbEval = 40 * n;
        // The path of one run turns on every decision of its searches: the
        // reach is judged on the median of three seeds, not on one path.
        std::vector<std::pair<double, double>> gapsAndLast;
        for (int seed : {0, 1, 2})
        {
            SCOPED_TRACE("SEED " + std::to_string(seed));
            ProcessStateGuard runGuard;
            auto params = makeMadsParameters(n, "OBJ", {x0},
                                             {"LOWER_BOUND * -3", "UPPER_BOUND * 3",
                                              "MAX_BB_EVAL " + std::to_string(maxBbEval),
                                              "SEED " + std::to_string(seed)});
            const MadsRunResult result = runMadsMainStep(params, shiftedQuadratic(shift));

            EXPECT_EQ(maxBbEval, result.bbEval);
            EXPECT_TRUE(contains(result.stopReason, "Max number of blackbox evaluations"))
                << result.stopReason;
            ASSERT_EQ(n, result.bestFeas.size());
            for (double xi : result.bestFeas)
            {
                EXPECT_TRUE(xi >= -3 && xi <= 3) << xi;
            }
            // The optimum is shift with its last coordinate at 3, where f = 1.
            gapsAndLast.emplace_back(result.bestF - 1, result.bestFeas[n - 1]);
        }
        std::sort(gapsAndLast.begin(), gapsAndLast.end());
        const auto& median = gapsAndLast[1];
        EXPECT_LT(median.first, 0.01 * sumOfSquares(x0, shift)) << median.first;
        EXPECT_NEAR(3, median.second, 0.2);
    }
}

TEST(MadsRun, StopsOnTheMinimumMeshSize)
{
    ProcessStateGuard guard;
    const auto& problem = QarnoTest::testProblem("mads-sphere2");
    auto params = makeMadsParameters(problem.n, "OBJ", {problem.x0},
                                     {"MIN_FRAME_SIZE * 0.01", "MAX_BB_EVAL 400"});
    const MadsRunResult result = runMadsMainStep(params, shiftedQuadratic(problem.minimiser));
    EXPECT_LT(result.bbEval, 400u);
    EXPECT_TRUE(contains(result.stopReason, "(Algo)")) << result.stopReason;
    EXPECT_FALSE(contains(result.stopReason, "Max number of blackbox evaluations"));
    EXPECT_TRUE(result.runResult);
    ASSERT_EQ(2u, result.bestFeas.size());
    EXPECT_NEAR(0.5, result.bestFeas[0], 0.02);
    EXPECT_NEAR(-0.25, result.bestFeas[1], 0.02);
}

TEST(MadsRun, IntegerVariables)
{
    ProcessStateGuard guard;
    const auto& problem = QarnoTest::testProblem("mads-sphere3");
    auto params = makeMadsParameters(problem.n, "OBJ", {problem.x0},
                                     {"BB_INPUT_TYPE ( I I R )", "MAX_BB_EVAL 200"});
    const MadsRunResult result = runMadsMainStep(params, shiftedQuadratic(problem.minimiser));
    EXPECT_LE(result.bbEval, 200u);
    ASSERT_EQ(3u, result.bestFeas.size());
    EXPECT_EQ(1, result.bestFeas[0]);
    EXPECT_EQ(-3, result.bestFeas[1]);
    EXPECT_NEAR(0.5, result.bestFeas[2], 0.05);
}

TEST(MadsRun, ProgressiveBarrierConstraint)
{
    ProcessStateGuard guard;
    // f = (x0 - 2)^2 + (x1 - 2)^2 with x0 + x1 <= 2: optimum (1, 1), f = 2,
    // from an infeasible start.
    auto params = makeMadsParameters(2, "OBJ PB", {{3, 3}}, {"MAX_BB_EVAL 200"});
    const MadsRunResult result = runMadsMainStep(
        params, shiftedQuadratic({2, 2}, "OBJ PB",
                                 [](const EvalPoint& x) { return (x[0] + x[1]).todouble() - 2; }));
    EXPECT_LE(result.bbEval, 200u);
    EXPECT_TRUE(contains(result.stopReason, "Max number of blackbox evaluations") ||
                contains(result.stopReason, "(Algo)"))
        << result.stopReason;
    ASSERT_EQ(2u, result.bestFeas.size());
    EXPECT_LE(result.bestFeas[0] + result.bestFeas[1], 2);
    EXPECT_NEAR(2, result.bestF, 0.05);
}

TEST(MadsRun, FailedStartingPointEndsTheRun)
{
    ProcessStateGuard guard;
    auto evaluator = shiftedQuadratic({0, 0});
    evaluator->evalOk = [](const EvalPoint&) { return false; };
    auto params = makeMadsParameters(2, "OBJ", {{1, 1}}, {"MAX_BB_EVAL 50", "DISPLAY_DEGREE 3"});
    const MadsRunResult result = runMadsMainStep(params, evaluator);
    EXPECT_FALSE(result.runResult);
    EXPECT_EQ(1u, evaluator->evaluatedPoints().size());
    EXPECT_TRUE(contains(result.stopReason, "Problem with starting point evaluation (Algo)"))
        << result.stopReason;
    EXPECT_TRUE(contains(result.out, "X0 evaluation failed for X0 = ( 1 1 )")) << result.out;
    EXPECT_TRUE(contains(result.out, "A termination criterion is reached")) << result.out;
    EXPECT_FALSE(contains(result.out, "MegaIteration")) << result.out;
}

TEST(MadsRun, MaxIterationsStopsBeforeTheNextIteration)
{
    ProcessStateGuard guard;
    auto params = makeMadsParameters(2, "OBJ", {{2, 2}},
                                     {"MAX_ITERATIONS 3", "MAX_BB_EVAL 200", "DISPLAY_DEGREE 3"});
    const MadsRunResult result = runMadsMainStep(params, shiftedQuadratic({0.5, 0.5}));
    EXPECT_TRUE(contains(result.out, "MADS Iteration 2")) << result.out;
    EXPECT_FALSE(contains(result.out, "MADS Iteration 3")) << result.out;
    EXPECT_TRUE(contains(result.stopReason, "Maximum number of iterations reached"))
        << result.stopReason;
    EXPECT_LT(result.bbEval, 200u);
}

TEST(MadsRun, SuccessfulSearchSkipsThePoll)
{
    ProcessStateGuard guard;
    // Far from the optimum, the speculative search of the second iteration
    // goes on along the first success and improves again.
    auto params = makeMadsParameters(2, "OBJ", {{5, 5}}, {"MAX_ITERATIONS 2", "DISPLAY_DEGREE 3"});
    const MadsRunResult result = runMadsMainStep(params, shiftedQuadratic({-20, -20}));
    const size_t begin = result.out.find("Start step MADS Iteration 1");
    const size_t end = result.out.find("End step MADS Iteration 1");
    ASSERT_NE(std::string::npos, begin) << result.out;
    ASSERT_NE(std::string::npos, end) << result.out;
    const std::string iteration = result.out.substr(begin, end - begin);
    EXPECT_TRUE(contains(iteration, "Search Successful. Enlarge Delta frame size.")) << iteration;
    EXPECT_FALSE(contains(iteration, "Start step Poll")) << iteration;
    EXPECT_TRUE(result.runResult);
}

TEST(MadsRun, InterruptEndsTheRunAfterTheIteration)
{
    ProcessStateGuard guard;
    auto evaluator = shiftedQuadratic({0.5, 0.5});
    size_t calls = 0;
    evaluator->beforeBlock = [&calls](const std::vector<std::shared_ptr<EvalPoint>>&)
    {
        // The third evaluation is interrupted by the user.
        if (3 == ++calls)
        {
            std::raise(SIGINT);
        }
    };
    auto params = makeMadsParameters(2, "OBJ", {{2, 2}}, {"MAX_BB_EVAL 200"});
    const MadsRunResult result = runMadsMainStep(params, evaluator);
    EXPECT_TRUE(contains(result.stopReason, "Ctrl-C")) << result.stopReason;
    // The iteration under way is finished (at most one poll), nothing more.
    EXPECT_LE(result.bbEval, 3u + 4u);
    EXPECT_TRUE(contains(result.out, "QARNO caught User interruption.")) << result.out;
}

/// The points a short run evaluates, in order.
std::vector<std::vector<double>> shortRun(int seed, const std::string& nmSearch = "yes")
{
    auto evaluator = shiftedQuadratic({0.3, -0.7, 1.1});
    auto params = makeMadsParameters(3, "OBJ", {{0, 0, 0}},
                                     {"MAX_BB_EVAL 12", "SEED " + std::to_string(seed),
                                      "DIRECTION_TYPE ORTHO 2N", "NM_SEARCH " + nmSearch});
    runMadsMainStep(params, evaluator);
    return evaluator->evaluatedPoints();
}

TEST(MadsRun, EvaluatedPointsFollowFromTheSeed)
{
    ProcessStateGuard guard;
    const auto first = shortRun(7);
    ProcessStateGuard::resetToLoadState();
    const auto second = shortRun(7);
    ASSERT_EQ(12u, first.size());
    EXPECT_EQ(first, second);
    // Pinned: the poll directions draw from the generator that SEED starts.
    // The Nelder-Mead search (on by default) runs once the first polls have
    // left enough points for its simplex: the tenth and eleventh points are
    // its own, the twelfth is the next poll's.
    const std::vector<std::vector<double>> pinned = {
        {0, 0, 0},    {-1, 0, 0}, {0, -1, 0}, {0, -3, 0}, {1, -3, 0}, {0, -2, 1},
        {-1, -2, -1}, {1, 0, 1},  {3, 2, 3},  {0, 2, -1}, {0, -2, 0}, {1, 3, 3},
    };
    EXPECT_EQ(pinned, first);
    // Without it, the polls alone.
    ProcessStateGuard::resetToLoadState();
    const std::vector<std::vector<double>> pinnedPollsOnly = {
        {0, 0, 0},    {-1, 0, 0}, {0, -1, 0}, {0, -3, 0}, {1, -3, 0}, {0, -2, 1},
        {-1, -2, -1}, {1, 0, 1},  {3, 2, 3},  {1, 3, 3},  {3, 0, 1},  {1, 5, 0},
    };
    EXPECT_EQ(pinnedPollsOnly, shortRun(7, "no"));

    ProcessStateGuard::resetToLoadState();
    EXPECT_NE(first, shortRun(8));
}

TEST(MadsRun, HotRestartContinuesFromTheBarrierAndTheMesh)
{
    ProcessStateGuard guard;
    TempDir dir;
    const std::vector<std::string> files = {"HOT_RESTART_FILE " + dir.file("hotrestart.txt"),
                                            "CACHE_FILE " + dir.file("cache.txt")};
    const std::vector<double> shift = {0.3, -0.7};

    auto firstLines = files;
    firstLines.push_back("HOT_RESTART_WRITE_FILES yes");
    firstLines.push_back("MAX_BB_EVAL 20");
    auto firstEvaluator = shiftedQuadratic(shift);
    const MadsRunResult first =
        runMadsMainStep(makeMadsParameters(2, "OBJ", {{2, 2}}, firstLines), firstEvaluator);
    ASSERT_EQ(20u, first.bbEval);
    const std::string hotRestart = QarnoTest::readTextFile(dir.file("hotrestart.txt"));
    ASSERT_TRUE(contains(hotRestart, "MEGA_ITERATION \nMAIN_MESH \nDELTA_MESH_SIZE")) << hotRestart;
    EXPECT_TRUE(contains(hotRestart, "NB_BB_EVAL 20")) << hotRestart;

    // A new process: the cache comes from its file, the rest from the
    // hot-restart file.
    ProcessStateGuard::resetToLoadState();
    auto secondLines = files;
    secondLines.push_back("HOT_RESTART_READ_FILES yes");
    secondLines.push_back("HOT_RESTART_WRITE_FILES yes");
    secondLines.push_back("MAX_BB_EVAL 40");
    secondLines.push_back("DISPLAY_DEGREE 3");
    auto secondEvaluator = shiftedQuadratic(shift);
    const MadsRunResult second =
        runMadsMainStep(makeMadsParameters(2, "OBJ", {{2, 2}}, secondLines), secondEvaluator);
    EXPECT_TRUE(contains(second.out, "Read hot restart file " + dir.file("hotrestart.txt")));

    // It goes on with the budget left and evaluates no point twice: X0
    // and the other points of the first run come from the cache.
    const auto firstPoints = firstEvaluator->evaluatedPoints();
    const auto secondPoints = secondEvaluator->evaluatedPoints();
    EXPECT_EQ(40u, second.bbEval);
    EXPECT_EQ(20u, secondPoints.size());
    for (const auto& x : secondPoints)
    {
        for (const auto& y : firstPoints)
        {
            EXPECT_NE(x, y);
        }
    }
    EXPECT_LE(second.bestF, first.bestF);
    // Its first mega-iteration starts from the mesh read back, not from the
    // initial one: the frame of the first poll is that of the end of the
    // first run.
    const size_t frameAt = hotRestart.find("DELTA_FRAME_SIZE ") + 17;
    const std::string frame = hotRestart.substr(frameAt, hotRestart.find('\n', frameAt) - frameAt);
    EXPECT_TRUE(contains(second.out, "Delta frame size = " + frame)) << frame;
    EXPECT_FALSE(contains(second.out, "Using X0"));

    // The iterations are numbered on from where the first run stopped.
    const size_t countAt = hotRestart.find("ITERATION_COUNT ") + 16;
    const std::string count = hotRestart.substr(countAt, hotRestart.find('\n', countAt) - countAt);
    EXPECT_NE("0", count);
    EXPECT_TRUE(contains(second.out, "MADS MegaIteration " + count)) << count;
    EXPECT_FALSE(contains(second.out, "MADS MegaIteration 0")) << second.out;
}

TEST(MadsHotRestartFile, WithoutTheCacheTheRunStartsAfresh)
{
    ProcessStateGuard guard;
    TempDir dir;
    const std::string file = "HOT_RESTART_FILE " + dir.file("hotrestart.txt");
    runMadsMainStep(makeMadsParameters(2, "OBJ", {{2, 2}},
                                       {file, "CACHE_FILE " + dir.file("cache.txt"),
                                        "HOT_RESTART_WRITE_FILES yes", "MAX_BB_EVAL 10"}),
                    shiftedQuadratic({0, 0}));
    ASSERT_TRUE(contains(QarnoTest::readTextFile(dir.file("hotrestart.txt")), "MAIN_MESH"));

    // A new process whose cache file is another (missing) one: no point to
    // continue from.
    ProcessStateGuard::resetToLoadState();
    auto evaluator = shiftedQuadratic({0, 0});
    const MadsRunResult result =
        runMadsMainStep(makeMadsParameters(2, "OBJ", {{2, 2}},
                                           {file, "CACHE_FILE " + dir.file("other.txt"),
                                            "HOT_RESTART_READ_FILES yes", "MAX_BB_EVAL 10"}),
                        evaluator);
    EXPECT_TRUE(contains(result.out, "Warning: hot restart file " + dir.file("hotrestart.txt") +
                                         " not used: the cache holds no evaluated point to "
                                         "continue from."))
        << result.out;
    EXPECT_EQ(10u, result.bbEval);
    ASSERT_FALSE(evaluator->evaluatedPoints().empty());
    EXPECT_EQ((std::vector<double>{2, 2}), evaluator->evaluatedPoints()[0]);
}

TEST(MadsHotRestartFile, ReadWithoutFileName)
{
    ProcessStateGuard guard;
    QarnoTest::EvcHarness algoRun;
    QarnoTest::MadsUnderTest madsRun(2);
    QarnoTest::CerrCapture err;
    EXPECT_FALSE(QARNO_4_0_0::read<Mads>(*madsRun.mads, ""));
    EXPECT_EQ("Warning: N11QARNO_4_0_04MadsE: Cannot read file: file name is not defined.",
              err.text());
}

} // namespace
