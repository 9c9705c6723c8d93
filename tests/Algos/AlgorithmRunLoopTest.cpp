// The one run loop of the algorithms that repeat mega-iterations: how k
// advances, when it stops, and what it tells the algorithm about the
// mega-iterations it ran.

#include <gtest/gtest.h>

#include <cstddef>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "Algos/Algorithm.hpp"
#include "Algos/MegaIteration.hpp"
#include "Eval/Barrier.hpp"
#include "Param/EvaluatorControlGlobalParameters.hpp"
#include "Param/RunParameters.hpp"
#include "support/EvalSupport.hpp"
#include "support/EvcSupport.hpp"
#include "support/StepSupport.hpp"
#include "support/StepTree.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;

namespace
{

/// What one scripted mega-iteration does.
struct Script
{
    size_t iterationsRun;
    size_t ownKRaise;
    bool runResult;
    SuccessType success;
};

/// A mega-iteration that counts the iterations and raises its own k as told,
/// as the MADS and the surrogate-model mega-iterations do.
class ScriptedMegaIteration : public MegaIteration
{
public:
    ScriptedMegaIteration(const Step* parent, size_t k, std::shared_ptr<Barrier> barrier,
                          SuccessType success, const Script& script)
        : MegaIteration(parent, k, std::move(barrier), success), _script(script)
    {
    }

protected:
    void startImp() override {}
    bool runImp() override
    {
        _nbIterRun = _script.iterationsRun;
        _k += _script.ownKRaise;
        _megaIterationSuccess = _script.success;
        return _script.runResult;
    }

private:
    Script _script;
};

/// An algorithm whose loop is the library's, on scripted mega-iterations
/// (the last script repeats).
class LoopAlgorithm : public QarnoTest::TestAlgorithm
{
public:
    using Algorithm::KAdvance;
    using Algorithm::MegaIterationsOutcome;
    using Algorithm::MegaIterationState;
    using TestAlgorithm::TestAlgorithm;

    MegaIterationsOutcome loop(MegaIterationState& state, KAdvance kAdvance,
                               const std::vector<Script>& scripts, size_t maxMegaIterations)
    {
        return runMegaIterations(
            state, kAdvance,
            [this, &scripts](const MegaIterationState& s)
            {
                const size_t i = std::min(startedKs.size(), scripts.size() - 1);
                startedKs.push_back(s.k);
                receivedSuccesses.push_back(s.success);
                return std::make_unique<ScriptedMegaIteration>(this, s.k, s.barrier, s.success,
                                                               scripts[i]);
            },
            [this](MegaIteration& ended) { followedUpKs.push_back(ended.getK()); },
            maxMegaIterations);
    }

    std::vector<size_t> startedKs;
    std::vector<SuccessType> receivedSuccesses;
    std::vector<size_t> followedUpKs;
};

std::shared_ptr<RunParameters> runParamsWithMaxIterations(size_t maxIterations)
{
    return QarnoTest::makeRunParams(QarnoTest::makeCheckedPbParams(2), [&](RunParameters& run)
                                    { run.setAttributeValue("MAX_ITERATIONS", maxIterations); });
}

TEST(AlgorithmRunLoop, KAdvanceStopAndOutcome)
{
    const SuccessType F = SuccessType::FAILURE;
    const SuccessType P = SuccessType::PARTIAL_SUCCESS;
    const SuccessType S = SuccessType::FULL_SUCCESS;
    using KAdvance = LoopAlgorithm::KAdvance;
    struct Case
    {
        const char* label;
        size_t maxIterations;
        KAdvance kAdvance;
        std::vector<Script> scripts;
        size_t maxMegaIterations;
        std::vector<size_t> startedKs;
        size_t finalK;
        bool terminated;
        bool anyFullSuccess;
        bool anyRunSuccess;
        SuccessType bestSuccess;
    };
    const Case cases[] = {
        // MADS: k grows by the iterations run, by one when none ran.
        {"next k, iterations run",
         7,
         KAdvance::NEXT_K,
         {{3, 0, false, P}},
         SIZE_MAX,
         {0, 3, 6},
         9,
         true,
         false,
         false,
         P},
        {"next k, no iteration run",
         3,
         KAdvance::NEXT_K,
         {{0, 0, false, F}},
         SIZE_MAX,
         {0, 1, 2},
         3,
         true,
         false,
         false,
         F},
        // The surrogate model: the mega-iteration's own k, raised by itself.
        {"own k",
         7,
         KAdvance::OWN_K,
         {{0, 2, false, F}},
         SIZE_MAX,
         {0, 2, 4, 6},
         8,
         true,
         false,
         false,
         F},
        // The quadratic model: one mega-iteration, whatever the termination says.
        {"one mega-iteration",
         100,
         KAdvance::OWN_K,
         {{1, 1, true, S}},
         1,
         {0},
         1,
         false,
         true,
         true,
         S},
        {"termination at once",
         0,
         KAdvance::NEXT_K,
         {{1, 0, true, S}},
         SIZE_MAX,
         {},
         0,
         true,
         false,
         false,
         SuccessType::NOT_EVALUATED},
        // A full success anywhere counts, a later failure does not undo it;
        // the run results are or-ed.
        {"full success then failures",
         3,
         KAdvance::NEXT_K,
         {{1, 0, false, P}, {1, 0, true, S}, {1, 0, false, F}},
         SIZE_MAX,
         {0, 1, 2},
         3,
         true,
         true,
         true,
         S},
        {"partial successes only",
         2,
         KAdvance::NEXT_K,
         {{1, 0, true, P}},
         SIZE_MAX,
         {0, 1},
         2,
         true,
         false,
         true,
         P},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        QarnoTest::ProcessStateGuard guard;
        QarnoTest::StreamCapture quiet(std::cout);
        QarnoTest::EvcHarness run;
        QarnoTest::RecordingStep main("Main");
        LoopAlgorithm algo(&main, "Test Algorithm", runParamsWithMaxIterations(c.maxIterations),
                           QarnoTest::makeCheckedPbParams(2));
        algo.libraryRun = true;

        LoopAlgorithm::MegaIterationState state;
        state.barrier = std::make_shared<Barrier>(
            INF, Point(2), EvalType::BB,
            std::vector<EvalPoint>{QarnoTest::makeEvalPoint({1, 1}, 1, 0)});
        const auto barrier = state.barrier;
        const auto outcome = algo.loop(state, c.kAdvance, c.scripts, c.maxMegaIterations);

        EXPECT_EQ(c.startedKs, algo.startedKs);
        EXPECT_EQ(c.finalK, state.k);
        EXPECT_EQ(c.terminated, outcome.terminated);
        EXPECT_EQ(c.anyFullSuccess, outcome.anyFullSuccess);
        EXPECT_EQ(c.anyRunSuccess, outcome.anyRunSuccess);
        EXPECT_EQ(c.bestSuccess, outcome.bestSuccess);
        EXPECT_EQ(c.startedKs.size(), outcome.nbMegaIterations);
        // The follow-up sees each mega-iteration once, after its run.
        EXPECT_EQ(c.startedKs.size(), algo.followedUpKs.size());
        // Each mega-iteration gets the barrier and the success type of the
        // one before.
        EXPECT_EQ(barrier, state.barrier);
        for (size_t i = 1; i < algo.receivedSuccesses.size(); ++i)
        {
            const auto& previous = c.scripts[std::min(i - 1, c.scripts.size() - 1)];
            EXPECT_EQ(previous.success, algo.receivedSuccesses[i]);
        }
    }
}

} // namespace
