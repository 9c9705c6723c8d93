// Parameter lines as the Python module and the hot-restart dialog hand them
// over, one per line of the input, then the checks of the whole set.

#include <cstdint>
#include <sstream>
#include <string>

#include "Algos/ProcessState.hpp"
#include "FuzzSupport.hpp"
#include "Param/AllParameters.hpp"
#include "Util/Exception.hpp"

using namespace QARNO_4_0_0;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    QarnoFuzz::silenceStreams();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The store of parameter entries is process-wide.
    resetProcessState();
    QarnoFuzz::quietOutputQueue();
    AllParameters params;
    std::istringstream lines(QarnoFuzz::textOf(data, size));
    std::string line;
    while (std::getline(lines, line))
    {
        try
        {
            params.readParamLine(line);
        }
        catch (const Exception&)
        {
        }
    }
    try
    {
        params.checkAndComply();
    }
    catch (const Exception&)
    {
    }
    return 0;
}
