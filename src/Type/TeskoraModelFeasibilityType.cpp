#include "Type/TeskoraModelFeasibilityType.hpp"

#include "Util/Exception.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

std::string TeskoraModelFeasibilityTypeToString(const TeskoraModelFeasibilityType& type)
{
    switch (type)
    {
    case TeskoraModelFeasibilityType::C:
        return "C";
    case TeskoraModelFeasibilityType::H:
        return "H";
    case TeskoraModelFeasibilityType::B:
        return "B";
    case TeskoraModelFeasibilityType::M:
        return "M";
    default:
        return "UNDEFINED";
    }
}

TeskoraModelFeasibilityType stringToTeskoraModelFeasibilityType(const std::string& s)
{
    std::string word = s;
    toupper(word);

    if (word == "C")
    {
        return TeskoraModelFeasibilityType::C;
    }
    if (word == "H")
    {
        return TeskoraModelFeasibilityType::H;
    }
    if (word == "B")
    {
        return TeskoraModelFeasibilityType::B;
    }
    if (word == "M")
    {
        return TeskoraModelFeasibilityType::M;
    }
    if (word == "UNDEFINED")
    {
        return TeskoraModelFeasibilityType::UNDEFINED;
    }
    QARNO_THROW(Exception, "Unrecognized string for QARNO::TeskoraModelFeasibilityType: " + word);
}

} // namespace QARNO_4_0_0
