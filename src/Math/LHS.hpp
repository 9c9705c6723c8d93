#ifndef QARNO_MATH_LHS_HPP
#define QARNO_MATH_LHS_HPP

#include <cstddef>
#include <vector>

#include "Math/ArrayOfDouble.hpp"
#include "Math/Point.hpp"

namespace QARNO_4_0_0
{

/// Latin-hypercube sampler: p points in the box [lowerBound, upperBound] of
/// dimension n such that, along every coordinate, the p points fall one into
/// each of the p equal slices of the bound range (McKay, Beckman and Conover,
/// "A comparison of three methods for selecting values of input variables in
/// the analysis of output from a computer code", Technometrics 21(2), 1979).
///
/// All randomness comes from the process-wide generator `RNG`, so a sample is
/// reproducible from the seed and the draws made before it.
///
///     LHS lhs(2, 10, lb, ub);
///     std::vector<Point> x = lhs.Sample();   // 10 points of dimension 2
class LHS
{
public:
    /// Both bounds must be complete; throws otherwise (lower bound first).
    LHS(size_t n, size_t p, const ArrayOfDouble& lowerBound, const ArrayOfDouble& upperBound);

    /// A random permutation of 1 .. p, in the order of p draws of a
    /// `RandomPickup`(p).
    static std::vector<size_t> Permutation(size_t p);

    /// p points of dimension n. First one permutation per coordinate, then
    /// one uniform draw per coordinate of every point, in point order. Each
    /// call continues the random stream.
    std::vector<Point> Sample() const;

private:
    size_t _n;
    size_t _p;
    ArrayOfDouble _lowerBound;
    ArrayOfDouble _upperBound;
};

} // namespace QARNO_4_0_0

#endif
