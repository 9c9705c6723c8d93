#include "Algos/CacheInterface.hpp"

#include <utility>

#include "Algos/Step.hpp"
#include "Algos/SubproblemManager.hpp"
#include "Cache/CacheBase.hpp"
#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

namespace
{

/// In place: every full-space point loses the coordinates that are fixed in
/// `fixedVariable`, whatever their values. An unrestricted search selects
/// points with other fixed values too, which the checked conversion refuses.
void projectPointListToSub(std::vector<EvalPoint>& evalPointList, const Point& fixedVariable)
{
    for (auto& evalPoint : evalPointList)
    {
        if (evalPoint.size() == fixedVariable.size())
        {
            EvalPoint sub(evalPoint.projectPointToSubspace(fixedVariable));
            sub.copyMembers(evalPoint);
            evalPoint = std::move(sub);
        }
    }
}
} // namespace

CacheInterface::CacheInterface(const Step* step) : _step(step), _fixedVariable()
{
    init();
}

void CacheInterface::init()
{
    // The registry would dereference the step to find its algorithm.
    if (nullptr == _step)
    {
        QARNO_THROW(Exception, "Step for CacheInterface should not be NULL");
    }
    _fixedVariable = SubproblemManager::getSubFixedVariable(_step);
}

size_t CacheInterface::find(const Point& x, EvalPoint& evalPoint, EvalType evalType)
{
    const Point xFull = x.makeFullSpacePointFromFixed(_fixedVariable);
    const size_t found = CacheBase::getInstance()->find(xFull, evalPoint, evalType);
    if (found > 0)
    {
        evalPoint = evalPoint.makeSubSpacePointFromFixed(_fixedVariable);
    }
    return found;
}

size_t CacheInterface::find(const std::function<bool(const EvalPoint&)>& crit,
                            std::vector<EvalPoint>& evalPointList,
                            bool findWithSameFixedVariable) const
{
    const auto& cache = CacheBase::getInstance();
    if (findWithSameFixedVariable)
    {
        const Point& fixedVariable = _fixedVariable;
        // The cache tests the first predicate first, so the criterion only
        // ever sees points that can be reduced to the sub-space.
        const auto hasFixed = [&fixedVariable](const EvalPoint& p)
        { return p.hasFixed(fixedVariable); };
        const auto critOnSub = [&fixedVariable, &crit](const EvalPoint& p)
        { return crit(p.makeSubSpacePointFromFixed(fixedVariable)); };
        cache->find(hasFixed, critOnSub, evalPointList);
    }
    else
    {
        cache->find(crit, evalPointList);
        projectPointListToSub(evalPointList, _fixedVariable);
        return evalPointList.size();
    }
    convertPointListToSub(evalPointList, _fixedVariable);
    return evalPointList.size();
}

size_t CacheInterface::findBestFeas(std::vector<EvalPoint>& evalPointList, EvalType evalType,
                                    const Eval* refeval) const
{
    CacheBase::getInstance()->findBestFeas(evalPointList, _fixedVariable, evalType, refeval);
    convertPointListToSub(evalPointList, _fixedVariable);
    return evalPointList.size();
}

size_t CacheInterface::findBestInf(std::vector<EvalPoint>& evalPointList, const Double& hMax,
                                   EvalType evalType, const Eval* refeval) const
{
    CacheBase::getInstance()->findBestInf(evalPointList, hMax, _fixedVariable, evalType, refeval);
    convertPointListToSub(evalPointList, _fixedVariable);
    return evalPointList.size();
}

size_t CacheInterface::getAllPoints(std::vector<EvalPoint>& evalPointList) const
{
    const Point& fixedVariable = _fixedVariable;
    CacheBase::getInstance()->find(
        [&fixedVariable](const EvalPoint& p) { return p.hasFixed(fixedVariable); }, evalPointList);
    convertPointListToSub(evalPointList, _fixedVariable);
    return evalPointList.size();
}

bool CacheInterface::smartInsert(const EvalPoint& evalPoint, short maxNumberEval, EvalType evalType)
{
    const EvalPoint full = evalPoint.makeFullSpacePointFromFixed(_fixedVariable);
    return CacheBase::getInstance()->smartInsert(full, maxNumberEval, evalType);
}

} // namespace QARNO_4_0_0
