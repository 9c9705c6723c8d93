#include "Algos/ProcessState.hpp"

#include <cstdlib>

#include "Algos/EvcInterface.hpp"
#include "Algos/NelderMead/NMSettings.hpp"
#include "Algos/PhaseOne/PhaseOne.hpp"
#include "Algos/Step.hpp"
#include "Algos/Subproblem.hpp"
#include "Algos/SubproblemManager.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/ComputeSuccessType.hpp"
#include "Eval/Eval.hpp"
#include "Eval/EvalPoint.hpp"
#include "Eval/Evaluator.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/Double.hpp"
#include "Math/RNG.hpp"
#include "Output/OutputDirectToFile.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/Parameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/AllStopReasons.hpp"
#include "Util/TextConstants.hpp"
#include "Util/WriteFailures.hpp"
#include "teskora/Diagnostics.hpp"

namespace QARNO_4_0_0
{

namespace
{

/// Who resets a state.
enum class ResetAt
{
    /// Every run's start, and a whole-process reset.
    RUN_START,
    /// Only a whole-process reset: the embedding program may have set it up
    /// for the run.
    PROCESS
};

struct ProcessStateItem
{
    const char* name;
    ResetAt resetAt;
    void (*reset)();
    /// The reset at a run's start, when it differs from `reset`.
    void (*runStartReset)();
};

void resetNumberTexts()
{
    Double::setEpsilon(Double::DEFAULT_EPSILON);
    Double::_infStr = INF_TEXT;
    Double::_undefStr = UNDEF_TEXT;
}

void resetRandomGenerators()
{
    RNG::reset();
    // The surrogate library draws from the standard generator, which a new
    // process starts as if seeded with 1.
    std::srand(1);
}

void resetQueueSuccessRule()
{
    // Phase one installs its own rule; a run that ended inside it (an
    // interrupt, an exception) would leave it to the next run.
    const auto& evc = EvcInterface::getEvaluatorControl();
    if (nullptr != evc && evc->isMainThread(getThreadNum()) && EvalType::BB == evc->getEvalType(-1))
    {
        evc->setComputeSuccessTypeFunction(ComputeSuccessType::defaultComputeSuccessType);
    }
}

// Foundation, parameters, output, evaluation, steps: a state is reset before
// the states of the layers below it that its reset may touch.
const ProcessStateItem ITEMS[] = {
    {"number texts and tolerance", ResetAt::RUN_START, resetNumberTexts, nullptr},
    {"random generators", ResetAt::RUN_START, resetRandomGenerators, nullptr},
    {"surrogate diagnostics stream", ResetAt::RUN_START, [] { TESKORA::set_diag_stream(nullptr); },
     nullptr},
    {"shared stop reasons", ResetAt::RUN_START, [] { AllStopReasons::setSharedStarted(); },
     nullptr},
    {"parameter entries", ResetAt::PROCESS, [] { Parameters::_paramEntries.eraseAll(); }, nullptr},
    {"unknown-keyword warning", ResetAt::RUN_START,
     [] { RunParameters::_warningUnknownParamShown = false; }, nullptr},
    {"output queue", ResetAt::PROCESS, [] { OutputQueue::resetInstance(); }, nullptr},
    {"history and solution writer", ResetAt::PROCESS, [] { OutputDirectToFile::resetInstance(); },
     nullptr},
    {"solution-file switch", ResetAt::RUN_START,
     [] { OutputDirectToFile::getInstance()->_writeSolutionFile = true; }, nullptr},
    {"files that could not be written", ResetAt::RUN_START, [] { WriteFailures::reset(); },
     nullptr},
    {"evaluation point tags", ResetAt::PROCESS, [] { EvalPoint::resetCurrentTag(); }, nullptr},
    {"evaluation rules", ResetAt::RUN_START, [] { Eval::resetComputeRules(); }, nullptr},
    {"cache", ResetAt::PROCESS, [] { CacheBase::resetInstance(); }, nullptr},
    {"blackbox temporary files", ResetAt::PROCESS, [] { Evaluator::removeTmpFiles(); }, nullptr},
    {"blackbox time limit", ResetAt::RUN_START,
     [] { Evaluator::setTimeLimit(Evaluator::NO_TIME_LIMIT); }, nullptr},
    {"success rule of the evaluation queue", ResetAt::RUN_START, resetQueueSuccessRule, nullptr},
    {"evaluation queue", ResetAt::PROCESS, [] { EvcInterface::setEvaluatorControl(nullptr); },
     nullptr},
    {"interrupt flags", ResetAt::RUN_START, [] { Step::resetInterruptState(); }, nullptr},
    {"user callbacks", ResetAt::PROCESS, [] { Step::resetCallbacks(); }, nullptr},
    // At a run's start with the warning that an earlier run left entries.
    {"sub-problem registry", ResetAt::RUN_START, [] { SubproblemManager::clear(); },
     [] { SubproblemManager::reset(); }},
    {"phase-one output types", ResetAt::RUN_START, [] { PhaseOne::_bboutputtypes.clear(); },
     nullptr},
    {"last sub-problem parameters", ResetAt::RUN_START, [] { Subproblem::forgetLastParameters(); },
     nullptr},
    {"kept point placement", ResetAt::RUN_START, [] { EvcInterface::forgetPointPlacement(); },
     nullptr},
    {"kept Nelder-Mead settings", ResetAt::RUN_START, [] { NMSettings::forgetKept(); }, nullptr},
};

} // namespace

void resetProcessState()
{
    for (const auto& item : ITEMS)
    {
        item.reset();
    }
}

void resetRunState()
{
    for (const auto& item : ITEMS)
    {
        if (ResetAt::RUN_START == item.resetAt)
        {
            (nullptr != item.runStartReset) ? item.runStartReset() : item.reset();
        }
    }
}

std::vector<std::string> processStateNames(bool runStartOnly)
{
    std::vector<std::string> names;
    for (const auto& item : ITEMS)
    {
        if (!runStartOnly || ResetAt::RUN_START == item.resetAt)
        {
            names.emplace_back(item.name);
        }
    }
    return names;
}

} // namespace QARNO_4_0_0
