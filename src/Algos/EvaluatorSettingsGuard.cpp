#include "Algos/EvaluatorSettingsGuard.hpp"

#include "Eval/ComputeSuccessType.hpp"
#include "Eval/Evaluator.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

EvaluatorSettingsGuard::EvaluatorSettingsGuard(const std::shared_ptr<EvaluatorControl>& evc,
                                               bool restoreDefaultRule)
    : _evc(evc), _restoreDefaultRule(restoreDefaultRule),
      _opportunistic(evc->getOpportunisticEval(-1)), _useCache(evc->getUseCache(-1)),
      _installed(false), _restored(false), _previous()
{
}

EvaluatorSettingsGuard::~EvaluatorSettingsGuard()
{
    try
    {
        restore();
    }
    catch (...)
    {
    }
}

void EvaluatorSettingsGuard::install(const std::shared_ptr<Evaluator>& evaluator)
{
    _previous = _evc->setEvaluator(evaluator);
    _installed = true;
}

void EvaluatorSettingsGuard::restore()
{
    if (_restored)
    {
        return;
    }
    _restored = true;
    if (_installed)
    {
        // Whatever this thread still has queued went in for the model's
        // evaluator: the inner run stopped (on its surrogate budget, say)
        // before taking it. Left there, the blackbox evaluator would get it
        // next, a point the cache has never seen.
        _evc->clearQueue(getThreadNum(), false);
        _evc->setEvaluator(_previous);
    }
    _evc->setOpportunisticEval(_opportunistic);
    _evc->setUseCache(_useCache);
    if (_restoreDefaultRule)
    {
        _evc->setComputeSuccessTypeFunction(ComputeSuccessType::defaultComputeSuccessType);
    }
}

} // namespace QARNO_4_0_0
