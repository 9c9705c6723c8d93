#include "Eval/BBInput.hpp"

namespace QARNO_4_0_0
{

BBInput::BBInput(const BBInputTypeList& /*bbInputType*/, const Point& /*x*/) {}

void BBInput::display(std::ostream& /*out*/) const {}

} // namespace QARNO_4_0_0
