// Nelder-Mead alone through the main step, as a user runs it on smooth
// problems within bounds: it must reach the optimum within a modest budget,
// not stall on points it has seen already.

#include <array>
#include <charconv>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Eval/EvalPoint.hpp"
#include "Type/BBOutputType.hpp"
#include "support/EvcSupport.hpp"
#include "support/MadsSupport.hpp"
#include "support/TestSupport.hpp"

namespace
{

using namespace QARNO_4_0_0;
using QarnoTest::FunctionEvaluator;
using QarnoTest::MadsRunResult;
using QarnoTest::ProcessStateGuard;

using Objective = std::function<double(const std::vector<double>&)>;

double quadratic3(const std::vector<double>& d)
{
    return d[0] * d[0] + 2 * d[1] * d[1] + 3 * d[2] * d[2] + 0.5 * d[0] * d[1];
}

double rosenbrock(const std::vector<double>& x)
{
    double f = 0;
    for (size_t i = 0; i + 1 < x.size(); ++i)
    {
        const double a = x[i + 1] - x[i] * x[i];
        const double b = 1 - x[i];
        f += 100 * a * a + b * b;
    }
    return f;
}

/// The objective as the blackbox's output line, with every digit kept.
std::shared_ptr<FunctionEvaluator> evaluatorOf(const Objective& objective)
{
    return std::make_shared<FunctionEvaluator>(
        stringToBBOutputTypeList("OBJ"),
        [objective](const EvalPoint& point)
        {
            std::vector<double> x(point.size());
            for (size_t i = 0; i < point.size(); ++i)
            {
                x[i] = point[i].todouble();
            }
            std::array<char, 32> text{};
            const auto end = std::to_chars(text.data(), text.data() + text.size(), objective(x));
            return std::string(text.data(), end.ptr);
        });
}

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
    struct Case
    {
        std::string what;
        Objective objective;
        std::vector<double> x0;
        size_t budget;
        double target;
    };
    const std::vector<Case> cases = {
        {"3-D quadratic from (1, 1, 1)", quadratic3, {1, 1, 1}, 600, 1e-8},
        {"Rosenbrock n = 2 from 0", rosenbrock, {0, 0}, 1000, 1e-6},
        {"Rosenbrock n = 2 from (-1.2, -1.2)", rosenbrock, {-1.2, -1.2}, 1000, 1e-6},
        {"Rosenbrock n = 4 from 0", rosenbrock, {0, 0, 0, 0}, 3000, 1e-4},
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
                QarnoTest::runMadsMainStep(params, evaluatorOf(c.objective));
            EXPECT_LE(result.bbEval, c.budget);
            EXPECT_LE(result.bestF, c.target) << result.stopReason;
        }
    }
}
