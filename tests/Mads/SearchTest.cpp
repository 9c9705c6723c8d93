#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "Algos/EvcInterface.hpp"
#include "Algos/Mads/Search.hpp"
#include "Algos/Mads/SearchMethodBase.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/Double.hpp"
#include "Output/OutputQueue.hpp"
#include "Util/AllStopReasons.hpp"
#include "support/CacheSupport.hpp"
#include "support/EvalSupport.hpp"
#include "support/EvcSupport.hpp"
#include "support/SearchSupport.hpp"
#include "support/StepTree.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using namespace QarnoTest;

namespace
{

using Coords = std::vector<std::vector<double>>;

std::shared_ptr<PbParameters> unboundedPb()
{
    return QarnoTest::makeBoundedPbParams({UNDEF, UNDEF}, {UNDEF, UNDEF});
}

/// Run parameters with the search switches given.
std::shared_ptr<RunParameters> searchRunParams(const std::shared_ptr<PbParameters>& pb,
                                               bool speculative, bool quad = false,
                                               bool teskora = false,
                                               bool generateAllPointsBeforeEval = false)
{
    return QarnoTest::makeSearchRunParams(
        pb,
        [&](RunParameters& run)
        {
            run.setAttributeValue<bool>("SPECULATIVE_SEARCH", speculative);
            run.setAttributeValue<bool>("QUAD_MODEL_SEARCH", quad);
            run.setAttributeValue<bool>("TESKORA_SEARCH", teskora);
            run.setAttributeValue<bool>("GENERATE_ALL_POINTS_BEFORE_EVAL",
                                        generateAllPointsBeforeEval);
        });
}

/// A barrier on `point` whose references (what successes are measured
/// against) are its incumbents, as the mesh update leaves them.
std::shared_ptr<Barrier> barrierOf(const EvalPoint& point)
{
    auto barrier = std::make_shared<Barrier>(Double(INF), Point(point.size()), EvalType::BB,
                                             std::vector<EvalPoint>{point});
    barrier->updateRefBests();
    return barrier;
}

/// A search tree around the frame centre (1 1) with mesh sizes (0.25 0.25)
/// and frame sizes (1 1), whose barrier holds `incumbent`.
struct Fixture
{
    Fixture(const std::shared_ptr<RunParameters>& run, const std::shared_ptr<PbParameters>& pb,
            const EvalPoint& incumbent, const std::vector<double>& origin)
        : barrier(barrierOf(incumbent)),
          tree(searchTree(run, pb, barrier, QarnoTest::makeProjectingMesh(pb, {0.25, 0.25}, {1, 1}),
                          QarnoTest::makeFrameCenter({1, 1}, origin)))
    {
    }
    std::shared_ptr<Barrier> barrier;
    StepTree tree;
};

std::vector<std::string> namesOf(const Search& search)
{
    std::vector<std::string> names;
    for (const auto& method : search.getSearchMethods())
    {
        names.push_back(method->getName());
    }
    return names;
}

std::vector<bool> enabledOf(const Search& search)
{
    std::vector<bool> enabled;
    for (const auto& method : search.getSearchMethods())
    {
        enabled.push_back(method->isEnabled());
    }
    return enabled;
}

} // namespace

TEST(Search, MethodsComeInTheirOrderEnabledByTheirOwnParameters)
{
    const struct
    {
        const char* name;
        bool speculative;
        bool quad;
        bool teskora;
        std::vector<bool> enabled;
    } cases[] = {
        {"defaults", true, false, false, {true, false, false, false, false, false}},
        {"no speculative search", false, false, false, {false, false, false, false, false, false}},
        {"model searches asked for", false, true, true, {false, false, false, false, false, false}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard guard;
        StreamCapture quiet(std::cout);
        QarnoTest::startCache({BBOutputType::OBJ});
        auto pb = unboundedPb();
        Fixture f(searchRunParams(pb, c.speculative, c.quad, c.teskora), pb,
                  QarnoTest::makeEvalPoint({1, 1}, 1, 0), {});
        Search search(&f.tree.iteration);
        EXPECT_EQ("Search", search.getName());
        // The Nelder-Mead search comes last, the Latin-hypercube search
        // just before it (both off by the fixture's parameters).
        EXPECT_EQ((std::vector<std::string>{"Speculative Search Method", "User Search Method",
                                            "Quad Model Search Method", "Teskora Search Method",
                                            "Latin Hypercube Search Method",
                                            "Search (Nelder Mead optimization)"}),
                  namesOf(search));
        EXPECT_EQ(c.enabled, enabledOf(search));
        EXPECT_EQ(c.speculative, search.isEnabled());
        for (const auto& method : search.getSearchMethods())
        {
            EXPECT_EQ(&search, method->getParentStep());
            EXPECT_EQ(&f.tree.iteration, method->getIterationAncestor());
        }
    }
}

TEST(Search, EachOperationRefusesTheOtherMode)
{
    const struct
    {
        bool generateAll;
        const char* signature;
        std::function<void(Search&)> call;
    } cases[] = {
        {true, "virtual void QARNO_4_0_0::Search::startImp()", [](Search& s) { s.start(); }},
        {true, "virtual bool QARNO_4_0_0::Search::runImp()", [](Search& s) { s.run(); }},
        {true, "virtual void QARNO_4_0_0::Search::endImp()", [](Search& s) { s.end(); }},
        {false, "virtual void QARNO_4_0_0::Search::generateTrialPoints()",
         [](Search& s) { s.generateTrialPoints(); }},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.signature);
        ProcessStateGuard guard;
        StreamCapture quiet(std::cout);
        QarnoTest::startCache({BBOutputType::OBJ});
        auto pb = unboundedPb();
        Fixture f(searchRunParams(pb, true, false, false, c.generateAll), pb,
                  QarnoTest::makeEvalPoint({1, 1}, 1, 0), {});
        Search search(&f.tree.iteration);
        EXPECT_EQ(std::string("Error: ") + c.signature + " should only be called if " +
                      " parameter GENERATE_ALL_POINTS_BEFORE_EVAL is " +
                      (c.generateAll ? "false" : "true"),
                  messageOf([&] { c.call(search); }));
    }
}

TEST(Search, RunStopsAtAFullSuccessOnly)
{
    // Objective x0 and constraint x1 (h = x1^2); the frame centre (1 1) was
    // reached from the origin, so the speculative point is (1 1) + the move.
    struct Case
    {
        const char* name;
        BBOutputTypeList outputs;
        EvalPoint incumbent;
        std::vector<double> origin;
        Coords evaluated;
        bool result;
        SuccessType success;
    };
    const Case cases[] = {
        {"dominating point",
         {BBOutputType::OBJ},
         QarnoTest::makeEvalPoint({1, 1}, 1, 0),
         {2, 1},
         {{0, 1}},
         true,
         SuccessType::FULL_SUCCESS},
        {"improving infeasible point",
         {BBOutputType::OBJ, BBOutputType::PB},
         QarnoTest::makeEvalPoint({1, 1}, 1, 1),
         {0, 1.5},
         {{2, 0.5}},
         false,
         SuccessType::PARTIAL_SUCCESS},
        {"worse point",
         {BBOutputType::OBJ},
         QarnoTest::makeEvalPoint({1, 1}, 1, 0),
         {0, 1},
         {{2, 1}},
         false,
         SuccessType::FAILURE},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard guard;
        StreamCapture out(std::cout);
        QarnoTest::EvcHarness installed(QarnoTest::searchHarness(
            c.outputs,
            [&](const EvalPoint& x)
            { return x[0].tostring() + (c.outputs.size() > 1 ? " " + x[1].tostring() : ""); },
            4));
        auto pb = unboundedPb();
        Fixture f(searchRunParams(pb, true), pb, c.incumbent, c.origin);
        Search search(&f.tree.iteration);

        search.start();
        EXPECT_EQ(c.result, search.run());
        search.end();
        OutputQueue::getInstance()->flush();

        EXPECT_EQ(c.evaluated, installed.evaluator->evaluatedPoints());
        EXPECT_EQ(c.success, search.getSuccessType());
        const std::string text = out.text();
        EXPECT_NE(std::string::npos,
                  text.find("Going through all search methods until we get a success"));
        EXPECT_NE(std::string::npos,
                  text.find("Search method Speculative Search Method is enabled"));
        // A full success leaves the later methods out of the loop.
        EXPECT_EQ(c.result, std::string::npos == text.find("Search method User Search Method "
                                                           "not enabled"))
            << text;
        EXPECT_EQ(c.result,
                  std::string::npos != text.find("Speculative Search Method is successful. Stop "
                                                 "reason: "))
            << text;
    }
}

TEST(Search, EndOfMethodMergesItsPointsIntoTheBarrier)
{
    ProcessStateGuard guard;
    StreamCapture quiet(std::cout);
    QarnoTest::EvcHarness installed(
        QarnoTest::searchHarness({BBOutputType::OBJ}, QarnoTest::firstCoordinateObjective()));
    auto pb = unboundedPb();
    Fixture f(searchRunParams(pb, true), pb, QarnoTest::makeEvalPoint({1, 1}, 1, 0), {2, 1});
    Search search(&f.tree.iteration);
    search.start();
    ASSERT_TRUE(search.run());
    search.end();
    ASSERT_EQ(1u, f.barrier->getAllXFeas().size());
    EXPECT_EQ(makeArray({0, 1}), static_cast<const ArrayOfDouble&>(f.barrier->getAllXFeas()[0]));
}

TEST(Search, DisabledSearchDoesNothing)
{
    ProcessStateGuard guard;
    StreamCapture out(std::cout);
    QarnoTest::EvcHarness installed(
        QarnoTest::searchHarness({BBOutputType::OBJ}, QarnoTest::firstCoordinateObjective(), 4));
    auto pb = unboundedPb();
    Fixture f(searchRunParams(pb, false), pb, QarnoTest::makeEvalPoint({1, 1}, 1, 0), {2, 1});
    Search search(&f.tree.iteration);
    search.setSuccessType(SuccessType::FAILURE);
    installed.evc->setStopReason(0, EvalMainThreadStopType::LAP_MAX_BB_EVAL_REACHED);

    search.start();
    EXPECT_FALSE(search.run());
    search.end();
    OutputQueue::getInstance()->flush();

    EXPECT_NE(std::string::npos, out.text().find("Search method is disabled. Early out."));
    EXPECT_EQ(std::string::npos, out.text().find("Going through all search methods"));
    EXPECT_TRUE(installed.evaluator->evaluatedPoints().empty());
    EXPECT_EQ(SuccessType::FAILURE, search.getSuccessType());
    // With no method run, no lap budget can have been used up by the search.
    EXPECT_TRUE(installed.evc->testIf(EvalMainThreadStopType::LAP_MAX_BB_EVAL_REACHED));
}

TEST(Search, EndLetsEvaluationsGoOnAfterALapBudgetOnly)
{
    const struct
    {
        const char* name;
        EvalMainThreadStopType before;
        EvalMainThreadStopType after;
    } cases[] = {
        {"lap budget reached", EvalMainThreadStopType::LAP_MAX_BB_EVAL_REACHED,
         EvalMainThreadStopType::STARTED},
        {"opportunistic success", EvalMainThreadStopType::OPPORTUNISTIC_SUCCESS,
         EvalMainThreadStopType::OPPORTUNISTIC_SUCCESS},
        {"sub-problem budget", EvalMainThreadStopType::SUBPROBLEM_MAX_BB_EVAL_REACHED,
         EvalMainThreadStopType::SUBPROBLEM_MAX_BB_EVAL_REACHED},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard guard;
        StreamCapture quiet(std::cout);
        QarnoTest::EvcHarness installed(
            QarnoTest::searchHarness({BBOutputType::OBJ}, QarnoTest::firstCoordinateObjective()));
        auto pb = unboundedPb();
        Fixture f(searchRunParams(pb, true), pb, QarnoTest::makeEvalPoint({1, 1}, 1, 0), {});
        Search search(&f.tree.iteration);
        search.start();
        search.run();
        installed.evc->setStopReason(0, c.before);
        search.end();
        EXPECT_TRUE(installed.evc->testIf(c.after));
    }
}

TEST(Search, PendingTerminationGeneratesAndEvaluatesNothing)
{
    ProcessStateGuard guard;
    StreamCapture quiet(std::cout);
    QarnoTest::EvcHarness installed(
        QarnoTest::searchHarness({BBOutputType::OBJ}, QarnoTest::firstCoordinateObjective()));
    auto pb = unboundedPb();
    Fixture f(searchRunParams(pb, true), pb, QarnoTest::makeEvalPoint({1, 1}, 1, 0), {2, 1});
    Search search(&f.tree.iteration);
    AllStopReasons::_baseStopReason.set(BaseStopType::CTRL_C);

    search.start();
    EXPECT_FALSE(search.run());
    search.end();

    EXPECT_TRUE(installed.evaluator->evaluatedPoints().empty());
    EXPECT_EQ(SuccessType::NOT_EVALUATED, search.getSuccessType());
    EXPECT_EQ(0u, search.getSearchMethods()[0]->getTrialPointsCount());
}

TEST(Search, GatheringCollectsThePointsWithoutEvaluating)
{
    const struct
    {
        const char* name;
        bool speculative;
        Coords gathered;
    } cases[] = {
        {"speculative search", true, {{0, 1}}},
        {"no method enabled", false, {}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard guard;
        StreamCapture quiet(std::cout);
        QarnoTest::EvcHarness installed(
            QarnoTest::searchHarness({BBOutputType::OBJ}, QarnoTest::firstCoordinateObjective()));
        auto pb = unboundedPb();
        Fixture f(searchRunParams(pb, c.speculative, false, false, true), pb,
                  QarnoTest::makeEvalPoint({1, 1}, 1, 0), {2, 1});
        Search search(&f.tree.iteration);

        search.generateTrialPoints();

        EXPECT_EQ(c.gathered, QarnoTest::coordinatesOf(search.getTrialPoints()));
        for (const auto& point : search.getTrialPoints())
        {
            ASSERT_NE(nullptr, point.getPointFrom());
            EXPECT_EQ(makeArray({1, 1}), static_cast<const ArrayOfDouble&>(*point.getPointFrom()));
        }
        EXPECT_TRUE(installed.evaluator->evaluatedPoints().empty());
        EXPECT_EQ(SuccessType::NOT_EVALUATED, search.getSuccessType());
    }
}

TEST(Search, ModelSearchesSayTheyCannotRun)
{
    const std::string quadText =
        "Quad Model Search Method cannot be performed because QARNO is compiled without teskora "
        "library";
    const std::string teskoraText =
        "Teskora Search Method cannot be performed because QARNO is compiled without teskora "
        "library";
    const struct
    {
        const char* name;
        bool quad;
        bool teskora;
        int degree;
        bool quadShown;
        bool teskoraShown;
    } cases[] = {
        {"quadratic model asked for", true, false, 3, true, false},
        {"surrogate model asked for", false, true, 3, false, true},
        {"both, below the information level", true, true, 2, false, false},
        {"neither", false, false, 3, false, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard guard;
        StreamCapture out(std::cout);
        QarnoTest::EvcHarness installed(QarnoTest::searchHarness(
            {BBOutputType::OBJ}, QarnoTest::firstCoordinateObjective(), c.degree));
        auto pb = unboundedPb();
        Fixture f(searchRunParams(pb, false, c.quad, c.teskora), pb,
                  QarnoTest::makeEvalPoint({1, 1}, 1, 0), {2, 1});
        Search search(&f.tree.iteration);
        search.start();
        EXPECT_FALSE(search.run());
        search.end();
        OutputQueue::getInstance()->flush();

        const std::string text = out.text();
        EXPECT_EQ(c.quadShown, std::string::npos != text.find(quadText)) << text;
        EXPECT_EQ(c.teskoraShown, std::string::npos != text.find(teskoraText)) << text;
        EXPECT_FALSE(search.isEnabled());
        EXPECT_EQ(std::string::npos, text.find("Start step Quad Model Search Method"));
        EXPECT_EQ(std::string::npos, text.find("Start step Teskora Search Method"));
        EXPECT_TRUE(installed.evaluator->evaluatedPoints().empty());
    }
}

TEST(Search, ModelSearchBelowTheSameModelSearchIsSilent)
{
    // A search below a model search (the optimisation of its model) keeps
    // the other model search's message but not its own.
    const struct
    {
        const char* name;
        size_t ancestor;
        std::string silenced;
        std::string kept;
    } cases[] = {
        {"below the quadratic-model search", 2, "Quad Model Search Method cannot",
         "Teskora Search Method cannot"},
        {"below the surrogate-model search", 3, "Teskora Search Method cannot",
         "Quad Model Search Method cannot"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard guard;
        QarnoTest::startCache({BBOutputType::OBJ});
        StreamCapture quiet(std::cout);
        OutputQueue::getInstance()->setDisplayDegree(3);
        auto pb = unboundedPb();
        Fixture f(searchRunParams(pb, false, true, true), pb,
                  QarnoTest::makeEvalPoint({1, 1}, 1, 0), {});
        Search outer(&f.tree.iteration);
        const Step* modelSearch = outer.getSearchMethods().at(c.ancestor).get();
        OutputQueue::getInstance()->flush();

        QarnoTest::TestAlgorithm sub(modelSearch, "Sub");
        QarnoTest::TestMegaIteration mega(&sub, 1, f.barrier);
        QarnoTest::TestIteration iteration(&mega, 1,
                                           QarnoTest::makeProjectingMesh(pb, {0.25, 0.25}, {1, 1}),
                                           QarnoTest::makeFrameCenter({1, 1}, {}));
        StreamCapture out(std::cout);
        Search inner(&iteration);
        OutputQueue::getInstance()->flush();
        EXPECT_EQ(std::string::npos, out.text().find(c.silenced)) << out.text();
        EXPECT_NE(std::string::npos, out.text().find(c.kept)) << out.text();
        EXPECT_FALSE(inner.isEnabled());
    }
}

TEST(Search, UserSearchIsNeverEnabledAndHasNoPoints)
{
    ProcessStateGuard guard;
    StreamCapture quiet(std::cout);
    QarnoTest::startCache({BBOutputType::OBJ});
    auto pb = unboundedPb();
    Fixture f(searchRunParams(pb, true), pb, QarnoTest::makeEvalPoint({1, 1}, 1, 0), {});
    Search search(&f.tree.iteration);
    auto& user = *search.getSearchMethods().at(1);
    EXPECT_FALSE(user.isEnabled());
    EXPECT_EQ("User search not implemented.", messageOf([&] { user.generateTrialPoints(); }));
}
