// The shrink of the Nelder-Mead simplex: its points, their evaluation (Y
// itself unchanged), gamma's range and SHRINK_FAILED.

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Algos/NelderMead/NMShrink.hpp"
#include "Eval/Barrier.hpp"
#include "support/CacheSupport.hpp"
#include "support/EvcSupport.hpp"
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
using QarnoTest::makeNMParameters;
using QarnoTest::messageOf;
using QarnoTest::ProcessStateGuard;
using QarnoTest::StepTree;

using Points = std::vector<std::vector<double>>;

struct ShrinkRun
{
    bool result = false;
    std::string out;
    Points evaluated;
    std::string stopReason;
    Points yAfter;
    /// f of the first feasible point of the barrier afterwards.
    double bestF = 0;
};

/// A shrink of the simplex made of those cached points (f as given, Y in
/// that order of f) with NM_GAMMA; the evaluator answers f = x1, h = 0, and
/// fails at the points `failing`.
ShrinkRun runShrink(const std::string& gamma, const Points& simplex, const std::vector<double>& f,
                    const Points& alsoCached = {}, const Points& failing = {})
{
    EvcHarness algoRun(
        algorithmHarness(QarnoTest::EvcOptions(), EvalType::BB, simplex.front().size()));
    algoRun.evaluator->evalOk = [failing](const EvalPoint& x)
    {
        return std::find(failing.begin(), failing.end(), QarnoTest::coordsOf({x}).front()) ==
               failing.end();
    };
    const size_t n = simplex.front().size();
    const auto params = makeNMParameters(n, true, {"NM_GAMMA " + gamma});
    std::vector<EvalPoint> points;
    for (size_t k = 0; k < simplex.size(); ++k)
    {
        points.push_back(cacheNMPoint(simplex[k], f[k]));
    }
    for (const auto& x : alsoCached)
    {
        cacheNMPoint(x, 100);
    }
    StepTree frame(QarnoTest::nmIterationTree(params, QarnoTest::barrierFromCache(n),
                                              std::make_shared<EvalPoint>(points.front())));
    for (const auto& p : points)
    {
        frame.Y().insert(p);
    }

    ShrinkRun run;
    NMShrink shrink(&frame.iteration);
    EXPECT_EQ("NM Shrink", shrink.getName());
    run.out = QarnoTest::infoMessagesOf(
        [&]
        {
            shrink.start();
            run.result = shrink.run();
            shrink.end();
        });
    run.evaluated = algoRun.evaluator->evaluatedPoints();
    std::sort(run.evaluated.begin(), run.evaluated.end());
    run.stopReason = QarnoTest::nmStopReasonText(frame.algo);
    run.yAfter = coordsOf(frame.Y().points());
    const auto best = frame.mega.getBarrier()->getFirstXFeas();
    run.bestF = (nullptr == best) ? 0 : best->getF().todouble();
    return run;
}

bool contains(const std::string& text, const std::string& part)
{
    return std::string::npos != text.find(part);
}

TEST(NMShrink, PointsTowardsTheBestPoint)
{
    struct Case
    {
        std::string gamma;
        Points simplex;
        Points evaluated;
        Points yAfter;
    };
    const std::vector<Case> cases = {
        {"0.5", {{0, 0}, {1, 0}, {0, 1}}, {{0, 0.5}, {0.5, 0}}, {{0, 0.5}, {0.5, 0}, {0, 0}}},
        {"0.25", {{0, 0}, {1, 0}, {0, 1}}, {{0, 0.25}, {0.25, 0}}, {{0, 0.25}, {0.25, 0}, {0, 0}}},
        {"0.5", {{2, 2}, {4, 2}, {2, 0}}, {{2, 1}, {3, 2}}, {{2, 1}, {3, 2}, {2, 2}}},
        // Equal f = 0: the order of evaluation (tags) decides.
        {"0.5",
         {{0, 0, 0}, {2, 0, 0}, {0, 2, 0}, {0, 0, 2}},
         {{0, 0, 1}, {0, 1, 0}, {1, 0, 0}},
         {{0, 0, 1}, {0, 1, 0}, {1, 0, 0}, {0, 0, 0}}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE("gamma " + c.gamma + ", " + std::to_string(c.simplex.size()) + " points");
        ProcessStateGuard guard;
        std::vector<double> f;
        for (size_t k = 0; k < c.simplex.size(); ++k)
        {
            f.push_back(10.0 + double(k));
        }
        const ShrinkRun run = runShrink(c.gamma, c.simplex, f);
        // y0's own shrink point is y0, which is cached: not evaluated again.
        EXPECT_EQ(c.evaluated, run.evaluated);
        // f = x1 < 10: the evaluation succeeds, and the best of the shrink
        // points becomes the barrier's incumbent.
        EXPECT_TRUE(run.result);
        double bestF = c.evaluated.front()[0];
        for (const auto& x : c.evaluated)
        {
            bestF = std::min(bestF, x[0]);
        }
        EXPECT_EQ(bestF, run.bestF);
        EXPECT_EQ("Started", run.stopReason);
        // Y is the shrunk simplex, y0 and the moved points in the simplex
        // order, so that the next iteration goes on from it.
        EXPECT_EQ(c.yAfter, run.yAfter);
    }
}

TEST(NMShrink, CachedShrinkPointsTakePartWithTheirCachedValues)
{
    ProcessStateGuard guard;
    const ShrinkRun run =
        runShrink("0.5", {{0, 0}, {1, 0}, {0, 1}}, {1, 2, 3}, {{0.5, 0}, {0, 0.5}});
    // Nothing evaluated, so no success; but the shrink did its work.
    EXPECT_FALSE(run.result);
    EXPECT_TRUE(run.evaluated.empty());
    EXPECT_EQ("Started", run.stopReason);
    // f = 100 for both cached points: y0 first, then the order of caching.
    EXPECT_EQ((Points{{0, 0}, {0.5, 0}, {0, 0.5}}), run.yAfter);
}

TEST(NMShrink, ShrinkTexts)
{
    ProcessStateGuard guard;
    const ShrinkRun run = runShrink("0.5", {{0, 0}, {1, 0}, {0, 1}}, {1, 2, 3});
    for (const std::string& line :
         {std::string("Shrink simplex with NM Shrink (gamma=0.5) with 3 points."),
          std::string("y1: #"), std::string("xr: ( 0.5 0 )"), std::string("xr: ( 0 0.5 )")})
    {
        EXPECT_TRUE(contains(run.out, line)) << line << "\n" << run.out;
    }
}

TEST(NMShrink, ShrinkFailed)
{
    struct Case
    {
        std::string name;
        std::string gamma;
        Points simplex;
        Points failing;
        bool tooClose;
        Points evaluated;
        bool result;
    };
    const std::vector<Case> cases = {
        {"gamma 1: the second point does not move",
         "1",
         {{0, 0}, {1, 0}, {0, 1}},
         {},
         true,
         {},
         false},
        {"a simplex point on y0", "0.5", {{0, 0}, {5e-14, 0}, {0, 1}}, {}, true, {}, false},
        // A moved point without a usable evaluation leaves no simplex (the
        // other one, f = 0, is still a success).
        {"a shrink point whose evaluation fails",
         "0.5",
         {{0, 0}, {1, 0}, {0, 1}},
         {{0.5, 0}},
         false,
         {{0, 0.5}, {0.5, 0}},
         true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard guard;
        const ShrinkRun run = runShrink(c.gamma, c.simplex, {1, 2, 3}, {}, c.failing);
        EXPECT_EQ(c.result, run.result);
        EXPECT_EQ(c.evaluated, run.evaluated);
        EXPECT_EQ("Shrink step has failed", run.stopReason);
        EXPECT_EQ(c.tooClose, contains(run.out, "Shrink point to close to simplex point."));
        EXPECT_EQ(c.simplex, run.yAfter);
    }
}

TEST(NMShrink, GammaRange)
{
    struct Case
    {
        std::string gamma;
        bool accepted;
    };
    for (const Case& c : {Case{"0", false}, Case{"-0.5", false}, Case{"1.5", false},
                          Case{"1e-14", false}, Case{"0.01", true}, Case{"1", true}})
    {
        SCOPED_TRACE(c.gamma);
        ProcessStateGuard guard;
        EvcHarness algoRun;
        const auto params = makeNMParameters(2, true, {"NM_GAMMA " + c.gamma});
        const EvalPoint center = cacheNMPoint({0, 0}, 1);
        StepTree frame(QarnoTest::nmIterationTree(params, QarnoTest::barrierFromCache(2),
                                                  std::make_shared<EvalPoint>(center)));
        std::string file;
        const std::string message = messageOf([&] { NMShrink shrink(&frame.iteration); }, &file);
        if (c.accepted)
        {
            EXPECT_EQ("(no exception)", message);
        }
        else
        {
            EXPECT_EQ("Gamma value not compatible with shrink", message);
            EXPECT_EQ("src/Algos/NelderMead/NMShrink", file);
        }
    }
}

} // namespace
