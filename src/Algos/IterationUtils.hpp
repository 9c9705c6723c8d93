#ifndef QARNO_ALGOS_ITERATIONUTILS_HPP
#define QARNO_ALGOS_ITERATIONUTILS_HPP

#include <cstddef>
#include <set>
#include <string>

#include "Eval/EvalPoint.hpp"
#include "Math/ArrayOfDouble.hpp"
#include "Math/Point.hpp"
#include "Type/EvalType.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

class Iteration;
class MeshBase;
class MegaIteration;
class Step;

/// The trial points of a point-producing step, held beside its `Step` base.
/// Candidates are brought into the bounds and onto the mesh of the step's
/// iteration before insertion, evaluated through the evaluator-control view,
/// and then merged into the barrier of the step's mega-iteration.
///
///     if (snapPointToBoundsAndProjectOnMesh(x, lb, ub)) insertTrialPoint(EvalPoint(x));
///     updatePointsWithFrameCenter();
///     verifyPointsAreOnMesh(getName());
///     evalTrialPoints(this);
///     postProcessing(evalType);
class IterationUtils
{
public:
    /// Finds the iteration and mega-iteration above parentStep (never null);
    /// throws a `StepException` when there is neither and the step is not an
    /// algorithm.
    explicit IterationUtils(const Step* parentStep);
    /// Empties the trial points; never throws.
    virtual ~IterationUtils();

    IterationUtils(const IterationUtils&) = delete;
    IterationUtils& operator=(const IterationUtils&) = delete;

    /// Lowers hMax of the mega-iteration's barrier after an evaluation and
    /// merges the trial points into it; true when either changed it.
    virtual bool postProcessing(const EvalType& evalType);

    /// True when the point was new (coordinates) and is now held.
    bool insertTrialPoint(const EvalPoint& point);
    bool insertTrialPoint(EvalPoint&& point);
    /// Every trial point's origin := one shared full-space frame centre.
    void updatePointsWithFrameCenter();
    /// Brings x into the bounds and, when the iteration has a mesh, onto it.
    /// On failure x is restored and false returned.
    bool snapPointToBoundsAndProjectOnMesh(Point& x, const ArrayOfDouble& lowerBound,
                                           const ArrayOfDouble& upperBound);
    /// The same with the iteration's mesh and frame centre (either may be
    /// null) asked once by a caller that snaps many points.
    bool snapPointToBoundsAndProjectOnMesh(Point& x, const ArrayOfDouble& lowerBound,
                                           const ArrayOfDouble& upperBound, const MeshBase* mesh,
                                           const Point* frameCenter);
    /// Throws a `StepException` on a missing frame centre or mesh, or on the
    /// first trial point off the mesh.
    void verifyPointsAreOnMesh(const std::string& generatorName) const;

    /// Queues the trial points that need an evaluation and runs the queue;
    /// afterwards the trial points are the evaluated ones. True on a partial
    /// or full success.
    bool evalTrialPoints(Step* step);

    const std::set<EvalPoint, EvalPointCompare>& getTrialPoints() const { return _trialPoints; }
    size_t getTrialPointsCount() const { return _trialPoints.size(); }
    size_t getNbEvalPointsThatNeedEval() const { return _nbEvalPointsThatNeedEval; }
    SuccessType getSuccessType() const { return _success; }
    void setSuccessType(SuccessType success) { _success = success; }
    Iteration* getIterationAncestor() const
    {
        init();
        return _iterAncestor;
    }
    MegaIteration* getMegaIterationAncestor() const
    {
        init();
        return _megaIterAncestor;
    }
    bool isFromAlgo() const
    {
        init();
        return _fromAlgo;
    }

protected:
    virtual void generateTrialPoints() = 0;

    std::set<EvalPoint, EvalPointCompare> _trialPoints;
    size_t _nbEvalPointsThatNeedEval;
    const Step* _parentStep;
    SuccessType _success;
    // Found on first use, not in the constructor: the owning step usually
    // passes itself, and the type of an object still being built cannot be
    // asked (nor can a Step part not yet built, when this base comes first).
    mutable Iteration* _iterAncestor;
    mutable MegaIteration* _megaIterAncestor;
    mutable bool _fromAlgo;
    mutable bool _ancestorsFound;

    /// Finds the iteration and mega-iteration above the owning step, once;
    /// throws when there is neither and the owner is no algorithm.
    void init() const;
};

} // namespace QARNO_4_0_0

#endif
