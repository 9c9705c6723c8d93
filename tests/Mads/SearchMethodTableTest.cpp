// The one table of search methods: the search builds its methods from it,
// and the MADS runs that steps run inside themselves keep only the methods
// its rows keep there.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Algos/InnerMadsRun.hpp"
#include "Algos/Mads/Search.hpp"
#include "Param/EvaluatorControlGlobalParameters.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Type/LHSearchType.hpp"
#include "support/StepSupport.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;

namespace
{

const InnerRun INNER_RUNS[] = {InnerRun::QUAD_MODEL_OPTIMIZATION,
                               InnerRun::TESKORA_MODEL_OPTIMIZATION, InnerRun::PSD_POLLSTER};

std::string nameOf(InnerRun innerRun)
{
    switch (innerRun)
    {
    case InnerRun::QUAD_MODEL_OPTIMIZATION:
        return "quadratic-model optimisation";
    case InnerRun::TESKORA_MODEL_OPTIMIZATION:
        return "surrogate-model optimisation";
    case InnerRun::PSD_POLLSTER:
        return "pollster";
    }
    return "?";
}

/// Run parameters that ask for every search method that a parameter asks
/// for (the model searches included).
std::shared_ptr<RunParameters> everySearchAskedFor()
{
    auto run = QarnoTest::makeCheckedRunParams(2, false, false);
    for (const auto& method : Search::methodTable())
    {
        if ("LH_SEARCH" == method.keyword)
        {
            run->setAttributeValue("LH_SEARCH", LHSearchType("10 2"));
        }
        else if (!method.keyword.empty())
        {
            run->setAttributeValue(method.keyword, true);
        }
    }
    return run;
}

void check(RunParameters& run)
{
    auto evcGlobal = std::make_shared<EvaluatorControlGlobalParameters>();
    evcGlobal->checkAndComply(nullptr);
    QarnoTest::CerrCapture ignoreWarnings;
    run.checkAndComply(evcGlobal, QarnoTest::makeCheckedPbParams(2));
}

bool askedFor(const RunParameters& run, const std::string& keyword)
{
    return ("LH_SEARCH" == keyword) ? run.getAttributeValue<LHSearchType>(keyword).isEnabled()
                                    : run.getAttributeValue<bool>(keyword);
}

TEST(SearchMethodTable, InnerRunsKeepWhatTheRowsSay)
{
    for (const InnerRun innerRun : INNER_RUNS)
    {
        SCOPED_TRACE(nameOf(innerRun));
        auto run = everySearchAskedFor();
        Search::switchOffSearchesFor(innerRun, *run);
        check(*run);
        for (const auto& method : Search::methodTable())
        {
            if (method.keyword.empty())
            {
                continue;
            }
            SCOPED_TRACE(method.keyword);
            EXPECT_EQ(method.runsIn(innerRun), askedFor(*run, method.keyword));
        }
    }

    // As the inner runs decide it: the model searches never run inside a
    // model, Nelder-Mead not inside the quadratic model, the pollster only
    // polls.
    const struct
    {
        const char* keyword;
        bool inQuad;
        bool inTeskora;
        bool inPollster;
    } expected[] = {
        {"SPECULATIVE_SEARCH", true, true, false}, {"QUAD_MODEL_SEARCH", false, false, false},
        {"TESKORA_SEARCH", false, false, false},   {"LH_SEARCH", true, true, false},
        {"NM_SEARCH", false, true, false},
    };
    for (const auto& e : expected)
    {
        SCOPED_TRACE(e.keyword);
        bool found = false;
        for (const auto& method : Search::methodTable())
        {
            if (method.keyword == e.keyword)
            {
                found = true;
                EXPECT_EQ(e.inQuad, method.runsIn(InnerRun::QUAD_MODEL_OPTIMIZATION));
                EXPECT_EQ(e.inTeskora, method.runsIn(InnerRun::TESKORA_MODEL_OPTIMIZATION));
                EXPECT_EQ(e.inPollster, method.runsIn(InnerRun::PSD_POLLSTER));
            }
        }
        EXPECT_TRUE(found);
    }
}

// What a row's switch did, for the method added below.
int newMethodSwitchedOff = 0;

TEST(SearchMethodTable, ANewSearchMethodStaysOutOfEveryInnerRun)
{
    // A row added with its keyword, factory and switch but no word on the
    // inner runs.
    std::vector<SearchMethodEntry> table = Search::methodTable();
    SearchMethodEntry added;
    added.keyword = "NEW_SEARCH";
    added.make = nullptr;
    added.switchOff = [](RunParameters&) { ++newMethodSwitchedOff; };
    table.push_back(added);

    for (const InnerRun innerRun : INNER_RUNS)
    {
        SCOPED_TRACE(nameOf(innerRun));
        newMethodSwitchedOff = 0;
        auto run = everySearchAskedFor();
        Search::switchOffSearchesFor(innerRun, *run, table);
        EXPECT_EQ(1, newMethodSwitchedOff);
    }
}

TEST(SearchMethodTable, ModelOptimisationsStartFromTheTable)
{
    // The parameters of a model's inner run: the table's switches, any
    // constraint violation accepted at the start, no user callback.
    for (const InnerRun innerRun :
         {InnerRun::QUAD_MODEL_OPTIMIZATION, InnerRun::TESKORA_MODEL_OPTIMIZATION})
    {
        SCOPED_TRACE(nameOf(innerRun));
        const auto outer = everySearchAskedFor();
        check(*outer);
        const auto inner = InnerMadsRun::runParameters(*outer, innerRun);
        check(*inner);
        for (const auto& method : Search::methodTable())
        {
            if (!method.keyword.empty())
            {
                SCOPED_TRACE(method.keyword);
                EXPECT_EQ(method.runsIn(innerRun), askedFor(*inner, method.keyword));
            }
        }
        EXPECT_EQ(Double(INF), inner->getAttributeValue<Double>("H_MAX_0"));
        EXPECT_FALSE(inner->getAttributeValue<bool>("USER_CALLS_ENABLED"));
        // The outer run's set is not touched.
        EXPECT_TRUE(outer->getAttributeValue<bool>("USER_CALLS_ENABLED"));
    }
}

} // namespace
