// The cache on the path of every evaluation: a new point queued and then
// stored with its evaluation, look-ups, cache hits, and the best-point
// searches of every algorithm start and barrier build, with 10^5 and 10^6
// points of dimension 10 and 10^4 points of dimension 1000. The time per
// operation should grow with log N at most; the fill reports what one cached
// point holds in memory.
//
// Points have outputs "f c1 c2" of types OBJ PB EB: about 40% feasible, 30%
// violating the PB constraint and 30% the EB one (h = INF).

#include <benchmark/benchmark.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "Algos/ProcessState.hpp"
#include "Cache/CacheBase.hpp"
#include "Cache/CacheSet.hpp"
#include "Eval/EvalPoint.hpp"
#include "Math/Point.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/CacheParameters.hpp"
#include "support/AllocationCounter.hpp"
#include "support/PseudoRandom.hpp"

using namespace QARNO_4_0_0;
using QarnoBench::mix;
using QarnoBench::uniform;

namespace
{

const BBOutputTypeList TYPES = {BBOutputType::OBJ, BBOutputType::PB, BBOutputType::EB};

Point pointNumber(size_t i, size_t dim)
{
    Point p(dim);
    for (size_t k = 0; k < dim; ++k)
    {
        p[k] = uniform(i, k);
    }
    return p;
}

std::string text(double v)
{
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof(buf), v);
    return std::string(buf, res.ptr);
}

/// The raw output of point i.
std::string outputNumber(size_t i)
{
    const double kind = uniform(i, 1u << 20);
    const double pb = (kind < 0.4 || kind >= 0.7) ? -0.5 : uniform(i, 1u << 21);
    const double eb = (kind >= 0.7) ? 1.0 : -1.0;
    return text(uniform(i, 1u << 22) * 100.0) + " " + text(pb) + " " + text(eb);
}

/// The cache's part of one evaluation: the point is queued (smartInsert),
/// then its evaluation stored (update).
void evaluateInto(CacheBase& cache, size_t i, size_t dim)
{
    EvalPoint p(pointNumber(i, dim));
    cache.smartInsert(p, 1, EvalType::BB);
    p.setBBO(outputNumber(i), TYPES, EvalType::BB, true);
    p.setNumberEval(1);
    cache.update(p, EvalType::BB);
}

size_t residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    size_t pages = 0;
    size_t resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<size_t>(::sysconf(_SC_PAGESIZE));
}

/// The cache of the process, holding points 0 .. n-1 of that dimension.
struct Filled
{
    size_t dim = 0;
    size_t n = 0;
};
Filled g_filled;

CacheBase& emptyCache()
{
    resetProcessState();
    // The display degree of a run by default: information messages such as
    // the cache hits are not formatted.
    OutputQueue::getInstance()->setDisplayDegree(2);
    auto params = std::make_shared<CacheParameters>();
    params->checkAndComply(nullptr);
    CacheSet::setInstance(params, TYPES);
    g_filled = Filled();
    return *CacheBase::getInstance();
}

CacheBase& filledCache(size_t dim, size_t n)
{
    if (g_filled.dim != dim || g_filled.n != n || !CacheBase::hasInstance())
    {
        CacheBase& cache = emptyCache();
        for (size_t i = 0; i < n; ++i)
        {
            evaluateInto(cache, i, dim);
        }
        g_filled.dim = dim;
        g_filled.n = n;
    }
    return *CacheBase::getInstance();
}

size_t dimOf(const benchmark::State& state)
{
    return static_cast<size_t>(state.range(0));
}

size_t sizeOf(const benchmark::State& state)
{
    return static_cast<size_t>(state.range(1));
}

/// Seconds per operation, and per operation and tree level (log2 of the
/// number of points): the latter stays flat when an operation costs
/// O(log N), up to the slower memory of larger caches.
void timePerOperation(benchmark::State& state, double operationsPerIteration = 1.0)
{
    const auto flags = benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert;
    state.counters["s/op"] = benchmark::Counter(operationsPerIteration, flags);
    state.counters["s/op/log2N"] = benchmark::Counter(
        operationsPerIteration * std::log2(static_cast<double>(state.range(1))), flags);
}

void allocationsPerOperation(benchmark::State& state, std::uint64_t before)
{
    state.counters["allocs/op"] =
        QarnoBench::allocationsPer(before, static_cast<double>(state.iterations()));
}

// Filling an empty cache with N evaluated points; what a point holds.
void BM_Fill(benchmark::State& state)
{
    const size_t dim = dimOf(state);
    const size_t n = sizeOf(state);
    for (auto _ : state)
    {
        state.PauseTiming();
        CacheBase& cache = emptyCache();
        const std::uint64_t bytesBefore = QarnoBench::liveBytes();
        const std::uint64_t allocsBefore = QarnoBench::allocationCount();
        const size_t rssBefore = residentBytes();
        state.ResumeTiming();

        for (size_t i = 0; i < n; ++i)
        {
            evaluateInto(cache, i, dim);
        }
        // The first search builds nothing more: the rankings are ready.
        std::vector<EvalPoint> best;
        cache.findBestFeas(best, Point(dim), EvalType::BB, nullptr);

        state.PauseTiming();
        const double perPoint = 1.0 / static_cast<double>(n);
        state.counters["bytes/point"] =
            static_cast<double>(QarnoBench::liveBytes() - bytesBefore) * perPoint;
        state.counters["rss/point"] = static_cast<double>(residentBytes() - rssBefore) * perPoint;
        state.counters["allocs/point"] =
            static_cast<double>(QarnoBench::allocationCount() - allocsBefore) * perPoint;
        state.counters["coord bytes"] = static_cast<double>(dim * sizeof(Double));
        g_filled.dim = dim;
        g_filled.n = n;
        state.ResumeTiming();
    }
    timePerOperation(state, static_cast<double>(n));
}

// One more evaluated point in a cache of N.
void BM_Insert(benchmark::State& state)
{
    const size_t dim = dimOf(state);
    const size_t n = sizeOf(state);
    CacheBase& cache = filledCache(dim, n);
    size_t next = n + 1000000000;
    for (auto _ : state)
    {
        evaluateInto(cache, next++, dim);
    }
    timePerOperation(state);
    g_filled = Filled(); // the cache grew
}

/// Query points: cached points, built before the timing.
std::vector<Point> cachedPoints(size_t dim, size_t n, size_t count)
{
    std::vector<Point> points;
    for (size_t j = 0; j < count; ++j)
    {
        points.push_back(pointNumber(mix(j) % n, dim));
    }
    return points;
}

// Looking a cached point up by its coordinates.
void BM_Find(benchmark::State& state)
{
    const size_t dim = dimOf(state);
    const size_t n = sizeOf(state);
    const CacheBase& cache = filledCache(dim, n);
    const std::vector<Point> queries = cachedPoints(dim, n, 4096);
    EvalPoint found;
    size_t j = 0;
    const std::uint64_t before = QarnoBench::allocationCount();
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(cache.find(queries[j++ & 4095], found));
    }
    timePerOperation(state);
    allocationsPerOperation(state, before);
}

// A cached point offered again for evaluation: a cache hit.
void BM_CacheHit(benchmark::State& state)
{
    const size_t dim = dimOf(state);
    const size_t n = sizeOf(state);
    CacheBase& cache = filledCache(dim, n);
    std::vector<EvalPoint> queries;
    for (const Point& p : cachedPoints(dim, n, 4096))
    {
        queries.emplace_back(p);
    }
    size_t j = 0;
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(cache.smartInsert(queries[j++ & 4095], 1, EvalType::BB));
    }
    timePerOperation(state);
}

// The searches of an algorithm start and a barrier build.
void BM_FindBest(benchmark::State& state)
{
    const size_t dim = dimOf(state);
    const size_t n = sizeOf(state);
    const CacheBase& cache = filledCache(dim, n);
    const Point fixedVariable(dim);
    std::vector<EvalPoint> feasible;
    std::vector<EvalPoint> infeasible;
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(cache.hasFeas(EvalType::BB));
        cache.findBestFeas(feasible, fixedVariable, EvalType::BB, nullptr);
        cache.findBestInf(infeasible, INF, fixedVariable, EvalType::BB, nullptr);
    }
    timePerOperation(state);
}

// The same searches when only extreme-barrier violations are infeasible:
// every infeasible point has h = INF.
void BM_FindBestInfiniteH(benchmark::State& state)
{
    const size_t dim = dimOf(state);
    const size_t n = sizeOf(state);
    CacheBase& cache = emptyCache();
    for (size_t i = 0; i < n; ++i)
    {
        EvalPoint p(pointNumber(i, dim));
        cache.smartInsert(p, 1, EvalType::BB);
        p.setBBO(text(uniform(i, 7) * 100.0) + " -1 1", TYPES, EvalType::BB, true);
        p.setNumberEval(1);
        cache.update(p, EvalType::BB);
    }
    const Point fixedVariable(dim);
    std::vector<EvalPoint> infeasible;
    for (auto _ : state)
    {
        cache.findBestInf(infeasible, INF, fixedVariable, EvalType::BB, nullptr);
    }
    timePerOperation(state);
    g_filled = Filled();
}

// The order of the cache and the comparisons of arrays, on points equal up
// to their last coordinate: no allocation.
Point lastCoordinateApart(const Point& a)
{
    Point b = a;
    b[b.size() - 1] = b[b.size() - 1].todouble() + 1.0;
    return b;
}

void BM_PointWeakLess(benchmark::State& state)
{
    const Point a = pointNumber(1, 10);
    const Point b = lastCoordinateApart(a);
    const std::uint64_t before = QarnoBench::allocationCount();
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(Point::weakLess(a, b));
    }
    allocationsPerOperation(state, before);
}
BENCHMARK(BM_PointWeakLess);

// Two points of a poll in many variables: equal but for one coordinate near
// the end, so the order walks almost all of both.
void BM_PointWeakLessLongSharedPrefix(benchmark::State& state)
{
    const size_t n = static_cast<size_t>(state.range(0));
    Point a(n);
    for (size_t i = 0; i < n; ++i)
    {
        a[i] = 0.25 * static_cast<double>(i % 13);
    }
    const Point b = lastCoordinateApart(a);
    const std::uint64_t before = QarnoBench::allocationCount();
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(Point::weakLess(a, b));
    }
    allocationsPerOperation(state, before);
}
BENCHMARK(BM_PointWeakLessLongSharedPrefix)->Arg(100)->Arg(1000);

void BM_ArrayLess(benchmark::State& state)
{
    const Point a = pointNumber(1, 10);
    const Point b = lastCoordinateApart(a);
    const std::uint64_t before = QarnoBench::allocationCount();
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(a < b);
        benchmark::DoNotOptimize(a <= b);
    }
    allocationsPerOperation(state, before);
}
BENCHMARK(BM_ArrayLess);

void configurations(benchmark::internal::Benchmark* b)
{
    b->Args({10, 10000})->Args({10, 100000})->Args({10, 1000000})->Args({1000, 10000});
}

BENCHMARK(BM_Fill)->Apply(configurations)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Find)->Apply(configurations)->Iterations(200000);
BENCHMARK(BM_CacheHit)->Apply(configurations)->Iterations(200000);
BENCHMARK(BM_FindBest)->Apply(configurations)->Iterations(20000);
BENCHMARK(BM_Insert)->Apply(configurations)->Iterations(10000);
BENCHMARK(BM_FindBestInfiniteH)
    ->Args({10, 10000})
    ->Args({10, 100000})
    ->Args({10, 1000000})
    ->Iterations(20000);

} // namespace
