#include "Algos/Mads/Mads.hpp"

#include <memory>
#include <sstream>

#include "Algos/Initialization.hpp"
#include "Algos/Mads/GMesh.hpp"
#include "Algos/Mads/MadsInitialization.hpp"
#include "Algos/Mads/MadsMegaIteration.hpp"
#include "Algos/Termination.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/Barrier.hpp"
#include "Math/Point.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/Exception.hpp"
#include "Util/FileUtils.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

Mads::Mads(const Step* parentStep, std::shared_ptr<AllStopReasons> stopReasons,
           const std::shared_ptr<RunParameters>& runParams,
           const std::shared_ptr<PbParameters>& pbParams)
    : Algorithm(parentStep, std::move(stopReasons), runParams, pbParams)
{
    init();
}

Mads::~Mads() = default;

void Mads::init()
{
    setName("MADS");
    _initialization = std::make_unique<MadsInitialization>(this);
}

bool Mads::runImp()
{
    bool successful = false;
    if (!terminate(0))
    {
        MegaIterationState state;
        std::shared_ptr<MeshBase> mesh;
        if (nullptr != _megaIteration)
        {
            const auto madsMega = std::dynamic_pointer_cast<MadsMegaIteration>(_megaIteration);
            if (nullptr == madsMega)
            {
                QARNO_THROW(Exception, "Invalid shared pointer cast");
            }
            state.k = madsMega->getK();
            state.barrier = madsMega->getBarrier();
            state.success = madsMega->getSuccessType();
            mesh = madsMega->getMesh();
        }
        else
        {
            const auto* init = dynamic_cast<const MadsInitialization*>(_initialization.get());
            if (nullptr == init)
            {
                QARNO_THROW(Exception, "Invalid shared pointer cast");
            }
            mesh = init->getMesh();
            state.barrier = init->getBarrier();
        }

        // The algorithm's own mega-iteration is never run: it shares the
        // barrier and the mesh, which the run updates in place, and is what
        // the end reports and the hot-restart file read.
        auto held =
            std::make_shared<MadsMegaIteration>(this, state.k, state.barrier, mesh, state.success);
        _megaIteration = held;

        const auto outcome = runMegaIterations(
            state, KAdvance::NEXT_K,
            [this, &mesh](const MegaIterationState& s)
            { return std::make_unique<MadsMegaIteration>(this, s.k, s.barrier, mesh, s.success); },
            [&](MegaIteration& ended)
            {
                mesh = static_cast<MadsMegaIteration&>(ended).getMesh();
                // The hot-restart file continues the numbering where this
                // run stopped, so that a continued run keeps counting its
                // iterations (MAX_ITERATIONS) as the evaluation counters do.
                held->setK(state.k);
            });
        // A partial success does not make the run successful.
        successful = outcome.anyFullSuccess;
    }

    runTermination();
    return successful;
}

void Mads::readInformationForHotRestart()
{
    if (!_runParams->getAttributeValue<bool>("HOT_RESTART_READ_FILES"))
    {
        return;
    }
    const std::string& fileName = _runParams->getAttributeValue<std::string>("HOT_RESTART_FILE");
    if (!checkReadFile(fileName))
    {
        return;
    }
    OutputQueue::getInstance()->add("Read hot restart file " + fileName, OutputLevel::LEVEL_NORMAL);

    const size_t n = _pbParams->getAttributeValue<size_t>("DIMENSION");
    std::shared_ptr<Barrier> barrier;
    try
    {
        barrier = std::make_shared<Barrier>(INF, Point(n), EvalType::BB);
    }
    catch (const Exception&)
    {
        // The barrier of the file is made of cache points: without them
        // (no CACHE_FILE, or another problem's) there is nothing to go on
        // from, and the run starts afresh from X0.
        AddOutputWarning("Warning: hot restart file " + fileName +
                         " not used: the cache holds no evaluated point to continue from.");
        return;
    }
    auto mesh = std::make_shared<GMesh>(_pbParams);
    _megaIteration =
        std::make_shared<MadsMegaIteration>(this, 0, barrier, mesh, SuccessType::NOT_EVALUATED);
    // A file of another problem or another run would make the run go on
    // from a state that is not its own: it is refused, and says why.
    try
    {
        QARNO_4_0_0::read<Mads>(*this, fileName);
        checkHotRestartBarrier();
    }
    catch (const Exception& e)
    {
        QARNO_THROW(Exception, "The hot restart file " + fileName +
                                   " does not match this problem: " + e.getMessage());
    }
}

void Mads::checkHotRestartBarrier() const
{
    const auto& barrier = _megaIteration->getBarrier();
    if (nullptr == barrier)
    {
        return;
    }
    // The run goes on from these points: each must be one the cache file
    // holds with its evaluation.
    const auto& cache = CacheBase::getInstance();
    for (const EvalPoint& point : barrier->getAllPoints())
    {
        EvalPoint cached;
        if (0 == cache->find(point, cached) || !cached.isEvalOk(EvalType::BB))
        {
            QARNO_THROW(Exception,
                        "the point " + point.Point::display() +
                            " of its barrier is not an evaluated point of the cache file");
        }
    }
}

void Mads::hotRestartOnUserInterrupt()
{
    hotRestartBeginHelper();
    // The mesh of the iteration being run, if any, goes through its text
    // form into a mesh of the (possibly changed) problem parameters.
    const auto iterationMesh = getIterationMesh();
    if (nullptr != iterationMesh)
    {
        std::stringstream meshText;
        meshText << *iterationMesh;
        GMesh rebuilt(_pbParams);
        meshText >> rebuilt;
    }
    hotRestartEndHelper();
}

} // namespace QARNO_4_0_0
