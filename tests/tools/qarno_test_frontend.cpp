// The qarno command line over a main step whose algorithms are the test
// algorithm of tests/support/MainStepSupport.hpp: the end-to-end tests run
// it as a child process, as a user runs qarno.

#include <exception>
#include <iostream>

#include "Algos/CommandLine.hpp"
#include "support/MainStepSupport.hpp"

int main(int argc, char** argv)
{
    try
    {
        QarnoTest::TestMainStep mainStep;
        return QARNO_4_0_0::runCommandLine(argc, argv, mainStep);
    }
    catch (const std::exception& e)
    {
        std::cerr << "Error: " << e.what() << std::endl;
    }
    return 1;
}
