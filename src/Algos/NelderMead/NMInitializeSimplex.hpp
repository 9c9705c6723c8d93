#ifndef QARNO_ALGOS_NELDERMEAD_NMINITIALIZESIMPLEX_HPP
#define QARNO_ALGOS_NELDERMEAD_NMINITIALIZESIMPLEX_HPP

#include <cstddef>
#include <functional>

#include "Algos/NelderMead/NMIterationUtils.hpp"
#include "Algos/Step.hpp"
#include "Eval/EvalPoint.hpp"
#include "Math/ArrayOfDouble.hpp"
#include "Math/Point.hpp"
#include "Type/EvalType.hpp"

namespace QARNO_4_0_0
{

class OutputInfo;

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
/// The cache hands its points best first from its rankings, and the walk
/// stops with the greedy choice: a creation looks at the candidates it tries
/// and at the better points outside the rectangle, not at the whole cache,
/// and copies only the points it tries. When the messages of the
/// information level are shown (they count every candidate), without a
/// cache, or when the rankings miss a point, every candidate is gathered
/// and taken best first from a heap instead; both give the same choice.
/// "Best first" is the simplex order wherever that order ranks
/// consistently: feasible points by f, infeasible ones by h then f, ties by
/// tag. Where the simplex order only falls back on tags (a feasible against
/// an infeasible point), which can form cycles, feasible points come first.
///
/// Most rank tests are decided without a singular-value decomposition, from
/// a Gram-Schmidt basis of the kept edges (see `NMEdgeBasis`);
/// the others, and every one whose display is shown, decompose DZ.
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
    /// Offers the candidates, best first, from the rankings of the cache:
    /// only as many as the greedy choice takes (and the better points that
    /// lie outside the include rectangle) are looked at. `enough`: at least
    /// n + 1 candidates were found. False, nothing offered, when the cache
    /// cannot walk its points in rank order. The offer takes its candidate
    /// over.
    bool offerFromRankedCache(const EvalPoint& center, const ArrayOfDouble& rectangle,
                              EvalType evalType, size_t n,
                              const std::function<bool(EvalPoint&&)>& offer, bool& enough) const;
    /// Offers the candidates, best first, from the list of every candidate
    /// of the cache (or of the barrier without cache), which the messages of
    /// the information and debug levels describe. `enough` as above; false
    /// when the creation must stop.
    bool offerFromAllCandidates(const EvalPoint& center, const ArrayOfDouble& rectangle,
                                EvalType evalType, size_t n, bool useCache, bool showDebug,
                                bool showInfo, OutputInfo& creationInfo,
                                const std::function<bool(EvalPoint&&)>& offer, bool& enough);
};

} // namespace QARNO_4_0_0

#endif
