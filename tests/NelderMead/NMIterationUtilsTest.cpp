#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <string>
#include <vector>

#include "Algos/NelderMead/NMIterationUtils.hpp"
#include "Algos/NelderMead/NMStepType.hpp"
#include "Eval/EvalPoint.hpp"
#include "Output/OutputQueue.hpp"
#include "Util/AllStopReasons.hpp"
#include "support/NMSupport.hpp"
#include "support/StepSupport.hpp"
#include "support/StepTree.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::makeNMPoint;

namespace
{

/// Feasible points with increasing f, so that Y keeps the given order.
std::vector<EvalPoint> simplexOf(const std::vector<std::vector<double>>& coords)
{
    std::vector<EvalPoint> points;
    for (size_t i = 0; i < coords.size(); ++i)
    {
        points.push_back(makeNMPoint(coords[i], static_cast<double>(i), 0, i + 1));
    }
    return points;
}

class NMIterationUtilsTest : public ::testing::Test
{
protected:
    QarnoTest::ProcessStateGuard guard;
    void SetUp() override { OutputQueue::getInstance()->setDisplayDegree(2); }
};

} // namespace

TEST_F(NMIterationUtilsTest, CharacteristicsOfSmallSimplices)
{
    OutputQueue::getInstance()->setDisplayDegree(4);
    struct Case
    {
        const char* name;
        std::vector<std::vector<double>> points;
        double tolerance;
        int rank;
        double diameter;
        double volume;
        double normalizedVolume;
    };
    const double sqrt2 = std::sqrt(2.0);
    const std::vector<Case> cases = {
        {"unit triangle", {{0, 0}, {1, 0}, {0, 1}}, 1e-13, 2, sqrt2, 0.5, 0.25},
        {"unit triangle, other order", {{1, 0}, {0, 1}, {0, 0}}, 1e-13, 2, sqrt2, 0.5, 0.25},
        {"unit triangle, third order", {{0, 1}, {0, 0}, {1, 0}}, 1e-13, 2, sqrt2, 0.5, 0.25},
        {"collinear", {{0, 0}, {1, 1}, {2, 2}}, 1e-13, 1, 2 * sqrt2, 0, 0},
        {"nearly flat, tight tolerance",
         {{0, 0}, {1, 0}, {0.5, 0.001}},
         1e-13,
         2,
         1,
         0.0005,
         0.0005},
        {"nearly flat, search tolerance",
         {{0, 0}, {1, 0}, {0.5, 0.001}},
         0.01,
         1,
         1,
         0.0005,
         0.0005},
        {"unit tetrahedron",
         {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
         1e-13,
         3,
         sqrt2,
         1.0 / 6,
         1.0 / 6 / (2 * sqrt2)},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        QarnoTest::StepTree frame(
            QarnoTest::nmStepTree(c.points[0].size(), QarnoTest::makeSimplex(simplexOf(c.points))));
        QarnoTest::NMUtilsStep step(&frame.iteration);
        step.setRankTolerance(c.tolerance);
        EXPECT_EQ(c.rank, step.getRankDZ());
        step.updateYCharacteristics();
        EXPECT_NEAR(c.diameter, step.getYDiameter(), 1e-12);
        EXPECT_NEAR(c.volume, step.getYVolume(), 1e-12);
        EXPECT_NEAR(c.normalizedVolume, step.getYNormalizedVolume(), 1e-12);
    }
    std::cout.flush();
}

TEST_F(NMIterationUtilsTest, SizeCheckThrowsWhetherOrNotTheDebugDisplayIsShown)
{
    for (int degree : {2, 4})
    {
        SCOPED_TRACE("display degree " + std::to_string(degree));
        OutputQueue::getInstance()->setDisplayDegree(degree);
        for (const auto& coords : std::vector<std::vector<double>>{{0.5}, {0.5, 1.5}})
        {
            QarnoTest::StepTree frame(QarnoTest::nmStepTree(
                coords.size(), QarnoTest::makeSimplex({makeNMPoint(coords, 1, 0, 1)})));
            QarnoTest::NMUtilsStep step(&frame.iteration);
            step.updateYDiameter();
            EXPECT_EQ(0.0, step.getYDiameter());
            EXPECT_EQ(0, step.getRankDZ());
            EXPECT_EQ("Cannot get the volume of simplex Y when its dimension is not dimPb+1",
                      QarnoTest::messageOf([&] { step.updateYCharacteristics(); }));
        }
    }
}

TEST_F(NMIterationUtilsTest, CharacteristicsAreComputedOnlyForTheDebugDisplay)
{
    QarnoTest::StepTree frame(
        QarnoTest::nmStepTree(2, QarnoTest::makeSimplex(simplexOf({{0, 0}, {1, 0}, {0, 1}}))));
    QarnoTest::NMUtilsStep step(&frame.iteration);
    step.updateYCharacteristics();
    EXPECT_EQ(0.0, step.getYDiameter());
    EXPECT_EQ(0.0, step.getYVolume());

    step.computeYCharacteristics();
    EXPECT_DOUBLE_EQ(0.5, step.getYVolume());
}

TEST_F(NMIterationUtilsTest, WithoutSimplexTheOperationsThrow)
{
    QarnoTest::RecordingStep mainStep("Main Step");
    QarnoTest::TestAlgorithm algo(&mainStep, "NM", QarnoTest::makeCheckedRunParams(2, false, false),
                                  QarnoTest::makeCheckedPbParams(2), QarnoTest::newNMStopReasons());
    QarnoTest::TestIteration iteration(&algo, 0);
    QarnoTest::NMUtilsStep step(&iteration);
    EXPECT_EQ(nullptr, step.getSimplexY());
    const std::string expected = "The iteration utils must have a simplex to work with";
    EXPECT_EQ(expected, QarnoTest::messageOf([&] { step.getRankDZ(); }));
    EXPECT_EQ(expected, QarnoTest::messageOf([&] { step.updateYCharacteristics(); }));
    EXPECT_EQ(expected, QarnoTest::messageOf([&] { step.displayYInfo(); }));
}

TEST_F(NMIterationUtilsTest, DisplayOfYOnlyAtTheDebugLevel)
{
    QarnoTest::StepTree frame(
        QarnoTest::nmStepTree(2, QarnoTest::makeSimplex(simplexOf({{0, 0}, {1, 0}, {0, 1}}))));
    QarnoTest::NMUtilsStep step(&frame.iteration);
    {
        OutputQueue::getInstance()->setDisplayDegree(3); // information, no debug
        QarnoTest::StreamCapture out(std::cout);
        step.displayYInfo();
        OutputQueue::getInstance()->flush();
        EXPECT_EQ("", out.text());
    }
    OutputQueue::getInstance()->setDisplayDegree(4);
    step.updateYCharacteristics();
    QarnoTest::StreamCapture out(std::cout);
    step.displayYInfo();
    const std::string text = out.text();
    for (const char* line :
         {"Number of points in the simplex Y: 3", "The rank of DZ=[ (1 0 ) (0 1 ) ] equals 2",
          "The volume of the simplex: 0.500000", "The diameter of the simplex: 1.41421",
          "The normalized volume of the simplex: 0.25", "The simplex Y contains: "})
    {
        EXPECT_NE(std::string::npos, text.find(line)) << line << "\n" << text;
    }
    EXPECT_LT(text.find("The rank of DZ"), text.find("The volume of the simplex"));
}

TEST_F(NMIterationUtilsTest, StopReasonOfEachStepKind)
{
    const std::vector<std::pair<NMStepType, std::string>> cases = {
        {NMStepType::REFLECT, "Reflect step has failed"},
        {NMStepType::EXPAND, "Expansion step has failed"},
        {NMStepType::OUTSIDE_CONTRACTION, "Outside conctraction step has failed"},
        {NMStepType::INSIDE_CONTRACTION, "Inside contraction step failed"},
        {NMStepType::SHRINK, "Shrink step has failed"},
        {NMStepType::INSERT_IN_Y, "Insertion of points has failed"},
        {NMStepType::UNSET, "Unknown step"},
        {NMStepType::CONTINUE, "Unknown step"},
        {static_cast<NMStepType>(1), "Unknown step"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.second);
        QarnoTest::StepTree frame(QarnoTest::nmStepTree(2));
        QarnoTest::NMUtilsStep step(&frame.iteration);
        step.setStepType(c.first);
        step.setStopReason();
        EXPECT_EQ(c.second, QarnoTest::nmStopReasonText(frame.algo));
        EXPECT_TRUE(frame.algo.getAllStopReasons()->checkTerminate());
    }
}

TEST_F(NMIterationUtilsTest, StopReasonNeedsNelderMeadStopReasons)
{
    QarnoTest::RecordingStep mainStep("Main Step");
    QarnoTest::TestAlgorithm algo(&mainStep, "MADS");
    QarnoTest::TestIteration iteration(&algo, 0, nullptr, nullptr, std::make_shared<NMSimplex>());
    QarnoTest::NMUtilsStep step(&iteration);
    step.setStepType(NMStepType::SHRINK);
    EXPECT_EQ("Invalid shared pointer cast", QarnoTest::messageOf([&] { step.setStopReason(); }));
}
