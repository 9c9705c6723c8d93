// User interrupts: the handlers only record, the next test acts (one and
// two interrupts, twice in one process), the hot-restart chain, the handlers
// of the embedding program restored after a run, and the seg-fault report.

#include <csignal>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Algos/SignalHandlerGuard.hpp"
#include "Algos/Step.hpp"
#include "Algos/UserTerminateException.hpp"
#include "Util/AllStopReasons.hpp"
#include "support/StepSupport.hpp"
#include "support/TestSupport.hpp"

namespace
{

using namespace QARNO_4_0_0;
using QarnoTest::FakeAlgorithm;
using QarnoTest::linesOf;
using QarnoTest::messageOf;
using QarnoTest::ProcessStateGuard;
using QarnoTest::RecordingStep;
using QarnoTest::StreamCapture;

/// Stands for the handler of an embedding program (the interpreter's
/// Ctrl-C handling), which must work again once a run is over.
volatile std::sig_atomic_t embeddingHandlerCalls = 0;
void embeddingHandler(int)
{
    embeddingHandlerCalls = embeddingHandlerCalls + 1;
}

/// Installs `embeddingHandler` for SIGINT for the length of a test and puts
/// back what was there before.
class EmbeddingHandler
{
public:
    EmbeddingHandler()
    {
        _previous = std::signal(SIGINT, embeddingHandler);
        embeddingHandlerCalls = 0;
    }
    ~EmbeddingHandler() { std::signal(SIGINT, _previous); }

private:
    void (*_previous)(int);
};

TEST(UserInterrupt, OneAndTwoInterruptsActAtTheNextTestOnly)
{
    // The same run twice in one process: the second starts from a clean state.
    for (int round = 0; round < 2; ++round)
    {
        SCOPED_TRACE("round " + std::to_string(round));
        ProcessStateGuard guard;
        EmbeddingHandler embedding;
        EXPECT_FALSE(Step::_userInterrupt);
        EXPECT_FALSE(Step::_userTerminate);
        {
            SignalHandlerGuard handlers;
            StreamCapture out(std::cout);

            std::raise(SIGINT);
            // The handler only recorded the signal.
            EXPECT_EQ("", out.text());
            EXPECT_FALSE(Step::_userInterrupt);
            EXPECT_FALSE(AllStopReasons::_baseStopReason.checkTerminate());

            Step::handlePendingInterrupts();
            EXPECT_EQ(
                (std::vector<std::string>{"", "QARNO caught User interruption.", "Please wait..."}),
                linesOf(out.text()));
            EXPECT_TRUE(Step::_userInterrupt);
            EXPECT_FALSE(Step::_userTerminate);
            EXPECT_EQ("Ctrl-C (Base)", AllStopReasons::getBaseStopReasonAsString());

            // Nothing new: a second test does nothing.
            Step::handlePendingInterrupts();
            EXPECT_EQ(3u, linesOf(out.text()).size());

            std::raise(SIGINT);
            EXPECT_EQ("User termination", messageOf([] { Step::handlePendingInterrupts(); }));
            EXPECT_EQ((std::vector<std::string>{
                          "", "QARNO caught User interruption.", "Please wait...", "",
                          "QARNO caught User interruption.", "Terminate QARNO."}),
                      linesOf(out.text()));
            EXPECT_TRUE(Step::_userTerminate);
            EXPECT_EQ(0, embeddingHandlerCalls);
        }
        // The run is over: Ctrl-C belongs to the embedding program again.
        std::raise(SIGINT);
        EXPECT_EQ(1, embeddingHandlerCalls);
    }
}

TEST(UserInterrupt, TwoInterruptsBeforeATestStopTheNextStepStart)
{
    ProcessStateGuard guard;
    EmbeddingHandler embedding;
    RecordingStep main("Main");
    FakeAlgorithm algo(&main, "MADS");
    RecordingStep step(&algo, "Poll");
    StreamCapture out(std::cout);
    bool thrown = false;
    try
    {
        SignalHandlerGuard handlers;
        std::raise(SIGINT);
        std::raise(SIGINT);
        step.start();
    }
    catch (const UserTerminateException& e)
    {
        thrown = true;
        EXPECT_EQ("User termination", messageOf(e));
    }
    EXPECT_TRUE(thrown);
    EXPECT_TRUE(step.calls.empty());
    EXPECT_NE(std::string::npos, out.text().find("Please wait...\n"));
    EXPECT_NE(std::string::npos, out.text().find("Terminate QARNO.\n"));
    // Left by an exception, the guard still restored the handler.
    std::raise(SIGINT);
    EXPECT_EQ(1, embeddingHandlerCalls);
}

TEST(UserInterrupt, HotRestartChainFollowsTheParameter)
{
    struct Case
    {
        const char* label;
        bool hotRestart;
        bool userInterrupt;
        bool userTerminate;
        std::string baseReason;
    };
    const Case cases[] = {
        {"no hot restart: the run terminates with Ctrl-C", false, true, true, "Ctrl-C (Base)"},
        {"hot restart: the interrupt is cleared and the run goes on", true, false, false,
         "Started (Base)"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ProcessStateGuard guard;
        EmbeddingHandler embedding;
        auto run = QarnoTest::makeCheckedRunParams(2, false, c.hotRestart);
        auto pb = QarnoTest::makeCheckedPbParams(2);
        class Root : public RecordingStep
        {
        public:
            Root(std::shared_ptr<RunParameters> run, std::shared_ptr<PbParameters> pb)
                : RecordingStep("Main")
            {
                _runParams = std::move(run);
                _pbParams = std::move(pb);
            }
        };
        Root main(run, pb);
        FakeAlgorithm algo(&main, "MADS");
        RecordingStep mega(&algo, "MegaIteration");
        StreamCapture out(std::cout);
        {
            SignalHandlerGuard handlers;
            std::raise(SIGINT);
            Step::handlePendingInterrupts();
        }
        ASSERT_TRUE(Step::_userInterrupt);
        mega.hotRestartOnUserInterrupt();
        EXPECT_EQ(c.userInterrupt, Step::_userInterrupt);
        EXPECT_EQ(c.userTerminate, Step::_userTerminate);
        EXPECT_EQ(c.baseReason, AllStopReasons::getBaseStopReasonAsString());
    }
}

TEST(UserInterrupt, ResetOfTheProcessStateClearsRecordedInterrupts)
{
    ProcessStateGuard guard;
    EmbeddingHandler embedding;
    {
        SignalHandlerGuard handlers;
        std::raise(SIGINT);
    }
    // A run that ended before acting on the signal must not pass it on.
    ProcessStateGuard::resetToLoadState();
    StreamCapture out(std::cout);
    Step::handlePendingInterrupts();
    EXPECT_EQ("", out.text());
    EXPECT_FALSE(Step::_userInterrupt);
}

TEST(UserInterruptDeathTest, SegFaultIsReportedAndEndsTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            SignalHandlerGuard handlers;
            std::raise(SIGSEGV);
        },
        testing::KilledBySignal(SIGSEGV), "Caught seg fault in thread 0\n");
}

} // namespace
