#include "Eval/EvcMainThreadInfo.hpp"

#include <string>
#include <utility>

#include "Eval/EvalPoint.hpp"
#include "Eval/Evaluator.hpp"
#include "Math/Double.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/EvaluatorControlParameters.hpp"
#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

namespace
{

/// Subtracts 1 unless the count is 0; false then.
bool decrementAboveZero(std::atomic<size_t>& count)
{
    size_t current = count.load();
    while (current > 0)
    {
        if (count.compare_exchange_weak(current, current - 1))
        {
            return true;
        }
    }
    return false;
}

} // namespace

EvcMainThreadInfo::EvcMainThreadInfo(std::shared_ptr<Evaluator> evaluator,
                                     std::unique_ptr<EvaluatorControlParameters> evalContParams)
    : _evaluator(std::move(evaluator)), _evalContParams(std::move(evalContParams)),
      _nbPointsInQueue(0), _doneWithEval(false), _barrier(), _barrierFixedVariable(),
      _bestIncumbent(), _evaluatedPoints(), _successType(SuccessType::FAILURE),
      _currentlyRunning(0), _lapMaxBbEval(std::numeric_limits<size_t>::max()), _lapBbEval(0),
      _sgteEval(0), _bbEvalInSubproblem(0), _computeSuccessType(), _lastSuccessfulDir(),
      _stopReason(), _opportunisticEval(true), _useCache(true),
      _maxBbEvalInSubproblem(std::numeric_limits<size_t>::max())
{
    _computeSuccessType.setComputeSuccessTypeFunction(
        ComputeSuccessType::defaultComputeSuccessType);
    _stopReason.testValidity();
    if (!_evalContParams)
    {
        QARNO_THROW(Exception, "EvcMainThreadInfo: the evaluator control parameters are NULL");
    }
    readParameters();
    init();
}

EvcMainThreadInfo::~EvcMainThreadInfo() = default;

void EvcMainThreadInfo::init()
{
    if (_evaluator)
    {
        _computeSuccessType.setDefaultComputeSuccessTypeFunction(_evaluator->getEvalType());
    }
}

void EvcMainThreadInfo::readParameters()
{
    _opportunisticEval = _evalContParams->getAttributeValue<bool>("OPPORTUNISTIC_EVAL");
    _useCache = _evalContParams->getAttributeValue<bool>("USE_CACHE");
    _maxBbEvalInSubproblem =
        _evalContParams->getAttributeValue<size_t>("MAX_BB_EVAL_IN_SUBPROBLEM");
}

std::shared_ptr<Evaluator> EvcMainThreadInfo::setEvaluator(std::shared_ptr<Evaluator> evaluator)
{
    std::shared_ptr<Evaluator> previous = std::move(_evaluator);
    _evaluator = std::move(evaluator);
    init();
    return previous;
}

EvalType EvcMainThreadInfo::getEvalType() const
{
    return _evaluator ? _evaluator->getEvalType() : EvalType::UNDEFINED;
}

std::shared_ptr<EvalParameters> EvcMainThreadInfo::getEvalParams() const
{
    return _evaluator ? _evaluator->getEvalParams() : std::shared_ptr<EvalParameters>();
}

void EvcMainThreadInfo::setOpportunisticEval(bool opportunisticEval)
{
    _evalContParams->setAttributeValue("OPPORTUNISTIC_EVAL", opportunisticEval);
    _evalContParams->checkAndComply(nullptr);
    readParameters();
}

void EvcMainThreadInfo::setUseCache(bool useCache)
{
    _evalContParams->setAttributeValue("USE_CACHE", useCache);
    _evalContParams->checkAndComply(nullptr);
    readParameters();
}

void EvcMainThreadInfo::setMaxBbEvalInSubproblem(size_t maxBbEvalInSubproblem)
{
    _evalContParams->setAttributeValue("MAX_BB_EVAL_IN_SUBPROBLEM", maxBbEvalInSubproblem);
    _evalContParams->checkAndComply(nullptr);
    readParameters();
}

void EvcMainThreadInfo::decNbPointsInQueue()
{
    if (!decrementAboveZero(_nbPointsInQueue))
    {
        QARNO_THROW(Exception,
                    "Error in EvaluatorControl main thread management: Trying to decrease "
                    "number of points in queue which is already 0");
    }
}

void EvcMainThreadInfo::decCurrentlyRunning()
{
    if (!decrementAboveZero(_currentlyRunning))
    {
        QARNO_THROW(Exception,
                    "Error in EvaluatorControl main thread management: Trying to decrease "
                    "number of currently running evaluations which is already 0");
    }
}

void EvcMainThreadInfo::resetLapBbEval()
{
    _lapBbEval.store(0);
    if (_stopReason.get() == EvalMainThreadStopType::LAP_MAX_BB_EVAL_REACHED)
    {
        _stopReason.setStarted();
    }
}

void EvcMainThreadInfo::resetSgteEval()
{
    _sgteEval.store(0);
    if (_stopReason.get() == EvalMainThreadStopType::MAX_SGTE_EVAL_REACHED)
    {
        _stopReason.setStarted();
    }
}

void EvcMainThreadInfo::resetBbEvalInSubproblem()
{
    _bbEvalInSubproblem.store(0);
    if (_stopReason.get() == EvalMainThreadStopType::SUBPROBLEM_MAX_BB_EVAL_REACHED)
    {
        _stopReason.setStarted();
    }
}

std::vector<EvalPoint> EvcMainThreadInfo::retrieveAllEvaluatedPoints()
{
    // Every evaluation of this build runs on the calling thread and ends
    // before control comes back here, so a running count above 0 cannot drop
    // while we wait: it is reported, never waited for.
    const size_t running = _currentlyRunning.load();
    if (running > 0)
    {
        OutputQueue::addIfShown(
            OutputLevel::LEVEL_INFO,
            [running]
            {
                return "Warning: Calling retrieveAllEvaluatedPoints() while still " +
                       itos(running) + " currently running";
            });
    }
    std::vector<EvalPoint> evaluatedPoints = std::move(_evaluatedPoints);
    _evaluatedPoints.clear();
    return evaluatedPoints;
}

void EvcMainThreadInfo::setBestIncumbent(const std::shared_ptr<EvalPoint>& bestIncumbent)
{
    // The success rules leave a feasible point unranked against an
    // infeasible one; as the best point of the run, the feasible one wins.
    if (nullptr != bestIncumbent && nullptr != _bestIncumbent &&
        bestIncumbent->isFeasible(EvalType::BB) && !_bestIncumbent->isFeasible(EvalType::BB))
    {
        _bestIncumbent = bestIncumbent;
        return;
    }
    const SuccessType success = _computeSuccessType(bestIncumbent, _bestIncumbent, INF);
    if (success >= SuccessType::PARTIAL_SUCCESS)
    {
        _bestIncumbent = bestIncumbent;
    }
}

} // namespace QARNO_4_0_0
