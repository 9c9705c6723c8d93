#include "Algos/NelderMead/NMInitializeSimplex.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/CacheInterface.hpp"
#include "Algos/EvcInterface.hpp"
#include "Algos/MeshBase.hpp"
#include "Algos/NelderMead/NMIteration.hpp"
#include "Algos/NelderMead/NMSimplex.hpp"
#include "Algos/NelderMead/NMSimplexEvalPointCompare.hpp"
#include "Eval/Barrier.hpp"
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
        const Eval* eval = p.getEval(_evalType);
        return nullptr != eval && EvalStatusType::EVAL_OK == eval->getEvalStatus() &&
               eval->isBBOutputComplete();
    }

private:
    EvalType _evalType;
    size_t _fullSize;
    std::vector<bool> _isFixed;
    std::vector<double> _fixedValue;
    std::vector<double> _center;
    std::vector<double> _halfWidth;
};

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

/// The affine span of the simplex points kept so far, as an orthonormal
/// basis of the edges yk - y0. It lets a candidate that lies in that span
/// (to within half the rank tolerance) be dropped without the singular-value
/// decomposition of DZ: the smallest singular value of DZ with that
/// candidate's row is at most the distance of the row to the span of the
/// others, so the decomposition would find the rank unchanged. Caches of
/// MADS runs hold many such points (poll points along one direction), and
/// each decomposition costs O(k n^2). Every other decision is left to
/// `getRankDZ`.
class KeptSpan
{
public:
    /// Basis of the edges of Y, in Y's order, from its first point.
    void reset(const NMSimplex& Y)
    {
        _basis.clear();
        _base.clear();
        if (Y.empty())
        {
            return;
        }
        for (size_t i = 0; i < Y.front().size(); ++i)
        {
            _base.push_back(Y.front()[i].todouble());
        }
        for (size_t k = 1; k < Y.size(); ++k)
        {
            add(Y[k]);
        }
    }

    /// Distance of z - y0 to the span of the edges.
    double distance(const EvalPoint& z) const
    {
        std::vector<double> r;
        return residual(z, r);
    }

    /// Adds the edge z - y0 to the basis.
    void add(const EvalPoint& z)
    {
        std::vector<double> r;
        const double norm = residual(z, r);
        if (norm > 0)
        {
            for (double& x : r)
            {
                x /= norm;
            }
            _basis.push_back(std::move(r));
        }
    }

private:
    double residual(const EvalPoint& z, std::vector<double>& r) const
    {
        r.assign(_base.size(), 0.0);
        for (size_t i = 0; i < _base.size(); ++i)
        {
            r[i] = z[i].todouble() - _base[i];
        }
        // Two passes of modified Gram-Schmidt keep the residual accurate.
        for (int pass = 0; pass < 2; ++pass)
        {
            for (const auto& q : _basis)
            {
                double dot = 0;
                for (size_t i = 0; i < r.size(); ++i)
                {
                    dot += q[i] * r[i];
                }
                for (size_t i = 0; i < r.size(); ++i)
                {
                    r[i] -= dot * q[i];
                }
            }
        }
        double norm2 = 0;
        for (double x : r)
        {
            norm2 += x * x;
        }
        return std::sqrt(norm2);
    }

    std::vector<double> _base;
    std::vector<std::vector<double>> _basis;
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
    const size_t n = _pbParams->getAttributeValue<size_t>("DIMENSION");

    const bool showDebug = OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_DEBUG);
    OutputInfo creationInfo(getName(), "Insertion of potential points to include in initial Y: ",
                            OutputLevel::LEVEL_DEBUG);

    // The include rectangle.
    const Double includeLength = _runParams->getAttributeValue<Double>("NM_SIMPLEX_INCLUDE_LENGTH");
    ArrayOfDouble rectangle(n, includeLength);
    const size_t includeFactor = _runParams->getAttributeValue<size_t>("NM_SIMPLEX_INCLUDE_FACTOR");
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

    // The candidates.
    std::vector<EvalPoint> candidates;
    const auto& evc = EvcInterface::getEvaluatorControl();
    const bool useCache = (nullptr == evc) || evc->getUseCache(-1);
    if (useCache)
    {
        const CacheInterface cacheInterface(this);
        const CandidateFilter filter(*center, rectangle, cacheInterface.getFixedVariable(),
                                     evalType);
        cacheInterface.find(std::cref(filter), candidates, false);
    }
    else if (const auto barrier = getMegaIterationBarrier())
    {
        const CandidateFilter filter(*center, rectangle, Point(), evalType);
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
            const bool isCenter = (point == *center);
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

    if (OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_INFO))
    {
        AddOutputInfo("Number of potential points to include in initial Y: " +
                          std::to_string(candidates.size()),
                      OutputLevel::LEVEL_INFO);
    }

    const auto nmStopReasons = AlgoStopReasons<NMStopType>::get(_stopReasons);
    if (candidates.size() < n + 1)
    {
        nmStopReasons->_algoStopReason.set(NMStopType::INITIALIZATION_FAILED);
        AddOutputInfo("Stop NM because not enough points in Y.", OutputLevel::LEVEL_INFO);
        return false;
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
    const auto popBest = [&]() -> const EvalPoint&
    {
        std::pop_heap(heap.begin(), heap.end(), worse);
        const size_t index = heap.back().index;
        heap.pop_back();
        return candidates[index];
    };

    OutputInfo selectionInfo(getName(), "Proceed to simplex creation", OutputLevel::LEVEL_DEBUG);
    _simplexY->reserve(n + 2);
    const EvalPoint& z0 = popBest();
    _simplexY->insert(z0, evalType);
    if (showDebug)
    {
        selectionInfo.addMsg("k=0: Point z0:" + z0.display(ArrayOfDouble()));
        selectionInfo.addMsg(" ---> z0 KEPT in Y ");
    }

    KeptSpan keptSpan;
    keptSpan.reset(*_simplexY);
    const double rankTolerance = _rankTolerance.todouble();
    size_t k = 1;
    while (!heap.empty())
    {
        if (_stopReasons->checkTerminate() || _simplexY->size() == n + 1)
        {
            break;
        }
        const EvalPoint& zk = popBest();
        if (showDebug)
        {
            selectionInfo.addMsg("k=" + std::to_string(k) +
                                 ": Point zk:" + zk.display(ArrayOfDouble()));
        }
        const auto inserted = _simplexY->insert(zk, evalType);
        if (!inserted.second)
        {
            nmStopReasons->_algoStopReason.set(NMStopType::INITIALIZATION_FAILED);
            AddOutputInfo("Stop NM because cannot insert a point in Y.", OutputLevel::LEVEL_INFO);
            break;
        }
        // y0 unchanged and at least one edge kept: a candidate in the span of
        // the kept edges cannot raise the rank (see KeptSpan).
        const bool inSpan =
            k >= 2 && inserted.first > 0 && keptSpan.distance(zk) <= 0.5 * rankTolerance;
        const int rank = inSpan ? static_cast<int>(k) - 1 : getRankDZ();
        if (rank < 1)
        {
            nmStopReasons->_algoStopReason.set(NMStopType::INITIALIZATION_FAILED);
            AddOutputInfo("Cannot get rank of DZ=[(y1-y0 (y2-y0) ...(yk-y0)].",
                          OutputLevel::LEVEL_INFO);
            break;
        }
        if (static_cast<size_t>(rank) == k)
        {
            if (showDebug)
            {
                selectionInfo.addMsg(" ---> zk KEPT in Y ");
            }
            ++k;
            if (0 == inserted.first)
            {
                // A new y0: the edges are taken from it now.
                keptSpan.reset(*_simplexY);
            }
            else
            {
                keptSpan.add(zk);
            }
        }
        else
        {
            if (showDebug)
            {
                selectionInfo.addMsg(" ---> zk NOT KEPT in Y ");
            }
            _simplexY->erase(inserted.first);
        }
    }
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
    if (getRankDZ() != static_cast<int>(n))
    {
        nmStopReasons->_algoStopReason.set(NMStopType::INITIALIZATION_FAILED);
        AddOutputInfo("Stop NM because rank of Y < n.", OutputLevel::LEVEL_INFO);
        return false;
    }

    updateYCharacteristics();
    displayYInfo();
    return true;
}

} // namespace QARNO_4_0_0
