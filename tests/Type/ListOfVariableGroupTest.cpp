#include "Type/ListOfVariableGroup.hpp"

#include <locale>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace
{

using namespace QARNO_4_0_0;

// The writers live in the library's namespace and take standard types, so
// argument-dependent lookup does not find them from here.
using QARNO_4_0_0::operator<<;

template <typename T> std::string written(const T& value)
{
    std::ostringstream out;
    out << value;
    return out.str();
}

TEST(VariableGroupDisplay, WritesOneGroup)
{
    const struct
    {
        VariableGroup group;
        const char* expected;
    } cases[] = {
        {{1, 2, 3}, " ( 1 2 3 ) "}, {{}, " (  ) "}, {{7}, " ( 7 ) "}, {{10, 2, 5}, " ( 2 5 10 ) "},
        {{123456}, " ( 123456 ) "},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(c.expected, written(c.group));
    }
}

TEST(VariableGroupDisplay, WritesAListOfGroups)
{
    const struct
    {
        ListOfVariableGroup list;
        const char* expected;
    } cases[] = {
        {{}, ""},
        {{{0, 1}, {2}}, " ( 0 1 )   ( 2 ) "},
        {{{4}}, " ( 4 ) "},
        {{{}, {3, 1}, {}}, " (  )   ( 1 3 )   (  ) "},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(c.expected, written(c.list));
    }
}

// A stream that groups digits must not change the indices.
struct Thousands : std::numpunct<char>
{
    char do_thousands_sep() const override { return ','; }
    std::string do_grouping() const override { return "\3"; }
};

TEST(VariableGroupDisplay, IgnoresTheStreamLocale)
{
    std::ostringstream out;
    out.imbue(std::locale(std::locale::classic(), new Thousands));
    out << VariableGroup{1234567};
    EXPECT_EQ(" ( 1234567 ) ", out.str());
}

} // namespace
