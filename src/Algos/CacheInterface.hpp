#ifndef QARNO_ALGOS_CACHEINTERFACE_HPP
#define QARNO_ALGOS_CACHEINTERFACE_HPP

#include <cstddef>
#include <functional>
#include <vector>

#include "Eval/EvalPoint.hpp"
#include "Math/Point.hpp"
#include "Type/EvalType.hpp"

namespace QARNO_4_0_0
{

class Eval;
class Step;

/// The cache seen from a step of an algorithm on a sub-problem: the step
/// handles sub-space points, the cache full-space ones. Every point given is
/// completed with the fixed variable of the step's sub-problem, every point
/// returned is reduced to the sub-space. Built on the stack, for one use.
class CacheInterface
{
public:
    /// Throws when `step` is null or has no registered sub-problem.
    explicit CacheInterface(const Step* step);

    /// 1 when the full-space form of `x` is cached; `evalPoint` then receives
    /// the cached point in sub-space form.
    size_t find(const Point& x, EvalPoint& evalPoint, EvalType evalType = EvalType::UNDEFINED);

    /// The points for which `crit` holds. With `findWithSameFixedVariable`,
    /// only points carrying the fixed variable are considered and `crit` sees
    /// their sub-space form; otherwise `crit` sees every full-space point.
    /// The points found are returned in sub-space form either way.
    size_t find(const std::function<bool(const EvalPoint&)>& crit,
                std::vector<EvalPoint>& evalPointList, bool findWithSameFixedVariable) const;

    size_t findBestFeas(std::vector<EvalPoint>& evalPointList, EvalType evalType,
                        const Eval* refeval) const;
    size_t findBestInf(std::vector<EvalPoint>& evalPointList, const Double& hMax, EvalType evalType,
                       const Eval* refeval) const;

    /// The cached points that carry the fixed variable.
    size_t getAllPoints(std::vector<EvalPoint>& evalPointList) const;

    /// The cache's `smartInsert` of the full-space form; `evalPoint` itself
    /// is not changed.
    bool smartInsert(const EvalPoint& evalPoint, short maxNumberEval = 1,
                     EvalType evalType = EvalType::BB);

    const Point& getFixedVariable() const { return _fixedVariable; }

private:
    void init();

    const Step* const _step;
    Point _fixedVariable;
};

} // namespace QARNO_4_0_0

#endif
