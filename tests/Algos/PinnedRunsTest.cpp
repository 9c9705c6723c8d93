// Whole runs of every algorithm the main step chooses, pinned point by
// point for a fixed seed, on granular variables as the module runs them
// (granularity 1e-7, bounds [-5, 5]) at n = 2, 10 and 100. The structure of
// the steps and the speed of the evaluation path may change; the points a
// run evaluates, and their order, may not.

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/MadsSupport.hpp"
#include "support/PinnedRunSupport.hpp"
#include "support/TestSupport.hpp"

namespace
{

using namespace QARNO_4_0_0;
using QarnoTest::pinnedEvaluator;
using QarnoTest::sequenceDigest;

struct PinnedRun
{
    const char* name;
    size_t n;
    const char* outputs;
    double (*objective)(const EvalPoint&);
    double x0;
    std::vector<std::string> lines;
    size_t expectedCount;
    std::uint64_t expectedDigest;
    const char* expectedStop;
};

std::vector<std::string> moduleLines(std::vector<std::string> lines)
{
    lines.insert(lines.begin(), {"GRANULARITY * 1e-7", "LOWER_BOUND * -5", "UPPER_BOUND * 5"});
    return lines;
}

TEST(PinnedRuns, EvaluatedPointsOfEveryAlgorithm)
{
    using QarnoTest::rosenbrock;
    using QarnoTest::shiftedSphere;
    const std::vector<PinnedRun> runs = {
        {"MADS, n = 2, to its own stop",
         2,
         "OBJ",
         rosenbrock,
         0.0,
         {"SEED 1"},
         206,
         0xd1bfc0ffb1cd0241ULL,
         "Mesh minimum precision reached"},
        {"MADS, n = 10",
         10,
         "OBJ",
         rosenbrock,
         0.0,
         {"MAX_BB_EVAL 600", "SEED 2"},
         600,
         0xa357c7c70b79555cULL,
         "Max number of blackbox evaluations"},
        {"MADS, n = 100",
         100,
         "OBJ",
         shiftedSphere,
         1.0,
         {"MAX_BB_EVAL 300", "SEED 3"},
         300,
         0x87c030dac90575aaULL,
         "Max number of blackbox evaluations"},
        {"MADS, PB constraint, n = 10",
         10,
         "OBJ PB",
         shiftedSphere,
         -1.0,
         {"MAX_BB_EVAL 400", "SEED 4"},
         400,
         0xc2d9cf688254b6dfULL,
         "Max number of blackbox evaluations"},
        {"NM alone, n = 2, to its own stop",
         2,
         "OBJ",
         rosenbrock,
         0.0,
         {"NM_OPTIMIZATION yes", "SEED 5"},
         178,
         0x6f5a07545b761873ULL,
         "Shrink step has failed"},
        {"NM alone, n = 10",
         10,
         "OBJ",
         rosenbrock,
         0.0,
         {"NM_OPTIMIZATION yes", "MAX_BB_EVAL 800", "SEED 6"},
         800,
         0x17d936ef80caadccULL,
         "Max number of blackbox evaluations"},
        {"NM alone, n = 100",
         100,
         "OBJ",
         shiftedSphere,
         1.0,
         {"NM_OPTIMIZATION yes", "MAX_BB_EVAL 400", "SEED 7"},
         400,
         0x17fe12da31fdc5b3ULL,
         "Max number of blackbox evaluations"},
        {"SSD, n = 10",
         10,
         "OBJ",
         shiftedSphere,
         1.0,
         {"SSD_MADS_OPTIMIZATION yes", "MAX_BB_EVAL 400", "SEED 8"},
         400,
         0x14853f31f42eb5c2ULL,
         "Max number of blackbox evaluations"},
        {"phase one, then MADS",
         3,
         "OBJ EB",
         shiftedSphere,
         -1.0,
         {"MAX_BB_EVAL 300", "SEED 9"},
         300,
         0x679e81b146f070bfULL,
         "Max number of blackbox evaluations"},
        {"Latin hypercube",
         5,
         "OBJ",
         rosenbrock,
         0.0,
         {"LH_EVAL 40", "SEED 10"},
         40,
         0xa38b1e17ef440434ULL,
         "No more points to evaluate"},
    };

    for (const auto& run : runs)
    {
        SCOPED_TRACE(run.name);
        QarnoTest::ProcessStateGuard guard;
        auto params = QarnoTest::makeMadsParameters(
            run.n, run.outputs, {std::vector<double>(run.n, run.x0)}, moduleLines(run.lines));
        auto evaluator = pinnedEvaluator(run.outputs, run.objective);
        const QarnoTest::MadsRunResult result = QarnoTest::runMadsMainStep(params, evaluator);
        const auto points = evaluator->evaluatedPoints();

        EXPECT_EQ(run.expectedCount, points.size());
        EXPECT_EQ(run.expectedDigest, sequenceDigest(points))
            << "0x" << std::hex << sequenceDigest(points);
        EXPECT_NE(std::string::npos, result.stopReason.find(run.expectedStop)) << result.stopReason;
    }
}

} // namespace
