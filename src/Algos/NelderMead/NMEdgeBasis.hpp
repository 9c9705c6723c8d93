#ifndef QARNO_ALGOS_NELDERMEAD_NMEDGEBASIS_HPP
#define QARNO_ALGOS_NELDERMEAD_NMEDGEBASIS_HPP

#include <cstddef>
#include <vector>

#include "Algos/NelderMead/NMSimplex.hpp"
#include "Eval/EvalPoint.hpp"

namespace QARNO_4_0_0
{

/// The edges yk - y0 of a simplex as an orthonormal basis Q with the
/// triangular factor R of DZ = R Q (rows: the edges in the order they were
/// added) and the inverse of R, built by two passes of modified Gram-Schmidt.
///
/// It decides most rank tests of DZ with tolerance t without the
/// singular-value decomposition (O(k n^2) each), and only where the
/// decomposition surely decides the same:
/// - the smallest singular value is at most the distance of any row to the
///   span of the others, and at most 1 / ||R^-1||_2, which is at most
///   sqrt(k) / ||R^-1||_F and at most ||u|| / ||R^-1 u|| for any u;
/// - it is at least 1 / ||R^-1||_F.
/// Both computations are backward stable: each sees DZ perturbed by a few
/// units of rounding times its norm and size. A decision is sure when the
/// bounds clear t by many times that.
///
///     NMEdgeBasis basis;
///     basis.reset(Y);                    // the edges of Y
///     basis.measure(z, 0.5 * t);         // a candidate edge z - y0
///     if (basis.distance() <= 0.5 * t) ...     // in the span
///     else if (basis.surelyRaisesRank(t)) basis.keepMeasured();
class NMEdgeBasis
{
public:
    enum class Decision
    {
        FULL_RANK,
        RANK_DEFICIENT,
        UNSURE
    };

    /// Basis of the edges of Y, in Y's order, from its first point.
    void reset(const NMSimplex& Y);

    /// Basis of the edges of Y, in an order of its own: when y0 is the base
    /// of this basis, the longest run of its first edges that are still
    /// edges of Y stays as it is, and the other edges of Y are added in Y's
    /// order; otherwise as `reset`. After one point of Y was replaced, that
    /// costs O(j k n) instead of O(k^2 n), j the edges measured again. The
    /// bounds hold for the edges in any order: a decision is sure just as
    /// after `reset`, though the order may leave other cases unsure.
    void follow(const NMSimplex& Y);

    /// Whether DZ of Y surely has a singular value at most `tolerance`
    /// because one of its rows is that short (the smallest singular value
    /// is at most the length of any row): a test in O(k n), before any
    /// basis is made.
    static bool hasSurelyShortEdge(const NMSimplex& Y, double tolerance);

    /// Measures the edge z - y0 against the edges of the basis; the other
    /// queries are about the point measured last. When the residual of the
    /// first pass already shows that the distance of both passes cannot
    /// exceed `inSpanLimit`, the second pass is left out: `distance()` is
    /// then at most `inSpanLimit`, and the edge cannot be kept.
    void measure(const EvalPoint& z, double inSpanLimit = -1);

    /// Measures the edges zs[i] - y0 as `measure` would, each with the same
    /// arithmetic (the work of several edges is interleaved, never mixed, so
    /// that the chains of additions of one edge overlap those of others);
    /// `takeMeasure(i)` then makes the i-th the measured one, as long as the
    /// basis has not changed.
    void measureBatch(const std::vector<const EvalPoint*>& zs, double inSpanLimit);
    void takeMeasure(size_t i);

    /// The first pass of Gram-Schmidt of the edges zs[i] - y0 against the
    /// basis as it is now, four at a time. A first pass goes through the
    /// basis in order, so that it stays valid while the basis only grows:
    /// `completeMeasure(i, limit)` then takes it through the edges kept
    /// since and measures as `measure(*zs[i], limit)` would then, to the
    /// last bit. After a `reset`, the measure starts again.
    void firstPasses(const std::vector<const EvalPoint*>& zs);
    void completeMeasure(size_t i, double inSpanLimit);

    /// Distance of the measured edge to the span of the edges of the basis.
    double distance() const { return _trial.distance; }

    /// Whether the decomposition of DZ with the measured edge added would
    /// surely count full rank (every singular value above `tolerance`).
    bool surelyRaisesRank(double tolerance);

    /// Adds the measured edge to the basis (not after a measure cut short).
    void keepMeasured();

    /// Whether DZ of the edges of the basis has every singular value above
    /// `tolerance`, when that is sure.
    Decision fullRank(double tolerance) const;

private:
    /// The last row of the inverse of [R 0; c rho]: -(c R^-1) / rho, 1 / rho.
    void computeInverseRow();

    /// A lower bound of ||R^-1||_2 as R^-1 is stored, raised by rounds of
    /// the power iteration on R^-T R^-1 until it reaches `wanted` or grows
    /// no more; each round costs O(k^2), against O(k n^2) for the
    /// decomposition it may spare.
    double inverseNormFromBelow(double wanted) const;

    struct Trial
    {
        std::vector<double> residual;
        std::vector<double> coefficients;
        std::vector<double> inverseRow;
        /// The point z, to recognise its edge in a later simplex.
        std::vector<double> point;
        double distance = 0;
        double edgeNorm2 = 0;
        double inverseRowNorm2 = 0;
        /// Edges of the basis the first pass went through, and the basis
        /// they were edges of (its count of resets).
        size_t passed = 0;
        size_t resets = 0;
        bool inverseRowDone = false;
        bool complete = false;
    };

    /// The start of a measure: the edge, its squared length.
    void startTrial(Trial& trial, const EvalPoint& z) const;
    /// One pass of modified Gram-Schmidt through the edges of the basis
    /// from `from` on.
    void passOn(Trial& trial, size_t from = 0) const;
    /// The same on many trials, a block of them at a time: each sees the
    /// arithmetic of `passOn`, to the last bit.
    void passOnBlocks(const std::vector<Trial*>& trials, size_t from = 0);
    /// After the first pass: whether the distance of both passes surely
    /// stays within `inSpanLimit` (then recorded as the distance).
    bool endsAfterFirstPass(Trial& trial, double inSpanLimit) const;
    static double residualNorm(const Trial& trial);

    /// Relative rounding allowance of the bounds for k edges.
    double margin(double k) const;

    /// Back to the first `count` kept edges, as they were when the last of
    /// them was kept (sums taken again in the same order).
    void truncate(size_t count);

    /// What each kept edge added to the sums, and its point.
    struct KeptEdge
    {
        std::vector<double> point;
        double edgeNorm2;
        double distance;
        double inverseRowNorm2;
    };

    std::vector<double> _base;
    std::vector<KeptEdge> _kept;
    std::vector<std::vector<double>> _basis;
    /// Rows of R^-1 (lower triangular), and its squared Frobenius norm.
    std::vector<std::vector<double>> _inverse;
    double _inverseNorm2 = 0;
    /// Squared Frobenius norm of the edges, and the least distance of an
    /// edge to the span of those before it.
    double _edgeNorm2 = 0;
    double _leastDistance = 0;
    /// False once an edge lay exactly in the span of the others: R is
    /// singular.
    bool _inverseValid = true;
    size_t _resets = 0;
    Trial _trial;
    std::vector<Trial> _batch;
    /// Scratch of `passOnBlocks`: the residuals coordinate by coordinate,
    /// and the dot products by edge of the basis.
    std::vector<double> _block;
    std::vector<double> _blockDots;
};

} // namespace QARNO_4_0_0

#endif
