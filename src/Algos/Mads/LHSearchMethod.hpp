#ifndef QARNO_ALGOS_MADS_LHSEARCHMETHOD_HPP
#define QARNO_ALGOS_MADS_LHSEARCHMETHOD_HPP

#include "Algos/Mads/SearchMethodSimple.hpp"
#include "Math/ArrayOfDouble.hpp"
#include "Math/Point.hpp"

namespace QARNO_4_0_0
{

/// Proposes a Latin-hypercube sample of the variable box: p0 points at the
/// first iteration of a run (k = 0), pi points at every later one, both
/// from LH_SEARCH. A coordinate without a bound gets one around the frame
/// centre, in proportion to the frame size (`completeBounds`).
class LHSearchMethod : public SearchMethodSimple
{
public:
    explicit LHSearchMethod(const Step* parentStep);
    ~LHSearchMethod() override;

    /// The factor that, times ten frame sizes, gives the half-width of the
    /// sampling range of an unbounded coordinate.
    static constexpr double UNBOUNDED_RANGE_FACTOR = 5.471161321778275;

    /// Replaces each undefined lower (upper) bound by
    /// c_i - (10 x frameSize_i) x factor (c_i + ...); defined bounds stay.
    static void completeBounds(ArrayOfDouble& lowerBound, ArrayOfDouble& upperBound,
                               const Point& frameCenter, const ArrayOfDouble& frameSize);

protected:
    void init();
    void generateTrialPointsImp() override;
};

} // namespace QARNO_4_0_0

#endif
