// The best feasible and infeasible points of the cache: ties within epsilon,
// the filters (hMax, fixed variable, reference), h = INF, and the answers
// from the rankings against the scan of every point on random caches, under
// the default and the phase-one success rules.

#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "Cache/CacheBase.hpp"
#include "Eval/Eval.hpp"
#include "Eval/EvalPoint.hpp"
#include "Math/Double.hpp"
#include "Math/Point.hpp"
#include "support/CacheSupport.hpp"
#include "support/EvalSupport.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::coordsOf;
using QarnoTest::makeArray;
using QarnoTest::makeEval;
using QarnoTest::makeEvalPoint;
using QarnoTest::ProcessStateGuard;
using QarnoTest::startCache;
using QarnoTest::UNDEF;

namespace
{

const double EPS = Double::DEFAULT_EPSILON;
using Coords = std::vector<std::vector<double>>;

/// A comparison that behaves as `Eval::compEvalFindBest` but is not that
/// function: the cache cannot recognise it and scans every point.
bool sameAsCompEvalFindBest(const Eval& e1, const Eval& e2)
{
    return Eval::compEvalFindBest(e1, e2);
}

class CacheFindBestTest : public ::testing::Test
{
protected:
    ProcessStateGuard _guard;
};

struct Stored
{
    std::vector<double> coords;
    double f;
    double h;
};

TEST_F(CacheFindBestTest, TiesWithinEpsilonAndFilters)
{
    const std::vector<Stored> points = {
        // feasible
        {{0, 0}, 2, 0},
        {{1, 0}, 1 + 0.5 * EPS, 0},
        {{2, 0}, 1, 0.5 * EPS},
        {{3, 0}, 1 + 0.9 * EPS, 0},
        {{4, 0}, 1 + 1.6 * EPS, 0},
        {{5, 1}, 0.5, 0},
        // infeasible
        {{0, 2}, 1, 3},
        {{1, 2}, 5, 2},
        {{2, 2}, 4, 2 + 0.5 * EPS},
        {{3, 2}, 5 + 0.5 * EPS, 2},
        {{4, 2}, 0, INF},
        // h = INF only
        {{0, 3}, 3, INF},
        {{1, 3}, 2, INF},
        {{2, 3}, 3 + 0.5 * EPS, INF},
    };
    const Eval refNearOne = makeEval(1 + 0.2 * EPS, 0);
    const Eval refZero = makeEval(0, 0);
    const Eval refInf = makeEval(4 + 0.5 * EPS, 2 + 0.2 * EPS);
    const struct
    {
        const char* label;
        bool feasible;
        double hMax;
        double fixedY; // NaN: no fixed variable
        const Eval* ref;
        Coords expected;
    } cases[] = {
        {"lowest f", true, 0, UNDEF, nullptr, {{5, 1}}},
        // (1, 0) replaces (0, 0); (2, 0) and (3, 0) are within eps of it,
        // (4, 0) is not, though within eps of (3, 0).
        {"ties of the first better point", true, 0, 0, nullptr, {{1, 0}, {2, 0}, {3, 0}}},
        {"as good as the reference", true, 0, 0, &refNearOne, {{1, 0}, {2, 0}, {3, 0}}},
        {"reference better than all", true, 0, UNDEF, &refZero, {}},
        {"none carries the fixed value", true, 0, 7, nullptr, {}},
        // (2, 2) dominates (1, 2); (3, 2), with a lower h by less than eps
        // and a higher f, does not replace it.
        {"least h, then f", false, INF, 2, nullptr, {{2, 2}}},
        {"within hMax", false, 2, 2, nullptr, {{2, 2}}},
        {"h above hMax", false, 1, UNDEF, nullptr, {}},
        {"infeasible reference", false, INF, 2, &refInf, {{2, 2}}},
        // Nothing beats a point of h = INF, nor is beaten by one: the first
        // in cache order stays, with those of equal f.
        {"h = INF", false, INF, 3, nullptr, {{0, 3}, {2, 3}}},
    };

    CacheBase& cache = startCache({BBOutputType::OBJ, BBOutputType::PB});
    for (const auto& p : points)
    {
        cache.insert(makeEvalPoint(p.coords, p.f, p.h));
    }
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        const Point fixed(makeArray({UNDEF, c.fixedY}));
        std::vector<EvalPoint> best;
        const size_t n = c.feasible ? cache.findBestFeas(best, fixed, EvalType::BB, c.ref)
                                    : cache.findBestInf(best, c.hMax, fixed, EvalType::BB, c.ref);
        EXPECT_EQ(c.expected.size(), n);
        EXPECT_EQ(c.expected, coordsOf(best));

        std::vector<EvalPoint> scanned;
        cache.findBest(sameAsCompEvalFindBest, scanned, c.feasible, c.hMax, fixed, EvalType::BB,
                       c.ref);
        EXPECT_EQ(c.expected, coordsOf(scanned));
    }
    std::vector<EvalPoint> none;
    EXPECT_EQ(0u, cache.findBestFeas(none, Point(2), EvalType::SGTE, nullptr));
    EXPECT_EQ(0u, cache.findBestInf(none, INF, Point(2), EvalType::UNDEFINED, nullptr));
}

TEST_F(CacheFindBestTest, HasFeasFollowsTheStoredEvaluations)
{
    CacheBase& cache = startCache({BBOutputType::OBJ, BBOutputType::PB});
    EXPECT_FALSE(cache.hasFeas(EvalType::BB));
    cache.insert(makeEvalPoint({1}, 1, 2));
    EvalPoint failedFeasible = makeEvalPoint({2}, 1, 0);
    failedFeasible.setEvalStatus(EvalStatusType::EVAL_FAILED, EvalType::BB);
    cache.insert(failedFeasible);
    EXPECT_FALSE(cache.hasFeas(EvalType::BB));

    EvalPoint feasible = makeEvalPoint({1}, 1, 0);
    cache.update(feasible, EvalType::BB);
    EXPECT_TRUE(cache.hasFeas(EvalType::BB));
    EXPECT_FALSE(cache.hasFeas(EvalType::SGTE));

    cache.update(makeEvalPoint({1}, 1, 4), EvalType::BB);
    EXPECT_FALSE(cache.hasFeas(EvalType::BB));
}

// ---------------------------------------------------------------------------
// Random caches
// ---------------------------------------------------------------------------

class RandomCache
{
public:
    /// One cache in three has mostly h = INF, as a problem with extreme-
    /// barrier constraints.
    explicit RandomCache(unsigned seed) : _rng(seed), _mostlyInfiniteH(seed % 3 == 0) {}

    /// An evaluation whose f and h fall on few values, many of them within
    /// epsilon of each other, with h = INF and infinite f among them.
    Eval eval()
    {
        static const double fBases[] = {0, 1, -3, 1e6};
        static const double hValues[] = {
            0, 0.4 * EPS, EPS, 1.2 * EPS, 2.5, 2.5 + 0.6 * EPS, 2.5 + 1.5 * EPS, 7, INF, INF};
        double f = fBases[pick(4)] + 0.45 * EPS * static_cast<double>(pick(5));
        if (pick(40) == 0)
        {
            f = (pick(2) == 0 ? 1 : -1) * std::numeric_limits<double>::infinity();
        }
        const double h = (_mostlyInfiniteH && pick(5) != 0) ? INF : hValues[pick(10)];
        Eval e = makeEval(f, h);
        if (pick(8) == 0)
        {
            const EvalStatusType others[] = {EvalStatusType::EVAL_FAILED,
                                             EvalStatusType::EVAL_ERROR,
                                             EvalStatusType::EVAL_USER_REJECTED};
            e.setEvalStatus(others[pick(3)]);
        }
        return e;
    }

    EvalPoint point()
    {
        EvalPoint p(Point(makeArray({static_cast<double>(pick(8)), static_cast<double>(pick(3)),
                                     0.3 * EPS * static_cast<double>(pick(3))})));
        if (pick(6) != 0)
        {
            p.setEval(eval(), EvalType::BB);
        }
        if (pick(3) == 0)
        {
            p.setEval(eval(), EvalType::SGTE);
        }
        p.setThreadAlgo(static_cast<int>(pick(2)));
        return p;
    }

    size_t pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(_rng); }

private:
    std::mt19937 _rng;
    bool _mostlyInfiniteH;
};

void stripSgte(EvalPoint& p)
{
    EvalPoint::clearEvalSgte(p);
}

/// Every search from the rankings equals the scan of every point.
void expectRankingsMatchScan(const CacheBase& cache, RandomCache& random)
{
    const double hMaxes[] = {INF, 2.5 + 0.7 * EPS, 1.1 * EPS, 0, 7};
    for (EvalType evalType : {EvalType::BB, EvalType::SGTE})
    {
        for (bool feasible : {true, false})
        {
            for (double hMax : hMaxes)
            {
                for (double fixedY : {UNDEF, 0.0, 1.0, 2.0})
                {
                    const Eval ref = random.eval();
                    for (const Eval* refeval : {static_cast<const Eval*>(nullptr), &ref})
                    {
                        SCOPED_TRACE(std::string(feasible ? "feasible" : "infeasible") + " hMax " +
                                     Double(hMax).tostring() + " y " + std::to_string(fixedY) +
                                     (refeval ? " ref" : ""));
                        const Point fixed(makeArray({UNDEF, fixedY, UNDEF}));
                        std::vector<EvalPoint> ranked;
                        std::vector<EvalPoint> scanned;
                        cache.findBest(Eval::compEvalFindBest, ranked, feasible, hMax, fixed,
                                       evalType, refeval);
                        cache.findBest(sameAsCompEvalFindBest, scanned, feasible, hMax, fixed,
                                       evalType, refeval);
                        ASSERT_EQ(coordsOf(scanned), coordsOf(ranked));
                        for (size_t i = 0; i < ranked.size(); ++i)
                        {
                            ASSERT_EQ(scanned[i].getTag(), ranked[i].getTag());
                        }
                    }
                }
            }
            std::vector<EvalPoint> all;
            cache.getAllPoints(all);
            bool anyFeasible = false;
            for (const auto& p : all)
            {
                anyFeasible = anyFeasible || (p.isEvalOk(evalType) && p.isFeasible(evalType));
            }
            EXPECT_EQ(anyFeasible, cache.hasFeas(evalType));
        }
    }
}

TEST_F(CacheFindBestTest, RankingsAnswerAsTheScanOfEveryPoint)
{
    for (unsigned seed = 1; seed <= 40; ++seed)
    {
        SCOPED_TRACE("seed " + std::to_string(seed));
        QarnoTest::ProcessStateGuard::resetToLoadState();
        QarnoTest::CerrCapture newEvaluationWarnings;
        RandomCache random(seed);
        CacheBase& cache = startCache({BBOutputType::OBJ, BBOutputType::PB});
        const size_t n = 10 + random.pick(60);
        for (size_t i = 0; i < n; ++i)
        {
            cache.insert(random.point());
        }
        expectRankingsMatchScan(cache, random);

        // The rankings follow every change of the stored evaluations.
        for (size_t i = 0; i < n; ++i)
        {
            EvalPoint p = random.point();
            cache.smartInsert(p);
            if (p.getEval(EvalType::BB) != nullptr)
            {
                cache.update(p, EvalType::BB);
            }
            if (p.getEval(EvalType::SGTE) != nullptr)
            {
                cache.update(p, EvalType::SGTE);
            }
        }
        expectRankingsMatchScan(cache, random);

        cache.deleteSgteOnly(1);
        cache.clearSgte(0);
        expectRankingsMatchScan(cache, random);
        cache.processOnAllPoints(stripSgte);
        expectRankingsMatchScan(cache, random);

        // Under another tolerance the feasible points are others.
        Double::setEpsilon(2 * EPS);
        expectRankingsMatchScan(cache, random);
        Double::setEpsilon(EPS);

        // Phase one swaps the success rule: the searches follow it.
        Eval::_computeSuccessType = Eval::computeSuccessTypePhaseOne;
        expectRankingsMatchScan(cache, random);
    }
}

TEST_F(CacheFindBestTest, ManyPointsOfInfiniteHLeaveTheFirstInCacheOrder)
{
    CacheBase& cache = startCache({BBOutputType::OBJ, BBOutputType::EB});
    for (int i = 999; i >= 0; --i)
    {
        // f decreasing with the coordinate: the lowest f comes last.
        cache.insert(makeEvalPoint({static_cast<double>(i)}, 50.0 - 0.01 * i, INF));
    }
    cache.insert(makeEvalPoint({2000}, 50.0 + 0.5 * EPS, INF));
    std::vector<EvalPoint> best;
    EXPECT_EQ(2u, cache.findBestInf(best, INF, Point(1), EvalType::BB, nullptr));
    EXPECT_EQ((Coords{{0}, {2000}}), coordsOf(best));
    EXPECT_EQ(0u, cache.findBestInf(best, 1e300, Point(1), EvalType::BB, nullptr));
}

} // namespace
