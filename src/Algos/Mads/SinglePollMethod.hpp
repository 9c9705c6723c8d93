#ifndef QARNO_ALGOS_MADS_SINGLEPOLLMETHOD_HPP
#define QARNO_ALGOS_MADS_SINGLEPOLLMETHOD_HPP

#include <cstddef>
#include <list>

#include "Algos/Mads/PollMethodBase.hpp"

namespace QARNO_4_0_0
{

/// Poll method polling along one random unit direction.
class SinglePollMethod : public PollMethodBase
{
public:
    explicit SinglePollMethod(const Step* parentStep);
    ~SinglePollMethod() override;

    void generateUnitPollDirections(std::list<Direction>& directions, size_t n) const override;

private:
    /// Names the step; requires a parent.
    void init();
};

} // namespace QARNO_4_0_0

#endif
