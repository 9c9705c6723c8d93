#include "support/StepSupport.hpp"

#include <utility>

#include "Param/EvaluatorControlGlobalParameters.hpp"
#include "Util/AllStopReasons.hpp"
#include "support/TestSupport.hpp"

namespace QarnoTest
{

using namespace QARNO_4_0_0;

std::shared_ptr<PbParameters> makeCheckedPbParams(size_t dimension)
{
    auto pb = std::make_shared<PbParameters>();
    pb->setAttributeValue<size_t>("DIMENSION", dimension);
    pb->setAttributeValue<Point>("X0", Point(dimension, Double(1.0)));
    CerrCapture ignoreWarnings;
    pb->checkAndComply();
    return pb;
}

std::shared_ptr<RunParameters> makeCheckedRunParams(size_t dimension,
                                                    bool generateAllPointsBeforeEval,
                                                    bool hotRestartOnUserInterrupt)
{
    auto pb = makeCheckedPbParams(dimension);
    auto evcGlobal = std::make_shared<EvaluatorControlGlobalParameters>();
    evcGlobal->checkAndComply(nullptr);
    auto run = std::make_shared<RunParameters>();
    run->setAttributeValue<bool>("GENERATE_ALL_POINTS_BEFORE_EVAL", generateAllPointsBeforeEval);
    run->setAttributeValue<bool>("HOT_RESTART_ON_USER_INTERRUPT", hotRestartOnUserInterrupt);
    CerrCapture ignoreWarnings;
    run->checkAndComply(evcGlobal, pb);
    return run;
}

RecordingStep::RecordingStep(const std::string& name) : Step()
{
    setName(name);
}

RecordingStep::RecordingStep(const Step* parent, const std::string& name) : Step(parent)
{
    setName(name);
}

void RecordingStep::startImp()
{
    calls.push_back("start");
}

bool RecordingStep::runImp()
{
    calls.push_back("run");
    return runResult;
}

void RecordingStep::endImp()
{
    calls.push_back("end");
}

namespace
{
std::shared_ptr<RunParameters> runParamsFor(const Step* parent)
{
    if (nullptr != parent && nullptr != parent->getRunParams())
    {
        return parent->getRunParams();
    }
    return makeCheckedRunParams(2, false, false);
}

std::shared_ptr<PbParameters> pbParamsFor(const Step* parent)
{
    if (nullptr != parent && nullptr != parent->getPbParams())
    {
        return parent->getPbParams();
    }
    return makeCheckedPbParams(2);
}
} // namespace

FakeAlgorithm::FakeAlgorithm(const Step* parent, const std::string& name)
    : FakeAlgorithm(parent, name, runParamsFor(parent), pbParamsFor(parent))
{
}

FakeAlgorithm::FakeAlgorithm(const Step* parent, const std::string& name,
                             const std::shared_ptr<RunParameters>& runParams,
                             const std::shared_ptr<PbParameters>& pbParams)
    : Algorithm(parent, std::make_shared<AllStopReasons>(), runParams, pbParams)
{
    setName(name);
}

std::shared_ptr<Barrier> FakeAlgorithm::ownMegaIterationBarrier() const
{
    return (nullptr != currentBarrier) ? currentBarrier : Algorithm::ownMegaIterationBarrier();
}

FakeMegaIteration::FakeMegaIteration(const Step* parent, std::shared_ptr<Barrier> barrier)
    : RecordingStep(parent, "MegaIteration"), _barrier(std::move(barrier))
{
}

FakeIteration::FakeIteration(const Step* parent, std::shared_ptr<MeshBase> mesh,
                             std::shared_ptr<EvalPoint> frameCenter)
    : RecordingStep(parent, "Iteration"), _mesh(std::move(mesh)),
      _frameCenter(std::move(frameCenter))
{
}

FixedMesh::FixedMesh(const std::shared_ptr<PbParameters>& pbParams)
    : MeshBase(pbParams), _delta(_initialMeshSize), _Delta(_initialFrameSize)
{
}

Double FixedMesh::getRho(size_t i) const
{
    return _Delta[i] / _delta[i];
}

Double FixedMesh::getDeltaFrameSizeCoarser(size_t i) const
{
    return _Delta[i] * 2.0;
}

void FixedMesh::setDeltas(size_t i, const Double& deltaMeshSize, const Double& deltaFrameSize)
{
    ++setDeltasCalls;
    _delta[i] = deltaMeshSize;
    _Delta[i] = deltaFrameSize;
}

Double FixedMesh::scaleAndProjectOnMesh(size_t i, const Double& l) const
{
    return MeshBase::scaleAndProjectOnMesh(i, l);
}

} // namespace QarnoTest
