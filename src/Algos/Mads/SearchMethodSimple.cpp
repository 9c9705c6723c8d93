#include "Algos/Mads/SearchMethodSimple.hpp"

#include "Util/AllStopReasons.hpp"

namespace QARNO_4_0_0
{

SearchMethodSimple::SearchMethodSimple(const Step* parentStep) : SearchMethodBase(parentStep) {}

SearchMethodSimple::~SearchMethodSimple() = default;

void SearchMethodSimple::startImp()
{
    // After a user interrupt (or any other stop) nothing more is proposed.
    if (nullptr != _stopReasons && _stopReasons->checkTerminate())
    {
        return;
    }
    generateTrialPoints();
}

bool SearchMethodSimple::runImp()
{
    if (nullptr != _stopReasons && _stopReasons->checkTerminate())
    {
        return false;
    }
    return evalTrialPoints(this);
}

} // namespace QARNO_4_0_0
