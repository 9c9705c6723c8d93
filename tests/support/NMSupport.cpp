#include "support/NMSupport.hpp"

#include <stdexcept>

#include "Algos/AlgoStopReasons.hpp"
#include "Eval/Barrier.hpp"
#include "Util/StopReasonTypes.hpp"
#include "support/EvalSupport.hpp"

using namespace QARNO_4_0_0;

namespace QarnoTest
{

EvalPoint makeNMPoint(const std::vector<double>& coords, double f, double h, size_t tag)
{
    EvalPoint point = makeEvalPoint(coords, f, h);
    point.setTag(tag);
    return point;
}

NMSimplexPtr makeSimplex(const std::vector<EvalPoint>& points)
{
    auto Y = std::make_shared<NMSimplex>();
    for (const auto& point : points)
    {
        if (!Y->insert(point).second)
        {
            throw std::logic_error("makeSimplex: a point was refused");
        }
    }
    return Y;
}

std::vector<size_t> tagsOf(const NMSimplex& Y)
{
    std::vector<size_t> tags;
    for (const auto& y : Y)
    {
        tags.push_back(y.getTag());
    }
    return tags;
}

StepTreeOptions nmStepTree(size_t dimension, NMSimplexPtr Y, std::shared_ptr<Barrier> barrier)
{
    StepTreeOptions options;
    options.rootName = "Main Step";
    options.algorithmName = "NM";
    options.stopReasons = newNMStopReasons();
    options.pbParams = makeCheckedPbParams(dimension);
    options.runParams = makeCheckedRunParams(dimension, false, false);
    options.megaK = 0;
    options.withoutBarrier = (nullptr == barrier);
    options.barrier = std::move(barrier);
    options.k = 0;
    options.simplex = std::move(Y);
    return options;
}

NMUtilsStep::NMUtilsStep(const Step* parent) : Step(parent), NMSimplexInsertion(this)
{
    setName("NM Test step");
}

} // namespace QarnoTest
