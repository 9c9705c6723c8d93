#ifndef QARNO_UTIL_ALLSTOPREASONS_HPP
#define QARNO_UTIL_ALLSTOPREASONS_HPP

#include <string>

#include "Util/StopReason.hpp"

namespace QARNO_4_0_0
{

/// The stop reasons that every algorithm shares: the run-wide base reason
/// and the run-wide global-evaluation reason (one of each per process, the
/// same objects for every holder) and the holder's own iteration reason.
///
/// Algorithms hold it as `AlgoStopReasons<T>`, which adds their own reason.
/// Because the two run-wide reasons are shared, a value set through one holder
/// is seen by all, and setStarted() on any holder clears them for all.
///
///     AllStopReasons::_baseStopReason.set(BaseStopType::CTRL_C);
///     holder->checkTerminate();          // true, for every holder
///     holder->getStopReasonAsString();   // "Ctrl-C (Base)"
class AllStopReasons
{
public:
    /// The run-wide base reason (time limit, interrupt, callbacks...).
    static StopReason<BaseStopType> _baseStopReason;
    /// The run-wide evaluation budgets.
    static StopReason<EvalGlobalStopType> _evalGlobalStopReason;
    /// The iteration reason of this holder's algorithm.
    StopReason<IterStopType> _iterStopReason;

    AllStopReasons() = default;
    virtual ~AllStopReasons();

    /// The iteration reason and the two run-wide reasons := STARTED.
    virtual void setStarted();
    /// The texts of the reasons that end the work, each with its marker
    /// (" (Base)", " (Eval Global)", " (Iter)"), joined by one blank;
    /// "No termination (all). " when none does.
    virtual std::string getStopReasonAsString() const;
    /// True when the base, the global-evaluation or the iteration reason ends
    /// the work, tested in this order.
    virtual bool checkTerminate() const;

    /// The text of the base reason followed by " (Base)", whatever its value.
    static std::string getBaseStopReasonAsString();
    /// The text of the global-evaluation reason followed by " (Eval Global)".
    static std::string getEvalGlobalStopReasonAsString();

    /// The two run-wide reasons := STARTED, without a holder: a new run in the
    /// same process starts from the state at load.
    static void setSharedStarted();
};

} // namespace QARNO_4_0_0

#endif
