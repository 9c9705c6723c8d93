// The run loop of the evaluation queue: the opportunistic stop and the
// clearing of the queue, the budgets and their messages, an evaluation that
// is ok without an objective, statuses before and after the evaluator, the
// counters after mixed blocks, an evaluator that throws, a single point
// evaluated outside the queue, the statistics and history records, and the
// solution file that follows the best point of the run.

#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "Algos/ProcessState.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/Double.hpp"
#include "Math/Point.hpp"
#include "Output/OutputDirectToFile.hpp"
#include "Output/OutputQueue.hpp"
#include "Util/AllStopReasons.hpp"
#include "Util/Exception.hpp"
#include "support/CacheSupport.hpp"
#include "support/EvalSupport.hpp"
#include "support/EvcSupport.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::CerrCapture;
using QarnoTest::coordsOf;
using QarnoTest::EvcHarness;
using QarnoTest::EvcOptions;
using QarnoTest::FunctionEvaluator;
using QarnoTest::makeArray;
using QarnoTest::makeBBPoint;
using QarnoTest::makeEvalPoint;
using QarnoTest::messageOf;
using QarnoTest::NO_LIMIT;
using QarnoTest::ProcessStateGuard;
using QarnoTest::StreamCapture;
using QarnoTest::TempDir;

namespace
{

using Coords = std::vector<double>;
using Stop = EvalMainThreadStopType;
using Global = EvalGlobalStopType;

const BBOutputTypeList OBJ_ONLY = {BBOutputType::OBJ};
const BBOutputTypeList OBJ_PB = {BBOutputType::OBJ, BBOutputType::PB};

/// Points (1, 0) .. (n, 0).
std::vector<Coords> line(size_t n)
{
    std::vector<Coords> points;
    for (size_t i = 1; i <= n; ++i)
    {
        points.push_back({double(i), 0});
    }
    return points;
}

/// The output line of each point, by its first coordinate.
FunctionEvaluator::Output outputs(const std::map<double, std::string>& byFirst)
{
    return [byFirst](const EvalPoint& point) { return byFirst.at(point[0].todouble()); };
}

/// Configures the output queue at that display degree; statistics lines
/// need the display parameters.
void showOutput(int displayDegree)
{
    StreamCapture quiet(std::cout);
    OutputQueue::getInstance()->initParameters(
        QarnoTest::makeDisplayParameters(2, displayDegree, ""));
}

/// A barrier of dimension 2 whose references are a feasible point of f 10
/// and an infeasible point of f 5 and h 4 (outputs OBJ PB).
std::shared_ptr<Barrier> referenceBarrier()
{
    auto barrier =
        std::make_shared<Barrier>(Double(INF), Point(2), EvalType::BB,
                                  std::vector<EvalPoint>{makeBBPoint({9, 9}, "10 0", OBJ_PB),
                                                         makeBBPoint({8, 8}, "5 2", OBJ_PB)});
    barrier->updateRefBests();
    return barrier;
}

/// Every line of the text with its words joined by one blank.
std::vector<std::string> wordLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
    {
        std::istringstream words(line);
        std::string word;
        std::string joined;
        while (words >> word)
        {
            joined += (joined.empty() ? "" : " ") + word;
        }
        lines.push_back(joined);
    }
    return lines;
}

class EvaluatorControlRunTest : public ::testing::Test
{
protected:
    ProcessStateGuard _guard;
};

TEST_F(EvaluatorControlRunTest, OpportunismStopsAfterTheBlockHoldingTheFirstSuccess)
{
    // Against the references: "5 0" dominates the feasible one (full
    // success), "20 1" improves h of the infeasible one at the cost of f
    // (partial success), "20 0" is a failure.
    const std::string FULL = "5 0";
    const std::string PARTIAL = "20 1";
    const std::string FAIL = "20 0";
    const struct
    {
        const char* label;
        bool opportunistic;
        size_t blockSize;
        bool clearEvalQueue;
        std::string second; // output of the second point; the others fail
        size_t evaluated;
        size_t leftQueued;
        Stop reason;
        SuccessType success;
    } cases[] = {
        {"full success, blocks of 1", true, 1, false, FULL, 2, 3, Stop::OPPORTUNISTIC_SUCCESS,
         SuccessType::FULL_SUCCESS},
        {"partial success, blocks of 1", true, 1, false, PARTIAL, 2, 3, Stop::OPPORTUNISTIC_SUCCESS,
         SuccessType::PARTIAL_SUCCESS},
        {"success in a block of 4", true, 4, false, FULL, 4, 1, Stop::OPPORTUNISTIC_SUCCESS,
         SuccessType::FULL_SUCCESS},
        {"queue cleared after the stop", true, 1, true, FULL, 2, 0, Stop::OPPORTUNISTIC_SUCCESS,
         SuccessType::FULL_SUCCESS},
        {"not opportunistic", false, 1, false, FULL, 5, 0, Stop::ALL_POINTS_EVALUATED,
         SuccessType::FULL_SUCCESS},
        {"no success", true, 2, false, FAIL, 5, 0, Stop::ALL_POINTS_EVALUATED,
         SuccessType::FAILURE},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ProcessStateGuard guard;
        showOutput(5);
        EvcOptions options;
        options.opportunistic = c.opportunistic;
        options.bbMaxBlockSize = c.blockSize;
        options.clearEvalQueue = c.clearEvalQueue;
        EvcHarness h(options, OBJ_PB,
                     outputs({{1, FAIL}, {2, c.second}, {3, FAIL}, {4, FAIL}, {5, FAIL}}));
        h.evc->setBarrier(referenceBarrier());
        ASSERT_TRUE(h.queueAll(line(5)));

        StreamCapture out(std::cout);
        EXPECT_EQ(c.success, h.evc->run());
        const std::vector<Coords> all = line(5);
        EXPECT_EQ(std::vector<Coords>(all.begin(), all.begin() + c.evaluated),
                  h.evaluator->evaluatedPoints());
        EXPECT_EQ(c.leftQueued, h.evc->getQueueSize(0));
        EXPECT_EQ(c.reason, h.evc->getStopReason(0).get());
        EXPECT_EQ(c.evaluated, h.evc->retrieveAllEvaluatedPoints(0).size());
        EXPECT_EQ(0u, h.evc->getMainThreadInfo(0).getCurrentlyRunning());
        EXPECT_NE(std::string::npos,
                  out.text().find("EvaluatorControl stop reason (main thread): " +
                                  h.evc->getStopReasonAsString(0) +
                                  " (global): Started (Eval Global)"));
    }
}

TEST_F(EvaluatorControlRunTest, SolutionFileAndSuccessMarksFollowTheBestPointOfTheRun)
{
    // The barrier's references stay those of the start of the iteration:
    // every point below but the failures succeeds against them. The solution
    // file and the marked successes must follow the best point evaluated so
    // far, not the last point that beat a stale reference.
    const auto infeasibleOnly = []
    {
        auto barrier =
            std::make_shared<Barrier>(Double(INF), Point(2), EvalType::BB,
                                      std::vector<EvalPoint>{makeBBPoint({8, 8}, "5 2", OBJ_PB)});
        barrier->updateRefBests();
        return barrier;
    };
    const struct
    {
        const char* label;
        std::function<std::shared_ptr<Barrier>()> barrier; // built once the cache is
        std::vector<std::string> outputs;                  // of the points (1, 0), (2, 0), ...
        std::vector<std::string> solution;
        size_t marked; // relative successes
    } cases[] = {
        {"a later, worse success against the feasible reference",
         referenceBarrier,
         {"5 0", "7 0", "3 0", "4 0"},
         {"3 0 3 0"},
         2},
        {"a feasible point after an improving infeasible one",
         infeasibleOnly,
         {"6 1", "20 0", "25 0"},
         {"2 0 20 0"},
         2},
        // Dominates the infeasible reference, but the file holds feasible
        // points only.
        {"an infeasible full success", infeasibleOnly, {"3 1"}, {}, 1},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ProcessStateGuard guard;
        TempDir dir;
        const std::string solution = dir.file("solution.txt");
        {
            StreamCapture quiet(std::cout);
            const auto display = QarnoTest::makeDisplayParameters(2, 0, "", "", solution);
            OutputQueue::getInstance()->initParameters(display);
            OutputDirectToFile::getInstance()->init(display);
        }
        std::map<double, std::string> byFirst;
        for (size_t i = 0; i < c.outputs.size(); ++i)
        {
            byFirst[double(i + 1)] = c.outputs[i];
        }
        EvcHarness h(EvcOptions(), OBJ_PB, outputs(byFirst));
        h.evc->setBarrier(c.barrier());
        ASSERT_TRUE(h.queueAll(line(c.outputs.size())));

        h.evc->run();
        OutputDirectToFile::resetInstance();

        EXPECT_EQ(c.solution, wordLines(QarnoTest::readTextFile(solution)));
        EXPECT_EQ(c.marked, h.evc->getNbRelativeSuccess());
    }
}

TEST_F(EvaluatorControlRunTest, PointsClearedUnevaluatedCanBeOfferedAgain)
{
    // After an opportunistic success the queue drops points 3 to 5 without
    // evaluating them. Left in the cache as "queued", they would be refused
    // at every later offer and never be evaluated in the run.
    const std::string FULL = "5 0";
    const std::string FAIL = "20 0";
    showOutput(2);
    EvcOptions options;
    options.opportunistic = true;
    options.clearEvalQueue = true;
    EvcHarness h(options, OBJ_PB, outputs({{1, FAIL}, {2, FULL}, {3, FAIL}, {4, FAIL}, {5, FAIL}}));
    h.evc->setBarrier(referenceBarrier());
    ASSERT_TRUE(h.queueAll(line(5)));
    {
        StreamCapture quiet(std::cout);
        h.evc->run();
    }
    ASSERT_EQ(0u, h.evc->getQueueSize(0));
    EXPECT_EQ(2u, CacheBase::getInstance()->size());

    // Offered again, the evaluated points are cache hits, the dropped ones
    // are queued and evaluated.
    const std::vector<Coords> all = line(5);
    for (size_t i = 0; i < all.size(); ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(i >= 2, QarnoTest::queuePoint(*h.evc, all[i]));
    }
    h.evc->restart();
    StreamCapture quiet(std::cout);
    h.evc->run();
    EXPECT_EQ(5u, h.evaluator->evaluatedPoints().size());
}

TEST_F(EvaluatorControlRunTest, BudgetsStopTheRunWithTheirMessage)
{
    const struct
    {
        const char* label;
        EvcOptions options;
        EvalType evalType;
        std::function<void(EvcHarness&)> prepare;
        size_t evaluated;
        Global globalReason;
        Stop threadReason;
        std::string message; // empty: no "Reached stop criterion" line
    } cases[] = {
        {"MAX_BB_EVAL",
         []
         {
             EvcOptions o;
             o.maxBbEval = 3;
             return o;
         }(),
         EvalType::BB, nullptr, 3, Global::MAX_BB_EVAL_REACHED, Stop::STARTED,
         "Reached stop criterion: Max number of blackbox evaluations (Eval Global) 3"},
        {"MAX_BB_EVAL, a point not counted",
         []
         {
             EvcOptions o;
             o.maxBbEval = 3;
             return o;
         }(),
         EvalType::BB,
         [](EvcHarness& h)
         { h.evaluator->countEval = [](const EvalPoint& p) { return p[0].todouble() != 2; }; },
         4, Global::MAX_BB_EVAL_REACHED, Stop::STARTED,
         "Reached stop criterion: Max number of blackbox evaluations (Eval Global) 3"},
        // Blocks of 2 against a budget of 3: the second block is cut to the
        // one evaluation left instead of going over the budget.
        {"MAX_BB_EVAL, blocks of 2",
         []
         {
             EvcOptions o;
             o.maxBbEval = 3;
             o.bbMaxBlockSize = 2;
             return o;
         }(),
         EvalType::BB, nullptr, 3, Global::MAX_BB_EVAL_REACHED, Stop::STARTED,
         "Reached stop criterion: Max number of blackbox evaluations (Eval Global) 3"},
        {"MAX_EVAL counts cache hits",
         []
         {
             EvcOptions o;
             o.maxEval = 4;
             return o;
         }(),
         EvalType::BB,
         [](EvcHarness& h)
         {
             for (double x : {10.0, 11.0})
             {
                 CacheBase::getInstance()->insert(makeBBPoint({x, 0}, "1", OBJ_ONLY));
                 EXPECT_FALSE(QarnoTest::queuePoint(*h.evc, {x, 0})); // a cache hit
             }
         },
         2, Global::MAX_EVAL_REACHED, Stop::STARTED,
         "Reached stop criterion: Max number of total evaluations (Eval Global) 4"},
        {"MAX_BLOCK_EVAL",
         []
         {
             EvcOptions o;
             o.maxBlockEval = 2;
             o.bbMaxBlockSize = 2;
             return o;
         }(),
         EvalType::BB, nullptr, 4, Global::MAX_BLOCK_EVAL_REACHED, Stop::STARTED,
         "Reached stop criterion: Maximum number of block eval reached (Eval Global) 2"},
        {"lap budget", EvcOptions(), EvalType::BB, [](EvcHarness& h) { h.evc->setLapMaxBbEval(2); },
         2, Global::STARTED, Stop::LAP_MAX_BB_EVAL_REACHED, ""},
        {"sub-problem budget", EvcOptions(), EvalType::BB,
         [](EvcHarness& h) { h.evc->setMaxBbEvalInSubproblem(3); }, 3, Global::STARTED,
         Stop::SUBPROBLEM_MAX_BB_EVAL_REACHED, ""},
        // The check makes the surrogate block size the surrogate budget.
        {"surrogate budget",
         []
         {
             EvcOptions o;
             o.maxSgteEval = 2;
             return o;
         }(),
         EvalType::SGTE, nullptr, 2, Global::STARTED, Stop::MAX_SGTE_EVAL_REACHED, ""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ProcessStateGuard guard;
        showOutput(2);
        EvcHarness h(c.options, OBJ_ONLY, QarnoTest::firstCoordinateObjective(), c.evalType);
        if (c.prepare)
        {
            c.prepare(h);
        }
        ASSERT_TRUE(h.queueAll(line(6)));

        StreamCapture out(std::cout);
        h.evc->run();
        EXPECT_EQ(c.evaluated, h.evaluator->evaluatedPoints().size());
        EXPECT_EQ(6 - c.evaluated, h.evc->getQueueSize(0)); // CLEAR_EVAL_QUEUE false
        EXPECT_EQ(c.globalReason, AllStopReasons::_evalGlobalStopReason.get());
        EXPECT_EQ(c.threadReason, h.evc->getStopReason(0).get());
        EXPECT_EQ(c.globalReason != Global::STARTED, h.evc->reachedMaxEval());
        const size_t at = out.text().find("Reached stop criterion: ");
        if (c.message.empty())
        {
            EXPECT_EQ(std::string::npos, at);
        }
        else
        {
            EXPECT_NE(std::string::npos, out.text().find(c.message + "\n"));
        }

        // A budget reached stops the next run before any evaluation.
        const size_t before = h.evaluator->evaluatedPoints().size();
        h.evc->run();
        EXPECT_EQ(before, h.evaluator->evaluatedPoints().size());
    }
}

TEST_F(EvaluatorControlRunTest, ABudgetChangedBetweenRunsApplies)
{
    showOutput(0);
    EvcOptions options;
    options.maxBbEval = 2;
    EvcHarness h(options, OBJ_ONLY, QarnoTest::firstCoordinateObjective());
    ASSERT_TRUE(h.queueAll(line(5)));
    h.evc->run();
    EXPECT_EQ(2u, h.evc->getBbEval());

    // As a hot restart does: new budget, checked, and the budget reason
    // cleared by the algorithm that goes on.
    h.globalParams->setAttributeValue<size_t>("MAX_BB_EVAL", 4);
    h.globalParams->checkAndComply(nullptr);
    AllStopReasons::setSharedStarted();
    h.evc->run();
    EXPECT_EQ(4u, h.evc->getBbEval());
    EXPECT_EQ(1u, h.evc->getQueueSize(0));
}

TEST_F(EvaluatorControlRunTest, AnEvaluationOkWithoutObjectiveIsAFailure)
{
    showOutput(0);
    EvcHarness h(EvcOptions(), OBJ_ONLY, outputs({{1, "1"}, {2, "not-a-number"}, {3, "3"}}));
    ASSERT_TRUE(h.queueAll(line(3)));

    CerrCapture cerr;
    h.evc->run();
    // After the output reader's own warning, one line for the point.
    const std::string prefix = "\nWarning: EvaluatorControl: Point #2 ( 2 0 )\t";
    const std::string suffix = ": Eval ok but f not defined. Setting evalOk to false.\n";
    const size_t at = cerr.text().find(prefix);
    ASSERT_NE(std::string::npos, at) << cerr.text();
    EXPECT_EQ(cerr.text().size() - suffix.size(), cerr.text().find(suffix, at));

    EXPECT_EQ((std::vector<EvalStatusType>{EvalStatusType::EVAL_OK, EvalStatusType::EVAL_FAILED,
                                           EvalStatusType::EVAL_OK}),
              h.cachedStatuses(line(3)));
    EXPECT_EQ(1u, h.evc->getBbEvalNotOk());
    EXPECT_EQ(3u, h.evc->getBbEval());
    // The failed point is neither feasible nor a success.
    EXPECT_EQ(2u, h.evc->getFeasBBEval());
    EXPECT_EQ(1u, h.evc->getInfBBEval());
    const auto evaluated = h.evc->retrieveAllEvaluatedPoints(0);
    ASSERT_EQ(3u, evaluated.size());
    EXPECT_EQ(EvalStatusType::EVAL_FAILED, evaluated[1].getEvalStatus(EvalType::BB));
    EXPECT_EQ(1, evaluated[1].getNumberEval());
}

TEST_F(EvaluatorControlRunTest, AnEmptyQueueOrAStoppedQueueEvaluatesNothing)
{
    const struct
    {
        const char* label;
        size_t queued;
        bool stopFirst;
        bool clearEvalQueue;
        size_t leftQueued;
        Stop reason;
    } cases[] = {
        {"empty queue", 0, false, false, 0, Stop::ALL_POINTS_EVALUATED},
        {"stopped, points kept", 3, true, false, 3, Stop::STARTED},
        {"stopped, queue cleared", 3, true, true, 0, Stop::STARTED},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ProcessStateGuard guard;
        showOutput(0);
        EvcOptions options;
        options.clearEvalQueue = c.clearEvalQueue;
        EvcHarness h(options, OBJ_ONLY, QarnoTest::firstCoordinateObjective());
        ASSERT_TRUE(h.queueAll(line(c.queued)));
        if (c.stopFirst)
        {
            h.evc->stop();
            EXPECT_TRUE(h.evc->getDoneWithEvalQueue());
        }

        EXPECT_EQ(SuccessType::FAILURE, h.evc->run());
        EXPECT_TRUE(h.evaluator->blocks.empty());
        EXPECT_EQ(c.leftQueued, h.evc->getQueueSize(0));
        EXPECT_EQ(c.reason, h.evc->getStopReason(0).get());

        // After restart() the queue runs again.
        h.evc->restart();
        EXPECT_FALSE(h.evc->getDoneWithEvalQueue());
        h.evc->run();
        EXPECT_EQ(c.leftQueued, h.evaluator->evaluatedPoints().size());
    }
}

TEST_F(EvaluatorControlRunTest, StatusesBeforeAndAfterTheEvaluator)
{
    const struct
    {
        const char* label;
        EvalStatusType cachedStatus; // set after the point is queued
        EvalStatusType onArrival;
        EvalStatusType after;
        std::string cerr;
        std::string warning; // shown at the warning level
    } cases[] = {
        {"never evaluated", EvalStatusType::EVAL_STATUS_UNDEFINED, EvalStatusType::EVAL_IN_PROGRESS,
         EvalStatusType::EVAL_OK, "", ""},
        {"evaluated before", EvalStatusType::EVAL_ERROR, EvalStatusType::EVAL_IN_PROGRESS,
         EvalStatusType::EVAL_OK, "", "Warning: Point #1 ( 1 0 )\tEvaluation error\t Undefined f"},
        {"in progress elsewhere", EvalStatusType::EVAL_IN_PROGRESS, EvalStatusType::EVAL_WAIT,
         EvalStatusType::EVAL_NOT_STARTED,
         "Warning: QARNO::EvaluatorControl: updateEvalStatusBeforeEval: Evaluation of EvalPoint "
         "( 1 0 ) is already in progress\n",
         ""},
        {"waiting elsewhere", EvalStatusType::EVAL_WAIT, EvalStatusType::EVAL_WAIT,
         EvalStatusType::EVAL_NOT_STARTED,
         "Error: QARNO::EvaluatorControl: updateEvalStatusBeforeEval: Evaluation of EvalPoint ( 1 "
         "0 ) has status Waiting for evaluation in progress\n",
         ""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ProcessStateGuard guard;
        showOutput(2);
        EvcHarness h(EvcOptions(), OBJ_ONLY, QarnoTest::firstCoordinateObjective());
        h.evaluator->skipWaiting = true;
        ASSERT_TRUE(h.queueAll(line(1)));
        if (c.cachedStatus != EvalStatusType::EVAL_STATUS_UNDEFINED)
        {
            EvalPoint cached(Point(makeArray({1, 0})));
            cached.setEvalStatus(c.cachedStatus, EvalType::BB);
            ASSERT_TRUE(CacheBase::getInstance()->update(cached, EvalType::BB));
        }

        CerrCapture cerr;
        StreamCapture out(std::cout);
        h.evc->run();
        EXPECT_EQ(std::vector<EvalStatusType>{c.onArrival}, h.evaluator->statusesOnArrival);
        EXPECT_EQ(std::vector<EvalStatusType>{c.after}, h.cachedStatuses(line(1)));
        const auto evaluated = h.evc->retrieveAllEvaluatedPoints(0);
        ASSERT_EQ(1u, evaluated.size());
        EXPECT_EQ(c.after, evaluated[0].getEvalStatus(EvalType::BB));
        EXPECT_EQ(c.cerr, cerr.text());
        if (!c.warning.empty())
        {
            EXPECT_NE(std::string::npos, out.text().find(c.warning));
            EXPECT_NE(std::string::npos, out.text().find(" will be re-evaluated."));
        }
    }
}

TEST_F(EvaluatorControlRunTest, CountersFollowTheirOwnRules)
{
    struct Counters
    {
        size_t bbEval, notOk, feas, inf, totalSgte, block, idxSuccBlock, idxBestFeas, idxBestInfeas,
            sent, relSucc, phaseOne, lap, subproblem, sgte;
        bool operator==(const Counters& o) const
        {
            return std::vector<size_t>{bbEval,  notOk,        feas,        inf,           totalSgte,
                                       block,   idxSuccBlock, idxBestFeas, idxBestInfeas, sent,
                                       relSucc, phaseOne,     lap,         subproblem,    sgte} ==
                   std::vector<size_t>{o.bbEval,        o.notOk,      o.feas,         o.inf,
                                       o.totalSgte,     o.block,      o.idxSuccBlock, o.idxBestFeas,
                                       o.idxBestInfeas, o.sent,       o.relSucc,      o.phaseOne,
                                       o.lap,           o.subproblem, o.sgte};
        }
    };
    const auto snapshot = [](const EvaluatorControl& evc)
    {
        return Counters{evc.getBbEval(),
                        evc.getBbEvalNotOk(),
                        evc.getFeasBBEval(),
                        evc.getInfBBEval(),
                        evc.getTotalSgteEval(),
                        evc.getBlockEval(),
                        evc.getIndexSuccBlockEval(),
                        evc.getIndexBestFeasEval(),
                        evc.getIndexBestInfeasEval(),
                        evc.getNbEval(),
                        evc.getNbRelativeSuccess(),
                        evc.getNbPhaseOneSuccess(),
                        evc.getLapBbEval(0),
                        evc.getBbEvalInSubproblem(0),
                        evc.getSgteEval(0)};
    };

    showOutput(0);
    EvcOptions options;
    options.bbMaxBlockSize = 3;
    // Without a barrier every evaluated point is a success against nothing;
    // only the first becomes the best incumbent.
    EvcHarness h(options, OBJ_PB,
                 outputs({{1, "1 0"}, {2, "2 3"}, {3, "3 0"}, {4, "4 0"}, {5, "0 0"}}));
    h.evaluator->countEval = [](const EvalPoint& p) { return p[0].todouble() != 2; };
    h.evaluator->evalOk = [](const EvalPoint& p) { return p[0].todouble() != 3; };

    // A blackbox block: (1) feasible, (2) infeasible, not counted, found in
    // phase one, (3) failed.
    for (const auto& coords : line(3))
    {
        auto point = QarnoTest::makeQueuePoint(coords);
        point->setInPhaseOne(coords[0] == 2);
        ASSERT_TRUE(QarnoTest::queuePoint(*h.evc, point));
    }
    h.evc->run();
    EXPECT_TRUE((Counters{2, 1, 1, 2, 0, 1, 1, 2, 2, 3, 1, 1, 3, 3, 0} == snapshot(*h.evc)));

    // A second block, (4) worse than the best incumbent and (5) better.
    ASSERT_TRUE(h.queueAll({{4, 0}, {5, 0}}));
    h.evc->run();
    EXPECT_TRUE((Counters{4, 1, 3, 2, 0, 2, 2, 4, 4, 5, 2, 1, 5, 5, 0} == snapshot(*h.evc)));

    // A surrogate block of four: only the surrogate counts move.
    auto sgte = std::make_shared<FunctionEvaluator>(
        OBJ_PB, [](const EvalPoint&) { return "1 0"; }, EvalType::SGTE);
    h.evc->setEvaluator(sgte);
    ASSERT_TRUE(h.queueAll({{6, 0}, {7, 0}, {8, 0}, {9, 0}}));
    h.evc->run();
    EXPECT_EQ(std::vector<size_t>{4}, sgte->blockSizes());
    EXPECT_TRUE((Counters{4, 1, 3, 2, 4, 2, 2, 4, 4, 5, 2, 1, 5, 5, 4} == snapshot(*h.evc)));

    // Cache hits count in getNbEval only.
    CacheBase::_nbCacheHits.store(2);
    EXPECT_EQ(7u, h.evc->getNbEval());
    h.evc->setNbEval(9);
    EXPECT_EQ(9u, h.evc->getNbEval());
    CerrCapture cerr;
    h.evc->setNbEval(1);
    EXPECT_EQ("Warning: trying to set EvaluatorControl NbEval to negative value: 1 - 2\n",
              cerr.text());
    EXPECT_EQ(9u, h.evc->getNbEval());
}

TEST_F(EvaluatorControlRunTest, AnEvaluatorExceptionLeavesACleanQueueAndTheNextRunWorks)
{
    const struct
    {
        const char* label;
        std::function<void()> raise;
        std::string message;
    } cases[] = {
        {"standard exception", [] { throw std::runtime_error("boom"); },
         "EvaluatorControl: Eval Block of Points: eval_x returned an exception: boom"},
        {"library exception", [] { throw Exception("tests/thrower", 7, "boom"); },
         "EvaluatorControl: Eval Block of Points: eval_x returned an exception: QARNO::Exception "
         "thrown (tests/thrower, 7) boom"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ProcessStateGuard guard;
        showOutput(0);
        EvcOptions options;
        options.bbMaxBlockSize = 2;
        EvcHarness h(options, OBJ_ONLY, QarnoTest::firstCoordinateObjective());
        h.evaluator->beforeBlock = [&](const std::vector<std::shared_ptr<EvalPoint>>&)
        { c.raise(); };
        ASSERT_TRUE(h.queueAll(line(3)));

        EXPECT_EQ(c.message, messageOf([&] { h.evc->run(); }));
        // The block's points failed, in the cache as well; nothing is left
        // running or counted.
        EXPECT_EQ(
            (std::vector<EvalStatusType>{EvalStatusType::EVAL_ERROR, EvalStatusType::EVAL_ERROR,
                                         EvalStatusType::EVAL_STATUS_UNDEFINED}),
            h.cachedStatuses(line(3)));
        EXPECT_EQ(0u, h.evc->getMainThreadInfo(0).getCurrentlyRunning());
        EXPECT_EQ(1u, h.evc->getQueueSize(0));
        EXPECT_EQ(0u, h.evc->getBbEval() + h.evc->getNbEval() + h.evc->getBlockEval() +
                          h.evc->getLapBbEval(0));
        EXPECT_TRUE(h.evc->retrieveAllEvaluatedPoints(0).empty());

        // The same queue goes on with a working evaluator.
        auto working =
            std::make_shared<FunctionEvaluator>(OBJ_ONLY, QarnoTest::firstCoordinateObjective());
        h.evc->setEvaluator(working);
        h.evc->run();
        EXPECT_EQ((std::vector<Coords>{{3, 0}}), working->evaluatedPoints());

        // The next optimisation, with a new queue on the same cache,
        // evaluates the failed points again.
        EvcHarness next(options, OBJ_ONLY, QarnoTest::firstCoordinateObjective());
        {
            CerrCapture quiet; // the cache warns of a new evaluation of a cached point
            EXPECT_TRUE(next.queueAll(line(2)));
        }
        next.evc->run();
        EXPECT_EQ(line(2), next.evaluator->evaluatedPoints());
        EXPECT_EQ((std::vector<EvalStatusType>{EvalStatusType::EVAL_OK, EvalStatusType::EVAL_OK,
                                               EvalStatusType::EVAL_OK}),
                  h.cachedStatuses(line(3)));
    }
}

/// Evaluates nothing and answers for no point.
class SilentEvaluator : public Evaluator
{
public:
    SilentEvaluator() : Evaluator(QarnoTest::makeEvalParameters(OBJ_ONLY)) {}
    std::vector<bool> eval_block(std::vector<std::shared_ptr<EvalPoint>>&, const Double&,
                                 std::vector<bool>&) const override
    {
        return {};
    }
};

TEST_F(EvaluatorControlRunTest, PointsAnEvaluatorDidNotAnswerForFail)
{
    showOutput(0);
    EvcOptions options;
    options.bbMaxBlockSize = 2;
    EvcHarness h(options, OBJ_ONLY, QarnoTest::firstCoordinateObjective());
    ASSERT_TRUE(h.queueAll(line(2)));
    h.evc->setEvaluator(std::make_shared<SilentEvaluator>());

    EXPECT_EQ(SuccessType::FAILURE, h.evc->run());
    EXPECT_EQ(
        (std::vector<EvalStatusType>{EvalStatusType::EVAL_FAILED, EvalStatusType::EVAL_FAILED}),
        h.cachedStatuses(line(2)));
    EXPECT_EQ(2u, h.evc->getBbEvalNotOk());
    EXPECT_EQ(0u, h.evc->getBbEval());
    EXPECT_EQ(2u, h.evc->getNbEval());
}

TEST_F(EvaluatorControlRunTest, AThreadWithoutEvaluatorFailsCleanly)
{
    showOutput(0);
    EvcHarness h(EvcOptions(), OBJ_ONLY, QarnoTest::firstCoordinateObjective());
    ASSERT_TRUE(h.queueAll(line(2)));
    h.evc->setEvaluator(nullptr);

    CerrCapture cerr;
    EXPECT_EQ("EvaluatorControl: Eval Block: main thread 0 has no evaluator",
              messageOf([&] { h.evc->run(); }));
    EXPECT_EQ("EvaluatorControl::popBlock: Unknown eval type UNDEFINED\n", cerr.text());
    EXPECT_EQ(0u, h.evc->getMainThreadInfo(0).getCurrentlyRunning());
    EXPECT_EQ(1u, h.evc->getQueueSize(0));
}

TEST_F(EvaluatorControlRunTest, ASinglePointIsEvaluatedOutsideTheQueue)
{
    showOutput(0);
    EvcHarness h(EvcOptions(), OBJ_ONLY, QarnoTest::firstCoordinateObjective());
    EvalPoint point(Point(makeArray({4, 2})));
    ASSERT_TRUE(CacheBase::getInstance()->smartInsert(point));

    EXPECT_TRUE(h.evc->evalSinglePoint(point, 0, Double(INF)));
    EXPECT_EQ(EvalStatusType::EVAL_OK, point.getEvalStatus(EvalType::BB));
    EXPECT_DOUBLE_EQ(4.0, point.getF(EvalType::BB).todouble());
    EXPECT_EQ(1, point.getNumberEval());
    EXPECT_EQ((std::vector<EvalStatusType>{EvalStatusType::EVAL_OK}), h.cachedStatuses({{4, 2}}));
    EXPECT_EQ(1u, h.evc->getBbEval());
    EXPECT_EQ(1u, h.evc->getBlockEval());
    EXPECT_FALSE(h.evc->remainsEvaluatedPoints(0));
    EXPECT_EQ(SuccessType::FAILURE, h.evc->getSuccessType(0));
    EXPECT_EQ(nullptr, h.evc->getBestIncumbent(0));
}

TEST_F(EvaluatorControlRunTest, StatisticsAndHistoryRecordsTwiceInOneProcess)
{
    TempDir dir;
    std::vector<std::string> firstRound;
    for (int round = 0; round < 2; ++round)
    {
        SCOPED_TRACE(round);
        ProcessStateGuard guard;
        const std::string stats = dir.file("stats.txt");
        const std::string history = dir.file("history.txt");
        const std::string solution = dir.file("solution.txt");
        {
            StreamCapture quiet(std::cout);
            const auto display = QarnoTest::makeDisplayParameters(
                2, 0, stats + " BBE BLK_EVA BLK_SIZE EVAL CACHE_HITS OBJ", history, solution);
            OutputQueue::getInstance()->initParameters(display);
            OutputDirectToFile::getInstance()->init(display);
        }
        EvcOptions options;
        options.bbMaxBlockSize = 2;
        EvcHarness h(options, OBJ_PB,
                     outputs({{5, "5 0"}, {20, "20 0"}, {3, "3 0"}, {30, "30 0"}}));
        h.evc->setBarrier(referenceBarrier());
        CacheBase::getInstance()->insert(makeBBPoint({7, 7}, "7 0", OBJ_PB));
        EXPECT_FALSE(QarnoTest::queuePoint(*h.evc, {7, 7})); // one cache hit
        ASSERT_TRUE(h.queueAll({{5, 0}, {20, 0}, {3, 0}, {30, 0}}));

        h.evc->run();
        OutputQueue::getInstance()->reset();
        OutputDirectToFile::resetInstance();

        // Every line of a block shows the counters after the whole block.
        const std::vector<std::string> statsLines = wordLines(QarnoTest::readTextFile(stats));
        EXPECT_EQ((std::vector<std::string>{"2 1 2 2 1 5", "2 1 2 2 1 20", "4 2 2 4 1 3",
                                            "4 2 2 4 1 30"}),
                  statsLines);
        // History: every blackbox point; solution: the last feasible full
        // success.
        EXPECT_EQ((std::vector<std::string>{"5 0 5 0", "20 0 20 0", "3 0 3 0", "30 0 30 0"}),
                  wordLines(QarnoTest::readTextFile(history)));
        EXPECT_EQ(std::vector<std::string>{"3 0 3 0"},
                  wordLines(QarnoTest::readTextFile(solution)));

        if (round == 0)
        {
            firstRound = statsLines;
        }
        else
        {
            EXPECT_EQ(firstRound, statsLines);
        }
    }
}

} // namespace
