#include "Algos/PhaseOne/PhaseOne.hpp"

namespace QARNO_4_0_0
{

BBOutputTypeList PhaseOne::_bboutputtypes;

PhaseOne::~PhaseOne() = default;

} // namespace QARNO_4_0_0
