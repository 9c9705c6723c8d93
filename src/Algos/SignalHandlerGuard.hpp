#ifndef QARNO_ALGOS_SIGNALHANDLERGUARD_HPP
#define QARNO_ALGOS_SIGNALHANDLERGUARD_HPP

#include <csignal>

namespace QARNO_4_0_0
{

/// Installs `Step::userInterrupt` for SIGINT and `Step::debugSegFault` for
/// SIGSEGV for the length of a run, and puts back the handlers found at
/// construction when it dies, also when the run ends by an exception: an
/// embedding interpreter keeps its own Ctrl-C handling after the run.
class SignalHandlerGuard
{
public:
    SignalHandlerGuard();
    ~SignalHandlerGuard();
    SignalHandlerGuard(const SignalHandlerGuard&) = delete;
    SignalHandlerGuard& operator=(const SignalHandlerGuard&) = delete;

private:
    struct sigaction _previousInt;
    struct sigaction _previousSegv;
};

} // namespace QARNO_4_0_0

#endif
