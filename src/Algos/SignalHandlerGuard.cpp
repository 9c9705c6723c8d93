#include "Algos/SignalHandlerGuard.hpp"

#include <exception>
#include <iostream>

#include "Algos/Step.hpp"
#include "Eval/Evaluator.hpp"
#include "Output/OutputQueue.hpp"
#include "Util/SignalRecord.hpp"

namespace QARNO_4_0_0
{

namespace
{

/// The handler that the SIGSEGV handler passes faults on to. Read in the
/// signal context: only written while no fault is handled.
struct sigaction segvChain = {};

void install(int signalValue, void (*handler)(int), struct sigaction* previous)
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a wait for the blackbox executable wakes up on the
    // signal and acts on it.
    action.sa_flags = 0;
    sigaction(signalValue, &action, previous);
}

/// Installs `handler` for `signalValue` unless the process ignores the
/// signal. True when installed.
bool installUnlessIgnored(int signalValue, void (*handler)(int), struct sigaction* previous)
{
    if (0 != sigaction(signalValue, nullptr, previous) || SIG_IGN == previous->sa_handler)
    {
        return false;
    }
    install(signalValue, handler, previous);
    return true;
}

/// What is on its way out before the process may end on the signal.
void flushOutput() noexcept
{
    try
    {
        OutputQueue::getInstance()->flush();
    }
    catch (...)
    {
        // The signal must still be passed on.
    }
    std::cout.flush();
    std::cerr.flush();
}

} // namespace

SignalHandlerGuard::SignalHandlerGuard()
    : _previousInt(), _previousSegv(), _previousTerm(), _previousHup(), _termInstalled(false),
      _hupInstalled(false), _outerSegvChain(segvChain),
      _terminationBefore(SignalRecord::getTermination())
{
    install(SIGINT, &Step::userInterrupt, &_previousInt);
    install(SIGSEGV, &Step::debugSegFault, &_previousSegv);
    segvChain = _previousSegv;
    _termInstalled = installUnlessIgnored(SIGTERM, &Step::terminationSignal, &_previousTerm);
    _hupInstalled = installUnlessIgnored(SIGHUP, &Step::terminationSignal, &_previousHup);
}

SignalHandlerGuard::~SignalHandlerGuard()
{
    if (_hupInstalled)
    {
        sigaction(SIGHUP, &_previousHup, nullptr);
    }
    if (_termInstalled)
    {
        sigaction(SIGTERM, &_previousTerm, nullptr);
    }
    sigaction(SIGSEGV, &_previousSegv, nullptr);
    segvChain = _outerSegvChain;
    sigaction(SIGINT, &_previousInt, nullptr);

    const int termination = SignalRecord::getTermination();
    if (0 == termination || termination == _terminationBefore)
    {
        return;
    }
    flushOutput();
    try
    {
        Evaluator::removeTmpFiles();
    }
    catch (...)
    {
        // Nothing may leave a destructor; the signal is passed on anyway.
    }
    std::raise(termination);
}

void SignalHandlerGuard::restorePreviousSegFaultHandler()
{
    sigaction(SIGSEGV, &segvChain, nullptr);
}

} // namespace QARNO_4_0_0
