#ifndef QARNO_TESTS_SUPPORT_PHASEONESUPPORT_HPP
#define QARNO_TESTS_SUPPORT_PHASEONESUPPORT_HPP

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Param/AllParameters.hpp"
#include "support/EvcSupport.hpp"
#include "support/MadsSupport.hpp"

namespace QarnoTest
{

/// Which of the four process-wide rules are in their phase-one state.
struct PhaseOneRules
{
    /// `Eval::_computeH` gives a finite h to a violated EB constraint.
    bool hCountsEBAsPB = false;
    /// `Eval::_computeSuccessType` calls a feasible but worse point a success.
    bool evalSuccessOnHAlone = false;
    /// The same for the success rule of the queue's main thread (false
    /// without a queue).
    bool queueSuccessOnHAlone = false;
    /// The solution file is switched off (false without a writer).
    bool solutionFileOff = false;

    bool any() const
    {
        return hCountsEBAsPB || evalSuccessOnHAlone || queueSuccessOnHAlone || solutionFileOff;
    }
};

/// The state of the four rules now.
PhaseOneRules currentPhaseOneRules();

/// What the blackbox saw at one evaluation.
struct PhaseOneEvalRecord
{
    std::vector<double> x;
    /// Comment and phase-one mark of the queued point.
    std::string comment;
    bool inPhaseOne = false;
    /// The rules in force during the evaluation.
    PhaseOneRules rules;
    /// The solution file's content at that time ("" when missing).
    std::string solutionFile;
};

/// The half plane of the shared table ("halfplane"): f = x0 + x1 with the
/// constraint `constraint(x)` (the table's -1 - (x0 + x1) by default) under
/// "OBJ EB". Records every evaluation in
/// `records`; `solutionFile` is read at each one.
std::shared_ptr<FunctionEvaluator>
halfPlaneEB(std::vector<PhaseOneEvalRecord>& records, const std::string& solutionFile,
            const std::function<double(const std::vector<double>&)>& constraint = {});

/// What a main-step run left behind, and the rules right after its run
/// threw, before the main step's end.
struct PhaseOneRunResult : MadsRunResult
{
    PhaseOneRules rulesAfterError;
};

/// start, run and end of a main step over the evaluator; an exception from
/// the run is caught into `error` (the main step is still ended).
PhaseOneRunResult runPhaseOneMainStep(const std::shared_ptr<QARNO_4_0_0::AllParameters>& params,
                                      const std::shared_ptr<QARNO_4_0_0::Evaluator>& evaluator);

/// The content of a text file, "" when it cannot be read.
std::string fileContent(const std::string& fileName);

} // namespace QarnoTest

#endif
