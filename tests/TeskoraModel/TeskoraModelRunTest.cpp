#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Algos/EvcInterface.hpp"
#include "Algos/TeskoraModel/TeskoraModel.hpp"
#include "Algos/TeskoraModel/TeskoraModelInitialization.hpp"
#include "Algos/TeskoraModel/TeskoraModelMegaIteration.hpp"
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
size_t occurrences(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); std::string::npos != at; at = text.find(part, at + 1))
    {
        ++count;
    }
    return count;
}

struct ModelRun
{
    explicit ModelRun(const std::vector<std::vector<double>>& x0s,
                      const std::vector<std::string>& lines = {},
                      const EvcOptions& options = EvcOptions())
        : h(2, "OBJ PB", constrainedBowl, x0s, lines, options)
    {
    }

    TeskoraModel& make()
    {
        model = std::make_unique<TeskoraModel>(h.root.get(), h.makeStopReasons(), h.runParams(),
                                               h.pbParams());
        return *model;
    }

    std::string stopText() const { return modelStopText(model->getAllStopReasons()); }

    // Starting points as a caller may hand them, past the checks of the
    // parameter set (which accept one starting point per X0 line).
    void setX0s(const std::vector<std::vector<double>>& x0s,
                const std::shared_ptr<PbParameters>& pbParams)
    {
        ArrayOfPoint points;
        for (const auto& x0 : x0s)
        {
            points.push_back(Point(makeArray(x0)));
        }
        pbParams->setSpValueDefault("X0", points);
    }

    ModelSearchHarness h;
    std::unique_ptr<TeskoraModel> model;
};

} // namespace

TEST(TeskoraModelInitialization, EachStartingPointIsEvaluatedOnceAndReported)
{
    struct Case
    {
        const char* label;
        std::vector<std::vector<double>> x0s;
        std::vector<std::vector<double>> seed;
        bool opportunistic;
        size_t evaluations; // by the start, not counting the seed
        size_t used;        // "Using X0: " reports
    };
    const std::vector<Case> cases = {
        {"two equal points", {{1, 1}, {1, 1}}, {}, false, 1, 2},
        {"a cached point", {{0.5, 0.5}}, {{0.5, 0.5}}, false, 0, 1},
        {"opportunism on", {{-1, -1}, {0, 1}, {2, 0}}, {}, true, 3, 3},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        EvcOptions options;
        options.opportunistic = c.opportunistic;
        ModelRun run({{0, 0}}, {}, options);
        run.h.seedCache(c.seed);
        const size_t seeded = run.h.bbEvalCount();
        TeskoraModel& model = run.make();
        run.setX0s(c.x0s, model.getPbParams());
        const std::string shown = infoMessagesOf([&] { model.start(); });
        EXPECT_EQ(c.evaluations, run.h.bbEvalCount() - seeded);
        EXPECT_EQ(c.used, occurrences(shown, "Using X0: "));
        EXPECT_EQ(c.opportunistic, EvcInterface::getEvaluatorControl()->getOpportunisticEval(-1));
        ASSERT_NE(nullptr, model.getX0Barrier());
        EXPECT_EQ("Started", run.stopText());
    }
}

TEST(TeskoraModelInitialization, FailuresAndInvalidPoints)
{
    // Every starting point fails: no barrier, the run stops.
    {
        ModelRun run({{1, 1}});
        run.h.evc->evaluator->evalOk = [](const EvalPoint&) { return false; };
        TeskoraModel& model = run.make();
        run.setX0s({{1, 1}, {2, 2}}, model.getPbParams());
        const std::string shown = infoMessagesOf([&] { model.start(); });
        EXPECT_NE(std::string::npos, shown.find("X0 evaluation failed for X0 = ( 2 2 )"));
        EXPECT_EQ(nullptr, model.getX0Barrier());
        EXPECT_EQ("Problem with starting point evaluation", run.stopText());
    }
    // A listed point that is not valid is reported, never evaluated: the
    // queue refuses undefined coordinates and a point of another size would
    // reach the blackbox with the wrong number of variables.
    {
        ModelRun run({{1, 1}});
        TeskoraModel& model = run.make();
        run.setX0s({{1, 1}, {1, UNDEF}, {1, 2, 3}}, model.getPbParams());
        const std::string shown = infoMessagesOf([&] { model.start(); });
        EXPECT_EQ((std::vector<std::vector<double>>{{1, 1}}), run.h.bbEvaluated());
        EXPECT_NE(std::string::npos,
                  shown.find("Initialization: eval_x0s: Invalid X0 ( 1 - ).Initialization: "
                             "eval_x0s: Invalid X0 ( 1 2 3 )."));
        EXPECT_NE(std::string::npos, shown.find("X0 evaluation failed for X0 = ( 1 - )"));
        EXPECT_NE(std::string::npos, shown.find("X0 evaluation failed for X0 = ( 1 2 3 )"));
        EXPECT_EQ("Started", run.stopText());
    }
}

TEST(TeskoraModelMegaIteration, IterationsAndTheirNumbers)
{
    ModelRun run({{0, 0}}, {"TESKORA_MODEL_TRIALS 3", "TESKORA_MODEL_CANDIDATES_NB 0"});
    run.h.seedCache(scatteredPoints(14));
    TeskoraModel& model = run.make();
    model.start();

    TeskoraModelMegaIteration mega(&model, 4, model.getX0Barrier(), SuccessType::NOT_EVALUATED);
    std::string shown = infoMessagesOf([&] { mega.generateIterations(); });
    EXPECT_NE(std::string::npos, shown.find("TeskoraModel MegaIteration 4 has 3 iterations."));
    ASSERT_EQ(3u, mega.getIterationList().size());
    EXPECT_EQ("TeskoraModel Iteration 4", mega.getIterationList()[0]->getName());
    EXPECT_EQ("TeskoraModel Iteration 6", mega.getIterationList()[2]->getName());

    // k grows by one per iteration that ran; the first that brings nothing
    // new ends the loop.
    mega.runIterationsAndSetTrialPoints();
    const size_t ran = mega.getK() - 4;
    EXPECT_GE(ran, 1u);
    EXPECT_LE(ran, 3u);
    EXPECT_GT(mega.getTrialPointsCount(), 0u);
    if (ran < 3)
    {
        EXPECT_EQ("Models optimization did not find new points", run.stopText());
    }

    TeskoraModelMegaIteration empty(&model, 0, model.getX0Barrier(), SuccessType::NOT_EVALUATED);
    EXPECT_EQ("No iterations to run", messageOf([&] { empty.runIterationsAndSetTrialPoints(); }));

    // Too few points to build the model without ridge.
    ModelRun single({{0, 0}}, {"TESKORA_MODEL_DEFINITION TYPE PRS DEGREE 2 RIDGE 0"});
    single.h.seedCache(scatteredPoints(3));
    TeskoraModel& small = single.make();
    small.start();
    TeskoraModelMegaIteration one(&small, 0, small.getX0Barrier(), SuccessType::NOT_EVALUATED);
    shown = infoMessagesOf([&] { one.generateIterations(); });
    EXPECT_NE(std::string::npos, shown.find("TeskoraModel MegaIteration 0 has 1 iteration."));
    // Not ready: no oracle point.
    one.runIterationsAndSetTrialPoints();
    EXPECT_EQ("Models optimization did not find new points", single.stopText());
}

TEST(TeskoraModel, RunsAndProposesPoints)
{
    // The blackbox budget ends the run.
    EvcOptions budget;
    budget.maxBbEval = 30;
    ModelRun run({{0, 0}}, {"TESKORA_MODEL_DEFINITION TYPE PRS DEGREE 2 RIDGE 0"}, budget);
    run.h.seedCache(scatteredPoints(12));
    const size_t seeded = run.h.bbEvalCount();
    TeskoraModel& model = run.make();
    model.start();
    EXPECT_TRUE(model.run());
    model.end();

    // X0, then at least one point of the model.
    EXPECT_GE(run.h.bbEvalCount(), seeded + 2);
    ASSERT_NE(nullptr,
              std::dynamic_pointer_cast<TeskoraModelMegaIteration>(model.getMegaIteration()));
    EXPECT_GE(model.getMegaIteration()->getK(), 1u);
    EXPECT_EQ(0u, run.h.cachedWithSgte());
    EXPECT_TRUE(queueSettings().defaultSuccessRule);

    // Points proposed without evaluation.
    ModelRun oracle({{0, 0}}, {"TESKORA_MODEL_DEFINITION TYPE PRS DEGREE 2 RIDGE 0"});
    oracle.h.seedCache(scatteredPoints(12));
    TeskoraModel& proposer = oracle.make();
    proposer.start();
    const size_t before = oracle.h.bbEvalCount();
    const auto points = proposer.createOraclePoints();
    EXPECT_FALSE(points.empty());
    EXPECT_EQ(before, oracle.h.bbEvalCount());
    EXPECT_TRUE(queueSettings().defaultSuccessRule);
    EXPECT_EQ(0u, oracle.h.cachedWithSgte());
}

TEST(TeskoraModelMegaIteration, ClearsSurrogateValuesAndDestroysQuietlyWithoutCache)
{
    ModelRun run({{0, 0}});
    const auto points = scatteredPoints(3);
    run.h.seedCache(points);
    TeskoraModel& model = run.make();
    model.start();
    auto withCache = std::make_unique<TeskoraModelMegaIteration>(&model, 0, model.getX0Barrier(),
                                                                 SuccessType::NOT_EVALUATED);
    run.h.giveSgteValues(points);
    ASSERT_EQ(points.size(), run.h.cachedWithSgte());
    withCache.reset();
    EXPECT_EQ(0u, run.h.cachedWithSgte());

    // Without a cache there is nothing to clear: not a word, no exception.
    auto mega = std::make_unique<TeskoraModelMegaIteration>(&model, 0, model.getX0Barrier(),
                                                            SuccessType::NOT_EVALUATED);
    CacheBase::resetInstance();
    std::string err;
    std::string out;
    {
        const QarnoTest::StreamCapture capturedOut(std::cout);
        const QarnoTest::CerrCapture capturedErr;
        mega.reset();
        err = capturedErr.text();
        out = capturedOut.text();
    }
    EXPECT_EQ("", err);
    EXPECT_EQ("", out);
}

TEST(TeskoraModelMegaIteration, CacheCandidatesUpToTheirNumber)
{
    struct Case
    {
        const char* label;
        size_t blockSize;
        int candidates;
        bool oneTrialPoint; // held before the filter runs
        size_t expected;    // trial points after it
    };
    // Dimension 3: twice the dimension is 6.
    const std::vector<Case> cases = {
        {"twice the dimension", 1, -1, false, 6},
        {"the block size when larger", 8, -1, false, 8},
        {"as many as asked", 1, 4, false, 4},
        {"none asked", 1, 0, false, 0},
        {"less the trial points held", 1, -1, true, 6},
    };
    const Analytic sphere = [](const std::vector<double>& x)
    { return std::vector<double>{x[0] * x[0] + x[1] * x[1] + x[2] * x[2]}; };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        EvcOptions options;
        options.bbMaxBlockSize = c.blockSize;
        ModelSearchHarness h(3, "OBJ", sphere, {{0, 0, 0}},
                             {"TESKORA_MODEL_CANDIDATES_NB " + std::to_string(c.candidates)},
                             options);
        TeskoraModel model(h.root.get(), h.makeStopReasons(), h.runParams(), h.pbParams());
        model.start();
        // Points the surrogate evaluated, to pick from.
        for (const auto& x : spreadPoints(3, 20, -2, 2))
        {
            EvalPoint point(Point(makeArray(x)));
            point.setBBO(Double(sphere(x)[0]).tostring(), {BBOutputType::OBJ}, EvalType::SGTE,
                         true);
            CacheBase::getInstance()->insert(point);
        }

        TeskoraModelMegaIteration mega(&model, 0, model.getX0Barrier(), SuccessType::NOT_EVALUATED);
        if (c.oneTrialPoint)
        {
            ASSERT_TRUE(mega.insertTrialPoint(EvalPoint(Point(makeArray({3, 3, 3})))));
        }
        mega.filterCache();
        EXPECT_EQ(c.expected, mega.getTrialPointsCount());
    }
}

TEST(TeskoraModelMegaIteration, OraclePointsAllHeldAlreadyBringNothingNew)
{
    // Two mega-iterations from the same state propose the same oracle
    // points; the second already holds them as trial points.
    ModelRun run({{0, 0}}, {"TESKORA_MODEL_CANDIDATES_NB 0"});
    run.h.seedCache(scatteredPoints(14));
    std::set<EvalPoint, EvalPointCompare> first;
    for (int attempt = 0; attempt < 2; ++attempt)
    {
        SCOPED_TRACE(0 == attempt ? "first" : "second");
        TeskoraModel model(run.h.root.get(), run.h.makeStopReasons(), run.h.runParams(),
                           run.h.pbParams());
        model.start();
        resetRandomGenerator();
        std::srand(1);
        TeskoraModelMegaIteration mega(&model, 0, model.getX0Barrier(), SuccessType::NOT_EVALUATED);
        mega.generateIterations();
        for (const EvalPoint& x : first)
        {
            mega.insertTrialPoint(x);
        }
        mega.runIterationsAndSetTrialPoints();
        // The iteration ran and proposed points.
        EXPECT_EQ(1u, mega.getK());
        if (0 == attempt)
        {
            first = mega.getTrialPoints();
            ASSERT_FALSE(first.empty());
            EXPECT_EQ("Started", modelStopText(model.getAllStopReasons()));
        }
        else
        {
            EXPECT_EQ(first.size(), mega.getTrialPointsCount());
            EXPECT_EQ("Models optimization did not find new points",
                      modelStopText(model.getAllStopReasons()));
        }
    }
}

TEST(TeskoraModel, EndGivesTheDefaultSuccessRuleBack)
{
    // No mega-iteration runs, so no surrogate optimisation reinstalls the
    // blackbox evaluator: only the end puts the default rule back.
    ModelRun run({{0, 0}}, {"MAX_ITERATIONS 0"});
    run.h.seedCache(scatteredPoints(12));
    TeskoraModel& model = run.make();
    model.start();
    EXPECT_FALSE(queueSettings().defaultSuccessRule);
    EXPECT_TRUE(model.run());
    EXPECT_EQ(nullptr, model.getMegaIteration());
    model.end();
    EXPECT_TRUE(queueSettings().defaultSuccessRule);
}
