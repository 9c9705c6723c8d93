#include "Algos/NelderMead/NMInitializeSimplex.hpp"

#include <algorithm>
#include <cmath>
#include <deque>
#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/CacheInterface.hpp"
#include "Algos/EvcInterface.hpp"
#include "Algos/MeshBase.hpp"
#include "Algos/NelderMead/NMEdgeBasis.hpp"
#include "Algos/NelderMead/NMIteration.hpp"
#include "Algos/NelderMead/NMSettings.hpp"
#include "Algos/NelderMead/NMSimplex.hpp"
#include "Algos/NelderMead/NMSimplexEvalPointCompare.hpp"
#include "Cache/CacheSet.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/Eval.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/ArrayOfDouble.hpp"
#include "Math/Double.hpp"
#include "Output/OutputInfo.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

namespace
{

const double NO_VALUE = std::numeric_limits<double>::infinity();

double valueOr(const Double& d, double otherwise)
{
    return d.isDefined() ? d.todouble() : otherwise;
}

/// The test a point must pass to be a candidate, made once per creation and
/// applied to each cached point where it is stored: the include rectangle
/// first (it rejects most points at the cost of a few subtractions), then
/// the evaluation. Points of the full space are tested against the fixed
/// variable too, so that only points of this sub-problem qualify.
class CandidateFilter
{
public:
    /// `fixedVariable` empty: the points tested are of the sub-space.
    CandidateFilter(const Point& center, const ArrayOfDouble& rectangle, const Point& fixedVariable,
                    EvalType evalType)
        : _evalType(evalType),
          _fullSize(fixedVariable.size() > 0 ? fixedVariable.size() : center.size()),
          _isFixed(_fullSize, false), _fixedValue(_fullSize, 0.0), _center(center.size()),
          _halfWidth(center.size())
    {
        const double eps = Double::getEpsilon();
        for (size_t i = 0; i < fixedVariable.size(); ++i)
        {
            if (fixedVariable[i].isDefined())
            {
                _isFixed[i] = true;
                _anyFixed = true;
                _fixedValue[i] = fixedVariable[i].todouble();
            }
        }
        for (size_t j = 0; j < center.size(); ++j)
        {
            _center[j] = center[j].todouble();
            _halfWidth[j] = rectangle[j].todouble() + eps;
        }
    }

    bool operator()(const EvalPoint& p) const
    {
        if (p.size() != _fullSize)
        {
            return false;
        }
        if (!_anyFixed && _fullSize == _center.size())
        {
            // The general walk below, with j = i throughout.
            for (size_t i = 0; i < _fullSize; ++i)
            {
                if (!(std::fabs(p[i].todouble() - _center[i]) <= _halfWidth[i]))
                {
                    return false;
                }
            }
            return evaluated(p);
        }
        const double eps = Double::getEpsilon();
        size_t j = 0;
        for (size_t i = 0; i < _fullSize; ++i)
        {
            const double x = p[i].todouble();
            if (_isFixed[i])
            {
                if (!(std::fabs(x - _fixedValue[i]) < eps))
                {
                    return false;
                }
                continue;
            }
            if (j >= _center.size() || !(std::fabs(x - _center[j]) <= _halfWidth[j]))
            {
                return false;
            }
            ++j;
        }
        if (j != _center.size())
        {
            return false;
        }
        return evaluated(p);
    }

private:
    bool evaluated(const EvalPoint& p) const
    {
        const Eval* eval = p.getEval(_evalType);
        return nullptr != eval && EvalStatusType::EVAL_OK == eval->getEvalStatus() &&
               eval->isBBOutputComplete();
    }

    EvalType _evalType;
    bool _anyFixed = false;
    size_t _fullSize;
    std::vector<bool> _isFixed;
    std::vector<double> _fixedValue;
    std::vector<double> _center;
    std::vector<double> _halfWidth;
};

/// The point of the sub-space of a point of the full space, with its
/// evaluations, tag and count; a point of the sub-space as it is.
EvalPoint toSubSpace(const EvalPoint& p, const Point& fixedVariable)
{
    if (p.size() == fixedVariable.size())
    {
        EvalPoint sub(p.projectPointToSubspace(fixedVariable));
        sub.copyMembers(p);
        return sub;
    }
    return p;
}

/// The f by which the simplex order compares p with any point of the same
/// kind, "f less than" alone: p has a feasible evaluation up to date with a
/// defined f that is not NaN (see NMSimplexEvalPointCompare::comesBefore).
bool orderedByF(const EvalPoint& p, EvalType evalType, double& f)
{
    const Eval* eval = p.getEval(evalType);
    if (nullptr == eval || eval->toBeRecomputed() || !eval->isFeasible())
    {
        return false;
    }
    const Double value = eval->getF();
    if (!value.isDefined() || std::isnan(value.todouble()))
    {
        return false;
    }
    f = value.todouble();
    return true;
}

/// What orders the candidates: feasible points by (f, tag), then infeasible
/// ones by (h, f, tag). A strict weak order, so a heap can hold it.
struct CandidateRank
{
    bool infeasible;
    double key1;
    double key2;
    size_t tag;
    size_t index;

    static CandidateRank of(const EvalPoint& p, EvalType evalType, size_t index)
    {
        CandidateRank rank{false, 0.0, 0.0, p.getTag(), index};
        const double f = valueOr(p.getF(evalType), NO_VALUE);
        if (p.isFeasible(evalType))
        {
            rank.key1 = f;
        }
        else
        {
            rank.infeasible = true;
            rank.key1 = valueOr(p.getH(evalType), NO_VALUE);
            rank.key2 = f;
        }
        return rank;
    }

    /// Neither ranks before the other but for tags and indices.
    static bool sameKeys(const CandidateRank& a, const CandidateRank& b)
    {
        return a.infeasible == b.infeasible && a.key1 == b.key1 && a.key2 == b.key2;
    }

    static bool better(const CandidateRank& a, const CandidateRank& b)
    {
        if (a.infeasible != b.infeasible)
        {
            return !a.infeasible;
        }
        if (a.key1 != b.key1)
        {
            return a.key1 < b.key1;
        }
        if (a.key2 != b.key2)
        {
            return a.key2 < b.key2;
        }
        if (a.tag != b.tag)
        {
            return a.tag < b.tag;
        }
        return a.index < b.index;
    }
};

} // namespace

NMInitializeSimplex::NMInitializeSimplex(const Step* parentStep)
    : Step(parentStep), NMIterationUtils(this)
{
    init();
}

NMInitializeSimplex::~NMInitializeSimplex() = default;

void NMInitializeSimplex::init()
{
    setName(getAlgoName() + "Initialize Simplex");
    verifyParentNotNull();
}

bool NMInitializeSimplex::runImp()
{
    if (nullptr == _simplexY)
    {
        QARNO_THROW(Exception, "The simplex is not defined.");
    }
    if (!_simplexY->empty())
    {
        if (OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_INFO))
        {
            AddOutputInfo("Simplex already initialized: " + std::to_string(_simplexY->size()) +
                              " points",
                          OutputLevel::LEVEL_INFO);
        }
        return true;
    }
    return createSimplex();
}

bool NMInitializeSimplex::createSimplex()
{
    const EvalType evalType = NMSimplexEvalPointCompare::currentEvalType();

    const auto* iteration = dynamic_cast<const NMIteration*>(Step::_parentStep);
    if (nullptr == iteration)
    {
        QARNO_THROW(Exception, "The simplex initialization must have a NMIteration Step as parent");
    }
    const auto center = iteration->getFrameCenter();
    if (nullptr == center)
    {
        QARNO_THROW(Exception, "A center point must be defined.");
    }
    const Eval* centerEval = center->getEval(evalType);
    if (nullptr == centerEval || !centerEval->isBBOutputComplete())
    {
        QARNO_THROW(Exception,
                    "A center point must have all output defined for functions (OBJ, PB, EB).");
    }

    _simplexY->clear();
    const auto settings = NMSettings::of(*this);
    const size_t n = settings->dimension;

    const bool showDebug = OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_DEBUG);
    const bool showInfo = OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_INFO);
    OutputInfo creationInfo(getName(), "Insertion of potential points to include in initial Y: ",
                            OutputLevel::LEVEL_DEBUG);

    // The include rectangle.
    ArrayOfDouble rectangle(n, settings->includeLength);
    const size_t includeFactor = settings->includeFactor;
    const auto mesh = iteration->getMesh();
    if (nullptr != mesh && 0 != includeFactor &&
        std::numeric_limits<size_t>::max() != includeFactor)
    {
        const ArrayOfDouble frameSize = mesh->getDeltaFrameSize();
        if (!frameSize.isDefined())
        {
            QARNO_THROW(Exception, "The frame size is not defined.");
        }
        for (size_t i = 0; i < n && i < frameSize.size(); ++i)
        {
            // A coordinate without frame size keeps the include length.
            if (frameSize[i].isDefined())
            {
                rectangle[i] = frameSize[i] * Double(static_cast<double>(includeFactor));
            }
        }
        if (showDebug)
        {
            creationInfo.addMsg("The include rectangle: " + rectangle.display());
        }
    }
    // Plain doubles: Double's own comparison already subtracts epsilon.
    if (n > 0 && std::fabs(rectangle.max().todouble()) < Double::getEpsilon())
    {
        QARNO_THROW(Exception, "The include rectangle has no volume");
    }

    const auto nmStopReasons = AlgoStopReasons<NMStopType>::get(_stopReasons);
    OutputInfo selectionInfo(getName(), "Proceed to simplex creation", OutputLevel::LEVEL_DEBUG);
    _simplexY->reserve(n + 2);
    NMEdgeBasis keptSpan;
    const double rankTolerance = _rankTolerance.todouble();
    // Whether the last decision found DZ of the final Y of full rank.
    bool fullRankKnown = false;
    bool started = false;
    size_t k = 1;

    // Where a candidate goes in Y, and which of the first passes made
    // together measures its edge.
    struct Prepared
    {
        std::pair<size_t, bool> placed;
        size_t measure;
    };
    bool y0Changed = false;

    // `place` compares a candidate with each point of Y; best first, it
    // mostly goes last. Where every point kept so far is ordered by f
    // alone, a candidate whose f exceeds the greatest of theirs by more
    // than Double's epsilon surely ranks after each of them (`Double`'s
    // "less than" is monotone in either side) and has no copy among them:
    // `place` would answer the end of Y.
    bool keptOrderedByF = true;
    double keptGreatestF = -std::numeric_limits<double>::infinity();
    const auto noteKept = [&](const EvalPoint& y)
    {
        double f = 0;
        if (orderedByF(y, evalType, f))
        {
            keptGreatestF = std::max(keptGreatestF, f);
        }
        else
        {
            keptOrderedByF = false;
        }
    };
    const auto placeOf = [&](const EvalPoint& z) -> std::pair<size_t, bool>
    {
        double f = 0;
        if (keptOrderedByF && !_simplexY->empty() && orderedByF(z, evalType, f) &&
            keptGreatestF < f - Double::getEpsilon())
        {
            return {_simplexY->size(), true};
        }
        return _simplexY->place(z, evalType);
    };

    // The greedy choice, one candidate at a time, best first: false once Y
    // is complete or the creation failed, when no candidate is wanted any
    // more.
    const auto decide = [&](const EvalPoint& zk, const Prepared* prepared) -> bool
    {
        if (!started)
        {
            started = true;
            _simplexY->insert(zk, evalType);
            noteKept(zk);
            if (showDebug)
            {
                selectionInfo.addMsg("k=0: Point z0:" + zk.display(ArrayOfDouble()));
                selectionInfo.addMsg(" ---> z0 KEPT in Y ");
            }
            keptSpan.reset(*_simplexY);
            return true;
        }
        if (_stopReasons->checkTerminate() || _simplexY->size() == n + 1)
        {
            return false;
        }
        if (showDebug)
        {
            selectionInfo.addMsg("k=" + std::to_string(k) +
                                 ": Point zk:" + zk.display(ArrayOfDouble()));
        }
        const auto placed = (nullptr != prepared) ? prepared->placed : placeOf(zk);
        if (!placed.second)
        {
            nmStopReasons->_algoStopReason.set(NMStopType::INITIALIZATION_FAILED);
            AddOutputInfo("Stop NM because cannot insert a point in Y.", OutputLevel::LEVEL_INFO);
            return false;
        }
        // y0 unchanged: the kept edges stay those of Y, and a candidate in
        // their span (with at least one edge kept) cannot raise the rank
        // while one far from it surely does (see NMEdgeBasis). The debug
        // display shows every decomposition, which needs zk in Y.
        int rank = -1;
        bool decided = false;
        if (placed.first > 0)
        {
            const double inSpanLimit = (k >= 2) ? 0.5 * rankTolerance : -1.0;
            if (nullptr != prepared)
            {
                keptSpan.completeMeasure(prepared->measure, inSpanLimit);
            }
            else
            {
                keptSpan.measure(zk, inSpanLimit);
            }
            if (k >= 2 && keptSpan.distance() <= inSpanLimit)
            {
                rank = static_cast<int>(k) - 1;
                decided = true;
            }
            else if (!showDebug && keptSpan.surelyRaisesRank(rankTolerance))
            {
                rank = static_cast<int>(k);
                decided = true;
            }
        }
        const bool held = !decided;
        if (held)
        {
            _simplexY->insertAt(placed.first, zk);
            rank = getRankDZ();
        }
        if (rank < 1)
        {
            nmStopReasons->_algoStopReason.set(NMStopType::INITIALIZATION_FAILED);
            AddOutputInfo("Cannot get rank of DZ=[(y1-y0 (y2-y0) ...(yk-y0)].",
                          OutputLevel::LEVEL_INFO);
            return false;
        }
        if (static_cast<size_t>(rank) == k)
        {
            if (showDebug)
            {
                selectionInfo.addMsg(" ---> zk KEPT in Y ");
            }
            if (!held)
            {
                _simplexY->insertAt(placed.first, zk);
            }
            noteKept(zk);
            ++k;
            fullRankKnown = true;
            if (0 == placed.first)
            {
                // A new y0: the edges are taken from it now.
                keptSpan.reset(*_simplexY);
                y0Changed = true;
            }
            else
            {
                keptSpan.keepMeasured();
            }
        }
        else
        {
            if (showDebug)
            {
                selectionInfo.addMsg(" ---> zk NOT KEPT in Y ");
            }
            if (held)
            {
                _simplexY->erase(placed.first);
            }
        }
        return true;
    };

    // The candidates wait in small groups, so that the first passes of
    // their edges are made together; each is completed when its turn comes,
    // through the edges kept meanwhile (see NMEdgeBasis::firstPasses). The
    // decisions are those of one candidate at a time, in the same order.
    const size_t GROUP = 8;
    std::vector<EvalPoint> waiting;
    std::vector<const EvalPoint*> toMeasure;
    bool finished = false;
    const auto decideWaiting = [&]()
    {
        size_t i = 0;
        while (i < waiting.size() && !finished)
        {
            if (!started)
            {
                finished = !decide(waiting[i], nullptr);
                ++i;
                continue;
            }
            // The first passes hold while y0 stays.
            toMeasure.clear();
            for (size_t j = i; j < waiting.size(); ++j)
            {
                toMeasure.push_back(&waiting[j]);
            }
            keptSpan.firstPasses(toMeasure);
            const size_t from = i;
            y0Changed = false;
            for (; i < waiting.size() && !finished && !y0Changed; ++i)
            {
                const Prepared ready{placeOf(waiting[i]), i - from};
                finished = !decide(waiting[i], &ready);
            }
        }
        waiting.clear();
    };
    const auto offer = [&](EvalPoint&& zk) -> bool
    {
        if (finished)
        {
            return false;
        }
        waiting.push_back(std::move(zk));
        if (waiting.size() >= GROUP)
        {
            decideWaiting();
        }
        return !finished;
    };

    const auto& evc = EvcInterface::getEvaluatorControl();
    const bool useCache = (nullptr == evc) || evc->getUseCache(-1);
    bool enough = false;
    bool walked = false;
    if (useCache && !showInfo)
    {
        walked = offerFromRankedCache(*center, rectangle, evalType, n, offer, enough);
    }
    if (!walked)
    {
        if (!offerFromAllCandidates(*center, rectangle, evalType, n, useCache, showDebug, showInfo,
                                    creationInfo, offer, enough))
        {
            return false;
        }
    }
    if (!enough)
    {
        nmStopReasons->_algoStopReason.set(NMStopType::INITIALIZATION_FAILED);
        AddOutputInfo("Stop NM because not enough points in Y.", OutputLevel::LEVEL_INFO);
        return false;
    }
    decideWaiting();
    if (showDebug)
    {
        OutputQueue::getInstance()->add(std::move(selectionInfo));
    }

    if (_simplexY->size() < n + 1)
    {
        nmStopReasons->_algoStopReason.set(NMStopType::INITIALIZATION_FAILED);
        AddOutputInfo("Stop NM because not enough simplex points in Y.", OutputLevel::LEVEL_INFO);
        return false;
    }
    // The decision that completed Y was made on DZ as it stands now: its
    // decomposition again can only say the same (the debug display shows it).
    if ((!fullRankKnown || showDebug) && getRankDZ() != static_cast<int>(n))
    {
        nmStopReasons->_algoStopReason.set(NMStopType::INITIALIZATION_FAILED);
        AddOutputInfo("Stop NM because rank of Y < n.", OutputLevel::LEVEL_INFO);
        return false;
    }

    // The kept edges are those of Y: the rank test after the first
    // insertion measures only the edges that changed.
    _simplexY->edgeBasis() = std::move(keptSpan);
    updateYCharacteristics();
    displayYInfo();
    return true;
}

bool NMInitializeSimplex::offerFromRankedCache(const EvalPoint& center,
                                               const ArrayOfDouble& rectangle, EvalType evalType,
                                               size_t n,
                                               const std::function<bool(EvalPoint&&)>& offer,
                                               bool& enough) const
{
    const auto* cacheSet = dynamic_cast<const CacheSet*>(CacheBase::getInstance().get());
    if (nullptr == cacheSet)
    {
        return false;
    }
    const Point fixedVariable = CacheInterface(this).getFixedVariable();
    const CandidateFilter filter(center, rectangle, fixedVariable, evalType);

    // The cache hands its points best first, in the order of the feasible
    // and infeasible rankings; the candidates of one rank (same keys) are
    // ordered by tag, then in cache order, as the heap of every candidate
    // would pop them. They are offered once n + 1 are known, as the heap
    // would only start then, and the walk stops with the greedy choice.
    std::vector<const EvalPoint*> group;
    CandidateRank groupRank{};
    std::deque<const EvalPoint*> pending;
    size_t found = 0;
    bool stopped = false;
    enough = false;
    const auto flush = [&]() -> bool
    {
        std::sort(group.begin(), group.end(),
                  [](const EvalPoint* a, const EvalPoint* b) {
                      return a->getTag() != b->getTag() ? a->getTag() < b->getTag()
                                                        : Point::weakLess(*a, *b);
                  });
        found += group.size();
        pending.insert(pending.end(), group.begin(), group.end());
        group.clear();
        enough = enough || found >= n + 1;
        while (enough && !pending.empty())
        {
            const EvalPoint* candidate = pending.front();
            pending.pop_front();
            if (!offer(toSubSpace(*candidate, fixedVariable)))
            {
                return false;
            }
        }
        return true;
    };
    const bool walked = cacheSet->visitInRankOrder(
        evalType,
        [&](const EvalPoint& p)
        {
            if (!filter(p))
            {
                return true;
            }
            const CandidateRank rank = CandidateRank::of(p, evalType, 0);
            if (!group.empty() && !CandidateRank::sameKeys(rank, groupRank))
            {
                if (!flush())
                {
                    stopped = true;
                    return false;
                }
            }
            groupRank = rank;
            group.push_back(&p);
            return true;
        });
    if (!walked)
    {
        // Nothing was offered: the walk did not start.
        return false;
    }
    if (!stopped && !group.empty())
    {
        flush();
    }
    return true;
}

bool NMInitializeSimplex::offerFromAllCandidates(const EvalPoint& center,
                                                 const ArrayOfDouble& rectangle, EvalType evalType,
                                                 size_t n, bool useCache, bool showDebug,
                                                 bool showInfo, OutputInfo& creationInfo,
                                                 const std::function<bool(EvalPoint&&)>& offer,
                                                 bool& enough)
{
    // Every candidate, copied in the sub-space, in cache order.
    std::vector<EvalPoint> candidates;
    if (useCache)
    {
        const CacheInterface cacheInterface(this);
        const CandidateFilter filter(center, rectangle, cacheInterface.getFixedVariable(),
                                     evalType);
        cacheInterface.find(std::cref(filter), candidates, false);
    }
    else if (const auto barrier = getMegaIterationBarrier())
    {
        const CandidateFilter filter(center, rectangle, Point(), evalType);
        for (auto& point : barrier->getAllPoints())
        {
            if (filter(point))
            {
                candidates.push_back(std::move(point));
            }
        }
    }

    if (showDebug)
    {
        // The first few candidates, in the order they were found.
        size_t listed = 0;
        for (const auto& point : candidates)
        {
            const bool isCenter = (point == center);
            if (listed < 4)
            {
                creationInfo.addMsg(point.display(ArrayOfDouble()));
                ++listed;
            }
            else if (4 == listed && !isCenter)
            {
                creationInfo.addMsg("...");
                ++listed;
            }
        }
        OutputQueue::getInstance()->add(std::move(creationInfo));
    }
    if (showInfo)
    {
        AddOutputInfo("Number of potential points to include in initial Y: " +
                          std::to_string(candidates.size()),
                      OutputLevel::LEVEL_INFO);
    }

    enough = candidates.size() >= n + 1;
    if (!enough)
    {
        return true;
    }

    // Best first: a heap whose top is the best candidate left.
    std::vector<CandidateRank> heap;
    heap.reserve(candidates.size());
    for (size_t i = 0; i < candidates.size(); ++i)
    {
        heap.push_back(CandidateRank::of(candidates[i], evalType, i));
    }
    const auto worse = [](const CandidateRank& a, const CandidateRank& b)
    { return CandidateRank::better(b, a); };
    std::make_heap(heap.begin(), heap.end(), worse);
    while (!heap.empty())
    {
        std::pop_heap(heap.begin(), heap.end(), worse);
        const size_t index = heap.back().index;
        heap.pop_back();
        // Each candidate is offered once: the offer takes it over.
        if (!offer(std::move(candidates[index])))
        {
            break;
        }
    }
    return true;
}

} // namespace QARNO_4_0_0
