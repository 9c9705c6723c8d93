#include "teskora/Diagnostics.hpp"

#include <iostream>

namespace TESKORA
{

namespace
{
std::ostream* diagStream = nullptr;
}

std::ostream& diag_stream()
{
    return diagStream ? *diagStream : std::cout;
}

std::ostream* set_diag_stream(std::ostream* stream)
{
    std::ostream* previous = diagStream ? diagStream : &std::cout;
    diagStream = (stream == &std::cout) ? nullptr : stream;
    return previous;
}

} // namespace TESKORA
