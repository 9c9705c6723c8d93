#ifndef QARNO_UTIL_SIGNALRECORD_HPP
#define QARNO_UTIL_SIGNALRECORD_HPP

#include <csignal>
#include <string>

namespace QARNO_4_0_0
{

/// What the signal handlers of a run record, and nothing more: a handler
/// may only write a `volatile sig_atomic_t`. The code that acts on the
/// signals reads the record: the loops of the steps between their
/// iterations, the evaluation queue between its blocks, and the wait for a
/// blackbox executable while it runs.
///
/// Interrupts (SIGINT) are counted; of the termination signals (SIGTERM,
/// SIGHUP) the first one received is kept.
class SignalRecord
{
public:
    SignalRecord() = delete;

    /// For the SIGINT handler.
    static void addInterrupt() { _interrupts = _interrupts + 1; }
    /// The interrupts received since the last reset.
    static std::sig_atomic_t getInterrupts() { return _interrupts; }

    /// For the handler of the termination signals.
    static void setTermination(int signalValue)
    {
        if (0 == _termination)
        {
            _termination = signalValue;
        }
    }
    /// The first termination signal received since the last reset; 0 when
    /// none was.
    static int getTermination() { return _termination; }

    /// No signal received, as at load.
    static void reset();

    /// "SIGTERM", "SIGHUP", "SIGINT", or the number of another signal.
    static std::string signalName(int signalValue);

private:
    static volatile std::sig_atomic_t _interrupts;
    static volatile std::sig_atomic_t _termination;
};

} // namespace QARNO_4_0_0

#endif
