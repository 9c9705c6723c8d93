// One Nelder-Mead iteration: the simplex made from the cache, the chain of
// reflective moves, the shrink of Nelder-Mead alone, and why it stops.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/NelderMead/NMIteration.hpp"
#include "Eval/EvalPoint.hpp"
#include "Param/RunParameters.hpp"
#include "support/EvcSupport.hpp"
#include "support/NMBlackboxSupport.hpp"
#include "support/NMSupport.hpp"
#include "support/StepTree.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using namespace QarnoTest;

namespace
{

using Coords = std::vector<std::vector<double>>;
using SetRun = std::function<void(RunParameters&)>;

const Coords unitSimplex = {{0, 0}, {1, 0}, {0, 1}};
const std::vector<double> xr{1, -1}, xe{1.5, -2}, xoc{0.75, -0.5}, xic{0.25, 0.5};

/// The cache holds the evaluated `cached` points (f from the blackbox's
/// lines: by default the unit simplex with f = 1, 5, 9) and an iteration
/// around the best of them, (0, 0), waits to be started.
struct IterationSetup
{
    IterationSetup(std::vector<std::pair<std::vector<double>, std::string>> lines,
                   bool nmOptimization, const SetRun& set = {}, const Coords& cached = unitSimplex)
        : blackbox(std::make_shared<NMBlackbox>(withSimplexValues(std::move(lines)))),
          evaluation(nmHarness(blackbox)),
          // The cache is filled before the frame's barrier and centre are taken.
          pb((evaluation.evaluate(cached), makeNMPbParams(2))),
          frame(nmWalkTree(makeNMRunParams(pb, nmOptimization, set), pb, {}, cachedPoint({0, 0})))
    {
        evaluatedBefore = evaluation.evaluator->evaluatedPoints().size();
    }

    static NMBlackbox
    withSimplexValues(std::vector<std::pair<std::vector<double>, std::string>> lines)
    {
        lines.push_back({{0, 0}, "1 0"});
        lines.push_back({{1, 0}, "5 0"});
        lines.push_back({{0, 1}, "9 0"});
        return NMBlackbox{std::move(lines), "100 0"};
    }

    /// start, run, end; the result of run.
    bool runOnce()
    {
        frame.iteration.start();
        const bool result = frame.iteration.run();
        frame.iteration.end();
        return result;
    }

    /// The points evaluated since the setup, in order.
    Coords evaluatedSince() const
    {
        const auto all = evaluation.evaluator->evaluatedPoints();
        return Coords(all.begin() + static_cast<long>(evaluatedBefore), all.end());
    }

    std::shared_ptr<NMBlackbox> blackbox;
    EvcHarness evaluation;
    std::shared_ptr<PbParameters> pb;
    StepTree frame;
    size_t evaluatedBefore = 0;
};

void setNMStopReason(const StepTree& frame, NMStopType stopType)
{
    AlgoStopReasons<NMStopType>::get(frame.algo.getAllStopReasons())->_algoStopReason.set(stopType);
}

} // namespace

TEST(NMIteration, ChainsTheMovesAndStops)
{
    struct Case
    {
        std::string what;
        bool nmOptimization;
        SetRun set;
        std::vector<std::pair<std::vector<double>, std::string>> lines;
        Coords evaluated;
        bool result;
        std::string stopReason;
        Coords Y;
    };
    const auto stopOnSuccess = [](RunParameters& r)
    { r.setAttributeValue("NM_SEARCH_STOP_ON_SUCCESS", true); };
    const Coords shrinkPoints = {{0.5, 0}, {0, 0.5}};
    const std::vector<Case> cases = {
        {"alone: expansion, Y updated",
         true,
         {},
         {{xr, "0 0"}, {xe, "-1 0"}},
         {xr, xe},
         true,
         "Started",
         {xe, {0, 0}, {1, 0}}},
        {"alone: outside contraction",
         true,
         {},
         {{xr, "7 0"}, {xoc, "6 0"}},
         {xr, xoc},
         false,
         "Started",
         {{0, 0}, {1, 0}, xoc}},
        {"alone: inside contraction dominated by Yn, then the shrink; Y is the shrunk simplex",
         true,
         {},
         {{xr, "10 0"}, {xic, "12 0"}, {{0.5, 0}, "0.5 0"}, {{0, 0.5}, "0.7 0"}},
         {xr, xic, {0, 0.5}, {0.5, 0}},
         true,
         "Started",
         {{0.5, 0}, {0, 0.5}, {0, 0}}},
        {"as a MADS search: no shrink",
         false,
         {},
         {{xr, "10 0"}, {xic, "12 0"}, {{0.5, 0}, "0.5 0"}, {{0, 0.5}, "0.7 0"}},
         {xr, xic},
         false,
         "Started",
         unitSimplex},
        {"as a MADS search, stop on success: no expansion after a full success",
         false,
         stopOnSuccess,
         {{xr, "0 0"}, {xe, "-1 0"}},
         {xr},
         true,
         "NM iterations stopped on eval success",
         unitSimplex},
        {"as a MADS search without stop on success: the expansion follows",
         false,
         {},
         {{xr, "0 0"}, {xe, "-1 0"}},
         {xr, xe},
         true,
         "Started",
         {xe, {0, 0}, {1, 0}}},
        {"alone, stop on success is for the search only",
         true,
         stopOnSuccess,
         {{xr, "0 0"}, {xe, "-1 0"}},
         {xr, xe},
         true,
         "Started",
         {xe, {0, 0}, {1, 0}}},
        {"failed reflection stops the iteration",
         true,
         {},
         {{xr, "FAIL"}},
         {xr},
         false,
         "Reflect step has failed",
         unitSimplex},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        ProcessStateGuard guard;
        IterationSetup setup(c.lines, c.nmOptimization, c.set);
        EXPECT_EQ(c.result, setup.runOnce());
        EXPECT_EQ(c.evaluated, setup.evaluatedSince());
        EXPECT_EQ(c.stopReason, QarnoTest::nmStopReasonText(setup.frame.algo));
        EXPECT_EQ(c.Y, coordinatesOf(setup.frame.Y()));
        EXPECT_EQ(c.result ? SuccessType::FULL_SUCCESS : SuccessType::NOT_EVALUATED,
                  setup.frame.mega.getSuccessType());
    }
}

TEST(NMIteration, NameCounterAndSimplexKeptOverRuns)
{
    ProcessStateGuard guard;
    // Every new point is better than all before: each run reaches a full
    // success, the same success type as the run before it.
    IterationSetup setup({{xr, "0 0"}, {xe, "-1 0"}}, true);
    setup.blackbox->otherwise = "-100 0";
    EXPECT_EQ("NM Iteration", setup.frame.iteration.getName());
    EXPECT_EQ(0u, setup.frame.iterationAs<NMIteration>().getK());

    EXPECT_TRUE(setup.runOnce());
    EXPECT_EQ(SuccessType::FULL_SUCCESS, setup.frame.iterationAs<NMIteration>().getSuccessType());
    EXPECT_EQ((Coords{xe, {0, 0}, {1, 0}}), coordinatesOf(setup.frame.Y()));

    // The second run works on the simplex of the first: yc = (0.75, -1),
    // yn = (1, 0), xr = (0.5, -2), xe = (0.25, -3).
    EXPECT_FALSE(setup.runOnce());
    EXPECT_EQ((Coords{xr, xe, {0.5, -2}, {0.25, -3}}), setup.evaluatedSince());
    EXPECT_EQ(3u, setup.frame.Y().size());
    EXPECT_EQ((std::vector<double>{0.5, -2}), coordinatesOf(setup.frame.Y().front()));
    EXPECT_EQ(2u, setup.frame.iterationAs<NMIteration>().getK());
    EXPECT_EQ("Started", QarnoTest::nmStopReasonText(setup.frame.algo));
}

TEST(NMIteration, RunAfterAShrinkGoesOnFromTheShrunkSimplex)
{
    ProcessStateGuard guard;
    IterationSetup setup({{xr, "10 0"}, {xic, "12 0"}, {{0.5, 0}, "0.5 0"}, {{0, 0.5}, "0.7 0"}},
                         true);
    setup.runOnce();
    ASSERT_EQ((Coords{{0.5, 0}, {0, 0.5}, {0, 0}}), coordinatesOf(setup.frame.Y()));

    // Reflected through the centroid (0.25, 0.25) of the two best points,
    // yn = (0, 0) gives (0.5, 0.5): the walk goes on from the shrunk
    // simplex instead of meeting the points of the first run again.
    const size_t before = setup.evaluatedSince().size();
    setup.runOnce();
    const Coords evaluated = setup.evaluatedSince();
    ASSERT_LT(before, evaluated.size());
    EXPECT_EQ((std::vector<double>{0.5, 0.5}), evaluated[before]);
    EXPECT_EQ("Started", QarnoTest::nmStopReasonText(setup.frame.algo));
}

TEST(NMIteration, SimplexThatCannotBeMadeStopsBeforeAnyMove)
{
    ProcessStateGuard guard;
    IterationSetup setup({}, true, {}, {{0, 0}, {1, 0}});
    EXPECT_FALSE(setup.runOnce());
    EXPECT_EQ("Initialization has failed", QarnoTest::nmStopReasonText(setup.frame.algo));
    EXPECT_TRUE(setup.evaluatedSince().empty());
}

TEST(NMIteration, StopReasonsAlreadyTerminatingRunNoMove)
{
    ProcessStateGuard guard;
    IterationSetup setup({{xr, "0 0"}}, true);
    setup.frame.iteration.start();
    setNMStopReason(setup.frame, NMStopType::X0_FAILED);
    EXPECT_FALSE(setup.frame.iteration.run());
    setup.frame.iteration.end();
    EXPECT_TRUE(setup.evaluatedSince().empty());
    EXPECT_EQ("No X0 provided or cannot evaluate X0",
              QarnoTest::nmStopReasonText(setup.frame.algo));
}

TEST(NMIteration, RunNeedsPointsEvaluatedOneStepAtATime)
{
    ProcessStateGuard guard;
    IterationSetup setup({}, true,
                         [](RunParameters& r)
                         { r.setAttributeValue("GENERATE_ALL_POINTS_BEFORE_EVAL", true); });
    EXPECT_EQ("Error: virtual bool QARNO_4_0_0::NMIteration::runImp() should only be called if  "
              "parameter GENERATE_ALL_POINTS_BEFORE_EVAL is false",
              messageOf([&] { setup.frame.iteration.run(); }));
}
