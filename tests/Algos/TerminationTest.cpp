#include <cstddef>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/EvcInterface.hpp"
#include "Algos/Termination.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/EvaluatorControlGlobalParameters.hpp"
#include "Util/AllStopReasons.hpp"
#include "support/CacheSupport.hpp"
#include "support/EvcSupport.hpp"
#include "support/StepSupport.hpp"
#include "support/StepTree.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::CerrCapture;
using QarnoTest::EvcHarness;
using QarnoTest::EvcOptions;
using QarnoTest::linesOf;
using QarnoTest::makeBBPoint;
using QarnoTest::messageOf;
using QarnoTest::NO_LIMIT;
using QarnoTest::ProcessStateGuard;
using QarnoTest::RecordingStep;
using QarnoTest::StreamCapture;
using QarnoTest::TestAlgorithm;

namespace
{

/// One objective and one progressive-barrier constraint: a point is feasible
/// when its constraint is 0.
const BBOutputTypeList OBJ_PB = {BBOutputType::OBJ, BBOutputType::PB};
const char* const FEASIBLE = "1 0";
const char* const INFEASIBLE = "1 2";

/// Checked run parameters of dimension 2 with those limits.
std::shared_ptr<RunParameters> runParamsWithLimits(size_t maxIterations, size_t maxTime)
{
    return QarnoTest::makeRunParams(QarnoTest::makeCheckedPbParams(2),
                                    [&](RunParameters& run)
                                    {
                                        run.setAttributeValue<size_t>("MAX_ITERATIONS",
                                                                      maxIterations);
                                        run.setAttributeValue<size_t>("MAX_TIME", maxTime);
                                    });
}

void setStopIfFeasible(const Step& algo, bool stopIfFeasible)
{
    algo.getPbParams()->setAttributeValue<bool>("STOP_IF_FEASIBLE", stopIfFeasible);
    CerrCapture ignoreWarnings;
    algo.getPbParams()->checkAndComply();
}

/// A queue installed for the process with a MAX_BB_EVAL budget, over a cache
/// of OBJ_PB points; `bbEvalDone` blackbox evaluations are counted as done.
struct Queue
{
    Queue(size_t maxBbEval, size_t bbEvalDone) : harness(layers(maxBbEval))
    {
        harness.evc->setBbEval(bbEvalDone);
    }
    static QarnoTest::HarnessOptions layers(size_t maxBbEval)
    {
        QarnoTest::HarnessOptions options = QarnoTest::installedHarness(
            OBJ_PB, [](const EvalPoint&) { return "0 0"; }, withBudget(maxBbEval));
        options.setDisplay = false;
        return options;
    }
    static EvcOptions withBudget(size_t maxBbEval)
    {
        EvcOptions options;
        options.maxBbEval = maxBbEval;
        return options;
    }
    EvcHarness harness;
};

/// The termination lines of an output: the end message, without indentation.
std::vector<std::string> terminationLines(const std::string& output)
{
    std::vector<std::string> found;
    for (const auto& line : linesOf(output))
    {
        const auto at = line.find("ermination criterion");
        if (std::string::npos != at)
        {
            found.push_back(line.substr(line.find_first_not_of(' ')));
        }
    }
    return found;
}

/// A step that is no algorithm but holds an algorithm's stop reasons, which
/// see the queue's reason for the calling thread.
class ReasonsStep : public Step
{
public:
    ReasonsStep()
        : Step(nullptr, std::make_shared<AlgoStopReasons<MadsStopType>>(),
               runParamsWithLimits(NO_LIMIT, NO_LIMIT), QarnoTest::makeCheckedPbParams(2))
    {
        setName("Main");
    }

protected:
    void startImp() override {}
    bool runImp() override { return true; }
    void endImp() override {}
};

} // namespace

TEST(Termination, CriteriaAreTestedInOrderAndTheEndMessageNamesTheFirst)
{
    struct Case
    {
        const char* label;
        size_t maxIterations;
        size_t maxTime;
        bool userTerminate;
        bool stopIfFeasible;
        const char* cachedPoint; // raw output of the one cached point, or null
        size_t maxBbEval;
        size_t bbEvalDone;
        std::vector<size_t> ks;
        std::vector<bool> answers;
        std::string message;
    };
    const std::string REACHED = "A termination criterion is reached: ";
    const std::string ITERATIONS = REACHED + "Maximum number of iterations reached (Iter)";
    const std::string BUDGET = REACHED + "Max number of blackbox evaluations (Eval Global) 100";
    const std::vector<Case> cases = {
        {"MAX_ITERATIONS 0 stops at once",
         0,
         NO_LIMIT,
         false,
         false,
         nullptr,
         NO_LIMIT,
         0,
         {0},
         {true},
         ITERATIONS},
        {"MAX_ITERATIONS 3 stops at k = 3",
         3,
         NO_LIMIT,
         false,
         false,
         nullptr,
         NO_LIMIT,
         0,
         {0, 2, 3},
         {false, false, true},
         ITERATIONS},
        {"no criterion reached",
         3,
         NO_LIMIT,
         false,
         false,
         nullptr,
         NO_LIMIT,
         0,
         {0, 2},
         {false, false},
         "No termination criterion reached"},
        {"MAX_TIME 0 stops at once",
         NO_LIMIT,
         0,
         false,
         false,
         nullptr,
         NO_LIMIT,
         0,
         {0},
         {true},
         REACHED + "Maximum allowed time reached (Base)"},
        {"the iteration limit hides the time limit",
         0,
         0,
         false,
         false,
         nullptr,
         NO_LIMIT,
         0,
         {0},
         {true},
         ITERATIONS},
        {"user termination hides iteration and time limits",
         0,
         0,
         true,
         false,
         nullptr,
         NO_LIMIT,
         0,
         {0},
         {true},
         REACHED + "Ctrl-C (Base)"},
        {"feasible point in the cache",
         NO_LIMIT,
         NO_LIMIT,
         false,
         true,
         FEASIBLE,
         NO_LIMIT,
         0,
         {0},
         {true},
         REACHED + "A feasible point is reached (Iter)"},
        {"feasible point but STOP_IF_FEASIBLE off",
         NO_LIMIT,
         NO_LIMIT,
         false,
         false,
         FEASIBLE,
         NO_LIMIT,
         0,
         {0},
         {false},
         "No termination criterion reached"},
        {"budget reached: the count follows",
         NO_LIMIT,
         NO_LIMIT,
         false,
         false,
         nullptr,
         100,
         100,
         {0},
         {true},
         BUDGET},
        {"no feasible point, budget reached",
         NO_LIMIT,
         NO_LIMIT,
         false,
         true,
         INFEASIBLE,
         100,
         100,
         {0},
         {true},
         BUDGET},
        {"a feasible stop hides the budget",
         NO_LIMIT,
         NO_LIMIT,
         false,
         true,
         FEASIBLE,
         100,
         100,
         {0},
         {true},
         REACHED + "A feasible point is reached (Iter)"},
        {"budget not yet reached",
         NO_LIMIT,
         NO_LIMIT,
         false,
         false,
         nullptr,
         100,
         99,
         {0},
         {false},
         "No termination criterion reached"},
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ProcessStateGuard guard;
        StreamCapture out(std::cout);
        OutputQueue::getInstance()->setDisplayDegree(2);
        Queue queue(c.maxBbEval, c.bbEvalDone);
        if (nullptr != c.cachedPoint)
        {
            CacheBase::getInstance()->insert(makeBBPoint({1, 1}, c.cachedPoint, OBJ_PB));
        }
        RecordingStep main("Main");
        TestAlgorithm algo(&main, "MADS", runParamsWithLimits(c.maxIterations, c.maxTime),
                           QarnoTest::makeCheckedPbParams(2));
        setStopIfFeasible(algo, c.stopIfFeasible);
        Step::_userTerminate = c.userTerminate;

        Termination termination(&algo);
        ASSERT_EQ(c.ks.size(), c.answers.size());
        for (size_t i = 0; i < c.ks.size(); ++i)
        {
            EXPECT_EQ(c.answers[i], termination.terminate(c.ks[i])) << "k = " << c.ks[i];
        }
        termination.start();
        EXPECT_EQ(c.answers.back(), termination.run());
        termination.end();

        EXPECT_EQ(std::vector<std::string>{c.message}, terminationLines(out.text()));
    }
}

TEST(Termination, OnlyTheTopAlgorithmsStopShowsAtDisplayDegreeTwo)
{
    struct Case
    {
        const char* label;
        bool subAlgorithm;
        int displayDegree;
        bool shown;
    };
    const std::vector<Case> cases = {
        {"top algorithm, degree 2", false, 2, true},
        {"sub-algorithm, degree 2", true, 2, false},
        {"sub-algorithm, degree 3", true, 3, true},
        {"top algorithm, degree 1", false, 1, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ProcessStateGuard guard;
        StreamCapture out(std::cout);
        OutputQueue::getInstance()->setDisplayDegree(c.displayDegree);
        Queue queue(NO_LIMIT, 0);
        RecordingStep main("Main");
        TestAlgorithm mads(&main, "MADS", runParamsWithLimits(0, NO_LIMIT),
                           QarnoTest::makeCheckedPbParams(2));
        TestAlgorithm nm(&mads, "NM", mads.getRunParams(), QarnoTest::makeCheckedPbParams(2));
        Termination termination(c.subAlgorithm ? &nm : &mads);

        EXPECT_TRUE(termination.terminate(0));
        termination.start();
        termination.end();

        const std::vector<std::string> expected = {
            "A termination criterion is reached: Maximum number of iterations reached (Iter)"};
        EXPECT_EQ(c.shown ? expected : std::vector<std::string>{}, terminationLines(out.text()));
    }
}

TEST(Termination, TakesTheAlgorithmsNameOnceStarted)
{
    ProcessStateGuard guard;
    StreamCapture out(std::cout);
    OutputQueue::getInstance()->setDisplayDegree(3);
    Queue queue(NO_LIMIT, 0);
    RecordingStep main("Main");
    TestAlgorithm mads(&main, "MADS", runParamsWithLimits(NO_LIMIT, NO_LIMIT),
                       QarnoTest::makeCheckedPbParams(2));

    Termination termination(&mads);
    EXPECT_EQ("Termination", termination.getName());
    termination.start();
    EXPECT_EQ("MADS Termination", termination.getName());
    termination.end();

    // The start line is written before the step takes the prefix.
    const std::string text = out.text();
    EXPECT_NE(std::string::npos, text.find("Start step Termination"));
    EXPECT_NE(std::string::npos, text.find("End step MADS Termination"));
}

TEST(Termination, FeasiblePointComesFromTheCacheOrTheAlgorithmsBarrier)
{
    struct Case
    {
        const char* label;
        const char* cachedPoint;  // raw output, or null for an empty cache
        const char* barrierPoint; // raw output, or null for no barrier
        bool hasFeas;
    };
    const std::vector<Case> cases = {
        {"nothing", nullptr, nullptr, false},
        {"feasible cache point", FEASIBLE, nullptr, true},
        {"infeasible cache point", INFEASIBLE, nullptr, false},
        {"feasible point in the barrier only", INFEASIBLE, FEASIBLE, true},
        {"infeasible point in the barrier", nullptr, INFEASIBLE, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ProcessStateGuard guard;
        StreamCapture out(std::cout);
        QarnoTest::startCache(OBJ_PB);
        if (nullptr != c.cachedPoint)
        {
            CacheBase::getInstance()->insert(makeBBPoint({1, 1}, c.cachedPoint, OBJ_PB));
        }
        RecordingStep main("Main");
        TestAlgorithm mads(&main, "MADS", runParamsWithLimits(NO_LIMIT, NO_LIMIT),
                           QarnoTest::makeCheckedPbParams(2));
        TestAlgorithm algo(&mads, "Algo");
        if (nullptr != c.barrierPoint)
        {
            // The barrier's own point is not in the cache.
            algo.currentBarrier = std::make_shared<Barrier>(
                INF, Point(2), EvalType::BB,
                std::vector<EvalPoint>{makeBBPoint({2, 2}, c.barrierPoint, OBJ_PB)});
        }
        Termination termination(&algo);
        EXPECT_EQ(c.hasFeas, termination.solHasFeas());
    }
}

TEST(Termination, WithoutCacheTheFeasibilityTestFails)
{
    ProcessStateGuard guard;
    StreamCapture out(std::cout);
    RecordingStep main("Main");
    TestAlgorithm mads(&main, "MADS", runParamsWithLimits(NO_LIMIT, NO_LIMIT),
                       QarnoTest::makeCheckedPbParams(2));
    setStopIfFeasible(mads, true);
    Termination termination(&mads);
    EXPECT_NE(std::string::npos,
              messageOf([&] { termination.terminate(0); }).find("Cannot get instance."));
}

TEST(Termination, LimitsChangedDuringTheAlgorithmAreSeen)
{
    // A hot restart changes the limits while the termination step lives;
    // until the changed set is checked, reading it fails as any read does.
    ProcessStateGuard guard;
    StreamCapture out(std::cout);
    Queue queue(NO_LIMIT, 0);
    RecordingStep main("Main");
    const auto pb = QarnoTest::makeCheckedPbParams(2);
    const auto run = runParamsWithLimits(10, NO_LIMIT);
    TestAlgorithm mads(&main, "MADS", run, pb);
    Termination termination(&mads);
    EXPECT_FALSE(termination.terminate(5));

    run->setAttributeValue<size_t>("MAX_ITERATIONS", 3);
    EXPECT_NE(std::string::npos,
              messageOf([&] { termination.terminate(5); }).find("has not been checked"));
    auto evcGlobal = std::make_shared<EvaluatorControlGlobalParameters>();
    evcGlobal->checkAndComply(nullptr);
    {
        CerrCapture ignoreWarnings;
        run->checkAndComply(evcGlobal, pb);
    }
    EXPECT_TRUE(termination.terminate(5));
    EXPECT_EQ(IterStopType::MAX_ITERATIONS_REACHED,
              mads.getAllStopReasons()->_iterStopReason.get());
}

TEST(Termination, ReasonRecordedEarlierIsKeptAndAnswersAtOnce)
{
    ProcessStateGuard guard;
    StreamCapture out(std::cout);
    Queue queue(NO_LIMIT, 0);
    RecordingStep main("Main");
    TestAlgorithm mads(&main, "MADS", runParamsWithLimits(0, 0), QarnoTest::makeCheckedPbParams(2));
    Termination termination(&mads);

    // A reason the algorithm recorded itself: the limits, reached too, are
    // neither tested nor recorded over it.
    auto& iterReason = mads.getAllStopReasons()->_iterStopReason;
    iterReason.set(IterStopType::FEASIBLE_POINT_REACHED);
    EXPECT_TRUE(termination.terminate(0));
    EXPECT_EQ(IterStopType::FEASIBLE_POINT_REACHED, iterReason.get());
    EXPECT_TRUE(AllStopReasons::_baseStopReason.isStarted());
    EXPECT_TRUE(termination.run());
}

TEST(Termination, QueueReasonOfTheThreadBringsItsCount)
{
    struct Case
    {
        const char* label;
        EvalType evalType;
        std::string message;
    };
    const std::string PREFIX = "A termination criterion is reached: No termination (all).  ";
    const std::vector<Case> cases = {
        // One blackbox evaluation before the lap, two in it: the lap count.
        {"lap budget", EvalType::BB,
         PREFIX + "Max number of blackbox evaluations for a sub algorithm run (lap run) 2"},
        {"surrogate budget", EvalType::SGTE,
         PREFIX + "Max number of surrogate evaluations reached 3"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ProcessStateGuard guard;
        StreamCapture out(std::cout);
        // The queue's statistics lines need the display parameters.
        EvcHarness harness(QarnoTest::installedHarness(
            {BBOutputType::OBJ}, QarnoTest::firstCoordinateObjective(), EvcOptions(), c.evalType));
        auto& evc = *harness.evc;
        if (EvalType::BB == c.evalType)
        {
            ASSERT_TRUE(harness.queueAll({{0, 0}}));
            evc.run();
            evc.resetLapBbEval();
            evc.setLapMaxBbEval(2);
            ASSERT_TRUE(harness.queueAll({{1, 1}, {2, 2}, {3, 3}}));
            evc.run();
            ASSERT_TRUE(evc.testIf(EvalMainThreadStopType::LAP_MAX_BB_EVAL_REACHED));
            ASSERT_EQ(3u, evc.getBbEval());
        }
        else
        {
            ASSERT_TRUE(harness.queueAll({{1, 1}, {2, 2}, {3, 3}}));
            evc.run();
            ASSERT_EQ(3u, evc.getTotalSgteEval());
            evc.setStopReason(-1, EvalMainThreadStopType::MAX_SGTE_EVAL_REACHED);
        }

        ReasonsStep main;
        Termination termination(&main);
        EXPECT_TRUE(termination.terminate(0));
        termination.start();
        termination.end();
        EXPECT_EQ(std::vector<std::string>{c.message}, terminationLines(out.text()));
    }
}
