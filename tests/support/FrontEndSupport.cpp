#include "support/FrontEndSupport.hpp"

#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <unistd.h>
#include <sys/wait.h>

#include "Math/Point.hpp"
#include "Type/BBOutputType.hpp"
#include "support/CacheSupport.hpp"
#include "support/EvaluatorSupport.hpp"
#include "support/TestSupport.hpp"

namespace QarnoTest
{

using namespace QARNO_4_0_0;

ChangeDir::ChangeDir(const std::string& dir) : _previous()
{
    char buffer[4096];
    if (nullptr == ::getcwd(buffer, sizeof(buffer)))
    {
        throw std::runtime_error("getcwd failed");
    }
    _previous = buffer;
    if (0 != ::chdir(dir.c_str()))
    {
        throw std::runtime_error("chdir failed: " + dir);
    }
}

ChangeDir::~ChangeDir()
{
    if (0 != ::chdir(_previous.c_str()))
    {
        // Nothing better to do in a destructor of a test helper.
        std::abort();
    }
}

ProcessResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& dir)
{
    TempDir streams;
    std::string command = "cd " + shellWord(dir) + " && " + shellWord(program);
    for (const auto& arg : args)
    {
        command += " " + shellWord(arg);
    }
    command += " < /dev/null > " + shellWord(streams.file("out")) + " 2> " +
               shellWord(streams.file("err"));
    const int status = std::system(command.c_str());
    ProcessResult result;
    result.exitStatus = (status != -1 && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
    result.out = readTextFile(streams.file("out"));
    result.err = readTextFile(streams.file("err"));
    return result;
}

std::shared_ptr<AllParameters> makeMainStepParameters(const std::string& bbOutputType,
                                                      const std::vector<double>& x0,
                                                      const std::vector<std::string>& lines)
{
    auto params = std::make_shared<AllParameters>();
    params->set_DIMENSION(2);
    if (!x0.empty())
    {
        params->set_X0(Point(makeArray(x0)));
    }
    params->set_BB_OUTPUT_TYPE(stringToBBOutputTypeList(bbOutputType));
    params->set_DISPLAY_DEGREE(2);
    params->set_ADD_SEED_TO_FILE_NAMES(false);
    for (const auto& line : lines)
    {
        params->readParamLine(line);
    }
    return params;
}

std::string testBBParameterFile(const std::string& more)
{
    return "DIMENSION 2\n"
           "X0 ( 1 2 )\n"
           "BB_EXE " + testBBExe() + "\n"
           "BB_OUTPUT_TYPE OBJ PB\n"
           "ADD_SEED_TO_FILE_NAMES no\n"
           "OPPORTUNISTIC_EVAL no\n" +
           more;
}

std::vector<std::string> cachedPointsOf(const std::string& cacheFileText)
{
    std::vector<std::string> points;
    for (const auto& line : linesOf(cacheFileText))
    {
        const size_t close = line.find(')');
        if (0 == line.rfind("(", 0) && std::string::npos != close)
        {
            points.push_back(line.substr(0, close + 1));
        }
    }
    return points;
}

} // namespace QarnoTest
