#include "Algos/Termination.hpp"

#include <string>

#include "Algos/Algorithm.hpp"
#include "Algos/EvcInterface.hpp"
#include "Algos/StepException.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/AllStopReasons.hpp"
#include "Util/Clock.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

namespace
{

/// A size_t parameter at this value sets no limit.
constexpr size_t NO_LIMIT = static_cast<size_t>(-1);

/// The nearest algorithm above `step`; null when there is none.
const Algorithm* nearestAlgorithmAbove(const Step& step)
{
    for (const Step* s = step.getParentStep(); nullptr != s; s = s->getParentStep())
    {
        if (s->isAnAlgorithm())
        {
            return static_cast<const Algorithm*>(s);
        }
    }
    return nullptr;
}

/// The evaluation count that goes with the budget that stopped the run, as
/// " " and the count; empty when no budget did (or no queue counts).
std::string budgetCount()
{
    const auto& evc = EvcInterface::getEvaluatorControl();
    if (nullptr == evc)
    {
        return "";
    }
    switch (AllStopReasons::_evalGlobalStopReason.get())
    {
    case EvalGlobalStopType::MAX_BB_EVAL_REACHED:
        return " " + itos(evc->getBbEval());
    case EvalGlobalStopType::MAX_EVAL_REACHED:
        return " " + itos(evc->getNbEval());
    case EvalGlobalStopType::MAX_BLOCK_EVAL_REACHED:
        return " " + itos(evc->getBlockEval());
    default:
        break;
    }
    // The thread reasons exist only for a registered main thread; asking
    // otherwise would throw in the middle of the end report.
    if (!evc->isMainThread(getThreadNum()))
    {
        return "";
    }
    if (evc->testIf(EvalMainThreadStopType::MAX_SGTE_EVAL_REACHED))
    {
        return " " + itos(evc->getTotalSgteEval());
    }
    if (evc->testIf(EvalMainThreadStopType::LAP_MAX_BB_EVAL_REACHED))
    {
        return " " + itos(evc->getLapBbEval(-1));
    }
    return "";
}

} // namespace

Termination::Termination(const Step* parentStep) : Step(parentStep)
{
    init();
}

Termination::~Termination() = default;

void Termination::init()
{
    setName("Termination");
    verifyParentNotNull();
}

void Termination::startImp()
{
    // The algorithm may be named after this step was made; take its name now.
    setName(getAlgoName() + "Termination");
}

bool Termination::runImp()
{
    return _stopReasons->checkTerminate();
}

bool Termination::terminate(size_t k)
{
    if (_stopReasons->checkTerminate())
    {
        return true;
    }
    if (nullptr == _runParams || nullptr == _pbParams)
    {
        QARNO_THROW(StepException, "Termination needs the run and problem parameters", this);
    }

    // Read at every call, not once: called once per mega-iteration, and a hot
    // restart may change the limits in the middle of the algorithm.
    const auto maxIterations = _runParams->getAttributeValue<size_t>("MAX_ITERATIONS");
    const auto maxTime = _runParams->getAttributeValue<size_t>("MAX_TIME");

    if (_userTerminate)
    {
        AllStopReasons::_baseStopReason.set(BaseStopType::CTRL_C);
    }
    else if (NO_LIMIT != maxIterations && k >= maxIterations)
    {
        _stopReasons->_iterStopReason.set(IterStopType::MAX_ITERATIONS_REACHED);
    }
    else if (NO_LIMIT != maxTime && Clock::getRealTime() >= maxTime)
    {
        AllStopReasons::_baseStopReason.set(BaseStopType::MAX_TIME_REACHED);
    }
    else if (_pbParams->getAttributeValue<bool>("STOP_IF_FEASIBLE") && solHasFeas())
    {
        _stopReasons->_iterStopReason.set(IterStopType::FEASIBLE_POINT_REACHED);
    }
    else
    {
        const auto& evc = EvcInterface::getEvaluatorControl();
        if (nullptr != evc && evc->reachedMaxEval())
        {
            return true;
        }
    }

    return _stopReasons->checkTerminate();
}

bool Termination::solHasFeas() const
{
    if (CacheBase::getInstance()->hasFeas(EvalType::BB))
    {
        return true;
    }
    // Points of some algorithms are not in the cache, or not blackbox points:
    // their algorithm's barrier knows.
    if (nullptr != _parentStep)
    {
        const auto barrier = _parentStep->getMegaIterationBarrier();
        return nullptr != barrier && nullptr != barrier->getFirstXFeas();
    }
    return false;
}

void Termination::endImp()
{
    // Only the top algorithm's stop shows at the default display degree.
    const Algorithm* algo = nearestAlgorithmAbove(*this);
    const OutputLevel level =
        (nullptr != algo && algo->isSubAlgo()) ? OutputLevel::LEVEL_INFO : OutputLevel::LEVEL_HIGH;
    if (!OutputQueue::getInstance()->goodLevel(level))
    {
        return;
    }
    if (_stopReasons->checkTerminate())
    {
        AddOutputInfo("A termination criterion is reached: " +
                          _stopReasons->getStopReasonAsString() + budgetCount(),
                      level);
    }
    else
    {
        AddOutputInfo("No termination criterion reached", level);
    }
}

} // namespace QARNO_4_0_0
