// Continuous MADS runs pinned point by point: the exact sequence of the
// points a run hands to its evaluator, for a fixed seed. The stopping rules
// and the exact placement of the points on a granular grid and inside the
// bounds must leave runs without granular variables as they are.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Eval/EvalPoint.hpp"
#include "support/MadsSupport.hpp"
#include "support/PinnedRunSupport.hpp"
#include "support/TestSupport.hpp"

namespace
{

using namespace QARNO_4_0_0;
using QarnoTest::fullText;
using QarnoTest::MadsRunResult;
using QarnoTest::makeMadsParameters;
using QarnoTest::pinnedEvaluator;
using QarnoTest::ProcessStateGuard;
using QarnoTest::rosenbrock;
using QarnoTest::runMadsMainStep;
using QarnoTest::sequenceDigest;
using QarnoTest::shiftedSphere;
using QarnoTest::slope;

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
        {"sphere to its own stop",
         2,
         "OBJ",
         shiftedSphere,
         {1.5, -0.7},
         {"LOWER_BOUND * -2", "UPPER_BOUND * 2", "SEED 5"},
         223,
         0xdc6c22c2be1ba76eULL,
         "Min mesh size reached"},
        {"rosenbrock with the default searches",
         3,
         "OBJ",
         rosenbrock,
         {-1.2, 1.0, 0.5},
         {"LOWER_BOUND * -2", "UPPER_BOUND * 2", "MAX_BB_EVAL 400", "SEED 11"},
         400,
         0x70839dd5e4ddc417ULL,
         "Max number of blackbox evaluations"},
        {"constrained, N+1 directions",
         3,
         "OBJ PB",
         shiftedSphere,
         {-1.0, -1.0, -1.0},
         {"DIRECTION_TYPE N+1 UNI", "MAX_BB_EVAL 250", "SEED 3"},
         250,
         0x5b0470ba2c634f70ULL,
         "Max number of blackbox evaluations"},
        // Points that a rounding error puts past a bound (0.7 + 6e-14) are
        // evaluated on the bound itself, or found in the cache there.
        {"slope into a corner",
         4,
         "OBJ",
         slope,
         {0.0, 0.0, 0.0, 0.0},
         {"LOWER_BOUND * -1.3", "UPPER_BOUND * 0.7", "MAX_BB_EVAL 200"},
         200,
         0xb8a6b840da819b29ULL,
         "Max number of blackbox evaluations"},
        {"slope into a corner to its own stop",
         2,
         "OBJ",
         slope,
         {0.1, -0.3},
         {"LOWER_BOUND * -1.3", "UPPER_BOUND * 0.7"},
         207,
         0xc68cf995b1a26388ULL,
         "Min mesh size reached"},
        {"space decomposition",
         4,
         "OBJ",
         shiftedSphere,
         {1.0, 1.0, -1.0, 0.5},
         {"SSD_MADS_OPTIMIZATION yes", "MAX_BB_EVAL 200", "SEED 2"},
         200,
         0xf62c4e7d7588620eULL,
         "Max number of blackbox evaluations"},
    };

    for (const auto& run : runs)
    {
        SCOPED_TRACE(run.name);
        ProcessStateGuard guard;
        auto params = makeMadsParameters(run.n, run.outputs, {run.x0}, run.lines);
        auto evaluator = pinnedEvaluator(run.outputs, run.objective);
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
        auto params = makeMadsParameters(
            x0.size(), "OBJ", {x0}, {"LOWER_BOUND * -1.3", "UPPER_BOUND * 0.7", "MAX_BB_EVAL 400"});
        auto evaluator = pinnedEvaluator("OBJ", slope);
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
