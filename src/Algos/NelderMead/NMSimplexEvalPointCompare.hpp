#ifndef QARNO_ALGOS_NELDERMEAD_NMSIMPLEXEVALPOINTCOMPARE_HPP
#define QARNO_ALGOS_NELDERMEAD_NMSIMPLEXEVALPOINTCOMPARE_HPP

#include "Eval/EvalPoint.hpp"
#include "Type/EvalType.hpp"

namespace QARNO_4_0_0
{

/// The order of the Nelder-Mead simplex: x comes before y when the success
/// rule of the current evaluation type counts x as a partial or full success
/// against y (with an unbounded hMax); when it counts y as one against x, y
/// comes first; otherwise the smaller tag comes first.
///
/// This relation is not a strict weak order: feasible points are separated by
/// f, while a feasible and an infeasible point are separated only by their
/// tags, so three points can form a cycle. It therefore decides between two
/// points only; `NMSimplex` holds the points without relying on it being
/// transitive.
///
/// The evaluations are compared in place: no copy, no allocation.
class NMSimplexEvalPointCompare
{
public:
    /// The evaluation type is that of the calling main thread's evaluator
    /// (BB when no evaluator control is installed), read at each call.
    bool operator()(const EvalPoint& x, const EvalPoint& y) const;

    /// The same order for a given evaluation type (BB or SGTE), for callers
    /// that compare many pairs under one evaluation type.
    static bool comesBefore(const EvalPoint& x, const EvalPoint& y, EvalType evalType);

    /// The evaluation type of the calling main thread's evaluator; BB when no
    /// evaluator control is installed.
    static EvalType currentEvalType();
};

} // namespace QARNO_4_0_0

#endif
