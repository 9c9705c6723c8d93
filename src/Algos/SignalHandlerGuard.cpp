#include "Algos/SignalHandlerGuard.hpp"

#include "Algos/Step.hpp"

namespace QARNO_4_0_0
{

namespace
{

void install(int signalValue, void (*handler)(int), struct sigaction* previous)
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(signalValue, &action, previous);
}

} // namespace

SignalHandlerGuard::SignalHandlerGuard() : _previousInt(), _previousSegv()
{
    install(SIGINT, &Step::userInterrupt, &_previousInt);
    install(SIGSEGV, &Step::debugSegFault, &_previousSegv);
}

SignalHandlerGuard::~SignalHandlerGuard()
{
    sigaction(SIGSEGV, &_previousSegv, nullptr);
    sigaction(SIGINT, &_previousInt, nullptr);
}

} // namespace QARNO_4_0_0
