#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "Algos/EvcInterface.hpp"
#include "Algos/QuadModel/QuadModelAlgo.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/Double.hpp"
#include "support/ModelSearchSupport.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using namespace QarnoTest;

namespace
{

// Small enough that the inner optimisation stops on it with points still
// queued, on every problem.
constexpr size_t SGTE_BUDGET = 50;

// Whole runs of the quadratic-model algorithm on the shared problems, with
// the evaluation queue kept or cleared when an evaluation loop stops.
class QuadModelRuns : public ::testing::TestWithParam<std::tuple<size_t, bool>>
{
};

std::string runName(const ::testing::TestParamInfo<std::tuple<size_t, bool>>& info)
{
    return modelProblems()[std::get<0>(info.param)].name +
           (std::get<1>(info.param) ? "ClearQueue" : "KeepQueue");
}

} // namespace

TEST_P(QuadModelRuns, EndWithoutStalePointsAndReportOnlyRealSuccesses)
{
    const ModelProblem problem = modelProblems()[std::get<0>(GetParam())];
    EvcOptions options;
    options.clearEvalQueue = std::get<1>(GetParam());
    options.maxSgteEval = SGTE_BUDGET;
    ModelSearchHarness h(problem.n, "OBJ", problem.f, {problem.x0}, problem.boundLines(), options);
    h.seedCache(problem.seed);
    SuccessWatch watch(h, problem.f);

    QuadModelAlgo algo(h.root.get(), h.makeStopReasons(), h.runParams(), h.pbParams());
    ASSERT_NO_THROW({
        algo.start();
        watch.markKnown();
        algo.run();
        algo.end();
    });

    // One mega-iteration; its success is that of the model's points.
    ASSERT_EQ(1u, watch.turns.size());
    const auto& turn = watch.turns[0];
    EXPECT_TRUE(turn.honest()) << "success " << enumStr(turn.success) << ", best before "
                               << turn.bestBefore << ", best of the model's points "
                               << turn.bestNew;
    // The seed, X0, and at most the model's best feasible and infeasible
    // points: no surrogate point reached the blackbox, none stays queued.
    EXPECT_LE(h.bbEvalCount(), problem.seed.size() + 1 + 2);
    // The inner optimisation did stop on its surrogate budget.
    EXPECT_GE(EvcInterface::getEvaluatorControl()->getTotalSgteEval(), SGTE_BUDGET);
    EXPECT_EQ(0u, EvcInterface::getEvaluatorControl()->getQueueSize(-1));
    EXPECT_EQ(0u, h.cachedWithSgte());

    RecordProperty("bestF", Double(watch.bestF()).tostring());
    RecordProperty("evaluations", static_cast<int>(h.bbEvalCount()));
    RecordProperty("success", enumStr(turn.success));
}

INSTANTIATE_TEST_SUITE_P(Problems, QuadModelRuns,
                         ::testing::Combine(::testing::Range<size_t>(0, 4), ::testing::Bool()),
                         runName);
