#include "support/MainStepSupport.hpp"

#include <utility>

#include "Algos/Initialization.hpp"
#include "Algos/Iteration.hpp"
#include "Algos/IterationUtils.hpp"
#include "Algos/MegaIteration.hpp"
#include "Algos/StepException.hpp"
#include "Algos/SubproblemManager.hpp"
#include "Algos/Termination.hpp"
#include "Eval/Barrier.hpp"
#include "Math/ArrayOfPoint.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/FileUtils.hpp"
#include "Util/Utils.hpp"

namespace QarnoTest
{

using namespace QARNO_4_0_0;

namespace
{

/// A run that never terminates would hang the test that made it.
const size_t MAX_MEGA_ITERATIONS = 1000;

/// Evaluates the starting points of its algorithm and builds the first
/// barrier from them and the cache.
class TestInitialization : public Initialization, public IterationUtils
{
public:
    explicit TestInitialization(const Algorithm* algo) : Initialization(algo), IterationUtils(algo)
    {
    }

protected:
    void generateTrialPoints() override
    {
        for (const Point& x0 : _pbParams->getAttributeValue<ArrayOfPoint>("X0"))
        {
            if (x0.isComplete())
            {
                insertTrialPoint(EvalPoint(x0));
            }
        }
    }

    bool runImp() override
    {
        generateTrialPoints();
        const bool success = evalTrialPoints(this);
        std::vector<EvalPoint> evaluated(getTrialPoints().begin(), getTrialPoints().end());
        _barrier = std::make_shared<Barrier>(INF, SubproblemManager::getSubFixedVariable(this),
                                             EvalType::BB, evaluated);
        return success;
    }
};

/// The point generator of an iteration: c - e_i and c + e_i.
class TestPointStep : public Step, public IterationUtils
{
public:
    TestPointStep(const Step* parent, size_t k) : Step(parent), IterationUtils(this), _k(k)
    {
        setName(getAlgoName() + "Test points");
    }

protected:
    void generateTrialPoints() override
    {
        const auto barrier = getMegaIterationAncestor()->getBarrier();
        auto center = barrier->getFirstXFeas();
        if (nullptr == center)
        {
            center = barrier->getFirstXInf();
        }
        if (nullptr == center)
        {
            throw StepException(__FILE__, __LINE__, "Test algorithm: no point to move from", this);
        }
        const size_t n = center->size();
        const size_t i = _k % n;
        for (double move : {-1.0, 1.0})
        {
            Point x(static_cast<const Point&>(*center));
            x[i] = x[i].todouble() + move;
            insertTrialPoint(EvalPoint(x));
        }
    }

    void startImp() override {}

    bool runImp() override
    {
        generateTrialPoints();
        const bool success = evalTrialPoints(this);
        postProcessing(EvalType::BB);
        return success;
    }

    void endImp() override {}

private:
    const size_t _k;
};

class TestIteration : public Iteration
{
public:
    TestIteration(const Step* parent, size_t k) : Iteration(parent, k), _success() {}

    SuccessType getSuccessType() const { return _success; }

protected:
    void startImp() override {}

    bool runImp() override
    {
        TestPointStep points(this, _k);
        points.start();
        const bool ok = points.run();
        points.end();
        _success = points.getSuccessType();
        return ok;
    }

private:
    SuccessType _success;
};

class TestMegaIteration : public MegaIteration
{
public:
    TestMegaIteration(const Step* parent, size_t k, std::shared_ptr<Barrier> barrier,
                      SuccessType success)
        : MegaIteration(parent, k, std::move(barrier), success)
    {
    }

protected:
    void startImp() override {}

    bool runImp() override
    {
        auto iteration = std::make_shared<TestIteration>(this, _k);
        _iterList.push_back(iteration);
        iteration->start();
        const bool ok = iteration->run();
        iteration->end();
        ++_nbIterRun;
        _megaIterationSuccess = iteration->getSuccessType();
        return ok;
    }
};

} // namespace

EvaluatingTestAlgorithm::EvaluatingTestAlgorithm(const Step* parent,
                                                 std::shared_ptr<AllStopReasons> stopReasons,
                                                 const std::shared_ptr<RunParameters>& runParams,
                                                 const std::shared_ptr<PbParameters>& pbParams,
                                                 const std::string& name)
    : Algorithm(parent, std::move(stopReasons), runParams, pbParams)
{
    setName(name);
    _initialization = std::make_unique<TestInitialization>(this);
}

void EvaluatingTestAlgorithm::readInformationForHotRestart()
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
    AddOutputInfo("Read hot restart file " + fileName, OutputLevel::LEVEL_NORMAL);

    const size_t n = _pbParams->getAttributeValue<size_t>("DIMENSION");
    auto barrier = std::make_shared<Barrier>(INF, Point(n), EvalType::BB);
    _megaIteration =
        std::make_shared<TestMegaIteration>(this, 0, barrier, SuccessType::NOT_EVALUATED);
    QARNO_4_0_0::read<EvaluatingTestAlgorithm>(*this, fileName);
}

bool EvaluatingTestAlgorithm::runImp()
{
    size_t k = 0;
    std::shared_ptr<Barrier> barrier;
    SuccessType success = SuccessType::NOT_EVALUATED;
    if (nullptr != _megaIteration)
    {
        k = _megaIteration->getNextK();
        barrier = _megaIteration->getBarrier();
        success = _megaIteration->getSuccessType();
    }
    else if (nullptr != _initialization)
    {
        barrier = _initialization->getBarrier();
    }

    bool successful = false;
    if (nullptr != barrier)
    {
        while (megaIterationsRun.size() < MAX_MEGA_ITERATIONS && !terminate(k))
        {
            auto mega = std::make_shared<TestMegaIteration>(this, k, barrier, success);
            _megaIteration = mega;
            mega->start();
            successful = mega->run() || successful;
            mega->end();
            megaIterationsRun.push_back(k);

            barrier = mega->getBarrier();
            success = mega->getSuccessType();
            if (afterMegaIteration)
            {
                afterMegaIteration(k);
            }
            k = mega->getNextK();

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
    return successful;
}

std::shared_ptr<Algorithm>
TestMainStep::createAlgorithm(AlgoKind kind, std::shared_ptr<AllStopReasons> stopReasons,
                              const std::shared_ptr<PbParameters>& pbParams)
{
    kindsCreated.push_back(kind);
    pbParamsGiven.push_back(pbParams);
    auto algo = std::make_shared<EvaluatingTestAlgorithm>(this, std::move(stopReasons), _runParams,
                                                          pbParams, algoKindToString(kind));
    algo->afterMegaIteration = afterMegaIteration;
    return algo;
}

} // namespace QarnoTest
