#ifndef QARNO_ALGOS_NELDERMEAD_NMINITIALIZATION_HPP
#define QARNO_ALGOS_NELDERMEAD_NMINITIALIZATION_HPP

#include <memory>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/Initialization.hpp"
#include "Algos/NelderMead/NMIterationUtils.hpp"

namespace QARNO_4_0_0
{

/// The initialization of the Nelder-Mead algorithm.
///
/// Standalone (NM_OPTIMIZATION), it evaluates n + 1 starting points made
/// from the first point of X0: x0 itself and, for each coordinate i, x0 with
/// x_i enlarged by 5 % (set to 0.00025 when it is zero), and builds the
/// first barrier. A perturbed coordinate is snapped into the bounds; when
/// the bound brings it back onto x0 it is moved the other way instead, so
/// that the points stay feasible and distinct. The simplex itself is chosen
/// later, from the evaluated points (`NMInitializeSimplex`).
///
/// Starting points already in the cache are not evaluated again; when none
/// needed an evaluation, the barrier is built from the cache's best points.
/// Only when there is no usable point at all does the stop reason become
/// INITIALIZATION_FAILED (and the algorithm then builds no mega-iteration).
///
/// As a search of MADS it does nothing: NM then works on the MADS barrier.
///
///     NMInitialization init(nmAlgorithm);
///     init.start(); init.run(); init.end();
///     auto barrier = init.getBarrier();
class NMInitialization : public Initialization, public NMIterationUtils
{
public:
    /// A child of the Nelder-Mead algorithm, whose stop reasons must be
    /// `AlgoStopReasons<NMStopType>`.
    explicit NMInitialization(const Step* parentStep);
    ~NMInitialization() override;

    /// Whether the cache could give the simplex without new points; always
    /// false (the simplex step looks at the cache itself). Throws when there
    /// is no cache.
    bool checkCacheCanFormSimplex() const;

    /// The n + 1 starting points; throws for an X0 that is incomplete or of
    /// the wrong dimension.
    void generateTrialPoints() override;

protected:
    void startImp() override;
    /// Evaluates the starting points; false when the run must stop.
    bool runImp() override;
    /// Builds the barrier (standalone only).
    void endImp() override;

private:
    void init();

    std::shared_ptr<AlgoStopReasons<NMStopType>> _nmStopReasons;
    /// NM_OPTIMIZATION: standalone run rather than a MADS search.
    bool _standalone;
};

} // namespace QARNO_4_0_0

#endif
