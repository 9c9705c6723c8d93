// The parameter file of the qarno program as a whole: read into the seven
// parameter sets as the main step reads it, checked, and displayed as the
// highest display degree shows it. Nothing is run: a fuzzed file must not
// start programs or write files.

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
    static const QarnoFuzz::ScratchFile file("param.txt");
    resetProcessState();
    QarnoFuzz::quietOutputQueue();
    file.write(QarnoFuzz::textOf(data, size));
    AllParameters params;
    try
    {
        const std::string& path = file.path();
        params.setAttributeValue("PROBLEM_DIR", path.substr(0, path.rfind('/') + 1));
        params.read(path, false, false);
        params.checkAndComply();
        std::ostringstream shown;
        params.display(shown, false);
    }
    catch (const Exception&)
    {
    }
    return 0;
}
