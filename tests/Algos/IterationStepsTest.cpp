#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Algos/Initialization.hpp"
#include "Algos/Iteration.hpp"
#include "Algos/MegaIteration.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/Barrier.hpp"
#include "Output/OutputQueue.hpp"
#include "Util/AllStopReasons.hpp"
#include "support/CacheSupport.hpp"
#include "support/EvalSupport.hpp"
#include "support/StepSupport.hpp"
#include "support/StepTree.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using namespace QarnoTest;

namespace
{

std::shared_ptr<Barrier> makeBarrier(const std::vector<EvalPoint>& points)
{
    return std::make_shared<Barrier>(INF, Point(2), EvalType::BB, points);
}

} // namespace

TEST(IterationSteps, NamesFollowTheAlgorithmAndTheNumber)
{
    ProcessStateGuard guard;
    StreamCapture quiet(std::cout);
    QarnoTest::startCache({BBOutputType::OBJ});
    auto barrier = makeBarrier({QarnoTest::makeEvalPoint({1.0, 2.0}, 1.0, 0.0)});
    RecordingStep main("Main");
    TestAlgorithm mads(&main, "MADS", QarnoTest::makeIterationRunParams(true),
                       QarnoTest::makeCheckedPbParams(2));

    RecordingInitialization initialization(&mads);
    TestIteration iteration3(&mads, 3);
    TestIteration iteration0(&mads, 0);
    TestMegaIteration mega0(&mads, 0, barrier);
    TestMegaIteration mega12(&mads, 12, barrier);
    // Without an algorithm above, the name has no prefix.
    TestIteration orphan(&main, 1);

    struct Case
    {
        const Step& step;
        const char* name;
    };
    const Case cases[] = {
        {initialization, "MADS Initialization"}, {iteration3, "MADS Iteration 3"},
        {iteration0, "MADS Iteration 0"},        {mega0, "MADS MegaIteration 0"},
        {mega12, "MADS MegaIteration 12"},       {orphan, "Iteration 1"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.name, c.step.getName());
    }
}

TEST(IterationSteps, ConstructionRefusesMissingParentOrBarrier)
{
    ProcessStateGuard guard;
    QarnoTest::startCache({BBOutputType::OBJ});
    auto barrier = makeBarrier({QarnoTest::makeEvalPoint({1.0, 2.0}, 1.0, 0.0)});
    RecordingStep main("Main");
    TestAlgorithm mads(&main, "MADS");
    StreamCapture callStack(std::cout);

    const std::string noParent =
        "Parent step is NULL. This constructor is for child steps having a parent only.";
    struct Case
    {
        const char* label;
        std::function<void()> build;
        std::string message;
    };
    const Case cases[] = {
        {"initialization", [] { RecordingInitialization step(nullptr); }, noParent},
        {"iteration", [] { TestIteration step(nullptr, 2); }, noParent},
        {"mega-iteration", [&] { TestMegaIteration step(nullptr, 0, barrier); }, noParent},
        {"mega-iteration without barrier", [&] { TestMegaIteration step(&mads, 0, nullptr); },
         "MegaIteration constructor: barrier must not be NULL."},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        EXPECT_NE(std::string::npos, QarnoTest::messageOf(c.build).find(c.message));
    }
}

TEST(IterationSteps, BaseIterationGivesNoMeshToTheStepsBelow)
{
    ProcessStateGuard guard;
    StreamCapture quiet(std::cout);
    auto mesh = std::make_shared<QarnoTest::FixedMesh>(QarnoTest::makeCheckedPbParams(2));
    auto frameCenter = std::make_shared<EvalPoint>();
    RecordingStep main("Main");
    TestAlgorithm mads(&main, "MADS", QarnoTest::makeIterationRunParams(true),
                       QarnoTest::makeCheckedPbParams(2));
    TestIteration bare(&mads, 0);
    TestIteration meshed(&mads, 1, mesh, frameCenter);
    RecordingStep underBare(&bare, "Poll");
    RecordingStep underMeshed(&meshed, "Poll");

    EXPECT_TRUE(bare.isMainIteration());
    EXPECT_EQ(nullptr, underBare.getIterationMesh());
    EXPECT_EQ(nullptr, underBare.getIterationFrameCenter());
    EXPECT_EQ(mesh, underMeshed.getIterationMesh());
    EXPECT_EQ(frameCenter, underMeshed.getIterationFrameCenter());
}

TEST(IterationSteps, NextKCountsTheIterationsRun)
{
    ProcessStateGuard guard;
    StreamCapture quiet(std::cout);
    QarnoTest::startCache({BBOutputType::OBJ});
    auto barrier = makeBarrier({QarnoTest::makeEvalPoint({1.0, 2.0}, 1.0, 0.0)});
    RecordingStep main("Main");
    TestAlgorithm mads(&main, "MADS", QarnoTest::makeIterationRunParams(false),
                       QarnoTest::makeCheckedPbParams(2));
    struct Case
    {
        size_t k;
        size_t iterations;
        size_t nextK;
    };
    const Case cases[] = {{4, 3, 7}, {4, 0, 5}, {0, 1, 1}, {0, 0, 1}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE("k " + std::to_string(c.k) + ", run " + std::to_string(c.iterations));
        TestMegaIteration mega(&mads, c.k, barrier);
        mega.iterationsToRun = c.iterations;
        mega.start();
        mega.run();
        mega.end();
        EXPECT_EQ(c.iterations, mega.getNbIterRun());
        EXPECT_EQ(c.nextK, mega.getNextK());
    }
}

TEST(IterationSteps, IterationBudgetIsSharedBetweenFeasibleAndInfeasible)
{
    ProcessStateGuard guard;
    StreamCapture quiet(std::cout);
    QarnoTest::startCache({BBOutputType::OBJ});
    auto barrier = makeBarrier({QarnoTest::makeEvalPoint({1.0, 2.0}, 1.0, 0.0)});
    const size_t huge = static_cast<size_t>(-1);
    struct Case
    {
        size_t maxIter, feas, inf, wantFeas, wantInf;
    };
    const Case cases[] = {
        {10, 3, 4, 3, 4}, {10, 3, 9, 3, 7}, {10, 8, 4, 6, 4},
        {10, 7, 7, 5, 5}, {7, 7, 7, 4, 3},  {10, 4, 6, 4, 6},
        {10, 0, 0, 0, 0}, {10, 5, 5, 5, 5}, {10, huge, huge, 5, 5},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE("M " + std::to_string(c.maxIter) + " (" + std::to_string(c.feas) + ", " +
                     std::to_string(c.inf) + ")");
        RecordingStep main("Main");
        TestAlgorithm mads(&main, "MADS", QarnoTest::makeIterationRunParams(true, c.maxIter),
                           QarnoTest::makeCheckedPbParams(2));
        TestMegaIteration mega(&mads, 0, barrier);
        size_t feas = c.feas;
        size_t inf = c.inf;
        mega.computeMaxXFeasXInf(feas, inf);
        EXPECT_EQ(c.wantFeas, feas);
        EXPECT_EQ(c.wantInf, inf);
    }
}

TEST(IterationSteps, MissingRunParametersAreReported)
{
    ProcessStateGuard guard;
    QarnoTest::startCache({BBOutputType::OBJ});
    auto barrier = makeBarrier({QarnoTest::makeEvalPoint({1.0, 2.0}, 1.0, 0.0)});
    // An algorithm always has run parameters: the steps hang from a step
    // with stop reasons only.
    class ReasonsOnly : public Step
    {
    public:
        explicit ReasonsOnly(const Step* parent)
            : Step(parent, std::make_shared<AllStopReasons>(), nullptr, nullptr)
        {
        }

    protected:
        void startImp() override {}
        bool runImp() override { return true; }
        void endImp() override {}
    };
    RecordingStep main("Main");
    ReasonsOnly mads(&main);
    StreamCapture callStack(std::cout);

    TestMegaIteration mega(&mads, 0, barrier);
    size_t feas = 20;
    size_t inf = 20;
    EXPECT_NE(std::string::npos, QarnoTest::messageOf([&] { mega.computeMaxXFeasXInf(feas, inf); })
                                     .find("needs the run parameters"));
    EXPECT_EQ(20u, feas);

    TestIteration iteration(&mads, 0);
    iteration.start();
    iteration.run();
    EXPECT_NE(std::string::npos,
              QarnoTest::messageOf([&] { iteration.end(); }).find("USER_CALLS_ENABLED"));
}

TEST(IterationSteps, TextFormRoundTripsAndLeavesTheNextToken)
{
    ProcessStateGuard guard;
    StreamCapture quiet(std::cout);
    CacheBase& cache = QarnoTest::startCache({BBOutputType::OBJ, BBOutputType::PB});
    const EvalPoint feasible =
        QarnoTest::makeBBPoint({1, 2}, "3 0", {BBOutputType::OBJ, BBOutputType::PB});
    const EvalPoint infeasible =
        QarnoTest::makeBBPoint({2, 2}, "1 2", {BBOutputType::OBJ, BBOutputType::PB});
    cache.insert(feasible);
    cache.insert(infeasible);
    RecordingStep main("Main");
    TestAlgorithm mads(&main, "MADS", QarnoTest::makeIterationRunParams(true),
                       QarnoTest::makeCheckedPbParams(2));

    TestMegaIteration written(&mads, 42, std::make_shared<Barrier>(5.0, Point(2)));
    std::ostringstream out;
    out << written;
    const std::string text = out.str();
    EXPECT_EQ(0u, text.find("ITERATION_COUNT 42\nBARRIER \nX_FEAS "));

    struct Case
    {
        const char* label;
        std::string input;
        size_t k;
        bool barrierRead;
        std::string next;
    };
    const Case cases[] = {
        {"whole block", text + "NB_EVAL 3\n", 42, true, "NB_EVAL"},
        {"no count: k is 0", "BARRIER\n" + text.substr(text.find("X_FEAS")) + "RNG 1", 0, true,
         "RNG"},
        {"foreign token first", "MAIN_MESH 1\n" + text, 0, false, "MAIN_MESH"},
        {"malformed count ends the loop", "ITERATION_COUNT x BARRIER", 0, false, "x"},
        // A count is unsigned: a sign or too many digits are refused, not
        // wrapped round, and stay in the stream.
        {"negative count ends the loop", "ITERATION_COUNT -3 BARRIER", 0, false, "-3"},
        {"count beyond 64 bits ends the loop", "ITERATION_COUNT 18446744073709551616", 0, false,
         "18446744073709551616"},
        {"count ending the input still counts", "ITERATION_COUNT 12", 12, false, ""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        TestMegaIteration read(&mads, 7, makeBarrier({QarnoTest::makeEvalPoint({9, 9}, 0, 7)}));
        std::istringstream in(c.input);
        in >> read;
        EXPECT_EQ(c.k, read.getK());
        EXPECT_EQ(c.barrierRead ? 5.0 : INF, read.getBarrier()->getHMax().todouble());
        if (c.barrierRead)
        {
            EXPECT_EQ(QarnoTest::coordsOf(written.getBarrier()->getAllXFeas()),
                      QarnoTest::coordsOf(read.getBarrier()->getAllXFeas()));
            EXPECT_EQ(QarnoTest::coordsOf(written.getBarrier()->getAllXInf()),
                      QarnoTest::coordsOf(read.getBarrier()->getAllXInf()));
        }
        in.clear();
        std::string next;
        in >> next;
        EXPECT_EQ(c.next, next);
    }
}

TEST(IterationSteps, LifeCycleRunsIterationsAndReleasesThem)
{
    ProcessStateGuard guard;
    QarnoTest::startCache({BBOutputType::OBJ});
    auto barrier = makeBarrier({QarnoTest::makeEvalPoint({1.0, 2.0}, 1.0, 0.0)});
    OutputQueue::getInstance()->setDisplayDegree(4);
    RecordingStep main("Main");
    TestAlgorithm mads(&main, "MADS", QarnoTest::makeIterationRunParams(true),
                       QarnoTest::makeCheckedPbParams(2));
    StreamCapture out(std::cout);

    RecordingInitialization initialization(&mads);
    initialization.barrierToBuild = barrier;
    EXPECT_EQ(nullptr, initialization.getBarrier());
    initialization.start();
    initialization.run();
    initialization.end();
    EXPECT_EQ(std::vector<std::string>{"run"}, initialization.calls);
    EXPECT_EQ(barrier, initialization.getBarrier());

    TestMegaIteration mega(&mads, 4, initialization.getBarrier());
    mega.iterationsToRun = 3;
    mega.setSuccessType(SuccessType::PARTIAL_SUCCESS);
    mega.start();
    mega.run();
    EXPECT_EQ(3u, mega.getIterationList().size());
    // The iterations share the mega-iteration's barrier.
    EXPECT_EQ(barrier, mega.getIterationList()[2]->getMegaIterationBarrier());
    mega.end();
    OutputQueue::getInstance()->flush();

    EXPECT_EQ(
        (std::vector<std::string>{"MADS Iteration 4", "MADS Iteration 5", "MADS Iteration 6"}),
        mega.iterationNames);
    EXPECT_EQ((std::vector<std::string>{"start", "run"}), mega.calls);
    EXPECT_TRUE(mega.getIterationList().empty());
    EXPECT_EQ(barrier, mega.getBarrier());
    EXPECT_EQ(4u, mega.getK());
    EXPECT_EQ(SuccessType::PARTIAL_SUCCESS, mega.getSuccessType());
    EXPECT_EQ(7u, mega.getNextK());

    const std::string text = out.text();
    size_t shown = 0;
    for (size_t pos = text.find("Stop reason: No termination (all)."); pos != std::string::npos;
         pos = text.find("Stop reason: No termination (all).", pos + 1))
    {
        ++shown;
    }
    EXPECT_EQ(3u, shown);
    EXPECT_NE(std::string::npos, text.find("Start step MADS Iteration 5"));
}

TEST(IterationSteps, EndCallbacksMayStopTheRun)
{
    struct Case
    {
        const char* label;
        bool userCalls;
        bool installCallback;
        bool askStop;
        bool terminateBefore;
        int expectedCalls;
        BaseStopType expectedBase;
    };
    const Case cases[] = {
        {"disabled: not called", false, true, true, false, 0, BaseStopType::STARTED},
        {"default callback changes nothing", true, false, false, false, 0, BaseStopType::STARTED},
        {"callback not asking", true, true, false, false, 1, BaseStopType::STARTED},
        {"callback asks to stop", true, true, true, false, 1, BaseStopType::USER_STOPPED},
        {"earlier reason kept", true, true, true, true, 1, BaseStopType::STARTED},
    };
    for (const bool onMega : {false, true})
    {
        for (const auto& c : cases)
        {
            SCOPED_TRACE(std::string(onMega ? "mega-iteration: " : "iteration: ") + c.label);
            ProcessStateGuard guard;
            StreamCapture quiet(std::cout);
            QarnoTest::startCache({BBOutputType::OBJ});
            auto barrier = makeBarrier({QarnoTest::makeEvalPoint({1.0, 2.0}, 1.0, 0.0)});
            RecordingStep main("Main");
            TestAlgorithm mads(&main, "MADS", QarnoTest::makeIterationRunParams(c.userCalls),
                               QarnoTest::makeCheckedPbParams(2));
            int calls = 0;
            std::string caller;
            if (c.installCallback)
            {
                const Step::StepEndCallback callback = [&](const Step& step, bool& stop)
                {
                    ++calls;
                    caller = step.getName();
                    stop = c.askStop;
                };
                Step::addCallback(onMega ? CallbackType::MEGA_ITERATION_END
                                         : CallbackType::ITERATION_END,
                                  callback);
                // The other kind of step must not run this callback.
                Step::addCallback(onMega ? CallbackType::ITERATION_END
                                         : CallbackType::MEGA_ITERATION_END,
                                  Step::StepEndCallback([&](const Step&, bool&) { calls += 100; }));
            }
            if (c.terminateBefore)
            {
                mads.getAllStopReasons()->_iterStopReason.set(IterStopType::MAX_ITERATIONS_REACHED);
            }
            TestMegaIteration mega(&mads, 2, barrier);
            TestIteration iteration(&mega, 2);
            Step& step = onMega ? static_cast<Step&>(mega) : static_cast<Step&>(iteration);
            step.start();
            step.run();
            step.end();
            EXPECT_EQ(c.expectedCalls, calls);
            if (c.expectedCalls > 0)
            {
                EXPECT_EQ(step.getName(), caller);
            }
            EXPECT_EQ(c.expectedBase, AllStopReasons::_baseStopReason.get());
        }
    }
}
