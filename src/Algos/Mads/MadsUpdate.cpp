#include "Algos/Mads/MadsUpdate.hpp"

#include <cfloat>
#include <memory>

#include "Algos/EvcInterface.hpp"
#include "Algos/Mads/MadsMegaIteration.hpp"
#include "Algos/MeshBase.hpp"
#include "Algos/StepException.hpp"
#include "Algos/SubproblemManager.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/ComputeSuccessType.hpp"
#include "Eval/EvalPoint.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/Direction.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/EvaluatorControlGlobalParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

namespace
{

/// The nearest MADS mega-iteration above `step`, not beyond its algorithm.
const MadsMegaIteration* findMadsMegaIteration(const Step* step)
{
    for (const Step* s = step->getParentStep(); nullptr != s; s = s->getParentStep())
    {
        if (const auto* mega = dynamic_cast<const MadsMegaIteration*>(s))
        {
            return mega;
        }
        if (s->isAnAlgorithm())
        {
            break;
        }
    }
    return nullptr;
}

bool shown(OutputLevel level)
{
    return OutputQueue::getInstance()->goodLevel(level);
}

/// "Update: improving ... point", with " from" and the reference when there
/// is one, then " to " and the new point.
std::string improvingText(const std::string& what, const std::shared_ptr<EvalPoint>& ref,
                          const std::shared_ptr<EvalPoint>& best)
{
    std::string msg = "Update: improving " + what + " point";
    if (nullptr != ref)
    {
        msg += " from\n    " + ref->display() + "\n";
    }
    msg += " to " + best->display();
    return msg;
}
} // namespace

MadsUpdate::MadsUpdate(const Step* parentStep) : Step(parentStep)
{
    init();
}

MadsUpdate::~MadsUpdate() = default;

void MadsUpdate::init()
{
    setName(getAlgoName() + "Update");
    verifyParentNotNull();
    if (nullptr == findMadsMegaIteration(this))
    {
        QARNO_THROW(Exception,
                    "Error: An instance of class MadsUpdate must have a MegaIteration among "
                    "its ancestors");
    }
}

bool MadsUpdate::runImp()
{
    const auto& evc = EvcInterface::getEvaluatorControl();
    if (nullptr == evc)
    {
        QARNO_THROW(StepException, "MadsUpdate: no evaluation queue", this);
    }
    const EvalType evalType = evc->getEvalType(-1);
    if (EvalType::UNDEFINED == evalType)
    {
        // No success rule exists for it: the comparison cannot be made.
        QARNO_THROW(StepException, "MadsUpdate: the evaluation queue has no evaluation type", this);
    }

    const MadsMegaIteration* megaIteration = findMadsMegaIteration(this);
    const auto& barrier = megaIteration->getBarrier();
    const auto& mesh = megaIteration->getMesh();

    if (shown(OutputLevel::LEVEL_DEBUG))
    {
        AddOutputDebug("Running " + getName() + ". Barrier: ");
        AddOutputDebug(barrier->display(4));
    }

    const std::shared_ptr<EvalPoint> prevRefFeas = barrier->getRefBestFeas();
    const std::shared_ptr<EvalPoint> prevRefInf = barrier->getRefBestInf();
    barrier->updateRefBests();
    const std::shared_ptr<EvalPoint> newFeas = barrier->getFirstXFeas();
    const std::shared_ptr<EvalPoint> newInf = barrier->getFirstXInf();

    if (nullptr != prevRefFeas || nullptr != prevRefInf)
    {
        ComputeSuccessType computeSuccess;
        computeSuccess.setDefaultComputeSuccessTypeFunction(evalType);
        // The comparison ignores the barrier's own hMax.
        const Double hMax(DBL_MAX);

        std::shared_ptr<EvalPoint> bestPoint;
        SuccessType success = computeSuccess(newFeas, prevRefFeas, hMax);
        if (success >= SuccessType::PARTIAL_SUCCESS)
        {
            bestPoint = newFeas;
            if (shown(OutputLevel::LEVEL_DEBUG))
            {
                AddOutputDebug(improvingText("feasible", prevRefFeas, newFeas));
            }
        }
        else
        {
            const SuccessType successInf = computeSuccess(newInf, prevRefInf, hMax);
            if (success < successInf)
            {
                success = successInf;
                if (successInf >= SuccessType::PARTIAL_SUCCESS)
                {
                    bestPoint = newInf;
                    if (shown(OutputLevel::LEVEL_DEBUG))
                    {
                        AddOutputDebug(improvingText("infeasible", prevRefInf, newInf));
                    }
                }
            }
            if (SuccessType::FAILURE == success)
            {
                AddOutputDebug("Update: no success found");
            }
        }

        const SuccessType megaSuccess = megaIteration->getSuccessType();
        if (SuccessType::NOT_EVALUATED != megaSuccess && megaSuccess != success &&
            shown(OutputLevel::LEVEL_WARNING) &&
            !evc->getEvcGlobalParams()->getAttributeValue<bool>("CLEAR_EVAL_QUEUE"))
        {
            std::string msg = "Warning: MegaIteration success type: " + enumStr(megaSuccess) +
                              ". Is different than computed success type: " + enumStr(success);
            if (nullptr != prevRefFeas)
            {
                msg += "\nRef best feasible:   " + prevRefFeas->displayAll();
            }
            if (nullptr != newFeas)
            {
                msg += "\nNew best feasible:   " + newFeas->displayAll();
            }
            if (nullptr != prevRefInf)
            {
                msg += "\nRef best infeasible: " + prevRefInf->displayAll();
            }
            if (nullptr != newInf)
            {
                msg += "\nNew best infeasible: " + newInf->displayAll();
            }
            AddOutputWarning(msg);
        }

        if (success >= SuccessType::PARTIAL_SUCCESS)
        {
            const auto& pointFrom = bestPoint->getPointFrom();
            if (nullptr == pointFrom)
            {
                QARNO_THROW(StepException,
                            "Error: Update cannot compute new direction for successful "
                            "point: pointFromPtr is NULL " +
                                bestPoint->display(),
                            this);
            }
            const Point fixed = SubproblemManager::getSubFixedVariable(this);
            const Point pointFromSub = pointFrom->makeSubSpacePointFromFixed(fixed, true);
            const Direction dirSub = Point::vectorize(pointFromSub, *bestPoint);

            if (shown(OutputLevel::LEVEL_INFO))
            {
                AddOutputInfo("New direction " + dirSub.display(), OutputLevel::LEVEL_INFO);
                AddOutputInfo(SuccessType::PARTIAL_SUCCESS == success
                                  ? "Last Iteration Improving. Delta remains the same."
                                  : "Last Iteration Successful.",
                              OutputLevel::LEVEL_INFO);
            }

            const Point bestFull = bestPoint->makeFullSpacePointFromFixed(fixed);
            evc->setLastSuccessfulDir(
                std::make_shared<Direction>(Point::vectorize(*pointFrom, bestFull)));

            if (SuccessType::FULL_SUCCESS == success)
            {
                const bool enlarged = mesh->enlargeDeltaFrameSize(
                    dirSub, _runParams->getAttributeValue<Double>("ANISOTROPY_FACTOR"),
                    _runParams->getAttributeValue<bool>("ANISOTROPIC_MESH"));
                AddOutputInfo(enlarged ? "Delta is enlarged." : "Delta is not enlarged.",
                              OutputLevel::LEVEL_INFO);
            }
        }
        else
        {
            AddOutputInfo("Last Iteration Unsuccessful. Refine Delta.", OutputLevel::LEVEL_INFO);
            mesh->refineDeltaFrameSize();
        }
    }

    mesh->updatedeltaMeshSize();
    if (shown(OutputLevel::LEVEL_INFO))
    {
        AddOutputInfo("delta mesh  size = " + mesh->getdeltaMeshSize().display(),
                      OutputLevel::LEVEL_INFO);
        AddOutputInfo("Delta frame size = " + mesh->getDeltaFrameSize().display(),
                      OutputLevel::LEVEL_INFO);
    }
    return true;
}

} // namespace QARNO_4_0_0
