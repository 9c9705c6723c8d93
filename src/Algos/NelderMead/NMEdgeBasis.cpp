#include "Algos/NelderMead/NMEdgeBasis.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace QARNO_4_0_0
{

namespace
{
const double UNIT_ROUNDOFF = std::numeric_limits<double>::epsilon();
} // namespace

void NMEdgeBasis::reset(const NMSimplex& Y)
{
    _basis.clear();
    _base.clear();
    _inverse.clear();
    _inverseNorm2 = 0;
    _edgeNorm2 = 0;
    _leastDistance = std::numeric_limits<double>::infinity();
    _inverseValid = true;
    if (Y.empty())
    {
        return;
    }
    for (size_t i = 0; i < Y.front().size(); ++i)
    {
        _base.push_back(Y.front()[i].todouble());
    }
    for (size_t k = 1; k < Y.size(); ++k)
    {
        measure(Y[k]);
        keepMeasured();
    }
}

void NMEdgeBasis::measure(const EvalPoint& z, double inSpanLimit)
{
    const size_t k = _basis.size();
    std::vector<double>& r = _trial.residual;
    std::vector<double>& c = _trial.coefficients;
    r.assign(_base.size(), 0.0);
    c.assign(k, 0.0);
    _trial.inverseRowDone = false;
    _trial.complete = false;
    double edge2 = 0;
    for (size_t i = 0; i < _base.size(); ++i)
    {
        r[i] = z[i].todouble() - _base[i];
        edge2 += r[i] * r[i];
    }
    _trial.edgeNorm2 = edge2;
    const auto norm = [&r]()
    {
        double norm2 = 0;
        for (double x : r)
        {
            norm2 += x * x;
        }
        return std::sqrt(norm2);
    };
    // Two passes of modified Gram-Schmidt keep the residual accurate. Each
    // step of a pass takes a projection off the residual, which cannot make
    // it longer but for rounding: past the first pass, the residual stays
    // below its length then, times the allowance.
    for (int pass = 0; pass < 2; ++pass)
    {
        for (size_t j = 0; j < k; ++j)
        {
            const auto& q = _basis[j];
            double dot = 0;
            for (size_t i = 0; i < r.size(); ++i)
            {
                dot += q[i] * r[i];
            }
            for (size_t i = 0; i < r.size(); ++i)
            {
                r[i] -= dot * q[i];
            }
            c[j] += dot;
        }
        if (0 == pass && inSpanLimit >= 0)
        {
            const double first = norm();
            const double allowance =
                1.0 + 4.0 * static_cast<double>((k + 1) * (_base.size() + 2)) * UNIT_ROUNDOFF;
            if (first * allowance <= inSpanLimit)
            {
                _trial.distance = first;
                return;
            }
        }
    }
    _trial.distance = norm();
    _trial.complete = true;
}

double NMEdgeBasis::margin(double k) const
{
    const double n = static_cast<double>(_base.size());
    return 64 * (k + n) * UNIT_ROUNDOFF;
}

bool NMEdgeBasis::surelyRaisesRank(double tolerance)
{
    if (!_trial.complete || !_inverseValid || !(_trial.distance > 0) || _base.empty())
    {
        return false;
    }
    computeInverseRow();
    const double k = static_cast<double>(_basis.size() + 1);
    const double inverseNorm2 = _inverseNorm2 + _trial.inverseRowNorm2;
    const double edgeNorm = std::sqrt(_edgeNorm2 + _trial.edgeNorm2);
    if (!std::isfinite(inverseNorm2) || !std::isfinite(edgeNorm))
    {
        return false;
    }
    const double lowerBound = (1.0 - 8 * k * UNIT_ROUNDOFF) / std::sqrt(inverseNorm2);
    return lowerBound - margin(k) * edgeNorm > tolerance;
}

void NMEdgeBasis::keepMeasured()
{
    const double norm = _trial.distance;
    _edgeNorm2 += _trial.edgeNorm2;
    _leastDistance = std::min(_leastDistance, norm);
    if (norm > 0)
    {
        computeInverseRow();
        for (double& x : _trial.residual)
        {
            x /= norm;
        }
        _basis.push_back(_trial.residual);
        _inverse.push_back(_trial.inverseRow);
        _inverseNorm2 += _trial.inverseRowNorm2;
    }
    else
    {
        // Nothing to add to the span; R is singular.
        _inverseValid = false;
    }
}

NMEdgeBasis::Decision NMEdgeBasis::fullRank(double tolerance) const
{
    const double k = static_cast<double>(_basis.size());
    const double edgeNorm = std::sqrt(_edgeNorm2);
    if (_basis.empty() || _base.empty() || !std::isfinite(edgeNorm) ||
        !std::isfinite(_inverseNorm2))
    {
        return Decision::UNSURE;
    }
    const double slack = margin(k) * edgeNorm;
    const double allowance = 1.0 + 8 * k * UNIT_ROUNDOFF;
    double upperBound = _leastDistance;
    if (_inverseValid && _inverseNorm2 > 0)
    {
        upperBound = std::min(upperBound, std::sqrt(k / _inverseNorm2));
        const double lowerBound = (2.0 - allowance) / std::sqrt(_inverseNorm2);
        if (lowerBound - slack > tolerance)
        {
            return Decision::FULL_RANK;
        }
    }
    if (upperBound * allowance + slack < tolerance)
    {
        return Decision::RANK_DEFICIENT;
    }
    return Decision::UNSURE;
}

void NMEdgeBasis::computeInverseRow()
{
    if (_trial.inverseRowDone)
    {
        return;
    }
    const size_t k = _basis.size();
    const double rho = _trial.distance;
    std::vector<double>& w = _trial.inverseRow;
    w.assign(k + 1, 0.0);
    for (size_t i = 0; i < k; ++i)
    {
        const double ci = _trial.coefficients[i];
        const std::vector<double>& row = _inverse[i];
        for (size_t j = 0; j <= i; ++j)
        {
            w[j] += ci * row[j];
        }
    }
    double norm2 = 0;
    for (size_t j = 0; j < k; ++j)
    {
        w[j] = -w[j] / rho;
        norm2 += w[j] * w[j];
    }
    w[k] = 1.0 / rho;
    norm2 += w[k] * w[k];
    _trial.inverseRowNorm2 = norm2;
    _trial.inverseRowDone = true;
}

} // namespace QARNO_4_0_0
