// A parameter file read into the store of parameter entries, line by line:
// comments, keywords, values, repeated keywords, lines of any length.

#include <cstdint>
#include <string>

#include "Algos/ProcessState.hpp"
#include "FuzzSupport.hpp"
#include "Param/Parameters.hpp"
#include "Util/Exception.hpp"

using namespace QARNO_4_0_0;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    QarnoFuzz::silenceStreams();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QarnoFuzz::ScratchFile file("param.txt");
    resetProcessState();
    QarnoFuzz::quietOutputQueue();
    file.write(QarnoFuzz::textOf(data, size));
    try
    {
        Parameters::readParamFileAndSetEntries(file.path(), false, true);
    }
    catch (const Exception&)
    {
    }
    return 0;
}
