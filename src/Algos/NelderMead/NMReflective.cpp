#include "Algos/NelderMead/NMReflective.hpp"

#include <string>
#include <vector>

#include "Algos/Iteration.hpp"
#include "Algos/NelderMead/NMSimplexEvalPointCompare.hpp"
#include "Math/Point.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/AllStopReasons.hpp"
#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

namespace
{

const char* const NOT_A_MOVE =
    "Current step must be REFLECT, EXPAND, OUTSIDE_CONTRACTION or INSIDE_CONTRACTION.";

bool infoShown()
{
    return OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_INFO);
}

} // namespace

NMReflective::NMReflective(const Step* parentStep)
    : Step(parentStep), NMSimplexInsertion(this), _nextStepType(NMStepType::UNSET), _delta(),
      _deltaE(), _deltaOC(), _deltaIC(), _xr(), _xe(), _xoc(), _xic(), _knownPointUsed(false),
      _n(0), _settings()
{
    init();
}

NMReflective::~NMReflective() = default;

template <typename BUILD> void NMReflective::debugMessage(BUILD&& build) const
{
    if (OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_DEBUG))
    {
        AddOutputDebug(build());
    }
}

void NMReflective::init()
{
    setName(getAlgoName() + "Step");
    _nextStepType = NMStepType::UNSET;
    _stepType = NMStepType::UNSET;

    if (nullptr == _runParams || nullptr == _pbParams)
    {
        QARNO_THROW(Exception,
                    "The Nelder-Mead reflective step needs the run and problem parameters");
    }
    _settings = NMSettings::of(*this);
    _deltaE = _settings->deltaE;
    _deltaIC = _settings->deltaIC;
    _deltaOC = _settings->deltaOC;

    // Written as "not within" so that an undefined coefficient is refused
    // with the same text instead of failing inside the comparison.
    const double eps = Double::getEpsilon();
    if (!_deltaE.isDefined() || !(_deltaE.todouble() > 1.0 + eps))
    {
        QARNO_THROW(Exception, "Delta value deltaE not compatible with expansion");
    }
    if (!_deltaOC.isDefined() || !(_deltaOC.todouble() >= -eps) ||
        !(_deltaOC.todouble() <= 1.0 + eps))
    {
        QARNO_THROW(Exception, "Delta value deltaOC not compatible with outside contraction");
    }
    if (!_deltaIC.isDefined() || !(_deltaIC.todouble() <= eps))
    {
        QARNO_THROW(Exception, "Delta value deltaIC not compatible with inside contraction");
    }

    // Alone, Nelder-Mead keeps any simplex of full rank; as a MADS search a
    // nearly flat simplex is not worth its evaluations.
    if (_settings->optimization)
    {
        _rankTolerance = 1e-13;
    }
    else
    {
        _rankTolerance = _settings->searchRankEps;
    }
    _n = _settings->dimension;

    verifyParentNotNull();
}

void NMReflective::setCurrentNMStepType(NMStepType stepType)
{
    _stepType = stepType;
    switch (stepType)
    {
    case NMStepType::REFLECT:
        setName(getAlgoName() + "Reflect");
        _delta = 1.0;
        break;
    case NMStepType::EXPAND:
        setName(getAlgoName() + "Expansion");
        _delta = _deltaE;
        break;
    case NMStepType::OUTSIDE_CONTRACTION:
        setName(getAlgoName() + "Outside Contraction");
        _delta = _deltaOC;
        break;
    case NMStepType::INSIDE_CONTRACTION:
        setName(getAlgoName() + "Inside Contraction");
        _delta = _deltaIC;
        break;
    default:
        QARNO_THROW(Exception,
                    "Only REFLECT, EXPAND, INSIDE_CONTRACTION and OUTSIDE_CONTRACTION are "
                    "supported");
    }
}

void NMReflective::startImp()
{
    if (NMStepType::UNSET == _stepType)
    {
        QARNO_THROW(Exception, "The NM step type must be set");
    }
    generateTrialPoints();
    const Iteration* iteration = getIterationAncestor();
    if (nullptr != iteration && nullptr != iteration->getMesh())
    {
        verifyPointsAreOnMesh(getName());
    }
    updatePointsWithFrameCenter();
}

void NMReflective::generateTrialPoints()
{
    const bool showInfo = infoShown();
    const NMSimplex* Y = _simplexY.get();
    if (nullptr == Y || Y->size() < _n + 1)
    {
        if (showInfo)
        {
            AddOutputInfo("Not enough points in the simplex to generate points for " + getName() +
                          " (delta=" + _delta.tostring() + ")");
        }
        return;
    }
    if (showInfo)
    {
        AddOutputInfo("Generate point for " + getName() + " (delta=" + _delta.tostring() + ")");
    }
    _trialPoints.clear();

    const EvalPoint& yn = Y->back();
    const size_t last = Y->size() - 1;
    std::vector<double> yc(_n, 0.0);
    for (size_t k = 0; k < last; ++k)
    {
        const EvalPoint& y = (*Y)[k];
        for (size_t i = 0; i < _n; ++i)
        {
            yc[i] += y[i].todouble();
        }
        if (showInfo)
        {
            AddOutputInfo("y" + std::to_string(k) + ": " + y.display());
        }
    }
    const double factor = 1.0 / static_cast<double>(_n);
    const double delta = _delta.todouble();
    EvalPoint xt(_n);
    Point center(_n);
    for (size_t i = 0; i < _n; ++i)
    {
        yc[i] *= factor;
        center[i] = yc[i];
        xt[i] = yc[i] + delta * (yc[i] - yn[i].todouble());
    }
    if (showInfo)
    {
        AddOutputInfo("yn: " + yn.display());
        AddOutputInfo("yc: " + center.display());
    }

    if (snapPointToBoundsAndProjectOnMesh(xt, _settings->lowerBound, _settings->upperBound))
    {
        const bool inserted = insertTrialPoint(xt);
        if (showInfo)
        {
            AddOutputInfo(std::string("xt:") + (inserted ? " " : " not inserted: ") + xt.display());
        }
    }

    if (static_cast<const ArrayOfDouble&>(xt) == static_cast<const ArrayOfDouble&>(yn))
    {
        _trialPoints.clear();
        if (showInfo)
        {
            AddOutputInfo("No valid point generated: too close to yn.");
        }
    }
    else if (NMStepType::REFLECT == _stepType || NMStepType::OUTSIDE_CONTRACTION == _stepType)
    {
        // Placed on the mesh or into the bounds, the reflection may fall back
        // on another point of Y. It cannot take the place of yn (Y would hold
        // the same point twice), and its value, known already, says nothing
        // about the far side of the simplex: there is no proper reflection,
        // and the walk contracts inside instead.
        for (size_t k = 0; k < last && !_trialPoints.empty(); ++k)
        {
            if (static_cast<const ArrayOfDouble&>(xt) == static_cast<const ArrayOfDouble&>((*Y)[k]))
            {
                _trialPoints.clear();
                if (showInfo)
                {
                    AddOutputInfo("No valid point generated: equal to y" + std::to_string(k) + ".");
                }
            }
        }
    }
}

bool NMReflective::runImp()
{
    bool result = false;
    std::vector<EvalPoint> known;
    if (!_stopReasons->checkTerminate())
    {
        result = evalTrialPointsAndFindKnown(this, known);
    }

    // A point evaluated before counts with its evaluation on record, exactly
    // as if this move had evaluated it; one whose evaluation failed gives
    // the move no point.
    _knownPointUsed = false;
    const EvalPoint* movePoint = nullptr;
    if (!_trialPoints.empty())
    {
        movePoint = &*_trialPoints.begin();
    }
    else if (!known.empty() && known.front().isEvalOk(NMSimplexEvalPointCompare::currentEvalType()))
    {
        movePoint = &known.front();
        _knownPointUsed = true;
        debugMessage(
            [movePoint]
            {
                return "The trial point " + movePoint->display() +
                       " was evaluated before: its evaluation is used.";
            });
    }

    if (nullptr != movePoint)
    {
        switch (_stepType)
        {
        case NMStepType::REFLECT:
            _xr = *movePoint;
            break;
        case NMStepType::EXPAND:
            _xe = *movePoint;
            break;
        case NMStepType::OUTSIDE_CONTRACTION:
            _xoc = *movePoint;
            break;
        case NMStepType::INSIDE_CONTRACTION:
            _xic = *movePoint;
            break;
        default:
            QARNO_THROW(Exception, NOT_A_MOVE);
        }
    }

    if (!_stopReasons->checkTerminate())
    {
        setNextNMStepType();
    }

    postProcessing(NMSimplexEvalPointCompare::currentEvalType());
    return result;
}

void NMReflective::setNextNMStepType()
{
    makeListsY0Yn();

    switch (_stepType)
    {
    case NMStepType::REFLECT:
        setAfterReflect();
        break;
    case NMStepType::EXPAND:
        setAfterExpand();
        break;
    case NMStepType::OUTSIDE_CONTRACTION:
        setAfterOutsideContract();
        break;
    case NMStepType::INSIDE_CONTRACTION:
        setAfterInsideContract();
        break;
    default:
        QARNO_THROW(Exception, NOT_A_MOVE);
    }
    _stepType = NMStepType::UNSET;
}

void NMReflective::setAfterReflect()
{
    if (NMStepType::REFLECT != _stepType)
    {
        QARNO_THROW(Exception, "The current step type should be REFLECT.");
    }

    if (noPointForMove())
    {
        debugMessage(
            []
            {
                return std::string(
                    "Cannot create a proper reflect point xr. Next, perform Inside Contraction.");
            });
        _nextStepType = NMStepType::INSIDE_CONTRACTION;
    }
    else if (!_xr.ArrayOfDouble::isDefined())
    {
        debugMessage(
            []
            { return std::string("The reflect point xr is not defined. Stop NM (no shrink)."); });
        _nextStepType = NMStepType::CONTINUE;
        setStopReason();
    }
    else if (pointDominatesY0(_xr))
    {
        debugMessage(
            [this] {
                return "The reflect point xr: " + _xr.display() +
                       " dominates Y0. Next perform expansion.";
            });
        _nextStepType = NMStepType::EXPAND;
    }
    else if (YnDominatesPoint(_xr))
    {
        debugMessage(
            [this]
            {
                return "The reflect point xr: " + _xr.display() +
                       " is dominated by Yn. Next, perform Inside Contraction.";
            });
        _nextStepType = NMStepType::INSIDE_CONTRACTION;
    }
    else if (pointDominatesPtsInY(_xr, 2))
    {
        debugMessage(
            [this] {
                return "The reflect point xr: " + _xr.display() +
                       " dominates at least 2 points of Y.";
            });
        _stepType = NMStepType::INSERT_IN_Y;
        if (insertInY(_xr))
        {
            debugMessage(
                [] {
                    return std::string(
                        "Insertion in Y is successful. NM iteration completed (no shrink).");
                });
            _nextStepType = NMStepType::CONTINUE;
        }
        else
        {
            debugMessage(
                []
                { return std::string(" Cannot insert xr in Y. Perform shrink (if available)."); });
            _nextStepType = NMStepType::SHRINK;
        }
    }
    else if (pointDominatesPtsInY(_xr, 1) || pointDominatesPtsInY(_xr, 0))
    {
        debugMessage(
            [this]
            {
                return "The reflect point xr: " + _xr.display() +
                       " dominates 1 or 0 point of Y. Next, perform Outside Contraction.";
            });
        _nextStepType = NMStepType::OUTSIDE_CONTRACTION;
    }
    else
    {
        // xr was not evaluated OK.
        setStopReason();
    }
}

void NMReflective::setAfterExpand()
{
    if (NMStepType::EXPAND != _stepType)
    {
        QARNO_THROW(Exception, "The current step type should be EXPAND.");
    }

    if (stopWhenUndefined(_xe, "The expansion point xe is not defined. Stop NM (no shrink)."))
    {
        return;
    }
    if (stopWhenUndefined(_xr, "The reflect point xr is not defined. Stop NM (no shrink)."))
    {
        return;
    }

    insertBestOrShrink(_xr, _xe,
                       "Insert in Y the best of xr and xe. NM iteration completed (no shrink). ",
                       "The insertion in Y of the best of xr and xe dit not maintain a "
                       "proper Y. Perform shrink (if available).");
}

void NMReflective::setAfterOutsideContract()
{
    if (NMStepType::OUTSIDE_CONTRACTION != _stepType)
    {
        QARNO_THROW(Exception, "The current step type should be OUTSIDE_CONTRACTION.");
    }

    if (stopWhenUndefined(_xr, "The reflect point xr is not defined. Stop NM (no shrink)."))
    {
        return;
    }
    if (noPointForMove())
    {
        // No usable contraction point: xr takes the place of yn and the walk
        // reflects again on the new simplex.
        if (insertInY(_xr))
        {
            debugMessage(
                [] {
                    return std::string(
                        "Reflect point xr is successfully inserted in Y. Next perform Reflect.");
                });
            _nextStepType = NMStepType::REFLECT;
        }
        else
        {
            setStopReason();
        }
        return;
    }
    if (stopWhenUndefined(_xoc,
                          "The outside contraction point xoc is not defined. Stop NM (no shrink)."))
    {
        return;
    }

    insertBestOrShrink(
        _xr, _xoc, "The insertion of the best of xr and xoc in Y is valid. NM iteration completed.",
        "The insertion of the best of xr and xoc in Y did not maintain a "
        "proper Y. Perform shrink (if available).");
}

void NMReflective::setAfterInsideContract()
{
    if (NMStepType::INSIDE_CONTRACTION != _stepType)
    {
        QARNO_THROW(Exception, "Cannot set step after inside contraction if x_ic is not defined.");
    }

    if (stopWhenUndefined(_xic,
                          "The inside contraction point xic is not defined. Stop NM (no shrink)."))
    {
        return;
    }
    if (YnDominatesPoint(_xic))
    {
        debugMessage([this]
                     { return "Yn dominates xic: " + _xic.display() + " Next, perform Shrink."; });
        _nextStepType = NMStepType::SHRINK;
        return;
    }

    debugMessage(
        [this]
        {
            return "The inside contraction point xic:" + _xic.display() +
                   " is not dominated by Yn. Insert x_ic in Y.";
        });
    _stepType = NMStepType::INSERT_IN_Y;
    if (insertInY(_xic))
    {
        debugMessage(
            [] {
                return std::string(
                    "Insertion in Y is successful. NM iteration completed (no shrink).");
            });
        _nextStepType = NMStepType::CONTINUE;
    }
    else
    {
        debugMessage(
            [] { return std::string("Cannot insert xic in Y. Perform Shrink if available."); });
        _nextStepType = NMStepType::SHRINK;
    }
}

bool NMReflective::noPointForMove() const
{
    return 0 == getNbEvalPointsThatNeedEval() && !_knownPointUsed;
}

bool NMReflective::stopWhenUndefined(const EvalPoint& point, const char* message)
{
    if (point.ArrayOfDouble::isDefined())
    {
        return false;
    }
    debugMessage([message] { return std::string(message); });
    _nextStepType = NMStepType::CONTINUE;
    setStopReason();
    return true;
}

void NMReflective::insertBestOrShrink(const EvalPoint& x1, const EvalPoint& x2,
                                      const char* insertedMessage, const char* shrinkMessage)
{
    _stepType = NMStepType::INSERT_IN_Y;
    const bool inserted = insertInYBest(x1, x2);
    debugMessage([&] { return std::string(inserted ? insertedMessage : shrinkMessage); });
    _nextStepType = inserted ? NMStepType::CONTINUE : NMStepType::SHRINK;
}

} // namespace QARNO_4_0_0
