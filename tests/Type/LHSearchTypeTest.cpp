#include "Type/LHSearchType.hpp"
#include "support/TestSupport.hpp"

#include <string>

#include <gtest/gtest.h>

#include "Util/Exception.hpp"

namespace
{

using namespace QARNO_4_0_0;
using QarnoTest::messageOf;

TEST(LHSearchTypeText, ReadsTheTwoCounts)
{
    const struct
    {
        const char* text;
        bool enabled;
        size_t nbInitial;
        size_t nbIteration;
    } cases[] = {
        {"", false, 0, 0},
        {"100 0", true, 100, 0},
        {"0 0", false, 0, 0},
        {"0 7", true, 0, 7},
        {"10 5", true, 10, 5},
        {"  3   4 ", true, 3, 4},
        {"INF 0", true, 2147483647, 0},
        {"1 +inf", true, 1, 2147483647},
        {"007 2", true, 7, 2},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string("'") + c.text + "'");
        const LHSearchType lh(c.text);
        EXPECT_EQ(c.enabled, lh.isEnabled());
        EXPECT_EQ(c.nbInitial, lh.getNbInitial());
        EXPECT_EQ(c.nbIteration, lh.getNbIteration());
    }
}

TEST(LHSearchTypeText, DefaultIsTheValueOfAnEmptyText)
{
    const LHSearchType lh;
    EXPECT_FALSE(lh.isEnabled());
    EXPECT_EQ(0u, lh.getNbInitial());
    EXPECT_EQ(0u, lh.getNbIteration());
    EXPECT_EQ(LHSearchType(""), lh);
    EXPECT_EQ(LHSearchType("0 0"), lh);
    EXPECT_NE(LHSearchType("1 0"), lh);
    EXPECT_NE(LHSearchType("1 0"), LHSearchType("0 1"));
    EXPECT_EQ(LHSearchType("5 2"), LHSearchType(" 5 2 "));
}

TEST(LHSearchTypeText, RefusesBadTexts)
{
    const struct
    {
        const char* text;
        const char* message;
    } cases[] = {
        {"5", "LHSearchType must have 2 entries, got 1( 5 )"},
        {"1 2 3", "LHSearchType must have 2 entries, got 3( 1 2 3 )"},
        {"   ", "LHSearchType must have 2 entries, got 0(     )"},
        {"inf", "LHSearchType must have 2 entries, got 1( inf )"},
        // A count that is not a non-negative integer is refused instead of
        // becoming a near-infinite number of points.
        {"-1 5", "LHSearchType: invalid number of points: -1"},
        {"5 -3", "LHSearchType: invalid number of points: -3"},
        {"a 5", "LHSearchType: invalid number of points: a"},
        {"1.5 2", "LHSearchType: invalid number of points: 1.5"},
        {"1 2e3", "LHSearchType: invalid number of points: 2e3"},
        {"+5 1", "LHSearchType: invalid number of points: +5"},
        {"99999999999 1", "LHSearchType: invalid number of points: 99999999999"},
        {"1 -INF", "LHSearchType: invalid number of points: -INF"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string("'") + c.text + "'");
        try
        {
            LHSearchType lh(c.text);
            ADD_FAILURE() << "no exception; counts " << lh.getNbInitial() << " "
                          << lh.getNbIteration();
        }
        catch (const Exception& e)
        {
            EXPECT_EQ(c.message, messageOf(e));
        }
    }
}

} // namespace
