#include "Algos/Mads/SearchMethodBase.hpp"

#include <vector>

#include "Algos/EvcInterface.hpp"
#include "Algos/StepException.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/ArrayOfDouble.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"

namespace QARNO_4_0_0
{

SearchMethodBase::SearchMethodBase(const Step* parentStep)
    : Step(parentStep), IterationUtils(this), _enabled(true)
{
    init();
}

SearchMethodBase::~SearchMethodBase() = default;

void SearchMethodBase::init()
{
    verifyParentNotNull();
}

const RunParameters& SearchMethodBase::requireRunParams() const
{
    if (nullptr == _runParams)
    {
        QARNO_THROW(StepException, "The run parameters are needed to set up " + getName(), this);
    }
    return *_runParams;
}

void SearchMethodBase::endImp()
{
    const auto& evc = EvcInterface::getEvaluatorControl();
    if (nullptr == evc)
    {
        QARNO_THROW(StepException,
                    "An EvaluatorControl must exist to post-process the points of " + getName(),
                    this);
    }
    postProcessing(evc->getEvalType(-1));
}

void SearchMethodBase::generateTrialPoints()
{
    // Read once here: the block's lines are built only where they are shown.
    const bool showInfo = OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_INFO);
    if (showInfo)
    {
        AddOutputInfo("Generate points for " + getName(), true, false);
    }

    generateTrialPointsImp();

    if (nullptr == _pbParams)
    {
        QARNO_THROW(StepException,
                    "The problem parameters are needed to place the points of " + getName(), this);
    }
    const auto& lowerBound = _pbParams->getAttributeValue<ArrayOfDouble>("LOWER_BOUND");
    const auto& upperBound = _pbParams->getAttributeValue<ArrayOfDouble>("UPPER_BOUND");

    // The projection may move a point onto another one: the set is rebuilt
    // from the placed points so that such points are held once.
    std::vector<EvalPoint> kept;
    kept.reserve(_trialPoints.size());
    for (const auto& trialPoint : _trialPoints)
    {
        EvalPoint point(trialPoint);
        if (snapPointToBoundsAndProjectOnMesh(point, lowerBound, upperBound))
        {
            if (showInfo)
            {
                AddOutputInfo("Snap point " + point.display());
            }
            kept.push_back(std::move(point));
        }
    }
    _trialPoints.clear();
    for (const auto& point : kept)
    {
        insertTrialPoint(point);
    }

    if (showInfo)
    {
        AddOutputInfo("Generated " + std::to_string(_trialPoints.size()) + " points");
        AddOutputInfo("Generate points for " + getName(), false, true);
    }

    updatePointsWithFrameCenter();
}

} // namespace QARNO_4_0_0
