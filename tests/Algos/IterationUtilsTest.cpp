#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "Algos/EvcInterface.hpp"
#include "Algos/IterationUtils.hpp"
#include "Algos/StepException.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/Direction.hpp"
#include "Math/Double.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/EvaluatorControlGlobalParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/ArrayOfString.hpp"
#include "support/CacheSupport.hpp"
#include "support/EvalSupport.hpp"
#include "support/EvcSupport.hpp"
#include "support/SearchSupport.hpp"
#include "support/StepSupport.hpp"
#include "support/StepTree.hpp"
#include "support/SubspaceSupport.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using namespace QarnoTest;

namespace
{

/// A point-producing step: the trial points are those the test inserts.
class TrialStep : public RecordingStep, public IterationUtils
{
public:
    explicit TrialStep(const Step* parent)
        : RecordingStep(parent, "Trial step"), IterationUtils(this)
    {
    }

protected:
    void generateTrialPoints() override {}
};

std::shared_ptr<FixedMesh> makeMesh()
{
    return QarnoTest::makeProjectingMesh(QarnoTest::makeCheckedPbParams(2), {0.5, 0.25},
                                         {1.0, 2.0});
}

std::shared_ptr<Barrier> makeBarrier(double hMax, const std::vector<EvalPoint>& points)
{
    return std::make_shared<Barrier>(Double(hMax), Point(2), EvalType::BB, points);
}

/// The tree algorithm > mega-iteration > iteration (mesh of `makeMesh`,
/// frame centre (1 1)) > trial step.
struct MeshTree : QarnoTest::StepTree
{
    explicit MeshTree(std::shared_ptr<Barrier> barrier, std::shared_ptr<MeshBase> mesh = makeMesh(),
                      std::shared_ptr<EvalPoint> frameCenter =
                          std::make_shared<EvalPoint>(Point(makeArray({1.0, 1.0}))))
        : StepTree(options(std::move(barrier), std::move(mesh), std::move(frameCenter))),
          step(&iteration)
    {
    }

    static QarnoTest::StepTreeOptions options(std::shared_ptr<Barrier> barrier,
                                              std::shared_ptr<MeshBase> mesh,
                                              std::shared_ptr<EvalPoint> frameCenter)
    {
        QarnoTest::StepTreeOptions o;
        o.runParams = QarnoTest::makeIterationRunParams(false);
        o.pbParams = QarnoTest::makeCheckedPbParams(2);
        o.barrier = std::move(barrier);
        o.mesh = std::move(mesh);
        o.frameCenter = std::move(frameCenter);
        return o;
    }

    TrialStep step;
};

} // namespace

TEST(IterationUtils, ConstructionFindsTheAncestorsOrRefuses)
{
    ProcessStateGuard guard;
    StreamCapture quiet(std::cout);
    QarnoTest::startCache({BBOutputType::OBJ});
    MeshTree tree(makeBarrier(INF, {QarnoTest::makeEvalPoint({1.0, 2.0}, 1.0, 0.0)}));
    EXPECT_EQ(&tree.iteration, tree.step.getIterationAncestor());
    EXPECT_EQ(&tree.mega, tree.step.getMegaIterationAncestor());
    EXPECT_FALSE(tree.step.isFromAlgo());
    EXPECT_EQ(SuccessType::NOT_EVALUATED, tree.step.getSuccessType());

    // The walk stops at an algorithm: the iteration above it is not seen.
    // The ancestors are looked for on first use, once the owner is built.
    TestAlgorithm inner(&tree.iteration, "Inner", QarnoTest::makeIterationRunParams(false),
                        QarnoTest::makeCheckedPbParams(2));
    TrialStep orphan(&inner);
    EXPECT_EQ("An instance of class IterationUtils must have either an Iteration or a "
              "MegaIteration as ancestor or an Algorithm as direct parent",
              messageOf([&] { orphan.getIterationAncestor(); }));
}

TEST(IterationUtils, InsertionKeepsTheFirstOfEqualCoordinates)
{
    ProcessStateGuard guard;
    StreamCapture quiet(std::cout);
    QarnoTest::startCache({BBOutputType::OBJ});
    MeshTree tree(makeBarrier(INF, {QarnoTest::makeEvalPoint({1.0, 2.0}, 1.0, 0.0)}));
    EvalPoint first(Point(makeArray({1.5, 1.25})));
    first.setTag(11);
    EvalPoint same(Point(makeArray({1.5, 1.25})));
    same.setTag(12);

    EXPECT_TRUE(tree.step.insertTrialPoint(first));
    EXPECT_FALSE(tree.step.insertTrialPoint(same));
    EXPECT_TRUE(tree.step.insertTrialPoint(EvalPoint(Point(makeArray({1.0, 1.25})))));
    ASSERT_EQ(2u, tree.step.getTrialPointsCount());
    // Set order is by coordinates.
    EXPECT_EQ(0u, tree.step.getTrialPoints().begin()->getTag());
    EXPECT_EQ(11u, tree.step.getTrialPoints().rbegin()->getTag());
}

TEST(IterationUtils, SnapAndProjectBringsCandidatesOnTheMeshInsideTheBounds)
{
    ProcessStateGuard guard;
    StreamCapture quiet(std::cout);
    QarnoTest::startCache({BBOutputType::OBJ});
    MeshTree tree(makeBarrier(INF, {QarnoTest::makeEvalPoint({1.0, 2.0}, 1.0, 0.0)}));
    // Mesh sizes (0.5 0.25) around (1 1).
    struct Case
    {
        const char* name;
        std::vector<double> x;
        std::vector<double> lb;
        std::vector<double> ub;
        bool ok;
        std::vector<double> expected;
        size_t tag;
    };
    const Case cases[] = {
        {"on the mesh and inside", {1.5, 1.25}, {0, 0}, {2, 2}, true, {1.5, 1.25}, 7},
        {"off the mesh", {1.6, 1.3}, {0, 0}, {2, 2}, true, {1.5, 1.25}, 0},
        {"outside a bound", {3.0, 1.0}, {0, 0}, {2, 2}, true, {2.0, 1.0}, 0},
        {"off the mesh and outside a bound", {3.3, 1.3}, {0, 0}, {2, 2}, true, {2.0, 1.25}, 0},
        {"no mesh point inside the bounds", {1.2, 1.0}, {1.1, 0}, {1.4, 2}, false, {1.2, 1.0}, 7},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        EvalPoint x(Point(makeArray(c.x)));
        x.setTag(7);
        EXPECT_EQ(c.ok,
                  tree.step.snapPointToBoundsAndProjectOnMesh(x, makeArray(c.lb), makeArray(c.ub)));
        EXPECT_EQ(makeArray(c.expected), static_cast<const ArrayOfDouble&>(x));
        EXPECT_EQ(c.tag, x.getTag());
    }
}

TEST(IterationUtils, FailedProjectionWritesTheSnapRecordOnlyAtDebugLevel)
{
    ProcessStateGuard guard;
    StreamCapture quiet(std::cout);
    QarnoTest::startCache({BBOutputType::OBJ});
    MeshTree tree(makeBarrier(INF, {QarnoTest::makeEvalPoint({1.0, 2.0}, 1.0, 0.0)}));
    for (int degree : {2, 4})
    {
        SCOPED_TRACE(degree);
        OutputQueue::getInstance()->setDisplayDegree(degree);
        StreamCapture out(std::cout);
        Point x(makeArray({1.2, 1.0}));
        EXPECT_FALSE(tree.step.snapPointToBoundsAndProjectOnMesh(x, makeArray({1.1, 0}),
                                                                 makeArray({1.4, 2})));
        OutputQueue::getInstance()->flush();
        const std::string text = out.text();
        EXPECT_EQ(degree == 4, text.find("Warning: point was not snapped properly on mesh:") !=
                                   std::string::npos)
            << text;
        if (degree == 4)
        {
            for (const char* line :
                 {"Point before projection:", "Point after first projection:",
                  "Point after snapping to bounds:", "Point after second projection:",
                  "Lower bound: ", "Upper bound: ", "Center: ", "Mesh size: "})
            {
                EXPECT_NE(std::string::npos, text.find(line)) << line;
            }
        }
    }
}

TEST(IterationUtils, WithoutIterationOnlyTheBoundsCount)
{
    ProcessStateGuard guard;
    StreamCapture quiet(std::cout);
    QarnoTest::startCache({BBOutputType::OBJ});
    RecordingStep main("Main");
    TestAlgorithm algo(&main, "MADS", QarnoTest::makeIterationRunParams(false),
                       QarnoTest::makeCheckedPbParams(2));
    TestMegaIteration mega(&algo, 1,
                           makeBarrier(INF, {QarnoTest::makeEvalPoint({1.0, 2.0}, 1.0, 0.0)}));
    TrialStep step(&mega);
    ASSERT_EQ(nullptr, step.getIterationAncestor());

    EvalPoint x(Point(makeArray({3.3, -0.7})));
    x.setTag(5);
    EXPECT_TRUE(step.snapPointToBoundsAndProjectOnMesh(x, makeArray({0, 0}), makeArray({2, 2})));
    EXPECT_EQ(makeArray({2.0, 0.0}), static_cast<const ArrayOfDouble&>(x));
    EXPECT_EQ(0u, x.getTag());

    // Off any mesh but inside: untouched.
    Point inside(makeArray({0.123, 1.7}));
    EXPECT_TRUE(
        step.snapPointToBoundsAndProjectOnMesh(inside, makeArray({0, 0}), makeArray({2, 2})));
    EXPECT_EQ(makeArray({0.123, 1.7}), static_cast<const ArrayOfDouble&>(inside));
}

TEST(IterationUtils, VerifyOnMeshNamesTheFirstPointOffTheMesh)
{
    ProcessStateGuard guard;
    StreamCapture quiet(std::cout);
    QarnoTest::startCache({BBOutputType::OBJ});
    auto barrier = makeBarrier(INF, {QarnoTest::makeEvalPoint({1.0, 2.0}, 1.0, 0.0)});
    MeshTree tree(barrier);
    tree.step.insertTrialPoint(EvalPoint(Point(makeArray({1.5, 1.25}))));
    EXPECT_EQ("(no exception)", messageOf([&] { tree.step.verifyPointsAreOnMesh("Poll"); }));

    tree.step.insertTrialPoint(EvalPoint(Point(makeArray({1.7, 1.0}))));
    tree.step.insertTrialPoint(EvalPoint(Point(makeArray({1.6, 1.0}))));
    const std::string expected = "This point (generated by Poll) is not on the mesh: " +
                                 EvalPoint(Point(makeArray({1.6, 1.0}))).display(ArrayOfDouble()) +
                                 ".";
    EXPECT_EQ(expected, messageOf([&] { tree.step.verifyPointsAreOnMesh("Poll"); }));

    MeshTree noCenter(barrier, makeMesh(), nullptr);
    EXPECT_EQ("No frame center on iteration (point generated by Search)",
              messageOf([&] { noCenter.step.verifyPointsAreOnMesh("Search"); }));
    MeshTree noMesh(barrier, nullptr);
    EXPECT_EQ("No mesh on iteration (point generated by Search)",
              messageOf([&] { noMesh.step.verifyPointsAreOnMesh("Search"); }));
}

TEST(IterationUtils, FrameCenterIsSharedInFullSpace)
{
    ProcessStateGuard guard;
    QarnoTest::SubspaceAlgorithm sub({QarnoTest::UNDEF, 5.0});
    TestIteration iteration(&sub.algo, 0, nullptr,
                            std::make_shared<EvalPoint>(Point(makeArray({1.5}))));
    TrialStep step(&iteration);
    step.insertTrialPoint(EvalPoint(Point(makeArray({1.0}))));
    step.insertTrialPoint(EvalPoint(Point(makeArray({2.0}))));

    step.updatePointsWithFrameCenter();

    const auto& points = step.getTrialPoints();
    ASSERT_EQ(2u, points.size());
    const auto& pointFrom = points.begin()->getPointFrom();
    ASSERT_NE(nullptr, pointFrom);
    EXPECT_EQ(pointFrom, points.rbegin()->getPointFrom());
    EXPECT_EQ(makeArray({1.5, 5.0}), static_cast<const ArrayOfDouble&>(*pointFrom));
}

TEST(IterationUtils, PostProcessingLowersHMaxAndNeverRaisesIt)
{
    ProcessStateGuard guard;
    StreamCapture quiet(std::cout);
    QarnoTest::startCache({BBOutputType::OBJ, BBOutputType::PB});
    using QarnoTest::makeEvalPoint;
    struct Case
    {
        const char* name;
        double hMax;
        EvalPoint xInf;
        SuccessType success;
        std::vector<EvalPoint> trial;
        double expectedHMax;
        bool lowered;
    };
    const Case cases[] = {
        {"full success drops to the infeasible incumbent",
         10,
         makeEvalPoint({0.0, 0.0}, 1, 3),
         SuccessType::FULL_SUCCESS,
         {},
         3,
         true},
        {"partial success takes the largest improving h",
         10,
         makeEvalPoint({0.0, 0.0}, 1, 5),
         SuccessType::PARTIAL_SUCCESS,
         {makeEvalPoint({1.0, 0.0}, 2, 4), makeEvalPoint({2.0, 0.0}, 3, 2),
          makeEvalPoint({3.0, 0.0}, 0.5, 1)},
         4,
         true},
        {"partial success with no improving point takes hInf",
         10,
         makeEvalPoint({0.0, 0.0}, 1, 5),
         SuccessType::PARTIAL_SUCCESS,
         {makeEvalPoint({1.0, 0.0}, 0.5, 4)},
         5,
         true},
        {"equal hMax is left",
         3,
         makeEvalPoint({0.0, 0.0}, 1, 3),
         SuccessType::FAILURE,
         {},
         3,
         false},
        {"a larger hInf does not raise hMax",
         4,
         makeEvalPoint({0.0, 0.0}, 1, 5),
         SuccessType::NOT_EVALUATED,
         {},
         4,
         false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        OutputQueue::getInstance()->setDisplayDegree(4);
        auto barrier = makeBarrier(INF, {c.xInf});
        barrier->setHMax(c.hMax);
        MeshTree tree(barrier);
        for (const auto& p : c.trial)
        {
            tree.step.insertTrialPoint(p);
        }
        tree.step.setSuccessType(c.success);
        StreamCapture out(std::cout);
        const bool changed = tree.step.postProcessing(EvalType::BB);
        EXPECT_EQ(Double(c.expectedHMax), barrier->getHMax());
        if (c.lowered)
        {
            EXPECT_TRUE(changed);
            const std::string line = "hMax went from " + Double(c.hMax).tostring() + " to " +
                                     Double(c.expectedHMax).tostring();
            EXPECT_NE(std::string::npos, out.text().find(line)) << out.text();
        }
        else
        {
            // No trial point, so the merge changes nothing either.
            EXPECT_FALSE(changed);
            EXPECT_EQ(std::string::npos, out.text().find("hMax went from")) << out.text();
        }
    }
}

TEST(IterationUtils, PartialSuccessWithoutInfeasibleIncumbentIsReported)
{
    ProcessStateGuard guard;
    StreamCapture quiet(std::cout);
    QarnoTest::startCache({BBOutputType::OBJ, BBOutputType::PB});
    auto barrier = makeBarrier(10, {QarnoTest::makeEvalPoint({1.0, 2.0}, 1.0, 0.0)});
    MeshTree tree(barrier);
    tree.step.setSuccessType(SuccessType::PARTIAL_SUCCESS);
    EXPECT_EQ("IterationUtils: partial success without an infeasible point in the barrier",
              messageOf([&] { tree.step.postProcessing(EvalType::BB); }));
    EXPECT_EQ(Double(10), barrier->getHMax());
}

TEST(IterationUtils, EvaluationKeepsTheEvaluatedPointsAndSkipsCachedOnes)
{
    ProcessStateGuard guard;
    StreamCapture quiet(std::cout);
    QarnoTest::EvcHarness harness(
        QarnoTest::installedHarness({BBOutputType::OBJ}, QarnoTest::firstCoordinateObjective()));
    QarnoTest::SubspaceAlgorithm sub({QarnoTest::UNDEF, QarnoTest::UNDEF});
    TestMegaIteration mega(&sub.algo, 1,
                           makeBarrier(INF, {QarnoTest::makeEvalPoint({5.0, 5.0}, 5.0, 0.0)}));
    TestIteration iteration(&mega, 1, makeMesh(),
                            std::make_shared<EvalPoint>(Point(makeArray({1.0, 1.0}))));
    TrialStep step(&iteration);

    step.insertTrialPoint(EvalPoint(Point(makeArray({3.0, 1.0}))));
    step.insertTrialPoint(EvalPoint(Point(makeArray({2.0, 1.0}))));
    EXPECT_TRUE(step.evalTrialPoints(&step));
    EXPECT_EQ(2u, step.getNbEvalPointsThatNeedEval());
    EXPECT_EQ(SuccessType::FULL_SUCCESS, step.getSuccessType());
    ASSERT_EQ(2u, step.getTrialPointsCount());
    for (const auto& point : step.getTrialPoints())
    {
        SCOPED_TRACE(point.display(ArrayOfDouble()));
        EXPECT_EQ(point[0], point.getF(EvalType::BB));
    }

    // Both points are in the cache now: nothing runs and the set empties.
    step.insertTrialPoint(EvalPoint(Point(makeArray({3.0, 1.0}))));
    EXPECT_FALSE(step.evalTrialPoints(&step));
    EXPECT_EQ(0u, step.getNbEvalPointsThatNeedEval());
    EXPECT_EQ(0u, step.getTrialPointsCount());
    EXPECT_EQ(SuccessType::FULL_SUCCESS, step.getSuccessType());
}

namespace
{

/// The run parameters of `algo` with `set` applied, checked again.
template <typename SET> void changeRunParams(const Algorithm& algo, SET set)
{
    const auto& run = algo.getRunParams();
    set(*run);
    auto evcGlobal = std::make_shared<EvaluatorControlGlobalParameters>();
    evcGlobal->checkAndComply(nullptr);
    QarnoTest::CerrCapture ignoreWarnings;
    run->checkAndComply(evcGlobal, QarnoTest::makeCheckedPbParams(2));
}

} // namespace

TEST(IterationUtils, FrameCenterUseCacheKeepsEquallyGoodPointsInTheBarrier)
{
    ProcessStateGuard guard;
    StreamCapture quiet(std::cout);
    QarnoTest::startCache({BBOutputType::OBJ, BBOutputType::PB});
    using QarnoTest::makeEvalPoint;
    for (const bool useCache : {false, true})
    {
        SCOPED_TRACE(useCache ? "FRAME_CENTER_USE_CACHE" : "default");
        auto barrier = makeBarrier(INF, {makeEvalPoint({0.0, 0.0}, 1, 0)});
        MeshTree tree(barrier);
        changeRunParams(tree.algo, [&](RunParameters& run)
                        { run.setAttributeValue<bool>("FRAME_CENTER_USE_CACHE", useCache); });
        tree.step.insertTrialPoint(makeEvalPoint({1.0, 0.0}, 1, 0));
        tree.step.setSuccessType(SuccessType::FAILURE);
        tree.step.postProcessing(EvalType::BB);
        EXPECT_EQ(useCache ? 2u : 1u, barrier->getAllXFeas().size());
    }
}

TEST(IterationUtils, DisabledEvalSortKeepsTheQueueOrder)
{
    // Three successes for an opportunistic queue of blocks of one point: only
    // the first point of the queue is evaluated. Sorted, it is the point in
    // the last successful direction from the frame centre (1 1).
    const struct
    {
        const char* name;
        bool disableSort;
        std::vector<std::vector<double>> evaluated;
    } cases[] = {
        {"sorted by the last successful direction", false, {{1, 3}}},
        {"DISABLE EVAL_SORT", true, {{0, 1}}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard guard;
        StreamCapture quiet(std::cout);
        QarnoTest::EvcOptions options;
        options.opportunistic = true;
        QarnoTest::EvcHarness harness(QarnoTest::installedHarness(
            {BBOutputType::OBJ}, QarnoTest::firstCoordinateObjective(), options));
        harness.evc->setLastSuccessfulDir(std::make_shared<Direction>(makeArray({0.0, 1.0})));

        MeshTree tree(makeBarrier(INF, {QarnoTest::makeEvalPoint({5.0, 5.0}, 5.0, 0.0)}));
        if (c.disableSort)
        {
            changeRunParams(tree.algo, [](RunParameters& run)
                            { run.setAttributeValue("DISABLE", ArrayOfString(1, "EVAL_SORT")); });
        }
        for (const auto& x : {std::vector<double>{0, 1}, {1, 3}, {3, 1}})
        {
            tree.step.insertTrialPoint(EvalPoint(Point(makeArray(x))));
        }
        tree.step.updatePointsWithFrameCenter();
        EXPECT_TRUE(tree.step.evalTrialPoints(&tree.step));
        EXPECT_EQ(c.evaluated, harness.evaluator->evaluatedPoints());
    }
}
