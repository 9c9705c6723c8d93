// The qarno program and the processes around it: a blackbox executable that
// never returns, ended at MAX_TIME with all it started; the termination
// signals of the system (SIGTERM, SIGHUP), which end the run with its
// reports and leave no temporary file behind.

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <signal.h>

#include "support/CacheSupport.hpp"
#include "support/FrontEndSupport.hpp"
#include "support/MadsSupport.hpp"
#include "support/TestSupport.hpp"

namespace
{

using QarnoTest::readTextFile;
using QarnoTest::RunningProgram;
using QarnoTest::TempDir;
using QarnoTest::writeTextFile;

/// Far beyond what any case needs: only a hang reaches it.
constexpr double HANG_GUARD_SECONDS = 60;

bool contains(const std::string& text, const std::string& part)
{
    return std::string::npos != text.find(part);
}

/// A blackbox executable that never returns: a shell script that writes
/// its process id to bb.pid, starts a child that sleeps (its id in
/// sleep.pid), marks the start with the file "started", and waits.
std::string writeHangingBlackbox(const TempDir& dir)
{
    const std::string path = dir.file("bb.sh");
    writeTextFile(path, "#!/bin/sh\n"
                        "echo $$ > bb.pid\n"
                        "sleep 100000 &\n"
                        "echo $! > sleep.pid\n"
                        "touch started\n"
                        "wait\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    return path;
}

void writeParameters(const TempDir& dir, const std::string& more)
{
    writeTextFile(dir.file("param.txt"), "DIMENSION 2\n"
                                         "X0 ( 1 2 )\n"
                                         "BB_EXE bb.sh\n"
                                         "BB_OUTPUT_TYPE OBJ\n"
                                         "MAX_BB_EVAL 10\n"
                                         "TMP_DIR .\n"
                                         "CACHE_FILE cache.txt\n"
                                         "DISPLAY_DEGREE 2\n" +
                                             more);
}

/// The temporary input files left in `dir`.
std::vector<std::string> tmpFilesIn(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
    {
        const std::string name = entry.path().filename().string();
        if (0 == name.rfind("qarnotmp.", 0))
        {
            names.push_back(name);
        }
    }
    return names;
}

/// The blackbox and its child are gone.
void expectBlackboxEnded(const TempDir& dir)
{
    for (const char* file : {"bb.pid", "sleep.pid"})
    {
        SCOPED_TRACE(file);
        const long pid = std::atol(readTextFile(dir.file(file)).c_str());
        ASSERT_GT(pid, 0);
        EXPECT_TRUE(QarnoTest::processEnded(pid)) << pid;
    }
}

TEST(QarnoProcess, MaxTimeEndsABlackboxThatNeverReturns)
{
    TempDir dir;
    writeHangingBlackbox(dir);
    writeParameters(dir, "MAX_TIME 3\n");

    RunningProgram qarno(QarnoTest::qarnoExe(), {"param.txt"}, dir.path());
    const auto result = qarno.finish(HANG_GUARD_SECONDS);

    ASSERT_FALSE(result.timedOut) << result.out << result.err;
    EXPECT_EQ(0, result.exitStatus) << result.err;
    EXPECT_TRUE(
        contains(result.out, "A termination criterion is reached: Maximum allowed time reached"))
        << result.out;
    EXPECT_TRUE(contains(result.err, "MAX_TIME (3 s) reached: the blackbox executable was ended"))
        << result.err;
    // The point failed, and the run still wrote its cache file.
    EXPECT_TRUE(contains(readTextFile(dir.file("cache.txt")), "( 1 2 ) EVAL_ERROR"));
    expectBlackboxEnded(dir);
    EXPECT_TRUE(tmpFilesIn(dir.path()).empty());
}

TEST(QarnoProcess, TerminationSignalsEndTheRunWithItsReports)
{
    const struct
    {
        const char* label;
        int sig;
        // To the whole job, as a terminal or a batch system sends it, or to
        // qarno alone (which then ends the blackbox itself).
        bool toJob;
        const char* more;
    } cases[] = {
        {"SIGTERM to the job", SIGTERM, true, ""},
        {"SIGHUP to the job", SIGHUP, true, ""},
        {"SIGTERM to qarno alone, with a time limit", SIGTERM, false, "MAX_TIME 600\n"},
        {"SIGHUP to qarno alone, with a time limit", SIGHUP, false, "MAX_TIME 600\n"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        TempDir dir;
        writeHangingBlackbox(dir);
        writeParameters(dir, c.more);

        RunningProgram qarno(QarnoTest::qarnoExe(), {"param.txt"}, dir.path());
        ASSERT_TRUE(QarnoTest::waitForFile(dir.file("started"), HANG_GUARD_SECONDS));
        ASSERT_EQ(0, ::kill(static_cast<pid_t>(c.toJob ? -qarno.pid() : qarno.pid()), c.sig));
        const auto result = qarno.finish(HANG_GUARD_SECONDS);

        ASSERT_FALSE(result.timedOut) << result.out << result.err;
        // The process still ends on the signal, as its sender asked.
        EXPECT_EQ(c.sig, result.termSignal) << result.out << result.err;
        const std::string name = (SIGTERM == c.sig) ? "SIGTERM" : "SIGHUP";
        EXPECT_TRUE(contains(result.out, "QARNO caught signal " + name + ".\nTerminate QARNO.\n"))
            << result.out;
        EXPECT_TRUE(contains(result.out, "A termination criterion is reached: Ctrl-C"))
            << result.out;
        EXPECT_TRUE(contains(readTextFile(dir.file("cache.txt")), "( 1 2 ) EVAL_ERROR"));
        EXPECT_TRUE(tmpFilesIn(dir.path()).empty());
        expectBlackboxEnded(dir);
    }
}

} // namespace
