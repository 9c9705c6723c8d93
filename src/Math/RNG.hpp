#ifndef QARNO_MATH_RNG_HPP
#define QARNO_MATH_RNG_HPP

#include <cstdint>

namespace QARNO_4_0_0
{

/// The one process-wide random generator of the library.
///
/// Marsaglia's 96-bit xorshift generator ("Xorshift RNGs", Journal of
/// Statistical Software 8(14), 2003, the three-word `xor96` variant) on three
/// unsigned 32-bit words. Every random draw of the optimiser comes from it,
/// on one thread, so a run is reproducible from its seed and from the order
/// of the draws made before.
///
/// The state words are public: the hot-restart file saves and restores them,
/// and the Python module puts them back to the defaults before each run.
///
///     RNG::setSeed(7);            // defaults, then 7 draws
///     uint32_t r = RNG::rand();   // the 8th number of the default sequence
///     double g = RNG::normalRand(0.0, 1.0);
class RNG
{
public:
    RNG() = delete;

    /// The default state, held at load.
    static constexpr uint32_t x_def = 123456789u;
    static constexpr uint32_t y_def = 362436069u;
    static constexpr uint32_t z_def = 521288629u;

    /// The state.
    static uint32_t _x;
    static uint32_t _y;
    static uint32_t _z;
    /// The seed given last to `setSeed` (0 at load).
    static int _s;

    /// The state at load: the default words and a stored seed of 0.
    static void reset();

    /// The next number of the sequence; advances the state.
    static uint32_t rand();

    /// Throws for s < 0 and changes nothing. A seed different from the
    /// stored one restarts from the default state; then the state moves s
    /// numbers ahead. So the same seed given twice advances by s more.
    static void setSeed(int s);

    /// One normal draw (polar method); each attempt takes two numbers.
    static double normalRand(double mean, double variance);

    /// An approximately normal draw of mean 0: the scaled sum of n uniform
    /// draws. n must be positive (n <= 0 draws nothing and gives NaN).
    static double normalRandMean0(double variance, int n);

    /// Moves the state ahead as `n` calls of `rand` would, in time
    /// logarithmic in n.
    static void advance(uint64_t n);
};

} // namespace QARNO_4_0_0

#endif
