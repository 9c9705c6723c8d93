#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <sstream>
#include <string>

#include "Util/StreamUtils.hpp"

using namespace QARNO_4_0_0;

TEST(StreamUtils, UnsignedNumbersAreDigitsWithinTheirRange)
{
    const std::uint64_t max64 = std::numeric_limits<std::uint64_t>::max();
    struct Case
    {
        const char* input;
        std::uint64_t maxValue;
        bool ok;
        std::uint64_t value; // 77 when the read is refused: left as it was
        std::string next;    // what a later read sees, once the stream is cleared
    };
    const Case cases[] = {
        {"12 NEXT", max64, true, 12, "NEXT"},
        {"12", max64, true, 12, ""},
        {"18446744073709551615", max64, true, max64, ""},
        {"18446744073709551616 NEXT", max64, false, 77, "18446744073709551616"},
        {"-3 NEXT", max64, false, 77, "-3"},
        {"+3", max64, false, 77, "+3"},
        {"3x", max64, false, 77, "3x"},
        {"4294967295", 4294967295u, true, 4294967295u, ""},
        {"4294967296", 4294967295u, false, 77, "4294967296"},
        {"", max64, false, 77, ""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string("\"") + c.input + "\"");
        std::istringstream in(c.input);
        std::uint64_t value = 77;
        EXPECT_EQ(c.ok, readUnsigned(in, value, c.maxValue));
        EXPECT_EQ(c.ok, !in.fail());
        EXPECT_EQ(c.value, value);
        in.clear();
        std::string next;
        in >> next;
        EXPECT_EQ(c.next, next);
    }
}

TEST(StreamUtils, WordEndingTheInputIsRead)
{
    std::istringstream in("NB_EVAL");
    std::string word;
    EXPECT_TRUE(readWord(in, word));
    EXPECT_EQ("NB_EVAL", word);
    EXPECT_TRUE(in.eof());
    EXPECT_FALSE(readWord(in, word));
    EXPECT_EQ("", word);
}
