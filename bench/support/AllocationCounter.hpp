#ifndef QARNO_BENCH_SUPPORT_ALLOCATIONCOUNTER_HPP
#define QARNO_BENCH_SUPPORT_ALLOCATIONCOUNTER_HPP

#include <cstdint>

namespace QarnoBench
{

/// Number of calls of the global operator new since the process started.
/// Benchmarks report allocations per operation as a counter.
std::uint64_t allocationCount();

/// Allocations since `before` (an `allocationCount()`), per one of `count`
/// operations.
double allocationsPer(std::uint64_t before, double count);

/// Bytes held by the blocks that the global operator new handed out and
/// that are not yet deleted (usable sizes of the blocks, without the
/// allocator's own headers). The difference around filling a container,
/// divided by its size, is what one element holds.
std::uint64_t liveBytes();

} // namespace QarnoBench

#endif
