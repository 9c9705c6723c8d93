// The surrogate-problem evaluator: the outputs of each formulation from the
// surrogate's predictions, when the statistics are asked for, the criteria
// before any feasible point, the distance formulation, the exclusion area,
// the constraint violation, the messages and the failures.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <iostream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "Algos/TeskoraModel/TeskoraModel.hpp"
#include "Algos/TeskoraModel/TeskoraModelEvaluator.hpp"
#include "Eval/EvalPoint.hpp"
#include "Math/ArrayOfDouble.hpp"
#include "Math/Double.hpp"
#include "Math/Point.hpp"
#include "Output/OutputQueue.hpp"
#include "Type/BBOutputType.hpp"
#include "Type/EvalStatusType.hpp"
#include "Type/EvalType.hpp"
#include "Type/TeskoraModelFormulationType.hpp"
#include "support/EvcSupport.hpp"
#include "support/ModelSearchSupport.hpp"
#include "support/TestSupport.hpp"
#include "teskora/Diagnostics.hpp"
#include "teskora/Exception.hpp"
#include "teskora/Matrix.hpp"
#include "teskora/SurrogatePRS.hpp"
#include "teskora/SurrogateParameters.hpp"
#include "teskora/TrainingSet.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::CerrCapture;
using QarnoTest::linesOf;
using QarnoTest::makeArray;
using QarnoTest::makeEvalParameters;
using QarnoTest::messageOf;
using QarnoTest::ModelSearchHarness;
using QarnoTest::ProcessStateGuard;
using QarnoTest::StreamCapture;
using QarnoTest::UNDEF;

namespace
{

using BBOT = BBOutputType;
using Fn = std::function<double(double, double)>;
using Feas = TeskoraModelFeasibilityType;

// The model knows the variables (a, b) = (x0, x2) of the points (x0, x1,
// x2) that the queue hands, whose x1 is fixed at 5.
Point fixedVariable()
{
    return Point(makeArray({UNDEF, 5, UNDEF}));
}

EvalPoint fullPoint(double a, double b)
{
    return EvalPoint(Point(makeArray({a, 5, b})));
}

// Smallest at (0.3, 0.7), the point most cases evaluate, so that its
// expected improvement is far from 0.
const Fn bowl = [](double a, double b)
{ return (a - 0.3) * (a - 0.3) + (b - 0.7) * (b - 0.7) + 1; };
const Fn diagonal = [](double a, double b) { return a + b - 1; };
const Fn upper = [](double /*a*/, double b) { return b - 0.5; };
// Violated at (0, 0), satisfied at (2, 2).
const Fn leftOfOne = [](double a, double /*b*/) { return 1 - a; };
const Fn belowOne = [](double /*a*/, double b) { return 1 - b; };

/// A full quadratic without ridge, which fits the outputs above exactly,
/// counting the requests of statistics and of plain predictions.
class RecordingPRS : public TESKORA::Surrogate_PRS
{
public:
    explicit RecordingPRS(TESKORA::TrainingSet& ts)
        : TESKORA::Surrogate_PRS(ts, TESKORA::Surrogate_Parameters("TYPE PRS DEGREE 2 RIDGE 0"))
    {
    }
    void predict_private(const TESKORA::Matrix& XXs, TESKORA::Matrix* ZZs, TESKORA::Matrix* std,
                         TESKORA::Matrix* ei, TESKORA::Matrix* cdf) override
    {
        ++statRequests;
        TESKORA::Surrogate_PRS::predict_private(XXs, ZZs, std, ei, cdf);
    }
    void predict_private(const TESKORA::Matrix& XXs, TESKORA::Matrix* ZZs) override
    {
        ++meanRequests;
        TESKORA::Surrogate_PRS::predict_private(XXs, ZZs);
    }
    void clearCounts() { statRequests = meanRequests = 0; }

    int statRequests = 0;
    int meanRequests = 0;
};

/// The algorithm with the recording surrogate in place of the one of its
/// definition.
class ModelUnderTest : public TeskoraModel
{
public:
    using TeskoraModel::TeskoraModel;
    RecordingPRS* recordPredictions()
    {
        auto surrogate = std::make_shared<RecordingPRS>(*_trainingSet);
        _model = surrogate;
        return surrogate.get();
    }
    /// The model reads its formulation once, at construction, and refuses
    /// EXTERN there: the only way to hand one to the evaluator.
    void forceFormulation(TeskoraModelFormulationType formulation) { _formulation = formulation; }
};

/// A surrogate-model algorithm under the harness's root, its training set
/// filled on the grid {-1, 0, 1, 2}^2 with the given model columns as the
/// update step does, the surrogate built and the flags set.
struct TrainedModel
{
    TrainedModel(const std::string& bbOutputType, const std::vector<std::string>& lines,
                 const std::vector<Fn>& columns, bool ready = true, bool foundFeasible = true)
        : h(
              2, bbOutputType, [](const std::vector<double>&) { return std::vector<double>(); },
              {{0, 0}}, lines),
          bbot(stringToBBOutputTypeList(bbOutputType))
    {
        model = std::make_unique<ModelUnderTest>(h.root.get(), h.makeStopReasons(), h.runParams(),
                                                 h.pbParams());
        surrogate = model->recordPredictions();
        if (!columns.empty())
        {
            const std::vector<double> grid = {-1, 0, 1, 2};
            TESKORA::Matrix X("X", 16, 2);
            TESKORA::Matrix Z("Z", 16, static_cast<int>(columns.size()));
            int row = 0;
            for (double a : grid)
            {
                for (double b : grid)
                {
                    X.set(row, 0, a);
                    X.set(row, 1, b);
                    for (size_t k = 0; k < columns.size(); ++k)
                    {
                        Z.set(row, static_cast<int>(k), columns[k](a, b));
                    }
                    ++row;
                }
            }
            model->getTrainingSet()->add_points(X, Z);
            EXPECT_TRUE(model->getModel()->build());
        }
        model->setReady(ready);
        model->setFoundFeasible(foundFeasible);
        surrogate->clearCounts();
    }

    TeskoraModelEvaluator evaluator(const std::string& modelDisplay = "", Double div = 0.5,
                                    Feas feasibility = Feas::C, double exclusionArea = 0.0) const
    {
        return TeskoraModelEvaluator(makeEvalParameters(bbot), model.get(), modelDisplay, div,
                                     feasibility, exclusionArea, fixedVariable());
    }

    /// The surrogate's own answer at the sub-space point (a, b).
    struct Prediction
    {
        TESKORA::Matrix M{"M", 1, 1}, S{"S", 1, 1}, E{"E", 1, 1}, C{"C", 1, 1};
        double m(int j) const { return M.get(0, j); }
        double s(int j) const { return S.get(0, j); }
        double ei(int j) const { return E.get(0, j); }
        double cdf(int j) const { return C.get(0, j); }
    };
    Prediction predict(double a, double b) const
    {
        Prediction p;
        surrogate->predict(point(a, b), &p.M, &p.S, &p.E, &p.C);
        surrogate->clearCounts();
        return p;
    }
    static TESKORA::Matrix point(double a, double b)
    {
        TESKORA::Matrix X("X", 1, 2);
        X.set(0, 0, a);
        X.set(0, 1, b);
        return X;
    }

    ModelSearchHarness h;
    BBOutputTypeList bbot;
    std::unique_ptr<ModelUnderTest> model;
    RecordingPRS* surrogate = nullptr; // owned by the model
};

/// The blank-separated numbers of a raw output.
std::vector<double> valuesOf(const std::string& bbo)
{
    std::istringstream in(bbo);
    std::vector<double> values;
    double v;
    while (in >> v)
    {
        values.push_back(v);
    }
    EXPECT_TRUE(in.eof()) << bbo;
    return values;
}

/// Evaluates x through eval_x and checks what every evaluation leaves: the
/// point back in the full space, counted, EVAL_OK, and f and h those of the
/// expected outputs (f the value of the OBJ outputs).
void expectEvaluation(const TeskoraModelEvaluator& evaluator, const BBOutputTypeList& bbot,
                      double a, double b, const std::vector<double>& expected,
                      double tolerance = 1e-9)
{
    EvalPoint x = fullPoint(a, b);
    bool countEval = false;
    EXPECT_TRUE(evaluator.eval_x(x, Double(), countEval));
    EXPECT_TRUE(countEval);
    ASSERT_EQ(3u, x.size());
    EXPECT_EQ(a, x[0].todouble());
    EXPECT_EQ(5, x[1].todouble());
    EXPECT_EQ(b, x[2].todouble());
    EXPECT_EQ(EvalStatusType::EVAL_OK, x.getEvalStatus(EvalType::SGTE));
    EXPECT_EQ(nullptr, x.getEval(EvalType::BB));

    // The raw output holds the display's digits; f and h are exact.
    const std::vector<double> bbo = valuesOf(x.getBBO(EvalType::SGTE));
    ASSERT_EQ(expected.size(), bbo.size());
    double obj = 0;
    for (size_t j = 0; j < bbo.size(); ++j)
    {
        EXPECT_NEAR(expected[j], bbo[j], 1e-5 * std::fabs(expected[j]) + tolerance)
            << "output " << j;
        if (BBOT::OBJ == bbot[j])
        {
            obj = expected[j];
        }
    }
    EXPECT_NEAR(obj, x.getF(EvalType::SGTE).todouble(), tolerance);
    Double h;
    TeskoraModelEvaluator::evalH(makeArray(expected), bbot, h);
    EXPECT_NEAR(h.todouble(), x.getH(EvalType::SGTE).todouble(), tolerance);
}

/// What the queue shows of one evaluation of (0.3, 5, 0.7), tagged 7.
std::vector<std::string> shownMessages(const TeskoraModelEvaluator& evaluator, int displayDegree,
                                       double a = 0.3, double b = 0.7)
{
    const auto& queue = OutputQueue::getInstance();
    queue->setDisplayDegree(displayDegree);
    EvalPoint x = fullPoint(a, b);
    x.setTag(7);
    bool countEval = false;
    StreamCapture out(std::cout);
    evaluator.eval_x(x, Double(), countEval);
    queue->flush();
    std::vector<std::string> lines = linesOf(out.text());
    // The queue's own count of the records it shows at full debug.
    if (!lines.empty() && lines[0].rfind("Output all ", 0) == 0)
    {
        lines.erase(lines.begin());
    }
    return lines;
}

std::string shown(double v)
{
    return Double(v).display(6, 0);
}

} // namespace

TEST(TeskoraModelEvaluator, IsASurrogateEvaluatorOfAModel)
{
    TrainedModel s("OBJ PB", {"TESKORA_MODEL_FORMULATION EFI"}, {});
    const TeskoraModelEvaluator evaluator = s.evaluator();
    // The queue picks the success rule and the evaluation slot by this type,
    // and its block evaluation goes point by point.
    EXPECT_EQ(EvalType::SGTE, evaluator.getEvalType());
    EXPECT_EQ(EvalXDefined::UNDEFINED, evaluator.getEvalXDefined());

    const auto params = makeEvalParameters(s.bbot);
    EXPECT_EQ(
        "Evaluator: a model is required (nullptr)",
        messageOf(
            [&]
            { TeskoraModelEvaluator(params, nullptr, "", 0.5, Feas::C, 0.0, fixedVariable()); }));
    // Without a method, the number of model outputs would be the largest
    // size_t.
    EXPECT_EQ("TeskoraModelEvaluator: TESKORA_MODEL_FEASIBILITY not valid",
              messageOf(
                  [&] {
                      TeskoraModelEvaluator(params, s.model.get(), "", 0.5, Feas::UNDEFINED, 0.0,
                                            fixedVariable());
                  }));
}

TEST(TeskoraModelEvaluator, FormulationsFromThePredictions)
{
    ProcessStateGuard guard;
    using P = TrainedModel::Prediction;
    struct Case
    {
        const char* label;
        const char* bbOutputType;
        const char* formulation;
        Feas feasibility;
        std::vector<Fn> columns;
        double div;
        bool statistics;
        std::function<std::vector<double>(const P&)> expected;
    };
    const std::vector<Fn> C3 = {bowl, diagonal, upper};
    // Objective outputs first, then PB, CNT_EVAL, EB.
    const char* const types = "OBJ PB CNT_EVAL EB";
    const auto pf = [](const P& p) { return p.cdf(1) * p.cdf(2); };
    const auto mu = [pf](const P& p) { return 4 * pf(p) * (1 - pf(p)); };
    const auto efi = [pf](const P& p) { return p.ei(0) * pf(p); };
    const std::vector<Case> cases = {
        {"FS with diversification", types, "FS", Feas::C, C3, 0.5, true,
         [](const P& p)
         {
             return std::vector<double>{p.m(0) - 0.5 * p.s(0), p.m(1) - 0.5 * p.s(1), -1,
                                        p.m(2) - 0.5 * p.s(2)};
         }},
        {"FS without diversification", types, "FS", Feas::C, C3, 0, false,
         [](const P& p) {
             return std::vector<double>{p.m(0), p.m(1), -1, p.m(2)};
         }},
        {"FSP", types, "FSP", Feas::C, C3, 0.5, true,
         [pf](const P& p)
         {
             const double v = 0.5 - pf(p);
             return std::vector<double>{p.m(0) - 0.5 * p.s(0), v, v, v};
         }},
        {"EIS", types, "EIS", Feas::C, C3, 0.5, true,
         [](const P& p)
         {
             return std::vector<double>{-p.ei(0) - 0.5 * p.s(0), p.m(1) - 0.5 * p.s(1), -1,
                                        p.m(2) - 0.5 * p.s(2)};
         }},
        {"EFI", types, "EFI", Feas::C, C3, 0.5, true,
         [efi](const P& p) {
             return std::vector<double>{-efi(p), -1, -1, -1};
         }},
        {"EFIS", types, "EFIS", Feas::C, C3, 0.5, true,
         [efi](const P& p) {
             return std::vector<double>{-efi(p) - 0.5 * p.s(0), -1, -1, -1};
         }},
        {"EFIM", types, "EFIM", Feas::C, C3, 0.5, true,
         [efi, mu](const P& p) {
             return std::vector<double>{-efi(p) - 0.5 * p.s(0) * mu(p), -1, -1, -1};
         }},
        {"EFIC", types, "EFIC", Feas::C, C3, 0.5, true,
         [efi, mu, pf](const P& p) {
             return std::vector<double>{-efi(p) - 0.5 * (p.ei(0) * mu(p) + pf(p) * p.s(0)), -1, -1,
                                        -1};
         }},
        {"PFI", types, "PFI", Feas::C, C3, 0.5, true,
         [pf](const P& p) {
             return std::vector<double>{-p.cdf(0) * pf(p), -1, -1, -1};
         }},
        {"FSP on the aggregate column of H",
         "OBJ PB PB",
         "FSP",
         Feas::H,
         {bowl, diagonal},
         0.5,
         true,
         [](const P& p)
         {
             const double v = 0.5 - p.cdf(1);
             return std::vector<double>{p.m(0) - 0.5 * p.s(0), v, v};
         }},
        // Without constraints pf is 1 and mu 0.
        {"EFIM without constraints",
         "OBJ",
         "EFIM",
         Feas::C,
         {bowl},
         0.5,
         true,
         [](const P& p) { return std::vector<double>{-p.ei(0)}; }},
        {"PFI without constraints",
         "OBJ",
         "PFI",
         Feas::C,
         {bowl},
         0.5,
         true,
         [](const P& p) { return std::vector<double>{-p.cdf(0)}; }},
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        const std::string feasibility = Feas::H == c.feasibility ? "H" : "C";
        TrainedModel s(c.bbOutputType,
                       {std::string("TESKORA_MODEL_FORMULATION ") + c.formulation,
                        "TESKORA_MODEL_FEASIBILITY " + feasibility},
                       c.columns);
        const TeskoraModelEvaluator evaluator = s.evaluator("", c.div, c.feasibility);

        EvalPoint x = fullPoint(0.3, 0.7);
        bool countEval = false;
        evaluator.eval_x(x, Double(), countEval);
        // The statistics are asked for only where the formulation reads them.
        EXPECT_EQ(c.statistics ? 1 : 0, s.surrogate->statRequests);
        EXPECT_LE(1, s.surrogate->meanRequests);

        const P p = s.predict(0.3, 0.7);
        // The case must tell the formulations apart.
        if (c.statistics)
        {
            ASSERT_GT(p.s(0), 0.05);
            ASSERT_GT(p.ei(0), 0.05);
            ASSERT_GT(p.cdf(0), 0.05);
            ASSERT_LT(p.cdf(0), 0.99);
        }
        expectEvaluation(evaluator, s.bbot, 0.3, 0.7, c.expected(p));
    }
}

TEST(TeskoraModelEvaluator, BeforeAnyFeasiblePoint)
{
    ProcessStateGuard guard;
    // Both constraints are violated at (0, 0) with L2 = 1 + 1, satisfied at
    // (2, 2); at training points the predictions are certain, so the
    // probability of feasibility is 0 at (0, 0) and 1 at (2, 2). Without a
    // feasible point sigma, PI and EI are 1.
    struct Case
    {
        const char* label;
        const char* formulation;
        bool foundFeasible;
        double a, b;
        std::vector<double> expected;
    };
    const double third = 1.0 / 3.0;
    const std::vector<Case> cases = {
        {"EFI falls back on 1 / (1 + L2)", "EFI", false, 0, 0, {-third, -1, -1}},
        {"PFI falls back too", "PFI", false, 0, 0, {-third, -1, -1}},
        // f = bowl(0, 0) = 1.58, less the diversification times sigma 1.
        {"FSP with the fallback", "FSP", false, 0, 0, {1.58 - 0.5, 0.5 - third, 0.5 - third}},
        {"EFIS with pf 1", "EFIS", false, 2, 2, {-1 - 0.5, -1, -1}},
        {"a feasible point known: no fallback", "EFI", true, 0, 0, {0, -1, -1}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        TrainedModel s("OBJ PB PB", {std::string("TESKORA_MODEL_FORMULATION ") + c.formulation},
                       {bowl, leftOfOne, belowOne}, true, c.foundFeasible);
        expectEvaluation(s.evaluator(), s.bbot, c.a, c.b, c.expected);
    }
}

TEST(TeskoraModelEvaluator, DistanceFormulationComparesScaledPoints)
{
    ProcessStateGuard guard;
    {
        // EFI is configured, but until the model is ready the problem is D.
        TrainedModel s("OBJ PB CNT_EVAL EB", {"TESKORA_MODEL_FORMULATION EFI"},
                       {bowl, diagonal, upper}, false);
        const TeskoraModelEvaluator evaluator = s.evaluator();

        // A training point is at distance 0 from the training set, whatever
        // the scaling; (1, 0) unscaled is not at 0 from the scaled inputs.
        expectEvaluation(evaluator, s.bbot, 1, 0, {0, -1, -1, -1});
        // Elsewhere the distance is measured in the surrogate's scaled space.
        const double d =
            s.surrogate->get_distance_to_closest(TrainedModel::point(0.3, 0.7)).get(0, 0);
        ASSERT_GT(d, 0.1);
        expectEvaluation(evaluator, s.bbot, 0.3, 0.7, {-d, -1, -1, -1});
        // No prediction is made for it.
        EXPECT_EQ(0, s.surrogate->statRequests);
        EXPECT_EQ(0, s.surrogate->meanRequests);
    }

    // An empty training set has no scaling: every point is as far as can be.
    TrainedModel empty("OBJ PB", {"TESKORA_MODEL_FORMULATION FS"}, {}, false);
    expectEvaluation(empty.evaluator(), empty.bbot, 0.3, 0.7, {-1.3407807929942596e154, -1}, 0);
}

TEST(TeskoraModelEvaluator, ExclusionAreaPenalty)
{
    ProcessStateGuard guard;
    TrainedModel s("OBJ PB", {"TESKORA_MODEL_FORMULATION FS"}, {bowl, diagonal});
    // Much closer to the training point (1, 0) than to the next one.
    const double a = 1.01, b = 0.0;
    const TESKORA::Matrix X = TrainedModel::point(a, b);
    const double penalty = s.surrogate->get_exclusion_area_penalty(X, 0.2).get(0, 0);
    ASSERT_GT(penalty, 1e8);
    const TrainedModel::Prediction p = s.predict(a, b);

    expectEvaluation(s.evaluator("", 0.0, Feas::C, 0.0), s.bbot, a, b, {p.m(0), p.m(1)});
    expectEvaluation(s.evaluator("", 0.0, Feas::C, 0.2), s.bbot, a, b, {p.m(0) + penalty, p.m(1)},
                     1e-6);
    // Midway between training points there is none.
    const TrainedModel::Prediction q = s.predict(0.5, 0.5);
    expectEvaluation(s.evaluator("", 0.0, Feas::C, 0.2), s.bbot, 0.5, 0.5, {q.m(0), q.m(1)});
}

TEST(TeskoraModelEvaluator, RebuildsTheSurrogateWhenItsTrainingSetGrew)
{
    ProcessStateGuard guard;
    TrainedModel s("OBJ", {"TESKORA_MODEL_FORMULATION FS"},
                   {[](double a, double b) { return a + b; }});
    const double before = s.predict(3, 3).m(0);
    // Points of a + b + a b change the fit; the surrogate was built before.
    TESKORA::Matrix X("X", 3, 2);
    TESKORA::Matrix Z("Z", 3, 1);
    const double added[3][2] = {{3, 3}, {3, -1}, {-1, 3}};
    for (int i = 0; i < 3; ++i)
    {
        X.set(i, 0, added[i][0]);
        X.set(i, 1, added[i][1]);
        Z.set(i, 0, added[i][0] + added[i][1] + added[i][0] * added[i][1]);
    }
    s.model->getTrainingSet()->add_points(X, Z);

    EvalPoint x = fullPoint(3, 3);
    bool countEval = false;
    s.evaluator("", 0.0).eval_x(x, Double(), countEval);
    const double f = x.getF(EvalType::SGTE).todouble();
    EXPECT_GT(std::fabs(f - before), 1.0);
    // The surrogate answers for all points now, as the evaluator did.
    EXPECT_NEAR(s.predict(3, 3).m(0), f, 1e-12);
}

TEST(TeskoraModelEvaluator, FailuresOfAnEvaluation)
{
    ProcessStateGuard guard;
    {
        SCOPED_TRACE("EXTERN is never optimised here");
        TrainedModel s("OBJ PB", {"TESKORA_MODEL_FORMULATION EFI"}, {bowl, diagonal});
        s.model->forceFormulation(TeskoraModelFormulationType::EXTERN);
        const TeskoraModelEvaluator evaluator = s.evaluator();
        EvalPoint x = fullPoint(0.3, 0.7);
        bool countEval = false;
        try
        {
            evaluator.eval_x(x, Double(), countEval);
            ADD_FAILURE() << "no exception";
        }
        catch (const TESKORA::Exception& e)
        {
            EXPECT_NE(std::string::npos, std::string(e.what()).find("Forbiden formulation"))
                << e.what();
        }
        // The point stays in the sub-space with its provisional output.
        EXPECT_EQ(2u, x.size());
        EXPECT_EQ("-1 -1", x.getBBO(EvalType::SGTE));
        EXPECT_FALSE(countEval);
    }
    {
        SCOPED_TRACE("surrogate that cannot be built");
        TrainedModel s("OBJ PB", {"TESKORA_MODEL_FORMULATION FS"}, {});
        TESKORA::Matrix X("X", 1, 2);
        TESKORA::Matrix Z("Z", 1, 2);
        s.model->getTrainingSet()->add_points(X, Z);
        const TeskoraModelEvaluator evaluator = s.evaluator();
        EvalPoint x = fullPoint(0.3, 0.7);
        bool countEval = false;
        std::ostringstream diagnostics;
        TESKORA::DiagStreamRedirect redirect(diagnostics);
        try
        {
            evaluator.eval_x(x, Double(), countEval);
            ADD_FAILURE() << "no exception";
        }
        catch (const TESKORA::Exception& e)
        {
            EXPECT_NE(std::string::npos, std::string(e.what()).find("check_ready(): Not ready!"))
                << e.what();
        }
        // The evaluator asks the surrogate itself, naming its own function.
        EXPECT_NE(std::string::npos,
                  diagnostics.str().find("Surrogate: NOT READY! (src/Algos/TeskoraModel/"
                                         "TeskoraModelEvaluator::eval_x::"))
            << diagnostics.str();
    }
    {
        // The model columns would be read out of their range.
        TrainedModel s("OBJ PB", {"TESKORA_MODEL_FORMULATION FS"}, {bowl, diagonal});
        const TeskoraModelEvaluator wide(makeEvalParameters({BBOT::OBJ, BBOT::PB, BBOT::EB}),
                                         s.model.get(), "", 0.0, Feas::C, 0.0, fixedVariable());
        const TeskoraModelEvaluator aggregate(makeEvalParameters({BBOT::OBJ, BBOT::PB, BBOT::EB}),
                                              s.model.get(), "", 0.0, Feas::H, 0.0,
                                              fixedVariable());
        EvalPoint x = fullPoint(0.3, 0.7);
        bool countEval = false;
        EXPECT_EQ("TeskoraModelEvaluator: the model gives 2 outputs; BB_OUTPUT_TYPE needs 3",
                  messageOf([&] { wide.eval_x(x, Double(), countEval); }));
        x = fullPoint(0.3, 0.7);
        EXPECT_EQ("TeskoraModelEvaluator: Formulations FS and EIS can only be used with "
                  "FeasibilityMethod C",
                  messageOf([&] { aggregate.eval_x(x, Double(), countEval); }));
    }
}

TEST(TeskoraModelEvaluator, ConstraintViolation)
{
    ProcessStateGuard guard;
    const double eps = Double::getEpsilon();
    struct Case
    {
        const char* label;
        std::vector<double> bbo;
        BBOutputTypeList bbot;
        double h;
    };
    const std::vector<Case> cases = {
        {"EB within epsilon, PB 3", {1e-14, 3}, {BBOT::EB, BBOT::PB}, 3},
        {"EB violated", {3, 0.1, 4}, {BBOT::PB, BBOT::EB, BBOT::PB}, INF},
        {"PB norm", {7, 3, 4}, {BBOT::OBJ, BBOT::PB, BBOT::PB}, 5},
        {"satisfied or within epsilon", {-2, 0, eps}, {BBOT::PB, BBOT::PB, BBOT::PB}, 0},
        {"undefined skipped", {UNDEF, 3, UNDEF}, {BBOT::EB, BBOT::PB, BBOT::PB}, 3},
        {"objective and counter ignored", {9, 9, 2}, {BBOT::OBJ, BBOT::CNT_EVAL, BBOT::PB}, 2},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        Double h = -1.0;
        TeskoraModelEvaluator::evalH(makeArray(c.bbo), c.bbot, h);
        ASSERT_TRUE(h.isDefined());
        EXPECT_EQ(c.h, h.todouble());
    }

    CerrCapture err;
    Double h = -1.0;
    EXPECT_EQ("TeskoraModelEvaluator::evalH() called with an invalid bbo argument",
              messageOf(
                  [&] {
                      TeskoraModelEvaluator::evalH(makeArray({1, 2}), {BBOT::OBJ}, h);
                  }));
    EXPECT_EQ("TeskoraModelEvaluator::evalH() called with an invalid bbo argument\n", err.text());
    EXPECT_EQ(0.0, h.todouble());
}

TEST(TeskoraModelEvaluator, MessagesAtInfoLevelOnlyWithTheLetterX)
{
    ProcessStateGuard guard;
    // Before the model is ready, with an empty training set: D, where every
    // number is known.
    TrainedModel s("OBJ PB PB", {"TESKORA_MODEL_FORMULATION FS"}, {}, false, false);
    const std::vector<std::string> all = {
        "X = #7 ( 0.3 0.7 )",
        "Formulation: D; compute stat: false; found feasible: false",
        "d = " + shown(1.3407807929942596e154),
        "F = " + shown(0),
        "C = [ 0.000000 0.000000  ]",
        "Exclusion area penalty = " + shown(0),
        "Model Output = (" + ArrayOfDouble(makeArray({-1.3407807929942596e154, -1, -1})).display() +
            ")",
    };
    struct Case
    {
        const char* modelDisplay;
        int displayDegree; // 2: up to level 6, 3: 7, 4: 9, 5: 10
        bool shown;
    };
    for (const Case& c : std::vector<Case>{{"X", 3, true},
                                           {"OXU", 3, true},
                                           {"X", 2, false},
                                           {"", 3, false},
                                           {"OUF", 4, false},
                                           {"", 5, true}})
    {
        SCOPED_TRACE(std::string("MODEL_DISPLAY \"") + c.modelDisplay + "\", display degree " +
                     std::to_string(c.displayDegree));
        EXPECT_EQ(c.shown ? all : std::vector<std::string>(),
                  shownMessages(s.evaluator(c.modelDisplay), c.displayDegree));
    }
}

TEST(TeskoraModelEvaluator, MessagesOfTheStatistics)
{
    ProcessStateGuard guard;
    {
        // Both constraints violated at the training point (0, 0), no feasible
        // point yet: the fallback of pf.
        TrainedModel s("OBJ PB PB", {"TESKORA_MODEL_FORMULATION EFI"}, {bowl, leftOfOne, belowOne},
                       true, false);
        const std::vector<std::string> lines = shownMessages(s.evaluator("X"), 3, 0, 0);
        ASSERT_EQ(16u, lines.size()) << ::testing::PrintToString(lines);
        EXPECT_EQ("X = #7 ( 0 0 )", lines[0]);
        EXPECT_EQ("Formulation: EFI; compute stat: true; found feasible: false", lines[1]);
        EXPECT_EQ("Predict... ", lines[2]);
        EXPECT_EQ("ok", lines[3]);
        EXPECT_EQ("F = " + shown(s.predict(0, 0).m(0)) + " +/- " + shown(1), lines[4]);
        EXPECT_TRUE(std::regex_match(
            lines[5], std::regex(R"(C1 = 1\.000000 \+/- \d+\.\d{6} \(CDF : 0\.000000\))"
                                 R"(C2 = 1\.000000 \+/- \d+\.\d{6} \(CDF : 0\.000000\))")))
            << lines[5];
        // L2 = 1 + 1 up to the fit's rounding.
        EXPECT_TRUE(
            std::regex_match(lines[6], std::regex(R"(pf = 0 and L2 = +2\.? +=> pF = +0\.333333)")))
            << lines[6];
        // The best feasible objective of the training set: bowl(1, 1).
        EXPECT_EQ("f_min                    f_min = 1.580000", lines[7]);
        EXPECT_EQ("Probability of Feasibility PF  = " + shown(1.0 / 3.0), lines[8]);
        EXPECT_EQ("Feasibility Uncertainty    mu  = " + shown(4.0 / 3.0 * 2.0 / 3.0), lines[9]);
        EXPECT_EQ("Probability Improvement    PI  = " + shown(1), lines[10]);
        EXPECT_EQ("Exptected Improvement      EI  = " + shown(1), lines[11]);
        EXPECT_EQ("Proba. of Feasible Imp.    PFI = " + shown(1.0 / 3.0), lines[12]);
        EXPECT_EQ("Expected Feasible Imp.     EFI = " + shown(1.0 / 3.0), lines[13]);
        EXPECT_EQ("Exclusion area penalty = " + shown(0), lines[14]);
        EXPECT_EQ(0u, lines[15].rfind("Model Output = (", 0)) << lines[15];
    }

    // The methods with one aggregate column name it.
    struct Case
    {
        Feas feasibility;
        const char* word;
        const char* line;
    };
    for (const Case& c :
         std::vector<Case>{{Feas::H, "H",
                            "Feasibility_Method : H (Aggregate prediction)H = 0.000000 +/- "
                            "0.000000 (CDF : 0.000000)"},
                           {Feas::B, "B",
                            "Feasibility_Method : B (binary prediction)B = 0.000000 +/- 0.000000 "
                            "(CDF : 0.000000)"},
                           {Feas::M, "M",
                            "Feasibility_Method : M (Biggest constraint prediction)M = 0.000000 "
                            "+/- 0.000000 (CDF : 0.000000)"}})
    {
        SCOPED_TRACE(c.word);
        TrainedModel d(
            "OBJ PB PB",
            {"TESKORA_MODEL_FORMULATION EFI", std::string("TESKORA_MODEL_FEASIBILITY ") + c.word},
            {}, false);
        const std::vector<std::string> dLines =
            shownMessages(d.evaluator("X", 0.5, c.feasibility), 3);
        ASSERT_LE(5u, dLines.size());
        EXPECT_EQ(c.line, dLines[4]);
    }
}

TEST(TeskoraModelEvaluator, BlocksGoPointByPoint)
{
    ProcessStateGuard guard;
    TrainedModel s("OBJ PB", {"TESKORA_MODEL_FORMULATION FS"}, {bowl, diagonal});
    const TeskoraModelEvaluator evaluator = s.evaluator("", 0.0);
    std::vector<std::shared_ptr<EvalPoint>> block;
    for (const auto& [a, b] : std::vector<std::pair<double, double>>{{0, 0}, {1, 2}})
    {
        block.push_back(std::make_shared<EvalPoint>(fullPoint(a, b)));
        block.back()->setEvalStatus(EvalStatusType::EVAL_IN_PROGRESS, EvalType::SGTE);
    }
    std::vector<bool> countEval;
    EXPECT_EQ(std::vector<bool>(2, true), evaluator.eval_block(block, Double(), countEval));
    EXPECT_EQ(std::vector<bool>(2, true), countEval);
    EXPECT_NEAR(bowl(0, 0), block[0]->getF(EvalType::SGTE).todouble(), 1e-9);
    EXPECT_NEAR(bowl(1, 2), block[1]->getF(EvalType::SGTE).todouble(), 1e-9);
    EXPECT_EQ(3u, block[1]->size());
}
