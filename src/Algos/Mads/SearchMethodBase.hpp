#ifndef QARNO_ALGOS_MADS_SEARCHMETHODBASE_HPP
#define QARNO_ALGOS_MADS_SEARCHMETHODBASE_HPP

#include "Algos/IterationUtils.hpp"
#include "Algos/Step.hpp"

namespace QARNO_4_0_0
{

class RunParameters;

/// A search method of MADS: a child step of the `Search` that proposes trial
/// points. The base brings every proposed point into the bounds and onto the
/// mesh of the iteration, drops the points that cannot be placed and records
/// the frame centre as their origin; its end merges the evaluated points
/// into the barrier. An algorithm run as a search method (Nelder-Mead, for
/// one) hands its best success to it at its end.
///
/// A method is built, started, run and ended once per iteration, and only
/// when enabled; in gathering mode only `generateTrialPoints` is called.
class SearchMethodBase : public Step, public IterationUtils
{
public:
    /// Child step of the `Search`; enabled until the subclass's init says
    /// otherwise.
    explicit SearchMethodBase(const Step* parentStep);
    ~SearchMethodBase() override;

    bool isEnabled() const { return _enabled; }
    void setEnabled(bool enabled) { _enabled = enabled; }

    /// Proposes the points (`generateTrialPointsImp`), snaps them to the
    /// bounds, projects them on the mesh, drops those that cannot be placed
    /// and records the frame centre as their origin. Evaluates nothing.
    void generateTrialPoints() override;

protected:
    /// Requires a parent.
    void init();

    /// The run parameters the subclasses read in their init; throws a
    /// `StepException` when the step has none.
    const RunParameters& requireRunParams() const;

    /// Merges the evaluated points into the mega-iteration's barrier.
    void endImp() override;

    /// Fills the trial-point set with raw points. Every concrete method
    /// gives its own (the two method families below require it); the empty
    /// body serves only steps that bypass the pipeline.
    virtual void generateTrialPointsImp() {}

    bool _enabled;
};

} // namespace QARNO_4_0_0

#endif
