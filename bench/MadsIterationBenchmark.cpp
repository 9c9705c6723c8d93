// One MADS iteration (search and poll with the default search methods, or
// the poll alone) whose every trial point is already in the cache: what a converged run on
// granular variables pays for each iteration it makes on its finest mesh.
// The frame centre is the optimum of a sphere on a grid of 1e-7 (the grid
// of every Python run), the mesh is refined to its granularity, and the
// cache holds every grid point within one step of the centre, evaluated.
// Nothing reaches the evaluator: each trial point costs a cache look-up and
// the comparison of the cached point with the incumbent.
//
// Counters: "hits/iter" the cache hits of one iteration, "evals/iter" the
// evaluations (0: the set-up holds), "us/hit" the time of an iteration per
// cache hit, "allocs/iter" the heap allocations of an iteration.
//
// The display degree is 2, a run's usual one: the per-point lines of higher
// degrees must not even be formatted.

#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdint>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/EvcInterface.hpp"
#include "Algos/Mads/GMesh.hpp"
#include "Algos/Mads/Mads.hpp"
#include "Algos/Mads/MadsIteration.hpp"
#include "Algos/Mads/MadsMegaIteration.hpp"
#include "Algos/ProcessState.hpp"
#include "Cache/CacheBase.hpp"
#include "Cache/CacheSet.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvalPoint.hpp"
#include "Eval/Evaluator.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/Point.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/AllParameters.hpp"
#include "support/AllocationCounter.hpp"

using namespace QARNO_4_0_0;

namespace
{

constexpr double GRANULARITY = 1e-7;
const BBOutputTypeList TYPES = {BBOutputType::OBJ};

/// A sphere counted in grid steps, so that neighbouring points differ by
/// more than the tolerance of the comparisons.
double sphere(const Point& x)
{
    double f = 0.0;
    for (size_t k = 0; k < x.size(); ++k)
    {
        const double steps = x[k].todouble() / GRANULARITY;
        f += steps * steps;
    }
    return f;
}

std::string asText(double value)
{
    char buffer[32];
    const auto res = std::to_chars(buffer, buffer + sizeof(buffer), value);
    return std::string(buffer, res.ptr);
}

class SphereEvaluator : public Evaluator
{
public:
    explicit SphereEvaluator(const std::shared_ptr<EvalParameters>& evalParams)
        : Evaluator(evalParams, EvalType::BB, EvalXDefined::EVAL_X_DEFINED)
    {
    }

    std::vector<bool> eval_block(std::vector<std::shared_ptr<EvalPoint>>& block, const Double&,
                                 std::vector<bool>& countEval) const override
    {
        countEval.assign(block.size(), true);
        for (auto& point : block)
        {
            point->setBBO(asText(sphere(*point)), TYPES, EvalType::BB, true);
        }
        return std::vector<bool>(block.size(), true);
    }
};

class RootStep : public Step
{
protected:
    void startImp() override {}
    bool runImp() override { return true; }
    void endImp() override {}
};

/// A Mads on n granular variables around the origin, its mesh at its
/// finest, a mega-iteration whose barrier holds the origin, and a cache of
/// the 3^n grid points around it.
struct CacheHitSetting
{
    CacheHitSetting(size_t n, bool searches)
    {
        resetProcessState();
        OutputQueue::getInstance()->setDisplayDegree(2);
        // The parameter checks report what they complete; not part of the
        // figures.
        std::ostringstream sink;
        auto* previous = std::cout.rdbuf(sink.rdbuf());
        auto* previousErr = std::cerr.rdbuf(sink.rdbuf());

        // The parameters of a Python run: every variable on a grid of 1e-7.
        all = std::make_shared<AllParameters>();
        all->set_DIMENSION(n);
        all->set_X0(Point(n, Double(0.0)));
        all->set_BB_OUTPUT_TYPE(TYPES);
        all->set_LOWER_BOUND(ArrayOfDouble(n, Double(-5.0)));
        all->set_UPPER_BOUND(ArrayOfDouble(n, Double(5.0)));
        all->set_GRANULARITY(ArrayOfDouble(n, Double(GRANULARITY)));
        all->set_DISPLAY_DEGREE(2);
        // No budget: the set-up stays the same whatever the number of
        // iterations timed.
        all->readParamLine("MAX_EVAL 1000000000");
        if (!searches)
        {
            all->readParamLine("SPECULATIVE_SEARCH no");
            all->readParamLine("NM_SEARCH no");
        }
        all->checkAndComply();
        OutputQueue::getInstance()->initParameters(all->get_display_params());
        CacheSet::setInstance(all->get_cache_params(), TYPES);
        evc = std::make_shared<EvaluatorControl>(all->get_evc_global_params());
        evc->init(std::make_shared<SphereEvaluator>(all->get_eval_params()), all->get_evc_params());
        EvcInterface::setEvaluatorControl(evc);

        mads = std::make_unique<Mads>(&root, std::make_shared<AlgoStopReasons<MadsStopType>>(),
                                      all->get_run_params(), all->get_pb_params());
        auto gmesh = std::make_shared<GMesh>(mads->getPbParams());
        for (int k = 0; k < 60; ++k)
        {
            gmesh->refineDeltaFrameSize();
        }
        mesh = gmesh;

        // Every grid point within one step of the origin: the 3^n points
        // that a poll or a search on the finest mesh can reach.
        auto& cache = *CacheBase::getInstance();
        std::vector<int> steps(n, -1);
        for (bool more = true; more;)
        {
            Point x(n);
            for (size_t k = 0; k < n; ++k)
            {
                x[k] = static_cast<double>(steps[k]) / 1e7;
            }
            EvalPoint point(x);
            point.setBBO(asText(sphere(x)), TYPES, EvalType::BB, true);
            point.setNumberEval(1);
            cache.insert(point);
            more = false;
            for (size_t k = 0; k < n && !more; ++k)
            {
                more = (++steps[k] <= 1);
                if (!more)
                {
                    steps[k] = -1;
                }
            }
        }

        auto barrier = std::make_shared<Barrier>(INF, Point(n), EvalType::BB);
        barrier->updateRefBests();
        mega = std::make_unique<MadsMegaIteration>(mads.get(), 0, barrier, mesh,
                                                   SuccessType::NOT_EVALUATED);
        frameCenter = barrier->getFirstXFeas();
        std::cout.rdbuf(previous);
        std::cerr.rdbuf(previousErr);
    }

    ~CacheHitSetting() { EvcInterface::setEvaluatorControl(nullptr); }

    RootStep root;
    std::shared_ptr<AllParameters> all;
    std::shared_ptr<EvaluatorControl> evc;
    std::unique_ptr<Mads> mads;
    std::shared_ptr<MeshBase> mesh;
    std::unique_ptr<MadsMegaIteration> mega;
    std::shared_ptr<EvalPoint> frameCenter;
};

void timeCacheHitIterations(benchmark::State& state, bool searches)
{
    const size_t n = static_cast<size_t>(state.range(0));
    CacheHitSetting setting(n, searches);
    const size_t evalsBefore = setting.evc->getBbEval();
    const size_t hitsBefore = CacheBase::_nbCacheHits.load();
    const std::uint64_t allocsBefore = QarnoBench::allocationCount();
    size_t k = 1;
    for (auto _ : state)
    {
        // A run builds each iteration afresh.
        MadsIteration iteration(setting.mega.get(), setting.frameCenter, k++, setting.mesh);
        iteration.start();
        benchmark::DoNotOptimize(iteration.run());
        iteration.end();
    }
    const double iterations = static_cast<double>(state.iterations());
    const double hits = static_cast<double>(CacheBase::_nbCacheHits.load() - hitsBefore);
    state.counters["hits/iter"] = hits / iterations;
    state.counters["evals/iter"] =
        static_cast<double>(setting.evc->getBbEval() - evalsBefore) / iterations;
    state.counters["allocs/iter"] =
        static_cast<double>(QarnoBench::allocationCount() - allocsBefore) / iterations;
    // Seconds per cache hit, shown as a time.
    state.counters["time/hit"] =
        benchmark::Counter(hits, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

/// The default searches (speculative, Nelder-Mead) and the poll.
void BM_CacheHitIteration(benchmark::State& state)
{
    timeCacheHitIterations(state, true);
}

/// The poll alone: the cost of the cache hits themselves.
void BM_CacheHitPoll(benchmark::State& state)
{
    timeCacheHitIterations(state, false);
}

BENCHMARK(BM_CacheHitIteration)->Arg(2)->Arg(6)->Arg(10)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CacheHitPoll)->Arg(2)->Arg(6)->Arg(10)->Unit(benchmark::kMicrosecond);

} // namespace
