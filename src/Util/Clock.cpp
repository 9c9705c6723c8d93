#include "Util/Clock.hpp"

namespace QARNO_4_0_0
{

time_t Clock::_real_t0 = 0;
clock_t Clock::_CPU_t0 = clock();
std::chrono::steady_clock::time_point Clock::_steady_t0 = std::chrono::steady_clock::now();
const double Clock::_D_CLOCKS_PER_SEC = static_cast<double>(CLOCKS_PER_SEC);

void Clock::reset()
{
    _real_t0 = time(nullptr);
    _CPU_t0 = clock();
    _steady_t0 = std::chrono::steady_clock::now();
}

size_t Clock::getRealTime()
{
    const double elapsed = difftime(time(nullptr), _real_t0);
    // A clock set back during the run must not give a huge count.
    return (elapsed > 0.0) ? static_cast<size_t>(elapsed) : 0;
}

double Clock::secondsLeft(size_t limit)
{
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - _steady_t0;
    return static_cast<double>(limit) - elapsed.count();
}

} // namespace QARNO_4_0_0
