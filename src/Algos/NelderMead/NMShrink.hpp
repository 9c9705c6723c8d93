#ifndef QARNO_ALGOS_NELDERMEAD_NMSHRINK_HPP
#define QARNO_ALGOS_NELDERMEAD_NMSHRINK_HPP

#include <vector>

#include "Algos/NelderMead/NMIterationUtils.hpp"
#include "Algos/Step.hpp"
#include "Math/Double.hpp"

namespace QARNO_4_0_0
{

/// The shrink of the Nelder-Mead simplex: every point yk of Y moves towards
/// the best point y0, xk = y0 + gamma (yk - y0), and the moved points are
/// evaluated (a point evaluated before keeps its evaluation on record). Y
/// then becomes the shrunk simplex, y0 and the moved points, and the next
/// run of the iteration goes on from it.
///
/// Only Nelder-Mead alone shrinks; inside MADS the mesh takes that role. A
/// shrink that cannot move a point (gamma so close to 1 that xk = yk), that
/// neither evaluates nor finds a moved point, whose moved points do not all
/// have a usable evaluation, or whose shrunk simplex is flat at the rank
/// tolerance sets the stop reason SHRINK_FAILED.
///
///     NMShrink shrink(&nmIteration);
///     shrink.start(); shrink.run(); shrink.end();
class NMShrink : public Step, public NMIterationUtils
{
public:
    /// Named `getAlgoName()` + "Shrink"; throws "Gamma value not compatible
    /// with shrink" unless epsilon < NM_GAMMA <= 1 + epsilon.
    explicit NMShrink(const Step* parentStep);
    ~NMShrink() override;

    /// The shrink points of Y, y0's own first; on a point that does not move
    /// the set is emptied and the stop reason set.
    void generateTrialPoints() override;

protected:
    /// The update step, then the trial points.
    void startImp() override;
    /// Evaluates the points and shrinks Y; true on a partial or full success.
    bool runImp() override;
    /// The evaluated points into the mega-iteration's barrier.
    void endImp() override;

private:
    void init();
    /// Y := y0 and the moved points, each evaluated now (the trial points)
    /// or before (`known`); SHRINK_FAILED, Y unchanged, when one has no
    /// usable evaluation.
    void replaceYByShrunkSimplex(const std::vector<EvalPoint>& known);

    Double _gamma;
};

} // namespace QARNO_4_0_0

#endif
