#include "support/IterationSupport.hpp"

#include <utility>

#include "Param/EvaluatorControlGlobalParameters.hpp"
#include "Util/AllStopReasons.hpp"
#include "support/StepSupport.hpp"
#include "support/TestSupport.hpp"

namespace QarnoTest
{

using namespace QARNO_4_0_0;

std::shared_ptr<RunParameters> makeIterationRunParams(bool userCallsEnabled, size_t maxIterPerMega)
{
    auto run = makeCheckedRunParams(2, false, false);
    run->setAttributeValue<bool>("USER_CALLS_ENABLED", userCallsEnabled);
    run->setAttributeValue<size_t>("MAX_ITERATION_PER_MEGAITERATION", maxIterPerMega);
    auto evcGlobal = std::make_shared<EvaluatorControlGlobalParameters>();
    evcGlobal->checkAndComply(nullptr);
    CerrCapture ignoreWarnings;
    run->checkAndComply(evcGlobal, makeCheckedPbParams(2));
    return run;
}

ParamAlgorithm::ParamAlgorithm(const Step* parent, const std::string& name,
                               const std::shared_ptr<RunParameters>& runParams)
    : Algorithm(parent, std::make_shared<AllStopReasons>(), runParams, makeCheckedPbParams(2))
{
    setName(name);
}

RecordingInitialization::RecordingInitialization(const Step* parent) : Initialization(parent) {}

bool RecordingInitialization::runImp()
{
    calls.push_back("run");
    _barrier = barrierToBuild;
    return true;
}

RecordingIteration::RecordingIteration(const Step* parent, size_t k, std::shared_ptr<MeshBase> mesh,
                                       std::shared_ptr<EvalPoint> frameCenter)
    : Iteration(parent, k), _mesh(std::move(mesh)), _frameCenter(std::move(frameCenter))
{
}

std::shared_ptr<MeshBase> RecordingIteration::getMesh() const
{
    return _mesh;
}

std::shared_ptr<EvalPoint> RecordingIteration::getFrameCenter() const
{
    return _frameCenter;
}

void RecordingIteration::startImp()
{
    calls.push_back("start");
}

bool RecordingIteration::runImp()
{
    calls.push_back("run");
    return true;
}

RecordingMegaIteration::RecordingMegaIteration(const Step* parent, size_t k,
                                               std::shared_ptr<Barrier> barrier)
    : MegaIteration(parent, k, std::move(barrier), SuccessType::NOT_EVALUATED)
{
}

void RecordingMegaIteration::startImp()
{
    calls.push_back("start");
}

bool RecordingMegaIteration::runImp()
{
    calls.push_back("run");
    for (size_t i = 0; i < iterationsToRun; ++i)
    {
        auto iteration = std::make_shared<RecordingIteration>(this, _k + i);
        iteration->start();
        iteration->run();
        iteration->end();
        iterationNames.push_back(iteration->getName());
        _iterList.push_back(iteration);
        ++_nbIterRun;
    }
    return true;
}

} // namespace QarnoTest
