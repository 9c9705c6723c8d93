#include "NMSupport.hpp"

#include <stdexcept>

#include "Algos/AlgoStopReasons.hpp"
#include "Eval/Barrier.hpp"
#include "EvalSupport.hpp"
#include "Util/StopReasonTypes.hpp"

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

FakeNMAlgorithm::FakeNMAlgorithm(const Step* parent)
    : FakeNMAlgorithm(parent, makeCheckedRunParams(2, false, false), makeCheckedPbParams(2))
{
}

FakeNMAlgorithm::FakeNMAlgorithm(const Step* parent,
                                 const std::shared_ptr<RunParameters>& runParams,
                                 const std::shared_ptr<PbParameters>& pbParams)
    : Algorithm(parent, std::make_shared<AlgoStopReasons<NMStopType>>(), runParams, pbParams)
{
    setName("NM");
}

std::string FakeNMAlgorithm::nmStopReasonText() const
{
    return AlgoStopReasons<NMStopType>::get(getAllStopReasons())
        ->_algoStopReason.getStopReasonAsString();
}

FakeNMIteration::FakeNMIteration(const Step* parent, NMSimplexPtr Y, std::shared_ptr<MeshBase> mesh,
                                 std::shared_ptr<EvalPoint> frameCenter)
    : FakeIteration(parent, std::move(mesh), std::move(frameCenter)), _Y(std::move(Y))
{
}

NMStepFrame::NMStepFrame(size_t dimension, NMSimplexPtr Y, std::shared_ptr<Barrier> barrier)
    : mainStep("Main Step"), algo(&mainStep, makeCheckedRunParams(dimension, false, false),
                                  makeCheckedPbParams(dimension)),
      megaIteration(&algo, std::move(barrier)), iteration(&megaIteration, std::move(Y))
{
}

NMUtilsStep::NMUtilsStep(const Step* parent) : Step(parent), NMSimplexInsertion(this)
{
    setName("NM Test step");
}

} // namespace QarnoTest
