#ifndef QARNO_TYPE_BBINPUTTYPE_HPP
#define QARNO_TYPE_BBINPUTTYPE_HPP

#include <string>
#include <vector>

namespace QARNO_4_0_0
{

/// The type of one variable, as given by BB_INPUT_TYPE. The numeric values
/// are stored in parameters and compared by the checks, so they are fixed.
enum class BBInputType
{
    CONTINUOUS = 0,     ///< "R": real variable
    ALL_CONTINUOUS = 1, ///< "*R": every variable is real
    INTEGER = 2,        ///< "I": integer variable
    ALL_INTEGER = 3,    ///< "*I": every variable is integer
    BINARY = 4,         ///< "B": binary variable
    ALL_BINARY = 5      ///< "*B": every variable is binary
};

/// The value type of BB_INPUT_TYPE.
using BBInputTypeList = std::vector<BBInputType>;

/// Reads one type word, in any case ("R", "*R", "I", "*I", "B", "*B").
/// Throws on any other word.
BBInputType stringToBBInputType(const std::string& s);

/// Reads a list of types: nothing (empty list), a list between "(" and ")"
/// words such as "( R I B )", or one starred type for all variables such as
/// "* R" or "*R" (one-element list). Throws on anything else.
BBInputTypeList stringToBBInputTypeList(const std::string& s);

} // namespace QARNO_4_0_0

#endif
