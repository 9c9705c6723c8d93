#include "Algos/NelderMead/NMShrink.hpp"

#include <string>
#include <utility>
#include <vector>

#include "Algos/NelderMead/NMSettings.hpp"
#include "Algos/NelderMead/NMSimplexEvalPointCompare.hpp"
#include "Algos/NelderMead/NMUpdate.hpp"
#include "Math/ArrayOfDouble.hpp"
#include "Math/Point.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/AllStopReasons.hpp"
#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

NMShrink::NMShrink(const Step* parentStep) : Step(parentStep), NMIterationUtils(this), _gamma()
{
    init();
}

NMShrink::~NMShrink() = default;

void NMShrink::init()
{
    setName(getAlgoName() + "Shrink");
    _stepType = NMStepType::SHRINK;
    _gamma = NMSettings::of(*this)->gamma;
    const double eps = Double::getEpsilon();
    if (!_gamma.isDefined() || _gamma.todouble() <= eps || _gamma.todouble() > 1 + eps)
    {
        QARNO_THROW(Exception, "Gamma value not compatible with shrink");
    }
    verifyParentNotNull();
}

void NMShrink::startImp()
{
    {
        NMUpdate update(this);
        update.start();
        update.run();
        update.end();
    }
    generateTrialPoints();
}

void NMShrink::generateTrialPoints()
{
    if (nullptr == _simplexY)
    {
        QARNO_THROW(Exception, "The simplex is not defined.");
    }
    const size_t n = NMSettings::of(*this)->dimension;
    const bool showInfo = OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_INFO);
    if (showInfo)
    {
        AddOutputInfo("Shrink simplex with " + getName() + " (gamma=" + _gamma.tostring() +
                          ") with " + std::to_string(_simplexY->size()) + " points.",
                      OutputLevel::LEVEL_INFO);
    }
    if (_simplexY->empty())
    {
        return;
    }

    const EvalPoint& y0 = _simplexY->front();
    size_t k = 0;
    for (const EvalPoint& yk : *_simplexY)
    {
        if (showInfo)
        {
            AddOutputInfo("y" + std::to_string(k) + ": " + yk.display(), OutputLevel::LEVEL_INFO);
        }
        Point xk(n);
        for (size_t i = 0; i < n; ++i)
        {
            xk[i] = y0[i] + _gamma * (yk[i] - y0[i]);
        }
        const bool inserted = insertTrialPoint(EvalPoint(xk));
        if (showInfo)
        {
            AddOutputInfo(std::string("xr:") + (inserted ? " " : " not inserted: ") + xk.display(),
                          OutputLevel::LEVEL_INFO);
        }
        if (k > 0 && static_cast<const ArrayOfDouble&>(xk) == yk)
        {
            // The simplex is too small to shrink any further.
            if (showInfo)
            {
                AddOutputInfo("Shrink point to close to simplex point.", OutputLevel::LEVEL_INFO);
            }
            setStopReason();
            _trialPoints.clear();
            return;
        }
        ++k;
    }
}

bool NMShrink::runImp()
{
    bool result = false;
    std::vector<EvalPoint> known;
    // An emptied set is not handed to the queue, which may hold other
    // steps' points.
    if (!_stopReasons->checkTerminate() && !_trialPoints.empty())
    {
        result = evalTrialPointsAndFindKnown(this, known);
    }
    if (0 == _nbEvalPointsThatNeedEval && known.empty())
    {
        // Nothing evaluated and nothing on record: the shrink did nothing.
        setStopReason();
    }
    else if (!_stopReasons->checkTerminate())
    {
        replaceYByShrunkSimplex(known);
    }
    return result;
}

void NMShrink::replaceYByShrunkSimplex(const std::vector<EvalPoint>& known)
{
    // Without this the next iteration reflects the same simplex again, meets
    // the same points and stops where it shrank.
    const EvalType evalType = NMSimplexEvalPointCompare::currentEvalType();
    const EvalPoint& y0 = _simplexY->front();
    NMSimplex shrunk;
    shrunk.insert(y0, evalType);
    auto addMoved = [&](const EvalPoint& x)
    {
        if (static_cast<const ArrayOfDouble&>(x) == static_cast<const ArrayOfDouble&>(y0))
        {
            return true;
        }
        return x.isEvalOk(evalType) && shrunk.insert(x, evalType).second;
    };
    bool complete = true;
    for (const EvalPoint& x : _trialPoints)
    {
        complete = addMoved(x) && complete;
    }
    for (const EvalPoint& x : known)
    {
        complete = addMoved(x) && complete;
    }
    // A moved point without a usable evaluation leaves no simplex to go on
    // with.
    if (!complete || shrunk.size() != _simplexY->size())
    {
        if (OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_DEBUG))
        {
            AddOutputDebug(
                "A shrink point has no usable evaluation: the simplex cannot be shrunk.");
        }
        setStopReason();
        return;
    }

    *_simplexY = std::move(shrunk);
    updateYCharacteristics();
    displayYInfo();
    if (!isDZFullRank())
    {
        // Shrunk below what the rank can tell from flat: nothing to gain by
        // going on.
        if (OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_DEBUG))
        {
            AddOutputDebug("Rank of DZ=[(y1-y0) (y2-y0) ... (yn-y0)] != n after the shrink.");
        }
        setStopReason();
    }
}

void NMShrink::endImp()
{
    postProcessing(NMSimplexEvalPointCompare::currentEvalType());
}

} // namespace QARNO_4_0_0
