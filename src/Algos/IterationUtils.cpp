#include "Algos/IterationUtils.hpp"

#include <memory>
#include <utility>
#include <vector>

#include "Algos/Algorithm.hpp"
#include "Algos/EvcInterface.hpp"
#include "Algos/Iteration.hpp"
#include "Algos/MegaIteration.hpp"
#include "Algos/MeshBase.hpp"
#include "Algos/Step.hpp"
#include "Algos/StepException.hpp"
#include "Algos/SubproblemManager.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/Double.hpp"
#include "Output/OutputInfo.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/RunParameters.hpp"
#include "Type/EvalStatusType.hpp"
#include "Util/ArrayOfString.hpp"

namespace QARNO_4_0_0
{

namespace
{

/// The first ancestor of step of type T, not looking beyond an algorithm.
template <typename T> T* findAncestorOfType(const Step* step)
{
    for (const Step* s = step->getParentStep(); nullptr != s; s = s->getParentStep())
    {
        // The ancestors are reached through const parents; the iteration
        // and mega-iteration are handed on as the steps that own them.
        if (auto found = dynamic_cast<const T*>(s))
        {
            return const_cast<T*>(found);
        }
        if (s->isAnAlgorithm())
        {
            break;
        }
    }
    return nullptr;
}

} // namespace

IterationUtils::IterationUtils(const Step* parentStep)
    : _trialPoints(), _nbEvalPointsThatNeedEval(0), _parentStep(parentStep),
      _success(SuccessType::NOT_EVALUATED), _iterAncestor(nullptr), _megaIterAncestor(nullptr),
      _fromAlgo(false), _ancestorsFound(false)
{
    if (nullptr == _parentStep)
    {
        QARNO_THROW(StepException, "IterationUtils needs a parent step", nullptr);
    }
}

IterationUtils::~IterationUtils()
{
    _trialPoints.clear();
}

void IterationUtils::init() const
{
    if (_ancestorsFound)
    {
        return;
    }
    _fromAlgo = (nullptr != dynamic_cast<const Algorithm*>(_parentStep));

    if (auto iter = dynamic_cast<const Iteration*>(_parentStep))
    {
        _iterAncestor = const_cast<Iteration*>(iter);
    }
    else
    {
        _iterAncestor = findAncestorOfType<Iteration>(_parentStep);
    }

    // A mega-iteration may hold its trial points itself.
    if (auto self = dynamic_cast<const MegaIteration*>(this))
    {
        _megaIterAncestor = const_cast<MegaIteration*>(self);
    }
    else if (auto mega = dynamic_cast<const MegaIteration*>(_parentStep))
    {
        _megaIterAncestor = const_cast<MegaIteration*>(mega);
    }
    else
    {
        _megaIterAncestor = findAncestorOfType<MegaIteration>(_parentStep);
    }

    if (nullptr == _megaIterAncestor && nullptr == _iterAncestor && !_fromAlgo)
    {
        QARNO_THROW(StepException,
                    "An instance of class IterationUtils must have either an Iteration or "
                    "a MegaIteration as ancestor or an Algorithm as direct parent",
                    _parentStep);
    }
    _ancestorsFound = true;
}

bool IterationUtils::insertTrialPoint(const EvalPoint& point)
{
    return _trialPoints.insert(point).second;
}

bool IterationUtils::insertTrialPoint(EvalPoint&& point)
{
    return _trialPoints.insert(std::move(point)).second;
}

void IterationUtils::updatePointsWithFrameCenter()
{
    init();
    if (nullptr == _iterAncestor)
    {
        OutputQueue::getInstance()->add("No ancestor, no frame center", OutputLevel::LEVEL_DEBUG);
        return;
    }
    const auto frameCenter = _iterAncestor->getFrameCenter();
    if (nullptr == frameCenter)
    {
        OutputQueue::getInstance()->add(
            "Cannot update point with NULL frame center from iteration.", OutputLevel::LEVEL_DEBUG);
        return;
    }
    const auto pointFrom = std::make_shared<Point>(frameCenter->makeFullSpacePointFromFixed(
        SubproblemManager::getSubFixedVariable(_parentStep)));

    // The set orders by coordinates only, so the origin of a point changes
    // in place: a copy of the set would hold every trial point twice, which
    // a poll in thousands of variables cannot afford.
    for (const auto& trialPoint : _trialPoints)
    {
        EvalPoint& point = const_cast<EvalPoint&>(trialPoint);
        point.setPointFrom(pointFrom);
        OutputQueue::addIfShown(OutputLevel::LEVEL_DEBUG,
                                [&]()
                                {
                                    return "Set pointFrom of point " +
                                           point.display(ArrayOfDouble()) + " to " +
                                           pointFrom->display(ArrayOfDouble());
                                });
    }
}

bool IterationUtils::snapPointToBoundsAndProjectOnMesh(Point& x, const ArrayOfDouble& lowerBound,
                                                       const ArrayOfDouble& upperBound)
{
    init();
    const auto mesh = (nullptr == _iterAncestor) ? nullptr : _iterAncestor->getMesh();
    const auto frameCenter = (nullptr == _iterAncestor) ? nullptr : _iterAncestor->getFrameCenter();
    return snapPointToBoundsAndProjectOnMesh(x, lowerBound, upperBound, mesh.get(),
                                             frameCenter.get());
}

bool IterationUtils::snapPointToBoundsAndProjectOnMesh(Point& x, const ArrayOfDouble& lowerBound,
                                                       const ArrayOfDouble& upperBound,
                                                       const MeshBase* mesh,
                                                       const Point* frameCenter)
{
    // The point as given, kept only once something is about to move it: most
    // trial points are made on the mesh and within the bounds.
    Point x0;
    bool moved = false;
    const auto keepOriginal = [&]()
    {
        if (!moved)
        {
            x0 = x;
            moved = true;
        }
    };
    bool ok = false;

    if (nullptr == mesh)
    {
        if (!x.inBounds(lowerBound, upperBound))
        {
            keepOriginal();
            x.snapToBounds(lowerBound, upperBound,
                           (nullptr == frameCenter) ? ArrayOfDouble() : ArrayOfDouble(*frameCenter),
                           ArrayOfDouble());
        }
        ok = x.inBounds(lowerBound, upperBound);
    }
    else if (nullptr == frameCenter)
    {
        // A mesh without a frame centre gives nothing to project around.
        QARNO_THROW(StepException, "No frame center on iteration to project the point on its mesh",
                    _parentStep);
    }
    else
    {
        const Point& center = *frameCenter;
        // The intermediate points only serve the debug record of a failure.
        const bool debug = OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_DEBUG);
        bool firstProjectionWorked = false;
        // Whether x, as it is now, is on the mesh and within the bounds:
        // each is asked again only of a point that has moved.
        bool onMesh = mesh->verifyPointIsOnMesh(x, center);
        if (!onMesh)
        {
            keepOriginal();
            x = mesh->projectOnMesh(x, center);
            onMesh = mesh->verifyPointIsOnMesh(x, center);
            firstProjectionWorked = onMesh;
        }
        const Point x1 = debug ? Point(x) : Point();
        bool inBounds = x.inBounds(lowerBound, upperBound);
        if (!inBounds)
        {
            keepOriginal();
            x.snapToBounds(lowerBound, upperBound, center, mesh->getdeltaMeshSize());
            onMesh = mesh->verifyPointIsOnMesh(x, center);
            inBounds = x.inBounds(lowerBound, upperBound);
        }
        const Point x2 = debug ? Point(x) : Point();
        if (!onMesh)
        {
            keepOriginal();
            x = mesh->projectOnMesh(x, center);
            onMesh = mesh->verifyPointIsOnMesh(x, center);
            inBounds = x.inBounds(lowerBound, upperBound);
        }
        ok = inBounds && onMesh;

        if (!ok && firstProjectionWorked && debug)
        {
            const ArrayOfDouble prec(x.size(), 20);
            OutputInfo info("Snap", "Warning: point was not snapped properly on mesh:",
                            OutputLevel::LEVEL_DEBUG);
            info.addMsg("Point before projection:");
            info.addMsg(x0.display(prec));
            info.addMsg("Point after first projection:");
            info.addMsg(x1.display(prec));
            info.addMsg("Point after snapping to bounds:");
            info.addMsg(x2.display(prec));
            info.addMsg("Point after second projection:");
            info.addMsg(x.display(prec));
            info.addMsg("Lower bound: " + lowerBound.display(prec));
            info.addMsg("Upper bound: " + upperBound.display(prec));
            info.addMsg("Center: " + center.display(prec));
            info.addMsg("Mesh size: " + mesh->getdeltaMeshSize().display(prec));
            OutputQueue::getInstance()->add(std::move(info));
        }
    }

    if (!ok)
    {
        if (moved)
        {
            x = x0;
        }
        return false;
    }
    if (moved && !(static_cast<const ArrayOfDouble&>(x) == x0))
    {
        // A moved point is another point: it must get a tag of its own.
        if (auto evalPoint = dynamic_cast<EvalPoint*>(&x))
        {
            evalPoint->setTag(0);
        }
    }
    return true;
}

void IterationUtils::verifyPointsAreOnMesh(const std::string& generatorName) const
{
    init();
    if (nullptr == _iterAncestor)
    {
        QARNO_THROW(StepException,
                    "No iteration to verify the points on (point generated by " + generatorName +
                        ")",
                    _parentStep);
    }
    const auto frameCenter = _iterAncestor->getFrameCenter();
    if (nullptr == frameCenter)
    {
        QARNO_THROW(StepException,
                    "No frame center on iteration (point generated by " + generatorName + ")",
                    _parentStep);
    }
    const auto mesh = _iterAncestor->getMesh();
    if (nullptr == mesh)
    {
        QARNO_THROW(StepException,
                    "No mesh on iteration (point generated by " + generatorName + ")", _parentStep);
    }
    for (const auto& point : _trialPoints)
    {
        if (!mesh->verifyPointIsOnMesh(point, *frameCenter))
        {
            QARNO_THROW(StepException,
                        "This point (generated by " + generatorName + ")" +
                            " is not on the mesh: " + point.display(ArrayOfDouble()) + ".",
                        _parentStep);
        }
    }
}

bool IterationUtils::evalTrialPoints(Step* step)
{
    init();
    EvcInterface evcInterface(step);
    const auto& evc = EvcInterface::getEvaluatorControl();

    evc->lockQueue();
    // The queue takes the trial points over: they are replaced by the
    // evaluated ones below, and holding both would double the memory of a
    // poll in many variables.
    const size_t nbTrialPoints = _trialPoints.size();
    evcInterface.keepPointsThatNeedEval(std::move(_trialPoints), !_fromAlgo);
    _trialPoints.clear();
    _nbEvalPointsThatNeedEval = evc->getQueueSize(getThreadNum());
    if (0 == _nbEvalPointsThatNeedEval)
    {
        // Every point was found in the cache: a look-up each, and neither
        // the barrier copy nor the queue pass of an evaluation.
        evc->unlockQueue(false);
        _trialPoints.clear();
        return false;
    }
    evcInterface.setBarrier(step->getMegaIterationBarrier());

    bool sort = true;
    const auto& runParams = step->getRunParams();
    if (nullptr != runParams && runParams->getEvalSortDisabled())
    {
        sort = false;
    }
    evc->unlockQueue(sort);

    _success = evcInterface.startEvaluation();
    const bool foundBetter = (_success > SuccessType::FAILURE);

    std::set<EvalPoint, EvalPointCompare> evaluated;
    for (const auto& point : evcInterface.retrieveAllEvaluatedPoints())
    {
        evaluated.insert(point);
    }

    if (OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_DEBUG))
    {
        step->AddOutputDebug("Number of trial points: " + std::to_string(nbTrialPoints));
        step->AddOutputDebug("Number of trial points that needed eval: " +
                             std::to_string(_nbEvalPointsThatNeedEval));
        step->AddOutputDebug("Number of evaluated points: " + std::to_string(evaluated.size()));
    }
    _trialPoints.swap(evaluated);
    return foundBetter;
}

bool IterationUtils::postProcessing(const EvalType& evalType)
{
    init();
    if (nullptr == _megaIterAncestor)
    {
        QARNO_THROW(StepException, "IterationUtils: postProcessing needs a MegaIteration ancestor",
                    _parentStep);
    }
    const auto barrier = _megaIterAncestor->getBarrier();
    if (nullptr == barrier)
    {
        return false;
    }

    const auto xInf = barrier->getFirstXInf();
    Double fInf;
    Double hInf;
    if (nullptr != xInf)
    {
        fInf = xInf->getF(evalType);
        hInf = xInf->getH(evalType);
    }

    const Double hMaxOld = barrier->getHMax();
    Double hMax = hMaxOld;

    if (SuccessType::PARTIAL_SUCCESS == _success)
    {
        // A partial success is measured against the infeasible incumbent;
        // without one there is nothing to compare the points with.
        if (!hInf.isDefined() || !fInf.isDefined())
        {
            QARNO_THROW(StepException,
                        "IterationUtils: partial success without an infeasible point "
                        "in the barrier",
                        _parentStep);
        }
        Double hMaxNew;
        for (const auto& point : _trialPoints)
        {
            // The status first: an unevaluated point has no feasibility.
            if (EvalStatusType::EVAL_OK != point.getEvalStatus(evalType) ||
                point.isFeasible(evalType))
            {
                continue;
            }
            const Double h = point.getH(evalType);
            const Double f = point.getF(evalType);
            if (!h.isDefined() || !f.isDefined())
            {
                continue;
            }
            // Double comparisons already take epsilon into account.
            if (h < hInf && f > fInf && (!hMaxNew.isDefined() || h > hMaxNew))
            {
                hMaxNew = h;
            }
        }
        hMax = hMaxNew.isDefined() ? hMaxNew : hInf;
    }
    else if (hInf.isDefined())
    {
        hMax = hInf;
    }

    bool changed = false;
    if (hMax.isDefined() && hMaxOld.isDefined() && hMax < hMaxOld)
    {
        if (OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_DEBUG))
        {
            _parentStep->AddOutputDebug("hMax went from " + hMaxOld.tostring() + " to " +
                                        hMax.tostring());
        }
        barrier->setHMax(hMax);
        changed = true;
    }

    const bool useCache = (nullptr != _parentStep->getRunParams()) &&
                          _parentStep->getRunParams()->getFrameCenterUseCache();
    const std::vector<EvalPoint> points(_trialPoints.begin(), _trialPoints.end());
    if (barrier->updateWithPoints(points, evalType, useCache))
    {
        changed = true;
    }

    OutputQueue::getInstance()->flush();
    return changed;
}

} // namespace QARNO_4_0_0
