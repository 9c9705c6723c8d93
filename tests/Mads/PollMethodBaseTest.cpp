#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "Algos/Mads/Ortho2NPollMethod.hpp"
#include "Math/Direction.hpp"
#include "Math/RNG.hpp"
#include "Output/OutputQueue.hpp"
#include "Type/ListOfVariableGroup.hpp"
#include "support/EvcSupport.hpp"
#include "support/PollSupport.hpp"
#include "support/StepTree.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using namespace QarnoTest;

namespace
{

using Coords = std::vector<std::vector<double>>;

void showOutputAtDegree(size_t n, int degree)
{
    OutputQueue::getInstance()->initParameters(QarnoTest::makeDisplayParameters(n, degree, ""));
}

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

Coords sorted(Coords c)
{
    std::sort(c.begin(), c.end());
    return c;
}

} // namespace

TEST(PollMethodBase, DirectionsAreScaledToTheFrameAndProjectedOnTheMesh)
{
    ProcessStateGuard guard;
    StreamCapture quiet(std::cout);
    struct Case
    {
        const char* label;
        std::vector<double> meshSize, frameSize;
        Coords directions, expected;
    };
    const std::vector<Case> cases = {
        {"unit mesh, rho 5", {1, 1}, {5, 5}, {{2, -1}}, {{5, -3}}},
        {"fine mesh, rho 50",
         {0.01, 0.01},
         {0.5, 0.5},
         {{1, -0.333}, {-3, 0.003}},
         {{0.5, -0.17}, {-0.5, 0}}},
        {"anisotropic", {0.5, 0.25}, {1, 2}, {{-0.5, 1}, {0.25, 0.1}}, {{-0.5, 2}, {1, 0.75}}},
        // The norm is tolerant: a coordinate within epsilon of the greatest
        // and after it becomes the norm, which moves 2.5 x (1 - 5e-14) up to 3.
        {"near tie after the greatest", {1, 1}, {2.5, 2.5}, {{1, 1 - 5e-14}}, {{3, 3}}},
        {"near tie before the greatest", {1, 1}, {2.5, 2.5}, {{1 - 5e-14, -1}}, {{2, -3}}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        StepTree tree(pollTree(PollProblem(), {0, 0}, c.meshSize, c.frameSize));
        FixedDirectionsPollMethod method(&tree.iteration, {});
        std::list<Direction> dirs;
        for (const auto& d : c.directions)
        {
            dirs.emplace_back(makeArray(d));
        }
        method.scaleAndProjectOnMesh(dirs);
        const auto got = coordinatesOf(dirs);
        ASSERT_EQ(c.expected.size(), got.size());
        for (size_t k = 0; k < got.size(); ++k)
        {
            for (size_t i = 0; i < 2; ++i)
            {
                EXPECT_NEAR(c.expected[k][i], got[k][i], 1e-12) << k << "," << i;
                // The same value as the mesh's own coordinate scaling.
                const Double l = Double(c.directions[k][i]) /
                                 Direction(makeArray(c.directions[k])).infiniteNorm();
                EXPECT_EQ(tree.mesh->scaleAndProjectOnMesh(i, l).todouble(), got[k][i]);
            }
        }
    }
}

TEST(PollMethodBase, ScalingFailures)
{
    ProcessStateGuard guard;
    StreamCapture quiet(std::cout);
    StepTree tree(pollTree(PollProblem(), {0, 0}, {1, 1}, {2, 2}));
    FixedDirectionsPollMethod method(&tree.iteration, {});
    std::list<Direction> dirs = {Direction(makeArray({1, 1})), Direction(makeArray({0, 0}))};
    EXPECT_EQ("Cannot handle an infinite norm of zero",
              messageOf([&] { method.scaleAndProjectOnMesh(dirs); }));

    QarnoTest::TestIteration noMesh(&tree.mega, 2);
    FixedDirectionsPollMethod orphan(&noMesh, {{1, 0}});
    std::string file;
    EXPECT_EQ("Iteration or Mesh not found.",
              messageOf([&] { orphan.scaleAndProjectOnMesh(dirs); }, &file));
    EXPECT_EQ("src/Algos/Mads/PollMethodBase", file);

    // A mesh of another dimension is refused before any coordinate is read.
    PollProblem bigger;
    bigger.n = 3;
    auto wrongMesh = std::make_shared<QarnoTest::PollMesh>(QarnoTest::makePollPbParams(bigger));
    QarnoTest::TestIteration mismatch(&tree.mega, 3, wrongMesh, tree.frameCenter);
    FixedDirectionsPollMethod method3(&mismatch, {{1, 0}});
    std::list<Direction> one = {Direction(makeArray({1, 0}))};
    EXPECT_EQ("Mesh of dimension 3 for a problem of dimension 2",
              messageOf([&] { method3.scaleAndProjectOnMesh(one); }));
}

TEST(PollMethodBase, TrialPointsAroundTheFrameCenter)
{
    ProcessStateGuard guard;
    StreamCapture out(std::cout);
    showOutputAtDegree(2, 3);
    StepTree tree(pollTree(PollProblem(), {1, 1}, {0.5, 0.25}, {1, 2}));
    // (1, 0.05) lands on the same point as (1, 0); (0, 1) and (-1, -1) on
    // points of their own.
    FixedDirectionsPollMethod method(&tree.iteration, {{1, 0}, {0, 1}, {1, 0.05}, {-1, -1}});
    method.start();
    EXPECT_EQ(sorted({{2, 1}, {1, 3}, {0, -1}}),
              sorted(QarnoTest::coordinatesOf(method.getTrialPoints())));
    for (const auto& point : method.getTrialPoints())
    {
        ASSERT_NE(nullptr, point.getPointFrom());
        EXPECT_EQ(static_cast<const ArrayOfDouble&>(*tree.frameCenter),
                  static_cast<const ArrayOfDouble&>(*point.getPointFrom()));
    }
    EXPECT_EQ(std::vector<size_t>{2}, method.requestedDimensions);
    OutputQueue::getInstance()->flush();
    const std::string text = out.text();
    const auto generated = linesWith(text, "Generated point");
    ASSERT_EQ(4u, generated.size()) << text;
    EXPECT_NE(std::string::npos, generated[0].find("Generated point: ( 2 1 )")) << generated[0];
    EXPECT_NE(std::string::npos, generated[2].find("Generated point not inserted: ( 2 1 )"))
        << generated[2];
    EXPECT_EQ(1u, linesWith(text, "Generated 3 points").size()) << text;
    EXPECT_EQ(2u, linesWith(text, "Generate points for Fixed Poll Method").size()) << text;
}

TEST(PollMethodBase, QuietAndShownGenerationsGiveTheSameTrialPoints)
{
    // Shown, each point is inserted as it is made; quiet, the points are
    // ordered first and inserted after the last one. Equal points, points
    // leaving the centre at the same coordinate on either side, and points
    // leaving it at different coordinates must give the same set.
    ProcessStateGuard guard;
    const std::vector<std::pair<const char*, Coords>> cases = {
        {"equal points", {{1, 0}, {0, 1}, {1, 0.05}, {1, 0}, {-1, -1}}},
        {"either side of one coordinate", {{0, 1}, {0, -1}, {0, 0.4}, {0, -0.4}}},
        {"first apart at each coordinate", {{0, -1}, {-1, 1}, {0, 1}, {1, -1}, {1, 1}, {-1, 0}}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.first);
        std::vector<Coords> got;
        for (const int degree : {3, 2})
        {
            StreamCapture quiet(std::cout);
            showOutputAtDegree(2, degree);
            StepTree tree(pollTree(PollProblem(), {1, 1}, {0.5, 0.25}, {1, 2}));
            FixedDirectionsPollMethod method(&tree.iteration, c.second);
            method.start();
            got.push_back(QarnoTest::coordinatesOf(method.getTrialPoints()));
            for (const auto& point : method.getTrialPoints())
            {
                EXPECT_NE(nullptr, point.getPointFrom());
            }
        }
        EXPECT_FALSE(got[0].empty());
        EXPECT_EQ(got[0], got[1]);
    }
}

TEST(PollMethodBase, QuietOrtho2NPollsMakeTheirDirectionsOneByOne)
{
    // Quiet, the Householder rows are made as they are used; shown, they
    // are all made first. Same draws, same points, in dimensions where the
    // frame is coarse (few coordinates leave the centre) and fine.
    ProcessStateGuard guard;
    struct Case
    {
        const char* label;
        size_t n;
        double meshSize, frameSize;
        std::vector<double> lb, ub;
    };
    const std::vector<Case> cases = {
        {"coarse, n = 7", 7, 1, 1, {}, {}},
        {"fine, n = 7", 7, 0.001, 0.5, {}, {}},
        {"fine, n = 12, bounded", 12, 0.01, 1, std::vector<double>(12, 0.5),
         std::vector<double>(12, 2)},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        std::vector<Coords> got;
        std::vector<uint32_t> rngAfter;
        for (const int degree : {3, 2})
        {
            StreamCapture quiet(std::cout);
            showOutputAtDegree(c.n, degree);
            PollProblem problem;
            problem.n = c.n;
            problem.lowerBound = c.lb;
            problem.upperBound = c.ub;
            StepTree tree(pollTree(problem, std::vector<double>(c.n, 1),
                                   std::vector<double>(c.n, c.meshSize),
                                   std::vector<double>(c.n, c.frameSize)));
            Ortho2NPollMethod method(&tree.iteration);
            RNG::reset();
            method.generateTrialPoints();
            got.push_back(QarnoTest::coordinatesOf(method.getTrialPoints()));
            rngAfter.push_back(RNG::_x ^ RNG::_y ^ RNG::_z);
        }
        EXPECT_FALSE(got[0].empty());
        EXPECT_EQ(got[0], got[1]);
        EXPECT_EQ(rngAfter[0], rngAfter[1]);
    }
}

TEST(PollMethodBase, BoundsSnapOrDropCandidates)
{
    ProcessStateGuard guard;
    struct Case
    {
        const char* label;
        std::vector<double> lb, ub;
        Coords expected;
        size_t messages;
    };
    // From the centre (1, 1): (1, 0) gives (2, 1), (-1, 0) gives (0, 1),
    // (0, 1) gives (1, 3).
    const std::vector<Case> cases = {
        {"no bounds", {}, {}, {{0, 1}, {1, 3}, {2, 1}}, 3},
        // On the upper bound: the move up falls back onto the centre.
        {"centre on upper bound", {-10, -10}, {1, 10}, {{0, 1}, {1, 3}}, 2},
        // Snapped back onto the lower bound, which lies on the mesh.
        {"lower bound inside the frame", {0.5, -10}, {10, 10}, {{0.5, 1}, {1, 3}, {2, 1}}, 3},
        // No mesh point of the box but the centre.
        {"boxed in", {1, 1}, {1.2, 1.1}, {}, 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        StreamCapture out(std::cout);
        showOutputAtDegree(2, 3);
        PollProblem problem;
        problem.lowerBound = c.lb;
        problem.upperBound = c.ub;
        StepTree tree(pollTree(problem, {1, 1}, {0.5, 0.25}, {1, 2}));
        FixedDirectionsPollMethod method(&tree.iteration, {{1, 0}, {-1, 0}, {0, 1}});
        method.start();
        EXPECT_EQ(c.expected, QarnoTest::coordinatesOf(method.getTrialPoints()));
        OutputQueue::getInstance()->flush();
        EXPECT_EQ(c.messages, linesWith(out.text(), "Generated point").size()) << out.text();
        const std::string reason = tree.algo.getAllStopReasons()->getStopReasonAsString();
        EXPECT_EQ(c.expected.empty(),
                  reason.find("Mesh minimum precision reached") != std::string::npos)
            << reason;
        EXPECT_EQ(c.expected.empty(), tree.algo.getAllStopReasons()->checkTerminate());
    }
}

TEST(PollMethodBase, TerminatingStopReasonsGenerateAndEvaluateNothing)
{
    ProcessStateGuard guard;
    StreamCapture quiet(std::cout);
    StepTree tree(pollTree(PollProblem(), {1, 1}, {0.5, 0.25}, {1, 2}));
    QarnoTest::madsStopReasons(tree.algo)->_algoStopReason.set(MadsStopType::MIN_MESH_SIZE_REACHED);
    FixedDirectionsPollMethod method(&tree.iteration, {{1, 0}});
    method.start();
    EXPECT_TRUE(method.requestedDimensions.empty());
    EXPECT_EQ(0u, method.getTrialPointsCount());
    EXPECT_FALSE(method.run());
    EXPECT_EQ(MadsStopType::MIN_MESH_SIZE_REACHED,
              QarnoTest::madsStopReasons(tree.algo)->_algoStopReason.get());
}

TEST(PollMethodBase, StopReasonsOfAnotherAlgorithmAreRefused)
{
    ProcessStateGuard guard;
    StreamCapture quiet(std::cout);
    StepTree tree(pollTree(PollProblem(), {1, 1}, {0.5, 0.25}, {1, 2}));
    PollProblem boxedIn;
    boxedIn.lowerBound = {1, 1};
    boxedIn.upperBound = {1.2, 1.1};
    QarnoTest::TestAlgorithm other(&tree.main, "Other", tree.algo.getRunParams(),
                                   QarnoTest::makePollPbParams(boxedIn));
    QarnoTest::TestIteration iteration(&other, 1, tree.mesh, tree.frameCenter);
    // Every candidate is dropped: the stop reason must be set, on reasons
    // that are not those of MADS.
    FixedDirectionsPollMethod method(&iteration, {{1, 0}, {-1, 0}});
    EXPECT_EQ("Invalid shared pointer cast", messageOf([&] { method.start(); }));
}

TEST(PollMethodBase, VariableGroupsArePolledOneAfterTheOther)
{
    ProcessStateGuard guard;
    StreamCapture quiet(std::cout);
    PollProblem problem;
    problem.n = 3;
    problem.variableGroups = {{0, 2}, {1}};
    StepTree tree(pollTree(problem, {0, 0, 0}, {0.1, 0.1, 0.1}, {1, 1, 1}));
    Ortho2NPollMethod method(&tree.iteration);

    // Expected: the unit directions of the groups in list order, spread into
    // the group's coordinates, then scaled.
    RNG::reset();
    std::list<Direction> first;
    std::list<Direction> second;
    method.generateUnitPollDirections(first, 2);
    method.generateUnitPollDirections(second, 1);
    const uint32_t afterX = RNG::_x, afterY = RNG::_y, afterZ = RNG::_z;
    std::list<Direction> full;
    for (const auto& d : first)
    {
        full.emplace_back(makeArray({d[0].todouble(), 0.0, d[1].todouble()}));
    }
    for (const auto& d : second)
    {
        full.emplace_back(makeArray({0.0, 0.0, 0.0}));
        full.back()[1] = d[0];
    }
    method.scaleAndProjectOnMesh(full);
    const Coords expected = coordinatesOf(full);
    ASSERT_EQ(6u, expected.size());

    StreamCapture out(std::cout);
    showOutputAtDegree(3, 4);
    RNG::reset();
    method.generateTrialPoints();
    OutputQueue::getInstance()->flush();
    EXPECT_EQ(4u, linesWith(out.text(), "Unit poll direction for Variable Group 0: ").size());
    EXPECT_EQ(2u, linesWith(out.text(), "Unit poll direction for Variable Group 1: ").size());
    EXPECT_EQ(6u, linesWith(out.text(), "Scaled and mesh projected poll direction: ").size());
    EXPECT_EQ(afterX, RNG::_x);
    EXPECT_EQ(afterY, RNG::_y);
    EXPECT_EQ(afterZ, RNG::_z);
    const Coords got = QarnoTest::coordinatesOf(method.getTrialPoints());
    EXPECT_EQ(sorted(expected), got);
    size_t inFirstGroup = 0;
    size_t inSecondGroup = 0;
    for (const auto& p : got)
    {
        inFirstGroup += (0.0 == p[1]) ? 1 : 0;
        inSecondGroup += (0.0 == p[0] && 0.0 == p[2]) ? 1 : 0;
    }
    EXPECT_EQ(4u, inFirstGroup);
    EXPECT_EQ(2u, inSecondGroup);
}

TEST(PollMethodBase, InvalidFrameCenters)
{
    ProcessStateGuard guard;
    StreamCapture quiet(std::cout);
    StepTree tree(pollTree(PollProblem(), {1, 1}, {0.5, 0.25}, {1, 2}));
    struct Case
    {
        const char* label;
        std::shared_ptr<EvalPoint> center;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"none", nullptr, "Invalid frame center: "},
        {"no defined coordinate", std::make_shared<EvalPoint>(2), "Invalid frame center: #"},
        {"wrong size", std::make_shared<EvalPoint>(Point(makeArray({1, 1, 1}))),
         "Invalid frame center: #"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        QarnoTest::TestIteration iteration(&tree.mega, 2, tree.mesh, c.center);
        FixedDirectionsPollMethod method(&iteration, {{1, 0}});
        std::string file;
        const std::string msg = messageOf([&] { method.generateTrialPoints(); }, &file);
        EXPECT_EQ(0u, msg.rfind(c.message, 0)) << msg;
        if (nullptr == c.center)
        {
            EXPECT_EQ(c.message, msg);
        }
        EXPECT_EQ("src/Algos/Mads/PollMethodBase", file);
    }

    // Some coordinates defined: the sum of the first candidate fails.
    QarnoTest::TestIteration partly(
        &tree.mega, 3, tree.mesh,
        std::make_shared<EvalPoint>(Point(makeArray({1, QarnoTest::UNDEF}))));
    FixedDirectionsPollMethod method(&partly, {{1, 0}});
    EXPECT_THROW(method.generateTrialPoints(), Double::NotDefined);
}
