// The enumerations and small types read from parameter values: output and
// input types, evaluation statuses, direction types, evaluation types, the
// Latin-hypercube setting, the model-search settings. A name read writes
// back to a name that reads as the same value.

#include <cstdint>
#include <sstream>
#include <string>

#include "FuzzSupport.hpp"
#include "Type/BBInputType.hpp"
#include "Type/BBOutputType.hpp"
#include "Type/DirectionType.hpp"
#include "Type/EvalStatusType.hpp"
#include "Type/EvalType.hpp"
#include "Type/LHSearchType.hpp"
#include "Type/TeskoraModelFeasibilityType.hpp"
#include "Type/TeskoraModelFormulationType.hpp"
#include "Util/Exception.hpp"
#include "Util/Utils.hpp"

using namespace QARNO_4_0_0;

namespace
{

template <typename F> void refusalsAllowed(F&& f)
{
    try
    {
        f();
    }
    catch (const Exception&)
    {
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    QarnoFuzz::silenceStreams();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text = QarnoFuzz::textOf(data, size);

    refusalsAllowed(
        [&]
        {
            const BBOutputTypeList types = stringToBBOutputTypeList(text);
            const std::string written = BBOutputTypeListToString(types);
            if (stringToBBOutputTypeList(written) != types)
            {
                QarnoFuzz::propertyFailed("output types \"" + text + "\" written \"" + written +
                                          "\" read back otherwise");
            }
            (void)getNbConstraints(types);
            (void)getNbObj(types);
        });
    refusalsAllowed([&] { (void)stringToBBOutputType(text); });
    refusalsAllowed([&] { (void)stringToBBInputTypeList(text); });
    refusalsAllowed([&] { (void)stringToBBInputType(text); });
    refusalsAllowed(
        [&]
        {
            const DirectionType type = stringToDirectionType(text);
            const std::string written = directionTypeToString(type);
            if (stringToDirectionType(written) != type)
            {
                QarnoFuzz::propertyFailed("direction type \"" + text + "\" written \"" + written +
                                          "\" reads back otherwise");
            }
        });
    refusalsAllowed([&] { (void)evalTypeToString(stringToEvalType(text)); });
    refusalsAllowed([&] { (void)LHSearchType(text); });
    refusalsAllowed(
        [&]
        { (void)TeskoraModelFeasibilityTypeToString(stringToTeskoraModelFeasibilityType(text)); });
    refusalsAllowed(
        [&]
        { (void)TeskoraModelFormulationTypeToString(stringToTeskoraModelFormulationType(text)); });
    refusalsAllowed([&] { (void)stringToBool(text); });
    refusalsAllowed(
        [&]
        {
            size_t i = 0;
            size_t j = 0;
            (void)stringToIndexRange(text, i, j, true);
            (void)stringToIndexRange(text, i, j, false);
            int value = 0;
            (void)atoi(text, value);
            (void)atost(text, i);
        });

    std::istringstream statusText(text);
    EvalStatusType status = EvalStatusType::EVAL_STATUS_UNDEFINED;
    statusText >> status;
    std::ostringstream statusOut;
    statusOut << status;
    refusalsAllowed([&] { (void)enumStr(status); });
    return 0;
}
