// The initialization of Nelder-Mead: the n + 1 starting points around X0,
// kept within the bounds, their evaluation, the first barrier (also when
// every starting point was cached already) and the invalid-X0 texts.

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/NelderMead/NMInitialization.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/Barrier.hpp"
#include "support/CacheSupport.hpp"
#include "support/EvcSupport.hpp"
#include "support/MadsSupport.hpp"
#include "support/NMRunSupport.hpp"
#include "support/NMSupport.hpp"
#include "support/StepSupport.hpp"
#include "support/StepTree.hpp"
#include "support/TestSupport.hpp"

namespace
{

using namespace QARNO_4_0_0;
using QarnoTest::EvcHarness;
using QarnoTest::EvcOptions;
using QarnoTest::makeNMParameters;
using QarnoTest::messageOf;
using QarnoTest::ProcessStateGuard;
using QarnoTest::RecordingStep;
using QarnoTest::TestAlgorithm;

using Points = std::vector<std::vector<double>>;

struct InitRun
{
    bool result = false;
    std::string out;
    std::shared_ptr<Barrier> barrier;
    std::string nmStopReason;
};

/// start, run and end of the initialization of an "NM" algorithm with
/// those parameters.
InitRun runInitialization(const std::shared_ptr<AllParameters>& params)
{
    RecordingStep mainStep("Main");
    TestAlgorithm algo(&mainStep, "NM", params->get_run_params(), params->get_pb_params(),
                       QarnoTest::newNMStopReasons());
    InitRun run;
    NMInitialization init(&algo);
    run.out = QarnoTest::infoMessagesOf(
        [&]
        {
            init.start();
            run.result = init.run();
            init.end();
        });
    run.barrier = init.getBarrier();
    run.nmStopReason = QarnoTest::nmStopReasonText(algo);
    return run;
}

Points sorted(Points points)
{
    std::sort(points.begin(), points.end());
    return points;
}

std::string text(const Points& points)
{
    std::string s;
    for (const auto& p : points)
    {
        s += "(";
        for (double x : p)
        {
            s += " " + std::to_string(x);
        }
        s += " ) ";
    }
    return s;
}

void expectSamePoints(const Points& expected, const Points& actual)
{
    const Points e = sorted(expected);
    const Points a = sorted(actual);
    ASSERT_EQ(e.size(), a.size()) << text(a);
    for (size_t k = 0; k < e.size(); ++k)
    {
        ASSERT_EQ(e[k].size(), a[k].size());
        for (size_t i = 0; i < e[k].size(); ++i)
        {
            EXPECT_NEAR(e[k][i], a[k][i], 1e-12) << "point " << k << ", coordinate " << i;
        }
    }
}

struct StartCase
{
    std::string name;
    std::vector<std::string> lines;
    Points expected;
};

void runStartCases(const std::vector<StartCase>& cases)
{
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard guard;
        EvcHarness algoRun;
        const InitRun run = runInitialization(makeNMParameters(2, true, c.lines));
        EXPECT_TRUE(run.result);
        expectSamePoints(c.expected, algoRun.evaluator->evaluatedPoints());
        ASSERT_NE(nullptr, run.barrier);
        ASSERT_NE(nullptr, run.barrier->getFirstXFeas());
        EXPECT_EQ("Started", run.nmStopReason);
    }
}

TEST(NMInitialization, StartingPointsAroundX0)
{
    runStartCases({
        {"zero coordinate", {"X0 ( 0 2 )"}, {{0, 2}, {0.00025, 2}, {0, 2.1}}},
        {"coordinate below epsilon",
         {"X0 ( -1 1e-14 )"},
         {{-1, 1e-14}, {-1.05, 1e-14}, {-1, 0.00025}}},
        {"bounds out of reach",
         {"X0 ( 1 1 )", "LOWER_BOUND ( 0 0 )", "UPPER_BOUND ( 5 5 )"},
         {{1, 1}, {1.05, 1}, {1, 1.05}}},
    });
}

TEST(NMInitialization, PerturbedPointsAreSnappedIntoTheBounds)
{
    // Unsnapped, the first case would evaluate ( 2.1 1 ), outside the bounds.
    runStartCases({
        {"x0 on the upper bound",
         {"X0 ( 2 1 )", "UPPER_BOUND ( 2 - )"},
         {{2, 1}, {1.9, 1}, {2, 1.05}}},
        {"zero on the upper bound",
         {"X0 ( 0 1 )", "UPPER_BOUND ( 0 - )"},
         {{0, 1}, {-0.00025, 1}, {0, 1.05}}},
        {"x0 on the lower bound",
         {"X0 ( -2 1 )", "LOWER_BOUND ( -2 - )"},
         {{-2, 1}, {-1.9, 1}, {-2, 1.05}}},
        {"upper bound just above x0",
         {"X0 ( 1.99 1 )", "UPPER_BOUND ( 2 2 )"},
         {{1.99, 1}, {2, 1}, {1.99, 1.05}}},
    });
}

TEST(NMInitialization, UsingX0Text)
{
    ProcessStateGuard guard;
    EvcHarness algoRun;
    const InitRun run = runInitialization(makeNMParameters(2, true, {"X0 ( 0 2 )"}));
    EXPECT_NE(std::string::npos, run.out.find("Using X0: #0 ( 0 2 )")) << run.out;
}

TEST(NMInitialization, InvalidX0Texts)
{
    struct Case
    {
        std::string name;
        Points x0s;
        size_t cachedPoints;
        std::string message;
    };
    const double nan = QarnoTest::UNDEF;
    const std::vector<Case> cases = {
        // The checks of the parameters make a missing X0 one undefined point.
        {"no X0, empty cache",
         {},
         0,
         "Initialization: evalY0: Invalid X0 ( - - ). Cache is empty."},
        {"undefined coordinate, empty cache",
         {{1, nan}},
         0,
         "Initialization: evalY0: Invalid X0 ( 1 - ). Cache is empty."},
        {"undefined coordinate, cached points",
         {{nan, 4}},
         2,
         "Initialization: evalY0: Invalid X0 ( - 4 ). Hint: Try not setting X0 so that the "
         "cache is used (2 points)"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard guard;
        EvcHarness algoRun;
        for (size_t k = 0; k < c.cachedPoints; ++k)
        {
            QarnoTest::cacheNMPoint({double(k), 0}, 1);
        }
        const auto params = makeNMParameters(2, true);
        // Past the checks of the parameter lines, which refuse these.
        QarnoTest::setX0s(c.x0s)(*params->get_pb_params());
        params->get_pb_params()->checkAndComply();
        RecordingStep mainStep("Main");
        TestAlgorithm algo(&mainStep, "NM", params->get_run_params(), params->get_pb_params(),
                           QarnoTest::newNMStopReasons());
        NMInitialization init(&algo);
        std::string file;
        EXPECT_EQ(c.message, messageOf([&] { init.start(); }, &file));
        EXPECT_EQ("src/Algos/NelderMead/NMInitialization", file);
        EXPECT_TRUE(algoRun.evaluator->evaluatedPoints().empty());
    }
}

TEST(NMInitialization, AsASearchNothingIsEvaluated)
{
    ProcessStateGuard guard;
    EvcHarness algoRun;
    const InitRun run = runInitialization(makeNMParameters(2, false));
    EXPECT_TRUE(run.result);
    EXPECT_TRUE(algoRun.evaluator->evaluatedPoints().empty());
    EXPECT_EQ(nullptr, run.barrier);
    EXPECT_EQ("Started", run.nmStopReason);
}

TEST(NMInitialization, BudgetExhaustedByTheStartingPoints)
{
    ProcessStateGuard guard;
    EvcOptions options;
    options.maxBbEval = 2;
    EvcHarness algoRun(algorithmHarness(options));
    const InitRun run = runInitialization(makeNMParameters(2, true, {"X0 ( 1 1 )"}));
    EXPECT_FALSE(run.result);
    EXPECT_EQ("Initialization has failed", run.nmStopReason);
    EXPECT_EQ(2u, algoRun.evaluator->evaluatedPoints().size());
    // The barrier is built from what was evaluated.
    EXPECT_NE(nullptr, run.barrier);
}

TEST(NMInitialization, CachedStartingPointsAreNotEvaluatedAgain)
{
    ProcessStateGuard guard;
    EvcHarness algoRun;
    QarnoTest::cacheNMPoint({1, 1}, 7);
    QarnoTest::cacheNMPoint({1.05, 1}, 8);
    const InitRun run = runInitialization(makeNMParameters(2, true, {"X0 ( 1 1 )"}));
    EXPECT_TRUE(run.result);
    expectSamePoints({{1, 1.05}}, algoRun.evaluator->evaluatedPoints());
    ASSERT_NE(nullptr, run.barrier);
    // f = x0 for the evaluated point: 1 is better than the cached 7 and 8.
    EXPECT_EQ(1, run.barrier->getFirstXFeas()->getF().todouble());
}

TEST(NMInitialization, EveryStartingPointCachedBuildsTheBarrierFromTheCache)
{
    // The same initialization twice in one process: the second one finds
    // every starting point in the cache. Without a barrier the algorithm's
    // first mega-iteration would refuse to start.
    ProcessStateGuard guard;
    EvcHarness algoRun;
    const auto params = makeNMParameters(2, true, {"X0 ( 3 1 )"});
    const InitRun first = runInitialization(params);
    ASSERT_TRUE(first.result);
    ASSERT_EQ(3u, algoRun.evaluator->evaluatedPoints().size());

    const InitRun second = runInitialization(params);
    EXPECT_TRUE(second.result);
    EXPECT_EQ(3u, algoRun.evaluator->evaluatedPoints().size());
    EXPECT_EQ("Started", second.nmStopReason);
    ASSERT_NE(nullptr, second.barrier);
    ASSERT_NE(nullptr, second.barrier->getFirstXFeas());
    EXPECT_EQ(3, second.barrier->getFirstXFeas()->getF().todouble());
}

TEST(NMInitialization, NoUsablePointFailsTheInitialization)
{
    struct Case
    {
        std::string name;
        bool cachedBefore;
    };
    for (const Case& c : {Case{"every evaluation fails", false},
                          Case{"every starting point cached, none usable", true}})
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard guard;
        EvcHarness algoRun;
        algoRun.evaluator->evalOk = [](const EvalPoint&) { return false; };
        const auto params = makeNMParameters(2, true, {"X0 ( 1 1 )"});
        if (c.cachedBefore)
        {
            runInitialization(params);
        }
        InitRun run;
        EXPECT_EQ("(no exception)", messageOf([&] { run = runInitialization(params); }));
        EXPECT_EQ(nullptr, run.barrier);
        EXPECT_EQ("Initialization has failed", run.nmStopReason);
        EXPECT_NE(std::string::npos,
                  run.out.find("Stop NM because no evaluated point can start the simplex."));
    }
}

} // namespace
