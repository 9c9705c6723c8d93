#include "Algos/Mads/DoublePollMethod.hpp"

#include <utility>

namespace QARNO_4_0_0
{

DoublePollMethod::DoublePollMethod(const Step* parentStep) : PollMethodBase(parentStep)
{
    init();
}

DoublePollMethod::~DoublePollMethod() = default;

void DoublePollMethod::init()
{
    setName("Double Poll Method");
    verifyParentNotNull();
}

void DoublePollMethod::generateUnitPollDirections(std::list<Direction>& directions, size_t n) const
{
    directions.clear();
    Direction v(n);
    Direction::computeDirOnUnitSphere(v);
    directions.push_back(v);
    v *= -1.0;
    directions.push_back(std::move(v));
}

} // namespace QARNO_4_0_0
