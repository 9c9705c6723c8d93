#ifndef QARNO_CACHE_CACHEBASE_HPP
#define QARNO_CACHE_CACHEBASE_HPP

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Eval/Eval.hpp"
#include "Eval/EvalPoint.hpp"
#include "Math/Double.hpp"
#include "Math/Point.hpp"
#include "Type/EvalType.hpp"
#include "Util/FileLock.hpp"

namespace QARNO_4_0_0
{

class CacheParameters;

/// The one store of evaluated points of the process.
///
/// Every trial point queued for evaluation passes through `offer`, which
/// decides whether it still needs an evaluation and counts cache hits; the
/// evaluation queue records it when its evaluation starts and writes the
/// results back with `update` (other callers record a point at once with
/// `smartInsert`); steps look
/// points up and ask for the best feasible and infeasible points. The
/// contents survive from one run to the next and go to and from the cache
/// file.
///
/// Reached only through `getInstance`; `CacheSet` is the implementation.
class CacheBase
{
public:
    using EvalComparison = std::function<bool(const Eval&, const Eval&)>;
    using PointComparison = std::function<bool(const Point&, const EvalPoint&)>;
    using PointPredicate = std::function<bool(const EvalPoint&)>;
    using PointVisitor = void (*)(EvalPoint&);

    /// Blackbox cache hits of the process: points offered again after their
    /// blackbox evaluation.
    static std::atomic<size_t> _nbCacheHits;

    /// The instance; throws when `CacheSet::setInstance` has not run.
    static const std::unique_ptr<CacheBase>& getInstance();
    /// Whether an instance exists.
    static bool hasInstance() { return static_cast<bool>(_single); }
    /// Back to the state at load: no instance, no cache hit.
    static void resetInstance();

    virtual ~CacheBase();
    CacheBase(const CacheBase&) = delete;
    CacheBase& operator=(const CacheBase&) = delete;

    const std::string& getFileName() const { return _filename; }
    size_t getMaxSize() const { return _maxSize; }
    /// Dimension of the points held; 0 for a cache emptied by `clear`.
    size_t getPointSize() const { return _pointSize; }

    /// Mean of the defined blackbox f into `mean`; returns how many there are.
    virtual size_t computeMeanF(Double& mean) const;
    virtual void processOnAllPoints(PointVisitor func);
    /// Only the points created by main thread `mainThreadNum`.
    virtual void processOnAllPoints(PointVisitor func, int mainThreadNum);
    /// Removes the points of that main thread that have no blackbox evaluation.
    virtual void deleteSgteOnly(int mainThreadNum) = 0;

    /// Stores the point unless its coordinates are there; true when it was new.
    virtual bool insert(const EvalPoint& evalPoint) = 0;
    /// Copies the point with the coordinates of `x` into `evalPoint`; 1 when
    /// found, else 0 with `evalPoint` unchanged.
    virtual size_t find(const Point& x, EvalPoint& evalPoint,
                        EvalType evalType = EvalType::UNDEFINED) const = 0;
    /// Records the point and answers whether the caller must evaluate it for
    /// `evalType`; gives the point its tag.
    virtual bool smartInsert(const EvalPoint& evalPoint, short maxNumberEval = 1,
                             EvalType evalType = EvalType::BB) = 0;
    /// The answer and the tag of `smartInsert`, without recording the point:
    /// the evaluation queue records it when its evaluation starts, so that a
    /// trial point that is never evaluated never enters the cache. `queued`,
    /// when not null, is the copy of the point the queue holds, which takes
    /// the place of a cached unevaluated copy. `cached`, when not null,
    /// receives the cached copy of the point, or null when there is none,
    /// which spares the queue a second look-up. This base records the point
    /// and answers null there.
    virtual bool offer(const EvalPoint& evalPoint, const EvalPoint* queued, short maxNumberEval = 1,
                       EvalType evalType = EvalType::BB, const EvalPoint** cached = nullptr);
    /// The point with the coordinates of `x`, in a list (checked for size and
    /// completeness).
    virtual size_t find(const Point& x, std::vector<EvalPoint>& evalPointList) const = 0;
    /// The points whose evaluation of that type compares true with `refeval`.
    virtual size_t find(const Eval& refeval, const EvalComparison& comp,
                        std::vector<EvalPoint>& evalPointList, EvalType evalType) const = 0;
    /// The best points (ties included) of the feasibility asked for, with h
    /// within hMax, carrying the fixed variable, at least as good as
    /// `refeval` when one is given.
    virtual size_t findBest(const EvalComparison& comp, std::vector<EvalPoint>& evalPointList,
                            bool findFeas, const Double& hMax, const Point& fixedVariable,
                            EvalType evalType, const Eval* refeval) const = 0;
    virtual size_t findBestFeas(std::vector<EvalPoint>& evalPointList, const Point& fixedVariable,
                                EvalType evalType, const Eval* refeval) const = 0;
    /// Some point has a feasible EVAL_OK evaluation of that type.
    virtual bool hasFeas(EvalType evalType = EvalType::BB) const = 0;
    virtual size_t findBestInf(std::vector<EvalPoint>& evalPointList, const Double& hMax,
                               const Point& fixedVariable, EvalType evalType,
                               const Eval* refeval) const = 0;
    /// The points p for which comp(x, p) holds, at most `maxEvalPoints` of
    /// them when it is positive.
    virtual size_t find(const Point& x, const PointComparison& comp,
                        std::vector<EvalPoint>& evalPointList, int maxEvalPoints) const = 0;
    virtual size_t find(const PointPredicate& crit,
                        std::vector<EvalPoint>& evalPointList) const = 0;
    virtual size_t find(const PointPredicate& crit1, const PointPredicate& crit2,
                        std::vector<EvalPoint>& evalPointList) const = 0;
    /// Stores the evaluation of that type and the count of `evalPoint` into
    /// the cached point; false, with a warning, when there is nothing to do.
    virtual bool update(const EvalPoint& evalPoint, EvalType evalType) = 0;
    virtual size_t size() const = 0;
    /// Removes every point; the cache-hit count and the point size go to 0.
    virtual bool clear() = 0;
    /// Removes the surrogate evaluations of that main thread's points.
    virtual void clearSgte(int mainThreadNum) = 0;
    /// Reduces the cache below MAX_CACHE_SIZE.
    virtual void purge();
    /// Forgets the point at x when it carries no evaluation at all: a point
    /// that was queued and then released unevaluated, which must be offered
    /// for evaluation again rather than be taken as queued for ever. True
    /// when a point was removed.
    virtual bool eraseUnevaluated(const Point& x);
    /// Writes the cache file; false when it could not be written.
    virtual bool write() const = 0;
    virtual std::string displayAll() const;
    /// Loads the cache file when there is a readable one.
    virtual bool read() = 0;

    /// Every point.
    size_t getAllPoints(std::vector<EvalPoint>& evalPointList) const;

    /// Holds the cache file for the run, so that no other run reads or
    /// replaces it meanwhile: two runs on one file would each write only
    /// their own points at their end. Throws, naming the file, when another
    /// run holds it; the cache then forgets the file name, so that it
    /// cannot replace that run's file. Nothing without a file name, or when
    /// the folder allows no lock file (a run there cannot write the file).
    void lockFile();
    /// Gives the file up, at the end of the run.
    void unlockFile() noexcept;

protected:
    explicit CacheBase(const std::shared_ptr<CacheParameters>& cacheParams);
    /// Reads MAX_CACHE_SIZE and CACHE_FILE.
    void init();

    static std::unique_ptr<CacheBase> _single;

    std::string _filename;
    size_t _maxSize;
    std::shared_ptr<CacheParameters> _cacheParams;
    size_t _pointSize;
    FileLock _fileLock;
};

/// Always true: the predicate of `getAllPoints`.
bool isTrue(const EvalPoint& evalPoint);

} // namespace QARNO_4_0_0

#endif
