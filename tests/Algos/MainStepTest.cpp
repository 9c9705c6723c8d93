// The main step in one process: the start (problem folder, algorithm choice,
// phase-one detection, X0 from the cache, the evaluation queue, the state
// left by an earlier run), the run and its end (main statistics file), the
// hot-restart dialog and the texts of the command line.

#include <csignal>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/EvcInterface.hpp"
#include "Algos/MainStep.hpp"
#include "Algos/PhaseOne/PhaseOne.hpp"
#include "Algos/Step.hpp"
#include "Algos/SubproblemManager.hpp"
#include "Cache/CacheBase.hpp"
#include "Cache/CacheSet.hpp"
#include "Eval/Eval.hpp"
#include "Eval/EvalPoint.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/ArrayOfPoint.hpp"
#include "Output/OutputDirectToFile.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/AllParameters.hpp"
#include "Util/AllStopReasons.hpp"
#include "support/CacheSupport.hpp"
#include "support/EvcSupport.hpp"
#include "support/FrontEndSupport.hpp"
#include "support/MainStepSupport.hpp"
#include "support/TestSupport.hpp"

namespace
{

using namespace QARNO_4_0_0;
using QarnoTest::CerrCapture;
using QarnoTest::ChangeDir;
using QarnoTest::EvaluatingTestAlgorithm;
using QarnoTest::FunctionEvaluator;
using QarnoTest::linesOf;
using QarnoTest::makeMainStepParameters;
using QarnoTest::messageOf;
using QarnoTest::ProcessStateGuard;
using QarnoTest::readTextFile;
using QarnoTest::StreamCapture;
using QarnoTest::TempDir;
using QarnoTest::TestMainStep;
using QarnoTest::writeTextFile;

/// f = x0 + x1 and every constraint x0 - 10, so that moving down improves.
std::shared_ptr<FunctionEvaluator> sumEvaluator(const std::string& bbOutputType)
{
    const BBOutputTypeList types = stringToBBOutputTypeList(bbOutputType);
    const size_t nbCons = types.size() - 1;
    return std::make_shared<FunctionEvaluator>(types,
                                               [nbCons](const EvalPoint& x)
                                               {
                                                   std::string line = (x[0] + x[1]).tostring();
                                                   for (size_t i = 0; i < nbCons; ++i)
                                                   {
                                                       line += " " + (x[0] - 10).tostring();
                                                   }
                                                   return line;
                                               });
}

std::unique_ptr<TestMainStep> makeMainStep(const std::shared_ptr<AllParameters>& params,
                                           const std::string& bbOutputType)
{
    auto mainStep = std::make_unique<TestMainStep>();
    mainStep->setAllParameters(params);
    mainStep->setEvaluator(sumEvaluator(bbOutputType));
    return mainStep;
}

/// start, run, end; standard output is caught and returned.
std::string runAll(MainStep& mainStep)
{
    StreamCapture out(std::cout);
    mainStep.start();
    mainStep.run();
    mainStep.end();
    OutputQueue::getInstance()->flush();
    return out.text();
}

bool contains(const std::string& text, const std::string& part)
{
    return std::string::npos != text.find(part);
}

TEST(MainStep, GivenParameterSetsAreTheOnesUsed)
{
    ProcessStateGuard guard;
    const auto params = std::make_shared<AllParameters>();
    MainStep built(params);
    MainStep replaced;
    replaced.setAllParameters(params);
    for (const MainStep* step : {&built, &replaced})
    {
        SCOPED_TRACE(step == &built ? "given to the constructor" : "set afterwards");
        EXPECT_EQ(params, step->getAllParameters());
        EXPECT_EQ(params->get_run_params(), step->getRunParams());
        EXPECT_EQ(params->get_pb_params(), step->getPbParams());
        EXPECT_EQ("Main", step->getName());
    }
}

TEST(MainStep, ProblemDirComesFromTheParameterFileName)
{
    ProcessStateGuard guard;
    TempDir dir;
    const std::string paramText = "DIMENSION 2\nX0 ( 1 2 )\nBB_OUTPUT_TYPE OBJ\n";
    writeTextFile(dir.file("param.txt"), paramText);
    const std::string subDir = dir.file("pb1");
    ASSERT_EQ(0, ::mkdir(subDir.c_str(), 0700));
    writeTextFile(subDir + "/p.txt", paramText);

    ChangeDir inDir(dir.path());
    const struct
    {
        std::string fileName;
        std::string problemDir;
    } cases[] = {
        {"param.txt", "./"},
        {"pb1/p.txt", "pb1/"},
        {subDir + "/p.txt", subDir + "/"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.fileName);
        ProcessStateGuard perCase;
        TestMainStep mainStep;
        mainStep.setParamFileName(c.fileName);
        mainStep.setEvaluator(sumEvaluator("OBJ"));
        mainStep.start();
        EXPECT_EQ(c.problemDir,
                  mainStep.getAllParameters()->getAttributeValue<std::string>("PROBLEM_DIR"));
        EXPECT_EQ(2u, mainStep.getAllParameters()->getAttributeValue<size_t>("DIMENSION"));
    }
}

TEST(MainStep, AlgorithmChoiceTable)
{
    const std::string lhText = "Opportunistic evaluation is disabled for LH when ran as a single "
                               "algorithm.";
    const std::string nmText = "Opportunistic evaluation is disabled for NM when ran as a single "
                               "algorithm.";
    const struct
    {
        std::string name;
        std::string bbOutputType;
        std::vector<std::string> lines;
        std::vector<AlgoKind> kinds;
        std::string message;
        bool opportunistic;
        bool ownPbParams;
        bool queueOpportunisticAfter;
    } cases[] = {
        {"LH", "OBJ", {"LH_EVAL 5"}, {AlgoKind::LH}, lhText, false, true, true},
        {"NM", "OBJ", {"NM_OPTIMIZATION yes"}, {AlgoKind::NM}, nmText, false, true, true},
        {"NM not opportunistic",
         "OBJ",
         {"NM_OPTIMIZATION yes", "OPPORTUNISTIC_EVAL no"},
         {AlgoKind::NM},
         "",
         false,
         true,
         false},
        {"SSD-MADS",
         "OBJ",
         {"SSD_MADS_OPTIMIZATION yes"},
         {AlgoKind::SSD_MADS},
         "",
         true,
         false,
         true},
        {"MADS", "OBJ PB", {}, {AlgoKind::MADS}, "", true, true, true},
        {"phase one", "OBJ EB", {}, {AlgoKind::PHASE_ONE, AlgoKind::MADS}, "", true, false, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard guard;
        auto lines = c.lines;
        lines.push_back("DISPLAY_DEGREE 3");
        auto params = makeMainStepParameters(c.bbOutputType, {1, 2}, lines);
        auto mainStep = makeMainStep(params, c.bbOutputType);
        {
            StreamCapture out(std::cout);
            mainStep->start();
            OutputQueue::getInstance()->flush();
            EXPECT_EQ(c.message == lhText, contains(out.text(), lhText));
            EXPECT_EQ(c.message == nmText, contains(out.text(), nmText));
        }
        EXPECT_EQ(c.kinds, mainStep->kindsCreated);
        ASSERT_EQ(c.kinds.size(), mainStep->getAlgos().size());

        // The run's parameters and the queue that evaluates agree.
        EXPECT_EQ(c.opportunistic, params->getAttributeValue<bool>("OPPORTUNISTIC_EVAL"));
        const auto& evc = EvcInterface::getEvaluatorControl();
        ASSERT_NE(nullptr, evc);
        EXPECT_EQ(c.opportunistic, evc->getOpportunisticEval(-1));

        // The first algorithm works on the run's own problem set or a copy.
        EXPECT_EQ(c.ownPbParams, mainStep->pbParamsGiven[0] == params->get_pb_params());
        if (2 == c.kinds.size())
        {
            EXPECT_FALSE(mainStep->getAlgos()[0]->getEndDisplay());
            EXPECT_TRUE(mainStep->getAlgos()[1]->getEndDisplay());
            EXPECT_EQ(params->get_pb_params(), mainStep->pbParamsGiven[1]);
            EXPECT_EQ(stringToBBOutputTypeList(c.bbOutputType), PhaseOne::_bboutputtypes);
        }

        // The queue serves the later runs of the process as it was.
        mainStep->end();
        EXPECT_EQ(c.queueOpportunisticAfter, evc->getOpportunisticEval(-1));
    }
}

TEST(MainStep, ModelMethodsAskedForAreNamedOnce)
{
    const struct
    {
        std::string name;
        std::vector<std::string> lines;
        std::string cerr;
    } cases[] = {
        {"quadratic-model algorithm",
         {"QUAD_MODEL_OPTIMIZATION yes"},
         "Warning: QUAD_MODEL_OPTIMIZATION is set, but this run uses MADS without the "
         "quadratic-model algorithm.\n"},
        // The sub-problems of SSD-MADS check copies of the run's parameters
        // again and again: still one message.
        {"both searches under SSD-MADS",
         {"QUAD_MODEL_SEARCH yes", "TESKORA_SEARCH yes", "SSD_MADS_OPTIMIZATION yes"},
         "Warning: QUAD_MODEL_SEARCH and TESKORA_SEARCH are set, but this run uses MADS without "
         "the "
         "quadratic-model search and the surrogate-model search.\n"},
        {"all three",
         {"QUAD_MODEL_OPTIMIZATION yes", "QUAD_MODEL_SEARCH yes", "TESKORA_SEARCH yes"},
         "Warning: QUAD_MODEL_OPTIMIZATION, QUAD_MODEL_SEARCH and TESKORA_SEARCH are set, but this "
         "run uses MADS without the quadratic-model algorithm, the quadratic-model search and the "
         "surrogate-model search.\n"},
        {"none", {}, ""},
        // Nelder-Mead alone has no search step to go without.
        {"Nelder-Mead", {"NM_OPTIMIZATION yes", "TESKORA_SEARCH yes"}, ""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard guard;
        auto lines = c.lines;
        lines.push_back("MAX_BB_EVAL 12");
        MainStep mainStep;
        mainStep.setAllParameters(makeMainStepParameters("OBJ", {1, 2}, lines));
        mainStep.setEvaluator(sumEvaluator("OBJ"));
        CerrCapture err;
        runAll(mainStep);
        EXPECT_EQ(c.cerr, err.text());
    }
}

TEST(MainStep, PhaseOneDependsOnOutputTypesAndCache)
{
    const struct
    {
        std::string name;
        std::string bbOutputType;
        std::string cachedOutput;
        std::vector<AlgoKind> kinds;
    } cases[] = {
        {"PB constraints, empty cache", "OBJ PB PB", "", {AlgoKind::MADS}},
        {"EB, empty cache", "OBJ EB", "", {AlgoKind::PHASE_ONE, AlgoKind::MADS}},
        {"EB, infeasible cache point", "OBJ EB", "3 1", {AlgoKind::PHASE_ONE, AlgoKind::MADS}},
        {"EB, feasible cache point", "OBJ EB", "3 -1", {AlgoKind::MADS}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard guard;
        TempDir dir;
        std::vector<std::string> lines;
        if (!c.cachedOutput.empty())
        {
            writeTextFile(dir.file("cache.txt"), "CACHE_HITS 0\nBB_OUTPUT_TYPE " + c.bbOutputType +
                                                     "\n( 5 5 ) EVAL_OK ( " + c.cachedOutput +
                                                     " )\n");
            lines.push_back("CACHE_FILE " + dir.file("cache.txt"));
        }
        auto mainStep =
            makeMainStep(makeMainStepParameters(c.bbOutputType, {1, 2}, lines), c.bbOutputType);
        mainStep->start();
        EXPECT_EQ(c.kinds, mainStep->kindsCreated);
    }
}

TEST(MainStep, X0FromTheCache)
{
    const std::string noPoint = "Cache did not find a best point to initialize X0";
    const struct
    {
        std::string name;
        std::vector<double> x0;
        std::string cache; // lines of points, "OBJ PB" outputs
        std::vector<std::string> expectedX0;
        std::string error;
    } cases[] = {
        {"complete X0 kept", {1, 2}, "( 0 0 ) EVAL_OK ( 0 -10 )\n", {"( 1 2 )"}, ""},
        {"empty cache, X0 stays undefined", {}, "", {}, ""},
        {"best feasible point",
         {},
         "( 0 0 ) EVAL_OK ( 0 -10 )\n( 4 4 ) EVAL_OK ( 8 -6 )\n",
         {"( 0 0 )"},
         ""},
        {"best infeasible point within H_MAX_0",
         {},
         "( 12 0 ) EVAL_OK ( 12 2 )\n( 13 0 ) EVAL_OK ( 13 3 )\n",
         {"( 12 0 )"},
         ""},
        {"infeasible points beyond H_MAX_0", {}, "( 40 0 ) EVAL_OK ( 40 30 )\n", {}, noPoint},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard guard;
        TempDir dir;
        std::vector<std::string> lines = {"H_MAX_0 10"};
        if (!c.cache.empty())
        {
            writeTextFile(dir.file("cache.txt"), "CACHE_HITS 0\nBB_OUTPUT_TYPE OBJ PB\n" + c.cache);
            lines.push_back("CACHE_FILE " + dir.file("cache.txt"));
        }
        auto params = makeMainStepParameters("OBJ PB", c.x0, lines);
        auto mainStep = makeMainStep(params, "OBJ PB");
        if (!c.error.empty())
        {
            EXPECT_EQ(c.error, messageOf([&] { mainStep->start(); }));
            continue;
        }
        mainStep->start();
        const auto& x0s = params->getAttributeValue<ArrayOfPoint>("X0");
        ASSERT_EQ(1u, x0s.size());
        if (c.expectedX0.empty())
        {
            EXPECT_TRUE(x0s[0].toBeDefined());
        }
        else
        {
            EXPECT_EQ(c.expectedX0[0], x0s[0].display());
        }
    }
}

TEST(MainStep, InstalledQueueIsKept)
{
    ProcessStateGuard guard;
    QarnoTest::EvcOptions options;
    options.opportunistic = true;
    // The queue's own budget: the run's parameters do not reach it.
    options.maxBbEval = 3;
    auto ownEvaluator = sumEvaluator("OBJ");
    auto evc = std::make_shared<EvaluatorControl>(QarnoTest::makeEvcGlobalParameters(options));
    evc->init(ownEvaluator, QarnoTest::makeEvcParameters(options));
    EvcInterface::setEvaluatorControl(evc);

    auto params = makeMainStepParameters("OBJ", {1, 2}, {"MAX_BB_EVAL 3"});
    auto mainStep = makeMainStep(params, "OBJ");
    runAll(*mainStep);

    EXPECT_EQ(evc, EvcInterface::getEvaluatorControl());
    // The caller's evaluator did the work; the main step's was never asked.
    EXPECT_EQ(3u, ownEvaluator->evaluatedPoints().size());
    EXPECT_TRUE(std::static_pointer_cast<FunctionEvaluator>(mainStep->getEvaluator())
                    ->evaluatedPoints()
                    .empty());
}

// An earlier run of the process may have ended by an interrupt or by an
// exception inside phase one: the flags, shared stop reasons, evaluation
// rules, solution-file switch and an empty cache's binding it left behind
// must not leak into the next run.
TEST(MainStep, StartsFromTheStateOfAFreshProcess)
{
    ProcessStateGuard guard;
    TempDir dir;
    writeTextFile(dir.file("cache.txt"),
                  "CACHE_HITS 0\nBB_OUTPUT_TYPE OBJ PB\n( 0 0 ) EVAL_OK ( 0 -10 )\n");

    // What the earlier run left.
    QarnoTest::startCache({BBOutputType::OBJ});
    Step::_userInterrupt = true;
    Step::_userTerminate = true;
    AllStopReasons::_baseStopReason.set(BaseStopType::CTRL_C);
    AllStopReasons::_evalGlobalStopReason.set(EvalGlobalStopType::MAX_BB_EVAL_REACHED);
    Eval::_computeH = Eval::computeHPB;
    OutputDirectToFile::getInstance()->_writeSolutionFile = false;

    auto params = makeMainStepParameters("OBJ PB", {1, 2}, {"CACHE_FILE " + dir.file("cache.txt")});
    auto mainStep = makeMainStep(params, "OBJ PB");
    mainStep->start();

    EXPECT_FALSE(Step::_userInterrupt);
    EXPECT_FALSE(Step::_userTerminate);
    EXPECT_FALSE(AllStopReasons::_baseStopReason.checkTerminate());
    EXPECT_FALSE(AllStopReasons::_evalGlobalStopReason.checkTerminate());
    EXPECT_TRUE(OutputDirectToFile::getInstance()->_writeSolutionFile);

    // An extreme-barrier violation counts as infinite again.
    Eval eval;
    eval.setBBO("1 5", {BBOutputType::OBJ, BBOutputType::EB}, true);
    EXPECT_EQ(INF, Eval::_computeH(eval, {BBOutputType::OBJ, BBOutputType::EB}).todouble());

    // The empty cache took this run's file and output types.
    EXPECT_EQ(1u, CacheBase::getInstance()->size());
    EXPECT_EQ((BBOutputTypeList{BBOutputType::OBJ, BBOutputType::PB}), CacheSet::_bbOutputType);
    EXPECT_EQ(dir.file("cache.txt"), CacheBase::getInstance()->getFileName());
}

TEST(MainStep, CacheHoldingPointsIsKept)
{
    ProcessStateGuard guard;
    TempDir dir;
    writeTextFile(dir.file("other.txt"),
                  "CACHE_HITS 0\nBB_OUTPUT_TYPE OBJ\n( 7 7 ) EVAL_OK ( 14 )\n"
                  "( 8 8 ) EVAL_OK ( 16 )\n");
    auto& cache = QarnoTest::startCache({BBOutputType::OBJ});
    cache.insert(QarnoTest::makeBBPoint({3, 3}, "6", {BBOutputType::OBJ}));

    auto params = makeMainStepParameters("OBJ", {1, 2}, {"CACHE_FILE " + dir.file("other.txt")});
    auto mainStep = makeMainStep(params, "OBJ");
    mainStep->start();
    EXPECT_EQ(1u, CacheBase::getInstance()->size());
    EXPECT_EQ("", CacheBase::getInstance()->getFileName());
}

TEST(MainStep, MainStatsFile)
{
    const struct
    {
        std::string name;
        size_t nbEval;
        std::string notCounted;
    } cases[] = {
        {"7 blackbox evaluations and 2 cache hits out of 9", 9, "0"},
        {"fewer evaluations than their parts", 5, "-4"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard guard;
        TempDir dir;
        const std::string file = dir.file("main_stats.txt");
        auto mainStep =
            makeMainStep(makeMainStepParameters("OBJ", {1, 2}, {"MAIN_STATS_FILE " + file}), "OBJ");
        mainStep->start();
        const auto& evc = EvcInterface::getEvaluatorControl();
        evc->setBbEval(7);
        CacheBase::_nbCacheHits.store(2);
        evc->setNbEval(c.nbEval);
        mainStep->displayDetailedStats();

        const auto lines = linesOf(readTextFile(file));
        ASSERT_EQ(16u, lines.size());
        EXPECT_EQ("", lines.front());
        EXPECT_EQ("", lines.back());
        const std::vector<std::string> labels = {
            "Total real time (s):",
            "Blackbox evaluations:",
            "Cache hits:",
            "Total number of evaluations:",
            "Blackbox evaluations that are not counted:",
            "Blackbox evaluations that are not ok:",
            "Blackbox feasible evaluations:",
            "Blackbox feasible success evaluations:",
            "Block evaluations:",
            "Total surrogate evaluations:",
            "PhaseOne success evaluations:",
            "Index of the best feasible evaluation:",
            "Index of the best infeasible evaluation:",
            "Index of evaluation block containing the best feasible solution:",
        };
        // The longest row is the last label with a one-digit value: every
        // value ends one blank after it.
        const size_t width = 1 + labels.back().size() + 1 + 1;
        for (size_t i = 0; i < labels.size(); ++i)
        {
            SCOPED_TRACE(labels[i]);
            const std::string& row = lines[i + 1];
            EXPECT_EQ(" " + labels[i], row.substr(0, labels[i].size() + 1));
            EXPECT_EQ(width, row.size());
        }
        EXPECT_EQ(" 7", lines[2].substr(lines[2].size() - 2));
        EXPECT_EQ(" 2", lines[3].substr(lines[3].size() - 2));
        EXPECT_EQ(" " + c.notCounted, lines[5].substr(lines[5].size() - c.notCounted.size() - 1));
    }
}

TEST(MainStep, MainStatsFileNotWrittenOrNotOpened)
{
    ProcessStateGuard guard;
    TempDir dir;
    ChangeDir inDir(dir.path());
    {
        auto mainStep =
            makeMainStep(makeMainStepParameters("OBJ", {1, 2}, {"MAX_BB_EVAL 1"}), "OBJ");
        runAll(*mainStep);
    }
    // The default "-" names no file.
    EXPECT_EQ("", readTextFile(dir.file("-")));

    ProcessStateGuard second;
    const std::string missing = dir.file("no/such/dir/stats.txt");
    auto mainStep = makeMainStep(
        makeMainStepParameters("OBJ", {1, 2}, {"MAX_BB_EVAL 1", "MAIN_STATS_FILE " + missing}),
        "OBJ");
    CerrCapture err;
    runAll(*mainStep);
    EXPECT_TRUE(contains(err.text(), "Warning: could not open main stats file " + missing + "\n"))
        << err.text();
}

TEST(MainStep, UsageAndVersionTexts)
{
    ProcessStateGuard guard;
    MainStep mainStep;
    const struct
    {
        const char* exeName;
        std::string shown;
    } cases[] = {
        {"/opt/tools/runner", "runner"},
        {"runner", "runner"},
        {"C:\\tools\\runner.exe", "runner.exe"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.exeName);
        StreamCapture out(std::cout);
        mainStep.displayUsage(c.exeName);
        OutputQueue::getInstance()->flush();
        const std::string& n = c.shown;
        EXPECT_EQ("Run QARNO      : " + n + " parameters_file\n" + "Info           : " + n +
                      " -i\n" + "Help           : " + n + " -h [keyword]\n" +
                      "Version        : " + n + " -v\n" + "Usage          : " + n + " -u\n\n\n",
                  out.text().substr(out.text().find("Run QARNO")));
    }
    StreamCapture out(std::cout);
    mainStep.displayVersion();
    OutputQueue::getInstance()->flush();
    EXPECT_TRUE(contains(out.text(), "Version 4.0.0 Beta 2 Release. Not using OpenMP. Not using "
                                     "TESKORA.\n"));
}

TEST(MainStep, InfoShowsTheNoticeFile)
{
    ProcessStateGuard guard;
    std::string notice;
    ASSERT_TRUE(readAllFile(notice, MainStep::noticeFileName()));
    EXPECT_TRUE(contains(notice, "4.0.0"));
    MainStep mainStep;
    StreamCapture out(std::cout);
    mainStep.displayInfo();
    OutputQueue::getInstance()->flush();
    EXPECT_TRUE(contains(out.text(), notice));
}

/// A run of the test algorithm from X0 ( 1 2 ): one evaluation for the
/// start, two per mega-iteration; a SIGINT after mega-iteration 0.
std::unique_ptr<TestMainStep> interruptedRun(const std::vector<std::string>& lines)
{
    auto allLines = lines;
    allLines.push_back("OPPORTUNISTIC_EVAL no");
    allLines.push_back("MAX_ITERATIONS 5");
    auto mainStep = makeMainStep(makeMainStepParameters("OBJ", {1, 2}, allLines), "OBJ");
    mainStep->afterMegaIteration = [](size_t k)
    {
        if (0 == k)
        {
            std::raise(SIGINT);
        }
    };
    return mainStep;
}

TEST(MainStep, HotRestartFromTheCallbackContinuesWithTheNewBudget)
{
    ProcessStateGuard guard;
    Step::addCallback(CallbackType::HOT_RESTART, [](std::vector<std::string>& paramLines)
                      { paramLines.push_back("MAX_BB_EVAL 200"); });
    auto mainStep = interruptedRun({"MAX_BB_EVAL 4", "HOT_RESTART_ON_USER_INTERRUPT yes"});
    const std::string out = runAll(*mainStep);

    EXPECT_TRUE(contains(out, "QARNO caught User interruption.\nPlease wait...\n")) << out;
    EXPECT_TRUE(contains(out, "Hot restart: read parameters update\n")) << out;
    EXPECT_FALSE(contains(out, "Enter a parameter file name,"));
    EXPECT_EQ(200u, mainStep->getAllParameters()->getAttributeValue<size_t>("MAX_BB_EVAL"));
    // Beyond the first budget of 4: 1 + 5 mega-iterations of 2.
    EXPECT_EQ(11u, EvcInterface::getEvaluatorControl()->getBbEval());
    EXPECT_FALSE(Step::_userInterrupt);
}

TEST(MainStep, InterruptWithoutHotRestartEndsTheRun)
{
    ProcessStateGuard guard;
    auto mainStep = interruptedRun({});
    const std::string out = runAll(*mainStep);

    EXPECT_TRUE(contains(out, "QARNO caught User interruption.\nPlease wait...\n")) << out;
    EXPECT_FALSE(contains(out, "Hot restart"));
    EXPECT_TRUE(Step::_userTerminate);
    EXPECT_EQ(BaseStopType::CTRL_C, AllStopReasons::_baseStopReason.get());
    EXPECT_EQ(3u, EvcInterface::getEvaluatorControl()->getBbEval());
}

/// Replaces the content of standard input for the life of the object.
class StdinFrom
{
public:
    explicit StdinFrom(const std::string& text) : _in(text), _previous(std::cin.rdbuf(_in.rdbuf()))
    {
    }
    ~StdinFrom()
    {
        std::cin.rdbuf(_previous);
        std::cin.clear();
    }

private:
    std::istringstream _in;
    std::streambuf* _previous;
};

TEST(MainStep, HotRestartDialogOnStandardInput)
{
    TempDir dir;
    writeTextFile(dir.file("update.txt"), "MAX_BB_EVAL 200\nMAX_ITERATIONS 3\n");
    const std::string prompt = "Hot restart\nEnter a parameter file name,\n"
                               "or enter parameter values, ending with CTRL-D.\n";
    const struct
    {
        std::string name;
        std::string input;
        std::string shown;
    } cases[] = {
        {"parameter lines", "MAX_BB_EVAL 200\n\nMAX_ITERATIONS 3", ""},
        {"parameter file", dir.file("update.txt") + "\n",
         "Reading parameter file: " + dir.file("update.txt") + "\n"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard guard;
        StdinFrom input(c.input);
        auto mainStep = interruptedRun({"MAX_BB_EVAL 4", "HOT_RESTART_ON_USER_INTERRUPT yes"});
        const std::string out = runAll(*mainStep);

        EXPECT_TRUE(contains(out, prompt + c.shown)) << out;
        const auto& params = mainStep->getAllParameters();
        EXPECT_EQ(200u, params->getAttributeValue<size_t>("MAX_BB_EVAL"));
        EXPECT_EQ(3u, params->getAttributeValue<size_t>("MAX_ITERATIONS"));
        // Mega-iterations 0, 1 and 2.
        EXPECT_EQ(7u, EvcInterface::getEvaluatorControl()->getBbEval());
    }
}

TEST(MainStep, RunResultAndATerminatingFirstAlgorithm)
{
    ProcessStateGuard guard;
    {
        // One algorithm: its run() result (it improved) is the run's.
        auto mainStep =
            makeMainStep(makeMainStepParameters("OBJ", {1, 2}, {"MAX_BB_EVAL 3"}), "OBJ");
        mainStep->start();
        EXPECT_TRUE(mainStep->run());
        mainStep->end();
    }

    ProcessStateGuard second;
    // Phase one uses the whole budget: MADS never starts.
    auto params =
        makeMainStepParameters("OBJ EB", {20, 2}, {"MAX_BB_EVAL 3", "OPPORTUNISTIC_EVAL no"});
    auto mainStep = makeMainStep(params, "OBJ EB");
    mainStep->start();
    ASSERT_EQ(2u, mainStep->getAlgos().size());
    auto phaseOne = std::dynamic_pointer_cast<EvaluatingTestAlgorithm>(mainStep->getAlgos()[0]);
    auto mads = std::dynamic_pointer_cast<EvaluatingTestAlgorithm>(mainStep->getAlgos()[1]);
    ASSERT_NE(nullptr, mads);
    mainStep->run();
    EXPECT_EQ(std::vector<size_t>{0}, phaseOne->megaIterationsRun);
    EXPECT_TRUE(mads->megaIterationsRun.empty());
    EXPECT_EQ(3u, EvcInterface::getEvaluatorControl()->getBbEval());
    mainStep->end();
    EXPECT_TRUE(mainStep->getAlgos().empty());
}

TEST(MainStep, ClearErrorsBeforeAnyAlgorithmRuns)
{
    ProcessStateGuard guard;
    {
        MainStep mainStep;
        mainStep.setAllParameters(nullptr);
        EXPECT_EQ("Using Library mode. Parameters must be set prior to running MainStep step.",
                  messageOf([&] { mainStep.start(); }));
    }
}

volatile std::sig_atomic_t embeddingCalls = 0;
void embeddingHandler(int)
{
    embeddingCalls = embeddingCalls + 1;
}

void (*currentSigintHandler())(int)
{
    struct sigaction current = {};
    sigaction(SIGINT, nullptr, &current);
    return current.sa_handler;
}

TEST(MainStep, SignalHandlersOnlyForTheRun)
{
    ProcessStateGuard guard;
    auto* previous = std::signal(SIGINT, embeddingHandler);
    {
        auto mainStep =
            makeMainStep(makeMainStepParameters("OBJ", {1, 2}, {"MAX_BB_EVAL 1"}), "OBJ");
        mainStep->start();
        EXPECT_EQ(&Step::userInterrupt, currentSigintHandler());
        mainStep->run();
        mainStep->end();
        EXPECT_EQ(&embeddingHandler, currentSigintHandler());
    }
    {
        // A start that fails: the handlers come back with the step's end.
        MainStep failing;
        failing.setParamFileName("/nonexistent/qarno/param.txt");
        failing.setEvaluator(sumEvaluator("OBJ"));
        EXPECT_NE("(no exception)", messageOf([&] { failing.start(); }));
    }
    EXPECT_EQ(&embeddingHandler, currentSigintHandler());
    std::signal(SIGINT, previous);
}

TEST(MainStep, ResetComponentsBetweenOptimization)
{
    ProcessStateGuard guard;
    auto mainStep = makeMainStep(makeMainStepParameters("OBJ", {1, 2}, {"MAX_BB_EVAL 3"}), "OBJ");
    mainStep->start();
    mainStep->run();
    ASSERT_LT(0u, CacheBase::getInstance()->size());
    ASSERT_LT(0u, SubproblemManager::size());

    {
        CerrCapture registryWarning;
        MainStep::resetComponentsBetweenOptimization();
    }
    EXPECT_EQ(0u, CacheBase::getInstance()->size());
    EXPECT_EQ(0u, SubproblemManager::size());
    EvalPoint point(Point(QarnoTest::makeArray({1, 1})));
    point.updateTag();
    EXPECT_EQ(1u, point.getTag());
}

} // namespace
