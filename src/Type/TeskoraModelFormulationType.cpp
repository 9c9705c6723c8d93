#include "Type/TeskoraModelFormulationType.hpp"

#include <cstddef>

#include "Util/Exception.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

namespace
{

// The names by value; the last one is UNDEFINED.
const char* const FORMULATION_NAMES[] = {"FS",   "FSP", "EIS", "EFI",    "EFIS",     "EFIM",
                                         "EFIC", "PFI", "D",   "EXTERN", "UNDEFINED"};
const size_t NB_FORMULATION_NAMES = sizeof(FORMULATION_NAMES) / sizeof(FORMULATION_NAMES[0]);

} // namespace

std::string TeskoraModelFormulationTypeToString(const TeskoraModelFormulationType& type)
{
    const int value = static_cast<int>(type);
    if (value < 0 || static_cast<size_t>(value) >= NB_FORMULATION_NAMES)
    {
        return "UNDEFINED";
    }
    return FORMULATION_NAMES[value];
}

TeskoraModelFormulationType stringToTeskoraModelFormulationType(const std::string& s)
{
    std::string word = s;
    toupper(word);

    for (size_t i = 0; i < NB_FORMULATION_NAMES; ++i)
    {
        if (word == FORMULATION_NAMES[i])
        {
            return static_cast<TeskoraModelFormulationType>(i);
        }
    }
    QARNO_THROW(Exception, "Unrecognized string for QARNO::TeskoraModelFormulationType: " + word);
}

} // namespace QARNO_4_0_0
