#include "Eval/Evaluator.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "Eval/BBOutput.hpp"
#include "Eval/Eval.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/EvalParameters.hpp"
#include "Util/AllStopReasons.hpp"
#include "Util/Clock.hpp"
#include "Util/Exception.hpp"
#include "Util/SignalRecord.hpp"
#include "Util/Utils.hpp"

extern char** environ;

namespace QARNO_4_0_0
{

namespace
{

/// The identity of a temporary file this process created: a name found
/// later at the same place is only ours when it is still this file.
struct FileId
{
    dev_t dev;
    ino_t ino;
};

} // namespace

// The definitions below are destroyed in reverse order: the remover goes
// first, while the names it needs still exist.
std::vector<std::string> Evaluator::_tmpFiles;
size_t Evaluator::_timeLimit = Evaluator::NO_TIME_LIMIT;

namespace
{

/// Per thread number: the name `initializeTmpFiles` gave (the created file
/// then gets a unique suffix behind it) and the file created, if any.
std::vector<std::string> tmpFilePrefixes;
std::vector<std::optional<FileId>> createdTmpFiles;

/// Removes the temporary files when the library is unloaded (or the
/// process ends).
struct TmpFilesRemover
{
    TmpFilesRemover() = default;
    TmpFilesRemover(const TmpFilesRemover&) = delete;
    TmpFilesRemover& operator=(const TmpFilesRemover&) = delete;
    ~TmpFilesRemover()
    {
        try
        {
            Evaluator::removeTmpFiles();
        }
        catch (...)
        {
            // Nothing may leave a destructor run at unload.
        }
    }
};

TmpFilesRemover tmpFilesRemover;

bool sameFile(const struct stat& info, const FileId& id)
{
    return info.st_dev == id.dev && info.st_ino == id.ino;
}

/// A text the shell reads as one word, whatever it holds.
std::string shellQuote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
    {
        if ('\'' == c)
        {
            quoted += "'\\''";
        }
        else
        {
            quoted += c;
        }
    }
    quoted += "'";
    return quoted;
}

/// Whether the BB_EXE value is a command of the user (taken as it stands)
/// rather than the path of the executable (to be quoted). The check of the
/// parameters removes the "$" of a command and remembers it; a value that
/// nobody checked still has it.
bool isCommand(std::string& bbExe, const EvalParameters& evalParams)
{
    if (!bbExe.empty() && '$' == bbExe[0])
    {
        bbExe.erase(0, 1);
        return true;
    }
    return evalParams.isBbExeCommand();
}

/// Opens the temporary file of thread t for writing, emptied: the file
/// created for an earlier block when it is still ours, else a new file,
/// created exclusively with mode 0600 (so never through a link someone
/// planted). -1 on failure. Reopening does not wait: a pipe put in place of
/// the file would otherwise block until someone reads it.
int openTmpFile(size_t t, std::string& name)
{
    if (createdTmpFiles[t])
    {
        const int fd =
            ::open(name.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        struct stat info;
        if (fd >= 0 && 0 == ::fstat(fd, &info) && S_ISREG(info.st_mode) &&
            sameFile(info, *createdTmpFiles[t]) && 0 == ::ftruncate(fd, 0))
        {
            return fd;
        }
        if (fd >= 0)
        {
            ::close(fd);
        }
        // Removed or replaced since: the name is not ours any more.
        createdTmpFiles[t].reset();
    }

    std::string newName = tmpFilePrefixes[t] + ".XXXXXX";
    const int fd = ::mkostemp(&newName[0], O_CLOEXEC);
    if (fd < 0)
    {
        return -1;
    }
    struct stat info;
    if (0 != ::fstat(fd, &info))
    {
        ::close(fd);
        ::unlink(newName.c_str());
        return -1;
    }
    createdTmpFiles[t] = FileId{info.st_dev, info.st_ino};
    name = newName;
    return fd;
}

bool writeAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size())
    {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0)
        {
            if (EINTR == errno)
            {
                continue;
            }
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

/// What is read of the output after the lines of the block (a program may
/// write more than it needs to), before the output is taken as endless and
/// the reading stops.
constexpr size_t MAX_EXTRA_OUTPUT = size_t(64) << 20;

/// How long an ended program may take to go after SIGTERM (or the signal
/// the run received) before it is killed.
constexpr double END_GRACE_SECONDS = 2.0;

/// The longest sleep of a wait: a signal that arrives just before a wait
/// starts is seen at the latest after it.
constexpr int WAKE_UP_MS = 200;

void sleepSeconds(double seconds)
{
    struct timespec pause;
    pause.tv_sec = static_cast<time_t>(seconds);
    pause.tv_nsec = static_cast<long>((seconds - static_cast<double>(pause.tv_sec)) * 1e9);
    // A signal cuts the sleep short: the caller looks again.
    ::nanosleep(&pause, nullptr);
}

/// Why the evaluation of a block ended early.
enum class EarlyEnd
{
    NONE,
    TIME_LIMIT,
    SIGNAL
};

/// The time limit passed, or a termination signal received by the run.
EarlyEnd earlyEndOf(size_t timeLimit)
{
    if (0 != SignalRecord::getTermination())
    {
        return EarlyEnd::SIGNAL;
    }
    if (Evaluator::NO_TIME_LIMIT != timeLimit && Clock::secondsLeft(timeLimit) <= 0)
    {
        return EarlyEnd::TIME_LIMIT;
    }
    return EarlyEnd::NONE;
}

/// The program of a block: `/bin/sh -c command`, its standard output on a
/// pipe. Standard input and error are those of the process, as with popen.
/// With a time limit it runs in a process group of its own, so that all it
/// started can be ended with it; without one it stays in the group of the
/// run, so that the terminal's Ctrl-C reaches it as before.
class BlackboxProcess
{
public:
    BlackboxProcess(const std::string& command, bool ownGroup)
        : _pid(-1), _output(-1), _ownGroup(ownGroup), _reaped(false), _status(-1),
          _interruptsSeen(SignalRecord::getInterrupts())
    {
        int fds[2];
        if (0 != ::pipe2(fds, O_CLOEXEC))
        {
            return;
        }
        // A process that runs with a standard stream closed gets the pipe
        // there: moved up, the pipe neither takes the place of a stream of
        // the program nor stays open in it.
        for (int& fd : fds)
        {
            if (fd <= STDERR_FILENO)
            {
                const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
                ::close(fd);
                fd = moved;
            }
        }
        if (fds[0] < 0 || fds[1] < 0)
        {
            for (const int fd : fds)
            {
                if (fd >= 0)
                {
                    ::close(fd);
                }
            }
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawnattr_t attributes;
        bool ready = 0 == posix_spawn_file_actions_init(&actions);
        const bool actionsMade = ready;
        ready = ready && 0 == posix_spawnattr_init(&attributes);
        const bool attributesMade = ready;
        ready = ready && 0 == posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        if (ready && ownGroup)
        {
            ready = 0 == posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP) &&
                    0 == posix_spawnattr_setpgroup(&attributes, 0);
        }
        if (ready)
        {
            char shell[] = "/bin/sh";
            char option[] = "-c";
            std::string text = command;
            char* argv[] = {shell, option, &text[0], nullptr};
            pid_t pid = -1;
            if (0 == ::posix_spawn(&pid, shell, &actions, &attributes, argv, environ))
            {
                _pid = pid;
            }
        }
        if (attributesMade)
        {
            posix_spawnattr_destroy(&attributes);
        }
        if (actionsMade)
        {
            posix_spawn_file_actions_destroy(&actions);
        }
        ::close(fds[1]);
        if (_pid > 0)
        {
            _output = fds[0];
        }
        else
        {
            ::close(fds[0]);
        }
    }

    BlackboxProcess(const BlackboxProcess&) = delete;
    BlackboxProcess& operator=(const BlackboxProcess&) = delete;

    /// Waits for the program as pclose does, also when an exception leaves
    /// the evaluation.
    ~BlackboxProcess()
    {
        closeOutput();
        while (_pid > 0 && !_reaped && ::waitpid(_pid, &_status, 0) < 0 && EINTR == errno)
        {
        }
    }

    bool started() const { return _pid > 0; }
    int output() const { return _output; }

    void closeOutput()
    {
        if (_output >= 0)
        {
            ::close(_output);
            _output = -1;
        }
    }

    /// What ends the wait early: the time limit passed, or a termination
    /// signal received by the run. An interrupt received meanwhile is passed
    /// on to a program in its own group, which the terminal no longer
    /// reaches.
    EarlyEnd earlyEnd(size_t timeLimit)
    {
        const auto interrupts = SignalRecord::getInterrupts();
        if (_ownGroup && interrupts != _interruptsSeen)
        {
            _interruptsSeen = interrupts;
            ::kill(-_pid, SIGINT);
        }
        return earlyEndOf(timeLimit);
    }

    /// Milliseconds to wait at most before looking at the limit again.
    static int waitMs(size_t timeLimit)
    {
        if (Evaluator::NO_TIME_LIMIT == timeLimit)
        {
            return WAKE_UP_MS;
        }
        const double left = std::ceil(Clock::secondsLeft(timeLimit) * 1000.0);
        return static_cast<int>(std::max(0.0, std::min(left, double(WAKE_UP_MS))));
    }

    /// Waits for the end of the program and gives its raw wait status; the
    /// wait ends early on the time limit or a termination signal (the
    /// program is then still running).
    EarlyEnd wait(size_t timeLimit, int& status)
    {
        closeOutput();
        long pauseUs = 500;
        for (;;)
        {
            const EarlyEnd early = earlyEnd(timeLimit);
            if (EarlyEnd::NONE != early)
            {
                return early;
            }
            const pid_t done =
                ::waitpid(_pid, &_status, (Evaluator::NO_TIME_LIMIT == timeLimit) ? 0 : WNOHANG);
            if (done == _pid)
            {
                _reaped = true;
                status = _status;
                return EarlyEnd::NONE;
            }
            if (done < 0 && EINTR != errno)
            {
                // Nothing to wait for any more (the child was taken by
                // someone else): the status is unknown.
                _reaped = true;
                status = -1;
                return EarlyEnd::NONE;
            }
            if (0 == done)
            {
                // Most programs end right after their output: short pauses
                // first.
                sleepSeconds(std::min(pauseUs, long(WAKE_UP_MS) * 1000) * 1e-6);
                pauseUs *= 2;
            }
        }
    }

    /// Ends the program: `signalValue` to it (its whole group, or the shell
    /// alone when it shares the run's group), then SIGKILL to whatever is
    /// left after the grace period, and waits for it.
    void end(int signalValue)
    {
        closeOutput();
        if (_pid <= 0 || _reaped)
        {
            return;
        }
        const pid_t target = _ownGroup ? -_pid : _pid;
        ::kill(target, signalValue);
        // A stopped program (one that read the terminal from its own group)
        // goes on to take the signal.
        ::kill(target, SIGCONT);
        for (double waited = 0; waited < END_GRACE_SECONDS; waited += 0.01)
        {
            // Not reaped yet: until the shell is taken, neither its number
            // nor that of its group can go to another process.
            siginfo_t info = {};
            if (0 != ::waitid(P_PID, static_cast<id_t>(_pid), &info, WEXITED | WNOHANG | WNOWAIT) &&
                EINTR != errno)
            {
                break;
            }
            if (0 != info.si_pid)
            {
                break;
            }
            sleepSeconds(0.01);
        }
        // What the shell started may still be there, in its group.
        ::kill(target, SIGKILL);
        while (::waitpid(_pid, &_status, 0) < 0 && EINTR == errno)
        {
        }
        _reaped = true;
    }

private:
    pid_t _pid;
    int _output;
    bool _ownGroup;
    bool _reaped;
    int _status;
    std::sig_atomic_t _interruptsSeen;
};

/// One output line per point, as read: its text, or what went wrong.
struct OutputLine
{
    enum class Kind
    {
        MISSING,  // the output ended before
        TEXT,     // the line, without its newline
        TOO_LONG, // longer than Evaluator::MAX_OUTPUT_LINE
        CUT       // not read: the reading stopped before
    };
    Kind kind = Kind::MISSING;
    std::string text;
};

/// Reads the program's output: one line per point, then the rest of the
/// output to its end, so that a program writing more than one line per
/// point is not killed by a closed pipe before it exits. A line longer than
/// the bound is skipped to its end, never held whole; output that goes on
/// beyond the lines and MAX_EXTRA_OUTPUT more is taken as endless: the
/// reading stops there (the program then meets a closed pipe).
EarlyEnd readOutput(BlackboxProcess& process, size_t timeLimit, std::vector<OutputLine>& lines)
{
    const size_t nbLines = lines.size();
    const size_t maxTotal = nbLines * (Evaluator::MAX_OUTPUT_LINE + 1) + MAX_EXTRA_OUTPUT;
    size_t total = 0;
    size_t current = 0;
    bool skipping = false;
    std::string line;
    char buffer[65536];

    for (;;)
    {
        const EarlyEnd early = process.earlyEnd(timeLimit);
        if (EarlyEnd::NONE != early)
        {
            return early;
        }
        struct pollfd ready = {process.output(), POLLIN, 0};
        const int polled = ::poll(&ready, 1, BlackboxProcess::waitMs(timeLimit));
        if (polled < 0 && EINTR != errno)
        {
            break;
        }
        if (polled <= 0)
        {
            continue;
        }
        const ssize_t n = ::read(process.output(), buffer, sizeof(buffer));
        if (n < 0)
        {
            if (EINTR == errno || EAGAIN == errno)
            {
                continue;
            }
            break;
        }
        if (0 == n)
        {
            break;
        }
        total += static_cast<size_t>(n);

        const char* p = buffer;
        const char* const endOfData = buffer + n;
        while (p < endOfData && current < nbLines)
        {
            const char* newline =
                static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(endOfData - p)));
            const char* stop = (nullptr == newline) ? endOfData : newline;
            if (!skipping)
            {
                const size_t room = Evaluator::MAX_OUTPUT_LINE - line.size();
                const size_t count = static_cast<size_t>(stop - p);
                if (count > room)
                {
                    lines[current].kind = OutputLine::Kind::TOO_LONG;
                    line.clear();
                    line.shrink_to_fit();
                    skipping = true;
                }
                else
                {
                    line.append(p, count);
                }
            }
            if (nullptr == newline)
            {
                break;
            }
            if (!skipping)
            {
                lines[current].kind = OutputLine::Kind::TEXT;
                lines[current].text = std::move(line);
                line.clear();
            }
            skipping = false;
            ++current;
            p = newline + 1;
        }

        if (total > maxTotal)
        {
            // Endless output: what was not read stays unread.
            if (current < nbLines && OutputLine::Kind::TOO_LONG == lines[current].kind)
            {
                ++current;
            }
            for (size_t i = current; i < nbLines; ++i)
            {
                lines[i].kind = OutputLine::Kind::CUT;
            }
            return EarlyEnd::NONE;
        }
    }

    // A last line without its newline counts.
    if (current < nbLines && (skipping || !line.empty()))
    {
        if (!skipping)
        {
            lines[current].kind = OutputLine::Kind::TEXT;
            lines[current].text = std::move(line);
        }
    }
    return EarlyEnd::NONE;
}

/// The message of a library exception without its source location.
std::string messagePart(const Exception& e)
{
    const std::string text = e.what();
    const size_t end = text.find(") ");
    return (0 == text.rfind("QARNO::Exception thrown (", 0) && std::string::npos != end)
               ? text.substr(end + 2)
               : text;
}

void writeWarning(const std::string& msg)
{
    std::cerr << msg << std::endl;
}

} // namespace

// ---------------------------------------------------------------------------

Evaluator::Evaluator(const std::shared_ptr<EvalParameters>& evalParams, EvalType evalType,
                     EvalXDefined evalXDefined)
    : _evalParams(evalParams), _evalXDefined(evalXDefined), _evalType(evalType)
{
}

Evaluator::~Evaluator() = default;

bool Evaluator::eval_x(EvalPoint& x, const Double& hMax, bool& countEval) const
{
    // A class without its own eval_x: from now on whole blocks go to the
    // blackbox executable.
    _evalXDefined = EvalXDefined::USE_BB_EXE;

    std::vector<std::shared_ptr<EvalPoint>> block{std::make_shared<EvalPoint>(x)};
    std::vector<bool> countEvalBlock{countEval};
    const std::vector<bool> evalOk = eval_block(block, hMax, countEvalBlock);

    x = *block[0];
    countEval = countEvalBlock[0];
    return evalOk[0];
}

std::vector<bool> Evaluator::eval_block(std::vector<std::shared_ptr<EvalPoint>>& block,
                                        const Double& hMax, std::vector<bool>& countEval) const
{
    std::vector<bool> evalOk(block.size(), false);
    countEval.resize(block.size(), false);

    if (block.empty())
    {
        QARNO_THROW(Exception, "Evaluator: eval_block called with an empty block");
    }
    for (const auto& point : block)
    {
        if (!point || !point->isComplete())
        {
            QARNO_THROW(Exception, "Evaluator: Incomplete point " +
                                       (point ? point->display() : std::string("(  )")));
        }
    }
    for (const auto& point : block)
    {
        if (EvalStatusType::EVAL_IN_PROGRESS != point->getEvalStatus(_evalType))
        {
            writeWarning("Warning: EVAL should already be IN_PROGRESS for point " +
                         point->display());
        }
    }

    switch (_evalXDefined)
    {
    case EvalXDefined::USE_BB_EXE:
        return evalXBBExe(block, hMax, countEval);
    case EvalXDefined::UNDEFINED:
        _evalXDefined = EvalXDefined::EVAL_X_DEFINED;
        [[fallthrough]];
    case EvalXDefined::EVAL_X_DEFINED:
        for (size_t i = 0; i < block.size(); ++i)
        {
            bool countEvalPoint = false;
            evalOk[i] = eval_x(*block[i], hMax, countEvalPoint);
            countEval[i] = countEvalPoint;
        }
        return evalOk;
    }
    QARNO_THROW(Exception, "Error: This value of EvalXDefined is not processed: " +
                               std::to_string(static_cast<int>(_evalXDefined)));
}

std::vector<bool> Evaluator::evalXBBExe(std::vector<std::shared_ptr<EvalPoint>>& block,
                                        const Double& hMax, std::vector<bool>& countEval) const
{
    std::vector<bool> evalOk(block.size(), false);
    countEval.resize(block.size(), false);

    std::string exe = _evalParams->getAttributeValue<std::string>("BB_EXE");
    // A "$" with nothing behind it names no program either.
    const bool isUserCommand = isCommand(exe, *_evalParams);
    if (exe.empty())
    {
        QARNO_THROW(Exception, "Evaluator: No blackbox executable defined.");
    }
    const BBOutputTypeList& bbOutputType =
        _evalParams->getAttributeValue<BBOutputTypeList>("BB_OUTPUT_TYPE");

    const int threadNum = getThreadNum();
    if (threadNum < 0 || static_cast<size_t>(threadNum) >= _tmpFiles.size())
    {
        writeWarning("Error: Evaluator: No temp file available.");
        return evalOk;
    }
    const size_t t = static_cast<size_t>(threadNum);
    // Names that a derived class added itself are used as they are given.
    while (tmpFilePrefixes.size() < _tmpFiles.size())
    {
        tmpFilePrefixes.push_back(_tmpFiles[tmpFilePrefixes.size()]);
        createdTmpFiles.emplace_back();
    }

    // Coordinates at full precision: the program must evaluate exactly the
    // point that is recorded.
    std::string input;
    for (const auto& point : block)
    {
        for (size_t j = 0; j < point->size(); ++j)
        {
            if (j > 0)
            {
                input += ' ';
            }
            input += (*point)[j].roundTripString();
        }
        input += '\n';
    }

    const int fd = openTmpFile(t, _tmpFiles[t]);
    const bool written = fd >= 0 && writeAll(fd, input);
    const bool closed = fd >= 0 && 0 == ::close(fd);
    const std::string tmpFile = _tmpFiles[t];
    if (!written || !closed)
    {
        for (const auto& point : block)
        {
            point->setEvalStatus(EvalStatusType::EVAL_ERROR, _evalType);
            writeWarning("Error writing point " + point->display() + " to temporary file \"" +
                         tmpFile + "\"");
        }
        return evalOk;
    }

    const std::string command = (isUserCommand ? exe : shellQuote(exe)) + " " + shellQuote(tmpFile);
    OutputQueue::addIfShown(OutputLevel::LEVEL_FULL_DEBUG,
                            [&] { return "System command: " + command; });

    const size_t timeLimit = _timeLimit;
    const bool hasTimeLimit = NO_TIME_LIMIT != timeLimit;
    // The points of a program ended early fail: they ran (and count) when
    // the program had started.
    const auto endEarly = [&](EarlyEnd why, bool started)
    {
        std::string reason;
        if (EarlyEnd::TIME_LIMIT == why)
        {
            AllStopReasons::_baseStopReason.set(BaseStopType::MAX_TIME_REACHED);
            reason = "MAX_TIME (" + std::to_string(timeLimit) + " s) reached";
        }
        else
        {
            reason = "the run received " + SignalRecord::signalName(SignalRecord::getTermination());
        }
        reason += started ? ": the blackbox executable was ended"
                          : ": the blackbox executable was not started";
        for (size_t i = 0; i < block.size(); ++i)
        {
            evalOk[i] = false;
            countEval[i] = started;
            block[i]->setEvalStatus(EvalStatusType::EVAL_ERROR, _evalType);
            writeWarning("Warning: Evaluation error with point " + block[i]->display() + ": " +
                         reason);
        }
        return evalOk;
    };

    const EarlyEnd beforeStart = earlyEndOf(timeLimit);
    if (EarlyEnd::NONE != beforeStart)
    {
        return endEarly(beforeStart, false);
    }

    BlackboxProcess process(command, hasTimeLimit);
    if (!process.started())
    {
        for (const auto& point : block)
        {
            point->setEvalStatus(EvalStatusType::EVAL_ERROR, _evalType);
            writeWarning("Warning: Evaluation error with point " + point->display());
        }
        return evalOk;
    }

    std::vector<OutputLine> lines(block.size());
    EarlyEnd early = readOutput(process, timeLimit, lines);
    int exitStatus = -1;
    if (EarlyEnd::NONE == early)
    {
        early = process.wait(timeLimit, exitStatus);
    }
    if (EarlyEnd::NONE != early)
    {
        const int termination = SignalRecord::getTermination();
        process.end((EarlyEnd::SIGNAL == early && 0 != termination) ? termination : SIGTERM);
        return endEarly(early, true);
    }

    // Points whose line was read, matched the output types and gave an
    // objective: only they take their status from h once the program ended
    // well; the others keep the error found here.
    std::vector<bool> usable(block.size(), false);
    for (size_t i = 0; i < block.size(); ++i)
    {
        EvalPoint& point = *block[i];
        OutputLine& line = lines[i];
        if (OutputLine::Kind::TEXT != line.kind)
        {
            point.setEvalStatus(EvalStatusType::EVAL_ERROR, _evalType);
            std::string what = ": output is empty";
            if (OutputLine::Kind::TOO_LONG == line.kind)
            {
                // It ran: it counts.
                countEval[i] = true;
                what = ": output line longer than " + std::to_string(MAX_OUTPUT_LINE) + " bytes";
            }
            else if (OutputLine::Kind::CUT == line.kind)
            {
                countEval[i] = true;
                what = ": output not read, the output of the blackbox executable goes on without "
                       "end";
            }
            writeWarning("Warning: Evaluation error with point " + point.display() + what);
            continue;
        }

        // A program that ends its lines with CR LF: the CR belongs to the
        // line end, not to the output.
        if (!line.text.empty() && '\r' == line.text.back())
        {
            line.text.pop_back();
        }
        const BBOutput output(line.text, true);
        if (nullptr == point.getEval(_evalType))
        {
            point.setEvalStatus(EvalStatusType::EVAL_IN_PROGRESS, _evalType);
        }
        Eval& eval = *point.getEval(_evalType);
        eval.setBBOutputAndRecompute(output, bbOutputType);
        evalOk[i] = true;
        try
        {
            countEval[i] = output.getCountEval(bbOutputType);
        }
        catch (const Exception& e)
        {
            // A CNT_EVAL field that is no boolean word: the run took place,
            // so it counts, and the output cannot be trusted.
            countEval[i] = true;
            eval.setEvalStatus(EvalStatusType::EVAL_ERROR);
            writeWarning("Warning: Evaluation error with point " + point.display() + ": " +
                         messagePart(e));
            continue;
        }
        const EvalStatusType status = eval.getEvalStatus();
        usable[i] = EvalStatusType::EVAL_ERROR != status && EvalStatusType::EVAL_FAILED != status;
    }

    for (size_t i = 0; i < block.size(); ++i)
    {
        EvalPoint& point = *block[i];
        if (0 == exitStatus)
        {
            if (usable[i])
            {
                const double h = point.getEval(_evalType)->getH().todouble();
                const bool hOver = hMax.isDefined() && h > hMax.todouble() + Double::getEpsilon();
                point.setEvalStatus(
                    hOver ? EvalStatusType::EVAL_CONS_H_OVER : EvalStatusType::EVAL_OK, _evalType);
            }
            continue;
        }
        evalOk[i] = false;
        point.setEvalStatus(EvalStatusType::EVAL_ERROR, _evalType);
        const std::string msg = "Warning: Evaluator returned exit status " +
                                std::to_string(exitStatus) +
                                " for point: " + point.Point::display();
        OutputQueue::addIfShown(OutputLevel::LEVEL_WARNING, [&] { return msg; });
        writeWarning(msg);
    }
    return evalOk;
}

// ---------------------------------------------------------------------------

void Evaluator::initializeTmpFiles(const std::string& tmpDir)
{
    std::string dir = tmpDir;
    ensureDirPath(dir);

    _tmpFiles.clear();
    tmpFilePrefixes.clear();
    createdTmpFiles.clear();

    const size_t nbThreads = 1;
    for (size_t t = 0; t < nbThreads; ++t)
    {
        const std::string name =
            dir + "qarnotmp." + std::to_string(::getpid()) + "." + std::to_string(t);
        _tmpFiles.push_back(name);
        tmpFilePrefixes.push_back(name);
        createdTmpFiles.emplace_back();
    }
}

void Evaluator::removeTmpFiles()
{
    for (size_t t = 0; t < _tmpFiles.size() && t < createdTmpFiles.size(); ++t)
    {
        // Only the file created here: whatever now holds the name otherwise
        // is someone else's.
        struct stat info;
        if (createdTmpFiles[t] && 0 == ::lstat(_tmpFiles[t].c_str(), &info) &&
            sameFile(info, *createdTmpFiles[t]))
        {
            std::remove(_tmpFiles[t].c_str());
        }
    }
    _tmpFiles.clear();
    tmpFilePrefixes.clear();
    createdTmpFiles.clear();
}

} // namespace QARNO_4_0_0
