#include "Algos/SSDMads/SSDMadsMegaIteration.hpp"

#include <algorithm>
#include <string>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/EvcInterface.hpp"
#include "Algos/Mads/Mads.hpp"
#include "Algos/Mads/MadsUpdate.hpp"
#include "Algos/MeshBase.hpp"
#include "Algos/SSDMads/SSDMads.hpp"
#include "Algos/SubproblemManager.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/ComputeSuccessType.hpp"
#include "Eval/EvalPoint.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/Point.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/AllStopReasons.hpp"
#include "Util/Exception.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

namespace
{

bool shown(OutputLevel level)
{
    return OutputQueue::getInstance()->goodLevel(level);
}

std::string improvementText(const std::string& what, const std::shared_ptr<EvalPoint>& from,
                            const std::shared_ptr<EvalPoint>& to)
{
    std::string text = what;
    if (nullptr != from)
    {
        text += " from\n    " + from->display(ArrayOfDouble()) + "\n";
    }
    text += " to " + (nullptr != to ? to->display(ArrayOfDouble()) : std::string());
    return text;
}
} // namespace

SSDMadsMegaIteration::SSDMadsMegaIteration(const Step* parentStep, size_t k,
                                           std::shared_ptr<Barrier> barrier,
                                           std::shared_ptr<MeshBase> mesh, SuccessType success)
    : MadsMegaIteration(parentStep, k, std::move(barrier), std::move(mesh), success), _madsList(),
      _randomPickup(_pbParams->getAttributeValue<size_t>("DIMENSION"))
{
    _randomPickup.reset();
}

SSDMadsMegaIteration::~SSDMadsMegaIteration() = default;

void SSDMadsMegaIteration::startImp()
{
    if (!updateMeshAndGoOn())
    {
        return;
    }

    std::shared_ptr<EvalPoint> best = _barrier->getRefBestFeas();
    if (nullptr == best)
    {
        best = _barrier->getRefBestInf();
    }
    if (nullptr == best)
    {
        QARNO_THROW(Exception, "No best eval point");
    }
    const Point bestPoint(*best);

    const auto& evc = EvcInterface::getEvaluatorControl();
    const size_t nb = _runParams->getAttributeValue<size_t>("SSD_MADS_NB_SUBPROBLEM");
    for (size_t i = 0; i < nb; ++i)
    {
        auto stopReasons = std::make_shared<AlgoStopReasons<MadsStopType>>();
        auto pb = std::make_shared<PbParameters>();
        pb->copyParameters(*_pbParams);
        auto run = std::make_shared<RunParameters>();
        run->copyParameters(*_runParams);

        setupSubproblemParams(pb, run, bestPoint, 0 == i);

        pb->checkAndComply();
        run->checkAndComply(evc->getEvcGlobalParams(), pb);

        _madsList.push_back(std::make_shared<Mads>(this, stopReasons, run, pb));
    }

    if (shown(OutputLevel::LEVEL_INFO))
    {
        AddOutputInfo(getName() + " has " + std::to_string(nb) + " subproblem mads.",
                      OutputLevel::LEVEL_INFO);
    }
}

void SSDMadsMegaIteration::setupSubproblemParams(std::shared_ptr<PbParameters>& pbParams,
                                                 std::shared_ptr<RunParameters>& runParams,
                                                 const Point& bestPoint, bool isPollster)
{
    const ArrayOfDouble frame = _mainMesh->getDeltaFrameSize();
    // Only the top-level problem warns about its mesh.
    pbParams->_showMeshWarning = false;

    if (isPollster)
    {
        pbParams->setAttributeValue("DIRECTION_TYPE", DirectionType::SINGLE);
        runParams->setAttributeValue("MAX_ITERATIONS", size_t(1));
        pbParams->setAttributeValue("INITIAL_FRAME_SIZE", frame);
        return;
    }

    const ArrayOfDouble coarser = _mainMesh->getDeltaFrameSizeCoarser();
    pbParams->setAttributeValue("INITIAL_FRAME_SIZE", coarser);
    for (size_t i = 0; i < coarser.size(); ++i)
    {
        if (coarser[i] < frame[i] - Double::getEpsilon())
        {
            if (shown(OutputLevel::LEVEL_INFO))
            {
                AddOutputInfo("Set initial frame size to main frame size.",
                              OutputLevel::LEVEL_INFO);
            }
            pbParams->setAttributeValue("INITIAL_FRAME_SIZE", frame);
            break;
        }
    }

    const size_t nbVar = _runParams->getAttributeValue<size_t>("SSD_MADS_NB_VAR_IN_SUBPROBLEM");
    if (_runParams->getAttributeValue<bool>("SSD_MADS_RESET_VAR_PICKUP_SUBPROBLEM"))
    {
        _randomPickup.reset();
    }
    Point fixed(bestPoint);
    for (size_t v = 0; v < nbVar; ++v)
    {
        fixed[_randomPickup.pickup()] = Double();
    }
    pbParams->setAttributeValue("FIXED_VARIABLE", fixed);
    pbParams->setAttributeValue("X0", ArrayOfPoint{bestPoint});
    pbParams->setAttributeValue("MIN_FRAME_SIZE", frame);
}

bool SSDMadsMegaIteration::runImp()
{
    if (_stopReasons->checkTerminate())
    {
        if (shown(OutputLevel::LEVEL_DEBUG))
        {
            AddOutputDebug("SSDMadsMegaIteration: stopReason = " +
                           _stopReasons->getStopReasonAsString());
        }
        return false;
    }
    if (_madsList.empty())
    {
        QARNO_THROW(Exception, "No mads on subproblem to run");
    }

    SSDMads* ssdMads = nullptr;
    for (const Step* s = getParentStep(); nullptr != s; s = s->getParentStep())
    {
        if (s->isAnAlgorithm())
        {
            // The termination test of the owning algorithm is not const.
            ssdMads = dynamic_cast<SSDMads*>(const_cast<Step*>(s));
            break;
        }
    }
    if (nullptr == ssdMads)
    {
        QARNO_THROW(Exception, "SSDMads Iteration without SSDMads ancestor");
    }

    const auto& evc = EvcInterface::getEvaluatorControl();
    const bool iterOpportunistic =
        _runParams->getAttributeValue<bool>("SSD_MADS_ITER_OPPORTUNISTIC");
    evc->resetBbEvalInSubproblem(-1);

    SuccessType best = SuccessType::NOT_EVALUATED;
    SuccessType last = SuccessType::NOT_EVALUATED;
    for (size_t i = 0; i < _madsList.size(); ++i)
    {
        // The sub-problem index is what the termination test receives.
        if (_stopReasons->checkTerminate() ||
            evc->testIf(EvalMainThreadStopType::OPPORTUNISTIC_SUCCESS) || ssdMads->terminate(i))
        {
            break;
        }

        const auto& mads = _madsList[i];
        mads->start();
        const bool ok = mads->run();
        mads->end();

        const auto& refFeas = _barrier->getRefBestFeas();
        const auto& refInf = _barrier->getRefBestInf();
        const auto madsBarrier = mads->getMegaIterationBarrier();
        if (ok && (nullptr != refFeas || nullptr != refInf) && nullptr != madsBarrier)
        {
            const auto newFeas = madsBarrier->getFirstXFeas();
            const auto newInf = madsBarrier->getFirstXInf();
            ComputeSuccessType rule;
            rule.setDefaultComputeSuccessTypeFunction(evc->getEvalType(-1));
            last = rule(newFeas, refFeas, Double(INF));
            if (last >= SuccessType::PARTIAL_SUCCESS)
            {
                if (shown(OutputLevel::LEVEL_DEBUG))
                {
                    AddOutputDebug(
                        improvementText("Update: improving feasible point", refFeas, newFeas));
                }
            }
            else
            {
                const SuccessType s = rule(newInf, refInf, Double(INF));
                if (s > last)
                {
                    last = s;
                    if (s >= SuccessType::PARTIAL_SUCCESS && shown(OutputLevel::LEVEL_DEBUG))
                    {
                        AddOutputDebug(
                            improvementText("Update: improving infeasible point", refInf, newInf));
                    }
                }
                if (SuccessType::FAILURE == last && shown(OutputLevel::LEVEL_DEBUG))
                {
                    AddOutputDebug("Update: no success found");
                }
            }
        }
        best = std::max(best, last);

        // Points of the sub-space back to the full space; a run that ended
        // before its first mega-iteration has no barrier and nothing to add.
        if (nullptr != madsBarrier)
        {
            const Point& fixed = SubproblemManager::getSubFixedVariable(mads.get());
            std::vector<EvalPoint> points = madsBarrier->getAllPoints();
            convertPointListToFull(points, fixed);
            _barrier->updateWithPoints(points, EvalType::BB, true);
        }

        evc->resetBbEvalInSubproblem(-1);

        if (SuccessType::FULL_SUCCESS == best && iterOpportunistic)
        {
            evc->setStopReason(getThreadNum(), EvalMainThreadStopType::OPPORTUNISTIC_SUCCESS);
        }
        if (_stopReasons->checkTerminate() && shown(OutputLevel::LEVEL_DEBUG))
        {
            AddOutputDebug(getName() +
                           " stop reason set to: " + _stopReasons->getStopReasonAsString());
        }
        Step::handlePendingInterrupts();
        if (Step::_userInterrupt)
        {
            hotRestartOnUserInterrupt();
        }
    }

    _megaIterationSuccess = best;
    return SuccessType::PARTIAL_SUCCESS == best || SuccessType::FULL_SUCCESS == best;
}

} // namespace QARNO_4_0_0
