#include "Algos/CommandLine.hpp"

#include <exception>
#include <iostream>
#include <string>

#include "Algos/MainStep.hpp"
#include "Algos/UserTerminateException.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/AllParameters.hpp"
#include "Param/DisplayParameters.hpp"
#include "Util/Utils.hpp"
#include "Util/WriteFailures.hpp"

namespace QARNO_4_0_0
{

namespace
{

/// Shows what is queued; a failure of the display itself is only reported.
void flushOutput() noexcept
{
    try
    {
        OutputQueue::getInstance()->flush();
    }
    catch (const std::exception& e)
    {
        std::cerr << "Error: " << e.what() << std::endl;
    }
    catch (...)
    {
        std::cerr << "Error: output could not be shown" << std::endl;
    }
}

/// The display degree a texts-only invocation shows at: the default of
/// DISPLAY_DEGREE (the queue shows everything, its own debug lines included,
/// until something sets it).
void useDefaultDisplayDegree(const MainStep& mainStep)
{
    const auto& allParams = mainStep.getAllParameters();
    if (nullptr != allParams)
    {
        OutputQueue::getInstance()->setDisplayDegree(
            allParams->get_display_params()->getSpValue<int>("DISPLAY_DEGREE", false, true));
    }
}

/// A run that failed before it configured the output shows what it queued
/// at the default display degree.
void flushFailedRun(const MainStep& mainStep) noexcept
{
    try
    {
        if (!OutputQueue::hasBeenInitialized())
        {
            useDefaultDisplayDegree(mainStep);
        }
    }
    catch (...)
    {
        // The degree stays as it was: what is queued is shown all the same.
    }
    flushOutput();
}

/// 0 when every file the run was asked to write was written; otherwise 1,
/// after naming the files that were not (each was reported when it failed).
int reportWriteFailures()
{
    const auto& failed = WriteFailures::files();
    if (failed.empty())
    {
        return 0;
    }
    std::cerr << "Error: the run could not write";
    for (size_t i = 0; i < failed.size(); ++i)
    {
        std::cerr << (i == 0 ? " " : ", ") << failed[i];
    }
    std::cerr << std::endl;
    return 1;
}

int run(MainStep& mainStep, const std::string& paramFile)
{
    // The run sets the display degree from its parameter file. Until then
    // the queue keeps every record, so that the block starts queued before
    // the degree is known ("Start step Main") are there for the block ends
    // that a higher degree shows.
    try
    {
        mainStep.setParamFileName(paramFile);
        mainStep.start();
        mainStep.run();
        mainStep.end();
        flushOutput();
        return reportWriteFailures();
    }
    catch (const UserTerminateException& e)
    {
        flushFailedRun(mainStep);
        std::cerr << "Error: the run was stopped by the user: " << e.what() << std::endl;
    }
    catch (const std::exception& e)
    {
        flushFailedRun(mainStep);
        std::cerr << "Error: " << e.what() << std::endl;
    }
    catch (...)
    {
        flushFailedRun(mainStep);
        std::cerr << "Error: the run ended on an unknown exception" << std::endl;
    }
    return 1;
}

} // namespace

int runCommandLine(int argc, char** argv, MainStep& mainStep)
{
    const char* exeName = (argc > 0 && nullptr != argv && nullptr != argv[0]) ? argv[0] : "qarno";
    int status = 1;
    try
    {
        const std::string first = (argc >= 2 && nullptr != argv[1]) ? argv[1] : "";
        if (!first.empty() && '-' != first[0] && 2 == argc)
        {
            return run(mainStep, first);
        }

        useDefaultDisplayDegree(mainStep);
        if (first.empty())
        {
            mainStep.displayUsage(exeName);
        }
        else if ('-' != first[0])
        {
            mainStep.displayUsage(exeName);
        }
        else
        {
            const std::string option = upperCopy(first);
            if ("-I" == option && 2 == argc)
            {
                mainStep.displayInfo();
                status = 0;
            }
            else if ("-H" == option && argc <= 3)
            {
                flushOutput();
                mainStep.displayHelp((3 == argc) ? upperCopy(argv[2]) : std::string(), false);
                status = 0;
            }
            else if ("-V" == option && 2 == argc)
            {
                mainStep.displayVersion();
                status = 0;
            }
            else if ("-U" == option && 2 == argc)
            {
                mainStep.displayUsage(exeName);
                status = 0;
            }
            else
            {
                mainStep.displayUsage(exeName);
            }
        }
    }
    catch (const std::exception& e)
    {
        flushOutput();
        std::cerr << "Error: " << e.what() << std::endl;
        return 1;
    }
    flushOutput();
    return status;
}

} // namespace QARNO_4_0_0
