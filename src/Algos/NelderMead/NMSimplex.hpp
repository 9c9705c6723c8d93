#ifndef QARNO_ALGOS_NELDERMEAD_NMSIMPLEX_HPP
#define QARNO_ALGOS_NELDERMEAD_NMSIMPLEX_HPP

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

#include "Algos/NelderMead/NMSimplexEvalPointCompare.hpp"
#include "Eval/EvalPoint.hpp"
#include "Type/EvalType.hpp"

namespace QARNO_4_0_0
{

class NMEdgeBasis;

/// The simplex Y of a Nelder-Mead iteration: copies of evaluated points kept
/// in the order of `NMSimplexEvalPointCompare`, best (y0) first, worst (yn)
/// last. A complete simplex of an n-variable problem holds n + 1 points.
///
/// The order is not transitive when feasible and infeasible points meet, so
/// the points live in a vector and never in a tree keyed by that order: an
/// inserted point goes just before the first held point it comes before (at
/// the end when there is none), and points leave by position or by tag, never
/// by a key search that an intransitive order could send astray.
///
///     NMSimplex Y;
///     auto [pos, inserted] = Y.insert(x);   // refused: a copy of a held point
///     const EvalPoint& yn = Y.back();
///     Y.erase(Y.size() - 1);                // or Y.eraseTag(x.getTag())
class NMSimplex
{
public:
    using const_iterator = std::vector<EvalPoint>::const_iterator;
    static constexpr size_t npos = static_cast<size_t>(-1);

    NMSimplex() = default;

    /// Inserts a copy of point at its place in the order under the current
    /// evaluation type. Refused (Y unchanged, second member false, first the
    /// position of the held point) when a held point has the same tag and
    /// the rule separates neither from the other. Otherwise the first member
    /// is the position of the new point.
    std::pair<size_t, bool> insert(const EvalPoint& point);
    /// The same for a given evaluation type.
    std::pair<size_t, bool> insert(const EvalPoint& point, EvalType evalType);

    /// What `insert` would answer, Y left unchanged.
    std::pair<size_t, bool> place(const EvalPoint& point, EvalType evalType) const;
    /// Inserts point at position pos (<= size()), where `place` put it.
    void insertAt(size_t pos, const EvalPoint& point);

    /// Removes the point at position pos (< size()).
    void erase(size_t pos);
    /// Removes the first point with this tag; false when none is held.
    bool eraseTag(size_t tag);
    /// The position of the first point with this tag; npos when none.
    size_t findTag(size_t tag) const;

    void clear() { _points.clear(); }
    void reserve(size_t n) { _points.reserve(n); }

    size_t size() const { return _points.size(); }
    bool empty() const { return _points.empty(); }
    const EvalPoint& operator[](size_t pos) const { return _points[pos]; }
    /// y0; Y must not be empty.
    const EvalPoint& front() const { return _points.front(); }
    /// yn; Y must not be empty.
    const EvalPoint& back() const { return _points.back(); }
    const_iterator begin() const { return _points.begin(); }
    const_iterator end() const { return _points.end(); }
    const std::vector<EvalPoint>& points() const { return _points; }

    /// A Gram-Schmidt basis of edges kept from one rank test of Y to the
    /// next, so that a test after a point was replaced measures few edges
    /// (`NMEdgeBasis::follow` makes it the basis of Y as it is then). It
    /// holds no state of Y: copies of Y share it.
    NMEdgeBasis& edgeBasis() const;

private:
    std::vector<EvalPoint> _points;
    mutable std::shared_ptr<NMEdgeBasis> _edgeBasis;
};

using NMSimplexPtr = std::shared_ptr<NMSimplex>;

/// A step that owns the simplex of the Nelder-Mead steps below it: the
/// Nelder-Mead iteration. `NMIterationUtils` finds its simplex through the
/// nearest ancestor of this kind, within the algorithm.
class NMSimplexOwner
{
public:
    virtual ~NMSimplexOwner() = default;
    virtual const NMSimplexPtr& getY() const = 0;
};

} // namespace QARNO_4_0_0

#endif
