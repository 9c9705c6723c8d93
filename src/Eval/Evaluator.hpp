#ifndef QARNO_EVAL_EVALUATOR_HPP
#define QARNO_EVAL_EVALUATOR_HPP

#include <memory>
#include <string>
#include <vector>

#include "Eval/EvalPoint.hpp"
#include "Math/Double.hpp"
#include "Type/EvalType.hpp"

namespace QARNO_4_0_0
{

class EvalParameters;

/// How an evaluator evaluates: still undecided, point by point with
/// `eval_x`, or in blocks with the blackbox executable.
enum class EvalXDefined : int
{
    UNDEFINED = 0,
    EVAL_X_DEFINED = 1,
    USE_BB_EXE = 2
};

/// Turns points into outputs.
///
/// The evaluation queue hands it blocks of points whose evaluation of the
/// evaluator's type is EVAL_IN_PROGRESS; the evaluator stores each point's
/// raw output with `EvalPoint::setBBO` and answers, per point, whether the
/// evaluation ran and whether it counts toward the budgets. The queue then
/// decides the final statuses.
///
/// The base class evaluates with the blackbox executable BB_EXE: one run of
/// the program per block, given a temporary file of points (one line of
/// blank-separated coordinates per point), printing one output line per
/// point; an exit status other than 0 fails the whole block. Subclasses
/// replace `eval_block` (the Python callback) or `eval_x` (point by point).
class Evaluator
{
public:
    Evaluator(const std::shared_ptr<EvalParameters>& evalParams, EvalType evalType = EvalType::BB,
              EvalXDefined evalXDefined = EvalXDefined::EVAL_X_DEFINED);
    virtual ~Evaluator();

    /// Evaluates one point in place; sets countEval; returns evalOk.
    virtual bool eval_x(EvalPoint& x, const Double& hMax, bool& countEval) const;

    /// Evaluates a block of points in place; countEval gets one entry per
    /// point; returns evalOk per point.
    virtual std::vector<bool> eval_block(std::vector<std::shared_ptr<EvalPoint>>& block,
                                         const Double& hMax, std::vector<bool>& countEval) const;

    /// The blackbox-executable protocol for a block.
    virtual std::vector<bool> evalXBBExe(std::vector<std::shared_ptr<EvalPoint>>& block,
                                         const Double& hMax, std::vector<bool>& countEval) const;

    const std::shared_ptr<EvalParameters>& getEvalParams() const { return _evalParams; }
    EvalType getEvalType() const { return _evalType; }
    EvalXDefined getEvalXDefined() const { return _evalXDefined; }

    /// Names the temporary file of each thread in `tmpDir` (the files are
    /// created when a block is evaluated).
    static void initializeTmpFiles(const std::string& tmpDir);
    /// Removes the temporary files and forgets their names.
    static void removeTmpFiles();

protected:
    std::shared_ptr<EvalParameters> _evalParams;
    mutable EvalXDefined _evalXDefined;
    EvalType _evalType;

    /// Temporary-file names, by thread number: the name that
    /// `initializeTmpFiles` gives until a block creates the file, then the
    /// name of the created file (that name and a unique suffix; created
    /// exclusively, mode 0600).
    static std::vector<std::string> _tmpFiles;
};

} // namespace QARNO_4_0_0

#endif
