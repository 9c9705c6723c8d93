#include "Algos/Mads/SinglePollMethod.hpp"

#include <utility>

namespace QARNO_4_0_0
{

SinglePollMethod::SinglePollMethod(const Step* parentStep) : PollMethodBase(parentStep)
{
    init();
}

SinglePollMethod::~SinglePollMethod() = default;

void SinglePollMethod::init()
{
    setName("Single Poll Method");
    verifyParentNotNull();
}

void SinglePollMethod::generateUnitPollDirections(std::list<Direction>& directions, size_t n) const
{
    directions.clear();
    Direction v(n);
    Direction::computeDirOnUnitSphere(v);
    directions.push_back(std::move(v));
}

} // namespace QARNO_4_0_0
