#include "Algos/Mads/MadsInitialization.hpp"

#include <set>
#include <string>
#include <vector>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/CacheInterface.hpp"
#include "Algos/EvcInterface.hpp"
#include "Algos/Mads/GMesh.hpp"
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
const char* const SOURCE_FILE = "src/Algos/Mads/MadsInitialization";

bool isValidX0(const Point& x0, size_t n)
{
    return x0.isComplete() && x0.size() == n;
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
    const auto& x0s = _pbParams->getAttributeValue<ArrayOfPoint>("X0");
    const size_t n = _pbParams->getAttributeValue<size_t>("DIMENSION");

    std::string msg;
    bool validX0Found = false;
    for (const Point& x0 : x0s)
    {
        if (!isValidX0(x0, n))
        {
            msg += "Initialization: eval_x0s: Invalid X0 " + x0.display(ArrayOfDouble()) + ".";
        }
        else
        {
            validX0Found = true;
        }
    }

    if (validX0Found)
    {
        if (!msg.empty())
        {
            AddOutputWarning(msg);
        }
        return;
    }

    const size_t cacheSize = CacheBase::getInstance()->size();
    if (0 == cacheSize)
    {
        msg += ". Cache is empty.";
    }
    else
    {
        msg += " Hint: Try not setting X0 so that the cache is used (" +
               std::to_string(cacheSize) + " points)";
    }
    throw Exception(SOURCE_FILE, __LINE__, msg);
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

    evc->lockQueue();
    std::set<EvalPoint, EvalPointCompare> points;
    for (const Point& x0 : x0s)
    {
        // An invalid starting point (already reported) is not queued: the
        // queue refuses undefined coordinates, and a point of another size
        // would reach the blackbox with the wrong number of coordinates.
        if (isValidX0(x0, n))
        {
            points.insert(EvalPoint(x0));
        }
    }
    evcInterface.keepPointsThatNeedEval(points, false);

    // Every starting point is evaluated, even after an early success.
    const bool opportunisticEval = evc->getOpportunisticEval(-1);
    evc->setOpportunisticEval(false);
    evc->unlockQueue(false);
    try
    {
        evcInterface.startEvaluation();
    }
    catch (...)
    {
        evc->setOpportunisticEval(opportunisticEval);
        throw;
    }
    evc->setOpportunisticEval(opportunisticEval);

    const std::vector<EvalPoint> evaluated = evcInterface.retrieveAllEvaluatedPoints();
    if (_stopReasons->checkTerminate())
    {
        return false;
    }

    const EvalType cacheEvalType = evc->getUseCache(-1) ? evalType : EvalType::UNDEFINED;
    std::vector<EvalPoint> kept;
    for (const Point& x0 : x0s)
    {
        if (!isValidX0(x0, n))
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
        _barrier = std::make_shared<Barrier>(hMax0, SubproblemManager::getSubFixedVariable(this),
                                             evalType, kept);
    }

    OutputQueue::getInstance()->flush();
    return !kept.empty();
}

} // namespace QARNO_4_0_0
