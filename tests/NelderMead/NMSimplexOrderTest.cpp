#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Algos/NelderMead/NMSimplex.hpp"
#include "Algos/NelderMead/NMSimplexEvalPointCompare.hpp"
#include "Algos/NelderMead/NMUpdate.hpp"
#include "Eval/EvalPoint.hpp"
#include "Output/OutputQueue.hpp"
#include "support/EvalSupport.hpp"
#include "support/NMSupport.hpp"
#include "support/StepTree.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::makeNMPoint;
using QarnoTest::tagsOf;

namespace
{

struct Valued
{
    double f;
    double h;
    size_t tag;
};

EvalPoint pointOf(const Valued& v, const std::vector<double>& coords = {0.0, 0.0})
{
    return makeNMPoint(coords, v.f, v.h, v.tag);
}

} // namespace

TEST(NMSimplexEvalPointCompare, PairwiseRuleOnFeasibleInfeasibleAndTiedPoints)
{
    QarnoTest::ProcessStateGuard guard;
    struct Case
    {
        const char* name;
        Valued x;
        Valued y;
        bool xFirst;
    };
    const std::vector<Case> cases = {
        {"feasible, x has the smaller f, larger tag", {1, 0, 9}, {2, 0, 1}, true},
        {"feasible, f equal within epsilon: smaller tag", {1 + 1e-14, 0, 1}, {1, 0, 2}, true},
        {"feasible, f equal within epsilon: larger tag", {1, 0, 2}, {1 + 1e-14, 0, 1}, false},
        {"feasible, f apart by just over epsilon: larger tag", {1, 0, 9}, {1 + 2e-13, 0, 1}, true},
        {"feasible against infeasible: tag only", {5, 0, 1}, {-5, 3, 2}, true},
        {"infeasible against feasible: tag only", {-5, 3, 1}, {5, 0, 2}, true},
        {"infeasible, x dominates despite its tag", {1, 1, 9}, {2, 2, 1}, true},
        {"infeasible, x improves h and worsens f", {3, 1, 9}, {2, 2, 1}, true},
        {"infeasible, identical values: tag", {2, 2, 3}, {2, 2, 4}, true},
    };
    const NMSimplexEvalPointCompare compare;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const EvalPoint x = pointOf(c.x);
        const EvalPoint y = pointOf(c.y);
        EXPECT_EQ(c.xFirst, compare(x, y));
        EXPECT_EQ(!c.xFirst, compare(y, x));
    }
}

TEST(NMSimplexEvalPointCompare, WithoutEvaluatorControlTheBlackboxRuleDecides)
{
    QarnoTest::ProcessStateGuard guard;
    // The surrogate values would order the points the other way round.
    EvalPoint x = makeNMPoint({0, 0}, 2, 0, 1);
    EvalPoint y = makeNMPoint({1, 0}, 1, 0, 2);
    x.setEval(QarnoTest::makeEval(1, 0), EvalType::SGTE);
    y.setEval(QarnoTest::makeEval(2, 0), EvalType::SGTE);
    ASSERT_EQ(EvalType::BB, NMSimplexEvalPointCompare::currentEvalType());
    EXPECT_TRUE(NMSimplexEvalPointCompare()(y, x));
    EXPECT_TRUE(NMSimplexEvalPointCompare::comesBefore(x, y, EvalType::SGTE));
}

TEST(NMSimplex, KeepsPointsBestFirstAndRefusesACopyOfAHeldPoint)
{
    QarnoTest::ProcessStateGuard guard;
    NMSimplex Y;
    for (const Valued& v : std::vector<Valued>{{9, 0, 1}, {1, 0, 2}, {5, 0, 3}})
    {
        ASSERT_TRUE(Y.insert(pointOf(v)).second);
    }
    EXPECT_EQ((std::vector<size_t>{2, 3, 1}), tagsOf(Y));
    EXPECT_EQ(2u, Y.front().getTag());
    EXPECT_EQ(1u, Y.back().getTag());

    // Same tag, same evaluation: refused and Y unchanged.
    const auto refused = Y.insert(pointOf({5, 0, 3}));
    EXPECT_FALSE(refused.second);
    EXPECT_EQ(1u, refused.first);
    EXPECT_EQ((std::vector<size_t>{2, 3, 1}), tagsOf(Y));

    // Same tag but separable by the rule: a different point, accepted.
    EXPECT_TRUE(Y.insert(pointOf({0, 0, 3})).second);
    EXPECT_EQ((std::vector<size_t>{3, 2, 3, 1}), tagsOf(Y));

    EXPECT_TRUE(Y.eraseTag(3));
    EXPECT_EQ((std::vector<size_t>{2, 3, 1}), tagsOf(Y));
    EXPECT_FALSE(Y.eraseTag(42));
    EXPECT_EQ(NMSimplex::npos, Y.findTag(42));
}

// Feasible points are separated by f, a feasible and an infeasible point
// only by their tags: a (f 1, tag 3) before c (infeasible, tag 4) before
// b (f 0, tag 5) before a. A simplex holding the three must stay at three
// points through insertions and removals in every order.
TEST(NMSimplex, ThreePointCycleStaysAtNPlusOnePoints)
{
    QarnoTest::ProcessStateGuard guard;
    const EvalPoint a = makeNMPoint({0, 0}, 1, 0, 3);
    const EvalPoint b = makeNMPoint({1, 0}, 0, 0, 5);
    const EvalPoint c = makeNMPoint({0, 1}, 2, 4, 4);
    const NMSimplexEvalPointCompare compare;
    ASSERT_TRUE(compare(a, c));
    ASSERT_TRUE(compare(c, b));
    ASSERT_TRUE(compare(b, a));

    std::vector<EvalPoint> order = {a, b, c};
    std::sort(order.begin(), order.end(),
              [](const EvalPoint& p, const EvalPoint& q) { return p.getTag() < q.getTag(); });
    do
    {
        NMSimplex Y;
        for (const auto& p : order)
        {
            ASSERT_TRUE(Y.insert(p).second);
        }
        ASSERT_EQ(3u, Y.size());
        for (const auto& p : order)
        {
            SCOPED_TRACE("copy of tag " + std::to_string(p.getTag()));
            EXPECT_FALSE(Y.insert(p).second);
            EXPECT_EQ(3u, Y.size());
        }
        for (const auto& p : order)
        {
            EXPECT_TRUE(Y.eraseTag(p.getTag()));
        }
        EXPECT_TRUE(Y.empty());
    } while (std::next_permutation(order.begin(), order.end(),
                                   [](const EvalPoint& p, const EvalPoint& q)
                                   { return p.getTag() < q.getTag(); }));
}

TEST(NMUpdate, RunSucceedsAndLeavesTheSimplexAlone)
{
    QarnoTest::ProcessStateGuard guard;
    OutputQueue::getInstance()->setDisplayDegree(2);
    QarnoTest::StepTree frame(QarnoTest::nmStepTree(
        2, QarnoTest::makeSimplex({makeNMPoint({0, 0}, 1, 0, 1), makeNMPoint({1, 0}, 2, 0, 2),
                                   makeNMPoint({0, 1}, 3, 0, 3)})));
    NMUpdate update(&frame.iteration);
    EXPECT_EQ("NM Update", update.getName());
    update.start();
    EXPECT_TRUE(update.run());
    update.end();
    EXPECT_EQ((std::vector<size_t>{1, 2, 3}), tagsOf(frame.Y()));
}

// Eight points of mixed feasibility whose order has cycles: a tree keyed by
// this order, filled in tag order, no longer finds the first point. The
// simplex still removes every one of them.
TEST(NMSimplex, EveryPointOfAnIntransitiveSimplexCanBeRemoved)
{
    QarnoTest::ProcessStateGuard guard;
    const std::vector<Valued> values = {{2, 0, 1}, {4, 2, 2}, {4, 2, 3}, {4, 0, 4},
                                        {1, 0, 5}, {2, 3, 6}, {4, 0, 7}, {3, 3, 8}};
    std::vector<EvalPoint> points;
    for (const auto& v : values)
    {
        points.push_back(pointOf(v));
    }
    const NMSimplexPtr full = QarnoTest::makeSimplex(points);
    ASSERT_EQ(8u, full->size());
    for (const auto& p : points)
    {
        SCOPED_TRACE("tag " + std::to_string(p.getTag()));
        NMSimplex Y = *full;
        EXPECT_FALSE(Y.insert(p).second);
        EXPECT_TRUE(Y.eraseTag(p.getTag()));
        EXPECT_EQ(7u, Y.size());
        EXPECT_EQ(NMSimplex::npos, Y.findTag(p.getTag()));
        EXPECT_TRUE(Y.insert(p).second);
        EXPECT_EQ(8u, Y.size());
    }
}
