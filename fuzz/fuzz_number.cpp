// Numbers as text: a word read as a Double, an array of them, a point. A
// number read writes back to a text that reads as the same value; the
// display forms take any value.

#include <cstdint>
#include <sstream>
#include <string>

#include "FuzzSupport.hpp"
#include "Math/ArrayOfDouble.hpp"
#include "Math/Double.hpp"
#include "Math/Point.hpp"
#include "Util/Exception.hpp"

using namespace QARNO_4_0_0;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    QarnoFuzz::silenceStreams();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text = QarnoFuzz::textOf(data, size);

    Double d;
    if (d.atof(text) && d.isDefined())
    {
        const std::string written = d.roundTripString();
        Double back;
        if (!back.atof(written) || !back.isDefined() || back.todouble() != d.todouble())
        {
            QarnoFuzz::propertyFailed("\"" + text + "\" is written \"" + written +
                                      "\", which does not read back the same");
        }
        (void)d.tostring();
        (void)d.display(static_cast<int>(size % 30) - 1, size % 40);
        try
        {
            (void)d.display(text);
        }
        catch (const Exception&)
        {
        }
    }

    // An array whose size is the first byte, then a point.
    if (size > 0)
    {
        std::istringstream words(text.substr(1));
        ArrayOfDouble array(data[0] % 16);
        try
        {
            words >> array;
            (void)array.display();
        }
        catch (const Exception&)
        {
        }
    }
    std::istringstream pointText(text);
    Point point;
    try
    {
        pointText >> point;
        (void)point.display();
    }
    catch (const Exception&)
    {
    }
    return 0;
}
