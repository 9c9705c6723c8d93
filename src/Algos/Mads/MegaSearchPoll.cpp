#include "Algos/Mads/MegaSearchPoll.hpp"

namespace QARNO_4_0_0
{

MegaSearchPoll::~MegaSearchPoll() = default;

} // namespace QARNO_4_0_0
