#include "Algos/NelderMead/NMInitialization.hpp"

#include <cmath>
#include <string>
#include <vector>

#include "Algos/CacheInterface.hpp"
#include "Algos/NelderMead/NMSimplexEvalPointCompare.hpp"
#include "Algos/SubproblemManager.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/Barrier.hpp"
#include "Math/ArrayOfDouble.hpp"
#include "Math/Double.hpp"
#include "Math/Point.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

namespace
{

/// Relative move of a nonzero coordinate, and the move of a zero one.
const double RELATIVE_PERTURBATION = 0.05;
const double ZERO_PERTURBATION = 0.00025;
} // namespace

// The trial points belong to the algorithm's start: the IterationUtils part
// is built on the algorithm, as no iteration exists yet.
NMInitialization::NMInitialization(const Step* parentStep)
    : Initialization(parentStep), NMIterationUtils(parentStep), _nmStopReasons(), _standalone(false)
{
    init();
}

NMInitialization::~NMInitialization() = default;

void NMInitialization::init()
{
    setName(getAlgoName() + "Initialization");
    _nmStopReasons = AlgoStopReasons<NMStopType>::get(_stopReasons);
    _standalone = (nullptr != _runParams) && _runParams->getAttributeValue<bool>("NM_OPTIMIZATION");
}

bool NMInitialization::checkCacheCanFormSimplex() const
{
    // Only the existence of the cache is checked: the simplex step chooses
    // its points from the cache itself.
    CacheBase::getInstance();
    return false;
}

void NMInitialization::startImp()
{
    if (_stopReasons->checkTerminate())
    {
        return;
    }
    if (_standalone && !checkCacheCanFormSimplex())
    {
        generateTrialPoints();
    }
}

void NMInitialization::generateTrialPoints()
{
    const Point& x0 = _pbParams->getAttributeValue<Point>("X0");
    const size_t n = _pbParams->getAttributeValue<size_t>("DIMENSION");

    if (!x0.isComplete() || x0.size() != n)
    {
        std::string msg = "Initialization: evalY0: Invalid X0 " + x0.display(ArrayOfDouble());
        const size_t cacheSize = CacheBase::getInstance()->size();
        if (cacheSize > 0)
        {
            msg += ". Hint: Try not setting X0 so that the cache is used (" +
                   std::to_string(cacheSize) + " points)";
        }
        else
        {
            msg += ". Cache is empty.";
        }
        QARNO_THROW(Exception, msg);
    }

    const EvalPoint x0Point(x0);
    insertTrialPoint(x0Point);
    const bool showInfo = OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_INFO);
    if (showInfo)
    {
        AddOutputInfo("Using X0: " + x0Point.display(ArrayOfDouble()), OutputLevel::LEVEL_INFO);
    }

    const auto& lowerBound = _pbParams->getAttributeValue<ArrayOfDouble>("LOWER_BOUND");
    const auto& upperBound = _pbParams->getAttributeValue<ArrayOfDouble>("UPPER_BOUND");
    for (size_t i = 0; i < n; ++i)
    {
        // Plain doubles: the tolerance of Double's own comparison would
        // make |x| < epsilon false for every x.
        const Double delta = (std::fabs(x0[i].todouble()) < Double::getEpsilon())
                                 ? Double(ZERO_PERTURBATION)
                                 : x0[i] * Double(RELATIVE_PERTURBATION);
        EvalPoint y(x0);
        y[i] = x0[i] + delta;
        // A starting point outside the bounds would be evaluated as it is.
        y.snapToBounds(lowerBound, upperBound);
        if (y[i] == x0[i])
        {
            // x0 lies on the bound that the move crossed: go the other way.
            y[i] = x0[i] - delta;
            y.snapToBounds(lowerBound, upperBound);
        }
        if (!insertTrialPoint(y) && showInfo)
        {
            // Bounds closer than epsilon leave no room on either side.
            AddOutputInfo("Cannot perturb coordinate " + std::to_string(i) +
                              " of X0 within the bounds",
                          OutputLevel::LEVEL_INFO);
        }
    }

    if (showInfo)
    {
        OutputQueue::getInstance()->flush();
    }
}

bool NMInitialization::runImp()
{
    if (_stopReasons->checkTerminate())
    {
        return false;
    }
    // As a MADS search nothing was generated: the queue is left alone.
    if (!_trialPoints.empty())
    {
        evalTrialPoints(this);
    }
    if (!_stopReasons->checkTerminate())
    {
        return true;
    }
    _nmStopReasons->_algoStopReason.set(NMStopType::INITIALIZATION_FAILED);
    return false;
}

void NMInitialization::endImp()
{
    if (!_standalone)
    {
        return;
    }
    if (_trialPoints.empty() && _stopReasons->checkTerminate())
    {
        // Stopped before anything was evaluated: the algorithm builds no
        // mega-iteration, so it needs no barrier.
        return;
    }

    const EvalType evalType = NMSimplexEvalPointCompare::currentEvalType();
    const Double hMax0 = _runParams->getAttributeValue<Double>("H_MAX_0");

    // The barrier starts from the cache's best points, then takes the
    // evaluated starting points (none when all of them were cached). It
    // cannot be built empty: then nothing can start a simplex.
    std::vector<EvalPoint> evaluated;
    bool usable = false;
    for (const auto& point : _trialPoints)
    {
        evaluated.push_back(point);
        if (point.isEvalOk(evalType) &&
            (point.isFeasible(evalType) || point.getH(evalType) <= hMax0))
        {
            usable = true;
        }
    }
    if (!usable)
    {
        const CacheInterface cacheInterface(this);
        std::vector<EvalPoint> best;
        usable = cacheInterface.findBestFeas(best, evalType, nullptr) > 0 ||
                 cacheInterface.findBestInf(best, hMax0, evalType, nullptr) > 0;
    }
    if (!usable)
    {
        _nmStopReasons->_algoStopReason.set(NMStopType::INITIALIZATION_FAILED);
        AddOutputInfo("Stop NM because no evaluated point can start the simplex.",
                      OutputLevel::LEVEL_INFO);
        return;
    }

    _barrier = std::make_shared<Barrier>(hMax0, SubproblemManager::getSubFixedVariable(this),
                                         evalType, evaluated);
}

} // namespace QARNO_4_0_0
