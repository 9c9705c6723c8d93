#include "Eval/ComputeSuccessType.hpp"

namespace QARNO_4_0_0
{

void ComputeSuccessType::setDefaultComputeSuccessTypeFunction(EvalType evalType)
{
    switch (evalType)
    {
    case EvalType::BB:
        _computeSuccessFunction = defaultComputeSuccessType;
        break;
    case EvalType::SGTE:
        _computeSuccessFunction = computeSuccessTypeSgte;
        break;
    case EvalType::UNDEFINED:
        break;
    }
}

SuccessType ComputeSuccessType::defaultComputeSuccessType(const EvalPointPtr& evalPoint1,
                                                          const EvalPointPtr& evalPoint2,
                                                          const Double& hMax)
{
    if (!evalPoint1)
    {
        return SuccessType::NOT_EVALUATED;
    }
    if (!evalPoint2)
    {
        return (evalPoint1->getH(EvalType::BB) <= hMax) ? SuccessType::FULL_SUCCESS
                                                        : SuccessType::FAILURE;
    }
    return Eval::defaultComputeSuccessType(evalPoint1->getEval(EvalType::BB),
                                           evalPoint2->getEval(EvalType::BB), hMax);
}

SuccessType ComputeSuccessType::computeSuccessTypeSgte(const EvalPointPtr& evalPoint1,
                                                       const EvalPointPtr& evalPoint2,
                                                       const Double& hMax)
{
    if (!evalPoint1)
    {
        return SuccessType::NOT_EVALUATED;
    }
    if (evalPoint1->getH(EvalType::SGTE) > hMax)
    {
        return SuccessType::FAILURE;
    }
    if (!evalPoint2)
    {
        return SuccessType::FULL_SUCCESS;
    }
    return Eval::defaultComputeSuccessType(evalPoint1->getEval(EvalType::SGTE),
                                           evalPoint2->getEval(EvalType::SGTE), hMax);
}

SuccessType ComputeSuccessType::computeSuccessTypePhaseOne(const EvalPointPtr& evalPoint1,
                                                           const EvalPointPtr& evalPoint2,
                                                           const Double& hMax)
{
    if (!evalPoint1)
    {
        return SuccessType::NOT_EVALUATED;
    }
    if (!evalPoint2)
    {
        return SuccessType::FULL_SUCCESS;
    }
    return Eval::computeSuccessTypePhaseOne(evalPoint1->getEval(EvalType::BB),
                                            evalPoint2->getEval(EvalType::BB), hMax);
}

} // namespace QARNO_4_0_0
