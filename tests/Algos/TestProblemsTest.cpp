// The table of test problems as the C++ tests read it: every function meets
// its line, so that it computes what the Python side computes
// (tests/python/test_problems.py reads the same file).

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

#include "support/TestProblems.hpp"

namespace
{

void expectClose(double expected, double actual)
{
    EXPECT_NEAR(expected, actual, 1e-12 * std::fabs(expected) + 1e-15);
}

size_t wordsOf(const std::string& text)
{
    std::istringstream in(text);
    size_t count = 0;
    for (std::string word; in >> word;)
    {
        ++count;
    }
    return count;
}

} // namespace

TEST(TestProblems, EveryProblemMeetsItsTable)
{
    ASSERT_FALSE(QarnoTest::testProblems().empty());
    for (const auto& p : QarnoTest::testProblems())
    {
        SCOPED_TRACE(p.name);
        ASSERT_EQ(p.n, p.x0.size());
        ASSERT_EQ(p.n, p.minimiser.size());
        if (!p.lower.empty())
        {
            ASSERT_EQ(p.n, p.lower.size());
            ASSERT_EQ(p.n, p.upper.size());
            for (size_t i = 0; i < p.n; ++i)
            {
                EXPECT_LE(p.lower[i], p.x0[i]);
                EXPECT_LE(p.x0[i], p.upper[i]);
                EXPECT_LE(p.lower[i], p.minimiser[i]);
                EXPECT_LE(p.minimiser[i], p.upper[i]);
            }
        }
        EXPECT_EQ(wordsOf(p.outputs), p(p.x0).size());
        expectClose(p.minimum, p.f(p.minimiser));
        expectClose(p.fAtX0, p.f(p.x0));
        if (p(p.minimiser).size() > 1)
        {
            EXPECT_LE(p(p.minimiser)[1], 0.0);
        }
    }
}
