#include "Algos/TeskoraModel/TeskoraModelMegaIteration.hpp"

#include <algorithm>
#include <string>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/EvcInterface.hpp"
#include "Algos/TeskoraModel/TeskoraModel.hpp"
#include "Algos/TeskoraModel/TeskoraModelFilterCache.hpp"
#include "Algos/TeskoraModel/TeskoraModelIteration.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/EvaluatorControlGlobalParameters.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/AllStopReasons.hpp"
#include "Util/Exception.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

namespace
{

const TeskoraModel* owningModel(const Step* step)
{
    for (const Step* s = step->getParentStep(); nullptr != s; s = s->getParentStep())
    {
        if (const auto* model = dynamic_cast<const TeskoraModel*>(s))
        {
            return model;
        }
        if (s->isAnAlgorithm())
        {
            break;
        }
    }
    return nullptr;
}

void setModelStop(const std::shared_ptr<AllStopReasons>& stopReasons, ModelStopType stop)
{
    AlgoStopReasons<ModelStopType>::get(stopReasons)->_algoStopReason.set(stop);
}
} // namespace

TeskoraModelMegaIteration::TeskoraModelMegaIteration(const Step* parentStep, size_t k,
                                                     std::shared_ptr<Barrier> barrier,
                                                     SuccessType success)
    : MegaIteration(parentStep, k, std::move(barrier), success), IterationUtils(parentStep)
{
    init();
}

TeskoraModelMegaIteration::~TeskoraModelMegaIteration()
{
    // A destructor must not throw: without a cache there is nothing to clear.
    try
    {
        if (CacheBase::hasInstance())
        {
            CacheBase::getInstance()->clearSgte(getThreadNum());
        }
    }
    catch (...)
    {
    }
}

void TeskoraModelMegaIteration::init()
{
    // Keeps the name given by the mega-iteration base.
}

void TeskoraModelMegaIteration::generateTrialPoints()
{
    generateIterations();
    runIterationsAndSetTrialPoints();
    filterCache();
}

void TeskoraModelMegaIteration::generateIterations()
{
    const size_t nb =
        std::min(_runParams->getAttributeValue<size_t>("MAX_ITERATION_PER_MEGAITERATION"),
                 _runParams->getAttributeValue<size_t>("TESKORA_MODEL_TRIALS"));
    for (size_t i = 0; i < nb; ++i)
    {
        _iterList.push_back(std::make_shared<TeskoraModelIteration>(this, _k + i));
    }
    const auto& queue = OutputQueue::getInstance();
    if (queue->goodLevel(OutputLevel::LEVEL_INFO))
    {
        AddOutputInfo(getName() + " has " + std::to_string(nb) + " iteration" +
                          (nb >= 2 ? "s" : "") + ".",
                      OutputLevel::LEVEL_INFO);
    }
    if (queue->goodLevel(OutputLevel::LEVEL_DEBUG))
    {
        AddOutputDebug("Iterations generated:");
        for (const auto& iteration : _iterList)
        {
            AddOutputDebug(iteration->getName());
        }
    }
}

bool TeskoraModelMegaIteration::intoBounds(Point& x)
{
    const TeskoraModel* model = owningModel(this);
    if (nullptr == model)
    {
        return true;
    }
    return snapPointToBoundsAndProjectOnMesh(x, model->getExtendedLowerBound(),
                                             model->getExtendedUpperBound());
}

void TeskoraModelMegaIteration::runIterationsAndSetTrialPoints()
{
    if (_iterList.empty())
    {
        QARNO_THROW(Exception, "No iterations to run");
    }
    const bool showInfo = OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_INFO);
    for (const auto& entry : _iterList)
    {
        if (_stopReasons->checkTerminate())
        {
            break;
        }
        auto iteration = std::dynamic_pointer_cast<TeskoraModelIteration>(entry);
        if (nullptr == iteration)
        {
            QARNO_THROW(Exception, "Invalid shared pointer cast");
        }
        iteration->start();
        iteration->run();
        iteration->end();

        const auto oraclePoints = iteration->getOraclePoints();
        size_t inserted = 0;
        for (const EvalPoint& oracle : oraclePoints)
        {
            EvalPoint x(oracle);
            if (!intoBounds(x))
            {
                continue;
            }
            const bool isNew = insertTrialPoint(x);
            inserted += isNew;
            if (showInfo)
            {
                AddOutputInfo(std::string("Generated point") + (isNew ? ": " : " not inserted: ") +
                                  x.display(),
                              OutputLevel::LEVEL_INFO);
            }
        }
        if (oraclePoints.empty() || 0 == inserted)
        {
            setModelStop(_stopReasons, ModelStopType::NO_NEW_POINTS_FOUND);
        }
        if (_stopReasons->checkTerminate() &&
            OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_DEBUG))
        {
            AddOutputDebug(getName() +
                           " stop reason set to: " + _stopReasons->getStopReasonAsString());
        }
        ++_k;
        Step::handlePendingInterrupts();
        if (Step::_userInterrupt)
        {
            hotRestartOnUserInterrupt();
        }
    }
}

void TeskoraModelMegaIteration::filterCache()
{
    int nb = _runParams->getAttributeValue<int>("TESKORA_MODEL_CANDIDATES_NB");
    if (nb < 0)
    {
        const size_t n = _pbParams->getAttributeValue<size_t>("DIMENSION");
        const size_t blockSize =
            EvcInterface::getEvaluatorControl()->getEvcGlobalParams()->getAttributeValue<size_t>(
                "BB_MAX_BLOCK_SIZE");
        nb = static_cast<int>(std::max(2 * n, blockSize));
    }
    nb -= static_cast<int>(_trialPoints.size());
    if (nb <= 0)
    {
        return;
    }
    const TeskoraModel* model = owningModel(this);
    TeskoraModelFilterCache filter(model, static_cast<size_t>(nb));
    filter.start();
    const bool ok = filter.run();
    filter.end();
    if (!ok)
    {
        QARNO_THROW(Exception, "Filter cache failed");
    }
    for (const EvalPoint& selected : filter.getSelectedPoints())
    {
        EvalPoint x(selected);
        if (intoBounds(x))
        {
            insertTrialPoint(x);
        }
    }
}

void TeskoraModelMegaIteration::startImp()
{
    // The evaluation queue measures the success of the trial points against
    // these references: without them every point would count as a full
    // success, and the run would never stop for lack of improvement.
    _barrier->updateRefBests();
    generateTrialPoints();
    if (_trialPoints.empty())
    {
        setModelStop(_stopReasons, ModelStopType::NOT_ENOUGH_POINTS);
    }
}

bool TeskoraModelMegaIteration::runImp()
{
    if (_stopReasons->checkTerminate())
    {
        if (OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_DEBUG))
        {
            AddOutputDebug(getName() + ": stopReason = " + _stopReasons->getStopReasonAsString());
        }
    }
    else if (evalTrialPoints(this))
    {
        return true;
    }
    setModelStop(_stopReasons, ModelStopType::NO_NEW_POINTS_FOUND);
    return false;
}

void TeskoraModelMegaIteration::endImp()
{
    postProcessing(EvcInterface::getEvaluatorControl()->getEvalType(-1));
    CacheBase::getInstance()->clearSgte(getThreadNum());
    MegaIteration::endImp();
}

std::ostream& operator<<(std::ostream& os, const TeskoraModelMegaIteration& megaIteration)
{
    megaIteration.display(os);
    return os;
}

std::istream& operator>>(std::istream& is, TeskoraModelMegaIteration& megaIteration)
{
    megaIteration.read(is);
    return is;
}

} // namespace QARNO_4_0_0
