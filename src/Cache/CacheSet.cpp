#include "Cache/CacheSet.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <iostream>
#include <iterator>
#include <limits>
#include <locale>
#include <sstream>
#include <typeinfo>

#include "Eval/Eval.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/CacheParameters.hpp"
#include "Util/Exception.hpp"
#include "Util/FileUtils.hpp"
#include "Util/StreamUtils.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

namespace
{

/// `insert` lets only the rule of the evaluation itself limit a new one.
constexpr short INSERT_MAX_NUMBER_EVAL = std::numeric_limits<short>::max();

constexpr size_t NO_SIZE_LIMIT = std::numeric_limits<size_t>::max();

constexpr double PLUS_INFINITY = std::numeric_limits<double>::infinity();

bool defaultSuccessRuleInstalled()
{
    using Rule = SuccessType (*)(const Eval*, const Eval*, const Double&);
    const Rule* rule = Eval::_computeSuccessType.target<Rule>();
    return rule != nullptr && *rule == &Eval::defaultComputeSuccessType;
}

bool isCompEvalFindBest(const CacheBase::EvalComparison& comp)
{
    using Comparison = bool (*)(const Eval&, const Eval&);
    const Comparison* c = comp.target<Comparison>();
    return c != nullptr && *c == &Eval::compEvalFindBest;
}

/// The evaluation of type `evalType` of `p` when p takes part in a best-point
/// search: EVAL_OK, of the feasibility asked for, h not above hMax + epsilon,
/// carrying the fixed variable. Null otherwise.
const Eval* candidateEval(const EvalPoint& p, bool findFeas, const Double& hMax,
                          const Point& fixedVariable, EvalType evalType)
{
    const Eval* eval = p.getEval(evalType);
    if (eval == nullptr || eval->getEvalStatus() != EvalStatusType::EVAL_OK)
    {
        return nullptr;
    }
    if (eval->isFeasible() != findFeas)
    {
        return nullptr;
    }
    if (eval->getH().todouble() > hMax.todouble() + Double::getEpsilon())
    {
        return nullptr;
    }
    if (!p.hasFixed(fixedVariable))
    {
        return nullptr;
    }
    return eval;
}

/// The scan of a best-point search, offered the candidates in cache order:
/// keeps the first best and the points equal to it, and starts the list
/// again at each strictly better point.
class BestScan
{
public:
    BestScan(const CacheBase::EvalComparison& comp, std::vector<EvalPoint>& list,
             const Eval* refeval)
        : _comp(comp), _list(list), _best(refeval)
    {
    }

    void offer(const EvalPoint& p, const Eval& eval)
    {
        if (_best == nullptr)
        {
            _best = &eval;
            _list.push_back(p);
        }
        else if (eval == *_best)
        {
            _list.push_back(p);
        }
        else if (_comp(eval, *_best))
        {
            _best = &eval;
            _list.clear();
            _list.push_back(p);
        }
    }

private:
    const CacheBase::EvalComparison& _comp;
    std::vector<EvalPoint>& _list;
    /// Points into the cache, or to the reference: both outlive the scan.
    const Eval* _best;
};

} // namespace

BBOutputTypeList CacheSet::_bbOutputType;

// ---------------------------------------------------------------------------
// Rankings
// ---------------------------------------------------------------------------

bool CacheSet::RankOrder::operator()(const RankEntry& a, const RankEntry& b) const
{
    if (a.key1 != b.key1)
    {
        return a.key1 < b.key1;
    }
    if (a.key2 != b.key2)
    {
        return a.key2 < b.key2;
    }
    return std::less<const EvalPoint*>()(&*a.point, &*b.point);
}

bool CacheSet::RankOrder::operator()(const RankEntry& a, const RankBound& b) const
{
    return a.key1 < b.key1 || (a.key1 == b.key1 && a.key2 < b.key2);
}

bool CacheSet::RankOrder::operator()(const RankBound& a, const RankEntry& b) const
{
    return a.key1 < b.key1 || (a.key1 == b.key1 && a.key2 < b.key2);
}

void CacheSet::TypeIndex::clear() noexcept
{
    feas.clear();
    infeas.clear();
    infiniteH.clear();
    nbStale = 0;
    nbOddFeas = 0;
    nbOddInf = 0;
}

CacheSet::Rank CacheSet::rankOf(const Eval* eval, double& f, double& h)
{
    if (eval == nullptr || eval->getEvalStatus() != EvalStatusType::EVAL_OK)
    {
        return Rank::NONE;
    }
    // Read only once f and h are up to date: the getters warn otherwise.
    if (eval->toBeRecomputed())
    {
        return Rank::STALE;
    }
    const Double fValue = eval->getF();
    const double hValue = eval->getH().todouble();
    const bool feasible = eval->isFeasible();
    // Not a number has no place in an order.
    if (!fValue.isDefined() || std::isnan(fValue.todouble()) || std::isnan(hValue))
    {
        return feasible ? Rank::ODD_FEAS : Rank::ODD_INF;
    }
    f = fValue.todouble();
    h = hValue;
    return feasible ? Rank::FEAS : Rank::INFEAS;
}

void CacheSet::changeIndex(StoreIter it, EvalType evalType, bool add) const
{
    TypeIndex& index = _index[typeSlot(evalType)];
    double f = 0;
    double h = 0;
    const auto count = [add](size_t& n) { add ? ++n : --n; };
    const auto place = [add, it](auto& ranking, double key1, double key2)
    {
        if (add)
        {
            ranking.insert(RankEntry{key1, key2, it});
        }
        else
        {
            ranking.erase(RankEntry{key1, key2, it});
        }
    };
    switch (rankOf(it->getEval(evalType), f, h))
    {
    case Rank::NONE:
        break;
    case Rank::STALE:
        count(index.nbStale);
        break;
    case Rank::ODD_FEAS:
        count(index.nbOddFeas);
        break;
    case Rank::ODD_INF:
        count(index.nbOddInf);
        break;
    case Rank::FEAS:
        place(index.feas, f, h);
        break;
    case Rank::INFEAS:
        place(index.infeas, h, f);
        if (h == INF)
        {
            place(index.infiniteH, h, f);
        }
        break;
    }
}

void CacheSet::addToIndex(StoreIter it, EvalType evalType) const
{
    changeIndex(it, evalType, true);
}

void CacheSet::removeFromIndex(StoreIter it, EvalType evalType) const
{
    changeIndex(it, evalType, false);
}

void CacheSet::addToIndexes(StoreIter it) const
{
    // Feasibility depends on epsilon: rankings made under another one are
    // rebuilt by the next search.
    if (!_indexValid || _indexEpsilon != Double::getEpsilon())
    {
        invalidateIndexes();
        return;
    }
    try
    {
        addToIndex(it, EvalType::BB);
        addToIndex(it, EvalType::SGTE);
    }
    catch (...)
    {
        invalidateIndexes();
        throw;
    }
}

void CacheSet::removeFromIndexes(StoreIter it) const
{
    if (!_indexValid || _indexEpsilon != Double::getEpsilon())
    {
        invalidateIndexes();
        return;
    }
    removeFromIndex(it, EvalType::BB);
    removeFromIndex(it, EvalType::SGTE);
}

void CacheSet::invalidateIndexes() const noexcept
{
    for (auto& index : _index)
    {
        index.clear();
    }
    _indexValid = false;
}

void CacheSet::rebuildIndexes() const
{
    invalidateIndexes();
    _indexEpsilon = Double::getEpsilon();
    for (auto it = _cache.begin(); it != _cache.end(); ++it)
    {
        addToIndex(it, EvalType::BB);
        addToIndex(it, EvalType::SGTE);
    }
    _indexValid = true;
}

void CacheSet::ensureIndexes() const
{
    if (!_indexValid || _indexEpsilon != Double::getEpsilon())
    {
        try
        {
            rebuildIndexes();
        }
        catch (...)
        {
            invalidateIndexes();
            throw;
        }
    }
}

// ---------------------------------------------------------------------------
// Creation
// ---------------------------------------------------------------------------

CacheSet::CacheSet(const std::shared_ptr<CacheParameters>& cacheParams)
    : CacheBase(cacheParams), _cache(), _index(), _indexValid(true),
      _indexEpsilon(Double::getEpsilon())
{
    CacheBase::init();
    init();
}

CacheSet::~CacheSet()
{
    destroy();
}

void CacheSet::init()
{
    if (_cacheParams->toBeChecked())
    {
        QARNO_THROW(Exception,
                    "CacheParameters::checkAndComply() needs to be called before constructing "
                    "a CacheSet.");
    }
}

void CacheSet::setInstance(const std::shared_ptr<CacheParameters>& cacheParams,
                           const BBOutputTypeList& bbOutputType)
{
    if (_single)
    {
        QARNO_THROW(Exception,
                    "Cannot get instance. QARNO::CacheSet::setInstance must be called only "
                    "ONCE before calling QARNO::CacheBase::getInstance()");
    }
    std::unique_ptr<CacheSet> cache(new CacheSet(cacheParams));
    CacheSet* created = cache.get();
    _single = std::move(cache);
    _bbOutputType = bbOutputType;
    created->lockFile();
    created->read();
}

void CacheSet::bindToRun(const std::shared_ptr<CacheParameters>& cacheParams,
                         const BBOutputTypeList& bbOutputType)
{
    if (!_single)
    {
        setInstance(cacheParams, bbOutputType);
        return;
    }
    auto* cache = dynamic_cast<CacheSet*>(_single.get());
    if (cache == nullptr)
    {
        return;
    }
    if (cache->size() > 0)
    {
        // Kept for this run: its file is written at the end of the run.
        cache->lockFile();
        return;
    }

    // Only a cache whose parameters pass their checks is re-bound.
    const std::shared_ptr<CacheParameters> previousParams = cache->_cacheParams;
    const std::string previousFilename = cache->_filename;
    const size_t previousMaxSize = cache->_maxSize;
    cache->_cacheParams = cacheParams;
    try
    {
        cache->CacheBase::init();
        cache->init();
    }
    catch (...)
    {
        cache->_cacheParams = previousParams;
        cache->_filename = previousFilename;
        cache->_maxSize = previousMaxSize;
        throw;
    }
    cache->_pointSize = 0;
    _bbOutputType = bbOutputType;
    if (cache->_filename != previousFilename)
    {
        cache->unlockFile();
    }
    cache->lockFile();
    cache->read();
}

void CacheSet::destroy() noexcept
{
    _cache.clear();
    invalidateIndexes();
    _indexValid = true;
    _indexEpsilon = Double::getEpsilon();
}

// ---------------------------------------------------------------------------
// Point checks
// ---------------------------------------------------------------------------

void CacheSet::verifyPointComplete(const Point& x) const
{
    if (!x.isComplete())
    {
        QARNO_THROW(Exception,
                    "Error: Cache does not support incomplete points. Got point: " + x.display());
    }
}

void CacheSet::verifyPointComplete(const EvalPoint& x) const
{
    verifyPointComplete(static_cast<const Point&>(x));
}

void CacheSet::verifyPointSize(const Point& x) const
{
    if (_cache.empty() || x.size() == _pointSize)
    {
        return;
    }
    QARNO_THROW(Exception, "Error: Cache method called with a point of size " + itos(x.size()) +
                               ": " + x.display() + ". Cache needs points of size " +
                               itos(_pointSize));
}

void CacheSet::verifyPointSize(const EvalPoint& x) const
{
    verifyPointSize(static_cast<const Point&>(x));
}

CacheSet::StoreIter CacheSet::lookup(const Point& x) const
{
    // Only complete points are stored: a point whose undefined coordinate
    // the order reaches is not there. Catching that costs nothing on the
    // usual path, where checking every coordinate first would.
    try
    {
        return _cache.find(x);
    }
    catch (const Double::NotDefined&)
    {
        return _cache.end();
    }
}

// ---------------------------------------------------------------------------
// Insertion and update
// ---------------------------------------------------------------------------

bool CacheSet::insert(const EvalPoint& evalPoint)
{
    verifyPointComplete(evalPoint);
    verifyPointSize(evalPoint);
    const bool isNew = (lookup(evalPoint) == _cache.end());
    smartInsert(evalPoint, INSERT_MAX_NUMBER_EVAL, EvalType::BB);
    return isNew;
}

bool CacheSet::smartInsert(const EvalPoint& evalPoint, short maxNumberEval, EvalType evalType)
{
    verifyPointComplete(evalPoint);
    verifyPointSize(evalPoint);
    if (_cache.empty())
    {
        _pointSize = evalPoint.size();
    }

    const auto [it, inserted] = _cache.insert(evalPoint);
    if (inserted)
    {
        addToIndexes(it);
    }
    const EvalPoint& stored = *it;
    if (inserted)
    {
        if (evalPoint.getTag() == 0)
        {
            stored.updateTag();
        }
        // The caller's point takes the tag of the stored one.
        evalPoint.setTag(stored.getTag());
        return newPointAnswer(stored, maxNumberEval, evalType);
    }
    evalPoint.setTag(stored.getTag());
    return knownPointAnswer(stored, maxNumberEval, evalType);
}

bool CacheSet::offer(const EvalPoint& evalPoint, const EvalPoint* queued, short maxNumberEval,
                     EvalType evalType, const EvalPoint** cached)
{
    verifyPointComplete(evalPoint);
    verifyPointSize(evalPoint);
    // The answers of smartInsert, with the queue's copy for a cached
    // unevaluated one and the point itself for the copy it would insert.
    const StoreIter it = lookup(evalPoint);
    if (nullptr != cached)
    {
        *cached = (it != _cache.end()) ? &*it : nullptr;
    }
    const EvalPoint* stored = (it != _cache.end()) ? &*it : queued;
    if (nullptr == stored)
    {
        if (evalPoint.getTag() == 0)
        {
            evalPoint.updateTag();
        }
        return newPointAnswer(evalPoint, maxNumberEval, evalType);
    }
    evalPoint.setTag(stored->getTag());
    return knownPointAnswer(*stored, maxNumberEval, evalType);
}

bool CacheSet::newPointAnswer(const EvalPoint& point, short maxNumberEval, EvalType evalType)
{
    if (point.toEval(maxNumberEval, evalType))
    {
        return true;
    }
    if (point.getEval(evalType) != nullptr)
    {
        return false;
    }
    return unevaluatedPointAnswer(point, evalType);
}

bool CacheSet::knownPointAnswer(const EvalPoint& stored, short maxNumberEval, EvalType evalType)
{
    if (stored.getEval(evalType) == nullptr)
    {
        return unevaluatedPointAnswer(stored, evalType);
    }
    if (evalType == EvalType::BB)
    {
        _nbCacheHits.fetch_add(1);
        OutputQueue::addIfShown(OutputLevel::LEVEL_INFO,
                                [&] { return "Cache hit: " + stored.display(); });
    }
    if (stored.toEval(maxNumberEval, evalType))
    {
        std::cerr << "Warning: CacheSet: smartInsert: New evaluation of point found in "
                     "cache "
                  << stored.display() << std::endl;
        return true;
    }
    return false;
}

bool CacheSet::unevaluatedPointAnswer(const EvalPoint& point, EvalType evalType)
{
    if (evalType != EvalType::BB)
    {
        return true;
    }
    OutputQueue::addIfShown(
        OutputLevel::LEVEL_INFO,
        [&] { return "Point already inserted in cache, but not evaluated: " + point.display(); });
    return false;
}

bool CacheSet::update(const EvalPoint& evalPoint, EvalType evalType)
{
    const Eval* eval = evalPoint.getEval(evalType);
    if (eval == nullptr)
    {
        std::cerr << "Warning: CacheSet: Update: Cannot update to a NULL Eval for Point "
                  << evalPoint.displayAll() << std::endl;
        return false;
    }
    const StoreIter it = lookup(evalPoint);
    if (it == _cache.end())
    {
        const std::string text =
            "Warning: CacheSet: Update: Did not find EvalPoint to update in cache: " +
            evalPoint.displayAll();
        std::cerr << text << std::endl;
        OutputQueue::getInstance()->add(text, OutputLevel::LEVEL_WARNING);
        return false;
    }

    const bool maintained = _indexValid && _indexEpsilon == Double::getEpsilon();
    if (maintained)
    {
        removeFromIndex(it, evalType);
    }
    EvalPoint& stored = modifiable(it);
    stored.setEval(*eval, evalType);
    stored.setNumberEval(evalPoint.getNumberEval());
    if (maintained)
    {
        try
        {
            addToIndex(it, evalType);
        }
        catch (...)
        {
            invalidateIndexes();
            throw;
        }
    }
    else
    {
        invalidateIndexes();
    }
    return true;
}

// ---------------------------------------------------------------------------
// Look-ups
// ---------------------------------------------------------------------------

bool CacheSet::eraseUnevaluated(const Point& x)
{
    const StoreIter it = lookup(x);
    if (it == _cache.end() || nullptr != it->getEval(EvalType::BB) ||
        nullptr != it->getEval(EvalType::SGTE))
    {
        return false;
    }
    removeFromIndexes(it);
    _cache.erase(it);
    return true;
}

size_t CacheSet::find(const Point& x, EvalPoint& evalPoint, EvalType /*evalType*/) const
{
    const StoreIter it = lookup(x);
    if (it == _cache.end())
    {
        return 0;
    }
    evalPoint = *it;
    return 1;
}

size_t CacheSet::find(const Point& x, std::vector<EvalPoint>& evalPointList) const
{
    evalPointList.clear();
    verifyPointComplete(x);
    verifyPointSize(x);
    const StoreIter it = lookup(x);
    if (it != _cache.end())
    {
        evalPointList.push_back(*it);
    }
    return evalPointList.size();
}

size_t CacheSet::find(const Eval& refeval, const EvalComparison& comp,
                      std::vector<EvalPoint>& evalPointList, EvalType evalType) const
{
    evalPointList.clear();
    for (const auto& p : _cache)
    {
        const Eval* eval = p.getEval(evalType);
        if (eval != nullptr && comp(*eval, refeval))
        {
            evalPointList.push_back(p);
        }
    }
    return evalPointList.size();
}

size_t CacheSet::find(const Point& x, const PointComparison& comp,
                      std::vector<EvalPoint>& evalPointList, int maxEvalPoints) const
{
    evalPointList.clear();
    verifyPointComplete(x);
    verifyPointSize(x);
    for (const auto& p : _cache)
    {
        if (!comp(x, p))
        {
            continue;
        }
        evalPointList.push_back(p);
        if (maxEvalPoints > 0 && evalPointList.size() == static_cast<size_t>(maxEvalPoints))
        {
            break;
        }
    }
    return evalPointList.size();
}

size_t CacheSet::find(const PointPredicate& crit, std::vector<EvalPoint>& evalPointList) const
{
    evalPointList.clear();
    for (const auto& p : _cache)
    {
        if (crit(p))
        {
            evalPointList.push_back(p);
        }
    }
    return evalPointList.size();
}

size_t CacheSet::find(const PointPredicate& crit1, const PointPredicate& crit2,
                      std::vector<EvalPoint>& evalPointList) const
{
    evalPointList.clear();
    for (const auto& p : _cache)
    {
        if (crit1(p) && crit2(p))
        {
            evalPointList.push_back(p);
        }
    }
    return evalPointList.size();
}

bool CacheSet::visitInRankOrder(EvalType evalType,
                                const std::function<bool(const EvalPoint&)>& visit) const
{
    if (EvalType::BB != evalType && EvalType::SGTE != evalType)
    {
        return false;
    }
    ensureIndexes();
    const TypeIndex& index = _index[typeSlot(evalType)];
    if (index.nbStale > 0 || index.nbOddFeas > 0 || index.nbOddInf > 0)
    {
        return false;
    }
    for (const Ranking* ranking : {&index.feas, &index.infeas})
    {
        for (const RankEntry& entry : *ranking)
        {
            if (!visit(*entry.point))
            {
                return true;
            }
        }
    }
    return true;
}

// ---------------------------------------------------------------------------
// Best points
// ---------------------------------------------------------------------------
//
// The scan over every point (`scanBest`) keeps the first best point in cache
// order and the points equal to it within epsilon, and starts its list again
// at every point strictly better than its current best. Under the default
// success rule, "strictly better" between two feasible evaluations is
// f1 < f2 - eps; between two infeasible ones it holds when h1 < h2 - eps, or
// when h1 is within eps of h2, f1 < f2 - eps and h1 is not INF.
//
// Let S be the candidates taken from a ranking and Q any other candidate.
// When every point of S is strictly better than every Q, and neither equal
// to it, and no Q is better than or equal to the reference (when there is
// one), then the Qs never change the scan: one scanned before the first
// point of S may become the best for a while, but that point of S replaces
// it; once a point of S (or the reference) is the best, every Q is skipped.
// The scan over S alone, in cache order, then gives the answer of the scan
// over every point. The rankings give such an S cheaply:
// - feasible points, ranked by f: the points up to the first gap of more
//   than eps in f (the reference's f counting as one of them);
// - infeasible points, ranked by (h, f), when the lowest h is shared
//   exactly by a block of points and the next h is more than eps above it:
//   within the block, the points up to the first gap in f;
// - when every candidate has h = INF, nothing is better than anything: the
//   answer is the first such point in cache order and the points whose f is
//   within eps of its f;
// - otherwise the points up to the first gap of more than eps in h.
// a < b - eps, computed in doubles as the comparisons of `Double` do, also
// makes |a - b| < eps false, so such points are never equal.

size_t CacheSet::scanBest(const EvalComparison& comp, std::vector<EvalPoint>& evalPointList,
                          bool findFeas, const Double& hMax, const Point& fixedVariable,
                          EvalType evalType, const Eval* refeval) const
{
    BestScan scan(comp, evalPointList, refeval);
    for (const auto& p : _cache)
    {
        if (const Eval* eval = candidateEval(p, findFeas, hMax, fixedVariable, evalType))
        {
            scan.offer(p, *eval);
        }
    }
    return evalPointList.size();
}

bool CacheSet::canUseRankings(const EvalComparison& comp, bool findFeas, const Double& hMax,
                              EvalType evalType, const Eval* refeval) const
{
    if (!isCompEvalFindBest(comp) || !defaultSuccessRuleInstalled())
    {
        return false;
    }
    if (!hMax.isDefined() || std::isnan(hMax.todouble()))
    {
        return false;
    }
    // Feasible points have |h| < eps: a hMax below 0 may filter some.
    if (findFeas && !(hMax.todouble() >= 0))
    {
        return false;
    }
    ensureIndexes();
    const TypeIndex& index = _index[typeSlot(evalType)];
    if (index.nbStale > 0 || (findFeas ? index.nbOddFeas : index.nbOddInf) > 0)
    {
        return false;
    }
    if (refeval != nullptr)
    {
        if (refeval->toBeRecomputed())
        {
            return false;
        }
        const Double f = refeval->getF();
        if (!f.isDefined() || std::isnan(f.todouble()) || std::isnan(refeval->getH().todouble()))
        {
            return false;
        }
        if (refeval->isFeasible() != findFeas)
        {
            return false;
        }
    }
    return true;
}

void CacheSet::bestCandidatesFeas(std::vector<StoreIter>& chosen, const Point& fixedVariable,
                                  const TypeIndex& index, const Eval* refeval) const
{
    const double eps = Double::getEpsilon();
    bool bounded = (refeval != nullptr);
    double fMax = bounded ? refeval->getF().todouble() : 0.0;
    for (const RankEntry& entry : index.feas)
    {
        if (bounded && fMax < entry.key1 - eps)
        {
            break;
        }
        if (!entry.point->hasFixed(fixedVariable))
        {
            continue;
        }
        chosen.push_back(entry.point);
        fMax = bounded ? std::max(fMax, entry.key1) : entry.key1;
        bounded = true;
    }
}

void CacheSet::bestCandidatesInf(std::vector<StoreIter>& chosen, double hLimit,
                                 const Point& fixedVariable, const TypeIndex& index,
                                 const Eval* refeval) const
{
    const double eps = Double::getEpsilon();
    const Ranking& ranking = index.infeas;
    const auto isCandidate = [&](const RankEntry& entry)
    { return entry.point->hasFixed(fixedVariable); };
    const auto nextCandidate = [&](Ranking::const_iterator it)
    {
        while (it != ranking.end() && it->key1 <= hLimit && !isCandidate(*it))
        {
            ++it;
        }
        return (it != ranking.end() && it->key1 <= hLimit) ? it : ranking.end();
    };

    const auto first = nextCandidate(ranking.begin());
    if (first == ranking.end())
    {
        return;
    }

    if (refeval == nullptr)
    {
        const double h0 = first->key1;
        const auto after = nextCandidate(ranking.upper_bound(RankBound{h0, PLUS_INFINITY}));
        const bool infiniteLike = std::fabs(h0 - INF) < eps;

        if (h0 == INF && after == ranking.end())
        {
            // Every candidate has h = INF. The first in cache order is the
            // best; the others equal to it have their f within eps of its f.
            const RankEntry* best = nullptr;
            for (const RankEntry& entry : index.infiniteH)
            {
                if (isCandidate(entry))
                {
                    best = &entry;
                    break;
                }
            }
            if (best == nullptr)
            {
                return; // not reached: `first` is such a candidate
            }
            const double fBest = best->key2;
            const auto isEqual = [&](const RankEntry& entry)
            { return entry.key1 == INF && std::fabs(entry.key2 - fBest) < eps; };
            const auto pos = ranking.find(*best);
            chosen.push_back(best->point);
            for (auto it = pos; it != ranking.begin();)
            {
                --it;
                if (!isEqual(*it))
                {
                    break;
                }
                if (isCandidate(*it))
                {
                    chosen.push_back(it->point);
                }
            }
            for (auto it = std::next(pos); it != ranking.end() && isEqual(*it); ++it)
            {
                if (isCandidate(*it))
                {
                    chosen.push_back(it->point);
                }
            }
            return;
        }

        if (!infiniteLike && (after == ranking.end() || h0 < after->key1 - eps))
        {
            bool bounded = false;
            double fMax = 0.0;
            for (auto it = first; it != ranking.end() && it->key1 == h0; ++it)
            {
                if (bounded && fMax < it->key2 - eps)
                {
                    break;
                }
                if (!isCandidate(*it))
                {
                    continue;
                }
                chosen.push_back(it->point);
                fMax = bounded ? std::max(fMax, it->key2) : it->key2;
                bounded = true;
            }
            return;
        }
    }

    bool bounded = (refeval != nullptr);
    double hSeen = bounded ? refeval->getH().todouble() : 0.0;
    for (auto it = first; it != ranking.end() && it->key1 <= hLimit; ++it)
    {
        if (bounded && !(std::fabs(hSeen - INF) < eps) && hSeen < it->key1 - eps)
        {
            break;
        }
        if (!isCandidate(*it))
        {
            continue;
        }
        chosen.push_back(it->point);
        hSeen = bounded ? std::max(hSeen, it->key1) : it->key1;
        bounded = true;
    }
}

size_t CacheSet::findBest(const EvalComparison& comp, std::vector<EvalPoint>& evalPointList,
                          bool findFeas, const Double& hMax, const Point& fixedVariable,
                          EvalType evalType, const Eval* refeval) const
{
    evalPointList.clear();
    if (evalType == EvalType::UNDEFINED)
    {
        return 0; // no point has an evaluation of that type
    }
    if (!canUseRankings(comp, findFeas, hMax, evalType, refeval))
    {
        return scanBest(comp, evalPointList, findFeas, hMax, fixedVariable, evalType, refeval);
    }

    const TypeIndex& index = _index[typeSlot(evalType)];
    std::vector<StoreIter> chosen;
    if (findFeas)
    {
        bestCandidatesFeas(chosen, fixedVariable, index, refeval);
    }
    else
    {
        bestCandidatesInf(chosen, hMax.todouble() + Double::getEpsilon(), fixedVariable, index,
                          refeval);
    }
    std::sort(chosen.begin(), chosen.end(),
              [](StoreIter a, StoreIter b) { return Point::weakLess(*a, *b); });

    BestScan scan(comp, evalPointList, refeval);
    for (const StoreIter it : chosen)
    {
        if (const Eval* eval = candidateEval(*it, findFeas, hMax, fixedVariable, evalType))
        {
            scan.offer(*it, *eval);
        }
    }
    return evalPointList.size();
}

size_t CacheSet::findBestFeas(std::vector<EvalPoint>& evalPointList, const Point& fixedVariable,
                              EvalType evalType, const Eval* refeval) const
{
    return findBest(Eval::compEvalFindBest, evalPointList, true, Double(0.0), fixedVariable,
                    evalType, refeval);
}

size_t CacheSet::findBestInf(std::vector<EvalPoint>& evalPointList, const Double& hMax,
                             const Point& fixedVariable, EvalType evalType,
                             const Eval* refeval) const
{
    return findBest(Eval::compEvalFindBest, evalPointList, false, hMax, fixedVariable, evalType,
                    refeval);
}

bool CacheSet::hasFeas(EvalType evalType) const
{
    if (evalType == EvalType::UNDEFINED)
    {
        return false;
    }
    ensureIndexes();
    const TypeIndex& index = _index[typeSlot(evalType)];
    if (index.nbStale == 0)
    {
        return !index.feas.empty() || index.nbOddFeas > 0;
    }
    for (const auto& p : _cache)
    {
        const Eval* eval = p.getEval(evalType);
        if (eval != nullptr && eval->getEvalStatus() == EvalStatusType::EVAL_OK &&
            eval->isFeasible())
        {
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------
// Bulk operations
// ---------------------------------------------------------------------------

size_t CacheSet::computeMeanF(Double& mean) const
{
    mean = Double();
    double sum = 0.0;
    size_t count = 0;
    for (const auto& p : _cache)
    {
        const Double f = p.getF(EvalType::BB);
        if (f.isDefined())
        {
            sum += f.todouble();
            ++count;
        }
    }
    if (count > 0)
    {
        mean = sum / static_cast<double>(count);
    }
    return count;
}

void CacheSet::processOnAllPoints(PointVisitor func)
{
    // The function may change any evaluation: the rankings are rebuilt when
    // next needed.
    invalidateIndexes();
    for (auto it = _cache.begin(); it != _cache.end(); ++it)
    {
        func(modifiable(it));
    }
}

void CacheSet::processOnAllPoints(PointVisitor func, int mainThreadNum)
{
    invalidateIndexes();
    for (auto it = _cache.begin(); it != _cache.end(); ++it)
    {
        if (it->getThreadAlgo() == mainThreadNum)
        {
            func(modifiable(it));
        }
    }
}

void CacheSet::deleteSgteOnly(int mainThreadNum)
{
    for (auto it = _cache.begin(); it != _cache.end();)
    {
        if (it->getThreadAlgo() == mainThreadNum && !EvalPoint::hasBbEval(*it))
        {
            removeFromIndexes(it);
            it = _cache.erase(it);
        }
        else
        {
            ++it;
        }
    }
}

bool CacheSet::clear()
{
    destroy();
    _nbCacheHits.store(0);
    _pointSize = 0;
    return true;
}

void CacheSet::clearSgte(int mainThreadNum)
{
    processOnAllPoints(EvalPoint::clearEvalSgte, mainThreadNum);
}

void CacheSet::purge()
{
    std::cerr << "Warning: Calling Cache purge. Size is " << itos(size()) << " max is "
              << itos(_maxSize) << ". Some points will be removed from the cache." << std::endl;
    if (_maxSize == NO_SIZE_LIMIT || _maxSize > size())
    {
        return;
    }
    invalidateIndexes();

    bool removedLastPass = true;
    while (size() >= _maxSize)
    {
        Double mean;
        const size_t nbDefined = computeMeanF(mean);
        if (nbDefined > 0 && removedLastPass)
        {
            const auto isBelowMean = [&mean](const EvalPoint& p)
            {
                const Double f = p.getF(EvalType::BB);
                return f.isDefined() && f < mean;
            };
            const size_t nbKept =
                static_cast<size_t>(std::count_if(_cache.begin(), _cache.end(), isBelowMean));
            if (nbKept == 0)
            {
                removedLastPass = false;
                continue;
            }
            removedLastPass = nbKept < size();
            for (auto it = _cache.begin(); it != _cache.end();)
            {
                it = isBelowMean(*it) ? std::next(it) : _cache.erase(it);
            }
        }
        else
        {
            // Halving cannot remove the last point: stop there.
            const size_t half = size() / 2;
            if (half == 0)
            {
                break;
            }
            _cache.erase(std::next(_cache.begin(), static_cast<std::ptrdiff_t>(half)),
                         _cache.end());
            removedLastPass = true;
        }
    }
}

std::string CacheSet::displayAll() const
{
    std::string s;
    for (const auto& p : _cache)
    {
        s += p.displayAll();
        s += "\n";
    }
    return s;
}

// ---------------------------------------------------------------------------
// Cache file
// ---------------------------------------------------------------------------

bool CacheSet::write() const
{
    OutputQueue::addIfShown(OutputLevel::LEVEL_INFO,
                            [this] { return "Write cache file " + _filename; });
    return QARNO_4_0_0::write<CacheSet>(*this, _filename);
}

bool CacheSet::read()
{
    if (!checkReadFile(_filename))
    {
        return false;
    }
    OutputQueue::addIfShown(OutputLevel::LEVEL_INFO,
                            [this] { return "Read cache file " + _filename; });
    // Opened here rather than through read<CacheSet>, so that the reader can
    // name the file in its messages.
    std::unique_ptr<std::istream> in;
    if (!openForReading(_filename, in))
    {
        std::cerr << "Warning: " << typeid(CacheSet).name() << ": Cannot read from file "
                  << _filename << std::endl;
        return false;
    }
    readText(*in, _filename);
    return true;
}

void CacheSet::displayPointsWithEval(std::ostream& out) const
{
    for (const auto& p : _cache)
    {
        const Eval* bb = p.getEval(EvalType::BB);
        if (bb != nullptr && bb->goodForCacheFile())
        {
            out << p << '\n';
        }
    }
}

void CacheSet::recomputeFH(EvalPoint& evalPoint)
{
    Eval* bb = evalPoint.getEval(EvalType::BB);
    if (bb == nullptr)
    {
        return;
    }
    const EvalStatusType recorded = bb->getEvalStatus();
    const BBOutput bbOutput = bb->getBBOutput();
    bb->setBBOutputAndRecompute(bbOutput, _bbOutputType);
    if (recorded == EvalStatusType::EVAL_FAILED &&
        bb->getEvalStatus() != EvalStatusType::EVAL_FAILED)
    {
        // A failed evaluation whose output reads well is one the evaluator
        // itself declared failed (the file does not keep that flag):
        // interpreted as such, f is undefined again.
        bb->setBBOutputAndRecompute(BBOutput(bbOutput.getBBO(), false), _bbOutputType);
    }
    // The status read back is the one written, so that a point is neither
    // evaluated again nor taken as usable against its record. Only an
    // EVAL_OK that its output cannot support (no objective: a hand-edited
    // file) keeps what the output says.
    if (recorded != EvalStatusType::EVAL_OK)
    {
        bb->setEvalStatus(recorded);
    }
}

std::ostream& operator<<(std::ostream& out, const CacheSet& cache)
{
    // Every line is complete when the stream ends: the file replaces the
    // previous one only then, so flushing line by line would buy nothing.
    std::string types = BBOutputTypeListToString(CacheSet::_bbOutputType);
    if (!types.empty())
    {
        types.pop_back(); // each name is followed by a blank
    }
    out << "CACHE_HITS " << itos(CacheBase::_nbCacheHits.load()) << '\n';
    out << "BB_OUTPUT_TYPE " << types << '\n';
    cache.displayPointsWithEval(out);
    out.flush();
    return out;
}

void CacheSet::readText(std::istream& in, const std::string& fileName)
{
    const std::string source = fileName.empty() ? "cache text" : "cache file " + fileName;
    const auto where = [&source](size_t lineNumber)
    { return source + ", line " + itos(lineNumber); };

    // A damaged file can hold any number of bad lines: the first ones are
    // named, the others counted.
    constexpr size_t MAX_NAMED_SKIPS = 10;
    size_t nbSkipped = 0;
    const auto skip = [&](size_t lineNumber, const std::string& reason)
    {
        if (++nbSkipped <= MAX_NAMED_SKIPS)
        {
            std::cerr << "Warning: " << where(lineNumber)
                      << " cannot be read and is skipped: " << reason << std::endl;
        }
    };

    std::string line;
    size_t lineNumber = 0;
    while (std::getline(in, line))
    {
        ++lineNumber;
        // With its line end, so that the readers see the end of a record
        // as they see it inside a file, not as the end of the input.
        std::istringstream words(line + '\n');
        words.imbue(std::locale::classic());
        std::string first;
        if (!(words >> first))
        {
            continue; // an empty line
        }

        if ("CACHE_HITS" == first)
        {
            std::uint64_t hits = 0;
            std::string rest;
            if (!readUnsigned(words, hits) || (words >> rest))
            {
                skip(lineNumber, "\"CACHE_HITS\" must be followed by one number");
                continue;
            }
            _nbCacheHits.store(static_cast<size_t>(hits));
            continue;
        }

        if ("BB_OUTPUT_TYPE" == first)
        {
            // The types give every point its meaning: a point read under
            // wrong ones would be wrong, so an unknown one stops the reading.
            BBOutputTypeList types;
            std::string word;
            while (words >> word)
            {
                try
                {
                    types.push_back(stringToBBOutputType(word));
                }
                catch (const Exception& e)
                {
                    QARNO_THROW(Exception,
                                where(lineNumber) + ": " + escapeControlChars(e.getMessage()));
                }
            }
            _bbOutputType = types;
            continue;
        }

        words.clear();
        words.seekg(0);
        try
        {
            EvalPoint evalPoint;
            words >> evalPoint;
            std::string rest;
            if (words >> rest)
            {
                skip(lineNumber, (nullptr == evalPoint.getEval(EvalType::BB)
                                      ? "expecting an evaluation status after the point, got \""
                                      : "unexpected text after the output: \"") +
                                     escapeControlChars(rest) + "\"");
            }
            else if (nullptr != evalPoint.getEval(EvalType::BB) &&
                     !evalPoint.getEval(EvalType::BB)->goodForCacheFile())
            {
                // Such a status belongs to a run under way: a point kept with
                // it would never be evaluated.
                std::ostringstream status;
                status << evalPoint.getEvalStatus(EvalType::BB);
                skip(lineNumber, "a cache file holds no point with status " + status.str());
            }
            else
            {
                insert(evalPoint);
            }
        }
        catch (const Exception& e)
        {
            skip(lineNumber, e.getMessage());
        }
    }
    if (nbSkipped > MAX_NAMED_SKIPS)
    {
        std::cerr << "Warning: " << source << ": " << itos(nbSkipped - MAX_NAMED_SKIPS)
                  << " more lines cannot be read and are skipped" << std::endl;
    }

    processOnAllPoints(CacheSet::recomputeFH);
}

std::istream& operator>>(std::istream& in, CacheSet& cache)
{
    cache.readText(in, "");
    return in;
}

} // namespace QARNO_4_0_0
