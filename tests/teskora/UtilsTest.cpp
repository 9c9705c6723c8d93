#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/TeskoraTestSupport.hpp"
#include "teskora/Diagnostics.hpp"
#include "teskora/Exception.hpp"
#include "teskora/Utils.hpp"

namespace
{

using TeskoraTest::thrownMessage;

const double NaN = std::numeric_limits<double>::quiet_NaN();
const double Inf = std::numeric_limits<double>::infinity();

} // namespace

TEST(TeskoraException, WhatGivesFileLineAndMessage)
{
    const TESKORA::Exception e("src/x.cpp", 42, "bad thing");
    EXPECT_STREQ("src/x.cpp:42 (bad thing)", e.what());
    EXPECT_STREQ("src/x.cpp:42 (bad thing)", e.what());
}

TEST(TeskoraDiagnostics, RedirectCapturesAndRestores)
{
    std::ostringstream captured;
    {
        TESKORA::DiagStreamRedirect redirect(captured);
        TESKORA::diag_stream() << "NOT READY\n";
    }
    EXPECT_EQ("NOT READY\n", captured.str());
    EXPECT_EQ(&std::cout, &TESKORA::diag_stream());
}

TEST(TeskoraUtils, NumberFunctions)
{
    struct DefCase
    {
        double x;
        bool def;
    };
    for (const DefCase& c : std::vector<DefCase>{{9.99e15, true},
                                                 {-9.99e15, true},
                                                 {0, true},
                                                 {1e16, false},
                                                 {-1e16, false},
                                                 {Inf, false},
                                                 {-Inf, false},
                                                 {NaN, false}})
    {
        SCOPED_TRACE(c.x);
        EXPECT_EQ(c.def, TESKORA::isdef(c.x));
    }
    struct RoundCase
    {
        double x;
        int r;
        double rc;
    };
    for (const RoundCase& c : std::vector<RoundCase>{{2.5, 3, 3},
                                                     {-2.5, -3, -3},
                                                     {-0.4, 0, -1},
                                                     {0.49999, 0, 1},
                                                     {0.2, 0, 1},
                                                     {-0.2, 0, -1},
                                                     {3, 3, 3},
                                                     {0, 0, 0}})
    {
        SCOPED_TRACE(c.x);
        EXPECT_EQ(c.r, TESKORA::round(c.x));
        EXPECT_EQ(c.rc, TESKORA::rceil(c.x));
    }
    EXPECT_EQ(0.0, TESKORA::rceil(NaN));

    struct PairCase
    {
        double a, b, relErr;
        bool sameSign;
    };
    for (const PairCase& c : std::vector<PairCase>{{0, 5, 5, false},
                                                   {-1, 1, 1, false},
                                                   {2, 4, 0.5, true},
                                                   {3, 3, 0, true},
                                                   {0, 0, 0, true},
                                                   {1, 0, 1, false},
                                                   {-1, -2, 0.5, true},
                                                   {1e-14, -1e-14, 1, true}})
    {
        SCOPED_TRACE(std::to_string(c.a) + " " + std::to_string(c.b));
        EXPECT_DOUBLE_EQ(c.relErr, TESKORA::rel_err(c.a, c.b));
        EXPECT_EQ(c.sameSign, TESKORA::same_sign(c.a, c.b));
    }

    const double x[] = {0, 0, 7}, y[] = {3, 4, -1};
    EXPECT_DOUBLE_EQ(5.0, TESKORA::dist(x, y, 2));
    EXPECT_EQ(0.0, TESKORA::dist(x, y, 0));

    timeval t1{10, 1500}, t2{9, 999999};
    EXPECT_EQ(2, TESKORA::diff_ms(t1, t2));  // 1.501 ms rounds to 2
    EXPECT_EQ(-1, TESKORA::diff_ms(t2, t1)); // (-1501 + 500) / 1000 truncates to -1
}

TEST(TeskoraUtils, StringFunctions)
{
    EXPECT_EQ("a b\t", TESKORA::deblank("  a   b\t  "));
    EXPECT_EQ("a\t\tb", TESKORA::deblank("a\t\tb"));
    EXPECT_EQ("", TESKORA::deblank("   "));

    struct WordsCase
    {
        std::string s;
        int n;
    };
    for (const WordsCase& c : std::vector<WordsCase>{{"", 0}, {"ab cd ", 2}, {" \t x\ny  z ", 3}})
    {
        SCOPED_TRACE(c.s);
        EXPECT_EQ(c.n, TESKORA::count_words(c.s));
    }

    struct FindCase
    {
        std::string s, sub;
        bool found;
    };
    for (const FindCase& c : std::vector<FindCase>{{"", "", false},
                                                   {"abc", "", true},
                                                   {"Kernel_Type", "TYPE", true},
                                                   {"abc", "abcd", false},
                                                   {"", "a", false}})
    {
        SCOPED_TRACE(c.s + "|" + c.sub);
        EXPECT_EQ(c.found, TESKORA::string_find(c.s, c.sub));
    }

    struct DigitCase
    {
        std::string s;
        bool digits;
    };
    for (const DigitCase& c :
         std::vector<DigitCase>{{"-1.5e3", false}, {"+3.25", true}, {"", true}, {"1 2", false}})
    {
        SCOPED_TRACE(c.s);
        EXPECT_EQ(c.digits, TESKORA::isdigit(c.s));
    }

    EXPECT_TRUE(TESKORA::streq(std::string("ab\0x", 4), std::string("ab\0y", 4)));
    EXPECT_FALSE(TESKORA::streq("ab", "abc"));
    EXPECT_TRUE(TESKORA::streqi("Norm2", "NORM2"));
    EXPECT_EQ("ABC_1\xE9", TESKORA::toupper("aBc_1\xE9"));

    EXPECT_EQ("-12", TESKORA::itos(-12));
    EXPECT_EQ("0.333333", TESKORA::dtos(1.0 / 3));
    EXPECT_EQ("1e+06", TESKORA::dtos(1e6));
    EXPECT_EQ("True", TESKORA::btos(true));
    EXPECT_EQ("False", TESKORA::btos(false));
    EXPECT_EQ(2.5, TESKORA::stod("2.5abc"));
    EXPECT_EQ(0.0, TESKORA::stod("abc"));
    EXPECT_EQ(12, TESKORA::stoi("12.7"));
    EXPECT_EQ(0, TESKORA::stoi("x"));
}

TEST(TeskoraUtils, BooleanParser)
{
    struct BoolCase
    {
        std::string s;
        bool value;
    };
    for (const BoolCase& c : std::vector<BoolCase>{{"yes", true},
                                                   {"No", false},
                                                   {"tRUE", true},
                                                   {"false", false},
                                                   {"1", true},
                                                   {"0", false}})
    {
        SCOPED_TRACE(c.s);
        EXPECT_EQ(c.value, TESKORA::stob(c.s));
    }
    EXPECT_EQ("Unrecognised string \"2\" ( 2 )", thrownMessage([] { TESKORA::stob("2"); }));
    EXPECT_EQ("Unrecognised string \"maybe\" ( MAYBE )",
              thrownMessage([] { TESKORA::stob("maybe"); }));
}

TEST(TeskoraUtils, EnumerationParsers)
{
    struct DistanceCase
    {
        std::string s;
        TESKORA::distance_t t;
    };
    for (const DistanceCase& c : std::vector<DistanceCase>{{"iso", TESKORA::NORM2_IS0},
                                                           {"IsO", TESKORA::NORM2_IS0},
                                                           {"is0", TESKORA::NORM2_IS0},
                                                           {"norm2_iso", TESKORA::NORM2_IS0},
                                                           {"cat", TESKORA::NORM2_CAT},
                                                           {"NormInf", TESKORA::NORMINF},
                                                           {"norm1", TESKORA::NORM1},
                                                           {"NORM2", TESKORA::NORM2}})
    {
        SCOPED_TRACE(c.s);
        EXPECT_EQ(c.t, TESKORA::str_to_distance_type(c.s));
    }
    // Every text parses back to its own value.
    for (int i = 0; i <= 12; ++i)
    {
        const auto t = static_cast<TESKORA::model_t>(i);
        SCOPED_TRACE(i);
        EXPECT_EQ(t, TESKORA::str_to_model_type(TESKORA::model_type_to_str(t)));
    }
    for (int i = 0; i <= 4; ++i)
    {
        const auto w = static_cast<TESKORA::weight_t>(i);
        SCOPED_TRACE(i);
        EXPECT_EQ(w, TESKORA::str_to_weight_type(TESKORA::weight_type_to_str(w)));
        EXPECT_EQ(static_cast<TESKORA::distance_t>(i), TESKORA::int_to_distance_type(i));
    }
    EXPECT_EQ(TESKORA::LOWESS, TESKORA::str_to_model_type("lwr"));
    EXPECT_EQ("NORM2_IS0", TESKORA::distance_type_to_str(TESKORA::NORM2_IS0));
    EXPECT_EQ("DUM", TESKORA::bbo_type_to_str(TESKORA::DUM));
    EXPECT_EQ("binary", TESKORA::model_output_to_str(TESKORA::BINARY));

    struct ErrorCase
    {
        const char* name;
        std::function<void()> call;
        std::string message;
    };
    const std::vector<ErrorCase> errors = {
        {"weight OPTIMIZATION", [] { TESKORA::str_to_weight_type("OPTIMIZATION"); },
         "Unrecognised string \"OPTIMIZATION\" ( OPTIMIZATION )"},
        {"distance norm3", [] { TESKORA::str_to_distance_type("norm3"); },
         "Unrecognised string \"norm3\" ( NORM3 )"},
        {"model kriging ", [] { TESKORA::str_to_model_type("kriging "); },
         "Unrecognised string \"kriging \" ( KRIGING  )"},
        {"int 5", [] { TESKORA::int_to_distance_type(5); },
         "int_to_distance_type: invalid integer 5"},
        {"int -1", [] { TESKORA::int_to_distance_type(-1); },
         "int_to_distance_type: invalid integer -1"},
        {"model 13", [] { TESKORA::model_type_to_str(static_cast<TESKORA::model_t>(13)); },
         "Undefined type"},
        {"distance 5", [] { TESKORA::distance_type_to_str(static_cast<TESKORA::distance_t>(5)); },
         "Undefined type"},
        {"weight -1", [] { TESKORA::weight_type_to_str(static_cast<TESKORA::weight_t>(-1)); },
         "Undefined type"},
        {"bbo 3", [] { TESKORA::bbo_type_to_str(static_cast<TESKORA::bbo_t>(3)); },
         "Undefined type"},
        {"output 3", [] { TESKORA::model_output_to_str(static_cast<TESKORA::model_output_t>(3)); },
         "Undefined type"},
    };
    for (const ErrorCase& c : errors)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.message, thrownMessage(c.call));
    }
}

TEST(TeskoraUtils, AppendFileCreatesAndAppends)
{
    const std::string file = ::testing::TempDir() + "teskora_append_file.txt";
    std::remove(file.c_str());
    EXPECT_FALSE(TESKORA::exists(file));
    TESKORA::append_file("first %s", file);
    TESKORA::append_file("second", file);
    EXPECT_TRUE(TESKORA::exists(file));
    std::ifstream in(file);
    std::stringstream content;
    content << in.rdbuf();
    EXPECT_EQ("first %s\nsecond\n", content.str());
    std::remove(file.c_str());
}
