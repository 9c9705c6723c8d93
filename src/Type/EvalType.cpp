#include "Type/EvalType.hpp"

#include "Util/Exception.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

namespace
{

const char* const SOURCE_FILE = "src/Type/EvalType";

} // namespace

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
    throw Exception(SOURCE_FILE, __LINE__,
                    "Unrecognized QARNO::EvalType " + itos(static_cast<int>(evalType)));
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
    throw Exception(SOURCE_FILE, __LINE__, "Unrecognized string for QARNO::EvalType: " + word);
}

} // namespace QARNO_4_0_0
