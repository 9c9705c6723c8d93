#include "support/IterationSupport.hpp"

#include <utility>

#include "Util/AllStopReasons.hpp"
#include "support/StepSupport.hpp"
#include "support/StepTree.hpp"
#include "support/TestSupport.hpp"

namespace QarnoTest
{

using namespace QARNO_4_0_0;

std::shared_ptr<RunParameters> makeIterationRunParams(bool userCallsEnabled, size_t maxIterPerMega)
{
    return makeRunParams(makeCheckedPbParams(2),
                         [&](RunParameters& run)
                         {
                             run.setAttributeValue<bool>("USER_CALLS_ENABLED", userCallsEnabled);
                             run.setAttributeValue<size_t>("MAX_ITERATION_PER_MEGAITERATION",
                                                           maxIterPerMega);
                         });
}

RecordingInitialization::RecordingInitialization(const Step* parent) : Initialization(parent) {}

bool RecordingInitialization::runImp()
{
    calls.push_back("run");
    _barrier = barrierToBuild;
    return true;
}

} // namespace QarnoTest
