// Statistics lines: the keywords and their texts, the words of a format with
// their display formats, the line for each keyword, the separators, the
// alignment of the objective and h columns, the comment, the success mark,
// the header and the display filters.

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <locale>
#include <string>
#include <vector>

#include "Math/ArrayOfDouble.hpp"
#include "Math/Double.hpp"
#include "Math/Point.hpp"
#include "Output/DisplayStatsType.hpp"
#include "Output/StatsInfo.hpp"
#include "Util/ArrayOfString.hpp"
#include "Util/Utils.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::makeArray;
using QarnoTest::ProcessStateGuard;
using QarnoTest::UNDEF;

namespace
{

ArrayOfString words(const std::string& text)
{
    return ArrayOfString(text, " ");
}

/// One evaluation with every field set, counters above 1000 included.
StatsInfo filledRecord()
{
    StatsInfo stats;
    stats.setObj(3.14159);
    stats.setConsH(0.5);
    stats.setHMax(2.0);
    stats.setBBE(1234);
    stats.setFeasBBE(1001);
    stats.setInfBBE(233);
    stats.setRelSucc(14);
    stats.setPhaseOneSucc(15);
    stats.setAlgoBBE(6);
    stats.setBlkEva(1100);
    stats.setBlkSize(8);
    stats.setBBO("3.14159  0.5 fail");
    stats.setEval(1300);
    stats.setCacheHits(66);
    stats.setCacheSize(1240);
    stats.setIterNum(17);
    stats.setTime(3);
    stats.setMeshIndex(makeArray({UNDEF, UNDEF}));
    stats.setMeshSize(makeArray({0.5, 0.125}));
    stats.setFrameSize(makeArray({1, 2}));
    stats.setLap(21);
    stats.setSgte(22);
    stats.setTotalSgte(23);
    stats.setSol(Point(makeArray({1.25, -2.5})));
    stats.setThreadAlgo(0);
    stats.setThreadNum(3);
    stats.setSuccess(true);
    stats.setComment("(Phase One)");
    stats.setGenStep("Poll");
    stats.setSuccessType(SuccessType::FULL_SUCCESS);
    return stats;
}

/// Decimal comma and digit grouping, as a program's locale may have them.
class CommaNumpunct : public std::numpunct<char>
{
protected:
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

/// Installs a global locale with a decimal comma and grouping for its life.
class CommaLocale
{
public:
    CommaLocale()
        : _previous(std::locale::global(std::locale(std::locale::classic(), new CommaNumpunct)))
    {
    }
    ~CommaLocale() { std::locale::global(_previous); }
    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;

private:
    std::locale _previous;
};

} // namespace

TEST(StatsInfo, KeywordTextsAndTheWordsRead)
{
    ProcessStateGuard guard;
    // DELTA_M and DELTA_F have texts of their own but read as the columns
    // they stand for.
    const struct
    {
        DisplayStatsType type;
        const char* text;
        DisplayStatsType read;
    } cases[] = {
        {DisplayStatsType::OBJ, "OBJ", DisplayStatsType::OBJ},
        {DisplayStatsType::CONS_H, "CONS_H", DisplayStatsType::CONS_H},
        {DisplayStatsType::H_MAX, "H_MAX", DisplayStatsType::H_MAX},
        {DisplayStatsType::BBE, "BBE", DisplayStatsType::BBE},
        {DisplayStatsType::FEAS_BBE, "FEAS_BBE", DisplayStatsType::FEAS_BBE},
        {DisplayStatsType::INF_BBE, "INF_BBE", DisplayStatsType::INF_BBE},
        {DisplayStatsType::ALGO_BBE, "ALGO_BBE", DisplayStatsType::ALGO_BBE},
        {DisplayStatsType::BLK_EVA, "BLK_EVA", DisplayStatsType::BLK_EVA},
        {DisplayStatsType::BLK_SIZE, "BLK_SIZE", DisplayStatsType::BLK_SIZE},
        {DisplayStatsType::LAP, "LAP", DisplayStatsType::LAP},
        {DisplayStatsType::SGTE, "SGTE", DisplayStatsType::SGTE},
        {DisplayStatsType::TOTAL_SGTE, "TOTAL_SGTE", DisplayStatsType::TOTAL_SGTE},
        {DisplayStatsType::BBO, "BBO", DisplayStatsType::BBO},
        {DisplayStatsType::EVAL, "EVAL", DisplayStatsType::EVAL},
        {DisplayStatsType::REL_SUCC, "REL_SUCC", DisplayStatsType::REL_SUCC},
        {DisplayStatsType::PHASE_ONE_SUCC, "PHASE_ONE_SUCC", DisplayStatsType::PHASE_ONE_SUCC},
        {DisplayStatsType::CACHE_HITS, "CACHE_HITS", DisplayStatsType::CACHE_HITS},
        {DisplayStatsType::CACHE_SIZE, "CACHE_SIZE", DisplayStatsType::CACHE_SIZE},
        {DisplayStatsType::ITER_NUM, "ITER_NUM", DisplayStatsType::ITER_NUM},
        {DisplayStatsType::TIME, "TIME", DisplayStatsType::TIME},
        {DisplayStatsType::MESH_INDEX, "MESH_INDEX", DisplayStatsType::MESH_INDEX},
        {DisplayStatsType::MESH_SIZE, "MESH_SIZE", DisplayStatsType::MESH_SIZE},
        {DisplayStatsType::DELTA_M, "DELTA_M", DisplayStatsType::MESH_SIZE},
        {DisplayStatsType::FRAME_SIZE, "FRAME_SIZE", DisplayStatsType::FRAME_SIZE},
        {DisplayStatsType::DELTA_F, "DELTA_F", DisplayStatsType::FRAME_SIZE},
        {DisplayStatsType::SOL, "SOL", DisplayStatsType::SOL},
        {DisplayStatsType::THREAD_ALGO, "THREAD_ALGO", DisplayStatsType::THREAD_ALGO},
        {DisplayStatsType::THREAD_NUM, "THREAD_NUM", DisplayStatsType::THREAD_NUM},
        {DisplayStatsType::GEN_STEP, "GEN_STEP", DisplayStatsType::GEN_STEP},
        {DisplayStatsType::SUCCESS_TYPE, "SUCCESS_TYPE", DisplayStatsType::SUCCESS_TYPE},
        {DisplayStatsType::USER, "USER", DisplayStatsType::USER},
    };
    int value = 0;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(value++, static_cast<int>(c.type));
        EXPECT_EQ(c.text, StatsInfo::displayStatsTypeToString(c.type));
        std::string format = "stale";
        EXPECT_EQ(c.read, StatsInfo::stringToDisplayStatsType(c.text, format));
        EXPECT_EQ("", format);
    }
    EXPECT_EQ("UNDEFINED", StatsInfo::displayStatsTypeToString(static_cast<DisplayStatsType>(31)));
}

TEST(StatsInfo, WordsWithAndWithoutDisplayFormats)
{
    ProcessStateGuard guard;
    const struct
    {
        const char* word;
        DisplayStatsType type;
        const char* format;
    } cases[] = {
        {"obj", DisplayStatsType::OBJ, ""},
        {"%.2fobj", DisplayStatsType::OBJ, "%.2f"},
        {"%5.1fOBJ", DisplayStatsType::OBJ, "%5.1f"},
        {"%.3ECONS_H", DisplayStatsType::CONS_H, "%.3E"},
        {"%dBBE", DisplayStatsType::BBE, "%d"},
        {"%12gH_MAX", DisplayStatsType::H_MAX, "%12g"},
        {"delta_m", DisplayStatsType::MESH_SIZE, ""},
        {"Poll_Size", DisplayStatsType::FRAME_SIZE, ""},
        {"DELTA_P", DisplayStatsType::FRAME_SIZE, ""},
        {"delta_f", DisplayStatsType::FRAME_SIZE, ""},
        {"(", DisplayStatsType::USER, ""},
        {"OBJECTIVE", DisplayStatsType::USER, ""},
        {"%.2fFOO", DisplayStatsType::USER, "%.2f"},
        {"100%", DisplayStatsType::USER, ""},
        {"%", DisplayStatsType::USER, ""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.word);
        std::string format = "stale";
        EXPECT_EQ(c.type, StatsInfo::stringToDisplayStatsType(c.word, format));
        EXPECT_EQ(c.format, format);
    }
}

TEST(StatsInfo, EachKeywordAloneWithoutPrecisions)
{
    ProcessStateGuard guard;
    const StatsInfo stats = filledRecord();
    // No precisions: the objective has 0 decimals in a field of 3, h and
    // hMax the default form, arrays and points the default form.
    const struct
    {
        const char* word;
        const char* expected;
    } cases[] = {
        {"OBJ", "  3"},
        {"CONS_H", "0.5"},
        {"H_MAX", "2"},
        {"BBE", "1234"},
        {"bbe", "1234"},
        {"FEAS_BBE", "1001"},
        {"INF_BBE", "233"},
        {"ALGO_BBE", "6"},
        {"BLK_EVA", "1100"},
        {"BLK_SIZE", "8"},
        {"LAP", "21"},
        {"SGTE", "22"},
        {"TOTAL_SGTE", "23"},
        {"BBO", "3.14159  0.5 fail"},
        {"EVAL", "1300"},
        {"REL_SUCC", "14"},
        {"PHASE_ONE_SUCC", "15"},
        {"CACHE_HITS", "66"},
        {"CACHE_SIZE", "1240"},
        {"ITER_NUM", "17"},
        {"TIME", "3"},
        {"MESH_INDEX", "- -"},
        {"MESH_SIZE", "0.5 0.125"},
        {"DELTA_M", "0.5 0.125"},
        {"FRAME_SIZE", "1 2"},
        {"DELTA_F", "1 2"},
        {"POLL_SIZE", "1 2"},
        {"DELTA_P", "1 2"},
        {"SOL", "1.25 -2.5"},
        {"THREAD_ALGO", "0"},
        {"THREAD_NUM", "3"},
        {"GEN_STEP", "Poll"},
        {"SUCCESS_TYPE", "Full success (dominating)"},
        {"Evaluation:", "Evaluation:"},
        {"%.2fFOO", "%.2fFOO"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.word);
        EXPECT_EQ(c.expected, stats.display(words(c.word), ArrayOfDouble(), 0, 0, false, false));
    }
}

TEST(StatsInfo, FormatsOfTheObjectiveAndHColumns)
{
    ProcessStateGuard guard;
    const StatsInfo stats = filledRecord();
    // The display format replaces precision and width; on other columns it
    // is ignored.
    const struct
    {
        const char* word;
        const char* expected;
    } cases[] = {
        {"%.2fOBJ", "3.14"},      {"%8.3fOBJ", "   3.142"},  {"%eOBJ", "3.141590e+00"},
        {"%5.1fobj", "  3.1"},    {"%.1ECONS_H", "5.0E-01"}, {"%dH_MAX", "2"},
        {"%6.2fH_MAX", "  2.00"}, {"%5dBBE", "1234"},        {"%.1fSOL", "  1.25  -2.5"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.word);
        EXPECT_EQ(c.expected,
                  stats.display(words(c.word), makeArray({2, 1}), 30, 30, false, false));
    }
}

TEST(StatsInfo, PrecisionsAndWidthsOfTheColumns)
{
    ProcessStateGuard guard;
    StatsInfo stats = filledRecord();
    // The objective takes the largest precision of the solution format
    // (truncated); h takes it too unless the objective column is narrower
    // than the h column. Columns are right-aligned in their widths and never
    // cut.
    const struct
    {
        std::vector<double> solFormat;
        size_t objWidth;
        size_t hWidth;
        const char* format;
        const char* expected;
    } cases[] = {
        {{2, 1}, 0, 0, "OBJ", "  3.14"},
        {{2, 1}, 10, 8, "OBJ", "      3.14"},
        {{1.9, 0.5}, 0, 0, "OBJ", "  3.1"},
        {{UNDEF, 2}, 0, 0, "OBJ", "  3.14"},
        {{2, 1}, 2, 0, "OBJ", "3.14"},
        {{2, 1}, 10, 8, "CONS_H", "    0.5 "},
        {{2, 1}, 4, 8, "CONS_H", "     0.5"},
        {{}, 0, 6, "H_MAX", "     2"},
        {{2, 1}, 10, 8, "H_MAX", "    2   "},
        {{2, 1}, 0, 0, "SOL", "  1.25  -2.5"},
        {{2, 1}, 0, 0, "MESH_SIZE", "  0.5    0.1"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.format + (" " + std::to_string(c.objWidth)) + " " +
                     std::to_string(c.hWidth));
        EXPECT_EQ(c.expected, stats.display(words(c.format), makeArray(c.solFormat), c.objWidth,
                                            c.hWidth, false, false));
    }
}

TEST(StatsInfo, AnInfiniteHKeepsItsColumnNarrow)
{
    ProcessStateGuard guard;
    // An infinite h or H_MAX (a point that violates an EB constraint, the
    // threshold at the start) used to fill some 330 characters.
    StatsInfo stats = filledRecord();
    stats.setConsH(INF);
    stats.setHMax(INF);
    // Two columns of width 10 and a separating blank.
    EXPECT_EQ("    inf        inf   ",
              stats.display(words("CONS_H H_MAX"), makeArray({2, 1}), 10, 10, false, false));
}

TEST(StatsInfo, ObjectiveColumnAlignsLinesOnceItsWidthIsKnown)
{
    ProcessStateGuard guard;
    // The output queue widens the objective column to the widest objective
    // shown so far: lines formatted with that width line up.
    const ArrayOfDouble solFormat = makeArray({2});
    const double objectives[] = {3.14159, -1234.5, 0.0, 12.0};
    size_t width = 0;
    for (double obj : objectives)
    {
        StatsInfo stats;
        stats.setObj(obj);
        width =
            std::max(width, stats.display(words("OBJ"), solFormat, width, 0, false, false).size());
    }
    for (double obj : objectives)
    {
        SCOPED_TRACE(obj);
        StatsInfo stats;
        stats.setBBE(7);
        stats.setObj(obj);
        const std::string line = stats.display(words("BBE OBJ"), solFormat, width, 0, false, false);
        EXPECT_EQ(2 + width, line.size()) << "[" << line << "]";
    }
    EXPECT_EQ(8u, width); // "-1234.5" and a blank for the missing decimal
}

TEST(StatsInfo, SeparatorsAroundParentheses)
{
    ProcessStateGuard guard;
    const StatsInfo stats = filledRecord();
    const struct
    {
        const char* format;
        const char* expected;
    } cases[] = {
        {"BBE EVAL ( SOL ) OBJ CONS_H", "1234 1300\t( 1.25 -2.5 )\t  3 0.5"},
        {"( SOL )", "( 1.25 -2.5 )"},
        {"SOL ) ( BBE", "1.25 -2.5 )\t( 1234"},
        {"BBE ( ( BBE", "1234\t(\t( 1234"},
        {"BBE [ SOL ]", "1234 [ 1.25 -2.5 ]"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.format);
        EXPECT_EQ(c.expected, stats.display(words(c.format), ArrayOfDouble(), 0, 0, false, false));
    }
}

TEST(StatsInfo, CommentAndSuccessMark)
{
    ProcessStateGuard guard;
    const struct
    {
        bool success;
        const char* comment;
        bool markSuccess;
        bool appendComment;
        const char* expected;
    } cases[] = {
        {true, "(Phase One)", true, true, "1234 (Phase One) *"},
        {true, "(Phase One)", false, true, "1234 (Phase One)"},
        {true, "(Phase One)", true, false, "1234 *"},
        {true, "(Phase One)", false, false, "1234"},
        {false, "(Phase One)", true, true, "1234 (Phase One)"},
        {true, "", true, true, "1234 *"},
        {false, "", true, true, "1234"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.expected));
        StatsInfo stats = filledRecord();
        stats.setSuccess(c.success);
        stats.setComment(c.comment);
        EXPECT_EQ(c.expected, stats.display(words("BBE"), ArrayOfDouble(), 0, 0, c.markSuccess,
                                            c.appendComment));
    }
}

TEST(StatsInfo, EmptyFormatShowsBbeAndObjWithTheCommentButNoMark)
{
    ProcessStateGuard guard;
    const StatsInfo stats = filledRecord();
    EXPECT_EQ("1234   3 (Phase One)",
              stats.display(ArrayOfString(), ArrayOfDouble(), 0, 9, true, false));
    EXPECT_EQ("1234       3.14 (Phase One)",
              stats.display(ArrayOfString(), makeArray({2}), 10, 40, true, false));
    EXPECT_EQ("BBE OBJ", stats.displayHeader(ArrayOfString(), ArrayOfDouble(), 0));
}

TEST(StatsInfo, HeaderNamesTheWordsWithoutTheirFormats)
{
    ProcessStateGuard guard;
    const StatsInfo stats = filledRecord();
    const struct
    {
        const char* format;
        const char* expected;
    } cases[] = {
        {"BBE OBJ", "BBE OBJ"},
        {"BBE %.2fOBJ %5.1fcons_h", "BBE OBJ cons_h"},
        {"%5.1fOBJ", "OBJ"},
        {"DELTA_M POLL_SIZE", "DELTA_M POLL_SIZE"},
        {"BBE ( SOL ) OBJ", "BBE ( SOL ) OBJ"},
        {"Point: %.2fFOO 100%", "Point: FOO 100%"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.format);
        EXPECT_EQ(c.expected, stats.displayHeader(words(c.format), makeArray({2, 1}), 25));
    }
}

TEST(StatsInfo, DisplayFilters)
{
    ProcessStateGuard guard;
    const struct
    {
        double obj; // NaN: undefined
        size_t bbe;
        double h; // NaN: undefined
        bool success;
        bool displayInfeasible;
        bool displayUnsuccessful;
        bool expected;
    } cases[] = {
        // An undefined objective is never shown, not even the first one.
        {UNDEF, 1, 0, true, true, true, false},
        {UNDEF, 0, 0, true, true, true, false},
        // The first evaluation is always shown.
        {1, 0, 5, false, false, false, true},
        {1, 1, UNDEF, false, false, false, true},
        // Feasibility within the tolerance.
        {1, 2, 1e-14, false, false, true, true},
        {1, 2, -1e-14, false, false, true, true},
        {1, 2, 1e-12, false, false, true, false},
        {1, 2, UNDEF, true, false, true, false},
        {1, 2, 1e-12, false, true, true, true},
        {1, 2, UNDEF, false, true, true, true},
        // Successes.
        {1, 2, 0, false, false, false, false},
        {1, 2, 0, true, false, false, true},
        {1, 2, 3, true, true, false, true},
        {1, 2, 3, false, true, false, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message()
                     << "obj " << c.obj << " bbe " << c.bbe << " h " << c.h << " success "
                     << c.success << " flags " << c.displayInfeasible << c.displayUnsuccessful);
        StatsInfo stats;
        if (c.obj == c.obj)
        {
            stats.setObj(c.obj);
        }
        if (c.h == c.h)
        {
            stats.setConsH(c.h);
        }
        stats.setBBE(c.bbe);
        stats.setSuccess(c.success);
        EXPECT_EQ(c.expected, stats.alwaysDisplay(c.displayInfeasible, c.displayUnsuccessful));
    }
}

TEST(StatsInfo, FreshRecordShowsUndefinedValuesWithoutFailing)
{
    ProcessStateGuard guard;
    const StatsInfo stats;
    EXPECT_EQ("  - - - 0",
              stats.display(words("OBJ CONS_H H_MAX BBE"), ArrayOfDouble(), 0, 0, true, true));
    EXPECT_EQ("NaN NaN",
              stats.display(words("%.2fOBJ %eCONS_H"), ArrayOfDouble(), 0, 0, true, true));
    // An empty point and an empty output leave empty columns.
    EXPECT_EQ("(  )\tNot evaluated yet  |",
              stats.display(words("( SOL ) SUCCESS_TYPE BBO |"), makeArray({2}), 0, 0, true, true));
    EXPECT_EQ("(  |  )", stats.display(words("( SOL | BBO )"), makeArray({2}), 0, 0, true, true));
    EXPECT_EQ("  -  ",
              stats.display(words("OBJ MESH_SIZE GEN_STEP"), ArrayOfDouble(), 0, 0, true, true));
}

TEST(StatsInfo, NumbersIgnoreTheProgramLocale)
{
    ProcessStateGuard guard;
    const StatsInfo stats = filledRecord();
    const ArrayOfString format = words("BBE EVAL CACHE_SIZE ( SOL ) OBJ %.3fOBJ CONS_H MESH_SIZE");
    const std::string classic = stats.display(format, makeArray({2, 1}), 0, 0, true, true);
    EXPECT_EQ("1234 1300 1240\t(   1.25  -2.5 )\t  3.14 3.142   0.5    0.5    0.1 (Phase One) *",
              classic);
    CommaLocale comma;
    EXPECT_EQ(classic, stats.display(format, makeArray({2, 1}), 0, 0, true, true));
}
