#ifndef QARNO_EVAL_EVAL_HPP
#define QARNO_EVAL_EVAL_HPP

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Eval/BBOutput.hpp"
#include "Math/Double.hpp"
#include "Type/BBOutputType.hpp"
#include "Type/EvalStatusType.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

class EvalParameters;

/// One evaluation of one point: the raw output of the evaluator, the
/// objective f and the constraint violation h computed from it, and a status.
///
/// h is the sum of the squared violations of the PB constraints, INF as soon
/// as an EB constraint is violated, and at least epsilon when anything is
/// violated, so that a feasible point is exactly one with |h| < epsilon.
/// Dominance and the success rules compare f and h within epsilon.
///
/// An output that cannot be interpreted never ends a run: a constraint or
/// objective field that is no number makes the evaluation EVAL_FAILED, a
/// field count that does not match the output types makes it EVAL_ERROR; in
/// both cases h is INF when the problem has constraints (a problem with an
/// objective only keeps h = 0), and the reason is written on standard error.
///
/// The h and success rules are process-wide hooks, because the phase-one
/// algorithm replaces them for its duration (h then counts EB constraints
/// like PB ones, and success means lowering h). `resetComputeRules` puts the
/// defaults back; every run starts with that call.
///
///     Eval e;
///     e.setBBO("3.5 -1 2", {BBOutputType::OBJ, BBOutputType::PB, BBOutputType::PB}, true);
///     e.getF();          // 3.5
///     e.getH();          // 4: only the violated constraint (2 > 0) counts
///     e.getEvalStatus(); // EVAL_OK
class Eval
{
public:
    using ComputeHFunction = std::function<Double(const Eval&, const BBOutputTypeList&)>;
    using ComputeHComponentFunction =
        std::function<Double(const BBOutputType&, size_t, const Double&)>;
    using ComputeSuccessFunction =
        std::function<SuccessType(const Eval*, const Eval*, const Double&)>;

    /// The h rule; `defaultComputeH` unless phase one runs.
    static ComputeHFunction _computeH;
    /// The contribution of one constraint to h; always the default.
    static ComputeHComponentFunction _computeHComponent;
    /// The success rule of `compEvalFindBest`; `defaultComputeSuccessType`
    /// unless phase one runs.
    static ComputeSuccessFunction _computeSuccessType;

    /// Puts the default h and success rules back.
    static void resetComputeRules();

    /// f undefined, h = INF, status EVAL_STATUS_UNDEFINED, an empty ok output.
    Eval();
    Eval(const Eval&) = default;
    Eval(Eval&&) noexcept = default;
    Eval& operator=(const Eval&) = default;
    Eval& operator=(Eval&&) noexcept = default;
    /// Interprets `bbOutput` with the BB_OUTPUT_TYPE of `evalParams`.
    Eval(const std::shared_ptr<EvalParameters>& evalParams, const BBOutput& bbOutput);
    virtual ~Eval() = default;

    /// f, with a warning on standard error when it is stale.
    Double getF() const;
    /// Stores f; the status becomes EVAL_OK for a defined f, else EVAL_FAILED.
    void setF(const Double& f);
    /// h, with a warning on standard error when it is stale.
    Double getH() const;
    /// Throws for an undefined h and for h below -epsilon.
    void setH(const Double& h);

    EvalStatusType getEvalStatus() const { return _evalStatus; }
    void setEvalStatus(EvalStatusType evalStatus) { _evalStatus = evalStatus; }

    bool toBeRecomputed() const { return _toRecompute; }
    bool isBBOutputComplete() const { return _bbOutputComplete; }

    const BBOutput& getBBOutput() const { return _bbOutput; }
    const std::string& getBBO() const { return _bbOutput.getBBO(); }
    /// Stores the output; f and h become stale and are left as they are.
    void setBBOutput(const BBOutput& bbOutput);
    /// Stores the output and interprets it under `bbOutputType`; an empty type
    /// list only marks f and h as stale.
    void setBBO(const std::string& bbo, const BBOutputTypeList& bbOutputType, bool evalOk = true);
    /// The same for an evaluator that returns numbers (`BBOutput::setBBO`).
    void setBBO(const std::vector<double>& values, const BBOutputTypeList& bbOutputType,
                bool evalOk = true);
    /// Stores the output and interprets it, checking the field count first:
    /// on a mismatch the status is EVAL_ERROR and h is INF.
    void setBBOutputAndRecompute(const BBOutput& bbOutput, const BBOutputTypeList& bbOutputType);

    /// The objective of the output: the first OBJ field of an ok output.
    Double computeF(const BBOutputTypeList& bbOutputType) const;

    /// |h| < epsilon. Throws when h is undefined.
    bool isFeasible() const;
    /// Dominance within epsilon: lower f between feasible evaluations; among
    /// infeasible ones no worse in f and h and better in one.
    bool dominates(const Eval& other) const;
    bool operator<(const Eval& other) const { return dominates(other); }
    /// Same f and h within epsilon (false when either f is undefined).
    bool operator==(const Eval& other) const;
    bool operator!=(const Eval& other) const { return !(*this == other); }

    /// Whether a point with this evaluation may be evaluated again.
    bool canBeReEvaluated() const;
    /// Whether the cache file keeps this evaluation (EVAL_FAILED to EVAL_OK).
    bool goodForCacheFile() const;

    /// "<status description>\t f = <f>\t h = <h>", with "Undefined f" or
    /// "Undefined h" for an undefined value.
    std::string display() const;

    // The rules; the hooks above hold one of them.
    static Double defaultComputeH(const Eval& eval, const BBOutputTypeList& bbOutputType);
    /// h with every EB taken as a PB.
    static Double computeHPB(const Eval& eval, const BBOutputTypeList& bbOutputType);
    static Double defaultComputeHComponent(const BBOutputType& bbOutputType, size_t index,
                                           const Double& bboIndex);
    static SuccessType defaultComputeSuccessType(const Eval* eval1, const Eval* eval2,
                                                 const Double& hMax);
    static SuccessType computeSuccessTypePhaseOne(const Eval* eval1, const Eval* eval2,
                                                  const Double& hMax);
    /// eval1 is strictly better than eval2 under the current success rule.
    static bool compEvalFindBest(const Eval& eval1, const Eval& eval2);

private:
    /// The warning on standard error for a read of stale f or h.
    void warnIfStale(const char* operation) const;
    /// f, h, completeness and the status from the stored output.
    void interpretOutput(const BBOutputTypeList& bbOutputType);
    /// Turns an output that could not be read into a failed evaluation.
    void markUnreadableOutput(const BBOutputTypeList& bbOutputType);

    bool _toRecompute;
    Double _f;
    Double _h;
    EvalStatusType _evalStatus;
    BBOutput _bbOutput;
    bool _bbOutputComplete;
};

} // namespace QARNO_4_0_0

#endif
