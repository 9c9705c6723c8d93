// The reflective moves of Nelder-Mead: their trial points, the checks of
// their coefficients, and the walk that their decisions make on a simplex.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Algos/NelderMead/NMReflective.hpp"
#include "Algos/NelderMead/NMStepType.hpp"
#include "Eval/EvalPoint.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/AllStopReasons.hpp"
#include "support/EvcSupport.hpp"
#include "support/NMBlackboxSupport.hpp"
#include "support/NMSupport.hpp"
#include "support/SearchSupport.hpp"
#include "support/StepTree.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using namespace QarnoTest;

namespace
{

using Coords = std::vector<std::vector<double>>;
using SetRun = std::function<void(RunParameters&)>;

/// y0 = (0, 0), y1 = (1, 0), yn = (0, 1), feasible, f = 1, 5, 9: yc = (0.5, 0)
/// and, with the default coefficients, xr = (1, -1), xe = (1.5, -2),
/// xoc = (0.75, -0.5), xic = (0.25, 0.5).
std::vector<EvalPoint> unitSimplex(size_t nbPoints = 3)
{
    std::vector<EvalPoint> points{makeNMPoint({0, 0}, 1, 0, 101), makeNMPoint({1, 0}, 5, 0, 102),
                                  makeNMPoint({0, 1}, 9, 0, 103)};
    points.resize(nbPoints);
    return points;
}

/// An evaluation queue, a Nelder-Mead iteration of dimension 2 whose simplex
/// holds the first points of `unitSimplex`, and a reflective step under it.
struct ReflectiveSetup
{
    explicit ReflectiveSetup(NMBlackbox table, const SetRun& set = {}, size_t nbPoints = 3,
                             int displayDegree = 2,
                             std::shared_ptr<PbParameters> pbParams = makeNMPbParams(2),
                             std::shared_ptr<MeshBase> mesh = nullptr,
                             std::shared_ptr<EvalPoint> frameCenter = nullptr)
        : blackbox(std::make_shared<NMBlackbox>(std::move(table))),
          evaluation(nmHarness(blackbox, 2, displayDegree)), pb(std::move(pbParams)),
          frame(nmWalkTree(makeNMRunParams(pb, true, set), pb, unitSimplex(),
                           std::move(frameCenter), std::move(mesh)))
    {
        for (const auto& y : unitSimplex(nbPoints))
        {
            frame.Y().insert(y);
        }
    }

    bool terminated() const { return frame.algo.getAllStopReasons()->checkTerminate(); }

    std::shared_ptr<NMBlackbox> blackbox;
    EvcHarness evaluation;
    std::shared_ptr<PbParameters> pb;
    StepTree frame;
};

NMStepType runMove(NMReflective& step, NMStepType move)
{
    step.setCurrentNMStepType(move);
    step.start();
    step.run();
    step.end();
    return step.getNextNMStepType();
}

const char* nameOf(NMStepType type)
{
    switch (type)
    {
    case NMStepType::UNSET:
        return "UNSET";
    case NMStepType::REFLECT:
        return "REFLECT";
    case NMStepType::EXPAND:
        return "EXPAND";
    case NMStepType::OUTSIDE_CONTRACTION:
        return "OUTSIDE_CONTRACTION";
    case NMStepType::INSIDE_CONTRACTION:
        return "INSIDE_CONTRACTION";
    case NMStepType::SHRINK:
        return "SHRINK";
    case NMStepType::INSERT_IN_Y:
        return "INSERT_IN_Y";
    case NMStepType::CONTINUE:
        return "CONTINUE";
    }
    return "?";
}

std::vector<std::string> namesOf(const std::vector<NMStepType>& types)
{
    std::vector<std::string> names;
    for (auto type : types)
    {
        names.push_back(nameOf(type));
    }
    return names;
}

} // namespace

TEST(NMReflective, TrialPointOfEachMove)
{
    struct Case
    {
        std::string what;
        SetRun set;
        NMStepType move;
        Coords expected; // empty: no trial point
        size_t nbPoints = 3;
        std::vector<double> lb = {};
        std::vector<double> ub = {};
    };
    const std::vector<Case> cases = {
        {"reflection", {}, NMStepType::REFLECT, {{1, -1}}},
        {"expansion", {}, NMStepType::EXPAND, {{1.5, -2}}},
        {"outside contraction", {}, NMStepType::OUTSIDE_CONTRACTION, {{0.75, -0.5}}},
        {"inside contraction", {}, NMStepType::INSIDE_CONTRACTION, {{0.25, 0.5}}},
        {"NM_DELTA_E 3",
         [](RunParameters& r) { r.setAttributeValue("NM_DELTA_E", Double(3)); },
         NMStepType::EXPAND,
         {{2, -3}}},
        {"NM_DELTA_OC 1 is the reflection",
         [](RunParameters& r) { r.setAttributeValue("NM_DELTA_OC", Double(1)); },
         NMStepType::OUTSIDE_CONTRACTION,
         {{1, -1}}},
        {"NM_DELTA_IC 0 is the centroid",
         [](RunParameters& r) { r.setAttributeValue("NM_DELTA_IC", Double(0)); },
         NMStepType::INSIDE_CONTRACTION,
         {{0.5, 0}}},
        {"NM_DELTA_IC -1 falls on yn",
         [](RunParameters& r) { r.setAttributeValue("NM_DELTA_IC", Double(-1)); },
         NMStepType::INSIDE_CONTRACTION,
         {}},
        {"incomplete simplex", {}, NMStepType::REFLECT, {}, 2},
        {"snapped into the bounds", {}, NMStepType::EXPAND, {{1.5, -0.5}}, 3, {-0.5, -0.5}, {2, 2}},
        // A reflection or outside contraction that falls back on a point of
        // Y is no proper trial point; an expansion there is kept.
        {"reflection snapped onto y1", {}, NMStepType::REFLECT, {}, 3, {-1, 0}, {2, 2}},
        {"outside contraction snapped onto y1",
         {},
         NMStepType::OUTSIDE_CONTRACTION,
         {},
         3,
         {1, 0},
         {2, 2}},
        {"expansion snapped onto y1", {}, NMStepType::EXPAND, {{1, 0}}, 3, {0, 0}, {1, 2}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        ProcessStateGuard guard;
        auto pb = c.lb.empty() ? makeNMPbParams(2) : makeBoundedPbParams(c.lb, c.ub, c.lb);
        ReflectiveSetup setup(NMBlackbox{}, c.set, c.nbPoints, 2, pb);
        NMReflective step(&setup.frame.iteration);
        step.setCurrentNMStepType(c.move);
        step.start();
        EXPECT_EQ(c.expected, coordinatesOf(step.getTrialPoints()));
        step.end();
    }
}

TEST(NMReflective, TrialPointIsProjectedOnTheMeshAndComesFromTheFrameCentre)
{
    ProcessStateGuard guard;
    auto pb = makeNMPbParams(2);
    auto frameCenter = std::make_shared<EvalPoint>(makeNMPoint({0, 0}, 1, 0, 101));
    ReflectiveSetup setup(NMBlackbox{}, {}, 3, 2, pb, makeProjectingMesh(pb, {0.5, 0.5}, {1, 1}),
                          frameCenter);
    NMReflective step(&setup.frame.iteration);
    step.setCurrentNMStepType(NMStepType::OUTSIDE_CONTRACTION);
    step.start();

    // (0.75, -0.5) goes to the nearest multiple of 0.5 from the centre.
    ASSERT_EQ((Coords{{1, -0.5}}), coordinatesOf(step.getTrialPoints()));
    const auto from = step.getTrialPoints().begin()->getPointFrom();
    ASSERT_NE(nullptr, from);
    EXPECT_EQ((std::vector<double>{0, 0}), coordinatesOf(*from));
    step.end();
}

TEST(NMReflective, PointOnYnIsReported)
{
    ProcessStateGuard guard;
    StreamCapture out(std::cout);
    ReflectiveSetup setup(
        NMBlackbox{}, [](RunParameters& r) { r.setAttributeValue("NM_DELTA_IC", Double(-1)); }, 3,
        3);
    NMReflective step(&setup.frame.iteration);
    step.setCurrentNMStepType(NMStepType::INSIDE_CONTRACTION);
    step.start();
    step.end();
    EXPECT_NE(std::string::npos,
              out.text().find("Generate point for NM Inside Contraction (delta=-1)"));
    EXPECT_NE(std::string::npos, out.text().find("No valid point generated: too close to yn."));
}

TEST(NMReflective, CoefficientsAreChecked)
{
    struct Case
    {
        std::string keyword;
        double value;
        std::string expected; // empty: accepted
    };
    const std::vector<Case> cases = {
        {"NM_DELTA_E", 1, "Delta value deltaE not compatible with expansion"},
        {"NM_DELTA_E", 0.5, "Delta value deltaE not compatible with expansion"},
        {"NM_DELTA_E", 1.0001, ""},
        {"NM_DELTA_OC", 0, ""},
        {"NM_DELTA_OC", 1, ""},
        {"NM_DELTA_OC", -0.1, "Delta value deltaOC not compatible with outside contraction"},
        {"NM_DELTA_OC", 1.1, "Delta value deltaOC not compatible with outside contraction"},
        {"NM_DELTA_IC", 0, ""},
        {"NM_DELTA_IC", -3, ""},
        {"NM_DELTA_IC", 0.1, "Delta value deltaIC not compatible with inside contraction"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.keyword + " " + std::to_string(c.value));
        ProcessStateGuard guard;
        ReflectiveSetup setup(NMBlackbox{}, [&c](RunParameters& r)
                              { r.setAttributeValue(c.keyword, Double(c.value)); });
        std::string file;
        const std::string message =
            messageOf([&] { NMReflective step(&setup.frame.iteration); }, &file);
        if (c.expected.empty())
        {
            EXPECT_EQ("(no exception)", message);
        }
        else
        {
            EXPECT_EQ(c.expected, message);
            EXPECT_EQ("src/Algos/NelderMead/NMReflective", file);
        }
    }

    // deltaE is checked first.
    ProcessStateGuard guard;
    ReflectiveSetup setup(NMBlackbox{},
                          [](RunParameters& r)
                          {
                              r.setAttributeValue("NM_DELTA_E", Double(1));
                              r.setAttributeValue("NM_DELTA_OC", Double(2));
                              r.setAttributeValue("NM_DELTA_IC", Double(2));
                          });
    EXPECT_EQ("Delta value deltaE not compatible with expansion",
              messageOf([&] { NMReflective step(&setup.frame.iteration); }));
}

TEST(NMReflective, RankToleranceFollowsTheMode)
{
    struct Case
    {
        bool nmOptimization;
        SetRun set;
        double expected;
    };
    const std::vector<Case> cases = {
        {true, {}, 1e-13},
        {false, {}, 0.01},
        {false, [](RunParameters& r) { r.setAttributeValue("NM_SEARCH_RANK_EPS", Double(1e-4)); },
         1e-4},
        {true, [](RunParameters& r) { r.setAttributeValue("NM_SEARCH_RANK_EPS", Double(1e-4)); },
         1e-13},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.expected);
        ProcessStateGuard guard;
        EvcHarness evaluation(nmHarness(std::make_shared<NMBlackbox>()));
        auto pb = makeNMPbParams(2);
        StepTree frame(
            nmWalkTree(makeNMRunParams(pb, c.nmOptimization, c.set), pb, unitSimplex(), nullptr));
        NMReflective step(&frame.iteration);
        EXPECT_DOUBLE_EQ(c.expected, step.getRankTolerance().todouble());
    }
}

TEST(NMReflective, StepNamesAndMoveKinds)
{
    ProcessStateGuard guard;
    ReflectiveSetup setup(NMBlackbox{});
    NMReflective step(&setup.frame.iteration);
    EXPECT_EQ("NM Step", step.getName());
    EXPECT_EQ(NMStepType::UNSET, step.getNextNMStepType());
    EXPECT_EQ("The NM step type must be set", messageOf([&] { step.start(); }));

    struct Case
    {
        NMStepType type;
        std::string name;
        double delta;
    };
    const std::vector<Case> cases = {
        {NMStepType::REFLECT, "NM Reflect", 1},
        {NMStepType::EXPAND, "NM Expansion", 2},
        {NMStepType::OUTSIDE_CONTRACTION, "NM Outside Contraction", 0.5},
        {NMStepType::INSIDE_CONTRACTION, "NM Inside Contraction", -0.5},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        step.setCurrentNMStepType(c.type);
        EXPECT_EQ(c.name, step.getName());
        EXPECT_DOUBLE_EQ(c.delta, step.getDelta().todouble());
    }

    for (auto type :
         {NMStepType::UNSET, NMStepType::SHRINK, NMStepType::INSERT_IN_Y, NMStepType::CONTINUE})
    {
        SCOPED_TRACE(nameOf(type));
        EXPECT_EQ("Only REFLECT, EXPAND, INSIDE_CONTRACTION and OUTSIDE_CONTRACTION are supported",
                  messageOf([&] { step.setCurrentNMStepType(type); }));
        // Stored before it is refused.
        EXPECT_EQ(type, step.getStepType());
    }
}

// The decisions, move by move as the iteration drives them, on the simplex
// f = 1, 5, 9 (all feasible).
TEST(NMReflective, DecisionWalks)
{
    struct Case
    {
        std::string what;
        std::vector<std::pair<std::vector<double>, std::string>> lines;
        Coords cachedBefore;
        std::vector<std::string> moves;
        std::string next;
        Coords Y;
        std::string stopReason = "Started";
        size_t nbPoints = 3;
    };
    const Coords unchanged = {{0, 0}, {1, 0}, {0, 1}};
    const std::vector<double> xr{1, -1}, xe{1.5, -2}, xoc{0.75, -0.5}, xic{0.25, 0.5};
    const std::vector<Case> cases = {
        {"f(xr) 0 beats y0: expansion, xe better",
         {{xr, "0 0"}, {xe, "-1 0"}},
         {},
         {"REFLECT", "EXPAND"},
         "CONTINUE",
         {xe, {0, 0}, {1, 0}}},
        {"f(xr) 0 beats y0: expansion, xr better",
         {{xr, "0 0"}, {xe, "2 0"}},
         {},
         {"REFLECT", "EXPAND"},
         "CONTINUE",
         {xr, {0, 0}, {1, 0}}},
        {"f(xr) 3 dominates two points: xr replaces yn, no expansion",
         {{xr, "3 0"}},
         {},
         {"REFLECT"},
         "CONTINUE",
         {{0, 0}, xr, {1, 0}}},
        {"f(xr) 7 dominates one point: outside contraction, xoc better",
         {{xr, "7 0"}, {xoc, "6 0"}},
         {},
         {"REFLECT", "OUTSIDE_CONTRACTION"},
         "CONTINUE",
         {{0, 0}, {1, 0}, xoc}},
        {"f(xr) 7: outside contraction, xr better",
         {{xr, "7 0"}, {xoc, "8 0"}},
         {},
         {"REFLECT", "OUTSIDE_CONTRACTION"},
         "CONTINUE",
         {{0, 0}, {1, 0}, xr}},
        {"f(xr) 10 dominated by yn: inside contraction, xic kept",
         {{xr, "10 0"}, {xic, "8 0"}},
         {},
         {"REFLECT", "INSIDE_CONTRACTION"},
         "CONTINUE",
         {{0, 0}, {1, 0}, xic}},
        {"f(xr) 10: inside contraction dominated by yn asks for a shrink",
         {{xr, "10 0"}, {xic, "12 0"}},
         {},
         {"REFLECT", "INSIDE_CONTRACTION"},
         "SHRINK",
         unchanged},
        {"inside contraction whose evaluation fails asks for a shrink",
         {{xr, "10 0"}, {xic, "FAIL"}},
         {},
         {"REFLECT", "INSIDE_CONTRACTION"},
         "SHRINK",
         unchanged},
        {"infeasible xr beyond the h of the last point of Yn: inside contraction",
         {{xr, "0 3"}, {xic, "12 0"}},
         {},
         {"REFLECT", "INSIDE_CONTRACTION"},
         "SHRINK",
         unchanged},
        {"reflection whose evaluation fails stops",
         {{xr, "FAIL"}},
         {},
         {"REFLECT"},
         "UNSET",
         unchanged,
         "Reflect step has failed"},
        // A cached point takes part with its cached value, as if the move
        // had just evaluated it.
        {"cached reflection point beating y0: expansion, xr kept",
         {{xr, "0 0"}},
         {xr},
         {"REFLECT", "EXPAND"},
         "CONTINUE",
         {xr, {0, 0}, {1, 0}}},
        {"cached reflection point dominating one point: outside contraction",
         {{xr, "7 0"}, {xoc, "6 0"}},
         {xr},
         {"REFLECT", "OUTSIDE_CONTRACTION"},
         "CONTINUE",
         {{0, 0}, {1, 0}, xoc}},
        {"cached expansion point better than xr is kept",
         {{xr, "0 0"}, {xe, "-1 0"}},
         {xe},
         {"REFLECT", "EXPAND"},
         "CONTINUE",
         {xe, {0, 0}, {1, 0}}},
        {"cached outside contraction point better than xr is kept",
         {{xr, "7 0"}, {xoc, "6 0"}},
         {xoc},
         {"REFLECT", "OUTSIDE_CONTRACTION"},
         "CONTINUE",
         {{0, 0}, {1, 0}, xoc}},
        {"cached inside contraction point not dominated by Yn is kept",
         {{xr, "10 0"}, {xic, "8 0"}},
         {xic},
         {"REFLECT", "INSIDE_CONTRACTION"},
         "CONTINUE",
         {{0, 0}, {1, 0}, xic}},
        {"cached inside contraction point dominated by Yn asks for a shrink",
         {{xr, "10 0"}, {xic, "12 0"}},
         {xic},
         {"REFLECT", "INSIDE_CONTRACTION"},
         "SHRINK",
         unchanged},
        // A cached point whose evaluation failed gives the move no point.
        {"cached failed reflection point: inside contraction",
         {{xr, "FAIL"}, {xic, "8 0"}},
         {xr},
         {"REFLECT", "INSIDE_CONTRACTION"},
         "CONTINUE",
         {{0, 0}, {1, 0}, xic}},
        {"cached failed outside contraction: xr replaces yn and a new reflection follows",
         {{xr, "7 0"}, {xoc, "FAIL"}, {{0, 1}, "0.5 0"}},
         {xoc},
         {"REFLECT", "OUTSIDE_CONTRACTION", "REFLECT", "EXPAND"},
         "CONTINUE",
         {{0, 1}, {0, 0}, {1, 0}}},
        {"incomplete simplex: no point, the inside contraction has none either",
         {},
         {},
         {"REFLECT", "INSIDE_CONTRACTION"},
         "CONTINUE",
         {{0, 0}, {1, 0}},
         "Inside contraction step failed",
         2},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        ProcessStateGuard guard;
        ReflectiveSetup setup(NMBlackbox{c.lines, "100 0"}, {}, c.nbPoints);
        if (!c.cachedBefore.empty())
        {
            setup.evaluation.evaluate(c.cachedBefore);
        }
        const size_t evaluatedBefore = setup.evaluation.evaluator->evaluatedPoints().size();

        NMReflective step(&setup.frame.iteration);
        std::vector<NMStepType> moves;
        NMStepType next = NMStepType::REFLECT;
        while (!setup.terminated() && NMStepType::CONTINUE != next && NMStepType::SHRINK != next &&
               moves.size() < 6)
        {
            moves.push_back(next);
            next = runMove(step, next);
        }
        EXPECT_EQ(c.moves, namesOf(moves));
        EXPECT_EQ(c.next, nameOf(next));
        EXPECT_EQ(c.Y, coordinatesOf(setup.frame.Y()));
        EXPECT_EQ(c.stopReason, QarnoTest::nmStopReasonText(setup.frame.algo));

        // A cached point is never evaluated again.
        const auto evaluated = setup.evaluation.evaluator->evaluatedPoints();
        for (size_t i = evaluatedBefore; i < evaluated.size(); ++i)
        {
            for (const auto& cached : c.cachedBefore)
            {
                EXPECT_NE(cached, evaluated[i]);
            }
        }
    }
}

TEST(NMReflective, ReflectionFallingBackOnAPointOfYContractsInside)
{
    // The bound x2 >= 0 puts xr = (1, -1) on y1 = (1, 0), whose value the
    // cache holds. Judged as a reflection it would ask for an outside
    // contraction that cannot keep a simplex; there is no proper reflection,
    // and the walk contracts inside.
    ProcessStateGuard guard;
    const std::vector<double> xic{0.25, 0.5};
    ReflectiveSetup setup(
        NMBlackbox{{{{0, 0}, "1 0"}, {{1, 0}, "5 0"}, {{0, 1}, "9 0"}, {xic, "8 0"}}, "100 0"}, {},
        3, 2, makeBoundedPbParams({-1, 0}, {2, 2}, {0, 0}));
    setup.evaluation.evaluate({{0, 0}, {1, 0}, {0, 1}});
    const size_t evaluatedBefore = setup.evaluation.evaluator->evaluatedPoints().size();

    NMReflective step(&setup.frame.iteration);
    EXPECT_EQ("INSIDE_CONTRACTION", std::string(nameOf(runMove(step, NMStepType::REFLECT))));
    EXPECT_EQ("CONTINUE", std::string(nameOf(runMove(step, NMStepType::INSIDE_CONTRACTION))));
    const auto evaluated = setup.evaluation.evaluator->evaluatedPoints();
    EXPECT_EQ((Coords{xic}),
              Coords(evaluated.begin() + static_cast<long>(evaluatedBefore), evaluated.end()));
    EXPECT_EQ((Coords{{0, 0}, {1, 0}, xic}), coordinatesOf(setup.frame.Y()));
    EXPECT_EQ("Started", QarnoTest::nmStopReasonText(setup.frame.algo));
}

TEST(NMReflective, EvaluatedPointsReachTheBarrierAndTheSuccessIsReported)
{
    ProcessStateGuard guard;
    ReflectiveSetup setup(NMBlackbox{{{{1, -1}, "0 0"}}, "100 0"});
    NMReflective step(&setup.frame.iteration);
    step.setCurrentNMStepType(NMStepType::REFLECT);
    step.start();
    EXPECT_TRUE(step.run());
    step.end();
    EXPECT_EQ(SuccessType::FULL_SUCCESS, step.getSuccessType());
    EXPECT_EQ((std::vector<double>{1, -1}), coordinatesOf(step.getXr()));
    const auto best = setup.frame.mega.getBarrier()->getFirstXFeas();
    ASSERT_NE(nullptr, best);
    EXPECT_EQ((std::vector<double>{1, -1}), coordinatesOf(*best));
    // The decision is over: no move is current.
    EXPECT_EQ(NMStepType::UNSET, step.getStepType());
}

TEST(NMReflective, DecisionsRequireTheirMove)
{
    ProcessStateGuard guard;
    ReflectiveSetup setup(NMBlackbox{});
    NMReflective step(&setup.frame.iteration);
    EXPECT_EQ("Current step must be REFLECT, EXPAND, OUTSIDE_CONTRACTION or INSIDE_CONTRACTION.",
              messageOf([&] { step.setNextNMStepType(); }));
}
