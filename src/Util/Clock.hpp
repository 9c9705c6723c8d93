#ifndef QARNO_UTIL_CLOCK_HPP
#define QARNO_UTIL_CLOCK_HPP

#include <chrono>
#include <cstddef>
#include <ctime>

namespace QARNO_4_0_0
{

/// Wall-clock time of a run, for MAX_TIME and the statistics. Never
/// instantiated; the main step calls reset() when it initialises a run.
class Clock
{
public:
    Clock() = delete;

    /// Restarts the count: wall-clock time, then processor time.
    static void reset();

    /// Whole seconds elapsed since the last reset.
    static size_t getRealTime();

    /// Seconds (with their fraction) left until `limit` seconds have passed
    /// since the last reset; zero or less once they have. Measured on a
    /// steady clock: a clock set back or forward during the run changes
    /// nothing.
    static double secondsLeft(size_t limit);

private:
    static time_t _real_t0;
    static clock_t _CPU_t0;
    static std::chrono::steady_clock::time_point _steady_t0;
    static const double _D_CLOCKS_PER_SEC;
};

} // namespace QARNO_4_0_0

#endif
