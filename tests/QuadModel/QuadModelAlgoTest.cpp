#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "Algos/EvcInterface.hpp"
#include "Algos/QuadModel/QuadModelAlgo.hpp"
#include "Algos/QuadModel/QuadModelInitialization.hpp"
#include "Algos/QuadModel/QuadModelIteration.hpp"
#include "Algos/QuadModel/QuadModelMegaIteration.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/ArrayOfPoint.hpp"
#include "Param/PbParameters.hpp"
#include "support/CacheSupport.hpp"
#include "support/ModelSearchSupport.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using namespace QarnoTest;

namespace
{
// Nine points spanning [-1, 2] x [-2, 1].
const std::vector<std::vector<double>> GRID = {
    {-1, -2}, {0.5, -2}, {2, -2}, {-1, -0.5}, {0.5, -0.5}, {2, -0.5}, {-1, 1}, {0.5, 1}, {2, 1}};

// A quadratic-model algorithm on the constrained bowl, under the harness's root.
struct QuadRun
{
    explicit QuadRun(const std::vector<std::vector<double>>& x0s = {{0, 0}},
                     const std::vector<std::string>& lines = {},
                     const EvcOptions& options = EvcOptions())
        : h(2, "OBJ PB", constrainedBowl, x0s, lines, options)
    {
        makeAlgo();
    }

    // The algorithm takes its copy of the problem at construction.
    void makeAlgo()
    {
        algo = std::make_unique<QuadModelAlgo>(h.root.get(), h.makeStopReasons(), h.runParams(),
                                               h.pbParams());
    }

    // Starting points set past the checks, as a caller may hand them.
    void setX0s(const std::vector<std::vector<double>>& x0s)
    {
        ArrayOfPoint points;
        for (const auto& x0 : x0s)
        {
            points.push_back(Point(makeArray(x0)));
        }
        h.pbParams()->setAttributeValue("X0", points);
        makeAlgo();
    }

    bool runAll()
    {
        algo->start();
        const bool result = algo->run();
        algo->end();
        return result;
    }

    std::string stopText() const { return modelStopText(algo->getAllStopReasons()); }

    ModelSearchHarness h;
    std::unique_ptr<QuadModelAlgo> algo;
};

} // namespace

TEST(QuadModelAlgo, MinimisesTheModelAndEvaluatesItsBestPoints)
{
    // f = (x1 - 1)^2 + (x2 + 2)^2 + 3 on [-5, 5]^2, twelve cached points.
    ModelSearchHarness h(
        2, "OBJ",
        [](const std::vector<double>& x)
        { return std::vector<double>{(x[0] - 1) * (x[0] - 1) + (x[1] + 2) * (x[1] + 2) + 3}; },
        {{4, 4}}, {"LOWER_BOUND * -5", "UPPER_BOUND * 5"});
    h.seedCache({{-5, -5},
                 {0, -5},
                 {5, -5},
                 {-5, 0},
                 {0, 0},
                 {5, 0},
                 {-5, 5},
                 {0, 5},
                 {5, 5},
                 {2.5, -2.5},
                 {-2.5, 2.5},
                 {-2.5, -2.5}});
    const size_t seeded = h.bbEvalCount();
    const QueueSettings before = queueSettings();

    QuadModelAlgo algo(h.root.get(), h.makeStopReasons(), h.runParams(), h.pbParams());
    algo.start();
    EXPECT_TRUE(algo.run());
    algo.end();

    // X0, then at most the model's best feasible and best infeasible points.
    const auto evaluated = h.bbEvaluated();
    ASSERT_GT(evaluated.size(), seeded + 1);
    EXPECT_LE(evaluated.size(), seeded + 1 + 2);
    EXPECT_EQ((std::vector<double>{4, 4}), evaluated[seeded]);
    const auto& best = evaluated[seeded + 1];
    EXPECT_NEAR(1.0, best[0], 1e-2);
    EXPECT_NEAR(-2.0, best[1], 1e-2);
    EXPECT_EQ("Started", modelStopText(algo.getAllStopReasons()));

    // The queue is as before, and the cache holds blackbox points only.
    EXPECT_TRUE(before == queueSettings());
    EXPECT_EQ(0u, h.cachedWithSgte());
    EXPECT_EQ(0u, h.cachedSgteOnly());
    // The kept mega-iteration: k 0 and the success it reached.
    ASSERT_NE(nullptr, std::dynamic_pointer_cast<QuadModelMegaIteration>(algo.getMegaIteration()));
    EXPECT_EQ(0u, algo.getMegaIteration()->getK());
    EXPECT_EQ(SuccessType::FULL_SUCCESS, algo.getMegaIteration()->getSuccessType());
}

TEST(QuadModelAlgo, StopsWhereItCannotGoOn)
{
    struct Case
    {
        const char* label;
        std::vector<std::vector<double>> seed;
        std::vector<std::string> lines;
        const char* stop;
        bool result;
    };
    const std::vector<Case> cases = {
        // X0 alone is one point: the model cannot be built from it.
        {"one point", {}, {}, "Cannot initialize model", false},
        {"minimum not reached",
         {{1, 1}},
         {"TESKORA_MIN_POINTS_FOR_MODEL 5"},
         "Not enough points to build model",
         false},
        // The termination test holds at once: no mega-iteration runs.
        {"no iteration allowed", GRID, {"MAX_ITERATIONS 0"}, "Started", false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        QuadRun run({{0, 0}}, c.lines);
        run.h.seedCache(c.seed);
        EXPECT_EQ(c.result, run.runAll());
        EXPECT_EQ(c.stop, run.stopText());
    }
}

TEST(QuadModelAlgo, InitializationAndItsStartingPoints)
{
    struct Case
    {
        const char* label;
        std::vector<std::vector<double>> x0s;
        std::vector<std::vector<double>> seed;
        const char* message;
    };
    const std::vector<Case> cases = {
        // The checks of the parameters make a missing X0 one undefined point.
        {"no X0, empty cache",
         {},
         {},
         "Initialization: eval_x0s: Invalid X0 ( - - ).. Cache is empty."},
        {"no X0, a cache",
         {},
         GRID,
         "Initialization: eval_x0s: Invalid X0 ( - - ). Hint: Try not setting X0 so that the cache "
         "is used (9 "
         "points)"},
        {"incomplete X0",
         {{1, UNDEF}},
         {},
         "Initialization: eval_x0s: Invalid X0 ( 1 - ).. Cache is empty."},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        QuadRun run;
        run.h.seedCache(c.seed);
        run.setX0s(c.x0s);
        run.h.evc->evaluator->blocks.clear();
        EXPECT_EQ(c.message, messageOf([&] { run.algo->start(); }));
        EXPECT_TRUE(run.h.evc->evaluator->blocks.empty());
    }
}

TEST(QuadModelAlgo, AStartingPointAlreadyCachedIsNoFailure)
{
    // Literally a starting point the cache already holds is not evaluated
    // again and fails the run; it is a usable starting point.
    QuadRun run({{0.5, -0.5}});
    run.h.seedCache(GRID);
    const size_t seeded = run.h.bbEvalCount();
    run.algo->start();
    EXPECT_EQ(seeded, run.h.bbEvalCount());
    EXPECT_EQ("Started", run.stopText());
    EXPECT_TRUE(run.algo->run());
    run.algo->end();

    // A starting point whose evaluation fails does fail the run.
    ModelSearchHarness failing(2, "OBJ PB", constrainedBowl, {{0, 0}});
    failing.evc->evaluator->evalOk = [](const EvalPoint&) { return false; };
    QuadModelAlgo algo(failing.root.get(), failing.makeStopReasons(), failing.runParams(),
                       failing.pbParams());
    algo.start();
    EXPECT_EQ("Problem with starting point evaluation", modelStopText(algo.getAllStopReasons()));
    EXPECT_FALSE(algo.run());
    algo.end();
}

TEST(QuadModelAlgo, IterationStateAndMegaIteration)
{
    QuadRun run;
    run.h.seedCache(GRID);
    run.algo->start();

    auto barrier = std::make_shared<Barrier>(INF, Point(2), EvalType::BB);
    QuadModelMegaIteration mega(run.algo.get(), 0, barrier, SuccessType::NOT_EVALUATED);
    EXPECT_EQ("QuadModel QuadModel MegaIteration 0", mega.getName());
    const std::string shown = infoMessagesOf([&] { mega.start(); });
    ASSERT_EQ(1u, mega.getIterationList().size());
    EXPECT_NE(std::string::npos,
              shown.find("QuadModel QuadModel MegaIteration 0 has 1 iteration."));

    // The iteration on the first feasible point, with an empty training set
    // of n inputs and one output more than the constraints.
    auto iteration = std::dynamic_pointer_cast<QuadModelIteration>(mega.getIterationList()[0]);
    ASSERT_NE(nullptr, iteration);
    EXPECT_EQ("QuadModel QuadModel Iteration 0", iteration->getName());
    EXPECT_EQ(*barrier->getFirstXFeas(), *iteration->getFrameCenter());
    EXPECT_EQ(0, iteration->getTrainingSet()->get_nb_points());
    EXPECT_EQ(2, iteration->getTrainingSet()->get_input_dim());
    EXPECT_EQ(2, iteration->getTrainingSet()->get_output_dim());
    EXPECT_FALSE(iteration->getModel()->is_ready());

    EXPECT_TRUE(mega.run());
    EXPECT_EQ(1u, iteration->getK());
    mega.end();
    EXPECT_EQ(0u, run.h.cachedWithSgte());

    iteration->reset();
    EXPECT_EQ(nullptr, iteration->getModel());
    EXPECT_EQ(nullptr, iteration->getTrainingSet());

    // Stop reasons that say terminate: no iteration, and nothing to run.
    AlgoStopReasons<ModelStopType>::get(run.algo->getAllStopReasons())
        ->_algoStopReason.set(ModelStopType::NOT_ENOUGH_POINTS);
    QuadModelMegaIteration stopped(run.algo.get(), 0, barrier, SuccessType::NOT_EVALUATED);
    stopped.start();
    EXPECT_TRUE(stopped.getIterationList().empty());
    EXPECT_EQ("No iterations to run", messageOf([&] { stopped.run(); }));
}

TEST(QuadModelAlgo, MegaIterationClearsSurrogateValuesAndDestroysQuietlyWithoutCache)
{
    QuadRun run;
    run.h.seedCache(GRID);
    auto barrier = std::make_shared<Barrier>(INF, Point(2), EvalType::BB);
    auto withCache = std::make_unique<QuadModelMegaIteration>(run.algo.get(), 0, barrier,
                                                              SuccessType::NOT_EVALUATED);
    run.h.giveSgteValues({GRID[0], GRID[4]});
    ASSERT_EQ(2u, run.h.cachedWithSgte());
    withCache.reset();
    EXPECT_EQ(0u, run.h.cachedWithSgte());

    // Without a cache there is nothing to clear: not a word, no exception.
    auto mega = std::make_unique<QuadModelMegaIteration>(run.algo.get(), 0, barrier,
                                                         SuccessType::NOT_EVALUATED);
    CacheBase::resetInstance();
    std::string err;
    std::string out;
    {
        const StreamCapture capturedOut(std::cout);
        const CerrCapture capturedErr;
        mega.reset();
        err = capturedErr.text();
        out = capturedOut.text();
    }
    EXPECT_EQ("", err);
    EXPECT_EQ("", out);
}

TEST(QuadModelAlgo, OutputTypesOfTheQueue)
{
    QuadRun run;
    EXPECT_EQ((BBOutputTypeList{BBOutputType::OBJ, BBOutputType::PB}),
              QuadModelAlgo::getBBOutputType());
    EvcInterface::setEvaluatorControl(nullptr);
    EXPECT_EQ("Error in QuadModel::getBBOutputType()",
              messageOf([] { QuadModelAlgo::getBBOutputType(); }));
    EvcInterface::setEvaluatorControl(run.h.evc->evc);
}

TEST(QuadModelAlgo, InitializationEvaluatesEveryStartingPointAndGivesOpportunismBack)
{
    // With opportunism the queue would stop after the first starting point,
    // a success against the empty barrier.
    EvcOptions options;
    options.opportunistic = true;
    QuadRun run({{0, 0}}, {}, options);
    run.setX0s({{0, 0}, {1, 1}, {2, -1}});
    run.algo->start();
    EXPECT_EQ(3u, run.h.bbEvalCount());
    EXPECT_TRUE(EvcInterface::getEvaluatorControl()->getOpportunisticEval(-1));
}
