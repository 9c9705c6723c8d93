// One Nelder-Mead iteration: the simplex made from a cache of 10^4
// evaluated points, then one chain of reflective moves with their
// evaluations, at n = 10 and n = 100, in two settings:
// - Nelder-Mead alone (BM_NMIteration): every cached point is a candidate,
//   the greedy choice by rank takes n + 1 of them, and the chain may end in
//   a shrink;
// - Nelder-Mead as the search of a MADS iteration (BM_NMIterationInMads):
//   half of the cached points lie in the include rectangle (8 frame sizes
//   around the frame centre, the best point), the trial points are
//   projected on the granular mesh, and there is no shrink.
//
// Each measured iteration starts from the same cache: the points that the
// previous one evaluated are taken out again, off the clock, so every
// iteration builds the same simplex and walks the same chain. The creation
// (the iteration's start) and the chain (its run) are also timed apart.
//
// BM_NMSimplexCreation times the creation alone, many times over the same
// cache: it evaluates nothing, so no restoring is needed between rounds.
//
// The display degree is 1: statistics lines are display cost.

#include <benchmark/benchmark.h>

#include <charconv>
#include <chrono>
#include <cstdint>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/Algorithm.hpp"
#include "Algos/EvcInterface.hpp"
#include "Algos/Mads/GMesh.hpp"
#include "Algos/MegaIteration.hpp"
#include "Algos/NelderMead/NMIteration.hpp"
#include "Algos/ProcessState.hpp"
#include "Cache/CacheBase.hpp"
#include "Cache/CacheSet.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvalPoint.hpp"
#include "Eval/Evaluator.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/Point.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/CacheParameters.hpp"
#include "Param/EvalParameters.hpp"
#include "Param/EvaluatorControlGlobalParameters.hpp"
#include "Param/EvaluatorControlParameters.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "support/AllocationCounter.hpp"
#include "support/PseudoRandom.hpp"

using namespace QARNO_4_0_0;
using QarnoBench::uniform;

namespace
{

constexpr size_t CACHED_POINTS = 10000;
const BBOutputTypeList TYPES = {BBOutputType::OBJ};

/// f = the squared distance to (0.3, ..., 0.3).
double objective(const Point& x)
{
    double f = 0.0;
    for (size_t k = 0; k < x.size(); ++k)
    {
        const double d = x[k].todouble() - 0.3;
        f += d * d;
    }
    return f;
}

/// Inside MADS the frame centre is the best point: the origin holds the
/// least f, 0.09 n, and the points near it are worse.
double objectiveNearOrigin(const Point& x)
{
    double f = 0.0;
    for (size_t k = 0; k < x.size(); ++k)
    {
        const double d = x[k].todouble();
        f += d * d + 0.09;
    }
    return f;
}

std::string asText(double value)
{
    char buffer[32];
    const auto res = std::to_chars(buffer, buffer + sizeof(buffer), value);
    return std::string(buffer, res.ptr);
}

class ObjectiveEvaluator : public Evaluator
{
public:
    ObjectiveEvaluator(const std::shared_ptr<EvalParameters>& evalParams,
                       double (*objective)(const Point&))
        : Evaluator(evalParams, EvalType::BB, EvalXDefined::EVAL_X_DEFINED), _objective(objective)
    {
    }

    std::vector<bool> eval_block(std::vector<std::shared_ptr<EvalPoint>>& block, const Double&,
                                 std::vector<bool>& countEval) const override
    {
        countEval.assign(block.size(), true);
        for (auto& point : block)
        {
            point->setBBO(asText(_objective(*point)), TYPES, EvalType::BB, true);
        }
        return std::vector<bool>(block.size(), true);
    }

private:
    double (*_objective)(const Point&);
};

class RootStep : public Step
{
protected:
    void startImp() override {}
    bool runImp() override { return true; }
    void endImp() override {}
};

class BenchNM : public Algorithm
{
public:
    BenchNM(const Step* parent, const std::shared_ptr<RunParameters>& run,
            const std::shared_ptr<PbParameters>& pb)
        : Algorithm(parent, std::make_shared<AlgoStopReasons<NMStopType>>(), run, pb)
    {
        setName("NM");
    }
    void readInformationForHotRestart() override {}

protected:
    void startImp() override {}
    bool runImp() override { return true; }
    void endImp() override {}
};

class BenchMegaIteration : public MegaIteration
{
public:
    BenchMegaIteration(const Step* parent, std::shared_ptr<Barrier> barrier)
        : MegaIteration(parent, 0, std::move(barrier), SuccessType::NOT_EVALUATED)
    {
    }

protected:
    void startImp() override {}
    bool runImp() override { return true; }
};

/// Nelder-Mead in dimension n over a cache of 10^4 points: alone, points
/// scattered in [-1, 1]^n; inside MADS, the origin, half of the points
/// within 8 frame sizes of it, the other half in [-1, 1]^n.
struct NMSetting
{
    NMSetting(size_t n, bool insideMads)
    {
        double (*f)(const Point&) = insideMads ? objectiveNearOrigin : objective;
        resetProcessState();
        OutputQueue::getInstance()->setDisplayDegree(1);
        // The parameter checks report what they complete; not part of the
        // figures.
        std::ostringstream sink;
        auto* previous = std::cout.rdbuf(sink.rdbuf());

        auto cacheParams = std::make_shared<CacheParameters>();
        cacheParams->checkAndComply(nullptr);
        CacheSet::setInstance(cacheParams, TYPES);

        auto globalParams = std::make_shared<EvaluatorControlGlobalParameters>();
        globalParams->checkAndComply(nullptr);
        auto evcParams = std::make_shared<EvaluatorControlParameters>();
        evcParams->setAttributeValue<bool>("OPPORTUNISTIC_EVAL", false);
        evcParams->checkAndComply(nullptr);
        auto evalParams = std::make_shared<EvalParameters>();
        evalParams->setAttributeValue<BBOutputTypeList>("BB_OUTPUT_TYPE", TYPES);
        evalParams->checkAndComply(nullptr);
        evc = std::make_shared<EvaluatorControl>(globalParams);
        evc->init(std::make_shared<ObjectiveEvaluator>(evalParams, f), evcParams);
        EvcInterface::setEvaluatorControl(evc);

        pb = std::make_shared<PbParameters>();
        pb->setAttributeValue<size_t>("DIMENSION", n);
        pb->setAttributeValue<Point>("X0", Point(n, Double(0.0)));
        pb->checkAndComply();
        run = std::make_shared<RunParameters>();
        run->setAttributeValue<bool>("NM_OPTIMIZATION", !insideMads);
        run->checkAndComply(globalParams, pb);

        algo = std::make_unique<BenchNM>(&root, run, pb);
        ArrayOfDouble halfWidth(n, Double(1.0));
        if (insideMads)
        {
            auto gmesh = std::make_shared<GMesh>(algo->getPbParams());
            for (int k = 0; k < 3; ++k)
            {
                gmesh->refineDeltaFrameSize();
            }
            halfWidth = gmesh->getDeltaFrameSize();
            halfWidth *= Double(8.0);
            mesh = gmesh;
        }

        cached.reserve(CACHED_POINTS + 1);
        for (size_t i = 0; i < CACHED_POINTS + (insideMads ? 1 : 0); ++i)
        {
            Point x(n, Double(0.0));
            if (i < CACHED_POINTS)
            {
                const bool near = insideMads && 0 == i % 2;
                for (size_t k = 0; k < n; ++k)
                {
                    x[k] = (2.0 * uniform(i, k) - 1.0) * (near ? halfWidth[k].todouble() : 1.0);
                }
            }
            EvalPoint point(x);
            point.setBBO(asText(f(x)), TYPES, EvalType::BB, true);
            point.setNumberEval(1);
            cached.push_back(std::move(point));
        }
        restoreCache();

        auto barrier = std::make_shared<Barrier>(INF, Point(n), EvalType::BB);
        barrier->updateRefBests();
        mega = std::make_unique<BenchMegaIteration>(algo.get(), barrier);
        frameCenter = barrier->getFirstXFeas();
        std::cout.rdbuf(previous);
    }

    ~NMSetting() { EvcInterface::setEvaluatorControl(nullptr); }

    /// The cache := the 10^4 points, as at the start.
    void restoreCache()
    {
        auto& cache = *CacheBase::getInstance();
        cache.clear();
        for (const auto& point : cached)
        {
            cache.insert(point);
        }
    }

    RootStep root;
    std::shared_ptr<EvaluatorControl> evc;
    std::shared_ptr<PbParameters> pb;
    std::shared_ptr<RunParameters> run;
    std::vector<EvalPoint> cached;
    std::unique_ptr<BenchNM> algo;
    std::unique_ptr<BenchMegaIteration> mega;
    std::shared_ptr<EvalPoint> frameCenter;
    std::shared_ptr<MeshBase> mesh;
};

void timeOneIteration(benchmark::State& state, bool insideMads)
{
    const size_t n = static_cast<size_t>(state.range(0));
    NMSetting setting(n, insideMads);
    using Clock = std::chrono::steady_clock;
    double creationSeconds = 0.0;
    double chainSeconds = 0.0;
    size_t evaluations = 0;
    size_t simplexSize = 0;
    std::uint64_t allocations = 0;
    for (auto _ : state)
    {
        const std::uint64_t allocsBefore = QarnoBench::allocationCount();
        const size_t cachedBefore = CacheBase::getInstance()->size();

        const auto t0 = Clock::now();
        NMIteration iteration(setting.mega.get(), setting.frameCenter, 0, setting.mesh);
        iteration.start();
        const auto t1 = Clock::now();
        iteration.run();
        iteration.end();
        const auto t2 = Clock::now();

        creationSeconds += std::chrono::duration<double>(t1 - t0).count();
        chainSeconds += std::chrono::duration<double>(t2 - t1).count();
        allocations += QarnoBench::allocationCount() - allocsBefore;
        simplexSize = iteration.getY()->size();

        state.PauseTiming();
        evaluations += CacheBase::getInstance()->size() - cachedBefore;
        setting.restoreCache();
        setting.algo->getAllStopReasons()->setStarted();
        state.ResumeTiming();
    }
    const double iterations = static_cast<double>(state.iterations());
    state.counters["us/creation"] = 1e6 * creationSeconds / iterations;
    state.counters["us/chain"] = 1e6 * chainSeconds / iterations;
    state.counters["evals/iter"] = static_cast<double>(evaluations) / iterations;
    state.counters["|Y|"] = static_cast<double>(simplexSize);
    state.counters["allocs/iter"] = static_cast<double>(allocations) / iterations;
}

void BM_NMIteration(benchmark::State& state)
{
    timeOneIteration(state, false);
}

void BM_NMIterationInMads(benchmark::State& state)
{
    timeOneIteration(state, true);
}

/// The iteration's start alone: the simplex chosen among the cached points.
void timeSimplexCreation(benchmark::State& state, bool insideMads)
{
    const size_t n = static_cast<size_t>(state.range(0));
    NMSetting setting(n, insideMads);
    size_t simplexSize = 0;
    const std::uint64_t before = QarnoBench::allocationCount();
    for (auto _ : state)
    {
        NMIteration iteration(setting.mega.get(), setting.frameCenter, 0, setting.mesh);
        iteration.start();
        simplexSize = iteration.getY()->size();
    }
    state.counters["|Y|"] = static_cast<double>(simplexSize);
    state.counters["allocs/creation"] =
        QarnoBench::allocationsPer(before, static_cast<double>(state.iterations()));
}

void BM_NMSimplexCreation(benchmark::State& state)
{
    timeSimplexCreation(state, false);
}

void BM_NMSimplexCreationInMads(benchmark::State& state)
{
    timeSimplexCreation(state, true);
}

BENCHMARK(BM_NMSimplexCreation)->Arg(10)->Arg(100)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NMSimplexCreationInMads)->Arg(10)->Arg(100)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NMIteration)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NMIterationInMads)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

} // namespace
