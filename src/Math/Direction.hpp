#ifndef QARNO_MATH_DIRECTION_HPP
#define QARNO_MATH_DIRECTION_HPP

#include <iosfwd>
#include <utility>

#include "Math/ArrayOfDouble.hpp"

namespace QARNO_4_0_0
{

/// Norm selector of `Direction::norm`.
enum class NormType
{
    L1 = 0,  ///< sum of the absolute values
    L2 = 1,  ///< Euclidean
    LINF = 2 ///< largest absolute value
};

/// A vector of the variable space: norms, dot product and cosine, random
/// unit directions and the scaled Householder matrix from which the poll
/// methods build their direction sets.
///
///     Direction v(n);
///     Direction::computeDirOnUnitSphere(v);   // n normal draws, normalised
///     std::vector<Direction> rows(2 * n, Direction(n, 0.0));
///     std::vector<Direction*> H;              // pointers to the 2n rows
///     for (auto& r : rows) H.push_back(&r);
///     Direction::householder(v, true, H.data());
///
/// It prints like a plain array: "1 2 3", without parentheses.
class Direction : public ArrayOfDouble
{
public:
    explicit Direction(size_t n = 0, const Double& d = Double()) : ArrayOfDouble(n, d) {}
    explicit Direction(const ArrayOfDouble& a) : ArrayOfDouble(a) {}
    explicit Direction(ArrayOfDouble&& a) noexcept : ArrayOfDouble(std::move(a)) {}
    Direction(const Direction&) = default;
    Direction(Direction&&) noexcept = default;
    Direction& operator=(const Direction&) = default;
    Direction& operator=(Direction&&) noexcept = default;
    ~Direction() override = default;

    /// Sum of the squared coordinates (0 for an empty direction).
    Double squaredL2Norm() const;
    /// L1, L2 or infinity norm; any selector other than L1 and LINF gives L2.
    /// An undefined coordinate throws `Double::NotDefined`.
    Double norm(NormType t = NormType::L2) const;
    Double infiniteNorm() const { return norm(NormType::LINF); }

    /// Sum of a_i * b_i; throws when the sizes differ.
    static Double dotProduct(const Direction& a, const Direction& b);
    /// The dot product over the product of the Euclidean norms; throws when
    /// either norm is 0.
    static Double cos(const Direction& a, const Direction& b);
    /// The same, with the Euclidean norms already had.
    static Double cos(const Direction& a, double normA, const Direction& b, double normB);

    /// Fills d (keeping its size) with a direction drawn uniformly on the
    /// unit sphere: one `RNG::normalRand(0, 1)` per coordinate, in index
    /// order, then normalised.
    static void computeDirOnUnitSphere(Direction& d);

    /// Writes into the rows H[0..n-1] the matrix |d|^2 I - 2 d d^T, a
    /// Householder reflection scaled by |d|^2: mutually orthogonal rows of
    /// Euclidean length |d|^2. With completeTo2n, H[n..2n-1] receive the
    /// negated rows, which makes a maximal positive basis of 2n directions.
    /// Every row must already hold n = d.size() coordinates.
    static void householder(const Direction& d, bool completeTo2n, Direction** H);
    /// Row i of that matrix alone, s being d.squaredL2Norm(): the same
    /// numbers as `householder` writes, for a caller that takes one row at a
    /// time. The row must hold n coordinates.
    static void householderRow(const Direction& d, double s, size_t i, Direction& row);
};

/// The plain array text: "1 2 3".
std::ostream& operator<<(std::ostream& out, const Direction& d);

} // namespace QARNO_4_0_0

#endif
