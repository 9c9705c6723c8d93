#include <algorithm>
#include <functional>
#include <iostream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Algos/EvcInterface.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvalPoint.hpp"
#include "Eval/EvalQueuePoint.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/Point.hpp"
#include "Output/OutputQueue.hpp"
#include "support/CacheSupport.hpp"
#include "support/EvcSupport.hpp"
#include "support/StepSupport.hpp"
#include "support/StepTree.hpp"
#include "support/SubspaceSupport.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::coordsOf;
using QarnoTest::EvcHarness;
using QarnoTest::EvcOptions;
using QarnoTest::FakeMegaSearchPoll;
using QarnoTest::firstCoordinateObjective;
using QarnoTest::FixedMesh;
using QarnoTest::makeArray;
using QarnoTest::makeBBPoint;
using QarnoTest::makeCheckedPbParams;
using QarnoTest::messageOf;
using QarnoTest::ProcessStateGuard;
using QarnoTest::RecordingStep;
using QarnoTest::StreamCapture;
using QarnoTest::SubspaceAlgorithm;
using QarnoTest::TestIteration;
using QarnoTest::UNDEF;

namespace
{

using Coords = std::vector<std::vector<double>>;
using TrialPoints = std::set<EvalPoint, EvalPointCompare>;

const BBOutputTypeList OBJ_ONLY = {BBOutputType::OBJ};

/// Variables 1 and 3 fixed at 2 and 4: three free variables out of five.
const std::vector<double> FIX_1_3 = {UNDEF, 2, UNDEF, 4, UNDEF};

TrialPoints trialPoints(const Coords& coords)
{
    TrialPoints points;
    for (const auto& c : coords)
    {
        points.insert(EvalPoint(Point(makeArray(c))));
    }
    return points;
}

/// Empties the queue, returning its points sorted by coordinates.
std::vector<std::shared_ptr<EvalQueuePoint>> drainQueue(EvaluatorControl& evc)
{
    std::vector<std::shared_ptr<EvalQueuePoint>> all;
    std::vector<std::shared_ptr<EvalQueuePoint>> block;
    while (evc.popBlock(block))
    {
        all.insert(all.end(), block.begin(), block.end());
        block.clear();
    }
    std::sort(all.begin(), all.end(),
              [](const auto& a, const auto& b) { return Point::weakLess(*a, *b); });
    return all;
}

Coords coordsOfQueue(const std::vector<std::shared_ptr<EvalQueuePoint>>& points)
{
    std::vector<EvalPoint> plain;
    for (const auto& p : points)
    {
        plain.push_back(*p);
    }
    return coordsOf(plain);
}

/// A queue of one point per block, installed as the process's queue (the
/// display left as it is).
QarnoTest::HarnessOptions
installedQueue(const EvcOptions& options, const BBOutputTypeList& outputs = OBJ_ONLY,
               QarnoTest::FunctionEvaluator::Output blackbox = firstCoordinateObjective(),
               EvalType evalType = EvalType::BB)
{
    auto layers = QarnoTest::installedHarness(outputs, std::move(blackbox), options, evalType);
    layers.setDisplay = false;
    return layers;
}

EvcOptions withCache(bool useCache)
{
    EvcOptions options;
    options.useCache = useCache;
    return options;
}

/// Points placed by a step of a problem in [-10, 10]^2, with that
/// granularity (none when empty): the queued points, in queue order, and the
/// tags the given points had, each tagged as a step tags its points.
struct Placed
{
    std::vector<std::shared_ptr<EvalQueuePoint>> queued;
    std::vector<size_t> givenTags;
};

Placed placeInSquare(const Coords& given, const std::vector<double>& granularity)
{
    EvcHarness installed(installedQueue(withCache(true)));
    QarnoTest::StepTreeOptions options;
    options.dimension = 2;
    options.lowerBound = {-10, -10};
    options.upperBound = {10, 10};
    if (!granularity.empty())
    {
        options.setPb = [granularity](PbParameters& pb)
        { pb.setAttributeValue<ArrayOfDouble>("GRANULARITY", makeArray(granularity)); };
    }
    const auto pb = QarnoTest::makeTreePbParams(options);
    RecordingStep main("Main");
    QarnoTest::TestAlgorithm algo(&main, "Algo", QarnoTest::makeRunParams(pb), pb);
    RecordingStep init(&algo, "Init");
    EvcInterface evc(&init);

    Placed placed;
    TrialPoints points;
    for (const auto& c : given)
    {
        EvalPoint point(Point(makeArray(c)));
        point.updateTag();
        placed.givenTags.push_back(point.getTag());
        points.insert(point);
    }
    evc.keepPointsThatNeedEval(std::move(points), false);
    placed.queued = drainQueue(*installed.evc);
    return placed;
}

} // namespace

TEST(EvcInterface, QueuesFullSpacePointsWithTheContextOfTheirStep)
{
    struct Case
    {
        const char* label;
        bool underPhaseOne;
        bool withIteration;
        bool withMesh;
        std::vector<double> meshSize;
        std::vector<double> frameSize;
        size_t k;
        std::string comment;
    };
    const Case cases[] = {
        {"iteration with a mesh", false, true, true, {0.5, 0.25, 1}, {1, 0.5, 2}, 4, "(comment)"},
        // A run has one comment stack, the root algorithm's (here phase
        // one's): the sub-algorithm's comment went there.
        {"below phase one", true, true, true, {0.5, 0.25, 1}, {1, 0.5, 2}, 4, "(comment)"},
        {"starting points: no iteration asked", false, false, true, {}, {}, 0, "(comment)"},
        {"iteration without a mesh", false, true, false, {}, {}, 0, "(comment)"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ProcessStateGuard guard;
        EvcHarness installed(installedQueue(withCache(true)));
        SubspaceAlgorithm algo(FIX_1_3, c.underPhaseOne);
        algo.algo.setAlgoComment("(comment)");
        auto mesh = std::make_shared<FixedMesh>(makeCheckedPbParams(3));
        mesh->setDeltas(makeArray({0.5, 0.25, 1}), makeArray({1, 0.5, 2}));
        TestIteration iteration(&algo.algo, 4, c.withMesh ? mesh : nullptr);
        RecordingStep poll(&iteration, "Poll");

        EvcInterface evc(&poll);
        evc.keepPointsThatNeedEval(trialPoints({{1, 3, 5}, {0, 0, 0}}), c.withIteration);

        const auto queued = drainQueue(*installed.evc);
        EXPECT_EQ((Coords{{0, 2, 0, 4, 0}, {1, 2, 3, 4, 5}}), coordsOfQueue(queued));
        for (const auto& q : queued)
        {
            EXPECT_EQ(EvalType::BB, q->getEvalType());
            EXPECT_EQ(SuccessType::NOT_EVALUATED, q->getSuccess());
            EXPECT_EQ("Poll", q->getGenStep());
            EXPECT_EQ(c.comment, q->getComment());
            EXPECT_EQ(makeArray(c.meshSize), q->getMeshSize());
            EXPECT_EQ(makeArray(c.frameSize), q->getFrameSize());
            EXPECT_EQ(c.k, q->getK());
            EXPECT_EQ(c.underPhaseOne, q->getInPhaseOne());
            EXPECT_NE(0u, q->getTag());
        }
    }
}

TEST(EvcInterface, DropsPointsThatNeedNoEvaluation)
{
    ProcessStateGuard guard;
    EvcHarness installed(installedQueue(withCache(true)));
    // (1, 3, 5) is in the cache with a blackbox evaluation already.
    CacheBase::getInstance()->insert(makeBBPoint({1, 2, 3, 4, 5}, "1", OBJ_ONLY));
    SubspaceAlgorithm algo(FIX_1_3);
    RecordingStep init(&algo.algo, "Init");
    EvcInterface evc(&init);

    const size_t hitsBefore = CacheBase::_nbCacheHits.load();
    {
        StreamCapture out(std::cout);
        evc.keepPointsThatNeedEval(trialPoints({{1, 3, 5}, {6, 7, 8}}), false);
        EXPECT_NE(std::string::npos, out.text().find("Point not re-evaluated: #1 ( 1 2 3 4 5 )"));
    }
    EXPECT_EQ(hitsBefore + 1, CacheBase::_nbCacheHits.load());
    EXPECT_EQ(1u, installed.evc->getQueueSize(-1));

    // A second call with the point still queued: the cache already counts
    // its evaluation, and the call goes on with the next point.
    {
        StreamCapture out(std::cout);
        evc.keepPointsThatNeedEval(trialPoints({{6, 7, 8}, {9, 9, 9}}), false);
        EXPECT_NE(std::string::npos, out.text().find("Point not re-evaluated: #2 ( 6 2 7 4 8 )"));
        EXPECT_NE(std::string::npos,
                  out.text().find("New point added to eval queue: #3 ( 9 2 9 4 9 )"));
    }
    // An empty set opens no block and queues nothing.
    {
        StreamCapture out(std::cout);
        evc.keepPointsThatNeedEval(TrialPoints(), false);
        EXPECT_EQ(std::string::npos, out.text().find("Add points to eval queue"));
    }
    EXPECT_EQ((Coords{{6, 2, 7, 4, 8}, {9, 2, 9, 4, 9}}),
              coordsOfQueue(drainQueue(*installed.evc)));
}

TEST(EvcInterface, OnlyEvaluatedPointsEnterTheCache)
{
    // A poll in thousands of variables queues thousands of points of which a
    // few are evaluated: the cache must not hold a copy of the others.
    ProcessStateGuard guard;
    EvcOptions options = withCache(true);
    options.maxBbEval = 1;
    EvcHarness installed(installedQueue(options));
    OutputQueue::getInstance()->initParameters(QarnoTest::makeDisplayParameters(5, 2, ""));
    SubspaceAlgorithm algo(FIX_1_3);
    RecordingStep init(&algo.algo, "Init");
    EvcInterface evc(&init);
    CacheBase& cache = *CacheBase::getInstance();

    evc.keepPointsThatNeedEval(trialPoints({{1, 3, 5}, {0, 0, 0}, {7, 7, 7}}), false);
    EXPECT_EQ(3u, installed.evc->getQueueSize(-1));
    EXPECT_EQ(0u, cache.size());

    evc.startEvaluation();
    ASSERT_EQ(1u, installed.evaluator->evaluatedPoints().size());
    EXPECT_EQ(1u, cache.size());
    EvalPoint found;
    ASSERT_EQ(1u, cache.find(Point(makeArray(installed.evaluator->evaluatedPoints()[0])), found));
    EXPECT_EQ(EvalStatusType::EVAL_OK, found.getEvalStatus(EvalType::BB));

    // What the queue dropped unevaluated is new again.
    installed.evc->clearQueue(-1);
    EXPECT_EQ(1u, cache.size());
    evc.keepPointsThatNeedEval(trialPoints({{1, 3, 5}, {0, 0, 0}, {7, 7, 7}}), false);
    EXPECT_EQ(2u, installed.evc->getQueueSize(-1));
}

TEST(EvcInterface, WithoutCacheTheQueueBarrierDecides)
{
    struct Case
    {
        const char* label;
        EvalType evalType;
        bool withBarrier;
        Coords queued;
    };
    const Case cases[] = {
        {"blackbox: barrier point dropped", EvalType::BB, true, {{6, 2, 7, 4, 8}}},
        {"blackbox: no barrier", EvalType::BB, false, {{1, 2, 3, 4, 5}, {6, 2, 7, 4, 8}}},
        {"surrogate: always needed", EvalType::SGTE, true, {{1, 2, 3, 4, 5}, {6, 2, 7, 4, 8}}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ProcessStateGuard guard;
        QarnoTest::startCache(OBJ_ONLY);
        EvcHarness harness(
            installedQueue(withCache(false), OBJ_ONLY, firstCoordinateObjective(), c.evalType));
        SubspaceAlgorithm algo(FIX_1_3);
        RecordingStep init(&algo.algo, "Init");
        EvcInterface evc(&init);
        if (c.withBarrier)
        {
            auto barrier = std::make_shared<Barrier>(
                INF, Point(3), EvalType::BB,
                std::vector<EvalPoint>{makeBBPoint({1, 3, 5}, "1", OBJ_ONLY)});
            evc.setBarrier(barrier);
        }
        evc.keepPointsThatNeedEval(trialPoints({{1, 3, 5}, {6, 7, 8}}), false);
        EXPECT_EQ(c.queued, coordsOfQueue(drainQueue(*harness.evc)));
    }
}

TEST(EvcInterface, TheQueueHoldsTheStepsOwnBarrier)
{
    ProcessStateGuard guard;
    EvcHarness installed(installedQueue(withCache(true)));
    SubspaceAlgorithm algo(FIX_1_3);
    RecordingStep init(&algo.algo, "Init");
    EvcInterface evc(&init);

    auto barrier = std::make_shared<Barrier>(
        INF, Point(3), EvalType::BB, std::vector<EvalPoint>{makeBBPoint({1, 3, 5}, "1", OBJ_ONLY)});
    barrier->updateRefBests();
    evc.setBarrier(barrier);
    // One barrier state: the queue's is the step's, not a copy.
    EXPECT_EQ(barrier, installed.evc->getBarrier(-1));
    EXPECT_EQ((Coords{{1, 2, 3, 4, 5}}), coordsOf(installed.evc->getBarrierPointsInFullSpace(-1)));
    // The step's barrier stays in its sub-space.
    EXPECT_EQ((Coords{{1, 3, 5}}), coordsOf(barrier->getAllPoints()));
    EXPECT_EQ((Coords{{1, 3, 5}}), coordsOf({*barrier->getRefBestFeas()}));

    EvalPoint found;
    EXPECT_TRUE(evc.findInBarrier(Point(makeArray({1, 3, 5})), found));
    EXPECT_EQ((Coords{{1, 3, 5}}), coordsOf({found}));
    EXPECT_FALSE(evc.findInBarrier(Point(makeArray({1, 3, 6})), found));
    EXPECT_EQ((Coords{{1, 3, 5}}), coordsOf({found}));

    // A null barrier leaves the queue's in place.
    evc.setBarrier(nullptr);
    EXPECT_EQ(barrier, installed.evc->getBarrier(-1));
}

TEST(EvcInterface, NoPointIsJudgedAgainstStaleReferences)
{
    // The step's barrier moves on after it was handed to the queue (a
    // better point, new references, a lower hMax) and the next points are
    // evaluated without handing it again, as the starting points of a
    // sub-algorithm are: they are judged against the barrier as it is now.
    const BBOutputTypeList objPb = {BBOutputType::OBJ, BBOutputType::PB};
    struct Case
    {
        const char* label;
        std::vector<double> trial;
        SuccessType expected;
    };
    const Case cases[] = {
        // f 0.5 improved on the old reference (f 1), not on the new one (f 0).
        {"feasible, between the old and the new reference", {0.5, 0, 0}, SuccessType::FAILURE},
        {"feasible, better than the new reference", {-1, 0, 0}, SuccessType::FULL_SUCCESS},
        // h 4 was within the old hMax (infinite): a partial success against
        // the infeasible reference (f 0, h 81); not within the new one (2).
        {"infeasible, above the new hMax", {1, 2, 0}, SuccessType::FAILURE},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ProcessStateGuard guard;
        QarnoTest::startCache(objPb);
        // f = first coordinate, one PB constraint = second coordinate
        // (h its square when positive).
        auto layers = installedQueue(withCache(true), objPb,
                                     [](const EvalPoint& x)
                                     { return x[0].tostring() + " " + x[2].tostring(); });
        layers.setDisplay = true;
        layers.dimension = 5;
        EvcHarness harness(layers);
        SubspaceAlgorithm algo(FIX_1_3);
        RecordingStep init(&algo.algo, "Init");
        EvcInterface evc(&init);

        auto barrier =
            std::make_shared<Barrier>(INF, Point(3), EvalType::BB,
                                      std::vector<EvalPoint>{makeBBPoint({1, 0, 5}, "1 0", objPb),
                                                             makeBBPoint({0, 9, 5}, "0 9", objPb)});
        barrier->updateRefBests();
        evc.setBarrier(barrier);

        barrier->updateWithPoints({makeBBPoint({0, 0, 5}, "0 0", objPb)}, EvalType::BB, false);
        barrier->updateRefBests();
        barrier->setHMax(2);

        evc.keepPointsThatNeedEval(trialPoints({c.trial}), false);
        EXPECT_EQ(c.expected, evc.startEvaluation());
    }
}

TEST(EvcInterface, EvaluatedPointsComeBackInSubSpace)
{
    ProcessStateGuard guard;
    EvcHarness installed(installedQueue(withCache(true)));
    SubspaceAlgorithm algo(FIX_1_3);
    RecordingStep init(&algo.algo, "Init");
    EvcInterface evc(&init);

    // The run writes statistics lines, which need display parameters.
    OutputQueue::getInstance()->initParameters(QarnoTest::makeDisplayParameters(5, 2, ""));
    evc.keepPointsThatNeedEval(trialPoints({{1, 3, 5}, {0, 0, 0}}), false);
    evc.startEvaluation();
    EXPECT_EQ((Coords{{0, 2, 0, 4, 0}, {1, 2, 3, 4, 5}}),
              [&]
              {
                  auto c = installed.evaluator->evaluatedPoints();
                  std::sort(c.begin(), c.end());
                  return c;
              }());
    auto evaluated = evc.retrieveAllEvaluatedPoints();
    std::sort(evaluated.begin(), evaluated.end(),
              [](const EvalPoint& a, const EvalPoint& b) { return Point::weakLess(a, b); });
    EXPECT_EQ((Coords{{0, 0, 0}, {1, 3, 5}}), coordsOf(evaluated));
    EXPECT_DOUBLE_EQ(1.0, evaluated[1].getF().todouble());
}

TEST(EvcInterface, MegaSearchPollNamesTheIterationOfItsPoints)
{
    ProcessStateGuard guard;
    EvcHarness installed(installedQueue(withCache(true)));
    SubspaceAlgorithm algo(FIX_1_3);
    auto mesh = std::make_shared<FixedMesh>(makeCheckedPbParams(3));
    mesh->setDeltas(makeArray({0.5, 0.25, 1}), makeArray({1, 0.5, 2}));
    TestIteration iteration(&algo.algo, 7, mesh);
    FakeMegaSearchPoll megaSearchPoll(&algo.algo, &iteration);

    EvcInterface evc(&megaSearchPoll);
    evc.keepPointsThatNeedEval(trialPoints({{1, 3, 5}, {0, 0, 0}, {2, 2, 2}}), true);
    // Gathered points may come from different iterations: asked per point.
    EXPECT_EQ(3u, megaSearchPoll.questions);
    for (const auto& q : drainQueue(*installed.evc))
    {
        EXPECT_EQ(7u, q->getK());
        EXPECT_EQ(makeArray({0.5, 0.25, 1}), q->getMeshSize());
    }
}

TEST(EvcInterface, ReportsWhatItCannotWorkWith)
{
    ProcessStateGuard guard;
    EvcHarness installed(installedQueue(withCache(true)));
    SubspaceAlgorithm algo(FIX_1_3);
    RecordingStep lonely(&algo.algo, "Lonely");
    FakeMegaSearchPoll lost(&algo.algo, nullptr);

    struct Case
    {
        const char* label;
        std::function<void()> op;
        std::string message;
    };
    const Case cases[] = {
        {"null step", [] { EvcInterface evc(nullptr); },
         "Step for EvcInterface should not be NULL"},
        {"no iteration above",
         [&]
         {
             EvcInterface evc(&lonely);
             evc.keepPointsThatNeedEval(TrialPoints(), true);
         },
         "Lonely: In keepPointsThatNeedEval: need a parent of type Iteration or MegaSearchPoll"},
        {"no iteration for the point",
         [&]
         {
             EvcInterface evc(&lost);
             evc.keepPointsThatNeedEval(trialPoints({{1, 3, 5}}), true);
         },
         "MegaSearchPoll: In keepPointsThatNeedEval: Could not determine iteration for point "
         "#1 ( 1 2 3 4 5 )"},
        {"queue removed after construction",
         [&]
         {
             EvcInterface evc(&lonely);
             EvcInterface::setEvaluatorControl(nullptr);
             evc.keepPointsThatNeedEval(TrialPoints(), false);
         },
         "Lonely: EvaluatorControl not found"},
        {"no queue", [&] { EvcInterface evc(&lonely); },
         "EvaluatorControl for EvcInterface should not be NULL"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.message, messageOf(c.op));
    }
    EXPECT_EQ(0u, installed.evc->getQueueSize(-1));
}

TEST(EvcInterface, SinglePointIsEvaluatedInFullSpaceAndReturnedInSubSpace)
{
    // Outside the queue and, here, without the cache (which would have to
    // know the point first).
    ProcessStateGuard guard;
    EvcHarness installed(installedQueue(withCache(false)));
    SubspaceAlgorithm algo(FIX_1_3);
    RecordingStep init(&algo.algo, "Init");
    EvcInterface evc(&init);

    EvalPoint point(Point(makeArray({7, 3, 5})));
    EXPECT_TRUE(evc.evalSinglePoint(point, INF));
    EXPECT_EQ((Coords{{7, 2, 3, 4, 5}}), installed.evaluator->evaluatedPoints());
    EXPECT_EQ((Coords{{7, 3, 5}}), coordsOf({point}));
    EXPECT_DOUBLE_EQ(7.0, point.getF().todouble());
}

TEST(EvcInterface, PlacementFollowsTheProblemsParameters)
{
    // The placement is kept from step to step: a change of the problem's
    // granularity, or another problem, must place the next points on the
    // new grids, not on those that were read first.
    ProcessStateGuard guard;
    EvcHarness installed(installedQueue(withCache(true)));
    const auto makePb = [](double granularity)
    {
        QarnoTest::StepTreeOptions options;
        options.dimension = 2;
        options.lowerBound = {-10, -10};
        options.upperBound = {10, 10};
        options.setPb = [granularity](PbParameters& pb) {
            pb.setAttributeValue<ArrayOfDouble>("GRANULARITY",
                                                makeArray({granularity, granularity}));
        };
        return QarnoTest::makeTreePbParams(options);
    };
    const auto queueOne = [&](const std::shared_ptr<PbParameters>& pb, double x)
    {
        RecordingStep main("Main");
        QarnoTest::TestAlgorithm algo(&main, "Algo", QarnoTest::makeRunParams(pb), pb);
        RecordingStep init(&algo, "Init");
        EvcInterface evc(&init);
        TrialPoints points;
        points.insert(EvalPoint(Point(makeArray({x, x}))));
        evc.keepPointsThatNeedEval(std::move(points), false);
        return coordsOfQueue(drainQueue(*installed.evc));
    };
    const auto half = makePb(0.5);
    EXPECT_EQ((Coords{{1, 1}}), queueOne(half, 1.2));
    EXPECT_TRUE(EvcInterface::keepsPointPlacement());
    // The same set, changed.
    half->setAttributeValue<ArrayOfDouble>("GRANULARITY", makeArray({0.1, 0.1}));
    half->checkAndComply();
    EXPECT_EQ((Coords{{1.2, 1.2}}), queueOne(half, 1.2));
    // Another set.
    EXPECT_EQ((Coords{{1.25, 1.25}}), queueOne(makePb(0.25), 1.2));
}

TEST(EvcInterface, PointsWithoutGridsArePlacedWithinTheirBounds)
{
    // Without granularity a point inside its bounds, or on them, is queued
    // as it is, with its tag; one outside goes onto the bound, with a new
    // tag unless it was within epsilon of it.
    ProcessStateGuard guard;
    struct Case
    {
        std::vector<double> given;
        std::vector<double> queued;
        bool keepsTag;
    };
    const std::vector<Case> cases = {
        {{1, 2}, {1, 2}, true},
        {{-10, 10}, {-10, 10}, true},
        {{10 + 1e-9, 0}, {10, 0}, false},
        {{10 + 1e-14, 1}, {10, 1}, true},
    };
    Coords given;
    for (const auto& c : cases)
    {
        given.push_back(c.given);
    }
    const Placed placed = placeInSquare(given, {});
    const Coords queuedCoords = coordsOfQueue(placed.queued);
    ASSERT_EQ(cases.size(), placed.queued.size());
    for (size_t k = 0; k < cases.size(); ++k)
    {
        SCOPED_TRACE(k);
        const auto at = std::find(queuedCoords.begin(), queuedCoords.end(), cases[k].queued);
        ASSERT_NE(queuedCoords.end(), at);
        const size_t tag = placed.queued[static_cast<size_t>(at - queuedCoords.begin())]->getTag();
        EXPECT_EQ(cases[k].keepsTag, tag == placed.givenTags[k]);
    }
}

TEST(EvcInterface, EachPointIsPlacedOnTheGridsByItsOwnNumbers)
{
    // The points of one call share most coordinates, whose placement is
    // found once; numbers an ulp or two apart on either side of a midpoint
    // of the grid still go to different grid points, and only a point moved
    // by more than epsilon gets a new tag.
    ProcessStateGuard guard;
    const double below = 1.25 - 1e-14;
    const double above = 1.25 + 1e-14;
    const Placed placed = placeInSquare(
        {{below, 3}, {above, 3}, {above, 3.5}, {-20, 3.5}, {2, 4}, {2 + 1e-14, 4.5}}, {0.5, 0.5});
    // (-20, 3.5) snaps onto the lower bound.
    EXPECT_EQ((Coords{{-10, 3.5}, {1, 3}, {1.5, 3}, {1.5, 3.5}, {2, 4}, {2, 4.5}}),
              coordsOfQueue(placed.queued));
    ASSERT_EQ(6u, placed.queued.size());
    for (const auto& q : placed.queued)
    {
        const bool moved = (q->display().find("( 2 ") == std::string::npos);
        EXPECT_EQ(moved ? 0 : 1,
                  std::count(placed.givenTags.begin(), placed.givenTags.end(), q->getTag()))
            << q->display();
    }
}
