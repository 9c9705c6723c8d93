#include "Algos/MainStep.hpp"

#include <cstdint>
#include <fstream>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/Algorithm.hpp"
#include "Algos/EvcInterface.hpp"
#include "Algos/LatinHypercube/LH.hpp"
#include "Algos/Mads/Mads.hpp"
#include "Algos/NelderMead/NM.hpp"
#include "Algos/PhaseOne/PhaseOne.hpp"
#include "Algos/ProcessState.hpp"
#include "Algos/SSDMads/SSDMads.hpp"
#include "Algos/SubproblemManager.hpp"
#include "Cache/CacheBase.hpp"
#include "Cache/CacheSet.hpp"
#include "Eval/ComputeSuccessType.hpp"
#include "Eval/Eval.hpp"
#include "Eval/EvalPoint.hpp"
#include "Eval/Evaluator.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/ArrayOfPoint.hpp"
#include "Output/OutputDirectToFile.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/AllParameters.hpp"
#include "Param/CacheParameters.hpp"
#include "Param/DisplayParameters.hpp"
#include "Param/EvalParameters.hpp"
#include "Param/EvaluatorControlGlobalParameters.hpp"
#include "Param/EvaluatorControlParameters.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Type/BBOutputType.hpp"
#include "Util/AllStopReasons.hpp"
#include "Util/ArrayOfString.hpp"
#include "Util/Clock.hpp"
#include "Util/Exception.hpp"
#include "Util/TextConstants.hpp"
#include "Util/Utils.hpp"
#include "Util/WriteFailures.hpp"

namespace QARNO_4_0_0
{

namespace
{

#ifndef QARNO_NOTICE_FILE
#define QARNO_NOTICE_FILE ""
#endif
#ifndef QARNO_SOURCE_NOTICE_FILE
#define QARNO_SOURCE_NOTICE_FILE ""
#endif

/// "a", "a and b", "a, b and c".
std::string enumerate(const std::vector<std::string>& words)
{
    std::string text;
    for (size_t i = 0; i < words.size(); ++i)
    {
        text += (0 == i) ? "" : (i + 1 == words.size() ? " and " : ", ");
        text += words[i];
    }
    return text;
}

/// The model-based methods exist, but no run of the main step selects them:
/// a user who asks for one is told, once per run, that MADS runs without it.
void warnModelMethodsNotRun(const AllParameters& params)
{
    const std::pair<const char*, const char*> methods[] = {
        {"QUAD_MODEL_OPTIMIZATION", "the quadratic-model algorithm"},
        {"QUAD_MODEL_SEARCH", "the quadratic-model search"},
        {"TESKORA_SEARCH", "the surrogate-model search"},
    };
    std::vector<std::string> asked;
    std::vector<std::string> left;
    for (const auto& method : methods)
    {
        if (params.getAttributeValue<bool>(method.first))
        {
            asked.emplace_back(method.first);
            left.emplace_back(method.second);
        }
    }
    if (!asked.empty())
    {
        std::cerr << "Warning: " << enumerate(asked) << (1 == asked.size() ? " is" : " are")
                  << " set, but this run uses MADS without " << enumerate(left) << "." << std::endl;
    }
}
} // namespace

std::string algoKindToString(AlgoKind kind)
{
    switch (kind)
    {
    case AlgoKind::LH:
        return "LH";
    case AlgoKind::NM:
        return "NM";
    case AlgoKind::SSD_MADS:
        return "SSD-MADS";
    case AlgoKind::PHASE_ONE:
        return "PhaseOne";
    case AlgoKind::MADS:
        return "MADS";
    }
    return "Unknown algorithm";
}

// ---------------------------------------------------------------------------
// Construction
// ---------------------------------------------------------------------------

MainStep::MainStep()
    : Step(), _paramFileName(), _allParams(), _evaluator(), _algos(), _signalHandlers(),
      _queueOpportunisticEval()
{
    init(std::make_shared<AllParameters>());
}

MainStep::MainStep(const std::shared_ptr<AllParameters>& allParams)
    : Step(), _paramFileName(), _allParams(), _evaluator(), _algos(), _signalHandlers(),
      _queueOpportunisticEval()
{
    init(allParams);
}

MainStep::~MainStep()
{
    // The algorithms go first: their destruction unregisters their
    // sub-problems and may still write output.
    _algos.clear();
    restoreQueueOpportunisticEval();
    _signalHandlers.reset();
    // A run that ended on an exception gives its cache file up here.
    if (CacheBase::hasInstance())
    {
        CacheBase::getInstance()->unlockFile();
    }
}

void MainStep::init(const std::shared_ptr<AllParameters>& allParams)
{
    setAllParameters(allParams);
    setName("Main");
    Clock::reset();
}

void MainStep::setAllParameters(const std::shared_ptr<AllParameters>& allParams)
{
    _allParams = allParams;
    _runParams = (nullptr == allParams) ? nullptr : allParams->get_run_params();
    _pbParams = (nullptr == allParams) ? nullptr : allParams->get_pb_params();
}

// ---------------------------------------------------------------------------
// Start
// ---------------------------------------------------------------------------

void MainStep::startImp()
{
    // The handlers of the embedding program come back at the end of the run,
    // or with the destruction of this step after a failure. A step started
    // again first puts back the handlers it found the first time.
    _signalHandlers.reset();
    // Nothing an earlier run of the process left behind (an interrupt, an
    // exception in the middle of phase one) reaches this one; what the
    // caller set up for it (cache, queue, callbacks) stays.
    resetRunState();
    _signalHandlers = std::make_unique<SignalHandlerGuard>();

    if (nullptr == _allParams)
    {
        QARNO_THROW(Exception,
                    "Using Library mode. Parameters must be set prior to running MainStep "
                    "step.");
    }

    SubproblemManager::reset();

    const size_t lastSlash = _paramFileName.find_last_of('/');
    if (std::string::npos != lastSlash)
    {
        _allParams->setAttributeValue("PROBLEM_DIR", _paramFileName.substr(0, lastSlash + 1));
    }

    if (!_paramFileName.empty())
    {
        AddOutputInfo("Parameters file: " + _paramFileName);
        _allParams->read(_paramFileName, false, false);
    }

    _allParams->checkAndComply();
    // The checks hand SEED, EPSILON and the value texts to the value types,
    // but parameters checked before the start are not checked again: the
    // run's values are handed over here in any case.
    _allParams->get_run_params()->applyStaticParameters();
    Evaluator::setTimeLimit(_allParams->getAttributeValue<size_t>("MAX_TIME"));

    if (_allParams->getAttributeValue<int>("DISPLAY_DEGREE") > 8)
    {
        _allParams->display(std::cout, false);
    }

    const auto& displayParams = _allParams->get_display_params();
    OutputQueue::getInstance()->initParameters(displayParams);
    OutputDirectToFile::getInstance()->init(displayParams);

    createCache();
    updateX0sFromCache();
    setNumThreads();

    if (nullptr == _evaluator)
    {
        _evaluator = std::make_shared<Evaluator>(_allParams->get_eval_params(), EvalType::BB,
                                                 EvalXDefined::USE_BB_EXE);
    }

    if (nullptr == EvcInterface::getEvaluatorControl())
    {
        auto evcParams = std::make_shared<EvaluatorControlParameters>();
        evcParams->copyParameters(*_allParams->get_evc_params());
        evcParams->checkAndComply(nullptr);
        auto evc = std::make_shared<EvaluatorControl>(_allParams->get_evc_global_params());
        evc->init(_evaluator, evcParams);
        EvcInterface::setEvaluatorControl(evc);
    }

    _algos.clear();
    chooseAlgorithms();
}

void MainStep::createCache() const
{
    CacheSet::bindToRun(_allParams->get_cache_params(),
                        _allParams->getAttributeValue<BBOutputTypeList>("BB_OUTPUT_TYPE"));
}

bool MainStep::detectPhaseOne() const
{
    if (CacheBase::getInstance()->hasFeas(EvalType::BB))
    {
        return false;
    }
    const auto& bbOutputType =
        _allParams->get_eval_params()->getAttributeValue<BBOutputTypeList>("BB_OUTPUT_TYPE");
    for (const auto& type : bbOutputType)
    {
        if (BBOutputType::EB == type)
        {
            return true;
        }
    }
    return false;
}

void MainStep::updateX0sFromCache() const
{
    const auto& pbParams = _allParams->get_pb_params();
    const ArrayOfPoint& x0s = pbParams->getAttributeValue<ArrayOfPoint>("X0");
    const auto& cache = CacheBase::getInstance();
    if ((!x0s.empty() && !x0s[0].toBeDefined()) || 0 == cache->size())
    {
        return;
    }

    const Point& fixedVariable = pbParams->getAttributeValue<Point>("FIXED_VARIABLE");
    std::vector<EvalPoint> found;
    cache->findBestFeas(found, fixedVariable, EvalType::BB, nullptr);
    if (found.empty())
    {
        const Double hMax0 = _allParams->getAttributeValue<Double>("H_MAX_0");
        cache->findBestInf(found, hMax0, fixedVariable, EvalType::BB, nullptr);
    }
    if (found.empty())
    {
        QARNO_THROW(Exception, "Cache did not find a best point to initialize X0");
    }

    ArrayOfPoint newX0s;
    newX0s.reserve(found.size());
    for (const auto& evalPoint : found)
    {
        newX0s.push_back(static_cast<const Point&>(evalPoint));
    }
    // Stored as a current value and checked again, as a value given by the
    // user would be.
    pbParams->setAttributeValue("X0", std::move(newX0s));
    pbParams->checkAndComply();
}

std::shared_ptr<PbParameters> MainStep::copyOfPbParams() const
{
    auto copy = std::make_shared<PbParameters>();
    // The run's own set has warned already.
    copy->_showMeshWarning = false;
    copy->copyParameters(*_pbParams);
    return copy;
}

void MainStep::disableOpportunisticEval(const std::string& algoName)
{
    if (_allParams->getAttributeValue<bool>("OPPORTUNISTIC_EVAL"))
    {
        AddOutputInfo("Opportunistic evaluation is disabled for " + algoName +
                      " when ran as a single algorithm.");
    }
    _allParams->setAttributeValue("OPPORTUNISTIC_EVAL", false);
    _allParams->checkAndComply();

    // The queue evaluates with its own copy of the evaluator-control
    // parameters, taken before this change: switch it off there too, or the
    // algorithm would stop at the first success of every block. The flag is
    // put back at the end, the queue serving the later runs of the process.
    const auto& evc = EvcInterface::getEvaluatorControl();
    if (nullptr != evc && evc->isMainThread(getThreadNum()))
    {
        const bool previous = evc->getOpportunisticEval(-1);
        if (previous)
        {
            if (!_queueOpportunisticEval.has_value())
            {
                _queueOpportunisticEval = previous;
            }
            evc->setOpportunisticEval(false);
        }
    }
}

void MainStep::restoreQueueOpportunisticEval() noexcept
{
    if (!_queueOpportunisticEval.has_value())
    {
        return;
    }
    const bool previous = *_queueOpportunisticEval;
    _queueOpportunisticEval.reset();
    try
    {
        const auto& evc = EvcInterface::getEvaluatorControl();
        if (nullptr != evc && evc->isMainThread(getThreadNum()))
        {
            evc->setOpportunisticEval(previous);
        }
    }
    catch (const std::exception& e)
    {
        std::cerr << "Warning: could not restore the opportunistic evaluation of the queue: "
                  << e.what() << std::endl;
    }
    catch (...)
    {
        std::cerr << "Warning: could not restore the opportunistic evaluation of the queue"
                  << std::endl;
    }
}

void MainStep::chooseAlgorithms()
{
    const auto lhEval = _allParams->getAttributeValue<size_t>("LH_EVAL");
    const bool nmOptimization = _allParams->getAttributeValue<bool>("NM_OPTIMIZATION");
    const bool ssdMadsOptimization = _allParams->getAttributeValue<bool>("SSD_MADS_OPTIMIZATION");

    if (lhEval > 0)
    {
        disableOpportunisticEval("LH");
        _algos.push_back(createAlgorithm(
            AlgoKind::LH, std::make_shared<AlgoStopReasons<LHStopType>>(), _pbParams));
    }
    else if (nmOptimization)
    {
        disableOpportunisticEval("NM");
        _algos.push_back(createAlgorithm(
            AlgoKind::NM, std::make_shared<AlgoStopReasons<NMStopType>>(), _pbParams));
    }
    else if (ssdMadsOptimization)
    {
        warnModelMethodsNotRun(*_allParams);
        _algos.push_back(createAlgorithm(AlgoKind::SSD_MADS,
                                         std::make_shared<AlgoStopReasons<MadsStopType>>(),
                                         copyOfPbParams()));
    }
    else
    {
        warnModelMethodsNotRun(*_allParams);
        if (detectPhaseOne())
        {
            // Phase one recomputes h of the cache's points with the run's
            // output types; set before it is built.
            PhaseOne::_bboutputtypes =
                _allParams->get_eval_params()->getAttributeValue<BBOutputTypeList>(
                    "BB_OUTPUT_TYPE");
            auto phaseOne = createAlgorithm(AlgoKind::PHASE_ONE,
                                            std::make_shared<AlgoStopReasons<PhaseOneStopType>>(),
                                            copyOfPbParams());
            phaseOne->setEndDisplay(false);
            _algos.push_back(std::move(phaseOne));
        }
        _algos.push_back(createAlgorithm(
            AlgoKind::MADS, std::make_shared<AlgoStopReasons<MadsStopType>>(), _pbParams));
    }
}

std::shared_ptr<Algorithm> MainStep::createAlgorithm(AlgoKind kind,
                                                     std::shared_ptr<AllStopReasons> stopReasons,
                                                     const std::shared_ptr<PbParameters>& pbParams)
{
    if (AlgoKind::LH == kind)
    {
        // The constructor builds the IterationUtils part before running
        // LH::init (name); the sample is drawn at start.
        return std::make_shared<LH>(this, std::move(stopReasons), _runParams, pbParams);
    }
    if (AlgoKind::MADS == kind)
    {
        // The constructor runs Mads::init (name, initialization step).
        return std::make_shared<Mads>(this, std::move(stopReasons), _runParams, pbParams);
    }
    if (AlgoKind::PHASE_ONE == kind)
    {
        // The constructor runs PhaseOne::init ("Phase One"); its child MADS
        // is made at its start.
        return std::make_shared<PhaseOne>(this, std::move(stopReasons), _runParams, pbParams);
    }
    if (AlgoKind::NM == kind)
    {
        // The constructor runs NM::init ("NM" or "NM One Iteration", its
        // initialization step).
        return std::make_shared<NM>(this, std::move(stopReasons), _runParams, pbParams);
    }
    if (AlgoKind::SSD_MADS == kind)
    {
        // The constructor runs SSDMads::init (name, initialization step).
        return std::make_shared<SSDMads>(this, std::move(stopReasons), _runParams, pbParams);
    }
    QARNO_THROW(Exception, "The algorithm " + algoKindToString(kind) +
                               " is not available in this build of QARNO");
}

// ---------------------------------------------------------------------------
// Run and end
// ---------------------------------------------------------------------------

bool MainStep::runImp()
{
    bool success = false;
    const auto& evc = EvcInterface::getEvaluatorControl();
    if (nullptr == evc)
    {
        QARNO_THROW(Exception, "MainStep: no evaluation queue. start() must run before run().");
    }
    evc->restart();

    for (const auto& algo : _algos)
    {
        algo->start();
        printNumThreads();
        evc->run();
        if (evc->isMainThread(getThreadNum()))
        {
            success = algo->run();
            evc->stop();
        }
        algo->end();

        if (algo->getAllStopReasons()->checkTerminate())
        {
            break;
        }
    }
    return success;
}

void MainStep::endImp()
{
    _algos.clear();
    restoreQueueOpportunisticEval();
    displayDetailedStats();
    _signalHandlers.reset();
    // The cache file is written: another run may take it.
    if (CacheBase::hasInstance())
    {
        CacheBase::getInstance()->unlockFile();
    }
}

void MainStep::displayDetailedStats() const
{
    if (nullptr == _allParams)
    {
        return;
    }
    const std::string& fileName =
        _allParams->get_display_params()->getAttributeValue<std::string>("MAIN_STATS_FILE");
    if (fileName.empty() || "-" == fileName)
    {
        return;
    }

    const auto& evc = EvcInterface::getEvaluatorControl();
    const auto counter = [&evc](size_t (EvaluatorControl::*get)() const) -> size_t
    { return (nullptr == evc) ? 0 : ((*evc).*get)(); };

    const size_t bbEval = counter(&EvaluatorControl::getBbEval);
    const size_t nbEval = counter(&EvaluatorControl::getNbEval);
    const size_t cacheHits = CacheBase::_nbCacheHits.load();
    // Written as a signed 32-bit value: a total below the sum shows as a
    // negative number.
    const auto notCounted =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(nbEval - bbEval - cacheHits));

    ArrayOfString labels;
    ArrayOfString values;
    const auto row = [&labels, &values](const std::string& label, const std::string& value)
    {
        labels.add(label);
        values.add(value);
    };
    row("Total real time (s):", itos(Clock::getRealTime()));
    row("Blackbox evaluations:", itos(bbEval));
    row("Cache hits:", itos(cacheHits));
    row("Total number of evaluations:", itos(nbEval));
    row("Blackbox evaluations that are not counted:", itos(static_cast<int>(notCounted)));
    row("Blackbox evaluations that are not ok:", itos(counter(&EvaluatorControl::getBbEvalNotOk)));
    row("Blackbox feasible evaluations:", itos(counter(&EvaluatorControl::getFeasBBEval)));
    row("Blackbox feasible success evaluations:",
        itos(counter(&EvaluatorControl::getNbRelativeSuccess)));
    row("Block evaluations:", itos(counter(&EvaluatorControl::getBlockEval)));
    row("Total surrogate evaluations:", itos(counter(&EvaluatorControl::getTotalSgteEval)));
    row("PhaseOne success evaluations:", itos(counter(&EvaluatorControl::getNbPhaseOneSuccess)));
    row("Index of the best feasible evaluation:",
        itos(counter(&EvaluatorControl::getIndexBestFeasEval)));
    row("Index of the best infeasible evaluation:",
        itos(counter(&EvaluatorControl::getIndexBestInfeasEval)));
    row("Index of evaluation block containing the best feasible solution:",
        itos(counter(&EvaluatorControl::getIndexSuccBlockEval)));

    const ArrayOfString combined = ArrayOfString::combineAndAddPadding(labels, values);

    std::ofstream out(fileName, std::ios::out | std::ios::trunc);
    if (!out.is_open())
    {
        std::cerr << "Warning: could not open main stats file " << fileName << std::endl;
        WriteFailures::record(fileName);
        return;
    }
    out << combined.display() << std::endl;
    out.close();
    if (!out)
    {
        std::cerr << "Warning: could not write main stats file " << fileName << std::endl;
        WriteFailures::record(fileName);
    }
}

// ---------------------------------------------------------------------------
// Hot restart
// ---------------------------------------------------------------------------

void MainStep::hotRestartOnUserInterrupt()
{
    hotRestartBeginHelper();

    if (!Step::_userTerminate && nullptr != _allParams)
    {
        // The dialog writes directly: what the queue holds comes first.
        OutputQueue::getInstance()->flush();
        std::cout << "Hot restart";
        std::vector<std::string> paramLines;
        Step::runCallback(CallbackType::HOT_RESTART, paramLines);

        if (paramLines.empty())
        {
            std::cout << std::endl;
            std::cout << "Enter a parameter file name," << std::endl;
            std::cout << "or enter parameter values, ending with CTRL-D." << std::endl;

            // An interrupt while the dialog waits is a second one: it ends
            // the run, as anywhere else.
            const auto readLine = [](std::string& text)
            {
                const bool ok = static_cast<bool>(std::getline(std::cin, text));
                Step::handlePendingInterrupts();
                return ok;
            };
            std::string line;
            if (readLine(line))
            {
                if (checkReadFile(line))
                {
                    std::cout << "Reading parameter file: " << line << std::endl;
                    _allParams->read(line, true, false);
                }
                else
                {
                    do
                    {
                        // A blank line holds no keyword: nothing to read.
                        if (std::string::npos != line.find_first_not_of(" \t\r"))
                        {
                            _allParams->readParamLine(line);
                        }
                    } while (!Step::_userTerminate && readLine(line));
                }
            }
        }
        else
        {
            std::cout << ": read parameters update" << std::endl;
            for (const auto& line : paramLines)
            {
                _allParams->readParamLine(line);
            }
        }

        _allParams->checkAndComply();
        Evaluator::setTimeLimit(_allParams->getAttributeValue<size_t>("MAX_TIME"));
        std::cin.clear();
    }

    hotRestartEndHelper();
}

// ---------------------------------------------------------------------------
// Texts for a command-line front end
// ---------------------------------------------------------------------------

void MainStep::displayHelp(const std::string& helpSubject, bool devHelp)
{
    _allParams->displayHelp(helpSubject, devHelp, std::cout);
}

void MainStep::displayUsage(const char* exeName) const
{
    std::string name = (nullptr == exeName) ? std::string() : std::string(exeName);
    size_t separator = name.find_last_of('\\');
    if (std::string::npos == separator)
    {
        separator = name.find_last_of('/');
    }
    if (std::string::npos != separator)
    {
        name = name.substr(separator + 1);
    }
    const std::string text = "Run QARNO      : " + name + " parameters_file\n" +
                             "Info           : " + name + " -i\n" + "Help           : " + name +
                             " -h [keyword]\n" + "Version        : " + name + " -v\n" +
                             "Usage          : " + name + " -u\n\n";
    OutputQueue::getInstance()->add(text, OutputLevel::LEVEL_ERROR);
}

void MainStep::displayVersion() const
{
    OutputQueue::getInstance()->add(std::string("Version ") + VERSION_TEXT + " Beta 2" +
                                        " Release." + " Not using OpenMP." + " Not using TESKORA.",
                                    OutputLevel::LEVEL_VERY_HIGH);
}

std::string MainStep::noticeFileName()
{
    // The installed copy first; a build that is not installed reads the
    // copy of its source tree.
    const std::string installed = QARNO_NOTICE_FILE;
    if (!installed.empty() && checkReadFile(installed))
    {
        return installed;
    }
    // A program installed elsewhere than the configured prefix (pip puts it
    // in the scripts folder of an environment) finds the copy installed
    // beside it.
    char exe[4096];
    const ssize_t length = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (length > 0)
    {
        const std::string program(exe, static_cast<size_t>(length));
        const size_t slash = program.find_last_of('/');
        if (std::string::npos != slash)
        {
            const std::string besideProgram = program.substr(0, slash) + "/../share/qarno/NOTICE";
            if (checkReadFile(besideProgram))
            {
                return besideProgram;
            }
        }
    }
    return QARNO_SOURCE_NOTICE_FILE;
}

void MainStep::displayInfo() const
{
    std::string text;
    if (readAllFile(text, noticeFileName()))
    {
        OutputQueue::getInstance()->add(text, OutputLevel::LEVEL_ERROR);
    }
}

// ---------------------------------------------------------------------------
// Between two optimisations
// ---------------------------------------------------------------------------

void MainStep::resetComponentsBetweenOptimization()
{
    resetRunState();
    // The points of the earlier optimisation go; the cache, its file and the
    // evaluation queue set up by the caller stay.
    if (CacheBase::hasInstance())
    {
        CacheBase::getInstance()->clear();
    }
    EvalPoint::resetCurrentTag();
}

} // namespace QARNO_4_0_0
