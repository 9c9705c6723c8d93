#include "Algos/Mads/Search.hpp"

#include <algorithm>
#include <string>

#include "Algos/EvcInterface.hpp"
#include "Algos/Mads/LHSearchMethod.hpp"
#include "Algos/Mads/NMSearchMethod.hpp"
#include "Algos/Mads/QuadSearchMethod.hpp"
#include "Algos/Mads/SearchMethodBase.hpp"
#include "Algos/Mads/SpeculativeSearchMethod.hpp"
#include "Algos/Mads/TeskoraSearchMethod.hpp"
#include "Algos/Mads/UserSearchMethod.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Output/OutputQueue.hpp"
#include "Util/StopReasonTypes.hpp"
#include "Util/AllStopReasons.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

Search::Search(const Step* parentStep)
    : Step(parentStep), IterationUtils(this), _searchMethods()
{
    init();
}

Search::~Search()
{
    _searchMethods.clear();
}

void Search::init()
{
    setName("Search");
    verifyParentNotNull();

    // The running order. Each method reads its own parameters and says
    // whether it is enabled.
    _searchMethods.push_back(std::make_shared<SpeculativeSearchMethod>(this));
    _searchMethods.push_back(std::make_shared<UserSearchMethod>(this));
    _searchMethods.push_back(std::make_shared<QuadSearchMethod>(this));
    _searchMethods.push_back(std::make_shared<TeskoraSearchMethod>(this));
    _searchMethods.push_back(std::make_shared<LHSearchMethod>(this));
    _searchMethods.push_back(std::make_shared<NMSearchMethod>(this));
}

bool Search::isEnabled() const
{
    return std::any_of(_searchMethods.begin(), _searchMethods.end(),
                       [](const std::shared_ptr<SearchMethodBase>& method)
                       { return method->isEnabled(); });
}

void Search::startImp()
{
    verifyGenerateAllPointsBeforeEval("virtual void QARNO_4_0_0::Search::startImp()", false);
}

bool Search::runImp()
{
    verifyGenerateAllPointsBeforeEval("virtual bool QARNO_4_0_0::Search::runImp()", false);

    if (!isEnabled())
    {
        AddOutputDebug("Search method is disabled. Early out.");
        return false;
    }

    const bool showDebug = OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_DEBUG);
    if (showDebug)
    {
        AddOutputDebug("Going through all search methods until we get a success");
    }

    SuccessType bestSuccess = SuccessType::NOT_EVALUATED;
    bool fullSuccess = false;
    for (const auto& method : _searchMethods)
    {
        const bool enabled = method->isEnabled();
        if (showDebug)
        {
            AddOutputDebug("Search method " + method->getName()
                           + (enabled ? " is enabled" : " not enabled"));
        }
        if (!enabled)
        {
            continue;
        }

        method->start();
        method->run();
        const SuccessType methodSuccess = method->getSuccessType();
        bestSuccess = std::max(bestSuccess, methodSuccess);
        method->end();

        // A full success ends the search whatever the opportunism setting;
        // a partial one lets the later methods try to do better.
        if (methodSuccess > SuccessType::PARTIAL_SUCCESS)
        {
            if (OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_INFO))
            {
                AddOutputInfo(method->getName() + " is successful. Stop reason: "
                              + (nullptr == _stopReasons ? std::string()
                                                         : _stopReasons->getStopReasonAsString()));
            }
            fullSuccess = true;
            break;
        }
    }

    setSuccessType(bestSuccess);
    return fullSuccess;
}

void Search::endImp()
{
    verifyGenerateAllPointsBeforeEval("virtual void QARNO_4_0_0::Search::endImp()", false);

    if (!isEnabled())
    {
        return;
    }
    // A method that ran a sub-algorithm on a budget of its own may leave its
    // lap stop reason behind; the poll and the next iterations must still
    // evaluate.
    const auto& evc = EvcInterface::getEvaluatorControl();
    if (nullptr != evc && evc->testIf(EvalMainThreadStopType::LAP_MAX_BB_EVAL_REACHED))
    {
        evc->setStopReason(getThreadNum(), EvalMainThreadStopType::STARTED);
    }
}

void Search::generateTrialPoints()
{
    verifyGenerateAllPointsBeforeEval("virtual void QARNO_4_0_0::Search::generateTrialPoints()",
                                      true);

    for (const auto& method : _searchMethods)
    {
        if (!method->isEnabled())
        {
            continue;
        }
        method->generateTrialPoints();
        for (const auto& point : method->getTrialPoints())
        {
            insertTrialPoint(point);
        }
    }

    verifyPointsAreOnMesh(getName());
}

} // namespace QARNO_4_0_0
