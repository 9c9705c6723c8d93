#include "support/SubspaceSupport.hpp"

#include <iostream>
#include <utility>

#include "Algos/SubproblemManager.hpp"
#include "Util/AllStopReasons.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;

namespace QarnoTest
{

std::shared_ptr<PbParameters> makeFixedPbParams(const std::vector<double>& fixed)
{
    StepTreeOptions options;
    options.dimension = fixed.size();
    // X0 must agree with the fixed values.
    options.x0 = fixed;
    for (auto& v : options.x0)
    {
        v = (v == v) ? v : 1.0;
    }
    options.setPb = [&fixed](PbParameters& pb)
    { pb.setAttributeValue("FIXED_VARIABLE", Point(makeArray(fixed))); };
    return makeTreePbParams(options);
}

FakePhaseOne::FakePhaseOne(const Step* parent, const std::shared_ptr<RunParameters>& runParams,
                           const std::shared_ptr<PbParameters>& pbParams)
    : PhaseOne(parent, std::make_shared<AllStopReasons>(), runParams, pbParams)
{
    setName("PhaseOne");
}

SubspaceAlgorithm::SubspaceAlgorithm(const std::vector<double>& fixed, bool underPhaseOne)
    : main("Main"),
      phaseOne(underPhaseOne ? std::make_unique<FakePhaseOne>(
                                   &main, makeCheckedRunParams(fixed.size(), false, false),
                                   makeFixedPbParams(fixed))
                             : nullptr),
      algo(underPhaseOne ? static_cast<const Step*>(phaseOne.get()) : &main, "Algo",
           underPhaseOne ? phaseOne->getRunParams()
                         : makeCheckedRunParams(fixed.size(), false, false),
           underPhaseOne ? phaseOne->getPbParams() : makeFixedPbParams(fixed))
{
}

} // namespace QarnoTest

namespace QarnoTest
{

FakeMegaSearchPoll::FakeMegaSearchPoll(const Step* parent, const Step* iterationOfPoints)
    : MegaSearchPoll(parent, NoGathering()), iteration(iterationOfPoints)
{
}

const Step* FakeMegaSearchPoll::getIterForPoint(const EvalPoint& /*point*/) const
{
    ++questions;
    return iteration;
}

} // namespace QarnoTest
