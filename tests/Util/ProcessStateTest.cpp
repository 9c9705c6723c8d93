// The one reset of every process-wide state: each state, changed the way a
// run changes it, is back to its state at load after the call.

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <sstream>

#include "Algos/PhaseOne/PhaseOne.hpp"
#include "Eval/Eval.hpp"
#include "Eval/EvalPoint.hpp"
#include "Math/Double.hpp"
#include "Math/RNG.hpp"
#include "Output/OutputDirectToFile.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/Parameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/AllStopReasons.hpp"
#include "Util/ProcessState.hpp"
#include "Util/WriteFailures.hpp"
#include "support/EvalSupport.hpp"
#include "support/TestSupport.hpp"
#include "teskora/Diagnostics.hpp"

using namespace QARNO_4_0_0;

namespace
{

TEST(ProcessState, ResetPutsEveryStateBackToLoad)
{
    QarnoTest::ProcessStateGuard guard;
    const BBOutputTypeList ebOnly = {BBOutputType::EB};
    Eval violatedEB;
    violatedEB.setBBO("1", ebOnly);
    const Double hAtLoad = Eval::_computeH(violatedEB, ebOnly);
    const OutputLevel levelAtLoad = OutputQueue::getInstance()->getMaxLevel();
    // The surrogate library's generator at load: as seeded with 1.
    std::srand(1);
    const int firstDraw = std::rand();
    std::ostringstream elsewhere;

    // Two runs in one process: the second starts as the first did.
    for (int run = 0; run < 2; ++run)
    {
        SCOPED_TRACE(run);
        Double::setEpsilon(1e-6);
        Double::_infStr = "oo";
        Double::_undefStr = "?";
        RNG::setSeed(5);
        AllStopReasons::_baseStopReason.set(BaseStopType::MAX_TIME_REACHED);
        AllStopReasons::_evalGlobalStopReason.set(EvalGlobalStopType::MAX_BB_EVAL_REACHED);
        Parameters::readParamLine("DIMENSION 2", "", 0, true);
        RunParameters::_warningUnknownParamShown = true;
        OutputQueue::getInstance()->setDisplayDegree(0);
        OutputDirectToFile::getInstance()->_writeSolutionFile = false;
        EvalPoint(1).updateTag();
        Eval::_computeH = Eval::computeHPB;
        Eval::_computeSuccessType = Eval::computeSuccessTypePhaseOne;
        std::srand(77);
        TESKORA::set_diag_stream(&elsewhere);
        // As the main step sets them before a phase one; a later phase one
        // would recompute h with another run's outputs.
        PhaseOne::_bboutputtypes = {BBOutputType::OBJ, BBOutputType::EB};
        WriteFailures::record("/full/disk/history.txt");

        resetProcessState();

        EXPECT_EQ(Double::DEFAULT_EPSILON, Double::getEpsilon());
        EXPECT_EQ("inf", Double::_infStr);
        EXPECT_EQ("NaN", Double::_undefStr);
        EXPECT_EQ(RNG::x_def, RNG::_x);
        EXPECT_EQ(RNG::z_def, RNG::_z);
        EXPECT_EQ(0, RNG::_s);
        EXPECT_TRUE(AllStopReasons::_baseStopReason.isStarted());
        EXPECT_TRUE(AllStopReasons::_evalGlobalStopReason.isStarted());
        EXPECT_EQ(0u, Parameters::_paramEntries.size());
        EXPECT_FALSE(RunParameters::_warningUnknownParamShown);
        EXPECT_EQ(levelAtLoad, OutputQueue::getInstance()->getMaxLevel());
        EXPECT_TRUE(OutputDirectToFile::getInstance()->_writeSolutionFile);
        EXPECT_EQ(0u, EvalPoint::getCurrentTag());
        EXPECT_EQ(hAtLoad.todouble(), Eval::_computeH(violatedEB, ebOnly).todouble());
        EXPECT_EQ(firstDraw, std::rand());
        EXPECT_EQ(&std::cout, &TESKORA::diag_stream());
        EXPECT_TRUE(PhaseOne::_bboutputtypes.empty());
        EXPECT_TRUE(WriteFailures::files().empty());
        EXPECT_FALSE(Eval::compEvalFindBest(QarnoTest::makeEval(1, 0), QarnoTest::makeEval(0, 1)));
    }
}

} // namespace
