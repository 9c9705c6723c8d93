#include "Algos/PSDMads/PSDMads.hpp"

#include <cerrno>
#include <ctime>

#include "Algos/EvcInterface.hpp"
#include "Algos/Mads/Mads.hpp"
#include "Algos/Mads/MadsInitialization.hpp"
#include "Algos/Mads/MadsMegaIteration.hpp"
#include "Algos/Mads/MadsUpdate.hpp"
#include "Algos/MeshBase.hpp"
#include "Algos/PSDMads/PSDMadsMegaIteration.hpp"
#include "Algos/Termination.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvalPoint.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/Point.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/EvaluatorControlParameters.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/Exception.hpp"
#include "Util/StopReason.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

namespace
{

bool shown(OutputLevel level)
{
    return OutputQueue::getInstance()->goodLevel(level);
}
} // namespace

PSDMads::PSDMads(const Step* parentStep, std::shared_ptr<AllStopReasons> stopReasons,
                 const std::shared_ptr<RunParameters>& runParams,
                 const std::shared_ptr<PbParameters>& pbParams,
                 const std::shared_ptr<Evaluator>& evaluator,
                 const std::shared_ptr<EvaluatorControlParameters>& evcParams)
    : Algorithm(parentStep, std::move(stopReasons), runParams, pbParams),
      _randomPickup(pbParams->getAttributeValue<size_t>("DIMENSION")), _nbNotDrawn(0), _mainMesh(),
      _barrier(), _lastSubproblemSuccessful(false)
{
    init(evaluator, evcParams);
}

PSDMads::~PSDMads()
{
    destroy();
}

void PSDMads::resetPickup()
{
    _randomPickup.reset();
    _nbNotDrawn = _pbParams->getAttributeValue<size_t>("DIMENSION");
}

void PSDMads::init(const std::shared_ptr<Evaluator>& evaluator,
                   const std::shared_ptr<EvaluatorControlParameters>& evcParams)
{
    setName("PSD-MADS");
    verifyParentNotNull();
    _initialization = std::make_unique<MadsInitialization>(this);

    const size_t nbMainThreads = _runParams->getAttributeValue<size_t>("PSD_MADS_NB_SUBPROBLEM");
    const auto& evc = EvcInterface::getEvaluatorControl();
    // Main thread 0 was registered with the evaluator control itself.
    for (size_t i = 1; i < nbMainThreads; ++i)
    {
        auto stopReason = std::make_shared<StopReason<EvalMainThreadStopType>>();
        auto params = std::make_shared<EvaluatorControlParameters>();
        params->copyParameters(*evcParams);
        params->checkAndComply(nullptr);
        evc->addMainThread(static_cast<int>(i), stopReason, evaluator, params);
    }

    resetPickup();
}

void PSDMads::startImp()
{
    Algorithm::startImp();
    if (0 != getThreadNum())
    {
        waitForBarrier();
        return;
    }

    const auto* init = dynamic_cast<const MadsInitialization*>(_initialization.get());
    if (nullptr == init)
    {
        QARNO_THROW(Exception, "Invalid shared pointer cast");
    }
    _mainMesh = init->getMesh();
    // With one main thread the order does not matter; with several, the
    // workers read the mega-iteration as soon as they see the barrier.
    auto barrier = init->getBarrier();
    _megaIteration = std::make_shared<MadsMegaIteration>(this, 0, barrier, _mainMesh,
                                                         SuccessType::NOT_EVALUATED);
    _barrier = barrier;
}

void PSDMads::waitForBarrier() const
{
    while (nullptr == _barrier)
    {
        struct timespec request = {0, 10000};
        struct timespec remaining = {0, 0};
        while (0 != nanosleep(&request, &remaining) && EINTR == errno)
        {
            request = remaining;
        }
    }
}

bool PSDMads::runImp()
{
    const auto& evc = EvcInterface::getEvaluatorControl();
    const EvalType evalType = evc->getEvalType(-1);
    const int threadNum = getThreadNum();
    const size_t n = _pbParams->getAttributeValue<size_t>("DIMENSION");
    const bool frameCenterUseCache = _runParams->getAttributeValue<bool>("FRAME_CENTER_USE_CACHE");
    size_t k = _megaIteration->getK();

    while (true)
    {
        if (terminate(k))
        {
            return true;
        }

        const auto centerPtr = (nullptr == _barrier->getFirstXFeas()) ? _barrier->getFirstXInf()
                                                                      : _barrier->getFirstXFeas();
        if (nullptr == centerPtr)
        {
            QARNO_THROW(Exception, "No frame center in the barrier");
        }
        const Point frameCenter(*centerPtr);

        Point fixedVariable(n);
        if (0 != threadNum)
        {
            fixedVariable = frameCenter;
            generateSubproblem(fixedVariable);
        }

        {
            PSDMadsMegaIteration megaIteration(this, k, _barrier, _mainMesh,
                                               _megaIteration->getSuccessType(), frameCenter,
                                               fixedVariable);
            megaIteration.start();
            if (megaIteration.run())
            {
                if (shown(OutputLevel::LEVEL_INFO))
                {
                    AddOutputInfo(megaIteration.getMads()->getName() +
                                      " was successful. Barrier is updated.",
                                  OutputLevel::LEVEL_INFO);
                }
                _lastSubproblemSuccessful.store(0 != threadNum);
                const auto subBarrier = megaIteration.getMads()->getMegaIterationBarrier();
                if (nullptr != subBarrier)
                {
                    std::vector<EvalPoint> points = subBarrier->getAllPoints();
                    convertPointListToFull(points, fixedVariable);
                    _barrier->updateWithPoints(points, evalType, frameCenterUseCache);
                }
            }
            megaIteration.end();
        }

        if (0 == threadNum)
        {
            if (doUpdateMesh())
            {
                resetPickup();
                _lastSubproblemSuccessful.store(false);
                MadsUpdate update(_megaIteration.get());
                update.start();
                update.run();
                update.end();
                _mainMesh->checkMeshForStopping(_stopReasons);
            }
            _megaIteration->setK(k);
            ++k;
        }

        Step::handlePendingInterrupts();
        if (Step::_userInterrupt)
        {
            hotRestartOnUserInterrupt();
        }
    }
}

bool PSDMads::doUpdateMesh() const
{
    if (_runParams->getAttributeValue<bool>("PSD_MADS_ORIGINAL"))
    {
        return true;
    }
    const double p =
        _runParams->getAttributeValue<Double>("PSD_MADS_SUBPROBLEM_PCT_COVERAGE").todouble() /
        100.0;
    const double r = static_cast<double>(_nbNotDrawn);
    const double n = static_cast<double>(_pbParams->getAttributeValue<size_t>("DIMENSION"));

    if (_lastSubproblemSuccessful.load() &&
        _runParams->getAttributeValue<bool>("PSD_MADS_ITER_OPPORTUNISTIC"))
    {
        if (shown(OutputLevel::LEVEL_INFO))
        {
            AddOutputInfo("Last subproblem iteration was successful. Update mesh.",
                          OutputLevel::LEVEL_INFO);
        }
        return true;
    }
    if (n * (1.0 - p) > r)
    {
        if (shown(OutputLevel::LEVEL_INFO))
        {
            AddOutputInfo(Double(100.0 - (100.0 * r) / n).tostring() +
                              "% of variables were covered by subproblems. Update mesh.",
                          OutputLevel::LEVEL_INFO);
        }
        return true;
    }
    return false;
}

void PSDMads::generateSubproblem(Point& fixedVariable)
{
    const size_t nbVar = _runParams->getAttributeValue<size_t>("PSD_MADS_NB_VAR_IN_SUBPROBLEM");
    for (size_t v = 0; v < nbVar; ++v)
    {
        fixedVariable[_randomPickup.pickup()] = Double();
        if (_nbNotDrawn > 0)
        {
            --_nbNotDrawn;
        }
    }
}

void PSDMads::endImp()
{
    CacheBase::getInstance();
    _termination->start();
    _termination->run();
    _termination->end();
    Algorithm::endImp();
}

} // namespace QARNO_4_0_0
