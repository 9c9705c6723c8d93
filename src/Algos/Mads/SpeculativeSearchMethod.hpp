#ifndef QARNO_ALGOS_MADS_SPECULATIVESEARCHMETHOD_HPP
#define QARNO_ALGOS_MADS_SPECULATIVESEARCHMETHOD_HPP

#include "Algos/Mads/SearchMethodSimple.hpp"

namespace QARNO_4_0_0
{

/// Goes further along the move that produced the frame centre: the
/// direction from the frame centre's point of origin to the frame centre,
/// scaled to reach the edge of the frame, is added 1, 2, ...,
/// SPECULATIVE_SEARCH_MAX times to the frame centre. Enabled by
/// SPECULATIVE_SEARCH. A frame centre without an origin (a starting point)
/// gives no point.
class SpeculativeSearchMethod : public SearchMethodSimple
{
public:
    explicit SpeculativeSearchMethod(const Step* parentStep);
    ~SpeculativeSearchMethod() override;

protected:
    void init();
    void generateTrialPointsImp() override;
};

} // namespace QARNO_4_0_0

#endif
