#include "Math/RandomPickup.hpp"

#include "Math/RNG.hpp"

namespace QARNO_4_0_0
{

RandomPickup::RandomPickup(size_t n) : _n0(n), _n(n), _elts(new size_t[n])
{
    for (size_t i = 0; i < n; ++i)
    {
        _elts[i] = i;
    }
}

RandomPickup::~RandomPickup()
{
    delete[] _elts;
}

void RandomPickup::reset()
{
    _n = _n0;
    for (size_t i = 0; i < _n0; ++i)
    {
        _elts[i] = i;
    }
}

size_t RandomPickup::pickup()
{
    if (_n == 0)
    {
        return 0;
    }
    const size_t k = static_cast<size_t>(RNG::rand()) % _n;
    const size_t v = _elts[k];
    if (k < _n - 1)
    {
        _elts[k] = _elts[_n - 1];
        _elts[_n - 1] = v;
    }
    --_n;
    return v;
}

} // namespace QARNO_4_0_0
