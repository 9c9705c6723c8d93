#include "support/EvcSupport.hpp"

#include <iostream>

#include "Algos/EvcInterface.hpp"
#include "Cache/CacheBase.hpp"
#include "Math/Point.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/AllParameters.hpp"
#include "Util/ArrayOfString.hpp"
#include "support/CacheSupport.hpp"
#include "support/TestSupport.hpp"

namespace QarnoTest
{

using namespace QARNO_4_0_0;

std::shared_ptr<EvaluatorControlGlobalParameters> makeEvcGlobalParameters(const EvcOptions& options)
{
    auto params = std::make_shared<EvaluatorControlGlobalParameters>();
    params->setAttributeValue<size_t>("BB_MAX_BLOCK_SIZE", options.bbMaxBlockSize);
    params->setAttributeValue<bool>("CLEAR_EVAL_QUEUE", options.clearEvalQueue);
    params->setAttributeValue<bool>("RANDOM_EVAL_SORT", options.randomEvalSort);
    const std::pair<const char*, size_t> budgets[] = {{"MAX_BB_EVAL", options.maxBbEval},
                                                      {"MAX_EVAL", options.maxEval},
                                                      {"MAX_BLOCK_EVAL", options.maxBlockEval},
                                                      {"MAX_SGTE_EVAL", options.maxSgteEval}};
    for (const auto& budget : budgets)
    {
        if (budget.second != NO_LIMIT)
        {
            params->setAttributeValue<size_t>(budget.first, budget.second);
        }
    }
    params->checkAndComply(nullptr);
    return params;
}

std::shared_ptr<EvaluatorControlParameters> makeEvcParameters(const EvcOptions& options)
{
    auto params = std::make_shared<EvaluatorControlParameters>();
    params->setAttributeValue<bool>("OPPORTUNISTIC_EVAL", options.opportunistic);
    params->setAttributeValue<bool>("USE_CACHE", options.useCache);
    params->checkAndComply(nullptr);
    return params;
}

std::shared_ptr<EvalParameters> makeEvalParameters(const BBOutputTypeList& bbOutputType)
{
    auto params = std::make_shared<EvalParameters>();
    params->setAttributeValue<BBOutputTypeList>("BB_OUTPUT_TYPE", bbOutputType);
    params->checkAndComply(nullptr);
    return params;
}

std::shared_ptr<DisplayParameters> makeDisplayParameters(size_t n, int displayDegree,
                                                         const std::string& statsFile,
                                                         const std::string& historyFile,
                                                         const std::string& solutionFile)
{
    AllParameters all;
    all.set_DIMENSION(n);
    all.set_X0(Point(n, Double(0.0)));
    all.set_ADD_SEED_TO_FILE_NAMES(false);
    all.setAttributeValue<int>("DISPLAY_DEGREE", displayDegree);
    all.setAttributeValue<ArrayOfString>("STATS_FILE", ArrayOfString(statsFile, " "));
    all.setAttributeValue<std::string>("HISTORY_FILE", historyFile);
    all.setAttributeValue<std::string>("SOLUTION_FILE", solutionFile);
    all.checkAndComply();
    return all.get_display_params();
}

// ---------------------------------------------------------------------------
// FunctionEvaluator
// ---------------------------------------------------------------------------

FunctionEvaluator::FunctionEvaluator(const BBOutputTypeList& bbOutputType, Output output,
                                     EvalType evalType)
    : Evaluator(makeEvalParameters(bbOutputType), evalType, EvalXDefined::EVAL_X_DEFINED),
      _bbOutputType(bbOutputType), _output(std::move(output))
{
}

std::vector<bool> FunctionEvaluator::eval_block(std::vector<std::shared_ptr<EvalPoint>>& block,
                                                const Double& /*hMax*/,
                                                std::vector<bool>& countEvalOut) const
{
    if (beforeBlock)
    {
        beforeBlock(block);
    }
    std::vector<bool> ok(block.size(), false);
    countEvalOut.assign(block.size(), false);
    blocks.emplace_back();
    for (size_t i = 0; i < block.size(); ++i)
    {
        EvalPoint& point = *block[i];
        blocks.back().push_back(coordsOf({point})[0]);
        const EvalStatusType status = point.getEvalStatus(_evalType);
        statusesOnArrival.push_back(status);
        if (skipWaiting && status == EvalStatusType::EVAL_WAIT)
        {
            continue;
        }
        const bool pointOk = !evalOk || evalOk(point);
        point.setBBO(_output(point), _bbOutputType, _evalType, pointOk);
        ok[i] = pointOk;
        countEvalOut[i] = !countEval || countEval(point);
    }
    return ok;
}

std::vector<std::vector<double>> FunctionEvaluator::evaluatedPoints() const
{
    std::vector<std::vector<double>> points;
    for (const auto& block : blocks)
    {
        points.insert(points.end(), block.begin(), block.end());
    }
    return points;
}

std::vector<size_t> FunctionEvaluator::blockSizes() const
{
    std::vector<size_t> sizes;
    for (const auto& block : blocks)
    {
        sizes.push_back(block.size());
    }
    return sizes;
}

FunctionEvaluator::Output firstCoordinateObjective()
{
    return [](const EvalPoint& point) { return point[0].tostring(); };
}

// ---------------------------------------------------------------------------
// Queueing
// ---------------------------------------------------------------------------

std::shared_ptr<EvalQueuePoint> makeQueuePoint(const std::vector<double>& coords, EvalType evalType)
{
    return std::make_shared<EvalQueuePoint>(EvalPoint(Point(makeArray(coords))), evalType);
}

bool queuePoint(EvaluatorControl& evc, const std::shared_ptr<EvalQueuePoint>& point)
{
    const int threadNum = point->getThreadAlgo();
    if (evc.getUseCache(threadNum))
    {
        if (!CacheBase::getInstance()->smartInsert(*point, 1, point->getEvalType()))
        {
            return false;
        }
    }
    else
    {
        point->updateTag();
    }
    return evc.addToQueue(point);
}

bool queuePoint(EvaluatorControl& evc, const std::vector<double>& coords)
{
    return queuePoint(evc, makeQueuePoint(coords, evc.getEvalType(-1)));
}

// ---------------------------------------------------------------------------
// EvcHarness
// ---------------------------------------------------------------------------

FunctionEvaluator::Output analyticOutput(Analytic f)
{
    return [f = std::move(f)](const EvalPoint& x)
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
    };
}

HarnessOptions algorithmHarness(const EvcOptions& queue, EvalType evalType, size_t dimension)
{
    HarnessOptions options;
    options.queue = queue;
    options.evalType = evalType;
    options.dimension = dimension;
    return options;
}

HarnessOptions installedHarness(const BBOutputTypeList& outputs, FunctionEvaluator::Output blackbox,
                                const EvcOptions& queue, EvalType evalType)
{
    HarnessOptions options;
    options.queue = queue;
    options.outputs = outputs;
    options.blackbox = std::move(blackbox);
    options.evalType = evalType;
    return options;
}

namespace
{
/// f = x0 and every constraint 0.
FunctionEvaluator::Output firstCoordinateAndZeros(size_t nbOutputs)
{
    return [nbOutputs](const EvalPoint& point)
    {
        std::string line = point[0].tostring();
        for (size_t i = 1; i < nbOutputs; ++i)
        {
            line += " 0";
        }
        return line;
    };
}
} // namespace

EvcHarness::EvcHarness(const HarnessOptions& options)
    : EvcHarness(options.queue, options.outputs,
                 options.blackbox ? options.blackbox
                                  : firstCoordinateAndZeros(options.outputs.size()),
                 options.evalType)
{
    evaluator->evalOk = options.evalOk;
    if (options.install)
    {
        EvcInterface::setEvaluatorControl(evc);
        _installed = true;
    }
    if (options.install && options.setDisplay)
    {
        OutputQueue::getInstance()->initParameters(
            (nullptr != options.displayParams)
                ? options.displayParams
                : makeDisplayParameters(options.dimension, options.displayDegree, ""));
    }
}

EvcHarness::EvcHarness(const EvcOptions& options, const BBOutputTypeList& bbOutputType,
                       FunctionEvaluator::Output output, EvalType evalType)
    : globalParams(makeEvcGlobalParameters(options)), params(makeEvcParameters(options)),
      evaluator(std::make_shared<FunctionEvaluator>(bbOutputType, std::move(output), evalType)),
      evc(std::make_shared<EvaluatorControl>(globalParams))
{
    if (!CacheBase::hasInstance())
    {
        startCache(bbOutputType);
    }
    evc->init(evaluator, params);
}

EvcHarness::~EvcHarness()
{
    if (_installed)
    {
        EvcInterface::setEvaluatorControl(nullptr);
    }
    evc->clearQueue(-1, false);
    for (int threadNum : evc->getMainThreads())
    {
        evc->clearEvaluatedPoints(threadNum);
    }
}

void EvcHarness::evaluate(const std::vector<std::vector<double>>& points)
{
    queueAll(points);
    evc->run();
    evc->clearEvaluatedPoints(-1);
    evc->restart();
}

bool EvcHarness::queueAll(const std::vector<std::vector<double>>& points)
{
    bool all = true;
    for (const auto& coords : points)
    {
        all = queuePoint(*evc, coords) && all;
    }
    return all;
}

std::vector<EvalStatusType>
EvcHarness::cachedStatuses(const std::vector<std::vector<double>>& points, EvalType evalType) const
{
    std::vector<EvalStatusType> statuses;
    for (const auto& coords : points)
    {
        EvalPoint found;
        const bool cached = CacheBase::getInstance()->find(Point(makeArray(coords)), found,
                                                           EvalType::UNDEFINED) > 0;
        statuses.push_back(cached ? found.getEvalStatus(evalType)
                                  : EvalStatusType::EVAL_STATUS_UNDEFINED);
    }
    return statuses;
}

} // namespace QarnoTest
