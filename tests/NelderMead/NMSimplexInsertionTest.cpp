#include <gtest/gtest.h>

#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "Algos/NelderMead/NMSimplex.hpp"
#include "Algos/NelderMead/NMSimplexInsertion.hpp"
#include "Eval/EvalPoint.hpp"
#include "Output/OutputQueue.hpp"
#include "Type/EvalStatusType.hpp"
#include "support/NMSupport.hpp"
#include "support/StepTree.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::makeNMPoint;
using QarnoTest::tagsOf;

namespace
{

EvalPoint notEvaluatedOk(EvalPoint point)
{
    point.setEvalStatus(EvalStatusType::EVAL_FAILED, EvalType::BB);
    return point;
}

std::vector<size_t> tagsOf(const std::vector<EvalPoint>& points)
{
    std::vector<size_t> tags;
    for (const auto& p : points)
    {
        tags.push_back(p.getTag());
    }
    return tags;
}

/// Y = y0, y1, yn at (0, 0), (1, 0), (0, 1), feasible with f = 1, 5, 9 and
/// tags 1, 2, 3.
std::vector<EvalPoint> feasibleY()
{
    return {makeNMPoint({0, 0}, 1, 0, 1), makeNMPoint({1, 0}, 5, 0, 2),
            makeNMPoint({0, 1}, 9, 0, 3)};
}

/// Y = a feasible point (tag 1) and two infeasible ones, the first
/// dominating the second (tags 2 and 3).
std::vector<EvalPoint> mixedY()
{
    return {makeNMPoint({0, 0}, 1, 0, 1), makeNMPoint({1, 0}, 0, 2, 2),
            makeNMPoint({0, 1}, 3, 5, 3)};
}

class NMSimplexInsertionTest : public ::testing::Test
{
protected:
    QarnoTest::ProcessStateGuard guard;
    void SetUp() override { OutputQueue::getInstance()->setDisplayDegree(2); }
};

} // namespace

TEST_F(NMSimplexInsertionTest, Y0AndYnFromTheDominanceInY)
{
    struct Case
    {
        const char* name;
        std::vector<EvalPoint> Y;
        std::vector<size_t> Y0;
        std::vector<size_t> Yn;
    };
    const std::vector<Case> cases = {
        {"feasible", feasibleY(), {1}, {3}},
        {"feasible and infeasible", mixedY(), {1, 2}, {1, 3}},
        {"f tied within epsilon",
         {makeNMPoint({0, 0}, 1, 0, 1), makeNMPoint({1, 0}, 1, 0, 2),
          makeNMPoint({0, 1}, 1 + 1e-14, 0, 3)},
         {1, 2, 3},
         {1, 2, 3}},
        // 1 dominates 1 + 1.2e-13 but neither dominates 1 + 0.6e-13, which
        // dominates nothing either: ties within epsilon do not chain.
        {"f within epsilon of each other but not of every other",
         {makeNMPoint({0, 0}, 1, 0, 1), makeNMPoint({1, 0}, 1 + 0.6e-13, 0, 2),
          makeNMPoint({0, 1}, 1 + 1.2e-13, 0, 3)},
         {1, 2},
         {2, 3}},
        {"feasible, the worst f twice",
         {makeNMPoint({0, 0}, 1, 0, 1), makeNMPoint({1, 0}, 9, 0, 2), makeNMPoint({0, 1}, 9, 0, 3)},
         {1},
         {2, 3}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        QarnoTest::StepTree frame(QarnoTest::nmStepTree(2, QarnoTest::makeSimplex(c.Y)));
        QarnoTest::NMUtilsStep step(&frame.iteration);
        EXPECT_TRUE(step.makeListY0());
        EXPECT_TRUE(step.makeListYn());
        EXPECT_EQ(c.Y0, tagsOf(step.getY0()));
        EXPECT_EQ(c.Yn, tagsOf(step.getYn()));
    }

    QarnoTest::StepTree empty(QarnoTest::nmStepTree(2));
    QarnoTest::NMUtilsStep step(&empty.iteration);
    EXPECT_FALSE(step.makeListY0());
    EXPECT_FALSE(step.makeListYn());
}

TEST_F(NMSimplexInsertionTest, DominanceTestsAgainstY0YnAndY)
{
    QarnoTest::StepTree frame(QarnoTest::nmStepTree(2, QarnoTest::makeSimplex(mixedY())));
    QarnoTest::NMUtilsStep step(&frame.iteration);
    const EvalPoint unevaluated(Point(QarnoTest::makeArray({2, 2})));

    EXPECT_EQ("Y0 is empty", QarnoTest::messageOf(
                                 [&] {
                                     step.pointDominatesY0(makeNMPoint({2, 2}, 0, 0, 9));
                                 }));
    EXPECT_EQ(" Yn is empty", QarnoTest::messageOf(
                                  [&] {
                                      step.YnDominatesPoint(makeNMPoint({2, 2}, 0, 0, 9));
                                  }));
    ASSERT_TRUE(step.makeListY0());
    ASSERT_TRUE(step.makeListYn());

    EXPECT_EQ("The evaluation for trial point xt = " + unevaluated.display() + " was not found",
              QarnoTest::messageOf([&] { step.pointDominatesY0(unevaluated); }));
    EXPECT_EQ("No evaluation for trial point " + unevaluated.display(),
              QarnoTest::messageOf([&] { step.YnDominatesPoint(unevaluated); }));
    EXPECT_EQ("No evaluation for trial point " + unevaluated.display(),
              QarnoTest::messageOf([&] { step.pointDominatesPtsInY(unevaluated, 0); }));

    struct Case
    {
        const char* name;
        EvalPoint xt;
        bool dominatesY0;
        bool ynDominates;
    };
    const std::vector<Case> cases = {
        {"feasible, better f than y0", makeNMPoint({2, 2}, 0.5, 0, 9), true, false},
        {"feasible, worse f than y0", makeNMPoint({2, 2}, 2, 0, 9), false, true},
        {"dominates the infeasible Y0 point", makeNMPoint({2, 2}, -1, 1, 9), true, false},
        {"dominated by the last Yn point", makeNMPoint({2, 2}, 4, 6, 9), false, true},
        {"undominated, h above the last Yn h by more than epsilon", makeNMPoint({2, 2}, -10, 6, 9),
         false, true},
        {"undominated, h above the last Yn h within epsilon",
         makeNMPoint({2, 2}, -10, 5 + 1e-14, 9), false, false},
        {"not evaluated OK", notEvaluatedOk(makeNMPoint({2, 2}, 0.5, 0, 9)), false, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.dominatesY0, step.pointDominatesY0(c.xt));
        EXPECT_EQ(c.ynDominates, step.YnDominatesPoint(c.xt));
    }
}

TEST_F(NMSimplexInsertionTest, PointDominatesPtsInYCountsUpToTheNumberAsked)
{
    // Infeasible Y points that all three a point with f -1 and h 1 dominates.
    QarnoTest::StepTree frame(QarnoTest::nmStepTree(
        2, QarnoTest::makeSimplex({makeNMPoint({0, 0}, 0, 2, 1), makeNMPoint({1, 0}, 1, 3, 2),
                                   makeNMPoint({0, 1}, 2, 4, 3)})));
    QarnoTest::NMUtilsStep step(&frame.iteration);
    const EvalPoint strong = makeNMPoint({2, 2}, -1, 1, 9);
    const EvalPoint middle = makeNMPoint({2, 2}, 0.5, 2.5, 9);
    struct Case
    {
        const char* name;
        EvalPoint xt;
        size_t k;
        bool expected;
    };
    const std::vector<Case> cases = {
        {"k 0, evaluated OK", makeNMPoint({2, 2}, 99, 99, 9), 0, true},
        {"k 0, not evaluated OK", notEvaluatedOk(strong), 0, false},
        {"dominates three, k 2", strong, 2, true},
        {"dominates three, k 3", strong, 3, true},
        {"dominates three, k 4", strong, 4, false},
        {"dominates two, k 2", middle, 2, true},
        {"dominates two, k 3", middle, 3, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, step.pointDominatesPtsInY(c.xt, c.k));
    }
}

TEST_F(NMSimplexInsertionTest, InsertInYReplacesTheWorstPoint)
{
    struct Case
    {
        const char* name;
        EvalPoint x;
        bool result;
        std::vector<size_t> Y;
    };
    const std::vector<Case> cases = {
        {"between y0 and y1", makeNMPoint({1, 1}, 3, 0, 7), true, {1, 7, 2}},
        {"between y1 and yn", makeNMPoint({1, 1}, 6, 0, 7), true, {1, 2, 7}},
        {"best", makeNMPoint({1, 1}, 0, 0, 7), true, {7, 1, 2}},
        {"ranked last", makeNMPoint({1, 1}, 10, 0, 7), false, {1, 2, 3}},
        {"not evaluated OK", notEvaluatedOk(makeNMPoint({1, 1}, 0, 0, 7)), false, {1, 2, 3}},
        {"copy of a held point", makeNMPoint({1, 0}, 5, 0, 2), false, {1, 2, 3}},
        {"better, leaves Y flat", makeNMPoint({2, 0}, 3, 0, 7), false, {1, 7, 2}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        QarnoTest::StepTree frame(QarnoTest::nmStepTree(2, QarnoTest::makeSimplex(feasibleY())));
        QarnoTest::NMUtilsStep step(&frame.iteration);
        EXPECT_EQ(c.result, step.insertInY(c.x));
        EXPECT_EQ(c.Y, tagsOf(frame.Y()));
    }
}

TEST_F(NMSimplexInsertionTest, InsertInYBestKeepsTheBetterPoint)
{
    const EvalPoint x1f0 = makeNMPoint({1, 1}, 0, 0, 10);
    struct Case
    {
        const char* name;
        EvalPoint x1;
        EvalPoint x2;
        bool result;
        std::vector<size_t> Y;
    };
    const std::vector<Case> cases = {
        {"x2 better than x1", x1f0, makeNMPoint({2, 1}, -1, 0, 11), true, {11, 1, 2}},
        {"x1 better than x2", x1f0, makeNMPoint({2, 1}, 2, 0, 11), true, {10, 1, 2}},
        {"x2 between y1 and yn",
         makeNMPoint({1, 1}, 6, 0, 10),
         makeNMPoint({2, 1}, 7, 0, 11),
         true,
         {1, 2, 10}},
        {"x2 equal to x1", x1f0, makeNMPoint({1, 1}, 0, 0, 11), true, {10, 1, 2}},
        {"x2 not evaluated OK, x1 before yn",
         x1f0,
         notEvaluatedOk(makeNMPoint({2, 1}, -1, 0, 11)),
         true,
         {10, 1, 2}},
        {"x2 not evaluated OK, x1 after yn",
         makeNMPoint({1, 1}, 10, 0, 10),
         notEvaluatedOk(makeNMPoint({2, 1}, -1, 0, 11)),
         false,
         {1, 2, 3}},
        {"both after yn",
         makeNMPoint({1, 1}, 10, 0, 10),
         makeNMPoint({2, 1}, 11, 0, 11),
         false,
         {1, 2, 3}},
        {"better point leaves Y flat",
         makeNMPoint({2, 0}, 0, 0, 10),
         makeNMPoint({3, 0}, 2, 0, 11),
         false,
         {10, 1, 2}},
        {"x1 a copy of a held point", makeNMPoint({0, 0}, 1, 0, 1), x1f0, false, {1, 2, 3}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        QarnoTest::StepTree frame(QarnoTest::nmStepTree(2, QarnoTest::makeSimplex(feasibleY())));
        QarnoTest::NMUtilsStep step(&frame.iteration);
        EXPECT_EQ(c.result, step.insertInYBest(c.x1, c.x2));
        EXPECT_EQ(c.Y, tagsOf(frame.Y()));
    }
}

TEST_F(NMSimplexInsertionTest, InsertInYBestNeedsEvaluations)
{
    QarnoTest::StepTree frame(QarnoTest::nmStepTree(2, QarnoTest::makeSimplex(feasibleY())));
    QarnoTest::NMUtilsStep step(&frame.iteration);
    const EvalPoint unevaluated(Point(QarnoTest::makeArray({2, 2})));
    const EvalPoint x = makeNMPoint({1, 1}, 0, 0, 10);
    EXPECT_EQ("The trial point x1 does not have an evaluation: " + unevaluated.display(),
              QarnoTest::messageOf([&] { step.insertInYBest(unevaluated, x); }));
    EXPECT_EQ("The trial point x2 does not have an evaluation: " + unevaluated.display(),
              QarnoTest::messageOf([&] { step.insertInYBest(x, unevaluated); }));
    EXPECT_EQ((std::vector<size_t>{1, 2, 3}), tagsOf(frame.Y()));
}

// A constrained run mixes feasible and infeasible points, whose order has
// cycles (feasible points by f, a feasible and an infeasible point by tag).
// Every insertion must still replace exactly one point: Y stays at n + 1
// distinct points.
TEST_F(NMSimplexInsertionTest, CycleOfFeasibleAndInfeasiblePointsKeepsNPlusOnePoints)
{
    const EvalPoint a = makeNMPoint({0, 0}, 1, 0, 3);
    const EvalPoint b = makeNMPoint({1, 0}, 0, 0, 5);
    const EvalPoint c = makeNMPoint({0, 1}, 2, 4, 4);
    QarnoTest::StepTree frame(QarnoTest::nmStepTree(2, QarnoTest::makeSimplex({a, b, c})));
    QarnoTest::NMUtilsStep step(&frame.iteration);
    const NMSimplex& Y = frame.Y();

    size_t tag = 10;
    for (int round = 0; round < 40; ++round)
    {
        SCOPED_TRACE("round " + std::to_string(round));
        // Alternately feasible and infeasible, improving slowly, at points
        // that keep the simplex full-dimensional most of the time.
        const double t = 1.0 + round;
        const double f = 1.0 - 0.1 * round;
        const double h = (round % 3 == 0) ? 0.0 : 4.0 - 0.05 * round;
        const EvalPoint x = makeNMPoint({t, t * t}, f, h, tag++);
        if (round % 2 == 0)
        {
            step.insertInY(x);
        }
        else
        {
            const EvalPoint x2 = makeNMPoint({-t, t}, f + 0.05, (h > 0) ? 0.0 : 1.0, tag++);
            step.insertInYBest(x, x2);
        }
        ASSERT_EQ(3u, Y.size());
        const std::vector<size_t> tags = tagsOf(Y);
        EXPECT_EQ(3u, std::set<size_t>(tags.begin(), tags.end()).size());
    }
}

TEST_F(NMSimplexInsertionTest, DisplayOfY0AndYnFollowsTheLevels)
{
    QarnoTest::StepTree frame(QarnoTest::nmStepTree(2, QarnoTest::makeSimplex(mixedY())));
    QarnoTest::NMUtilsStep step(&frame.iteration);
    ASSERT_TRUE(step.makeListY0());
    ASSERT_TRUE(step.makeListYn());
    struct Case
    {
        int degree;
        bool counts;
        bool points;
    };
    for (const Case& c : std::vector<Case>{{2, false, false}, {3, true, false}, {4, true, true}})
    {
        SCOPED_TRACE("display degree " + std::to_string(c.degree));
        OutputQueue::getInstance()->setDisplayDegree(c.degree);
        QarnoTest::StreamCapture out(std::cout);
        step.displayY0nInfo();
        OutputQueue::getInstance()->flush();
        const std::string text = out.text();
        EXPECT_EQ(c.counts, std::string::npos != text.find("Number of points in Y0: 2"));
        EXPECT_EQ(c.counts, std::string::npos != text.find("Number of points in Yn: 2"));
        EXPECT_EQ(c.points, std::string::npos != text.find("The vector Y0 contains:"));
        EXPECT_EQ(c.points, std::string::npos != text.find("The vector Yn contains: "));
        EXPECT_EQ(c.points, std::string::npos != text.find(step.getYn().back().display()));
    }
}
