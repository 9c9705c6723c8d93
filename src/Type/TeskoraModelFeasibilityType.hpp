#ifndef QARNO_TYPE_TESKORAMODELFEASIBILITYTYPE_HPP
#define QARNO_TYPE_TESKORAMODELFEASIBILITYTYPE_HPP

#include <string>

namespace QARNO_4_0_0
{

/// How the surrogate-model search models feasibility
/// (TESKORA_MODEL_FEASIBILITY). Each value is named by its text.
enum class TeskoraModelFeasibilityType
{
    C = 0,        ///< one model per constraint
    H = 1,        ///< one model of the aggregate constraint
    B = 2,        ///< one binary model of the feasibility
    M = 3,        ///< one model of the largest constraint
    UNDEFINED = 4 ///< none
};

/// "C", "H", "B", "M", and "UNDEFINED" for every other value; never throws.
std::string TeskoraModelFeasibilityTypeToString(const TeskoraModelFeasibilityType& type);

/// Reads "C", "H", "B", "M" or "UNDEFINED" in any case; throws on any other
/// word.
TeskoraModelFeasibilityType stringToTeskoraModelFeasibilityType(const std::string& s);

} // namespace QARNO_4_0_0

#endif
