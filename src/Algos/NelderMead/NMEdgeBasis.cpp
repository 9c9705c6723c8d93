#include "Algos/NelderMead/NMEdgeBasis.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

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
    _kept.clear();
    ++_resets;
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

namespace
{

bool sameCoordinates(const EvalPoint& p, const std::vector<double>& coordinates)
{
    if (p.size() != coordinates.size())
    {
        return false;
    }
    for (size_t i = 0; i < coordinates.size(); ++i)
    {
        if (!(p[i].todouble() == coordinates[i]))
        {
            return false;
        }
    }
    return true;
}

} // namespace

void NMEdgeBasis::follow(const NMSimplex& Y)
{
    // An edge in the span of the others left no row in the basis: the kept
    // edges and the rows of R no longer correspond one to one.
    if (Y.empty() || _base.empty() || !_inverseValid || !sameCoordinates(Y.front(), _base))
    {
        reset(Y);
        return;
    }
    std::vector<bool> inBasis(Y.size(), false);
    size_t still = 0;
    for (; still < _kept.size(); ++still)
    {
        size_t found = 0;
        for (size_t i = 1; i < Y.size() && 0 == found; ++i)
        {
            if (!inBasis[i] && sameCoordinates(Y[i], _kept[still].point))
            {
                found = i;
            }
        }
        if (0 == found)
        {
            break;
        }
        inBasis[found] = true;
    }
    truncate(still);
    for (size_t i = 1; i < Y.size(); ++i)
    {
        if (!inBasis[i])
        {
            measure(Y[i]);
            keepMeasured();
        }
    }
}

void NMEdgeBasis::truncate(size_t count)
{
    if (count >= _kept.size())
    {
        return;
    }
    _kept.resize(count);
    _basis.resize(count);
    _inverse.resize(count);
    _edgeNorm2 = 0;
    _inverseNorm2 = 0;
    _leastDistance = std::numeric_limits<double>::infinity();
    for (const KeptEdge& edge : _kept)
    {
        _edgeNorm2 += edge.edgeNorm2;
        _leastDistance = std::min(_leastDistance, edge.distance);
        _inverseNorm2 += edge.inverseRowNorm2;
    }
}

bool NMEdgeBasis::hasSurelyShortEdge(const NMSimplex& Y, double tolerance)
{
    if (Y.size() < 2)
    {
        return false;
    }
    const EvalPoint& y0 = Y.front();
    const size_t n = y0.size();
    double shortest2 = std::numeric_limits<double>::infinity();
    double total2 = 0;
    for (size_t k = 1; k < Y.size(); ++k)
    {
        double edge2 = 0;
        for (size_t i = 0; i < n; ++i)
        {
            const double d = Y[k][i].todouble() - y0[i].todouble();
            edge2 += d * d;
        }
        shortest2 = std::min(shortest2, edge2);
        total2 += edge2;
    }
    if (!std::isfinite(total2))
    {
        return false;
    }
    const double k = static_cast<double>(Y.size() - 1);
    const double nd = static_cast<double>(n);
    const double slack = 64 * (k + nd) * UNIT_ROUNDOFF * std::sqrt(total2);
    return std::sqrt(shortest2) * (1.0 + 4 * (nd + 2) * UNIT_ROUNDOFF) + slack < tolerance;
}

void NMEdgeBasis::startTrial(Trial& trial, const EvalPoint& z) const
{
    std::vector<double>& r = trial.residual;
    r.resize(_base.size());
    trial.point.resize(_base.size());
    trial.coefficients.assign(_basis.size(), 0.0);
    trial.inverseRowDone = false;
    trial.complete = false;
    double edge2 = 0;
    for (size_t i = 0; i < _base.size(); ++i)
    {
        const double zi = z[i].todouble();
        trial.point[i] = zi;
        r[i] = zi - _base[i];
        edge2 += r[i] * r[i];
    }
    trial.edgeNorm2 = edge2;
}

namespace
{

/// r -= d q, two coordinates at a time: each is the product and the
/// difference of the plain loop, which the compiler does not pair at -O2.
void subtractMultiple(const double* __restrict q, double* __restrict r, double d, size_t n)
{
    typedef double Pair __attribute__((vector_size(2 * sizeof(double))));
    const Pair dd = {d, d};
    size_t i = 0;
    for (; i + 2 <= n; i += 2)
    {
        Pair qi;
        Pair ri;
        std::memcpy(&qi, q + i, sizeof(Pair));
        std::memcpy(&ri, r + i, sizeof(Pair));
        ri -= dd * qi;
        std::memcpy(r + i, &ri, sizeof(Pair));
    }
    for (; i < n; ++i)
    {
        r[i] -= d * q[i];
    }
}

/// r -= (q . r) q for one residual; returns q . r.
double projectOff(const double* __restrict q, double* __restrict r, size_t n)
{
    double dot = 0;
    for (size_t i = 0; i < n; ++i)
    {
        dot += q[i] * r[i];
    }
    subtractMultiple(q, r, dot, n);
    return dot;
}

/// How many edges a block pass measures side by side.
constexpr size_t BLOCK = 8;

/// lanes -= dots * q for the residuals held in `lanes`, stored back and left
/// in `r` for the dot with the next row. (Vectors go by reference: by value
/// their passing would depend on the processor the caller was built for.)
template <typename V>
inline __attribute__((always_inline)) void subtractFromLanes(double* lanes, const V& dots, double q,
                                                             V& r)
{
    std::memcpy(&r, lanes, sizeof(V));
    r -= dots * q;
    std::memcpy(lanes, &r, sizeof(V));
}

/// One pass of modified Gram-Schmidt on BLOCK residuals held coordinate by
/// coordinate (block[i * BLOCK + w]: coordinate i of residual w), through
/// the basis rows from `from` on; dots[j * BLOCK + w] gets q_j . r_w. Each
/// residual sees the operations of `projectOff`, in its order: the dot from
/// zero up the coordinates, then r_i -= d q_i. Only their grouping differs:
/// the lanes of V hold several residuals, and the subtraction of one row is
/// made in the loop of the dot with the next, so that each coordinate is
/// loaded and stored once per row.
template <typename V>
inline __attribute__((always_inline)) void passBlockOn(const std::vector<std::vector<double>>& rows,
                                                       size_t from, double* block, size_t n,
                                                       double* dots)
{
    constexpr size_t LANES = sizeof(V) / sizeof(double);
    constexpr size_t GROUPS = BLOCK / LANES;
    static_assert(0 == BLOCK % LANES, "whole vectors per coordinate");
    V previous[GROUPS] = {};
    const double* previousRow = nullptr;
    for (size_t j = from; j < rows.size(); ++j)
    {
        const double* q = rows[j].data();
        V sums[GROUPS] = {};
        if (nullptr == previousRow)
        {
            for (size_t i = 0; i < n; ++i)
            {
                const double* coordinate = block + i * BLOCK;
                for (size_t g = 0; g < GROUPS; ++g)
                {
                    V r;
                    std::memcpy(&r, coordinate + g * LANES, sizeof(V));
                    sums[g] += q[i] * r;
                }
            }
        }
        else
        {
            for (size_t i = 0; i < n; ++i)
            {
                double* coordinate = block + i * BLOCK;
                for (size_t g = 0; g < GROUPS; ++g)
                {
                    V r;
                    subtractFromLanes(coordinate + g * LANES, previous[g], previousRow[i], r);
                    sums[g] += q[i] * r;
                }
            }
        }
        for (size_t g = 0; g < GROUPS; ++g)
        {
            std::memcpy(dots + (j - from) * BLOCK + g * LANES, &sums[g], sizeof(V));
            previous[g] = sums[g];
        }
        previousRow = q;
    }
    if (nullptr != previousRow)
    {
        for (size_t i = 0; i < n; ++i)
        {
            double* coordinate = block + i * BLOCK;
            for (size_t g = 0; g < GROUPS; ++g)
            {
                V r;
                subtractFromLanes(coordinate + g * LANES, previous[g], previousRow[i], r);
            }
        }
    }
}

typedef double Pair __attribute__((vector_size(2 * sizeof(double))));
typedef double Quad __attribute__((vector_size(4 * sizeof(double))));

void passBlockPairs(const std::vector<std::vector<double>>& rows, size_t from, double* block,
                    size_t n, double* dots)
{
    passBlockOn<Pair>(rows, from, block, n, dots);
}

/// The same with four lanes, where the processor has them: separate
/// products and sums (no fused multiply-add), so the same bits.
__attribute__((target("avx2"))) void passBlockQuads(const std::vector<std::vector<double>>& rows,
                                                    size_t from, double* block, size_t n,
                                                    double* dots)
{
    passBlockOn<Quad>(rows, from, block, n, dots);
}

bool hasQuads()
{
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

/// w[j] += c row[j] for j < count, each the product and the sum of the
/// plain loop, the lanes of V at a time.
template <typename V>
inline __attribute__((always_inline)) void
addMultipleOn(double* __restrict w, const double* __restrict row, double c, size_t count)
{
    constexpr size_t LANES = sizeof(V) / sizeof(double);
    size_t j = 0;
    for (; j + LANES <= count; j += LANES)
    {
        V wj;
        V rj;
        std::memcpy(&wj, w + j, sizeof(V));
        std::memcpy(&rj, row + j, sizeof(V));
        wj += c * rj;
        std::memcpy(w + j, &wj, sizeof(V));
    }
    for (; j < count; ++j)
    {
        w[j] += c * row[j];
    }
}

void addMultiplePairs(double* w, const double* row, double c, size_t count)
{
    addMultipleOn<Pair>(w, row, c, count);
}

__attribute__((target("avx2"))) void addMultipleQuads(double* w, const double* row, double c,
                                                      size_t count)
{
    addMultipleOn<Quad>(w, row, c, count);
}

} // namespace

void NMEdgeBasis::passOn(Trial& trial, size_t from) const
{
    const size_t n = _base.size();
    for (size_t j = from; j < _basis.size(); ++j)
    {
        trial.coefficients[j] += projectOff(_basis[j].data(), trial.residual.data(), n);
    }
}

void NMEdgeBasis::passOnBlocks(const std::vector<Trial*>& trials, size_t from)
{
    const size_t n = _base.size();
    const size_t rows = (from < _basis.size()) ? _basis.size() - from : 0;
    if (0 == rows)
    {
        return;
    }
    _block.resize(n * BLOCK);
    _blockDots.resize(rows * BLOCK);
    for (size_t start = 0; start < trials.size(); start += BLOCK)
    {
        const size_t count = std::min(BLOCK, trials.size() - start);
        // Lanes without an edge hold zeros, which stay zeros.
        std::fill(_block.begin(), _block.end(), 0.0);
        for (size_t w = 0; w < count; ++w)
        {
            const std::vector<double>& r = trials[start + w]->residual;
            for (size_t i = 0; i < n; ++i)
            {
                _block[i * BLOCK + w] = r[i];
            }
        }
        if (hasQuads())
        {
            passBlockQuads(_basis, from, _block.data(), n, _blockDots.data());
        }
        else
        {
            passBlockPairs(_basis, from, _block.data(), n, _blockDots.data());
        }
        for (size_t w = 0; w < count; ++w)
        {
            Trial& trial = *trials[start + w];
            for (size_t i = 0; i < n; ++i)
            {
                trial.residual[i] = _block[i * BLOCK + w];
            }
            for (size_t j = 0; j < rows; ++j)
            {
                trial.coefficients[from + j] += _blockDots[j * BLOCK + w];
            }
        }
    }
}

double NMEdgeBasis::residualNorm(const Trial& trial)
{
    double norm2 = 0;
    for (double x : trial.residual)
    {
        norm2 += x * x;
    }
    return std::sqrt(norm2);
}

bool NMEdgeBasis::endsAfterFirstPass(Trial& trial, double inSpanLimit) const
{
    // Each step of a pass takes a projection off the residual, which cannot
    // make it longer but for rounding: past the first pass, the residual
    // stays below its length then, times the allowance.
    if (inSpanLimit < 0)
    {
        return false;
    }
    const double first = residualNorm(trial);
    const double allowance =
        1.0 + 4.0 * static_cast<double>((_basis.size() + 1) * (_base.size() + 2)) * UNIT_ROUNDOFF;
    if (first * allowance <= inSpanLimit)
    {
        trial.distance = first;
        return true;
    }
    return false;
}

void NMEdgeBasis::measure(const EvalPoint& z, double inSpanLimit)
{
    // Two passes of modified Gram-Schmidt keep the residual accurate.
    startTrial(_trial, z);
    passOn(_trial);
    if (endsAfterFirstPass(_trial, inSpanLimit))
    {
        return;
    }
    passOn(_trial);
    _trial.distance = residualNorm(_trial);
    _trial.complete = true;
}

void NMEdgeBasis::measureBatch(const std::vector<const EvalPoint*>& zs, double inSpanLimit)
{
    if (_batch.size() < zs.size())
    {
        _batch.resize(zs.size());
    }
    std::vector<Trial*> pending;
    for (size_t i = 0; i < zs.size(); ++i)
    {
        startTrial(_batch[i], *zs[i]);
        pending.push_back(&_batch[i]);
    }
    passOnBlocks(pending);
    std::vector<Trial*> second;
    for (Trial* trial : pending)
    {
        if (!endsAfterFirstPass(*trial, inSpanLimit))
        {
            second.push_back(trial);
        }
    }
    passOnBlocks(second);
    for (Trial* trial : second)
    {
        trial->distance = residualNorm(*trial);
        trial->complete = true;
    }
}

void NMEdgeBasis::firstPasses(const std::vector<const EvalPoint*>& zs)
{
    if (_batch.size() < zs.size())
    {
        _batch.resize(zs.size());
    }
    std::vector<Trial*> trials;
    for (size_t i = 0; i < zs.size(); ++i)
    {
        startTrial(_batch[i], *zs[i]);
        _batch[i].passed = _basis.size();
        _batch[i].resets = _resets;
        trials.push_back(&_batch[i]);
    }
    passOnBlocks(trials);
}

void NMEdgeBasis::completeMeasure(size_t i, double inSpanLimit)
{
    std::swap(_trial, _batch[i]);
    if (_trial.resets != _resets)
    {
        // Another base: the edge from the start, as `startTrial` makes it.
        _trial.residual.resize(_base.size());
        _trial.edgeNorm2 = 0;
        for (size_t c = 0; c < _base.size(); ++c)
        {
            _trial.residual[c] = _trial.point[c] - _base[c];
            _trial.edgeNorm2 += _trial.residual[c] * _trial.residual[c];
        }
        _trial.coefficients.assign(_basis.size(), 0.0);
        _trial.passed = 0;
        _trial.resets = _resets;
    }
    // The first pass through the edges kept since.
    _trial.coefficients.resize(_basis.size(), 0.0);
    _trial.inverseRowDone = false;
    _trial.complete = false;
    passOn(_trial, _trial.passed);
    _trial.passed = _basis.size();
    if (endsAfterFirstPass(_trial, inSpanLimit))
    {
        return;
    }
    passOn(_trial);
    _trial.distance = residualNorm(_trial);
    _trial.complete = true;
}

void NMEdgeBasis::takeMeasure(size_t i)
{
    std::swap(_trial, _batch[i]);
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
        _kept.push_back({_trial.point, _trial.edgeNorm2, norm, _trial.inverseRowNorm2});
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
    if (_inverseValid && _inverseNorm2 > 0 && tolerance > slack)
    {
        // sqrt(k) / ||R^-1||_F overstates 1 / ||R^-1||_2 by up to sqrt(k),
        // which leaves a simplex flat in a few directions unsure against a
        // tolerance far above rounding (the search's). The stored R^-1 is
        // that of R up to a relative error of about k u ||R||_F ||R^-1||_F,
        // covered here beside the allowance and slack of the other bounds.
        const double inverseError = 8 * k * UNIT_ROUNDOFF * edgeNorm * std::sqrt(_inverseNorm2);
        const double wanted = allowance * allowance * (1.0 + inverseError) / (tolerance - slack);
        if (inverseError < 0.5 && std::isfinite(wanted) && inverseNormFromBelow(wanted) > wanted)
        {
            return Decision::RANK_DEFICIENT;
        }
    }
    return Decision::UNSURE;
}

double NMEdgeBasis::inverseNormFromBelow(double wanted) const
{
    const size_t k = _inverse.size();
    if (0 == k)
    {
        return 0;
    }
    // From the longest row of R^-1, at least ||R^-1||_F / sqrt(k) long: the
    // first round already matches the bound from the Frobenius norm.
    size_t longest = 0;
    double longest2 = -1;
    for (size_t i = 0; i < k; ++i)
    {
        double row2 = 0;
        for (double x : _inverse[i])
        {
            row2 += x * x;
        }
        if (row2 > longest2)
        {
            longest2 = row2;
            longest = i;
        }
    }
    std::vector<double> u(k, 0.0);
    std::vector<double> v(k, 0.0);
    std::copy(_inverse[longest].begin(), _inverse[longest].end(), u.begin());

    // Each sum has at most k terms: a computed product R^-1 u is within
    // gamma |R^-1| |u| of the exact one, of length at most
    // gamma ||R^-1||_F ||u||, and each computed length within 1 +- gamma.
    const double gamma = 4.0 * static_cast<double>(k + 2) * UNIT_ROUNDOFF;
    const double frobenius = std::sqrt(_inverseNorm2) * (1.0 + gamma);
    const auto length = [](const std::vector<double>& x)
    {
        double x2 = 0;
        for (double xi : x)
        {
            x2 += xi * xi;
        }
        return std::sqrt(x2);
    };
    constexpr size_t ROUNDS = 30;
    double best = 0;
    double last = 0;
    for (size_t round = 0; round < ROUNDS; ++round)
    {
        for (size_t i = 0; i < k; ++i)
        {
            const std::vector<double>& row = _inverse[i];
            double vi = 0;
            for (size_t j = 0; j <= i; ++j)
            {
                vi += row[j] * u[j];
            }
            v[i] = vi;
        }
        const double uLength = length(u);
        const double vLength = length(v);
        if (!(uLength > 0) || !std::isfinite(vLength))
        {
            break;
        }
        const double bound = vLength / uLength * (1.0 - 4.0 * gamma) - gamma * frobenius;
        best = std::max(best, bound);
        if (best > wanted)
        {
            break;
        }
        // The growth slows down near ||R^-1||_2: a few more rounds would not
        // decide either.
        if (round >= 3 && !(bound > last * (1.0 + 1e-3)))
        {
            break;
        }
        last = bound;
        // u = R^-T v, scaled to length one.
        std::fill(u.begin(), u.end(), 0.0);
        for (size_t i = 0; i < k; ++i)
        {
            const std::vector<double>& row = _inverse[i];
            const double vi = v[i];
            for (size_t j = 0; j <= i; ++j)
            {
                u[j] += row[j] * vi;
            }
        }
        const double scale = length(u);
        if (!(scale > 0) || !std::isfinite(scale))
        {
            break;
        }
        for (double& uj : u)
        {
            uj /= scale;
        }
    }
    return best;
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
    const auto addMultiple = hasQuads() ? addMultipleQuads : addMultiplePairs;
    for (size_t i = 0; i < k; ++i)
    {
        addMultiple(w.data(), _inverse[i].data(), _trial.coefficients[i], i + 1);
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
