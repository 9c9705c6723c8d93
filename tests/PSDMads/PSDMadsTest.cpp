// PSD-MADS on one main thread (thread 0, the pollster): the mesh-update
// decision, the drawing of free variables, the sub-run parameters and
// budgets of both roles, and whole runs of pollster cycles.

#include <cstddef>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/EvcInterface.hpp"
#include "Algos/MeshBase.hpp"
#include "Algos/PSDMads/PSDMads.hpp"
#include "Algos/PSDMads/PSDMadsMegaIteration.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvalPoint.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/Point.hpp"
#include "Param/AllParameters.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Type/DirectionType.hpp"
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
using QarnoTest::EvcOptions;
using QarnoTest::infoMessagesOf;
using QarnoTest::linesOf;
using QarnoTest::makeMadsParameters;
using QarnoTest::ProcessStateGuard;
using QarnoTest::RecordingStep;

bool contains(const std::string& text, const std::string& part)
{
    return std::string::npos != text.find(part);
}

size_t countLines(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (const auto& line : linesOf(text))
    {
        count += contains(line, part) ? 1 : 0;
    }
    return count;
}

/// A PSDMads on n variables below a root step, over the evaluation queue of
/// `algoRun`, from X0 all ones; one main thread unless the lines say more.
struct PSDUnderTest
{
    PSDUnderTest(EvcHarness& algoRun, size_t n, std::vector<std::string> lines)
        : root(std::make_unique<RecordingStep>("Main"))
    {
        lines.insert(lines.begin(), "PSD_MADS_NB_SUBPROBLEM 1");
        params = makeMadsParameters(n, "OBJ PB", {std::vector<double>(n, 1.0)}, lines);
        params->checkAndComply();
        psd = std::make_unique<PSDMads>(
            root.get(), std::make_shared<AlgoStopReasons<MadsStopType>>(), params->get_run_params(),
            params->get_pb_params(), algoRun.evaluator, algoRun.params);
    }

    std::shared_ptr<AllParameters> params;
    std::unique_ptr<Step> root;
    std::unique_ptr<PSDMads> psd;
};

TEST(PSDMads, MeshUpdateDecision)
{
    struct Case
    {
        std::string name;
        std::vector<std::string> lines;
        size_t draws; // coordinates freed by one worker draw before the decision
        bool workerSucceeded;
        bool expected;
        std::string message;
    };
    const std::string covered = "% of variables were covered by subproblems. Update mesh.";
    const std::string last = "Last subproblem iteration was successful. Update mesh.";
    const std::vector<Case> cases = {
        {"original, nothing drawn", {"PSD_MADS_ORIGINAL yes"}, 0, false, true, ""},
        {"nothing drawn, coverage 0", {"PSD_MADS_SUBPROBLEM_PCT_COVERAGE 0"}, 0, false, false, ""},
        {"one drawn, coverage 0",
         {"PSD_MADS_SUBPROBLEM_PCT_COVERAGE 0"},
         1,
         false,
         true,
         "10" + covered},
        {"3 left, coverage 70", {}, 7, false, true, "70" + covered},
        {"4 left, coverage 70", {}, 6, false, false, ""},
        {"all drawn, coverage 100", {"PSD_MADS_SUBPROBLEM_PCT_COVERAGE 100"}, 10, false, false, ""},
        {"worker success", {}, 0, true, true, last},
        {"worker success, coverage 100",
         {"PSD_MADS_SUBPROBLEM_PCT_COVERAGE 100"},
         0,
         true,
         true,
         last},
        {"worker success, not opportunistic",
         {"PSD_MADS_ITER_OPPORTUNISTIC no"},
         0,
         true,
         false,
         ""},
        {"worker success, not opportunistic, 3 left",
         {"PSD_MADS_ITER_OPPORTUNISTIC no"},
         7,
         true,
         true,
         "70" + covered},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard guard;
        EvcHarness algoRun(algorithmHarness(EvcOptions(), EvalType::BB, 10));
        auto lines = c.lines;
        if (c.draws > 0)
        {
            lines.push_back("PSD_MADS_NB_VAR_IN_SUBPROBLEM " + std::to_string(c.draws));
        }
        PSDUnderTest t(algoRun, 10, lines);
        if (c.draws > 0)
        {
            Point fixed(10, Double(1.0));
            t.psd->generateSubproblem(fixed);
            EXPECT_EQ(10 - c.draws, fixed.nbDefined());
        }
        t.psd->setLastSubproblemSuccessful(c.workerSucceeded);
        bool update = false;
        const std::string out = infoMessagesOf([&] { update = t.psd->doUpdateMesh(); });
        EXPECT_EQ(c.expected, update);
        if (c.message.empty())
        {
            EXPECT_FALSE(contains(out, "Update mesh.")) << out;
        }
        else
        {
            EXPECT_EQ(1u, countLines(out, c.message)) << out;
        }
    }
}

TEST(PSDMads, ExhaustedPickupFreesCoordinateZero)
{
    ProcessStateGuard guard;
    EvcHarness algoRun(algorithmHarness(EvcOptions(), EvalType::BB, 4));
    PSDUnderTest t(algoRun, 4, {"PSD_MADS_NB_VAR_IN_SUBPROBLEM 3"});
    Point first(4, Double(1.0));
    t.psd->generateSubproblem(first);
    EXPECT_EQ(1u, first.nbDefined());
    EXPECT_EQ(1u, t.psd->getNbVariablesNotDrawn());
    // One index left, then the pickup answers 0 without drawing.
    Point second(4, Double(1.0));
    t.psd->generateSubproblem(second);
    EXPECT_FALSE(second[0].isDefined());
    EXPECT_EQ(0u, t.psd->getNbVariablesNotDrawn());
}

struct PollsterRun
{
    std::string out;
    bool runResult = false;
    size_t k = 0;
    size_t subproblemCountAfter = 1;
    bool frameUnchanged = false;
};

PollsterRun runPollster(const std::vector<std::string>& lines, size_t maxBbEval)
{
    PollsterRun run;
    EvcOptions options;
    options.maxBbEval = maxBbEval;
    EvcHarness algoRun(algorithmHarness(options, EvalType::BB, 2));
    PSDUnderTest t(algoRun, 2, lines);
    ArrayOfDouble initialFrame;
    run.out = infoMessagesOf(
        [&]
        {
            t.psd->start();
            initialFrame = t.psd->getMainMesh()->getDeltaFrameSize();
            run.runResult = t.psd->run();
            t.psd->end();
        });
    run.k = t.psd->getMegaIteration()->getK();
    run.subproblemCountAfter = EvcInterface::getEvaluatorControl()->getBbEvalInSubproblem(-1);
    const ArrayOfDouble frame = t.psd->getMainMesh()->getDeltaFrameSize();
    run.frameUnchanged = true;
    for (size_t i = 0; i < frame.size(); ++i)
    {
        run.frameUnchanged = run.frameUnchanged && frame[i] == initialFrame[i];
    }
    return run;
}

TEST(PSDMads, PollsterCycles)
{
    struct Case
    {
        std::string name;
        std::vector<std::string> lines;
        bool meshUpdated;
    };
    const std::vector<Case> cases = {
        {"coverage rule", {}, false},
        {"coverage 0", {"PSD_MADS_SUBPROBLEM_PCT_COVERAGE 0"}, false},
        {"original", {"PSD_MADS_ORIGINAL yes"}, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard guard;
        const PollsterRun run = runPollster(c.lines, 6);
        EXPECT_TRUE(run.runResult);
        const size_t cycles = countLines(run.out, "Running Mads pollster on thread 0");
        ASSERT_GE(cycles, 1u) << run.out;
        // The first sub-run is not charged with the starting point's
        // evaluation: it evaluates its own poll point.
        const size_t secondEval = run.out.find("\n2   ");
        ASSERT_NE(std::string::npos, secondEval) << run.out;
        EXPECT_LT(secondEval, run.out.find("Done running Mads pollster")) << run.out;
        // After a success the pollster polls around the new frame centre,
        // not around the starting point.
        const size_t firstSuccess = run.out.find("Mads pollster was successful.");
        ASSERT_NE(std::string::npos, firstSuccess) << run.out;
        EXPECT_FALSE(contains(run.out.substr(firstSuccess), "Using X0: #1 ( 1 1 )")) << run.out;
        EXPECT_EQ(cycles, countLines(run.out, "Done running Mads pollster on thread 0. "
                                              "Number of evaluations: "));
        // One blackbox evaluation at most per pollster sub-run.
        EXPECT_EQ(cycles, countLines(run.out, "Number of evaluations: 0. ") +
                              countLines(run.out, "Number of evaluations: 1. "));
        EXPECT_EQ(countLines(run.out, "Found a new success: true."),
                  countLines(run.out, "Mads pollster was successful. Barrier is updated."));
        // The k of the last completed cycle.
        EXPECT_EQ(cycles - 1, run.k);
        EXPECT_EQ(0u, run.subproblemCountAfter);
        // With one main thread nothing is drawn and no worker succeeds.
        EXPECT_FALSE(contains(run.out, "Update mesh.")) << run.out;
        // Only the original rule updates the main mesh on one main thread.
        EXPECT_EQ(!c.meshUpdated, run.frameUnchanged);
    }
}

TEST(PSDMads, SubproblemParametersAndBudgets)
{
    const size_t inf = std::numeric_limits<size_t>::max();
    struct Case
    {
        std::string name;
        size_t maxBbEval;
        size_t nbSubproblem;
        size_t ownBudget; // the thread's MAX_BB_EVAL_IN_SUBPROBLEM before
        size_t expected;
    };
    const std::vector<Case> cases = {
        {"1001 over 4", 1001, 4, inf, 250},
        {"no limit over 4", QarnoTest::NO_LIMIT, 4, inf, (inf - 1) / 4},
        {"own budget smaller", 1001, 4, 100, 100},
        {"one sub-problem", 11, 1, inf, 10},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard guard;
        EvcOptions options;
        options.maxBbEval = c.maxBbEval;
        EvcHarness algoRun(algorithmHarness(options, EvalType::BB, 4));
        PSDUnderTest t(algoRun, 4, {"PSD_MADS_NB_SUBPROBLEM " + std::to_string(c.nbSubproblem)});
        infoMessagesOf([&] { t.psd->start(); });
        const auto& evc = EvcInterface::getEvaluatorControl();
        // Thread 0 came with the queue; the construction registers the others.
        EXPECT_EQ(c.nbSubproblem, evc->getMainThreads().size());
        evc->setMaxBbEvalInSubproblem(c.ownBudget);

        const Point x0(4, Double(1.0));
        Point fixed(x0);
        fixed[1] = Double();
        fixed[3] = Double();
        PSDMadsMegaIteration worker(t.psd.get(), 0, t.psd->getSharedBarrier(), t.psd->getMainMesh(),
                                    SuccessType::NOT_EVALUATED, x0, fixed);
        const ArrayOfDouble frame = t.psd->getMainMesh()->getDeltaFrameSize();
        for (int pass = 0; pass < 2; ++pass)
        {
            auto pb = std::make_shared<PbParameters>();
            pb->copyParameters(*t.params->get_pb_params());
            auto run = std::make_shared<RunParameters>();
            run->copyParameters(*t.params->get_run_params());
            worker.setupSubproblemParams(pb, run, false);
            // The budget never grows from one cycle to the next.
            EXPECT_EQ(c.expected, evc->getMaxBbEvalInSubproblem(-1));
            EXPECT_EQ(fixed.display(), pb->getAttributeValue<Point>("FIXED_VARIABLE").display());
            EXPECT_EQ(frame.display(),
                      pb->getAttributeValue<ArrayOfDouble>("MIN_FRAME_SIZE").display());
            EXPECT_EQ(2u, run->getAttributeValue<size_t>("PSD_MADS_NB_VAR_IN_SUBPROBLEM"));
        }

        auto pb = std::make_shared<PbParameters>();
        pb->copyParameters(*t.params->get_pb_params());
        auto run = std::make_shared<RunParameters>();
        run->copyParameters(*t.params->get_run_params());
        worker.setupSubproblemParams(pb, run, true);
        EXPECT_EQ(1u, evc->getMaxBbEvalInSubproblem(-1));
        EXPECT_EQ(DirectionType::SINGLE, pb->getAttributeValue<DirectionType>("DIRECTION_TYPE"));
        EXPECT_FALSE(run->getAttributeValue<bool>("NM_SEARCH"));
        EXPECT_FALSE(run->getAttributeValue<bool>("SPECULATIVE_SEARCH"));
        EXPECT_EQ(frame.display(),
                  pb->getAttributeValue<ArrayOfDouble>("INITIAL_FRAME_SIZE").display());
        infoMessagesOf([&] { t.psd->end(); });
    }
}

} // namespace
