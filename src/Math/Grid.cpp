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

bool Grid::placeOnGridsWithinBounds(ArrayOfDouble& x, const ArrayOfDouble& granularity,
                                    const ArrayOfDouble& lb, const ArrayOfDouble& ub)
{
    const size_t n = x.size();
    const bool withGrids = (granularity.size() == n);
    const bool withLb = (lb.size() == n);
    const bool withUb = (ub.size() == n);
    std::vector<double> placed(n);
    for (size_t i = 0; i < n; ++i)
    {
        if (!x[i].isDefined())
        {
            continue;
        }
        const Grid grid(withGrids ? granularity[i] : Double());
        double v = grid.nearest(x[i].todouble());
        if (withLb && lb[i].isDefined())
        {
            const double bound = lb[i].todouble();
            if (v < bound)
            {
                v = grid.ceil(bound);
            }
            if (v < bound)
            {
                return false;
            }
        }
        if (withUb && ub[i].isDefined())
        {
            const double bound = ub[i].todouble();
            if (v > bound)
            {
                v = grid.floor(bound);
            }
            // A grid point below the upper bound may now lie below the
            // lower one: no grid point between the bounds.
            if (v > bound || (withLb && lb[i].isDefined() && v < lb[i].todouble()))
            {
                return false;
            }
        }
        placed[i] = v;
    }
    for (size_t i = 0; i < n; ++i)
    {
        if (x[i].isDefined())
        {
            x[i] = placed[i];
        }
    }
    return true;
}

} // namespace QARNO_4_0_0
