#ifndef QARNO_TYPE_EVALSTATUSTYPE_HPP
#define QARNO_TYPE_EVALSTATUSTYPE_HPP

#include <iosfwd>
#include <string>

namespace QARNO_4_0_0
{

/// The state of one evaluation, from queued to done. The names are the
/// words of the cache file; the order is fixed (values 0 to 8).
enum class EvalStatusType
{
    EVAL_NOT_STARTED,   ///< "Evaluation not started"
    EVAL_FAILED,        ///< "Evaluation failed"
    EVAL_ERROR,         ///< "Evaluation error"
    EVAL_USER_REJECTED, ///< "Evaluation rejected by user (may be submitted again)"
    EVAL_CONS_H_OVER,   ///< "Evaluation constraint violation is too high (may be submitted again)"
    EVAL_OK,            ///< "Evaluation OK"
    EVAL_IN_PROGRESS,   ///< "Evaluation in progress"
    EVAL_WAIT,          ///< "Waiting for evaluation in progress"
    EVAL_STATUS_UNDEFINED ///< "Undefined evaluation status"
};

/// The description of a status; throws "Unrecognized evaluation status" for
/// a value outside the enumeration.
std::string enumStr(EvalStatusType evalStatus);

/// Writes the status name ("EVAL_OK"). A value outside the enumeration writes
/// nothing to `out` and a warning to standard error.
std::ostream& operator<<(std::ostream& out, const EvalStatusType& evalStatus);

/// Reads one blank-delimited word that must be a status name exactly (case
/// counts). Anything else leaves the status unchanged and puts the word back
/// into the stream, so that the next reader sees it.
std::istream& operator>>(std::istream& in, EvalStatusType& evalStatus);

} // namespace QARNO_4_0_0

#endif
