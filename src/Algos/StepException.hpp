#ifndef QARNO_ALGOS_STEPEXCEPTION_HPP
#define QARNO_ALGOS_STEPEXCEPTION_HPP

#include <cstddef>
#include <string>

#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

class Step;

/// A misuse of the step tree. When a step is given, its call stack is
/// written to standard output while the exception is built, so the report
/// shows where in the tree the misuse happened.
class StepException : public Exception
{
public:
    StepException(const std::string& file, size_t line, const std::string& msg, const Step* step);
};

} // namespace QARNO_4_0_0

#endif
