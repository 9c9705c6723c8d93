#include "Algos/AlgoStopReasons.hpp"

#include "Algos/EvcInterface.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Util/Exception.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

namespace
{

/// The queue's stop reason for the calling main thread; null when no queue
/// is installed or the queue has no record for this thread (a queue made but
/// not yet started), so that the own and shared reasons still answer.
const StopReason<EvalMainThreadStopType>* queueStopReason()
{
    const auto& evc = EvcInterface::getEvaluatorControl();
    if (nullptr == evc || !evc->isMainThread(getThreadNum()))
    {
        return nullptr;
    }
    return &evc->getStopReason(getThreadNum());
}

} // namespace

template <typename T> AlgoStopReasons<T>::~AlgoStopReasons() = default;

template <typename T> void AlgoStopReasons<T>::setStarted()
{
    _algoStopReason.setStarted();
    AllStopReasons::setStarted();
    if (nullptr != queueStopReason())
    {
        EvcInterface::getEvaluatorControl()->setStopReason(getThreadNum(),
                                                           EvalMainThreadStopType::STARTED);
    }
}

template <typename T> std::string AlgoStopReasons<T>::getStopReasonAsString() const
{
    std::string text = AllStopReasons::getStopReasonAsString();
    if (!_algoStopReason.isStarted())
    {
        // Joined without a separator: after "No termination (all). " the
        // shared text already ends with a blank.
        text += _algoStopReason.getStopReasonAsString() + " (Algo)";
    }
    const auto* evalReason = queueStopReason();
    // Shown for every value but STARTED, also for those that do not stop the
    // algorithm (an opportunistic success, an empty list).
    if (nullptr != evalReason && !evalReason->isStarted())
    {
        text += (text.empty() ? "" : " ") + evalReason->getStopReasonAsString();
    }
    return text;
}

template <typename T> bool AlgoStopReasons<T>::checkTerminate() const
{
    if (AllStopReasons::checkTerminate() || _algoStopReason.checkTerminate())
    {
        return true;
    }
    const auto* evalReason = queueStopReason();
    return nullptr != evalReason && evalReason->checkTerminate();
}

template <typename T>
std::shared_ptr<AlgoStopReasons<T>>
AlgoStopReasons<T>::get(const std::shared_ptr<AllStopReasons>& allStopReasons)
{
    auto stopReasons = std::dynamic_pointer_cast<AlgoStopReasons<T>>(allStopReasons);
    if (nullptr == stopReasons)
    {
        QARNO_THROW(Exception, "Invalid shared pointer cast");
    }
    return stopReasons;
}

template class AlgoStopReasons<MadsStopType>;
template class AlgoStopReasons<PhaseOneStopType>;
template class AlgoStopReasons<SSDMadsStopType>;
template class AlgoStopReasons<LHStopType>;
template class AlgoStopReasons<NMStopType>;
template class AlgoStopReasons<ModelStopType>;

} // namespace QARNO_4_0_0
