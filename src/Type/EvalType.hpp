#ifndef QARNO_TYPE_EVALTYPE_HPP
#define QARNO_TYPE_EVALTYPE_HPP

#include <string>

namespace QARNO_4_0_0
{

/// The kind of an evaluation.
enum class EvalType
{
    BB = 0,       ///< "BB": blackbox
    SGTE = 1,     ///< "SGTE": surrogate
    UNDEFINED = 2 ///< "UNDEFINED": either kind, or none
};

/// "BB", "SGTE" or "UNDEFINED"; throws on a value outside the enumeration.
std::string evalTypeToString(const EvalType& evalType);

/// Reads "BB" or "SGTE" in any case. "UNDEFINED" is not a kind that a
/// parameter may ask for, so it throws like any other word.
EvalType stringToEvalType(const std::string& s);

} // namespace QARNO_4_0_0

#endif
