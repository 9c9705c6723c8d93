// The qarno program: one optimisation from a parameter file, or the help,
// usage, version and notice texts (see Algos/CommandLine.hpp).

#include <exception>
#include <iostream>

#include "Algos/CommandLine.hpp"
#include "Algos/MainStep.hpp"

int main(int argc, char** argv)
{
    try
    {
        QARNO_4_0_0::MainStep mainStep;
        return QARNO_4_0_0::runCommandLine(argc, argv, mainStep);
    }
    catch (const std::exception& e)
    {
        // Building the main step failed: nothing ran.
        std::cerr << "Error: " << e.what() << std::endl;
    }
    return 1;
}
