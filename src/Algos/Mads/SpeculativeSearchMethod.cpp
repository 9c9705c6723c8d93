#include "Algos/Mads/SpeculativeSearchMethod.hpp"

#include <cmath>
#include <cstddef>

#include "Algos/Iteration.hpp"
#include "Algos/MeshBase.hpp"
#include "Algos/SubproblemManager.hpp"
#include "Eval/EvalPoint.hpp"
#include "Math/Direction.hpp"
#include "Math/Double.hpp"
#include "Math/Point.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/RunParameters.hpp"
#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

SpeculativeSearchMethod::SpeculativeSearchMethod(const Step* parentStep)
    : SearchMethodSimple(parentStep)
{
    init();
}

SpeculativeSearchMethod::~SpeculativeSearchMethod() = default;

void SpeculativeSearchMethod::init()
{
    setName("Speculative Search Method");
    _enabled = requireRunParams().getAttributeValue<bool>("SPECULATIVE_SEARCH");
}

void SpeculativeSearchMethod::generateTrialPointsImp()
{
    const Iteration* iteration = getIterationAncestor();
    if (nullptr == iteration)
    {
        QARNO_THROW(Exception, "SpeculativeSearchMethod: must have an iteration ancestor");
    }
    const auto frameCenter = iteration->getFrameCenter();
    if (nullptr == frameCenter)
    {
        return;
    }

    // A starting point has no origin; a point generated from itself gives
    // no move to follow.
    const auto origin = frameCenter->getPointFrom(SubproblemManager::getSubFixedVariable(this));
    if (nullptr == origin || static_cast<const ArrayOfDouble&>(*origin) ==
                                 static_cast<const ArrayOfDouble&>(*frameCenter))
    {
        return;
    }
    const Direction dir = Point::vectorize(*origin, *frameCenter);

    const auto mesh = iteration->getMesh();
    if (nullptr == mesh)
    {
        QARNO_THROW(Exception, "SpeculativeSearchMethod: must have a mesh");
    }
    const ArrayOfDouble frameSize = mesh->getDeltaFrameSize();

    // The largest factor that keeps the move within the frame in every
    // coordinate that moves; on a near-tie the later coordinate decides.
    const double eps = Double::getEpsilon();
    double factor = INF;
    for (size_t i = 0; i < dir.size(); ++i)
    {
        const double di = std::fabs(dir[i].todouble());
        if (di >= eps)
        {
            const double ratio = frameSize[i].todouble() / di;
            if (!(factor < ratio - eps))
            {
                factor = ratio;
            }
        }
    }
    // A ratio that overflows is as unusable as no ratio at all: it would put
    // the points at infinite coordinates.
    if (!std::isfinite(factor) || std::fabs(factor - INF) < eps)
    {
        QARNO_THROW(Exception, "SpeculativeSearch: Cannot scale direction on frame");
    }

    const bool showInfo = OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_INFO);
    if (showInfo)
    {
        AddOutputInfo("Direction before scaling: " + dir.ArrayOfDouble::display());
    }

    const auto nbPoints = requireRunParams().getAttributeValue<size_t>("SPECULATIVE_SEARCH_MAX");
    for (size_t k = 1; k <= nbPoints; ++k)
    {
        Direction scaled(dir);
        scaled *= Double(factor * static_cast<double>(k));
        if (showInfo)
        {
            AddOutputInfo("Scaled direction on frame: " + scaled.ArrayOfDouble::display());
        }
        insertTrialPoint(EvalPoint(*frameCenter + scaled));
    }
}

} // namespace QARNO_4_0_0
