#ifndef QARNO_EVAL_BARRIER_HPP
#define QARNO_EVAL_BARRIER_HPP

#include <cstddef>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "Eval/EvalPoint.hpp"
#include "Math/Double.hpp"
#include "Math/Point.hpp"
#include "Type/EvalType.hpp"

namespace QARNO_4_0_0
{

/// The incumbents of one algorithm under the progressive barrier.
///
/// It holds the best feasible points and the best infeasible points whose
/// constraint violation h is within the threshold hMax (all points of a
/// list equally good, the oldest first), hMax itself, and the two reference
/// points against which the next iteration's success is judged. "Better" is
/// the process-wide success rule of `Eval::compEvalFindBest`: by default a
/// lower f among feasible points, and among infeasible ones a lower h, or
/// the same h and a lower f.
///
/// Its points are in the sub-space of its algorithm: `init` converts the
/// cache's best points with the sub-problem's fixed variable. hMax only
/// changes through `setHMax`; lowering it is the caller's business.
///
///     Barrier barrier(INF, fixedVariable, EvalType::BB, evaluatedPoints);
///     barrier.updateWithPoints(newPoints, EvalType::BB, false);
///     auto best = barrier.getFirstXFeas();
class Barrier
{
public:
    /// Both lists from the cache's best points and `evalPointList`; throws
    /// when neither list gets a point (see `init`).
    explicit Barrier(const Double& hMax = INF, const Point& fixedVariable = Point(),
                     EvalType evalType = EvalType::BB,
                     const std::vector<EvalPoint>& evalPointList = std::vector<EvalPoint>());

    /// Fills the lists from the cache (in the sub-space of `fixedVariable`)
    /// and from `evalPointList`, then checks that one of them has a point.
    void init(const Point& fixedVariable, EvalType evalType,
              const std::vector<EvalPoint>& evalPointList);

    /// Offers evaluated points; true when a list changed. With
    /// `keepAllPoints`, points as good as the incumbents join them.
    bool updateWithPoints(const std::vector<EvalPoint>& evalPointList, EvalType evalType,
                          bool keepAllPoints);

    const Double& getHMax() const { return _hMax; }
    /// Throws for an undefined or negative hMax (0 is accepted).
    void setHMax(const Double& hMax);

    const std::vector<EvalPoint>& getAllXFeas() const { return _xFeas; }
    const std::vector<EvalPoint>& getAllXInf() const { return _xInf; }
    /// A copy of the first point, or null.
    std::shared_ptr<EvalPoint> getFirstXFeas() const;
    std::shared_ptr<EvalPoint> getFirstXInf() const;
    /// The feasible points, then the infeasible ones.
    std::vector<EvalPoint> getAllPoints() const;

    const std::shared_ptr<EvalPoint>& getRefBestFeas() const { return _refBestFeas; }
    const std::shared_ptr<EvalPoint>& getRefBestInf() const { return _refBestInf; }
    /// The references become copies of the current first points.
    void updateRefBests();
    /// Replace a reference point.
    void setRefBestFeas(const std::shared_ptr<EvalPoint>& ref) { _refBestFeas = ref; }
    void setRefBestInf(const std::shared_ptr<EvalPoint>& ref) { _refBestInf = ref; }

    size_t getN() const { return _n; }

    void addXFeas(const EvalPoint& xFeas, const EvalType& evalType);
    void addXInf(const EvalPoint& xInf);
    void clearXFeas() { _xFeas.clear(); }
    void clearXInf() { _xInf.clear(); }

    // Checks; each throws with its own text.
    void setN();
    void checkCache();
    void checkXFeas(const EvalType& evalType);
    /// Forces h = 0 (with a warning) on feasible points whose h is not 0.
    void checkXFeasIsFeas(const EvalType& evalType);
    void checkXInf();
    void checkHMax();

    /// Lines "X_FEAS ...", "X_INF ..." (at most `max` of each, then the
    /// total), "H_MAX ..." and the two references.
    std::string display(size_t max) const;

private:
    /// Offers one evaluated point to one list; true when the list changed
    /// (its first point replaced, or a tie added).
    enum class Offer
    {
        IGNORED,
        REPLACED,
        ADDED
    };
    Offer offer(std::vector<EvalPoint>& list, const EvalPoint& evalPoint, const Eval& eval,
                EvalType evalType, bool keepAllPoints, const char* kind) const;

    std::vector<EvalPoint> _xFeas;
    std::vector<EvalPoint> _xInf;
    std::shared_ptr<EvalPoint> _refBestFeas;
    std::shared_ptr<EvalPoint> _refBestInf;
    Double _hMax;
    size_t _n;
};

/// "X_FEAS <point>", "X_INF <point>" and "H_MAX <hMax>", one per line: the
/// barrier part of the hot-restart file.
std::ostream& operator<<(std::ostream& out, const Barrier& barrier);
/// Reads what `operator<<` writes, taking each point from the cache when it
/// is there; stops before the first word it does not know, which stays in
/// the stream.
std::istream& operator>>(std::istream& in, Barrier& barrier);

} // namespace QARNO_4_0_0

#endif
