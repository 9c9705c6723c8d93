#include "Algos/SSDMads/SSDMads.hpp"

#include "Algos/Mads/MadsInitialization.hpp"
#include "Algos/SSDMads/SSDMadsMegaIteration.hpp"
#include "Algos/Termination.hpp"
#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

namespace
{
const char* const SOURCE_FILE = "src/Algos/SSDMads/SSDMads";
} // namespace

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
            throw Exception(SOURCE_FILE, __LINE__, "Invalid shared pointer cast");
        }
        std::shared_ptr<MeshBase> mesh = init->getMesh();
        std::shared_ptr<Barrier> barrier = init->getBarrier();

        // Never run: it shares the barrier and the mesh, which the running
        // mega-iterations update in place, for the end's report.
        _megaIteration = std::make_shared<SSDMadsMegaIteration>(this, 0, barrier, mesh,
                                                                SuccessType::NOT_EVALUATED);

        size_t k = 0;
        SuccessType success = SuccessType::NOT_EVALUATED;
        while (!(result = terminate(k)))
        {
            SSDMadsMegaIteration megaIteration(this, k, barrier, mesh, success);
            megaIteration.start();
            megaIteration.run();
            megaIteration.end();

            k = megaIteration.getNextK();
            barrier = megaIteration.getBarrier();
            mesh = megaIteration.getMesh();
            success = megaIteration.getSuccessType();

            Step::handlePendingInterrupts();
            if (Step::_userInterrupt)
            {
                hotRestartOnUserInterrupt();
            }
        }
    }

    _termination->start();
    _termination->run();
    _termination->end();
    return result;
}

} // namespace QARNO_4_0_0
