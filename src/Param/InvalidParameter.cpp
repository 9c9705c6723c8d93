#include "Param/InvalidParameter.hpp"

namespace QARNO_4_0_0
{

InvalidParameter::InvalidParameter(const std::string& file, int line, const std::string& msg)
    : Exception(file, static_cast<size_t>(line < 0 ? 0 : line), msg)
{
    _typeMsg = "Invalid Parameter.";
}

InvalidParameter::~InvalidParameter() = default;

} // namespace QARNO_4_0_0
