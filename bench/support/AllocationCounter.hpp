#ifndef QARNO_BENCH_SUPPORT_ALLOCATIONCOUNTER_HPP
#define QARNO_BENCH_SUPPORT_ALLOCATIONCOUNTER_HPP

#include <cstdint>

namespace QarnoBench
{

/// Number of calls of the global operator new since the process started.
/// Benchmarks report allocations per operation as a counter.
std::uint64_t allocationCount();

} // namespace QarnoBench

#endif
