#include "support/StepTree.hpp"

#include <stdexcept>
#include <utility>

#include "Algos/NelderMead/NMIteration.hpp"
#include "Cache/CacheBase.hpp"
#include "Param/EvaluatorControlGlobalParameters.hpp"
#include "Util/FileUtils.hpp"
#include "Util/Utils.hpp"
#include "support/CacheSupport.hpp"
#include "support/TestSupport.hpp"

namespace QarnoTest
{

using namespace QARNO_4_0_0;

RecordingInitialization::RecordingInitialization(const Step* parent) : Initialization(parent) {}

bool RecordingInitialization::runImp()
{
    calls.push_back("run");
    _barrier = barrierToBuild;
    return true;
}

TestIteration::TestIteration(const Step* parent, size_t k, std::shared_ptr<MeshBase> mesh,
                             std::shared_ptr<EvalPoint> frameCenter, NMSimplexPtr Y)
    : Iteration(parent, k), _mesh(std::move(mesh)), _frameCenter(std::move(frameCenter)),
      _Y(std::move(Y))
{
}

void TestIteration::startImp()
{
    calls.push_back("start");
}

bool TestIteration::runImp()
{
    calls.push_back("run");
    return true;
}

namespace
{
/// The library refuses a mega-iteration without a barrier, but a step may
/// have to be shown one (as it finds none under a bare frame): such a
/// mega-iteration is built on a stand-in, never read, and drops it at once.
std::shared_ptr<Barrier> barrierOrStandIn(std::shared_ptr<Barrier> barrier)
{
    if (nullptr != barrier)
    {
        return barrier;
    }
    alignas(Barrier) static unsigned char standIn[sizeof(Barrier)];
    return std::shared_ptr<Barrier>(std::shared_ptr<Barrier>(),
                                    reinterpret_cast<Barrier*>(standIn));
}
} // namespace

TestMegaIteration::TestMegaIteration(const Step* parent, size_t k, std::shared_ptr<Barrier> barrier,
                                     bool allowNoBarrier)
    : MegaIteration(parent, k, allowNoBarrier ? barrierOrStandIn(barrier) : barrier,
                    SuccessType::NOT_EVALUATED)
{
    if (nullptr == barrier)
    {
        _barrier.reset();
    }
}

void TestMegaIteration::startImp()
{
    calls.push_back("start");
}

bool TestMegaIteration::runImp()
{
    calls.push_back("run");
    for (size_t i = 0; i < iterationsToRun; ++i)
    {
        auto iteration = std::make_shared<TestIteration>(this, _k + i);
        iteration->start();
        iteration->run();
        iteration->end();
        iterationNames.push_back(iteration->getName());
        _iterList.push_back(iteration);
        ++_nbIterRun;
    }
    if (SuccessType::NOT_EVALUATED != successToReach)
    {
        _megaIterationSuccess = successToReach;
    }
    return runResult;
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

TestAlgorithm::TestAlgorithm(const Step* parent, const std::string& name)
    : TestAlgorithm(parent, name, runParamsFor(parent), pbParamsFor(parent))
{
}

TestAlgorithm::TestAlgorithm(const Step* parent, const std::string& name,
                             const std::shared_ptr<RunParameters>& runParams,
                             const std::shared_ptr<PbParameters>& pbParams,
                             std::shared_ptr<AllStopReasons> stopReasons)
    : Algorithm(parent,
                (nullptr != stopReasons) ? std::move(stopReasons)
                                         : std::make_shared<AllStopReasons>(),
                runParams, pbParams)
{
    setName(name);
    _initialization = std::make_unique<RecordingInitialization>(this);
}

RecordingInitialization& TestAlgorithm::initialization() const
{
    return static_cast<RecordingInitialization&>(*_initialization);
}

void TestAlgorithm::readInformationForHotRestart()
{
    ++hotRestartReads;
    const std::string file = _runParams->getAttributeValue<std::string>("HOT_RESTART_FILE");
    if (!_runParams->getAttributeValue<bool>("HOT_RESTART_READ_FILES") || !checkReadFile(file))
    {
        return;
    }
    const size_t n = _pbParams->getAttributeValue<size_t>("DIMENSION");
    auto barrier = std::make_shared<Barrier>(INF, Point(n), EvalType::BB);
    _megaIteration = std::make_shared<TestMegaIteration>(this, 0, barrier);
    // Qualified: the member read() would hide the file template.
    QARNO_4_0_0::read<TestAlgorithm>(*this, file);
}

void TestAlgorithm::startImp()
{
    if (libraryRun)
    {
        Algorithm::startImp();
    }
}

bool TestAlgorithm::runImp()
{
    if (!libraryRun)
    {
        return true;
    }
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
        auto mega = std::make_shared<TestMegaIteration>(this, k, barrier);
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

void TestAlgorithm::endImp()
{
    if (libraryRun)
    {
        Algorithm::endImp();
    }
}

std::shared_ptr<Barrier> TestAlgorithm::ownMegaIterationBarrier() const
{
    return (nullptr != currentBarrier) ? currentBarrier : Algorithm::ownMegaIterationBarrier();
}

std::shared_ptr<AllStopReasons> newMadsStopReasons()
{
    return std::make_shared<AlgoStopReasons<MadsStopType>>();
}

std::shared_ptr<AllStopReasons> newNMStopReasons()
{
    return std::make_shared<AlgoStopReasons<NMStopType>>();
}

std::shared_ptr<AlgoStopReasons<MadsStopType>> madsStopReasons(const Step& step)
{
    return AlgoStopReasons<MadsStopType>::get(step.getAllStopReasons());
}

std::string nmStopReasonText(const Step& step)
{
    return AlgoStopReasons<NMStopType>::get(step.getAllStopReasons())
        ->_algoStopReason.getStopReasonAsString();
}

std::shared_ptr<PbParameters> makeTreePbParams(const StepTreeOptions& options)
{
    const size_t n = options.dimension;
    auto pb = std::make_shared<PbParameters>();
    pb->setAttributeValue<size_t>("DIMENSION", n);
    pb->setAttributeValue<Point>("X0", options.x0.empty() ? Point(n, Double(1.0))
                                                          : Point(makeArray(options.x0)));
    if (!options.lowerBound.empty())
    {
        pb->setAttributeValue<ArrayOfDouble>("LOWER_BOUND", makeArray(options.lowerBound));
    }
    if (!options.upperBound.empty())
    {
        pb->setAttributeValue<ArrayOfDouble>("UPPER_BOUND", makeArray(options.upperBound));
    }
    if (!options.variableGroups.empty())
    {
        pb->setAttributeValue<ListOfVariableGroup>("VARIABLE_GROUP", options.variableGroups);
    }
    if (options.directionType)
    {
        pb->setAttributeValue<DirectionType>("DIRECTION_TYPE", *options.directionType);
    }
    if (options.setPb)
    {
        options.setPb(*pb);
    }
    CerrCapture ignoreWarnings;
    pb->checkAndComply();
    return pb;
}

std::shared_ptr<RunParameters> makeRunParams(const std::shared_ptr<PbParameters>& pbParams,
                                             const std::function<void(RunParameters&)>& set)
{
    auto evcGlobal = std::make_shared<EvaluatorControlGlobalParameters>();
    evcGlobal->checkAndComply(nullptr);
    auto run = std::make_shared<RunParameters>();
    if (set)
    {
        set(*run);
    }
    CerrCapture ignoreWarnings;
    run->checkAndComply(evcGlobal, pbParams);
    return run;
}

std::function<std::unique_ptr<Step>(const Step*, size_t, std::shared_ptr<EvalPoint>,
                                    std::shared_ptr<MeshBase>)>
nelderMeadIteration()
{
    return [](const Step* parent, size_t k, std::shared_ptr<EvalPoint> frameCenter,
              std::shared_ptr<MeshBase> mesh) -> std::unique_ptr<Step>
    { return std::make_unique<NMIteration>(parent, std::move(frameCenter), k, std::move(mesh)); };
}

namespace
{
std::unique_ptr<Algorithm> treeAlgorithm(const Step* parent, const StepTreeOptions& o)
{
    const auto pb = (nullptr != o.pbParams) ? o.pbParams : makeTreePbParams(o);
    const auto run = (nullptr != o.runParams) ? o.runParams : makeRunParams(pb, o.setRun);
    if (o.makeAlgorithm)
    {
        return o.makeAlgorithm(parent, run, pb);
    }
    return std::make_unique<TestAlgorithm>(parent, o.algorithmName, run, pb, o.stopReasons);
}

std::unique_ptr<MegaIteration> treeMegaIteration(const Algorithm* parent, const StepTreeOptions& o)
{
    auto barrier = o.barrier;
    if (nullptr == barrier && !o.withoutBarrier)
    {
        if (!CacheBase::hasInstance())
        {
            startCache({BBOutputType::OBJ});
        }
        const size_t n = parent->getPbParams()->getAttributeValue<size_t>("DIMENSION");
        barrier = std::make_shared<Barrier>(INF, Point(n), EvalType::BB, o.barrierPoints);
    }
    if (o.setBarrierReferences && nullptr != barrier)
    {
        barrier->updateRefBests();
    }
    if (o.makeMegaIteration)
    {
        return o.makeMegaIteration(parent, o.megaK, barrier);
    }
    return std::make_unique<TestMegaIteration>(parent, o.megaK, barrier, o.withoutBarrier);
}

std::shared_ptr<MeshBase> treeMesh(const Algorithm* algo, const StepTreeOptions& o)
{
    if (nullptr != o.mesh || (o.meshSize.empty() && o.frameSize.empty()))
    {
        return o.mesh;
    }
    auto mesh = std::make_shared<PollMesh>(algo->getPbParams());
    mesh->setDeltas(makeArray(o.meshSize), makeArray(o.frameSize));
    return mesh;
}

std::unique_ptr<Step> treeIteration(const MegaIteration* parent, const StepTreeOptions& o,
                                    const std::shared_ptr<MeshBase>& mesh)
{
    if (o.makeIteration)
    {
        return o.makeIteration(parent, o.k, o.frameCenter, mesh);
    }
    return std::make_unique<TestIteration>(parent, o.k, mesh, o.frameCenter, o.simplex);
}
} // namespace

StepTree::StepTree(const StepTreeOptions& options)
    : _main(std::make_unique<RecordingStep>(options.rootName)),
      _algo(treeAlgorithm(_main.get(), options)), _mega(treeMegaIteration(_algo.get(), options)),
      _mesh(treeMesh(_algo.get(), options)),
      _iteration(options.withIteration ? treeIteration(_mega.get(), options, _mesh) : nullptr),
      main(*_main), algo(*_algo), mega(*_mega),
      iteration(options.withIteration ? *_iteration : static_cast<Step&>(*_mega)),
      pbParams(_algo->getPbParams()), mesh(_mesh), frameCenter(options.frameCenter)
{
}

StepTree::~StepTree() = default;

NMSimplex& StepTree::Y() const
{
    const auto* owner = dynamic_cast<const NMSimplexOwner*>(&iteration);
    if (nullptr == owner || nullptr == owner->getY())
    {
        throw std::logic_error("StepTree::Y: the iteration holds no simplex");
    }
    return *owner->getY();
}

} // namespace QarnoTest
