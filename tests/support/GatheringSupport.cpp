#include "support/GatheringSupport.hpp"

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/EvcInterface.hpp"
#include "Algos/Mads/GMesh.hpp"
#include "Algos/Mads/Mads.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/EvalQueuePoint.hpp"
#include "Eval/EvaluatorControl.hpp"

using namespace QARNO_4_0_0;

namespace QarnoTest
{

void recordEvaluations(FunctionEvaluator& evaluator, std::vector<SeenEvaluation>& seen)
{
    evaluator.beforeBlock =
        [&seen, &evaluator](const std::vector<std::shared_ptr<EvalPoint>>& block)
    {
        const auto& evc = EvcInterface::getEvaluatorControl();
        for (const auto& point : block)
        {
            SeenEvaluation s;
            for (size_t i = 0; i < point->size(); ++i)
            {
                s.coords.push_back((*point)[i].todouble());
            }
            if (const auto queuePoint = std::dynamic_pointer_cast<EvalQueuePoint>(point))
            {
                s.genStep = queuePoint->getGenStep();
                s.k = queuePoint->getK();
            }
            s.lapMaxBbEval = (nullptr == evc) ? 0 : evc->getLapMaxBbEval(0);
            s.lapBbEval = (nullptr == evc) ? 0 : evc->getLapBbEval(0);
            s.block = evaluator.blocks.size();
            seen.push_back(s);
        }
    };
}

bool fromNelderMead(const SeenEvaluation& evaluation)
{
    return 0 == evaluation.genStep.rfind("NM", 0) ||
           std::string::npos != evaluation.genStep.find("Nelder Mead");
}

size_t firstAfter(const std::vector<SeenEvaluation>& seen, size_t from, const std::string& text)
{
    for (size_t i = from + 1; i < seen.size(); ++i)
    {
        if (std::string::npos != seen[i].genStep.find(text))
        {
            return i;
        }
    }
    return seen.size();
}

namespace
{
HarnessOptions wideBlocks()
{
    HarnessOptions options;
    options.queue.bbMaxBlockSize = 100;
    return options;
}

StepTreeOptions madsMegaIterationTree(const std::vector<std::string>& lines,
                                      const std::vector<EvalPoint>& incumbents)
{
    const auto params = checkedMadsParameters(2, lines);
    StepTreeOptions options;
    options.runParams = params->get_run_params();
    options.pbParams = params->get_pb_params();
    options.makeAlgorithm =
        [](const Step* parent, const std::shared_ptr<RunParameters>& run,
           const std::shared_ptr<PbParameters>& pb) -> std::unique_ptr<Algorithm>
    {
        return std::make_unique<Mads>(parent, std::make_shared<AlgoStopReasons<MadsStopType>>(),
                                      run, pb);
    };
    options.megaK = 0;
    options.barrier = std::make_shared<Barrier>(INF, Point(2), EvalType::BB, incumbents);
    options.makeMegaIteration =
        [](const Step* parent, size_t k,
           std::shared_ptr<Barrier> barrier) -> std::unique_ptr<MegaIteration>
    {
        return std::make_unique<MadsMegaIteration>(parent, k, std::move(barrier),
                                                   std::make_shared<GMesh>(parent->getPbParams()),
                                                   SuccessType::NOT_EVALUATED);
    };
    options.withIteration = false;
    return options;
}
} // namespace

GatheringTree::GatheringTree(const std::vector<std::string>& lines,
                             const std::vector<EvalPoint>& incumbents,
                             const std::vector<EvalPoint>& cached)
    : run(wideBlocks()), steps(madsMegaIterationTree(lines, incumbents)),
      mega(steps.megaAs<MadsMegaIteration>())
{
    for (const auto& p : incumbents)
    {
        CacheBase::getInstance()->insert(p);
    }
    for (const auto& p : cached)
    {
        CacheBase::getInstance()->insert(p);
    }
    mega.start();
}

std::vector<EvalPoint> twoIncumbents()
{
    return {makeMadsPoint({0, 0}, 1, 0), makeMadsPoint({0.1, 0}, 1, 0)};
}

std::vector<EvalPoint> neighbours()
{
    return {makeMadsPoint({0, 0.1}, 2, 0), makeMadsPoint({0.1, 0.1}, 3, 0)};
}

} // namespace QarnoTest
