// Nelder-Mead alone through the main step, as a user runs it on smooth
// problems within bounds: it must reach the optimum within a modest budget,
// not stall on points it has seen already.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/MadsSupport.hpp"
#include "support/TestProblems.hpp"
#include "support/TestSupport.hpp"

namespace
{

using namespace QARNO_4_0_0;
using QarnoTest::MadsRunResult;
using QarnoTest::ProcessStateGuard;

std::string repeated(double value, size_t n)
{
    std::string text = "(";
    for (size_t i = 0; i < n; ++i)
    {
        text += " " + std::to_string(value);
    }
    return text + " )";
}

} // namespace

TEST(NMConvergence, NelderMeadAloneReachesTheOptimumOfSmoothProblems)
{
    // Problems of the shared table, within the box [-2, 2]^n.
    struct Case
    {
        std::string what;
        std::string problem;
        std::vector<double> x0;
        size_t budget;
        double target;
    };
    const std::vector<Case> cases = {
        {"3-D quadratic from (1, 1, 1)", "quadratic3", {1, 1, 1}, 600, 1e-8},
        {"Rosenbrock n = 2 from 0", "rosenbrock2", {0, 0}, 1000, 1e-6},
        {"Rosenbrock n = 2 from (-1.2, -1.2)", "rosenbrock2", {-1.2, -1.2}, 1000, 1e-6},
        {"Rosenbrock n = 4 from 0", "rosenbrock4", {0, 0, 0, 0}, 3000, 1e-4},
    };
    for (const auto& c : cases)
    {
        for (int seed : {1, 2})
        {
            SCOPED_TRACE(c.what + ", seed " + std::to_string(seed));
            ProcessStateGuard guard;
            const size_t n = c.x0.size();
            // The settings of the Python module: every variable granular.
            auto params = QarnoTest::makeMadsParameters(
                n, "OBJ", {c.x0},
                {"NM_OPTIMIZATION yes", "DISPLAY_DEGREE 0", "LOWER_BOUND " + repeated(-2, n),
                 "UPPER_BOUND " + repeated(2, n), "GRANULARITY * 1e-7",
                 "MAX_BB_EVAL " + std::to_string(c.budget), "SEED " + std::to_string(seed)});
            const MadsRunResult result =
                QarnoTest::runMadsMainStep(params, QarnoTest::testProblem(c.problem).evaluator());
            EXPECT_LE(result.bbEval, c.budget);
            EXPECT_LE(result.bestF, c.target) << result.stopReason;
        }
    }
}
