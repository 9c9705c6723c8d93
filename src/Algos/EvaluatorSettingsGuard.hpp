#ifndef QARNO_ALGOS_EVALUATORSETTINGSGUARD_HPP
#define QARNO_ALGOS_EVALUATORSETTINGSGUARD_HPP

#include <memory>

namespace QARNO_4_0_0
{

class EvaluatorControl;
class Evaluator;

/// Gives the calling main thread's evaluation settings back on every way
/// out of a model optimisation, an exception included: the queue without the
/// points left over for the model's evaluator, the evaluator it replaced
/// (installing it also resets the success rule to that evaluator's default),
/// opportunism, cache use and, when asked, the default success rule
/// explicitly.
///
///     EvaluatorSettingsGuard guard(evc, true);
///     evc->setOpportunisticEval(false);
///     guard.install(modelEvaluator);
///     ... child run ...
class EvaluatorSettingsGuard
{
public:
    EvaluatorSettingsGuard(const std::shared_ptr<EvaluatorControl>& evc, bool restoreDefaultRule);
    ~EvaluatorSettingsGuard();
    EvaluatorSettingsGuard(const EvaluatorSettingsGuard&) = delete;
    EvaluatorSettingsGuard& operator=(const EvaluatorSettingsGuard&) = delete;

    /// Installs the evaluator; the one it replaces comes back at the end.
    void install(const std::shared_ptr<Evaluator>& evaluator);
    /// Puts everything back now rather than at destruction.
    void restore();

private:
    std::shared_ptr<EvaluatorControl> _evc;
    bool _restoreDefaultRule;
    bool _opportunistic;
    bool _useCache;
    bool _installed;
    bool _restored;
    std::shared_ptr<Evaluator> _previous;
};

} // namespace QARNO_4_0_0

#endif
