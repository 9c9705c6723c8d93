#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "Algos/Algorithm.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/ArrayOfDouble.hpp"
#include "Math/Point.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/DisplayParameters.hpp"
#include "support/EvalSupport.hpp"
#include "support/EvcSupport.hpp"
#include "support/StepSupport.hpp"
#include "support/StepTree.hpp"
#include "support/SubspaceSupport.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::EvcHarness;
using QarnoTest::makeEvalPoint;
using QarnoTest::ProcessStateGuard;
using QarnoTest::RecordingStep;
using QarnoTest::StreamCapture;
using QarnoTest::TestAlgorithm;
using QarnoTest::UNDEF;

namespace
{

using Lines = std::vector<std::string>;

/// What `op` shows at that display degree.
template <typename OP> Lines shownAt(int displayDegree, OP op)
{
    const auto& queue = OutputQueue::getInstance();
    queue->flush();
    queue->setDisplayDegree(displayDegree);
    StreamCapture out(std::cout);
    op();
    queue->flush();
    return QarnoTest::linesOf(out.text());
}

/// `count` lines, the first after `first`, the others after the 28 blanks
/// that align the points; point i is (i 5 y) in the full space, in the
/// solution format of the display (SOL_FORMAT of a problem of dimension 3).
Lines pointLines(const std::string& first, size_t count, double y)
{
    const auto solFormat =
        QarnoTest::makeDisplayParameters(3, 2, "")->getAttributeValue<ArrayOfDouble>("SOL_FORMAT");
    Lines lines;
    for (size_t i = 1; i <= count; ++i)
    {
        const std::string prefix = (1 == i) ? first : std::string(28, ' ');
        lines.push_back(prefix +
                        Point(QarnoTest::makeArray({double(i), 5.0, y})).display(solFormat));
    }
    return lines;
}

Lines operator+(Lines a, const Lines& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

TEST(AlgorithmReports, BestSolutionsInTheFullSpaceAtMostEightOfEach)
{
    struct Case
    {
        const char* label;
        bool withMegaIteration;
        size_t nbFeas;
        size_t nbInf;
        Lines expected;
    };
    const Lines feasUndefined{"", "Best feasible solution:     Undefined."};
    const Lines infUndefined{"", "Best infeasible solution:   Undefined."};
    const Case cases[] = {
        {"no mega-iteration, no barrier", false, 0, 0, feasUndefined + infUndefined},
        {"no feasible point", true, 0, 1,
         feasUndefined + Lines{""} + pointLines("Best infeasible solution:   ", 1, 9)},
        {"one of each", true, 1, 1,
         Lines{""} + pointLines("Best feasible solution:     ", 1, 0) + Lines{""} +
             pointLines("Best infeasible solution:   ", 1, 9)},
        {"seven feasible: no total line", true, 7, 2,
         Lines{""} + pointLines("Best feasible solutions:    ", 7, 0) + Lines{""} +
             pointLines("Best infeasible solutions:  ", 2, 9)},
        {"eight feasible: the total follows the eighth", true, 8, 0,
         Lines{""} + pointLines("Best feasible solutions:    ", 8, 0) +
             Lines{"... A total of 8 feasible solutions were found."} + infUndefined},
        {"nine infeasible: eight shown", true, 0, 9,
         feasUndefined + Lines{""} + pointLines("Best infeasible solutions:  ", 8, 9) +
             Lines{"... A total of 9 infeasible solutions were found."}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ProcessStateGuard guard;
        StreamCapture quiet(std::cout);
        EvcHarness run(algorithmHarness(QarnoTest::EvcOptions(), EvalType::BB, 3));
        RecordingStep main("Main");
        // Variable 1 is fixed to 5: the algorithm's points have two
        // coordinates, the reports show three.
        TestAlgorithm algo(&main, "MADS", QarnoTest::makeCheckedRunParams(3, false, false),
                           QarnoTest::makeFixedPbParams({UNDEF, 5.0, UNDEF}));
        if (c.withMegaIteration)
        {
            std::vector<EvalPoint> points;
            for (size_t i = 1; i <= c.nbFeas; ++i)
            {
                points.push_back(makeEvalPoint({double(i), 0.0}, 1.0, 0.0));
            }
            for (size_t i = 1; i <= c.nbInf; ++i)
            {
                points.push_back(makeEvalPoint({double(i), 9.0}, 1.0, 2.0));
            }
            auto barrier = std::make_shared<Barrier>(INF, Point(2), EvalType::BB, points);
            ASSERT_EQ(c.nbFeas, barrier->getAllXFeas().size());
            ASSERT_EQ(c.nbInf, barrier->getAllXInf().size());
            algo.setMegaIteration(
                std::make_shared<QarnoTest::TestMegaIteration>(&algo, 0, barrier));
        }
        EXPECT_EQ(c.expected, shownAt(2, [&] { algo.displayBestSolutions(); }));
    }
}

TEST(AlgorithmReports, EvaluationCountsWithTheirLabelWidth)
{
    struct Case
    {
        const char* label;
        bool subAlgo;
        EvalType evalType;
        size_t evaluated; // points evaluated one by one before the counters are set
        size_t bb;
        size_t hits;
        size_t nb;
        int displayDegree;
        Lines expected;
    };
    const Case cases[] = {
        {"only blackbox evaluations: labels not filled",
         false,
         EvalType::BB,
         0,
         10,
         0,
         10,
         2,
         {"", "Blackbox evaluations: 10"}},
        {"cache hits: labels filled to 29",
         false,
         EvalType::BB,
         0,
         100,
         5,
         105,
         2,
         {"", "Blackbox evaluations:        100", "Cache hits:                  5",
          "Total number of evaluations: 105"}},
        {"evaluations not counting: labels filled to 36",
         false,
         EvalType::BB,
         0,
         10,
         0,
         13,
         2,
         {"", "Blackbox evaluations:               10", "Blackbox evaluation (not counting): 3",
          "Total number of evaluations:        13"}},
        {"top algorithm at display degree 1", false, EvalType::BB, 0, 100, 5, 105, 1, {}},
        {"sub-algorithm lap below the total: labels filled to 39",
         true,
         EvalType::BB,
         2,
         10,
         0,
         10,
         3,
         {"", "Blackbox evaluations:                  10",
          "Sub-optimization blackbox evaluations: 2"}},
        {"sub-algorithm hidden at display degree 2", true, EvalType::BB, 2, 10, 0, 10, 2, {}},
        {"sub-algorithm shows its surrogate evaluations",
         true,
         EvalType::SGTE,
         3,
         4,
         0,
         4,
         3,
         {"", "Blackbox evaluations: 4", "Sgte evaluations: 3", "Total sgte evaluations: 3"}},
        {"top algorithm shows the total surrogate evaluations only",
         false,
         EvalType::SGTE,
         3,
         4,
         0,
         4,
         2,
         {"", "Blackbox evaluations: 4", "Total sgte evaluations: 3"}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ProcessStateGuard guard;
        StreamCapture quiet(std::cout);
        QarnoTest::EvcOptions options;
        options.useCache = false;
        EvcHarness run(algorithmHarness(options, c.evalType));
        RecordingStep main("Main");
        TestAlgorithm mads(&main, "MADS");
        RecordingStep search(&mads, "Search");
        TestAlgorithm nm(&search, "NM");

        for (size_t i = 0; i < c.evaluated; ++i)
        {
            EvalPoint point(Point(QarnoTest::makeArray({double(i), 0.0})));
            run.evc->evalSinglePoint(point, 0, INF);
        }
        run.evc->setBbEval(c.bb);
        CacheBase::_nbCacheHits.store(c.hits);
        run.evc->setNbEval(c.nb);

        const Algorithm& algo = c.subAlgo ? static_cast<const Algorithm&>(nm) : mads;
        EXPECT_EQ(c.expected, shownAt(c.displayDegree, [&] { algo.displayEvalCounts(); }));
    }
}
