#ifndef QARNO_MATH_RANDOMPICKUP_HPP
#define QARNO_MATH_RANDOMPICKUP_HPP

#include <cstddef>

#include "Util/Uncopyable.hpp"

namespace QARNO_4_0_0
{

/// Draws the indices 0 .. n-1 without replacement, from the process-wide
/// generator `RNG`.
///
/// The indices not drawn yet are the first entries of the array; a drawn
/// index is swapped behind them, so a draw costs one number of the stream
/// and constant time.
///
///     RandomPickup rp(5);
///     size_t i = rp.pickup();   // one of 0 .. 4
///
/// Once all n are drawn, `pickup` returns 0 without drawing: callers count
/// their calls.
class RandomPickup : private Uncopyable
{
public:
    explicit RandomPickup(size_t n);
    virtual ~RandomPickup();

    /// Makes all n indices available again.
    void reset();

    /// The next index; 0 without drawing when none is left.
    size_t pickup();

private:
    size_t _n0;    ///< initial count
    size_t _n;     ///< indices still available
    size_t* _elts; ///< the first _n entries are the available indices
};

} // namespace QARNO_4_0_0

#endif
