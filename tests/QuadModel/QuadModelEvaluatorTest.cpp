// The quadratic-model evaluator: predictions of a trained model written into
// the points as surrogate evaluations, the placement of the model outputs
// under BB_OUTPUT_TYPE, the constraint violation, the fixed variables, the
// messages and the failures.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Algos/QuadModel/QuadModelEvaluator.hpp"
#include "Eval/EvalPoint.hpp"
#include "Math/ArrayOfDouble.hpp"
#include "Math/Double.hpp"
#include "Math/Point.hpp"
#include "Output/OutputQueue.hpp"
#include "Type/BBOutputType.hpp"
#include "Type/EvalStatusType.hpp"
#include "Type/EvalType.hpp"
#include "support/EvcSupport.hpp"
#include "support/TestSupport.hpp"
#include "teskora/Diagnostics.hpp"
#include "teskora/Exception.hpp"
#include "teskora/Matrix.hpp"
#include "teskora/Surrogate.hpp"
#include "teskora/SurrogateFactory.hpp"
#include "teskora/SurrogatePRS.hpp"
#include "teskora/SurrogateParameters.hpp"
#include "teskora/TrainingSet.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::CerrCapture;
using QarnoTest::linesOf;
using QarnoTest::makeArray;
using QarnoTest::makeEvalParameters;
using QarnoTest::messageOf;
using QarnoTest::ProcessStateGuard;
using QarnoTest::StreamCapture;
using QarnoTest::UNDEF;

namespace
{

using Block = std::vector<std::shared_ptr<EvalPoint>>;
using Fn = std::function<double(double, double)>;

using BBOT = BBOutputType;

// The sub-problem has the variables (a, b) = (x0, x2) of the problem (x0,
// x1, x2), whose x1 is fixed at 5.
const Fn objective = [](double a, double b) { return 1 + a * a + 2 * b; };
const Fn pbConstraint = [](double a, double b) { return 3 + b * b + 0 * a; };
// Just above 0, below the comparison tolerance, where a = 0.
const Fn ebConstraint = [](double a, double b) { return 0.1 * a + 1e-14 + 0 * b; };

Point fixedVariable()
{
    return Point(makeArray({UNDEF, 5, UNDEF}));
}

/// The model of the iteration: it refers to its training set, so it is
/// released first (members are destroyed in reverse order).
struct TrainedModel
{
    std::shared_ptr<TESKORA::TrainingSet> trainingSet;
    std::shared_ptr<TESKORA::Surrogate> model;
};

TESKORA::Matrix trainingInputs()
{
    const std::vector<double> grid = {-1, 0, 1, 2};
    TESKORA::Matrix X("X", static_cast<int>(grid.size() * grid.size()), 2);
    int row = 0;
    for (double a : grid)
    {
        for (double b : grid)
        {
            X.set(row, 0, a);
            X.set(row, 1, b);
            ++row;
        }
    }
    return X;
}

TESKORA::Matrix trainingOutputs(const TESKORA::Matrix& X, const std::vector<Fn>& outputs)
{
    TESKORA::Matrix Z("Z", X.get_nb_rows(), static_cast<int>(outputs.size()));
    for (int i = 0; i < X.get_nb_rows(); ++i)
    {
        for (size_t k = 0; k < outputs.size(); ++k)
        {
            Z.set(i, static_cast<int>(k), outputs[k](X.get(i, 0), X.get(i, 1)));
        }
    }
    return Z;
}

/// A full quadratic without ridge fits quadratic outputs exactly.
TrainedModel trainModel(const std::vector<Fn>& outputs, bool build = true)
{
    const TESKORA::Matrix X = trainingInputs();
    TrainedModel trained;
    trained.trainingSet = std::make_shared<TESKORA::TrainingSet>(X, trainingOutputs(X, outputs));
    trained.model.reset(TESKORA::Surrogate_Factory(*trained.trainingSet, "TYPE PRS RIDGE 0"));
    if (build)
    {
        EXPECT_TRUE(trained.model->build());
    }
    return trained;
}

/// Counts the predictions that reach the model and the rows of each.
class CountingPRS : public TESKORA::Surrogate_PRS
{
public:
    explicit CountingPRS(TESKORA::TrainingSet& ts)
        : TESKORA::Surrogate_PRS(ts, TESKORA::Surrogate_Parameters("TYPE PRS RIDGE 0"))
    {
    }
    using TESKORA::Surrogate_PRS::predict_private;
    void predict_private(const TESKORA::Matrix& XXs, TESKORA::Matrix* ZZs) override
    {
        rows.push_back(XXs.get_nb_rows());
        TESKORA::Surrogate_PRS::predict_private(XXs, ZZs);
    }
    std::vector<int> rows;
};

/// Full-space points (a, 5, b), status of the surrogate evaluation in
/// progress, as the queue hands them.
Block makeBlock(const std::vector<std::pair<double, double>>& subPoints)
{
    Block block;
    for (const auto& [a, b] : subPoints)
    {
        auto point = std::make_shared<EvalPoint>(Point(makeArray({a, 5, b})));
        point->setEvalStatus(EvalStatusType::EVAL_IN_PROGRESS, EvalType::SGTE);
        block.push_back(point);
    }
    return block;
}

std::vector<std::vector<double>> coordinatesOf(const Block& block)
{
    std::vector<std::vector<double>> coords;
    for (const auto& point : block)
    {
        std::vector<double> c;
        for (size_t i = 0; i < point->size(); ++i)
        {
            c.push_back((*point)[i].todouble());
        }
        coords.push_back(c);
    }
    return coords;
}

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

/// The messages of one eval_block on a 2-point block as they are shown.
std::vector<std::string> shownMessages(const std::string& modelDisplay, int displayDegree)
{
    const TrainedModel trained = trainModel({objective, pbConstraint, ebConstraint});
    QuadModelEvaluator evaluator(makeEvalParameters({BBOT::OBJ, BBOT::PB, BBOT::EB}), trained.model,
                                 modelDisplay, fixedVariable());
    Block block = makeBlock({{0, 0}, {1, 0}});
    block[0]->setTag(7);
    block[1]->setTag(8);
    std::vector<bool> countEval;

    const auto& queue = OutputQueue::getInstance();
    queue->setDisplayDegree(displayDegree);
    StreamCapture out(std::cout);
    evaluator.eval_block(block, Double(), countEval);
    queue->flush();
    std::vector<std::string> lines = linesOf(out.text());
    // The queue's own count of the records it shows at full debug.
    if (!lines.empty() && lines[0].rfind("Output all ", 0) == 0)
    {
        lines.erase(lines.begin());
    }
    return lines;
}

} // namespace

TEST(QuadModelEvaluator, IsASurrogateEvaluatorAndNeedsAModel)
{
    ProcessStateGuard guard;
    const auto params = makeEvalParameters({BBOT::OBJ});
    EXPECT_EQ("Evaluator: a model is required (nullptr)",
              messageOf([&] { QuadModelEvaluator(params, nullptr, "X", fixedVariable()); }));

    const TrainedModel trained = trainModel({objective});
    const QuadModelEvaluator evaluator(params, trained.model, "", fixedVariable());
    // The queue picks the success rule and the evaluation slot by this type.
    EXPECT_EQ(EvalType::SGTE, evaluator.getEvalType());
    EXPECT_EQ(EvalXDefined::UNDEFINED, evaluator.getEvalXDefined());
}

TEST(QuadModelEvaluator, PredictionsFollowTheOutputTypes)
{
    ProcessStateGuard guard;
    const double third = 1.0 / 3.0;
    const double f3 = objective(third, third);
    const double pb3 = pbConstraint(third, third);
    struct Expected
    {
        std::vector<double> bbo; // the raw output
        double f;
        double h;
    };
    struct Case
    {
        const char* label;
        BBOutputTypeList bbot;
        std::vector<Fn> modelOutputs;   // objective, then constraints in bbot order
        std::vector<Expected> expected; // at (0, 0), (1, 0), (1/3, 1/3)
    };
    const std::vector<Case> cases = {
        {"OBJ alone", {BBOT::OBJ}, {objective}, {{{1}, 1, 0}, {{2}, 2, 0}, {{f3}, f3, 0}}},
        {"EB not violated below epsilon, violated at 0.1",
         {BBOT::OBJ, BBOT::PB, BBOT::EB},
         {objective, pbConstraint, ebConstraint},
         {{{1, 3, 1e-14}, 1, 3}, {{2, 3, 0.1}, 2, INF}, {{f3, pb3, 0.1 * third}, f3, INF}}},
        {"constraint before objective",
         {BBOT::PB, BBOT::OBJ},
         {objective, pbConstraint},
         {{{3, 1}, 1, 3}, {{3, 2}, 2, 3}, {{pb3, f3}, f3, pb3}}},
        {"other output types get -1",
         {BBOT::CNT_EVAL, BBOT::EB, BBOT::OBJ, BBOT::BBO_UNDEFINED, BBOT::PB},
         {objective, [](double a, double b) { return a + b - 2; }, pbConstraint},
         {{{-1, -2, 1, -1, 3}, 1, 3},
          {{-1, -1, 2, -1, 3}, 2, 3},
          {{-1, 2 * third - 2, f3, -1, pb3}, f3, pb3}}},
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        const TrainedModel trained = trainModel(c.modelOutputs);
        const QuadModelEvaluator evaluator(makeEvalParameters(c.bbot), trained.model, "",
                                           fixedVariable());
        const Block original = makeBlock({{0, 0}, {1, 0}, {third, third}});
        original[2]->setTag(12);

        // Every call is independent: the second one gives the same answers.
        for (int call = 0; call < 2; ++call)
        {
            SCOPED_TRACE("call " + std::to_string(call));
            Block block = original;
            std::vector<bool> countEval = {false};
            const std::vector<bool> evalOk = evaluator.eval_block(block, Double(), countEval);

            EXPECT_EQ(std::vector<bool>(3, true), evalOk);
            EXPECT_EQ(std::vector<bool>(3, true), countEval);
            ASSERT_EQ(3u, block.size());
            EXPECT_EQ(coordinatesOf(original), coordinatesOf(block));
            EXPECT_EQ(12u, block[2]->getTag());
            for (size_t i = 0; i < block.size(); ++i)
            {
                SCOPED_TRACE("point " + std::to_string(i));
                EXPECT_NE(original[i], block[i]);
                EXPECT_EQ(EvalStatusType::EVAL_IN_PROGRESS,
                          original[i]->getEvalStatus(EvalType::SGTE));
                EXPECT_EQ("", original[i]->getBBO(EvalType::SGTE));
                EXPECT_EQ(EvalStatusType::EVAL_OK, block[i]->getEvalStatus(EvalType::SGTE));
                EXPECT_EQ(nullptr, block[i]->getEval(EvalType::BB));
                // The raw output holds the display's 6 digits; f and h are
                // the predictions themselves.
                const std::vector<double> bbo = valuesOf(block[i]->getBBO(EvalType::SGTE));
                ASSERT_EQ(c.expected[i].bbo.size(), bbo.size());
                for (size_t j = 0; j < bbo.size(); ++j)
                {
                    EXPECT_NEAR(c.expected[i].bbo[j], bbo[j], 1e-5 * std::fabs(bbo[j]) + 1e-15)
                        << "output " << j;
                }
                EXPECT_NEAR(c.expected[i].f, block[i]->getF(EvalType::SGTE).todouble(), 1e-12);
                if (c.expected[i].h == INF)
                {
                    EXPECT_EQ(INF, block[i]->getH(EvalType::SGTE).todouble());
                }
                else
                {
                    EXPECT_NEAR(c.expected[i].h, block[i]->getH(EvalType::SGTE).todouble(), 1e-12);
                }
            }
        }
    }
}

TEST(QuadModelEvaluator, WithoutFixedVariablesThePointsKeepTheirSpace)
{
    ProcessStateGuard guard;
    const TrainedModel trained = trainModel({objective});
    const QuadModelEvaluator evaluator(makeEvalParameters({BBOT::OBJ}), trained.model, "",
                                       Point(2));
    Block block = {std::make_shared<EvalPoint>(Point(makeArray({1, 0.5})))};
    std::vector<bool> countEval;
    evaluator.eval_block(block, Double(), countEval);
    EXPECT_EQ((std::vector<std::vector<double>>{{1, 0.5}}), coordinatesOf(block));
    EXPECT_NEAR(3.0, block[0]->getF(EvalType::SGTE).todouble(), 1e-12);
}

TEST(QuadModelEvaluator, TheWholeBlockIsOnePrediction)
{
    ProcessStateGuard guard;
    const TESKORA::Matrix X = trainingInputs();
    TESKORA::TrainingSet ts(X, trainingOutputs(X, {objective, pbConstraint}));
    auto model = std::make_shared<CountingPRS>(ts);
    ASSERT_TRUE(model->build());
    model->rows.clear();

    const QuadModelEvaluator evaluator(makeEvalParameters({BBOT::OBJ, BBOT::PB}), model, "",
                                       fixedVariable());
    Block block = makeBlock({{0, 0}, {1, 0}, {0, 1}, {2, 2}, {-1, 1}});
    std::vector<bool> countEval;
    evaluator.eval_block(block, Double(), countEval);
    EXPECT_EQ(std::vector<int>{5}, model->rows);
    EXPECT_NEAR(objective(2, 2), block[3]->getF(EvalType::SGTE).todouble(), 1e-12);
}

TEST(QuadModelEvaluator, MessagesAtInfoLevelOnlyWithTheLetterX)
{
    ProcessStateGuard guard;
    const std::vector<std::string> all = {
        "X0 =#7 ( 0 0 )",
        "X1 =#8 ( 1 0 )",
        "Predict with quadratic formulation... ",
        "ok",
        "X0: #7 ( 0 0 )",
        "F = 1.000000 C = [ 3.000000 0.000000  ]",
        "X1: #8 ( 1 0 )",
        "F = 2.000000 C = [ 3.000000 0.100000  ]",
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
                                           {"", 4, false},
                                           {"OUF", 4, false},
                                           {"x", 4, false},
                                           {"", 5, true},
                                           {"O", 5, true}})
    {
        SCOPED_TRACE(std::string("MODEL_DISPLAY \"") + c.modelDisplay + "\", display degree " +
                     std::to_string(c.displayDegree));
        EXPECT_EQ(c.shown ? all : std::vector<std::string>(),
                  shownMessages(c.modelDisplay, c.displayDegree));
    }
}

TEST(QuadModelEvaluator, ObjectiveAloneShowsNoConstraintPart)
{
    ProcessStateGuard guard;
    const TrainedModel trained = trainModel({objective});
    const QuadModelEvaluator evaluator(makeEvalParameters({BBOT::OBJ}), trained.model, "X",
                                       fixedVariable());
    Block block = makeBlock({{1, 0.25}});
    std::vector<bool> countEval;
    OutputQueue::getInstance()->setDisplayDegree(3);
    StreamCapture out(std::cout);
    evaluator.eval_block(block, Double(), countEval);
    OutputQueue::getInstance()->flush();
    const std::vector<std::string> lines = linesOf(out.text());
    ASSERT_EQ(5u, lines.size());
    EXPECT_EQ("F = 2.500000 ", lines[4]);
}

TEST(QuadModelEvaluator, FailuresOfABlock)
{
    ProcessStateGuard guard;
    const TrainedModel trained = trainModel({objective, pbConstraint});
    const auto params = makeEvalParameters({BBOT::OBJ, BBOT::PB});
    const QuadModelEvaluator evaluator(params, trained.model, "", fixedVariable());
    std::vector<bool> countEval = {true};

    {
        SCOPED_TRACE("empty block");
        Block block;
        EXPECT_EQ("Evaluator: eval_block called with an empty block",
                  messageOf([&] { evaluator.eval_block(block, Double(), countEval); }));
        EXPECT_TRUE(countEval.empty());
    }
    {
        SCOPED_TRACE("incomplete point");
        const Block original = makeBlock({{0, 0}, {UNDEF, 1}, {1, 1}});
        original[1]->setTag(4);
        Block block = original;
        EXPECT_EQ("Evaluator: Incomplete point #4 ( - 1 )",
                  messageOf([&] { evaluator.eval_block(block, Double(), countEval); }));
        // The block holds the sub-space copies; the points before the
        // incomplete one carry the provisional output.
        ASSERT_EQ(3u, block.size());
        EXPECT_EQ(2u, block[0]->size());
        EXPECT_EQ("-1 -1", block[0]->getBBO(EvalType::SGTE));
        EXPECT_EQ("", block[2]->getBBO(EvalType::SGTE));
        EXPECT_EQ(3u, original[0]->size());
        EXPECT_EQ("", original[0]->getBBO(EvalType::SGTE));
    }
    {
        SCOPED_TRACE("missing point");
        Block block = makeBlock({{0, 0}});
        block.push_back(nullptr);
        EXPECT_EQ("Evaluator: Incomplete point (  )",
                  messageOf([&] { evaluator.eval_block(block, Double(), countEval); }));
    }
    {
        SCOPED_TRACE("fewer model outputs than the output types need");
        const QuadModelEvaluator narrow(makeEvalParameters({BBOT::OBJ, BBOT::PB, BBOT::EB}),
                                        trained.model, "", fixedVariable());
        Block block = makeBlock({{0, 0}});
        EXPECT_EQ("Evaluator: the model gives 2 outputs; BB_OUTPUT_TYPE needs 3",
                  messageOf([&] { narrow.eval_block(block, Double(), countEval); }));
    }
}

TEST(QuadModelEvaluator, ModelNotBuilt)
{
    ProcessStateGuard guard;
    const TrainedModel untrained = trainModel({objective, pbConstraint}, false);
    const QuadModelEvaluator evaluator(makeEvalParameters({BBOT::OBJ, BBOT::PB}), untrained.model,
                                       "", fixedVariable());
    Block block = makeBlock({{0, 0}, {1, 1}});
    std::vector<bool> countEval;
    std::ostringstream diagnostics;
    TESKORA::DiagStreamRedirect redirect(diagnostics);
    try
    {
        evaluator.eval_block(block, Double(), countEval);
        ADD_FAILURE() << "no exception";
    }
    catch (const TESKORA::Exception& e)
    {
        EXPECT_NE(std::string::npos, std::string(e.what()).find("check_ready(): Not ready!"))
            << e.what();
    }
    // The evaluator asks the model itself, naming its own function.
    EXPECT_NE(std::string::npos,
              diagnostics.str().find("Surrogate: NOT READY! (src/Algos/QuadModel/"
                                     "QuadModelEvaluator::eval_block::"))
        << diagnostics.str();
    for (const auto& point : block)
    {
        EXPECT_EQ("-1 -1", point->getBBO(EvalType::SGTE));
    }
}

TEST(QuadModelEvaluator, ConstraintViolation)
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
        {"no constraint", {7}, {BBOT::OBJ}, 0},
        {"PB norm", {7, 3, 4}, {BBOT::OBJ, BBOT::PB, BBOT::PB}, 5},
        {"satisfied or within epsilon",
         {-2, 0, eps, 1e-14},
         {BBOT::PB, BBOT::PB, BBOT::PB, BBOT::EB},
         0},
        {"just above epsilon", {1.5 * eps}, {BBOT::PB}, 1.5 * eps},
        {"objective and others ignored",
         {9, 9, 9, 2},
         {BBOT::OBJ, BBOT::CNT_EVAL, BBOT::BBO_UNDEFINED, BBOT::PB},
         2},
        {"undefined skipped", {UNDEF, 3, UNDEF}, {BBOT::EB, BBOT::PB, BBOT::PB}, 3},
        // INF itself, not its square root.
        {"EB violated", {3, 0.1, 4}, {BBOT::PB, BBOT::EB, BBOT::PB}, INF},
        {"EB just above epsilon", {1.5 * eps}, {BBOT::EB}, INF},
        // The squares overflow, the norm does not.
        {"huge PB values", {3e200, 4e200}, {BBOT::PB, BBOT::PB}, 5e200},
        {"infinite PB value", {INFINITY}, {BBOT::PB}, INF},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        Double h = -1.0;
        QuadModelEvaluator::evalH(makeArray(c.bbo), c.bbot, h);
        ASSERT_TRUE(h.isDefined());
        EXPECT_DOUBLE_EQ(c.h, h.todouble());
    }

    {
        SCOPED_TRACE("PB that is no number");
        ArrayOfDouble bbo = makeArray({1, 2});
        bbo[0] = std::nan("");
        Double h;
        QuadModelEvaluator::evalH(bbo, {BBOT::PB, BBOT::PB}, h);
        EXPECT_EQ(INF, h.todouble());
    }

    CerrCapture err;
    Double h = -1.0;
    EXPECT_EQ("QuadModelEvaluator::evalH() called with an invalid bbo argument",
              messageOf(
                  [&] {
                      QuadModelEvaluator::evalH(makeArray({1, 2}), {BBOT::OBJ}, h);
                  }));
    EXPECT_EQ("QuadModelEvaluator::evalH() called with an invalid bbo argument\n", err.text());
    EXPECT_EQ(0.0, h.todouble());
}
