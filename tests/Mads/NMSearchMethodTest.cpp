// The Nelder-Mead search inside MADS: its sub-run under the lap budget in
// the optimization mode, and the MADS run around it.

#include <algorithm>
#include <cstddef>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/GatheringSupport.hpp"
#include "support/MadsSupport.hpp"
#include "support/TestSupport.hpp"

namespace
{

using namespace QARNO_4_0_0;
using QarnoTest::ProcessStateGuard;
using QarnoTest::SeenEvaluation;

constexpr size_t NO_BUDGET = std::numeric_limits<size_t>::max();

std::vector<SeenEvaluation> runAtDimension3(const std::vector<std::string>& lines,
                                            QarnoTest::MadsRunResult* result = nullptr)
{
    auto evaluator = QarnoTest::shiftedQuadratic({0.3, -0.7, 1.1});
    std::vector<SeenEvaluation> seen;
    QarnoTest::recordEvaluations(*evaluator, seen);
    std::vector<std::string> all = {"MAX_BB_EVAL 400", "SPECULATIVE_SEARCH no"};
    all.insert(all.end(), lines.begin(), lines.end());
    auto params = QarnoTest::makeMadsParameters(3, "OBJ", {{5, 5, 5}}, all);
    const auto r = QarnoTest::runMadsMainStep(params, evaluator);
    if (nullptr != result)
    {
        *result = r;
    }
    return seen;
}

TEST(NMSearchMethod, SubRunStaysWithinItsLapBudgetAndThePollGoesOn)
{
    const struct
    {
        const char* name;
        std::vector<std::string> lines;
        size_t budget;
    } cases[] = {
        {"default factor 80 at n = 3", {}, 240},
        {"factor 2", {"NM_SEARCH_MAX_TRIAL_PTS_NFACTOR 2"}, 6},
        {"factor 1", {"NM_SEARCH_MAX_TRIAL_PTS_NFACTOR 1"}, 3},
        {"infinite factor: no budget", {"NM_SEARCH_MAX_TRIAL_PTS_NFACTOR INF"}, NO_BUDGET},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard guard;
        QarnoTest::MadsRunResult result;
        const auto seen = runAtDimension3(c.lines, &result);

        size_t nbNelderMead = 0;
        for (size_t i = 0; i < seen.size(); ++i)
        {
            const bool nm = QarnoTest::fromNelderMead(seen[i]);
            nbNelderMead += nm ? 1 : 0;
            // The budget is in force during the sub-run only: the poll and
            // the initialization evaluate without it.
            EXPECT_EQ(nm ? c.budget : NO_BUDGET, seen[i].lapMaxBbEval)
                << i << " " << seen[i].genStep;
        }
        ASSERT_GT(nbNelderMead, 0u);

        for (const auto& s : seen)
        {
            if (QarnoTest::fromNelderMead(s))
            {
                // Counted from the start of its own sub-run.
                EXPECT_LT(s.lapBbEval, c.budget);
            }
        }
        EXPECT_EQ(std::string::npos, result.stopReason.find("Lap")) << result.stopReason;
    }
}

TEST(NMSearchMethod, BindingBudgetEndsTheSubRunAndThePollStillEvaluates)
{
    // With 3 evaluations per sub-run the budget binds; the poll evaluates
    // after the sub-run that used it up.
    const struct
    {
        const char* name;
        const char* line;
        size_t budget;
    } cases[] = {{"factor 1", "NM_SEARCH_MAX_TRIAL_PTS_NFACTOR 1", 3},
                 {"factor 2", "NM_SEARCH_MAX_TRIAL_PTS_NFACTOR 2", 6}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard guard;
        const auto seen = runAtDimension3({c.line});
        size_t usedUp = seen.size();
        for (size_t i = 0; i < seen.size() && seen.size() == usedUp; ++i)
        {
            if (QarnoTest::fromNelderMead(seen[i]) && c.budget - 1 == seen[i].lapBbEval)
            {
                usedUp = i;
            }
        }
        ASSERT_LT(usedUp, seen.size());
        EXPECT_LT(QarnoTest::firstAfter(seen, usedUp, "Poll"), seen.size());
    }
}

TEST(NMSearchMethod, DisabledSearchEvaluatesNothing)
{
    ProcessStateGuard guard;
    const auto seen = runAtDimension3({"NM_SEARCH no"});
    ASSERT_FALSE(seen.empty());
    for (const auto& s : seen)
    {
        EXPECT_FALSE(QarnoTest::fromNelderMead(s)) << s.genStep;
        EXPECT_EQ(NO_BUDGET, s.lapMaxBbEval);
    }
}

} // namespace
