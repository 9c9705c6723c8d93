#include "Algos/NelderMead/NMAllReflective.hpp"

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/NelderMead/NMReflective.hpp"
#include "Algos/NelderMead/NMStepType.hpp"
#include "Util/AllStopReasons.hpp"

namespace QARNO_4_0_0
{

NMAllReflective::NMAllReflective(const Step* parentStep,
                                 const std::shared_ptr<EvalPoint>& frameCenter,
                                 const std::shared_ptr<MeshBase>& mesh)
    : NMIteration(parentStep, frameCenter, 0, mesh), NMIterationUtils(this)
{
    // The pass must not touch the stop reasons of the MADS run around it.
    _stopReasons = std::make_shared<AlgoStopReasons<NMStopType>>();
    // The simplex owner is this object itself, which the ancestor look-up of
    // the utilities (starting at the parent) cannot see.
    NMIterationUtils::_simplexY = NMIteration::_simplexY;
    _rankTolerance = 1e-13;
}

NMAllReflective::~NMAllReflective() = default;

void NMAllReflective::startImp()
{
    if (_stopReasons->checkTerminate())
    {
        return;
    }
    NMIteration::startImp();
    verifyGenerateAllPointsBeforeEval("virtual void QARNO_4_0_0::NMAllReflective::startImp()",
                                      true);
    generateTrialPoints();
    verifyPointsAreOnMesh(getName());
    updatePointsWithFrameCenter();
}

void NMAllReflective::generateTrialPoints()
{
    NMReflective reflective(this);

    const NMStepType moves[] = {NMStepType::REFLECT, NMStepType::EXPAND,
                                NMStepType::INSIDE_CONTRACTION, NMStepType::OUTSIDE_CONTRACTION};
    bool first = true;
    for (const NMStepType move : moves)
    {
        // The reflection is always tried; a failed simplex creation stops
        // the others.
        if (!first && _stopReasons->checkTerminate())
        {
            break;
        }
        first = false;
        reflective.setCurrentNMStepType(move);
        reflective.start();
        reflective.end();
        for (const auto& point : reflective.getTrialPoints())
        {
            insertTrialPoint(point);
        }
    }

    if (!_stopReasons->checkTerminate())
    {
        AlgoStopReasons<NMStopType>::get(_stopReasons)
            ->_algoStopReason.set(NMStopType::SINGLE_ITERATION_COMPLETED);
    }
}

} // namespace QARNO_4_0_0
