// Keyword reads of a checked parameter set, as the steps of every iteration
// make them: by a literal keyword, most of them longer than the fifteen
// letters a string holds without allocating, written as registered or in
// another case.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

#include "Math/Point.hpp"
#include "Param/AllParameters.hpp"
#include "Param/RunParameters.hpp"
#include "support/AllocationCounter.hpp"

using namespace QARNO_4_0_0;

namespace
{

std::shared_ptr<AllParameters> checkedParameters()
{
    auto all = std::make_shared<AllParameters>();
    all->set_DIMENSION(2);
    all->set_X0(Point(2, 0.0));
    all->checkAndComply();
    return all;
}

void allocationsPerRead(benchmark::State& state, std::uint64_t before)
{
    state.counters["allocs/read"] =
        QarnoBench::allocationsPer(before, static_cast<double>(state.iterations()));
}

void BM_ReadLongKeyword(benchmark::State& state)
{
    const auto all = checkedParameters();
    const RunParameters& run = *all->get_run_params();
    const std::uint64_t before = QarnoBench::allocationCount();
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(run.getAttributeValue<bool>("GENERATE_ALL_POINTS_BEFORE_EVAL"));
    }
    allocationsPerRead(state, before);
}
BENCHMARK(BM_ReadLongKeyword);

void BM_ReadShortKeyword(benchmark::State& state)
{
    const auto all = checkedParameters();
    const RunParameters& run = *all->get_run_params();
    const std::uint64_t before = QarnoBench::allocationCount();
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(run.getAttributeValue<size_t>("MAX_TIME"));
    }
    allocationsPerRead(state, before);
}
BENCHMARK(BM_ReadShortKeyword);

void BM_ReadKeywordInLowerCase(benchmark::State& state)
{
    const auto all = checkedParameters();
    const RunParameters& run = *all->get_run_params();
    const std::uint64_t before = QarnoBench::allocationCount();
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(run.getAttributeValue<size_t>("max_iterations"));
    }
    allocationsPerRead(state, before);
}
BENCHMARK(BM_ReadKeywordInLowerCase);

} // namespace
