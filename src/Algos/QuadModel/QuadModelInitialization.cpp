#include "Algos/QuadModel/QuadModelInitialization.hpp"

#include <string>

#include "Algos/CacheInterface.hpp"
#include "Algos/EvcInterface.hpp"
#include "Algos/Mads/QuadSearchMethod.hpp"
#include "Algos/StartingPoints.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/ArrayOfPoint.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/PbParameters.hpp"
#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

QuadModelInitialization::QuadModelInitialization(const Step* parentStep)
    : Initialization(parentStep), IterationUtils(parentStep), _qmStopReason()
{
    init();
}

QuadModelInitialization::~QuadModelInitialization() = default;

void QuadModelInitialization::init()
{
    setName(getAlgoName() + "Initialization");
    _qmStopReason = AlgoStopReasons<ModelStopType>::get(_stopReasons);
}

bool QuadModelInitialization::underQuadSearch() const
{
    for (const Step* s = getParentStep(); nullptr != s; s = s->getParentStep())
    {
        if (nullptr != dynamic_cast<const QuadSearchMethod*>(s))
        {
            return true;
        }
    }
    return false;
}

void QuadModelInitialization::startImp()
{
    if (!_stopReasons->checkTerminate() && !underQuadSearch())
    {
        generateTrialPoints();
    }
}

void QuadModelInitialization::generateTrialPoints()
{
    const ArrayOfPoint x0s = _pbParams->getAttributeValue<ArrayOfPoint>("X0");
    const size_t n = _pbParams->getAttributeValue<size_t>("DIMENSION");

    std::string msg;
    bool available = false;
    for (const Point& x0 : x0s)
    {
        if (isValidStartingPoint(x0, n))
        {
            // A point listed twice is inserted once and stays available.
            insertTrialPoint(EvalPoint(x0));
            available = true;
        }
        else
        {
            msg += "Initialization: eval_x0s: Invalid X0 " + x0.display(ArrayOfDouble()) + ".";
        }
    }

    if (available)
    {
        if (!msg.empty())
        {
            AddOutputWarning(msg);
        }
        return;
    }

    QARNO_THROW(Exception, noValidStartingPointMessage(msg));
}

bool QuadModelInitialization::eval_x0s()
{
    EvcInterface evcInterface(this);
    const auto& evc = EvcInterface::getEvaluatorControl();

    // Every starting point is evaluated, even after an early success.
    const bool opportunisticEval = evc->getOpportunisticEval(-1);
    evc->setOpportunisticEval(false);
    bool result = false;
    try
    {
        result = evalTrialPoints(this);
    }
    catch (...)
    {
        evc->setOpportunisticEval(opportunisticEval);
        throw;
    }
    evc->setOpportunisticEval(opportunisticEval);
    OutputQueue::getInstance()->flush();
    return result;
}

bool QuadModelInitialization::someX0EvaluatedOk() const
{
    for (const EvalPoint& point : _trialPoints)
    {
        if (point.isEvalOk(EvalType::BB))
        {
            return true;
        }
    }
    // Starting points that needed no evaluation: the cache's copies.
    CacheInterface cacheInterface(this);
    const size_t n = _pbParams->getAttributeValue<size_t>("DIMENSION");
    for (const Point& x0 : _pbParams->getAttributeValue<ArrayOfPoint>("X0"))
    {
        EvalPoint found;
        if (isValidStartingPoint(x0, n) && cacheInterface.find(x0, found, EvalType::BB) > 0 &&
            found.isEvalOk(EvalType::BB))
        {
            return true;
        }
    }
    return false;
}

bool QuadModelInitialization::runImp()
{
    bool goOn = !_stopReasons->checkTerminate();
    if (underQuadSearch())
    {
        return goOn;
    }
    if (!goOn)
    {
        return false;
    }

    eval_x0s();
    goOn = !_stopReasons->checkTerminate();

    // Only a run without any usable starting point fails: a starting point
    // already in the cache, or one that does not improve on it, is fine.
    if (!goOn || !someX0EvaluatedOk())
    {
        _qmStopReason->_algoStopReason.set(ModelStopType::X0_FAILED);
    }
    return goOn;
}

} // namespace QARNO_4_0_0
