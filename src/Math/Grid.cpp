#include "Math/Grid.hpp"

#include <cfloat>
#include <cmath>
#include <vector>

namespace QARNO_4_0_0
{

namespace
{
/// Integers up to this size are exact doubles, and so are their products
/// below it.
constexpr double EXACT_INTEGERS = 9007199254740992.0; // 2^53

/// The most decimals looked for in a granularity; 10^15 is an exact double.
constexpr int MAX_DECIMALS = 15;
} // namespace

Grid::Grid(const Double& granularity)
    : _granular(false), _granularity(0.0), _decimal(false), _numerator(0.0), _scale(1.0)
{
    if (!granularity.isDefined())
    {
        return;
    }
    const double g = granularity.todouble();
    if (!std::isfinite(g) || !(granularity > Double(0.0)))
    {
        return;
    }
    _granular = true;
    _granularity = g;

    // g = a / 10^d: the double nearest to a decimal differs from it by its
    // rounding error only, so g x 10^d lies within a few ulps of a.
    double scale = 1.0;
    for (int d = 0; d <= MAX_DECIMALS; ++d, scale *= 10.0)
    {
        const double t = g * scale;
        const double a = std::round(t);
        if (a >= 1.0 && a < EXACT_INTEGERS && std::fabs(t - a) <= 4.0 * a * DBL_EPSILON)
        {
            _decimal = true;
            _numerator = a;
            _scale = scale;
            return;
        }
    }
}

double Grid::multiple(double k) const
{
    if (_decimal)
    {
        const double product = k * _numerator;
        if (std::fabs(product) < EXACT_INTEGERS)
        {
            // Both operands exact: one correctly rounded division.
            return product / _scale;
        }
    }
    return k * _granularity;
}

double Grid::stepsOf(double x) const
{
    return std::round(x / _granularity);
}

double Grid::nearest(double x) const
{
    if (!_granular || !std::isfinite(x))
    {
        return x;
    }
    return multiple(stepsOf(x));
}

double Grid::ceil(double x) const
{
    if (!_granular || !std::isfinite(x))
    {
        return x;
    }
    const double k = stepsOf(x);
    const double v = multiple(k);
    return (v < x) ? multiple(k + 1.0) : v;
}

double Grid::floor(double x) const
{
    if (!_granular || !std::isfinite(x))
    {
        return x;
    }
    const double k = stepsOf(x);
    const double v = multiple(k);
    return (v > x) ? multiple(k - 1.0) : v;
}

std::vector<Grid> Grid::gridsOf(const ArrayOfDouble& granularity)
{
    std::vector<Grid> grids;
    grids.reserve(granularity.size());
    for (size_t i = 0; i < granularity.size(); ++i)
    {
        grids.emplace_back(granularity[i]);
    }
    return grids;
}

bool Grid::placeOnGridsWithinBounds(ArrayOfDouble& x, const ArrayOfDouble& granularity,
                                    const ArrayOfDouble& lb, const ArrayOfDouble& ub)
{
    return placeOnGridsWithinBounds(x, gridsOf(granularity), lb, ub);
}

bool Grid::placeWithinBounds(double x, const Double& lb, const Double& ub, double& placed) const
{
    double v = nearest(x);
    const bool hasLb = lb.isDefined();
    const bool hasUb = ub.isDefined();
    if (hasLb && v < lb.todouble())
    {
        v = ceil(lb.todouble());
    }
    if (hasUb && v > ub.todouble())
    {
        v = floor(ub.todouble());
    }
    placed = v;
    // A grid point below the upper bound may lie below the lower one: no
    // grid point between the bounds.
    return !((hasLb && v < lb.todouble()) || (hasUb && v > ub.todouble()));
}

bool Grid::placeOnGridsWithinBounds(ArrayOfDouble& x, const std::vector<Grid>& grids,
                                    const ArrayOfDouble& lb, const ArrayOfDouble& ub)
{
    const size_t n = x.size();
    const bool withGrids = (grids.size() == n);
    const bool withLb = (lb.size() == n);
    const bool withUb = (ub.size() == n);
    const Grid continuous{Double()};
    const Double none;

    // The placed values first, so that x is left as it was when a
    // coordinate fails; then written where they differ.
    std::vector<double> placed(n);
    for (size_t i = 0; i < n; ++i)
    {
        if (!x[i].isDefined())
        {
            continue;
        }
        const Grid& grid = withGrids ? grids[i] : continuous;
        if (!grid.placeWithinBounds(x[i].todouble(), withLb ? lb[i] : none, withUb ? ub[i] : none,
                                    placed[i]))
        {
            return false;
        }
    }
    for (size_t i = 0; i < n; ++i)
    {
        if (x[i].isDefined() && placed[i] != x[i].todouble())
        {
            x[i] = placed[i];
        }
    }
    return true;
}

} // namespace QARNO_4_0_0
