// MADS through the qarno program and the blackbox executable: the final
// solution, the cache file written at the end, a second process that goes on
// from that cache without evaluating a point twice, the solution file and
// the marked successes that follow the best point, a run shown at every
// display degree, and granular variables that reach the blackbox on their grid.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <locale>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/CacheSupport.hpp"
#include "support/EvaluatorSupport.hpp"
#include "support/FrontEndSupport.hpp"
#include "support/MadsSupport.hpp"
#include "support/TestSupport.hpp"

namespace
{

using QarnoTest::linesOf;
using QarnoTest::qarnoExe;
using QarnoTest::readTextFile;
using QarnoTest::runProgram;
using QarnoTest::ScopedEnv;
using QarnoTest::TempDir;
using QarnoTest::writeTextFile;

bool contains(const std::string& text, const std::string& part)
{
    return std::string::npos != text.find(part);
}

/// The numbers of each line of a text, read in the classic locale.
std::vector<std::vector<double>> numberLines(const std::string& text)
{
    std::vector<std::vector<double>> lines;
    for (const auto& line : linesOf(text))
    {
        std::istringstream in(line);
        in.imbue(std::locale::classic());
        std::vector<double> numbers;
        double x = 0;
        while (in >> x)
        {
            numbers.push_back(x);
        }
        if (!numbers.empty())
        {
            lines.push_back(numbers);
        }
    }
    return lines;
}

/// The OBJ column of the lines of standard output marked as successes
/// ("BBE OBJ" lines ending in "*").
std::vector<double> markedObjectives(const std::string& out)
{
    std::vector<double> marked;
    for (const auto& line : linesOf(out))
    {
        const size_t star = line.find_last_not_of(' ');
        if (std::string::npos == star || '*' != line[star])
        {
            continue;
        }
        std::istringstream in(line);
        in.imbue(std::locale::classic());
        double bbe = 0;
        double f = 0;
        if (in >> bbe >> f)
        {
            marked.push_back(f);
        }
    }
    return marked;
}

TEST(MadsQarnoExe, RunsThenGoesOnFromTheCacheFile)
{
    TempDir dir;
    writeTextFile(dir.file("param.txt"), "DIMENSION 3\n"
                                         "X0 ( 3 -2 0 )\n"
                                         "BB_EXE " +
                                             QarnoTest::testBBExe() +
                                             "\n"
                                             "BB_OUTPUT_TYPE OBJ\n"
                                             "ADD_SEED_TO_FILE_NAMES no\n"
                                             "MAX_BB_EVAL 120\n"
                                             "CACHE_FILE cache.txt\n"
                                             "SOLUTION_FILE sol.txt\n"
                                             "DISPLAY_DEGREE 2\n");
    ScopedEnv mode("QARNO_TEST_BB_MODE", std::string("quad"));

    ScopedEnv firstLog("QARNO_TEST_BB_POINTS_LOG", dir.file("points1.txt"));
    const auto first = runProgram(qarnoExe(), {"param.txt"}, dir.path());
    ASSERT_EQ(0, first.exitStatus) << first.out << first.err;
    EXPECT_TRUE(contains(first.out, "Best feasible solution")) << first.out;

    // f = sum (x_i - 1)^2: the solution is near ( 1 1 1 ).
    const auto solution = linesOf(readTextFile(dir.file("sol.txt")));
    ASSERT_FALSE(solution.empty()) << first.out;
    std::istringstream words(solution[0]);
    std::vector<double> x(3);
    words >> x[0] >> x[1] >> x[2];
    ASSERT_TRUE(words) << solution[0];
    for (double xi : x)
    {
        EXPECT_NEAR(1, xi, 0.1) << solution[0];
    }

    // The cache file holds every point evaluated, the starting point among
    // them.
    const auto firstPoints = linesOf(readTextFile(dir.file("points1.txt")));
    EXPECT_EQ(120u, firstPoints.size());
    const auto cached = QarnoTest::cachedPointsOf(readTextFile(dir.file("cache.txt")));
    EXPECT_EQ(firstPoints.size(), cached.size());
    ASSERT_FALSE(cached.empty());
    EXPECT_EQ(1, std::count(cached.begin(), cached.end(), "( 3 -2 0 )"));
    const std::set<std::string> firstSet(firstPoints.begin(), firstPoints.end());
    EXPECT_EQ(firstPoints.size(), firstSet.size());

    // A second process reads the cache file: the path of the first run
    // costs nothing, the budget goes to new points.
    ScopedEnv secondLog("QARNO_TEST_BB_POINTS_LOG", dir.file("points2.txt"));
    const auto second = runProgram(qarnoExe(), {"param.txt"}, dir.path());
    ASSERT_EQ(0, second.exitStatus) << second.out << second.err;
    const auto secondPoints = linesOf(readTextFile(dir.file("points2.txt")));
    EXPECT_FALSE(secondPoints.empty());
    const std::set<std::string> secondSet(secondPoints.begin(), secondPoints.end());
    EXPECT_EQ(secondPoints.size(), secondSet.size());
    for (const auto& point : secondPoints)
    {
        EXPECT_EQ(0u, firstSet.count(point)) << point;
    }
    EXPECT_EQ(firstPoints.size() + secondPoints.size(),
              QarnoTest::cachedPointsOf(readTextFile(dir.file("cache.txt"))).size());
}

TEST(MadsQarnoExe, SolutionFileAndMarkedSuccessesFollowTheBestPoint)
{
    // Several points of one iteration beat the references of its start; the
    // last of them was written as the solution although an earlier one was
    // better. From an infeasible X0, no feasible point was marked at all.
    const struct
    {
        const char* label;
        std::string problem;
        std::string mode;
        size_t nbOutputs;
    } cases[] = {
        {"objective only",
         "DIMENSION 3\nX0 ( 2.2 -1.3 0.7 )\nBB_OUTPUT_TYPE OBJ\nDIRECTION_TYPE ORTHO 2N\n", "quad",
         1},
        {"infeasible X0",
         "DIMENSION 2\nX0 ( 15.3 0.2 )\nBB_OUTPUT_TYPE OBJ PB\n"
         "LOWER_BOUND * -20\nUPPER_BOUND * 20\n",
         "normal", 2},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        TempDir dir;
        writeTextFile(dir.file("param.txt"), c.problem + "BB_EXE " + QarnoTest::testBBExe() +
                                                 "\n"
                                                 "MAX_BB_EVAL 40\n"
                                                 "ADD_SEED_TO_FILE_NAMES no\n"
                                                 "SOLUTION_FILE sol.txt\n"
                                                 "HISTORY_FILE history.txt\n"
                                                 "DISPLAY_DEGREE 2\n"
                                                 "DISPLAY_STATS BBE OBJ\n");
        ScopedEnv mode("QARNO_TEST_BB_MODE", c.mode);
        const auto result = runProgram(qarnoExe(), {"param.txt"}, dir.path());
        ASSERT_EQ(0, result.exitStatus) << result.out << result.err;

        // History lines: coordinates, then f (and c, feasible when c <= 0).
        std::vector<double> best;
        for (const auto& line : numberLines(readTextFile(dir.file("history.txt"))))
        {
            const double f = line[line.size() - c.nbOutputs];
            const bool feasible = 1 == c.nbOutputs || line.back() <= 0;
            if (feasible && (best.empty() || f < best[best.size() - c.nbOutputs]))
            {
                best = line;
            }
        }
        ASSERT_FALSE(best.empty()) << readTextFile(dir.file("history.txt"));
        const auto solution = numberLines(readTextFile(dir.file("sol.txt")));
        ASSERT_EQ(1u, solution.size());
        EXPECT_EQ(best, solution[0]);

        const std::vector<double> marked = markedObjectives(result.out);
        ASSERT_FALSE(marked.empty()) << result.out;
        // Shown rounded.
        const double bestF = best[best.size() - c.nbOutputs];
        EXPECT_NEAR(bestF, marked.back(), 1e-6 * std::max(1.0, std::fabs(bestF))) << result.out;
    }
}

TEST(MadsQarnoExe, ASuccessfulRunEndsWithStatusZeroAtEveryDisplayDegree)
{
    // The degree used to be set before the run, which dropped the run's
    // first block start and failed on its last block end.
    for (int degree = 0; degree <= 5; ++degree)
    {
        SCOPED_TRACE("DISPLAY_DEGREE " + std::to_string(degree));
        TempDir dir;
        writeTextFile(dir.file("param.txt"), "DIMENSION 2\n"
                                             "X0 ( 3 -2 )\n"
                                             "BB_EXE " +
                                                 QarnoTest::testBBExe() +
                                                 "\n"
                                                 "BB_OUTPUT_TYPE OBJ\n"
                                                 "MAX_BB_EVAL 4\n"
                                                 "DISPLAY_DEGREE " +
                                                 std::to_string(degree) + "\n");
        ScopedEnv mode("QARNO_TEST_BB_MODE", std::string("quad"));
        const auto result = runProgram(qarnoExe(), {"param.txt"}, dir.path());
        EXPECT_EQ(0, result.exitStatus) << result.err;
        EXPECT_EQ("", result.err);
        if (degree >= 3)
        {
            EXPECT_TRUE(contains(result.out, "Start step Main {\n")) << result.out;
            EXPECT_TRUE(contains(result.out, "} End step Main\n")) << result.out;
        }
    }
}

TEST(MadsQarnoExe, GranularVariablesReachTheBlackboxOnTheirGridWithinTheirBounds)
{
    // Variables 0, 1 and 3 are integers, variable 2 has the granularity
    // 0.1: every coordinate the blackbox reads is written in full
    // precision, so 3.9999999999999996 or 0.30000000000000004 would show.
    struct Case
    {
        const char* name;
        const char* lines;
    };
    const std::vector<Case> cases = {
        {"MADS", ""},
        {"Nelder-Mead alone", "NM_OPTIMIZATION yes\n"},
        {"Latin hypercube alone", "LH_EVAL 60\n"},
        {"Latin-hypercube search", "LH_SEARCH 6 3\n"},
        {"space decomposition", "SSD_MADS_OPTIMIZATION yes\n"},
        {"gathered search and poll", "GENERATE_ALL_POINTS_BEFORE_EVAL yes\n"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        TempDir dir;
        writeTextFile(dir.file("param.txt"), "DIMENSION 4\n"
                                             "X0 ( 3 -2 0.7 7 )\n"
                                             "BB_EXE " +
                                                 QarnoTest::testBBExe() +
                                                 "\n"
                                                 "BB_OUTPUT_TYPE OBJ\n"
                                                 "BB_INPUT_TYPE ( I I R I )\n"
                                                 "GRANULARITY ( 1 1 0.1 1 )\n"
                                                 "LOWER_BOUND ( -3 -10 -2.3 0 )\n"
                                                 "UPPER_BOUND ( 6 10 0.7 8 )\n"
                                                 "MAX_BB_EVAL 200\n"
                                                 "DISPLAY_DEGREE 0\n" +
                                                 std::string(c.lines));
        ScopedEnv mode("QARNO_TEST_BB_MODE", std::string("quad"));
        ScopedEnv log("QARNO_TEST_BB_POINTS_LOG", dir.file("points.txt"));
        const auto run = runProgram(qarnoExe(), {"param.txt"}, dir.path());
        ASSERT_EQ(0, run.exitStatus) << run.out << run.err;

        const auto points = linesOf(readTextFile(dir.file("points.txt")));
        ASSERT_FALSE(points.empty());
        const double lower[] = {-3, -10, -2.3, 0};
        const double upper[] = {6, 10, 0.7, 8};
        std::vector<std::string> offGrid;
        std::vector<std::string> outOfBounds;
        for (const auto& line : points)
        {
            std::istringstream words(line);
            for (size_t i = 0; i < 4; ++i)
            {
                std::string word;
                ASSERT_TRUE(static_cast<bool>(words >> word)) << line;
                const double x = std::strtod(word.c_str(), nullptr);
                // An integer is written without a point; a multiple of 0.1
                // is the double that its one-decimal text reads as.
                char text[32];
                std::snprintf(text, sizeof(text), "%.1f", x);
                const bool onGrid = (2 == i) ? std::strtod(text, nullptr) == x
                                             : std::string::npos == word.find_first_of(".eE");
                if (!onGrid)
                {
                    offGrid.push_back(line);
                }
                if (!(x >= lower[i] && x <= upper[i]))
                {
                    outOfBounds.push_back(line);
                }
            }
        }
        EXPECT_TRUE(offGrid.empty())
            << offGrid.size() << " coordinates off their grid, as in " << offGrid.front();
        EXPECT_TRUE(outOfBounds.empty())
            << outOfBounds.size() << " coordinates outside their bounds, as in "
            << outOfBounds.front();
        // One grid point is one evaluation.
        const std::set<std::string> distinct(points.begin(), points.end());
        EXPECT_EQ(points.size(), distinct.size());
    }
}

} // namespace
