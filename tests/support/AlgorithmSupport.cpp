#include "support/AlgorithmSupport.hpp"

#include <utility>

#include "Algos/EvcInterface.hpp"
#include "Algos/Initialization.hpp"
#include "Eval/Barrier.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/EvaluatorControlGlobalParameters.hpp"
#include "Util/FileUtils.hpp"
#include "Util/Utils.hpp"
#include "support/StepSupport.hpp"
#include "support/TestSupport.hpp"

namespace QarnoTest
{

using namespace QARNO_4_0_0;

std::shared_ptr<RunParameters> makeHotRestartRunParams(size_t dimension, bool readFiles,
                                                       bool writeFiles,
                                                       const std::string& hotRestartFile)
{
    auto run = makeCheckedRunParams(dimension, false, false);
    run->setAttributeValue<bool>("HOT_RESTART_READ_FILES", readFiles);
    run->setAttributeValue<bool>("HOT_RESTART_WRITE_FILES", writeFiles);
    if (!hotRestartFile.empty())
    {
        run->setAttributeValue<std::string>("HOT_RESTART_FILE", hotRestartFile);
    }
    auto evcGlobal = std::make_shared<EvaluatorControlGlobalParameters>();
    evcGlobal->checkAndComply(nullptr);
    CerrCapture ignoreWarnings;
    run->checkAndComply(evcGlobal, makeCheckedPbParams(dimension));
    return run;
}

AlgorithmRun::AlgorithmRun(const EvcOptions& options, EvalType evalType, size_t dimension)
    : harness(
          options, {BBOutputType::OBJ, BBOutputType::PB},
          [](const EvalPoint& point) { return point[0].tostring() + " 0"; }, evalType)
{
    EvcInterface::setEvaluatorControl(harness.evc);
    OutputQueue::getInstance()->initParameters(makeDisplayParameters(dimension, 2, ""));
}

AlgorithmRun::~AlgorithmRun()
{
    EvcInterface::setEvaluatorControl(nullptr);
}

FrameMegaIteration::FrameMegaIteration(const Step* parent, size_t k,
                                       std::shared_ptr<Barrier> barrier)
    : MegaIteration(parent, k, std::move(barrier), SuccessType::NOT_EVALUATED)
{
}

bool FrameMegaIteration::runImp()
{
    _megaIterationSuccess = successToReach;
    return runResult;
}

FrameAlgorithm::FrameAlgorithm(const Step* parent, const std::shared_ptr<RunParameters>& runParams,
                               const std::shared_ptr<PbParameters>& pbParams,
                               const std::string& name, std::shared_ptr<AllStopReasons> stopReasons)
    : Algorithm(parent, std::move(stopReasons), runParams, pbParams)
{
    setName(name);
    _initialization = std::make_unique<RecordingInitialization>(this);
}

RecordingInitialization& FrameAlgorithm::initialization() const
{
    return static_cast<RecordingInitialization&>(*_initialization);
}

void FrameAlgorithm::readInformationForHotRestart()
{
    ++hotRestartReads;
    const std::string file = _runParams->getAttributeValue<std::string>("HOT_RESTART_FILE");
    if (!_runParams->getAttributeValue<bool>("HOT_RESTART_READ_FILES") || !checkReadFile(file))
    {
        return;
    }
    const size_t n = _pbParams->getAttributeValue<size_t>("DIMENSION");
    auto barrier = std::make_shared<Barrier>(INF, Point(n), EvalType::BB);
    _megaIteration = std::make_shared<FrameMegaIteration>(this, 0, barrier);
    // Qualified: the member read() would hide the file template.
    QARNO_4_0_0::read<FrameAlgorithm>(*this, file);
}

bool FrameAlgorithm::runImp()
{
    std::shared_ptr<Barrier> barrier;
    size_t k = 0;
    if (nullptr != _megaIteration)
    {
        barrier = _megaIteration->getBarrier();
        k = _megaIteration->getK();
    }
    else
    {
        barrier = initialization().getBarrier();
    }
    for (size_t i = 0; i < megaIterationsToRun && nullptr != barrier && !terminate(k); ++i)
    {
        auto mega = std::make_shared<FrameMegaIteration>(this, k, barrier);
        mega->runResult = megaRunResult;
        mega->successToReach = megaSuccess;
        mega->start();
        const bool successful = mega->run();
        mega->end();
        _megaIteration = mega;
        _algoSuccessful = _algoSuccessful || successful;
        if (mega->getSuccessType() > _algoBestSuccess)
        {
            _algoBestSuccess = mega->getSuccessType();
        }
        k = mega->getNextK();
    }
    return _algoSuccessful;
}

} // namespace QarnoTest
