#ifndef QARNO_ALGOS_PHASEONE_PHASEONE_HPP
#define QARNO_ALGOS_PHASEONE_PHASEONE_HPP

#include <memory>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/Algorithm.hpp"
#include "Type/BBOutputType.hpp"

namespace QARNO_4_0_0
{

class EvalPoint;
class Mads;

/// The algorithm that looks for a feasible point before the optimisation
/// proper; the points evaluated below it are marked as phase-one points.
///
/// Between its start and its end four process-wide rules are replaced: the
/// queue's success rule and `Eval::_computeSuccessType` judge on h alone,
/// `Eval::_computeH` counts EB constraints like PB ones (a finite h for
/// points that violate them), and the solution file is not written. A child
/// MADS with STOP_IF_FEASIBLE minimises h under those rules.
///
///     PhaseOne::_bboutputtypes = bbOutputTypes;
///     auto p1 = std::make_shared<PhaseOne>(mainStep,
///     std::make_shared<AlgoStopReasons<PhaseOneStopType>>(),
///                                          runParams, pbParamsCopy);
///     p1->start(); p1->run(); p1->end();
///
/// The default rules come back on every way out, an exception included, so
/// that nothing later in the process computes h or success with the
/// phase-one rules; the h of every cached point is then computed again.
class PhaseOne : public Algorithm
{
public:
    /// The output types of the run, set by the main step before phase one
    /// is built: h of the cache's points is recomputed with them. Empty at
    /// load and after `resetProcessState`.
    static BBOutputTypeList _bboutputtypes;

    /// The algorithm's construction, then `init()`.
    PhaseOne(const Step* parentStep, std::shared_ptr<AllStopReasons> stopReasons,
             const std::shared_ptr<RunParameters>& runParams,
             const std::shared_ptr<PbParameters>& pbParams);
    /// Puts the default rules back when an end never came.
    ~PhaseOne() override;

    /// Names the step "Phase One"; a phase one needs a parent.
    void init();

    /// Phase one reads no hot-restart information.
    void readInformationForHotRestart() override {}

    /// Callbacks for the cache: h of the point's blackbox evaluation
    /// recomputed with EB counted as PB, respectively with the default rule.
    /// Points without a blackbox output keep their h.
    static void recomputeHPB(EvalPoint& point);
    static void recomputeH(EvalPoint& point);

    const std::shared_ptr<Mads>& getMads() const { return _mads; }
    const std::shared_ptr<AlgoStopReasons<MadsStopType>>& getMadsStopReasons() const
    {
        return _madsStopReasons;
    }

protected:
    void startImp() override;
    bool runImp() override;
    /// Puts the default rules back and writes the solution or sets the stop
    /// reason; when the run stops here, also the termination, the reports
    /// and the cache and hot-restart files of the run.
    void endImp() override;

    /// The child MADS's incumbents.
    std::shared_ptr<Barrier> ownMegaIterationBarrier() const override;

private:
    void installRules();
    /// The default rules back and h of the cache recomputed with them; does
    /// nothing when the phase-one rules are not in force.
    void restoreRules();
    /// The same for the ways out by an exception: never throws, reports on
    /// standard error what could not be done.
    void restoreRulesNoThrow() noexcept;
    void writeSolutionOrStop();
    /// The end of a run that stops with phase one.
    void endRun();

    std::shared_ptr<Mads> _mads;
    std::shared_ptr<AlgoStopReasons<MadsStopType>> _madsStopReasons;
    bool _rulesInstalled = false;
    bool _commentPushed = false;
};

} // namespace QARNO_4_0_0

#endif
