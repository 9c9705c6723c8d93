#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Algos/Algorithm.hpp"
#include "Algos/EvcInterface.hpp"
#include "Algos/Initialization.hpp"
#include "Algos/Mads/SearchMethodBase.hpp"
#include "Algos/MegaIteration.hpp"
#include "Algos/SubproblemManager.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/ArrayOfPoint.hpp"
#include "Output/OutputQueue.hpp"
#include "Util/AllStopReasons.hpp"
#include "support/CacheSupport.hpp"
#include "support/EvalSupport.hpp"
#include "support/EvcSupport.hpp"
#include "support/StepSupport.hpp"
#include "support/StepTree.hpp"
#include "support/SubspaceSupport.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using namespace QarnoTest;

namespace
{

using Coords = std::vector<std::vector<double>>;

Coords coordsOfPoints(const ArrayOfPoint& points)
{
    Coords all;
    for (const Point& p : points)
    {
        std::vector<double> c;
        for (size_t i = 0; i < p.size(); ++i)
        {
            c.push_back(p[i].todouble());
        }
        all.push_back(c);
    }
    return all;
}

/// The text form of a point, as the barrier lines of a hot-restart file hold it.
std::string textOf(const EvalPoint& point)
{
    std::ostringstream out;
    out << point;
    return out.str();
}

/// A search method that generates nothing, as the parent of an algorithm.
class IdleSearch : public SearchMethodBase
{
public:
    explicit IdleSearch(const Step* parent) : SearchMethodBase(parent) { setName("Search"); }

protected:
    void generateTrialPoints() override {}
    void startImp() override {}
    bool runImp() override { return false; }
    void endImp() override {}
};

} // namespace

TEST(Algorithm, CommentStackIsTheRootAlgorithms)
{
    enum Who
    {
        TOP,
        SUB
    };
    enum What
    {
        SET,
        RESET
    };
    struct Op
    {
        Who who;
        What what;
        std::string comment;
        bool force;
        std::string expected;
    };
    struct Case
    {
        const char* label;
        std::vector<Op> ops;
    };
    const Case cases[] = {
        {"sub-algorithm sets the root's comment, its reset restores it",
         {{TOP, SET, "(MADS)", false, "(MADS)"},
          {SUB, SET, "(NM)", false, "(NM)"},
          {SUB, RESET, "", false, "(MADS)"}}},
        {"forced comment refuses an ordinary change and reset",
         {{TOP, SET, "(P)", false, "(P)"},
          {TOP, SET, "(A)", true, "(A)"},
          {TOP, SET, "(B)", false, "(A)"},
          {TOP, RESET, "", false, "(A)"},
          {TOP, RESET, "", true, "(P)"},
          // The force is gone with the forced reset.
          {TOP, SET, "(C)", false, "(C)"}}},
        {"forced comment over nothing resets to the empty comment",
         {{TOP, SET, "(A)", true, "(A)"},
          {TOP, SET, "(B)", false, "(A)"},
          {TOP, RESET, "", false, "(A)"},
          {TOP, RESET, "", true, ""}}},
        {"reset of an empty stack gives the empty comment",
         {{TOP, RESET, "", false, ""}, {SUB, RESET, "", true, ""}}},
        {"force set by the sub-algorithm holds for the root",
         {{SUB, SET, "(NM)", true, "(NM)"},
          {TOP, SET, "(X)", false, "(NM)"},
          {SUB, RESET, "", false, "(NM)"},
          {TOP, RESET, "", true, ""}}},
        {"empty comments are remembered once the stack is in use",
         {{TOP, SET, "(A)", false, "(A)"},
          {TOP, SET, "", false, ""},
          {TOP, SET, "(B)", false, "(B)"},
          {TOP, RESET, "", false, ""},
          {TOP, RESET, "", false, "(A)"},
          {TOP, RESET, "", false, ""}}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ProcessStateGuard guard;
        RecordingStep main("Main");
        TestAlgorithm mads(&main, "MADS");
        RecordingStep search(&mads, "Search");
        TestAlgorithm nm(&search, "NM");
        for (size_t i = 0; i < c.ops.size(); ++i)
        {
            SCOPED_TRACE("operation " + std::to_string(i));
            const Op& op = c.ops[i];
            const Algorithm& algo = (TOP == op.who) ? static_cast<const Algorithm&>(mads) : nm;
            if (SET == op.what)
            {
                algo.setAlgoComment(op.comment, op.force);
            }
            else
            {
                algo.resetPreviousAlgoComment(op.force);
            }
            EXPECT_EQ(op.expected, mads.getAlgoComment());
            EXPECT_EQ(op.expected, nm.getAlgoComment());
        }
    }
}

TEST(Algorithm, ConstructionAndStartReportWhatIsMissing)
{
    ProcessStateGuard guard;
    StreamCapture callStacks(std::cout);
    RecordingStep main("Main");
    const auto run = QarnoTest::makeCheckedRunParams(2, false, false);
    const auto pb = makeCheckedPbParams(2);
    struct Case
    {
        const char* label;
        std::function<void()> op;
        std::string message;
    };
    const Case cases[] = {
        {"no parent", [&] { TestAlgorithm algo(nullptr, "Test Algorithm", run, pb); },
         "Parent step for \"AGenericAlgorithmHasNoName\" should not be NULL"},
        {"no run parameters", [&] { TestAlgorithm algo(&main, "Test Algorithm", nullptr, pb); },
         "A valid RunParameters must be provided to an Algorithm constructor."},
        {"no problem parameters",
         [&] { TestAlgorithm algo(&main, "Test Algorithm", run, nullptr); },
         "A valid PbParameters must be provided to the Algorithm constructor."},
        {"top algorithm started without a cache",
         [&]
         {
             TestAlgorithm algo(&main, "Test Algorithm", run, pb);
             algo.libraryRun = true;
             algo.start();
         },
         "Cannot get instance. A non-virtual object derived from CacheBase must be instantiated "
         "first. For example, call CacheSet::setInstance() ONCE before calling "
         "CacheBase::getInstance()"},
        {"started without an evaluation queue",
         [&]
         {
             QarnoTest::startCache({BBOutputType::OBJ});
             TestAlgorithm algo(&main, "Test Algorithm", run, pb);
             algo.libraryRun = true;
             algo.start();
         },
         "An EvaluatorControl must exist to run the algorithm Test Algorithm"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.message, messageOf(c.op));
        // A failed construction leaves nothing in the registry.
        EXPECT_EQ(0u, SubproblemManager::size());
    }
}

TEST(Algorithm, WorksInTheSubSpaceOfItsFixedVariables)
{
    ProcessStateGuard guard;
    StreamCapture quiet(std::cout);
    RecordingStep main("Main");
    const auto pb = QarnoTest::makeFixedPbParams({QarnoTest::UNDEF, 5.0, QarnoTest::UNDEF, 7.0});
    {
        TestAlgorithm mads(&main, "MADS", QarnoTest::makeCheckedRunParams(4, false, false), pb);
        RecordingStep search(&mads, "Search");
        TestAlgorithm nm(&search, "NM");

        EXPECT_EQ(2u, mads.getPbParams()->getAttributeValue<size_t>("DIMENSION"));
        EXPECT_EQ(4u, pb->getAttributeValue<size_t>("DIMENSION"));
        EXPECT_EQ("( - 5 - 7 )", SubproblemManager::getSubFixedVariable(&mads).display());
        // The sub-algorithm keeps the fixed variables of the one that runs it.
        EXPECT_EQ("( - 5 - 7 )", SubproblemManager::getSubFixedVariable(&nm).display());
        EXPECT_FALSE(mads.isSubAlgo());
        EXPECT_TRUE(nm.isSubAlgo());
        EXPECT_EQ(2u, SubproblemManager::size());
    }
    // Destruction unregisters.
    EXPECT_EQ(0u, SubproblemManager::size());
}

TEST(Algorithm, StartContinuesFromAHotRestartOrRunsTheInitialization)
{
    struct Case
    {
        const char* label;
        bool subAlgo;
        bool readFiles;
        bool fileExists;
        bool hotRestart;
        size_t cacheHitsAfter;
    };
    const Case cases[] = {
        {"hot-restart file read", false, true, true, true, 5},
        {"reading asked, no file", false, true, false, false, 0},
        {"file present, reading not asked", false, false, true, false, 0},
        {"sub-algorithm never reads nor resets", true, true, true, false, 5},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ProcessStateGuard guard;
        StreamCapture quiet(std::cout);
        EvcHarness run;
        QarnoTest::TempDir dir;
        CacheBase& cache = *CacheBase::getInstance();
        const EvalPoint feasible = makeEvalPoint({3.0, 1.0}, 1.0, 0.0);
        const EvalPoint infeasible = makeEvalPoint({2.0, 2.0}, 0.0, 3.0);
        cache.insert(feasible);
        cache.insert(infeasible);
        if (c.fileExists)
        {
            // The infeasible point comes first in the file.
            QarnoTest::writeTextFile(dir.file("hotrestart.txt"),
                                     "MEGA_ITERATION\nITERATION_COUNT 3\nBARRIER\nX_INF " +
                                         textOf(infeasible) + "\nX_FEAS " + textOf(feasible) +
                                         "\nH_MAX 5\n\nNB_EVAL 12\nNB_BB_EVAL 9\n");
        }
        CacheBase::_nbCacheHits.store(5);
        const auto runParams =
            makeHotRestartRunParams(2, c.readFiles, false, dir.file("hotrestart.txt"));

        RecordingStep main("Main");
        TestAlgorithm outer(&main, "Outer", runParams, makeCheckedPbParams(2));
        TestAlgorithm algo(c.subAlgo ? static_cast<const Step*>(&outer) : &main, "Test Algorithm",
                           runParams, c.subAlgo ? outer.getPbParams() : makeCheckedPbParams(2));
        algo.libraryRun = true;
        algo.initialization().barrierToBuild = std::make_shared<Barrier>(
            INF, Point(2), EvalType::BB, std::vector<EvalPoint>{feasible});
        algo.start();

        EXPECT_EQ(c.subAlgo ? 0u : 1u, algo.hotRestartReads);
        EXPECT_EQ(c.cacheHitsAfter, CacheBase::_nbCacheHits.load());
        const auto x0s = algo.getPbParams()->getAttributeValue<ArrayOfPoint>("X0");
        if (c.hotRestart)
        {
            ASSERT_NE(nullptr, algo.getMegaIteration());
            EXPECT_EQ(3u, algo.getMegaIteration()->getK());
            EXPECT_EQ((Coords{{3, 1}, {2, 2}}), coordsOfPoints(x0s));
            EXPECT_TRUE(algo.initialization().calls.empty());
            EXPECT_EQ(9u, run.evc->getBbEval());
            EXPECT_EQ(12u, run.evc->getNbEval());
        }
        else
        {
            EXPECT_EQ(nullptr, algo.getMegaIteration());
            EXPECT_EQ((Coords{{1, 1}}), coordsOfPoints(x0s));
            EXPECT_EQ(std::vector<std::string>{"run"}, algo.initialization().calls);
        }
    }
}

TEST(Algorithm, StartResetsTheRunStateAndTheLap)
{
    ProcessStateGuard guard;
    StreamCapture quiet(std::cout);
    QarnoTest::EvcOptions options;
    options.useCache = false;
    EvcHarness run(algorithmHarness(options));
    RecordingStep main("Main");
    const auto runParams = QarnoTest::makeCheckedRunParams(2, false, false);
    TestAlgorithm algo(&main, "Test Algorithm", runParams, makeCheckedPbParams(2));
    algo.libraryRun = true;
    algo.initialization().barrierToBuild = std::make_shared<Barrier>(
        INF, Point(2), EvalType::BB, std::vector<EvalPoint>{makeEvalPoint({1, 1}, 1, 0)});
    algo.megaRunResult = true;
    algo.megaSuccess = SuccessType::FULL_SUCCESS;

    // Two runs in a row: the second starts from nothing again.
    for (int runNumber = 0; runNumber < 2; ++runNumber)
    {
        SCOPED_TRACE("run " + std::to_string(runNumber));
        EvalPoint point(Point(QarnoTest::makeArray({2, 2})));
        run.evc->evalSinglePoint(point, 0, INF);
        run.evc->setLapMaxBbEval(3);
        algo.getAllStopReasons()->_iterStopReason.set(IterStopType::MAX_ITERATIONS_REACHED);

        algo.start();
        EXPECT_EQ(0u, run.evc->getLapBbEval(-1));
        EXPECT_EQ(std::numeric_limits<size_t>::max(), run.evc->getLapMaxBbEval(-1));
        EXPECT_FALSE(algo.getAllStopReasons()->checkTerminate());
        EXPECT_FALSE(algo.getAlgoSuccessful());
        EXPECT_EQ(SuccessType::NOT_EVALUATED, algo.getAlgoBestSuccess());

        algo.run();
        EXPECT_TRUE(algo.getAlgoSuccessful());
        EXPECT_EQ(SuccessType::FULL_SUCCESS, algo.getAlgoBestSuccess());
        algo.end();
        algo.initialization().calls.clear();
    }
}

TEST(Algorithm, SubAlgorithmStartAndEndRestoreTheRootsComment)
{
    ProcessStateGuard guard;
    StreamCapture quiet(std::cout);
    EvcHarness run;
    RecordingStep main("Main");
    const auto runParams = QarnoTest::makeCheckedRunParams(2, false, false);
    TestAlgorithm mads(&main, "MADS", runParams, makeCheckedPbParams(2));
    RecordingStep search(&mads, "Search");
    TestAlgorithm nm(&search, "NM", runParams, mads.getPbParams());
    nm.libraryRun = true;

    mads.setAlgoComment("(MADS)");
    nm.start();
    EXPECT_EQ("", mads.getAlgoComment());
    nm.run();
    nm.end();
    EXPECT_EQ("(MADS)", mads.getAlgoComment());
}

TEST(Algorithm, SuccessGoesToAParentSearchMethodOnlyWhenSuccessful)
{
    struct Case
    {
        const char* label;
        bool directParent;
        bool runResult;
        SuccessType reached;
        SuccessType searchAfter;
    };
    const Case cases[] = {
        {"successful run", true, true, SuccessType::FULL_SUCCESS, SuccessType::FULL_SUCCESS},
        {"partial success", true, true, SuccessType::PARTIAL_SUCCESS, SuccessType::PARTIAL_SUCCESS},
        // A better success type without a successful mega-iteration run is
        // not handed over.
        {"no successful run", true, false, SuccessType::FULL_SUCCESS, SuccessType::FAILURE},
        {"search method further up", false, true, SuccessType::FULL_SUCCESS, SuccessType::FAILURE},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ProcessStateGuard guard;
        StreamCapture quiet(std::cout);
        EvcHarness run;
        RecordingStep main("Main");
        const auto runParams = QarnoTest::makeCheckedRunParams(2, false, false);
        TestAlgorithm mads(&main, "MADS", runParams, makeCheckedPbParams(2));
        IdleSearch search(&mads);
        search.setSuccessType(SuccessType::FAILURE);
        RecordingStep between(&search, "Between");
        TestAlgorithm nm(c.directParent ? static_cast<const Step*>(&search) : &between, "NM",
                         runParams, mads.getPbParams());
        nm.libraryRun = true;
        nm.initialization().barrierToBuild = std::make_shared<Barrier>(
            INF, Point(2), EvalType::BB, std::vector<EvalPoint>{makeEvalPoint({1, 1}, 1, 0)});
        nm.megaRunResult = c.runResult;
        nm.megaSuccess = c.reached;

        nm.start();
        nm.run();
        nm.end();
        EXPECT_EQ(c.searchAfter, search.getSuccessType());
    }
}

TEST(Algorithm, EndReportsAndSavesAsTheFlagsAndItsPlaceSay)
{
    struct Case
    {
        const char* label;
        bool subAlgo;
        bool endDisplay;
        bool reports;
        bool fileWritten;
    };
    const Case cases[] = {
        {"top algorithm", false, true, true, true},
        {"top algorithm without end display", false, false, false, true},
        // Shown at the information level only, which display degree 3 shows.
        {"sub-algorithm", true, true, true, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ProcessStateGuard guard;
        EvcHarness run;
        QarnoTest::TempDir dir;
        OutputQueue::getInstance()->initParameters(QarnoTest::makeDisplayParameters(2, 3, ""));
        const auto runParams = makeHotRestartRunParams(2, false, true, dir.file("hotrestart.txt"));
        RecordingStep main("Main");
        TestAlgorithm outer(&main, "Outer", runParams, makeCheckedPbParams(2));
        TestAlgorithm algo(c.subAlgo ? static_cast<const Step*>(&outer) : &main, "Test Algorithm",
                           runParams, makeCheckedPbParams(2));
        algo.libraryRun = true;
        algo.setEndDisplay(c.endDisplay);
        algo.initialization().barrierToBuild = std::make_shared<Barrier>(
            INF, Point(2), EvalType::BB, std::vector<EvalPoint>{makeEvalPoint({1, 1}, 1, 0)});

        StreamCapture out(std::cout);
        algo.start();
        algo.run();
        algo.end();
        OutputQueue::getInstance()->flush();
        const std::string text = out.text();
        EXPECT_EQ(c.reports, text.find("Best feasible solution") != std::string::npos) << text;
        EXPECT_EQ(c.reports, text.find("Blackbox evaluations: ") != std::string::npos) << text;
        EXPECT_EQ(c.fileWritten, text.find("Write hot restart file.") != std::string::npos);
        EXPECT_EQ(c.fileWritten, checkReadFile(dir.file("hotrestart.txt")));
    }
}
