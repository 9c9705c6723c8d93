#ifndef QARNO_MATH_ARRAYOFPOINT_HPP
#define QARNO_MATH_ARRAYOFPOINT_HPP

#include <iosfwd>
#include <vector>

#include "Math/Point.hpp"

namespace QARNO_4_0_0
{

/// A list of points: the value of `X0`.
using ArrayOfPoint = std::vector<Point>;

/// The points in order, each by its virtual `display`, separated by one
/// blank: "( 1 2 ) ( 3 4 )"; nothing for an empty list.
std::ostream& operator<<(std::ostream& out, const std::vector<Point>& points);

} // namespace QARNO_4_0_0

#endif
