#ifndef QARNO_ALGOS_MADS_NP1UNIPOLLMETHOD_HPP
#define QARNO_ALGOS_MADS_NP1UNIPOLLMETHOD_HPP

#include <cstddef>
#include <list>

#include "Algos/Mads/PollMethodBase.hpp"

namespace QARNO_4_0_0
{

/// Poll method polling along n+1 directions of a regular simplex built from the Householder
/// reflection of a random unit direction: unit length, pairwise inner product -1/n, sum zero.
class NP1UniPollMethod : public PollMethodBase
{
public:
    explicit NP1UniPollMethod(const Step* parentStep);
    ~NP1UniPollMethod() override;

    void generateUnitPollDirections(std::list<Direction>& directions, size_t n) const override;

private:
    /// Names the step; requires a parent.
    void init();
};

} // namespace QARNO_4_0_0

#endif
