#ifndef QARNO_CACHE_CACHESET_HPP
#define QARNO_CACHE_CACHESET_HPP

#include <array>
#include <cstddef>
#include <functional>
#include <iosfwd>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Cache/CacheBase.hpp"
#include "Eval/EvalPoint.hpp"
#include "Math/Point.hpp"
#include "Type/BBOutputType.hpp"

namespace QARNO_4_0_0
{

/// The cache of the process: a set of evaluation points ordered by their
/// coordinates (`Point::weakLess`, the order of `EvalPointCompare`), so that
/// look-ups and insertions cost O(log N).
///
/// The best-point searches (`findBestFeas`, `findBestInf`, `hasFeas`) are
/// asked at every algorithm start and barrier build; they answer from
/// rankings kept up to date by every change of a stored evaluation, instead
/// of walking the whole cache. Per evaluation type, the EVAL_OK evaluations
/// are ranked: the feasible ones by (f, h), the infeasible ones by (h, f),
/// and those with h = INF also in cache order. Under the default success rule
/// a search takes from a ranking the few points that can still be part of
/// the answer (those not worse than the best by more than epsilon, see
/// `findBest` in the source) and replays the scan of every point on them in cache
/// order, which gives exactly the answer of the scan over every point. Any
/// other comparison or rule (phase one) runs the scan over every point.
///
/// The cache file (`write`, `read`) holds the hit count, the output types
/// and one line per evaluated point:
///
///     CACHE_HITS 0
///     BB_OUTPUT_TYPE OBJ PB
///     ( 1 2 ) EVAL_OK ( 3.5 0 )
class CacheSet : public CacheBase
{
public:
    /// Output types of the cached blackbox outputs: those of the run that
    /// created or bound the cache, or those of its file. f and h of points
    /// read from the file are computed with them.
    static BBOutputTypeList _bbOutputType;

    /// Creates the instance of the process and reads its file. Throws when
    /// one exists, or when the parameters have not been checked.
    static void setInstance(const std::shared_ptr<CacheParameters>& cacheParams,
                            const BBOutputTypeList& bbOutputType);

    /// Binds the cache to a new run of the process: creates it when there
    /// is none; an empty cache takes the run's file name, maximum size and
    /// output types and reads the run's file; a cache that still holds
    /// points (kept on purpose from an earlier run) stays as it is.
    static void bindToRun(const std::shared_ptr<CacheParameters>& cacheParams,
                          const BBOutputTypeList& bbOutputType);

    ~CacheSet() override;

    size_t computeMeanF(Double& mean) const override;
    /// Afterwards the rankings are rebuilt: the function may change any
    /// evaluation (never coordinates).
    void processOnAllPoints(PointVisitor func) override;
    void processOnAllPoints(PointVisitor func, int mainThreadNum) override;
    void deleteSgteOnly(int mainThreadNum) override;

    bool insert(const EvalPoint& evalPoint) override;
    /// A point that is not complete is never cached: 0.
    size_t find(const Point& x, EvalPoint& evalPoint,
                EvalType evalType = EvalType::UNDEFINED) const override;
    bool smartInsert(const EvalPoint& evalPoint, short maxNumberEval = 1,
                     EvalType evalType = EvalType::BB) override;
    bool offer(const EvalPoint& evalPoint, const EvalPoint* queued, short maxNumberEval = 1,
               EvalType evalType = EvalType::BB, const EvalPoint** cached = nullptr) override;
    size_t find(const Point& x, std::vector<EvalPoint>& evalPointList) const override;
    size_t find(const Eval& refeval, const EvalComparison& comp,
                std::vector<EvalPoint>& evalPointList, EvalType evalType) const override;
    size_t findBest(const EvalComparison& comp, std::vector<EvalPoint>& evalPointList,
                    bool findFeas, const Double& hMax, const Point& fixedVariable,
                    EvalType evalType, const Eval* refeval) const override;
    size_t findBestFeas(std::vector<EvalPoint>& evalPointList, const Point& fixedVariable,
                        EvalType evalType, const Eval* refeval) const override;
    bool hasFeas(EvalType evalType = EvalType::BB) const override;
    size_t findBestInf(std::vector<EvalPoint>& evalPointList, const Double& hMax,
                       const Point& fixedVariable, EvalType evalType,
                       const Eval* refeval) const override;
    size_t find(const Point& x, const PointComparison& comp, std::vector<EvalPoint>& evalPointList,
                int maxEvalPoints) const override;
    size_t find(const PointPredicate& crit, std::vector<EvalPoint>& evalPointList) const override;
    size_t find(const PointPredicate& crit1, const PointPredicate& crit2,
                std::vector<EvalPoint>& evalPointList) const override;
    /// Hands `visit` the points with an EVAL_OK evaluation of that type
    /// (BB or SGTE) best first: the feasible ones by (f, h), then the
    /// infeasible ones by (h, f), points of equal keys in no set order; the
    /// walk stops when `visit` answers false. A caller that needs only the
    /// best few points that pass some test pays for those and the better
    /// ones that fail it, not for the whole cache. False, nothing visited,
    /// when the rankings do not hold every such evaluation (f or h to be
    /// recomputed, or not a number) or for another type.
    bool visitInRankOrder(EvalType evalType,
                          const std::function<bool(const EvalPoint&)>& visit) const;
    bool update(const EvalPoint& evalPoint, EvalType evalType) override;
    size_t size() const override { return _cache.size(); }
    bool clear() override;
    void clearSgte(int mainThreadNum) override;
    /// Keeps the points of lowest f, then halves, until the size is below
    /// MAX_CACHE_SIZE; stops when no pass can remove a point (a single point
    /// is never removed by halving).
    void purge() override;
    bool eraseUnevaluated(const Point& x) override;
    bool write() const override;
    std::string displayAll() const override;
    bool read() override;

    /// Reads the text of a cache file, named `fileName` in the messages
    /// (empty for text of another source), into the cache, then computes f
    /// and h of its points. One line per item: "CACHE_HITS" and its count,
    /// "BB_OUTPUT_TYPE" and the types, or a point. A line that does not read
    /// as one of them is skipped with a warning naming the file and the line,
    /// and the reading goes on; an unknown output type throws (with the file
    /// and the line), the points then being left out.
    void readText(std::istream& in, const std::string& fileName);

    /// Removes every point and nothing else.
    void destroy() noexcept;

    /// Throws for a point that is not complete.
    void verifyPointComplete(const Point& x) const;
    void verifyPointComplete(const EvalPoint& x) const;
    /// Throws for a point whose size is not that of the cached points.
    void verifyPointSize(const Point& x) const;
    void verifyPointSize(const EvalPoint& x) const;

    /// The lines of the cache file for the points with a blackbox
    /// evaluation worth keeping (statuses EVAL_FAILED to EVAL_OK).
    void displayPointsWithEval(std::ostream& out) const;

    /// f and h of the blackbox evaluation again, from its raw output, under
    /// `_bbOutputType`. A status other than EVAL_OK that the file recorded
    /// is kept: the raw output of a failed or rejected evaluation must not
    /// turn it into a usable one (a failed one whose output reads well is
    /// taken as declared failed by its evaluator, f undefined).
    static void recomputeFH(EvalPoint& evalPoint);

private:
    explicit CacheSet(const std::shared_ptr<CacheParameters>& cacheParams);
    /// Throws when the cache parameters have not been checked.
    void init();

    /// The answers of `smartInsert` and `offer`: whether to evaluate a point
    /// the cache does not hold yet, one it holds (or the queue holds), and
    /// one held without an evaluation of `evalType`.
    bool newPointAnswer(const EvalPoint& point, short maxNumberEval, EvalType evalType);
    bool knownPointAnswer(const EvalPoint& stored, short maxNumberEval, EvalType evalType);
    bool unevaluatedPointAnswer(const EvalPoint& point, EvalType evalType);

    /// The order of `EvalPointCompare`, able to look a plain `Point` up
    /// without copying it into an `EvalPoint`.
    struct CoordinateOrder
    {
        using is_transparent = void;
        bool operator()(const Point& a, const Point& b) const { return Point::weakLess(a, b); }
    };
    using Store = std::set<EvalPoint, CoordinateOrder>;
    using StoreIter = Store::const_iterator;

    /// One EVAL_OK evaluation in a ranking: its two keys ((f, h) or (h, f))
    /// and its point; the address of the point makes entries unique.
    struct RankEntry
    {
        double key1;
        double key2;
        StoreIter point;
    };
    struct RankBound
    {
        double key1;
        double key2;
    };
    struct RankOrder
    {
        using is_transparent = void;
        bool operator()(const RankEntry& a, const RankEntry& b) const;
        bool operator()(const RankEntry& a, const RankBound& b) const;
        bool operator()(const RankBound& a, const RankEntry& b) const;
    };
    using Ranking = std::set<RankEntry, RankOrder>;
    struct CacheOrderOfEntries
    {
        bool operator()(const RankEntry& a, const RankEntry& b) const
        {
            return Point::weakLess(*a.point, *b.point);
        }
    };

    /// What the searches of one evaluation type need.
    struct TypeIndex
    {
        /// Feasible EVAL_OK evaluations by (f, h).
        Ranking feas;
        /// Infeasible EVAL_OK evaluations by (h, f).
        Ranking infeas;
        /// The entries of `infeas` with h = INF, in cache order.
        std::set<RankEntry, CacheOrderOfEntries> infiniteH;
        /// EVAL_OK evaluations that cannot be ranked: f and h still to be
        /// recomputed, or f undefined or not a number (h not a number).
        size_t nbStale = 0;
        size_t nbOddFeas = 0;
        size_t nbOddInf = 0;

        void clear() noexcept;
    };

    /// Where an evaluation goes; f and h are set for FEAS and INFEAS.
    enum class Rank
    {
        NONE,
        STALE,
        ODD_FEAS,
        ODD_INF,
        FEAS,
        INFEAS
    };
    static Rank rankOf(const Eval* eval, double& f, double& h);

    static size_t typeSlot(EvalType evalType) { return evalType == EvalType::SGTE ? 1 : 0; }
    /// Stored points are changed in place only in their evaluations, tag
    /// and count, which do not take part in the set order.
    static EvalPoint& modifiable(StoreIter it) { return const_cast<EvalPoint&>(*it); }

    StoreIter lookup(const Point& x) const;

    /// Adds the point's evaluation of that type to its ranking, or removes it.
    void changeIndex(StoreIter it, EvalType evalType, bool add) const;
    void addToIndex(StoreIter it, EvalType evalType) const;
    void removeFromIndex(StoreIter it, EvalType evalType) const;
    void addToIndexes(StoreIter it) const;
    void removeFromIndexes(StoreIter it) const;
    /// Rebuilds every ranking when they may not match the store.
    void ensureIndexes() const;
    void rebuildIndexes() const;
    void invalidateIndexes() const noexcept;

    /// The scan over every point, in cache order.
    size_t scanBest(const EvalComparison& comp, std::vector<EvalPoint>& evalPointList,
                    bool findFeas, const Double& hMax, const Point& fixedVariable,
                    EvalType evalType, const Eval* refeval) const;
    /// Whether the rankings can answer this search exactly.
    bool canUseRankings(const EvalComparison& comp, bool findFeas, const Double& hMax,
                        EvalType evalType, const Eval* refeval) const;
    /// The few points that can be part of the answer, in no order.
    void bestCandidatesFeas(std::vector<StoreIter>& chosen, const Point& fixedVariable,
                            const TypeIndex& index, const Eval* refeval) const;
    void bestCandidatesInf(std::vector<StoreIter>& chosen, double hLimit,
                           const Point& fixedVariable, const TypeIndex& index,
                           const Eval* refeval) const;

    Store _cache;

    mutable std::array<TypeIndex, 2> _index;
    /// False when the rankings may not match the store (an allocation
    /// failed while they were updated).
    mutable bool _indexValid;
    /// The epsilon that split feasible from infeasible in the rankings.
    mutable double _indexEpsilon;
};

/// The cache file: the hit count, the output types, the evaluated points.
std::ostream& operator<<(std::ostream& out, const CacheSet& cache);
/// Reads a cache file into the cache (`readText`).
std::istream& operator>>(std::istream& in, CacheSet& cache);

} // namespace QARNO_4_0_0

#endif
