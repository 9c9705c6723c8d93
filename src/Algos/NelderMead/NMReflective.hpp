#ifndef QARNO_ALGOS_NELDERMEAD_NMREFLECTIVE_HPP
#define QARNO_ALGOS_NELDERMEAD_NMREFLECTIVE_HPP

#include <cstddef>
#include <memory>

#include "Algos/NelderMead/NMSettings.hpp"
#include "Algos/NelderMead/NMSimplexInsertion.hpp"
#include "Algos/NelderMead/NMStepType.hpp"
#include "Algos/Step.hpp"
#include "Eval/EvalPoint.hpp"
#include "Math/ArrayOfDouble.hpp"
#include "Math/Double.hpp"

namespace QARNO_4_0_0
{

/// The reflective moves of Nelder-Mead on the simplex Y of the iteration
/// above: reflection, expansion, outside and inside contraction. A move
/// puts one trial point on the line through the worst point yn and the
/// centroid yc of the other points, xt = yc + delta (yc - yn), has it
/// evaluated, and decides what comes next: another move, the update of Y
/// (`NMStepType::CONTINUE`), a shrink (`NMStepType::SHRINK`) or a stop (the
/// Nelder-Mead stop reason of the move).
///
/// One object serves every move of one iteration run:
///
///     NMReflective step(&iteration);
///     step.setCurrentNMStepType(NMStepType::REFLECT);
///     step.start(); step.run(); step.end();
///     NMStepType next = step.getNextNMStepType();
///
/// The single-pass variant only starts and ends the step for each move, to
/// collect the four points unevaluated.
class NMReflective : public Step, public NMSimplexInsertion
{
public:
    /// Named `getAlgoName()` + "Step"; takes NM_DELTA_E, NM_DELTA_OC and
    /// NM_DELTA_IC from the settings of its algorithm (`NMSettings::of`) and
    /// checks them, and takes the rank tolerance of the mode (1e-13 alone,
    /// NM_SEARCH_RANK_EPS as a MADS search).
    explicit NMReflective(const Step* parentStep);
    ~NMReflective() override;

    /// Selects the move and its coefficient (1, NM_DELTA_E, NM_DELTA_OC,
    /// NM_DELTA_IC) and names the step after it; any other kind is refused
    /// (after being stored as the current one).
    void setCurrentNMStepType(NMStepType stepType);

    /// The move chosen by the last decision; UNSET before the first.
    NMStepType getNextNMStepType() const { return _nextStepType; }

    const Double& getDelta() const { return _delta; }
    /// The last evaluated point of each move (no coordinate until then).
    const EvalPoint& getXr() const { return _xr; }
    const EvalPoint& getXe() const { return _xe; }
    const EvalPoint& getXoc() const { return _xoc; }
    const EvalPoint& getXic() const { return _xic; }

    /// Rebuilds Y0 and Yn and applies the decision of the current move;
    /// the current kind is UNSET afterwards.
    void setNextNMStepType();

protected:
    void init();

    /// The trial point of the current move, placed on the mesh of the
    /// iteration when it has one, with the frame centre as origin.
    void startImp() override;
    /// Evaluates the trial point and decides; true on a partial or full
    /// success of the evaluation. A point evaluated before is not evaluated
    /// again but judged with its evaluation on record.
    bool runImp() override;
    void endImp() override {}

    /// xt = yc + delta (yc - yn), snapped into the bounds (and projected on
    /// the mesh); none when Y is incomplete, the point cannot be placed or
    /// it falls on yn.
    void generateTrialPoints() override;

    void setAfterReflect();
    void setAfterExpand();
    void setAfterOutsideContract();
    void setAfterInsideContract();

    NMStepType _nextStepType;
    Double _delta;
    Double _deltaE;
    Double _deltaOC;
    Double _deltaIC;
    EvalPoint _xr;
    EvalPoint _xe;
    EvalPoint _xoc;
    EvalPoint _xic;

private:
    /// A debug message with the step's name, built only when shown.
    template <typename BUILD> void debugMessage(BUILD&& build) const;
    /// The current move has no point to judge: none was made, or the one
    /// made was passed over by the queue without a usable evaluation on
    /// record (a failed one).
    bool noPointForMove() const;
    /// True, after the debug message and the stop of the walk, when `point`
    /// was not made.
    bool stopWhenUndefined(const EvalPoint& point, const char* message);
    /// Inserts the better of x1 and x2 into Y: the iteration is complete, or
    /// Y is no longer proper and the next step is the shrink.
    void insertBestOrShrink(const EvalPoint& x1, const EvalPoint& x2, const char* insertedMessage,
                            const char* shrinkMessage);

    /// The point of the current move was evaluated before and taken with
    /// the evaluation on record.
    bool _knownPointUsed;
    // Read once by the algorithm: its iterations and moves share them.
    size_t _n;
    std::shared_ptr<const NMSettings> _settings;
};

} // namespace QARNO_4_0_0

#endif
