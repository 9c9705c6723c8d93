#ifndef QARNO_ALGOS_USERTERMINATEEXCEPTION_HPP
#define QARNO_ALGOS_USERTERMINATEEXCEPTION_HPP

#include <cstddef>
#include <string>

#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

/// Ends a run at once after a second user interrupt; the caller of the main
/// step receives it. Its own kind so that callers can tell it from a failure.
class UserTerminateException : public Exception
{
public:
    UserTerminateException(const std::string& file, size_t line, const std::string& msg);
};

} // namespace QARNO_4_0_0

#endif
