// The output queue: levels per display degree, nested blocks and their
// indentation, the cut of deep blocks, statistics lines on the screen and in
// the statistics file, and the queue's life across the runs of one process.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Math/Double.hpp"
#include "Math/Point.hpp"
#include "Output/OutputInfo.hpp"
#include "Output/OutputLevel.hpp"
#include "Output/OutputQueue.hpp"
#include "Output/StatsInfo.hpp"
#include "Param/AllParameters.hpp"
#include "Param/DisplayParameters.hpp"
#include "Util/ArrayOfString.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::CerrCapture;
using QarnoTest::linesOf;
using QarnoTest::messageOf;
using QarnoTest::ProcessStateGuard;
using QarnoTest::StreamCapture;
using QarnoTest::TempDir;
using QarnoTest::UNDEF;

namespace
{

const size_t INF_SIZE_T = std::numeric_limits<size_t>::max();

/// The display settings a test cares about; the rest keep their defaults.
struct Settings
{
    int degree = 2;
    size_t header = 40;
    size_t maxStepLevel = 20;
    bool allEval = false;
    bool infeasible = false;
    bool unsuccessful = true;
    std::string statsFile;                // STATS_FILE words, blank separated
    std::string displayStats = "BBE OBJ"; // DISPLAY_STATS words
    std::vector<double> granularity;      // empty: none (SOL_FORMAT 6 per variable)
};

Settings atDegree(int degree)
{
    Settings s;
    s.degree = degree;
    return s;
}

/// Checked display parameters of a problem of dimension 2 (X0 at the
/// origin), file names kept as given (no seed inserted).
std::shared_ptr<DisplayParameters> checkedDisplay(const Settings& s)
{
    AllParameters all;
    all.set_DIMENSION(2);
    all.set_X0(Point(2, Double(0.0)));
    all.set_ADD_SEED_TO_FILE_NAMES(false);
    all.setAttributeValue<int>("DISPLAY_DEGREE", s.degree);
    all.setAttributeValue<size_t>("DISPLAY_HEADER", s.header);
    all.setAttributeValue<size_t>("MAX_DISPLAY_STEP_LEVEL", s.maxStepLevel);
    all.setAttributeValue<bool>("DISPLAY_ALL_EVAL", s.allEval);
    all.setAttributeValue<bool>("DISPLAY_INFEASIBLE", s.infeasible);
    all.setAttributeValue<bool>("DISPLAY_UNSUCCESSFUL", s.unsuccessful);
    all.setAttributeValue<ArrayOfString>("STATS_FILE", ArrayOfString(s.statsFile, " "));
    all.setAttributeValue<ArrayOfString>("DISPLAY_STATS", ArrayOfString(s.displayStats, " "));
    if (!s.granularity.empty())
    {
        // SOL_FORMAT is derived from it: the number of decimals per variable.
        all.set_GRANULARITY(QarnoTest::makeArray(s.granularity));
    }
    {
        // The run checks speak about granular variables; not our business.
        StreamCapture quiet(std::cout);
        all.checkAndComply();
    }
    return all.get_display_params();
}

void initQueue(const Settings& s)
{
    OutputQueue::getInstance()->initParameters(checkedDisplay(s));
}

/// One record of a layout table.
struct Rec
{
    OutputLevel level;
    std::vector<std::string> lines;
    bool start;
    bool end;
};

void addAll(const std::vector<Rec>& records)
{
    for (const Rec& r : records)
    {
        ArrayOfString lines;
        for (const std::string& line : r.lines)
        {
            lines.add(line);
        }
        OutputQueue::Add(OutputInfo("Step", lines, r.level, r.start, r.end));
    }
}

Rec normal(const std::string& text)
{
    return {OutputLevel::LEVEL_NORMAL, {text}, false, false};
}
Rec blockOpen(const std::string& text)
{
    return {OutputLevel::LEVEL_NORMAL, {text}, true, false};
}
Rec blockClose(const std::string& text)
{
    return {OutputLevel::LEVEL_NORMAL, {text}, false, true};
}

/// One evaluation to report: feasible (h 0) unless told otherwise; NaN
/// leaves a value undefined.
std::unique_ptr<StatsInfo> makeStats(size_t bbe, double obj, double h = 0.0, bool success = false)
{
    auto stats = std::make_unique<StatsInfo>();
    stats->setBBE(bbe);
    if (obj == obj)
    {
        stats->setObj(obj);
    }
    if (h == h)
    {
        stats->setConsH(h);
    }
    stats->setSuccess(success);
    return stats;
}

/// A statistics record as the evaluation queue makes it.
OutputInfo statsRecord(std::unique_ptr<StatsInfo> stats)
{
    OutputInfo info("EvaluatorControl", "Evaluated point", OutputLevel::LEVEL_STATS);
    info.setStatsInfo(std::move(stats));
    return info;
}

/// The text without the column layout: runs of blanks become one blank,
/// blanks at a line start or end and next to a tab go.
std::string squeezed(const std::string& text)
{
    std::string out;
    for (char ch : text)
    {
        if (ch == ' ' &&
            (out.empty() || out.back() == ' ' || out.back() == '\t' || out.back() == '\n'))
        {
            continue;
        }
        if ((ch == '\t' || ch == '\n') && !out.empty() && out.back() == ' ')
        {
            out.pop_back();
        }
        out += ch;
    }
    if (!out.empty() && out.back() == ' ')
    {
        out.pop_back();
    }
    return out;
}

std::string fileText(const std::string& name)
{
    std::ifstream in(name);
    std::ostringstream oss;
    oss << in.rdbuf();
    return oss.str();
}

/// A text whose conversion counts how often it is made.
struct CountingText
{
    mutable int conversions = 0;
    std::string toString() const
    {
        ++conversions;
        return "expensive debug text";
    }
};

} // namespace

// ---------------------------------------------------------------------------
// Levels
// ---------------------------------------------------------------------------

TEST(OutputQueueLevels, DisplayDegreeChoosesTheLevelsShown)
{
    ProcessStateGuard guard;
    const struct
    {
        int degree;
        OutputLevel maxLevel;
        const char* shown; // the levels whose message is shown, in queue order
    } cases[] = {
        {0, OutputLevel::LEVEL_NONE, ""},
        {1, OutputLevel::LEVEL_VERY_HIGH, "1 2 "},
        {2, OutputLevel::LEVEL_NORMAL, "1 2 3 4 6 "},
        {3, OutputLevel::LEVEL_INFO, "1 2 3 4 6 7 "},
        {4, OutputLevel::LEVEL_DEBUG, "1 2 3 4 6 7 9 "},
        {5, OutputLevel::LEVEL_FULL_DEBUG, "Output all 9 elements.|1 2 3 4 6 7 9 10 "},
    };
    const OutputLevel levels[] = {OutputLevel::LEVEL_ERROR,   OutputLevel::LEVEL_VERY_HIGH,
                                  OutputLevel::LEVEL_WARNING, OutputLevel::LEVEL_HIGH,
                                  OutputLevel::LEVEL_NORMAL,  OutputLevel::LEVEL_INFO,
                                  OutputLevel::LEVEL_DEBUG,   OutputLevel::LEVEL_FULL_DEBUG};
    for (const auto& c : cases)
    {
        SCOPED_TRACE("degree " + std::to_string(c.degree));
        ProcessStateGuard::resetToLoadState();
        initQueue(atDegree(c.degree));
        auto& queue = OutputQueue::getInstance();
        EXPECT_EQ(c.maxLevel, queue->getMaxLevel());

        StreamCapture out(std::cout);
        for (OutputLevel level : levels)
        {
            EXPECT_EQ(level <= c.maxLevel, queue->goodLevel(level));
            queue->add(std::to_string(static_cast<int>(level)), level);
        }
        // A plain text at the statistics level never shows: only its
        // statistics line would.
        queue->add("stats text", OutputLevel::LEVEL_STATS);
        queue->flush();

        std::string shown;
        for (const std::string& line : linesOf(out.text()))
        {
            shown += (line.rfind("Output all", 0) == 0) ? line + "|" : line + " ";
        }
        EXPECT_EQ(c.shown, shown);
    }
}

TEST(OutputQueueLevels, UnknownDegreeIsReportedAndShowsNormalMessages)
{
    ProcessStateGuard guard;
    const int degrees[] = {-1, 6, 42};
    for (int degree : degrees)
    {
        SCOPED_TRACE(degree);
        auto& queue = OutputQueue::getInstance();
        queue->setDisplayDegree(0);
        CerrCapture err;
        queue->setDisplayDegree(degree);
        EXPECT_EQ("Unrecognized display degree to set: " + std::to_string(degree) + "\n",
                  err.text());
        EXPECT_EQ(OutputLevel::LEVEL_NORMAL, queue->getMaxLevel());
    }
}

TEST(OutputQueueLevels, HiddenDebugMessageIsNeverFormatted)
{
    ProcessStateGuard guard;
    const struct
    {
        int degree;
        int conversions;
        const char* shown;
    } cases[] = {
        {0, 0, ""},
        {2, 0, ""},
        {4, 1, "expensive debug text\n"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.degree);
        ProcessStateGuard::resetToLoadState();
        initQueue(atDegree(c.degree));
        CountingText text;
        StreamCapture out(std::cout);
        OutputQueue::addIfShown(OutputLevel::LEVEL_DEBUG, [&text] { return text.toString(); });
        OutputQueue::getInstance()->flush();
        EXPECT_EQ(c.conversions, text.conversions);
        EXPECT_EQ(c.shown, out.text());
    }
}

TEST(OutputQueueLevels, StatisticsReachTheStatsFileAtDegreeZero)
{
    ProcessStateGuard guard;
    TempDir dir;
    Settings s = atDegree(0);
    s.statsFile = dir.file("stats.txt") + " BBE OBJ";
    initQueue(s);
    auto& queue = OutputQueue::getInstance();

    // Levels up to the statistics level pass for the file's sake; the
    // display still shows nothing.
    EXPECT_TRUE(queue->goodLevel(OutputLevel::LEVEL_ERROR));
    EXPECT_TRUE(queue->goodLevel(OutputLevel::LEVEL_STATS));
    EXPECT_FALSE(queue->goodLevel(OutputLevel::LEVEL_NORMAL));

    StreamCapture out(std::cout);
    OutputQueue::Add(statsRecord(makeStats(1, 2.5)));
    queue->add("an error", OutputLevel::LEVEL_ERROR);
    queue->flush();
    EXPECT_EQ("", out.text());
    EXPECT_EQ("1 2.5\n", squeezed(fileText(dir.file("stats.txt"))));
}

// ---------------------------------------------------------------------------
// Blocks and indentation
// ---------------------------------------------------------------------------

TEST(OutputQueueBlocks, NestedBlocksIndentFourBlanksPerLevel)
{
    ProcessStateGuard guard;
    const Rec hiddenOpen{OutputLevel::LEVEL_INFO, {"hidden start"}, true, false};
    const Rec hiddenClose{OutputLevel::LEVEL_INFO, {"hidden end"}, false, true};
    const struct
    {
        const char* name;
        std::vector<Rec> records;
        const char* expected;
    } cases[] = {
        {"nested",
         {blockOpen("Start A"), normal("a"), blockOpen("Start B"),
          Rec{OutputLevel::LEVEL_WARNING, {"b1", "b2"}, false, false}, blockClose("End B"),
          normal("a again"), blockClose("End A"), normal("top")},
         "Start A {\n"
         "    a\n"
         "    Start B {\n"
         "        b1\n"
         "        b2\n"
         "    } End B\n"
         "    a again\n"
         "} End A\n"
         "top\n"},
        {"close and open at once",
         {blockOpen("First"), normal("x"), Rec{OutputLevel::LEVEL_NORMAL, {"Next"}, true, true},
          normal("y"), blockClose("Last")},
         "First {\n"
         "    x\n"
         "} Next {\n"
         "    y\n"
         "} Last\n"},
        {"hidden block flags have no effect",
         {hiddenOpen, normal("not indented"), hiddenClose, normal("still not indented")},
         "not indented\n"
         "still not indented\n"},
        {"block of several lines",
         {Rec{OutputLevel::LEVEL_NORMAL, {"one", "two"}, true, false},
          Rec{OutputLevel::LEVEL_NORMAL, {"three", "four"}, false, true}},
         "one {\n"
         "two {\n"
         "} three\n"
         "} four\n"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard::resetToLoadState();
        initQueue(atDegree(2));
        StreamCapture out(std::cout);
        addAll(c.records);
        OutputQueue::getInstance()->flush();
        EXPECT_EQ(c.expected, out.text());
        EXPECT_EQ(0, OutputQueue::getInstance()->getIndentLevel());
    }
}

TEST(OutputQueueBlocks, DeepBlocksAreCutWithALineOfDots)
{
    ProcessStateGuard guard;
    const std::string cutLine = std::string(8, ' ') + std::string(40, '.') + "\n";

    // With MAX_DISPLAY_STEP_LEVEL 1, every record shown at depth 2 becomes
    // one line of dots (a record of two lines too), deeper records show
    // nothing, and the depth still follows every block start and end.
    Settings s = atDegree(2);
    s.maxStepLevel = 1;
    initQueue(s);
    StreamCapture out(std::cout);
    addAll({blockOpen("A"), blockOpen("B"), blockOpen("C"), normal("c"),
            Rec{OutputLevel::LEVEL_NORMAL, {"c1", "c2"}, false, false}, blockOpen("D"), normal("d"),
            blockClose("D"), blockClose("C"),
            Rec{OutputLevel::LEVEL_NORMAL, {"b1", "b2"}, false, false}, blockClose("B"),
            blockClose("A"), normal("top")});
    OutputQueue::getInstance()->flush();
    EXPECT_EQ("A {\n"
              "    B {\n" +
                  cutLine + cutLine + cutLine +
                  "    } B\n"
                  "} A\n"
                  "top\n",
              out.text());
    EXPECT_EQ(0, OutputQueue::getInstance()->getIndentLevel());
}

TEST(OutputQueueBlocks, BeforeInitialisationBlocksDeeperThanTwentyAreCut)
{
    ProcessStateGuard guard;
    StreamCapture out(std::cout);
    std::vector<Rec> records;
    for (int i = 0; i < 22; ++i)
    {
        records.push_back(blockOpen("L" + std::to_string(i)));
    }
    records.push_back(normal("deepest"));
    addAll(records);
    OutputQueue::getInstance()->flush();

    const std::vector<std::string> lines = linesOf(out.text());
    // L0 to L20 are shown, L21 (depth 21) is cut, "deepest" shows nothing.
    ASSERT_EQ(23u, lines.size());
    EXPECT_EQ("Output all 23 elements.", lines[0]);
    EXPECT_EQ(std::string(80, ' ') + "L20 {", lines[21]);
    EXPECT_EQ(std::string(84, ' ') + std::string(40, '.'), lines[22]);
    EXPECT_EQ(22, OutputQueue::getInstance()->getIndentLevel());
}

TEST(OutputQueueBlocks, MoreEndsThanStartsIsReportedOnceAndNothingIsShownTwice)
{
    ProcessStateGuard guard;
    initQueue(atDegree(2));
    auto& queue = OutputQueue::getInstance();
    StreamCapture out(std::cout);
    addAll({blockOpen("A"), blockClose("End A"), normal("shown once"), blockClose("stray end"),
            normal("after")});

    EXPECT_EQ("OutputQueue has more block ends than block starts.",
              messageOf([&] { queue->flush(); }));
    EXPECT_EQ("A {\n} End A\nshown once\n", out.text());
    EXPECT_EQ(0, queue->getIndentLevel());

    // The next flush goes on with what came after the faulty record.
    queue->flush();
    EXPECT_EQ("A {\n} End A\nshown once\nafter\n", out.text());
    EXPECT_EQ("(no exception)", messageOf([&] { queue->flush(); }));
}

TEST(OutputQueueDeathTest, FlushAtProcessEndReportsInsteadOfThrowing)
{
    ProcessStateGuard guard;
    // The instance is destroyed with the process; its flush meets a stray
    // block end. The process must still end normally.
    EXPECT_EXIT(
        {
            std::cout.rdbuf(nullptr); // the child's display is of no interest
            OutputQueue::getInstance()->add(
                OutputInfo("Step", "stray end", OutputLevel::LEVEL_NORMAL, false, true));
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "OutputQueue has more block ends than block starts\\.");
}

// ---------------------------------------------------------------------------
// Life cycle
// ---------------------------------------------------------------------------

TEST(OutputQueueLifecycle, OutputAllElementsOnlyWhileEverythingIsShown)
{
    ProcessStateGuard guard;
    const struct
    {
        const char* name;
        int degree; // -1: before initParameters
        const char* expected;
    } cases[] = {
        {"before initialisation", -1, "Output all 3 elements.\none\ntwo\nthree\n"},
        {"degree 5", 5, "Output all 3 elements.\none\ntwo\nthree\n"},
        {"degree 4", 4, "one\ntwo\nthree\n"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard::resetToLoadState();
        if (c.degree >= 0)
        {
            initQueue(atDegree(c.degree));
        }
        StreamCapture out(std::cout);
        auto& queue = OutputQueue::getInstance();
        queue->flush(); // an empty queue writes nothing
        addAll({normal("one"), normal("two"), normal("three")});
        queue->flush();
        EXPECT_EQ(c.expected, out.text());
    }
}

TEST(OutputQueueLifecycle, InitParametersNeedsDisplayParameters)
{
    ProcessStateGuard guard;
    EXPECT_EQ("OutputQueue::initParameters: Display Parameters are NULL",
              messageOf([] { OutputQueue::getInstance()->initParameters(nullptr); }));
}

TEST(OutputQueueLifecycle, StatisticsNeedDisplayParameters)
{
    ProcessStateGuard guard;
    auto& queue = OutputQueue::getInstance();
    const auto stats = makeStats(1, 2.0);
    EXPECT_EQ("OutputQueue: Display Parameters are NULL",
              messageOf([&] { queue->flushStatsToStdout(stats.get()); }));
    EXPECT_EQ("(no exception)", messageOf([&] { queue->flushStatsToStdout(nullptr); }));
}

TEST(OutputQueueLifecycle, AddMsgAndSolUsesTheSolutionFormatOfTheQueue)
{
    ProcessStateGuard guard;
    const Point sol = []
    {
        Point p(2);
        p[0] = 1.23456;
        p[1] = -2.0;
        return p;
    }();

    OutputInfo info("Mads", "", OutputLevel::LEVEL_HIGH);
    EXPECT_EQ("OutputQueue: Display Parameters are NULL",
              messageOf([&] { info.addMsgAndSol("Best feasible solution:     ", sol); }));
    EXPECT_EQ(1u, info.getMsg().size());

    Settings s = atDegree(2);
    s.granularity = {0.01, 1.0};
    initQueue(s);
    info.addMsgAndSol("Best feasible solution:     ", sol);
    ASSERT_EQ(2u, info.getMsg().size());
    const std::string line = info.getMsg()[1];
    EXPECT_EQ(0u, line.find("Best feasible solution:     ( ")) << line;
    // Two decimals for the first coordinate, none for the second.
    EXPECT_EQ("Best feasible solution: ( 1.23 -2 )", squeezed(line));
}

TEST(OutputQueueLifecycle, TwoRunsInOneProcess)
{
    ProcessStateGuard guard;
    TempDir dir;
    const std::string statsName = dir.file("stats.txt");
    Settings s = atDegree(2);
    s.header = 3;
    s.statsFile = statsName + " BBE";
    auto& queue = OutputQueue::getInstance();

    StreamCapture out(std::cout);
    initQueue(s);
    for (size_t bbe = 1; bbe <= 4; ++bbe)
    {
        OutputQueue::Add(statsRecord(makeStats(bbe, 100.0 * static_cast<double>(bbe))));
    }
    queue->flush();
    queue->add("left by the first run", OutputLevel::LEVEL_NORMAL);
    EXPECT_EQ("1\n2\n3\n4\n", fileText(statsName));
    EXPECT_LE(3u, queue->getObjWidth()); // widened by "400"

    // The second run shows what the first left, truncates the statistics
    // file, starts the widths again from OBJ_WIDTH and goes on with the
    // header rhythm: its lines are the 5th and 6th of the process, so the
    // header comes back before the 7th.
    initQueue(s);
    EXPECT_EQ("", fileText(statsName));
    EXPECT_EQ(0u, queue->getObjWidth()); // OBJ_WIDTH
    for (size_t bbe = 1; bbe <= 3; ++bbe)
    {
        OutputQueue::Add(statsRecord(makeStats(bbe, 7.0)));
    }
    queue->flush();
    EXPECT_EQ("1\n2\n3\n", fileText(statsName));
    EXPECT_EQ(7u, queue->getStatsLineCount());

    EXPECT_EQ("BBE OBJ\n"
              "1 100\n"
              "2 200\n"
              "3 300\n"
              "\n"
              "BBE OBJ\n"
              "4 400\n"
              "left by the first run\n"
              "1 7\n"
              "2 7\n"
              "\n"
              "BBE OBJ\n"
              "3 7\n",
              squeezed(out.text()));
}

// ---------------------------------------------------------------------------
// Statistics lines
// ---------------------------------------------------------------------------

TEST(OutputQueueStats, HeaderRhythm)
{
    ProcessStateGuard guard;
    const struct
    {
        const char* name;
        int degree;
        size_t header;
        size_t nbLines;
        std::vector<size_t> headerBefore; // 0-based line numbers
    } cases[] = {
        {"every 40 lines", 2, 40, 81, {0, 40, 80}}, {"every 3 lines", 2, 3, 7, {0, 3, 6}},
        {"every line", 2, 1, 3, {0, 1, 2}},         {"0: once", 2, 0, 5, {0}},
        {"INF: never", 2, INF_SIZE_T, 5, {}},       {"degree 3: never", 3, 2, 5, {}},
        {"degree 4: never", 4, 2, 5, {}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard::resetToLoadState();
        Settings s = atDegree(c.degree);
        s.header = c.header;
        initQueue(s);
        StreamCapture out(std::cout);
        for (size_t i = 0; i < c.nbLines; ++i)
        {
            OutputQueue::Add(statsRecord(makeStats(i + 1, 1.0)));
        }
        OutputQueue::getInstance()->flush();

        // H header, E empty line, L statistics line.
        std::string expected;
        size_t h = 0;
        for (size_t i = 0; i < c.nbLines; ++i)
        {
            if (h < c.headerBefore.size() && c.headerBefore[h] == i)
            {
                expected += (i == 0) ? "H" : "EH";
                ++h;
            }
            expected += "L";
        }
        std::string kinds;
        for (const std::string& line : linesOf(out.text()))
        {
            kinds += line.empty() ? "E" : (line == "BBE OBJ" ? "H" : "L");
        }
        EXPECT_EQ(expected, kinds);
    }
}

TEST(OutputQueueStats, DisplayFlagsFilterScreenAndFile)
{
    ProcessStateGuard guard;
    const struct
    {
        const char* name;
        bool allEval;
        bool infeasible;
        bool unsuccessful;
        size_t bbe;
        double obj;
        double h;
        bool success;
        bool onScreen;
        bool inFile;
    } cases[] = {
        {"feasible", false, false, true, 5, 1.0, 0.0, false, true, true},
        {"unsuccessful hidden", false, false, false, 5, 1.0, 0.0, false, false, false},
        {"success passes", false, false, false, 5, 1.0, 0.0, true, true, true},
        {"first evaluation always", false, false, false, 1, 1.0, 3.0, false, true, true},
        {"all eval: screen only", true, false, false, 5, 1.0, 0.0, false, true, false},
        {"infeasible hidden", false, false, true, 5, 1.0, 0.5, false, false, false},
        {"infeasible shown", false, true, true, 5, 1.0, 0.5, false, true, true},
        {"h below the tolerance is feasible", false, false, true, 5, 1.0, 1e-14, false, true, true},
        {"undefined h is not feasible", false, false, true, 5, 1.0, UNDEF, false, false, false},
        {"undefined objective", false, true, true, 1, UNDEF, 0.0, true, false, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard::resetToLoadState();
        TempDir dir;
        Settings s = atDegree(2);
        s.allEval = c.allEval;
        s.infeasible = c.infeasible;
        s.unsuccessful = c.unsuccessful;
        s.header = INF_SIZE_T;
        s.statsFile = dir.file("stats.txt") + " BBE";
        initQueue(s);
        StreamCapture out(std::cout);
        OutputQueue::Add(statsRecord(makeStats(c.bbe, c.obj, c.h, c.success)));
        OutputQueue::getInstance()->flush();
        EXPECT_EQ(c.onScreen, !out.text().empty()) << out.text();
        EXPECT_EQ(c.inFile, !fileText(dir.file("stats.txt")).empty());
        EXPECT_EQ(c.onScreen ? 1u : 0u, OutputQueue::getInstance()->getStatsLineCount());
    }
}

TEST(OutputQueueStats, StatsFileHasFullPrecisionAndNoHeaderMarkOrComment)
{
    ProcessStateGuard guard;
    TempDir dir;
    const std::string statsName = dir.file("stats.txt");
    Settings s = atDegree(2);
    s.statsFile = statsName + " BBE ( SOL ) OBJ";
    s.displayStats = "BBE OBJ";
    s.granularity = {0.01, 0.01};
    initQueue(s);

    auto stats = makeStats(1, 0.1, 0.0, true);
    Point sol(2);
    sol[0] = 0.1;
    sol[1] = 2.0;
    stats->setSol(sol);
    stats->setComment("(comment)");

    StreamCapture out(std::cout);
    OutputQueue::Add(statsRecord(std::move(stats)));
    OutputQueue::getInstance()->flush();

    // The screen: header, the objective at the solution format's precision,
    // the comment and the success mark.
    EXPECT_EQ("BBE OBJ\n1 0.1 (comment) *\n", squeezed(out.text()));
    // The file: 20 digits, nothing else.
    EXPECT_EQ("1\t( 0.10000000000000000555 2 )\t0.10000000000000000555\n",
              squeezed(fileText(statsName)));
}

TEST(OutputQueueStats, ColumnsOnlyGrow)
{
    ProcessStateGuard guard;
    Settings s = atDegree(2);
    s.header = INF_SIZE_T;
    s.displayStats = "OBJ CONS_H BBE";
    s.infeasible = true;
    s.granularity = {1.0, 1.0};
    initQueue(s);
    StreamCapture out(std::cout);
    OutputQueue::Add(statsRecord(makeStats(1, 1.0, 2.0)));
    OutputQueue::Add(statsRecord(makeStats(2, 12345.0, 678.0)));
    OutputQueue::Add(statsRecord(makeStats(3, 1.0, 2.0)));
    OutputQueue::getInstance()->flush();

    const std::vector<std::string> lines = linesOf(out.text());
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ("1 2 1\n12345 678 2\n1 2 3\n", squeezed(out.text()));
    // The wide record widens the columns for good: the narrow record after
    // it lines up with it, right-aligned.
    // After the wide record the narrow one keeps its columns, right-aligned.
    EXPECT_EQ("12345 678 2", lines[1]);
    EXPECT_EQ("    1   2 3", lines[2]);
    EXPECT_EQ(5u, OutputQueue::getInstance()->getObjWidth());
    EXPECT_EQ(3u, OutputQueue::getInstance()->getHWidth());
}

TEST(OutputQueueStats, UnopenableStatsFileIsReportedAndTheRunGoesOn)
{
    ProcessStateGuard guard;
    TempDir dir;
    const std::string statsName = dir.file("no-such-dir/stats.txt");
    Settings s = atDegree(2);
    s.header = INF_SIZE_T;
    s.statsFile = statsName + " BBE OBJ";

    CerrCapture err;
    StreamCapture out(std::cout);
    EXPECT_EQ("(no exception)", messageOf([&] { initQueue(s); }));
    EXPECT_EQ("Warning: could not open stats file " + statsName + "\n", err.text());
    EXPECT_EQ(statsName, OutputQueue::getInstance()->getStatsFileName());

    OutputQueue::Add(statsRecord(makeStats(1, 3.0)));
    EXPECT_EQ("(no exception)", messageOf([] { OutputQueue::getInstance()->flush(); }));
    EXPECT_EQ("1 3\n", squeezed(out.text()));
}
