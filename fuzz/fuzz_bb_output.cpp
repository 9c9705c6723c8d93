// A blackbox output line: its fields against output types, its evaluation,
// and its text form in the cache file, which reads back to the same fields
// whatever the line holds. The text form reader also takes the input as it
// stands, as from a damaged file.

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "Eval/BBOutput.hpp"
#include "Eval/Eval.hpp"
#include "FuzzSupport.hpp"
#include "Type/BBOutputType.hpp"
#include "Util/Exception.hpp"

using namespace QARNO_4_0_0;

namespace
{

const char* const TYPE_LISTS[] = {
    "OBJ", "OBJ PB", "OBJ EB PB", "OBJ CNT_EVAL", "PB OBJ BBO_UNDEFINED", "EB EB OBJ", "", "PB",
};

std::vector<std::string> fieldsOf(const BBOutput& output)
{
    std::vector<std::string> fields;
    for (size_t i = 0; i < output.getNbFields(); ++i)
    {
        fields.emplace_back(output.getField(i));
    }
    return fields;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    QarnoFuzz::silenceStreams();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
    {
        return 0;
    }
    const BBOutputTypeList types =
        stringToBBOutputTypeList(TYPE_LISTS[data[0] % (sizeof(TYPE_LISTS) / sizeof(*TYPE_LISTS))]);
    const std::string text = QarnoFuzz::textOf(data + 1, size - 1);
    // An evaluator hands one line, without its line end.
    const std::string raw = text.substr(0, text.find('\n'));

    const BBOutput output(raw, true);
    (void)output.checkSizeMatch(types);
    (void)output.isComplete(types);
    (void)output.getObjective(types);
    (void)output.getConstraints(types);
    (void)output.getBBOAsArrayOfDouble();
    try
    {
        (void)output.getCountEval(types);
    }
    catch (const Exception&)
    {
    }
    Eval eval;
    eval.setBBOutputAndRecompute(output, types);
    (void)eval.display();

    std::ostringstream written;
    written << output;
    std::istringstream again(written.str());
    BBOutput readBack;
    try
    {
        again >> readBack;
    }
    catch (const Exception& e)
    {
        QarnoFuzz::propertyFailed("the text form \"" + written.str() +
                                  "\" does not read back: " + e.what());
    }
    if (fieldsOf(readBack) != fieldsOf(output))
    {
        QarnoFuzz::propertyFailed("the text form \"" + written.str() +
                                  "\" reads back to other fields");
    }

    std::istringstream damaged(text);
    BBOutput fromFile;
    try
    {
        damaged >> fromFile;
    }
    catch (const Exception&)
    {
    }
    return 0;
}
