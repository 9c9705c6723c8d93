#include "Algos/Algorithm.hpp"

#include <algorithm>
#include <cstdint>
#include <iostream>
#include <limits>
#include <utility>

#include "Algos/EvcInterface.hpp"
#include "Algos/Initialization.hpp"
#include "Algos/Mads/SearchMethodBase.hpp"
#include "Algos/MegaIteration.hpp"
#include "Algos/StepException.hpp"
#include "Algos/Subproblem.hpp"
#include "Algos/SubproblemManager.hpp"
#include "Algos/Termination.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/ArrayOfPoint.hpp"
#include "Math/RNG.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/AllStopReasons.hpp"
#include "Util/FileUtils.hpp"
#include "Util/StreamUtils.hpp"

namespace QARNO_4_0_0
{

namespace
{

/// Headings, their suffixes and the continuation lines of the solution
/// reports share this width, so that every point starts in the same column.
const size_t SOLUTION_COLUMN = 28;
/// At most this many points of a list are shown.
const size_t MAX_SOLUTIONS_SHOWN = 8;

std::string padded(std::string text, size_t width)
{
    if (text.size() < width)
    {
        text.append(width - text.size(), ' ');
    }
    return text;
}

/// The coordinates only, as a plain point: `display` is virtual, and an
/// evaluation point would show its tag and evaluation too.
Point coordinatesOf(const EvalPoint& point)
{
    return Point(point);
}

/// One report block of the solutions of one kind (`heading` is "Best
/// feasible solution" or "Best infeasible solution"; `kind` names them in
/// the total line).
OutputInfo solutionBlock(const std::string& originator, OutputLevel level,
                         const std::string& heading, const std::string& kind,
                         const std::vector<EvalPoint>& points)
{
    OutputInfo info(originator, "", level);
    const size_t n = points.size();
    if (0 == n)
    {
        info.addMsg(padded(heading + ":", SOLUTION_COLUMN) + "Undefined.");
        return info;
    }
    if (1 == n)
    {
        info.addMsgAndSol(padded(heading + ":", SOLUTION_COLUMN), coordinatesOf(points[0]));
        return info;
    }
    info.addMsgAndSol(padded(heading + "s:", SOLUTION_COLUMN), coordinatesOf(points[0]));
    const std::string continuation(SOLUTION_COLUMN, ' ');
    for (size_t i = 1; i < n && i < MAX_SOLUTIONS_SHOWN; ++i)
    {
        info.addMsgAndSol(continuation, coordinatesOf(points[i]));
    }
    if (n >= MAX_SOLUTIONS_SHOWN)
    {
        info.addMsg("... A total of " + itos(n) + " " + kind + " solutions were found.");
    }
    return info;
}

/// The process-wide evaluation queue, which the counters of a run live in.
const std::shared_ptr<EvaluatorControl>& requireEvaluatorControl(const Step* step)
{
    const auto& evc = EvcInterface::getEvaluatorControl();
    if (nullptr == evc)
    {
        QARNO_THROW(StepException,
                    "An EvaluatorControl must exist to run the algorithm " + step->getName(), step);
    }
    return evc;
}

} // namespace

// ---------------------------------------------------------------------------
// Construction
// ---------------------------------------------------------------------------

Algorithm::Algorithm(const Step* parentStep, std::shared_ptr<AllStopReasons> stopReasons,
                     const std::shared_ptr<RunParameters>& runParams,
                     const std::shared_ptr<PbParameters>& pbParams)
    : Step(parentStep, std::move(stopReasons), runParams, pbParams), _initialization(),
      _termination(), _megaIteration(), _algoComment(), _prevAlgoComment(),
      _forceAlgoComment(false), _endDisplay(true), _algoBestSuccess(SuccessType::NOT_EVALUATED),
      _algoSuccessful(false)
{
    init();
}

Algorithm::~Algorithm()
{
    // A registry emptied in the meantime (a new run's start, a reset of the
    // process state) no longer holds the entry: nothing to undo then, and a
    // destructor must not throw anyway.
    try
    {
        SubproblemManager::removeSubproblem(this);
    }
    catch (...)
    {
    }
}

void Algorithm::init()
{
    setName("AGenericAlgorithmHasNoName");
    verifyParentNotNull();
    if (nullptr == _runParams)
    {
        QARNO_THROW(StepException,
                    "A valid RunParameters must be provided to an Algorithm constructor.", this);
    }
    if (nullptr == _pbParams)
    {
        QARNO_THROW(StepException,
                    "A valid PbParameters must be provided to the Algorithm constructor.", this);
    }
    _pbParams->checkAndComply();

    _termination = std::make_unique<Termination>(this);

    // A sub-algorithm works inside the sub-space of the algorithm that runs
    // it: its fixed variables add to those already fixed there.
    const Point fixedVariable = isSubAlgo() ? SubproblemManager::getSubFixedVariable(_parentStep)
                                            : _pbParams->getAttributeValue<Point>("FIXED_VARIABLE");
    const Subproblem subproblem(_pbParams, fixedVariable);
    SubproblemManager::addSubproblem(this, subproblem);
    try
    {
        _pbParams = subproblem.getPbParams();
        _pbParams->checkAndComply();
    }
    catch (...)
    {
        // The destructor of a half-built object does not run.
        SubproblemManager::removeSubproblem(this);
        throw;
    }

    // The signal handlers are not installed here: the main step holds a
    // SignalHandlerGuard for the length of the run.
}

// ---------------------------------------------------------------------------
// Tree and termination
// ---------------------------------------------------------------------------

bool Algorithm::isSubAlgo() const
{
    for (const Step* s = _parentStep; nullptr != s; s = s->getParentStep())
    {
        if (s->isAnAlgorithm())
        {
            return true;
        }
    }
    return false;
}

bool Algorithm::terminate(size_t k)
{
    return _termination->terminate(k);
}

// ---------------------------------------------------------------------------
// Run loop
// ---------------------------------------------------------------------------

Algorithm::MegaIterationsOutcome
Algorithm::runMegaIterations(MegaIterationState& state, KAdvance kAdvance,
                             const MegaIterationFactory& makeMegaIteration,
                             const MegaIterationFollowUp& followUp, size_t maxMegaIterations)
{
    MegaIterationsOutcome outcome;
    while (outcome.nbMegaIterations < maxMegaIterations &&
           !(outcome.terminated = terminate(state.k)))
    {
        const std::unique_ptr<MegaIteration> megaIteration = makeMegaIteration(state);
        megaIteration->start();
        const bool runSuccess = megaIteration->run();
        megaIteration->end();
        ++outcome.nbMegaIterations;

        state.k =
            (KAdvance::NEXT_K == kAdvance) ? megaIteration->getNextK() : megaIteration->getK();
        state.barrier = megaIteration->getBarrier();
        state.success = megaIteration->getSuccessType();
        outcome.anyRunSuccess = outcome.anyRunSuccess || runSuccess;
        outcome.anyFullSuccess =
            outcome.anyFullSuccess || SuccessType::FULL_SUCCESS == state.success;
        outcome.bestSuccess = std::max(outcome.bestSuccess, state.success);
        if (followUp)
        {
            followUp(*megaIteration);
        }

        Step::handlePendingInterrupts();
        if (Step::_userInterrupt)
        {
            hotRestartOnUserInterrupt();
        }
    }
    return outcome;
}

std::shared_ptr<Barrier> Algorithm::startingBarrier() const
{
    std::shared_ptr<Barrier> barrier =
        (nullptr == _initialization) ? nullptr : _initialization->getBarrier();
    if (nullptr == barrier)
    {
        const Double hMax0 = _runParams->getAttributeValue<Double>("H_MAX_0");
        barrier = std::make_shared<Barrier>(hMax0, SubproblemManager::getSubFixedVariable(this),
                                            EvalType::BB, std::vector<EvalPoint>());
    }
    return barrier;
}

void Algorithm::runTermination()
{
    _termination->start();
    _termination->run();
    _termination->end();
}

std::shared_ptr<Barrier> Algorithm::ownMegaIterationBarrier() const
{
    if (nullptr != _megaIteration)
    {
        return _megaIteration->getBarrier();
    }
    // Before its first mega-iteration (or without one: a run that stops on
    // STOP_IF_FEASIBLE after phase one, or on a budget spent by its starting
    // points) the algorithm's incumbents are those of its initialization.
    return (nullptr == _initialization) ? nullptr : _initialization->getBarrier();
}

// ---------------------------------------------------------------------------
// Comment stack
// ---------------------------------------------------------------------------

std::string Algorithm::getAlgoComment() const
{
    const Algorithm* root = getRootAlgorithm();
    if (nullptr != root && root != this)
    {
        return root->getAlgoComment();
    }
    return _algoComment;
}

void Algorithm::setAlgoComment(const std::string& comment, bool force) const
{
    const Algorithm* root = getRootAlgorithm();
    if (nullptr != root && root != this)
    {
        root->setAlgoComment(comment, force);
        return;
    }
    if (!_forceAlgoComment)
    {
        // The empty comment of a fresh stack is not worth remembering.
        if (!_prevAlgoComment.empty() || !_algoComment.empty())
        {
            _prevAlgoComment.push_back(_algoComment);
        }
        _algoComment = comment;
    }
    if (force)
    {
        _forceAlgoComment = true;
    }
}

void Algorithm::resetPreviousAlgoComment(bool force) const
{
    const Algorithm* root = getRootAlgorithm();
    if (nullptr != root && root != this)
    {
        root->resetPreviousAlgoComment(force);
        return;
    }
    if (_forceAlgoComment && !force)
    {
        return;
    }
    if (_prevAlgoComment.empty())
    {
        _algoComment.clear();
    }
    else
    {
        _algoComment = _prevAlgoComment.back();
        _prevAlgoComment.pop_back();
    }
    _forceAlgoComment = false;
}

void Algorithm::hotRestartOnUserInterrupt()
{
    hotRestartBeginHelper();
    hotRestartEndHelper();
}

// ---------------------------------------------------------------------------
// Life cycle
// ---------------------------------------------------------------------------

void Algorithm::startImp()
{
    // Through the virtual slot: a sub-algorithm pushes onto the root's stack.
    setAlgoComment("", false);
    _stopReasons->setStarted();
    _algoBestSuccess = SuccessType::NOT_EVALUATED;
    _algoSuccessful = false;

    const bool topAlgo = !isSubAlgo();
    if (topAlgo)
    {
        readInformationForHotRestart();
        // Throws when no cache was made.
        CacheBase::getInstance();
    }

    const auto& evc = requireEvaluatorControl(this);
    evc->resetLapBbEval();
    evc->setLapMaxBbEval(std::numeric_limits<size_t>::max());
    evc->resetSgteEval(-1);

    if (nullptr != _megaIteration)
    {
        // Continue from the points read back: they replace the starting
        // points, which are not evaluated again.
        const auto& barrier = _megaIteration->getBarrier();
        ArrayOfPoint x0s;
        if (nullptr != barrier)
        {
            for (const EvalPoint& evalPoint : barrier->getAllPoints())
            {
                x0s.push_back(Point(evalPoint));
            }
        }
        _pbParams->setAttributeValue("X0", std::move(x0s));
        _pbParams->checkAndComply();
        return;
    }

    if (topAlgo)
    {
        CacheBase::_nbCacheHits.store(0);
    }
    if (nullptr != _initialization)
    {
        _initialization->start();
        _initialization->run();
        _initialization->end();
    }
}

void Algorithm::endImp()
{
    if (_endDisplay)
    {
        displayBestSolutions();
        displayEvalCounts();
    }

    if (_algoSuccessful)
    {
        // An algorithm run as a search method reports its success to MADS
        // through the search method.
        const auto* search = dynamic_cast<const SearchMethodBase*>(_parentStep);
        if (nullptr != search)
        {
            const_cast<SearchMethodBase*>(search)->setSuccessType(_algoBestSuccess);
        }
    }

    const auto& evc = requireEvaluatorControl(this);
    evc->resetLapBbEval();
    evc->setLapMaxBbEval(std::numeric_limits<size_t>::max());

    if (!isSubAlgo())
    {
        saveInformationForHotRestart();
    }

    resetPreviousAlgoComment(false);
}

// ---------------------------------------------------------------------------
// Hot restart
// ---------------------------------------------------------------------------

void Algorithm::saveInformationForHotRestart() const
{
    const auto& cache = CacheBase::getInstance();
    if (!cache->getFileName().empty())
    {
        cache->write();
    }

    if (_runParams->getAttributeValue<bool>("HOT_RESTART_WRITE_FILES"))
    {
        std::cout << "Save information for hot restart." << std::endl;
        std::cout << "Write hot restart file." << std::endl;
        write<Algorithm>(*this, _runParams->getAttributeValue<std::string>("HOT_RESTART_FILE"));
    }
}

void Algorithm::read(std::istream& is)
{
    std::uint64_t nbEval = 0;
    std::uint64_t nbBbEval = 0;
    std::string token;
    while (readWord(is, token))
    {
        if ("MEGA_ITERATION" == token)
        {
            if (nullptr == _megaIteration)
            {
                std::cerr << "Error: Reading a MegaIteration onto a NULL pointer" << std::endl;
            }
            else
            {
                is >> *_megaIteration;
            }
        }
        else if ("NB_EVAL" == token)
        {
            if (!readUnsigned(is, nbEval))
            {
                break;
            }
        }
        else if ("NB_BB_EVAL" == token)
        {
            if (!readUnsigned(is, nbBbEval))
            {
                break;
            }
        }
        else if ("RNG" == token)
        {
            const std::uint64_t maxWord = std::numeric_limits<uint32_t>::max();
            std::uint64_t x = 0, y = 0, z = 0;
            if (!readUnsigned(is, x, maxWord) || !readUnsigned(is, y, maxWord) ||
                !readUnsigned(is, z, maxWord))
            {
                break;
            }
            // All three or none: a partial state would be no state of the
            // generator at all.
            RNG::_x = static_cast<uint32_t>(x);
            RNG::_y = static_cast<uint32_t>(y);
            RNG::_z = static_cast<uint32_t>(z);
        }
        else
        {
            putBackWord(is, token);
            break;
        }
    }

    // The evaluations counted include the cache hits of the cache file
    // written with the same run: fewer means a file of another run.
    const size_t cacheHits = CacheBase::_nbCacheHits.load();
    if (nbEval < cacheHits)
    {
        QARNO_THROW(Exception, "NB_EVAL " + itos(static_cast<size_t>(nbEval)) +
                                   " is smaller than the " + itos(cacheHits) +
                                   " cache hits of the cache file");
    }

    // Also after a failed read: the counters take what was read before.
    const auto& evc = requireEvaluatorControl(this);
    evc->setBbEval(static_cast<size_t>(nbBbEval));
    evc->setNbEval(static_cast<size_t>(nbEval));
}

void Algorithm::display(std::ostream& os) const
{
    const auto& evc = requireEvaluatorControl(this);
    // A run that ended before its first mega-iteration has none to save.
    if (nullptr != _megaIteration)
    {
        os << "MEGA_ITERATION " << std::endl;
        os << *_megaIteration;
        os << std::endl;
    }
    os << "NB_EVAL " << itos(evc->getNbEval()) << std::endl;
    os << "NB_BB_EVAL " << itos(evc->getBbEval()) << std::endl;
    os << "RNG " << itos(static_cast<size_t>(RNG::_x)) << " " << itos(static_cast<size_t>(RNG::_y))
       << " " << itos(static_cast<size_t>(RNG::_z)) << std::endl;
}

std::ostream& operator<<(std::ostream& os, const Algorithm& algo)
{
    algo.display(os);
    return os;
}

std::istream& operator>>(std::istream& is, Algorithm& algo)
{
    algo.read(is);
    return is;
}

// ---------------------------------------------------------------------------
// Reports
// ---------------------------------------------------------------------------

void Algorithm::displayBestSolutions() const
{
    const OutputLevel level = isSubAlgo() ? OutputLevel::LEVEL_INFO : OutputLevel::LEVEL_VERY_HIGH;
    if (!OutputQueue::getInstance()->goodLevel(level))
    {
        return;
    }
    const Point& fixedVariable = SubproblemManager::getSubFixedVariable(this);
    std::vector<EvalPoint> feasible;
    std::vector<EvalPoint> infeasible;
    const auto barrier = getMegaIterationBarrier();
    if (nullptr != barrier)
    {
        feasible = barrier->getAllXFeas();
        infeasible = barrier->getAllXInf();
    }
    convertPointListToFull(feasible, fixedVariable);
    convertPointListToFull(infeasible, fixedVariable);

    AddOutputInfo(solutionBlock(getName(), level, "Best feasible solution", "feasible", feasible));
    AddOutputInfo(
        solutionBlock(getName(), level, "Best infeasible solution", "infeasible", infeasible));
}

void Algorithm::displayEvalCounts() const
{
    const bool subAlgo = isSubAlgo();
    const OutputLevel levelA = subAlgo ? OutputLevel::LEVEL_INFO : OutputLevel::LEVEL_HIGH;
    const OutputLevel levelB = subAlgo ? OutputLevel::LEVEL_INFO : OutputLevel::LEVEL_NORMAL;
    const auto& queue = OutputQueue::getInstance();
    if (!queue->goodLevel(levelA) && !queue->goodLevel(levelB))
    {
        return;
    }

    const auto& evc = requireEvaluatorControl(this);
    const size_t bb = evc->getBbEval();
    const size_t lap = evc->getLapBbEval(-1);
    const size_t nb = evc->getNbEval();
    const size_t sg = evc->getSgteEval(-1);
    const size_t tsg = evc->getTotalSgteEval();
    const size_t hits = CacheBase::_nbCacheHits.load();
    // Signed, and wide enough for any count: more blackbox evaluations and
    // cache hits than evaluations means nothing is left uncounted.
    const long long notCounting =
        static_cast<long long>(nb) - static_cast<long long>(bb) - static_cast<long long>(hits);

    const bool showLap = subAlgo && 0 != lap && lap < bb;
    size_t width = 0;
    if (showLap)
    {
        width = 39;
    }
    else if (notCounting > 0)
    {
        width = 36;
    }
    else if (nb > bb)
    {
        width = 29;
    }

    auto line = [&](OutputLevel level, const std::string& label, const std::string& value)
    {
        if (queue->goodLevel(level))
        {
            AddOutputInfo(padded(label, width) + value, level);
        }
    };

    if (queue->goodLevel(levelA))
    {
        AddOutputInfo("", levelA);
    }
    line(levelA, "Blackbox evaluations: ", itos(bb));
    if (showLap)
    {
        line(levelB, "Sub-optimization blackbox evaluations: ", itos(lap));
    }
    if (notCounting > 0)
    {
        line(levelB,
             "Blackbox evaluation (not counting): ", itos(static_cast<size_t>(notCounting)));
    }
    if (subAlgo && 0 != sg)
    {
        line(levelB, "Sgte evaluations: ", itos(sg));
    }
    if (0 != tsg)
    {
        line(levelB, "Total sgte evaluations: ", itos(tsg));
    }
    if (0 != hits)
    {
        line(levelB, "Cache hits: ", itos(hits));
    }
    if (nb > bb)
    {
        line(levelB, "Total number of evaluations: ", itos(nb));
    }
}

} // namespace QARNO_4_0_0
