#include "Util/SignalRecord.hpp"

namespace QARNO_4_0_0
{

volatile std::sig_atomic_t SignalRecord::_interrupts = 0;
volatile std::sig_atomic_t SignalRecord::_termination = 0;

std::string SignalRecord::signalName(int signalValue)
{
    switch (signalValue)
    {
    case SIGTERM:
        return "SIGTERM";
    case SIGHUP:
        return "SIGHUP";
    case SIGINT:
        return "SIGINT";
    default:
        return "signal " + std::to_string(signalValue);
    }
}

void SignalRecord::reset()
{
    _interrupts = 0;
    _termination = 0;
}

} // namespace QARNO_4_0_0
