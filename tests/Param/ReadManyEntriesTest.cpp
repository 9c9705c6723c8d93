#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Math/ArrayOfPoint.hpp"
#include "Param/AllParameters.hpp"
#include "Param/Parameters.hpp"
#include "Param/PbParameters.hpp"
#include "Type/ListOfVariableGroup.hpp"
#include "Util/Utils.hpp"
#include "support/TestParameters.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::CerrCapture;
using QarnoTest::messageOf;
using QarnoTest::ProcessStateGuard;
using QarnoTest::TempDir;
using QarnoTest::TestParameters;

namespace
{

// Stores the lines as lines 1, 2, ... of "param.txt", as reading that file
// would, without interpreting them.
void storeLines(const std::vector<std::string>& lines)
{
    int lineNumber = 0;
    for (const auto& line : lines)
    {
        Parameters::readParamLine(line, "param.txt", ++lineNumber, false);
    }
}

std::string pointText(size_t i)
{
    return "( " + itos(i) + " " + itos(i + 1) + " " + itos(i + 2) + " )";
}

size_t occurrences(const std::string& text, const std::string& piece)
{
    size_t count = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
    {
        ++count;
    }
    return count;
}

// The log compared in full, but reported by its size and number of X0
// records: a wrong log of this test is far too long to be shown.
void expectLog(const std::string& expected, const std::string& log)
{
    EXPECT_EQ(1u, occurrences(log, "[ X0 "));
    EXPECT_TRUE(expected == log) << "log of " << log.size() << " characters, " << expected.size()
                                 << " expected";
}

} // namespace

// Many entries of X0, one starting point each, given in an order other than
// their indices: every point lands at its index, and the value-change log
// holds the list once, however the entries were read.
TEST(ReadManyEntries, StartingPointsOfManyLinesAreKeptInOrderAndLoggedOnce)
{
    ProcessStateGuard guard;
    TempDir dir;
    const size_t n = 401; // prime: 7 k mod n takes every index once
    std::vector<std::string> lines = {"DIMENSION 3"};
    for (size_t k = 0; k < n; ++k)
    {
        const size_t i = (7 * k) % n;
        lines.push_back("X0 " + itos(i) + " " + pointText(i));
    }
    const std::string path = dir.file("param.txt");
    {
        std::ofstream out(path);
        for (const auto& line : lines)
        {
            out << line << "\n";
        }
    }

    std::string allPoints;
    for (size_t i = 0; i < n; ++i)
    {
        allPoints += (i > 0 ? " " : "") + pointText(i);
    }
    const std::string expectedLog = " [ DIMENSION 3 ]  [ X0 " + allPoints + " ] ";

    const struct
    {
        const char* how;
        std::function<void(AllParameters&)> read;
    } cases[] = {
        {"parameter file", [&](AllParameters& all) { all.read(path, false, true); }},
        {"facade lines, each replacing the stored entry",
         [&](AllParameters& all)
         {
             for (const auto& line : lines)
             {
                 all.readParamLine(line);
             }
         }},
        {"set lines, the entries accumulating",
         [&](AllParameters& all)
         {
             for (const auto& line : lines)
             {
                 all.get_pb_params()->readParamLine(line, false);
             }
         }},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.how);
        ProcessStateGuard::resetToLoadState();
        AllParameters all;
        CerrCapture cerr;
        c.read(all);
        EXPECT_EQ("", cerr.text());

        const auto& pb = *all.get_pb_params();
        const ArrayOfPoint& x0 = pb.getSpValue<ArrayOfPoint>("X0", false, false);
        ASSERT_EQ(n, x0.size());
        for (size_t i = 0; i < n; ++i)
        {
            ASSERT_EQ(pointText(i), x0[i].display(ArrayOfDouble())) << "point " << i;
        }
        expectLog(expectedLog, all.getSetAttributeAsString());

        // Interpreting the same entries again changes neither.
        all.get_pb_params()->readEntries(false);
        EXPECT_EQ(n, pb.getSpValue<ArrayOfPoint>("X0", false, false).size());
        expectLog(expectedLog, all.getSetAttributeAsString());
    }
}

// The lists are stored once per chain of entries; an entry that fails still
// leaves the value, and its record, that the entries before it gave.
TEST(ReadManyEntries, FailingEntryKeepsWhatTheEntriesBeforeItGave)
{
    ProcessStateGuard guard;
    const struct
    {
        std::vector<std::string> lines;
        std::string message;
        std::string keyword;
        std::string log;
    } cases[] = {
        {{"DIMENSION 2", "X0 ( 1 2 )", "X0 1 ( 3 4 )", "X0 -1 ( 5 6 )"},
         "Error: cannot use -1 as an index.",
         "X0",
         " [ DIMENSION 2 ]  [ X0 ( 1 2 ) ( 3 4 ) ] "},
        {{"DIMENSION 2", "X0 -1 ( 5 6 )", "X0 ( 1 2 )"},
         "Error: cannot use -1 as an index.",
         "X0",
         " [ DIMENSION 2 ] "},
        {{"DIMENSION 5", "VARIABLE_GROUP 0 1", "VARIABLE_GROUP 3", "VARIABLE_GROUP 2 2"},
         "Invalid index. Duplicate index not allowed: VARIABLE_GROUP at line 4",
         "VARIABLE_GROUP",
         " [ DIMENSION 5 ]  [ VARIABLE_GROUP  ( 0 1 )   ( 3 )  ] "},
        {{"DIMENSION 5", "VARIABLE_GROUP 1 1", "VARIABLE_GROUP 3"},
         "Invalid index. Duplicate index not allowed: VARIABLE_GROUP at line 2",
         "VARIABLE_GROUP",
         " [ DIMENSION 5 ] "},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.lines.back());
        ProcessStateGuard::resetToLoadState();
        TestParameters params;
        storeLines(c.lines);
        EXPECT_EQ(c.message, messageOf([&] { params.readEntries(false); }));
        EXPECT_EQ(c.log, params.getSetAttributeAsString());
    }
}

// What the log shows for values read from entries, step by step: one record
// per keyword with the value the entries gave last; a direct write or a reset
// closes it, and entries read afterwards open a new one.
TEST(ReadManyEntries, LogKeepsOneRecordPerKeywordReadFromEntries)
{
    ProcessStateGuard guard;
    TestParameters params;
    const struct
    {
        const char* what;
        std::function<void()> step;
        std::string log;
    } steps[] = {
        {"a value read once", [&] { params.readParamLine("SEED 3", true); }, " [ SEED 3 ] "},
        {"the store read again for another line",
         [&] { params.readParamLine("MAX_BB_EVAL 10", true); }, " [ SEED 3 ]  [ MAX_BB_EVAL 10 ] "},
        {"a new value from a line", [&] { params.readParamLine("SEED 4", true); },
         " [ SEED 4 ]  [ MAX_BB_EVAL 10 ] "},
        {"a direct write", [&] { params.setAttributeValue<int>("SEED", 5); },
         " [ SEED 4 ]  [ MAX_BB_EVAL 10 ]  [ SEED 5 ] "},
        {"the stored entry applied again after the direct write",
         [&] { params.readParamLine("DISPLAY_DEGREE 1", true); },
         " [ SEED 4 ]  [ MAX_BB_EVAL 10 ]  [ SEED 5 ]  [ DISPLAY_DEGREE 1 ]  [ SEED 4 ] "},
        {"entries back to the default", [&] { params.readParamLine("DISPLAY_DEGREE 2", true); },
         " [ SEED 4 ]  [ MAX_BB_EVAL 10 ]  [ SEED 5 ]  [ SEED 4 ] "},
        {"a reset", [&] { params.resetToDefaultValues(); },
         " [ SEED 4 ]  [ MAX_BB_EVAL 10 ]  [ SEED 5 ]  [ SEED 4 ] "},
        {"the entries read after the reset", [&] { params.readEntries(false); },
         " [ SEED 4 ]  [ MAX_BB_EVAL 10 ]  [ SEED 5 ]  [ SEED 4 ]  [ MAX_BB_EVAL 10 ]  "
         "[ SEED 4 ] "},
    };
    for (const auto& s : steps)
    {
        SCOPED_TRACE(s.what);
        CerrCapture cerr;
        s.step();
        EXPECT_EQ("", cerr.text());
        EXPECT_EQ(s.log, params.getSetAttributeAsString());
    }
}
