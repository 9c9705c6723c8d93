#ifndef QARNO_ALGOS_MADS_DOUBLEPOLLMETHOD_HPP
#define QARNO_ALGOS_MADS_DOUBLEPOLLMETHOD_HPP

#include <cstddef>
#include <list>

#include "Algos/Mads/PollMethodBase.hpp"

namespace QARNO_4_0_0
{

/// Poll method polling along a random unit direction v, then -v.
class DoublePollMethod : public PollMethodBase
{
public:
    explicit DoublePollMethod(const Step* parentStep);
    ~DoublePollMethod() override;

    void generateUnitPollDirections(std::list<Direction>& directions, size_t n) const override;

private:
    /// Names the step; requires a parent.
    void init();
};

} // namespace QARNO_4_0_0

#endif
