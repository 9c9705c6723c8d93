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
        QARNO_THROW(Exception, "Error in QuadModel::getBBOutputType()");
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
    if (!terminate(0))
    {
        MegaIterationState state;
        state.barrier = startingBarrier();
        // One run is one mega-iteration with one model and one inner
        // optimisation: the model is built from the whole cache, so a second
        // one would find the same.
        const auto outcome = runMegaIterations(
            state, KAdvance::OWN_K,
            [this](const MegaIterationState& s)
            { return std::make_unique<QuadModelMegaIteration>(this, s.k, s.barrier, s.success); },
            nullptr, 1);
        result = outcome.anyRunSuccess;
        // Kept for the hot-restart file.
        _megaIteration =
            std::make_shared<QuadModelMegaIteration>(this, state.k, state.barrier, state.success);
    }

    runTermination();
    OutputQueue::getInstance()->flush();
    return result;
}

void QuadModelAlgo::endImp()
{
    Algorithm::endImp();
}

} // namespace QARNO_4_0_0
