#include "Util/Clock.hpp"

namespace QARNO_4_0_0
{

time_t Clock::_real_t0 = 0;
clock_t Clock::_CPU_t0 = clock();
const double Clock::_D_CLOCKS_PER_SEC = static_cast<double>(CLOCKS_PER_SEC);

void Clock::reset()
{
    _real_t0 = time(nullptr);
    _CPU_t0 = clock();
}

size_t Clock::getRealTime()
{
    const double elapsed = difftime(time(nullptr), _real_t0);
    // A clock set back during the run must not give a huge count.
    return (elapsed > 0.0) ? static_cast<size_t>(elapsed) : 0;
}

} // namespace QARNO_4_0_0
