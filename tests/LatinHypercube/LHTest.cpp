#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/LatinHypercube/LH.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/EvalPoint.hpp"
#include "Math/Point.hpp"
#include "Param/AllParameters.hpp"
#include "Util/StopReasonTypes.hpp"
#include "support/EvcSupport.hpp"
#include "support/MadsSupport.hpp"
#include "support/SearchSupport.hpp"
#include "support/StepSupport.hpp"
#include "support/TestProblems.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::messageOf;
using QarnoTest::ProcessStateGuard;

namespace
{

const std::vector<double> LB = {-1, 0};
const std::vector<double> UB = {1, 10};

/// The problem of these tests, from the shared table: a sphere in a box.
const QarnoTest::TestProblem& lhProblem()
{
    return QarnoTest::testProblem("lh-sphere2");
}

std::vector<std::string> boxLines(std::vector<std::string> lines)
{
    lines.push_back("LOWER_BOUND " + QarnoTest::pointLine(lhProblem().lower));
    lines.push_back("UPPER_BOUND " + QarnoTest::pointLine(lhProblem().upper));
    return lines;
}

std::vector<EvalPoint> cachedPoints()
{
    std::vector<EvalPoint> points;
    CacheBase::getInstance()->getAllPoints(points);
    return points;
}

/// Per coordinate, the sorted indices of the slices of [LB, UB] cut in p
/// that hold the points.
std::vector<std::vector<size_t>> slicesOf(const std::vector<EvalPoint>& points, size_t p)
{
    std::vector<std::vector<size_t>> slices(LB.size());
    for (const auto& x : points)
    {
        for (size_t i = 0; i < LB.size(); ++i)
        {
            const double q = (x[i].todouble() - LB[i]) / (UB[i] - LB[i]) * static_cast<double>(p);
            slices[i].push_back(static_cast<size_t>(std::floor(q)));
        }
    }
    for (auto& s : slices)
    {
        std::sort(s.begin(), s.end());
    }
    return slices;
}

/// How many times `pattern` appears in `text`.
size_t occurrences(const std::string& text, const std::string& pattern)
{
    size_t n = 0;
    for (size_t pos = text.find(pattern); std::string::npos != pos;
         pos = text.find(pattern, pos + 1))
    {
        ++n;
    }
    return n;
}

} // namespace

TEST(LH, EvaluatesTheWholeSampleOnceInTheBox)
{
    // The main step runs LH alone with opportunism off: the whole sample is
    // evaluated even though every point improves on the ones before.
    const struct
    {
        size_t p;
        std::vector<std::string> lines;
        size_t expectedEval;
    } cases[] = {
        {1, {}, 1},
        {7, {}, 7},
        {100, {}, 100},
        // The sample is the size of the budget, spread over the whole box,
        // however large LH_EVAL is: no point is drawn that cannot be
        // evaluated.
        {100, {"MAX_BB_EVAL 30"}, 30},
        {1000000, {"MAX_BB_EVAL 5"}, 5},
        {100, {"MAX_EVAL 12"}, 12},
        {100, {"MAX_BLOCK_EVAL 3", "BB_MAX_BLOCK_SIZE 4"}, 12},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE("LH_EVAL " + std::to_string(c.p) + " expects " +
                     std::to_string(c.expectedEval));
        ProcessStateGuard guard;
        auto lines = c.lines;
        lines.push_back("LH_EVAL " + std::to_string(c.p));
        auto params =
            QarnoTest::makeMadsParameters(lhProblem().n, "OBJ", {lhProblem().x0}, boxLines(lines));
        const auto result =
            QarnoTest::runMadsMainStep(params, QarnoTest::shiftedQuadratic(lhProblem().minimiser));

        EXPECT_EQ(c.expectedEval, result.bbEval);
        EXPECT_TRUE(result.runResult);
        const auto points = cachedPoints();
        ASSERT_EQ(c.expectedEval, points.size());
        for (const auto& x : points)
        {
            for (size_t i = 0; i < LB.size(); ++i)
            {
                EXPECT_LE(LB[i], x[i].todouble());
                EXPECT_GE(UB[i], x[i].todouble());
            }
        }
        // One point in every slice of every coordinate.
        std::vector<size_t> all(c.expectedEval);
        for (size_t j = 0; j < c.expectedEval; ++j)
        {
            all[j] = j;
        }
        EXPECT_EQ(std::vector<std::vector<size_t>>(LB.size(), all),
                  slicesOf(points, c.expectedEval));
        EXPECT_NE(std::string::npos, result.stopReason.find("No more points to evaluate (Algo)"))
            << result.stopReason;
    }
}

TEST(LH, BoundsAndCountErrors)
{
    const struct
    {
        const char* name;
        std::vector<std::string> lines;
        std::string message;
    } cases[] = {
        {"no lower bound",
         {"LH_EVAL 5", "UPPER_BOUND ( 1 10 )"},
         "Latin Hypercube Sampling requires a complete lower bound vector"},
        {"lower bound missing in one coordinate",
         {"LH_EVAL 5", "LOWER_BOUND ( -1 - )", "UPPER_BOUND ( 1 10 )"},
         "Latin Hypercube Sampling requires a complete lower bound vector"},
        {"no upper bound",
         {"LH_EVAL 5", "LOWER_BOUND ( -1 0 )"},
         "Latin Hypercube Sampling requires a complete upper bound vector"},
        {"no bound at all: the lower one is reported",
         {"LH_EVAL 5"},
         "Latin Hypercube Sampling requires a complete lower bound vector"},
        {"infinite count", boxLines({"LH_EVAL INF"}),
         "The number of evaluations for LH cannot be infinite."},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard guard;
        auto params =
            QarnoTest::makeMadsParameters(lhProblem().n, "OBJ", {lhProblem().x0}, c.lines);
        const auto evaluator = QarnoTest::shiftedQuadratic(lhProblem().minimiser);
        EXPECT_EQ(c.message, messageOf([&] { QarnoTest::runMadsMainStep(params, evaluator); }));
        EXPECT_EQ(0u, evaluator->evaluatedPoints().size());
    }
}

TEST(LH, CachedPointsAreNotEvaluatedAgain)
{
    // Same seed, same sample: the second run finds every point in the
    // cache, evaluates nothing and reports no success. Twice in one process.
    ProcessStateGuard guard;
    QarnoTest::resetRandomGenerator();
    auto params = QarnoTest::makeMadsParameters(lhProblem().n, "OBJ", {lhProblem().x0},
                                                boxLines({"LH_EVAL 6"}));
    const auto first =
        QarnoTest::runMadsMainStep(params, QarnoTest::shiftedQuadratic(lhProblem().minimiser));
    EXPECT_EQ(6u, first.bbEval);
    EXPECT_TRUE(first.runResult);

    QarnoTest::resetRandomGenerator();
    auto again = QarnoTest::makeMadsParameters(lhProblem().n, "OBJ", {lhProblem().x0},
                                               boxLines({"LH_EVAL 6"}));
    const auto evaluator = QarnoTest::shiftedQuadratic(lhProblem().minimiser);
    const auto second = QarnoTest::runMadsMainStep(again, evaluator);
    EXPECT_EQ(0u, evaluator->evaluatedPoints().size());
    EXPECT_FALSE(second.runResult);
    EXPECT_EQ(6u, cachedPoints().size());
}

TEST(LH, SampleTexts)
{
    // At the information level the sample is shown as one block: each point
    // inserted, then the size of the set.
    ProcessStateGuard guard;
    auto params = QarnoTest::makeMadsParameters(lhProblem().n, "OBJ", {lhProblem().x0},
                                                boxLines({"LH_EVAL 3", "DISPLAY_DEGREE 3"}));
    const auto result =
        QarnoTest::runMadsMainStep(params, QarnoTest::shiftedQuadratic(lhProblem().minimiser));
    EXPECT_EQ(3u, result.bbEval);
    // Opened and closed with the same text.
    EXPECT_EQ(2u, occurrences(result.out, "Generate points for Latin Hypercube Sampling"))
        << result.out;
    EXPECT_EQ(3u, occurrences(result.out, "Generated point: ")) << result.out;
    EXPECT_EQ(0u, occurrences(result.out, " not inserted: ")) << result.out;
    EXPECT_EQ(1u, occurrences(result.out, "Generated 3 points")) << result.out;
}

TEST(LH, SampleTextsAreNotShownAtLowDisplayDegree)
{
    ProcessStateGuard guard;
    auto params = QarnoTest::makeMadsParameters(lhProblem().n, "OBJ", {lhProblem().x0},
                                                boxLines({"LH_EVAL 4"}));
    const auto result =
        QarnoTest::runMadsMainStep(params, QarnoTest::shiftedQuadratic(lhProblem().minimiser));
    EXPECT_EQ(4u, result.bbEval);
    EXPECT_EQ(std::string::npos, result.out.find("Generate points for")) << result.out;
    EXPECT_EQ(std::string::npos, result.out.find("Generated ")) << result.out;
}

TEST(LH, OtherStopReasonsAreRefused)
{
    ProcessStateGuard guard;
    auto params = QarnoTest::makeMadsParameters(lhProblem().n, "OBJ", {lhProblem().x0},
                                                boxLines({"LH_EVAL 4"}));
    params->checkAndComply();
    QarnoTest::StreamCapture quiet(std::cout);
    QarnoTest::RecordingStep root("Main");
    EXPECT_EQ("Invalid shared pointer cast",
              messageOf(
                  [&]
                  {
                      LH lh(&root, std::make_shared<AlgoStopReasons<MadsStopType>>(),
                            params->get_run_params(), params->get_pb_params());
                      EXPECT_EQ("Latin Hypercube Sampling", lh.getName());
                      QarnoTest::EvcHarness installed(QarnoTest::searchHarness(
                          {BBOutputType::OBJ}, QarnoTest::firstCoordinateObjective()));
                      lh.start();
                      lh.run();
                  }));
}

TEST(LH, DirectRunEvaluatesTheSampleUnlessTerminating)
{
    for (const bool terminate : {false, true})
    {
        SCOPED_TRACE(terminate ? "stop reasons say terminate" : "a plain run");
        ProcessStateGuard guard;
        auto params = QarnoTest::makeMadsParameters(lhProblem().n, "OBJ", {lhProblem().x0},
                                                    boxLines({"LH_EVAL 5"}));
        params->checkAndComply();
        QarnoTest::StreamCapture quiet(std::cout);
        QarnoTest::RecordingStep root("Main");
        QarnoTest::EvcHarness installed(
            QarnoTest::searchHarness({BBOutputType::OBJ}, QarnoTest::firstCoordinateObjective()));
        auto stopReasons = std::make_shared<AlgoStopReasons<LHStopType>>();
        LH lh(&root, stopReasons, params->get_run_params(), params->get_pb_params());
        lh.start();
        EXPECT_EQ(5u, lh.getTrialPointsCount());
        if (terminate)
        {
            stopReasons->_algoStopReason.set(LHStopType::NO_POINTS_GENERATED);
        }
        EXPECT_EQ(!terminate, lh.run());
        EXPECT_EQ(terminate ? 0u : 5u, installed.evc->getBbEval());
        lh.end();
    }
}

TEST(LH, PointsEqualToAnEarlierOneAreNotInserted)
{
    // A range far below the comparison tolerance of coordinates: the sample
    // holds points that count as equal. Each is reported, the set keeps one
    // of each, and only the set is evaluated.
    ProcessStateGuard guard;
    auto params = QarnoTest::makeMadsParameters(
        1, "OBJ", {{0}},
        {"LH_EVAL 20", "LOWER_BOUND ( 0 )", "UPPER_BOUND ( 1e-12 )", "DISPLAY_DEGREE 3"});
    const auto result = QarnoTest::runMadsMainStep(params, QarnoTest::shiftedQuadratic({0}));
    const size_t inserted = occurrences(result.out, "Generated point: ");
    const size_t duplicates = occurrences(result.out, " not inserted: ");
    EXPECT_EQ(20u, inserted + duplicates);
    EXPECT_LT(0u, duplicates);
    EXPECT_EQ(inserted, result.bbEval);
    EXPECT_EQ(1u, occurrences(result.out, "Generated " + std::to_string(inserted) + " points"))
        << result.out;
}
