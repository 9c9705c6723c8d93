#include "Algos/Mads/MadsInitialization.hpp"

#include <set>
#include <string>
#include <vector>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/CacheInterface.hpp"
#include "Algos/EvcInterface.hpp"
#include "Algos/Mads/GMesh.hpp"
#include "Algos/StartingPoints.hpp"
#include "Algos/SubproblemManager.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvalPoint.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/ArrayOfPoint.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

namespace
{

/// The first of the evaluated starting points when every one of them is
/// infeasible with h above hMax0 (they cannot enter the barrier); null
/// otherwise.
const EvalPoint* firstBeyondHMax0(const std::vector<EvalPoint>& points, EvalType evalType,
                                  const Double& hMax0)
{
    for (const EvalPoint& point : points)
    {
        const Double h = point.getH(evalType);
        if (point.isFeasible(evalType) || !h.isDefined() ||
            h.todouble() <= hMax0.todouble() + Double::getEpsilon())
        {
            return nullptr;
        }
    }
    return points.empty() ? nullptr : &points.front();
}
} // namespace

MadsInitialization::MadsInitialization(const Step* parentStep)
    : Initialization(parentStep), _initialMesh()
{
    init();
}

MadsInitialization::~MadsInitialization() = default;

bool MadsInitialization::runImp()
{
    _initialMesh = std::make_shared<GMesh>(_pbParams);
    if (_stopReasons->checkTerminate())
    {
        return false;
    }
    eval_x0s();
    return !_stopReasons->checkTerminate();
}

void MadsInitialization::validateX0s() const
{
    validateStartingPoints(*this, _pbParams->getAttributeValue<ArrayOfPoint>("X0"),
                           _pbParams->getAttributeValue<size_t>("DIMENSION"), QARNO_SOURCE_FILE);
}

bool MadsInitialization::eval_x0s()
{
    const ArrayOfPoint x0s = _pbParams->getAttributeValue<ArrayOfPoint>("X0");
    const size_t n = _pbParams->getAttributeValue<size_t>("DIMENSION");
    validateX0s();

    CacheInterface cacheInterface(this);
    EvcInterface evcInterface(this);
    const auto& evc = EvcInterface::getEvaluatorControl();
    const EvalType evalType = evc->getEvalType(-1);
    const std::vector<EvalPoint> evaluated = evaluateStartingPoints(this, x0s, n);
    if (_stopReasons->checkTerminate())
    {
        return false;
    }

    const EvalType cacheEvalType = evc->getUseCache(-1) ? evalType : EvalType::UNDEFINED;
    std::vector<EvalPoint> kept;
    for (const Point& x0 : x0s)
    {
        if (!isValidStartingPoint(x0, n))
        {
            continue;
        }
        const EvalPoint x0Point(x0);
        EvalPoint found;
        const bool isFound = findInList(x0Point, evaluated, found) ||
                             evcInterface.findInBarrier(x0Point, found) ||
                             cacheInterface.find(x0Point, found, cacheEvalType) > 0;
        if (isFound && found.isEvalOk(evalType))
        {
            kept.push_back(found);
        }
    }

    if (kept.empty())
    {
        AlgoStopReasons<MadsStopType>::get(_stopReasons)
            ->_algoStopReason.set(MadsStopType::X0_FAILED);
        const Point fixed = SubproblemManager::getSubFixedVariable(this);
        for (const Point& x0 : x0s)
        {
            const Point full = x0.size() == n ? x0.makeFullSpacePointFromFixed(fixed) : x0;
            AddOutputError("X0 evaluation failed for X0 = " + full.display(ArrayOfDouble()));
        }
    }
    else
    {
        if (OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_INFO))
        {
            for (const EvalPoint& point : kept)
            {
                AddOutputInfo("Using X0: " + (EvalType::BB == evalType
                                                  ? point.display(ArrayOfDouble())
                                                  : point.displayAll()),
                              OutputLevel::LEVEL_INFO);
            }
        }
        const Double hMax0 = _runParams->getAttributeValue<Double>("H_MAX_0");
        const Point fixed = SubproblemManager::getSubFixedVariable(this);
        try
        {
            _barrier = std::make_shared<Barrier>(hMax0, fixed, evalType, kept);
        }
        catch (const Exception&)
        {
            // No incumbent to start from. When the starting points were all
            // evaluated but lie beyond H_MAX_0, the barrier's own text would
            // not say why.
            const EvalPoint* beyond = firstBeyondHMax0(kept, evalType, hMax0);
            if (nullptr == beyond)
            {
                throw;
            }
            QARNO_THROW(
                Exception,
                "No starting point has h within H_MAX_0 = " + hMax0.tostring() + ": X0 = " +
                    Point(*beyond).makeFullSpacePointFromFixed(fixed).display(ArrayOfDouble()) +
                    " has h = " + beyond->getH(evalType).tostring() +
                    ". Give a larger H_MAX_0 or a starting point with a smaller h.");
        }
    }

    OutputQueue::getInstance()->flush();
    return !kept.empty();
}

} // namespace QARNO_4_0_0
