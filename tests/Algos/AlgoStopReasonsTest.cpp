#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/EvcInterface.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Util/AllStopReasons.hpp"
#include "Util/Utils.hpp"
#include "support/EvcSupport.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::EvcHarness;
using QarnoTest::EvcOptions;
using QarnoTest::firstCoordinateObjective;
using QarnoTest::messageOf;
using QarnoTest::ProcessStateGuard;

namespace
{

const BBOutputTypeList OBJ_ONLY = {BBOutputType::OBJ};

/// What the process has as evaluation queue.
enum class Queue
{
    NONE,        // none installed
    RUNNING,     // installed and started for the calling thread
    NOT_STARTED, // installed, but no main thread registered yet
};

/// The process's evaluation queue for the length of a test.
struct InstalledQueue
{
    explicit InstalledQueue(Queue kind)
    {
        if (Queue::RUNNING == kind)
        {
            auto layers = QarnoTest::installedHarness(OBJ_ONLY, firstCoordinateObjective());
            layers.setDisplay = false;
            harness = std::make_unique<EvcHarness>(layers);
        }
        else if (Queue::NOT_STARTED == kind)
        {
            EvcInterface::setEvaluatorControl(std::make_shared<EvaluatorControl>(
                QarnoTest::makeEvcGlobalParameters(EvcOptions())));
        }
    }
    std::unique_ptr<EvcHarness> harness;
};

const std::string NO_TERMINATION = "No termination (all). ";
const std::string MIN_MESH = "Min mesh size reached (Algo)";
const std::string OPPORTUNISTIC = "Success found and opportunistic strategy is used";
const std::string LAP_BUDGET =
    "Max number of blackbox evaluations for a sub algorithm run (lap run)";

} // namespace

TEST(AlgoStopReasons, TextAndAnswerJoinSharedOwnAndQueueReasons)
{
    struct Case
    {
        const char* label;
        Queue queue;
        BaseStopType base;
        EvalGlobalStopType global;
        IterStopType iter;
        MadsStopType own;
        EvalMainThreadStopType queueReason;
        std::string text;
        bool terminates;
        /// What another algorithm's holder answers: the shared and queue
        /// reasons reach it, the own and iteration reasons do not.
        bool otherTerminates;
    };
    using B = BaseStopType;
    using G = EvalGlobalStopType;
    using I = IterStopType;
    using M = MadsStopType;
    using Q = EvalMainThreadStopType;
    const std::vector<Case> cases = {
        {"nothing set", Queue::RUNNING, B::STARTED, G::STARTED, I::STARTED, M::STARTED, Q::STARTED,
         NO_TERMINATION, false, false},
        {"own reason: no blank before it", Queue::RUNNING, B::STARTED, G::STARTED, I::STARTED,
         M::MIN_MESH_SIZE_REACHED, Q::STARTED, NO_TERMINATION + MIN_MESH, true, false},
        {"queue reason that does not stop: two blanks, shown anyway", Queue::RUNNING, B::STARTED,
         G::STARTED, I::STARTED, M::STARTED, Q::OPPORTUNISTIC_SUCCESS,
         NO_TERMINATION + " " + OPPORTUNISTIC, false, false},
        {"queue reason that stops every algorithm", Queue::RUNNING, B::STARTED, G::STARTED,
         I::STARTED, M::STARTED, Q::LAP_MAX_BB_EVAL_REACHED, NO_TERMINATION + " " + LAP_BUDGET,
         true, true},
        {"base and own reasons touch", Queue::RUNNING, B::CTRL_C, G::STARTED, I::STARTED,
         M::MIN_MESH_SIZE_REACHED, Q::STARTED, "Ctrl-C (Base)" + MIN_MESH, true, true},
        {"iteration reason belongs to its holder", Queue::RUNNING, B::STARTED, G::STARTED,
         I::MAX_ITERATIONS_REACHED, M::STARTED, Q::STARTED,
         "Maximum number of iterations reached (Iter)", true, false},
        {"every reason", Queue::RUNNING, B::MAX_TIME_REACHED, G::MAX_BB_EVAL_REACHED,
         I::MAX_ITERATIONS_REACHED, M::MIN_MESH_SIZE_REACHED, Q::OPPORTUNISTIC_SUCCESS,
         "Maximum allowed time reached (Base) Max number of blackbox evaluations (Eval Global) "
         "Maximum number of iterations reached (Iter)" +
             MIN_MESH + " " + OPPORTUNISTIC,
         true, true},
        {"no queue: shared and own reasons alone", Queue::NONE, B::STARTED, G::STARTED, I::STARTED,
         M::MIN_MESH_SIZE_REACHED, Q::STARTED, NO_TERMINATION + MIN_MESH, true, false},
        {"no queue, nothing set", Queue::NONE, B::STARTED, G::STARTED, I::STARTED, M::STARTED,
         Q::STARTED, NO_TERMINATION, false, false},
        {"queue without a main thread yet", Queue::NOT_STARTED, B::STARTED, G::STARTED, I::STARTED,
         M::STARTED, Q::STARTED, NO_TERMINATION, false, false},
        {"queue without a main thread yet, shared reason", Queue::NOT_STARTED, B::STARTED,
         G::MAX_EVAL_REACHED, I::STARTED, M::STARTED, Q::STARTED,
         "Max number of total evaluations (Eval Global)", true, true},
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ProcessStateGuard guard;
        InstalledQueue installed(c.queue);
        auto mads = std::make_shared<AlgoStopReasons<MadsStopType>>();
        auto nm = std::make_shared<AlgoStopReasons<NMStopType>>();
        mads->setStarted();

        AllStopReasons::_baseStopReason.set(c.base);
        AllStopReasons::_evalGlobalStopReason.set(c.global);
        mads->_iterStopReason.set(c.iter);
        mads->_algoStopReason.set(c.own);
        if (Queue::RUNNING == c.queue)
        {
            EvcInterface::getEvaluatorControl()->setStopReason(getThreadNum(), c.queueReason);
        }

        EXPECT_EQ(c.text, mads->getStopReasonAsString());
        EXPECT_EQ(c.terminates, mads->checkTerminate());
        EXPECT_EQ(c.otherTerminates, nm->checkTerminate());
        // Through the base pointer, as the steps see it.
        const std::shared_ptr<AllStopReasons> seenByStep = mads;
        EXPECT_EQ(c.terminates, seenByStep->checkTerminate());
    }
}

TEST(AlgoStopReasons, SetStartedClearsSharedAndQueueReasonsForEveryHolder)
{
    for (Queue queue : {Queue::RUNNING, Queue::NONE, Queue::NOT_STARTED})
    {
        SCOPED_TRACE(static_cast<int>(queue));
        ProcessStateGuard guard;
        InstalledQueue installed(queue);
        auto mads = std::make_shared<AlgoStopReasons<MadsStopType>>();
        auto nm = std::make_shared<AlgoStopReasons<NMStopType>>();

        AllStopReasons::_baseStopReason.set(BaseStopType::CTRL_C);
        AllStopReasons::_evalGlobalStopReason.set(EvalGlobalStopType::MAX_BB_EVAL_REACHED);
        mads->_iterStopReason.set(IterStopType::MAX_ITERATIONS_REACHED);
        mads->_algoStopReason.set(MadsStopType::MIN_MESH_SIZE_REACHED);
        const auto& evc = EvcInterface::getEvaluatorControl();
        if (Queue::RUNNING == queue)
        {
            evc->setStopReason(getThreadNum(), EvalMainThreadStopType::LAP_MAX_BB_EVAL_REACHED);
        }

        // Starting another algorithm clears what the run shares, not what
        // belongs to the first algorithm.
        nm->setStarted();
        EXPECT_TRUE(AllStopReasons::_baseStopReason.isStarted());
        EXPECT_TRUE(AllStopReasons::_evalGlobalStopReason.isStarted());
        if (Queue::RUNNING == queue)
        {
            EXPECT_TRUE(evc->getStopReason(getThreadNum()).isStarted());
        }
        EXPECT_FALSE(nm->checkTerminate());
        EXPECT_EQ("Maximum number of iterations reached (Iter)" + MIN_MESH,
                  mads->getStopReasonAsString());

        mads->setStarted();
        EXPECT_FALSE(mads->checkTerminate());
        EXPECT_EQ(NO_TERMINATION, mads->getStopReasonAsString());
    }
}

TEST(AlgoStopReasons, GetViewsTheSameObjectOrRefusesAnotherKind)
{
    const std::shared_ptr<AllStopReasons> mads = std::make_shared<AlgoStopReasons<MadsStopType>>();
    const std::shared_ptr<AllStopReasons> plain = std::make_shared<AllStopReasons>();

    const auto viewed = AlgoStopReasons<MadsStopType>::get(mads);
    EXPECT_EQ(mads.get(), viewed.get());
    EXPECT_EQ(2, mads.use_count()); // shares ownership with the argument

    struct Case
    {
        const char* label;
        std::function<void()> op;
    };
    const std::vector<Case> cases = {
        {"MADS reasons asked as NM", [&] { AlgoStopReasons<NMStopType>::get(mads); }},
        {"shared reasons only", [&] { AlgoStopReasons<MadsStopType>::get(plain); }},
        {"empty pointer", [] { AlgoStopReasons<LHStopType>::get(nullptr); }},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        EXPECT_EQ("Invalid shared pointer cast", messageOf(c.op));
    }
}
