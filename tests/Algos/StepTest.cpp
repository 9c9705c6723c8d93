// The step: its constructors and names, the start/run/end life cycle and its
// output block, the stop reasons at start, the look-ups that stop at the
// owning algorithm, the algorithm comments, the user callbacks, the call
// stack and the destructor's flush.

#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Algos/Step.hpp"
#include "Algos/StepException.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvalPoint.hpp"
#include "Output/OutputInfo.hpp"
#include "Output/OutputQueue.hpp"
#include "Util/AllStopReasons.hpp"
#include "Util/Exception.hpp"
#include "support/CacheSupport.hpp"
#include "support/EvalSupport.hpp"
#include "support/StepSupport.hpp"
#include "support/StepTree.hpp"
#include "support/TestSupport.hpp"

namespace
{

using namespace QARNO_4_0_0;
using namespace QarnoTest;

/// Shows LEVEL_INFO, where the start and end lines of steps are written.
void showInfo()
{
    OutputQueue::getInstance()->setDisplayDegree(3);
}

/// A step whose run is a loop of up to `maxIterations` iterations, each
/// ended by the ITERATION_END callback, as the iteration loops will.
class LoopStep : public RecordingStep
{
public:
    using RecordingStep::RecordingStep;
    size_t maxIterations = 10;
    size_t iterations = 0;

protected:
    bool runImp() override
    {
        bool stop = false;
        while (!stop && iterations < maxIterations)
        {
            ++iterations;
            runCallback(CallbackType::ITERATION_END, *this, stop);
        }
        return !stop;
    }
};

TEST(Step, ConstructorsNameTheStepAndShareWhatTheyAreGiven)
{
    ProcessStateGuard guard;
    auto run = QarnoTest::makeCheckedRunParams(2, false, false);
    auto pb = QarnoTest::makeCheckedPbParams(2);
    RecordingStep root("Main");
    root.setName("Main");
    TestAlgorithm algo(&root, "MADS");

    // The full constructor with parameters of its own and the parent's.
    class PlainStep : public Step
    {
    public:
        using Step::Step;

    protected:
        void startImp() override {}
        bool runImp() override { return true; }
        void endImp() override {}
    };
    const auto reasons = std::make_shared<AllStopReasons>();
    PlainStep withOwn(&algo, reasons, run, pb);
    PlainStep inheriting(&withOwn, reasons, nullptr, nullptr);
    PlainStep child(&inheriting);
    PlainStep rootStep;

    struct Case
    {
        const char* label;
        const Step& step;
        std::string name;
        const Step* parent;
        const void* stopReasons;
        const void* runParams;
        const void* pbParams;
    };
    const Case cases[] = {
        {"root", rootStep, "Main Step", nullptr, nullptr, nullptr, nullptr},
        {"full, own parameters", withOwn, "Step", &algo, reasons.get(), run.get(), pb.get()},
        {"full, parent's parameters", inheriting, "Step", &withOwn, reasons.get(), run.get(),
         pb.get()},
        {"child", child, "Child step", &inheriting, reasons.get(), run.get(), pb.get()},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.name, c.step.getName());
        EXPECT_EQ(c.parent, c.step.getParentStep());
        // Shared, not copied: the same objects.
        EXPECT_EQ(c.stopReasons, c.step.getAllStopReasons().get());
        EXPECT_EQ(c.runParams, c.step.getRunParams().get());
        EXPECT_EQ(c.pbParams, c.step.getPbParams().get());
    }

    struct Failure
    {
        const char* label;
        std::function<void()> op;
        std::string message;
    };
    const Failure failures[] = {
        {"child without parent", [] { PlainStep s(nullptr); },
         "Parent step is NULL. This constructor is for child steps having a parent only."},
        {"full without stop reasons", [&] { PlainStep s(&root, nullptr, run, pb); },
         "StopReason is NULL. Must be provided for this child step."},
        {"verifyParentNotNull on a root", [&] { rootStep.verifyParentNotNull(); },
         "Parent step for \"Main Step\" should not be NULL"},
    };
    for (const auto& f : failures)
    {
        SCOPED_TRACE(f.label);
        EXPECT_EQ(f.message, messageOf(f.op));
    }
}

TEST(Step, LifeCycleRunsInOrderInsideOneOutputBlock)
{
    struct Case
    {
        bool runResult;
    };
    for (const Case c : {Case{true}, Case{false}})
    {
        SCOPED_TRACE(c.runResult ? "successful run" : "failed run");
        ProcessStateGuard guard;
        showInfo();
        RecordingStep root("Main");
        RecordingStep step(&root, "Poll");
        step.runResult = c.runResult;

        StreamCapture out(std::cout);
        step.start();
        step.AddOutputInfo("inside");
        EXPECT_EQ(c.runResult, step.run());
        step.end();

        EXPECT_EQ((std::vector<std::string>{"start", "run", "end"}), step.calls);
        // end() flushed: everything is on standard output already.
        EXPECT_EQ((std::vector<std::string>{"Start step Poll {", "    inside", "} End step Poll"}),
                  linesOf(out.text()));
    }
}

TEST(Step, MessagesAboveTheShownLevelAreDropped)
{
    ProcessStateGuard guard;
    OutputQueue::getInstance()->setDisplayDegree(2);
    RecordingStep step("Main");
    StreamCapture out(std::cout);
    step.AddOutputDebug("debug");
    step.AddOutputInfo("info");
    step.AddOutputError("error");
    step.AddOutputWarning("warning");
    OutputQueue::getInstance()->flush();
    EXPECT_EQ((std::vector<std::string>{"error", "warning"}), linesOf(out.text()));
}

TEST(Step, StartAndEndLinesAreNotBuiltBelowTheShownLevel)
{
    // Every step of every iteration starts and ends: below LEVEL_INFO their
    // lines must cost nothing, not even the step's name.
    using NameCountingStep = QarnoTest::NameCounting<RecordingStep>;
    ProcessStateGuard guard;
    OutputQueue::getInstance()->setDisplayDegree(2);
    NameCountingStep step("Main");
    StreamCapture out(std::cout);
    step.start();
    step.end();
    EXPECT_EQ(0u, step.nameReads);
    EXPECT_EQ("", out.text());
}

TEST(Step, StartKeepsAStopReasonThatAlreadyTerminates)
{
    struct Case
    {
        const char* label;
        bool terminateBefore;
        bool terminateAfter;
    };
    const Case cases[] = {
        {"stopping algorithm keeps its reason", true, true},
        {"running algorithm is set to started", false, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ProcessStateGuard guard;
        RecordingStep root("Main");
        TestAlgorithm algo(&root, "MADS");
        RecordingStep step(&algo, "Poll");
        StreamCapture out(std::cout);
        if (c.terminateBefore)
        {
            AllStopReasons::_baseStopReason.set(BaseStopType::MAX_TIME_REACHED);
            algo.getAllStopReasons()->_iterStopReason.set(IterStopType::FEASIBLE_POINT_REACHED);
        }
        step.start();
        EXPECT_EQ(c.terminateAfter, step.getAllStopReasons()->checkTerminate());
        EXPECT_EQ(c.terminateBefore, AllStopReasons::_baseStopReason.checkTerminate());
        EXPECT_EQ(c.terminateBefore, algo.getAllStopReasons()->_iterStopReason.checkTerminate());
        step.end();
    }
}

TEST(Step, LookUpsStopAtTheAlgorithmThatOwnsTheStep)
{
    ProcessStateGuard guard;
    QarnoTest::startCache({BBOutputType::OBJ});
    const std::vector<EvalPoint> points{QarnoTest::makeEvalPoint({1.0, 2.0}, 1.0, 0.0)};
    auto outerBarrier = std::make_shared<Barrier>(INF, Point(2), EvalType::BB, points);
    auto currentBarrier = std::make_shared<Barrier>(INF, Point(2), EvalType::BB, points);
    auto mesh = std::make_shared<QarnoTest::FixedMesh>(QarnoTest::makeCheckedPbParams(2));
    auto frameCenter = std::make_shared<EvalPoint>();

    RecordingStep main("Main");
    TestAlgorithm mads(&main, "MADS");
    TestMegaIteration mega(&mads, 0, outerBarrier);
    TestIteration iteration(&mega, 0, mesh, frameCenter);
    RecordingStep search(&iteration, "Search");
    TestAlgorithm nm(&search, "NM");
    RecordingStep nmStep(&nm, "Reflect");
    TestAlgorithm unstarted(&main, "LH");
    unstarted.currentBarrier = nullptr;
    mads.currentBarrier = currentBarrier;

    struct Case
    {
        const char* label;
        const Step& step;
        std::string algoName;
        const Algorithm* root;
        const MeshBase* mesh;
        const EvalPoint* frameCenter;
        const Barrier* barrier;
    };
    const Case cases[] = {
        {"main step", main, "", nullptr, nullptr, nullptr, nullptr},
        {"algorithm: current mega-iteration's barrier", mads, "MADS ", &mads, nullptr, nullptr,
         currentBarrier.get()},
        {"algorithm without mega-iteration", unstarted, "LH ", &unstarted, nullptr, nullptr,
         nullptr},
        {"mega-iteration: its own barrier", mega, "MADS ", &mads, nullptr, nullptr,
         outerBarrier.get()},
        {"iteration: no iteration above it", iteration, "MADS ", &mads, nullptr, nullptr,
         outerBarrier.get()},
        {"step under the iteration", search, "MADS ", &mads, mesh.get(), frameCenter.get(),
         outerBarrier.get()},
        // The sub-algorithm itself still stands under the iteration that runs it.
        {"sub-algorithm: outer root", nm, "NM ", &mads, mesh.get(), frameCenter.get(), nullptr},
        {"step of the sub-algorithm sees nothing above it", nmStep, "NM ", &mads, nullptr, nullptr,
         nullptr},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.algoName, c.step.getAlgoName());
        EXPECT_EQ(c.root, c.step.getRootAlgorithm());
        EXPECT_EQ(c.mesh, c.step.getIterationMesh().get());
        EXPECT_EQ(c.frameCenter, c.step.getIterationFrameCenter().get());
        EXPECT_EQ(c.barrier, c.step.getMegaIterationBarrier().get());
    }
}

TEST(Step, AlgorithmCommentsGoToTheRootAlgorithm)
{
    ProcessStateGuard guard;
    RecordingStep main("Main");
    TestAlgorithm mads(&main, "MADS");
    RecordingStep search(&mads, "Search");
    TestAlgorithm nm(&search, "NM");
    RecordingStep nmStep(&nm, "Reflect");

    nmStep.setAlgoComment("(NM)");
    EXPECT_EQ("(NM)", mads.getAlgoComment());
    EXPECT_EQ("(NM)", search.getAlgoComment());
    nmStep.resetPreviousAlgoComment();
    EXPECT_EQ("", mads.getAlgoComment());

    // No algorithm above: nothing stored, nothing returned.
    main.setAlgoComment("lost");
    EXPECT_EQ("", main.getAlgoComment());
    EXPECT_EQ("", mads.getAlgoComment());
}

TEST(Step, IterationEndCallbackStopsTheRun)
{
    struct Case
    {
        const char* label;
        size_t stopAt; // 0: the default callback
        size_t iterations;
        bool success;
    };
    const Case cases[] = {
        {"default callback never stops", 0, 10, true},
        {"callback stops at the third iteration", 3, 3, false},
        {"callback stops at the first iteration", 1, 1, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ProcessStateGuard guard;
        if (c.stopAt > 0)
        {
            size_t calls = 0;
            const size_t stopAt = c.stopAt;
            Step::addCallback(CallbackType::ITERATION_END,
                              Step::StepEndCallback([calls, stopAt](const Step&, bool& stop) mutable
                                                    { stop = (++calls == stopAt); }));
        }
        RecordingStep main("Main");
        LoopStep loop(&main, "Iteration");
        EXPECT_EQ(c.success, loop.run());
        EXPECT_EQ(c.iterations, loop.iterations);
    }
}

TEST(Step, CallbacksOfAnotherTypeAreIgnoredAndResetRestoresTheDefaults)
{
    ProcessStateGuard guard;
    const Step::StepEndCallback stopAlways = [](const Step&, bool& stop) { stop = true; };
    const Step::HotRestartCallback addLine = [](std::vector<std::string>& lines)
    { lines.push_back("MAX_BB_EVAL 10"); };
    // Wrong pairs of type and signature change nothing.
    Step::addCallback(CallbackType::HOT_RESTART, stopAlways);
    Step::addCallback(CallbackType::ITERATION_END, addLine);

    RecordingStep main("Main");
    std::vector<std::string> lines;
    bool stop = true;
    Step::runCallback(CallbackType::ITERATION_END, main, stop);
    EXPECT_FALSE(stop);
    Step::runCallback(CallbackType::HOT_RESTART, lines);
    EXPECT_TRUE(lines.empty());

    Step::addCallback(CallbackType::MEGA_ITERATION_END, stopAlways);
    Step::addCallback(CallbackType::HOT_RESTART, addLine);
    Step::runCallback(CallbackType::MEGA_ITERATION_END, main, stop);
    EXPECT_TRUE(stop);
    Step::runCallback(CallbackType::HOT_RESTART, lines);
    EXPECT_EQ(std::vector<std::string>{"MAX_BB_EVAL 10"}, lines);

    // A new run starts with the defaults again.
    ProcessStateGuard::resetToLoadState();
    lines.clear();
    Step::runCallback(CallbackType::MEGA_ITERATION_END, main, stop);
    EXPECT_FALSE(stop);
    Step::runCallback(CallbackType::HOT_RESTART, lines);
    EXPECT_TRUE(lines.empty());
}

TEST(Step, CallStackListsTheNamesFromTheRoot)
{
    ProcessStateGuard guard;
    RecordingStep main("Main");
    TestAlgorithm mads(&main, "MADS");
    RecordingStep poll(&mads, "Poll");
    struct Case
    {
        const Step& step;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {main, {"Call stack:", "Main", ""}},
        {poll, {"Call stack:", "Main", "  MADS", "    Poll", ""}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.step.getName());
        StreamCapture out(std::cout);
        c.step.debugShowCallStack();
        EXPECT_EQ(c.lines, linesOf(out.text()));
    }
}

TEST(Step, EvaluationModeIsVerifiedAgainstTheRunParameters)
{
    ProcessStateGuard guard;
    const std::string method = "virtual void QARNO_4_0_0::Poll::startImp()";
    struct Case
    {
        bool parameter;
        bool expected;
        std::string message;
    };
    const Case cases[] = {
        {true, true, "(no exception)"},
        {false, false, "(no exception)"},
        {false, true,
         "Error: " + method +
             " should only be called if  parameter GENERATE_ALL_POINTS_BEFORE_EVAL is true"},
        {true, false,
         "Error: " + method +
             " should only be called if  parameter GENERATE_ALL_POINTS_BEFORE_EVAL is false"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string("parameter ") + (c.parameter ? "true" : "false") + ", expected " +
                     (c.expected ? "true" : "false"));
        auto run = QarnoTest::makeCheckedRunParams(2, c.parameter, false);
        RecordingStep root("Main");
        TestAlgorithm algo(&root, "MADS");
        class WithParams : public RecordingStep
        {
        public:
            WithParams(const Step* parent, std::shared_ptr<RunParameters> run)
                : RecordingStep(parent, "Poll")
            {
                _runParams = std::move(run);
            }
        };
        WithParams step(&algo, run);
        StreamCapture out(std::cout);
        EXPECT_EQ(c.message,
                  messageOf([&] { step.verifyGenerateAllPointsBeforeEval(method, c.expected); }));
        // A failure shows where it happened first.
        EXPECT_EQ(c.message != "(no exception)", out.text().find("Call stack:") == 0);
    }

    // Without run parameters there is nothing to read: reported, not read.
    RecordingStep orphan("Main");
    StreamCapture out(std::cout);
    EXPECT_NE(std::string::npos,
              messageOf([&] { orphan.verifyGenerateAllPointsBeforeEval(method, true); })
                  .find("needs the run parameters"));
}

TEST(Step, DestructorSwallowsAFailingFlush)
{
    ProcessStateGuard guard;
    showInfo();
    QarnoTest::CerrCapture err;
    StreamCapture out(std::cout);
    {
        RecordingStep step("Main");
        // A block end without its start makes the flush throw.
        step.AddOutputInfo("unbalanced", false, true);
    }
    EXPECT_NE(std::string::npos, err.text().find("Warning: output lost at the end of step Main"));
    OutputQueue::resetInstance();
}

} // namespace
