// The history and solution files: the "SOL BBO" line at precision 20, one
// history line per record, the solution file rewritten with the last record,
// the solution-file switch of phase one, files that cannot be opened, and
// several runs in one process.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <limits>
#include <locale>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Math/Point.hpp"
#include "Output/OutputDirectToFile.hpp"
#include "Output/StatsInfo.hpp"
#include "Param/AllParameters.hpp"
#include "Param/DisplayParameters.hpp"
#include "Util/WriteFailures.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::CerrCapture;
using QarnoTest::makeArray;
using QarnoTest::messageOf;
using QarnoTest::ProcessStateGuard;
using QarnoTest::TempDir;
using QarnoTest::UNDEF;

namespace
{

/// Checked display parameters of a problem of dimension n with the given
/// (absolute or empty) history and solution file names.
std::shared_ptr<DisplayParameters> displayParams(const std::string& historyFile,
                                                 const std::string& solutionFile, size_t n = 2)
{
    AllParameters all;
    all.setAttributeValue<size_t>("DIMENSION", n);
    all.setAttributeValue<Point>("X0", Point(n, Double(0.0)));
    all.setAttributeValue<std::string>("HISTORY_FILE", historyFile);
    all.setAttributeValue<std::string>("SOLUTION_FILE", solutionFile);
    all.checkAndComply();
    return all.get_display_params();
}

StatsInfo record(const std::vector<double>& x, const std::string& bbo)
{
    StatsInfo stats;
    stats.setSol(Point(makeArray(x)));
    stats.setBBO(bbo);
    // Fields other than SOL and BBO never reach these files.
    stats.setObj(42.0);
    stats.setBBE(3);
    stats.setSuccess(true);
    stats.setComment("(comment)");
    return stats;
}

bool fileExists(const std::string& name)
{
    return std::ifstream(name).good();
}

/// The whole content of a file; "<missing>" when it cannot be read.
std::string contentOf(const std::string& name)
{
    std::ifstream in(name);
    if (!in)
    {
        return "<missing>";
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void fill(const std::string& name, const std::string& content)
{
    std::ofstream(name) << content;
}

OutputDirectToFile& writer()
{
    return *OutputDirectToFile::getInstance();
}

/// One coordinate column at precision 20: 24 characters, the missing
/// decimals shown as blanks after the number.
std::string col(const std::string& number)
{
    return number + std::string(number.size() < 24 ? 24 - number.size() : 0, ' ');
}

// The lines of the records below.
const std::string LINE_A = col("  1") + " " + col("  2") + " 0 1";
const std::string LINE_B = col("  3") + " " + col("  4") + " 0 2";
const std::string LINE_C = col("  5") + " " + col("  6") + " 0 3";

StatsInfo recordA()
{
    return record({1, 2}, "0 1");
}
StatsInfo recordB()
{
    return record({3, 4}, "0 2");
}
StatsInfo recordC()
{
    return record({5, 6}, "0 3");
}

/// Decimal comma and digit grouping, as a program's locale may have them.
class CommaNumpunct : public std::numpunct<char>
{
protected:
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

} // namespace

TEST(OutputDirectToFile, LineHoldsTheCoordinatesAtPrecision20AndTheRawOutput)
{
    ProcessStateGuard guard;
    TempDir dir;
    const struct
    {
        const char* label;
        std::vector<double> x;
        const char* bbo;
        std::string expected;
    } cases[] = {
        {"integers", {1, 2}, "0 1", LINE_A},
        {"decimals",
         {0.1, -2.5},
         "1.5 -3",
         col("  0.10000000000000000555") + " " + col(" -2.5") + " 1.5 -3"},
        {"blanks inside the output kept",
         {1, 2},
         "  7.25 \t fail  x ",
         col("  1") + " " + col("  2") + "   7.25 \t fail  x "},
        {"undefined coordinate", {UNDEF, 3}, "x", col("  -") + " " + col("  3") + " x"},
        {"empty output", {1, 2}, "", col("  1") + " " + col("  2") + " "},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        const std::string history = dir.file("history.txt");
        const std::string solution = dir.file("solution.txt");
        writer().init(displayParams(history, solution));
        writer().write(record(c.x, c.bbo), true, true);
        EXPECT_EQ(c.expected + "\n", contentOf(history));
        EXPECT_EQ(c.expected + "\n", contentOf(solution));
        OutputDirectToFile::resetInstance();
    }
}

TEST(OutputDirectToFile, GoodToWriteWithAHistoryOrASolutionFile)
{
    ProcessStateGuard guard;
    TempDir dir;
    EXPECT_FALSE(writer().goodToWrite());
    // Without any file name nothing is written, even before init.
    writer().write(recordA(), true, true);

    const struct
    {
        bool history;
        bool solution;
        bool expected;
    } cases[] = {
        {false, false, false},
        {true, false, true},
        {false, true, true},
        {true, true, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "history " << c.history << " solution " << c.solution);
        OutputDirectToFile::resetInstance();
        const std::string history = c.history ? dir.file("h.txt") : "";
        const std::string solution = c.solution ? dir.file("s.txt") : "";
        writer().init(displayParams(history, solution));
        EXPECT_EQ(c.expected, writer().goodToWrite());
        writer().write(recordA(), true, true);
        EXPECT_EQ(c.history, fileExists(dir.file("h.txt")));
        EXPECT_EQ(c.solution, fileExists(dir.file("s.txt")));
        std::remove(dir.file("h.txt").c_str());
        std::remove(dir.file("s.txt").c_str());
    }
}

TEST(OutputDirectToFile, HistoryKeepsEveryRecordAndSolutionOnlyTheLast)
{
    ProcessStateGuard guard;
    TempDir dir;
    const std::string history = dir.file("history.txt");
    const std::string solution = dir.file("solution.txt");
    // What the files held before the run is gone from the history at init,
    // and from the solution file at its first write.
    fill(history, "old history\n");
    fill(solution, "old solution\n");
    writer().init(displayParams(history, solution));
    EXPECT_EQ("", contentOf(history));
    EXPECT_EQ("old solution\n", contentOf(solution));

    const struct
    {
        const char* label;
        StatsInfo stats;
        bool toSolution;
        bool toHistory;
        std::string history;
        std::string solution;
    } steps[] = {
        {"first best", recordA(), true, true, LINE_A + "\n", LINE_A + "\n"},
        {"not a best", recordB(), false, true, LINE_A + "\n" + LINE_B + "\n", LINE_A + "\n"},
        {"second best", recordC(), true, true, LINE_A + "\n" + LINE_B + "\n" + LINE_C + "\n",
         LINE_C + "\n"},
        {"solution only (end of phase one)", recordB(), true, false,
         LINE_A + "\n" + LINE_B + "\n" + LINE_C + "\n", LINE_B + "\n"},
    };
    for (const auto& s : steps)
    {
        SCOPED_TRACE(s.label);
        writer().write(s.stats, s.toSolution, s.toHistory);
        EXPECT_EQ(s.history, contentOf(history));
        EXPECT_EQ(s.solution, contentOf(solution));
    }
}

TEST(OutputDirectToFile, SolutionSwitchLeavesTheSolutionFileAlone)
{
    ProcessStateGuard guard;
    TempDir dir;
    const std::string history = dir.file("history.txt");
    const std::string solution = dir.file("solution.txt");
    writer().init(displayParams(history, solution));
    EXPECT_TRUE(writer()._writeSolutionFile);

    // Phase one switches the solution file off; the history goes on.
    writer()._writeSolutionFile = false;
    writer().write(recordA(), true, true);
    EXPECT_FALSE(fileExists(solution));
    EXPECT_EQ(LINE_A + "\n", contentOf(history));

    writer()._writeSolutionFile = true;
    writer().write(recordB(), true, true);
    EXPECT_EQ(LINE_B + "\n", contentOf(solution));

    writer()._writeSolutionFile = false;
    writer().write(recordC(), true, false);
    EXPECT_EQ(LINE_B + "\n", contentOf(solution));
    EXPECT_EQ(LINE_A + "\n" + LINE_B + "\n", contentOf(history));

    // A run that ended inside phase one does not keep the next run from
    // writing its solution file.
    const std::string nextSolution = dir.file("solution2.txt");
    writer().init(displayParams(dir.file("history2.txt"), nextSolution));
    EXPECT_TRUE(writer()._writeSolutionFile);
    writer().write(recordC(), true, true);
    EXPECT_EQ(LINE_C + "\n", contentOf(nextSolution));
}

TEST(OutputDirectToFile, UnopenableFileIsReportedAndTheRunGoesOn)
{
    ProcessStateGuard guard;
    TempDir dir;
    const std::string missingDir = dir.file("no-such-dir");
    const struct
    {
        const char* label;
        std::string history;
        std::string solution;
        std::string initWarning;
        std::string writeWarning;
    } cases[] = {
        {"history", missingDir + "/history.txt", dir.file("solution.txt"),
         "Warning: could not open history file " + missingDir + "/history.txt\n", ""},
        {"solution", dir.file("history.txt"), missingDir + "/solution.txt", "",
         "Warning: could not open solution file " + missingDir + "/solution.txt\n"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        OutputDirectToFile::resetInstance();
        std::remove(dir.file("history.txt").c_str());
        std::remove(dir.file("solution.txt").c_str());
        {
            CerrCapture err;
            writer().init(displayParams(c.history, c.solution));
            EXPECT_EQ(c.initWarning, err.text());
        }
        {
            CerrCapture err;
            writer().write(recordA(), true, true);
            writer().write(recordB(), false, true);
            EXPECT_EQ(c.writeWarning, err.text());
        }
        // The file that could be opened has its records; the other is
        // recorded as a file the run could not write.
        if (c.initWarning.empty())
        {
            EXPECT_EQ(LINE_A + "\n" + LINE_B + "\n", contentOf(c.history));
            EXPECT_EQ(std::vector<std::string>{c.solution}, WriteFailures::files());
        }
        else
        {
            EXPECT_EQ(LINE_A + "\n", contentOf(c.solution));
            EXPECT_EQ(std::vector<std::string>{c.history}, WriteFailures::files());
        }
        WriteFailures::reset();
    }
}

TEST(OutputDirectToFile, FullDiskIsReportedOnceAndRecorded)
{
    // Every write fails on /dev/full, as on a full disk: said once per file,
    // and the run goes on.
    ProcessStateGuard guard;
    TempDir dir;
    const struct
    {
        const char* label;
        std::string history;
        std::string solution;
        std::string warning;
    } cases[] = {
        {"history", "/dev/full", dir.file("solution.txt"),
         "Warning: could not write history file /dev/full: the history is incomplete\n"},
        {"solution", dir.file("history.txt"), "/dev/full",
         "Warning: could not write solution file /dev/full\n"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ProcessStateGuard::resetToLoadState();
        writer().init(displayParams(c.history, c.solution));
        CerrCapture err;
        writer().write(recordA(), true, true);
        writer().write(recordB(), true, true);
        writer().write(recordC(), true, true);
        EXPECT_EQ(c.warning, err.text());
        EXPECT_EQ(std::vector<std::string>{"/dev/full"}, WriteFailures::files());
        const std::string written = ("/dev/full" == c.history) ? c.solution : c.history;
        EXPECT_NE("<missing>", contentOf(written));
    }
}

TEST(OutputDirectToFile, MissingDisplayParametersAreRefused)
{
    ProcessStateGuard guard;
    TempDir dir;
    EXPECT_EQ("OutputDirectToFile::initParameters: Display Parameters are NULL",
              messageOf([]() { writer().init(nullptr); }));
    EXPECT_FALSE(writer().goodToWrite());

    // A refused init keeps the configuration in place.
    const std::string history = dir.file("history.txt");
    writer().init(displayParams(history, ""));
    EXPECT_EQ("OutputDirectToFile::initParameters: Display Parameters are NULL",
              messageOf([]() { writer().init(nullptr); }));
    writer().write(recordA(), true, true);
    EXPECT_EQ(LINE_A + "\n", contentOf(history));
}

TEST(OutputDirectToFile, SecondRunWithTheSameHistoryFileIsRefused)
{
    ProcessStateGuard guard;
    TempDir dir;
    const std::string history = dir.file("history.txt");
    const std::string firstSolution = dir.file("solution1.txt");
    const std::string secondSolution = dir.file("solution2.txt");
    writer().init(displayParams(history, firstSolution));
    writer().write(recordA(), true, true);

    EXPECT_EQ("OutputDirectToFile::init: the history file " + history +
                  " is already written by an earlier run of this process",
              messageOf([&]() { writer().init(displayParams(history, secondSolution)); }));

    // The first run's configuration stays: its history is not truncated and
    // its solution file still receives the records.
    writer().write(recordB(), true, true);
    EXPECT_EQ(LINE_A + "\n" + LINE_B + "\n", contentOf(history));
    EXPECT_EQ(LINE_B + "\n", contentOf(firstSolution));
    EXPECT_FALSE(fileExists(secondSolution));
}

TEST(OutputDirectToFile, TwoRunsInOneProcess)
{
    ProcessStateGuard guard;
    TempDir dir;
    const std::string firstHistory = dir.file("history1.txt");
    const std::string secondHistory = dir.file("history2.txt");
    const std::string solution = dir.file("solution.txt");

    writer().init(displayParams(firstHistory, solution));
    writer().write(recordA(), true, true);

    // The second run writes its own history, truncated; the first one's
    // stays as it was.
    fill(secondHistory, "stale\n");
    writer().init(displayParams(secondHistory, solution));
    EXPECT_EQ("", contentOf(secondHistory));
    writer().write(recordB(), false, true);
    EXPECT_EQ(LINE_A + "\n", contentOf(firstHistory));
    EXPECT_EQ(LINE_B + "\n", contentOf(secondHistory));
    EXPECT_EQ(LINE_A + "\n", contentOf(solution));
}

TEST(OutputDirectToFile, HistoryFileOfAnEarlierRunIsClosedWhenTheNextSetsNone)
{
    ProcessStateGuard guard;
    TempDir dir;
    const std::string history = dir.file("history.txt");
    const std::string solution = dir.file("solution.txt");

    writer().init(displayParams(history, ""));
    writer().write(recordA(), true, true);

    // The next run keeps only a solution file: its records must not reach
    // the earlier run's history.
    writer().init(displayParams("", solution));
    EXPECT_TRUE(writer().goodToWrite());
    writer().write(recordB(), true, true);
    EXPECT_EQ(LINE_A + "\n", contentOf(history));
    EXPECT_EQ(LINE_B + "\n", contentOf(solution));

    // The name is free again: a third run may use it, truncated.
    writer().init(displayParams(history, ""));
    EXPECT_EQ("", contentOf(history));
    writer().write(recordC(), false, true);
    EXPECT_EQ(LINE_C + "\n", contentOf(history));
}

TEST(OutputDirectToFile, ResetInstanceGivesTheStateAtLoad)
{
    ProcessStateGuard guard;
    TempDir dir;
    const std::string history = dir.file("history.txt");
    writer().init(displayParams(history, dir.file("solution.txt")));
    writer()._writeSolutionFile = false;
    writer().write(recordA(), true, true);

    OutputDirectToFile::resetInstance();
    EXPECT_TRUE(writer()._writeSolutionFile);
    EXPECT_FALSE(writer().goodToWrite());
    // Not initialised any more: the same history file is accepted.
    writer().init(displayParams(history, ""));
    EXPECT_EQ("", contentOf(history));
}

TEST(OutputDirectToFile, NumbersIgnoreTheProgramLocale)
{
    ProcessStateGuard guard;
    TempDir dir;
    const std::string history = dir.file("history.txt");
    const std::locale previous =
        std::locale::global(std::locale(std::locale::classic(), new CommaNumpunct));
    // The writer and its streams are made under the program's locale.
    OutputDirectToFile::resetInstance();
    writer().init(displayParams(history, ""));
    writer().write(record({123.5, -0.25}, "1234.5 0"), false, true);
    std::locale::global(previous);
    EXPECT_EQ(col("123.5") + " " + col(" -0.25") + " 1234.5 0\n", contentOf(history));
}
