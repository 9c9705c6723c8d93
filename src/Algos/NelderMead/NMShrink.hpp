#ifndef QARNO_ALGOS_NELDERMEAD_NMSHRINK_HPP
#define QARNO_ALGOS_NELDERMEAD_NMSHRINK_HPP

#include "Algos/NelderMead/NMIterationUtils.hpp"
#include "Algos/Step.hpp"
#include "Math/Double.hpp"

namespace QARNO_4_0_0
{

/// The shrink of the Nelder-Mead simplex: every point yk of Y moves towards
/// the best point y0, xk = y0 + gamma (yk - y0), and the moved points are
/// evaluated. Y itself is not changed: the evaluated points reach the cache
/// and the barrier, and the next iteration builds its simplex from them.
///
/// Only Nelder-Mead alone shrinks; inside MADS the mesh takes that role. A
/// shrink that cannot move a point (gamma so close to 1 that xk = yk) or
/// that has nothing to evaluate sets the stop reason SHRINK_FAILED.
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
    /// Evaluates the points; true on a partial or full success.
    bool runImp() override;
    /// The evaluated points into the mega-iteration's barrier.
    void endImp() override;

private:
    void init();

    Double _gamma;
};

} // namespace QARNO_4_0_0

#endif
