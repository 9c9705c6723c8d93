#ifndef QARNO_TESTS_SUPPORT_EVCSUPPORT_HPP
#define QARNO_TESTS_SUPPORT_EVCSUPPORT_HPP

#include <cstddef>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "Eval/EvalPoint.hpp"
#include "Eval/EvalQueuePoint.hpp"
#include "Eval/Evaluator.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Param/DisplayParameters.hpp"
#include "Param/EvalParameters.hpp"
#include "Param/EvaluatorControlGlobalParameters.hpp"
#include "Param/EvaluatorControlParameters.hpp"
#include "Type/BBOutputType.hpp"
#include "Type/EvalType.hpp"

namespace QarnoTest
{

inline constexpr size_t NO_LIMIT = std::numeric_limits<size_t>::max();

/// The options of an evaluation queue that the tests vary; the rest keep
/// their defaults. Budgets of NO_LIMIT are not set.
struct EvcOptions
{
    size_t bbMaxBlockSize = 1;
    bool opportunistic = false;
    bool useCache = true;
    bool clearEvalQueue = false;
    bool randomEvalSort = false;
    size_t maxBbEval = NO_LIMIT;
    size_t maxEval = NO_LIMIT;
    size_t maxBlockEval = NO_LIMIT;
    size_t maxSgteEval = NO_LIMIT;
};

/// Checked global parameters with those options.
std::shared_ptr<QARNO_4_0_0::EvaluatorControlGlobalParameters>
makeEvcGlobalParameters(const EvcOptions& options);

/// Checked per-thread parameters with those options.
std::shared_ptr<QARNO_4_0_0::EvaluatorControlParameters>
makeEvcParameters(const EvcOptions& options);

/// Checked evaluation parameters with that BB_OUTPUT_TYPE.
std::shared_ptr<QARNO_4_0_0::EvalParameters>
makeEvalParameters(const QARNO_4_0_0::BBOutputTypeList& bbOutputType);

/// Checked display parameters of a problem of dimension n at that display
/// degree, with the STATS_FILE words (file name, then the columns) and the
/// history and solution files given (absolute names, or empty for none).
std::shared_ptr<QARNO_4_0_0::DisplayParameters>
makeDisplayParameters(size_t n, int displayDegree, const std::string& statsFile,
                      const std::string& historyFile = "", const std::string& solutionFile = "");

/// An evaluator of plain C++ functions, as a library user writes one: each
/// point of a block gets the output line `output(point)`, read under the
/// output types; `evalOk` and `countEval` decide the two answers per point
/// (both true when not set). Every block evaluated is recorded, as the
/// coordinates of its points in order, and so are the statuses the points
/// had when they arrived.
class FunctionEvaluator : public QARNO_4_0_0::Evaluator
{
public:
    using Output = std::function<std::string(const QARNO_4_0_0::EvalPoint&)>;
    using Predicate = std::function<bool(const QARNO_4_0_0::EvalPoint&)>;

    FunctionEvaluator(const QARNO_4_0_0::BBOutputTypeList& bbOutputType, Output output,
                      QARNO_4_0_0::EvalType evalType = QARNO_4_0_0::EvalType::BB);

    std::vector<bool> eval_block(std::vector<std::shared_ptr<QARNO_4_0_0::EvalPoint>>& block,
                                 const QARNO_4_0_0::Double& hMax,
                                 std::vector<bool>& countEval) const override;

    Predicate evalOk;
    Predicate countEval;
    /// Called before a block is evaluated; may throw.
    std::function<void(const std::vector<std::shared_ptr<QARNO_4_0_0::EvalPoint>>&)> beforeBlock;
    /// Points whose status is EVAL_WAIT are left alone (as an evaluator
    /// that sees another evaluation of them under way).
    bool skipWaiting = false;

    mutable std::vector<std::vector<std::vector<double>>> blocks;
    mutable std::vector<QARNO_4_0_0::EvalStatusType> statusesOnArrival;

    /// The points evaluated, in evaluation order.
    std::vector<std::vector<double>> evaluatedPoints() const;
    /// The sizes of the blocks, in order.
    std::vector<size_t> blockSizes() const;

private:
    QARNO_4_0_0::BBOutputTypeList _bbOutputType;
    Output _output;
};

/// The objective is the first coordinate: "x0" for every point.
FunctionEvaluator::Output firstCoordinateObjective();

/// A queue point of main thread 0 at those coordinates.
std::shared_ptr<QARNO_4_0_0::EvalQueuePoint>
makeQueuePoint(const std::vector<double>& coords,
               QARNO_4_0_0::EvalType evalType = QARNO_4_0_0::EvalType::BB);

/// Hands the point to the queue as a step does: with the thread's USE_CACHE
/// the cache is asked first (a point it does not need evaluated is not
/// queued); without it the point gets a tag. The answer is whether the point
/// is queued.
bool queuePoint(QARNO_4_0_0::EvaluatorControl& evc,
                const std::shared_ptr<QARNO_4_0_0::EvalQueuePoint>& point);
bool queuePoint(QARNO_4_0_0::EvaluatorControl& evc, const std::vector<double>& coords);

/// The outputs of an analytic blackbox, one value per BB_OUTPUT_TYPE entry.
using Analytic = std::function<std::vector<double>(const std::vector<double>&)>;

/// The output line of an analytic blackbox: its values at the point's
/// coordinates, separated by blanks.
FunctionEvaluator::Output analyticOutput(Analytic f);

/// The layers of an evaluation harness. The base layer is the queue with
/// its options (`queue`), the cache of the process (created for `outputs`
/// unless one exists) and the counted blackbox (`blackbox`, f = x0 and every
/// constraint 0 when empty; `evalOk` as in `FunctionEvaluator`). On top of it,
/// with `install`, the queue is the one of the process (`EvcInterface`) for
/// the life of the harness and, with `setDisplay`, the output queue shows the
/// display of `displayParams`, or else of a problem of `dimension` at
/// `displayDegree`.
struct HarnessOptions
{
    EvcOptions queue;
    QARNO_4_0_0::BBOutputTypeList outputs = {QARNO_4_0_0::BBOutputType::OBJ,
                                             QARNO_4_0_0::BBOutputType::PB};
    FunctionEvaluator::Output blackbox;
    FunctionEvaluator::Predicate evalOk;
    QARNO_4_0_0::EvalType evalType = QARNO_4_0_0::EvalType::BB;
    bool install = true;
    bool setDisplay = true;
    size_t dimension = 2;
    int displayDegree = 2;
    std::shared_ptr<QARNO_4_0_0::DisplayParameters> displayParams;
};

/// The layers of a queue installed for the steps of a test, over that
/// blackbox, with the display of dimension 2 at degree 2.
HarnessOptions installedHarness(const QARNO_4_0_0::BBOutputTypeList& outputs,
                                FunctionEvaluator::Output blackbox,
                                const EvcOptions& queue = EvcOptions(),
                                QARNO_4_0_0::EvalType evalType = QARNO_4_0_0::EvalType::BB);

/// What an algorithm needs from the process to start and end: the default
/// layers (outputs OBJ and PB, f = x0 and h = 0, installed, display degree 2)
/// with the queue options, evaluation type and display dimension given.
HarnessOptions algorithmHarness(const EvcOptions& queue = EvcOptions(),
                                QARNO_4_0_0::EvalType evalType = QARNO_4_0_0::EvalType::BB,
                                size_t dimension = 2);

/// Everything an evaluation queue needs in a test, in the layers of
/// `HarnessOptions`: the parameters, the cache, the evaluator and the queue,
/// set up with `init`, installed when asked. The test holds its own
/// ProcessStateGuard.
///
///     EvcHarness h(EvcOptions(), {BBOutputType::OBJ}, firstCoordinateObjective());
///     EvcHarness run;                        // installed, for an algorithm
///     EvcHarness run(algorithmHarness(options, EvalType::BB, 3));
struct EvcHarness
{
    explicit EvcHarness(const HarnessOptions& options = HarnessOptions());
    /// The base layer alone: not installed.
    EvcHarness(const EvcOptions& options, const QARNO_4_0_0::BBOutputTypeList& bbOutputType,
               FunctionEvaluator::Output output,
               QARNO_4_0_0::EvalType evalType = QARNO_4_0_0::EvalType::BB);
    /// Uninstalls the queue, then drops what the test left in it, without
    /// the warnings of the queue's own destruction.
    ~EvcHarness();
    EvcHarness(const EvcHarness&) = delete;
    EvcHarness& operator=(const EvcHarness&) = delete;

    /// Queues the points in this order; true when every one was queued.
    bool queueAll(const std::vector<std::vector<double>>& points);
    /// Evaluates the points now, so that the cache holds them, and leaves
    /// the queue ready for the next run.
    void evaluate(const std::vector<std::vector<double>>& points);
    /// Blackbox statuses of the cached copies of the points, in order
    /// (EVAL_STATUS_UNDEFINED for a point not cached).
    std::vector<QARNO_4_0_0::EvalStatusType>
    cachedStatuses(const std::vector<std::vector<double>>& points,
                   QARNO_4_0_0::EvalType evalType = QARNO_4_0_0::EvalType::BB) const;

    std::shared_ptr<QARNO_4_0_0::EvaluatorControlGlobalParameters> globalParams;
    std::shared_ptr<QARNO_4_0_0::EvaluatorControlParameters> params;
    std::shared_ptr<FunctionEvaluator> evaluator;
    std::shared_ptr<QARNO_4_0_0::EvaluatorControl> evc;

private:
    bool _installed = false;
};

} // namespace QarnoTest

#endif
