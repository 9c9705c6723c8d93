#include "Math/RNG.hpp"

#include <array>
#include <cmath>

#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

uint32_t RNG::_x = RNG::x_def;
uint32_t RNG::_y = RNG::y_def;
uint32_t RNG::_z = RNG::z_def;
int RNG::_s = 0;

namespace
{

const char* const FILE_LONG = "src/Math/RNG";

// The largest 32-bit number, as the divisor that maps a draw into [0, 1].
const double RAND_MAX_32 = 4294967295.0;

// Jumping ahead.
//
// One step of the generator only shifts and xors the three words, so it is a
// linear map M on the 96-bit state seen as a vector over GF(2). n steps are
// M^n, and M^n is the product of the M^(2^k) for the bits k set in n. The 64
// matrices M^(2^k) are built once, on first use, by repeated squaring; a jump
// then costs one matrix-vector product per set bit of n (at most 64 products
// of 96 x 3 word operations) instead of n steps.

// A state: the words x, y, z; bit j of the vector is bit j % 32 of word j / 32.
using State = std::array<uint32_t, 3>;
constexpr int NB_BITS = 96;

// A 96 x 96 matrix over GF(2), stored by columns: column j is the image of
// the unit vector of bit j.
using BitMatrix = std::array<State, NB_BITS>;

// One step of the generator on a state (the same three steps as `RNG::rand`).
State step(const State& v)
{
    uint32_t t = v[0] ^ (v[0] << 16);
    t ^= t >> 5;
    t ^= t << 1;
    return State{v[1], v[2], t ^ v[1] ^ v[2]};
}

State apply(const BitMatrix& m, const State& v)
{
    State r{0, 0, 0};
    for (int j = 0; j < NB_BITS; ++j)
    {
        if ((v[j / 32] >> (j % 32)) & 1u)
        {
            r[0] ^= m[j][0];
            r[1] ^= m[j][1];
            r[2] ^= m[j][2];
        }
    }
    return r;
}

// M^(2^k) for k = 0 .. 63.
using JumpTable = std::array<BitMatrix, 64>;

JumpTable buildJumpTable()
{
    JumpTable table;
    for (int j = 0; j < NB_BITS; ++j)
    {
        State unit{0, 0, 0};
        unit[j / 32] = 1u << (j % 32);
        table[0][j] = step(unit);
    }
    for (size_t k = 1; k < table.size(); ++k)
    {
        // Column j of A * A is A applied to column j of A.
        for (int j = 0; j < NB_BITS; ++j)
        {
            table[k][j] = apply(table[k - 1], table[k - 1][j]);
        }
    }
    return table;
}

const JumpTable& jumpTable()
{
    static const JumpTable table = buildJumpTable();
    return table;
}

} // namespace

void RNG::reset()
{
    _x = x_def;
    _y = y_def;
    _z = z_def;
    _s = 0;
}

uint32_t RNG::rand()
{
    uint32_t t = _x ^ (_x << 16);
    t ^= t >> 5;
    t ^= t << 1;
    _x = _y;
    _y = _z;
    _z = t ^ _x ^ _y;
    return _z;
}

void RNG::advance(uint64_t n)
{
    if (n == 0)
    {
        return;
    }
    const JumpTable& table = jumpTable();
    State v{_x, _y, _z};
    for (size_t k = 0; n != 0; ++k, n >>= 1)
    {
        if (n & 1u)
        {
            v = apply(table[k], v);
        }
    }
    _x = v[0];
    _y = v[1];
    _z = v[2];
}

void RNG::setSeed(int s)
{
    if (s < 0)
    {
        throw Exception(FILE_LONG, __LINE__,
                        "QARNO::RNG::setSeed(): invalid seed. Seed should be in [0,INT_MAX]");
    }
    if (s != _s)
    {
        _s = s;
        _x = x_def;
        _y = y_def;
        _z = z_def;
    }
    // The same state as s draws of `rand`.
    advance(static_cast<uint64_t>(s));
}

double RNG::normalRand(double mean, double variance)
{
    // Polar method; the second normal number of each pair is not used.
    double u1;
    double u2;
    double s;
    do
    {
        const uint32_t r1 = rand();
        const uint32_t r2 = rand();
        u1 = (2.0 * r1) / RAND_MAX_32 - 1.0;
        u2 = (2.0 * r2) / RAND_MAX_32 - 1.0;
        s = u1 * u1 + u2 * u2;
    } while (s >= 1.0);
    // s is never 0: 2 r / (2^32 - 1) cannot be 1 for an integer r.
    return mean + (std::pow(variance, 0.5) * u1) * std::sqrt(-2.0 * std::log(s) / s);
}

double RNG::normalRandMean0(double variance, int n)
{
    const double a = std::pow(3.0 * variance, 0.5);
    double sum = 0.0;
    for (int i = 0; i < n; ++i)
    {
        const uint32_t r = rand();
        sum = ((r * 2.0 * a) / RAND_MAX_32 - a) + sum;
    }
    return sum / std::pow(static_cast<double>(n), 0.5);
}

} // namespace QARNO_4_0_0
