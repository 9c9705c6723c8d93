// Continuous MADS runs pinned point by point: the exact sequence of the
// points a run hands to its evaluator, for a fixed seed. The stopping rules
// and the exact placement of the points on a granular grid and inside the
// bounds must leave runs without granular variables as they are.

#include <charconv>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Eval/EvalPoint.hpp"
#include "Type/BBOutputType.hpp"
#include "support/MadsSupport.hpp"
#include "support/TestSupport.hpp"

namespace
{

using namespace QARNO_4_0_0;
using QarnoTest::FunctionEvaluator;
using QarnoTest::makeMadsParameters;
using QarnoTest::MadsRunResult;
using QarnoTest::ProcessStateGuard;
using QarnoTest::runMadsMainStep;

/// The text of a value that reads back to the same double.
std::string fullText(double v)
{
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof(buf), v);
    return std::string(buf, res.ptr);
}

/// FNV-1a over the bit patterns of every coordinate, in evaluation order:
/// any change of a point, of its place in the sequence or of the length
/// changes it.
std::uint64_t sequenceDigest(const std::vector<std::vector<double>>& points)
{
    std::uint64_t hash = 1469598103934665603ULL;
    for (const auto& point : points)
    {
        for (double v : point)
        {
            std::uint64_t bits = 0;
            std::memcpy(&bits, &v, sizeof(bits));
            for (int b = 0; b < 8; ++b)
            {
                hash ^= (bits >> (8 * b)) & 0xffU;
                hash *= 1099511628211ULL;
            }
        }
    }
    return hash;
}

double rosenbrock(const EvalPoint& x)
{
    double f = 0;
    for (size_t i = 0; i + 1 < x.size(); ++i)
    {
        const double a = x[i].todouble();
        const double b = x[i + 1].todouble();
        f += 100 * (b - a * a) * (b - a * a) + (1 - a) * (1 - a);
    }
    return f;
}

/// f, then for OBJ PB the constraint 1 - sum x_i <= 0.
std::shared_ptr<FunctionEvaluator> evaluatorOf(const std::string& outputs,
                                               double (*objective)(const EvalPoint&))
{
    const BBOutputTypeList types = stringToBBOutputTypeList(outputs);
    const bool constrained = types.size() > 1;
    return std::make_shared<FunctionEvaluator>(
        types,
        [objective, constrained](const EvalPoint& x)
        {
            std::string line = fullText(objective(x));
            if (constrained)
            {
                double sum = 0;
                for (size_t i = 0; i < x.size(); ++i)
                {
                    sum += x[i].todouble();
                }
                line += " " + fullText(1 - sum);
            }
            return line;
        });
}

double slope(const EvalPoint& x)
{
    // Its optimum is the corner where every coordinate is at its upper bound.
    double f = 0;
    for (size_t i = 0; i < x.size(); ++i)
    {
        f -= (1.0 + static_cast<double>(i)) * x[i].todouble();
    }
    return f;
}

double shiftedSphere(const EvalPoint& x)
{
    double f = 0;
    for (size_t i = 0; i < x.size(); ++i)
    {
        const double d = x[i].todouble() - 0.1 * static_cast<double>(i + 1);
        f += d * d;
    }
    return f;
}

struct PinnedRun
{
    const char* name;
    size_t n;
    const char* outputs;
    double (*objective)(const EvalPoint&);
    std::vector<double> x0;
    std::vector<std::string> lines;
    size_t expectedCount;
    std::uint64_t expectedDigest;
    const char* expectedStop;
};

TEST(MadsContinuousRuns, EvaluatedPointsArePinned)
{
    const std::vector<PinnedRun> runs = {
        {"sphere to its own stop", 2, "OBJ", shiftedSphere, {1.5, -0.7},
         {"LOWER_BOUND * -2", "UPPER_BOUND * 2", "SEED 5"}, 223, 0xdc6c22c2be1ba76eULL,
         "Min mesh size reached"},
        {"rosenbrock with the default searches", 3, "OBJ", rosenbrock, {-1.2, 1.0, 0.5},
         {"LOWER_BOUND * -2", "UPPER_BOUND * 2", "MAX_BB_EVAL 400", "SEED 11"}, 400,
         0x70839dd5e4ddc417ULL, "Max number of blackbox evaluations"},
        {"constrained, N+1 directions", 3, "OBJ PB", shiftedSphere, {-1.0, -1.0, -1.0},
         {"DIRECTION_TYPE N+1 UNI", "MAX_BB_EVAL 250", "SEED 3"}, 250, 0x5b0470ba2c634f70ULL,
         "Max number of blackbox evaluations"},
        // Points that a rounding error puts past a bound (0.7 + 6e-14) are
        // evaluated on the bound itself, or found in the cache there.
        {"slope into a corner", 4, "OBJ", slope, {0.0, 0.0, 0.0, 0.0},
         {"LOWER_BOUND * -1.3", "UPPER_BOUND * 0.7", "MAX_BB_EVAL 200"}, 200, 0xb8a6b840da819b29ULL,
         "Max number of blackbox evaluations"},
        {"slope into a corner to its own stop", 2, "OBJ", slope, {0.1, -0.3},
         {"LOWER_BOUND * -1.3", "UPPER_BOUND * 0.7"}, 207, 0xc68cf995b1a26388ULL,
         "Min mesh size reached"},
        {"space decomposition", 4, "OBJ", shiftedSphere, {1.0, 1.0, -1.0, 0.5},
         {"SSD_MADS_OPTIMIZATION yes", "MAX_BB_EVAL 200", "SEED 2"}, 200, 0xf62c4e7d7588620eULL,
         "Max number of blackbox evaluations"},
    };

    for (const auto& run : runs)
    {
        SCOPED_TRACE(run.name);
        ProcessStateGuard guard;
        auto params = makeMadsParameters(run.n, run.outputs, {run.x0}, run.lines);
        auto evaluator = evaluatorOf(run.outputs, run.objective);
        const MadsRunResult result = runMadsMainStep(params, evaluator);
        const auto points = evaluator->evaluatedPoints();

        EXPECT_EQ(run.expectedCount, points.size());
        EXPECT_EQ(run.expectedDigest, sequenceDigest(points))
            << "0x" << std::hex << sequenceDigest(points);
        EXPECT_NE(std::string::npos, result.stopReason.find(run.expectedStop)) << result.stopReason;
    }
}

TEST(MadsContinuousRuns, PointsStayWithinTheBoundsExactly)
{
    // Slopes whose optimum is a corner: the poll and the searches keep
    // pushing past the bounds, and the tolerant bound test accepts points
    // a rounding error beyond them.
    const std::vector<std::vector<double>> starts = {{0.1, -0.3}, {0.0, 0.0, 0.0, 0.0}};
    for (const auto& x0 : starts)
    {
        SCOPED_TRACE("n = " + std::to_string(x0.size()));
        ProcessStateGuard guard;
        auto params = makeMadsParameters(x0.size(), "OBJ", {x0},
                                         {"LOWER_BOUND * -1.3", "UPPER_BOUND * 0.7",
                                          "MAX_BB_EVAL 400"});
        auto evaluator = evaluatorOf("OBJ", slope);
        runMadsMainStep(params, evaluator);
        size_t outside = 0;
        std::string example;
        for (const auto& point : evaluator->evaluatedPoints())
        {
            for (double v : point)
            {
                if (v < -1.3 || v > 0.7)
                {
                    ++outside;
                    example = fullText(v);
                }
            }
        }
        EXPECT_EQ(0u, outside) << "as " << example;
    }
}

} // namespace
