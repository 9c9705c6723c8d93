#include "Math/LHS.hpp"

#include <cstdint>
#include <limits>
#include <string>
#include <utility>

#include "Math/RNG.hpp"
#include "Math/RandomPickup.hpp"
#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

namespace
{

const char* const FILE_LONG = "src/Math/LHS";

} // namespace

LHS::LHS(size_t n, size_t p, const ArrayOfDouble& lowerBound, const ArrayOfDouble& upperBound)
    : _n(n), _p(p), _lowerBound(lowerBound), _upperBound(upperBound)
{
    if (!_lowerBound.isComplete())
    {
        throw Exception(FILE_LONG, __LINE__,
                        "LHS Lower bound needs to be completely defined. Values given: " +
                            _lowerBound.display());
    }
    if (!_upperBound.isComplete())
    {
        throw Exception(FILE_LONG, __LINE__,
                        "LHS Upper bound needs to be completely defined. Values given: " +
                            _upperBound.display());
    }
}

std::vector<size_t> LHS::Permutation(size_t p)
{
    std::vector<size_t> perm;
    perm.reserve(p);
    RandomPickup rp(p);
    for (size_t j = 0; j < p; ++j)
    {
        perm.push_back(rp.pickup() + 1);
    }
    return perm;
}

std::vector<Point> LHS::Sample() const
{
    // The permutations hold 1 .. p in 32 bits: half the memory of size_t
    // entries for the n x p table.
    if (_p > std::numeric_limits<uint32_t>::max())
    {
        throw Exception(FILE_LONG, __LINE__,
                        "LHS: too many points (" + std::to_string(_p) +
                            "); at most 4294967295 points can be sampled");
    }

    // Same draws as n calls of Permutation(p): a reset pickup is a fresh one.
    std::vector<std::vector<uint32_t>> perms(_n);
    RandomPickup rp(_p);
    for (size_t i = 0; i < _n; ++i)
    {
        rp.reset();
        perms[i].reserve(_p);
        for (size_t j = 0; j < _p; ++j)
        {
            perms[i].push_back(static_cast<uint32_t>(rp.pickup() + 1));
        }
    }

    std::vector<Point> samples;
    samples.reserve(_p);
    const Double p(static_cast<double>(_p));
    for (size_t j = 0; j < _p; ++j)
    {
        Point point(_n);
        for (size_t i = 0; i < _n; ++i)
        {
            const double u = RNG::rand() / 4294967295.0;
            const Double t(perms[i][j] - u);
            const Double q = t / p;
            const Double v = q * (_upperBound[i] - _lowerBound[i]);
            point[i] = _lowerBound[i] + v;
        }
        samples.push_back(std::move(point));
    }
    return samples;
}

} // namespace QARNO_4_0_0
