#ifndef QARNO_TESTS_SUPPORT_FRONTENDSUPPORT_HPP
#define QARNO_TESTS_SUPPORT_FRONTENDSUPPORT_HPP

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Param/AllParameters.hpp"
#include "support/TestSupport.hpp"

namespace QarnoTest
{

/// Makes `dir` the working directory for the life of the object.
class ChangeDir
{
public:
    explicit ChangeDir(const std::string& dir);
    ~ChangeDir();
    ChangeDir(const ChangeDir&) = delete;
    ChangeDir& operator=(const ChangeDir&) = delete;

private:
    std::string _previous;
};

/// What a child process left: its exit status (-1 when it did not exit)
/// or the signal that ended it, and its two streams.
struct ProcessResult
{
    int exitStatus = -1;
    int termSignal = 0;
    /// Still running when the wait gave up: it was killed.
    bool timedOut = false;
    std::string out;
    std::string err;
};

/// Runs `program` with `args` in `dir` (standard input empty), and waits.
ProcessResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& dir);

/// A program started by `startProgram`, in a process group of its own (as
/// a shell starts a job), its streams in files.
class RunningProgram
{
public:
    /// Starts `program` with `args` in `dir`, standard input empty, the
    /// signals at their default disposition.
    RunningProgram(const std::string& program, const std::vector<std::string>& args,
                   const std::string& dir);
    /// Kills what still runs.
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    long pid() const { return _pid; }

    /// Waits for the end, at most `maxSeconds` (a guard against a hang, not
    /// a measure): a program still running then is killed, with `timedOut`.
    ProcessResult finish(double maxSeconds);

private:
    long _pid;
    std::unique_ptr<TempDir> _streams;
};

/// Waits until `path` exists, at most `maxSeconds`; whether it does.
bool waitForFile(const std::string& path, double maxSeconds);

/// Parameters of a problem in dimension 2 with those output types and
/// X0 ( 1 2 ) (none when `x0` is empty), display degree 2, file names
/// without seed; more lines in `lines`. Not checked.
std::shared_ptr<QARNO_4_0_0::AllParameters>
makeMainStepParameters(const std::string& bbOutputType, const std::vector<double>& x0 = {1, 2},
                       const std::vector<std::string>& lines = {});

/// The lines of a parameter file for the test blackbox executable in
/// dimension 2 from X0 ( 1 2 ), outputs "OBJ PB", with `more` appended.
std::string testBBParameterFile(const std::string& more);

/// The evaluation points listed in a cache file, as their text "( x y )".
std::vector<std::string> cachedPointsOf(const std::string& cacheFileText);

} // namespace QarnoTest

#endif
