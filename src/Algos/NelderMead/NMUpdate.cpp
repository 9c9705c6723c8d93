#include "Algos/NelderMead/NMUpdate.hpp"

namespace QARNO_4_0_0
{

NMUpdate::NMUpdate(const Step* parentStep) : Step(parentStep)
{
    init();
}

NMUpdate::~NMUpdate() = default;

void NMUpdate::init()
{
    setName(getAlgoName() + "Update");
    verifyParentNotNull();
}

} // namespace QARNO_4_0_0
