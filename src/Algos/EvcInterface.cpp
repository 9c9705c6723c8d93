#include "Algos/EvcInterface.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Algos/Mads/MegaSearchPoll.hpp"
#include "Algos/MeshBase.hpp"
#include "Algos/PhaseOne/PhaseOne.hpp"
#include "Algos/Step.hpp"
#include "Algos/StepException.hpp"
#include "Algos/SubproblemManager.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvalQueuePoint.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/Grid.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/PbParameters.hpp"
#include "Util/AllStopReasons.hpp"
#include "Util/Exception.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

namespace
{

bool debugShown()
{
    return OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_DEBUG);
}

/// Puts the points of a step on the grids of its granular variables and
/// within its bounds, exactly. The steps place their points on the mesh
/// with tolerant comparisons, and some (Nelder-Mead or Latin hypercube
/// alone) have no mesh at all; past this point a coordinate is a blackbox
/// input and a cache key, where a value one ulp off is another point.
class PointPlacement
{
public:
    /// Reads the problem parameters, which must outlive the object and stay
    /// unchanged while it serves.
    explicit PointPlacement(const std::shared_ptr<PbParameters>& pbParams)
        : _grids(), _lb(&_none), _ub(&_none)
    {
        if (nullptr != pbParams)
        {
            _grids = Grid::gridsOf(pbParams->getAttributeValue<ArrayOfDouble>("GRANULARITY"));
            _lb = &pbParams->getAttributeValue<ArrayOfDouble>("LOWER_BOUND");
            _ub = &pbParams->getAttributeValue<ArrayOfDouble>("UPPER_BOUND");
        }
    }

    /// The point placed; as it is when its bounds hold no grid point (the
    /// parameter checks make that impossible for a checked problem).
    EvalPoint placed(const EvalPoint& point) { return placed(EvalPoint(point)); }

    EvalPoint placed(EvalPoint&& point)
    {
        EvalPoint result(std::move(point));
        const size_t n = result.size();
        const bool withGrids = (_grids.size() == n);
        const bool withLb = (_lb->size() == n);
        const bool withUb = (_ub->size() == n);
        if (n != _in.size())
        {
            // Grids and bounds of another size are none: what was placed
            // for the last size does not hold.
            _in.assign(n, 0.0);
            _out.assign(n, 0.0);
            _placed.assign(n, 0.0);
            _known.assign(n, 0);
            _noGrid = !withGrids || std::none_of(_grids.begin(), _grids.end(),
                                                 [](const Grid& g) { return g.isGranular(); });
            const double inf = std::numeric_limits<double>::infinity();
            // Only a problem without grids reads them.
            _lo.assign(_noGrid ? n : 0, -inf);
            _hi.assign(_noGrid ? n : 0, inf);
            for (size_t i = 0; _noGrid && i < n; ++i)
            {
                if (withLb && (*_lb)[i].isDefined())
                {
                    _lo[i] = (*_lb)[i].todouble();
                }
                if (withUb && (*_ub)[i].isDefined())
                {
                    _hi[i] = (*_ub)[i].todouble();
                }
            }
        }
        // Without a grid, a coordinate within its bounds is placed where it
        // is: a point whose every coordinate is a number within them stays
        // as it is, as the look at each coordinate below would find.
        if (_noGrid && Double::allBetween(result.data(), _lo.data(), _hi.data(), n))
        {
            return result;
        }
        // The points of one step share most coordinates with each other: a
        // coordinate holding the very number it held in the point before is
        // placed where that one was, without the grid's divisions.
        Double* const x = result.data();
        double* const in = _in.data();
        double* const out = _out.data();
        char* const known = _known.data();
        double* const placedValue = _placed.data();
        bool undefinedSeen = false;
        bool anyChange = false;
        for (size_t i = 0; i < n; ++i)
        {
            if (!x[i].isDefined())
            {
                undefinedSeen = true;
                continue;
            }
            const double v = x[i].todouble();
            if (!(known[i] && 0 == std::memcmp(&v, &in[i], sizeof v)))
            {
                const Grid& grid = withGrids ? _grids[i] : _continuous;
                double p = 0.0;
                const bool ok = grid.placeWithinBounds(v, withLb ? (*_lb)[i] : _undefined,
                                                       withUb ? (*_ub)[i] : _undefined, p);
                if (!ok)
                {
                    // Not remembered: the next point that holds it fails again.
                    return result;
                }
                in[i] = v;
                out[i] = p;
                known[i] = 1;
            }
            placedValue[i] = out[i];
            anyChange = anyChange || (out[i] != v);
        }
        // Moved by more than the tolerance (or not fully defined, which the
        // tolerant equality of arrays never calls equal): another point,
        // with a tag of its own.
        bool moved = undefinedSeen;
        const double eps = Double::getEpsilon();
        for (size_t i = 0; anyChange && i < n; ++i)
        {
            if (!x[i].isDefined())
            {
                continue;
            }
            const double v = x[i].todouble();
            if (placedValue[i] != v)
            {
                moved = moved || !(std::fabs(placedValue[i] - v) < eps);
                x[i] = placedValue[i];
            }
        }
        if (moved)
        {
            result.setTag(0);
        }
        return result;
    }

private:
    const ArrayOfDouble _none;
    const Double _undefined;
    const Grid _continuous{Double()};
    std::vector<Grid> _grids;
    const ArrayOfDouble* _lb;
    const ArrayOfDouble* _ub;
    /// Coordinate i of the last point that held a number there (`_in`) and
    /// where it was placed (`_out`), once `_known`.
    std::vector<double> _in;
    std::vector<double> _out;
    std::vector<char> _known;
    /// The placed values of the current point, written once all are found.
    std::vector<double> _placed;
    /// For the size of `_in`: no coordinate on a grid, and the bounds as
    /// numbers (infinite where there is none).
    bool _noGrid = false;
    std::vector<double> _lo;
    std::vector<double> _hi;
};

/// The placement of the last problem's points, kept from step to step: every
/// step queues points, often a single one, and its grids and bounds are the
/// same until the problem's parameters change. The parameters are held weakly
/// with their change count, so that a new or changed set gets a new
/// placement.
struct KeptPlacement
{
    std::weak_ptr<PbParameters> params;
    size_t changes = 0;
    std::unique_ptr<PointPlacement> placement;
};

KeptPlacement& keptPlacement()
{
    static KeptPlacement kept;
    return kept;
}

PointPlacement& placementFor(const Step& step)
{
    const auto& pbParams = step.getPbParams();
    KeptPlacement& kept = keptPlacement();
    const bool same = (nullptr != kept.placement) && (nullptr != pbParams) &&
                      (kept.params.lock() == pbParams) &&
                      (kept.changes == pbParams->getChangeCount());
    if (!same)
    {
        kept.placement = std::make_unique<PointPlacement>(pbParams);
        kept.params = pbParams;
        kept.changes = (nullptr == pbParams) ? 0 : pbParams->getChangeCount();
    }
    return *kept.placement;
}
} // namespace

void EvcInterface::forgetPointPlacement()
{
    keptPlacement() = KeptPlacement();
}

bool EvcInterface::keepsPointPlacement()
{
    return nullptr != keptPlacement().placement;
}

std::shared_ptr<EvaluatorControl> EvcInterface::_evaluatorControl;

EvcInterface::EvcInterface(const Step* step) : _step(step), _fixedVariable()
{
    init();
}

void EvcInterface::setEvaluatorControl(const std::shared_ptr<EvaluatorControl>& evaluatorControl)
{
    _evaluatorControl = evaluatorControl;
}

void EvcInterface::init()
{
    verifyStepNotNull();
    verifyEvaluatorControlNotNull();
    _fixedVariable = SubproblemManager::getSubFixedVariable(_step);
}

void EvcInterface::verifyStepNotNull() const
{
    if (nullptr == _step)
    {
        QARNO_THROW(Exception, "Step for EvcInterface should not be NULL");
    }
}

void EvcInterface::verifyEvaluatorControlNotNull()
{
    if (nullptr == _evaluatorControl)
    {
        QARNO_THROW(Exception, "EvaluatorControl for EvcInterface should not be NULL");
    }
}

void EvcInterface::keepPointsThatNeedEval(const std::set<EvalPoint, EvalPointCompare>& trialPoints,
                                          bool withIteration)
{
    keepPointsThatNeedEval(std::set<EvalPoint, EvalPointCompare>(trialPoints), withIteration);
}

void EvcInterface::keepPointsThatNeedEval(std::set<EvalPoint, EvalPointCompare>&& trialPoints,
                                          bool withIteration)
{
    // The queue may have been removed since this object was built.
    if (nullptr == _evaluatorControl)
    {
        QARNO_THROW(StepException, _step->getName() + ": EvaluatorControl not found", _step);
    }
    const EvalType evalType = _evaluatorControl->getEvalType(-1);

    const Step* iteration = nullptr;
    for (const Step* s = _step->getParentStep(); nullptr != s; s = s->getParentStep())
    {
        if (s->isAnIteration())
        {
            iteration = s;
            break;
        }
        if (s->isAnAlgorithm())
        {
            break;
        }
    }
    const auto* megaSearchPoll = dynamic_cast<const MegaSearchPoll*>(_step);
    if (nullptr == iteration && nullptr == megaSearchPoll && withIteration)
    {
        QARNO_THROW(StepException,
                    _step->getName() +
                        ": In keepPointsThatNeedEval: need a parent of type Iteration "
                        "or MegaSearchPoll",
                    _step);
    }

    // The block of messages is built only when it is shown.
    const bool infoShown = OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_INFO);
    const std::string blockText =
        infoShown ? "Add points to eval queue for step " + _step->getName() : std::string();
    if (!trialPoints.empty() && infoShown)
    {
        _step->AddOutputInfo(blockText, true, false);
        if (debugShown())
        {
            _step->AddOutputDebug(std::to_string(trialPoints.size()) +
                                  " points to add to eval queue");
        }
    }

    // Once per call: the same for every point.
    const bool useCache = _evaluatorControl->getUseCache(-1);
    bool haveBarrierPoints = false;
    std::vector<EvalPoint> barrierPoints;
    if (!useCache && EvalType::BB == evalType && nullptr != _evaluatorControl->getBarrier(-1))
    {
        haveBarrierPoints = true;
        barrierPoints = _evaluatorControl->getBarrierPointsInFullSpace(-1);
    }
    const auto comment = std::make_shared<const std::string>(_step->getAlgoComment());
    const auto genStep = std::make_shared<const std::string>(_step->getName());
    const bool inPhaseOne = (nullptr != dynamic_cast<const PhaseOne*>(_step->getRootAlgorithm()));
    const bool iterationLookedUp = (nullptr != iteration);
    PointPlacement& placement = placementFor(*_step);
    const bool noFixedVariable = (0 == _fixedVariable.nbDefined());
    const bool showTrialPointCount = !trialPoints.empty() && infoShown;
    // The sizes of the mesh of the last iteration met, shared by its points.
    const Step* sizesOf = nullptr;
    std::shared_ptr<const ArrayOfDouble> meshSize;
    std::shared_ptr<const ArrayOfDouble> frameSize;

    while (!trialPoints.empty())
    {
        // The node is freed at the end of the turn: the queue's copy replaces it.
        auto node = trialPoints.extract(trialPoints.begin());
        const EvalPoint& trialPoint = node.value();
        // The trial point is kept only where the iteration is looked up by
        // its coordinates; otherwise it becomes the queued point.
        const bool keepTrialPoint = withIteration && !iterationLookedUp;
        EvalPoint point = keepTrialPoint ? placement.placed(trialPoint)
                                         : placement.placed(std::move(node.value()));
        if (!noFixedVariable || point.size() != _fixedVariable.size())
        {
            point = point.makeFullSpacePointFromFixed(_fixedVariable);
        }

        bool needEval = true;
        const EvalPoint* cached = nullptr;
        EvaluatorControl::QueuePlace queuePlace;
        if (useCache)
        {
            // The point enters the cache when its evaluation starts: one
            // that the queue drops unevaluated costs the cache nothing.
            needEval = CacheBase::getInstance()->offer(
                point, _evaluatorControl->findInQueue(point, &queuePlace), 1, evalType, &cached);
        }
        else
        {
            point.updateTag();
            if (haveBarrierPoints)
            {
                EvalPoint found;
                needEval = !(findInList(point, barrierPoints, found) &&
                             nullptr != found.getEval(evalType));
            }
        }
        if (!needEval)
        {
            if (debugShown())
            {
                _step->AddOutputDebug("Point not re-evaluated: " + point.display());
            }
            continue;
        }

        if (withIteration && !iterationLookedUp)
        {
            // Gathered points come from different iterations (each with its
            // own k and frame centre): asked for every point.
            iteration = megaSearchPoll->getIterForPoint(trialPoint);
            if (nullptr == iteration)
            {
                QARNO_THROW(StepException,
                            _step->getName() +
                                ": In keepPointsThatNeedEval: Could not determine "
                                "iteration for point " +
                                point.display(),
                            _step);
            }
        }

        auto queuePoint = std::make_shared<EvalQueuePoint>(std::move(point), evalType);
        queuePoint->setComment(comment);
        queuePoint->setGenStep(genStep);
        queuePoint->setInPhaseOne(inPhaseOne);
        if (withIteration)
        {
            const auto mesh = iteration->ownIterationMesh();
            if (nullptr != mesh)
            {
                if (sizesOf != iteration || nullptr == meshSize)
                {
                    meshSize = std::make_shared<const ArrayOfDouble>(mesh->getdeltaMeshSize());
                    frameSize = std::make_shared<const ArrayOfDouble>(mesh->getDeltaFrameSize());
                    sizesOf = iteration;
                }
                queuePoint->setMeshSize(meshSize);
                queuePoint->setFrameSize(frameSize);
                queuePoint->setK(iteration->ownIterationK());
            }
        }

        // Nothing has changed the cache since the offer.
        const bool added =
            useCache ? _evaluatorControl->addOfferedToQueue(queuePoint, cached, &queuePlace)
                     : _evaluatorControl->addToQueue(queuePoint);
        if (debugShown())
        {
            _step->AddOutputDebug(
                (added ? "New point added to eval queue: " : "Point not added to eval queue: ") +
                queuePoint->display());
        }
    }

    if (debugShown())
    {
        const size_t queueSize = _evaluatorControl->getQueueSize(-1);
        if (0 != queueSize)
        {
            _step->AddOutputDebug("Eval queue now has " + std::to_string(queueSize) + " points.");
        }
    }
    if (showTrialPointCount)
    {
        _step->AddOutputInfo(blockText, false, true);
    }
    OutputQueue::getInstance()->flush();
}

void EvcInterface::setBarrier(const std::shared_ptr<Barrier>& subBarrier)
{
    if (nullptr == subBarrier)
    {
        return;
    }
    verifyEvaluatorControlNotNull();
    // The step's barrier itself: the queue judges each point against its
    // current reference points and hMax, never against a copy that the
    // step's post-processing has left behind.
    _evaluatorControl->setBarrier(subBarrier, _fixedVariable);
}

SuccessType EvcInterface::startEvaluation()
{
    verifyEvaluatorControlNotNull();
    const bool infoShown = OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_INFO);
    const std::string blockText =
        infoShown ? "Evaluate points for " + _step->getName() : std::string();
    if (infoShown)
    {
        _step->AddOutputInfo(blockText, true, false);
    }

    // Held for the length of the run, which may end the step's life.
    const std::shared_ptr<AllStopReasons> stopReasons = _step->getAllStopReasons();
    const SuccessType success = _evaluatorControl->run();

    if (debugShown())
    {
        const std::string reasons =
            (nullptr == stopReasons) ? std::string() : stopReasons->getStopReasonAsString();
        _step->AddOutputDebug(_step->getName() + ": " + enumStr(success) +
                              ". Stop reasons: " + reasons);
    }
    OutputQueue::getInstance()->flush();
    if (infoShown)
    {
        _step->AddOutputInfo(blockText, false, true);
    }
    return success;
}

std::vector<EvalPoint> EvcInterface::retrieveAllEvaluatedPoints()
{
    verifyEvaluatorControlNotNull();
    std::vector<EvalPoint> points = _evaluatorControl->retrieveAllEvaluatedPoints(-1);
    for (auto& point : points)
    {
        point = point.makeSubSpacePointFromFixed(_fixedVariable);
    }
    return points;
}

bool EvcInterface::findInBarrier(const Point& x, EvalPoint& evalPoint) const
{
    verifyEvaluatorControlNotNull();
    if (nullptr == _evaluatorControl->getBarrier(-1))
    {
        return false;
    }
    EvalPoint found;
    if (!findInList(x.makeFullSpacePointFromFixed(_fixedVariable),
                    _evaluatorControl->getBarrierPointsInFullSpace(-1), found))
    {
        return false;
    }
    evalPoint = found.makeSubSpacePointFromFixed(_fixedVariable);
    return true;
}

bool EvcInterface::evalSinglePoint(EvalPoint& evalPoint, const Double& hMax)
{
    verifyEvaluatorControlNotNull();
    evalPoint = placementFor(*_step).placed(evalPoint).makeFullSpacePointFromFixed(_fixedVariable);
    const bool ok = _evaluatorControl->evalSinglePoint(evalPoint, getThreadNum(), hMax);
    evalPoint = evalPoint.makeSubSpacePointFromFixed(_fixedVariable);
    return ok;
}

} // namespace QARNO_4_0_0
