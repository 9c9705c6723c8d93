#ifndef QARNO_EVAL_EVALUATORCONTROL_HPP
#define QARNO_EVAL_EVALUATORCONTROL_HPP

#include <atomic>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Eval/ComputeSuccessType.hpp"
#include "Eval/EvalPoint.hpp"
#include "Eval/EvalQueuePoint.hpp"
#include "Eval/EvcMainThreadInfo.hpp"
#include "Math/Direction.hpp"
#include "Math/Double.hpp"
#include "Type/EvalStatusType.hpp"
#include "Type/EvalType.hpp"
#include "Util/StopReason.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

class Barrier;
class ComparePriorityMethod;
class EvalParameters;
class Evaluator;
class EvaluatorControlGlobalParameters;
class EvaluatorControlParameters;

/// The evaluation queue of a run.
///
/// Steps queue their trial points here (`addToQueue`, between `lockQueue`
/// and `unlockQueue`, which orders the queue in opportunistic mode), then
/// call `run`, which takes blocks of points that share one evaluator and one
/// hMax, has the evaluator of the main thread that queued them evaluate
/// them, settles their statuses in the points and in the cache, counts
/// them, measures their success against the thread's barrier, and stops at
/// the budgets or, with opportunistic evaluation, after the block that
/// holds the first success. The step then takes the evaluated points back
/// with `retrieveAllEvaluatedPoints`.
///
///     evc.lockQueue();
///     evc.addToQueue(queuePoint);          // once per trial point
///     evc.unlockQueue(true);
///     SuccessType success = evc.run();
///     auto points = evc.retrieveAllEvaluatedPoints(-1);
///
/// What is kept per main thread (evaluator, options, counts, barrier, stop
/// reason...) is an `EvcMainThreadInfo`. A thread argument of -1 means the
/// calling thread (`getThreadNum()`); any other number must be a registered
/// main thread. Everything runs on the thread that started the run.
///
/// The queue is a deque: new points enter at the front and leave from the
/// back in constant time, so without ordering points are evaluated in the
/// order they were queued. Queued points are also indexed by coordinates
/// (`Point::weakLess`, the order of the cache), which is how a point already
/// queued is found. The global parameters used on every point or loop turn
/// (budgets, block sizes, CLEAR_EVAL_QUEUE, RANDOM_EVAL_SORT) are read at
/// `init` and again at each `run` (a hot restart may change a budget in
/// the middle of an algorithm), and by `reachedMaxEval` when another step
/// asks for it.
class EvaluatorControl
{
public:
    /// A user's ordering method is owned this way.
    using CompMethodPtr = std::shared_ptr<ComparePriorityMethod>;

    explicit EvaluatorControl(
        const std::shared_ptr<EvaluatorControlGlobalParameters>& evalContGlobalParams);
    /// Drops what is left, with a warning on standard error; never throws.
    virtual ~EvaluatorControl();
    EvaluatorControl(const EvaluatorControl&) = delete;
    EvaluatorControl& operator=(const EvaluatorControl&) = delete;

    // ---------------------------------------------------------------------
    // Set-up and life cycle
    // ---------------------------------------------------------------------

    /// Registers the calling thread (and only it) as main thread, reads the
    /// global parameters (which must be checked) and names the temporary
    /// files of the blackbox executable in TMP_DIR.
    void init(std::shared_ptr<Evaluator> evaluator,
              const std::shared_ptr<EvaluatorControlParameters>& evalContParams);

    /// Registers a main thread with its own checked copy of
    /// `evalContParams`; a number already registered changes nothing. The
    /// record starts with its own stop reason: `stopReason` is not kept.
    void addMainThread(int threadNum,
                       std::shared_ptr<StopReason<EvalMainThreadStopType>> stopReason,
                       const std::shared_ptr<Evaluator>& evaluator,
                       const std::shared_ptr<EvaluatorControlParameters>& evalContParams);

    const std::set<int>& getMainThreads() const { return _mainThreads; }
    bool isMainThread(int threadNum) const { return _mainThreads.count(threadNum) > 0; }

    /// The record of a main thread (-1: the calling thread); throws for a
    /// number that is not registered.
    EvcMainThreadInfo& getMainThreadInfo(int threadNum) const;

    const std::shared_ptr<EvaluatorControlGlobalParameters>& getEvcGlobalParams() const
    {
        return _evalContGlobalParams;
    }

    /// Clears every done flag, so that `run` can be entered again.
    void restart();
    /// The calling thread is done; the queue is done once every main thread is.
    void stop();
    bool getDoneWithEvalQueue() const { return _doneWithEvalQueue; }
    /// Drops the queued and the evaluated points, with warnings.
    void destroy();

    /// The calling thread's evaluator; returns the previous one.
    std::shared_ptr<Evaluator> setEvaluator(std::shared_ptr<Evaluator> evaluator);

    // ---------------------------------------------------------------------
    // Queue
    // ---------------------------------------------------------------------

    /// Queues the point; false, without queueing it, when its thread uses
    /// the cache and the point is queued already or its cached copy is being
    /// evaluated. Throws for a point with an undefined coordinate.
    bool addToQueue(const std::shared_ptr<EvalQueuePoint>& evalQueuePoint);
    /// Where `findInQueue` found the place of some coordinates in the queue.
    /// Handed back with a point of the same coordinates, it spares the second
    /// descent into the queue's index as long as the queue has not changed
    /// since; afterwards it is ignored.
    class QueuePlace;
    /// The same, for a point just offered to the cache, which answered with
    /// its copy of the point (`cached`, null when none): no second look-up.
    /// `place`, when given, must come from `findInQueue` of the point's
    /// coordinates.
    bool addOfferedToQueue(const std::shared_ptr<EvalQueuePoint>& evalQueuePoint,
                           const EvalPoint* cached, const QueuePlace* place = nullptr);

    /// The queue takes no lock: one thread fills and empties it.
    void lockQueue() {}
    /// Orders the queue when asked, in opportunistic mode, with at least two
    /// queued points. Throws when the calling thread is not a main thread.
    void unlockQueue(bool doSort);
    /// Orders the whole queue: the user's method when set, else a random
    /// order with RANDOM_EVAL_SORT, else by last successful direction.
    void sort();
    /// A method that takes precedence in `sort`; empty to go back to the
    /// built-in orders.
    void setUserCompMethod(const CompMethodPtr& compMethod) { _userCompMethod = compMethod; }

    /// Takes the point nearest the back that fits `evaluator` and `hMax`
    /// (an empty evaluator and an undefined hMax fit anything, and are then
    /// set from the point taken). False when none fits.
    bool popEvalPoint(std::shared_ptr<EvalQueuePoint>& evalQueuePoint, Evaluator*& evaluator,
                      Double& hMax);
    /// Fills an empty `block` with points of one evaluator and one hMax, at
    /// most the block size of the evaluator's type. False when nothing was
    /// taken (or `block` was not empty). A global parameter set changed and
    /// not checked since makes it throw `ParameterToBeChecked`, taking nothing.
    bool popBlock(std::vector<std::shared_ptr<EvalQueuePoint>>& block);

    /// Removes the points of a main thread (-1: every point) and returns how
    /// many. A removed point that the cache holds without any evaluation is
    /// dropped from the cache too, so that a later offer evaluates it.
    size_t clearQueue(int mainThreadNum = -1, bool showDebug = false);
    /// Points of a main thread in the queue; -1: every queued point.
    size_t getQueueSize(int mainThreadNum = -1) const;
    /// A queued point with the coordinates of x (the first one queued of
    /// them); null when none is queued. `place`, when given, receives where
    /// x goes in the queue, for `addOfferedToQueue`.
    const EvalQueuePoint* findInQueue(const Point& x, QueuePlace* place = nullptr);
    /// The queue on standard output.
    void debugDisplayQueue() const;

    // ---------------------------------------------------------------------
    // References of the calling thread used in evaluation
    // ---------------------------------------------------------------------

    /// The calling thread's points are judged against `barrier` itself (the
    /// step's object, whose points are completed to the full space by
    /// `fixedVariable`; none defined for a full-space barrier).
    void setBarrier(const std::shared_ptr<Barrier>& barrier, const Point& fixedVariable = Point());
    /// Possibly empty.
    const std::shared_ptr<Barrier>& getBarrier(int mainThreadNum = -1) const;
    /// The barrier's points in the full space.
    std::vector<EvalPoint> getBarrierPointsInFullSpace(int mainThreadNum = -1) const;
    /// The barrier's hMax; INF without a barrier.
    Double getHMax(int mainThreadNum = -1) const;
    void setLastSuccessfulDir(const std::shared_ptr<Direction>& dir);
    void setComputeSuccessTypeFunction(const ComputeSuccessType::Function& computeSuccessFunction);

    // ---------------------------------------------------------------------
    // Per-thread state (forwarded to the thread's record)
    // ---------------------------------------------------------------------

    bool getDoneWithEval(int mainThreadNum) const;
    void setDoneWithEval(int mainThreadNum, bool doneWithEval);
    size_t getSgteEval(int mainThreadNum) const;
    void resetSgteEval(int mainThreadNum);
    size_t getBbEvalInSubproblem(int mainThreadNum) const;
    void resetBbEvalInSubproblem(int mainThreadNum);
    size_t getLapBbEval(int mainThreadNum) const;
    void resetLapBbEval();
    size_t getLapMaxBbEval(int mainThreadNum) const;
    void setLapMaxBbEval(size_t maxBbEval);
    const std::shared_ptr<EvalPoint>& getBestIncumbent(int mainThreadNum) const;
    void setBestIncumbent(int mainThreadNum, const std::shared_ptr<EvalPoint>& bestIncumbent);
    const SuccessType& getSuccessType(int mainThreadNum) const;
    void setSuccessType(int mainThreadNum, const SuccessType& successType);
    /// Hands each evaluated point out once, in evaluation order.
    std::vector<EvalPoint> retrieveAllEvaluatedPoints(int mainThreadNum);
    void addEvaluatedPoint(int mainThreadNum, const EvalPoint& evalPoint);
    bool remainsEvaluatedPoints(int mainThreadNum) const;
    void clearEvaluatedPoints(int mainThreadNum);
    std::shared_ptr<EvalParameters> getEvalParams(int mainThreadNum) const;
    EvalType getEvalType(int mainThreadNum) const;
    bool getOpportunisticEval(int mainThreadNum) const;
    void setOpportunisticEval(bool opportunisticEval);
    bool getUseCache(int mainThreadNum) const;
    void setUseCache(bool useCache);
    size_t getMaxBbEvalInSubproblem(int mainThreadNum) const;
    void setMaxBbEvalInSubproblem(size_t maxBbEval);

    // ---------------------------------------------------------------------
    // Run loop and stop criteria
    // ---------------------------------------------------------------------

    /// Evaluates the calling thread's queued points; returns the best
    /// success reached by this call.
    SuccessType run();

    /// Evaluates a block taken from the queue and measures each point's
    /// success; true when at least one point evaluated OK. An exception
    /// leaves the block's unfinished points EVAL_ERROR, in the points and in
    /// the cache.
    bool evalBlock(std::vector<std::shared_ptr<EvalQueuePoint>>& block);
    /// Has `evaluator` evaluate the points, then settles their statuses,
    /// counts them and updates the cache; evalOk per point.
    std::vector<bool> evalBlockOfPoints(std::vector<std::shared_ptr<EvalPoint>>& block,
                                        const Evaluator& evaluator, const Double& hMax);
    /// Evaluates one point outside the queue with the evaluator of that main
    /// thread; the point receives the result. Counted, but no success, no
    /// evaluated-point list, no report.
    bool evalSinglePoint(EvalPoint& evalPoint, int mainThreadNum, const Double& hMax);

    /// Marks the point (and its cached copy, recorded now when the cache does
    /// not hold it yet) EVAL_IN_PROGRESS; false when another evaluation of it
    /// is under way.
    bool updateEvalStatusBeforeEval(EvalPoint& evalPoint);
    /// The status after the evaluator: OK or FAILED from EVAL_IN_PROGRESS,
    /// NOT_STARTED from EVAL_WAIT, the evaluator's own otherwise.
    void updateEvalStatusAfterEval(EvalPoint& evalPoint, bool evalOk);
    /// The point's success against its thread's barrier and best incumbent.
    void computeSuccess(const std::shared_ptr<EvalQueuePoint>& evalQueuePoint, bool evalOk,
                        const Double& hMax);

    /// The global budgets MAX_BB_EVAL, MAX_EVAL and MAX_BLOCK_EVAL, read now;
    /// records the global stop reason of the budget reached.
    bool reachedMaxEval() const;
    /// How many more evaluations the global budgets allow, read now:
    /// MAX_BB_EVAL and MAX_EVAL less the evaluations counted so far, and
    /// MAX_BLOCK_EVAL less the blocks so far times BB_MAX_BLOCK_SIZE; the
    /// largest size_t when none limits (or the budgets cannot be read yet).
    size_t getRemainingEvalBudget() const;
    /// The budgets of one main thread: surrogate, lap and sub-problem.
    bool reachedMaxStepEval(int mainThreadNum) const;
    /// Whether that main thread must stop evaluating.
    bool stopMainEval(int mainThreadNum) const;
    /// The thread's stop reason ends its evaluations.
    bool checkEvalTerminate(int mainThreadNum) const;
    /// The calling thread's stop reason is `stopType`.
    bool testIf(const EvalMainThreadStopType& stopType) const;
    void setStopReason(int mainThreadNum, const EvalMainThreadStopType& stopType);
    const StopReason<EvalMainThreadStopType>& getStopReason(int mainThreadNum) const;
    std::string getStopReasonAsString(int mainThreadNum) const;

    // ---------------------------------------------------------------------
    // Counters
    // ---------------------------------------------------------------------

    size_t getBbEval() const { return _bbEval.load(); }
    /// Hot restart.
    void setBbEval(size_t bbEval) { _bbEval.store(bbEval); }
    size_t getBbEvalNotOk() const { return _bbEvalNotOk.load(); }
    size_t getFeasBBEval() const { return _feasBBEval.load(); }
    size_t getInfBBEval() const { return _infBBEval.load(); }
    size_t getTotalSgteEval() const { return _totalSgteEval.load(); }
    size_t getBlockEval() const { return _blockEval.load(); }
    size_t getIndexSuccBlockEval() const { return _indexSuccBlockEval.load(); }
    size_t getIndexBestFeasEval() const { return _indexBestFeasEval.load(); }
    size_t getIndexBestInfeasEval() const { return _indexBestInfeasEval.load(); }
    size_t getNbRelativeSuccess() const { return _nbRelativeSuccess.load(); }
    size_t getNbPhaseOneSuccess() const { return _nbPhaseOneSuccess.load(); }
    /// Evaluations sent to the evaluators plus cache hits.
    size_t getNbEval() const;
    /// Sets the evaluations sent so that `getNbEval` gives nbEval (hot
    /// restart); a value below the cache hits is refused with a warning.
    void setNbEval(size_t nbEval);

    // ---------------------------------------------------------------------
    // Reports
    // ---------------------------------------------------------------------

    /// One statistics line per blackbox point of the block, with the
    /// counters after the whole block.
    void AddStatsInfo(const std::vector<std::shared_ptr<EvalQueuePoint>>& block) const;
    /// The history record of a blackbox point, and the solution record of a
    /// feasible full success.
    void AddDirectToFileInfo(std::shared_ptr<EvalQueuePoint> evalQueuePoint) const;

private:
    /// `cached` is the cache's answer when `cacheAnswered`, else looked up.
    bool addToQueueImp(const std::shared_ptr<EvalQueuePoint>& evalQueuePoint, bool cacheAnswered,
                       const EvalPoint* cached, const QueuePlace* place);
    /// See clearQueue.
    void releaseFromCache(const EvalQueuePoint& point) const;
    /// The global parameters read on the hot path.
    struct GlobalSettings
    {
        size_t maxBbEval;
        size_t maxEval;
        size_t maxBlockEval;
        size_t maxSgteEval;
        size_t bbMaxBlockSize;
        size_t sgteMaxBlockSize;
        bool clearEvalQueue;
        bool randomEvalSort;
    };

    /// Strict order of the index of queued points: by coordinates, as the cache.
    struct QueuedCoordinatesLess
    {
        /// A plain point looks the index up too.
        using is_transparent = void;
        bool operator()(const Point* p1, const Point* p2) const
        {
            return Point::weakLess(*p1, *p2);
        }
    };
    using QueueIndex = std::multiset<const EvalQueuePoint*, QueuedCoordinatesLess>;
    using Queue = std::deque<std::shared_ptr<EvalQueuePoint>>;

    /// Reads `_settings`; throws `ParameterToBeChecked` for an unchecked set,
    /// leaving the settings to be read again.
    void readGlobalParameters() const;
    /// Reads them again when the set was found unchecked since the last read.
    void refreshGlobalParametersIfStale() const;
    /// `reachedMaxEval` with the budgets already read.
    bool reachedMaxEvalWithSettings() const;

    /// The index, rebuilt first when epsilon changed since it was built.
    QueueIndex& queueIndex();
    /// The first entry of the index not below x.
    static QueueIndex::iterator lowerBound(QueueIndex& index, const Point& x);
    void indexErase(const EvalQueuePoint* evalQueuePoint);
    /// Removes the entry at `pos` from the queue and the index.
    std::shared_ptr<EvalQueuePoint> takeAt(Queue::iterator pos);

    /// Counts one point that the evaluator had.
    void countEvaluation(EvalPoint& evalPoint, EvcMainThreadInfo& info, EvalType evalType,
                         bool evalOk, bool countEval);
    /// Counts the success of a point of a block that evaluated.
    void countSuccess(const EvalQueuePoint& evalQueuePoint);
    /// After an exception: the block's points still in progress or waiting
    /// become EVAL_ERROR, in the points and in the cache. Never throws.
    void abandonBlock(std::vector<std::shared_ptr<EvalPoint>>& block, EvalType evalType) noexcept;

    std::shared_ptr<EvaluatorControlGlobalParameters> _evalContGlobalParams;
    std::set<int> _mainThreads;
    mutable std::map<int, EvcMainThreadInfo> _mainThreadInfo;
    Queue _evalPointQueue;
    CompMethodPtr _userCompMethod;

    std::atomic<size_t> _bbEval;
    std::atomic<size_t> _bbEvalNotOk;
    std::atomic<size_t> _feasBBEval;
    std::atomic<size_t> _infBBEval;
    std::atomic<size_t> _totalSgteEval;
    std::atomic<size_t> _blockEval;
    std::atomic<size_t> _indexSuccBlockEval;
    std::atomic<size_t> _indexBestFeasEval;
    std::atomic<size_t> _indexBestInfeasEval;
    std::atomic<size_t> _nbEvalSentToEvaluator;
    std::atomic<size_t> _nbRelativeSuccess;
    std::atomic<size_t> _nbPhaseOneSuccess;

    bool _doneWithEvalQueue;

    mutable GlobalSettings _settings;
    /// The settings were never read, or the set was found unchecked since.
    mutable bool _settingsStale;
    /// The change count of the set when the settings were read.
    mutable size_t _settingsChangeCount = 0;

    QueueIndex _queueIndex;
    double _queueIndexEpsilon;
    /// Counts the changes of the index: a `QueuePlace` of another count is
    /// out of date.
    size_t _queueIndexChanges = 0;

    /// Receives the cached copy of a point looked up on the hot path; kept
    /// so that its coordinates are not allocated again for every look-up.
    EvalPoint _cacheCopy;
};

class EvaluatorControl::QueuePlace
{
public:
    QueuePlace() = default;

private:
    friend class EvaluatorControl;
    const EvaluatorControl* _owner = nullptr;
    QueueIndex::iterator _position{};
    size_t _changes = 0;
    bool _found = false;
};

} // namespace QARNO_4_0_0

#endif
