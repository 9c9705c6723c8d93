#include "Algos/UserTerminateException.hpp"

namespace QARNO_4_0_0
{

UserTerminateException::UserTerminateException(const std::string& file, size_t line,
                                               const std::string& msg)
    : Exception(file, line, msg)
{
}

} // namespace QARNO_4_0_0
