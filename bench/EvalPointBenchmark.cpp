// The evaluation records on the hot path: copying an evaluated point (into
// the queue, the cache, the barrier), interpreting an output line, and the
// success computation against an incumbent.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "Eval/ComputeSuccessType.hpp"
#include "Eval/EvalPoint.hpp"
#include "Math/Point.hpp"
#include "support/AllocationCounter.hpp"

using namespace QARNO_4_0_0;

namespace
{

EvalPoint evaluatedPoint(size_t n, double f)
{
    EvalPoint p(Point(n, 0.5));
    p.setBBO(std::to_string(f) + " -1 0.25 3", "OBJ PB PB EB", EvalType::BB);
    p.setPointFrom(std::make_shared<Point>(n, 0.0));
    p.updateTag();
    return p;
}

void allocationsPerItem(benchmark::State& state, std::uint64_t before)
{
    state.counters["allocs/op"] =
        QarnoBench::allocationsPer(before, static_cast<double>(state.iterations()));
}

void BM_EvalPointCopy(benchmark::State& state)
{
    const EvalPoint source = evaluatedPoint(static_cast<size_t>(state.range(0)), 1.0);
    const std::uint64_t before = QarnoBench::allocationCount();
    for (auto _ : state)
    {
        EvalPoint copy(source);
        benchmark::DoNotOptimize(copy);
    }
    allocationsPerItem(state, before);
}
BENCHMARK(BM_EvalPointCopy)->Arg(10)->Arg(100)->Arg(1000);

void BM_EvalPointMove(benchmark::State& state)
{
    EvalPoint a = evaluatedPoint(static_cast<size_t>(state.range(0)), 1.0);
    const std::uint64_t before = QarnoBench::allocationCount();
    for (auto _ : state)
    {
        EvalPoint b(std::move(a));
        a = std::move(b);
        benchmark::DoNotOptimize(a);
    }
    allocationsPerItem(state, before);
}
BENCHMARK(BM_EvalPointMove)->Arg(1000);

void BM_InterpretOutput(benchmark::State& state)
{
    const BBOutputTypeList types = {BBOutputType::OBJ, BBOutputType::PB, BBOutputType::PB,
                                    BBOutputType::EB};
    const std::string line = "1.2345678901234567 -1 0.25 -3";
    Eval eval;
    const std::uint64_t before = QarnoBench::allocationCount();
    for (auto _ : state)
    {
        eval.setBBO(line, types, true);
        benchmark::DoNotOptimize(eval);
    }
    allocationsPerItem(state, before);
}
BENCHMARK(BM_InterpretOutput);

void BM_SuccessComputation(benchmark::State& state)
{
    const auto candidate = std::make_shared<EvalPoint>(evaluatedPoint(10, 1.0));
    const auto incumbent = std::make_shared<EvalPoint>(evaluatedPoint(10, 2.0));
    ComputeSuccessType rule;
    rule.setDefaultComputeSuccessTypeFunction(EvalType::BB);
    const Double hMax(INF);
    const std::uint64_t before = QarnoBench::allocationCount();
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(rule(candidate, incumbent, hMax));
    }
    allocationsPerItem(state, before);
}
BENCHMARK(BM_SuccessComputation);

} // namespace
