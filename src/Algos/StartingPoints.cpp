#include "Algos/StartingPoints.hpp"

#include <set>

#include "Algos/EvcInterface.hpp"
#include "Algos/Step.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

bool isValidStartingPoint(const Point& x0, size_t n)
{
    return x0.isComplete() && x0.size() == n;
}

std::string noValidStartingPointMessage(const std::string& invalidList)
{
    const size_t cacheSize = CacheBase::getInstance()->size();
    if (0 == cacheSize)
    {
        return invalidList + ". Cache is empty.";
    }
    return invalidList + " Hint: Try not setting X0 so that the cache is used (" +
           std::to_string(cacheSize) + " points)";
}

void validateStartingPoints(const Step& step, const ArrayOfPoint& x0s, size_t n,
                            const std::string& sourceFile)
{
    std::string msg;
    bool validFound = false;
    for (const Point& x0 : x0s)
    {
        if (isValidStartingPoint(x0, n))
        {
            validFound = true;
        }
        else
        {
            msg += "Initialization: eval_x0s: Invalid X0 " + x0.display(ArrayOfDouble()) + ".";
        }
    }
    if (!validFound)
    {
        throw Exception(sourceFile, __LINE__, noValidStartingPointMessage(msg));
    }
    if (!msg.empty())
    {
        step.AddOutputWarning(msg);
    }
}

std::vector<EvalPoint> evaluateStartingPoints(const Step* step, const ArrayOfPoint& x0s, size_t n)
{
    EvcInterface evcInterface(step);
    const auto& evc = EvcInterface::getEvaluatorControl();

    evc->lockQueue();
    // An invalid starting point is not queued: the queue refuses undefined
    // coordinates, and a point of another size would reach the blackbox
    // with the wrong number of coordinates. Equal points are queued once.
    std::set<EvalPoint, EvalPointCompare> points;
    for (const Point& x0 : x0s)
    {
        if (isValidStartingPoint(x0, n))
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
    return evcInterface.retrieveAllEvaluatedPoints();
}

} // namespace QARNO_4_0_0
