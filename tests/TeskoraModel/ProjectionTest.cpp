#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Algos/EvcInterface.hpp"
#include "Algos/Iteration.hpp"
#include "Algos/Mads/GMesh.hpp"
#include "Algos/TeskoraModel/Projection.hpp"
#include "Algos/TeskoraModel/TeskoraModel.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/RNG.hpp"
#include "support/CacheSupport.hpp"
#include "support/ModelSearchSupport.hpp"
#include "support/StepSupport.hpp"
#include "support/StepTree.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using namespace QarnoTest;

namespace
{

std::vector<double> sphere(const std::vector<double>& x)
{
    double f = 0;
    for (double v : x)
    {
        f += v * v;
    }
    return {f};
}

// A projection setting in dimension n: an algorithm of the harness, below it
// an iteration with the MADS mesh of the problem and the origin as frame
// centre (no mesh when asked).
struct ProjectionRun
{
    explicit ProjectionRun(size_t n, bool withMesh = true)
        : h(n, "OBJ", sphere, {std::vector<double>(n, 0.0)})
    {
        model = std::make_unique<TeskoraModel>(h.root.get(), h.makeStopReasons(), h.runParams(),
                                               h.pbParams());
        std::shared_ptr<MeshBase> mesh;
        if (withMesh)
        {
            mesh = std::make_shared<GMesh>(h.pbParams());
        }
        iteration = std::make_unique<TestIteration>(model.get(), 0, mesh,
                                                    std::make_shared<EvalPoint>(Point(n, 0.0)));
    }

    ModelSearchHarness h;
    std::unique_ptr<TeskoraModel> model;
    std::unique_ptr<TestIteration> iteration;
};

std::set<EvalPoint, EvalPointCompare> oracles(const std::vector<std::vector<double>>& points)
{
    std::set<EvalPoint, EvalPointCompare> set;
    for (const auto& x : points)
    {
        set.insert(EvalPoint(Point(makeArray(x))));
    }
    return set;
}

} // namespace

TEST(Projection, SignPatternsFromTheGenerator)
{
    ProjectionRun run(3);
    std::vector<std::vector<Projection::SignPattern>> drawn;
    for (int repeat = 0; repeat < 2; ++repeat)
    {
        resetRandomGenerator();
        const Projection projection(run.iteration.get(), oracles({{1, 1, 1}}));
        drawn.push_back(projection.getSignPatterns());
    }
    // Three draws modulo 8: one to three patterns, the same from the same
    // state.
    ASSERT_GE(drawn[0].size(), 1u);
    ASSERT_LE(drawn[0].size(), 3u);
    EXPECT_EQ(drawn[0], drawn[1]);
    for (const auto& pattern : drawn[0])
    {
        ASSERT_EQ(1u, pattern.size());
        EXPECT_LT(pattern[0], 8u);
    }

    const Projection projection(run.iteration.get(), oracles({{1, 1, 1}}));
    const EvalPoint x(Point(3, 0.0));
    const double d = run.iteration->getMesh()->getdeltaMeshSize(0).todouble();
    struct Case
    {
        size_t index;
        std::vector<double> signs;
    };
    // Index 0: every step positive; N - 1: every step negative; bit i is
    // coordinate i.
    for (const Case& c : std::vector<Case>{{0, {1, 1, 1}}, {7, {-1, -1, -1}}, {5, {-1, 1, -1}}})
    {
        SCOPED_TRACE(c.index);
        const Direction dir = projection.computePerturbation(x, Projection::patternOf(c.index, 3));
        for (size_t i = 0; i < 3; ++i)
        {
            EXPECT_DOUBLE_EQ(c.signs[i] * d, dir[i].todouble());
        }
    }
}

TEST(Projection, GreedySelectionKeepsCandidateZero)
{
    ProjectionRun run(2);
    Projection projection(run.iteration.get(), oracles({{0, 0}}));
    std::vector<Point> candidates;
    for (double x : {-2.0, -1.0, 0.0, 0.5, 1.0, 3.0})
    {
        candidates.push_back(Point(makeArray({x, x / 2})));
    }
    std::vector<bool> keep;
    projection.doGreedySelection(EvalPoint(Point(2, 0.0)), candidates, keep);
    ASSERT_EQ(candidates.size(), keep.size());
    EXPECT_TRUE(keep[0]);
    const size_t kept = static_cast<size_t>(std::count(keep.begin(), keep.end(), true));
    EXPECT_GE(kept, 1u);
    EXPECT_LE(kept, 2u); // m = n = 2
}

TEST(Projection, GreedyWeightOfTheDistanceToTheOraclePoint)
{
    // m = n = 2: candidate 0, then the one that maximises its distance to
    // the selection less w times its distance to the oracle point (the
    // origin), all in mesh units, w starting at 3 and lowered by a factor
    // 0.9 while a selected candidate scores best.
    ProjectionRun run(2);
    Projection projection(run.iteration.get(), oracles({{0, 0}}));
    const double d = run.iteration->getMesh()->getdeltaMeshSize(0).todouble();
    ASSERT_DOUBLE_EQ(d, run.iteration->getMesh()->getdeltaMeshSize(1).todouble());
    struct Case
    {
        const char* label;
        std::vector<std::vector<double>> candidates; // in mesh units, candidate 0 first
        size_t second;                               // the other candidate kept
    };
    const std::vector<Case> cases = {
        // Scores with w = 3: (0, 1) 10.05 - 3 = 7.05, (10, 0) 20 - 30; with
        // w = 1 the far one would win (10 against 9.05).
        {"weight 3: near the oracle point", {{-10, 0}, {10, 0}, {0, 1}}, 2},
        // Candidate 0 itself (score -w) wins until w < 1.27, the first step
        // below being 3 * 0.9^9 = 1.16, where (0, 5) scores -0.71 and (0, 20)
        // -3.22; a coarser step (3, 1.5, 0.75) would reach (0, 20) first.
        {"weight lowered by steps of 0.9", {{1, 0}, {0, 20}, {0, 5}}, 2},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        std::vector<Point> candidates;
        for (const auto& x : c.candidates)
        {
            candidates.push_back(Point(makeArray({x[0] * d, x[1] * d})));
        }
        std::vector<bool> keep;
        projection.doGreedySelection(EvalPoint(Point(2, 0.0)), candidates, keep);
        std::vector<bool> expected(candidates.size(), false);
        expected[0] = true;
        expected[c.second] = true;
        EXPECT_EQ(expected, keep);
    }
}

TEST(Projection, TrialPointsOfTheOraclePoints)
{
    ProjectionRun run(2);
    run.h.seedCache({{0, 0}, {1, 1}, {2, -1}});
    resetRandomGenerator();
    Projection projection(run.iteration.get(), oracles({{0.3, 0.3}, {5.1, 5.2}}));
    ASSERT_FALSE(projection.getSignPatterns().empty());
    const std::string shown = infoMessagesOf([&] { projection.start(); });
    EXPECT_NE(std::string::npos, shown.find(std::to_string(projection.getSignPatterns().size()) +
                                            " perturbation vectors"));
    EXPECT_NE(std::string::npos, shown.find("3 cache points"));
    EXPECT_NE(std::string::npos, shown.find(" projection candidates"));
    // The second oracle point gets no perturbations.
    EXPECT_TRUE(projection.getSignPatterns().empty());
    // Two oracle points, two projections, at most m = 2 perturbation points.
    EXPECT_GE(projection.getTrialPointsCount(), 4u);
    EXPECT_LE(projection.getTrialPointsCount(), 6u);

    const size_t before = run.h.bbEvalCount();
    EXPECT_TRUE(projection.run());
    EXPECT_GT(run.h.bbEvalCount(), before);
    projection.end();
}

TEST(Projection, CachedProjectionAndMissingMesh)
{
    // A projection that the cache holds with a surrogate evaluation is not
    // proposed again.
    {
        ProjectionRun run(2);
        const Point projected =
            run.iteration->getMesh()->projectOnMesh(Point(makeArray({0.3, 0.3})), Point(2, 0.0));
        Projection first(run.iteration.get(), oracles({{0.3, 0.3}}));
        first.stdProjectedPoint(EvalPoint(Point(makeArray({0.3, 0.3}))));
        EXPECT_EQ(1u, first.getTrialPointsCount());

        EvalPoint predicted(projected);
        predicted.setBBO("0.18", {BBOutputType::OBJ}, EvalType::SGTE, true);
        predicted.setEvalStatus(EvalStatusType::EVAL_OK, EvalType::SGTE);
        CacheBase::getInstance()->update(predicted, EvalType::SGTE);
        Projection other(run.iteration.get(), oracles({{0.3, 0.3}}));
        other.stdProjectedPoint(EvalPoint(Point(makeArray({0.3, 0.3}))));
        EXPECT_EQ(0u, other.getTrialPointsCount());
    }
    // Without a mesh: the oracle point alone, no perturbation.
    {
        ProjectionRun run(2, false);
        run.h.seedCache({{1, 1}});
        Projection projection(run.iteration.get(), oracles({{1, 1}}));
        EXPECT_TRUE(projection.getSignPatterns().empty());
        projection.start();
        EXPECT_EQ(1u, projection.getTrialPointsCount());
        // Already evaluated: nothing to evaluate, and still true.
        const size_t evaluated = run.h.bbEvalCount();
        EXPECT_TRUE(projection.run());
        EXPECT_EQ(evaluated, run.h.bbEvalCount());
    }
}

TEST(Projection, ManyVariables)
{
    // 70 coordinates: the signs come from one draw per 32 coordinates,
    // never from 2^70.
    ProjectionRun run(70);
    run.h.seedCache({std::vector<double>(70, 1.0)});
    Projection projection(run.iteration.get(), oracles({std::vector<double>(70, 0.25)}));
    const auto& patterns = projection.getSignPatterns();
    ASSERT_FALSE(patterns.empty());
    EXPECT_LE(patterns.size(), 70u);
    for (const auto& pattern : patterns)
    {
        ASSERT_EQ(3u, pattern.size());
        EXPECT_EQ(0u, pattern[2] >> 6); // bits past coordinate 69 are clear
    }
    projection.start();
    EXPECT_GE(projection.getTrialPointsCount(), 2u);
}
