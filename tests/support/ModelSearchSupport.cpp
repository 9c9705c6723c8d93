#include "support/ModelSearchSupport.hpp"

#include <cmath>
#include <sstream>

#include "Algos/EvcInterface.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/ComputeSuccessType.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Eval/EvcMainThreadInfo.hpp"
#include "Eval/EvalPoint.hpp"
#include "Math/Double.hpp"
#include "Output/OutputQueue.hpp"
#include "Type/BBOutputType.hpp"
#include "support/MadsSupport.hpp"

using namespace QARNO_4_0_0;

namespace QarnoTest
{

ModelSearchHarness::ModelSearchHarness(size_t n, const std::string& bbOutputType, Analytic f,
                                       const std::vector<std::vector<double>>& x0s,
                                       const std::vector<std::string>& lines, const EvcOptions& options)
    : guard()
{
    params = makeMadsParameters(n, bbOutputType, x0s, lines);
    params->checkAndComply();

    evc = std::make_unique<EvcHarness>(options, stringToBBOutputTypeList(bbOutputType),
                                       [f](const EvalPoint& x)
                                       {
                                           std::vector<double> coords;
                                           for (size_t i = 0; i < x.size(); ++i)
                                           {
                                               coords.push_back(x[i].todouble());
                                           }
                                           std::string line;
                                           for (double v : f(coords))
                                           {
                                               line += (line.empty() ? "" : " ") + Double(v).tostring();
                                           }
                                           return line;
                                       });
    EvcInterface::setEvaluatorControl(evc->evc);
    OutputQueue::getInstance()->initParameters(params->get_display_params());
    root = std::make_unique<RecordingStep>("Main");
}

ModelSearchHarness::~ModelSearchHarness()
{
    root.reset();
    EvcInterface::setEvaluatorControl(nullptr);
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
    return evaluator == other.evaluator && opportunistic == other.opportunistic && useCache == other.useCache &&
           defaultSuccessRule == other.defaultSuccessRule && sgteCount == other.sgteCount;
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
    settings.defaultSuccessRule = nullptr != rule && *rule == &ComputeSuccessType::defaultComputeSuccessType;
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
        points.push_back({-2 + 4 * std::fmod(0.618034 * (i + 1), 1.0), -2 + 4 * std::fmod(0.754878 * (i + 1), 1.0)});
    }
    return points;
}

std::string modelStopText(const std::shared_ptr<AllStopReasons>& stopReasons)
{
    return AlgoStopReasons<ModelStopType>::get(stopReasons)->_algoStopReason.getStopReasonAsString();
}

} // namespace QarnoTest
