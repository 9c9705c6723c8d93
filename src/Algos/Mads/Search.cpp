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
#include "Param/RunParameters.hpp"
#include "Type/LHSearchType.hpp"
#include "Util/AllStopReasons.hpp"
#include "Util/StopReasonTypes.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

namespace
{

template <class Method> std::shared_ptr<SearchMethodBase> makeMethod(const Search* search)
{
    return std::make_shared<Method>(search);
}

template <const char* KEYWORD> void switchOffFlag(RunParameters& runParams)
{
    runParams.setAttributeValue(KEYWORD, false);
}

const char SPECULATIVE_SEARCH[] = "SPECULATIVE_SEARCH";
const char QUAD_MODEL_SEARCH[] = "QUAD_MODEL_SEARCH";
const char TESKORA_SEARCH[] = "TESKORA_SEARCH";
const char NM_SEARCH[] = "NM_SEARCH";

void switchOffLatinHypercube(RunParameters& runParams)
{
    runParams.setAttributeValue("LH_SEARCH", LHSearchType("0 0"));
}

SearchMethodEntry entry(const char* keyword,
                        std::shared_ptr<SearchMethodBase> (*make)(const Search*),
                        void (*switchOff)(RunParameters&), bool inQuadModelOptimization,
                        bool inTeskoraModelOptimization, bool inPsdPollster)
{
    SearchMethodEntry e;
    e.keyword = keyword;
    e.make = make;
    e.switchOff = switchOff;
    e.inQuadModelOptimization = inQuadModelOptimization;
    e.inTeskoraModelOptimization = inTeskoraModelOptimization;
    e.inPsdPollster = inPsdPollster;
    return e;
}

} // namespace

bool SearchMethodEntry::runsIn(InnerRun innerRun) const
{
    switch (innerRun)
    {
    case InnerRun::QUAD_MODEL_OPTIMIZATION:
        return inQuadModelOptimization;
    case InnerRun::TESKORA_MODEL_OPTIMIZATION:
        return inTeskoraModelOptimization;
    case InnerRun::PSD_POLLSTER:
        return inPsdPollster;
    }
    return false;
}

const std::vector<SearchMethodEntry>& Search::methodTable()
{
    // Inside a model optimisation the model searches would model the model,
    // and Nelder-Mead would spend the quadratic model's small budget; the
    // surrogate model's own Latin-hypercube design replaces LH_SEARCH there.
    // The pollster only polls.
    //                          keyword, factory, switch, quad, teskora, pollster
    static const std::vector<SearchMethodEntry> table = {
        entry(SPECULATIVE_SEARCH, makeMethod<SpeculativeSearchMethod>,
              switchOffFlag<SPECULATIVE_SEARCH>, true, true, false),
        entry("", makeMethod<UserSearchMethod>, nullptr, true, true, true),
        entry(QUAD_MODEL_SEARCH, makeMethod<QuadSearchMethod>, switchOffFlag<QUAD_MODEL_SEARCH>,
              false, false, false),
        entry(TESKORA_SEARCH, makeMethod<TeskoraSearchMethod>, switchOffFlag<TESKORA_SEARCH>, false,
              false, false),
        entry("LH_SEARCH", makeMethod<LHSearchMethod>, switchOffLatinHypercube, true, true, false),
        entry(NM_SEARCH, makeMethod<NMSearchMethod>, switchOffFlag<NM_SEARCH>, false, true, false),
    };
    return table;
}

void Search::switchOffSearchesFor(InnerRun innerRun, RunParameters& runParams,
                                  const std::vector<SearchMethodEntry>& table)
{
    for (const auto& method : table)
    {
        if (!method.runsIn(innerRun) && nullptr != method.switchOff)
        {
            method.switchOff(runParams);
        }
    }
}

Search::Search(const Step* parentStep) : Step(parentStep), IterationUtils(this), _searchMethods()
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

    // The running order is that of the table. Each method reads its own
    // parameters and says whether it is enabled.
    for (const auto& method : methodTable())
    {
        _searchMethods.push_back(method.make(this));
    }
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
            AddOutputDebug("Search method " + method->getName() +
                           (enabled ? " is enabled" : " not enabled"));
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
                AddOutputInfo(method->getName() + " is successful. Stop reason: " +
                              (nullptr == _stopReasons ? std::string()
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
