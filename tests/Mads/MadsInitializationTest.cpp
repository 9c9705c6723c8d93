// The initialization of MADS: the initial mesh, the checks of the starting
// points, their evaluation and the first barrier, and X0_FAILED.

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/Mads/MadsInitialization.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/Barrier.hpp"
#include "Util/AllStopReasons.hpp"
#include "support/CacheSupport.hpp"
#include "support/EvcSupport.hpp"
#include "support/MadsSupport.hpp"
#include "support/StepSupport.hpp"
#include "support/StepTree.hpp"
#include "support/TestSupport.hpp"

namespace
{

using namespace QARNO_4_0_0;
using QarnoTest::EvcHarness;
using QarnoTest::infoMessagesOf;
using QarnoTest::MadsUnderTest;
using QarnoTest::messageOf;
using QarnoTest::ProcessStateGuard;
using QarnoTest::setX0s;

bool contains(const std::string& text, const std::string& part)
{
    return std::string::npos != text.find(part);
}

size_t countLines(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (const auto& line : QarnoTest::linesOf(text))
    {
        count += contains(line, part) ? 1 : 0;
    }
    return count;
}

struct InitRun
{
    bool result = false;
    std::string out;
    std::shared_ptr<Barrier> barrier;
    bool hasMesh = false;
};

InitRun runInitialization(MadsUnderTest& madsRun)
{
    InitRun run;
    MadsInitialization init(madsRun.mads.get());
    run.out = infoMessagesOf(
        [&]
        {
            init.start();
            run.result = init.run();
            init.end();
        });
    run.barrier = init.getBarrier();
    run.hasMesh = nullptr != init.getMesh();
    return run;
}

TEST(MadsInitialization, BarrierFromTheStartingPointsThatEvaluated)
{
    ProcessStateGuard guard;
    EvcHarness algoRun;
    // f = x0: the second point fails to evaluate.
    algoRun.evaluator->evalOk = [](const EvalPoint& x) { return x[0] != 2; };
    MadsUnderTest madsRun(2, {}, setX0s({{3, 3}, {2, 2}, {1, 1}, {3, 3}}));
    const InitRun run = runInitialization(madsRun);

    EXPECT_TRUE(run.result);
    EXPECT_TRUE(run.hasMesh);
    // The point given twice is evaluated once.
    EXPECT_EQ(3u, algoRun.evaluator->evaluatedPoints().size());
    // The point given twice is kept twice; the failed one is not kept.
    EXPECT_EQ(3u, countLines(run.out, "Using X0: #"));
    EXPECT_EQ(2u, countLines(run.out, "( 3 3 )"));
    EXPECT_EQ(1u, countLines(run.out, "( 1 1 )"));
    EXPECT_EQ(0u, countLines(run.out, "Using X0: #1 ( 2 2 )"));
    ASSERT_NE(nullptr, run.barrier);
    ASSERT_NE(nullptr, run.barrier->getFirstXFeas());
    EXPECT_EQ(1, run.barrier->getFirstXFeas()->getF().todouble());
}

TEST(MadsInitialization, StartingPointInTheCacheIsNotEvaluatedAgain)
{
    ProcessStateGuard guard;
    EvcHarness algoRun;
    {
        MadsUnderTest first(2, {"X0 ( 4 1 )"});
        runInitialization(first);
    }
    MadsUnderTest second(2, {}, setX0s({{4, 1}, {5, 1}}));
    const InitRun run = runInitialization(second);
    EXPECT_TRUE(run.result);
    const auto evaluated = algoRun.evaluator->evaluatedPoints();
    ASSERT_EQ(2u, evaluated.size());
    EXPECT_EQ((std::vector<double>{5, 1}), evaluated[1]);
    ASSERT_NE(nullptr, run.barrier->getFirstXFeas());
    EXPECT_EQ(4, run.barrier->getFirstXFeas()->getF().todouble());
}

TEST(MadsInitialization, EveryStartingPointFails)
{
    ProcessStateGuard guard;
    EvcHarness algoRun;
    algoRun.evaluator->evalOk = [](const EvalPoint&) { return false; };
    MadsUnderTest madsRun(2, {}, setX0s({{1, 1}, {2, 2}}));
    const InitRun run = runInitialization(madsRun);

    EXPECT_FALSE(run.result);
    EXPECT_EQ(nullptr, run.barrier);
    EXPECT_TRUE(run.hasMesh);
    EXPECT_TRUE(contains(run.out, "X0 evaluation failed for X0 = ( 1 1 )"));
    EXPECT_TRUE(contains(run.out, "X0 evaluation failed for X0 = ( 2 2 )"));
    EXPECT_EQ(MadsStopType::X0_FAILED,
              AlgoStopReasons<MadsStopType>::get(madsRun.mads->getAllStopReasons())
                  ->_algoStopReason.get());
    EXPECT_TRUE(contains(madsRun.mads->getAllStopReasons()->getStopReasonAsString(),
                         "Problem with starting point evaluation (Algo)"));
}

TEST(MadsInitialization, NoValidStartingPoint)
{
    struct Case
    {
        std::string name;
        std::vector<std::vector<double>> x0s;
        bool pointsInCache;
        std::string message;
    };
    const std::vector<Case> cases = {
        // The checks of the parameters make a missing X0 one undefined point.
        {"no X0, empty cache",
         {},
         false,
         "Initialization: eval_x0s: Invalid X0 ( - - ).. Cache is empty."},
        {"no X0, points in the cache",
         {},
         true,
         "Initialization: eval_x0s: Invalid X0 ( - - ). Hint: Try not setting X0 so that the "
         "cache is used (1 points)"},
        {"incomplete X0, empty cache",
         {{1, QarnoTest::UNDEF}},
         false,
         "Initialization: eval_x0s: Invalid X0 ( 1 - ).. Cache is empty."},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard guard;
        EvcHarness algoRun;
        if (c.pointsInCache)
        {
            MadsUnderTest other(2);
            runInitialization(other);
        }
        MadsUnderTest madsRun(2, {}, setX0s(c.x0s));
        MadsInitialization init(madsRun.mads.get());
        EXPECT_EQ(c.message, messageOf([&] { init.validateX0s(); }));
        EXPECT_EQ(c.message, messageOf([&] { init.eval_x0s(); }));
        EXPECT_EQ(c.pointsInCache ? 1u : 0u, algoRun.evaluator->evaluatedPoints().size());
    }
}

} // namespace
