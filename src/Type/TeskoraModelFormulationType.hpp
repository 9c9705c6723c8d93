#ifndef QARNO_TYPE_TESKORAMODELFORMULATIONTYPE_HPP
#define QARNO_TYPE_TESKORAMODELFORMULATIONTYPE_HPP

#include <string>

namespace QARNO_4_0_0
{

/// The formulation of the surrogate problem (TESKORA_MODEL_FORMULATION).
/// Each value is named by its text; the formulations themselves belong to
/// the surrogate-model search.
enum class TeskoraModelFormulationType
{
    FS = 0,
    FSP = 1,
    EIS = 2,
    EFI = 3,
    EFIS = 4,
    EFIM = 5,
    EFIC = 6,
    PFI = 7,
    D = 8,
    EXTERN = 9,
    UNDEFINED = 10
};

/// The name of a formulation, "UNDEFINED" for every value above 9; never
/// throws.
std::string TeskoraModelFormulationTypeToString(const TeskoraModelFormulationType& type);

/// Reads one of the eleven names in any case; throws on any other word.
TeskoraModelFormulationType stringToTeskoraModelFormulationType(const std::string& s);

} // namespace QARNO_4_0_0

#endif
