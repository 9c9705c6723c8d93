#ifndef QARNO_ALGOS_EVCINTERFACE_HPP
#define QARNO_ALGOS_EVCINTERFACE_HPP

#include <memory>
#include <set>
#include <vector>

#include "Eval/EvalPoint.hpp"
#include "Math/Double.hpp"
#include "Math/Point.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

class Barrier;
class EvaluatorControl;
class Step;

/// The only road from a step to the evaluation queue. The step works in the
/// sub-space of its sub-problem, the queue and the cache in the full space:
/// trial points are completed with the fixed variable on the way in,
/// evaluated points reduced on the way out. The queue judges success against
/// the step's own barrier (one barrier state, never a copy), which it reads
/// in the full space through the same fixed variable. Built on the step for
/// one evaluation:
///
///     EvcInterface evc(step);
///     evc.keepPointsThatNeedEval(trialPoints, true);
///     evc.setBarrier(step->getMegaIterationBarrier());
///     evc.startEvaluation();
///     auto evaluated = evc.retrieveAllEvaluatedPoints();
class EvcInterface
{
public:
    /// Throws when `step` is null, when no evaluation queue is installed, or
    /// when the step's algorithm has no sub-problem.
    explicit EvcInterface(const Step* step);

    /// The queue of the process; empty until the main step installs one.
    static const std::shared_ptr<EvaluatorControl>& getEvaluatorControl()
    {
        return _evaluatorControl;
    }
    static void setEvaluatorControl(const std::shared_ptr<EvaluatorControl>& evaluatorControl);

    /// Queued points are placed on their grids within their bounds by a
    /// placement kept from step to step while the problem's parameters are
    /// the same set, unchanged. A run starts without one.
    static void forgetPointPlacement();
    static bool keepsPointPlacement();

    const Point& getFixedVariable() const { return _fixedVariable; }

    /// Queues, in full-space form, the trial points that need an evaluation;
    /// with `withIteration`, tagged with the mesh and k of their iteration.
    void keepPointsThatNeedEval(const std::set<EvalPoint, EvalPointCompare>& trialPoints,
                                bool withIteration);
    /// The same, taking the points out of the set one by one (it ends
    /// empty), so that they are never held twice.
    void keepPointsThatNeedEval(std::set<EvalPoint, EvalPointCompare>&& trialPoints,
                                bool withIteration);
    /// Gives the queue the step's barrier itself (with the fixed variable
    /// that completes its points): success is judged against the barrier
    /// the step updates, so the two never disagree. A null barrier leaves
    /// the queue's barrier in place.
    void setBarrier(const std::shared_ptr<Barrier>& subBarrier);
    SuccessType startEvaluation();
    /// The points evaluated for the calling main thread, in sub-space.
    std::vector<EvalPoint> retrieveAllEvaluatedPoints();
    /// Looks the sub-space point up among the points of the queue's barrier.
    bool findInBarrier(const Point& x, EvalPoint& evalPoint) const;
    /// Evaluates one sub-space point at once, outside the queue.
    bool evalSinglePoint(EvalPoint& evalPoint, const Double& hMax = INF);

private:
    void init();
    void verifyStepNotNull() const;
    static void verifyEvaluatorControlNotNull();

    static std::shared_ptr<EvaluatorControl> _evaluatorControl;

    const Step* _step;
    Point _fixedVariable;
};

} // namespace QARNO_4_0_0

#endif
