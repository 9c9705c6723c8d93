// Reading the line an evaluator returns for every point: f and a few
// constraints, as text, split into fields and read as numbers. BM_BBOutputRead
// is what interpreting one output asks of the line (the field count, the
// objective, the constraints, the count flag); the others take its parts
// apart, on a line read once before the timing. BM_InterpretOutput
// (EvalPointBenchmark) adds the record's f and h on top.
//
// The argument is the number of constraints after f: 0, 3 and 10, half of
// them PB and half EB.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "Eval/BBOutput.hpp"
#include "support/AllocationCounter.hpp"

using namespace QARNO_4_0_0;

namespace
{

/// f then `constraints` values of either sign, in the forms evaluators write:
/// plain decimals, exponents, integers.
std::string outputLine(size_t constraints)
{
    static const char* const VALUES[] = {"-0.25", "3.5e-3", "-12", "0.125", "-7.75e+2"};
    std::string line = "1.2345678901234567";
    for (size_t i = 0; i < constraints; ++i)
    {
        line += ' ';
        line += VALUES[i % 5];
    }
    return line;
}

BBOutputTypeList outputTypes(size_t constraints)
{
    BBOutputTypeList types = {BBOutputType::OBJ};
    for (size_t i = 0; i < constraints; ++i)
    {
        types.push_back(0 == i % 2 ? BBOutputType::PB : BBOutputType::EB);
    }
    return types;
}

size_t constraintsOf(const benchmark::State& state)
{
    return static_cast<size_t>(state.range(0));
}

void allocationsPerOperation(benchmark::State& state, std::uint64_t before)
{
    state.counters["allocs/op"] =
        QarnoBench::allocationsPer(before, static_cast<double>(state.iterations()));
}

void BM_BBOutputRead(benchmark::State& state)
{
    const std::string line = outputLine(constraintsOf(state));
    const BBOutputTypeList types = outputTypes(constraintsOf(state));
    const std::uint64_t before = QarnoBench::allocationCount();
    for (auto _ : state)
    {
        BBOutput out(line, true);
        benchmark::DoNotOptimize(out.isComplete(types));
        benchmark::DoNotOptimize(out.getObjective(types));
        benchmark::DoNotOptimize(out.getConstraints(types));
        benchmark::DoNotOptimize(out.getCountEval(types));
    }
    allocationsPerOperation(state, before);
}
BENCHMARK(BM_BBOutputRead)->Arg(0)->Arg(3)->Arg(10);

void BM_BBOutputObjective(benchmark::State& state)
{
    const BBOutputTypeList types = outputTypes(constraintsOf(state));
    const BBOutput out(outputLine(constraintsOf(state)), true);
    const std::uint64_t before = QarnoBench::allocationCount();
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(out.getObjective(types));
    }
    allocationsPerOperation(state, before);
}
BENCHMARK(BM_BBOutputObjective)->Arg(0)->Arg(3)->Arg(10);

void BM_BBOutputConstraints(benchmark::State& state)
{
    const BBOutputTypeList types = outputTypes(constraintsOf(state));
    const BBOutput out(outputLine(constraintsOf(state)), true);
    const std::uint64_t before = QarnoBench::allocationCount();
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(out.getConstraints(types));
    }
    allocationsPerOperation(state, before);
}
BENCHMARK(BM_BBOutputConstraints)->Arg(3)->Arg(10);

void BM_BBOutputIsComplete(benchmark::State& state)
{
    const BBOutputTypeList types = outputTypes(constraintsOf(state));
    const BBOutput out(outputLine(constraintsOf(state)), true);
    const std::uint64_t before = QarnoBench::allocationCount();
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(out.isComplete(types));
    }
    allocationsPerOperation(state, before);
}
BENCHMARK(BM_BBOutputIsComplete)->Arg(0)->Arg(3)->Arg(10);

// One field read as a number, the step every getter repeats per field.
void BM_FieldToDouble(benchmark::State& state)
{
    const std::string field = "1.2345678901234567";
    const std::uint64_t before = QarnoBench::allocationCount();
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(BBOutput::fieldToDouble(field));
    }
    allocationsPerOperation(state, before);
}
BENCHMARK(BM_FieldToDouble);

} // namespace
