#include "Type/EvalType.hpp"

#include "Util/Exception.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

std::string evalTypeToString(const EvalType& evalType)
{
    switch (evalType)
    {
    case EvalType::BB:
        return "BB";
    case EvalType::SGTE:
        return "SGTE";
    case EvalType::UNDEFINED:
        return "UNDEFINED";
    }
    QARNO_THROW(Exception, "Unrecognized QARNO::EvalType " + itos(static_cast<int>(evalType)));
}

EvalType stringToEvalType(const std::string& s)
{
    std::string word = s;
    toupper(word);

    if (word == "BB")
    {
        return EvalType::BB;
    }
    if (word == "SGTE")
    {
        return EvalType::SGTE;
    }
    QARNO_THROW(Exception, "Unrecognized string for QARNO::EvalType: " + word);
}

} // namespace QARNO_4_0_0
