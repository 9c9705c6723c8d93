// The command line end to end: the test front end (the qarno command line
// over the test algorithm) runs as a child process in a temporary folder,
// with a parameter file and the test blackbox executable.

#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Algos/CommandLine.hpp"
#include "support/CacheSupport.hpp"
#include "support/EvaluatorSupport.hpp"
#include "support/FrontEndSupport.hpp"
#include "support/MainStepSupport.hpp"
#include "support/TestSupport.hpp"

namespace
{

using QarnoTest::ChangeDir;
using QarnoTest::linesOf;
using QarnoTest::ProcessResult;
using QarnoTest::ProcessStateGuard;
using QarnoTest::readTextFile;
using QarnoTest::StreamCapture;
using QarnoTest::TempDir;
using QarnoTest::testBBParameterFile;
using QarnoTest::testFrontEnd;
using QarnoTest::writeTextFile;

bool contains(const std::string& text, const std::string& part)
{
    return std::string::npos != text.find(part);
}

ProcessResult frontEnd(const std::vector<std::string>& args, const std::string& dir)
{
    return QarnoTest::runProgram(testFrontEnd(), args, dir);
}

/// The coordinates of the points of a history file ("x y f c" per line).
std::set<std::pair<double, double>> historyPoints(const std::string& text)
{
    std::set<std::pair<double, double>> points;
    for (const auto& line : linesOf(text))
    {
        std::istringstream in(line);
        in.imbue(std::locale::classic());
        double x = 0;
        double y = 0;
        if (in >> x >> y)
        {
            points.insert({x, y});
        }
    }
    return points;
}

/// The points of a cache file, read as coordinates.
std::set<std::pair<double, double>> cachePoints(const std::string& text)
{
    std::set<std::pair<double, double>> points;
    for (const auto& point : QarnoTest::cachedPointsOf(text))
    {
        std::istringstream in(point);
        in.imbue(std::locale::classic());
        std::string open;
        double x = 0;
        double y = 0;
        if (in >> open >> x >> y)
        {
            points.insert({x, y});
        }
    }
    return points;
}

TEST(QarnoFrontEnd, TextsAndWrongCalls)
{
    TempDir dir;
    const std::string usage = "Run QARNO      : qarno_test_frontend parameters_file\n"
                              "Info           : qarno_test_frontend -i\n"
                              "Help           : qarno_test_frontend -h [keyword]\n"
                              "Version        : qarno_test_frontend -v\n"
                              "Usage          : qarno_test_frontend -u\n\n";
    const struct
    {
        std::vector<std::string> args;
        int exitStatus;
        std::string shown;
    } cases[] = {
        {{}, 1, usage},
        {{"-u"}, 0, usage},
        {{"-x"}, 1, usage},
        {{"param.txt", "other.txt"}, 1, usage},
        {{"-v"}, 0, "Version 4.0.0 Beta 2 Release. Not using OpenMP. Not using TESKORA.\n"},
        {{"-i"}, 0, "QARNO - version 4.0.0\n"},
        {{"-h", "max_bb_eval"}, 0, "MAX_BB_EVAL {"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.args.empty() ? std::string("no argument") : c.args[0]);
        const ProcessResult result = frontEnd(c.args, dir.path());
        EXPECT_EQ(c.exitStatus, result.exitStatus);
        EXPECT_TRUE(contains(result.out, c.shown)) << result.out;
        EXPECT_EQ("", result.err);
    }
}

TEST(QarnoFrontEnd, FailedRunsAreReportedWithAnExitStatus)
{
    TempDir dir;
    writeTextFile(dir.file("no_dimension.txt"), "BB_OUTPUT_TYPE OBJ\n");
    const struct
    {
        std::string paramFile;
        std::string message;
    } cases[] = {
        {"missing.txt", "Could not open parameters file"},
        {"no_dimension.txt", "DIMENSION"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.paramFile);
        const ProcessResult result = frontEnd({c.paramFile}, dir.path());
        EXPECT_EQ(1, result.exitStatus);
        EXPECT_EQ(0u, result.err.rfind("Error: QARNO::Exception thrown (", 0)) << result.err;
        EXPECT_TRUE(contains(result.err, c.message)) << result.err;
        EXPECT_FALSE(contains(result.err, "terminate called"));
        // What was queued before the parameters failed shows at the default
        // display degree: nothing.
        EXPECT_EQ("", result.out);
    }
}

TEST(QarnoFrontEnd, ProblemDirectoryOfAParameterFileElsewhere)
{
    TempDir dir;
    TempDir elsewhere;
    writeTextFile(dir.file("param.txt"), testBBParameterFile("MAX_BB_EVAL 3\n"
                                                             "CACHE_FILE cache.txt\n"));
    const ProcessResult result = frontEnd({dir.file("param.txt")}, elsewhere.path());
    ASSERT_EQ(0, result.exitStatus) << result.err;
    // Relative names are taken in the folder of the parameter file.
    EXPECT_EQ(3u, QarnoTest::cachedPointsOf(readTextFile(dir.file("cache.txt"))).size());
    EXPECT_EQ("", readTextFile(elsewhere.file("cache.txt")));
}

TEST(QarnoFrontEnd, CacheFileReadByASecondProcessEvaluatesNothingTwice)
{
    TempDir dir;
    writeTextFile(dir.file("first.txt"), testBBParameterFile("MAX_BB_EVAL 5\n"
                                                             "CACHE_FILE cache.txt\n"
                                                             "HISTORY_FILE history1.txt\n"));
    writeTextFile(dir.file("second.txt"), testBBParameterFile("MAX_BB_EVAL 4\n"
                                                              "CACHE_FILE cache.txt\n"
                                                              "HISTORY_FILE history2.txt\n"));
    ProcessResult result = frontEnd({"first.txt"}, dir.path());
    ASSERT_EQ(0, result.exitStatus) << result.err;
    const auto firstCache = cachePoints(readTextFile(dir.file("cache.txt")));
    EXPECT_EQ(5u, firstCache.size());
    EXPECT_EQ(firstCache, historyPoints(readTextFile(dir.file("history1.txt"))));

    result = frontEnd({"second.txt"}, dir.path());
    ASSERT_EQ(0, result.exitStatus) << result.err;
    const auto secondEvaluated = historyPoints(readTextFile(dir.file("history2.txt")));
    EXPECT_EQ(4u, secondEvaluated.size());
    for (const auto& point : secondEvaluated)
    {
        EXPECT_EQ(0u, firstCache.count(point)) << point.first << " " << point.second;
    }
    // The second cache file holds both runs.
    EXPECT_EQ(9u, cachePoints(readTextFile(dir.file("cache.txt"))).size());
}

TEST(QarnoFrontEnd, HotRestartWrittenAndContinued)
{
    TempDir interrupted;
    TempDir whole;
    const std::string common = "HOT_RESTART_WRITE_FILES yes\n";
    writeTextFile(interrupted.file("first.txt"), testBBParameterFile(common + "MAX_BB_EVAL 5\n"));
    writeTextFile(interrupted.file("second.txt"),
                  testBBParameterFile(common + "MAX_BB_EVAL 9\nHOT_RESTART_READ_FILES yes\n"));
    writeTextFile(whole.file("param.txt"), testBBParameterFile(common + "MAX_BB_EVAL 9\n"));

    ProcessResult result = frontEnd({"first.txt"}, interrupted.path());
    ASSERT_EQ(0, result.exitStatus) << result.err;
    const std::string firstState = readTextFile(interrupted.file("hotrestart.txt"));
    EXPECT_TRUE(contains(firstState, "ITERATION_COUNT 1\n")) << firstState;
    EXPECT_TRUE(contains(firstState, "NB_BB_EVAL 5\n")) << firstState;

    result = frontEnd({"second.txt"}, interrupted.path());
    ASSERT_EQ(0, result.exitStatus) << result.err;
    EXPECT_TRUE(contains(result.out, "Read hot restart file ")) << result.out;
    // Four more evaluations, not nine: the budget counts the first run's.
    EXPECT_TRUE(contains(result.out, "Blackbox evaluations: 9\n")) << result.out;

    result = frontEnd({"param.txt"}, whole.path());
    ASSERT_EQ(0, result.exitStatus) << result.err;
    EXPECT_EQ(readTextFile(whole.file("hotrestart.txt")),
              readTextFile(interrupted.file("hotrestart.txt")));
    EXPECT_EQ(readTextFile(whole.file("cache.txt")), readTextFile(interrupted.file("cache.txt")));
}

/// What a run of the command line left in its folder.
struct RunTrace
{
    std::string out;
    std::string cache;
    std::string history;
    std::string mainStats;
};

RunTrace traceOf(const std::string& out, const TempDir& dir)
{
    RunTrace trace{out, readTextFile(dir.file("cache.txt")), readTextFile(dir.file("history.txt")),
                   readTextFile(dir.file("main_stats.txt"))};
    // The real time is the one line that may differ.
    auto lines = linesOf(trace.mainStats);
    if (lines.size() > 1)
    {
        lines.erase(lines.begin() + 1);
    }
    trace.mainStats.clear();
    for (const auto& line : lines)
    {
        trace.mainStats += line + "\n";
    }
    return trace;
}

TEST(QarnoFrontEnd, TwoRunsInOneProcessMatchTwoProcesses)
{
    const std::string files = "CACHE_FILE cache.txt\nHISTORY_FILE history.txt\n"
                              "MAIN_STATS_FILE main_stats.txt\n";
    const std::vector<std::string> runs = {
        testBBParameterFile(files + "MAX_BB_EVAL 5\n"),
        testBBParameterFile(files + "MAX_BB_EVAL 7\nHOT_RESTART_WRITE_FILES yes\n"),
    };

    std::vector<RunTrace> inProcess;
    std::vector<RunTrace> processes;
    {
        ProcessStateGuard guard;
        for (const auto& paramText : runs)
        {
            TempDir dir;
            writeTextFile(dir.file("param.txt"), paramText);
            std::string out;
            {
                ChangeDir inDir(dir.path());
                QarnoTest::TestMainStep mainStep;
                char program[] = "qarno_test_frontend";
                char paramFile[] = "param.txt";
                char* argv[] = {program, paramFile, nullptr};
                StreamCapture capture(std::cout);
                EXPECT_EQ(0, QARNO_4_0_0::runCommandLine(2, argv, mainStep));
                out = capture.text();
            }
            inProcess.push_back(traceOf(out, dir));
            ProcessStateGuard::resetToLoadState();
        }
    }
    for (const auto& paramText : runs)
    {
        TempDir dir;
        writeTextFile(dir.file("param.txt"), paramText);
        const ProcessResult result = frontEnd({"param.txt"}, dir.path());
        EXPECT_EQ(0, result.exitStatus) << result.err;
        processes.push_back(traceOf(result.out, dir));
    }

    for (size_t i = 0; i < runs.size(); ++i)
    {
        SCOPED_TRACE("run " + std::to_string(i + 1));
        EXPECT_FALSE(processes[i].cache.empty());
        EXPECT_EQ(processes[i].out, inProcess[i].out);
        EXPECT_EQ(processes[i].cache, inProcess[i].cache);
        EXPECT_EQ(processes[i].history, inProcess[i].history);
        EXPECT_EQ(processes[i].mainStats, inProcess[i].mainStats);
    }
}

} // namespace
