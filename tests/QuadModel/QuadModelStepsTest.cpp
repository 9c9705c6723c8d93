#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "Algos/EvcInterface.hpp"
#include "Algos/QuadModel/QuadModelAlgo.hpp"
#include "Algos/QuadModel/QuadModelIteration.hpp"
#include "Algos/QuadModel/QuadModelMegaIteration.hpp"
#include "Algos/QuadModel/QuadModelOptimize.hpp"
#include "Algos/QuadModel/QuadModelSinglePass.hpp"
#include "Algos/QuadModel/QuadModelUpdate.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Param/RunParameters.hpp"
#include "support/CacheSupport.hpp"
#include "support/ModelSearchSupport.hpp"
#include "support/StepSupport.hpp"
#include "support/StepTree.hpp"
#include "support/TestSupport.hpp"
#include "teskora/Matrix.hpp"

using namespace QARNO_4_0_0;
using namespace QarnoTest;

namespace
{
const std::vector<std::vector<double>> GRID = {
    {-1, -2}, {0.5, -2}, {2, -2}, {-1, -0.5}, {0.5, -0.5}, {2, -0.5}, {-1, 1}, {0.5, 1}, {2, 1}};

std::shared_ptr<EvalPoint> centre(const std::vector<double>& x)
{
    return std::make_shared<EvalPoint>(Point(makeArray(x)));
}

// An iteration of the quadratic-model family, under an algorithm and a
// mega-iteration of the family (a step tree on the harness's parameters), on
// a frame centre, with a mesh when given.
struct IterationRun
{
    IterationRun(const std::string& bbOutputType = "OBJ PB", const Analytic& f = constrainedBowl,
                 const std::vector<std::string>& lines = {})
        : h(2, bbOutputType, f, {{0, 0}}, lines)
    {
    }

    // On the cache's barrier, as the family makes them: the cache must hold
    // an evaluated point.
    QuadModelIteration& iterate(const std::vector<double>& frameCenter,
                                const std::shared_ptr<MeshBase>& mesh = nullptr)
    {
        tree.reset();
        StepTreeOptions options;
        options.runParams = h.runParams();
        options.pbParams = h.pbParams();
        options.makeAlgorithm = [this](const Step* parent,
                                       const std::shared_ptr<RunParameters>& runParams,
                                       const std::shared_ptr<PbParameters>& pbParams) {
            return std::make_unique<QuadModelAlgo>(parent, h.makeStopReasons(), runParams,
                                                   pbParams);
        };
        options.megaK = 0;
        options.barrier = std::make_shared<Barrier>(INF, Point(2));
        options.makeMegaIteration =
            [](const Step* parent, size_t k, std::shared_ptr<Barrier> barrier)
        {
            return std::make_unique<QuadModelMegaIteration>(parent, k, std::move(barrier),
                                                            SuccessType::NOT_EVALUATED);
        };
        options.k = 0;
        options.frameCenter = centre(frameCenter);
        options.mesh = mesh;
        options.makeIteration = [](const Step* parent, size_t k, std::shared_ptr<EvalPoint> center,
                                   std::shared_ptr<MeshBase> iterationMesh)
        {
            return std::make_unique<QuadModelIteration>(parent, std::move(center), k,
                                                        std::move(iterationMesh));
        };
        tree = std::make_unique<StepTree>(options);
        iteration = &tree->iterationAs<QuadModelIteration>();
        return *iteration;
    }

    bool update()
    {
        QuadModelUpdate step(iteration, OutputLevel::LEVEL_INFO);
        step.start();
        const bool ready = step.run();
        step.end();
        return ready;
    }

    std::string stopText() const { return modelStopText(tree->algo.getAllStopReasons()); }

    ModelSearchHarness h;
    std::unique_ptr<StepTree> tree;
    QuadModelIteration* iteration = nullptr;
};

} // namespace

TEST(QuadModelUpdate, SelectsTheValidCachePointsAroundTheFrameCentre)
{
    struct Case
    {
        const char* label;
        bool withMesh;
        std::vector<std::vector<double>> extra; // seeded besides the grid
        int expected;                           // training points
    };
    // The mesh's frame size is 1 and MODEL_RADIUS_FACTOR 4: the box around
    // (0.5, -0.5) reaches 4 in every coordinate.
    const std::vector<Case> cases = {
        {"no mesh: every valid point", false, {{4.5, -0.5}, {40, 40}}, 11},
        {"mesh: 4 away enters, 4.5 does not", true, {{4.5, -0.5}, {5, -0.5}}, 10},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        IterationRun run;
        run.h.seedCache(GRID);
        run.h.seedCache(c.extra);
        std::shared_ptr<MeshBase> mesh;
        if (c.withMesh)
        {
            auto fixed = std::make_shared<FixedMesh>(run.h.pbParams());
            for (size_t i = 0; i < 2; ++i)
            {
                fixed->setDeltas(i, 1.0, 1.0);
            }
            mesh = fixed;
        }
        run.iterate({0.5, -0.5}, mesh);
        EXPECT_TRUE(run.update());
        EXPECT_EQ(c.expected, run.iteration->getTrainingSet()->get_nb_points());
        EXPECT_TRUE(run.iteration->getModel()->is_ready());
    }
}

TEST(QuadModelUpdate, FailedPointsCountsAndOutputColumns)
{
    // Outputs PB then OBJ: the training row is f, then the PB value; a
    // failed evaluation never enters.
    IterationRun run("PB OBJ",
                     [](const std::vector<double>& x) {
                         return std::vector<double>{x[0] - x[1], x[0] * x[0]};
                     });
    run.h.evc->evaluator->evalOk = [](const EvalPoint& x) { return x[0].todouble() != 3; };
    run.h.seedCache({{1, 2}, {3, 3}});
    run.iterate({1, 2});
    std::string shown = infoMessagesOf([&] { run.update(); });
    EXPECT_NE(std::string::npos, shown.find("Found 1 point in cache of size 2"));
    const TESKORA::Matrix& Z = run.iteration->getTrainingSet()->get_matrix_Z();
    ASSERT_EQ(1, Z.get_nb_rows());
    EXPECT_EQ(1.0, Z.get(0, 0));
    EXPECT_EQ(-1.0, Z.get(0, 1));
    // One point cannot make a model.
    EXPECT_FALSE(run.iteration->getModel()->is_ready());

    // A point whose h went over hMax is kept.
    EvalPoint over = makeBBPoint({2, 0}, "2 4", {BBOutputType::PB, BBOutputType::OBJ});
    over.setEvalStatus(EvalStatusType::EVAL_CONS_H_OVER, EvalType::BB);
    CacheBase::getInstance()->insert(over);
    shown = infoMessagesOf([&] { run.update(); });
    EXPECT_NE(std::string::npos, shown.find("Found 2 points in cache of size 3"));
}

TEST(QuadModelUpdate, WithoutTheCacheNothingIsSelected)
{
    IterationRun run;
    run.h.seedCache(GRID);
    run.iterate({0.5, -0.5});
    EvcInterface::getEvaluatorControl()->setUseCache(false);
    EXPECT_FALSE(run.update());
    EXPECT_EQ(0, run.iteration->getTrainingSet()->get_nb_points());
    EXPECT_EQ("Not enough points to build model", run.stopText());

    // A frame centre that the cache lacks is put into it first.
    IterationRun fresh;
    fresh.h.seedCache(GRID);
    fresh.iterate({0.25, 0.25});
    fresh.update();
    EXPECT_EQ(10u, CacheBase::getInstance()->size());
}

TEST(QuadModelOptimize, BoundsFixedVariablesAndRestoredQueue)
{
    // Every training point has y = 0.5: y is fixed, x ranges over [-1, 2].
    IterationRun run("OBJ", [](const std::vector<double>& x)
                     { return std::vector<double>{constrainedBowl(x)[0]}; });
    run.h.seedCache({{-1, 0.5}, {0, 0.5}, {1.5, 0.5}, {2, 0.5}});
    run.iterate({0, 0.5});
    ASSERT_TRUE(run.update());

    const auto evc = EvcInterface::getEvaluatorControl();
    evc->setOpportunisticEval(true);
    const QueueSettings before = queueSettings();
    const size_t evaluated = run.h.bbEvalCount();

    QuadModelOptimize optimize(run.iteration, run.h.pbParams());
    const std::string shown = infoMessagesOf([&] { optimize.start(); });
    EXPECT_NE(std::string::npos, shown.find("Start step MADS (QuadModelOptimize)"));
    EXPECT_EQ("( - 0.5 )", optimize.getModelFixedVar().display(ArrayOfDouble()));
    EXPECT_EQ("-1 -", optimize.getModelLowerBound().display(ArrayOfDouble()));
    EXPECT_EQ("2 -", optimize.getModelUpperBound().display(ArrayOfDouble()));
    // The model's minimum x = 1, in the space of the training points.
    ASSERT_EQ(1u, optimize.getTrialPoints().size());
    const EvalPoint& best = *optimize.getTrialPoints().begin();
    EXPECT_NEAR(1.0, best[0].todouble(), 1e-3);
    EXPECT_EQ(0.5, best[1].todouble());

    EXPECT_TRUE(before == queueSettings());
    optimize.end();
    EXPECT_EQ(evaluated, run.h.bbEvalCount());
    EXPECT_EQ(0u, run.h.cachedSgteOnly());
}

TEST(QuadModelOptimize, RefusalsLeaveTheQueueAsItWas)
{
    IterationRun run;
    run.h.seedCache(GRID);
    const auto evc = EvcInterface::getEvaluatorControl();
    const auto blackbox = evc->getMainThreadInfo(-1).getEvaluator();
    const QueueSettings before = queueSettings();

    // A frame centre outside the training box: the optimisation throws, and
    // the queue gets its evaluator and flags back.
    run.iterate({5, 5});
    ASSERT_TRUE(run.update());
    {
        QuadModelOptimize optimize(run.iteration, run.h.pbParams());
        EXPECT_EQ(
            "A frameCenter must be available and within bounds to set X0 for quad optimization.",
            messageOf([&] { optimize.start(); }));
    }
    EXPECT_TRUE(before == queueSettings());

    // No evaluator installed: a warning, nothing changed, no point.
    run.iterate({0.5, -0.5});
    ASSERT_TRUE(run.update());
    evc->setEvaluator(nullptr);
    {
        QuadModelOptimize optimize(run.iteration, run.h.pbParams());
        CerrCapture err;
        optimize.start();
        EXPECT_EQ("Warning: QuadModelOptimize: Could not set SGTE Evaluator\n", err.text());
        EXPECT_EQ(0u, optimize.getTrialPoints().size());
    }
    QueueSettings without = before;
    without.evaluator = nullptr;
    EXPECT_TRUE(without == queueSettings());
    evc->setEvaluator(blackbox);

    // One training point fixes every variable: nothing to optimise.
    IterationRun single;
    single.h.seedCache({{1, 1}});
    single.iterate({1, 1});
    single.update();
    QuadModelOptimize optimize(single.iteration, single.h.pbParams());
    optimize.start();
    EXPECT_EQ(0u, optimize.getTrialPoints().size());
    EXPECT_FALSE(optimize.run());
    EXPECT_EQ("Models optimization did not find new points", single.stopText());
}

TEST(QuadModelSinglePass, ProposesPointsWithoutEvaluatingThem)
{
    struct Case
    {
        const char* label;
        std::vector<std::vector<double>> seed;
        const char* stop;
        bool points;
    };
    const std::vector<Case> cases = {
        {"enough points", GRID,
         "A single pass to create trial point has been completed successfully.", true},
        {"too few points", {{0.5, -0.5}}, "Not enough points to build model", false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ModelSearchHarness h(2, "OBJ PB", constrainedBowl, {{0, 0}},
                             {"TESKORA_MIN_POINTS_FOR_MODEL 2"});
        QuadModelAlgo algo(h.root.get(), h.makeStopReasons(), h.runParams(), h.pbParams());
        h.seedCache(c.seed);
        const size_t evaluated = h.bbEvalCount();
        auto mesh = std::make_shared<FixedMesh>(h.pbParams());
        for (size_t i = 0; i < 2; ++i)
        {
            mesh->setDeltas(i, 1.0, 1.0);
        }
        QuadModelSinglePass pass(&algo, centre({0.5, -0.5}), 0, mesh);
        pass.generateTrialPoints();
        EXPECT_EQ(c.points, pass.getTrialPointsCount() > 0);
        EXPECT_LE(pass.getTrialPointsCount(), 2u);
        EXPECT_EQ(evaluated, h.bbEvalCount());
        EXPECT_EQ(0u, h.cachedSgteOnly());
        EXPECT_EQ(c.stop, modelStopText(algo.getAllStopReasons()));
    }
}

TEST(QuadModelOptimize, TheInnerRunGoesWithoutSearchesLimitsOrUserCalls)
{
    // The user's run asks for every search, a single iteration, a small
    // hMax and the user calls: the inner run on the model takes none of them.
    IterationRun run("OBJ PB", constrainedBowl,
                     {"NM_SEARCH yes", "QUAD_MODEL_SEARCH yes", "TESKORA_SEARCH yes",
                      "USER_CALLS_ENABLED yes", "MAX_ITERATIONS 1", "H_MAX_0 1"});
    run.h.seedCache(GRID);
    run.iterate({0.5, -0.5});
    ASSERT_TRUE(run.update());
    size_t userCalls = 0;
    const Step::StepEndCallback count = [&userCalls](const Step&, bool&) { ++userCalls; };
    Step::addCallback(CallbackType::ITERATION_END, count);
    Step::addCallback(CallbackType::MEGA_ITERATION_END, count);

    QuadModelOptimize optimize(run.iteration, run.h.pbParams());
    const std::string shown = infoMessagesOf([&] { optimize.start(); });
    ASSERT_NE(std::string::npos, shown.find("Start step MADS (QuadModelOptimize)"));
    EXPECT_EQ(0u, userCalls);
    for (const char* search : {"Nelder Mead", "Quad Model Search Method", "Teskora Search Method"})
    {
        SCOPED_TRACE(search);
        EXPECT_EQ(std::string::npos, shown.find(search));
    }

    const RunParameters& inner = *optimize.getOptRunParams();
    for (const char* flag :
         {"NM_SEARCH", "QUAD_MODEL_SEARCH", "TESKORA_SEARCH", "USER_CALLS_ENABLED"})
    {
        SCOPED_TRACE(flag);
        EXPECT_FALSE(inner.getAttributeValue<bool>(flag));
    }
    EXPECT_EQ(std::numeric_limits<size_t>::max(),
              inner.getAttributeValue<size_t>("MAX_ITERATIONS"));
    EXPECT_EQ(Double(INF), inner.getAttributeValue<Double>("H_MAX_0"));
    optimize.end();
}

TEST(QuadModelSinglePass, SurrogateValuesOfTheCacheAreClearedFirst)
{
    // Cached blackbox points that still carry a surrogate evaluation of an
    // earlier model: the pass removes it before it optimises its own model.
    ModelSearchHarness h(2, "OBJ PB", constrainedBowl, {{0, 0}});
    QuadModelAlgo algo(h.root.get(), h.makeStopReasons(), h.runParams(), h.pbParams());
    h.seedCache(GRID);
    for (const auto& x : {GRID[0], GRID[4]})
    {
        EvalPoint cached;
        ASSERT_EQ(1u,
                  CacheBase::getInstance()->find(Point(makeArray(x)), cached, EvalType::UNDEFINED));
        cached.setBBO("0 -1", {BBOutputType::OBJ, BBOutputType::PB}, EvalType::SGTE, true);
        ASSERT_TRUE(CacheBase::getInstance()->update(cached, EvalType::SGTE));
    }
    ASSERT_EQ(2u, h.cachedWithSgte());

    auto mesh = std::make_shared<FixedMesh>(h.pbParams());
    for (size_t i = 0; i < 2; ++i)
    {
        mesh->setDeltas(i, 1.0, 1.0);
    }
    QuadModelSinglePass pass(&algo, centre({0.5, -0.5}), 0, mesh);
    pass.generateTrialPoints();
    EXPECT_GT(pass.getTrialPointsCount(), 0u);
    EXPECT_EQ(0u, h.cachedWithSgte());
    EXPECT_EQ(GRID.size(), CacheBase::getInstance()->size());
}
