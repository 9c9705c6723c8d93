#include "Algos/QuadModel/QuadModelMegaIteration.hpp"

#include <string>

#include "Algos/QuadModel/QuadModelIteration.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/Barrier.hpp"
#include "Output/OutputQueue.hpp"
#include "Util/AllStopReasons.hpp"
#include "Util/Exception.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

QuadModelMegaIteration::QuadModelMegaIteration(const Step* parentStep, size_t k,
                                               std::shared_ptr<Barrier> barrier,
                                               SuccessType success)
    : MegaIteration(parentStep, k, std::move(barrier), success)
{
    init();
}

QuadModelMegaIteration::~QuadModelMegaIteration()
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

void QuadModelMegaIteration::init()
{
    setName(getAlgoName() + getName());
}

void QuadModelMegaIteration::startImp()
{
    if (_stopReasons->checkTerminate())
    {
        return;
    }

    // The evaluation queue measures the success of the model's points
    // against these references: without them every point would count as a
    // full success, however bad.
    _barrier->updateRefBests();

    std::shared_ptr<EvalPoint> frameCenter = _barrier->getFirstXFeas();
    if (nullptr == frameCenter)
    {
        frameCenter = _barrier->getFirstXInf();
    }
    if (nullptr != frameCenter)
    {
        _iterList.push_back(std::make_shared<QuadModelIteration>(this, frameCenter, 0, nullptr));
    }

    const auto& queue = OutputQueue::getInstance();
    if (queue->goodLevel(OutputLevel::LEVEL_INFO))
    {
        const size_t nb = _iterList.size();
        AddOutputInfo(getName() + " has " + std::to_string(nb) + " iteration" +
                          (nb >= 2 ? "s" : "") + ".",
                      OutputLevel::LEVEL_INFO);
    }
    if (queue->goodLevel(OutputLevel::LEVEL_DEBUG))
    {
        AddOutputDebug("Iterations generated:");
        for (const auto& iteration : _iterList)
        {
            if (nullptr == iteration)
            {
                QARNO_THROW(Exception, "Invalid shared pointer");
            }
            AddOutputDebug(iteration->getName());
            const auto center = iteration->getFrameCenter();
            AddOutputDebug("Frame center: " + center->display(ArrayOfDouble()));
            const auto origin = center->getPointFrom();
            AddOutputDebug("Previous frame center: " + (nullptr != origin
                                                            ? origin->display(ArrayOfDouble())
                                                            : std::string("NULL")));
            if (const auto mesh = iteration->getMesh())
            {
                AddOutputDebug("Mesh size:  " + mesh->getdeltaMeshSize().display(ArrayOfDouble()));
                AddOutputDebug("Frame size: " + mesh->getDeltaFrameSize().display(ArrayOfDouble()));
            }
            queue->flush();
        }
    }
}

bool QuadModelMegaIteration::runImp()
{
    if (_iterList.empty())
    {
        QARNO_THROW(Exception, "No iterations to run");
    }

    bool result = false;
    for (const auto& iteration : _iterList)
    {
        if (nullptr == iteration)
        {
            QARNO_THROW(Exception, "No iteration to run");
        }
        if (_stopReasons->checkTerminate())
        {
            continue;
        }
        iteration->start();
        const bool ran = iteration->run();
        iteration->end();
        if (ran)
        {
            result = true;
            if (OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_DEBUG))
            {
                AddOutputDebug(getName() + ": new success " + enumStr(_megaIterationSuccess));
            }
            Step::handlePendingInterrupts();
            if (Step::_userInterrupt)
            {
                hotRestartOnUserInterrupt();
            }
        }
    }

    if (OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_DEBUG))
    {
        AddOutputDebug(getName() + " stop reason set to: " + _stopReasons->getStopReasonAsString());
    }
    return result;
}

void QuadModelMegaIteration::endImp()
{
    CacheBase::getInstance()->clearSgte(getThreadNum());
    MegaIteration::endImp();
}

std::ostream& operator<<(std::ostream& os, const QuadModelMegaIteration& megaIteration)
{
    megaIteration.display(os);
    return os;
}

std::istream& operator>>(std::istream& is, QuadModelMegaIteration& megaIteration)
{
    megaIteration.read(is);
    return is;
}

} // namespace QARNO_4_0_0
