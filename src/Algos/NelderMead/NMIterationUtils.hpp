#ifndef QARNO_ALGOS_NELDERMEAD_NMITERATIONUTILS_HPP
#define QARNO_ALGOS_NELDERMEAD_NMITERATIONUTILS_HPP

#include <vector>

#include "Algos/IterationUtils.hpp"
#include "Algos/NelderMead/NMSimplex.hpp"
#include "Algos/NelderMead/NMStepType.hpp"
#include "Math/Double.hpp"

namespace QARNO_4_0_0
{

class Step;

/// The part of every Nelder-Mead step that works on the simplex Y: the
/// shared simplex of the iteration, the kind of step in progress, the rank
/// tolerance and the characteristics of Y (diameter, volume, normalised
/// volume), with the debug display of Y and the map from a failing step kind
/// to the Nelder-Mead stop reason.
///
/// Owners derive `Step` first and this class second, and pass themselves:
///
///     class NMShrink : public Step, public NMIterationUtils
///     {
///         explicit NMShrink(const Step* parent)
///           : Step(parent), NMIterationUtils(this) { ... }
///     };
///
/// so that the Step part exists when the simplex of the nearest
/// `NMSimplexOwner` above (the Nelder-Mead iteration) is looked up; without
/// such an ancestor `_simplexY` stays empty.
///
/// The characteristics only serve the debug display, so
/// `updateYCharacteristics` computes them only when that display is shown;
/// `computeYCharacteristics` computes them always.
class NMIterationUtils : public IterationUtils
{
public:
    explicit NMIterationUtils(const Step* parentStep);
    ~NMIterationUtils() override;

    /// Rank of DZ, the matrix of the rows yk - y0 in Y's order, with
    /// `_rankTolerance`; -1 when the decomposition fails.
    int getRankDZ() const;
    /// Whether `getRankDZ` equals the number of rows of DZ, decided from a
    /// Gram-Schmidt basis of the edges (`NMEdgeBasis`) where that is sure,
    /// from the decomposition otherwise and whenever its debug line is shown.
    bool isDZFullRank() const;
    /// `_yDiameter` := the largest Euclidean distance between two points of Y.
    void updateYDiameter();
    /// Throws when Y does not hold n + 1 points (n: size of y0); then, only
    /// when the debug level is shown, `computeYCharacteristics`.
    void updateYCharacteristics();
    /// The diameter, the volume |det| / n! and the normalised volume
    /// volume / diameter^n (both -1 when they cannot be computed); throws
    /// when Y does not hold n + 1 points (after the diameter).
    void computeYCharacteristics();
    /// Debug display of Y (nothing at all when the debug level is hidden).
    void displayYInfo() const;
    /// Sets the Nelder-Mead stop reason of `_stepType`: REFLECT_FAILED,
    /// EXPANSION_FAILED, OUTSIDE_CONTRACTION_FAILED, INSIDE_CONTRACTION_FAILED,
    /// SHRINK_FAILED, INSERTION_FAILED, or UNKNOWN_STEP for any other kind.
    void setStopReason() const;

    double getYDiameter() const { return _yDiameter; }
    double getYVolume() const { return _yVolume; }
    double getYNormalizedVolume() const { return _yNormalizedVolume; }
    const Double& getRankTolerance() const { return _rankTolerance; }
    NMStepType getStepType() const { return _stepType; }
    const NMSimplexPtr& getSimplexY() const { return _simplexY; }

protected:
    double _yDiameter;
    double _yVolume;
    double _yNormalizedVolume;
    Double _rankTolerance;
    NMStepType _stepType;
    NMSimplexPtr _simplexY;

    /// Throws "The iteration utils must have a simplex to work with" when
    /// there is no simplex.
    void verifySimplexNotNull() const;

    /// `evalTrialPoints`, after which `known` receives, with the evaluation
    /// on record, every trial point that the queue passed over because it
    /// was evaluated before (found in the cache, or in the barrier when the
    /// cache is not used). The cache saves an evaluation, not a step: a
    /// Nelder-Mead move must judge such a point as if it had just been
    /// evaluated, or the walk turns away from good points it has met before.
    /// A point on record without an evaluation of the current type is not
    /// among them.
    bool evalTrialPointsAndFindKnown(Step* step, std::vector<EvalPoint>& known);
};

} // namespace QARNO_4_0_0

#endif
