#ifndef QARNO_ALGOS_NELDERMEAD_NMSIMPLEXINSERTION_HPP
#define QARNO_ALGOS_NELDERMEAD_NMSIMPLEXINSERTION_HPP

#include <cstddef>
#include <vector>

#include "Algos/NelderMead/NMIterationUtils.hpp"
#include "Eval/EvalPoint.hpp"
#include "Type/EvalType.hpp"

namespace QARNO_4_0_0
{

class Step;

/// What the reflective Nelder-Mead step decides with: the reference lists
/// Y0 (the points of Y that no point of Y dominates, y0 first) and Yn (the
/// points of Y that dominate none), the tests of an evaluated trial point
/// against them, and the insertions that put a point into Y in place of the
/// worst point yn.
///
/// `NMReflective` derives it (instead of `NMIterationUtils`) beside `Step`,
/// Step first, passing itself:
///
///     class NMReflective : public Step, public NMSimplexInsertion
///     NMReflective(const Step* parent) : Step(parent), NMSimplexInsertion(this) {}
///
///     makeListY0(); makeListYn();
///     if (pointDominatesY0(xr)) ... insertInYBest(xr, xe);
///     else if (YnDominatesPoint(xr)) ... insertInY(xic);
///
/// Dominance and evaluation status are those of the current evaluation type
/// (`NMSimplexEvalPointCompare::currentEvalType`). Debug messages go through
/// the owning step and are built only when the debug level is shown.
class NMSimplexInsertion : public NMIterationUtils
{
public:
    explicit NMSimplexInsertion(const Step* parentStep);
    ~NMSimplexInsertion() override;

    /// Rebuilds Y0: y0, then every point of Y that no point of Y dominates,
    /// in Y's order. False when Y0 is empty (Y empty).
    bool makeListY0();
    /// Rebuilds Yn: the points of Y that dominate no point of Y, in Y's
    /// order. False when Yn is empty.
    bool makeListYn();
    /// `makeListY0() && makeListYn()`, from one look at the evaluations of Y.
    bool makeListsY0Yn();

    /// xt dominates a point of Y0. Throws "Y0 is empty", or "The evaluation
    /// for trial point xt = ... was not found"; false when xt is not
    /// evaluated OK.
    bool pointDominatesY0(const EvalPoint& xt) const;
    /// A point of Yn dominates xt, or xt is more infeasible than the last
    /// point of Yn by more than epsilon. Throws " Yn is empty", or "No
    /// evaluation for trial point ..."; false when xt is not evaluated OK.
    bool YnDominatesPoint(const EvalPoint& xt) const;
    /// xt dominates at least nbPointsToDominate points of Y (true for 0 when
    /// xt is evaluated OK). Throws "No evaluation for trial point ...".
    bool pointDominatesPtsInY(const EvalPoint& xt, size_t nbPointsToDominate) const;

    /// x replaces yn. False, Y unchanged, when x is not evaluated OK, is
    /// refused by Y, or would be the worst point. False, Y changed, when Y0
    /// or Yn cannot be made or DZ loses rank. True otherwise.
    bool insertInY(const EvalPoint& x);
    /// The better of x1 and x2 replaces yn (x2 only when evaluated OK and
    /// different from x1). False, Y unchanged, when both rank after yn or a
    /// point is refused by Y; false, Y changed, when Y0 or Yn cannot be made
    /// or DZ loses rank. Throws "The trial point x1 (x2) does not have an
    /// evaluation: ...".
    bool insertInYBest(const EvalPoint& x1, const EvalPoint& x2);

    /// Sizes of Y0 and Yn (information level), their points (debug level).
    void displayY0nInfo() const;

    const std::vector<EvalPoint>& getY0() const { return _nmY0; }
    const std::vector<EvalPoint>& getYn() const { return _nmYn; }

protected:
    std::vector<EvalPoint> _nmY0;
    std::vector<EvalPoint> _nmYn;

private:
    /// Where every point of Y has a feasible evaluation with a defined f
    /// (`found`), the positions of its first least and first greatest f.
    /// Between feasible points domination is "f less than" (`Double`'s
    /// comparison, monotone in either side): a point is dominated by some
    /// point exactly when the least f is less than its own, and dominates
    /// some point exactly when its f is less than the greatest. The lists
    /// are then made in O(k) instead of O(k^2).
    struct FeasibleExtremes
    {
        bool found = false;
        size_t least = 0;
        size_t greatest = 0;
    };
    static FeasibleExtremes feasibleExtremes(const NMSimplex& Y, EvalType evalType);
    /// The lists from Y, which must exist (Y0 also not empty).
    bool fillListY0(const FeasibleExtremes& extremes);
    bool fillListYn(const FeasibleExtremes& extremes);

    /// A debug message through the owning step, built only when shown.
    template <typename BUILD> void debug(BUILD&& build) const;
};

} // namespace QARNO_4_0_0

#endif
