#include "Algos/PhaseOne/PhaseOne.hpp"

#include <exception>
#include <iostream>
#include <vector>

#include "Algos/CacheInterface.hpp"
#include "Algos/EvcInterface.hpp"
#include "Algos/Mads/Mads.hpp"
#include "Algos/Termination.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/ComputeSuccessType.hpp"
#include "Eval/Eval.hpp"
#include "Eval/EvalPoint.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Output/OutputDirectToFile.hpp"
#include "Output/StatsInfo.hpp"
#include "Param/PbParameters.hpp"
#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

BBOutputTypeList PhaseOne::_bboutputtypes;

PhaseOne::PhaseOne(const Step* parentStep, std::shared_ptr<AllStopReasons> stopReasons,
                   const std::shared_ptr<RunParameters>& runParams,
                   const std::shared_ptr<PbParameters>& pbParams)
    : Algorithm(parentStep, std::move(stopReasons), runParams, pbParams)
{
    init();
}

PhaseOne::~PhaseOne()
{
    // A phase one dropped between its start and its end (an exception went
    // past the main step) must not leave its rules to the rest of the process.
    restoreRulesNoThrow();
    // The child goes before its stop reasons' owner drops them.
    _madsStopReasons.reset();
    _mads.reset();
}

void PhaseOne::init()
{
    setName("Phase One");
    verifyParentNotNull();
}

void PhaseOne::startImp()
{
    try
    {
        installRules();

        // Only this copy of the problem parameters changes: the main MADS
        // keeps the user's value.
        _pbParams->setAttributeValue("STOP_IF_FEASIBLE", true);
        _pbParams->checkAndComply();

        _madsStopReasons = std::make_shared<AlgoStopReasons<MadsStopType>>();
        _mads = std::make_shared<Mads>(this, _madsStopReasons, _runParams, _pbParams);
    }
    catch (...)
    {
        restoreRulesNoThrow();
        throw;
    }
}

bool PhaseOne::runImp()
{
    try
    {
        _mads->start();
        const bool successful = _mads->run();
        _mads->end();
        return successful;
    }
    catch (...)
    {
        // The main step does not reach our end after an exception.
        restoreRulesNoThrow();
        throw;
    }
}

void PhaseOne::endImp()
{
    try
    {
        const auto& evc = EvcInterface::getEvaluatorControl();
        if (nullptr != evc)
        {
            evc->restart();
        }
        restoreRules();
        writeSolutionOrStop();
        if (_stopReasons->checkTerminate())
        {
            endRun();
        }
    }
    catch (...)
    {
        restoreRulesNoThrow();
        throw;
    }
}

void PhaseOne::endRun()
{
    // The main MADS, which reports and saves at its end, will not run: a
    // phase one that fails, spends the budget or is interrupted ends the
    // whole run, and the evaluations it made must not be lost.
    _termination->start();
    _termination->run();
    _termination->end();
    displayBestSolutions();
    displayEvalCounts();
    saveInformationForHotRestart();
}

std::shared_ptr<Barrier> PhaseOne::ownMegaIterationBarrier() const
{
    // Phase one has no mega-iteration of its own: its incumbents are its
    // child's.
    return (nullptr == _mads) ? nullptr : _mads->getMegaIterationBarrier();
}

void PhaseOne::installRules()
{
    // Marked first: a failure half way puts back what was changed so far
    // (the defaults are written back whole).
    _rulesInstalled = true;

    const auto& evc = EvcInterface::getEvaluatorControl();
    if (nullptr != evc)
    {
        evc->setComputeSuccessTypeFunction(ComputeSuccessType::computeSuccessTypePhaseOne);
    }
    Eval::_computeSuccessType = Eval::computeSuccessTypePhaseOne;
    Eval::_computeH = Eval::computeHPB;

    // Points that violate an EB constraint get a finite h under the new rule.
    CacheBase::getInstance()->processOnAllPoints(PhaseOne::recomputeHPB);

    // Improving infeasible points must not reach the solution file.
    OutputDirectToFile::getInstance()->_writeSolutionFile = false;

    // Forced, so that the child's steps do not replace it.
    setAlgoComment("(Phase One)", true);
    _commentPushed = true;
}

void PhaseOne::restoreRules()
{
    if (!_rulesInstalled)
    {
        return;
    }
    _rulesInstalled = false;

    if (_commentPushed)
    {
        _commentPushed = false;
        resetPreviousAlgoComment(true);
    }
    OutputDirectToFile::getInstance()->_writeSolutionFile = true;
    const auto& evc = EvcInterface::getEvaluatorControl();
    if (nullptr != evc)
    {
        evc->setComputeSuccessTypeFunction(ComputeSuccessType::defaultComputeSuccessType);
    }
    Eval::_computeSuccessType = Eval::defaultComputeSuccessType;
    Eval::_computeH = Eval::defaultComputeH;

    // A violated EB constraint gives h = INF again.
    CacheBase::getInstance()->processOnAllPoints(PhaseOne::recomputeH);
}

void PhaseOne::restoreRulesNoThrow() noexcept
{
    if (!_rulesInstalled)
    {
        return;
    }
    try
    {
        restoreRules();
        return;
    }
    catch (const std::exception& e)
    {
        std::cerr << "Warning: Phase One could not put the default rules back: " << e.what()
                  << std::endl;
    }
    catch (...)
    {
        std::cerr << "Warning: Phase One could not put the default rules back" << std::endl;
    }
    // Whatever failed above, the rules themselves go back: assigning them
    // cannot throw.
    _rulesInstalled = false;
    Eval::_computeSuccessType = Eval::defaultComputeSuccessType;
    Eval::_computeH = Eval::defaultComputeH;
    try
    {
        const auto& evc = EvcInterface::getEvaluatorControl();
        if (nullptr != evc)
        {
            evc->setComputeSuccessTypeFunction(ComputeSuccessType::defaultComputeSuccessType);
        }
        if (OutputDirectToFile::hasInstance())
        {
            OutputDirectToFile::getInstance()->_writeSolutionFile = true;
        }
    }
    catch (...)
    {
        std::cerr << "Warning: Phase One could not put the default success rule back on the queue"
                  << std::endl;
    }
}

void PhaseOne::writeSolutionOrStop()
{
    bool hasFeas = CacheBase::getInstance()->hasFeas(EvalType::BB);
    if (!hasFeas && nullptr != _mads)
    {
        const auto barrier = _mads->getMegaIterationBarrier();
        hasFeas = (nullptr != barrier && nullptr != barrier->getFirstXFeas());
    }

    if (hasFeas)
    {
        CacheInterface cacheInterface(this);
        std::vector<EvalPoint> best;
        if (cacheInterface.findBestFeas(best, EvalType::BB, nullptr) > 0)
        {
            StatsInfo stats;
            stats.setBBO(best[0].getBBO(EvalType::BB));
            stats.setSol(best[0]);
            OutputDirectToFile::getInstance()->write(stats, true, false);
        }
        return;
    }

    auto stopReasons = AlgoStopReasons<PhaseOneStopType>::get(_stopReasons);
    if (nullptr != _madsStopReasons && _madsStopReasons->checkTerminate())
    {
        stopReasons->_algoStopReason.set(PhaseOneStopType::MADS_FAILED);
    }
    else
    {
        stopReasons->_algoStopReason.set(PhaseOneStopType::NO_FEASIBLE_POINT);
    }
}

void PhaseOne::recomputeHPB(EvalPoint& point)
{
    Eval* eval = point.getEval(EvalType::BB);
    if (nullptr == eval || eval->getBBO().empty())
    {
        return;
    }
    eval->setH(Eval::computeHPB(*eval, PhaseOne::_bboutputtypes));
}

void PhaseOne::recomputeH(EvalPoint& point)
{
    Eval* eval = point.getEval(EvalType::BB);
    if (nullptr == eval || eval->getBBO().empty())
    {
        return;
    }
    eval->setH(Eval::defaultComputeH(*eval, PhaseOne::_bboutputtypes));
}

} // namespace QARNO_4_0_0
