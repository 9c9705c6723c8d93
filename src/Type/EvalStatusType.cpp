#include "Type/EvalStatusType.hpp"

#include <array>
#include <iostream>

#include "Util/Exception.hpp"
#include "Util/StreamUtils.hpp"

namespace QARNO_4_0_0
{

namespace
{

constexpr size_t NB_STATUS = 9;

constexpr std::array<const char*, NB_STATUS> STATUS_NAMES = {
    "EVAL_NOT_STARTED",   "EVAL_FAILED",      "EVAL_ERROR",
    "EVAL_USER_REJECTED", "EVAL_CONS_H_OVER", "EVAL_OK",
    "EVAL_IN_PROGRESS",   "EVAL_WAIT",        "EVAL_STATUS_UNDEFINED"};

constexpr std::array<const char*, NB_STATUS> STATUS_DESCRIPTIONS = {
    "Evaluation not started",
    "Evaluation failed",
    "Evaluation error",
    "Evaluation rejected by user (may be submitted again)",
    "Evaluation constraint violation is too high (may be submitted again)",
    "Evaluation OK",
    "Evaluation in progress",
    "Waiting for evaluation in progress",
    "Undefined evaluation status"};

} // namespace

std::string enumStr(EvalStatusType evalStatus)
{
    const auto index = static_cast<size_t>(evalStatus);
    if (index >= NB_STATUS)
    {
        QARNO_THROW(Exception, "Unrecognized evaluation status");
    }
    return STATUS_DESCRIPTIONS[index];
}

std::ostream& operator<<(std::ostream& out, const EvalStatusType& evalStatus)
{
    const auto index = static_cast<size_t>(evalStatus);
    if (index >= NB_STATUS)
    {
        std::cerr << "Warning: Unknown eval status type" << std::endl;
        return out;
    }
    out << STATUS_NAMES[index];
    return out;
}

std::istream& operator>>(std::istream& in, EvalStatusType& evalStatus)
{
    std::string word;
    in >> word;
    for (size_t i = 0; i < NB_STATUS; ++i)
    {
        if (word == STATUS_NAMES[i])
        {
            evalStatus = static_cast<EvalStatusType>(i);
            return in;
        }
    }
    // Not a status: give the word back to whoever reads next.
    putBackWord(in, word);
    return in;
}

} // namespace QARNO_4_0_0
