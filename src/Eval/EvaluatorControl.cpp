#include "Eval/EvaluatorControl.hpp"

#include <algorithm>
#include <cmath>
#include <exception>
#include <iostream>
#include <limits>
#include <tuple>
#include <utility>

#include "Cache/CacheBase.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/ComparePriority.hpp"
#include "Eval/Evaluator.hpp"
#include "Output/OutputDirectToFile.hpp"
#include "Output/OutputInfo.hpp"
#include "Output/OutputQueue.hpp"
#include "Output/StatsInfo.hpp"
#include "Param/EvaluatorControlGlobalParameters.hpp"
#include "Param/EvaluatorControlParameters.hpp"
#include "Param/Parameters.hpp"
#include "Util/AllStopReasons.hpp"
#include "Util/Clock.hpp"
#include "Util/Exception.hpp"
#include "Util/SignalRecord.hpp"

namespace QARNO_4_0_0
{

namespace
{

constexpr size_t SIZE_T_INF = std::numeric_limits<size_t>::max();

bool isShown(OutputLevel level)
{
    return OutputQueue::getInstance()->goodLevel(level);
}

/// The coordinates alone, whatever the point's own display adds.
std::string coordinatesOf(const Point& point)
{
    return point.Point::display(ArrayOfDouble());
}

bool isBudgetReason(EvalGlobalStopType reason)
{
    return reason == EvalGlobalStopType::MAX_BB_EVAL_REACHED ||
           reason == EvalGlobalStopType::MAX_EVAL_REACHED ||
           reason == EvalGlobalStopType::MAX_BLOCK_EVAL_REACHED;
}

bool isStepBudgetReason(EvalMainThreadStopType reason)
{
    return reason == EvalMainThreadStopType::MAX_SGTE_EVAL_REACHED ||
           reason == EvalMainThreadStopType::LAP_MAX_BB_EVAL_REACHED ||
           reason == EvalMainThreadStopType::SUBPROBLEM_MAX_BB_EVAL_REACHED;
}

} // namespace

// ---------------------------------------------------------------------------
// Set-up and life cycle
// ---------------------------------------------------------------------------

EvaluatorControl::EvaluatorControl(
    const std::shared_ptr<EvaluatorControlGlobalParameters>& evalContGlobalParams)
    : _evalContGlobalParams(evalContGlobalParams), _mainThreads(), _mainThreadInfo(),
      _evalPointQueue(), _userCompMethod(), _bbEval(0), _bbEvalNotOk(0), _feasBBEval(0),
      _infBBEval(0), _totalSgteEval(0), _blockEval(0), _indexSuccBlockEval(0),
      _indexBestFeasEval(0), _indexBestInfeasEval(0), _nbEvalSentToEvaluator(0),
      _nbRelativeSuccess(0), _nbPhaseOneSuccess(0),
      _doneWithEvalQueue(false), _settings{SIZE_T_INF, SIZE_T_INF, SIZE_T_INF, SIZE_T_INF,
                                           1,          SIZE_T_INF, true,       false},
      _settingsStale(true), _queueIndex(), _queueIndexEpsilon(Double::getEpsilon()), _cacheCopy()
{
    if (!_evalContGlobalParams)
    {
        QARNO_THROW(Exception,
                    "EvaluatorControl: the global evaluator control parameters are NULL");
    }
}

EvaluatorControl::~EvaluatorControl()
{
    try
    {
        destroy();
    }
    catch (...)
    {
        // Destruction goes on: what was left is dropped.
    }
}

void EvaluatorControl::init(std::shared_ptr<Evaluator> evaluator,
                            const std::shared_ptr<EvaluatorControlParameters>& evalContParams)
{
    auto stopReason = std::make_shared<StopReason<EvalMainThreadStopType>>();
    stopReason->testValidity();

    _mainThreads.clear();
    _mainThreadInfo.clear();
    addMainThread(getThreadNum(), stopReason, evaluator, evalContParams);

    readGlobalParameters();
    const std::string& tmpDir = _evalContGlobalParams->getAttributeValue<std::string>("TMP_DIR");
    Evaluator::initializeTmpFiles(tmpDir);
}

void EvaluatorControl::addMainThread(
    int threadNum, std::shared_ptr<StopReason<EvalMainThreadStopType>> /*stopReason*/,
    const std::shared_ptr<Evaluator>& evaluator,
    const std::shared_ptr<EvaluatorControlParameters>& evalContParams)
{
    if (isMainThread(threadNum))
    {
        return;
    }
    if (!evalContParams)
    {
        QARNO_THROW(Exception,
                    "EvaluatorControl: addMainThread: the evaluator control parameters are "
                    "NULL");
    }
    OutputQueue::addIfShown(OutputLevel::LEVEL_DEBUG,
                            [threadNum] { return "Add main thread: " + itos(threadNum); });

    // The thread's own copy, checked at once so that it can be read.
    auto copy = std::make_unique<EvaluatorControlParameters>();
    copy->copyParameters(*evalContParams);
    copy->checkAndComply(nullptr);

    _mainThreadInfo.emplace(std::piecewise_construct, std::forward_as_tuple(threadNum),
                            std::forward_as_tuple(evaluator, std::move(copy)));
    _mainThreads.insert(threadNum);
}

EvcMainThreadInfo& EvaluatorControl::getMainThreadInfo(int threadNum) const
{
    const int resolved = (threadNum == -1) ? getThreadNum() : threadNum;
    const auto it = _mainThreadInfo.find(resolved);
    if (it == _mainThreadInfo.end())
    {
        QARNO_THROW(Exception,
                    "Thread " + itos(resolved) +
                        " is not a main thread. EvaluatorControl::getMainThreadInfo called "
                        "with argument threadNum = " +
                        itos(threadNum));
    }
    return it->second;
}

void EvaluatorControl::restart()
{
    _doneWithEvalQueue = false;
    for (auto& entry : _mainThreadInfo)
    {
        entry.second.setDoneWithEval(false);
    }
    // A new algorithm may come with new budgets.
    _settingsStale = true;
}

void EvaluatorControl::stop()
{
    const int threadNum = getThreadNum();
    getMainThreadInfo(threadNum).setDoneWithEval(true);
    OutputQueue::addIfShown(OutputLevel::LEVEL_DEBUG, [threadNum]
                            { return "Stop evaluation queue for main thread " + itos(threadNum); });

    const bool allDone =
        std::all_of(_mainThreadInfo.begin(), _mainThreadInfo.end(),
                    [](const auto& entry) { return entry.second.getDoneWithEval(); });
    if (allDone)
    {
        OutputQueue::addIfShown(
            OutputLevel::LEVEL_DEBUG,
            [] { return std::string("All main threads are done. Done with evaluation queue."); });
        _doneWithEvalQueue = true;
    }
}

void EvaluatorControl::destroy()
{
    if (!_evalPointQueue.empty())
    {
        if (isShown(OutputLevel::LEVEL_INFO))
        {
            std::cerr << "Warning: deleting EvaluatorControl with EvalPoints remaining."
                      << std::endl;
        }
        clearQueue(-1, isShown(OutputLevel::LEVEL_DEBUG));
    }

    for (auto& entry : _mainThreadInfo)
    {
        EvcMainThreadInfo& info = entry.second;
        if (!info.remainsEvaluatedPoints())
        {
            continue;
        }
        if (isShown(OutputLevel::LEVEL_INFO))
        {
            std::cerr << "Warning: deleting EvaluatorControl with evaluated points remaining."
                      << std::endl;
        }
        while (info.getCurrentlyRunning() > 0)
        {
            info.decCurrentlyRunning();
        }
        const std::vector<EvalPoint> points = info.retrieveAllEvaluatedPoints();
        if (isShown(OutputLevel::LEVEL_DEBUG))
        {
            for (const auto& point : points)
            {
                OutputQueue::getInstance()->add("Delete evaluated point: " + point.display(),
                                                OutputLevel::LEVEL_DEBUG);
            }
        }
    }
}

std::shared_ptr<Evaluator> EvaluatorControl::setEvaluator(std::shared_ptr<Evaluator> evaluator)
{
    return getMainThreadInfo(-1).setEvaluator(std::move(evaluator));
}

// ---------------------------------------------------------------------------
// Global parameters kept for the hot path
// ---------------------------------------------------------------------------

void EvaluatorControl::readGlobalParameters() const
{
    const auto& params = *_evalContGlobalParams;
    // Read on every run of the queue: a set unchanged since the last read
    // gives the same values without a keyword look-up. An unchecked set is
    // read, which throws as it should.
    if (!_settingsStale && !params.toBeChecked() && params.getChangeCount() == _settingsChangeCount)
    {
        return;
    }
    // A failed read leaves the settings to be read again at the next chance.
    _settingsStale = true;
    GlobalSettings settings;
    settings.bbMaxBlockSize = params.getAttributeValue<size_t>("BB_MAX_BLOCK_SIZE");
    settings.sgteMaxBlockSize = params.getAttributeValue<size_t>("SGTE_MAX_BLOCK_SIZE");
    settings.maxBbEval = params.getAttributeValue<size_t>("MAX_BB_EVAL");
    settings.maxEval = params.getAttributeValue<size_t>("MAX_EVAL");
    settings.maxBlockEval = params.getAttributeValue<size_t>("MAX_BLOCK_EVAL");
    settings.maxSgteEval = params.getAttributeValue<size_t>("MAX_SGTE_EVAL");
    settings.clearEvalQueue = params.getAttributeValue<bool>("CLEAR_EVAL_QUEUE");
    settings.randomEvalSort = params.getAttributeValue<bool>("RANDOM_EVAL_SORT");
    _settings = settings;
    _settingsChangeCount = params.getChangeCount();
    _settingsStale = false;
}

void EvaluatorControl::refreshGlobalParametersIfStale() const
{
    if (_settingsStale || _evalContGlobalParams->toBeChecked())
    {
        // One attempt: a set that is not checked throws ParameterToBeChecked
        // here, since nothing on this thread could check it while we wait.
        readGlobalParameters();
    }
}

// ---------------------------------------------------------------------------
// Queue
// ---------------------------------------------------------------------------

EvaluatorControl::QueueIndex& EvaluatorControl::queueIndex()
{
    // The order depends on epsilon: an index built under another epsilon is
    // rebuilt before it is used.
    const double epsilon = Double::getEpsilon();
    if (epsilon != _queueIndexEpsilon)
    {
        _queueIndex.clear();
        ++_queueIndexChanges;
        _queueIndexEpsilon = epsilon;
        for (const auto& entry : _evalPointQueue)
        {
            _queueIndex.insert(entry.get());
        }
    }
    return _queueIndex;
}

EvaluatorControl::QueueIndex::iterator EvaluatorControl::lowerBound(QueueIndex& index,
                                                                    const Point& x)
{
    // A step queues its points in their coordinate order, each after all
    // those already there: then one comparison with the last one places it,
    // where a descent would walk the long shared prefixes of points in many
    // variables at every level.
    if (index.empty() || Point::weakLess(**index.rbegin(), x))
    {
        return index.end();
    }
    return index.lower_bound(&x);
}

void EvaluatorControl::indexErase(const EvalQueuePoint* evalQueuePoint)
{
    QueueIndex& index = queueIndex();
    auto range = index.equal_range(evalQueuePoint);
    for (auto it = range.first; it != range.second; ++it)
    {
        if (*it == evalQueuePoint)
        {
            index.erase(it);
            ++_queueIndexChanges;
            return;
        }
    }
}

std::shared_ptr<EvalQueuePoint> EvaluatorControl::takeAt(Queue::iterator pos)
{
    std::shared_ptr<EvalQueuePoint> taken = std::move(*pos);
    indexErase(taken.get());
    if (pos + 1 == _evalPointQueue.end())
    {
        _evalPointQueue.pop_back();
    }
    else
    {
        _evalPointQueue.erase(pos);
    }
    return taken;
}

bool EvaluatorControl::addToQueue(const std::shared_ptr<EvalQueuePoint>& evalQueuePoint)
{
    return addToQueueImp(evalQueuePoint, false, nullptr, nullptr);
}

bool EvaluatorControl::addOfferedToQueue(const std::shared_ptr<EvalQueuePoint>& evalQueuePoint,
                                         const EvalPoint* cached, const QueuePlace* place)
{
    return addToQueueImp(evalQueuePoint, true, cached, place);
}

bool EvaluatorControl::addToQueueImp(const std::shared_ptr<EvalQueuePoint>& evalQueuePoint,
                                     bool cacheAnswered, const EvalPoint* cached,
                                     const QueuePlace* found)
{
    if (!evalQueuePoint || !evalQueuePoint->isComplete())
    {
        QARNO_THROW(Exception,
                    "EvaluatorControl: addToQueue: Adding an undefined Point for evaluation: " +
                        (evalQueuePoint ? coordinatesOf(*evalQueuePoint) : std::string()));
    }

    EvcMainThreadInfo& info = getMainThreadInfo(evalQueuePoint->getThreadAlgo());
    QueueIndex& index = queueIndex();
    // One descent finds the points of the same coordinates and where the new
    // one goes, or none when the look-up before the cache's offer found
    // them: with thousands of variables each comparison of points is long.
    const QueuedCoordinatesLess less;
    const bool placeKnown = (nullptr != found && found->_found && this == found->_owner &&
                             found->_changes == _queueIndexChanges);
    auto place = placeKnown ? found->_position : lowerBound(index, *evalQueuePoint);
    const bool useCache = info.getUseCache();
    for (; place != index.end() && !less(evalQueuePoint.get(), *place); ++place)
    {
        if (useCache && **place == *evalQueuePoint)
        {
            return false;
        }
    }
    if (useCache)
    {
        if (!cacheAnswered)
        {
            EvalPoint& copy = _cacheCopy;
            if (CacheBase::getInstance()->find(*evalQueuePoint, copy, EvalType::UNDEFINED) > 0)
            {
                cached = &copy;
            }
        }
        if (nullptr != cached)
        {
            const EvalPoint& foundPoint = *cached;
            const EvalStatusType status = foundPoint.getEvalStatus(evalQueuePoint->getEvalType());
            if (status == EvalStatusType::EVAL_IN_PROGRESS || status == EvalStatusType::EVAL_WAIT)
            {
                OutputQueue::addIfShown(OutputLevel::LEVEL_DEBUG,
                                        [&] {
                                            return "Evaluation is already in progress for point: " +
                                                   foundPoint.displayAll();
                                        });
                return false;
            }
        }
    }

    const auto indexed = index.insert(place, evalQueuePoint.get());
    ++_queueIndexChanges;
    try
    {
        _evalPointQueue.push_front(evalQueuePoint);
    }
    catch (...)
    {
        index.erase(indexed);
        ++_queueIndexChanges;
        throw;
    }
    info.incNbPointsInQueue();
    return true;
}

void EvaluatorControl::unlockQueue(bool doSort)
{
    const int threadNum = getThreadNum();
    if (!isMainThread(threadNum))
    {
        QARNO_THROW(Exception, "Error: EvaluatorControl::unlockQueue called from thread " +
                                   itos(threadNum) + ", which is not a main thread.");
    }
    if (doSort && getMainThreadInfo(threadNum).getOpportunisticEval() && getQueueSize(-1) >= 2)
    {
        sort();
    }
}

void EvaluatorControl::sort()
{
    refreshGlobalParametersIfStale();

    CompMethodPtr method = _userCompMethod;
    if (!method)
    {
        if (_settings.randomEvalSort)
        {
            method = std::make_shared<RandomComp>(getQueueSize(getThreadNum()));
        }
        else
        {
            // Entry k is the last successful direction of main thread k.
            const int maxThread = _mainThreads.empty() ? -1 : *_mainThreads.rbegin();
            std::vector<std::shared_ptr<Direction>> lastSuccessfulDirs(
                static_cast<size_t>(maxThread + 1));
            for (const auto& entry : _mainThreadInfo)
            {
                if (entry.first >= 0)
                {
                    lastSuccessfulDirs[static_cast<size_t>(entry.first)] =
                        entry.second.getLastSuccessfulDir();
                }
            }
            method = std::make_shared<OrderByDirection>(lastSuccessfulDirs);
        }
    }

    const bool showDebug = isShown(OutputLevel::LEVEL_DEBUG);
    const auto showQueue = [this](const std::string& title)
    {
        auto& output = OutputQueue::getInstance();
        output->add(title, OutputLevel::LEVEL_DEBUG);
        for (const auto& entry : _evalPointQueue)
        {
            output->add("\t" + entry->display(), OutputLevel::LEVEL_DEBUG);
        }
    };
    if (showDebug)
    {
        const std::string& name = method->getName();
        OutputQueue::getInstance()->add("Sort using " +
                                            (name.empty() ? "User defined method" : name),
                                        OutputLevel::LEVEL_DEBUG);
        showQueue("Evaluation queue before sort:");
    }

    // The keyed sort works on a vector; moving the pointers there and back
    // costs little next to the sort, which runs once per filling.
    std::vector<std::shared_ptr<EvalQueuePoint>> entries(
        std::make_move_iterator(_evalPointQueue.begin()),
        std::make_move_iterator(_evalPointQueue.end()));
    try
    {
        sortEvalQueue(entries, method);
    }
    catch (...)
    {
        std::move(entries.begin(), entries.end(), _evalPointQueue.begin());
        throw;
    }
    std::move(entries.begin(), entries.end(), _evalPointQueue.begin());

    if (showDebug)
    {
        showQueue("Evaluation queue after sort:");
    }
}

bool EvaluatorControl::popEvalPoint(std::shared_ptr<EvalQueuePoint>& evalQueuePoint,
                                    Evaluator*& evaluator, Double& hMax)
{
    const int callingThread = getThreadNum();
    const double epsilon = Double::getEpsilon();
    for (auto it = _evalPointQueue.rbegin(); it != _evalPointQueue.rend(); ++it)
    {
        const int threadNum = (*it)->getThreadAlgo();
        if (threadNum != callingThread && stopMainEval(threadNum))
        {
            continue;
        }
        EvcMainThreadInfo& info = getMainThreadInfo(threadNum);
        if (evaluator != nullptr && evaluator != info.getEvaluator().get())
        {
            continue;
        }
        if (hMax.isDefined() &&
            !(std::fabs(hMax.todouble() - getHMax(threadNum).todouble()) < epsilon))
        {
            continue;
        }

        evalQueuePoint = takeAt(std::next(it).base());
        if (evaluator == nullptr)
        {
            evaluator = info.getEvaluator().get();
        }
        if (!hMax.isDefined())
        {
            hMax = getHMax(threadNum);
        }
        info.incCurrentlyRunning();
        info.decNbPointsInQueue();
        return true;
    }
    return false;
}

bool EvaluatorControl::popBlock(std::vector<std::shared_ptr<EvalQueuePoint>>& block)
{
    refreshGlobalParametersIfStale();
    if (!block.empty())
    {
        return false;
    }

    Evaluator* evaluator = nullptr;
    Double hMax;
    size_t limit = 1;
    std::shared_ptr<EvalQueuePoint> point;
    while (popEvalPoint(point, evaluator, hMax))
    {
        block.push_back(std::move(point));
        if (block.size() == 1)
        {
            const EvalType evalType =
                (evaluator != nullptr) ? evaluator->getEvalType() : EvalType::UNDEFINED;
            if (evalType == EvalType::BB)
            {
                limit = _settings.bbMaxBlockSize;
                // A whole block is evaluated before the budget is looked at
                // again: never take more points than the budget has left.
                const size_t maxBbEval = _settings.maxBbEval;
                const size_t done = _bbEval.load();
                if (maxBbEval != std::numeric_limits<size_t>::max() && done < maxBbEval)
                {
                    limit = std::min(limit, maxBbEval - done);
                }
            }
            else if (evalType == EvalType::SGTE)
            {
                limit = _settings.sgteMaxBlockSize;
            }
            else
            {
                std::cerr << "EvaluatorControl::popBlock: Unknown eval type "
                          << evalTypeToString(evalType) << std::endl;
            }
        }
        if (block.size() >= limit)
        {
            break;
        }
    }
    return !block.empty();
}

void EvaluatorControl::releaseFromCache(const EvalQueuePoint& point) const
{
    // A point recorded by the cache when it was queued (smartInsert) answers "already
    // inserted, not evaluated" to every later offer of it: a point released
    // unevaluated would never be evaluated in this run. Make it new again.
    const int thread = point.getThreadAlgo();
    if (!CacheBase::hasInstance() || !isMainThread(thread) ||
        !getMainThreadInfo(thread).getUseCache())
    {
        return;
    }
    try
    {
        CacheBase::getInstance()->eraseUnevaluated(point);
    }
    catch (...)
    {
        // Also called on destruction; the point then only stays unevaluated.
    }
}

size_t EvaluatorControl::clearQueue(int mainThreadNum, bool showDebug)
{
    if (mainThreadNum == -1)
    {
        const size_t removed = _evalPointQueue.size();
        for (const auto& entry : _evalPointQueue)
        {
            releaseFromCache(*entry);
        }
        _evalPointQueue.clear();
        _queueIndex.clear();
        ++_queueIndexChanges;
        for (auto& entry : _mainThreadInfo)
        {
            entry.second.setNbPointsInQueue(0);
        }
        return removed;
    }

    EvcMainThreadInfo& info = getMainThreadInfo(mainThreadNum);
    const bool show = showDebug && isShown(OutputLevel::LEVEL_DEBUG);
    // With one main thread every point goes: the index is emptied at once
    // rather than searched for each point.
    const bool removesAll = std::all_of(_evalPointQueue.begin(), _evalPointQueue.end(),
                                        [mainThreadNum](const auto& entry)
                                        { return entry->getThreadAlgo() == mainThreadNum; });
    size_t removed = 0;
    Queue kept;
    for (auto& entry : _evalPointQueue)
    {
        if (entry->getThreadAlgo() == mainThreadNum)
        {
            if (show)
            {
                OutputQueue::getInstance()->add("Delete point from queue: " + entry->display(),
                                                OutputLevel::LEVEL_DEBUG);
            }
            if (!removesAll)
            {
                indexErase(entry.get());
            }
            releaseFromCache(*entry);
            ++removed;
        }
        else
        {
            kept.push_back(std::move(entry));
        }
    }
    _evalPointQueue.swap(kept);
    if (removesAll)
    {
        _queueIndex.clear();
        ++_queueIndexChanges;
    }
    info.setNbPointsInQueue(0);
    return removed;
}

const EvalQueuePoint* EvaluatorControl::findInQueue(const Point& x, QueuePlace* place)
{
    QueueIndex& index = queueIndex();
    const auto it = lowerBound(index, x);
    if (nullptr != place)
    {
        place->_owner = this;
        place->_position = it;
        place->_changes = _queueIndexChanges;
        place->_found = true;
    }
    if (it == index.end() || Point::weakLess(x, **it))
    {
        return nullptr;
    }
    return *it;
}

size_t EvaluatorControl::getQueueSize(int mainThreadNum) const
{
    if (mainThreadNum == -1)
    {
        return _evalPointQueue.size();
    }
    return getMainThreadInfo(mainThreadNum).getNbPointsInQueue();
}

void EvaluatorControl::debugDisplayQueue() const
{
    std::cout << "Evaluation Queue" << (_evalPointQueue.empty() ? " is empty." : ":") << std::endl;
    for (const auto& entry : _evalPointQueue)
    {
        std::cout << "    Main thread: " << itos(entry->getThreadAlgo())
                  << " EvalType: " << evalTypeToString(entry->getEvalType()) << " "
                  << entry->displayAll() << std::endl;
    }
}

// ---------------------------------------------------------------------------
// References and per-thread state
// ---------------------------------------------------------------------------

void EvaluatorControl::setBarrier(const std::shared_ptr<Barrier>& barrier,
                                  const Point& fixedVariable)
{
    getMainThreadInfo(-1).setBarrier(barrier, fixedVariable);
}

std::vector<EvalPoint> EvaluatorControl::getBarrierPointsInFullSpace(int mainThreadNum) const
{
    const EvcMainThreadInfo& info = getMainThreadInfo(mainThreadNum);
    if (nullptr == info.getBarrier())
    {
        return {};
    }
    std::vector<EvalPoint> points = info.getBarrier()->getAllPoints();
    if (info.getBarrierFixedVariable().nbDefined() > 0)
    {
        for (auto& point : points)
        {
            point = point.makeFullSpacePointFromFixed(info.getBarrierFixedVariable());
        }
    }
    return points;
}

const std::shared_ptr<Barrier>& EvaluatorControl::getBarrier(int mainThreadNum) const
{
    return getMainThreadInfo(mainThreadNum).getBarrier();
}

Double EvaluatorControl::getHMax(int mainThreadNum) const
{
    const auto& barrier = getMainThreadInfo(mainThreadNum).getBarrier();
    return barrier ? barrier->getHMax() : Double(INF);
}

void EvaluatorControl::setLastSuccessfulDir(const std::shared_ptr<Direction>& dir)
{
    getMainThreadInfo(-1).setLastSuccessfulDir(dir);
}

void EvaluatorControl::setComputeSuccessTypeFunction(
    const ComputeSuccessType::Function& computeSuccessFunction)
{
    getMainThreadInfo(-1).setComputeSuccessTypeFunction(computeSuccessFunction);
}

bool EvaluatorControl::getDoneWithEval(int mainThreadNum) const
{
    return getMainThreadInfo(mainThreadNum).getDoneWithEval();
}

void EvaluatorControl::setDoneWithEval(int mainThreadNum, bool doneWithEval)
{
    getMainThreadInfo(mainThreadNum).setDoneWithEval(doneWithEval);
}

size_t EvaluatorControl::getSgteEval(int mainThreadNum) const
{
    return getMainThreadInfo(mainThreadNum).getSgteEval();
}

void EvaluatorControl::resetSgteEval(int mainThreadNum)
{
    getMainThreadInfo(mainThreadNum).resetSgteEval();
}

size_t EvaluatorControl::getBbEvalInSubproblem(int mainThreadNum) const
{
    return getMainThreadInfo(mainThreadNum).getBbEvalInSubproblem();
}

void EvaluatorControl::resetBbEvalInSubproblem(int mainThreadNum)
{
    getMainThreadInfo(mainThreadNum).resetBbEvalInSubproblem();
}

size_t EvaluatorControl::getLapBbEval(int mainThreadNum) const
{
    return getMainThreadInfo(mainThreadNum).getLapBbEval();
}

void EvaluatorControl::resetLapBbEval()
{
    getMainThreadInfo(-1).resetLapBbEval();
}

size_t EvaluatorControl::getLapMaxBbEval(int mainThreadNum) const
{
    return getMainThreadInfo(mainThreadNum).getLapMaxBbEval();
}

void EvaluatorControl::setLapMaxBbEval(size_t maxBbEval)
{
    getMainThreadInfo(-1).setLapMaxBbEval(maxBbEval);
}

const std::shared_ptr<EvalPoint>& EvaluatorControl::getBestIncumbent(int mainThreadNum) const
{
    return getMainThreadInfo(mainThreadNum).getBestIncumbent();
}

void EvaluatorControl::setBestIncumbent(int mainThreadNum,
                                        const std::shared_ptr<EvalPoint>& bestIncumbent)
{
    getMainThreadInfo(mainThreadNum).setBestIncumbent(bestIncumbent);
}

const SuccessType& EvaluatorControl::getSuccessType(int mainThreadNum) const
{
    return getMainThreadInfo(mainThreadNum).getSuccessType();
}

void EvaluatorControl::setSuccessType(int mainThreadNum, const SuccessType& successType)
{
    getMainThreadInfo(mainThreadNum).setSuccessType(successType);
}

std::vector<EvalPoint> EvaluatorControl::retrieveAllEvaluatedPoints(int mainThreadNum)
{
    return getMainThreadInfo(mainThreadNum).retrieveAllEvaluatedPoints();
}

void EvaluatorControl::addEvaluatedPoint(int mainThreadNum, const EvalPoint& evalPoint)
{
    getMainThreadInfo(mainThreadNum).addEvaluatedPoint(evalPoint);
}

bool EvaluatorControl::remainsEvaluatedPoints(int mainThreadNum) const
{
    return getMainThreadInfo(mainThreadNum).remainsEvaluatedPoints();
}

void EvaluatorControl::clearEvaluatedPoints(int mainThreadNum)
{
    getMainThreadInfo(mainThreadNum).clearEvaluatedPoints();
}

std::shared_ptr<EvalParameters> EvaluatorControl::getEvalParams(int mainThreadNum) const
{
    return getMainThreadInfo(mainThreadNum).getEvalParams();
}

EvalType EvaluatorControl::getEvalType(int mainThreadNum) const
{
    return getMainThreadInfo(mainThreadNum).getEvalType();
}

bool EvaluatorControl::getOpportunisticEval(int mainThreadNum) const
{
    return getMainThreadInfo(mainThreadNum).getOpportunisticEval();
}

void EvaluatorControl::setOpportunisticEval(bool opportunisticEval)
{
    getMainThreadInfo(-1).setOpportunisticEval(opportunisticEval);
}

bool EvaluatorControl::getUseCache(int mainThreadNum) const
{
    return getMainThreadInfo(mainThreadNum).getUseCache();
}

void EvaluatorControl::setUseCache(bool useCache)
{
    getMainThreadInfo(-1).setUseCache(useCache);
}

size_t EvaluatorControl::getMaxBbEvalInSubproblem(int mainThreadNum) const
{
    return getMainThreadInfo(mainThreadNum).getMaxBbEvalInSubproblem();
}

void EvaluatorControl::setMaxBbEvalInSubproblem(size_t maxBbEval)
{
    getMainThreadInfo(-1).setMaxBbEvalInSubproblem(maxBbEval);
}

// ---------------------------------------------------------------------------
// Run loop
// ---------------------------------------------------------------------------

namespace
{

/// Gives back the running count of every point of a block when the block
/// is done with, whatever happened during its evaluation.
class RunningRelease
{
public:
    RunningRelease(const EvaluatorControl& evc,
                   const std::vector<std::shared_ptr<EvalQueuePoint>>& block)
        : _evc(evc), _block(block)
    {
    }
    ~RunningRelease()
    {
        for (const auto& point : _block)
        {
            try
            {
                _evc.getMainThreadInfo(point->getThreadAlgo()).decCurrentlyRunning();
            }
            catch (...)
            {
                // A count already at 0 stays there.
            }
        }
    }
    RunningRelease(const RunningRelease&) = delete;
    RunningRelease& operator=(const RunningRelease&) = delete;

private:
    const EvaluatorControl& _evc;
    const std::vector<std::shared_ptr<EvalQueuePoint>>& _block;
};

} // namespace

SuccessType EvaluatorControl::run()
{
    const int threadNum = getThreadNum();
    const bool isMain = isMainThread(threadNum);

    if (isMain)
    {
        // The budgets of this call: a hot restart may have changed them.
        readGlobalParameters();

        EvcMainThreadInfo& info = getMainThreadInfo(threadNum);
        info.setSuccessType(SuccessType::FAILURE);
        if (info.getNbPointsInQueue() == 0)
        {
            info.setStopReason(EvalMainThreadStopType::EMPTY_LIST_OF_POINTS);
        }
        const bool threadTerminates = checkEvalTerminate(threadNum);
        const bool globalTerminates = AllStopReasons::_evalGlobalStopReason.checkTerminate();
        if (threadTerminates || globalTerminates ||
            AllStopReasons::_baseStopReason.checkTerminate())
        {
            if (isShown(OutputLevel::LEVEL_DEBUG))
            {
                std::string msg = "EvaluatorControl stop reason (before evaluating queue): ";
                if (threadTerminates)
                {
                    msg += getStopReasonAsString(threadNum) + " (Eval Main Thread)";
                }
                else if (globalTerminates)
                {
                    msg += AllStopReasons::getEvalGlobalStopReasonAsString();
                }
                else
                {
                    msg += AllStopReasons::getBaseStopReasonAsString();
                }
                OutputQueue::getInstance()->add(msg, OutputLevel::LEVEL_DEBUG);
                OutputQueue::getInstance()->flush();
            }
        }
        else
        {
            info.setStopReason(EvalMainThreadStopType::STARTED);
        }

        OutputQueue::addIfShown(
            OutputLevel::LEVEL_DEBUG,
            [&]
            {
                const auto& barrier = info.getBarrier();
                return "Start evaluation. Opportunism = " +
                       boolToString(info.getOpportunisticEval()) +
                       ", UseCache = " + boolToString(info.getUseCache()) + ", Barrier" +
                       (barrier ? ":\n" + barrier->display(4) : std::string(" = NULL"));
            });
    }

    const auto doneMessage = [isMain]
    {
        if (isMain)
        {
            OutputQueue::addIfShown(
                OutputLevel::LEVEL_DEBUG,
                [] { return std::string("Queue is empty and we are done with evaluations."); });
        }
    };

    std::vector<std::shared_ptr<EvalQueuePoint>> block;
    while (!_doneWithEvalQueue)
    {
        if (0 != SignalRecord::getTermination())
        {
            // Asked to end: no further block starts; the steps print the
            // texts at their next test.
            AllStopReasons::_baseStopReason.set(BaseStopType::CTRL_C);
        }
        if ((isMain && stopMainEval(threadNum)) || reachedMaxEvalWithSettings())
        {
            if (_doneWithEvalQueue)
            {
                doneMessage();
            }
            break;
        }

        block.clear();
        if (!popBlock(block))
        {
            if (_doneWithEvalQueue)
            {
                doneMessage();
            }
            // Only this thread feeds and empties the queue: when nothing
            // fits now, nothing will until this call returns.
            break;
        }

        const RunningRelease release(*this, block);
        if (evalBlock(block))
        {
            for (const auto& point : block)
            {
                EvcMainThreadInfo& info = getMainThreadInfo(point->getThreadAlgo());
                if (point->getSuccess() > info.getSuccessType())
                {
                    info.setSuccessType(point->getSuccess());
                }
                countSuccess(*point);
                AddDirectToFileInfo(point);
                if (info.getOpportunisticEval() &&
                    info.getSuccessType() >= SuccessType::PARTIAL_SUCCESS)
                {
                    info.setStopReason(EvalMainThreadStopType::OPPORTUNISTIC_SUCCESS);
                }
            }
            AddStatsInfo(block);
        }
    }

    if (!isMain)
    {
        return SuccessType::FAILURE;
    }

    // Every evaluation of this build ends before evalBlock returns, so no
    // evaluation of this thread is still running here: nothing to wait for.

    if (_settings.clearEvalQueue)
    {
        const size_t nbCleared = clearQueue(threadNum, false);
        OutputQueue::addIfShown(
            OutputLevel::LEVEL_DEBUG, [nbCleared]
            { return "Evaluation is done. Cleared queue of " + itos(nbCleared) + " points."; });
    }
    OutputQueue::addIfShown(OutputLevel::LEVEL_DEBUG,
                            [&]
                            {
                                return "EvaluatorControl stop reason (main thread): " +
                                       getStopReasonAsString(threadNum) + " (global): " +
                                       AllStopReasons::getEvalGlobalStopReasonAsString();
                            });
    OutputQueue::getInstance()->flush();
    return getSuccessType(threadNum);
}

bool EvaluatorControl::evalBlock(std::vector<std::shared_ptr<EvalQueuePoint>>& block)
{
    if (block.empty())
    {
        return false;
    }
    const int threadNum = block[0]->getThreadAlgo();
    // Held for the length of the evaluation, whatever the evaluator does to
    // the thread's record.
    const std::shared_ptr<Evaluator> evaluator = getMainThreadInfo(threadNum).getEvaluator();
    if (!evaluator)
    {
        QARNO_THROW(Exception, "EvaluatorControl: Eval Block: main thread " + itos(threadNum) +
                                   " has no evaluator");
    }
    const Double hMax = getHMax(threadNum);

    // The evaluator writes into the queue points themselves.
    std::vector<std::shared_ptr<EvalPoint>> points(block.begin(), block.end());
    const std::vector<bool> evalOk = evalBlockOfPoints(points, *evaluator, hMax);

    bool anyOk = false;
    for (size_t i = 0; i < block.size(); ++i)
    {
        getMainThreadInfo(block[i]->getThreadAlgo()).addEvaluatedPoint(*block[i]);
        computeSuccess(block[i], evalOk[i], hMax);
        anyOk = anyOk || evalOk[i];
    }
    return anyOk;
}

std::vector<bool>
EvaluatorControl::evalBlockOfPoints(std::vector<std::shared_ptr<EvalPoint>>& block,
                                    const Evaluator& evaluator, const Double& hMax)
{
    const EvalType evalType = evaluator.getEvalType();
    std::vector<bool> evalOk(block.size(), false);
    std::vector<bool> countEval(block.size(), false);

    for (const auto& point : block)
    {
        if (!point || !point->isComplete())
        {
            QARNO_THROW(Exception,
                        "EvaluatorControl: Eval Single Point: Trying to evaluate an undefined "
                        "Point " +
                            (point ? coordinatesOf(*point) : std::string()));
        }
    }

    // The record is only shown at the debug level: it is built only then.
    const bool showDebug = isShown(OutputLevel::LEVEL_DEBUG);
    std::unique_ptr<OutputInfo> record;
    if (showDebug)
    {
        record = std::make_unique<OutputInfo>(
            "EvaluatorControl", "Thread = " + itos(getThreadNum()), OutputLevel::LEVEL_DEBUG);
    }

    try
    {
        try
        {
            for (const auto& point : block)
            {
                if (!updateEvalStatusBeforeEval(*point))
                {
                    point->setEvalStatus(EvalStatusType::EVAL_WAIT, evalType);
                    if (record)
                    {
                        record->addMsg("Set eval status to wait: " + point->displayAll());
                    }
                }
            }
            if (record)
            {
                record->addMsg("Start evaluation of block of " + itos(block.size()) + " points.");
            }
            // An evaluator may hand back new point objects in the block (a
            // model evaluator works on sub-space copies): their results go
            // into the points the queue holds, which the caller reads.
            const std::vector<std::shared_ptr<EvalPoint>> given = block;
            evalOk = evaluator.eval_block(block, hMax, countEval);
            for (size_t i = 0; i < given.size() && i < block.size(); ++i)
            {
                if (block[i] && block[i] != given[i])
                {
                    static_cast<EvalPoint&>(*given[i]) = *block[i];
                }
            }
            block = given;
        }
        catch (const std::exception& e)
        {
            QARNO_THROW(Exception,
                        std::string("EvaluatorControl: Eval Block of Points: eval_x returned "
                                    "an exception: ") +
                            e.what());
        }
        // An evaluator that answers for fewer points than it was given did
        // not evaluate the others.
        evalOk.resize(block.size(), false);
        countEval.resize(block.size(), false);

        for (size_t i = 0; i < block.size(); ++i)
        {
            EvalPoint& point = *block[i];
            EvcMainThreadInfo& info = getMainThreadInfo(point.getThreadAlgo());
            if (evalOk[i] && !point.getF(evalType).isDefined())
            {
                const std::string msg = "Warning: EvaluatorControl: Point " + point.display() +
                                        ": Eval ok but f not defined. Setting evalOk to false.";
                std::cerr << msg << std::endl;
                if (record)
                {
                    record->addMsg(msg);
                }
                evalOk[i] = false;
                point.setEvalStatus(EvalStatusType::EVAL_FAILED, evalType);
            }
            if (evalOk[i] && point.getEval(evalType) == nullptr)
            {
                QARNO_THROW(Exception,
                            "EvaluatorControl: Eval Single Point: no Eval on EvalPoint that "
                            "was just evaluated. " +
                                point.display());
            }

            countEvaluation(point, info, evalType, evalOk[i], countEval[i]);
            updateEvalStatusAfterEval(point, evalOk[i]);

            if (info.getUseCache() && !CacheBase::getInstance()->update(point, evalType))
            {
                const std::string msg = "Warning: EvaluatorControl::evalBlockOfPoints: Could not "
                                        "update to " +
                                        enumStr(point.getEvalStatus(evalType)) + " (" +
                                        evalTypeToString(evalType) + ")";
                if (record)
                {
                    record->addMsg(msg);
                }
                QARNO_THROW(Exception, msg);
            }
        }
    }
    catch (...)
    {
        abandonBlock(block, evalType);
        throw;
    }

    if (evalType == EvalType::BB)
    {
        _blockEval.fetch_add(1);
    }
    if (record)
    {
        OutputQueue::Add(std::move(*record));
    }
    return evalOk;
}

void EvaluatorControl::abandonBlock(std::vector<std::shared_ptr<EvalPoint>>& block,
                                    EvalType evalType) noexcept
{
    for (const auto& point : block)
    {
        try
        {
            if (!point)
            {
                continue;
            }
            const EvalStatusType status = point->getEvalStatus(evalType);
            if (status != EvalStatusType::EVAL_IN_PROGRESS && status != EvalStatusType::EVAL_WAIT)
            {
                continue;
            }
            point->setEvalStatus(EvalStatusType::EVAL_ERROR, evalType);
            if (getMainThreadInfo(point->getThreadAlgo()).getUseCache())
            {
                CacheBase::getInstance()->update(*point, evalType);
            }
        }
        catch (...)
        {
            // The exception being thrown says what went wrong; the other
            // points are settled all the same.
        }
    }
}

void EvaluatorControl::countEvaluation(EvalPoint& evalPoint, EvcMainThreadInfo& info,
                                       EvalType evalType, bool evalOk, bool countEval)
{
    if (evalType == EvalType::SGTE)
    {
        info.incSgteEval();
        _totalSgteEval.fetch_add(1);
        return;
    }
    info.incBbEvalInSubproblem();
    info.incLapBbEval();
    if (countEval)
    {
        _bbEval.fetch_add(1);
    }
    if (!evalOk)
    {
        _bbEvalNotOk.fetch_add(1);
    }
    // A failed evaluation reads h = 0 from its output, which is no
    // feasibility: it counts with the infeasible ones.
    if (evalOk && evalPoint.isFeasible(evalType))
    {
        _feasBBEval.fetch_add(1);
    }
    else
    {
        _infBBEval.fetch_add(1);
    }
    _nbEvalSentToEvaluator.fetch_add(1);
    evalPoint.incNumberEval();
}

void EvaluatorControl::countSuccess(const EvalQueuePoint& evalQueuePoint)
{
    const bool relativeSuccess = evalQueuePoint.getRelativeSuccess();
    if (evalQueuePoint.getSuccess() == SuccessType::FULL_SUCCESS &&
        evalQueuePoint.getEvalType() == EvalType::BB)
    {
        if (evalQueuePoint.getInPhaseOne())
        {
            _nbPhaseOneSuccess.fetch_add(1);
        }
        if (!relativeSuccess)
        {
            _indexBestInfeasEval.store(_bbEval.load());
        }
    }
    if (relativeSuccess)
    {
        _nbRelativeSuccess.fetch_add(1);
        _indexSuccBlockEval.store(_blockEval.load());
        _indexBestFeasEval.store(_bbEval.load());
    }
}

bool EvaluatorControl::evalSinglePoint(EvalPoint& evalPoint, int mainThreadNum, const Double& hMax)
{
    const std::shared_ptr<Evaluator> evaluator = getMainThreadInfo(mainThreadNum).getEvaluator();
    if (!evaluator)
    {
        QARNO_THROW(Exception, "EvaluatorControl: Eval Single Point: main thread " +
                                   itos(mainThreadNum) + " has no evaluator");
    }
    std::vector<std::shared_ptr<EvalPoint>> block{std::make_shared<EvalPoint>(evalPoint)};
    const std::vector<bool> evalOk = evalBlockOfPoints(block, *evaluator, hMax);
    evalPoint = *block[0];
    return evalOk[0];
}

bool EvaluatorControl::updateEvalStatusBeforeEval(EvalPoint& evalPoint)
{
    EvcMainThreadInfo& info = getMainThreadInfo(evalPoint.getThreadAlgo());
    const EvalType evalType = info.getEvalType();
    const bool useCache = info.getUseCache();

    const EvalPoint* found = &evalPoint;
    if (useCache)
    {
        EvalPoint& foundPoint = _cacheCopy;
        if (CacheBase::getInstance()->find(evalPoint, foundPoint, EvalType::UNDEFINED) == 0)
        {
            // Trial points enter the cache when their evaluation starts (see
            // CacheBase::offer): the point itself is what the cache learns.
            CacheBase::getInstance()->insert(evalPoint);
        }
        else
        {
            found = &foundPoint;
        }
    }

    bool doEval = true;
    const EvalStatusType status = found->getEvalStatus(evalType);
    switch (status)
    {
    case EvalStatusType::EVAL_NOT_STARTED:
    case EvalStatusType::EVAL_STATUS_UNDEFINED:
        break;
    case EvalStatusType::EVAL_FAILED:
    case EvalStatusType::EVAL_ERROR:
    case EvalStatusType::EVAL_USER_REJECTED:
    case EvalStatusType::EVAL_CONS_H_OVER:
    case EvalStatusType::EVAL_OK:
        if (evalType == EvalType::BB)
        {
            OutputQueue::addIfShown(
                OutputLevel::LEVEL_WARNING, [found]
                { return "Warning: Point " + found->display() + " will be re-evaluated."; });
        }
        break;
    case EvalStatusType::EVAL_IN_PROGRESS:
        std::cerr << "Warning: QARNO::EvaluatorControl: updateEvalStatusBeforeEval: "
                  << "Evaluation of EvalPoint " << coordinatesOf(evalPoint)
                  << " is already in progress" << std::endl;
        doEval = false;
        break;
    case EvalStatusType::EVAL_WAIT:
        std::cerr << "Error: QARNO::EvaluatorControl: updateEvalStatusBeforeEval: "
                  << "Evaluation of EvalPoint " << coordinatesOf(evalPoint) << " has status "
                  << enumStr(EvalStatusType::EVAL_WAIT) << std::endl;
        doEval = false;
        break;
    default:
        QARNO_THROW(Exception, "Unknown eval status: " + enumStr(status));
    }

    evalPoint.setEvalStatus(EvalStatusType::EVAL_IN_PROGRESS, evalType);
    if (useCache && !CacheBase::getInstance()->update(evalPoint, evalType))
    {
        QARNO_THROW(Exception,
                    "Warning: EvaluatorControl::updateEvalStatusBeforeEval: Could not update "
                    "to IN_PROGRESS (" +
                        evalTypeToString(evalType) + ")");
    }
    return doEval;
}

void EvaluatorControl::updateEvalStatusAfterEval(EvalPoint& evalPoint, bool evalOk)
{
    const EvalType evalType = getMainThreadInfo(evalPoint.getThreadAlgo()).getEvalType();
    const EvalStatusType status = evalPoint.getEvalStatus(evalType);
    switch (status)
    {
    case EvalStatusType::EVAL_IN_PROGRESS:
        evalPoint.setEvalStatus(evalOk ? EvalStatusType::EVAL_OK : EvalStatusType::EVAL_FAILED,
                                evalType);
        break;
    case EvalStatusType::EVAL_WAIT:
        evalPoint.setEvalStatus(EvalStatusType::EVAL_NOT_STARTED, evalType);
        break;
    case EvalStatusType::EVAL_FAILED:
    case EvalStatusType::EVAL_ERROR:
    case EvalStatusType::EVAL_USER_REJECTED:
    case EvalStatusType::EVAL_CONS_H_OVER:
    case EvalStatusType::EVAL_OK:
        break;
    case EvalStatusType::EVAL_NOT_STARTED:
    case EvalStatusType::EVAL_STATUS_UNDEFINED:
        QARNO_THROW(Exception,
                    "Eval status after evaluation is: " + enumStr(status) + ". Cannot be handled.");
    default:
        QARNO_THROW(Exception, "Unknown eval status: " + enumStr(status));
    }
}

void EvaluatorControl::computeSuccess(const std::shared_ptr<EvalQueuePoint>& evalQueuePoint,
                                      bool evalOk, const Double& hMax)
{
    const EvalType evalType = evalQueuePoint->getEvalType();
    EvcMainThreadInfo& info = getMainThreadInfo(evalQueuePoint->getThreadAlgo());

    SuccessType success = SuccessType::FAILURE;
    bool relativeSuccess = false;
    if (evalOk)
    {
        static const std::shared_ptr<EvalPoint> noReference;
        const auto& barrier = info.getBarrier();
        const std::shared_ptr<EvalPoint> point = evalQueuePoint;
        const ComputeSuccessType& rule = info.getComputeSuccessType();
        if (evalQueuePoint->isFeasible(evalType))
        {
            success = rule(point, barrier ? barrier->getRefBestFeas() : noReference, INF);
        }
        else
        {
            success = rule(point, barrier ? barrier->getRefBestInf() : noReference, hMax);
        }

        relativeSuccess = (evalType == EvalType::BB && success >= SuccessType::PARTIAL_SUCCESS);
        if (relativeSuccess)
        {
            // The barrier's references stay those of the iteration's start,
            // so several points of one iteration can succeed against them:
            // only one that also improves on the best point evaluated so far
            // is a success of the run. A feasible point improves on any
            // infeasible one.
            const std::shared_ptr<EvalPoint>& best = info.getBestIncumbent();
            if (!best || (evalQueuePoint->isFeasible(evalType) && !best->isFeasible(evalType)) ||
                ComputeSuccessType::defaultComputeSuccessType(point, best, INF) >=
                    SuccessType::PARTIAL_SUCCESS)
            {
                info.setBestIncumbent(point);
            }
            // The thread's own rule may still have kept the previous best.
            relativeSuccess = (info.getBestIncumbent() == point);
        }
    }
    evalQueuePoint->setSuccess(success);
    evalQueuePoint->setRelativeSuccess(relativeSuccess);

    OutputQueue::addIfShown(OutputLevel::LEVEL_DEBUG,
                            [&]
                            {
                                return evalTypeToString(evalType) + " Evaluation done for " +
                                       evalQueuePoint->displayAll() +
                                       ". Success found: " + enumStr(success);
                            });
}

// ---------------------------------------------------------------------------
// Stop criteria
// ---------------------------------------------------------------------------

bool EvaluatorControl::reachedMaxEval() const
{
    if (isBudgetReason(AllStopReasons::_evalGlobalStopReason.get()))
    {
        return true;
    }
    try
    {
        readGlobalParameters();
    }
    catch (const ParameterToBeChecked&)
    {
        return false;
    }
    return reachedMaxEvalWithSettings();
}

size_t EvaluatorControl::getRemainingEvalBudget() const
{
    try
    {
        readGlobalParameters();
    }
    catch (const ParameterToBeChecked&)
    {
        return SIZE_T_INF;
    }
    const auto left = [](size_t budget, size_t used)
    { return (SIZE_T_INF == budget) ? SIZE_T_INF : ((used >= budget) ? 0 : budget - used); };
    size_t remaining =
        std::min(left(_settings.maxBbEval, _bbEval.load()), left(_settings.maxEval, getNbEval()));
    const size_t blocks = left(_settings.maxBlockEval, _blockEval.load());
    if (SIZE_T_INF != blocks)
    {
        const size_t blockSize = std::max<size_t>(1, _settings.bbMaxBlockSize);
        remaining = std::min(remaining, (blocks > SIZE_T_INF / blockSize) ? SIZE_T_INF - 1
                                                                          : blocks * blockSize);
    }
    return remaining;
}

bool EvaluatorControl::reachedMaxEvalWithSettings() const
{
    auto& reason = AllStopReasons::_evalGlobalStopReason;
    if (isBudgetReason(reason.get()))
    {
        return true;
    }
    if (_settingsStale)
    {
        // Budgets that could not be read limit nothing.
        return false;
    }

    size_t count = 0;
    const size_t bbEval = _bbEval.load();
    const size_t blockEval = _blockEval.load();
    if (_settings.maxBbEval != SIZE_T_INF && bbEval >= _settings.maxBbEval)
    {
        reason.set(EvalGlobalStopType::MAX_BB_EVAL_REACHED);
        count = bbEval;
    }
    else if (_settings.maxEval != SIZE_T_INF && getNbEval() >= _settings.maxEval)
    {
        reason.set(EvalGlobalStopType::MAX_EVAL_REACHED);
        count = getNbEval();
    }
    else if (_settings.maxBlockEval != SIZE_T_INF && blockEval >= _settings.maxBlockEval)
    {
        reason.set(EvalGlobalStopType::MAX_BLOCK_EVAL_REACHED);
        count = blockEval;
    }
    else
    {
        return false;
    }
    OutputQueue::addIfShown(OutputLevel::LEVEL_NORMAL,
                            [count]
                            {
                                return "Reached stop criterion: " +
                                       AllStopReasons::getEvalGlobalStopReasonAsString() + " " +
                                       itos(count);
                            });
    return true;
}

bool EvaluatorControl::reachedMaxStepEval(int mainThreadNum) const
{
    EvcMainThreadInfo& info = getMainThreadInfo(mainThreadNum);
    if (isStepBudgetReason(info.getStopReason().get()))
    {
        return true;
    }

    size_t count = 0;
    const size_t maxSgteEval = _settings.maxSgteEval;
    const size_t lapMaxBbEval = info.getLapMaxBbEval();
    const size_t maxBbEvalInSubproblem = info.getMaxBbEvalInSubproblem();
    if (maxSgteEval != SIZE_T_INF && info.getSgteEval() >= maxSgteEval)
    {
        info.setStopReason(EvalMainThreadStopType::MAX_SGTE_EVAL_REACHED);
        count = info.getSgteEval();
    }
    else if (lapMaxBbEval != SIZE_T_INF && info.getLapBbEval() >= lapMaxBbEval)
    {
        info.setStopReason(EvalMainThreadStopType::LAP_MAX_BB_EVAL_REACHED);
        count = info.getLapBbEval();
    }
    else if (maxBbEvalInSubproblem != SIZE_T_INF &&
             info.getBbEvalInSubproblem() >= maxBbEvalInSubproblem)
    {
        info.setStopReason(EvalMainThreadStopType::SUBPROBLEM_MAX_BB_EVAL_REACHED);
        count = info.getBbEvalInSubproblem();
    }
    else
    {
        return false;
    }
    OutputQueue::addIfShown(OutputLevel::LEVEL_DEBUG,
                            [&]
                            {
                                return "Reached sub step stop criterion: " +
                                       getStopReasonAsString(mainThreadNum) + " " + itos(count);
                            });
    return true;
}

bool EvaluatorControl::stopMainEval(int mainThreadNum) const
{
    EvcMainThreadInfo& info = getMainThreadInfo(mainThreadNum);
    const bool threadTerminated = info.getStopReason().checkTerminate();
    const bool globalTerminated = AllStopReasons::_evalGlobalStopReason.checkTerminate();

    bool stop = false;
    if (threadTerminated ||
        info.getStopReason().get() == EvalMainThreadStopType::OPPORTUNISTIC_SUCCESS)
    {
        stop = true;
    }
    else if (info.getNbPointsInQueue() == 0)
    {
        info.setStopReason(EvalMainThreadStopType::ALL_POINTS_EVALUATED);
        stop = true;
    }
    else
    {
        stop = reachedMaxStepEval(mainThreadNum);
    }

    const bool baseTerminates = AllStopReasons::_baseStopReason.checkTerminate();
    const auto report = [&](bool withGlobal)
    {
        if (isShown(OutputLevel::LEVEL_DEBUG))
        {
            std::string msg = "stopMainEval returns true";
            if (stop)
            {
                msg += " for thread " + itos(mainThreadNum) + ": " +
                       getStopReasonAsString(mainThreadNum);
            }
            if (withGlobal)
            {
                msg += " " + AllStopReasons::getEvalGlobalStopReasonAsString();
            }
            if (baseTerminates)
            {
                msg += " " + AllStopReasons::getBaseStopReasonAsString();
            }
            OutputQueue::getInstance()->add(msg, OutputLevel::LEVEL_DEBUG);
        }
        OutputQueue::getInstance()->flush();
    };

    if (globalTerminated || reachedMaxEvalWithSettings())
    {
        report(true);
        return true;
    }
    if (stop)
    {
        report(false);
        return true;
    }
    if (baseTerminates)
    {
        OutputQueue::addIfShown(
            OutputLevel::LEVEL_DEBUG, []
            { return "stopMainEval returns true " + AllStopReasons::getBaseStopReasonAsString(); });
        return true;
    }
    return false;
}

bool EvaluatorControl::checkEvalTerminate(int mainThreadNum) const
{
    return getMainThreadInfo(mainThreadNum).getStopReason().checkTerminate();
}

bool EvaluatorControl::testIf(const EvalMainThreadStopType& stopType) const
{
    return getMainThreadInfo(-1).getStopReason().get() == stopType;
}

void EvaluatorControl::setStopReason(int mainThreadNum, const EvalMainThreadStopType& stopType)
{
    getMainThreadInfo(mainThreadNum).setStopReason(stopType);
}

const StopReason<EvalMainThreadStopType>& EvaluatorControl::getStopReason(int mainThreadNum) const
{
    return getMainThreadInfo(mainThreadNum).getStopReason();
}

std::string EvaluatorControl::getStopReasonAsString(int mainThreadNum) const
{
    return getMainThreadInfo(mainThreadNum).getStopReason().getStopReasonAsString();
}

// ---------------------------------------------------------------------------
// Counters and reports
// ---------------------------------------------------------------------------

size_t EvaluatorControl::getNbEval() const
{
    return _nbEvalSentToEvaluator.load() + CacheBase::_nbCacheHits.load();
}

void EvaluatorControl::setNbEval(size_t nbEval)
{
    const size_t cacheHits = CacheBase::_nbCacheHits.load();
    if (nbEval >= cacheHits)
    {
        _nbEvalSentToEvaluator.store(nbEval - cacheHits);
    }
    else
    {
        std::cerr << "Warning: trying to set EvaluatorControl NbEval to negative value: "
                  << itos(nbEval) << " - " << itos(cacheHits) << std::endl;
    }
}

void EvaluatorControl::AddStatsInfo(const std::vector<std::shared_ptr<EvalQueuePoint>>& block) const
{
    if (!isShown(OutputLevel::LEVEL_STATS))
    {
        return;
    }
    for (const auto& point : block)
    {
        if (point->getEvalType() != EvalType::BB)
        {
            break;
        }
        const int threadNum = point->getThreadAlgo();
        auto stats = std::make_unique<StatsInfo>();
        stats->setObj(point->getF(EvalType::BB));
        stats->setConsH(point->getH(EvalType::BB));
        stats->setHMax(getHMax(threadNum));
        stats->setBBE(_bbEval.load());
        stats->setFeasBBE(_feasBBEval.load());
        stats->setInfBBE(_infBBEval.load());
        stats->setRelSucc(_nbRelativeSuccess.load());
        stats->setPhaseOneSucc(_nbPhaseOneSuccess.load());
        stats->setBlkEva(_blockEval.load());
        stats->setBlkSize(block.size());
        stats->setBBO(point->getBBO(EvalType::BB));
        stats->setEval(_nbEvalSentToEvaluator.load());
        stats->setCacheHits(CacheBase::_nbCacheHits.load());
        stats->setCacheSize(CacheBase::hasInstance() ? CacheBase::getInstance()->size() : 0);
        stats->setIterNum(point->getK());
        stats->setTime(Clock::getRealTime());
        stats->setMeshIndex(ArrayOfDouble(point->size()));
        stats->setMeshSize(point->getMeshSize());
        stats->setFrameSize(point->getFrameSize());
        stats->setLap(getLapBbEval(threadNum));
        stats->setSgte(getSgteEval(threadNum));
        stats->setTotalSgte(_totalSgteEval.load());
        stats->setSol(*point);
        stats->setThreadAlgo(threadNum);
        stats->setThreadNum(getThreadNum());
        stats->setSuccess(point->getRelativeSuccess());
        stats->setComment(point->getComment());
        stats->setGenStep(point->getGenStep());
        stats->setSuccessType(point->getSuccess());

        OutputInfo info("EvaluatorControl", "Evaluated point: " + point->display(),
                        OutputLevel::LEVEL_STATS);
        info.setStatsInfo(std::move(stats));
        OutputQueue::Add(std::move(info));
    }
}

void EvaluatorControl::AddDirectToFileInfo(std::shared_ptr<EvalQueuePoint> evalQueuePoint) const
{
    const auto& writer = OutputDirectToFile::getInstance();
    if (!writer->goodToWrite() || evalQueuePoint->getEvalType() != EvalType::BB)
    {
        return;
    }
    StatsInfo stats;
    stats.setBBO(evalQueuePoint->getBBO(EvalType::BB));
    stats.setSol(*evalQueuePoint);
    // A success against the iteration's references may be worse than a point
    // evaluated since: the file follows the best feasible point of the run.
    const bool writeInSolutionFile =
        evalQueuePoint->getRelativeSuccess() && evalQueuePoint->isFeasible(EvalType::BB);
    writer->write(stats, writeInSolutionFile, true);
}

} // namespace QARNO_4_0_0
