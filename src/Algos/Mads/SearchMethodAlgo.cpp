#include "Algos/Mads/SearchMethodAlgo.hpp"

namespace QARNO_4_0_0
{

SearchMethodAlgo::SearchMethodAlgo(const Step* parentStep) : SearchMethodBase(parentStep) {}

SearchMethodAlgo::~SearchMethodAlgo() = default;

} // namespace QARNO_4_0_0
