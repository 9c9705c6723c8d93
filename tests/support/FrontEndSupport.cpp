#include "support/FrontEndSupport.hpp"

#include <csignal>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

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

RunningProgram::RunningProgram(const std::string& program, const std::vector<std::string>& args,
                               const std::string& dir)
    : _pid(-1), _streams(std::make_unique<TempDir>())
{
    const std::string out = _streams->file("out");
    const std::string err = _streams->file("err");
    std::vector<std::string> words{program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& word : words)
    {
        argv.push_back(&word[0]);
    }
    argv.push_back(nullptr);

    const pid_t pid = ::fork();
    if (0 == pid)
    {
        ::setpgid(0, 0);
        for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
        {
            std::signal(sig, SIG_DFL);
        }
        const int in = ::open("/dev/null", O_RDONLY);
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || o < 0 || e < 0 || ::dup2(in, 0) < 0 || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0 ||
            0 != ::chdir(dir.c_str()))
        {
            _exit(126);
        }
        ::execv(program.c_str(), argv.data());
        _exit(127);
    }
    if (pid < 0)
    {
        throw std::runtime_error("fork failed");
    }
    // Set here too: the test may signal the group before the child ran.
    ::setpgid(pid, pid);
    _pid = pid;
}

RunningProgram::~RunningProgram()
{
    if (_pid > 0)
    {
        ::kill(static_cast<pid_t>(-_pid), SIGKILL);
        ::waitpid(static_cast<pid_t>(_pid), nullptr, 0);
    }
}

ProcessResult RunningProgram::finish(double maxSeconds)
{
    ProcessResult result;
    int status = 0;
    pid_t done = 0;
    for (double waited = 0; _pid > 0; waited += 0.01)
    {
        done = ::waitpid(static_cast<pid_t>(_pid), &status, WNOHANG);
        if (0 != done)
        {
            break;
        }
        if (waited >= maxSeconds)
        {
            result.timedOut = true;
            ::kill(static_cast<pid_t>(-_pid), SIGKILL);
            done = ::waitpid(static_cast<pid_t>(_pid), &status, 0);
            break;
        }
        ::usleep(10000);
    }
    _pid = -1;
    if (done > 0 && WIFEXITED(status))
    {
        result.exitStatus = WEXITSTATUS(status);
    }
    if (done > 0 && WIFSIGNALED(status))
    {
        result.termSignal = WTERMSIG(status);
    }
    result.out = readTextFile(_streams->file("out"));
    result.err = readTextFile(_streams->file("err"));
    return result;
}

bool waitForFile(const std::string& path, double maxSeconds)
{
    for (double waited = 0; waited < maxSeconds; waited += 0.01)
    {
        if (0 == ::access(path.c_str(), F_OK))
        {
            return true;
        }
        ::usleep(10000);
    }
    return 0 == ::access(path.c_str(), F_OK);
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
           "BB_EXE " +
           testBBExe() +
           "\n"
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
