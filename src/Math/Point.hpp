#ifndef QARNO_MATH_POINT_HPP
#define QARNO_MATH_POINT_HPP

#include <iosfwd>
#include <string>
#include <utility>

#include "Math/ArrayOfDouble.hpp"
#include "Math/Direction.hpp"

namespace QARNO_4_0_0
{

/// The coordinates of a point of the variable space.
///
/// Its text form has delimiters, "( 1 2 3 )", and reads back with
/// `operator>>`. `weakLess` is the strict order of every set of points.
///
/// Fixed variables are described by a full-space point F whose defined
/// coordinates are the fixed values; the sub-space is made of the free
/// (undefined in F) coordinates in increasing index order:
///
///     F = ( - 5 - )
///     ( 1 2 ).makeFullSpacePointFromFixed(F)   -> ( 1 5 2 )
///     ( 1 5 2 ).makeSubSpacePointFromFixed(F)  -> ( 1 2 )
class Point : public ArrayOfDouble
{
public:
    explicit Point(size_t n = 0, const Double& d = Double()) : ArrayOfDouble(n, d) {}
    explicit Point(const ArrayOfDouble& a) : ArrayOfDouble(a) {}
    explicit Point(ArrayOfDouble&& a) noexcept : ArrayOfDouble(std::move(a)) {}
    Point(const Point&) = default;
    Point(Point&&) noexcept = default;
    Point& operator=(const Point&) = default;
    Point& operator=(Point&&) noexcept = default;
    Point& operator=(const ArrayOfDouble& a)
    {
        ArrayOfDouble::operator=(a);
        return *this;
    }
    ~Point() override = default;

    /// "( " + the coordinates + " )"; an empty point gives "(  )".
    std::string display(const ArrayOfDouble& prec = ArrayOfDouble()) const override;
    /// The coordinates alone: "1 2 3".
    std::string displayNoPar(const ArrayOfDouble& prec = ArrayOfDouble()) const;

    /// Strict weak order for containers: a shorter point first, then
    /// lexicographic by `Double::weakLess`.
    static bool weakLess(const Point& a, const Point& b);

    /// Every defined coordinate of fixedVariable equals this point's within
    /// epsilon (true when either point is empty).
    bool hasFixed(const Point& fixedVariable) const;

    /// The direction b - a; throws when the sizes differ.
    static Direction vectorize(const Point& a, const Point& b);
    /// Euclidean distance.
    static Double dist(const Point& a, const Point& b);
    /// This point moved by dir; throws when the sizes differ.
    Point operator+(const Direction& dir) const;

    /// Sub-space point -> full-space point: the fixed values of fixedVariable
    /// put back at their places. This point must have as many coordinates as
    /// fixedVariable has undefined ones.
    Point makeFullSpacePointFromFixed(const Point& fixedVariable) const;
    /// Full-space point -> sub-space point: the coordinates fixed in
    /// fixedVariable dropped. With verifyValues the dropped coordinates must
    /// equal the fixed values within epsilon.
    Point makeSubSpacePointFromFixed(const Point& fixedVariable, bool verifyValues = true) const;
    /// `makeSubSpacePointFromFixed` without the value check.
    Point projectPointToSubspace(const Point& fixedVariable) const
    {
        return makeSubSpacePointFromFixed(fixedVariable, false);
    }
};

/// The virtual `display` with default precisions.
std::ostream& operator<<(std::ostream& out, const Point& p);
/// Reads "( x1 ... xn )" into p (whose size becomes n); a word that is no
/// number gives an undefined coordinate. Throws, after setting failbit, when
/// the text does not open with "(" or ends before ")".
std::istream& operator>>(std::istream& in, Point& p);

} // namespace QARNO_4_0_0

#endif
