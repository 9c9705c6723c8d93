#include "support/ModelSearchSupport.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>

#include <gtest/gtest.h>

#include "Algos/EvcInterface.hpp"
#include "Algos/QuadModel/QuadModelMegaIteration.hpp"
#include "Algos/Step.hpp"
#include "Algos/TeskoraModel/TeskoraModelMegaIteration.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/ComputeSuccessType.hpp"
#include "Eval/EvalPoint.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Eval/EvcMainThreadInfo.hpp"
#include "Math/Double.hpp"
#include "Output/OutputQueue.hpp"
#include "Type/BBOutputType.hpp"
#include "support/MadsSupport.hpp"
#include "support/TestProblems.hpp"

using namespace QARNO_4_0_0;

namespace QarnoTest
{

ModelSearchHarness::ModelSearchHarness(size_t n, const std::string& bbOutputType, Analytic f,
                                       const std::vector<std::vector<double>>& x0s,
                                       const std::vector<std::string>& lines,
                                       const EvcOptions& options)
    : guard()
{
    params = makeMadsParameters(n, bbOutputType, x0s, lines);
    params->checkAndComply();

    HarnessOptions layers;
    layers.queue = options;
    layers.outputs = stringToBBOutputTypeList(bbOutputType);
    layers.blackbox = analyticOutput(std::move(f));
    layers.displayParams = params->get_display_params();
    evc = std::make_unique<EvcHarness>(layers);
    root = std::make_unique<RecordingStep>("Main");
}

ModelSearchHarness::~ModelSearchHarness()
{
    root.reset();
    evc.reset();
}

const std::shared_ptr<RunParameters>& ModelSearchHarness::runParams() const
{
    return params->get_run_params();
}

const std::shared_ptr<PbParameters>& ModelSearchHarness::pbParams() const
{
    return params->get_pb_params();
}

std::shared_ptr<AlgoStopReasons<ModelStopType>> ModelSearchHarness::makeStopReasons() const
{
    return std::make_shared<AlgoStopReasons<ModelStopType>>();
}

void ModelSearchHarness::seedCache(const std::vector<std::vector<double>>& points)
{
    evc->queueAll(points);
    evc->evc->run();
    evc->evc->retrieveAllEvaluatedPoints(-1);
}

size_t ModelSearchHarness::bbEvalCount() const
{
    return evc->evaluator->evaluatedPoints().size();
}

std::vector<std::vector<double>> ModelSearchHarness::bbEvaluated() const
{
    return evc->evaluator->evaluatedPoints();
}

void ModelSearchHarness::giveSgteValues(const std::vector<std::vector<double>>& points)
{
    const auto types = params->getAttributeValue<BBOutputTypeList>("BB_OUTPUT_TYPE");
    std::string output = "0";
    for (size_t i = 1; i < types.size(); ++i)
    {
        output += " -1";
    }
    for (const auto& x : points)
    {
        EvalPoint cached;
        ASSERT_EQ(1u,
                  CacheBase::getInstance()->find(Point(makeArray(x)), cached, EvalType::UNDEFINED));
        cached.setBBO(output, types, EvalType::SGTE, true);
        ASSERT_TRUE(CacheBase::getInstance()->update(cached, EvalType::SGTE));
    }
}

size_t ModelSearchHarness::cachedWithSgte() const
{
    std::vector<EvalPoint> all;
    CacheBase::getInstance()->getAllPoints(all);
    size_t count = 0;
    for (const auto& p : all)
    {
        count += (nullptr != p.getEval(EvalType::SGTE));
    }
    return count;
}

size_t ModelSearchHarness::cachedSgteOnly() const
{
    std::vector<EvalPoint> all;
    CacheBase::getInstance()->getAllPoints(all);
    size_t count = 0;
    for (const auto& p : all)
    {
        count += (nullptr == p.getEval(EvalType::BB));
    }
    return count;
}

bool QueueSettings::operator==(const QueueSettings& other) const
{
    return evaluator == other.evaluator && opportunistic == other.opportunistic &&
           useCache == other.useCache && defaultSuccessRule == other.defaultSuccessRule &&
           sgteCount == other.sgteCount;
}

QueueSettings queueSettings()
{
    const auto& evc = EvcInterface::getEvaluatorControl();
    QueueSettings settings;
    const auto& info = evc->getMainThreadInfo(-1);
    settings.evaluator = info.getEvaluator();
    settings.opportunistic = evc->getOpportunisticEval(-1);
    settings.useCache = evc->getUseCache(-1);
    using Rule = SuccessType (*)(const EvalPointPtr&, const EvalPointPtr&, const Double&);
    const Rule* rule = info.getComputeSuccessType().getFunction().target<Rule>();
    settings.defaultSuccessRule =
        nullptr != rule && *rule == &ComputeSuccessType::defaultComputeSuccessType;
    settings.sgteCount = evc->getSgteEval(-1);
    return settings;
}

std::vector<double> constrainedBowl(const std::vector<double>& x)
{
    return {(x[0] - 1) * (x[0] - 1) + (x[1] + 0.5) * (x[1] + 0.5), x[0] + x[1] - 1};
}

std::vector<std::vector<double>> scatteredPoints(size_t count)
{
    std::vector<std::vector<double>> points;
    for (size_t i = 0; i < count; ++i)
    {
        points.push_back({-2 + 4 * std::fmod(0.618034 * (i + 1), 1.0),
                          -2 + 4 * std::fmod(0.754878 * (i + 1), 1.0)});
    }
    return points;
}

std::string modelStopText(const std::shared_ptr<AllStopReasons>& stopReasons)
{
    return AlgoStopReasons<ModelStopType>::get(stopReasons)
        ->_algoStopReason.getStopReasonAsString();
}

std::vector<std::string> ModelProblem::boundLines() const
{
    return {"LOWER_BOUND * " + Double(lb).tostring(), "UPPER_BOUND * " + Double(ub).tostring()};
}

std::vector<std::vector<double>> spreadPoints(size_t n, size_t count, double lb, double ub)
{
    // Square roots of primes: their multiples modulo 1 fill the unit cube
    // evenly, and no two points coincide.
    static const double ROOTS[] = {1.4142135623730951, 1.7320508075688772, 2.2360679774997898,
                                   2.6457513110645907, 3.3166247903554,    3.605551275463989,
                                   4.123105625617661,  4.358898943540674,  4.795831523312719,
                                   5.385164807134504};
    std::vector<std::vector<double>> points;
    for (size_t k = 1; k <= count; ++k)
    {
        std::vector<double> x;
        for (size_t i = 0; i < n; ++i)
        {
            const double u = std::fmod(
                ROOTS[i % 10] * static_cast<double>(k) + 0.1 * static_cast<double>(i / 10), 1.0);
            x.push_back(lb + (ub - lb) * u);
        }
        points.push_back(x);
    }
    return points;
}

std::vector<ModelProblem> modelProblems()
{
    // Problems of the shared table, under the names the runs' tests carry.
    const std::pair<const char*, const char*> names[] = {{"Quadratic2", "ellipsoid2"},
                                                         {"Quadratic5", "ellipsoid5"},
                                                         {"Quadratic10", "ellipsoid10"},
                                                         {"Rosenbrock2", "model-rosenbrock2"}};
    std::vector<ModelProblem> problems;
    for (const auto& name : names)
    {
        const TestProblem& p = testProblem(name.second);
        problems.push_back({name.first,
                            p.n,
                            [p](const std::vector<double>& x) { return p(x); },
                            p.x0,
                            p.lower.at(0),
                            p.upper.at(0),
                            {}});
    }
    // Around the starting point, within reach of the surrogate model's box
    // (four units around the barrier's points without a mesh).
    for (auto& problem : problems)
    {
        problem.seed = spreadPoints(problem.n, std::max<size_t>(2 * problem.n + 1, 12), -2, 2);
        for (auto& x : problem.seed)
        {
            for (size_t i = 0; i < problem.n; ++i)
            {
                x[i] = std::min(problem.ub, std::max(problem.lb, problem.x0[i] + x[i]));
            }
        }
    }
    return problems;
}

bool SuccessWatch::Turn::honest() const
{
    const bool improved = nbNew > 0 && bestNew < bestBefore - Double::getEpsilon();
    return improved == (success >= SuccessType::PARTIAL_SUCCESS);
}

SuccessWatch::SuccessWatch(const ModelSearchHarness& h, Analytic f)
    : _h(h), _f(std::move(f)), _known(0)
{
    Step::addCallback(
        CallbackType::MEGA_ITERATION_END,
        Step::StepEndCallback([this](const Step& step, bool&) { endOfMegaIteration(step); }));
}

SuccessWatch::~SuccessWatch()
{
    Step::resetCallbacks();
}

void SuccessWatch::markKnown()
{
    _known = _h.bbEvalCount();
}

double SuccessWatch::bestF() const
{
    double best = std::numeric_limits<double>::infinity();
    for (const auto& x : _h.bbEvaluated())
    {
        best = std::min(best, _f(x)[0]);
    }
    return best;
}

void SuccessWatch::endOfMegaIteration(const Step& step)
{
    SuccessType success = SuccessType::NOT_EVALUATED;
    if (const auto* quad = dynamic_cast<const QuadModelMegaIteration*>(&step))
    {
        success = quad->getSuccessType();
    }
    else if (const auto* teskora = dynamic_cast<const TeskoraModelMegaIteration*>(&step))
    {
        success = teskora->IterationUtils::getSuccessType();
    }
    else
    {
        return;
    }
    const auto evaluated = _h.bbEvaluated();
    Turn turn{std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity(),
              evaluated.size() - _known, success};
    for (size_t i = 0; i < evaluated.size(); ++i)
    {
        double& best = (i < _known) ? turn.bestBefore : turn.bestNew;
        best = std::min(best, _f(evaluated[i])[0]);
    }
    turns.push_back(turn);
    _known = evaluated.size();
}

} // namespace QarnoTest
