#include "Algos/Mads/LHSearchMethod.hpp"

#include <cstddef>
#include <vector>

#include "Algos/Iteration.hpp"
#include "Algos/MeshBase.hpp"
#include "Eval/EvalPoint.hpp"
#include "Math/Double.hpp"
#include "Math/LHS.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Type/LHSearchType.hpp"
#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

LHSearchMethod::LHSearchMethod(const Step* parentStep) : SearchMethodSimple(parentStep)
{
    init();
}

LHSearchMethod::~LHSearchMethod() = default;

void LHSearchMethod::init()
{
    setName("Latin Hypercube Search Method");
    _enabled = requireRunParams().getAttributeValue<LHSearchType>("LH_SEARCH").isEnabled();
}

void LHSearchMethod::completeBounds(ArrayOfDouble& lowerBound, ArrayOfDouble& upperBound,
                                    const Point& frameCenter, const ArrayOfDouble& frameSize)
{
    for (size_t i = 0; i < frameCenter.size(); ++i)
    {
        // Ten frame sizes first, then the factor: the order of the products
        // fixes the last bit of the range.
        if (!lowerBound[i].isDefined())
        {
            const double halfWidth = (10.0 * frameSize[i].todouble()) * UNBOUNDED_RANGE_FACTOR;
            lowerBound[i] = frameCenter[i].todouble() - halfWidth;
        }
        if (!upperBound[i].isDefined())
        {
            const double halfWidth = (10.0 * frameSize[i].todouble()) * UNBOUNDED_RANGE_FACTOR;
            upperBound[i] = frameCenter[i].todouble() + halfWidth;
        }
    }
}

void LHSearchMethod::generateTrialPointsImp()
{
    const Iteration* iteration = getIterationAncestor();
    if (nullptr == iteration)
    {
        QARNO_THROW(Exception, "LHSearchMethod: must have an iteration ancestor");
    }
    const auto mesh = iteration->getMesh();
    if (nullptr == mesh)
    {
        QARNO_THROW(Exception, "LHSearchMethod: must have a mesh");
    }
    const auto frameCenter = iteration->getFrameCenter();
    if (nullptr == frameCenter)
    {
        QARNO_THROW(Exception, "LHSearchMethod: must have a frameCenter");
    }

    const auto lhSearch = requireRunParams().getAttributeValue<LHSearchType>("LH_SEARCH");
    const auto n = _pbParams->getAttributeValue<size_t>("DIMENSION");
    const size_t m = (0 == iteration->getK()) ? lhSearch.getNbInitial() : lhSearch.getNbIteration();
    if (0 == m)
    {
        return;
    }

    ArrayOfDouble lowerBound = _pbParams->getAttributeValue<ArrayOfDouble>("LOWER_BOUND");
    ArrayOfDouble upperBound = _pbParams->getAttributeValue<ArrayOfDouble>("UPPER_BOUND");
    completeBounds(lowerBound, upperBound, *frameCenter, mesh->getDeltaFrameSize());

    LHS lhs(n, m, lowerBound, upperBound);
    for (const auto& x : lhs.Sample())
    {
        insertTrialPoint(EvalPoint(x));
    }
}

} // namespace QARNO_4_0_0
