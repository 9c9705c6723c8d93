#include "Algos/PhaseOne/PhaseOne.hpp"

namespace QARNO_4_0_0
{

PhaseOne::~PhaseOne() = default;

} // namespace QARNO_4_0_0
