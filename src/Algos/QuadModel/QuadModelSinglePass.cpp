#include "Algos/QuadModel/QuadModelSinglePass.hpp"

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/QuadModel/QuadModelOptimize.hpp"
#include "Algos/QuadModel/QuadModelUpdate.hpp"
#include "Cache/CacheBase.hpp"
#include "Util/AllStopReasons.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

QuadModelSinglePass::QuadModelSinglePass(const Step* parentStep,
                                         const std::shared_ptr<EvalPoint>& frameCenter, size_t k,
                                         const std::shared_ptr<MeshBase>& mesh)
    : QuadModelIteration(parentStep, frameCenter, k, mesh), QuadModelIterationUtils(this)
{
}

QuadModelSinglePass::~QuadModelSinglePass() = default;

void QuadModelSinglePass::generateTrialPoints()
{
    QuadModelUpdate update(this, OutputLevel::LEVEL_INFO);
    update.start();
    const bool updated = update.run();
    update.end();

    if (!_stopReasons->checkTerminate() && updated && QuadModelIteration::_model->is_ready())
    {
        CacheBase::getInstance()->clearSgte(getThreadNum());

        // Start and end only: the points are made, not evaluated, and the
        // end removes what the model's evaluations left in the cache.
        QuadModelOptimize optimize(this, _pbParams);
        optimize.start();
        optimize.end();
        for (const EvalPoint& point : optimize.getTrialPoints())
        {
            insertTrialPoint(point);
        }
    }

    if (!_stopReasons->checkTerminate())
    {
        AlgoStopReasons<ModelStopType>::get(_stopReasons)
            ->_algoStopReason.set(ModelStopType::SINGLE_PASS_COMPLETED);
    }
}

} // namespace QARNO_4_0_0
