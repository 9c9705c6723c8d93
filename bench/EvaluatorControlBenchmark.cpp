// The evaluation queue on the path of every evaluation: a batch of n new
// points goes through the whole cycle a step makes (cache look-up and
// queueing, ordering by last successful direction, blocks taken from the
// queue, a trivial C++ evaluator, statuses written back to the cache,
// success against the barrier, retrieval), for batches of n = 10 and
// n = 1000 points, until 10^5 points are evaluated. The time per evaluation
// is measured separately while the cache holds about 10^3 points and about
// 10^5 points: it should stay flat, since nothing on the path scans the
// cache or the queue.
//
// BM_QueueOnePoint is the same path at its smallest: one new point queued,
// evaluated, judged against the barrier and offered to it, as an iteration
// of one trial point does; its time is per point.
//
// The display degree is 1: statistics lines, which a run shows from degree
// 2 on, are display cost, not queue cost.

#include <benchmark/benchmark.h>

#include <charconv>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Algos/ProcessState.hpp"
#include "Cache/CacheBase.hpp"
#include "Cache/CacheSet.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvalQueuePoint.hpp"
#include "Eval/Evaluator.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/Direction.hpp"
#include "Math/Point.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/CacheParameters.hpp"
#include "Param/EvalParameters.hpp"
#include "Param/EvaluatorControlGlobalParameters.hpp"
#include "Param/EvaluatorControlParameters.hpp"
#include "support/AllocationCounter.hpp"
#include "support/PseudoRandom.hpp"

using namespace QARNO_4_0_0;
using QarnoBench::mix;
using QarnoBench::uniform;

namespace
{

constexpr size_t DIMENSION = 10;
constexpr size_t TOTAL_EVALUATIONS = 100000;
const BBOutputTypeList TYPES = {BBOutputType::OBJ};

/// f = the sum of the coordinates, as text.
class SumEvaluator : public Evaluator
{
public:
    explicit SumEvaluator(const std::shared_ptr<EvalParameters>& evalParams)
        : Evaluator(evalParams, EvalType::BB, EvalXDefined::EVAL_X_DEFINED)
    {
    }

    std::vector<bool> eval_block(std::vector<std::shared_ptr<EvalPoint>>& block, const Double&,
                                 std::vector<bool>& countEval) const override
    {
        countEval.assign(block.size(), true);
        for (auto& point : block)
        {
            double sum = 0.0;
            for (size_t k = 0; k < point->size(); ++k)
            {
                sum += (*point)[k].todouble();
            }
            char buffer[32];
            const auto res = std::to_chars(buffer, buffer + sizeof(buffer), sum);
            point->setBBO(std::string(buffer, res.ptr), TYPES, EvalType::BB, true);
        }
        return std::vector<bool>(block.size(), true);
    }
};

/// A run's set-up: the cache, the queue with its evaluator, and a barrier
/// whose reference f is `incumbentF`. By default no point beats it (every
/// evaluation is a failure, so the opportunistic run evaluates each whole
/// batch).
struct Run
{
    std::shared_ptr<EvaluatorControlGlobalParameters> globalParams;
    std::shared_ptr<EvaluatorControl> evc;
    std::shared_ptr<Barrier> barrier;
    std::shared_ptr<Point> center;
    size_t nextPoint = 0;

    explicit Run(size_t blockSize, const std::string& incumbentF = "-1e9")
    {
        resetProcessState();
        OutputQueue::getInstance()->setDisplayDegree(1);
        auto cacheParams = std::make_shared<CacheParameters>();
        cacheParams->checkAndComply(nullptr);
        CacheSet::setInstance(cacheParams, TYPES);

        globalParams = std::make_shared<EvaluatorControlGlobalParameters>();
        globalParams->setAttributeValue<size_t>("BB_MAX_BLOCK_SIZE", blockSize);
        globalParams->checkAndComply(nullptr);
        auto params = std::make_shared<EvaluatorControlParameters>();
        params->setAttributeValue<bool>("OPPORTUNISTIC_EVAL", true);
        params->checkAndComply(nullptr);
        auto evalParams = std::make_shared<EvalParameters>();
        evalParams->setAttributeValue<BBOutputTypeList>("BB_OUTPUT_TYPE", TYPES);
        evalParams->checkAndComply(nullptr);

        evc = std::make_shared<EvaluatorControl>(globalParams);
        evc->init(std::make_shared<SumEvaluator>(evalParams), params);

        EvalPoint best(Point(DIMENSION, Double(-1.0)));
        best.setBBO(incumbentF, TYPES, EvalType::BB, true);
        barrier = std::make_shared<Barrier>(INF, Point(DIMENSION), EvalType::BB,
                                            std::vector<EvalPoint>{best});
        barrier->updateRefBests();
        evc->setBarrier(barrier);
        evc->setLastSuccessfulDir(std::make_shared<Direction>(DIMENSION, Double(1.0)));
        center = std::make_shared<Point>(DIMENSION, Double(0.5));
    }

    /// One step's evaluation of n new points; returns how many were evaluated.
    size_t cycle(size_t n)
    {
        evc->lockQueue();
        for (size_t j = 0; j < n; ++j, ++nextPoint)
        {
            Point x(DIMENSION);
            for (size_t k = 0; k < DIMENSION; ++k)
            {
                x[k] = uniform(nextPoint, k);
            }
            queue(std::move(x));
        }
        evc->unlockQueue(true);
        evc->run();
        return evc->retrieveAllEvaluatedPoints(-1).size();
    }

    /// Queues a point the way the steps do: offered to the cache, which
    /// records it only when its evaluation starts, then queued with the
    /// cache's answer at the place the queue look-up found.
    void queue(Point&& x)
    {
        auto point = std::make_shared<EvalQueuePoint>(EvalPoint(std::move(x)), EvalType::BB);
        point->setPointFrom(center);
        const EvalPoint* cached = nullptr;
        EvaluatorControl::QueuePlace place;
        if (CacheBase::getInstance()->offer(*point, evc->findInQueue(*point, &place), 1,
                                            EvalType::BB, &cached))
        {
            evc->addOfferedToQueue(point, cached, &place);
        }
    }

    /// One new point through the queue, then offered to the barrier. With
    /// `improving`, its f (the sum of its coordinates) is below that of every
    /// point before it: each cycle is a success that changes the barrier.
    void onePoint(bool improving)
    {
        Point x(DIMENSION);
        const double shift = improving ? static_cast<double>(nextPoint) : 0.0;
        for (size_t k = 0; k < DIMENSION; ++k)
        {
            x[k] = uniform(nextPoint, k) - shift;
        }
        ++nextPoint;
        evc->lockQueue();
        queue(std::move(x));
        evc->unlockQueue(true);
        evc->run();
        barrier->updateWithPoints(evc->retrieveAllEvaluatedPoints(-1), EvalType::BB, false);
        // The next iteration judges its point against the new incumbent.
        barrier->updateRefBests();
    }

    /// The cache's own share of the cycle for n new points, without the
    /// queue, in the cycle's order: all points offered and checked when
    /// queued, then each looked up and marked in progress, then each stored
    /// with its result.
    size_t cacheShare(size_t n)
    {
        CacheBase& cache = *CacheBase::getInstance();
        std::vector<EvalPoint> batch;
        batch.reserve(n);
        for (size_t j = 0; j < n; ++j, ++nextPoint)
        {
            Point x(DIMENSION);
            for (size_t k = 0; k < DIMENSION; ++k)
            {
                x[k] = uniform(nextPoint, k);
            }
            batch.emplace_back(std::move(x));
            cache.smartInsert(batch.back(), 1, EvalType::BB);
            cache.find(batch.back(), _found, EvalType::UNDEFINED);
        }
        for (auto& point : batch)
        {
            cache.find(point, _found, EvalType::UNDEFINED);
            point.setEvalStatus(EvalStatusType::EVAL_IN_PROGRESS, EvalType::BB);
            cache.update(point, EvalType::BB);
        }
        for (auto& point : batch)
        {
            point.setBBO("1.5", TYPES, EvalType::BB, true);
            point.setNumberEval(1);
            cache.update(point, EvalType::BB);
        }
        return n;
    }

private:
    EvalPoint _found;
};

/// 10^5 evaluations in batches of n through `step`; seconds per evaluation
/// while the cache holds 10^3 to 2*10^3 points and 9*10^4 to 10^5 points.
void timeAsTheCacheGrows(benchmark::State& state, size_t (Run::*step)(size_t))
{
    const size_t n = static_cast<size_t>(state.range(0));
    using Clock = std::chrono::steady_clock;
    double earlySeconds = 0.0;
    double lateSeconds = 0.0;
    size_t earlyEvals = 0;
    size_t lateEvals = 0;
    size_t totalEvals = 0;
    std::uint64_t allocations = 0;
    for (auto _ : state)
    {
        state.PauseTiming();
        Run run(n < 8 ? n : 8);
        state.ResumeTiming();

        size_t evaluated = 0;
        while (evaluated < TOTAL_EVALUATIONS)
        {
            const size_t cached = CacheBase::getInstance()->size();
            const std::uint64_t allocsBefore = QarnoBench::allocationCount();
            const auto start = Clock::now();
            const size_t done = (run.*step)(n);
            const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
            allocations += QarnoBench::allocationCount() - allocsBefore;
            if (cached >= 1000 && cached < 2000)
            {
                earlySeconds += seconds;
                earlyEvals += done;
            }
            else if (cached >= 90000)
            {
                lateSeconds += seconds;
                lateEvals += done;
            }
            evaluated += done;
        }
        totalEvals += evaluated;
    }
    state.counters["us/eval@1e3"] = earlyEvals ? 1e6 * earlySeconds / double(earlyEvals) : 0.0;
    state.counters["us/eval@1e5"] = lateEvals ? 1e6 * lateSeconds / double(lateEvals) : 0.0;
    state.counters["allocs/eval"] = double(allocations) / double(totalEvals);
    state.counters["evals"] = double(totalEvals);
}

// The whole cycle.
void BM_QueueCycle(benchmark::State& state)
{
    timeAsTheCacheGrows(state, &Run::cycle);
}

// The same cache operations alone: what of the cycle's time the cache's
// O(log N) look-ups take, so that the queue's own share can be read off.
void BM_CacheShareOfCycle(benchmark::State& state)
{
    timeAsTheCacheGrows(state, &Run::cacheShare);
}

// One point per cycle: argument 1, each point a success (the barrier takes
// it); 0, each a failure against an incumbent no point beats.
void BM_QueueOnePoint(benchmark::State& state)
{
    const bool improving = state.range(0) != 0;
    Run run(1, improving ? "1e300" : "-1e9");
    const std::uint64_t before = QarnoBench::allocationCount();
    for (auto _ : state)
    {
        run.onePoint(improving);
    }
    state.counters["allocs/point"] =
        QarnoBench::allocationsPer(before, static_cast<double>(state.iterations()));
    state.counters["cached"] = static_cast<double>(CacheBase::getInstance()->size());
    state.counters["evals"] = static_cast<double>(run.evc->getBbEval());
}

BENCHMARK(BM_QueueOnePoint)->Arg(1)->Arg(0)->Iterations(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_QueueCycle)->Arg(10)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CacheShareOfCycle)->Arg(10)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
