#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iostream>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "Algos/EvcInterface.hpp"
#include "Algos/Mads/GMesh.hpp"
#include "Algos/Mads/Poll.hpp"
#include "Algos/Mads/PollMethodBase.hpp"
#include "Eval/Barrier.hpp"
#include "Math/RNG.hpp"
#include "Output/OutputQueue.hpp"
#include "support/EvcSupport.hpp"
#include "support/PollSupport.hpp"
#include "support/StepTree.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using namespace QarnoTest;

namespace
{

using Coords = std::vector<std::vector<double>>;

/// The lines of `text` that contain `part`.
std::vector<std::string> linesWith(const std::string& text, const std::string& part)
{
    std::vector<std::string> found;
    for (const auto& line : linesOf(text))
    {
        if (line.find(part) != std::string::npos)
        {
            found.push_back(line);
        }
    }
    return found;
}

/// An evaluation queue on the test evaluator, installed for the steps while
/// the harness lives, and the display degree of the output.
QarnoTest::HarnessOptions pollHarness(size_t n, int displayDegree, const BBOutputTypeList& outputs,
                                      QarnoTest::FunctionEvaluator::Output output)
{
    QarnoTest::HarnessOptions options = QarnoTest::installedHarness(outputs, std::move(output));
    options.dimension = n;
    options.displayDegree = displayDegree;
    return options;
}

/// start, run and end of a poll; the answer of run.
bool runPoll(Poll& poll)
{
    poll.start();
    const bool fullSuccess = poll.run();
    poll.end();
    return fullSuccess;
}

const std::string MODE_ERROR =
    " should only be called if  parameter GENERATE_ALL_POINTS_BEFORE_EVAL is ";

} // namespace

TEST(Poll, EachOperationChecksItsMode)
{
    ProcessStateGuard guard;
    struct Case
    {
        const char* label;
        bool generateAll;
        std::function<void(Poll&)> op;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"start", true, [](Poll& p) { p.start(); },
         "Error: virtual void QARNO_4_0_0::Poll::startImp()" + MODE_ERROR + "false"},
        {"run", true, [](Poll& p) { p.run(); },
         "Error: virtual bool QARNO_4_0_0::Poll::runImp()" + MODE_ERROR + "false"},
        {"end", true, [](Poll& p) { p.end(); },
         "Error: virtual void QARNO_4_0_0::Poll::endImp()" + MODE_ERROR + "false"},
        {"generateTrialPoints", false, [](Poll& p) { p.generateTrialPoints(); },
         "Error: virtual void QARNO_4_0_0::Poll::generateTrialPoints()" + MODE_ERROR + "true"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        StreamCapture out(std::cout);
        OutputQueue::getInstance()->initParameters(QarnoTest::makeDisplayParameters(2, 3, ""));
        PollProblem problem;
        problem.generateAllPointsBeforeEval = c.generateAll;
        StepTree tree(pollTree(problem, {1, 1}, {0.5, 0.5}, {1, 1}));
        Poll poll(&tree.iteration);
        RNG::reset();
        EXPECT_EQ(c.message, messageOf([&] { c.op(poll); }));
        // Nothing drawn, nothing generated.
        EXPECT_EQ(RNG::x_def, RNG::_x);
        EXPECT_EQ(0u, poll.getPollMethod()->getTrialPointsCount());
        EXPECT_EQ(0u, poll.getTrialPointsCount());
        OutputQueue::getInstance()->flush();
        // The start message comes before the check of startImp.
        EXPECT_EQ(std::string("start") == c.label ? 1u : 0u,
                  linesWith(out.text(), "Start step Poll").size())
            << out.text();
    }
}

TEST(Poll, FullSuccessIsReportedAndMergedIntoTheBarrier)
{
    ProcessStateGuard guard;
    StreamCapture out(std::cout);
    QarnoTest::EvcHarness evaluation(
        pollHarness(2, 3, {BBOutputType::OBJ}, QarnoTest::firstCoordinateObjective()));
    StepTree tree(pollTree(PollProblem(), {1, 1}, {0.5, 0.5}, {1, 1}));
    Poll poll(&tree.iteration);
    EXPECT_EQ(SuccessType::NOT_EVALUATED, poll.getSuccessType());

    EXPECT_TRUE(runPoll(poll));
    EXPECT_EQ(SuccessType::FULL_SUCCESS, poll.getSuccessType());
    EXPECT_EQ(SuccessType::FULL_SUCCESS, poll.getPollMethod()->getSuccessType());
    // The four points of Ortho 2N, each evaluated once.
    EXPECT_EQ(4u, evaluation.evaluator->evaluatedPoints().size());
    const auto best = tree.mega.getBarrier()->getFirstXFeas();
    ASSERT_NE(nullptr, best);
    EXPECT_LT(best->getF(EvalType::BB).todouble(), 1.0);

    OutputQueue::getInstance()->flush();
    const std::string expected = "Ortho 2N Poll Method is successful. Stop reason: " +
                                 tree.algo.getAllStopReasons()->getStopReasonAsString();
    EXPECT_EQ(1u, linesWith(out.text(), expected).size()) << out.text();
    EXPECT_TRUE(linesWith(out.text(), "Poll method ").empty());
}

TEST(Poll, DebugDegreeNamesTheMethod)
{
    ProcessStateGuard guard;
    for (const int degree : {3, 4})
    {
        SCOPED_TRACE(degree);
        StreamCapture out(std::cout);
        QarnoTest::EvcHarness evaluation(
            pollHarness(2, degree, {BBOutputType::OBJ}, QarnoTest::firstCoordinateObjective()));
        PollProblem problem;
        problem.directionType = DirectionType::NP1_UNI;
        StepTree tree(pollTree(problem, {1, 1}, {0.5, 0.5}, {1, 1}));
        {
            Poll poll(&tree.iteration);
            runPoll(poll);
        }
        OutputQueue::getInstance()->flush();
        EXPECT_EQ(4 == degree ? 1u : 0u,
                  linesWith(out.text(), "Poll method N+1 Uniform Poll Method is enabled").size())
            << out.text();
        EXPECT_EQ(4 == degree ? 3u : 0u,
                  linesWith(out.text(), "Scaled and mesh projected poll direction: ").size());
    }
}

TEST(Poll, PartialSuccessIsNotASuccessOfThePoll)
{
    ProcessStateGuard guard;
    StreamCapture out(std::cout);
    // Every trial point is worse in f than the infeasible centre (f 0, h 1)
    // but less infeasible (h 0.25).
    QarnoTest::EvcHarness evaluation(pollHarness(
        2, 3, {BBOutputType::OBJ, BBOutputType::PB},
        [](const EvalPoint& x) { return std::to_string(10.0 + x[0].todouble()) + " 0.5"; }));
    StepTree tree(pollTree(PollProblem(), {1, 1}, {0.5, 0.5}, {1, 1}, 0.0, 1.0));
    ASSERT_NE(nullptr, tree.mega.getBarrier()->getFirstXInf());
    // The centre is the reference the new points are measured against.
    tree.mega.getBarrier()->updateRefBests();
    Poll poll(&tree.iteration);

    EXPECT_FALSE(runPoll(poll));
    EXPECT_EQ(SuccessType::PARTIAL_SUCCESS, poll.getSuccessType());
    OutputQueue::getInstance()->flush();
    EXPECT_EQ(1u,
              linesWith(out.text(), "Ortho 2N Poll Method is not successful. Stop reason: ").size())
        << out.text();
    // The barrier's hMax came down to the new points.
    EXPECT_LT(tree.mega.getBarrier()->getHMax().todouble(), 1.0);
}

TEST(Poll, NoCandidateLeftStopsTheAlgorithm)
{
    ProcessStateGuard guard;
    StreamCapture out(std::cout);
    QarnoTest::EvcHarness evaluation(
        pollHarness(2, 3, {BBOutputType::OBJ}, QarnoTest::firstCoordinateObjective()));
    PollProblem problem;
    problem.lowerBound = {1, 1};
    problem.upperBound = {1.2, 1.1};
    StepTree tree(pollTree(problem, {1, 1}, {0.5, 0.25}, {1, 2}));
    Poll poll(&tree.iteration);

    EXPECT_FALSE(runPoll(poll));
    EXPECT_TRUE(evaluation.evaluator->blocks.empty());
    EXPECT_EQ(SuccessType::NOT_EVALUATED, poll.getSuccessType());
    EXPECT_TRUE(tree.algo.getAllStopReasons()->checkTerminate());
    EXPECT_EQ(MadsStopType::MESH_PREC_REACHED,
              QarnoTest::madsStopReasons(tree.algo)->_algoStopReason.get());
    OutputQueue::getInstance()->flush();
    const auto report =
        linesWith(out.text(), "Ortho 2N Poll Method is not successful. Stop reason: ");
    ASSERT_EQ(1u, report.size()) << out.text();
    EXPECT_NE(std::string::npos, report[0].find("Mesh minimum precision reached")) << report[0];
}

TEST(Poll, CachedPointsAreNotEvaluatedAgain)
{
    ProcessStateGuard guard;
    QarnoTest::EvcHarness evaluation(
        pollHarness(2, 3, {BBOutputType::OBJ}, QarnoTest::firstCoordinateObjective()));
    StepTree tree(pollTree(PollProblem(), {1, 1}, {0.5, 0.5}, {1, 1}));
    std::vector<std::string> firstPoints;
    for (const bool second : {false, true})
    {
        SCOPED_TRACE(second ? "second poll" : "first poll");
        StreamCapture out(std::cout);
        // The same generator state gives the same points.
        RNG::reset();
        {
            Poll poll(&tree.iteration);
            EXPECT_EQ(!second, runPoll(poll));
            EXPECT_EQ(second ? SuccessType::NOT_EVALUATED : SuccessType::FULL_SUCCESS,
                      poll.getSuccessType());
        }
        EXPECT_EQ(4u, evaluation.evaluator->evaluatedPoints().size());
        OutputQueue::getInstance()->flush();
        const auto points = linesWith(out.text(), "Generated point: ");
        EXPECT_EQ(4u, points.size()) << out.text();
        if (second)
        {
            EXPECT_EQ(firstPoints, points);
        }
        firstPoints = points;
    }
}

TEST(Poll, GatherModeCollectsThePointsWithoutEvaluating)
{
    ProcessStateGuard guard;
    struct Case
    {
        const char* label;
        std::vector<double> lb, ub;
        size_t count;
    };
    const std::vector<Case> cases = {
        {"free", {}, {}, 2},
        {"boxed in", {1, 1}, {1.2, 1.1}, 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        StreamCapture out(std::cout);
        QarnoTest::EvcHarness evaluation(
            pollHarness(2, 3, {BBOutputType::OBJ}, QarnoTest::firstCoordinateObjective()));
        PollProblem problem;
        problem.generateAllPointsBeforeEval = true;
        problem.directionType = DirectionType::DOUBLE;
        problem.lowerBound = c.lb;
        problem.upperBound = c.ub;
        StepTree tree(pollTree(problem, {1, 1}, {0.5, 0.25}, {1, 2}));
        Poll poll(&tree.iteration);
        poll.generateTrialPoints();

        EXPECT_EQ(c.count, poll.getTrialPointsCount());
        EXPECT_EQ(QarnoTest::coordinatesOf(poll.getPollMethod()->getTrialPoints()),
                  QarnoTest::coordinatesOf(poll.getTrialPoints()));
        for (const auto& point : poll.getTrialPoints())
        {
            EXPECT_NE(nullptr, point.getPointFrom());
        }
        EXPECT_TRUE(evaluation.evaluator->blocks.empty());
        // An empty gather sets no stop reason.
        EXPECT_FALSE(tree.algo.getAllStopReasons()->checkTerminate());
        OutputQueue::getInstance()->flush();
        EXPECT_EQ(2u, linesWith(out.text(), "Generate points for Poll").size()) << out.text();
        // Once by the method, once by the Poll.
        EXPECT_EQ(2u,
                  linesWith(out.text(), "Generated " + std::to_string(c.count) + " points").size())
            << out.text();
    }
}

TEST(Poll, TrialPointsOnTheGranularMesh)
{
    ProcessStateGuard guard;
    StreamCapture quiet(std::cout);
    PollProblem problem;
    problem.n = 3;
    problem.lowerBound = {-10, -10, -10};
    problem.upperBound = {10, 10, 10};
    problem.directionType = DirectionType::NP1_UNI;
    StepTree tree(pollTree(problem, {1, 1, 1}, {1, 1, 1}, {1, 1, 1}));
    auto mesh = std::make_shared<GMesh>(tree.pbParams);
    mesh->refineDeltaFrameSize();
    mesh->refineDeltaFrameSize();
    QarnoTest::TestIteration iteration(&tree.mega, 2, mesh, tree.frameCenter);

    for (const auto& type : {DirectionType::ORTHO_2N, DirectionType::NP1_UNI, DirectionType::SINGLE,
                             DirectionType::DOUBLE})
    {
        SCOPED_TRACE(directionTypeToString(type));
        tree.pbParams->setSpValueDefault<DirectionType>("DIRECTION_TYPE", type);
        RNG::reset();
        Poll poll(&iteration);
        std::list<Direction> dirs;
        poll.getPollMethod()->generateUnitPollDirections(dirs, 3);
        // The points are those the mesh's own direction scaling gives.
        Coords expected;
        for (const auto& d : dirs)
        {
            const ArrayOfDouble step = mesh->scaleAndProjectOnMesh(d);
            expected.push_back(
                {1 + step[0].todouble(), 1 + step[1].todouble(), 1 + step[2].todouble()});
        }
        std::sort(expected.begin(), expected.end());
        expected.erase(std::unique(expected.begin(), expected.end()), expected.end());

        RNG::reset();
        poll.getPollMethod()->generateTrialPoints();
        const Coords got = QarnoTest::coordinatesOf(poll.getPollMethod()->getTrialPoints());
        ASSERT_EQ(expected.size(), got.size());
        for (size_t k = 0; k < got.size(); ++k)
        {
            for (size_t i = 0; i < 3; ++i)
            {
                EXPECT_NEAR(expected[k][i], got[k][i], 1e-12);
            }
            EXPECT_TRUE(mesh->verifyPointIsOnMesh(Point(makeArray(got[k])), *tree.frameCenter));
        }
    }
}
