#include "Algos/Mads/MegaSearchPoll.hpp"

#include <string>

#include "Algos/EvcInterface.hpp"
#include "Algos/Mads/MadsIteration.hpp"
#include "Algos/Mads/MadsMegaIteration.hpp"
#include "Algos/Mads/Poll.hpp"
#include "Algos/Mads/Search.hpp"
#include "Algos/StepException.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Output/OutputQueue.hpp"
#include "Util/AllStopReasons.hpp"
#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

MegaSearchPoll::MegaSearchPoll(const Step* parentStep)
    : Step(parentStep), IterationUtils(this), _iterForPoint()
{
    init();
}

MegaSearchPoll::MegaSearchPoll(const Step* parentStep, NoGathering)
    : Step(parentStep), IterationUtils(this), _iterForPoint()
{
    setName("MegaSearchPoll");
}

MegaSearchPoll::~MegaSearchPoll()
{
    _iterForPoint.clear();
    _trialPoints.clear();
}

void MegaSearchPoll::init()
{
    setName("MegaSearchPoll");
    verifyParentNotNull();
    if (nullptr == dynamic_cast<const MadsMegaIteration*>(getMegaIterationAncestor()))
    {
        QARNO_THROW(Exception,
                    "An instance of class MegaSearch must have a MadsMegaIteration among "
                    "its ancestors");
    }
}

const Step* MegaSearchPoll::getIterForPoint(const EvalPoint& point) const
{
    const auto found = _iterForPoint.find(point);
    return (_iterForPoint.end() == found) ? nullptr : found->second.get();
}

void MegaSearchPoll::startImp()
{
    generateTrialPoints();
}

bool MegaSearchPoll::runImp()
{
    bool result = false;
    if (_stopReasons->checkTerminate())
    {
        setSuccessType(SuccessType::NOT_EVALUATED);
    }
    else
    {
        result = evalTrialPoints(this);
    }
    getMegaIterationAncestor()->setSuccessType(getSuccessType());
    return result;
}

void MegaSearchPoll::endImp()
{
    const auto& evc = EvcInterface::getEvaluatorControl();
    if (nullptr == evc)
    {
        QARNO_THROW(StepException, getName() + ": EvaluatorControl not found", this);
    }
    postProcessing(evc->getEvalType(-1));
}

void MegaSearchPoll::generateTrialPoints()
{
    verifyGenerateAllPointsBeforeEval(
        "virtual void QARNO_4_0_0::MegaSearchPoll::generateTrialPoints()", true);

    const bool infoShown = OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_INFO);
    const std::string blockText = "Generate points for " + getName();
    if (infoShown)
    {
        AddOutputInfo(blockText, true, false);
    }

    const MegaIteration* megaIteration = getMegaIterationAncestor();
    for (const auto& iteration : megaIteration->getIterationList())
    {
        const auto madsIteration = std::dynamic_pointer_cast<MadsIteration>(iteration);
        if (nullptr == madsIteration)
        {
            QARNO_THROW(Exception, "Cannot convert to MadsIteration shared pointer");
        }

        Search search(madsIteration.get());
        search.generateTrialPoints();
        Poll poll(madsIteration.get());
        poll.generateTrialPoints();

        // Search first: a point both propose is the search's. A point an
        // earlier iteration proposed stays with that iteration (emplace
        // keeps the existing entry).
        for (const auto* points : {&search.getTrialPoints(), &poll.getTrialPoints()})
        {
            for (const auto& point : *points)
            {
                insertTrialPoint(point);
                _iterForPoint.emplace(point, madsIteration);
            }
        }
    }

    if (infoShown)
    {
        AddOutputInfo("Generated " + std::to_string(getTrialPointsCount()) + " points");
        AddOutputInfo(blockText, false, true);
    }
}

} // namespace QARNO_4_0_0
