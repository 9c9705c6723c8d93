#include "Algos/StepException.hpp"

#include "Algos/Step.hpp"

namespace QARNO_4_0_0
{

StepException::StepException(const std::string& file, size_t line, const std::string& msg,
                             const Step* step)
    : Exception(file, line, msg)
{
    if (nullptr != step)
    {
        step->debugShowCallStack();
    }
}

} // namespace QARNO_4_0_0
