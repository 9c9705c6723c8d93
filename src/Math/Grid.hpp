#ifndef QARNO_MATH_GRID_HPP
#define QARNO_MATH_GRID_HPP

#include <vector>

#include "Math/ArrayOfDouble.hpp"
#include "Math/Double.hpp"

namespace QARNO_4_0_0
{

/// The grid of one granular coordinate: the multiples k x g of its
/// granularity g, each written as one double, the same whatever arithmetic
/// led to it. A granularity that is a short decimal (g = a / 10^d with a
/// integral, as 1, 0.5 or 1e-7 are) gives the double nearest to the exact
/// multiple, computed as (k x a) / 10^d: integer granularities give exact
/// integers and 3 x 1e-7 is 3e-7, not 3.0000000000000004e-07. Any other
/// granularity gives k x g.
///
/// The tolerant comparisons of `Double` cannot tell a grid point from a
/// value a few ulps away (nor, for a fine grid, from one a fraction of a
/// step away); two such values are two blackbox inputs and two cache
/// entries. Every point handed to an evaluator goes through
/// `placeOnGridsWithinBounds`.
///
///     Grid grid(Double(1e-7));
///     grid.nearest(0.30000000000000004); // 0.3
///     grid.ceil(0.12345678);             // 0.1234568
class Grid
{
public:
    /// A granularity that is undefined, not finite or not above the
    /// tolerance gives no grid: a continuous coordinate.
    explicit Grid(const Double& granularity);

    bool isGranular() const { return _granular; }

    /// k x g for an integral k (granular grids only).
    double multiple(double k) const;
    /// The number of steps of the grid point nearest to x.
    double stepsOf(double x) const;
    /// The grid point nearest to x; x itself without a grid.
    double nearest(double x) const;
    /// The smallest grid point at or above x; x itself without a grid.
    double ceil(double x) const;
    /// The largest grid point at or below x; x itself without a grid.
    double floor(double x) const;

    /// One coordinate of `placeOnGridsWithinBounds`: x onto the nearest grid
    /// point, then into [lb, ub] (an undefined bound is none). False when no
    /// grid point lies within the bounds; `placed` is then of no use.
    bool placeWithinBounds(double x, const Double& lb, const Double& ub, double& placed) const;

    /// Every granular coordinate of x onto the nearest point of its grid,
    /// then every coordinate into [lb, ub] exactly (a granular one onto the
    /// grid point nearest to the bound inside it). Undefined bounds and
    /// coordinates are left alone; a granularity of another size than x
    /// makes every coordinate continuous. False, with x unchanged, when a
    /// coordinate has no grid point within its bounds.
    static bool placeOnGridsWithinBounds(ArrayOfDouble& x, const ArrayOfDouble& granularity,
                                         const ArrayOfDouble& lb, const ArrayOfDouble& ub);
    /// The same with the grids made once (`gridsOf`) for many points.
    static bool placeOnGridsWithinBounds(ArrayOfDouble& x, const std::vector<Grid>& grids,
                                         const ArrayOfDouble& lb, const ArrayOfDouble& ub);
    /// One grid per coordinate of the granularity.
    static std::vector<Grid> gridsOf(const ArrayOfDouble& granularity);

private:
    bool _granular;
    double _granularity;
    /// g = _numerator / _scale with both integral, when g is a short decimal.
    bool _decimal;
    double _numerator;
    double _scale;
};

} // namespace QARNO_4_0_0

#endif
