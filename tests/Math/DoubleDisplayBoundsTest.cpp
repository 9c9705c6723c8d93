#include <cfloat>
#include <string>

#include <gtest/gtest.h>

#include "Math/Double.hpp"

using namespace QARNO_4_0_0;

// A format handed directly to Double::display, past the bounds of a valid
// format, must not make a text of its width or precision: the number past a
// bound is ignored, as one beyond the int range already was.
TEST(DoubleDisplayBounds, WidthAndPrecisionPastTheBoundsAreIgnored)
{
    const struct
    {
        const char* format;
        std::string text;
    } cases[] = {
        {"%.100f", "0." + std::string(1, '5') + std::string(99, '0')},
        {"%.101f", "0.500000"},
        {"%.2147483647f", "0.500000"},
        {"%.2147483647e", "5.000000e-01"},
        {"%.2147483647", "0.500000"},
        {"%1000.1f", std::string(997, ' ') + "0.5"},
        {"%1001.1f", "0.5"},
        {"%2147483647.1f", "0.5"},
        {"%2147483647.2147483647g", "0.500000"},
        {"%99999999999999999999f", "0.500000"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.format);
        EXPECT_EQ(c.text, Double(0.5).display(c.format));
    }

    // The fixed texts of undefined and infinite values are padded by the
    // width within its bound only.
    EXPECT_EQ(std::string(997, ' ') + "NaN", Double().display("%1000f"));
    EXPECT_EQ("NaN", Double().display("%1001f"));
    EXPECT_EQ("inf", Double(DBL_MAX).display("%2147483647d"));
}
