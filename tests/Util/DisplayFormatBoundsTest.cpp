#include <string>

#include <gtest/gtest.h>

#include "Util/Utils.hpp"

using namespace QARNO_4_0_0;

namespace
{

// Width and precision at their bounds and just past them, and digit runs far
// beyond any integer type: a format past a bound fails like any other invalid
// format, both alone and in front of a keyword.
const struct
{
    const char* format;
    bool valid;
} BOUND_CASES[] = {
    {"%.100f", true},
    {"%.101f", false},
    {"%1000.2f", true},
    {"%1001f", false},
    {"%1000.100e", true},
    {"%1000.101e", false},
    {"%1001.100e", false},
    {"%.200d", false},
    {"%.2147483647f", false},
    {"%2147483647d", false},
    {"%99999999999999999999f", false},
    {"%.99999999999999999999999999999999g", false},
    // Leading zeros add nothing to the value.
    {"%0000000000000000000001000.0000000000000000000000100f", true},
};

} // namespace

TEST(DisplayFormatBounds, ValidFormatRefusesWidthAndPrecisionPastTheirBounds)
{
    for (const auto& c : BOUND_CASES)
    {
        SCOPED_TRACE(c.format);
        std::string format = c.format;
        EXPECT_EQ(c.valid, validFormat(format));
        EXPECT_EQ(c.format, format);
    }

    // A format completed with "f" is bounded as well.
    std::string incomplete = "%1001";
    EXPECT_FALSE(validFormat(incomplete));
    EXPECT_EQ("%1001f", incomplete);
    incomplete = "%.100";
    EXPECT_TRUE(validFormat(incomplete));
    EXPECT_EQ("%.100f", incomplete);
}

TEST(DisplayFormatBounds, SeparateFormatLeavesAnInvalidFormatInTheText)
{
    for (const auto& c : BOUND_CASES)
    {
        const std::string text = std::string(c.format) + "OBJ";
        SCOPED_TRACE(text);
        std::string format = "stale";
        std::string rest = "stale";
        EXPECT_EQ(c.valid, separateFormat(text, format, rest));
        EXPECT_EQ(c.valid ? std::string(c.format) : std::string(), format);
        EXPECT_EQ(c.valid ? std::string("OBJ") : text, rest);
    }
}
