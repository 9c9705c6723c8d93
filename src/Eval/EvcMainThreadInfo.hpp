#ifndef QARNO_EVAL_EVCMAINTHREADINFO_HPP
#define QARNO_EVAL_EVCMAINTHREADINFO_HPP

#include <atomic>
#include <cstddef>
#include <limits>
#include <memory>
#include <vector>

#include "Eval/ComputeSuccessType.hpp"
#include "Eval/EvalPoint.hpp"
#include "Math/Direction.hpp"
#include "Math/Point.hpp"
#include "Type/EvalType.hpp"
#include "Util/StopReason.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

class Barrier;
class EvalParameters;
class Evaluator;
class EvaluatorControlParameters;

/// What the evaluation queue keeps for one main thread: the evaluator of its
/// points, its own copy of the evaluator-control parameters, its queued and
/// running counts, its barrier and best incumbent, the points evaluated for
/// it and not yet retrieved, the best success of the current `run()`, its
/// lap, sub-problem and surrogate counts, its success rule, the direction
/// of its last success and its evaluation stop reason.
///
/// The records live in `EvaluatorControl`, one per registered main thread.
/// The parameter copy belongs to this record alone: changing it (for a
/// while, as the evaluation of starting points does with opportunism)
/// leaves the run's parameter set as it is. Its three values are read on
/// every queued and evaluated point, so they are kept here, read from the
/// copy at construction and by the setters, which are the only way to
/// change the copy.
class EvcMainThreadInfo
{
public:
    /// Takes the copy over; it must be checked.
    EvcMainThreadInfo(std::shared_ptr<Evaluator> evaluator,
                      std::unique_ptr<EvaluatorControlParameters> evalContParams);
    ~EvcMainThreadInfo();
    EvcMainThreadInfo(const EvcMainThreadInfo&) = delete;
    EvcMainThreadInfo& operator=(const EvcMainThreadInfo&) = delete;

    /// Installs the default success rule of the evaluator's type.
    void init();

    // ---------------------------------------------------------------------
    // Evaluator
    // ---------------------------------------------------------------------

    const std::shared_ptr<Evaluator>& getEvaluator() const { return _evaluator; }
    /// Returns the previous evaluator; a new (non-empty) one brings the
    /// default success rule of its type.
    std::shared_ptr<Evaluator> setEvaluator(std::shared_ptr<Evaluator> evaluator);
    /// UNDEFINED without an evaluator.
    EvalType getEvalType() const;
    /// Empty without an evaluator.
    std::shared_ptr<EvalParameters> getEvalParams() const;

    // ---------------------------------------------------------------------
    // The parameter copy
    // ---------------------------------------------------------------------

    bool getOpportunisticEval() const { return _opportunisticEval; }
    void setOpportunisticEval(bool opportunisticEval);
    bool getUseCache() const { return _useCache; }
    void setUseCache(bool useCache);
    size_t getMaxBbEvalInSubproblem() const { return _maxBbEvalInSubproblem; }
    void setMaxBbEvalInSubproblem(size_t maxBbEvalInSubproblem);

    // ---------------------------------------------------------------------
    // Counts
    // ---------------------------------------------------------------------

    size_t getNbPointsInQueue() const { return _nbPointsInQueue.load(); }
    void incNbPointsInQueue() { _nbPointsInQueue.fetch_add(1); }
    /// Throws at 0.
    void decNbPointsInQueue();
    void setNbPointsInQueue(size_t nbPointsInQueue) { _nbPointsInQueue.store(nbPointsInQueue); }

    size_t getCurrentlyRunning() const { return _currentlyRunning.load(); }
    void incCurrentlyRunning() { _currentlyRunning.fetch_add(1); }
    /// Throws at 0.
    void decCurrentlyRunning();

    size_t getLapMaxBbEval() const { return _lapMaxBbEval; }
    void setLapMaxBbEval(size_t lapMaxBbEval) { _lapMaxBbEval = lapMaxBbEval; }
    size_t getLapBbEval() const { return _lapBbEval.load(); }
    void incLapBbEval() { _lapBbEval.fetch_add(1); }
    /// Count 0; a lap budget stop reason goes back to STARTED.
    void resetLapBbEval();

    size_t getSgteEval() const { return _sgteEval.load(); }
    void incSgteEval() { _sgteEval.fetch_add(1); }
    /// Count 0; a surrogate budget stop reason goes back to STARTED.
    void resetSgteEval();

    size_t getBbEvalInSubproblem() const { return _bbEvalInSubproblem.load(); }
    void incBbEvalInSubproblem() { _bbEvalInSubproblem.fetch_add(1); }
    /// Count 0; a sub-problem budget stop reason goes back to STARTED.
    void resetBbEvalInSubproblem();

    bool getDoneWithEval() const { return _doneWithEval; }
    void setDoneWithEval(bool doneWithEval) { _doneWithEval = doneWithEval; }

    // ---------------------------------------------------------------------
    // Evaluated points
    // ---------------------------------------------------------------------

    void addEvaluatedPoint(const EvalPoint& evalPoint) { _evaluatedPoints.push_back(evalPoint); }
    /// Hands every evaluated point out once, in evaluation order.
    std::vector<EvalPoint> retrieveAllEvaluatedPoints();
    bool remainsEvaluatedPoints() const { return !_evaluatedPoints.empty(); }
    void clearEvaluatedPoints() { _evaluatedPoints.clear(); }

    // ---------------------------------------------------------------------
    // References
    // ---------------------------------------------------------------------

    /// The barrier of the step whose points are evaluated: the step's own
    /// object, not a copy, so that every point is judged against the
    /// step's current reference points and hMax.
    const std::shared_ptr<Barrier>& getBarrier() const { return _barrier; }
    /// The fixed variable that completes the barrier's points to the full
    /// space (no coordinate defined: they are full already).
    const Point& getBarrierFixedVariable() const { return _barrierFixedVariable; }
    void setBarrier(const std::shared_ptr<Barrier>& barrier, const Point& fixedVariable = Point())
    {
        _barrier = barrier;
        _barrierFixedVariable = fixedVariable;
    }

    const std::shared_ptr<EvalPoint>& getBestIncumbent() const { return _bestIncumbent; }
    /// Replaces the best incumbent when the thread's rule ranks the point a
    /// partial or full success against it (always when there is none).
    void setBestIncumbent(const std::shared_ptr<EvalPoint>& bestIncumbent);

    const ComputeSuccessType& getComputeSuccessType() const { return _computeSuccessType; }
    void setComputeSuccessTypeFunction(const ComputeSuccessType::Function& computeSuccessFunction)
    {
        _computeSuccessType.setComputeSuccessTypeFunction(computeSuccessFunction);
    }

    const std::shared_ptr<Direction>& getLastSuccessfulDir() const { return _lastSuccessfulDir; }
    void setLastSuccessfulDir(const std::shared_ptr<Direction>& dir) { _lastSuccessfulDir = dir; }

    // ---------------------------------------------------------------------
    // Success and stop reason
    // ---------------------------------------------------------------------

    const SuccessType& getSuccessType() const { return _successType; }
    void setSuccessType(const SuccessType& successType) { _successType = successType; }

    const StopReason<EvalMainThreadStopType>& getStopReason() const { return _stopReason; }
    /// Throws "Stop reason not found." for a value without a text.
    void setStopReason(const EvalMainThreadStopType& stopReason) { _stopReason.set(stopReason); }

private:
    /// Reads the three values of the copy, which must be checked.
    void readParameters();

    std::shared_ptr<Evaluator> _evaluator;
    std::unique_ptr<EvaluatorControlParameters> _evalContParams;
    std::atomic<size_t> _nbPointsInQueue;
    bool _doneWithEval;
    std::shared_ptr<Barrier> _barrier;
    Point _barrierFixedVariable;
    std::shared_ptr<EvalPoint> _bestIncumbent;
    std::vector<EvalPoint> _evaluatedPoints;
    SuccessType _successType;
    std::atomic<size_t> _currentlyRunning;
    size_t _lapMaxBbEval;
    std::atomic<size_t> _lapBbEval;
    std::atomic<size_t> _sgteEval;
    std::atomic<size_t> _bbEvalInSubproblem;
    ComputeSuccessType _computeSuccessType;
    std::shared_ptr<Direction> _lastSuccessfulDir;
    StopReason<EvalMainThreadStopType> _stopReason;

    // The parameter copy's values (see the class comment).
    bool _opportunisticEval;
    bool _useCache;
    size_t _maxBbEvalInSubproblem;
};

} // namespace QARNO_4_0_0

#endif
