#include <string>

#include <gtest/gtest.h>

#include "Math/Double.hpp"
#include "Output/StatsInfo.hpp"
#include "Param/AllParameters.hpp"
#include "Util/ArrayOfString.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::CerrCapture;
using QarnoTest::ProcessStateGuard;

// A DISPLAY_STATS word whose format is past the width or precision bound is
// read and checked like a word with any other invalid format: it is no
// keyword with a format but a text shown as written, instead of a number
// text of that width or precision on every statistics line.
TEST(DisplayStatsFormatBounds, WordPastTheBoundsIsShownAsWritten)
{
    ProcessStateGuard guard;
    const struct
    {
        std::string word;
        std::string statsLine;
    } cases[] = {
        {"%1.2.3fOBJ", "4 %1.2.3fOBJ"}, // invalid for another reason, the reference
        {"%.2147483647fOBJ", "4 %.2147483647fOBJ"},
        {"%.101fOBJ", "4 %.101fOBJ"},
        {"%1001fOBJ", "4 %1001fOBJ"},
        {"%99999999999999999999fOBJ", "4 %99999999999999999999fOBJ"},
        {"%.100fOBJ", "4 0.5" + std::string(99, '0')},
        {"%1000.1fOBJ", "4 " + std::string(997, ' ') + "0.5"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.word);
        ProcessStateGuard::resetToLoadState();
        AllParameters all;
        CerrCapture cerr;
        all.readParamLine("DIMENSION 2");
        all.readParamLine("X0 ( 0 0 )");
        all.readParamLine("DISPLAY_STATS BBE " + c.word);
        all.checkAndComply();
        EXPECT_EQ("", cerr.text());

        const ArrayOfString& format = all.getAttributeValue<ArrayOfString>("DISPLAY_STATS");
        EXPECT_EQ("BBE " + c.word, format.display());
        StatsInfo stats;
        stats.setBBE(4);
        stats.setObj(Double(0.5));
        EXPECT_EQ(c.statsLine, stats.display(format, ArrayOfDouble(), 0, 0, false, false));
    }
}
