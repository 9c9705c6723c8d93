#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "Algos/EvcInterface.hpp"
#include "Algos/TeskoraModel/TeskoraModel.hpp"
#include "Algos/TeskoraModel/TeskoraModelOptimize.hpp"
#include "Algos/TeskoraModel/TeskoraModelUpdate.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/ArrayOfPoint.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/ArrayOfString.hpp"
#include "support/CacheSupport.hpp"
#include "support/ModelSearchSupport.hpp"
#include "support/StepSupport.hpp"
#include "support/StepTree.hpp"
#include "support/TestSupport.hpp"
#include "teskora/Exception.hpp"
#include "teskora/Matrix.hpp"
#include "teskora/SurrogatePRS.hpp"

using namespace QARNO_4_0_0;
using namespace QarnoTest;

namespace
{
TESKORA::Matrix rows(const std::vector<std::vector<double>>& points)
{
    TESKORA::Matrix M("M", static_cast<int>(points.size()),
                      static_cast<int>(points.empty() ? 0 : points[0].size()));
    for (size_t i = 0; i < points.size(); ++i)
    {
        for (size_t j = 0; j < points[i].size(); ++j)
        {
            M.set(static_cast<int>(i), static_cast<int>(j), points[i][j]);
        }
    }
    return M;
}

// A surrogate-model algorithm on the constrained bowl under the harness's root.
struct TeskoraRun
{
    explicit TeskoraRun(const std::vector<std::string>& lines = {},
                        const EvcOptions& options = EvcOptions(),
                        const std::string& bbOutputType = "OBJ PB",
                        const Analytic& f = constrainedBowl)
        : h(2, bbOutputType, f, {{0, 0}}, lines, options)
    {
    }

    TeskoraModel& make(const std::shared_ptr<MeshBase>& mesh = nullptr)
    {
        model = std::make_unique<TeskoraModel>(h.root.get(), h.makeStopReasons(), h.runParams(),
                                               h.pbParams(), mesh);
        return *model;
    }

    // Fills the training set with the points and their outputs, and builds
    // the surrogate, as an update would.
    void train(const std::vector<std::vector<double>>& points)
    {
        std::vector<std::vector<double>> values;
        for (const auto& x : points)
        {
            values.push_back(constrainedBowl(x));
        }
        model->getTrainingSet()->add_points(rows(points), rows(values));
        model->getModel()->build();
    }

    // The update under a mega-iteration on the cache's barrier.
    void update()
    {
        TestMegaIteration mega(model.get(), 0, std::make_shared<Barrier>(INF, Point(2)));
        TeskoraModelUpdate step(&mega);
        step.start();
        step.run();
        step.end();
    }

    std::string stopText() const { return modelStopText(model->getAllStopReasons()); }

    ModelSearchHarness h;
    std::unique_ptr<TeskoraModel> model;
};

// A quadratic surrogate whose predictions fail.
class ThrowingPRS : public TESKORA::Surrogate_PRS
{
public:
    using TESKORA::Surrogate_PRS::predict_private;
    using TESKORA::Surrogate_PRS::Surrogate_PRS;
    void predict_private(const TESKORA::Matrix&, TESKORA::Matrix*) override
    {
        throw TESKORA::Exception(__FILE__, __LINE__, "prediction refused");
    }
};

// A model whose surrogate, trained and ready, fails when it predicts.
class BreakableModel : public TeskoraModel
{
public:
    using TeskoraModel::TeskoraModel;
    void trainAndBreak(const std::vector<std::vector<double>>& points)
    {
        std::vector<std::vector<double>> values;
        for (const auto& x : points)
        {
            values.push_back(constrainedBowl(x));
        }
        _trainingSet->add_points(rows(points), rows(values));
        _model = std::make_shared<ThrowingPRS>(*_trainingSet,
                                               TESKORA::Surrogate_Parameters("TYPE PRS RIDGE 0"));
        _model->build();
        setReady(true);
    }
};

} // namespace

TEST(TeskoraModel, NumberOfModelOutputs)
{
    struct Case
    {
        TeskoraModelFeasibilityType feasibility;
        size_t constraints;
        size_t outputs;
    };
    for (const Case& c : std::vector<Case>{{TeskoraModelFeasibilityType::C, 0, 1},
                                           {TeskoraModelFeasibilityType::C, 3, 4},
                                           {TeskoraModelFeasibilityType::H, 3, 2},
                                           {TeskoraModelFeasibilityType::B, 0, 2},
                                           {TeskoraModelFeasibilityType::M, 5, 2}})
    {
        EXPECT_EQ(c.outputs, TeskoraModel::getNbModels(c.feasibility, c.constraints));
    }
    CerrCapture err;
    EXPECT_EQ(std::numeric_limits<size_t>::max(),
              TeskoraModel::getNbModels(TeskoraModelFeasibilityType::UNDEFINED, 1));
    EXPECT_EQ("UNDEFINED TESKORA_MODEL_FEASIBILITY\n", err.text());
}

TEST(TeskoraModel, InitAndItsRefusals)
{
    {
        TeskoraRun run;
        TeskoraModel& model = run.make();
        EXPECT_EQ("TeskoraModel", model.getName());
        EXPECT_EQ(0, model.getTrainingSet()->get_nb_points());
        EXPECT_EQ(2, model.getTrainingSet()->get_output_dim());
        EXPECT_FALSE(model.getModel()->is_ready());
        EXPECT_FALSE(model.isReady());
    }
    struct Case
    {
        const char* label;
        std::vector<std::string> lines;
        const char* message;
        const char* err;
    };
    const std::vector<Case> cases = {
        // An external surrogate would run the definition as a command.
        {"EXTERN",
         {"TESKORA_MODEL_FORMULATION EXTERN"},
         "TeskoraModel: EXTERN formulation is not supported",
         ""},
        {"FS with H",
         {"TESKORA_MODEL_FEASIBILITY H"},
         "TeskoraModel: TESKORA_MODEL_FEASIBILITY not valid",
         "ERROR : Formulations FS and EIS can only be used with FeasibilityMethod C\n"},
        // Literally the output count becomes the largest size_t.
        {"no feasibility method",
         {"TESKORA_MODEL_FORMULATION EFI", "TESKORA_MODEL_FEASIBILITY UNDEFINED"},
         "TeskoraModel: TESKORA_MODEL_FEASIBILITY not valid",
         ""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        TeskoraRun run(c.lines);
        CerrCapture err;
        std::string message = "(no exception)";
        try
        {
            run.make();
        }
        catch (const TESKORA::Exception& e)
        {
            message = e.what();
            message = message.substr(message.find(" (") + 2);
            message.pop_back();
        }
        catch (const std::exception& e)
        {
            message = messageOf(e);
        }
        EXPECT_EQ(c.message, message);
        EXPECT_EQ(c.err, err.text());
    }
}

TEST(TeskoraModel, ReadinessAndFormulation)
{
    TeskoraRun run(
        {"TESKORA_MODEL_FORMULATION EFI", "TESKORA_MODEL_DEFINITION TYPE PRS DEGREE 2 RIDGE 0"});
    TeskoraModel& model = run.make();
    EXPECT_EQ(TeskoraModelFormulationType::D, model.getFormulation());

    // Ten distinct points build the surrogate but are not enough.
    const auto points = scatteredPoints(11);
    run.train(std::vector<std::vector<double>>(points.begin(), points.begin() + 10));
    ASSERT_TRUE(model.getModel()->is_ready());
    EXPECT_FALSE(model.isReady());
    EXPECT_EQ(TeskoraModelFormulationType::D, model.getFormulation());

    run.train({points[10]});
    EXPECT_TRUE(model.isReady());
    EXPECT_EQ(TeskoraModelFormulationType::EFI, model.getFormulation());

    model.reset();
    EXPECT_EQ(nullptr, model.getModel());
    EXPECT_EQ(nullptr, model.getTrainingSet());
    EXPECT_EQ("TeskoraModel::isReady : no training set", messageOf([&] { model.isReady(); }));
}

TEST(TeskoraModel, ModelBoxAndExtendedBounds)
{
    TeskoraRun run({"LOWER_BOUND ( - 0 )", "UPPER_BOUND ( - 1 )"});
    TeskoraModel& model = run.make();
    model.setModelBounds(std::make_shared<TESKORA::Matrix>("X", 0, 2));
    EXPECT_EQ("- -", model.getModelLowerBound().display(ArrayOfDouble()));

    model.setModelBounds(std::make_shared<TESKORA::Matrix>(rows({{2, 5}, {4, 2}})));
    EXPECT_EQ("2 2", model.getModelLowerBound().display(ArrayOfDouble()));
    EXPECT_EQ("4 5", model.getModelUpperBound().display(ArrayOfDouble()));
    // Undefined problem bounds: the box widened by 10 at least; defined ones
    // stay.
    EXPECT_EQ("-8 0", model.getExtendedLowerBound().display(ArrayOfDouble()));
    EXPECT_EQ("14 1", model.getExtendedUpperBound().display(ArrayOfDouble()));
    model.setModelBounds(std::make_shared<TESKORA::Matrix>(rows({{0, 2}, {50, 2}})));
    EXPECT_EQ("-50 0", model.getExtendedLowerBound().display(ArrayOfDouble()));
    EXPECT_EQ("100 1", model.getExtendedUpperBound().display(ArrayOfDouble()));

    EXPECT_EQ(
        "TeskoraModel::setModelBounds() dimensions do not match",
        messageOf([&] { model.setModelBounds(std::make_shared<TESKORA::Matrix>("X", 1, 3)); }));

    EXPECT_FALSE(model.getDeltaMNorm().isDefined());
    auto mesh = std::make_shared<FixedMesh>(run.h.pbParams());
    mesh->setDeltas(0, 3.0, 3.0);
    mesh->setDeltas(1, 4.0, 4.0);
    TeskoraModel withMesh(run.h.root.get(), run.h.makeStopReasons(), run.h.runParams(),
                          run.h.pbParams(), mesh);
    EXPECT_DOUBLE_EQ(5.0, withMesh.getDeltaMNorm().todouble());
}

TEST(TeskoraModel, CheckHF)
{
    TeskoraRun run;
    TeskoraModel& model = run.make();
    EvalPoint defined(Point(makeArray({1, 1})));
    defined.setBBO("3 -1", {BBOutputType::OBJ, BBOutputType::PB}, EvalType::SGTE, true);
    const std::string quiet = infoMessagesOf([&] { model.checkHF(defined); });
    EXPECT_EQ(std::string::npos, quiet.find("Warning"));
    EXPECT_EQ(3.0, defined.getF(EvalType::SGTE).todouble());
    EXPECT_EQ(0.0, defined.getH(EvalType::SGTE).todouble());

    // An undefined f cannot be recomputed: both become the largest double.
    EvalPoint undefined(Point(makeArray({1, 1})));
    undefined.setBBO("- 2", {BBOutputType::OBJ, BBOutputType::PB}, EvalType::SGTE, true);
    const std::string shown = infoMessagesOf([&] { model.checkHF(undefined); });
    EXPECT_NE(
        std::string::npos,
        shown.find(
            "Warning: TeskoraModel::checkHF(): f is not defined and needs to be recomputed."));
    EXPECT_EQ(INF, undefined.getF(EvalType::SGTE).todouble());
    EXPECT_EQ(INF, undefined.getH(EvalType::SGTE).todouble());
}

TEST(TeskoraModelUpdate, TrainingRowsPerFeasibilityMethod)
{
    // Outputs OBJ EB PB: the point (1, 2) gives f = 6.25, EB = 0.5, PB = 2.
    const Analytic f = [](const std::vector<double>& x) {
        return std::vector<double>{constrainedBowl(x)[0], x[0] - 0.5, x[1]};
    };
    struct Case
    {
        const char* feasibility;
        const char* formulation;
        std::vector<double> row;
    };
    const std::vector<Case> cases = {
        {"C", "FS", {6.25, 0.5, 2}},
        // EB violated: h is the largest double.
        {"H", "EFI", {6.25, INF}},
        {"B", "EFI", {6.25, 0}},
        {"M", "EFI", {6.25, 2}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.feasibility);
        TeskoraRun run({std::string("TESKORA_MODEL_FEASIBILITY ") + c.feasibility,
                        std::string("TESKORA_MODEL_FORMULATION ") + c.formulation},
                       EvcOptions(), "OBJ EB PB", f);
        run.h.seedCache({{1, 2}});
        run.make();
        run.update();
        const TESKORA::Matrix& Z = run.model->getTrainingSet()->get_matrix_Z();
        ASSERT_EQ(1, Z.get_nb_rows());
        for (size_t j = 0; j < c.row.size(); ++j)
        {
            EXPECT_EQ(c.row[j], Z.get(0, static_cast<int>(j))) << j;
        }
    }
}

TEST(TeskoraModelUpdate, BoxOncePerPointAndReadiness)
{
    // No mesh: the box around the barrier's points (here the best feasible
    // point (0, 0) alone) reaches MODEL_RADIUS_FACTOR.
    TeskoraRun run({"TESKORA_MIN_POINTS_FOR_MODEL 3"});
    run.h.seedCache({{0, 0}, {-4, 0}, {-4.5, 0}});
    TeskoraModel& model = run.make();
    std::string shown = infoMessagesOf([&] { run.update(); });
    EXPECT_NE(std::string::npos, shown.find("Found 2 points in cache of size 3"));
    EXPECT_EQ(2, model.getTrainingSet()->get_nb_points());
    EXPECT_EQ("Not enough points to build model", run.stopText());
    EXPECT_EQ("-4 0", model.getModelLowerBound().display(ArrayOfDouble()));
    EXPECT_EQ("0 0", model.getModelUpperBound().display(ArrayOfDouble()));
    EXPECT_TRUE(model.getFoundFeasible());

    // Literally every update appends the cache points again.
    shown = infoMessagesOf([&] { run.update(); });
    EXPECT_NE(std::string::npos, shown.find("Found 2 points in cache of size 3"));
    EXPECT_EQ(2, model.getTrainingSet()->get_nb_points());

    // Enough distinct points: the surrogate is built and the model ready.
    run.h.seedCache(scatteredPoints(12));
    run.update();
    const int trained = model.getTrainingSet()->get_nb_points();
    EXPECT_GE(trained, 14);
    EXPECT_TRUE(model.isReady());
    run.update();
    EXPECT_EQ(trained, model.getTrainingSet()->get_nb_points());

    // Without the cache nothing is found.
    TeskoraRun off;
    off.h.seedCache({{0, 0}});
    off.make();
    EvcInterface::getEvaluatorControl()->setUseCache(false);
    shown = infoMessagesOf([&] { off.update(); });
    EXPECT_NE(std::string::npos, shown.find("Found 0 point in cache of size 1"));
    EXPECT_EQ(0, off.model->getTrainingSet()->get_nb_points());
    EXPECT_EQ("Not enough points to build model", off.stopText());
}

TEST(TeskoraModelOptimize, LatinHypercubeShareOfTheBudget)
{
    struct Case
    {
        size_t maxSgteEval;
        const char* lhSearch;
    };
    for (const Case& c : std::vector<Case>{{1000, "300 0"}, {10, "3 0"}, {3, "0 0"}})
    {
        SCOPED_TRACE(c.maxSgteEval);
        EvcOptions options;
        options.maxSgteEval = c.maxSgteEval;
        TeskoraRun run({}, options);
        TeskoraModel& model = run.make();
        TeskoraModelOptimize optimize(&model, run.h.runParams(), run.h.pbParams());
        EXPECT_EQ("TeskoraModel Optimize", optimize.getName());
        std::ostringstream text;
        text << optimize.getOptRunParams()->getAttributeValue<LHSearchType>("LH_SEARCH");
        EXPECT_EQ(c.lhSearch, text.str());
    }
}

TEST(TeskoraModelOptimize, OptimisesTheSurrogateAndGivesTheQueueBack)
{
    TeskoraRun run(
        {"TESKORA_MODEL_DEFINITION TYPE PRS DEGREE 2 RIDGE 0", "TESKORA_MODEL_DIVERSIFICATION 0"});
    run.h.seedCache(scatteredPoints(12));
    TeskoraModel& model = run.make();
    model.setX0Barrier(std::make_shared<Barrier>(INF, Point(2)));
    run.update();
    ASSERT_TRUE(model.isReady());
    const size_t evaluated = run.h.bbEvalCount();
    const QueueSettings before = queueSettings();

    TeskoraModelOptimize optimize(&model, run.h.runParams(), run.h.pbParams());
    optimize.setupPbParameters(model.getExtendedLowerBound(), model.getExtendedUpperBound(),
                               ArrayOfDouble(), ArrayOfDouble());
    const std::string shown = infoMessagesOf(
        [&]
        {
            optimize.start();
            EXPECT_TRUE(optimize.run());
            optimize.end();
        });
    EXPECT_NE(std::string::npos, shown.find("Start step MADS (TeskoraModelOptimize)"));
    EXPECT_EQ(std::string::npos, shown.find("Best feasible solution"));
    EXPECT_TRUE(before == queueSettings());
    EXPECT_EQ(evaluated, run.h.bbEvalCount());
    // The surrogate is exact: an oracle point is the bowl's minimum
    // (1, -0.5), which is feasible.
    ASSERT_FALSE(optimize.getOraclePoints().empty());
    bool nearOptimum = false;
    for (const EvalPoint& x : optimize.getOraclePoints())
    {
        nearOptimum = nearOptimum || (std::fabs(x[0].todouble() - 1) < 1e-2 &&
                                      std::fabs(x[1].todouble() + 0.5) < 1e-2);
    }
    EXPECT_TRUE(nearOptimum);
    // The starting mesh is the reference problem's.
    EXPECT_EQ(run.h.pbParams()
                  ->getAttributeValue<ArrayOfDouble>("INITIAL_MESH_SIZE")
                  .display(ArrayOfDouble()),
              optimize.getOptPbParams()
                  ->getAttributeValue<ArrayOfDouble>("INITIAL_MESH_SIZE")
                  .display(ArrayOfDouble()));

    // A surrogate that fails in the middle of the child run: the exception
    // passes, and the queue still gets its settings back.
    {
        BreakableModel broken(run.h.root.get(), run.h.makeStopReasons(), run.h.runParams(),
                              run.h.pbParams());
        broken.trainAndBreak(scatteredPoints(12));
        broken.setX0Barrier(model.getX0Barrier());
        TeskoraModelOptimize failing(&broken, run.h.runParams(), run.h.pbParams());
        failing.setupPbParameters(model.getExtendedLowerBound(), model.getExtendedUpperBound(),
                                  ArrayOfDouble(), ArrayOfDouble());
        EXPECT_NE(std::string::npos, messageOf([&] { failing.run(); }).find("prediction refused"));
        EXPECT_TRUE(before == queueSettings());
    }

    // No evaluator installed: a warning, nothing changed.
    const auto evc = EvcInterface::getEvaluatorControl();
    const auto blackbox = evc->getMainThreadInfo(-1).getEvaluator();
    evc->setEvaluator(nullptr);
    QueueSettings without = queueSettings();
    {
        CerrCapture err;
        EXPECT_FALSE(optimize.run());
        EXPECT_EQ("Warning: TeskoraModelOptimize: Could not set SGTE Evaluator\n", err.text());
    }
    EXPECT_TRUE(without == queueSettings());
    evc->setEvaluator(blackbox);
}

TEST(TeskoraModelOptimize, StartingPointsFromTheCacheElseFromTheModelsBarrier)
{
    const BBOutputTypeList types = {BBOutputType::OBJ, BBOutputType::PB};
    // The model's barrier: a feasible point and an infeasible one.
    const EvalPoint feasible = makeBBPoint({-1, -1}, "4.25 -3", types);
    const EvalPoint infeasible = makeBBPoint({2, 2}, "7.25 3", types);
    struct Case
    {
        const char* label;
        bool surrogatePoint; // (-0.5, -0.5), evaluated by the surrogate only
        double lb;
        double ub;
        std::vector<std::vector<double>> x0s;
    };
    const std::vector<Case> cases = {
        {"surrogate points first", true, -2, 0, {{-0.5, -0.5}}},
        {"else the model's points within the bounds", false, -2, 0, {{-1, -1}}},
        {"the infeasible one too", false, 1, 3, {{2, 2}}},
        {"a surrogate point out of the bounds does not count", true, 1, 3, {{2, 2}}},
        {"none", false, 5, 6, {}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        TeskoraRun run;
        TeskoraModel& model = run.make();
        model.setX0Barrier(std::make_shared<Barrier>(INF, Point(2), EvalType::BB,
                                                     std::vector<EvalPoint>{feasible, infeasible}));
        if (c.surrogatePoint)
        {
            EvalPoint x(Point(makeArray({-0.5, -0.5})));
            x.setBBO("2.25 -2", types, EvalType::SGTE, true);
            CacheBase::getInstance()->insert(x);
        }
        TeskoraModelOptimize optimize(&model, run.h.runParams(), run.h.pbParams());
        optimize.setupPbParameters(ArrayOfDouble(2, c.lb), ArrayOfDouble(2, c.ub), ArrayOfDouble(),
                                   ArrayOfDouble());

        std::vector<std::vector<double>> x0s;
        for (const Point& x0 : optimize.getOptPbParams()->getAttributeValue<ArrayOfPoint>("X0"))
        {
            if (x0.isComplete())
            {
                x0s.push_back({x0[0].todouble(), x0[1].todouble()});
            }
        }
        EXPECT_EQ(c.x0s, x0s);
    }
}

TEST(TeskoraModelOptimize, WithoutAStartingPointTheStepIsSkipped)
{
    // The model's only point lies out of the bounds and the cache holds no
    // surrogate point: the child would have no X0.
    TeskoraRun run({"TESKORA_MODEL_DEFINITION TYPE PRS DEGREE 2 RIDGE 0"});
    run.h.seedCache(scatteredPoints(12));
    TeskoraModel& model = run.make();
    model.setX0Barrier(std::make_shared<Barrier>(INF, Point(2)));
    run.update();
    ASSERT_TRUE(model.isReady());
    const size_t evaluated = run.h.bbEvalCount();
    const QueueSettings before = queueSettings();

    TeskoraModelOptimize optimize(&model, run.h.runParams(), run.h.pbParams());
    optimize.setupPbParameters(ArrayOfDouble(2, 5.0), ArrayOfDouble(2, 6.0), ArrayOfDouble(),
                               ArrayOfDouble());
    bool result = true;
    const std::string shown = infoMessagesOf(
        [&]
        {
            optimize.start();
            EXPECT_NO_THROW(result = optimize.run());
            optimize.end();
        });
    EXPECT_FALSE(result);
    EXPECT_NE(
        std::string::npos,
        shown.find(
            "No starting point within the bounds of the surrogate problem: it is not optimised."));
    EXPECT_EQ(std::string::npos, shown.find("Start step MADS (TeskoraModelOptimize)"));
    EXPECT_TRUE(optimize.getOraclePoints().empty());
    // Not a failure of the run: no stop reason, the queue untouched.
    EXPECT_EQ("Started", run.stopText());
    EXPECT_TRUE(before == queueSettings());
    EXPECT_EQ(evaluated, run.h.bbEvalCount());
}

TEST(TeskoraModelOptimize, TheInnerRunGoesWithoutModelSearchesOrUserCalls)
{
    TeskoraRun run({"TESKORA_MODEL_DEFINITION TYPE PRS DEGREE 2 RIDGE 0", "QUAD_MODEL_SEARCH yes",
                    "TESKORA_SEARCH yes", "USER_CALLS_ENABLED yes", "ANISOTROPIC_MESH yes",
                    "H_MAX_0 1"});
    run.h.seedCache(scatteredPoints(12));
    TeskoraModel& model = run.make();
    model.setX0Barrier(std::make_shared<Barrier>(INF, Point(2)));
    run.update();
    ASSERT_TRUE(model.isReady());
    size_t userCalls = 0;
    const Step::StepEndCallback count = [&userCalls](const Step&, bool&) { ++userCalls; };
    Step::addCallback(CallbackType::ITERATION_END, count);
    Step::addCallback(CallbackType::MEGA_ITERATION_END, count);

    TeskoraModelOptimize optimize(&model, run.h.runParams(), run.h.pbParams());
    optimize.setupPbParameters(model.getExtendedLowerBound(), model.getExtendedUpperBound(),
                               ArrayOfDouble(), ArrayOfDouble());
    const std::string shown = infoMessagesOf(
        [&]
        {
            optimize.start();
            EXPECT_TRUE(optimize.run());
            optimize.end();
        });
    ASSERT_NE(std::string::npos, shown.find("Start step MADS (TeskoraModelOptimize)"));
    EXPECT_EQ(0u, userCalls);
    for (const char* search : {"Quad Model Search Method", "Teskora Search Method"})
    {
        SCOPED_TRACE(search);
        EXPECT_EQ(std::string::npos, shown.find(search));
    }

    const RunParameters& inner = *optimize.getOptRunParams();
    for (const char* flag :
         {"QUAD_MODEL_SEARCH", "TESKORA_SEARCH", "USER_CALLS_ENABLED", "ANISOTROPIC_MESH"})
    {
        SCOPED_TRACE(flag);
        EXPECT_FALSE(inner.getAttributeValue<bool>(flag));
    }
    EXPECT_LE(0, inner.getAttributeValue<ArrayOfString>("DISABLE").find("MODELS"));
    EXPECT_EQ(Double(INF), inner.getAttributeValue<Double>("H_MAX_0"));
}
