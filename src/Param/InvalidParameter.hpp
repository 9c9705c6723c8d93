#ifndef QARNO_PARAM_INVALIDPARAMETER_HPP
#define QARNO_PARAM_INVALIDPARAMETER_HPP

#include <string>

#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

/// A parameter value that the checks refuse: thrown by the problem check and
/// by some run checks, so that a caller can tell a bad input from a fault.
/// Its `what()` reads "... Invalid Parameter. <message>".
class InvalidParameter : public Exception
{
public:
    InvalidParameter(const std::string& file, int line, const std::string& msg);
    ~InvalidParameter() override;
};

} // namespace QARNO_4_0_0

#endif
