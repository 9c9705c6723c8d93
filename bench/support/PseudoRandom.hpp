#ifndef QARNO_BENCH_SUPPORT_PSEUDORANDOM_HPP
#define QARNO_BENCH_SUPPORT_PSEUDORANDOM_HPP

#include <cstdint>

namespace QarnoBench
{

/// A 64-bit mixing function (splitmix64's finaliser): scattered, repeatable
/// numbers without touching the library's random generator.
inline std::uint64_t mix(std::uint64_t x)
{
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

/// A number in [0, 1) that depends only on (i, k): coordinate k of point i
/// can be built again for a look-up.
inline double uniform(std::uint64_t i, std::uint64_t k)
{
    return static_cast<double>(mix(i * 0x100000001b3ULL + k) >> 11) * 0x1.0p-53;
}

} // namespace QarnoBench

#endif
