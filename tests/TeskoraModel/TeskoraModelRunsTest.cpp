#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "Algos/EvcInterface.hpp"
#include "Algos/TeskoraModel/TeskoraModel.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/Double.hpp"
#include "support/ModelSearchSupport.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using namespace QarnoTest;

namespace
{

// A safety net only: a sound run ends on its own stop rules well before.
constexpr size_t BB_BUDGET = 300;
// Small enough that the inner optimisation stops on it with points still
// queued, on every problem.
constexpr size_t SGTE_BUDGET = 50;

// Whole runs of the surrogate-model algorithm on the shared problems, with
// the evaluation queue kept or cleared when an evaluation loop stops.
class TeskoraModelRuns : public ::testing::TestWithParam<std::tuple<size_t, bool>>
{
};

std::string runName(const ::testing::TestParamInfo<std::tuple<size_t, bool>>& info)
{
    return modelProblems()[std::get<0>(info.param)].name +
           (std::get<1>(info.param) ? "ClearQueue" : "KeepQueue");
}

} // namespace

TEST_P(TeskoraModelRuns, EndByThemselvesAndReportOnlyRealSuccesses)
{
    const ModelProblem problem = modelProblems()[std::get<0>(GetParam())];
    EvcOptions options;
    options.clearEvalQueue = std::get<1>(GetParam());
    options.maxSgteEval = SGTE_BUDGET;
    options.maxBbEval = BB_BUDGET;
    ModelSearchHarness h(problem.n, "OBJ", problem.f, {problem.x0}, problem.boundLines(), options);
    h.seedCache(problem.seed);
    SuccessWatch watch(h, problem.f);

    TeskoraModel model(h.root.get(), h.makeStopReasons(), h.runParams(), h.pbParams());
    ASSERT_NO_THROW({
        model.start();
        watch.markKnown();
        model.run();
        model.end();
    });

    ASSERT_FALSE(watch.turns.empty());
    for (size_t k = 0; k < watch.turns.size(); ++k)
    {
        const auto& turn = watch.turns[k];
        SCOPED_TRACE("mega-iteration " + std::to_string(k));
        EXPECT_TRUE(turn.honest()) << "success " << enumStr(turn.success) << ", best before "
                                   << turn.bestBefore << ", best of its points " << turn.bestNew;
    }
    // The run stopped on a rule of its own, not on the blackbox budget.
    EXPECT_LT(h.bbEvalCount(), BB_BUDGET);
    const std::string stop = modelStopText(model.getAllStopReasons());
    EXPECT_TRUE("Models optimization did not find new points" == stop ||
                "Not enough points to build model" == stop)
        << stop;
    // The inner optimisation did stop on its surrogate budget.
    EXPECT_GE(EvcInterface::getEvaluatorControl()->getTotalSgteEval(), SGTE_BUDGET);
    EXPECT_EQ(0u, EvcInterface::getEvaluatorControl()->getQueueSize(-1));
    EXPECT_EQ(0u, h.cachedWithSgte());

    RecordProperty("bestF", Double(watch.bestF()).tostring());
    RecordProperty("evaluations", static_cast<int>(h.bbEvalCount()));
    RecordProperty("megaIterations", static_cast<int>(watch.turns.size()));
    std::string successes;
    for (const auto& turn : watch.turns)
    {
        successes += (successes.empty() ? "" : ", ") + enumStr(turn.success);
    }
    RecordProperty("successes", successes);
}

INSTANTIATE_TEST_SUITE_P(Problems, TeskoraModelRuns,
                         ::testing::Combine(::testing::Range<size_t>(0, 4), ::testing::Bool()),
                         runName);
