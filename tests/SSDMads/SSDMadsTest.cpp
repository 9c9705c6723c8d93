// SSD-MADS runs through the main step: the sub-problems of each
// mega-iteration (count, pollster, disjoint free variables), their texts,
// the parameter errors, the opportunistic stop, the termination test given
// the sub-problem index, and a failing starting point.

#include <cstddef>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Param/AllParameters.hpp"
#include "Util/Exception.hpp"
#include "support/MadsSupport.hpp"
#include "support/SSDSupport.hpp"
#include "support/TestProblems.hpp"
#include "support/TestSupport.hpp"

namespace
{

using namespace QARNO_4_0_0;
using QarnoTest::MadsRunResult;
using QarnoTest::makeMadsParameters;
using QarnoTest::ProcessStateGuard;
using QarnoTest::recordSSDMegaIterations;
using QarnoTest::runMadsMainStep;
using QarnoTest::shiftedQuadratic;
using QarnoTest::SSDMegaIterationRecord;

bool contains(const std::string& text, const std::string& part)
{
    return std::string::npos != text.find(part);
}

/// The sphere of the shared table in n variables, from (3, ..., 3).
const QarnoTest::TestProblem& sphereOf(size_t n)
{
    return QarnoTest::testProblem("ssd-sphere" + std::to_string(n));
}

struct SSDRun
{
    MadsRunResult result;
    std::vector<SSDMegaIterationRecord> records;
};

void runSSD(SSDRun& run, size_t n, std::vector<std::string> lines)
{
    recordSSDMegaIterations(run.records);
    lines.push_back("SSD_MADS_OPTIMIZATION yes");
    auto params = makeMadsParameters(n, "OBJ", {sphereOf(n).x0}, lines);
    run.result = runMadsMainStep(params, shiftedQuadratic(sphereOf(n).minimiser));
}

TEST(SSDMadsRun, SubproblemCountsAndFreeVariables)
{
    struct Case
    {
        size_t n;
        size_t nbVar;
        size_t nbSubproblem; // the pollster included
    };
    const std::vector<Case> cases = {{4, 2, 3}, {5, 2, 3}, {6, 2, 4}, {6, 3, 3}, {5, 1, 6}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE("n = " + std::to_string(c.n) + ", nbVar = " + std::to_string(c.nbVar));
        ProcessStateGuard guard;
        SSDRun run;
        runSSD(run, c.n,
               {"MAX_BB_EVAL 600", "DISPLAY_DEGREE 3", "SSD_MADS_ITER_OPPORTUNISTIC no",
                "OPPORTUNISTIC_EVAL no",
                "SSD_MADS_NB_VAR_IN_SUBPROBLEM " + std::to_string(c.nbVar)});
        EXPECT_TRUE(contains(run.result.out,
                             " has " + std::to_string(c.nbSubproblem) + " subproblem mads."))
            << run.result.out;
        EXPECT_LE(run.result.bbEval, 600u);
        ASSERT_GE(run.records.size(), 2u);
        size_t k = 0;
        for (const auto& record : run.records)
        {
            EXPECT_EQ(k++, record.k);
            if (record.subproblems.empty())
            {
                continue; // the mesh said stop
            }
            ASSERT_EQ(c.nbSubproblem, record.subproblems.size());
            EXPECT_TRUE(record.subproblems[0].pollster);
            EXPECT_EQ(c.n, record.subproblems[0].freeVariables.size());
            std::set<size_t> freed;
            for (size_t i = 1; i < record.subproblems.size(); ++i)
            {
                const auto& sub = record.subproblems[i];
                EXPECT_FALSE(sub.pollster);
                ASSERT_EQ(c.nbVar, sub.freeVariables.size());
                for (size_t v : sub.freeVariables)
                {
                    // Never freed twice in one mega-iteration while the
                    // pick-up has variables left.
                    EXPECT_TRUE(freed.insert(v).second || freed.size() >= c.n);
                }
            }
            // The sub-problems cover nbVar x (count - 1) variables at most n.
            EXPECT_EQ(std::min(c.n, c.nbVar * (c.nbSubproblem - 1)), freed.size());
        }
        // Without the opportunistic stops (of SSD and of the queue, whose
        // success flag also ends the sequence), every mega-iteration but the
        // last (cut by the budget) runs all its sub-problems.
        for (size_t r = 0; r + 1 < run.records.size(); ++r)
        {
            for (const auto& sub : run.records[r].subproblems)
            {
                EXPECT_TRUE(sub.ran);
            }
        }
    }
}

TEST(SSDMadsRun, PickupExhaustedOrResetWithinAMegaIteration)
{
    struct Case
    {
        std::string name;
        std::vector<std::string> lines;
        // Free-variable counts of the non-pollster sub-problems.
        std::vector<size_t> freeCounts;
        bool exhausted;
    };
    // 4 variables, 2 per sub-problem: four sub-problems draw 6 times from
    // 4 variables. Once the pick-up is empty each draw gives variable 0, so
    // the last sub-problem frees variable 0 alone; with the reset every
    // sub-problem draws afresh and frees two.
    const std::vector<Case> cases = {
        {"exhausted", {"SSD_MADS_NB_SUBPROBLEM 4"}, {2, 2, 1}, true},
        {"reset",
         {"SSD_MADS_NB_SUBPROBLEM 4", "SSD_MADS_RESET_VAR_PICKUP_SUBPROBLEM yes"},
         {2, 2, 2},
         false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard guard;
        SSDRun run;
        auto lines = c.lines;
        lines.push_back("MAX_BB_EVAL 150");
        runSSD(run, 4, lines);
        ASSERT_FALSE(run.records.empty());
        for (const auto& record : run.records)
        {
            if (record.subproblems.empty())
            {
                continue;
            }
            ASSERT_EQ(4u, record.subproblems.size());
            for (size_t i = 1; i < 4; ++i)
            {
                EXPECT_EQ(c.freeCounts[i - 1], record.subproblems[i].freeVariables.size());
            }
            if (c.exhausted)
            {
                EXPECT_EQ(std::set<size_t>{0}, record.subproblems[3].freeVariables);
            }
        }
    }
}

TEST(SSDMadsRun, FullSuccessEndsTheMegaIteration)
{
    ProcessStateGuard guard;
    SSDRun run;
    runSSD(run, 4, {"MAX_BB_EVAL 300"});
    bool cutShort = false;
    for (size_t r = 0; r + 1 < run.records.size(); ++r)
    {
        const auto& record = run.records[r];
        size_t nbRan = 0;
        for (const auto& sub : record.subproblems)
        {
            nbRan += sub.ran ? 1 : 0;
        }
        if (nbRan < record.subproblems.size())
        {
            SCOPED_TRACE("k = " + std::to_string(record.k));
            EXPECT_EQ(SuccessType::FULL_SUCCESS, record.success);
            cutShort = true;
        }
    }
    EXPECT_TRUE(cutShort);
    EXPECT_LE(run.result.bbEval, 300u);
    // The run improves on X0 (f = 4 x 6.x).
    ASSERT_FALSE(run.result.bestFeas.empty());
    EXPECT_LT(run.result.bestF, 0.1);
}

TEST(SSDMadsRun, MaxIterationsCountsSubproblems)
{
    // The termination test receives the sub-problem index: MAX_ITERATIONS 2
    // stops the first mega-iteration before its third sub-problem, and the
    // stop reason ends the run.
    ProcessStateGuard guard;
    SSDRun run;
    runSSD(run, 4, {"MAX_BB_EVAL 1000", "MAX_ITERATIONS 2", "SSD_MADS_ITER_OPPORTUNISTIC no"});
    ASSERT_EQ(1u, run.records.size());
    const auto& subs = run.records[0].subproblems;
    ASSERT_EQ(3u, subs.size());
    EXPECT_TRUE(subs[0].ran);
    EXPECT_TRUE(subs[1].ran);
    EXPECT_FALSE(subs[2].ran);
    EXPECT_TRUE(contains(run.result.stopReason, "Maximum number of iterations"))
        << run.result.stopReason;
    // A decomposition that ran to a stop answers true, whatever its
    // sub-problems found.
    EXPECT_TRUE(run.result.runResult);
}

TEST(SSDMadsRun, FailingStartingPointRunsNoMegaIteration)
{
    ProcessStateGuard guard;
    SSDRun run;
    recordSSDMegaIterations(run.records);
    auto params = makeMadsParameters(4, "OBJ", {sphereOf(4).x0},
                                     {"SSD_MADS_OPTIMIZATION yes", "MAX_BB_EVAL 50"});
    auto failing = shiftedQuadratic(sphereOf(4).minimiser);
    failing->evalOk = [](const EvalPoint&) { return false; };
    run.result = runMadsMainStep(params, failing);
    EXPECT_FALSE(run.result.runResult);
    EXPECT_TRUE(run.records.empty());
    EXPECT_EQ(1u, failing->evaluatedPoints().size());
    EXPECT_TRUE(contains(run.result.stopReason, "Problem with starting point evaluation (Algo)"))
        << run.result.stopReason;
}

TEST(SSDMadsParameters, VariablesPerSubproblemOutOfRange)
{
    struct Case
    {
        size_t n;
        std::string value;
        std::string message;
    };
    const std::vector<Case> cases = {
        {4, "0",
         "Parameter SSD_MADS_NB_VAR_IN_SUBPROBLEM must be between 1 and 4. Value provided: 0"},
        {4, "5",
         "Parameter SSD_MADS_NB_VAR_IN_SUBPROBLEM must be between 1 and 4. Value provided: 5"},
        {5, "6",
         "Parameter SSD_MADS_NB_VAR_IN_SUBPROBLEM must be between 1 and 5. Value provided: 6"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.value);
        ProcessStateGuard guard;
        auto params = makeMadsParameters(
            c.n, "OBJ", {std::vector<double>(c.n, 3.0)},
            {"SSD_MADS_OPTIMIZATION yes", "SSD_MADS_NB_VAR_IN_SUBPROBLEM " + c.value});
        try
        {
            params->checkAndComply();
            ADD_FAILURE() << "no error";
        }
        catch (const Exception& e)
        {
            EXPECT_TRUE(contains(e.what(), c.message)) << e.what();
        }
    }
}

} // namespace
