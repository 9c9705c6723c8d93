#include "Algos/SSDMads/SSDMads.hpp"

#include <memory>

#include "Algos/Mads/MadsInitialization.hpp"
#include "Algos/SSDMads/SSDMadsMegaIteration.hpp"
#include "Algos/Termination.hpp"
#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

SSDMads::SSDMads(const Step* parentStep, std::shared_ptr<AllStopReasons> stopReasons,
                 const std::shared_ptr<RunParameters>& runParams,
                 const std::shared_ptr<PbParameters>& pbParams)
    : Algorithm(parentStep, std::move(stopReasons), runParams, pbParams)
{
    init();
}

SSDMads::~SSDMads() = default;

void SSDMads::init()
{
    setName("SSD-MADS");
    verifyParentNotNull();
    _initialization = std::make_unique<MadsInitialization>(this);
}

bool SSDMads::runImp()
{
    bool result = false;
    if (!terminate(0))
    {
        const auto* init = dynamic_cast<const MadsInitialization*>(_initialization.get());
        if (nullptr == init)
        {
            QARNO_THROW(Exception, "Invalid shared pointer cast");
        }
        std::shared_ptr<MeshBase> mesh = init->getMesh();
        MegaIterationState state;
        state.barrier = init->getBarrier();

        // Never run: it shares the barrier and the mesh, which the running
        // mega-iterations update in place, for the end's report.
        _megaIteration = std::make_shared<SSDMadsMegaIteration>(this, 0, state.barrier, mesh,
                                                                SuccessType::NOT_EVALUATED);

        const auto outcome = runMegaIterations(
            state, KAdvance::NEXT_K,
            [this, &mesh](const MegaIterationState& s) {
                return std::make_unique<SSDMadsMegaIteration>(this, s.k, s.barrier, mesh,
                                                              s.success);
            },
            [&mesh](MegaIteration& ended)
            { mesh = static_cast<SSDMadsMegaIteration&>(ended).getMesh(); });
        // The decomposition answers whether it ran to a stop, not whether a
        // sub-problem succeeded: the sub-problems' successes are merged into
        // the barrier and judged there.
        result = outcome.terminated;
    }

    runTermination();
    return result;
}

} // namespace QARNO_4_0_0
