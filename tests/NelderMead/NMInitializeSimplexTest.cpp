// Creation of the Nelder-Mead simplex from evaluated points: the include
// rectangle, the greedy choice by rank, the stop messages of a failed
// creation and the exceptions of an inconsistent iteration.

#include <algorithm>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "Algos/NelderMead/NMInitializeSimplex.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/Barrier.hpp"
#include "Math/ArrayOfDouble.hpp"
#include "Output/OutputQueue.hpp"
#include "support/CacheSupport.hpp"
#include "support/EvcSupport.hpp"
#include "support/MadsSupport.hpp"
#include "support/NMRunSupport.hpp"
#include "support/NMSupport.hpp"
#include "support/StepSupport.hpp"
#include "support/StepTree.hpp"
#include "support/TestSupport.hpp"

namespace
{

using namespace QARNO_4_0_0;
using QarnoTest::cacheNMPoint;
using QarnoTest::coordsOf;
using QarnoTest::EvcHarness;
using QarnoTest::EvcOptions;
using QarnoTest::makeNMParameters;
using QarnoTest::messageOf;
using QarnoTest::ProcessStateGuard;
using QarnoTest::StepTree;

using Points = std::vector<std::vector<double>>;

struct Creation
{
    bool result = false;
    std::string out;
};

/// start, run and end of a simplex creation under the frame's iteration.
Creation createSimplex(StepTree& frame)
{
    Creation creation;
    NMInitializeSimplex create(&frame.iteration);
    creation.out = QarnoTest::infoMessagesOf(
        [&]
        {
            create.start();
            creation.result = create.run();
            create.end();
        });
    return creation;
}

/// A creation below the information level, where the candidates come from
/// the cache's rankings.
bool createQuietly(StepTree& frame)
{
    OutputQueue::getInstance()->setDisplayDegree(2);
    NMInitializeSimplex create(&frame.iteration);
    create.start();
    const bool result = create.run();
    create.end();
    return result;
}

/// A creation with its information messages shown, or a quiet one.
bool createShownOrQuiet(StepTree& frame, bool showInfo)
{
    return showInfo ? createSimplex(frame).result : createQuietly(frame);
}

bool contains(const std::string& text, const std::string& part)
{
    return std::string::npos != text.find(part);
}

std::shared_ptr<MeshBase> meshWithFrameSize(const std::shared_ptr<AllParameters>& params,
                                            const std::vector<double>& frameSize)
{
    auto mesh = std::make_shared<QarnoTest::FixedMesh>(params->get_pb_params());
    mesh->setDeltas(ArrayOfDouble(frameSize.size(), 0.1), QarnoTest::makeArray(frameSize));
    return mesh;
}

TEST(NMInitializeSimplex, GreedyByRankInsideTheIncludeRectangle)
{
    struct Case
    {
        std::string name;
        std::vector<std::string> lines;
        /// Empty: no mesh (Nelder-Mead alone).
        std::vector<double> frameSize;
        size_t nbCandidates;
        Points Y;
    };
    const double nan = QarnoTest::UNDEF;
    const std::vector<Case> cases = {
        // Frame size (0.5, 1) times 8: |x1| <= 4, |x2| <= 8. ( 2 0 ) comes
        // before ( 1 8 ) but is on the line of the first two points: it is
        // dropped for good.
        {"inside MADS: 8 times the frame size", {}, {0.5, 1}, 5, {{4, 0}, {3, 0}, {1, 8}}},
        {"factor 0: the include length",
         {"NM_SIMPLEX_INCLUDE_FACTOR 0", "NM_SIMPLEX_INCLUDE_LENGTH 4.5"},
         {0.5, 1},
         5,
         {{4.5, 1}, {4, 0}, {3, 0}}},
        // A coordinate without frame size is not limited by the frame.
        {"frame size partly undefined", {}, {nan, 1}, 6, {{4.5, 1}, {4, 0}, {3, 0}}},
        {"alone: every point", {}, {}, 7, {{4.5, 1}, {0, 8.5}, {4, 0}}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard guard;
        EvcHarness algoRun;
        const bool withMesh = !c.frameSize.empty();
        const auto params = makeNMParameters(2, !withMesh, c.lines);
        const EvalPoint center = cacheNMPoint({0, 0}, 5);
        cacheNMPoint({4, 0}, 1);
        cacheNMPoint({3, 0}, 1.2);
        cacheNMPoint({2, 0}, 1.5);
        cacheNMPoint({1, 8}, 2);
        cacheNMPoint({4.5, 1}, 0);
        cacheNMPoint({0, 8.5}, 0.5);

        StepTree frame(QarnoTest::nmIterationTree(
            params, QarnoTest::barrierFromCache(2), std::make_shared<EvalPoint>(center),
            withMesh ? meshWithFrameSize(params, c.frameSize) : nullptr));
        const Creation creation = createSimplex(frame);
        EXPECT_TRUE(creation.result) << creation.out;
        EXPECT_TRUE(contains(creation.out, "Number of potential points to include in initial Y: " +
                                               std::to_string(c.nbCandidates)))
            << creation.out;
        EXPECT_EQ(c.Y, coordsOf(frame.Y().points()));
        EXPECT_EQ("Started", QarnoTest::nmStopReasonText(frame.algo));
    }
}

TEST(NMInitializeSimplex, DebugDisplayOfTheChoice)
{
    ProcessStateGuard guard;
    EvcHarness algoRun;
    const auto params = makeNMParameters(2, true);
    const EvalPoint center = cacheNMPoint({0, 0}, 5);
    cacheNMPoint({4, 0}, 1);
    cacheNMPoint({2, 0}, 2);
    cacheNMPoint({3, 0}, 3);
    cacheNMPoint({1, 8}, 4);
    cacheNMPoint({4.5, 1}, 6);
    cacheNMPoint({0, 8.5}, 7);
    StepTree frame(QarnoTest::nmIterationTree(params, QarnoTest::barrierFromCache(2),
                                              std::make_shared<EvalPoint>(center)));
    NMInitializeSimplex create(&frame.iteration);
    bool result = false;
    const std::string out = QarnoTest::debugMessagesOf(
        [&]
        {
            create.start();
            result = create.run();
            create.end();
        });
    EXPECT_TRUE(result);
    EXPECT_EQ((Points{{4, 0}, {2, 0}, {1, 8}}), coordsOf(frame.Y().points()));
    const std::vector<std::string> lines = QarnoTest::linesOf(out);
    const auto count = [&lines](const std::string& part)
    {
        size_t n = 0;
        for (const auto& line : lines)
        {
            n += contains(line, part) ? 1 : 0;
        }
        return n;
    };
    EXPECT_EQ(1u, count("Insertion of potential points to include in initial Y: "));
    // Four candidates listed, then "...".
    size_t ellipses = 0;
    for (const auto& line : lines)
    {
        ellipses += (line.find_first_not_of(' ') != std::string::npos &&
                     line.substr(line.find_first_not_of(' ')) == "...")
                        ? 1
                        : 0;
    }
    EXPECT_EQ(1u, ellipses);
    EXPECT_EQ(1u, count("Proceed to simplex creation"));
    EXPECT_EQ(1u, count("k=0: Point z0:#"));
    EXPECT_EQ(1u, count(" ---> z0 KEPT in Y "));
    EXPECT_EQ(1u, count("k=1: Point zk:#"));
    // ( 3 0 ) is tried as the third point and dropped; ( 1 8 ) takes k = 2.
    EXPECT_EQ(2u, count("k=2: Point zk:#"));
    EXPECT_EQ(1u, count(" ---> zk NOT KEPT in Y "));
    EXPECT_EQ(2u, count(" ---> zk KEPT in Y "));
    EXPECT_EQ(0u, count("The include rectangle: "));
}

TEST(NMInitializeSimplex, CandidatesMustBeEvaluatedWithCompleteOutputs)
{
    ProcessStateGuard guard;
    EvcHarness algoRun;
    const auto params = makeNMParameters(2, true);
    const EvalPoint center = cacheNMPoint({0, 0}, 5);
    cacheNMPoint({1, 0}, 4);
    // Better, but failed or without its constraint value.
    EvalPoint failed = QarnoTest::makeMadsPoint({0, 1}, 0, 0);
    failed.setEvalStatus(EvalStatusType::EVAL_FAILED, EvalType::BB);
    failed.updateTag();
    CacheBase::getInstance()->insert(failed);
    EvalPoint incomplete =
        QarnoTest::makeBBPoint({0, 2}, "-1 -", {BBOutputType::OBJ, BBOutputType::PB});
    incomplete.updateTag();
    CacheBase::getInstance()->insert(incomplete);
    cacheNMPoint({0, 3}, 3);

    StepTree frame(QarnoTest::nmIterationTree(params, QarnoTest::barrierFromCache(2),
                                              std::make_shared<EvalPoint>(center)));
    const Creation creation = createSimplex(frame);
    EXPECT_TRUE(creation.result) << creation.out;
    EXPECT_TRUE(contains(creation.out, "Number of potential points to include in initial Y: 3"))
        << creation.out;
    EXPECT_EQ((Points{{0, 3}, {1, 0}, {0, 0}}), coordsOf(frame.Y().points()));
}

TEST(NMInitializeSimplex, FeasibleCandidatesComeFirst)
{
    // The simplex order separates a feasible from an infeasible point only
    // by their tags; the candidates are taken feasible first.
    ProcessStateGuard guard;
    EvcHarness algoRun;
    const auto params = makeNMParameters(2, true);
    cacheNMPoint({1, 0}, -10, 1);
    cacheNMPoint({3, 3}, -20, 2);
    const EvalPoint center = cacheNMPoint({0, 0}, 5);
    cacheNMPoint({0, 1}, 3);
    cacheNMPoint({2, 2}, 4);
    StepTree frame(QarnoTest::nmIterationTree(params, QarnoTest::barrierFromCache(2),
                                              std::make_shared<EvalPoint>(center)));
    const Creation creation = createSimplex(frame);
    EXPECT_TRUE(creation.result) << creation.out;
    EXPECT_EQ((Points{{0, 1}, {2, 2}, {0, 0}}), coordsOf(frame.Y().points()));
}

TEST(NMInitializeSimplex, ACandidateWithinEpsilonOfTheWorstKeptFIsPlacedByTag)
{
    // The candidates come by f; in Y, f within Double's epsilon (1e-13)
    // ties, and ties go by tag: ( 1 0 ), tried after ( 0 1 ) but cached
    // before it, then goes before it.
    const struct
    {
        const char* label;
        double gap;
        Points Y;
    } cases[] = {
        {"f further apart than epsilon", 2e-13, {{0, 0}, {0, 1}, {1, 0}}},
        {"f within epsilon", 0.5e-13, {{0, 0}, {1, 0}, {0, 1}}},
    };
    // f to the last bit: the output text of the usual helper rounds it.
    const auto cacheExactly = [](const std::vector<double>& x, double f)
    {
        EvalPoint point(Point(QarnoTest::makeArray(x)));
        const BBOutputTypeList types = {BBOutputType::OBJ};
        point.setBBO(Double(f).roundTripString(), types, EvalType::BB, true);
        point.recomputeFH(types);
        point.setNumberEval(1);
        point.updateTag();
        CacheBase::getInstance()->insert(point);
        return point;
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ProcessStateGuard guard;
        EvcHarness algoRun;
        const auto params = makeNMParameters(2, true);
        const EvalPoint center = cacheExactly({0, 0}, 0);
        cacheExactly({1, 0}, 1);
        cacheExactly({0, 1}, 1 - c.gap);
        StepTree frame(QarnoTest::nmIterationTree(params, QarnoTest::barrierFromCache(2),
                                                  std::make_shared<EvalPoint>(center)));
        EXPECT_TRUE(createQuietly(frame));
        EXPECT_EQ(c.Y, coordsOf(frame.Y().points()));
    }
}

TEST(NMInitializeSimplex, InfeasibleCandidateCompletesTheSimplex)
{
    // The feasible points are collinear: the infeasible one, tried last,
    // completes the simplex, where the order of tags puts it first.
    ProcessStateGuard guard;
    EvcHarness algoRun;
    const auto params = makeNMParameters(2, true);
    cacheNMPoint({1, 0}, -10, 1);
    const EvalPoint center = cacheNMPoint({0, 0}, 5);
    cacheNMPoint({0, 1}, 3);
    cacheNMPoint({0, 2}, 4);
    StepTree frame(QarnoTest::nmIterationTree(params, QarnoTest::barrierFromCache(2),
                                              std::make_shared<EvalPoint>(center)));
    const Creation creation = createSimplex(frame);
    EXPECT_TRUE(creation.result) << creation.out;
    EXPECT_EQ((Points{{1, 0}, {0, 1}, {0, 2}}), coordsOf(frame.Y().points()));
}

TEST(NMInitializeSimplex, OnlyPointsOfTheSubproblemAreCandidates)
{
    // Variable 2 is fixed to 7: cached points with another value belong to
    // another sub-problem, however good and close they are.
    ProcessStateGuard guard;
    EvcHarness algoRun(algorithmHarness(EvcOptions(), EvalType::BB, 3));
    const auto params = makeNMParameters(3, true, {"X0 ( 0 0 7 )", "FIXED_VARIABLE ( - - 7 )"});
    cacheNMPoint({0, 0, 7}, 5);
    cacheNMPoint({1, 0, 7}, 4);
    cacheNMPoint({0, 1, 7}, 3);
    cacheNMPoint({0.5, 0.5, 7}, 2);
    cacheNMPoint({1, 1, 6}, -1);
    cacheNMPoint({2, 0, 8}, -2);
    const auto barrier = std::make_shared<Barrier>(
        Double(std::numeric_limits<double>::max()),
        Point(QarnoTest::makeArray({QarnoTest::UNDEF, QarnoTest::UNDEF, 7})), EvalType::BB);
    StepTree frame(QarnoTest::nmIterationTree(
        params, barrier, std::make_shared<EvalPoint>(*barrier->getFirstXFeas())));
    const Creation creation = createSimplex(frame);
    EXPECT_TRUE(creation.result) << creation.out;
    EXPECT_TRUE(contains(creation.out, "Number of potential points to include in initial Y: 4"))
        << creation.out;
    // ( 1 0 ) is on the line of the first two points.
    EXPECT_EQ((Points{{0.5, 0.5}, {0, 1}, {0, 0}}), coordsOf(frame.Y().points()));
}

TEST(NMInitializeSimplex, TheCacheWalkedBestFirstGivesTheChoiceOfTheListOfEveryCandidate)
{
    // Without the information level the candidates come from the cache's
    // rankings, best first, and only as many as the choice takes; with it,
    // from the list of every candidate that the messages describe. Both must
    // offer the same candidates in the same order: ties of f by tag (the
    // tags below run against the cache order), better points outside the
    // include rectangle skipped, infeasible points after the feasible ones,
    // candidates on the line of the kept ones dropped.
    struct Cached
    {
        std::vector<double> x;
        double f;
        double c;
    };
    struct Case
    {
        std::string name;
        std::vector<Cached> points; // the first is the frame centre
        std::vector<double> frameSize;
        bool created;
    };
    const std::vector<Case> cases = {
        {"ties of f against the cache order",
         {{{0, 0}, 1, 0}, {{0, 2}, 1, 0}, {{0, 1}, 1, 0}, {{2, 0}, 1, 0}, {{1, 1}, 1, 0}},
         {0.5, 0.5},
         true},
        {"better points outside the rectangle",
         {{{0, 0}, 5, 0}, {{9, 9}, -9, 0}, {{1, 0}, 4, 0}, {{-9, 0}, -8, 0}, {{0, 1}, 3, 0}},
         {0.25, 0.25},
         true},
        {"infeasible points by h after the feasible ones",
         {{{0, 0}, 5, 0}, {{1, 0}, -10, 1}, {{0, 1}, 3, 0}, {{0, 2}, 4, 0}, {{1, 1}, -20, 0.5}},
         {},
         true},
        {"collinear candidates dropped",
         {{{0, 0}, 5, 0}, {{1, 0}, 1, 0}, {{2, 0}, 2, 0}, {{3, 0}, 3, 0}, {{1, 3}, 4, 0}},
         {},
         true},
        {"every candidate on one line",
         {{{0, 0}, 5, 0}, {{1, 1}, 1, 0}, {{2, 2}, 2, 0}, {{3, 3}, 3, 0}},
         {},
         false},
        {"too few candidates in the rectangle",
         {{{0, 0}, 5, 0}, {{0.1, 0}, 1, 0}, {{3, 3}, 2, 0}, {{-3, 2}, 3, 0}},
         {0.1, 0.1},
         false},
    };
    struct Outcome
    {
        bool result;
        Points Y;
        std::string stopReason;
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        std::vector<Outcome> outcomes;
        for (const bool showInfo : {true, false})
        {
            ProcessStateGuard guard;
            EvcHarness algoRun;
            const bool withMesh = !c.frameSize.empty();
            const auto params = makeNMParameters(2, !withMesh);
            std::vector<EvalPoint> cached;
            for (const auto& p : c.points)
            {
                cached.push_back(cacheNMPoint(p.x, p.f, p.c));
            }
            StepTree frame(QarnoTest::nmIterationTree(
                params, QarnoTest::barrierFromCache(2), std::make_shared<EvalPoint>(cached.front()),
                withMesh ? meshWithFrameSize(params, c.frameSize) : nullptr));
            const bool result = createShownOrQuiet(frame, showInfo);
            outcomes.push_back(
                {result, coordsOf(frame.Y().points()), QarnoTest::nmStopReasonText(frame.algo)});
        }
        EXPECT_EQ(c.created, outcomes[0].result);
        EXPECT_EQ(outcomes[0].result, outcomes[1].result);
        EXPECT_EQ(outcomes[0].Y, outcomes[1].Y);
        EXPECT_EQ(outcomes[0].stopReason, outcomes[1].stopReason);
    }
}

TEST(NMInitializeSimplex, RankDecisionsNearTheToleranceFollowTheDecomposition)
{
    // DZ = [(1, 0); (0.5, e)] has the singular values 1.118 and e / 1.118:
    // a candidate (0.5, e) raises the rank beyond the tolerance 1e-13 only
    // for e > 1.118e-13, though its distance to the line of the first two
    // points, e, is above the tolerance from e = 1e-13 on. Far above, the
    // bound of the Gram-Schmidt basis decides; near it, the decomposition.
    const struct
    {
        const char* label;
        double e;
        bool kept;
    } cases[] = {
        {"distance at the tolerance, singular value below", 1.0e-13, false},
        {"distance above the tolerance, singular value below", 1.1e-13, false},
        {"singular value just above the tolerance", 1.2e-13, true},
        {"singular value far above the tolerance", 1e-9, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ProcessStateGuard guard;
        EvcHarness algoRun;
        const auto params = makeNMParameters(2, true);
        const EvalPoint center = cacheNMPoint({0, 0}, 0);
        cacheNMPoint({1, 0}, 1);
        cacheNMPoint({0.5, c.e}, 2);
        cacheNMPoint({0, 1}, 3);
        StepTree frame(QarnoTest::nmIterationTree(params, QarnoTest::barrierFromCache(2),
                                                  std::make_shared<EvalPoint>(center)));
        EXPECT_TRUE(createQuietly(frame));
        const Points expected =
            c.kept ? Points{{0, 0}, {1, 0}, {0.5, c.e}} : Points{{0, 0}, {1, 0}, {0, 1}};
        EXPECT_EQ(expected, coordsOf(frame.Y().points()));
    }
}

/// A point evaluated as "f c" (OBJ PB) with that tag, not cached.
EvalPoint taggedPoint(const std::vector<double>& coords, double f, double c, size_t tag)
{
    EvalPoint point = QarnoTest::makeMadsPoint(coords, f, c);
    point.setTag(tag);
    return point;
}

/// A barrier whose feasible points are those given, all equally good (the
/// simplex is then made from the barrier when the cache is not used).
std::shared_ptr<Barrier> barrierOf(size_t n, const std::vector<EvalPoint>& feasible,
                                   const std::vector<EvalPoint>& infeasible = {})
{
    auto barrier = QarnoTest::barrierFromCache(n);
    barrier->clearXFeas();
    barrier->clearXInf();
    for (const auto& p : feasible)
    {
        barrier->addXFeas(p, EvalType::BB);
    }
    for (const auto& p : infeasible)
    {
        barrier->addXInf(p);
    }
    return barrier;
}

TEST(NMInitializeSimplex, FailedCreationMessages)
{
    struct Case
    {
        std::string name;
        size_t n;
        bool useCache;
        /// Fills the cache; returns the frame centre and the barrier.
        std::function<std::pair<EvalPoint, std::shared_ptr<Barrier>>()> setup;
        std::vector<std::string> messages;
        size_t ySize;
    };
    const std::string notEnoughPoints = "Stop NM because not enough points in Y.";
    const std::string cannotInsert = "Stop NM because cannot insert a point in Y.";
    const std::string cannotGetRank = "Cannot get rank of DZ=[(y1-y0 (y2-y0) ...(yk-y0)].";
    const std::string notEnoughSimplexPoints = "Stop NM because not enough simplex points in Y.";
    const std::string rankBelowN = "Stop NM because rank of Y < n.";
    const std::vector<Case> cases = {
        {"fewer candidates than n + 1",
         2,
         true,
         []
         {
             const EvalPoint c = cacheNMPoint({0, 0}, 1);
             cacheNMPoint({1, 0}, 2);
             return std::make_pair(c, QarnoTest::barrierFromCache(2));
         },
         {notEnoughPoints},
         0},
        {"collinear candidates",
         2,
         true,
         []
         {
             const EvalPoint c = cacheNMPoint({0, 0}, 1);
             cacheNMPoint({1, 0}, 2);
             cacheNMPoint({2, 0}, 3);
             return std::make_pair(c, QarnoTest::barrierFromCache(2));
         },
         {notEnoughSimplexPoints},
         2},
        {"two candidates the order cannot tell apart",
         2,
         true,
         []
         {
             const EvalPoint c = cacheNMPoint({0, 0}, 1);
             EvalPoint twin = QarnoTest::makeMadsPoint({1, 1}, 1, 0);
             twin.setTag(c.getTag());
             CacheBase::getInstance()->insert(twin);
             cacheNMPoint({5, 0}, 3);
             return std::make_pair(c, QarnoTest::barrierFromCache(2));
         },
         {cannotInsert, notEnoughSimplexPoints},
         1},
        {"second point on the first, n = 2",
         2,
         false,
         []
         {
             const EvalPoint a = taggedPoint({0, 0}, 1, 0, 1);
             const EvalPoint b = taggedPoint({1e-14, 0}, 1, 0, 2);
             const EvalPoint far = taggedPoint({5, 5}, 1, 2, 3);
             cacheNMPoint({9, 9}, 9);
             return std::make_pair(a, barrierOf(2, {a, b}, {far}));
         },
         {cannotGetRank, notEnoughSimplexPoints},
         2},
        {"second point on the first, n = 1",
         1,
         false,
         []
         {
             const EvalPoint a = taggedPoint({0}, 1, 0, 1);
             const EvalPoint b = taggedPoint({1e-14}, 1, 0, 2);
             cacheNMPoint({9}, 9);
             return std::make_pair(a, barrierOf(1, {a, b}));
         },
         {cannotGetRank, rankBelowN},
         2},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard guard;
        EvcOptions options;
        options.useCache = c.useCache;
        EvcHarness algoRun(algorithmHarness(options, EvalType::BB, c.n));
        const auto params = makeNMParameters(c.n, true);
        const auto [center, barrier] = c.setup();
        StepTree frame(
            QarnoTest::nmIterationTree(params, barrier, std::make_shared<EvalPoint>(center)));
        const Creation creation = createSimplex(frame);

        EXPECT_FALSE(creation.result);
        EXPECT_EQ("Initialization has failed", QarnoTest::nmStopReasonText(frame.algo));
        EXPECT_EQ(c.ySize, frame.Y().size());
        size_t from = 0;
        for (const auto& message : c.messages)
        {
            const size_t at = creation.out.find(message, from);
            EXPECT_NE(std::string::npos, at) << message << "\n" << creation.out;
            from = (std::string::npos == at) ? from : at;
        }
        for (const auto& other :
             {notEnoughPoints, cannotInsert, cannotGetRank, notEnoughSimplexPoints, rankBelowN})
        {
            if (std::find(c.messages.begin(), c.messages.end(), other) == c.messages.end())
            {
                EXPECT_FALSE(contains(creation.out, other)) << other;
            }
        }
    }
}

TEST(NMInitializeSimplex, InconsistentIterationThrows)
{
    struct Case
    {
        std::string name;
        std::vector<std::string> lines;
        bool withCenter;
        bool centerComplete;
        std::vector<double> frameSize;
        std::string message;
    };
    const double nan = QarnoTest::UNDEF;
    const std::vector<Case> cases = {
        {"no frame centre", {}, false, true, {}, "A center point must be defined."},
        {"frame centre with an undefined output",
         {},
         true,
         false,
         {},
         "A center point must have all output defined for functions (OBJ, PB, EB)."},
        {"frame size undefined", {}, true, true, {nan, nan}, "The frame size is not defined."},
        {"include length 0",
         {"NM_SIMPLEX_INCLUDE_LENGTH 0"},
         true,
         true,
         {},
         "The include rectangle has no volume"},
        {"frame size 0", {}, true, true, {0, 0}, "The include rectangle has no volume"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard guard;
        EvcHarness algoRun;
        const auto params = makeNMParameters(2, c.frameSize.empty(), c.lines);
        const EvalPoint center =
            c.centerComplete
                ? cacheNMPoint({0, 0}, 1)
                : QarnoTest::makeBBPoint({0, 0}, "1 -", {BBOutputType::OBJ, BBOutputType::PB});
        cacheNMPoint({1, 0}, 2);
        cacheNMPoint({0, 1}, 3);
        StepTree frame(QarnoTest::nmIterationTree(
            params, QarnoTest::barrierFromCache(2),
            c.withCenter ? std::make_shared<EvalPoint>(center) : nullptr,
            c.frameSize.empty() ? nullptr : meshWithFrameSize(params, c.frameSize)));
        NMInitializeSimplex create(&frame.iteration);
        std::string file;
        EXPECT_EQ(c.message, messageOf([&] { create.run(); }, &file));
        EXPECT_EQ("src/Algos/NelderMead/NMInitializeSimplex", file);
    }
}

TEST(NMInitializeSimplex, ParentMustBeANelderMeadIterationWithASimplex)
{
    ProcessStateGuard guard;
    EvcHarness algoRun;
    QarnoTest::StepTree frame(QarnoTest::nmStepTree(2));
    {
        NMInitializeSimplex create(&frame.iteration);
        EXPECT_EQ("The simplex initialization must have a NMIteration Step as parent",
                  messageOf([&] { create.run(); }));
    }
    QarnoTest::TestIteration noSimplex(&frame.mega, 0);
    NMInitializeSimplex create(&noSimplex);
    EXPECT_EQ("The simplex is not defined.", messageOf([&] { create.run(); }));
}

TEST(NMInitializeSimplex, LaterRunsKeepTheSimplex)
{
    ProcessStateGuard guard;
    EvcHarness algoRun;
    const auto params = makeNMParameters(2, true);
    const EvalPoint center = cacheNMPoint({0, 0}, 1);
    cacheNMPoint({1, 0}, 2);
    cacheNMPoint({0, 1}, 3);
    StepTree frame(QarnoTest::nmIterationTree(params, QarnoTest::barrierFromCache(2),
                                              std::make_shared<EvalPoint>(center)));
    ASSERT_TRUE(createSimplex(frame).result);
    const Points first = coordsOf(frame.Y().points());
    // A better point comes along; the simplex of the iteration stays.
    cacheNMPoint({-1, -1}, -5);
    const Creation second = createSimplex(frame);
    EXPECT_TRUE(second.result);
    EXPECT_TRUE(contains(second.out, "Simplex already initialized: 3 points")) << second.out;
    EXPECT_EQ(first, coordsOf(frame.Y().points()));
}

} // namespace
