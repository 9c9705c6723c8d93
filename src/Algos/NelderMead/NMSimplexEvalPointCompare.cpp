#include "Algos/NelderMead/NMSimplexEvalPointCompare.hpp"

#include <limits>

#include "Algos/EvcInterface.hpp"
#include "Eval/Eval.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/Double.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

namespace
{

/// The default success rule of the evaluation type, candidate against
/// reference with an unbounded hMax, applied to the evaluations where they
/// are held: a partial or full success.
bool improvesOn(const EvalPoint& candidate, const EvalPoint& reference, EvalType evalType)
{
    static const Double hMax(std::numeric_limits<double>::max());
    const Eval* evalCandidate = candidate.getEval(evalType);
    const Eval* evalReference = reference.getEval(evalType);
    // The surrogate rule refuses a candidate above hMax before comparing.
    if (EvalType::SGTE == evalType && nullptr != evalCandidate && evalCandidate->getH() > hMax)
    {
        return false;
    }
    const SuccessType success = Eval::defaultComputeSuccessType(evalCandidate, evalReference, hMax);
    return SuccessType::PARTIAL_SUCCESS == success || SuccessType::FULL_SUCCESS == success;
}

} // namespace

EvalType NMSimplexEvalPointCompare::currentEvalType()
{
    const auto& evc = EvcInterface::getEvaluatorControl();
    if (nullptr == evc)
    {
        return EvalType::BB;
    }
    const EvalType evalType = evc->getEvalType(-1);
    // Only the blackbox and surrogate rules exist: anything else ranks by the
    // blackbox one.
    return (EvalType::SGTE == evalType) ? EvalType::SGTE : EvalType::BB;
}

bool NMSimplexEvalPointCompare::comesBefore(const EvalPoint& x, const EvalPoint& y,
                                            EvalType evalType)
{
    // Between two feasible evaluations up to date, the success rule is "f
    // less than" both ways: decided here without the rule's general case,
    // which this order asks for O(k) times per insertion.
    const Eval* evalX = x.getEval(evalType);
    const Eval* evalY = y.getEval(evalType);
    if (nullptr != evalX && nullptr != evalY && !evalX->toBeRecomputed() &&
        !evalY->toBeRecomputed() && evalX->isFeasible() && evalY->isFeasible())
    {
        const Double fX = evalX->getF();
        const Double fY = evalY->getF();
        if (fX < fY)
        {
            return true;
        }
        if (fY < fX)
        {
            return false;
        }
        return x.getTag() < y.getTag();
    }
    if (improvesOn(x, y, evalType))
    {
        return true;
    }
    if (improvesOn(y, x, evalType))
    {
        return false;
    }
    return x.getTag() < y.getTag();
}

bool NMSimplexEvalPointCompare::operator()(const EvalPoint& x, const EvalPoint& y) const
{
    return comesBefore(x, y, currentEvalType());
}

} // namespace QARNO_4_0_0
