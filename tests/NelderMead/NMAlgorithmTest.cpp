// The Nelder-Mead algorithm and its mega-iteration: numbering of the
// mega-iterations, the iterations each one runs, the hot-restart file of a
// run alone, and success measured against the incumbent of the run.

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/Mads/GMesh.hpp"
#include "Algos/Mads/MadsMegaIteration.hpp"
#include "Algos/NelderMead/NM.hpp"
#include "Algos/NelderMead/NMIteration.hpp"
#include "Algos/NelderMead/NMMegaIteration.hpp"
#include "Algos/NelderMead/NMSettings.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvalPoint.hpp"
#include "Param/AllParameters.hpp"
#include "Util/Exception.hpp"
#include "support/CacheSupport.hpp"
#include "support/EvcSupport.hpp"
#include "support/MadsSupport.hpp"
#include "support/NMBlackboxSupport.hpp"
#include "support/NMRunSupport.hpp"
#include "support/NMSupport.hpp"
#include "support/StepSupport.hpp"
#include "support/StepTree.hpp"
#include "support/TestSupport.hpp"

namespace
{

using namespace QARNO_4_0_0;
using QarnoTest::EvcHarness;
using QarnoTest::MadsRunResult;
using QarnoTest::makeMadsParameters;
using QarnoTest::makeNMParameters;
using QarnoTest::ProcessStateGuard;
using QarnoTest::RecordingStep;
using QarnoTest::runMadsMainStep;
using QarnoTest::shiftedQuadratic;
using QarnoTest::TempDir;
using QarnoTest::TestAlgorithm;

bool contains(const std::string& text, const std::string& part)
{
    return std::string::npos != text.find(part);
}

/// The numbers k of the "NM MegaIteration k" steps started, in order.
std::vector<size_t> megaIterationsStarted(const std::string& out)
{
    std::vector<size_t> ks;
    const std::string mark = "Start step NM MegaIteration ";
    for (size_t at = out.find(mark); std::string::npos != at; at = out.find(mark, at + 1))
    {
        ks.push_back(std::stoul(out.substr(at + mark.size())));
    }
    return ks;
}

/// A run of Nelder-Mead alone through the main step, on f = |x - shift|^2
/// from x0, at display degree 3 so that the steps show.
MadsRunResult runNMAlone(const std::vector<double>& x0, const std::vector<double>& shift,
                         std::vector<std::string> lines)
{
    lines.push_back("NM_OPTIMIZATION yes");
    lines.push_back("DISPLAY_DEGREE 3");
    return runMadsMainStep(makeMadsParameters(x0.size(), "OBJ", {x0}, lines),
                           shiftedQuadratic(shift));
}

TEST(NMAlgorithm, MegaIterationsAreNumberedByTwos)
{
    struct Case
    {
        size_t maxIterations;
        std::vector<size_t> started;
        size_t nextK;
    };
    const std::vector<Case> cases = {
        {0, {}, 0},     {1, {0}, 2},       {2, {0}, 2},
        {3, {0, 2}, 4}, {6, {0, 2, 4}, 6}, {7, {0, 2, 4, 6}, 8},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE("MAX_ITERATIONS " + std::to_string(c.maxIterations));
        ProcessStateGuard guard;
        TempDir dir;
        const MadsRunResult result = runNMAlone(
            {20, 20}, {0.3, -0.7},
            {"MAX_ITERATIONS " + std::to_string(c.maxIterations),
             "MAX_ITERATION_PER_MEGAITERATION 2", "HOT_RESTART_FILE " + dir.file("hotrestart.txt"),
             "CACHE_FILE " + dir.file("cache.txt"), "HOT_RESTART_WRITE_FILES yes",
             "MAX_BB_EVAL 1000"});
        EXPECT_EQ(c.started, megaIterationsStarted(result.out));
        EXPECT_TRUE(contains(result.stopReason, "Maximum number of iterations reached"))
            << result.stopReason;
        // The final mega-iteration, kept for the file, holds the next k.
        const std::string file = QarnoTest::readTextFile(dir.file("hotrestart.txt"));
        EXPECT_TRUE(contains(file, "ITERATION_COUNT " + std::to_string(c.nextK) + "\n")) << file;
    }
}

TEST(NMAlgorithm, HotRestartFileOfNMAloneHasNoMesh)
{
    ProcessStateGuard guard;
    TempDir dir;
    const MadsRunResult result = runNMAlone({2, 2, 2}, {0.3, -0.7, 0.1},
                                            {"HOT_RESTART_FILE " + dir.file("hotrestart.txt"),
                                             "CACHE_FILE " + dir.file("cache.txt"),
                                             "HOT_RESTART_WRITE_FILES yes", "MAX_BB_EVAL 40"});
    EXPECT_EQ(40u, result.bbEval);
    const std::string file = QarnoTest::readTextFile(dir.file("hotrestart.txt"));
    EXPECT_TRUE(contains(file, "MEGA_ITERATION \nITERATION_COUNT ")) << file;
    EXPECT_TRUE(contains(file, "\nBARRIER \n")) << file;
    EXPECT_TRUE(contains(file, "NB_BB_EVAL 40\n")) << file;
    EXPECT_FALSE(contains(file, "MAIN_MESH")) << file;
    EXPECT_FALSE(contains(file, "DELTA_MESH_SIZE")) << file;
}

TEST(NMAlgorithm, HotRestartFileIsNotReadByNM)
{
    ProcessStateGuard guard;
    TempDir dir;
    const std::vector<std::string> files = {"HOT_RESTART_FILE " + dir.file("hotrestart.txt"),
                                            "CACHE_FILE " + dir.file("cache.txt")};
    auto first = files;
    first.push_back("HOT_RESTART_WRITE_FILES yes");
    first.push_back("MAX_BB_EVAL 20");
    runNMAlone({2, 2}, {0.3, -0.7}, first);

    ProcessStateGuard::resetToLoadState();
    auto second = files;
    second.push_back("HOT_RESTART_READ_FILES yes");
    second.push_back("MAX_BB_EVAL 30");
    const MadsRunResult result = runNMAlone({2, 2}, {0.3, -0.7}, second);
    EXPECT_FALSE(contains(result.out, "Read hot restart file")) << result.out;
    // Numbered from 0 again: the run starts from its own initialization.
    const auto started = megaIterationsStarted(result.out);
    ASSERT_FALSE(started.empty());
    EXPECT_EQ(0u, started.front());
}

TEST(NMAlgorithm, NoIterationRunWithZeroIterationsPerMegaIteration)
{
    ProcessStateGuard guard;
    const MadsRunResult result =
        runNMAlone({2, 2}, {0.3, -0.7},
                   {"MAX_ITERATION_PER_MEGAITERATION 0", "MAX_ITERATIONS 6", "MAX_BB_EVAL 100"});
    EXPECT_EQ((std::vector<size_t>{0, 2, 4}), megaIterationsStarted(result.out));
    EXPECT_FALSE(contains(result.out, "Start step NM Iteration")) << result.out;
    EXPECT_FALSE(contains(result.out, "NM Reflect")) << result.out;
    // Only the starting points of the initialization were evaluated.
    EXPECT_LE(result.bbEval, 3u);
    EXPECT_FALSE(result.runResult);
}

TEST(NMAlgorithm, SuccessIsMeasuredAgainstTheIncumbentOfTheRun)
{
    // From the optimum itself no point can improve: every evaluation after
    // the start is a failure, and the run reports no success. From afar
    // the run improves and says so.
    struct Case
    {
        std::vector<double> x0;
        bool success;
    };
    const std::vector<Case> cases = {{{0.3, -0.7}, false}, {{2, 2}, true}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE("x0 = (" + std::to_string(c.x0[0]) + ", " + std::to_string(c.x0[1]) + ")");
        ProcessStateGuard guard;
        const MadsRunResult result = runNMAlone(c.x0, {0.3, -0.7}, {"MAX_BB_EVAL 30"});
        EXPECT_EQ(30u, result.bbEval);
        EXPECT_EQ(c.success, result.runResult);
    }
}

/// main step > "NM" algorithm: the parent of the mega-iterations built in
/// the tests below, with the queue and cache of an installed `EvcHarness`.
struct NMMegaFrame
{
    explicit NMMegaFrame(const std::vector<std::string>& lines = {})
        : params(makeNMParameters(2, true, lines)), mainStep("Main"),
          algo(&mainStep, "NM", params->get_run_params(), params->get_pb_params(),
               QarnoTest::newNMStopReasons())
    {
    }

    std::shared_ptr<AllParameters> params;
    RecordingStep mainStep;
    TestAlgorithm algo;
};

TEST(NMMegaIteration, FrameCenterIsTheFirstIncumbentFeasibleFirst)
{
    struct Case
    {
        std::string name;
        bool withFeasible;
        std::vector<double> expected;
    };
    const std::vector<Case> cases = {{"feasible and infeasible", true, {1, 1}},
                                     {"infeasible only", false, {3, 3}}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard guard;
        EvcHarness run;
        QarnoTest::cacheNMPoint({1, 1}, 5);
        QarnoTest::cacheNMPoint({3, 3}, 2, 0.5);
        auto barrier = QarnoTest::barrierFromCache(2);
        if (!c.withFeasible)
        {
            barrier->clearXFeas();
        }
        NMMegaFrame frame({"MAX_ITERATION_PER_MEGAITERATION 0"});
        NMMegaIteration mega(&frame.algo, 4, barrier, SuccessType::NOT_EVALUATED);
        mega.start();
        EXPECT_FALSE(mega.run());
        mega.end();
        ASSERT_NE(nullptr, mega.getNMIteration());
        const auto center = mega.getNMIteration()->getFrameCenter();
        EXPECT_EQ(c.expected, QarnoTest::coordinatesOf(*center));
        EXPECT_EQ(4u, mega.getNMIteration()->getK());
        // Built with 4, raised once by its start, never counting iterations.
        EXPECT_EQ(5u, mega.getK());
        EXPECT_EQ(6u, mega.getNextK());
    }
}

TEST(NMMegaIteration, NoIncumbentNoIterationToRun)
{
    ProcessStateGuard guard;
    EvcHarness run;
    QarnoTest::cacheNMPoint({1, 1}, 5);
    auto barrier = QarnoTest::barrierFromCache(2);
    barrier->clearXFeas();
    barrier->clearXInf();
    NMMegaFrame frame;
    NMMegaIteration mega(&frame.algo, 0, barrier, SuccessType::NOT_EVALUATED);
    mega.start();
    EXPECT_EQ(nullptr, mega.getNMIteration());
    EXPECT_EQ(0u, mega.getK());
    try
    {
        mega.run();
        FAIL() << "no exception";
    }
    catch (const Exception& e)
    {
        EXPECT_TRUE(contains(e.what(), "No iteration to run")) << e.what();
    }
}

TEST(NMMegaIteration, ReadsItsBlockAndPutsBackTheNextToken)
{
    ProcessStateGuard guard;
    EvcHarness run;
    QarnoTest::cacheNMPoint({1, 1}, 5);
    QarnoTest::cacheNMPoint({2, 0}, 3);
    NMMegaFrame frame;

    // The text of a mega-iteration on the barrier of the cache with k = 7.
    auto written = QarnoTest::barrierFromCache(2);
    NMMegaIteration source(&frame.algo, 7, written, SuccessType::NOT_EVALUATED);
    std::ostringstream text;
    text << source;
    EXPECT_FALSE(contains(text.str(), "MAIN_MESH"));

    struct Case
    {
        std::string name;
        std::string input;
        size_t k;
        std::string rest;
    };
    const std::vector<Case> cases = {
        {"its block", text.str() + "NB_EVAL 3", 7, "NB_EVAL"},
        {"another block first", "NB_EVAL 3", 0, "NB_EVAL"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        auto barrier = QarnoTest::barrierFromCache(2);
        NMMegaIteration mega(&frame.algo, 3, barrier, SuccessType::NOT_EVALUATED);
        std::istringstream is(c.input);
        is >> mega;
        EXPECT_EQ(c.k, mega.getK());
        std::string next;
        is >> next;
        EXPECT_EQ(c.rest, next);
        ASSERT_NE(nullptr, mega.getBarrier()->getFirstXFeas());
        EXPECT_EQ(*written->getFirstXFeas(), *mega.getBarrier()->getFirstXFeas());
    }
}

TEST(NMMegaIteration, BelowMadsWorksOnTheMadsBarrierAndMesh)
{
    ProcessStateGuard guard;
    EvcHarness run;
    QarnoTest::cacheNMPoint({1, 1}, 5);
    QarnoTest::cacheNMPoint({2, 0}, 3);
    const auto params = makeNMParameters(2, false);
    RecordingStep mainStep("Main");
    TestAlgorithm mads(&mainStep, "NM", params->get_run_params(), params->get_pb_params(),
                       QarnoTest::newNMStopReasons());
    auto madsBarrier = QarnoTest::barrierFromCache(2);
    auto mesh = std::make_shared<GMesh>(params->get_pb_params());
    MadsMegaIteration madsMega(&mads, 0, madsBarrier, mesh, SuccessType::NOT_EVALUATED);
    TestAlgorithm nm(&madsMega, "NM", params->get_run_params(), params->get_pb_params(),
                     QarnoTest::newNMStopReasons());

    // The barrier given is only a placeholder: the MADS one replaces it.
    auto given = QarnoTest::barrierFromCache(2);
    given->clearXFeas();
    NMMegaIteration mega(&nm, 0, given, SuccessType::NOT_EVALUATED);
    EXPECT_EQ(madsBarrier, mega.getBarrier());
    mega.start();
    ASSERT_NE(nullptr, mega.getNMIteration());
    EXPECT_EQ(mesh, mega.getNMIteration()->getMesh());
    EXPECT_EQ((std::vector<double>{2, 0}),
              QarnoTest::coordinatesOf(*mega.getNMIteration()->getFrameCenter()));
    // MADS sets the references of its barrier in its own update.
    EXPECT_EQ(nullptr, madsBarrier->getRefBestFeas());
}

TEST(NMAlgorithm, AloneTheSimplexIsMadeOnceAndCarriedOver)
{
    // Made again from the best cached points at every mega-iteration, the
    // simplex of a contracted walk is nearly flat and Nelder-Mead stalls.
    ProcessStateGuard guard;
    const MadsRunResult result =
        runNMAlone({2, 2}, {0.3, -0.7}, {"MAX_ITERATION_PER_MEGAITERATION 2", "MAX_BB_EVAL 60"});
    EXPECT_LE(3u, megaIterationsStarted(result.out).size());
    size_t made = 0;
    const std::string mark = "Number of potential points to include in initial Y";
    for (size_t at = result.out.find(mark); std::string::npos != at;
         at = result.out.find(mark, at + 1))
    {
        ++made;
    }
    EXPECT_EQ(1u, made) << result.out;
}

TEST(NMMegaIteration, GoesOnWithACompleteSimplexGivenToIt)
{
    struct Case
    {
        std::string name;
        size_t nbPoints;
        bool carried;
    };
    const std::vector<Case> cases = {{"complete", 3, true}, {"incomplete", 2, false}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard guard;
        EvcHarness run;
        QarnoTest::cacheNMPoint({1, 1}, 5);
        auto barrier = QarnoTest::barrierFromCache(2);
        std::vector<EvalPoint> points{QarnoTest::makeNMPoint({0, 0}, 1, 0, 101),
                                      QarnoTest::makeNMPoint({1, 0}, 2, 0, 102),
                                      QarnoTest::makeNMPoint({0, 1}, 3, 0, 103)};
        points.resize(c.nbPoints);
        const auto Y = QarnoTest::makeSimplex(points);
        NMMegaFrame frame({"MAX_ITERATION_PER_MEGAITERATION 0"});
        NMMegaIteration mega(&frame.algo, 0, barrier, SuccessType::NOT_EVALUATED);
        mega.continueSimplex(Y);
        mega.start();
        ASSERT_NE(nullptr, mega.getNMIteration());
        EXPECT_EQ(c.carried, Y == mega.getNMIteration()->getY());
    }
}

TEST(NMAlgorithm, RemembersTheSimplexesWalkedFromUntilAnEvaluation)
{
    ProcessStateGuard guard;
    EvcHarness run;
    const auto params = makeNMParameters(2, true);
    RecordingStep mainStep("Main");
    NM nm(&mainStep, std::make_shared<AlgoStopReasons<NMStopType>>(), params->get_run_params(),
          params->get_pb_params());
    const EvalPoint a = QarnoTest::makeNMPoint({0, 0}, 1, 0, 101);
    const EvalPoint b = QarnoTest::makeNMPoint({1, 0}, 2, 0, 102);
    const EvalPoint c = QarnoTest::makeNMPoint({0, 1}, 3, 0, 103);
    const EvalPoint d = QarnoTest::makeNMPoint({1, 1}, 0, 0, 104);

    EXPECT_FALSE(nm.simplexMetBefore(*QarnoTest::makeSimplex({a, b, c})));
    EXPECT_FALSE(nm.simplexMetBefore(*QarnoTest::makeSimplex({d, a, b})));
    // The same points, whatever their order: met before.
    EXPECT_TRUE(nm.simplexMetBefore(*QarnoTest::makeSimplex({c, a, b})));
    nm.evaluationMade();
    EXPECT_FALSE(nm.simplexMetBefore(*QarnoTest::makeSimplex({a, b, c})));
}

TEST(NMAlgorithm, ItsStepsTakeTheParametersItReadOnce)
{
    // The keywords are looked up once per algorithm, not at every iteration
    // and move: a step below the algorithm shares its settings, a value set
    // afterwards reaches only a new algorithm.
    ProcessStateGuard guard;
    EvcHarness run;
    const auto params = makeNMParameters(2, false, {"NM_DELTA_E 3", "NM_GAMMA 0.25"});
    RecordingStep mainStep("Main");
    NM nm(&mainStep, std::make_shared<AlgoStopReasons<NMStopType>>(), params->get_run_params(),
          params->get_pb_params());
    const RecordingStep child(&nm, "Child");
    const RecordingStep grandChild(&child, "Grandchild");
    EXPECT_EQ(nm.getSettings().get(), NMSettings::of(grandChild).get());
    EXPECT_EQ(3.0, nm.getSettings()->deltaE.todouble());
    EXPECT_EQ(0.25, nm.getSettings()->gamma.todouble());
    EXPECT_EQ(2u, nm.getSettings()->dimension);
    {
        // The next algorithm on the same, unchanged sets, built once this one
        // is gone (as the search builds one at every MADS iteration), does not
        // read them again.
        std::shared_ptr<const NMSettings> first;
        {
            NM once(&mainStep, std::make_shared<AlgoStopReasons<NMStopType>>(),
                    params->get_run_params(), params->get_pb_params());
            first = once.getSettings();
        }
        NM again(&mainStep, std::make_shared<AlgoStopReasons<NMStopType>>(),
                 params->get_run_params(), params->get_pb_params());
        EXPECT_EQ(first.get(), again.getSettings().get());
    }

    params->setAttributeValue("NM_DELTA_E", Double(5.0));
    params->checkAndComply();
    EXPECT_EQ(3.0, NMSettings::of(grandChild)->deltaE.todouble());
    NM later(&mainStep, std::make_shared<AlgoStopReasons<NMStopType>>(), params->get_run_params(),
             params->get_pb_params());
    EXPECT_EQ(5.0, later.getSettings()->deltaE.todouble());

    // Below another algorithm, a step reads its own parameters.
    QarnoTest::TestAlgorithm other(&mainStep, "NM", params->get_run_params(),
                                   params->get_pb_params(), QarnoTest::newNMStopReasons());
    const RecordingStep otherChild(&other, "Other child");
    EXPECT_EQ(5.0, NMSettings::of(otherChild)->deltaE.todouble());
    EXPECT_NE(nm.getSettings().get(), NMSettings::of(otherChild).get());
}

TEST(NMAlgorithm, NameTellsTheSinglePass)
{
    struct Case
    {
        std::string line;
        std::string name;
    };
    const std::vector<Case> cases = {{"GENERATE_ALL_POINTS_BEFORE_EVAL no", "NM"},
                                     {"GENERATE_ALL_POINTS_BEFORE_EVAL yes", "NM One Iteration"}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.line);
        ProcessStateGuard guard;
        EvcHarness run;
        const auto params = makeNMParameters(2, false, {c.line});
        RecordingStep mainStep("Main");
        NM nm(&mainStep, std::make_shared<AlgoStopReasons<NMStopType>>(), params->get_run_params(),
              params->get_pb_params());
        EXPECT_EQ(c.name, nm.getName());
    }
}

} // namespace
