// The one list of process-wide states: each state, changed the way a run or
// an embedding program changes it, is put back by the whole-process reset;
// the reset at a run's start puts back its own part and keeps what the
// embedding program sets up; and a run through the main step starts from the
// state a Python call starts from.

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "Algos/EvcInterface.hpp"
#include "Algos/NelderMead/NMSettings.hpp"
#include "Algos/PhaseOne/PhaseOne.hpp"
#include "Algos/ProcessState.hpp"
#include "Algos/Step.hpp"
#include "Algos/Subproblem.hpp"
#include "Algos/SubproblemManager.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/ComputeSuccessType.hpp"
#include "Eval/Eval.hpp"
#include "Eval/EvalPoint.hpp"
#include "Eval/Evaluator.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/Double.hpp"
#include "Math/RNG.hpp"
#include "Output/OutputDirectToFile.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/Parameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/AllStopReasons.hpp"
#include "Util/TextConstants.hpp"
#include "Util/WriteFailures.hpp"
#include "support/CacheSupport.hpp"
#include "support/EvalSupport.hpp"
#include "support/EvcSupport.hpp"
#include "support/MadsSupport.hpp"
#include "support/StepSupport.hpp"
#include "support/StepTree.hpp"
#include "support/TestSupport.hpp"
#include "teskora/Diagnostics.hpp"

using namespace QARNO_4_0_0;

namespace
{

/// The names of the blackbox temporary files are the evaluator's own.
struct TmpFiles : Evaluator
{
    static bool none() { return _tmpFiles.empty(); }
};

using SuccessRule = SuccessType (*)(const EvalPointPtr&, const EvalPointPtr&, const Double&);

bool queueRuleIs(SuccessRule rule)
{
    const auto& evc = EvcInterface::getEvaluatorControl();
    const auto* held =
        evc->getMainThreadInfo(-1).getComputeSuccessType().getFunction().target<SuccessRule>();
    return nullptr != held && *held == rule;
}

/// One process-wide state: how a run or the embedding program changes it,
/// and whether it is as at load.
struct State
{
    std::string name;
    std::function<void()> dirty;
    std::function<bool()> clean;
};

/// Every state of the library's list, in its order. The process must be as
/// at load when it is built (it takes what "as at load" is from there).
class States
{
public:
    States() : _tmpDir(), _elsewhere(), _subproblemKey(0)
    {
        const BBOutputTypeList ebOnly = {BBOutputType::EB};
        _violatedEB.setBBO("1", ebOnly);
        const Double hAtLoad = Eval::_computeH(_violatedEB, ebOnly);
        const OutputLevel levelAtLoad = OutputQueue::getInstance()->getMaxLevel();
        // The standard generator at load: as seeded with 1.
        std::srand(1);
        const int firstDraw = std::rand();
        std::srand(1);

        _states = {
            {"number texts and tolerance",
             []
             {
                 Double::setEpsilon(1e-6);
                 Double::_infStr = "oo";
                 Double::_undefStr = "?";
             },
             []
             {
                 return Double::DEFAULT_EPSILON == Double::getEpsilon() &&
                        INF_TEXT == Double::_infStr && UNDEF_TEXT == Double::_undefStr;
             }},
            {"random generators",
             []
             {
                 RNG::setSeed(5);
                 std::srand(77);
             },
             [firstDraw]
             {
                 const bool atLoad = RNG::x_def == RNG::_x && RNG::y_def == RNG::_y &&
                                     RNG::z_def == RNG::_z && 0 == RNG::_s &&
                                     firstDraw == std::rand();
                 std::srand(1);
                 return atLoad;
             }},
            {"surrogate diagnostics stream", [this] { TESKORA::set_diag_stream(&_elsewhere); },
             [] { return &std::cout == &TESKORA::diag_stream(); }},
            {"shared stop reasons",
             []
             {
                 AllStopReasons::_baseStopReason.set(BaseStopType::MAX_TIME_REACHED);
                 AllStopReasons::_evalGlobalStopReason.set(EvalGlobalStopType::MAX_BB_EVAL_REACHED);
             },
             []
             {
                 return AllStopReasons::_baseStopReason.isStarted() &&
                        AllStopReasons::_evalGlobalStopReason.isStarted();
             }},
            {"parameter entries", [] { Parameters::readParamLine("DIMENSION 2", "", 0, true); },
             [] { return 0 == Parameters::_paramEntries.size(); }},
            {"unknown-keyword warning", [] { RunParameters::_warningUnknownParamShown = true; },
             [] { return !RunParameters::_warningUnknownParamShown; }},
            {"output queue", [] { OutputQueue::getInstance()->setDisplayDegree(0); },
             [levelAtLoad] { return levelAtLoad == OutputQueue::getInstance()->getMaxLevel(); }},
            {"history and solution writer",
             [] {
                 OutputDirectToFile::getInstance()->init(
                     QarnoTest::makeDisplayParameters(2, 2, ""));
             },
             [] { return !OutputDirectToFile::hasBeenInitialized(); }},
            {"solution-file switch",
             [] { OutputDirectToFile::getInstance()->_writeSolutionFile = false; },
             [] { return OutputDirectToFile::getInstance()->_writeSolutionFile; }},
            {"files that could not be written",
             [] { WriteFailures::record("/full/disk/history.txt"); },
             [] { return WriteFailures::files().empty(); }},
            {"evaluation point tags", [] { EvalPoint(1).updateTag(); },
             [] { return 0 == EvalPoint::getCurrentTag(); }},
            {"evaluation rules",
             []
             {
                 Eval::_computeH = Eval::computeHPB;
                 Eval::_computeSuccessType = Eval::computeSuccessTypePhaseOne;
             },
             [this, hAtLoad]
             {
                 const BBOutputTypeList ebOnly = {BBOutputType::EB};
                 return hAtLoad.todouble() == Eval::_computeH(_violatedEB, ebOnly).todouble() &&
                        !Eval::compEvalFindBest(QarnoTest::makeEval(1, 0),
                                                QarnoTest::makeEval(0, 1));
             }},
            {"cache",
             []
             {
                 if (!CacheBase::hasInstance())
                 {
                     QarnoTest::startCache({BBOutputType::OBJ});
                 }
             },
             [] { return !CacheBase::hasInstance(); }},
            {"blackbox temporary files", [this] { Evaluator::initializeTmpFiles(_tmpDir.path()); },
             [] { return TmpFiles::none(); }},
            {"blackbox time limit", [] { Evaluator::setTimeLimit(5); },
             [] { return Evaluator::NO_TIME_LIMIT == Evaluator::getTimeLimit(); }},
            // On the queue the embedding program installed (the next state):
            // phase one swaps it and may not give it back when it ends on an
            // exception.
            {"success rule of the evaluation queue",
             []
             {
                 EvcInterface::getEvaluatorControl()->setComputeSuccessTypeFunction(
                     ComputeSuccessType::computeSuccessTypePhaseOne);
             },
             []
             {
                 return nullptr == EvcInterface::getEvaluatorControl() ||
                        queueRuleIs(ComputeSuccessType::defaultComputeSuccessType);
             }},
            {"evaluation queue", [] {},
             [] { return nullptr == EvcInterface::getEvaluatorControl(); }},
            {"interrupt flags",
             []
             {
                 Step::_userInterrupt = true;
                 Step::_userTerminate = true;
             },
             [] { return !Step::_userInterrupt && !Step::_userTerminate; }},
            {"user callbacks",
             [] {
                 Step::addCallback(CallbackType::ITERATION_END,
                                   [](const Step&, bool& stop) { stop = true; });
             },
             []
             {
                 QarnoTest::RecordingStep step("Main");
                 bool stop = false;
                 Step::runCallback(CallbackType::ITERATION_END, step, stop);
                 return !stop;
             }},
            {"sub-problem registry",
             [this]
             {
                 SubproblemManager::addSubproblem(
                     reinterpret_cast<const Algorithm*>(&_subproblemKey),
                     Subproblem(QarnoTest::makeCheckedPbParams(2), Point(2)));
             },
             [] { return 0 == SubproblemManager::size(); }},
            // As the main step sets them before a phase one; a later phase
            // one would recompute h with another run's outputs.
            {"phase-one output types",
             [] {
                 PhaseOne::_bboutputtypes = {BBOutputType::OBJ, BBOutputType::EB};
             },
             [] { return PhaseOne::_bboutputtypes.empty(); }},
            // Kept so that the Nelder-Mead search does not copy them at every
            // MADS iteration; a finished run must not hold them.
            {"last sub-problem parameters",
             [] { Subproblem(QarnoTest::makeCheckedPbParams(2), Point(2)); },
             [] { return !Subproblem::keepsLastParameters(); }},
            // Kept so that queued points do not read their grids and bounds
            // again at every step.
            {"kept point placement",
             []
             {
                 QarnoTest::StepTreeOptions options;
                 const auto pb = QarnoTest::makeTreePbParams(options);
                 QarnoTest::RecordingStep main("Main");
                 QarnoTest::TestAlgorithm algo(&main, "Algo", QarnoTest::makeRunParams(pb), pb);
                 QarnoTest::RecordingStep init(&algo, "Init");
                 EvcInterface evc(&init);
                 std::set<EvalPoint, EvalPointCompare> points;
                 points.insert(EvalPoint(Point(QarnoTest::makeArray({0.5, 0.5}))));
                 evc.keepPointsThatNeedEval(std::move(points), false);
                 EvcInterface::getEvaluatorControl()->clearQueue();
             },
             [] { return !EvcInterface::keepsPointPlacement(); }},
            // Kept so that the Nelder-Mead search does not read them at every
            // MADS iteration.
            {"kept Nelder-Mead settings",
             []
             {
                 const auto pb = QarnoTest::makeCheckedPbParams(2);
                 NMSettings::readOrKept(QarnoTest::makeRunParams(pb), pb);
             },
             [] { return !NMSettings::keepsSettings(); }},
        };
    }

    const std::vector<State>& all() const { return _states; }

    std::vector<std::string> names() const
    {
        std::vector<std::string> names;
        for (const auto& state : _states)
        {
            names.push_back(state.name);
        }
        return names;
    }

    /// Changes every state; the evaluation queue is the one `run` installs.
    void dirtyAll(QarnoTest::EvcHarness& run) const
    {
        EvcInterface::setEvaluatorControl(run.evc);
        for (const auto& state : _states)
        {
            state.dirty();
        }
    }

private:
    QarnoTest::TempDir _tmpDir;
    std::ostringstream _elsewhere;
    Eval _violatedEB;
    int _subproblemKey;
    std::vector<State> _states;
};

bool contains(const std::vector<std::string>& names, const std::string& name)
{
    for (const auto& n : names)
    {
        if (n == name)
        {
            return true;
        }
    }
    return false;
}

TEST(ProcessState, TheTestCoversEveryStateOfTheList)
{
    QarnoTest::ProcessStateGuard guard;
    const States states;
    // A state added to the library's list without a change here, or
    // dropped from it, fails this test.
    EXPECT_EQ(processStateNames(false), states.names());
}

TEST(ProcessState, EachResetPutsBackItsStates)
{
    struct Case
    {
        const char* label;
        std::function<void()> reset;
        bool wholeProcess;
    };
    const Case cases[] = {
        {"whole process", [] { resetProcessState(); }, true},
        {"run start", [] { resetRunState(); }, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        QarnoTest::ProcessStateGuard guard;
        QarnoTest::CerrCapture warnings;
        const States states;
        const std::vector<std::string> atRunStart = processStateNames(true);

        // Twice in one process: the second time starts as the first did.
        for (int round = 0; round < 2; ++round)
        {
            SCOPED_TRACE(round);
            QarnoTest::EvcHarness run;
            states.dirtyAll(run);

            c.reset();

            for (const auto& state : states.all())
            {
                SCOPED_TRACE(state.name);
                const bool resetHere = c.wholeProcess || contains(atRunStart, state.name);
                EXPECT_EQ(resetHere, state.clean());
            }
            resetProcessState();
        }
    }
}

TEST(ProcessState, ARunThroughTheMainStepStartsAsAPythonCallDoes)
{
    // The same run twice: once from the state at load (where the module
    // puts every call), once after an earlier run left its traces and with
    // parameters checked before the start, as an embedding program may hand
    // them. Both evaluate the same points.
    const auto evaluatedPoints = [](bool afterAnotherRun)
    {
        QarnoTest::ProcessStateGuard guard;
        auto params = QarnoTest::makeMadsParameters(
            2, "OBJ", {{2, 2}}, {"MAX_BB_EVAL 30", "SEED 3", "DIRECTION_TYPE N+1 UNI"});
        if (afterAnotherRun)
        {
            params->checkAndComply();
            for (int i = 0; i < 5; ++i)
            {
                RNG::rand();
            }
            Double::setEpsilon(1e-6);
            AllStopReasons::_baseStopReason.set(BaseStopType::MAX_TIME_REACHED);
            PhaseOne::_bboutputtypes = {BBOutputType::OBJ, BBOutputType::EB};
            Step::_userInterrupt = true;
        }
        auto evaluator = QarnoTest::shiftedQuadratic({0.5, -0.25});
        QarnoTest::runMadsMainStep(params, evaluator);
        EXPECT_TRUE(PhaseOne::_bboutputtypes.empty());
        return evaluator->evaluatedPoints();
    };
    const auto fromLoad = evaluatedPoints(false);
    ASSERT_EQ(30u, fromLoad.size());
    EXPECT_EQ(fromLoad, evaluatedPoints(true));
}

} // namespace
