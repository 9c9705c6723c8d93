#include "Algos/InnerMadsRun.hpp"

#include "Algos/EvaluatorSettingsGuard.hpp"
#include "Algos/EvcInterface.hpp"
#include "Algos/Mads/Mads.hpp"
#include "Eval/ComputeSuccessType.hpp"
#include "Eval/Evaluator.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/Double.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"

namespace QARNO_4_0_0
{

namespace
{

bool startRunEnd(Mads& mads)
{
    mads.start();
    const bool success = mads.run();
    mads.end();
    return success;
}

} // namespace

std::shared_ptr<RunParameters> InnerMadsRun::runParameters(const RunParameters& from,
                                                           InnerRun innerRun)
{
    auto runParams = std::make_shared<RunParameters>();
    runParams->copyParameters(from);
    Search::switchOffSearchesFor(innerRun, *runParams);
    if (InnerRun::PSD_POLLSTER != innerRun)
    {
        runParams->setAttributeValue("H_MAX_0", Double(INF));
        runParams->setAttributeValue("USER_CALLS_ENABLED", false);
    }
    return runParams;
}

std::shared_ptr<PbParameters> InnerMadsRun::pbParameters(const PbParameters& from)
{
    auto pbParams = std::make_shared<PbParameters>();
    pbParams->copyParameters(from);
    pbParams->_showMeshWarning = false;
    return pbParams;
}

bool InnerMadsRun::runOnModel(Mads& mads, const std::shared_ptr<Evaluator>& evaluator,
                              bool restoreDefaultRule)
{
    const auto& evc = EvcInterface::getEvaluatorControl();
    EvaluatorSettingsGuard guard(evc, restoreDefaultRule);
    evc->setOpportunisticEval(false);
    evc->setUseCache(false);
    guard.install(evaluator);
    if (restoreDefaultRule)
    {
        // Said outright rather than left to the evaluator's kind, as the
        // default rule is said outright afterwards.
        evc->setComputeSuccessTypeFunction(ComputeSuccessType::computeSuccessTypeSgte);
    }

    evc->resetSgteEval(-1);
    const bool success = startRunEnd(mads);
    evc->resetSgteEval(-1);
    guard.restore();
    return success;
}

bool InnerMadsRun::runOnSubproblem(Mads& mads, size_t& bbEval)
{
    // What the thread evaluated before (its share of the initialization,
    // for the first sub-problem) is not charged to the sub-problem's budget.
    const auto& evc = EvcInterface::getEvaluatorControl();
    evc->resetBbEvalInSubproblem(-1);
    const bool success = startRunEnd(mads);
    bbEval = evc->getBbEvalInSubproblem(-1);
    evc->resetBbEvalInSubproblem(-1);
    return success;
}

} // namespace QARNO_4_0_0
