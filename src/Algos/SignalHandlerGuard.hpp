#ifndef QARNO_ALGOS_SIGNALHANDLERGUARD_HPP
#define QARNO_ALGOS_SIGNALHANDLERGUARD_HPP

#include <csignal>

namespace QARNO_4_0_0
{

/// Installs the handlers of a run for its length: `Step::userInterrupt`
/// for SIGINT, `Step::debugSegFault` for SIGSEGV, and
/// `Step::terminationSignal` for SIGTERM and SIGHUP unless the process
/// ignores them (a run started under nohup keeps ignoring the hangup). When
/// it dies, also when the run ends by an exception, it puts back the
/// handlers found at construction: an embedding interpreter keeps its own
/// Ctrl-C handling after the run.
///
/// A termination signal received meanwhile has only been recorded, so that
/// the run could end with its reports. Once the handlers are back, the
/// temporary files of the blackbox executable are removed and the signal is
/// raised again: the process then ends as the sender asked, or the
/// embedding program's own handler runs.
///
/// The SIGSEGV handler passes the fault on to the handler found at
/// construction (Python's faulthandler prints its traceback).
class SignalHandlerGuard
{
public:
    SignalHandlerGuard();
    ~SignalHandlerGuard();
    SignalHandlerGuard(const SignalHandlerGuard&) = delete;
    SignalHandlerGuard& operator=(const SignalHandlerGuard&) = delete;

    /// Puts back the SIGSEGV handler that the living guard found (the
    /// default one when no guard lives). Async-signal-safe: for the SIGSEGV
    /// handler, before it raises the signal again.
    static void restorePreviousSegFaultHandler();

private:
    struct sigaction _previousInt;
    struct sigaction _previousSegv;
    struct sigaction _previousTerm;
    struct sigaction _previousHup;
    bool _termInstalled;
    bool _hupInstalled;
    /// The SIGSEGV handler to pass faults on to before this guard.
    struct sigaction _outerSegvChain;
    /// The termination signal recorded before this guard (not its own).
    int _terminationBefore;
};

} // namespace QARNO_4_0_0

#endif
