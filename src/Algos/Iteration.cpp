#include "Algos/Iteration.hpp"

#include <string>

#include "Algos/StepException.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/RunParameters.hpp"
#include "Util/AllStopReasons.hpp"

namespace QARNO_4_0_0
{

Iteration::Iteration(const Step* parentStep, size_t k) : Step(parentStep), _k(k)
{
    init();
}

Iteration::~Iteration()
{
    try
    {
        OutputQueue::getInstance()->flush();
    }
    catch (...)
    {
        // A faulty queue must not end the process from a destructor; the
        // records stay queued for the next flush.
    }
}

void Iteration::init()
{
    setName(getAlgoName() + "Iteration " + std::to_string(_k));
    verifyParentNotNull();
}

void Iteration::endImp()
{
    if (nullptr == _stopReasons)
    {
        QARNO_THROW(StepException, "Error: " + getName() + " has no stop reasons to show", this);
    }
    if (OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_INFO))
    {
        AddOutputInfo("Stop reason: " + _stopReasons->getStopReasonAsString());
    }
    runStepEndCallback(*this, CallbackType::ITERATION_END);
}

void runStepEndCallback(const Step& step, CallbackType callbackType)
{
    const auto& runParams = step.getRunParams();
    if (nullptr == runParams)
    {
        QARNO_THROW(StepException,
                    "Error: " + step.getName() +
                        " needs the run parameters to check USER_CALLS_ENABLED",
                    &step);
    }
    if (!runParams->getUserCallsEnabled())
    {
        return;
    }
    const auto& stopReasons = step.getAllStopReasons();
    if (nullptr == stopReasons)
    {
        QARNO_THROW(StepException,
                    "Error: " + step.getName() + " has no stop reasons for its callback", &step);
    }
    bool stop = false;
    Step::runCallback(callbackType, step, stop);
    // An earlier reason to end the run is the one to report.
    if (stop && !stopReasons->checkTerminate())
    {
        AllStopReasons::_baseStopReason.set(BaseStopType::USER_STOPPED);
    }
}

} // namespace QARNO_4_0_0
