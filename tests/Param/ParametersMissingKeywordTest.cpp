#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Math/ArrayOfDouble.hpp"
#include "Math/Point.hpp"
#include "Param/Parameters.hpp"
#include "support/TestParameters.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::outcomeOf;
using QarnoTest::TestParameters;

namespace
{

struct Case
{
    std::string what;
    std::function<void()> op;
    std::string expected;
};

std::string lowerCopy(std::string s)
{
    for (char& c : s)
    {
        if (c >= 'A' && c <= 'Z')
        {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return s;
}

// Every typed operation of the set with a keyword it does not hold, for the
// value type T; `keyword` is a keyword of type T that the set does hold.
template <typename T>
void addCases(std::vector<Case>& cases, TestParameters& params, const std::string& type,
              const std::string& keyword)
{
    const std::string lower = lowerCopy(keyword);
    cases.push_back({type + ": getSpValue, unknown keyword",
                     [&params] { params.getSpValue<T>("NOPE", false, false); },
                     "Exception: getAttributeValue: attribute NOPE does not exist"});
    // The unchecked read takes the keyword as passed: in another case it is
    // not the keyword the set holds.
    cases.push_back({type + ": getSpValue, keyword in lower case",
                     [&params, lower] { params.getSpValue<T>(lower, false, false); },
                     "Exception: getAttributeValue: attribute " + lower + " does not exist"});
    cases.push_back({type + ": getAttributeValue, unknown keyword",
                     [&params] { params.getAttributeValue<T>("Nope"); },
                     "Exception: getAttributeValue: attribute NOPE does not exist"});
    cases.push_back({type + ": isAttributeDefaultValue, unknown keyword",
                     [&params] { params.isAttributeDefaultValue<T>("Nope"); },
                     "Exception: isAttributeDefaultValue: attribute Nope does not exist"});
    cases.push_back({type + ": setAttributeValue, unknown keyword",
                     [&params] { params.setAttributeValue<T>("Nope", T()); },
                     "Exception: setSpValueDefault: attribute NOPE does not exist"});
    cases.push_back({type + ": setSpValueDefault, unknown keyword",
                     [&params] { params.setSpValueDefault<T>("NOPE", T()); },
                     "Exception: setSpValueDefault: attribute NOPE does not exist"});
}

// The checked read finds the keyword in any case.
template <typename T> void expectReadInLowerCase(TestParameters& params, const std::string& keyword)
{
    SCOPED_TRACE(keyword);
    const T* read = nullptr;
    EXPECT_EQ("ok", outcomeOf([&] { read = &params.getAttributeValue<T>(lowerCopy(keyword)); }));
    EXPECT_EQ(&params.getSpValue<T>(keyword, false, false), read);
}

} // namespace

TEST(ParametersMissingKeyword, EveryTypedOperationThrowsTheLibraryException)
{
    TestParameters params;
    params.checkAndComply();

    std::vector<Case> cases;
    addCases<Point>(cases, params, "Point", "FIXED_VARIABLE");
    addCases<int>(cases, params, "int", "SEED");
    addCases<size_t>(cases, params, "size_t", "MAX_BB_EVAL");
    addCases<std::string>(cases, params, "std::string", "BB_EXE");
    addCases<ArrayOfDouble>(cases, params, "ArrayOfDouble", "LOWER_BOUND");
    addCases<bool>(cases, params, "bool", "DISPLAY_ALL_EVAL");
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.expected, outcomeOf(c.op));
    }
    // A failing operation changes nothing.
    EXPECT_FALSE(params.toBeChecked());
    EXPECT_EQ("", params.getSetAttributeAsString());

    expectReadInLowerCase<Point>(params, "FIXED_VARIABLE");
    expectReadInLowerCase<int>(params, "SEED");
    expectReadInLowerCase<size_t>(params, "MAX_BB_EVAL");
    expectReadInLowerCase<std::string>(params, "BB_EXE");
    expectReadInLowerCase<ArrayOfDouble>(params, "LOWER_BOUND");
    expectReadInLowerCase<bool>(params, "DISPLAY_ALL_EVAL");
}
