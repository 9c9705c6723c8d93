// The evaluation queue itself: main threads, what it refuses to queue, the
// index of queued points, the order in which points leave it (first in,
// first out; by last successful direction; random; a user's order), the
// blocks it makes, clearing, a global parameter set left unchecked, and
// what is left at destruction.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "Algos/ProcessState.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/ComparePriority.hpp"
#include "Eval/EvalQueuePoint.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/Direction.hpp"
#include "Math/Double.hpp"
#include "Math/Point.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/Parameters.hpp"
#include "support/CacheSupport.hpp"
#include "support/EvalSupport.hpp"
#include "support/EvcSupport.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::CerrCapture;
using QarnoTest::coordsOf;
using QarnoTest::EvcHarness;
using QarnoTest::EvcOptions;
using QarnoTest::makeArray;
using QarnoTest::makeEvalPoint;
using QarnoTest::makeQueuePoint;
using QarnoTest::messageOf;
using QarnoTest::ProcessStateGuard;
using QarnoTest::UNDEF;

namespace
{

using Coords = std::vector<double>;
using Blocks = std::vector<std::vector<Coords>>;

const BBOutputTypeList OBJ_ONLY = {BBOutputType::OBJ};
const double EPS = Double::DEFAULT_EPSILON;

EvcOptions withBlockSize(size_t blockSize, bool opportunistic = false)
{
    EvcOptions options;
    options.bbMaxBlockSize = blockSize;
    options.opportunistic = opportunistic;
    return options;
}

/// Takes every block out of the queue, as the run loop does.
Blocks popAll(EvaluatorControl& evc)
{
    Blocks blocks;
    std::vector<std::shared_ptr<EvalQueuePoint>> block;
    while (evc.popBlock(block))
    {
        blocks.emplace_back();
        for (const auto& point : block)
        {
            blocks.back().push_back(coordsOf({*point})[0]);
        }
        block.clear();
    }
    return blocks;
}

/// The coordinates in the order the blocks give them.
std::vector<Coords> flatten(const Blocks& blocks)
{
    std::vector<Coords> all;
    for (const auto& block : blocks)
    {
        all.insert(all.end(), block.begin(), block.end());
    }
    return all;
}

/// A barrier of dimension 2 whose reference is a feasible point of f 10,
/// with that hMax.
std::shared_ptr<Barrier> barrierWithHMax(double hMax)
{
    auto barrier = std::make_shared<Barrier>(Double(hMax), Point(2), EvalType::BB,
                                             std::vector<EvalPoint>{makeEvalPoint({9, 9}, 10, 0)});
    barrier->updateRefBests();
    return barrier;
}

class EvaluatorControlTest : public ::testing::Test
{
protected:
    ProcessStateGuard _guard;
};

TEST_F(EvaluatorControlTest, OnlyRegisteredMainThreadsAreServed)
{
    QarnoTest::startCache(OBJ_ONLY);
    EvaluatorControl bare(QarnoTest::makeEvcGlobalParameters(EvcOptions()));
    std::string file;
    EXPECT_EQ("Thread 0 is not a main thread. EvaluatorControl::getMainThreadInfo called with "
              "argument threadNum = -1",
              messageOf([&] { bare.getMainThreadInfo(-1); }, &file));
    EXPECT_EQ("src/Eval/EvaluatorControl", file);
    EXPECT_EQ("Error: EvaluatorControl::unlockQueue called from thread 0, which is not a main "
              "thread.",
              messageOf([&] { bare.unlockQueue(true); }));
    // Nothing can ever feed a queue that has no main thread: run() returns
    // at once instead of waiting for it.
    EXPECT_EQ(SuccessType::FAILURE, bare.run());

    EvcHarness h(EvcOptions(), OBJ_ONLY, QarnoTest::firstCoordinateObjective());
    EXPECT_EQ(std::set<int>{0}, h.evc->getMainThreads());
    EXPECT_EQ("Thread 7 is not a main thread. EvaluatorControl::getMainThreadInfo called with "
              "argument threadNum = 7",
              messageOf([&] { h.evc->getQueueSize(7); }));
    auto stranger = makeQueuePoint({1, 2});
    stranger->setThreadAlgo(3);
    EXPECT_EQ("Thread 3 is not a main thread. EvaluatorControl::getMainThreadInfo called with "
              "argument threadNum = 3",
              messageOf([&] { h.evc->addToQueue(stranger); }));
    EXPECT_EQ(0u, h.evc->getQueueSize(-1));
}

TEST_F(EvaluatorControlTest, AddToQueueRefusesWhatIsQueuedOrUnderWay)
{
    enum class Before
    {
        NOTHING,
        QUEUED,
        QUEUED_EVALUATED, // the queued copy carries a blackbox evaluation
        CACHED
    };
    const struct
    {
        const char* label;
        bool useCache;
        Before before;
        Coords first; // coordinates queued or cached before
        EvalStatusType cachedStatus;
        Coords second; // coordinates offered then
        bool accepted;
    } cases[] = {
        {"same point queued, cache used",
         true,
         Before::QUEUED,
         {1, 2},
         EvalStatusType::EVAL_OK,
         {1, 2},
         false},
        {"same point queued, no cache",
         false,
         Before::QUEUED,
         {1, 2},
         EvalStatusType::EVAL_OK,
         {1, 2},
         true},
        {"queued within the same epsilon cell",
         true,
         Before::QUEUED,
         {1, 2},
         EvalStatusType::EVAL_OK,
         {1, 2 + EPS / 4},
         false},
        {"queued two epsilons apart",
         true,
         Before::QUEUED,
         {1, 2},
         EvalStatusType::EVAL_OK,
         {1, 2 + 2 * EPS},
         true},
        {"same coordinates, other evaluation",
         true,
         Before::QUEUED_EVALUATED,
         {1, 2},
         EvalStatusType::EVAL_OK,
         {1, 2},
         true},
        {"cached in progress",
         true,
         Before::CACHED,
         {1, 2},
         EvalStatusType::EVAL_IN_PROGRESS,
         {1, 2},
         false},
        {"cached waiting", true, Before::CACHED, {1, 2}, EvalStatusType::EVAL_WAIT, {1, 2}, false},
        {"cached waiting, no cache",
         false,
         Before::CACHED,
         {1, 2},
         EvalStatusType::EVAL_WAIT,
         {1, 2},
         true},
        {"cached evaluated", true, Before::CACHED, {1, 2}, EvalStatusType::EVAL_OK, {1, 2}, true},
        {"cached in progress elsewhere",
         true,
         Before::CACHED,
         {1, 3},
         EvalStatusType::EVAL_IN_PROGRESS,
         {1, 2},
         true},
    };
    // Through the cache's answer to an offer too, as the steps queue points.
    for (const bool viaOffer : {false, true})
        for (const auto& c : cases)
        {
            SCOPED_TRACE(c.label);
            SCOPED_TRACE(viaOffer ? "offered first" : "queued directly");
            ProcessStateGuard guard;
            EvcOptions options;
            options.useCache = c.useCache;
            EvcHarness h(options, OBJ_ONLY, QarnoTest::firstCoordinateObjective());
            size_t queuedBefore = 0;
            switch (c.before)
            {
            case Before::NOTHING:
                break;
            case Before::QUEUED:
                ASSERT_TRUE(h.evc->addToQueue(makeQueuePoint(c.first)));
                queuedBefore = 1;
                break;
            case Before::QUEUED_EVALUATED:
            {
                auto evaluated = makeQueuePoint(c.first);
                evaluated->setBBO("3", OBJ_ONLY, EvalType::BB, true);
                ASSERT_TRUE(h.evc->addToQueue(evaluated));
                queuedBefore = 1;
                break;
            }
            case Before::CACHED:
            {
                EvalPoint cached(Point(makeArray(c.first)));
                cached.setEvalStatus(c.cachedStatus, EvalType::BB);
                CacheBase::getInstance()->insert(cached);
                break;
            }
            }

            const auto second = makeQueuePoint(c.second);
            if (viaOffer && c.useCache)
            {
                const EvalPoint* cached = nullptr;
                CacheBase::getInstance()->offer(*second, h.evc->findInQueue(*second), 1,
                                                EvalType::BB, &cached);
                EXPECT_EQ(c.accepted, h.evc->addOfferedToQueue(second, cached));
            }
            else
            {
                EXPECT_EQ(c.accepted, h.evc->addToQueue(second));
            }
            const size_t expected = queuedBefore + (c.accepted ? 1 : 0);
            EXPECT_EQ(expected, h.evc->getQueueSize(-1));
            EXPECT_EQ(expected, h.evc->getQueueSize(0));
        }
}

TEST_F(EvaluatorControlTest, AnIncompletePointIsNeverQueued)
{
    EvcHarness h(EvcOptions(), OBJ_ONLY, QarnoTest::firstCoordinateObjective());
    EXPECT_EQ("EvaluatorControl: addToQueue: Adding an undefined Point for evaluation: ( 1 - )",
              messageOf(
                  [&] {
                      h.evc->addToQueue(makeQueuePoint({1, UNDEF}));
                  }));
    EXPECT_EQ(0u, h.evc->getQueueSize(-1));
}

TEST_F(EvaluatorControlTest, DuplicatesAreFoundAmongManyQueuedPoints)
{
    EvcHarness h(EvcOptions(), OBJ_ONLY, QarnoTest::firstCoordinateObjective());
    for (int i = 0; i < 300; ++i)
    {
        ASSERT_TRUE(h.evc->addToQueue(makeQueuePoint({double(i % 17), double(i)})));
    }
    for (int i : {0, 1, 150, 299})
    {
        SCOPED_TRACE(i);
        EXPECT_FALSE(h.evc->addToQueue(makeQueuePoint({double(i % 17), double(i)})));
    }
    EXPECT_TRUE(h.evc->addToQueue(makeQueuePoint({1, 0})));

    // A coarser epsilon merges what it no longer tells apart, in the queue
    // as in the cache; taking points out keeps the index in step.
    Double::setEpsilon(1e-6);
    EXPECT_FALSE(h.evc->addToQueue(makeQueuePoint({3, 20 + 1e-8})));
    std::vector<std::shared_ptr<EvalQueuePoint>> block;
    ASSERT_TRUE(h.evc->popBlock(block)); // the oldest: (0, 0)
    EXPECT_TRUE(h.evc->addToQueue(makeQueuePoint({0, 1e-8})));
    EXPECT_EQ(301u, h.evc->getQueueSize(-1));
}

TEST_F(EvaluatorControlTest, PointsQueuedInTheirOwnOrderAreStillFound)
{
    // A step queues its points in coordinate order, each after the last.
    EvcHarness h(EvcOptions(), OBJ_ONLY, QarnoTest::firstCoordinateObjective());
    for (int i = 0; i < 100; ++i)
    {
        ASSERT_TRUE(h.evc->addToQueue(makeQueuePoint({1, double(i)})));
    }
    for (const double last : {0.0, 50.0, 99.0, 99.0 + EPS / 2})
    {
        SCOPED_TRACE(last);
        EXPECT_NE(nullptr, h.evc->findInQueue(Point(makeArray({1, last}))));
        EXPECT_FALSE(h.evc->addToQueue(makeQueuePoint({1, last})));
    }
    for (const Coords& coords : std::vector<Coords>{{1, 99.5}, {1, 100}, {0, 200}, {2, -1}})
    {
        SCOPED_TRACE(coords[1]);
        EXPECT_EQ(nullptr, h.evc->findInQueue(Point(makeArray(coords))));
        EXPECT_TRUE(h.evc->addToQueue(makeQueuePoint(coords)));
        EXPECT_NE(nullptr, h.evc->findInQueue(Point(makeArray(coords))));
    }
    EXPECT_EQ(104u, h.evc->getQueueSize(-1));
}

TEST_F(EvaluatorControlTest, APlaceFoundBeforeTheQueueChangedIsLookedUpAgain)
{
    // The steps find a point's place in the queue before offering it to the
    // cache, and queue it there; whatever the queue took in between, a
    // point already queued is still refused and a new one still found.
    struct Case
    {
        const char* label;
        std::vector<Coords> queuedBetween;
        bool accepted;
    };
    const std::vector<Case> cases = {
        {"nothing in between", {}, true},
        {"the same point in between", {{2, 5}}, false},
        {"other points in between", {{2, 4}, {2, 6}, {1, 9}}, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ProcessStateGuard guard;
        EvcHarness h(EvcOptions(), OBJ_ONLY, QarnoTest::firstCoordinateObjective());
        ASSERT_TRUE(h.evc->addToQueue(makeQueuePoint({3, 0})));
        const auto point = makeQueuePoint({2, 5});
        EvaluatorControl::QueuePlace place;
        EXPECT_EQ(nullptr, h.evc->findInQueue(*point, &place));
        for (const auto& coords : c.queuedBetween)
        {
            ASSERT_TRUE(h.evc->addToQueue(makeQueuePoint(coords)));
        }
        EXPECT_EQ(c.accepted, h.evc->addOfferedToQueue(point, nullptr, &place));
        EXPECT_EQ(1 + c.queuedBetween.size() + (c.accepted ? 1u : 0u), h.evc->getQueueSize(-1));
        // Every queued point is found where the index keeps it.
        for (const auto& coords : c.queuedBetween)
        {
            EXPECT_NE(nullptr, h.evc->findInQueue(Point(makeArray(coords))));
        }
        EXPECT_NE(nullptr, h.evc->findInQueue(*point));
        EXPECT_FALSE(h.evc->addToQueue(makeQueuePoint({2, 5})));
    }
}

TEST_F(EvaluatorControlTest, BlocksFollowTheBlockSizeAndTheQueueOrder)
{
    const std::vector<Coords> points = {{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}, {7, 0}};
    const struct
    {
        size_t blockSize;
        size_t nbPoints;
        std::vector<size_t> sizes;
    } cases[] = {
        {3, 7, {3, 3, 1}},
        {1, 3, {1, 1, 1}},
        {10, 4, {4}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE("block size " + std::to_string(c.blockSize));
        ProcessStateGuard guard;
        EvcHarness h(withBlockSize(c.blockSize), OBJ_ONLY, QarnoTest::firstCoordinateObjective());
        const std::vector<Coords> queued(points.begin(), points.begin() + c.nbPoints);
        ASSERT_TRUE(h.queueAll(queued));
        h.evc->unlockQueue(true);

        const Blocks blocks = popAll(*h.evc);
        std::vector<size_t> sizes;
        for (const auto& block : blocks)
        {
            sizes.push_back(block.size());
        }
        EXPECT_EQ(c.sizes, sizes);
        EXPECT_EQ(queued, flatten(blocks)); // first in, first out
        EXPECT_EQ(0u, h.evc->getQueueSize(0));
        EXPECT_EQ(c.nbPoints, h.evc->getMainThreadInfo(0).getCurrentlyRunning());
    }
}

TEST_F(EvaluatorControlTest, PopBlockWantsAnEmptyBlock)
{
    EvcHarness h(withBlockSize(2), OBJ_ONLY, QarnoTest::firstCoordinateObjective());
    ASSERT_TRUE(h.queueAll({{1, 0}, {2, 0}}));
    std::vector<std::shared_ptr<EvalQueuePoint>> block{makeQueuePoint({9, 9})};
    EXPECT_FALSE(h.evc->popBlock(block));
    EXPECT_EQ(1u, block.size());
    EXPECT_EQ(2u, h.evc->getQueueSize(-1));
    EXPECT_EQ(0u, h.evc->getMainThreadInfo(0).getCurrentlyRunning());
}

TEST_F(EvaluatorControlTest, SortingFollowsTheLastSuccessfulDirection)
{
    // Points around the frame center (0, 0), queued in this order, then one
    // without a frame center.
    const std::vector<Coords> directions = {{0, 1}, {1, 1}, {-1, 0}, {1, 0}};
    const Coords noPointFrom = {5, 5};
    const struct
    {
        const char* label;
        Coords lastDir; // empty: none
        bool opportunistic;
        bool doSort;
        std::vector<Coords> order; // order of evaluation
    } cases[] = {
        {"towards +x", {1, 0}, true, true, {noPointFrom, {1, 0}, {1, 1}, {0, 1}, {-1, 0}}},
        {"mostly +y", {1, 3}, true, true, {noPointFrom, {0, 1}, {1, 1}, {1, 0}, {-1, 0}}},
        {"no last direction", {}, true, true, {{0, 1}, {1, 1}, {-1, 0}, {1, 0}, noPointFrom}},
        {"not opportunistic", {1, 0}, false, true, {{0, 1}, {1, 1}, {-1, 0}, {1, 0}, noPointFrom}},
        {"sort not asked", {1, 0}, true, false, {{0, 1}, {1, 1}, {-1, 0}, {1, 0}, noPointFrom}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ProcessStateGuard guard;
        EvcHarness h(withBlockSize(1, c.opportunistic), OBJ_ONLY,
                     QarnoTest::firstCoordinateObjective());
        const auto center = std::make_shared<Point>(Point(makeArray({0, 0})));
        for (const auto& coords : directions)
        {
            auto point = makeQueuePoint(coords);
            point->setPointFrom(center);
            ASSERT_TRUE(QarnoTest::queuePoint(*h.evc, point));
        }
        ASSERT_TRUE(QarnoTest::queuePoint(*h.evc, noPointFrom));
        if (!c.lastDir.empty())
        {
            h.evc->setLastSuccessfulDir(std::make_shared<Direction>(makeArray(c.lastDir)));
        }

        h.evc->lockQueue();
        h.evc->unlockQueue(c.doSort);
        EXPECT_EQ(c.order, flatten(popAll(*h.evc)));
    }
}

TEST_F(EvaluatorControlTest, RandomOrderIsDrawnFromTheRandomGeneratorAndRepeats)
{
    const std::vector<Coords> points = {{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}};
    EvcOptions options = withBlockSize(1, true);
    options.randomEvalSort = true;

    // The order the ranks give when they are drawn from the generator at
    // its state at load, in queue order (newest first, tags given by the
    // cache from 1 in the order of queueing): the highest rank is evaluated
    // first.
    std::vector<Coords> expected;
    {
        ProcessStateGuard guard;
        RandomComp ranks(points.size());
        std::vector<std::pair<double, Coords>> ranked;
        for (size_t i = points.size(); i-- > 0;)
        {
            auto point = makeQueuePoint(points[i]);
            point->setTag(i + 1);
            ranked.emplace_back(ranks.sortKey(*point), points[i]);
        }
        std::sort(ranked.begin(), ranked.end(),
                  [](const auto& a, const auto& b) { return a.first > b.first; });
        for (const auto& entry : ranked)
        {
            expected.push_back(entry.second);
        }
    }

    // Twice in one process: the same generator state gives the same order.
    for (int round = 0; round < 2; ++round)
    {
        SCOPED_TRACE(round);
        ProcessStateGuard guard;
        EvcHarness h(options, OBJ_ONLY, QarnoTest::firstCoordinateObjective());
        ASSERT_TRUE(h.queueAll(points));
        h.evc->unlockQueue(true);
        EXPECT_EQ(expected, flatten(popAll(*h.evc)));
    }
}

TEST_F(EvaluatorControlTest, AUserOrderTakesPrecedence)
{
    EvcOptions options = withBlockSize(1, true);
    options.randomEvalSort = true;
    EvcHarness h(options, OBJ_ONLY, QarnoTest::firstCoordinateObjective());
    const struct
    {
        Coords coords;
        size_t k;
    } points[] = {{{1, 0}, 2}, {{2, 0}, 0}, {{3, 0}, 3}, {{4, 0}, 1}};
    for (const auto& p : points)
    {
        auto point = makeQueuePoint(p.coords);
        point->setK(p.k);
        ASSERT_TRUE(QarnoTest::queuePoint(*h.evc, point));
    }
    h.evc->setUserCompMethod(std::make_shared<BasicComp>());
    h.evc->unlockQueue(true);
    // The highest iteration number is placed last, so evaluated first.
    EXPECT_EQ((std::vector<Coords>{{3, 0}, {1, 0}, {4, 0}, {2, 0}}), flatten(popAll(*h.evc)));
}

TEST_F(EvaluatorControlTest, BlocksNeverMixEvaluatorsOrHMax)
{
    const struct
    {
        const char* label;
        bool otherEvaluator;
        double hMax0;
        double hMax1;
        Blocks blocks;
    } cases[] = {
        {"same evaluator and hMax", false, 1, 1, {{{1, 0}, {2, 0}, {3, 0}, {4, 0}}}},
        {"hMax within epsilon", false, 1, 1 + EPS / 2, {{{1, 0}, {2, 0}, {3, 0}, {4, 0}}}},
        {"hMax two epsilons apart", false, 1, 1 + 2 * EPS, {{{1, 0}, {3, 0}}, {{2, 0}, {4, 0}}}},
        {"other evaluator", true, 1, 1, {{{1, 0}, {3, 0}}, {{2, 0}, {4, 0}}}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ProcessStateGuard guard;
        EvcHarness h(withBlockSize(4), OBJ_ONLY, QarnoTest::firstCoordinateObjective());
        auto other = c.otherEvaluator ? std::make_shared<QarnoTest::FunctionEvaluator>(
                                            OBJ_ONLY, QarnoTest::firstCoordinateObjective())
                                      : h.evaluator;
        h.evc->addMainThread(1, nullptr, other, h.params);
        h.evc->setBarrier(barrierWithHMax(c.hMax0));
        h.evc->getMainThreadInfo(1).setBarrier(barrierWithHMax(c.hMax1));

        // Threads 0 and 1 alternate, thread 0 first.
        for (int i = 1; i <= 4; ++i)
        {
            auto point = makeQueuePoint({double(i), 0});
            point->setThreadAlgo((i % 2 == 1) ? 0 : 1);
            ASSERT_TRUE(QarnoTest::queuePoint(*h.evc, point));
        }
        EXPECT_EQ(2u, h.evc->getQueueSize(1));
        EXPECT_EQ(c.blocks, popAll(*h.evc));
    }
}

TEST_F(EvaluatorControlTest, ClearQueueRemovesOneThreadOrEverything)
{
    EvcHarness h(withBlockSize(1), OBJ_ONLY, QarnoTest::firstCoordinateObjective());
    h.evc->addMainThread(1, nullptr, h.evaluator, h.params);
    for (int i = 1; i <= 5; ++i)
    {
        auto point = makeQueuePoint({double(i), 0});
        point->setThreadAlgo((i <= 3) ? 0 : 1);
        ASSERT_TRUE(QarnoTest::queuePoint(*h.evc, point));
    }
    EXPECT_EQ(3u, h.evc->clearQueue(0, false));
    EXPECT_EQ(0u, h.evc->getQueueSize(0));
    EXPECT_EQ(2u, h.evc->getQueueSize(1));
    EXPECT_EQ(2u, h.evc->getQueueSize(-1));
    // A cleared point may be queued again.
    EXPECT_TRUE(h.evc->addToQueue(makeQueuePoint({1, 0})));
    EXPECT_EQ((std::vector<Coords>{{4, 0}, {5, 0}, {1, 0}}), flatten(popAll(*h.evc)));

    ASSERT_TRUE(h.evc->addToQueue(makeQueuePoint({7, 0})));
    EXPECT_EQ(1u, h.evc->clearQueue(-1, false));
    EXPECT_EQ(0u, h.evc->getQueueSize(-1) + h.evc->getQueueSize(0) + h.evc->getQueueSize(1));
}

TEST_F(EvaluatorControlTest, AnUncheckedGlobalSetStopsTheQueueInsteadOfHangingIt)
{
    EvcHarness h(withBlockSize(1), OBJ_ONLY, QarnoTest::firstCoordinateObjective());
    ASSERT_TRUE(h.queueAll({{1, 0}, {2, 0}, {3, 0}}));
    h.globalParams->setAttributeValue<size_t>("BB_MAX_BLOCK_SIZE", 2);

    std::vector<std::shared_ptr<EvalQueuePoint>> block;
    EXPECT_THROW(h.evc->popBlock(block), ParameterToBeChecked);
    EXPECT_THROW(h.evc->run(), ParameterToBeChecked);
    EXPECT_TRUE(block.empty());
    EXPECT_EQ(3u, h.evc->getQueueSize(0));
    EXPECT_EQ(0u, h.evc->getMainThreadInfo(0).getCurrentlyRunning());
    EXPECT_TRUE(h.evaluator->blocks.empty());

    // Once checked, the new block size applies.
    h.globalParams->checkAndComply(nullptr);
    EXPECT_EQ((std::vector<size_t>{2, 1}),
              [&]
              {
                  std::vector<size_t> sizes;
                  for (const auto& b : popAll(*h.evc))
                  {
                      sizes.push_back(b.size());
                  }
                  return sizes;
              }());
}

TEST_F(EvaluatorControlTest, WhatIsLeftAtDestructionIsDroppedWithAWarning)
{
    const struct
    {
        const char* label;
        int displayDegree;
        bool leaveQueued;
        bool leaveEvaluated;
        std::string warnings;
    } cases[] = {
        {"nothing left", 3, false, false, ""},
        {"queued points", 3, true, false,
         "Warning: deleting EvaluatorControl with EvalPoints remaining.\n"},
        {"evaluated points", 3, false, true,
         "Warning: deleting EvaluatorControl with evaluated points remaining.\n"},
        {"both, quiet display", 2, true, true, ""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ProcessStateGuard guard;
        OutputQueue::getInstance()->setDisplayDegree(c.displayDegree);
        EvcHarness h(withBlockSize(1), OBJ_ONLY, QarnoTest::firstCoordinateObjective());
        CerrCapture cerr;
        {
            EvaluatorControl evc(h.globalParams);
            evc.init(h.evaluator, h.params);
            if (c.leaveQueued)
            {
                ASSERT_TRUE(QarnoTest::queuePoint(evc, {1, 0}));
                ASSERT_TRUE(QarnoTest::queuePoint(evc, {2, 0}));
            }
            if (c.leaveEvaluated)
            {
                evc.addEvaluatedPoint(0, makeEvalPoint({3, 0}, 3, 0));
            }
        }
        EXPECT_EQ(c.warnings, cerr.text());
    }
}

} // namespace
