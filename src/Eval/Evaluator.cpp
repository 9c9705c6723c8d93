#include "Eval/Evaluator.hpp"

#include <cerrno>
#include <cstdio>
#include <iostream>
#include <optional>
#include <utility>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Eval/BBOutput.hpp"
#include "Eval/Eval.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/EvalParameters.hpp"
#include "Util/Exception.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

namespace
{

const char* const SOURCE_FILE = "src/Eval/Evaluator";

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

/// Reads one whole line, however long, without its newline. False at the
/// end of the output when nothing was left. A signal arriving during the
/// wait does not end the output.
bool readLine(FILE* stream, std::string& line)
{
    line.clear();
    bool any = false;
    for (;;)
    {
        errno = 0;
        const int c = std::getc(stream);
        if (EOF == c)
        {
            if (std::ferror(stream) && EINTR == errno)
            {
                std::clearerr(stream);
                continue;
            }
            return any;
        }
        any = true;
        if ('\n' == c)
        {
            return true;
        }
        line += static_cast<char>(c);
    }
}

/// Reads the output to its end, so that a program writing more than one
/// line per point is not killed by a closed pipe before it exits.
void drain(FILE* stream)
{
    char buffer[4096];
    for (;;)
    {
        errno = 0;
        if (std::fread(buffer, 1, sizeof(buffer), stream) > 0)
        {
            continue;
        }
        if (std::ferror(stream) && EINTR == errno)
        {
            std::clearerr(stream);
            continue;
        }
        return;
    }
}

/// The pipe of the running command, closed (and the command waited for)
/// also when an exception leaves the evaluation.
class CommandPipe
{
public:
    explicit CommandPipe(const std::string& command) : _stream(::popen(command.c_str(), "r")) {}
    CommandPipe(const CommandPipe&) = delete;
    CommandPipe& operator=(const CommandPipe&) = delete;
    ~CommandPipe()
    {
        if (nullptr != _stream)
        {
            ::pclose(_stream);
        }
    }

    FILE* stream() const { return _stream; }

    /// The raw wait status of the command (-1 when it cannot be had).
    int close()
    {
        FILE* stream = _stream;
        _stream = nullptr;
        return ::pclose(stream);
    }

private:
    FILE* _stream;
};

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
        throw Exception(SOURCE_FILE, __LINE__, "Evaluator: eval_block called with an empty block");
    }
    for (const auto& point : block)
    {
        if (!point || !point->isComplete())
        {
            throw Exception(SOURCE_FILE, __LINE__,
                            "Evaluator: Incomplete point " +
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
    throw Exception(SOURCE_FILE, __LINE__,
                    "Error: This value of EvalXDefined is not processed: " +
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
        throw Exception(SOURCE_FILE, __LINE__, "Evaluator: No blackbox executable defined.");
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

    CommandPipe pipe(command);
    if (nullptr == pipe.stream())
    {
        for (const auto& point : block)
        {
            point->setEvalStatus(EvalStatusType::EVAL_ERROR, _evalType);
            writeWarning("Warning: Evaluation error with point " + point->display());
        }
        return evalOk;
    }

    // Points whose line was read, matched the output types and gave an
    // objective: only they take their status from h once the program ended
    // well; the others keep the error found here.
    std::vector<bool> usable(block.size(), false);
    std::string line;
    for (size_t i = 0; i < block.size(); ++i)
    {
        EvalPoint& point = *block[i];
        if (!readLine(pipe.stream(), line))
        {
            point.setEvalStatus(EvalStatusType::EVAL_ERROR, _evalType);
            writeWarning("Warning: Evaluation error with point " + point.display() +
                         ": output is empty");
            continue;
        }

        // A program that ends its lines with CR LF: the CR belongs to the
        // line end, not to the output.
        if (!line.empty() && '\r' == line.back())
        {
            line.pop_back();
        }
        const BBOutput output(line, true);
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
    drain(pipe.stream());
    const int exitStatus = pipe.close();

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
