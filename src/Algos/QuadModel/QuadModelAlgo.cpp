#include "Algos/QuadModel/QuadModelAlgo.hpp"

#include "Algos/EvcInterface.hpp"
#include "Algos/Initialization.hpp"
#include "Algos/QuadModel/QuadModelInitialization.hpp"
#include "Algos/QuadModel/QuadModelMegaIteration.hpp"
#include "Algos/SubproblemManager.hpp"
#include "Algos/Termination.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/EvalParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

namespace
{
const char* const SOURCE_FILE = "src/Algos/QuadModel/QuadModelAlgo";
} // namespace

QuadModelAlgo::QuadModelAlgo(const Step* parentStep, std::shared_ptr<AllStopReasons> stopReasons,
                             const std::shared_ptr<RunParameters>& runParams,
                             const std::shared_ptr<PbParameters>& pbParams)
    : Algorithm(parentStep, std::move(stopReasons), runParams, pbParams)
{
    init();
}

QuadModelAlgo::~QuadModelAlgo() = default;

void QuadModelAlgo::init()
{
    setName("QuadModel");
    verifyParentNotNull();
    _initialization = std::make_unique<QuadModelInitialization>(this);
}

BBOutputTypeList QuadModelAlgo::getBBOutputType()
{
    const auto& evc = EvcInterface::getEvaluatorControl();
    std::shared_ptr<EvalParameters> evalParams;
    if (nullptr != evc)
    {
        evalParams = evc->getEvalParams(-1);
    }
    if (nullptr == evalParams)
    {
        throw Exception(SOURCE_FILE, __LINE__, "Error in QuadModel::getBBOutputType()");
    }
    return evalParams->getAttributeValue<BBOutputTypeList>("BB_OUTPUT_TYPE");
}

void QuadModelAlgo::startImp()
{
    Algorithm::startImp();
}

bool QuadModelAlgo::runImp()
{
    bool result = false;
    if (!_termination->terminate(0))
    {
        std::shared_ptr<Barrier> barrier = _initialization->getBarrier();
        if (nullptr == barrier)
        {
            // The initialization makes none: the barrier comes from the cache.
            const Double hMax0 = _runParams->getAttributeValue<Double>("H_MAX_0");
            barrier = std::make_shared<Barrier>(hMax0, SubproblemManager::getSubFixedVariable(this),
                                                EvalType::BB, std::vector<EvalPoint>());
        }

        auto megaIteration =
            std::make_shared<QuadModelMegaIteration>(this, 0, barrier, SuccessType::NOT_EVALUATED);
        megaIteration->start();
        result = megaIteration->run();
        megaIteration->end();

        if (megaIteration->getBarrier() != barrier)
        {
            barrier = megaIteration->getBarrier();
        }
        Step::handlePendingInterrupts();
        if (Step::_userInterrupt)
        {
            hotRestartOnUserInterrupt();
        }
        // Kept for the hot-restart file.
        _megaIteration = std::make_shared<QuadModelMegaIteration>(
            this, megaIteration->getK(), barrier, megaIteration->getSuccessType());
    }

    _termination->start();
    _termination->run();
    _termination->end();
    OutputQueue::getInstance()->flush();
    return result;
}

void QuadModelAlgo::endImp()
{
    Algorithm::endImp();
}

} // namespace QARNO_4_0_0
