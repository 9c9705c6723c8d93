// User interrupts: the handlers only record, the next test acts (one and
// two interrupts, twice in one process), the hot-restart chain, the handlers
// of the embedding program restored after a run, and the seg-fault report.

#include <csignal>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <unistd.h>

#include "Algos/SignalHandlerGuard.hpp"
#include "Algos/Step.hpp"
#include "Algos/UserTerminateException.hpp"
#include "Eval/Evaluator.hpp"
#include "Util/AllStopReasons.hpp"
#include "support/EvaluatorSupport.hpp"
#include "support/StepSupport.hpp"
#include "support/StepTree.hpp"
#include "support/TestSupport.hpp"

namespace
{

using namespace QARNO_4_0_0;
using namespace QarnoTest;

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
    TestAlgorithm algo(&main, "MADS");
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
        TestAlgorithm algo(&main, "MADS");
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

volatile std::sig_atomic_t terminationHandlerCalls = 0;
void terminationHandler(int)
{
    terminationHandlerCalls = terminationHandlerCalls + 1;
}

/// The temporary input files of the blackbox executable in `dir`.
std::vector<std::string> tmpFilesIn(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
    {
        const std::string name = entry.path().filename().string();
        if (0 == name.rfind("qarnotmp.", 0))
        {
            names.push_back(name);
        }
    }
    return names;
}

TEST(UserInterrupt, TerminationSignalEndsTheRunThenReachesTheProgram)
{
    // SIGTERM or SIGHUP during a run: recorded, then the run winds down at
    // its next test (no exception: its reports are written); once the
    // handlers are back, the temporary files go and the signal reaches the
    // program's own handler (the default one would end the process).
    for (const int sig : {SIGTERM, SIGHUP})
    {
        SCOPED_TRACE(sig);
        ProcessStateGuard guard;
        TempDir dir;
        Evaluator::initializeTmpFiles(dir.path());
        Evaluator evaluator(QarnoTest::makeEvalParams(QarnoTest::testBBCommand("normal"), "OBJ PB"),
                            EvalType::BB, EvalXDefined::USE_BB_EXE);
        auto block = QarnoTest::makeBlockInProgress({{1, 2}});
        std::vector<bool> countEval;
        evaluator.eval_block(block, Double(1.0), countEval);
        ASSERT_EQ(1u, tmpFilesIn(dir.path()).size());

        auto* previous = std::signal(sig, terminationHandler);
        terminationHandlerCalls = 0;
        {
            SignalHandlerGuard handlers;
            StreamCapture out(std::cout);
            std::raise(sig);
            EXPECT_EQ("", out.text());
            EXPECT_FALSE(Step::_userTerminate);

            EXPECT_EQ("(no exception)", messageOf([] { Step::handlePendingInterrupts(); }));
            const std::string name = (SIGTERM == sig) ? "SIGTERM" : "SIGHUP";
            EXPECT_EQ((std::vector<std::string>{"", "QARNO caught signal " + name + ".",
                                                "Terminate QARNO."}),
                      linesOf(out.text()));
            EXPECT_TRUE(Step::_userTerminate);
            EXPECT_FALSE(Step::_userInterrupt);
            EXPECT_EQ("Ctrl-C (Base)", AllStopReasons::getBaseStopReasonAsString());
            Step::handlePendingInterrupts();
            EXPECT_EQ(3u, linesOf(out.text()).size());

            EXPECT_EQ(0, terminationHandlerCalls);
            EXPECT_EQ(1u, tmpFilesIn(dir.path()).size());
        }
        EXPECT_EQ(1, terminationHandlerCalls);
        EXPECT_TRUE(tmpFilesIn(dir.path()).empty());
        std::signal(sig, previous);
    }
}

TEST(UserInterrupt, IgnoredTerminationSignalsStayIgnored)
{
    // Started under nohup: a hangup must not stop the run.
    ProcessStateGuard guard;
    for (const int sig : {SIGTERM, SIGHUP})
    {
        SCOPED_TRACE(sig);
        auto* previous = std::signal(sig, SIG_IGN);
        {
            SignalHandlerGuard handlers;
            struct sigaction current = {};
            sigaction(sig, nullptr, &current);
            EXPECT_EQ(SIG_IGN, current.sa_handler);
            std::raise(sig);
        }
        Step::handlePendingInterrupts();
        EXPECT_FALSE(Step::_userTerminate);
        std::signal(sig, previous);
    }
}

void outerSegFaultHandler(int)
{
    static const char text[] = "outer handler\n";
    const ssize_t written = ::write(STDERR_FILENO, text, sizeof(text) - 1);
    (void)written;
    _exit(7);
}

TEST(UserInterruptDeathTest, SegFaultGoesOnToTheHandlerFoundBeforeTheRun)
{
    // Python's faulthandler, for one, prints its traceback there.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::signal(SIGSEGV, outerSegFaultHandler);
            SignalHandlerGuard handlers;
            std::raise(SIGSEGV);
        },
        testing::ExitedWithCode(7), "Caught seg fault in thread 0\nouter handler\n");
}

TEST(UserInterruptDeathTest, SegFaultIsReportedAndEndsTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            // The default handler before the run (a sanitizer installs its
            // own, which the fault would go on to).
            std::signal(SIGSEGV, SIG_DFL);
            SignalHandlerGuard handlers;
            std::raise(SIGSEGV);
        },
        testing::KilledBySignal(SIGSEGV), "Caught seg fault in thread 0\n");
}

} // namespace
