#ifndef QARNO_EVAL_COMPUTESUCCESSTYPE_HPP
#define QARNO_EVAL_COMPUTESUCCESSTYPE_HPP

#include <functional>

#include "Eval/EvalPoint.hpp"
#include "Math/Double.hpp"
#include "Type/EvalType.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

/// Holds the rule that classifies a candidate point against a reference
/// point: full success, partial success, failure or not comparable. Each
/// main thread of the evaluation queue keeps one, whose rule follows the kind
/// of its evaluator (blackbox or surrogate) unless phase one installs its
/// own; steps that rank points build local ones.
///
///     ComputeSuccessType cst;
///     cst.setDefaultComputeSuccessTypeFunction(EvalType::BB);
///     SuccessType s = cst(candidate, incumbent, hMax);
class ComputeSuccessType
{
public:
    using Function =
        std::function<SuccessType(const EvalPointPtr&, const EvalPointPtr&, const Double&)>;

    /// Holds no rule: a call throws std::bad_function_call until one is set.
    ComputeSuccessType() = default;

    SuccessType operator()(const EvalPointPtr& evalPoint1, const EvalPointPtr& evalPoint2,
                           const Double& hMax) const
    {
        return _computeSuccessFunction(evalPoint1, evalPoint2, hMax);
    }

    /// BB: the default rule; SGTE: the surrogate rule; UNDEFINED keeps the
    /// rule held.
    void setDefaultComputeSuccessTypeFunction(EvalType evalType);
    void setComputeSuccessTypeFunction(const Function& computeSuccessFunction)
    {
        _computeSuccessFunction = computeSuccessFunction;
    }
    const Function& getFunction() const { return _computeSuccessFunction; }

    /// Blackbox evaluations; without a reference, success when the candidate's
    /// h is within hMax.
    static SuccessType defaultComputeSuccessType(const EvalPointPtr& evalPoint1,
                                                 const EvalPointPtr& evalPoint2,
                                                 const Double& hMax);
    /// Surrogate evaluations; a candidate whose h exceeds hMax fails.
    static SuccessType computeSuccessTypeSgte(const EvalPointPtr& evalPoint1,
                                              const EvalPointPtr& evalPoint2, const Double& hMax);
    /// Blackbox evaluations under the phase-one rule (lower h is better).
    static SuccessType computeSuccessTypePhaseOne(const EvalPointPtr& evalPoint1,
                                                  const EvalPointPtr& evalPoint2,
                                                  const Double& hMax);

private:
    Function _computeSuccessFunction;
};

} // namespace QARNO_4_0_0

#endif
