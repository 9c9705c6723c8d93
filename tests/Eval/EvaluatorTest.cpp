// The evaluator: the blackbox-executable protocol (temporary file, command,
// output lines, exit status), its temporary files, and the choice between
// point-by-point and block evaluation.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Eval/Eval.hpp"
#include "Eval/EvalPoint.hpp"
#include "Eval/Evaluator.hpp"
#include "Math/Point.hpp"
#include "Param/EvalParameters.hpp"
#include "Type/BBOutputType.hpp"
#include "Util/AllStopReasons.hpp"
#include "Util/Clock.hpp"
#include "Util/SignalRecord.hpp"
#include "support/EvaluatorSupport.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::CerrCapture;
using QarnoTest::linesOf;
using QarnoTest::makeBlockInProgress;
using QarnoTest::makeEvalParams;
using QarnoTest::messageOf;
using QarnoTest::ProcessStateGuard;
using QarnoTest::ScopedEnv;
using QarnoTest::shellWord;
using QarnoTest::TempDir;
using QarnoTest::testBBCommand;
using QarnoTest::testBBExe;
using QarnoTest::UNDEF;

namespace
{

using Block = std::vector<std::shared_ptr<EvalPoint>>;
using S = EvalStatusType;

/// Shows the temporary-file names, which only evaluators see.
class TmpFilesView : public Evaluator
{
public:
    static const std::vector<std::string>& names() { return _tmpFiles; }
};

std::string readFile(const std::string& path)
{
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool isSymlink(const std::string& path)
{
    struct stat info;
    return 0 == ::lstat(path.c_str(), &info) && S_ISLNK(info.st_mode);
}

bool exists(const std::string& path)
{
    struct stat info;
    return 0 == ::lstat(path.c_str(), &info);
}

std::string tmpPrefix(const std::string& dir)
{
    return dir + "/qarnotmp." + std::to_string(::getpid()) + ".0";
}

std::vector<EvalStatusType> statusesOf(const Block& block)
{
    std::vector<EvalStatusType> statuses;
    for (const auto& p : block)
    {
        statuses.push_back(p->getEvalStatus(EvalType::BB));
    }
    return statuses;
}

/// Every line of `text` matches the pattern of the same rank.
void expectLinesMatch(const std::vector<std::string>& patterns, const std::string& text)
{
    const auto lines = linesOf(text);
    ASSERT_EQ(patterns.size(), lines.size()) << text;
    for (size_t i = 0; i < lines.size(); ++i)
    {
        EXPECT_TRUE(std::regex_match(lines[i], std::regex(patterns[i])))
            << "line " << i << ": " << lines[i] << "\npattern: " << patterns[i];
    }
}

class EvaluatorTest : public ::testing::Test
{
protected:
    ProcessStateGuard _guard;
    TempDir _tmp;

    /// Evaluates the block with the executable, the temporary files in the
    /// test's directory; standard error goes to `err`.
    std::vector<bool> runBlock(const std::string& bbExe, const std::string& outputTypes,
                               Block& block, std::vector<bool>& countEval, std::string& err,
                               double hMax = 1.0)
    {
        Evaluator::initializeTmpFiles(_tmp.path());
        Evaluator evaluator(makeEvalParams(bbExe, outputTypes), EvalType::BB,
                            EvalXDefined::USE_BB_EXE);
        CerrCapture cerr;
        const auto evalOk = evaluator.eval_block(block, Double(hMax), countEval);
        err = cerr.text();
        return evalOk;
    }
};

// ---------------------------------------------------------------------------
// The protocol
// ---------------------------------------------------------------------------

TEST_F(EvaluatorTest, OutcomesOfTheExecutable)
{
    // Two points: (1, 2) gives "3 -9", feasible; (12, 1) gives "13 2", h = 4
    // above hMax = 1.
    const std::string p1 = "#1 \\( 1 2 \\)";
    const std::string p2 = "#2 \\( 12 1 \\)";
    const std::string anyExitStatus = "[1-9][0-9]*";
    const struct
    {
        const char* mode;
        const char* outputTypes;
        std::vector<EvalStatusType> statuses;
        std::vector<bool> evalOk;
        std::vector<bool> countEval;
        std::vector<std::string> errLines; // patterns
    } cases[] = {
        {"normal", "OBJ PB", {S::EVAL_OK, S::EVAL_CONS_H_OVER}, {true, true}, {true, true}, {}},
        {"exit1",
         "OBJ PB",
         {S::EVAL_ERROR, S::EVAL_ERROR},
         {false, false},
         {true, true},
         {"Warning: Evaluator returned exit status 256 for point: \\( 1 2 \\)",
          "Warning: Evaluator returned exit status 256 for point: \\( 12 1 \\)"}},
        {"fewer",
         "OBJ PB",
         {S::EVAL_OK, S::EVAL_ERROR},
         {true, false},
         {true, false},
         {"Warning: Evaluation error with point " + p2 + ".*: output is empty"}},
        {"silent",
         "OBJ PB",
         {S::EVAL_ERROR, S::EVAL_ERROR},
         {false, false},
         {false, false},
         {"Warning: Evaluation error with point " + p1 + ".*: output is empty",
          "Warning: Evaluation error with point " + p2 + ".*: output is empty"}},
        {"kill",
         "OBJ PB",
         {S::EVAL_ERROR, S::EVAL_ERROR},
         {false, false},
         {false, false},
         {"Warning: Evaluation error with point " + p1 + ".*: output is empty",
          "Warning: Evaluation error with point " + p2 + ".*: output is empty",
          "Warning: Evaluator returned exit status " + anyExitStatus + " for point: \\( 1 2 \\)",
          "Warning: Evaluator returned exit status " + anyExitStatus + " for point: \\( 12 1 \\)"}},
        {"cnt0",
         "OBJ PB CNT_EVAL",
         {S::EVAL_OK, S::EVAL_CONS_H_OVER},
         {true, true},
         {false, true},
         {}},
        {"cntbad",
         "OBJ PB CNT_EVAL",
         {S::EVAL_ERROR, S::EVAL_ERROR},
         {true, true},
         {true, true},
         {"Warning: Evaluation error with point " + p1 + ".*: Unrecognized string for bool: MAYBE",
          "Warning: Evaluation error with point " + p2 +
              ".*: Unrecognized string for bool: MAYBE"}},
        // An unreadable constraint keeps the failure found when reading.
        {"nan",
         "OBJ PB",
         {S::EVAL_FAILED, S::EVAL_FAILED},
         {true, true},
         {true, true},
         {"Warning: Evaluation failed: output 2 \\(PB\\) is not a number: \"nan\" in raw output: 3 "
          "nan",
          "Warning: Evaluation failed: output 2 \\(PB\\) is not a number: \"nan\" in raw output: "
          "13 nan"}},
        {"normal",
         "OBJ PB PB",
         {S::EVAL_ERROR, S::EVAL_ERROR},
         {true, true},
         {true, true},
         {"Error: Parameter BB_OUTPUT_TYPE has 3 types, but raw output has 2 fields:", "3 -9",
          "Error: Parameter BB_OUTPUT_TYPE has 3 types, but raw output has 2 fields:", "13 2"}},
        // Lines longer than any buffer are read whole.
        {"long", "OBJ PB", {S::EVAL_OK, S::EVAL_CONS_H_OVER}, {true, true}, {true, true}, {}},
        // Output beyond the lines of the block is read to its end: the
        // program is not cut off by a closed pipe.
        {"extra", "OBJ PB", {S::EVAL_OK, S::EVAL_CONS_H_OVER}, {true, true}, {true, true}, {}},
        // A line beyond the bound fails its point only; the next line is
        // read as usual.
        {"longline",
         "OBJ PB",
         {S::EVAL_ERROR, S::EVAL_CONS_H_OVER},
         {false, true},
         {true, true},
         {"Warning: Evaluation error with point " + p1 +
          ".*: output line longer than 1048576 "
          "bytes"}},
        // Output without end: the reading stops, the program meets a closed
        // pipe (SIGPIPE), and memory is never spent on the endless line.
        {"endless",
         "OBJ PB",
         {S::EVAL_ERROR, S::EVAL_ERROR},
         {false, false},
         {true, true},
         {"Warning: Evaluation error with point " + p1 +
              ".*: output line longer than 1048576 "
              "bytes",
          "Warning: Evaluation error with point " + p2 +
              ".*: output not read, the output of the blackbox executable goes on without end",
          "Warning: Evaluator returned exit status " + anyExitStatus + " for point: \\( 1 2 \\)",
          "Warning: Evaluator returned exit status " + anyExitStatus + " for point: \\( 12 1 \\)"}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.mode) + " with " + c.outputTypes);
        ProcessStateGuard::resetToLoadState();
        Block block = makeBlockInProgress({{1, 2}, {12, 1}});
        std::vector<bool> countEval;
        std::string err;
        const auto evalOk = runBlock(testBBCommand(c.mode), c.outputTypes, block, countEval, err);

        EXPECT_EQ(c.statuses, statusesOf(block));
        EXPECT_EQ(c.evalOk, evalOk);
        EXPECT_EQ(c.countEval, countEval);
        expectLinesMatch(c.errLines, err);
        if (c.evalOk[0] && S::EVAL_ERROR != c.statuses[0])
        {
            EXPECT_EQ(3.0, block[0]->getF(EvalType::BB).todouble());
        }
    }
}

TEST_F(EvaluatorTest, ExecutableThatCannotBeFound)
{
    Block block = makeBlockInProgress({{1, 2}});
    std::vector<bool> countEval;
    std::string err;
    const auto evalOk = runBlock(_tmp.file("no such program"), "OBJ PB", block, countEval, err);

    EXPECT_EQ(std::vector<bool>{false}, evalOk);
    EXPECT_EQ(std::vector<EvalStatusType>{S::EVAL_ERROR}, statusesOf(block));
    // The shell's status for a command not found (127) as a raw wait status.
    expectLinesMatch({"Warning: Evaluation error with point #1 \\( 1 2 \\).*: output is empty",
                      "Warning: Evaluator returned exit status 32512 for point: \\( 1 2 \\)"},
                     err);
}

TEST_F(EvaluatorTest, OneRunOfTheExecutablePerBlock)
{
    const std::string log = _tmp.file("runs");
    ScopedEnv logRuns("QARNO_TEST_BB_LOG", log);
    Block block = makeBlockInProgress({{1, 2}, {3, 4}, {5, 6}});
    std::vector<bool> countEval;
    std::string err;
    runBlock(testBBCommand("normal"), "OBJ PB", block, countEval, err);
    EXPECT_EQ("3\n", readFile(log));
}

TEST_F(EvaluatorTest, CoordinatesReachTheExecutableExactly)
{
    const std::vector<std::vector<double>> coords = {
        {1.23456789, 3},
        {0.1, -2.5e-300},
        {1.0 / 3.0, 123456789012345678.0},
        {-7, 1e21},
    };
    Block block = makeBlockInProgress(coords);
    std::vector<bool> countEval;
    std::string err;
    const auto evalOk = runBlock(testBBCommand("echo"), "OBJ PB", block, countEval, err);
    ASSERT_EQ(std::vector<bool>(coords.size(), true), evalOk) << err;

    for (size_t i = 0; i < coords.size(); ++i)
    {
        SCOPED_TRACE("point " + std::to_string(i));
        std::istringstream echoed(block[i]->getBBO(EvalType::BB));
        for (double expected : coords[i])
        {
            std::string field;
            echoed >> field;
            EXPECT_EQ(expected, std::strtod(field.c_str(), nullptr)) << field;
        }
    }
    // The file is left for the next block; integral values stay integers.
    const std::string text = readFile(TmpFilesView::names().at(0));
    EXPECT_EQ("1.23456789 3", linesOf(text).at(0));
    EXPECT_EQ("-7", linesOf(text).at(3).substr(0, 2));
}

TEST_F(EvaluatorTest, ProgramWithItsStandardStreamsClosedStillReadsTheOutput)
{
    // A program started with standard input and output closed gets the
    // output pipe's ends as its descriptors 0 and 1 unless it moves them.
    const int savedIn = ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 10);
    const int savedOut = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 10);
    ASSERT_GE(savedIn, 0);
    ASSERT_GE(savedOut, 0);
    std::fflush(stdout);
    ::close(STDIN_FILENO);
    ::close(STDOUT_FILENO);

    Block block = makeBlockInProgress({{1, 2}, {3, 4}});
    std::vector<bool> countEval;
    std::string err;
    const auto evalOk = runBlock(testBBCommand("normal"), "OBJ PB", block, countEval, err);

    ::dup2(savedIn, STDIN_FILENO);
    ::dup2(savedOut, STDOUT_FILENO);
    ::close(savedIn);
    ::close(savedOut);
    EXPECT_EQ(std::vector<bool>(2, true), evalOk) << err;
    EXPECT_EQ(std::vector<S>(2, S::EVAL_OK), statusesOf(block)) << err;
}

// ---------------------------------------------------------------------------
// Paths handed to the shell
// ---------------------------------------------------------------------------

TEST_F(EvaluatorTest, PathsWithBlanksAndQuotes)
{
    const std::string binDir = _tmp.file("bin dir");
    const std::string tmpDir = _tmp.file("tmp dir with 'quote' and $HOME");
    std::filesystem::create_directory(binDir);
    std::filesystem::create_directory(tmpDir);
    const std::string exe = binDir + "/it's a bb; true";
    std::filesystem::copy_file(testBBExe(), exe);
    std::filesystem::permissions(exe, std::filesystem::perms::owner_all);
    ScopedEnv mode("QARNO_TEST_BB_MODE", std::nullopt);

    const struct
    {
        const char* label;
        std::string bbExe;
    } cases[] = {
        {"executable named by its path", exe},
        {"command of the user, quoted by the user", "$" + shellWord(exe) + " normal"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ProcessStateGuard::resetToLoadState();
        Evaluator::initializeTmpFiles(tmpDir);
        Evaluator evaluator(makeEvalParams(c.bbExe, "OBJ PB"), EvalType::BB,
                            EvalXDefined::USE_BB_EXE);
        Block block = makeBlockInProgress({{1, 2}, {12, 1}});
        std::vector<bool> countEval;
        CerrCapture cerr;
        const auto evalOk = evaluator.eval_block(block, Double(1.0), countEval);
        EXPECT_EQ("", cerr.text());
        EXPECT_EQ((std::vector<bool>{true, true}), evalOk);
        EXPECT_EQ((std::vector<EvalStatusType>{S::EVAL_OK, S::EVAL_CONS_H_OVER}),
                  statusesOf(block));
        EXPECT_EQ(0u, TmpFilesView::names().at(0).rfind(tmpPrefix(tmpDir) + ".", 0));
    }
}

TEST_F(EvaluatorTest, CommandFromAParameterLineRunsAsWritten)
{
    // The check takes the "$" away; the command must not then be taken for
    // the name of a file.
    ProcessStateGuard::resetToLoadState();
    auto params = std::make_shared<EvalParameters>();
    params->readParamLine("BB_EXE '$" + testBBExe() + " fewer'", true);
    params->readParamLine("BB_OUTPUT_TYPE OBJ PB", true);
    params->checkAndComply(nullptr);
    ASSERT_EQ(testBBExe() + " fewer", params->getAttributeValue<std::string>("BB_EXE"));

    Evaluator::initializeTmpFiles(_tmp.path());
    Evaluator evaluator(params, EvalType::BB, EvalXDefined::USE_BB_EXE);
    Block block = makeBlockInProgress({{1, 2}, {12, 1}});
    std::vector<bool> countEval;
    CerrCapture cerr;
    const auto evalOk = evaluator.eval_block(block, Double(1.0), countEval);
    EXPECT_EQ((std::vector<bool>{true, false}), evalOk) << cerr.text();
}

// ---------------------------------------------------------------------------
// The temporary file
// ---------------------------------------------------------------------------

TEST_F(EvaluatorTest, TemporaryFileIsNeverReachedThroughALink)
{
    const std::string victim = _tmp.file("victim");
    std::ofstream(victim) << "keep\n";
    const std::string planted = tmpPrefix(_tmp.path());
    std::filesystem::create_symlink(victim, planted);

    // "perm" answers the mode bits of its file and 0 for a plain file.
    Block block = makeBlockInProgress({{1, 2}});
    std::vector<bool> countEval;
    std::string err;
    auto evalOk = runBlock(testBBCommand("perm"), "OBJ PB", block, countEval, err);
    ASSERT_EQ(std::vector<bool>{true}, evalOk) << err;
    EXPECT_EQ("600 0", block[0]->getBBO(EvalType::BB));
    EXPECT_EQ("keep\n", readFile(victim));
    EXPECT_TRUE(isSymlink(planted));

    // The file of a block is replaced before the next block (a link to
    // the victim, a pipe that nobody reads): the next block writes a new
    // file of its own, without waiting, and leaves the replacement alone.
    Evaluator evaluator(makeEvalParams(testBBCommand("perm"), "OBJ PB"), EvalType::BB,
                        EvalXDefined::USE_BB_EXE);
    const struct
    {
        const char* label;
        std::function<void(const std::string&)> replace;
        std::function<bool(const std::string&)> isReplacement;
    } replacements[] = {
        {"link", [&](const std::string& f) { std::filesystem::create_symlink(victim, f); },
         isSymlink},
        {"pipe", [](const std::string& f) { ASSERT_EQ(0, ::mkfifo(f.c_str(), 0600)); },
         [](const std::string& f)
         { return std::filesystem::is_fifo(std::filesystem::symlink_status(f)); }},
    };
    std::vector<std::string> replaced;
    for (const auto& r : replacements)
    {
        SCOPED_TRACE(r.label);
        const std::string previous = TmpFilesView::names().at(0);
        ASSERT_EQ(0, std::remove(previous.c_str()));
        r.replace(previous);
        replaced.push_back(previous);
        block = makeBlockInProgress({{1, 2}});
        {
            CerrCapture cerr;
            evalOk = evaluator.eval_block(block, Double(1.0), countEval);
        }
        EXPECT_EQ(std::vector<bool>{true}, evalOk);
        EXPECT_EQ("600 0", block[0]->getBBO(EvalType::BB));
        EXPECT_EQ("keep\n", readFile(victim));
        EXPECT_NE(previous, TmpFilesView::names().at(0));
    }

    // Only the file created here is removed; the replacements stay.
    const std::string last = TmpFilesView::names().at(0);
    Evaluator::removeTmpFiles();
    EXPECT_FALSE(exists(last));
    EXPECT_TRUE(isSymlink(replaced[0]));
    EXPECT_TRUE(std::filesystem::is_fifo(std::filesystem::symlink_status(replaced[1])));
    EXPECT_TRUE(isSymlink(planted));
}

TEST_F(EvaluatorTest, TemporaryFileIsKeptForTheNextBlockAndRemovedAtTheEnd)
{
    // Twice in one process: a new run starts without the files of the last.
    for (int run = 0; run < 2; ++run)
    {
        SCOPED_TRACE("run " + std::to_string(run));
        ProcessStateGuard::resetToLoadState();
        EXPECT_TRUE(TmpFilesView::names().empty());
        Evaluator::initializeTmpFiles(_tmp.path());
        ASSERT_EQ(std::vector<std::string>{tmpPrefix(_tmp.path())}, TmpFilesView::names());
        EXPECT_FALSE(exists(TmpFilesView::names()[0])); // created by the first block

        Evaluator evaluator(makeEvalParams(testBBCommand("normal"), "OBJ PB"), EvalType::BB,
                            EvalXDefined::USE_BB_EXE);
        std::vector<bool> countEval;
        Block block = makeBlockInProgress({{1, 2}});
        evaluator.eval_block(block, Double(1.0), countEval);
        const std::string file = TmpFilesView::names().at(0);
        ASSERT_TRUE(exists(file));
        block = makeBlockInProgress({{3, 4}, {5, 6}});
        evaluator.eval_block(block, Double(1.0), countEval);
        EXPECT_EQ(file, TmpFilesView::names().at(0));
        EXPECT_EQ("3 4\n5 6\n", readFile(file));

        Evaluator::removeTmpFiles();
        EXPECT_TRUE(TmpFilesView::names().empty());
        EXPECT_FALSE(exists(file));

        // A second call has nothing left to remove.
        std::ofstream(file) << "someone else's\n";
        Evaluator::removeTmpFiles();
        EXPECT_TRUE(exists(file));
        std::remove(file.c_str());
    }
}

TEST_F(EvaluatorTest, TemporaryFileCannotBeWritten)
{
    const std::string missingDir = _tmp.file("missing");
    ProcessStateGuard::resetToLoadState();
    Evaluator::initializeTmpFiles(missingDir);
    Evaluator evaluator(makeEvalParams(testBBCommand("normal"), "OBJ PB"), EvalType::BB,
                        EvalXDefined::USE_BB_EXE);
    Block block = makeBlockInProgress({{1, 2}, {12, 1}});
    std::vector<bool> countEval;
    CerrCapture cerr;
    const auto evalOk = evaluator.eval_block(block, Double(1.0), countEval);

    EXPECT_EQ((std::vector<bool>{false, false}), evalOk);
    EXPECT_EQ((std::vector<EvalStatusType>{S::EVAL_ERROR, S::EVAL_ERROR}), statusesOf(block));
    const std::string file = "to temporary file \"" + tmpPrefix(missingDir) + "\"";
    const auto lines = linesOf(cerr.text());
    ASSERT_EQ(2u, lines.size()) << cerr.text();
    EXPECT_EQ(0u, lines[0].rfind("Error writing point #1 ( 1 2 )", 0)) << lines[0];
    EXPECT_EQ(0u, lines[1].rfind("Error writing point #2 ( 12 1 )", 0)) << lines[1];
    for (const auto& line : lines)
    {
        EXPECT_EQ(line.size() - file.size(), line.rfind(file)) << line;
    }
}

TEST_F(EvaluatorTest, NoTemporaryFileNamed)
{
    ProcessStateGuard::resetToLoadState();
    Evaluator evaluator(makeEvalParams(testBBCommand("normal"), "OBJ PB"), EvalType::BB,
                        EvalXDefined::USE_BB_EXE);
    Block block = makeBlockInProgress({{1, 2}});
    std::vector<bool> countEval;
    CerrCapture cerr;
    EXPECT_EQ(std::vector<bool>{false}, evaluator.eval_block(block, Double(1.0), countEval));
    EXPECT_EQ("Error: Evaluator: No temp file available.\n", cerr.text());
    EXPECT_EQ(std::vector<EvalStatusType>{S::EVAL_IN_PROGRESS}, statusesOf(block));
}

TEST_F(EvaluatorTest, EmptyExecutableThrowsBeforeAnyFileIsWritten)
{
    // A "$" alone is a command without text.
    for (const char* bbExe : {"", "$"})
    {
        SCOPED_TRACE(bbExe);
        Evaluator::initializeTmpFiles(_tmp.path());
        Evaluator evaluator(makeEvalParams(bbExe, "OBJ"), EvalType::BB, EvalXDefined::USE_BB_EXE);
        Block block = makeBlockInProgress({{1, 2}});
        std::vector<bool> countEval;
        EXPECT_EQ("Evaluator: No blackbox executable defined.",
                  messageOf([&] { evaluator.eval_block(block, Double(1.0), countEval); }));
        EXPECT_TRUE(std::filesystem::is_empty(_tmp.path()));
    }
}

// ---------------------------------------------------------------------------
// Waiting for the program
// ---------------------------------------------------------------------------

void ignoreSignal(int) {}

TEST_F(EvaluatorTest, SignalWhileWaitingForOutput)
{
    // A handler without SA_RESTART: the wait for the second line is cut
    // short by the signal the program sends; the line still arrives.
    struct sigaction action = {};
    action.sa_handler = ignoreSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    struct sigaction previous = {};
    ASSERT_EQ(0, ::sigaction(SIGUSR1, &action, &previous));
    ScopedEnv pid("QARNO_TEST_SIGNAL_PID", std::to_string(::getpid()));

    Block block = makeBlockInProgress({{1, 2}, {12, 1}});
    std::vector<bool> countEval;
    std::string err;
    const auto evalOk = runBlock(testBBCommand("sigparent"), "OBJ PB", block, countEval, err);
    ::sigaction(SIGUSR1, &previous, nullptr);

    EXPECT_EQ("", err);
    EXPECT_EQ((std::vector<bool>{true, true}), evalOk);
    EXPECT_EQ((std::vector<EvalStatusType>{S::EVAL_OK, S::EVAL_CONS_H_OVER}), statusesOf(block));
}

/// The process ids that the "hang" mode logged.
std::vector<long> loggedPids(const std::string& file)
{
    std::vector<long> pids;
    for (const auto& line : linesOf(readFile(file)))
    {
        pids.push_back(std::atol(line.c_str()));
    }
    return pids;
}

TEST_F(EvaluatorTest, TimeLimitEndsTheProgramAndAllItStarted)
{
    // "hang" starts a child that sleeps 30 s holding the output open: both
    // are ended when the time limit passes, and the points fail.
    const std::string pids = _tmp.file("pids");
    const std::string runs = _tmp.file("runs");
    ScopedEnv logPids("QARNO_TEST_BB_PIDS", pids);
    ScopedEnv logRuns("QARNO_TEST_BB_LOG", runs);
    // Time enough for the program to start and log, even on a loaded machine.
    Clock::reset();
    Evaluator::setTimeLimit(3);

    Block block = makeBlockInProgress({{1, 2}, {12, 1}});
    std::vector<bool> countEval;
    std::string err;
    auto evalOk = runBlock(testBBCommand("hang"), "OBJ PB", block, countEval, err);

    EXPECT_EQ((std::vector<EvalStatusType>{S::EVAL_ERROR, S::EVAL_ERROR}), statusesOf(block));
    EXPECT_EQ((std::vector<bool>{false, false}), evalOk);
    // They ran: they count.
    EXPECT_EQ((std::vector<bool>{true, true}), countEval);
    const std::string ended = ": MAX_TIME \\(3 s\\) reached: the blackbox executable was ended";
    expectLinesMatch({"Warning: Evaluation error with point #1 \\( 1 2 \\).*" + ended,
                      "Warning: Evaluation error with point #2 \\( 12 1 \\).*" + ended},
                     err);
    EXPECT_EQ(BaseStopType::MAX_TIME_REACHED, AllStopReasons::_baseStopReason.get());
    const auto started = loggedPids(pids);
    ASSERT_EQ(2u, started.size());
    for (const long pid : started)
    {
        EXPECT_TRUE(QarnoTest::processEnded(pid)) << pid;
    }

    // Once the time is out, a block does not start the program at all.
    block = makeBlockInProgress({{3, 4}});
    evalOk = runBlock(testBBCommand("normal"), "OBJ PB", block, countEval, err);
    EXPECT_EQ(std::vector<EvalStatusType>{S::EVAL_ERROR}, statusesOf(block));
    EXPECT_EQ(std::vector<bool>{false}, evalOk);
    EXPECT_EQ(std::vector<bool>{false}, countEval);
    expectLinesMatch({"Warning: Evaluation error with point #3 \\( 3 4 \\).*: MAX_TIME \\(3 s\\) "
                      "reached: the blackbox executable was not started"},
                     err);
    EXPECT_EQ("2\n", readFile(runs));
}

TEST_F(EvaluatorTest, WithoutTimeLimitTheProgramRunsToItsEnd)
{
    // A program that pauses twice (and, without QARNO_TEST_SIGNAL_PID,
    // signals nobody), given the time: it ends by itself, well, with or
    // without a group of its own.
    ScopedEnv pid("QARNO_TEST_SIGNAL_PID", std::nullopt);
    Clock::reset();
    const size_t limits[] = {Evaluator::NO_TIME_LIMIT, 600};
    for (const size_t limit : limits)
    {
        SCOPED_TRACE(limit);
        Evaluator::setTimeLimit(limit);
        Block block = makeBlockInProgress({{1, 2}});
        std::vector<bool> countEval;
        std::string err;
        const auto evalOk = runBlock(testBBCommand("sigparent"), "OBJ PB", block, countEval, err);
        EXPECT_EQ("", err);
        EXPECT_EQ(std::vector<bool>{true}, evalOk);
        EXPECT_EQ(std::vector<EvalStatusType>{S::EVAL_OK}, statusesOf(block));
        EXPECT_EQ(BaseStopType::STARTED, AllStopReasons::_baseStopReason.get());
    }
}

void recordTermination(int signalValue)
{
    SignalRecord::setTermination(signalValue);
}

TEST_F(EvaluatorTest, TerminationSignalEndsTheProgram)
{
    // The program sends SIGTERM to this process while it hangs: the signal
    // is only recorded, the wait notices it and ends the program with the
    // same signal.
    struct sigaction action = {};
    action.sa_handler = recordTermination;
    sigemptyset(&action.sa_mask);
    struct sigaction previous = {};
    ASSERT_EQ(0, ::sigaction(SIGTERM, &action, &previous));
    const std::string pids = _tmp.file("pids");
    ScopedEnv logPids("QARNO_TEST_BB_PIDS", pids);
    ScopedEnv pid("QARNO_TEST_SIGNAL_PID", std::to_string(::getpid()));
    ScopedEnv number("QARNO_TEST_SIGNAL", std::to_string(SIGTERM));
    // A limit far away: the program has a group of its own, which the
    // signal ends whole.
    Clock::reset();
    Evaluator::setTimeLimit(600);

    Block block = makeBlockInProgress({{1, 2}});
    std::vector<bool> countEval;
    std::string err;
    const auto evalOk = runBlock(testBBCommand("hang"), "OBJ PB", block, countEval, err);
    ::sigaction(SIGTERM, &previous, nullptr);

    EXPECT_EQ(std::vector<EvalStatusType>{S::EVAL_ERROR}, statusesOf(block));
    EXPECT_EQ(std::vector<bool>{false}, evalOk);
    expectLinesMatch({"Warning: Evaluation error with point #1 \\( 1 2 \\).*: the run received "
                      "SIGTERM: the blackbox executable was ended"},
                     err);
    for (const long started : loggedPids(pids))
    {
        EXPECT_TRUE(QarnoTest::processEnded(started)) << started;
    }
}

TEST_F(EvaluatorTest, CommandThatCannotBeStarted)
{
#ifdef __SANITIZE_ADDRESS__
    // The sanitizers' own checks open pipes, which the limit below denies.
    GTEST_SKIP() << "needs a process without sanitizers";
#endif
    // One descriptor left: enough for the temporary file, not for a pipe.
    const int lowestFree = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(lowestFree, 0);
    ::close(lowestFree);
    struct rlimit previous;
    ASSERT_EQ(0, ::getrlimit(RLIMIT_NOFILE, &previous));

    Evaluator::initializeTmpFiles(_tmp.path());
    Evaluator evaluator(makeEvalParams(testBBCommand("normal"), "OBJ PB"), EvalType::BB,
                        EvalXDefined::USE_BB_EXE);
    Block block = makeBlockInProgress({{1, 2}});
    std::vector<bool> countEval;
    std::vector<bool> evalOk;
    CerrCapture cerr;
    {
        struct rlimit limit = previous;
        limit.rlim_cur = static_cast<rlim_t>(lowestFree) + 1;
        ASSERT_EQ(0, ::setrlimit(RLIMIT_NOFILE, &limit));
        evalOk = evaluator.eval_block(block, Double(1.0), countEval);
        ::setrlimit(RLIMIT_NOFILE, &previous);
    }
    EXPECT_EQ(std::vector<bool>{false}, evalOk);
    EXPECT_EQ(std::vector<EvalStatusType>{S::EVAL_ERROR}, statusesOf(block));
    expectLinesMatch({"Warning: Evaluation error with point #1 \\( 1 2 \\)(\t.*)?"}, cerr.text());
}

// ---------------------------------------------------------------------------
// Point by point or in blocks
// ---------------------------------------------------------------------------

/// An evaluator of its own: f = the first coordinate, counted, in order.
class FirstCoordinateEvaluator : public Evaluator
{
public:
    using Evaluator::Evaluator;

    bool eval_x(EvalPoint& x, const Double&, bool& countEval) const override
    {
        _seen.push_back(x[0].todouble());
        x.setBBO(x[0].roundTripString(), BBOutputTypeList{BBOutputType::OBJ}, _evalType, true);
        countEval = x[0].todouble() > 0;
        return x[0].todouble() != 2;
    }

    mutable std::vector<double> _seen;
};

TEST_F(EvaluatorTest, ClassWithItsOwnEvalX)
{
    const EvalXDefined starts[] = {EvalXDefined::UNDEFINED, EvalXDefined::EVAL_X_DEFINED};
    for (const auto start : starts)
    {
        SCOPED_TRACE(static_cast<int>(start));
        FirstCoordinateEvaluator evaluator(makeEvalParams("", "OBJ"), EvalType::SGTE, start);
        Block block = makeBlockInProgress({{1, 0}, {2, 0}, {-3, 0}}, EvalType::SGTE);
        std::vector<bool> countEval{true};
        CerrCapture cerr;
        const auto evalOk = evaluator.eval_block(block, Double(1.0), countEval);

        EXPECT_EQ("", cerr.text());
        EXPECT_EQ(EvalXDefined::EVAL_X_DEFINED, evaluator.getEvalXDefined());
        EXPECT_EQ((std::vector<double>{1, 2, -3}), evaluator._seen);
        EXPECT_EQ((std::vector<bool>{true, false, true}), evalOk);
        EXPECT_EQ((std::vector<bool>{true, true, false}), countEval);
        EXPECT_EQ("-3", block[2]->getBBO(EvalType::SGTE));
        EXPECT_EQ("", block[2]->getBBO(EvalType::BB));
    }
}

TEST_F(EvaluatorTest, ClassWithoutEvalXGoesToTheExecutable)
{
    // The first block point by point (the base eval_x finds out that it
    // must use the executable), every later block in one run.
    const std::string log = _tmp.file("runs");
    ScopedEnv logRuns("QARNO_TEST_BB_LOG", log);
    Evaluator::initializeTmpFiles(_tmp.path());
    Evaluator evaluator(makeEvalParams(testBBCommand("normal"), "OBJ PB"), EvalType::BB,
                        EvalXDefined::UNDEFINED);

    Block block = makeBlockInProgress({{1, 2}, {12, 1}});
    std::vector<bool> countEval;
    auto evalOk = evaluator.eval_block(block, Double(1.0), countEval);
    EXPECT_EQ(EvalXDefined::USE_BB_EXE, evaluator.getEvalXDefined());
    EXPECT_EQ((std::vector<bool>{true, true}), evalOk);
    EXPECT_EQ((std::vector<EvalStatusType>{S::EVAL_OK, S::EVAL_CONS_H_OVER}), statusesOf(block));
    EXPECT_EQ(13.0, block[1]->getF(EvalType::BB).todouble());
    EXPECT_EQ(2u, block[1]->getTag());

    block = makeBlockInProgress({{1, 2}, {12, 1}});
    evalOk = evaluator.eval_block(block, Double(1.0), countEval);
    EXPECT_EQ((std::vector<bool>{true, true}), evalOk);
    EXPECT_EQ("1\n1\n2\n", readFile(log));
}

TEST_F(EvaluatorTest, BlocksThatCannotBeEvaluated)
{
    FirstCoordinateEvaluator evaluator(makeEvalParams("", "OBJ"), EvalType::BB,
                                       EvalXDefined::EVAL_X_DEFINED);
    std::vector<bool> countEval;
    Block empty;
    EXPECT_EQ("Evaluator: eval_block called with an empty block",
              messageOf([&] { evaluator.eval_block(empty, Double(1.0), countEval); }));

    Block incomplete = makeBlockInProgress({{1, 2}, {3, UNDEF}});
    EXPECT_EQ("Evaluator: Incomplete point " + incomplete[1]->display(),
              messageOf([&] { evaluator.eval_block(incomplete, Double(1.0), countEval); }));
    EXPECT_TRUE(evaluator._seen.empty());

    FirstCoordinateEvaluator odd(makeEvalParams("", "OBJ"), EvalType::BB,
                                 static_cast<EvalXDefined>(7));
    Block block = makeBlockInProgress({{1, 2}});
    EXPECT_EQ("Error: This value of EvalXDefined is not processed: 7",
              messageOf([&] { odd.eval_block(block, Double(1.0), countEval); }));
}

TEST_F(EvaluatorTest, PointNotInProgressIsEvaluatedWithAWarning)
{
    FirstCoordinateEvaluator evaluator(makeEvalParams("", "OBJ"), EvalType::BB,
                                       EvalXDefined::EVAL_X_DEFINED);
    Block block = makeBlockInProgress({{1, 2}});
    block.push_back(std::make_shared<EvalPoint>(Point(QarnoTest::makeArray({4, 5}))));
    block[1]->updateTag();
    std::vector<bool> countEval;
    CerrCapture cerr;
    const auto evalOk = evaluator.eval_block(block, Double(1.0), countEval);
    EXPECT_EQ("Warning: EVAL should already be IN_PROGRESS for point #2 ( 4 5 )\n", cerr.text());
    EXPECT_EQ((std::vector<bool>{true, true}), evalOk);
    EXPECT_EQ((std::vector<double>{1, 4}), evaluator._seen);
}

} // namespace
