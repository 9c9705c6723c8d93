// The blackbox output line: its fields against the output types, the count
// flag, and its text form in the cache file.

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "Eval/BBOutput.hpp"
#include "Type/BBOutputType.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::CerrCapture;
using QarnoTest::messageOf;
using QarnoTest::UNDEF;

namespace
{

void expectValue(double expected, const Double& actual)
{
    if (expected != expected)
    {
        EXPECT_FALSE(actual.isDefined());
    }
    else
    {
        ASSERT_TRUE(actual.isDefined());
        EXPECT_EQ(expected, actual.todouble());
    }
}

TEST(BBOutput, FieldsAgainstOutputTypes)
{
    const struct
    {
        const char* raw;
        const char* types;
        size_t nbFields;
        double objective;
        std::vector<double> constraints;
        bool complete;
        const char* message; // what checkSizeMatch writes, "" when the count matches
    } cases[] = {
        {"1.5  2  3", "OBJ PB PB", 3, 1.5, {2, 3}, true, ""},
        {"  -1 0.5 ", "EB OBJ", 2, 0.5, {-1}, true, ""},
        {"1.5 2",
         "OBJ PB PB",
         2,
         UNDEF,
         {},
         false,
         "Error: Parameter BB_OUTPUT_TYPE has 3 types, but raw output has 2 fields:\n1.5 2\n"},
        {"",
         "OBJ",
         0,
         UNDEF,
         {},
         false,
         "Error: Parameter BB_OUTPUT_TYPE has 1 type, but raw output has 0 field:\n\n"},
        {"1 2",
         "OBJ",
         2,
         UNDEF,
         {},
         false,
         "Error: Parameter BB_OUTPUT_TYPE has 1 type, but raw output has 2 fields:\n1 2\n"},
        // Every white space separates, as in the files the outputs are read
        // back from; a line ending in CR LF leaves no stray character.
        {"1\t2 3", "OBJ PB PB", 3, 1, {2, 3}, true, ""},
        {"1\v2\f3", "OBJ PB PB", 3, 1, {2, 3}, true, ""},
        {"1.5 2\r", "OBJ PB", 2, 1.5, {2}, true, ""},
        // The raw line in the message hides no control character.
        {"1\t2 3\r",
         "OBJ PB",
         3,
         UNDEF,
         {},
         false,
         "Error: Parameter BB_OUTPUT_TYPE has 2 types, but raw output has 3 fields:\n1\\t2 3\\r\n"},
        // Infinities are numbers; unused and count fields are not inspected.
        {"INF -inf", "OBJ PB", 2, DBL_MAX, {-DBL_MAX}, true, ""},
        {"1 abc yes", "OBJ BBO_UNDEFINED CNT_EVAL", 3, 1, {}, true, ""},
        {"nan 0", "OBJ PB", 2, UNDEF, {0}, false, ""},
        {"2 word", "OBJ EB", 2, 2, {UNDEF}, false, ""},
        // Only the first objective is read; a later one still counts for completeness.
        {"4 x", "OBJ OBJ", 2, 4, {}, false, ""},
        {"0 1", "PB EB", 2, UNDEF, {0, 1}, true, ""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.raw) + " | " + c.types);
        const BBOutput bbo(c.raw, true);
        const BBOutputTypeList types = stringToBBOutputTypeList(c.types);
        EXPECT_EQ(c.nbFields, bbo.getNbFields());
        {
            CerrCapture err;
            EXPECT_EQ(c.message[0] == '\0', bbo.checkSizeMatch(types));
            EXPECT_EQ(c.message, err.text());
        }
        CerrCapture quiet;
        expectValue(c.objective, bbo.getObjective(types));
        const ArrayOfDouble constraints = bbo.getConstraints(types);
        ASSERT_EQ(c.constraints.size(), constraints.size());
        for (size_t i = 0; i < constraints.size(); ++i)
        {
            expectValue(c.constraints[i], constraints[i]);
        }
        EXPECT_EQ(c.complete, bbo.isComplete(types));
    }
}

TEST(BBOutput, CountEvalFields)
{
    const struct
    {
        const char* raw;
        const char* types;
        bool counted;
    } cases[] = {
        {"1 0", "OBJ CNT_EVAL", false},
        {"1 yes", "OBJ CNT_EVAL", true},
        {"1 False", "OBJ CNT_EVAL", false},
        {"1 Y", "OBJ CNT_EVAL", true},
        {"1 0", "OBJ PB", true},
        {"1 0 1", "OBJ CNT_EVAL CNT_EVAL", true},
        {"1 1 no", "OBJ CNT_EVAL CNT_EVAL", false},
        // No size check: a field missing or a type missing is not read.
        {"1", "OBJ CNT_EVAL", true},
        {"1 0", "OBJ", true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.raw) + " | " + c.types);
        CerrCapture err;
        EXPECT_EQ(c.counted, BBOutput(c.raw, true).getCountEval(stringToBBOutputTypeList(c.types)));
        EXPECT_EQ("", err.text());
    }
    EXPECT_EQ(
        "Unrecognized string for bool: MAYBE",
        messageOf(
            [] {
                BBOutput("1 maybe", true).getCountEval({BBOutputType::OBJ, BBOutputType::CNT_EVAL});
            }));
}

TEST(BBOutput, TextFormRoundTrip)
{
    const struct
    {
        const char* raw;
        const char* written;
        const char* readBack;
    } cases[] = {
        {"1.5  2  3", "( 1.5  2  3 )", "1.5 2 3"},
        {"", "(  )", ""},
        {"-1 fail", "( -1 fail )", "-1 fail"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.raw);
        std::ostringstream out;
        out << BBOutput(c.raw, false);
        EXPECT_EQ(c.written, out.str());

        std::istringstream in(out.str() + " next");
        BBOutput read("old", false);
        in >> read;
        EXPECT_EQ(c.readBack, read.getBBO());
        EXPECT_TRUE(read.getEvalOk()); // what the cache file holds ran
        std::string next;
        in >> next;
        EXPECT_EQ("next", next);
    }
}

/// The fields of an output, in order.
std::vector<std::string> fieldsOf(const BBOutput& bbo)
{
    std::vector<std::string> fields;
    for (size_t i = 0; i < bbo.getNbFields(); ++i)
    {
        fields.emplace_back(bbo.getField(i));
    }
    return fields;
}

TEST(BBOutput, TextFormReadsBackEveryField)
{
    // Whatever an evaluator printed, the text form reads back to the same
    // fields: a word ")" must not end the output early, a control character
    // is not written raw into the file.
    const struct
    {
        std::string raw;
        std::string written;
    } cases[] = {
        {"10.58 )", "( 10.58 \\) )"},
        {")", "( \\) )"},
        {") )", "( \\) \\) )"},
        {"( 1 )", "( ( 1 \\) )"},
        {"\\) 2", "( \\\\\\) 2 )"},
        {"a\\b 1", "( a\\b 1 )"},
        {"1\t2\v3\f4", "( 1 2 3 4 )"},
        {"3.5 0\r", "( 3.5 0 )"},
        {std::string("x\0y", 3) + " \x1b[2J \x7f", "( \\x\\x00y \\\\x1B[2J \\\\x7F )"},
        {"  1   2  ", "(   1   2   )"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.written);
        const BBOutput original(c.raw, false);
        std::ostringstream out;
        out << original;
        EXPECT_EQ(c.written, out.str());

        std::istringstream in(out.str() + " next");
        BBOutput read("old", false);
        in >> read;
        EXPECT_EQ(fieldsOf(original), fieldsOf(read));
        std::string next;
        in >> next;
        EXPECT_EQ("next", next);
    }
}

TEST(BBOutput, MalformedTextFormThrowsAndKeepsTheOutput)
{
    const struct
    {
        const char* text;
        const char* message;
    } cases[] = {
        {"1 2 )", "Expecting \"(\", got \"1\""},
        {"", "Expecting \"(\", got \"\""},
        {"( 1 2", "Expecting \")\", got \"\""},
        {"\x01 1 )", "Expecting \"(\", got \"\\x01\""},
        // Escaped words that the writer cannot make: after the leading
        // backslash, a backslash starts "\\" or "\xHH" only.
        {"( \\\\q )", "Invalid escaped word in blackbox output: \"\\\\q\""},
        {"( \\a\\x4 )", "Invalid escaped word in blackbox output: \"\\a\\x4\""},
        {"( \\a\\xZZ )", "Invalid escaped word in blackbox output: \"\\a\\xZZ\""},
        {"( \\ )", "Invalid escaped word in blackbox output: \"\\\""},
        // A separator inside a field would make two fields of it.
        {"( \\a\\x20b )", "Invalid escaped word in blackbox output: \"\\a\\x20b\""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.text);
        std::istringstream in(c.text);
        BBOutput bbo("kept", false);
        EXPECT_EQ(c.message, messageOf([&] { in >> bbo; }));
        EXPECT_TRUE(in.fail());
        EXPECT_EQ("kept", bbo.getBBO());
        EXPECT_FALSE(bbo.getEvalOk());
    }
}

TEST(BBOutput, CopiesShareTheLine)
{
    // Outputs travel with every copy of their point; the line is not duplicated.
    const BBOutput a(std::string(1000, '1'), true);
    const BBOutput b = a;
    EXPECT_EQ(&a.getBBO(), &b.getBBO());
    BBOutput c = b;
    c.setBBO("2", true);
    EXPECT_EQ(std::string(1000, '1'), a.getBBO());
}

TEST(BBOutput, NumbersGiveWhatTheirLineGives)
{
    // An evaluator that returns numbers skips the text reader: the line, the
    // fields and every value read from them must be those of the line.
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<std::vector<double>> cases = {
        {1.5, -2, 0},
        {0.1, 1e-300, 1e300},
        {-0.0, DBL_MAX, -DBL_MAX},
        {std::numeric_limits<double>::denorm_min(), 1.2345678901234567e-05, -3},
        {inf, -inf, std::numeric_limits<double>::quiet_NaN()},
    };
    const BBOutputTypeList types = {BBOutputType::OBJ, BBOutputType::PB, BBOutputType::EB};
    for (const auto& values : cases)
    {
        BBOutput fromNumbers;
        fromNumbers.setBBO(values, true);
        const BBOutput fromText(fromNumbers.getBBO(), true);
        SCOPED_TRACE(fromNumbers.getBBO());
        ASSERT_EQ(values.size(), fromNumbers.getNbFields());
        for (size_t i = 0; i < values.size(); ++i)
        {
            EXPECT_EQ(fromText.getField(i), fromNumbers.getField(i));
            const Double a = fromText.getFieldValue(i);
            const Double b = fromNumbers.getFieldValue(i);
            ASSERT_EQ(a.isDefined(), b.isDefined());
            if (a.isDefined())
            {
                // Bit for bit: minus zero stays minus zero.
                EXPECT_EQ(std::signbit(a.todouble()), std::signbit(b.todouble()));
                EXPECT_EQ(a.todouble(), b.todouble());
            }
        }
        EXPECT_EQ(fromText.isComplete(types), fromNumbers.isComplete(types));
        EXPECT_EQ(fromText.getConstraints(types).display(),
                  fromNumbers.getConstraints(types).display());
    }
    BBOutput none;
    none.setBBO(std::vector<double>(), true);
    EXPECT_EQ("", none.getBBO());
    EXPECT_EQ(0u, none.getNbFields());
}

} // namespace
