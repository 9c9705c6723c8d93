#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "Util/ArrayOfString.hpp"
#include "Util/Clock.hpp"
#include "Util/Exception.hpp"

using QARNO_4_0_0::ArrayOfString;
using QARNO_4_0_0::Clock;
using QARNO_4_0_0::Exception;

namespace
{

TEST(ArrayOfString, Splitting)
{
    const struct
    {
        const char* text;
        const char* separators;
        std::vector<std::string> words;
    } cases[] = {
        {"  a b  cd ", " ", {"a", "b", "cd"}},
        {"", " ", {}},
        {"   ", " ", {}},
        {"one", " ", {"one"}},
        {"a b", "", {"a b"}},
        {"a,b;;c", ",;", {"a", "b", "c"}},
        {"x ", " ", {"x"}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string("'") + c.text + "' on '" + c.separators + "'");
        EXPECT_EQ(c.words, ArrayOfString::splitString(c.text, c.separators));
        const ArrayOfString arr(c.text, c.separators);
        ASSERT_EQ(c.words.size(), arr.size());
        for (size_t i = 0; i < arr.size(); ++i)
        {
            EXPECT_EQ(c.words[i], arr[i]);
        }
    }
}

TEST(ArrayOfString, DisplayFindAndEquality)
{
    EXPECT_EQ(" - ", ArrayOfString().display());
    EXPECT_EQ("word", ArrayOfString("word", " ").display());
    EXPECT_EQ("", ArrayOfString(1, "").display());
    EXPECT_EQ("OBJ EB PB", ArrayOfString("OBJ  EB PB", " ").display());

    std::ostringstream out;
    out << ArrayOfString("a b", " ");
    EXPECT_EQ("a b", out.str());

    EXPECT_EQ(-1, ArrayOfString().find("x"));
    EXPECT_EQ(-1, ArrayOfString("OBJ", " ").find("obj"));
    EXPECT_EQ(1, ArrayOfString("a b b", " ").find("b"));

    EXPECT_EQ(ArrayOfString("a b", " "), ArrayOfString("a  b", " "));
    EXPECT_NE(ArrayOfString("a b", " "), ArrayOfString("b a", " "));
    EXPECT_NE(ArrayOfString("a b", " "), ArrayOfString("a", " "));
}

TEST(ArrayOfString, EditingAndBounds)
{
    ArrayOfString arr("a b c", " ");
    EXPECT_FALSE(arr.erase(3));
    EXPECT_EQ("a b c", arr.display());
    EXPECT_TRUE(arr.erase(0));
    EXPECT_EQ("b c", arr.display());
    arr.replace(1, "two words");
    arr.add("d");
    EXPECT_EQ("b two words d", arr.display());

    const struct
    {
        ArrayOfString arr;
        size_t index;
        const char* message;
    } cases[] = {
        {ArrayOfString("a b c", " "), 3, "ArrayOfString: index = 3 is out of bounds [0, 2]"},
        {ArrayOfString(), 0, "ArrayOfString: index = 0 is out of bounds [0, 18446744073709551615]"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.message);
        try
        {
            (void)c.arr[c.index];
            FAIL() << "no exception";
        }
        catch (const Exception& e)
        {
            EXPECT_NE(std::string::npos, std::string(e.what()).find(c.message)) << e.what();
        }
        ArrayOfString copy = c.arr;
        EXPECT_THROW(copy.replace(c.index, "x"), Exception);
        EXPECT_EQ(c.arr, copy);
    }
}

TEST(ArrayOfString, CombineAndAddPadding)
{
    ArrayOfString names;
    names.add("Blackbox evaluations:");
    names.add("Total:");
    ArrayOfString values;
    values.add("12");
    values.add("120");

    const ArrayOfString lines = ArrayOfString::combineAndAddPadding(names, values);
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ("\n", lines[0]);
    EXPECT_EQ("Blackbox evaluations: 12\n", lines[1]);
    EXPECT_EQ("Total:" + std::string(15, ' ') + "120\n", lines[2]);
    // Every line is as long as the widest pair plus one before its newline.
    EXPECT_EQ(lines[1].size(), lines[2].size());

    std::ostringstream out;
    out << lines;
    EXPECT_EQ("\n Blackbox evaluations: 12\n Total:" + std::string(15, ' ') + "120\n", out.str());

    const ArrayOfString empty =
        ArrayOfString::combineAndAddPadding(ArrayOfString(), ArrayOfString());
    ASSERT_EQ(1u, empty.size());
    EXPECT_EQ("\n", empty[0]);

    try
    {
        ArrayOfString::combineAndAddPadding(ArrayOfString(2, "a"), ArrayOfString(3, "b"));
        FAIL() << "no exception";
    }
    catch (const Exception& e)
    {
        EXPECT_NE(std::string::npos, std::string(e.what()).find(
                                         "s1 and s2 must have the same of number of elements."));
    }
}

TEST(Clock, CountsWholeSecondsFromReset)
{
    Clock::reset();
    // Within the same second (or the next one on a slow machine) the count
    // is a small whole number, never a fraction.
    EXPECT_LE(Clock::getRealTime(), 1u);
}

} // namespace
