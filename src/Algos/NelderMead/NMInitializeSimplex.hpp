#ifndef QARNO_ALGOS_NELDERMEAD_NMINITIALIZESIMPLEX_HPP
#define QARNO_ALGOS_NELDERMEAD_NMINITIALIZESIMPLEX_HPP

#include "Algos/NelderMead/NMIterationUtils.hpp"
#include "Algos/Step.hpp"

namespace QARNO_4_0_0
{

/// Creates the simplex Y of a Nelder-Mead iteration from points already
/// evaluated; nothing is evaluated here.
///
/// The candidates are the evaluated points of the cache (or of the barrier
/// when the cache is not used) that lie in the include rectangle around the
/// frame centre: half-widths NM_SIMPLEX_INCLUDE_LENGTH when NM runs alone,
/// NM_SIMPLEX_INCLUDE_FACTOR times the MADS frame size inside MADS. Starting
/// from the best candidate, each candidate is tried once, best first, and
/// kept only when it raises the rank of DZ = [(y1 - y0) ... (yk - y0)]: a
/// greedy choice that stops at n + 1 affinely independent points.
///
/// The cache is filtered in place (the rectangle is tested on the cached
/// point itself, only candidates are copied), and the candidates are taken
/// best first from a heap, so a creation costs one pass over the cache plus
/// a few heap pops, never a sort or copy of the whole cache. "Best first" is
/// the simplex order wherever that order ranks consistently: feasible points
/// by f, infeasible ones by h then f, ties by tag. Where the simplex order
/// only falls back on tags (a feasible against an infeasible point), which
/// can form cycles, feasible points come first.
///
///     NMInitializeSimplex create(&nmIteration);
///     create.start(); bool ok = create.run(); create.end();
class NMInitializeSimplex : public Step, public NMIterationUtils
{
public:
    /// Named `getAlgoName()` + "Initialize Simplex"; throws without a parent.
    explicit NMInitializeSimplex(const Step* parentStep);
    ~NMInitializeSimplex() override;

protected:
    void startImp() override {}
    /// True when Y is a valid simplex afterwards; an earlier simplex of the
    /// same iteration is kept as it is. Throws "The simplex is not defined."
    /// without a simplex.
    bool runImp() override;
    void endImp() override {}
    /// No trial point: the simplex is made of evaluated points.
    void generateTrialPoints() override {}

private:
    void init();
    /// Builds Y; on failure sets the stop reason INITIALIZATION_FAILED and
    /// answers false. Throws on an inconsistent iteration (no NMIteration
    /// parent, no frame centre or one without complete outputs, frame size
    /// undefined, include rectangle without volume).
    bool createSimplex();
};

} // namespace QARNO_4_0_0

#endif
