#include "Algos/NelderMead/NMMegaIteration.hpp"

#include <cstdint>
#include <iostream>
#include <limits>
#include <string>
#include <utility>

#include "Algos/Mads/MadsMegaIteration.hpp"
#include "Algos/NelderMead/NMIteration.hpp"
#include "Algos/NelderMead/NMSettings.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvalPoint.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/RunParameters.hpp"
#include "Util/AllStopReasons.hpp"
#include "Util/Exception.hpp"
#include "Util/StreamUtils.hpp"

namespace QARNO_4_0_0
{

namespace
{

bool shown(OutputLevel level)
{
    return OutputQueue::getInstance()->goodLevel(level);
}

/// The nearest MADS mega-iteration above `step`, across algorithms: a
/// Nelder-Mead run as a MADS search lies below the MADS mega-iteration
/// whose barrier and mesh it works on.
const MadsMegaIteration* enclosingMadsMegaIteration(const Step* step)
{
    for (const Step* s = step->getParentStep(); nullptr != s; s = s->getParentStep())
    {
        if (const auto* mega = dynamic_cast<const MadsMegaIteration*>(s))
        {
            return mega;
        }
    }
    return nullptr;
}
} // namespace

NMMegaIteration::NMMegaIteration(const Step* parentStep, size_t k, std::shared_ptr<Barrier> barrier,
                                 SuccessType success)
    : MegaIteration(parentStep, k, std::move(barrier), success), _nmIteration(),
      _simplexToContinue()
{
    init();
}

// The iteration member goes before the base's barrier it works on.
NMMegaIteration::~NMMegaIteration() = default;

void NMMegaIteration::init()
{
    if (const MadsMegaIteration* mads = enclosingMadsMegaIteration(this))
    {
        _barrier = mads->getBarrier();
    }
}

void NMMegaIteration::startImp()
{
    if (_stopReasons->checkTerminate())
    {
        return;
    }

    const MadsMegaIteration* mads = enclosingMadsMegaIteration(this);
    if (nullptr == mads)
    {
        // Alone, no MADS update sets the references that the evaluation
        // queue measures success against: without them every feasible
        // point would count as a full success.
        _barrier->updateRefBests();
    }

    const std::shared_ptr<EvalPoint> xFeas = _barrier->getFirstXFeas();
    const std::shared_ptr<EvalPoint> xInf = _barrier->getFirstXInf();
    std::shared_ptr<MeshBase> mesh;
    if (nullptr != mads)
    {
        mesh = mads->getMesh();
    }

    std::shared_ptr<EvalPoint> frameCenter;
    if (nullptr != xFeas)
    {
        frameCenter = std::make_shared<EvalPoint>(*xFeas);
    }
    else if (nullptr != xInf)
    {
        frameCenter = std::make_shared<EvalPoint>(*xInf);
    }

    if (nullptr != frameCenter)
    {
        _nmIteration = std::make_shared<NMIteration>(this, frameCenter, _k, mesh);
        ++_k;
        const NMSimplexPtr& Y = _simplexToContinue;
        if (nullptr != Y && !Y->empty() && Y->size() == Y->front().size() + 1)
        {
            _nmIteration->continueWith(Y);
        }
    }

    if (nullptr != _nmIteration && shown(OutputLevel::LEVEL_DEBUG))
    {
        const auto& center = _nmIteration->getFrameCenter();
        const auto& pointFrom = center->getPointFrom();
        AddOutputDebug("Frame center: " + center->display(ArrayOfDouble()));
        AddOutputDebug("Previous frame center: " + (nullptr == pointFrom
                                                        ? std::string("NULL")
                                                        : pointFrom->display(ArrayOfDouble())));
    }
}

bool NMMegaIteration::runImp()
{
    bool successful = false;
    if (_stopReasons->checkTerminate())
    {
        if (shown(OutputLevel::LEVEL_DEBUG))
        {
            AddOutputDebug(getName() + ": stopReason = " + _stopReasons->getStopReasonAsString());
        }
        return false;
    }
    if (nullptr == _nmIteration)
    {
        QARNO_THROW(Exception, "No iteration to run");
    }

    const auto maxIter = NMSettings::of(*this)->maxIterationPerMegaIteration;
    for (size_t i = 0; !_stopReasons->checkTerminate() && i < maxIter; ++i)
    {
        _nmIteration->start();
        const bool iterSuccess = _nmIteration->run();
        _nmIteration->end();
        successful = successful || iterSuccess;

        if (iterSuccess && shown(OutputLevel::LEVEL_DEBUG))
        {
            AddOutputDebug(getName() + ": new success " + enumStr(_megaIterationSuccess));
        }

        Step::handlePendingInterrupts();
        if (Step::_userInterrupt)
        {
            Step::hotRestartOnUserInterrupt();
        }
    }

    if (shown(OutputLevel::LEVEL_DEBUG))
    {
        AddOutputDebug(getName() + " stop reason set to: " + _stopReasons->getStopReasonAsString());
    }
    return successful;
}

void NMMegaIteration::read(std::istream& is)
{
    // Without a barrier the error text has no line end here.
    readTokens(is, false);
}

void NMMegaIteration::display(std::ostream& os) const
{
    MegaIteration::display(os);
}

std::ostream& operator<<(std::ostream& os, const NMMegaIteration& megaIteration)
{
    megaIteration.display(os);
    return os;
}

std::istream& operator>>(std::istream& is, NMMegaIteration& megaIteration)
{
    megaIteration.read(is);
    return is;
}

} // namespace QARNO_4_0_0
