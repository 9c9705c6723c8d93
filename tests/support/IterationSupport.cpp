#include "support/IterationSupport.hpp"

#include <utility>

#include "Param/EvaluatorControlGlobalParameters.hpp"
#include "Util/AllStopReasons.hpp"
#include "support/StepSupport.hpp"
#include "support/TestSupport.hpp"

namespace QarnoTest
{

using namespace QARNO_4_0_0;

std::shared_ptr<RunParameters> makeIterationRunParams(bool userCallsEnabled, size_t maxIterPerMega)
{
    auto run = makeCheckedRunParams(2, false, false);
    run->setAttributeValue<bool>("USER_CALLS_ENABLED", userCallsEnabled);
    run->setAttributeValue<size_t>("MAX_ITERATION_PER_MEGAITERATION", maxIterPerMega);
    auto evcGlobal = std::make_shared<EvaluatorControlGlobalParameters>();
    evcGlobal->checkAndComply(nullptr);
    CerrCapture ignoreWarnings;
    run->checkAndComply(evcGlobal, makeCheckedPbParams(2));
    return run;
}

RecordingInitialization::RecordingInitialization(const Step* parent) : Initialization(parent) {}

bool RecordingInitialization::runImp()
{
    calls.push_back("run");
    _barrier = barrierToBuild;
    return true;
}

} // namespace QarnoTest
