#include "Algos/Mads/SearchMethodBase.hpp"

namespace QARNO_4_0_0
{

SearchMethodBase::SearchMethodBase(const Step* parentStep)
    : Step(parentStep), IterationUtils(this)
{
}

SearchMethodBase::~SearchMethodBase() = default;

} // namespace QARNO_4_0_0
