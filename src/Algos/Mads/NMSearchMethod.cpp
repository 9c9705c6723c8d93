#include "Algos/Mads/NMSearchMethod.hpp"

#include <cstddef>
#include <limits>
#include <memory>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/EvcInterface.hpp"
#include "Algos/Mads/MadsIteration.hpp"
#include "Algos/NelderMead/NM.hpp"
#include "Algos/NelderMead/NMAllReflective.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/Exception.hpp"
#include "Util/StopReasonTypes.hpp"

namespace QARNO_4_0_0
{

NMSearchMethod::NMSearchMethod(const Step* parentStep) : SearchMethodAlgo(parentStep)
{
    init();
}

NMSearchMethod::~NMSearchMethod() = default;

void NMSearchMethod::init()
{
    const RunParameters& runParams = requireRunParams();
    setName(runParams.getAttributeValue<bool>("GENERATE_ALL_POINTS_BEFORE_EVAL")
                ? "Search (Nelder Mead single pass)"
                : "Search (Nelder Mead optimization)");
    _enabled = runParams.getAttributeValue<bool>("NM_SEARCH");
}

bool NMSearchMethod::runImp()
{
    // The budget belongs to the sub-run alone: it is put in force here, the
    // sub-run's start resets the lap counter and its end puts the budget
    // back to infinity. Set any earlier (or in the single-pass mode, where
    // no sub-run ever lifts it), it would count and stop the evaluations of
    // the MADS run itself.
    const auto factor = _runParams->getAttributeValue<size_t>("NM_SEARCH_MAX_TRIAL_PTS_NFACTOR");
    const auto& evc = EvcInterface::getEvaluatorControl();
    if (std::numeric_limits<size_t>::max() != factor && nullptr != evc)
    {
        const auto n = _pbParams->getAttributeValue<size_t>("DIMENSION");
        evc->setLapMaxBbEval(factor * n);
    }

    auto nmStopReasons = std::make_shared<AlgoStopReasons<NMStopType>>();
    auto nm = std::make_shared<NM>(this, nmStopReasons, _runParams, _pbParams);
    nm->setEndDisplay(false);
    nm->start();
    const bool success = nm->run();
    nm->end();
    return success;
}

void NMSearchMethod::generateTrialPointsImp()
{
    const MadsIteration* iteration = nullptr;
    for (const Step* s = getParentStep(); nullptr != s; s = s->getParentStep())
    {
        if (const auto* found = dynamic_cast<const MadsIteration*>(s))
        {
            iteration = found;
            break;
        }
        if (s->isAnAlgorithm())
        {
            break;
        }
    }
    if (nullptr == iteration)
    {
        QARNO_THROW(Exception, "NMSearchMethod: must have a MadsIteration ancestor");
    }

    NMAllReflective pass(this, iteration->getFrameCenter(), iteration->getMesh());
    pass.start();
    pass.end();
    for (const auto& point : pass.getTrialPoints())
    {
        insertTrialPoint(point);
    }
}

} // namespace QARNO_4_0_0
