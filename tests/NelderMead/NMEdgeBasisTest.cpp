// The rank decisions of the Gram-Schmidt basis of the simplex edges: sure
// only where the singular-value decomposition decides the same, and left to
// the decomposition near the tolerance.

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "Algos/NelderMead/NMEdgeBasis.hpp"
#include "Algos/NelderMead/NMSimplex.hpp"
#include "Math/MatrixUtils.hpp"
#include "support/NMSupport.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::makeNMPoint;
using Coords = std::vector<std::vector<double>>;

namespace
{

/// Y with the points in the given order (increasing f).
NMSimplex simplexOf(const Coords& coords)
{
    NMSimplex Y;
    for (size_t i = 0; i < coords.size(); ++i)
    {
        Y.insert(makeNMPoint(coords[i], static_cast<double>(i), 0, i + 1), EvalType::BB);
    }
    return Y;
}

/// What the decomposition says: every singular value of DZ above tolerance.
bool decompositionFullRank(const Coords& coords, double tolerance)
{
    const size_t m = coords.size() - 1;
    const size_t n = coords[0].size();
    std::vector<std::vector<double>> rows(m, std::vector<double>(n));
    std::vector<double*> pointers;
    for (size_t k = 0; k < m; ++k)
    {
        for (size_t j = 0; j < n; ++j)
        {
            rows[k][j] = coords[k + 1][j] - coords[0][j];
        }
        pointers.push_back(rows[k].data());
    }
    return getRank(pointers.data(), m, n, tolerance) == static_cast<int>(m);
}

using Decision = NMEdgeBasis::Decision;

TEST(NMEdgeBasis, SureDecisionsAgreeWithTheDecompositionAndLeaveTheEdgeCasesToIt)
{
    // DZ = [(1, 0); (0.5, e)]: singular values about 1.118 and e / 1.118.
    const struct
    {
        const char* label;
        Coords points;
        double tolerance;
        Decision expected;
    } cases[] = {
        {"unit triangle", {{0, 0}, {1, 0}, {0, 1}}, 1e-13, Decision::FULL_RANK},
        {"unit triangle, loose tolerance", {{0, 0}, {1, 0}, {0, 1}}, 0.01, Decision::FULL_RANK},
        {"collinear", {{0, 0}, {1, 1}, {2, 2}}, 0.01, Decision::RANK_DEFICIENT},
        {"repeated point", {{0, 0}, {1, 0}, {1, 0}}, 1e-13, Decision::RANK_DEFICIENT},
        {"flat, far below a loose tolerance",
         {{0, 0}, {1, 0}, {0.5, 1e-6}},
         0.01,
         Decision::RANK_DEFICIENT},
        {"flat, just below the tolerance",
         {{0, 0}, {1, 0}, {0.5, 1.1e-13}},
         1e-13,
         Decision::UNSURE},
        {"flat, just above the tolerance",
         {{0, 0}, {1, 0}, {0.5, 1.2e-13}},
         1e-13,
         Decision::UNSURE},
        {"flat, far above the tolerance",
         {{0, 0}, {1, 0}, {0.5, 1e-9}},
         1e-13,
         Decision::FULL_RANK},
        {"small simplex against a loose tolerance",
         {{0, 0}, {1e-3, 0}, {0, 1e-3}},
         0.01,
         Decision::RANK_DEFICIENT},
        {"three dimensions",
         {{1, 2, 3}, {2, 2, 3}, {1, 3, 3}, {1, 2, 4}},
         1e-13,
         Decision::FULL_RANK},
        {"three dimensions, one point in the plane of the others",
         {{1, 2, 3}, {2, 2, 3}, {1, 3, 3}, {3, 5, 3}},
         1e-13,
         Decision::UNSURE},
        {"three dimensions, the same against a loose tolerance",
         {{1, 2, 3}, {2, 2, 3}, {1, 3, 3}, {3, 5, 3}},
         0.01,
         Decision::RANK_DEFICIENT},
        // Edges at a narrow angle: no edge is that close to the span of the
        // others, and sqrt(k) / ||R^-1||_F is above the tolerance, yet the
        // smallest singular value (0.0084851286377994) is well below it.
        {"edges at a narrow angle, loose tolerance",
         {{0, 0}, {1, 0}, {1, 0.012}},
         0.01,
         Decision::RANK_DEFICIENT},
        {"edges at a narrow angle, tolerance a hair above their least singular value",
         {{0, 0}, {1, 0}, {1, 0.012}},
         0.0084851286378,
         Decision::UNSURE},
        {"a flat face among steep ones, loose tolerance",
         {{0, 0, 0, 0}, {1, 0, 0, 0}, {1, 0.012, 0, 0}, {0, 0, 1, 0}, {0, 0, 1, 0.5}},
         0.01,
         Decision::RANK_DEFICIENT},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        QarnoTest::ProcessStateGuard guard;
        NMEdgeBasis basis;
        basis.reset(simplexOf(c.points));
        const Decision decision = basis.fullRank(c.tolerance);
        EXPECT_EQ(c.expected, decision);
        if (Decision::UNSURE != decision)
        {
            EXPECT_EQ(decompositionFullRank(c.points, c.tolerance),
                      Decision::FULL_RANK == decision);
        }
    }
}

TEST(NMEdgeBasis, AShortEdgeShowsARankDeficitBeforeAnyBasis)
{
    // The smallest singular value is at most the length of any row of DZ.
    const struct
    {
        const char* label;
        Coords points;
        double tolerance;
        bool shortEdge;
    } cases[] = {
        {"small simplex, loose tolerance", {{0, 0}, {1e-3, 0}, {0, 1e-3}}, 0.01, true},
        {"one short edge", {{0, 0}, {1, 0}, {0, 0.005}}, 0.01, true},
        {"edges at the tolerance", {{0, 0}, {0.01, 0}, {0, 0.01}}, 0.01, false},
        {"long edges, flat", {{0, 0}, {1, 0}, {2, 1e-9}}, 0.01, false},
        {"unit triangle", {{0, 0}, {1, 0}, {0, 1}}, 1e-13, false},
        {"a single point", {{0, 0}}, 0.01, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        QarnoTest::ProcessStateGuard guard;
        EXPECT_EQ(c.shortEdge, NMEdgeBasis::hasSurelyShortEdge(simplexOf(c.points), c.tolerance));
        if (c.shortEdge)
        {
            EXPECT_FALSE(decompositionFullRank(c.points, c.tolerance));
        }
    }
}

TEST(NMEdgeBasis, AnEdgeRaisesTheRankSurelyOnlyFarAboveTheTolerance)
{
    // The candidate (0.5, e) against the kept edge (1, 0): in the span when
    // its distance e is at most half the tolerance (the first pass of
    // Gram-Schmidt may tell alone), surely raising the rank far above.
    const double tolerance = 1e-13;
    const struct
    {
        const char* label;
        double e;
        bool inSpan;
        bool surelyRaises;
    } cases[] = {
        {"on the line", 0, true, false},           {"half the tolerance off", 0.5e-13, true, false},
        {"at the tolerance", 1e-13, false, false}, {"just above", 1.2e-13, false, false},
        {"far above", 1e-9, false, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        QarnoTest::ProcessStateGuard guard;
        NMEdgeBasis basis;
        basis.reset(simplexOf({{0, 0}, {1, 0}}));
        basis.measure(makeNMPoint({0.5, c.e}, 3, 0, 3), 0.5 * tolerance);
        EXPECT_EQ(c.inSpan, basis.distance() <= 0.5 * tolerance);
        EXPECT_EQ(c.surelyRaises, basis.surelyRaisesRank(tolerance));
        if (c.surelyRaises)
        {
            EXPECT_TRUE(decompositionFullRank({{0, 0}, {1, 0}, {0.5, c.e}}, tolerance));
        }
    }
}

TEST(NMEdgeBasis, EdgesMeasuredTogetherAreMeasuredAsOneByOne)
{
    // The decisions of the simplex creation must not depend on how many
    // candidates were measured at once: the same distances to the last bit,
    // the same decisions, for groups of four, the rest, and those whose
    // first pass shows them in the span.
    QarnoTest::ProcessStateGuard guard;
    const Coords kept = {{0.1, 0.2, 0.3, 0.4, 0.5},
                         {1.3, 0.2, 0.3, 0.4, 0.5},
                         {0.1, 0.7, 0.3, -0.4, 0.5},
                         {0.1, 0.2, 1.9, 0.4, 0.5}};
    const Coords candidates = {{1.3, 0.7, 0.3, -0.4, 0.5},       {0.7, 0.2, 0.3, 0.4, 2.5},
                               {0.1 / 3, 0.2, 0.3, 0.4, 0.5},    {-1.1, -0.3, 0.3, 1.2, 0.5},
                               {0.2, 0.3, 0.4, 0.5, 0.6},        {0.1, 0.2, 0.3, 0.4, 0.5 + 1e-12},
                               {2.5, 1.2, 3.5, -0.4, 0.5},       {0.1, 0.2, 0.3, 0.4 + 1e-9, 0.5},
                               {0.1, 0.2 + 1e-14, 0.3, 0.4, 0.5}};
    std::vector<EvalPoint> points;
    for (size_t i = 0; i < candidates.size(); ++i)
    {
        points.push_back(makeNMPoint(candidates[i], 10.0 + static_cast<double>(i), 0, 10 + i));
    }
    for (size_t count = 1; count <= points.size(); ++count)
    {
        SCOPED_TRACE(std::to_string(count) + " measured together");
        std::vector<const EvalPoint*> group;
        for (size_t i = 0; i < count; ++i)
        {
            group.push_back(&points[i]);
        }
        NMEdgeBasis together;
        together.reset(simplexOf(kept));
        together.measureBatch(group, 0.5e-13);
        for (size_t i = 0; i < count; ++i)
        {
            NMEdgeBasis alone;
            alone.reset(simplexOf(kept));
            alone.measure(points[i], 0.5e-13);
            together.takeMeasure(i);
            EXPECT_EQ(alone.distance(), together.distance()) << i;
            EXPECT_EQ(alone.surelyRaisesRank(1e-13), together.surelyRaisesRank(1e-13)) << i;
        }
    }
}

TEST(NMEdgeBasis, AFollowedBasisDecidesAsTheDecompositionForTheSimplexItFollows)
{
    // The basis of one simplex made to follow the next one: the edges that
    // left, the new y0, a row that lay in the span of the others, none may
    // leave a trace in the decision.
    const Coords triangle = {{0, 0}, {1, 0}, {0, 1}};
    const struct
    {
        const char* label;
        Coords before;
        Coords after;
        double tolerance;
        Decision expected;
    } cases[] = {
        {"the same simplex", triangle, triangle, 1e-13, Decision::FULL_RANK},
        {"last point replaced", triangle, {{0, 0}, {1, 0}, {0.3, 2}}, 1e-13, Decision::FULL_RANK},
        {"first edge replaced", triangle, {{0, 0}, {0, 1}, {-2, 0.5}}, 1e-13, Decision::FULL_RANK},
        {"replaced by a point on a kept edge's line",
         triangle,
         {{0, 0}, {1, 0}, {2, 0}},
         0.01,
         Decision::RANK_DEFICIENT},
        {"replaced by a point just off that line",
         triangle,
         {{0, 0}, {1, 0}, {0.5, 1.1e-13}},
         1e-13,
         Decision::UNSURE},
        {"new y0", triangle, {{0.2, 0.2}, {0, 0}, {1, 0}}, 1e-13, Decision::FULL_RANK},
        {"from a repeated point", {{0, 0}, {1, 0}, {1, 0}}, triangle, 1e-13, Decision::FULL_RANK},
        {"to a repeated point",
         triangle,
         {{0, 0}, {1, 0}, {1, 0}},
         1e-13,
         Decision::RANK_DEFICIENT},
        {"fewer points",
         {{1, 2, 3}, {2, 2, 3}, {1, 3, 3}, {1, 2, 4}},
         {{1, 2, 3}, {1, 2, 4}},
         1e-13,
         Decision::FULL_RANK},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        QarnoTest::ProcessStateGuard guard;
        NMEdgeBasis basis;
        basis.reset(simplexOf(c.before));
        basis.follow(simplexOf(c.after));
        const Decision decision = basis.fullRank(c.tolerance);
        EXPECT_EQ(c.expected, decision);
        if (Decision::UNSURE != decision)
        {
            EXPECT_EQ(decompositionFullRank(c.after, c.tolerance), Decision::FULL_RANK == decision);
        }
    }
}

TEST(NMEdgeBasis, AFollowedBasisIsTheBasisOfItsEdgesInItsOrder)
{
    // The edges still in Y are kept as they were, the others measured after
    // them: to the last bit the basis that a fresh start on Y in that order
    // gives, whatever the edge that left.
    QarnoTest::ProcessStateGuard guard;
    const Coords before = {{0.1, 0.2, 0.3, 0.4},
                           {1.3, 0.2, 0.3, 0.4},
                           {0.1, 0.7, 0.3, -0.4},
                           {0.1, 0.2, 1.9, 0.4},
                           {0.5, -0.2, 0.3, 1.4}};
    const std::vector<double> newcomer = {0.7, 0.9, -0.3, 0.4};
    const EvalPoint probe = makeNMPoint({1.1, -0.6, 0.35, 2.0}, 20, 0, 20);
    for (size_t leaving = 1; leaving < before.size(); ++leaving)
    {
        SCOPED_TRACE("edge " + std::to_string(leaving) + " leaves");
        Coords after = before;
        after.erase(after.begin() + static_cast<std::ptrdiff_t>(leaving));
        after.push_back(newcomer);
        NMEdgeBasis followed;
        followed.reset(simplexOf(before));
        followed.follow(simplexOf(after));
        NMEdgeBasis fresh;
        fresh.reset(simplexOf(after));
        followed.measure(probe);
        fresh.measure(probe);
        EXPECT_EQ(fresh.distance(), followed.distance());
        EXPECT_EQ(fresh.surelyRaisesRank(1e-13), followed.surelyRaisesRank(1e-13));
        EXPECT_EQ(fresh.fullRank(1e-13), followed.fullRank(1e-13));
    }
}

TEST(NMEdgeBasis, AFirstPassMadeBeforeEdgesWereKeptCompletesAsAFreshMeasure)
{
    // The simplex creation makes the first passes of a group of candidates,
    // then keeps some of them one at a time: each later candidate must be
    // measured as if it had been measured alone after the keeps, to the last
    // bit, also across a new y0.
    QarnoTest::ProcessStateGuard guard;
    const Coords start = {{0.1, 0.2, 0.3, 0.4, 0.5}, {1.3, 0.2, 0.3, 0.4, 0.5}};
    const Coords candidates = {{0.1, 0.7, 0.3, -0.4, 0.5},       {0.1, 0.2, 1.9, 0.4, 0.5},
                               {1.3, 0.7, 0.3, -0.4, 0.5},       {0.7, 0.2, 0.3, 0.4, 2.5},
                               {0.2, 0.3, 0.4, 0.5, 0.6},        {0.1, 0.2, 0.3, 0.4, 0.5 + 1e-12},
                               {0.1, 0.2, 0.3, 0.4 + 1e-9, 0.5}, {-1.1, -0.3, 0.3, 1.2, 0.5}};
    std::vector<EvalPoint> points;
    std::vector<const EvalPoint*> group;
    for (size_t i = 0; i < candidates.size(); ++i)
    {
        points.push_back(makeNMPoint(candidates[i], 10.0 + static_cast<double>(i), 0, 10 + i));
    }
    for (const EvalPoint& p : points)
    {
        group.push_back(&p);
    }
    for (const bool newBase : {false, true})
    {
        for (size_t keptFirst = 0; keptFirst <= 3; ++keptFirst)
        {
            SCOPED_TRACE(std::to_string(keptFirst) + " kept first" +
                         (newBase ? ", then a new y0" : ""));
            NMEdgeBasis passed;
            NMEdgeBasis alone;
            passed.reset(simplexOf(start));
            alone.reset(simplexOf(start));
            passed.firstPasses(group);
            for (size_t i = 0; i < points.size(); ++i)
            {
                if (newBase && i == keptFirst)
                {
                    passed.reset(simplexOf({{0.3, 0.2, 0.3, 0.4, 0.5}, {1.3, 0.2, 0.3, 0.4, 0.5}}));
                    alone.reset(simplexOf({{0.3, 0.2, 0.3, 0.4, 0.5}, {1.3, 0.2, 0.3, 0.4, 0.5}}));
                }
                passed.completeMeasure(i, 0.5e-13);
                alone.measure(points[i], 0.5e-13);
                EXPECT_EQ(alone.distance(), passed.distance()) << i;
                EXPECT_EQ(alone.surelyRaisesRank(1e-13), passed.surelyRaisesRank(1e-13)) << i;
                if (i < keptFirst && alone.distance() > 0.5e-13)
                {
                    passed.keepMeasured();
                    alone.keepMeasured();
                }
            }
            EXPECT_EQ(alone.fullRank(1e-13), passed.fullRank(1e-13));
        }
    }
}

} // namespace
