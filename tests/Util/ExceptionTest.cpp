#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "Algos/IterationUtils.hpp"
#include "Util/Exception.hpp"
#include "teskora/Exception.hpp"
#include "teskora/Kernel.hpp"

using QARNO_4_0_0::Exception;

namespace
{

// A kind with a fixed type message, as the parameter layer defines them.
class TypedException : public Exception
{
public:
    TypedException(const std::string& file, size_t line, const std::string& msg)
        : Exception(file, line, msg)
    {
        _typeMsg = "Invalid Parameter.";
    }
};

TEST(Exception, RenderedForms)
{
    const struct
    {
        const char* file;
        size_t line;
        const char* msg;
        bool typed;
        const char* expected;
    } cases[] = {
        {"f", 12, "bad value", false, "QARNO::Exception thrown (f, 12) bad value"},
        {"f", 12, "bad value", true,
         "QARNO::Exception thrown (f, 12) Invalid Parameter. bad value"},
        {"f", 0, "m", false, "QARNO::Exception thrown (f, 0) m"},
        {"", 5, "m", false, "QARNO::Exception thrown (, 5) m"},
        {"", 0, "bad value", false, " bad value"},
        {"", 0, "bad value", true, " Invalid Parameter. bad value"},
        {"f", 3, "", true, "QARNO::Exception thrown (f, 3)"},
        {"", 0, "", false, ""},
        {"", 0, "", true, ""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.file) + "|" + std::to_string(c.line) + "|" + c.msg);
        if (c.typed)
        {
            TypedException e(c.file, c.line, c.msg);
            EXPECT_STREQ(c.expected, e.what());
        }
        else
        {
            Exception e(c.file, c.line, c.msg);
            EXPECT_STREQ(c.expected, e.what());
        }
    }
}

TEST(Exception, WhatRendersOnce)
{
    TypedException e("src/Param/Parameters", 42, "Parameter X is not set");
    const std::string first = e.what();
    EXPECT_EQ("QARNO::Exception thrown (src/Param/Parameters, 42) Invalid Parameter. "
              "Parameter X is not set",
              first);
    EXPECT_EQ(first, e.what());
    EXPECT_EQ(first, e.what());

    // A copy made after the first rendering shows the same text too.
    const TypedException copy = e;
    EXPECT_EQ(first, copy.what());
}

TEST(Exception, CaughtAsStandardException)
{
    try
    {
        throw Exception("f", 1, "m");
    }
    catch (const std::exception& e)
    {
        EXPECT_STREQ("QARNO::Exception thrown (f, 1) m", e.what());
    }
}

} // namespace

TEST(Exception, SourceFileTextIsThePathFromTheSourceFolder)
{
    const struct
    {
        const char* file;
        const char* text;
    } cases[] = {
        {"src/Math/ArrayOfDouble.cpp", "src/Math/ArrayOfDouble"},
        {"/home/user/build/src/Algos/IterationUtils.cpp", "src/Algos/IterationUtils"},
        // The last source folder of the path is the project's.
        {"/work/src/qarno/src/Eval/Barrier.cpp", "src/Eval/Barrier"},
        {"/opt/mysrc/src/Math/Point.hpp", "src/Math/Point"},
        {"src/Algos/Mads/GMesh", "src/Algos/Mads/GMesh"},
        {"Elsewhere.cpp", "Elsewhere"},
        {"", ""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.file);
        EXPECT_EQ(c.text, QARNO_4_0_0::sourceFileText(c.file));
    }
}

TEST(Exception, LibraryThrowsNameTheirFileWithoutTheBuildFolder)
{
    // A step helper without its step: the library's own throw.
    try
    {
        struct Generator : QARNO_4_0_0::IterationUtils
        {
            Generator() : IterationUtils(nullptr) {}
            void generateTrialPoints() override {}
        };
        const Generator generator;
        FAIL() << "nothing thrown";
    }
    catch (const Exception& e)
    {
        const std::string what = e.what();
        EXPECT_EQ(0u, what.find("QARNO::Exception thrown (src/Algos/IterationUtils, ")) << what;
        EXPECT_NE(std::string::npos, what.find("IterationUtils needs a parent step")) << what;
    }
    try
    {
        TESKORA::str_to_kernel_type("NOPE");
        FAIL() << "nothing thrown";
    }
    catch (const TESKORA::Exception& e)
    {
        const std::string what = e.what();
        EXPECT_EQ(0u, what.find("src/teskora/Kernel.cpp:")) << what;
    }
}
