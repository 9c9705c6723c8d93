// The process-wide state of the library as it stands right after load,
// before any run. Each test runs in a process of its own (CTest starts one per
// test), and none of them changes what another reads.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Algos/EvcInterface.hpp"
#include "Algos/PhaseOne/PhaseOne.hpp"
#include "Algos/Step.hpp"
#include "Algos/SubproblemManager.hpp"
#include "Algos/TeskoraModel/TeskoraModelFilterCache.hpp"
#include "Cache/CacheBase.hpp"
#include "Cache/CacheSet.hpp"
#include "Eval/BBOutput.hpp"
#include "Eval/Eval.hpp"
#include "Eval/EvalPoint.hpp"
#include "Math/ArrayOfDouble.hpp"
#include "Math/Double.hpp"
#include "Math/RNG.hpp"
#include "Output/OutputDirectToFile.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/Parameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/AllStopReasons.hpp"
#include "support/StepSupport.hpp"
#include "support/TestSupport.hpp"
#include "teskora/Diagnostics.hpp"

namespace
{

using namespace QARNO_4_0_0;

TEST(LoadTime, TextsAndNumbers)
{
    EXPECT_EQ("inf", Double::_infStr);
    EXPECT_EQ("NaN", Double::_undefStr);
    EXPECT_EQ(1e-13, Double::getEpsilon());
    EXPECT_EQ("(", ArrayOfDouble::pStart);
    EXPECT_EQ(")", ArrayOfDouble::pEnd);
    EXPECT_EQ("(", BBOutput::bboStart);
    EXPECT_EQ(")", BBOutput::bboEnd);
}

TEST(LoadTime, FilterSelectionTable)
{
    const std::vector<std::string> texts = {
        "Select the best point",
        "Select the most distant point",
        "Select the best point but with a minimum distance to points already selected",
        "Select the best points with a good enough value of hmax",
        "Select point with highest isolation number",
        "Select point with highest density number",
    };
    for (size_t i = 0; i < texts.size(); ++i)
    {
        EXPECT_EQ(texts[i], filterSelectionMethodToString(static_cast<FilterSelectionMethod>(i)));
    }
    EXPECT_EQ("", filterSelectionMethodToString(static_cast<FilterSelectionMethod>(6)));
    // The surrogate library writes its diagnostics to standard output.
    EXPECT_EQ(&std::cout, &TESKORA::diag_stream());
}

TEST(LoadTime, RandomGeneratorStartsFromItsDefaultWords)
{
    EXPECT_EQ(123456789u, RNG::_x);
    EXPECT_EQ(362436069u, RNG::_y);
    EXPECT_EQ(521288629u, RNG::_z);
    EXPECT_EQ(0, RNG::_s);
}

TEST(LoadTime, NoSingletonExists)
{
    EXPECT_FALSE(CacheBase::hasInstance());
    EXPECT_FALSE(OutputQueue::hasInstance());
    EXPECT_FALSE(OutputQueue::hasBeenInitialized());
    EXPECT_FALSE(OutputDirectToFile::hasInstance());
    EXPECT_FALSE(OutputDirectToFile::hasBeenInitialized());
    EXPECT_EQ(nullptr, EvcInterface::getEvaluatorControl());
    EXPECT_EQ(0u, SubproblemManager::size());
    EXPECT_EQ(0u, CacheBase::_nbCacheHits.load());
    EXPECT_TRUE(CacheSet::_bbOutputType.empty());
    EXPECT_TRUE(PhaseOne::_bboutputtypes.empty());
}

TEST(LoadTime, CountersFlagsAndStores)
{
    EXPECT_EQ(0u, EvalPoint::getCurrentTag());
    EXPECT_FALSE(Step::_userInterrupt);
    EXPECT_FALSE(Step::_userTerminate);
    EXPECT_EQ(0u, Parameters::_paramEntries.size());
    // No parameter set registered its attribute types yet.
    EXPECT_EQ(nullptr, Parameters::findTypeOfAttribute("DIMENSION"));
    EXPECT_FALSE(RunParameters::_warningUnknownParamShown);
}

TEST(LoadTime, SharedStopReasonsAreStarted)
{
    EXPECT_TRUE(AllStopReasons::_baseStopReason.isStarted());
    EXPECT_TRUE(AllStopReasons::_evalGlobalStopReason.isStarted());
    const AllStopReasons reasons;
    EXPECT_EQ("No termination (all). ", reasons.getStopReasonAsString());
    EXPECT_FALSE(reasons.checkTerminate());
}

TEST(LoadTime, HooksHoldTheirDefaults)
{
    using ComputeH = Double (*)(const Eval&, const BBOutputTypeList&);
    using ComputeHComponent = Double (*)(const BBOutputType&, size_t, const Double&);
    using ComputeSuccess = SuccessType (*)(const Eval*, const Eval*, const Double&);
    const auto* h = Eval::_computeH.target<ComputeH>();
    const auto* hComponent = Eval::_computeHComponent.target<ComputeHComponent>();
    const auto* success = Eval::_computeSuccessType.target<ComputeSuccess>();
    ASSERT_NE(nullptr, h);
    ASSERT_NE(nullptr, hComponent);
    ASSERT_NE(nullptr, success);
    EXPECT_EQ(&Eval::defaultComputeH, *h);
    EXPECT_EQ(&Eval::defaultComputeHComponent, *hComponent);
    EXPECT_EQ(&Eval::defaultComputeSuccessType, *success);

    // The step callbacks: the end ones never stop, the hot-restart one
    // supplies no line.
    QarnoTest::RecordingStep step("Main");
    for (const auto type : {CallbackType::ITERATION_END, CallbackType::MEGA_ITERATION_END})
    {
        bool stop = true;
        Step::runCallback(type, step, stop);
        EXPECT_FALSE(stop);
    }
    std::vector<std::string> lines{"MAX_BB_EVAL 10"};
    Step::runCallback(CallbackType::HOT_RESTART, lines);
    EXPECT_EQ(std::vector<std::string>{"MAX_BB_EVAL 10"}, lines);
}

} // namespace

namespace
{

TEST(LoadTime, UnloadRemovesTheTemporaryInputFiles)
{
    QarnoTest::TempDir dir;
    const std::string command = std::string(QARNO_TMP_FILES_AT_EXIT) + " " + dir.path();
    FILE* child = popen(command.c_str(), "r");
    ASSERT_NE(nullptr, child);
    // Everything the child writes is read, so that it never meets a closed
    // pipe on its way out.
    std::string output;
    char buffer[256];
    while (nullptr != fgets(buffer, sizeof buffer, child))
    {
        output += buffer;
    }
    ASSERT_EQ(0, pclose(child));
    // The point was evaluated through a file in the folder...
    EXPECT_EQ(0u, output.find("3 -9\n")) << output;
    // ...which the end of the process removed.
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

} // namespace
