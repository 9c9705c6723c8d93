#ifndef QARNO_EVAL_EVALUATOR_HPP
#define QARNO_EVAL_EVALUATOR_HPP

#include <cstddef>
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
///
/// Bounds on the program: an output line longer than `MAX_OUTPUT_LINE`
/// bytes fails its point and is never held whole; output that goes on
/// 64 MiB beyond the lines of the block is not read further (the program
/// meets a closed pipe). With a time limit (`setTimeLimit`, MAX_TIME of the
/// run) the program runs in a process group of its own; when the limit
/// passes, the group is sent SIGTERM, then SIGKILL two seconds later, the
/// points of the block fail (EVAL_ERROR, counted) and the run's stop reason
/// becomes "Maximum allowed time reached". A termination signal received by
/// the run (SIGTERM, SIGHUP) ends the program the same way, with that signal.
/// Without a time limit the program shares the group of the run, and a
/// program that never ends stops the run.
class Evaluator
{
public:
    /// The longest output line read for a point, its line end not counted.
    static constexpr size_t MAX_OUTPUT_LINE = size_t(1) << 20;
    /// `setTimeLimit` value for no limit.
    static constexpr size_t NO_TIME_LIMIT = static_cast<size_t>(-1);

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

    /// The blackbox executable may run until `maxTime` seconds have passed
    /// since the start of the run (`Clock::reset`); `NO_TIME_LIMIT` (the
    /// default) for no limit. Process-wide: the main step sets MAX_TIME.
    static void setTimeLimit(size_t maxTime) { _timeLimit = maxTime; }
    static size_t getTimeLimit() { return _timeLimit; }

protected:
    std::shared_ptr<EvalParameters> _evalParams;
    mutable EvalXDefined _evalXDefined;
    EvalType _evalType;

    /// Temporary-file names, by thread number: the name that
    /// `initializeTmpFiles` gives until a block creates the file, then the
    /// name of the created file (that name and a unique suffix; created
    /// exclusively, mode 0600).
    static std::vector<std::string> _tmpFiles;

private:
    static size_t _timeLimit;
};

} // namespace QARNO_4_0_0

#endif
