#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Param/ParameterEntries.hpp"
#include "Param/ParameterEntry.hpp"
#include "Param/Parameters.hpp"
#include "Util/Exception.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::CerrCapture;

namespace
{

void writeFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary);
    out << content;
}

std::shared_ptr<ParameterEntry> entry(const std::string& line)
{
    return std::make_shared<ParameterEntry>(line, true);
}

std::vector<std::string> names(const std::vector<std::shared_ptr<ParameterEntry>>& entries)
{
    std::vector<std::string> result;
    for (const auto& e : entries)
    {
        result.push_back(e->getName() + " " + e->getAllValues());
    }
    return result;
}

using Words = std::vector<std::string>;

} // namespace

TEST(ParameterEntryTest, ParsesKeywordAndValueWords)
{
    const struct
    {
        std::string line;
        std::string name;
        Words values;
        bool ok;
    } cases[] = {
        // keyword case and white space, carriage return included
        {"DIMENSION 2", "DIMENSION", {"2"}, true},
        {"dimension 2", "DIMENSION", {"2"}, true},
        {"\t Dimension \t 2  \r", "DIMENSION", {"2"}, true},
        {"DIMENSION\r", "DIMENSION", {}, false},
        {"", "", {}, false},
        {" \t\r\f\v", "", {}, false},
        // brackets
        {"X0 ( 0 0 0 )", "X0", {"(", "0", "0", "0", ")"}, true},
        {"X0 (0 0 0)", "X0", {"(", "0", "0", "0", ")"}, true},
        {"LOWER_BOUND [0 1]", "LOWER_BOUND", {"[", "0", "1", "]"}, true},
        {"K (1)", "K", {"(", "1", ")"}, true},
        {"K [0.5]", "K", {"[", "0.5", "]"}, true},
        {"K ()", "K", {"(", ")"}, true},
        {"K (1]", "K", {"(", "1", "]"}, true},
        {"K ((1", "K", {"(", "(1"}, true},
        {"K 1))", "K", {"1)", ")"}, true},
        {"K (", "K", {"("}, true},
        {"VARIABLE_GROUP 0-2", "VARIABLE_GROUP", {"0-2"}, true},
        {"(K) (v)", "(K)", {"(", "v", ")"}, true},
        // quotes of both kinds
        {"BB_EXE 'my solver.exe'", "BB_EXE", {"my solver.exe"}, true},
        {"BB_EXE \"a   b\"", "BB_EXE", {"a   b"}, true},
        {"BB_EXE 'a.txt'", "BB_EXE", {"a.txt"}, true},
        {"BB_EXE ''", "BB_EXE", {""}, true},
        {"BB_EXE \"\"", "BB_EXE", {""}, true},
        {"BB_EXE ' a b'", "BB_EXE", {" a b"}, true},
        {"BB_EXE 'a b'c", "BB_EXE", {"a b", "c"}, true},
        {"BB_EXE it's", "BB_EXE", {"it's"}, true},
        {"BB_EXE \"it's here\"", "BB_EXE", {"it's here"}, true},
        {"BB_EXE \"(a b)\"", "BB_EXE", {"(", "a b", ")"}, true},
        {"BB_EXE 'a # b'", "BB_EXE", {"a # b"}, true},
        {"'K' v", "'K'", {"v"}, true},
        // a quote left open
        {"BB_EXE 'a b", "BB_EXE", {}, false},
        {"BB_EXE '", "BB_EXE", {}, false},
        {"BB_EXE x 'a b", "BB_EXE", {"x"}, false},
        {"BB_EXE \"a b'", "BB_EXE", {}, false},
        // comments
        {"MAX_BB_EVAL 100 # budget", "MAX_BB_EVAL", {"100"}, true},
        {"MAX_BB_EVAL 100 #budget 'x", "MAX_BB_EVAL", {"100"}, true},
        {"# MAX_BB_EVAL 100", "", {}, false},
        {"#MAX_BB_EVAL 100", "", {}, false},
        {"K a#b", "K", {"a#b"}, true},
        {"MAX_BB_EVAL # 100", "MAX_BB_EVAL", {}, false},
        // odd bytes are ordinary characters
        {std::string("K a\0b c", 7), "K", {std::string("a\0b", 3), "c"}, true},
        {"K \x01\xff", "K", {"\x01\xff"}, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE("line: " + c.line);
        const ParameterEntry e(c.line, true);
        EXPECT_EQ(c.name, e.getName());
        EXPECT_EQ(c.values, e.getValues());
        EXPECT_EQ(c.ok, e.isOk());
        EXPECT_TRUE(e.isUnique());
        EXPECT_FALSE(e.hasBeenInterpreted());
        EXPECT_EQ(0, e.getLine());
        EXPECT_EQ("", e.getParamFile());
        EXPECT_EQ(nullptr, e.getNext());
    }
}

TEST(ParameterEntryTest, WithoutCommentRemovalHashIsOrdinary)
{
    const ParameterEntry e("#k #v w", false);
    EXPECT_EQ("#K", e.getName());
    EXPECT_EQ((Words{"#v", "w"}), e.getValues());
    EXPECT_TRUE(e.isOk());
}

TEST(ParameterEntryTest, DisplayAndAllValues)
{
    const struct
    {
        std::string line;
        std::string display;
        std::string allValues;
    } cases[] = {
        {"DIMENSION 2", "DIMENSION: [2] ", "2 "},
        {"X0 (1 2)", "X0: [(] [1] [2] [)] ", "( 1 2 ) "},
        {"BB_EXE ''", "BB_EXE: [] ", " "},
        {"DIMENSION", "", ""},
        {"BB_EXE x 'open", "", "x "},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE("line: " + c.line);
        const ParameterEntry e(c.line, true);
        std::ostringstream os;
        e.display(os);
        EXPECT_EQ(c.display, os.str());
        EXPECT_EQ(c.allValues, e.getAllValues());
    }
}

TEST(ParameterEntryTest, VeryLongLinesParse)
{
    const std::string bigWord(1 << 20, 'x');
    const ParameterEntry e1("K (" + bigWord + ")", true);
    ASSERT_EQ(3u, e1.getNbValues());
    EXPECT_EQ(bigWord, e1.getValues()[1]);

    // Many words, and a long run of quote characters.
    std::string many = "K";
    for (int i = 0; i < 100000; ++i)
    {
        many += " 1";
    }
    EXPECT_EQ(100000u, ParameterEntry(many, true).getNbValues());
    const ParameterEntry e2("K " + std::string(100001, '\''), true);
    EXPECT_EQ((Words{std::string(99999, '\'')}), e2.getValues());
    const ParameterEntry e3("K 'x" + std::string(1 << 20, ' '), true);
    EXPECT_FALSE(e3.isOk());
    EXPECT_EQ(0u, e3.getNbValues());
}

TEST(ParameterEntriesTest, ChainsRepeatedKeywordsInOrderOfArrival)
{
    QarnoTest::ProcessStateGuard guard;
    ParameterEntries store;
    const auto seed1 = entry("SEED 1");
    const auto dim = entry("DIMENSION 2");
    const auto seed2 = entry("seed 2");
    const auto seed3 = entry("Seed 3");
    store.insert(seed1);
    store.insert(dim);
    EXPECT_TRUE(seed1->isUnique());
    store.insert(seed2);
    store.insert(seed3);

    EXPECT_EQ(4u, store.size());
    EXPECT_FALSE(seed1->isUnique());
    EXPECT_FALSE(seed2->isUnique());
    EXPECT_FALSE(seed3->isUnique());
    EXPECT_TRUE(dim->isUnique());
    EXPECT_EQ(seed2, seed1->getNext());
    EXPECT_EQ(seed3, seed2->getNext());
    EXPECT_EQ(nullptr, seed3->getNext());
    EXPECT_EQ(nullptr, dim->getNext());

    // A lookup reads its text like a line: first word, any case.
    const struct
    {
        std::string name;
        std::shared_ptr<ParameterEntry> found;
    } cases[] = {
        {"SEED", seed1},     {"seed", seed1},  {"  sEeD  other words", seed1},
        {"dimension", dim},  {"SEE", nullptr}, {"SEEDS", nullptr},
        {"# SEED", nullptr}, {"", nullptr},    {"X0", nullptr},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE("name: " + c.name);
        EXPECT_EQ(c.found, store.find(c.name));
    }
}

TEST(ParameterEntriesTest, EraseRemovesTheWholeChain)
{
    QarnoTest::ProcessStateGuard guard;
    for (int which = 0; which < 2; ++which)
    {
        SCOPED_TRACE(which);
        ParameterEntries store;
        const auto seed1 = entry("SEED 1");
        const auto seed2 = entry("SEED 2");
        store.insert(seed1);
        store.insert(entry("DIMENSION 2"));
        store.insert(seed2);
        store.erase(which == 0 ? seed1 : seed2);
        EXPECT_EQ(1u, store.size());
        EXPECT_EQ(nullptr, store.find("SEED"));
        EXPECT_NE(nullptr, store.find("DIMENSION"));
        // The removed entries keep their fields.
        EXPECT_EQ(seed2, seed1->getNext());
        EXPECT_FALSE(seed1->isUnique());

        // A keyword stored again after an erase starts a new chain.
        const auto seed3 = entry("SEED 3");
        store.insert(seed3);
        EXPECT_TRUE(seed3->isUnique());
        EXPECT_EQ(seed3, store.find("SEED"));

        store.eraseAll();
        EXPECT_EQ(0u, store.size());
        EXPECT_EQ(nullptr, store.find("DIMENSION"));
        EXPECT_EQ(nullptr, store.findNonInterpreted());
        EXPECT_TRUE(store.findAllNonInterpreted().empty());
    }
}

TEST(ParameterEntriesTest, FindsNonInterpretedInKeywordThenArrivalOrder)
{
    QarnoTest::ProcessStateGuard guard;
    ParameterEntries store;
    const auto x0a = entry("X0 ( 1 2 )");
    const auto dim = entry("DIMENSION 2");
    const auto x0b = entry("X0 1 ( 3 4 )");
    const auto bbExe = entry("BB_EXE a.exe");
    store.insert(x0a);
    store.insert(dim);
    store.insert(x0b);
    store.insert(bbExe);

    EXPECT_EQ((Words{"BB_EXE a.exe ", "DIMENSION 2 ", "X0 ( 1 2 ) ", "X0 1 ( 3 4 ) "}),
              names(store.findAllNonInterpreted()));
    EXPECT_EQ(bbExe, store.findNonInterpreted());

    bbExe->setHasBeenInterpreted(true);
    x0a->setHasBeenInterpreted(true);
    EXPECT_EQ((Words{"DIMENSION 2 ", "X0 1 ( 3 4 ) "}), names(store.findAllNonInterpreted()));
    EXPECT_EQ(dim, store.findNonInterpreted());

    dim->setHasBeenInterpreted(true);
    x0b->setHasBeenInterpreted(true);
    EXPECT_TRUE(store.findAllNonInterpreted().empty());
    EXPECT_EQ(nullptr, store.findNonInterpreted());
    EXPECT_EQ(4u, store.size());
}

TEST(ParameterEntriesTest, DisplayWritesOneLinePerEntry)
{
    QarnoTest::ProcessStateGuard guard;
    ParameterEntries store;
    store.insert(entry("X0 (1 2)"));
    store.insert(entry("dimension 2"));
    store.insert(entry("X0 1 ( 3 4 )"));
    std::ostringstream os;
    store.display(os);
    EXPECT_EQ("DIMENSION: [2] \nX0: [(] [1] [2] [)] \nX0: [1] [(] [3] [4] [)] \n", os.str());
}

TEST(ParameterEntriesTest, LongChainIsReleasedWithoutDeepRecursion)
{
    // Releasing the head of a chain must not release the rest recursively:
    // a file of many lines of one keyword would exhaust the stack.
    QarnoTest::ProcessStateGuard guard;
    ParameterEntries store;
    for (int i = 0; i < 200000; ++i)
    {
        store.insert(entry("SEED 1"));
    }
    EXPECT_EQ(200000u, store.size());
    store.eraseAll();
    EXPECT_EQ(0u, store.size());

    for (int i = 0; i < 200000; ++i)
    {
        store.insert(entry("SEED 1"));
    }
    store.erase(store.find("SEED"));
    EXPECT_EQ(0u, store.size());
}

// ---------------------------------------------------------------------------
// Reading files and single lines into the shared store
// ---------------------------------------------------------------------------

TEST(ReadParamFileTest, StoresUsableLinesWithSourceAndLineNumber)
{
    QarnoTest::ProcessStateGuard guard;
    QarnoTest::TempDir dir;
    const std::string path = dir.file("param.txt");
    // CR LF line ends, blank and comment lines, and a last line without a
    // line feed.
    writeFile(path, "dimension 2\r\n"
                    "\r\n"
                    "\n"
                    "   # a comment\r\n"
                    "X0 ( 1 2 ) # start\r\n"
                    "BB_EXE \"my bb.exe\"\r\n"
                    "BB_EXE x 'open\n"
                    "bb_output_type OBJ");
    Parameters::readParamFileAndSetEntries(path, false, false);

    auto& store = Parameters::_paramEntries;
    EXPECT_EQ(4u, store.size());
    const struct
    {
        std::string name;
        Words values;
        int line;
    } cases[] = {
        {"DIMENSION", {"2"}, 1},
        {"X0", {"(", "1", "2", ")"}, 5},
        {"BB_EXE", {"my bb.exe"}, 6},
        {"BB_OUTPUT_TYPE", {"OBJ"}, 8},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const auto e = store.find(c.name);
        ASSERT_NE(nullptr, e);
        EXPECT_EQ(c.values, e->getValues());
        EXPECT_EQ(c.line, e->getLine());
        EXPECT_EQ(path, e->getParamFile());
        EXPECT_TRUE(e->isUnique());
    }
}

TEST(ReadParamFileTest, InvalidLineThrowsWithFileAndLine)
{
    QarnoTest::ProcessStateGuard guard;
    QarnoTest::TempDir dir;
    const struct
    {
        std::string content;
        std::string message;
        int line;
        size_t storedBefore;
    } cases[] = {
        {"DIMENSION 2\n\nDIMENSION\nSEED 1\n", "Invalid parameter: DIMENSION", 3, 1},
        {"SEED 1\nmax_bb_eval # budget\n", "Invalid parameter: MAX_BB_EVAL", 2, 1},
        {"A 1\nB 2\nC 3\n# c\n\n\nBB_EXE 'a b\nD 4\n", "Invalid parameter: BB_EXE", 7, 3},
        {"BB_EXE \"\r\n", "Invalid parameter: BB_EXE", 1, 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.content);
        Parameters::_paramEntries.eraseAll();
        const std::string path = dir.file("bad.txt");
        writeFile(path, c.content);
        std::string file;
        std::string what;
        try
        {
            Parameters::readParamFileAndSetEntries(path, false, false);
        }
        catch (const Exception& e)
        {
            what = e.what();
        }
        EXPECT_EQ(c.message,
                  QarnoTest::messageOf(
                      [&] { Parameters::readParamFileAndSetEntries(path, false, true); }, &file));
        EXPECT_EQ(path, file);
        EXPECT_NE(std::string::npos, what.find("(" + path + ", " + std::to_string(c.line) + ")"))
            << what;
        // The lines before the failing one are stored, the rest of the file
        // is not read.
        EXPECT_EQ(c.storedBefore, Parameters::_paramEntries.size());
    }
}

TEST(ReadParamFileTest, UnopenableFileLeavesTheStoreUnchanged)
{
    QarnoTest::ProcessStateGuard guard;
    QarnoTest::TempDir dir;
    Parameters::readParamLine("SEED 3", "Standard Input", 0, false);
    const std::string missing = dir.file("missing.txt");
    const struct
    {
        std::string path;
    } cases[] = {{missing}, {dir.path()}, {""}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.path);
        for (bool reset : {false, true})
        {
            EXPECT_EQ("Could not open parameters file '" + c.path + "'",
                      QarnoTest::messageOf(
                          [&] { Parameters::readParamFileAndSetEntries(c.path, false, reset); }));
            EXPECT_EQ(1u, Parameters::_paramEntries.size());
        }
    }
}

TEST(ReadParamFileTest, OverwriteAndResetFlags)
{
    QarnoTest::ProcessStateGuard guard;
    QarnoTest::TempDir dir;
    const std::string first = dir.file("first.txt");
    const std::string second = dir.file("second.txt");
    writeFile(first, "SEED 1\nSEED 2\nDIMENSION 3\n");
    writeFile(second, "SEED 4\n");
    auto& store = Parameters::_paramEntries;

    // Without overwrite every line is kept and chained.
    Parameters::readParamFileAndSetEntries(first, false, false);
    ASSERT_EQ(3u, store.size());
    const auto seed = store.find("seed");
    EXPECT_EQ((Words{"1"}), seed->getValues());
    EXPECT_FALSE(seed->isUnique());
    ASSERT_NE(nullptr, seed->getNext());
    EXPECT_EQ((Words{"2"}), seed->getNext()->getValues());

    // A second file adds to what is stored.
    Parameters::readParamFileAndSetEntries(second, false, false);
    EXPECT_EQ(4u, store.size());

    // With overwrite a later line replaces the whole chain.
    Parameters::readParamFileAndSetEntries(second, true, false);
    EXPECT_EQ(2u, store.size());
    EXPECT_EQ((Words{"4"}), store.find("SEED")->getValues());
    EXPECT_TRUE(store.find("SEED")->isUnique());

    Parameters::readParamFileAndSetEntries(first, true, false);
    EXPECT_EQ(2u, store.size());
    EXPECT_EQ((Words{"2"}), store.find("SEED")->getValues());

    // Reset empties the store first.
    Parameters::readParamFileAndSetEntries(second, false, true);
    EXPECT_EQ(1u, store.size());
    EXPECT_EQ(nullptr, store.find("DIMENSION"));
}

TEST(ReadParamFileTest, FilesWithoutEntriesAndFilesOfOddBytes)
{
    QarnoTest::ProcessStateGuard guard;
    QarnoTest::TempDir dir;
    const std::string path = dir.file("odd.txt");

    for (const std::string& content :
         {std::string(), std::string("\n\n  \r\n\t\n"), std::string("# only\n#comments")})
    {
        writeFile(path, content);
        CerrCapture err;
        Parameters::readParamFileAndSetEntries(path, false, true);
        EXPECT_EQ(0u, Parameters::_paramEntries.size());
        EXPECT_EQ("", err.text());
    }

    // Every byte value, quotes and NUL among them, in many lines: the reading
    // ends, either normally or with the library's message for a line with a
    // keyword and no value.
    std::string bytes;
    for (int round = 0; round < 4; ++round)
    {
        for (int b = 0; b < 256; ++b)
        {
            bytes += static_cast<char>((b * 37 + round * 11) % 256);
        }
    }
    writeFile(path, bytes + std::string(200000, 'x') + "\n" + bytes);
    try
    {
        Parameters::readParamFileAndSetEntries(path, false, true);
    }
    catch (const Exception& e)
    {
        EXPECT_EQ(0u, QarnoTest::messageOf(e).rfind("Invalid parameter: ", 0));
    }
}

TEST(ReadParamLineTest, SingleLineWarnsOnStandardErrorInsteadOfThrowing)
{
    QarnoTest::ProcessStateGuard guard;
    auto& store = Parameters::_paramEntries;
    const struct
    {
        std::string line;
        std::string warning;
        size_t stored;
    } cases[] = {
        {"DIMENSION", "Warning: Invalid parameter: DIMENSION\n", 0},
        {"bb_exe 'never closed", "Warning: Invalid parameter: BB_EXE\n", 0},
        {"BB_EXE x 'never closed", "", 0},
        {"# comment", "", 0},
        {"", "", 0},
        {"dimension 4", "", 1},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.line);
        store.eraseAll();
        CerrCapture err;
        EXPECT_NO_THROW(Parameters::readParamLine(c.line, "Standard Input", 0, false));
        EXPECT_EQ(c.warning, err.text());
        EXPECT_EQ(c.stored, store.size());
    }
    const auto e = store.find("DIMENSION");
    ASSERT_NE(nullptr, e);
    EXPECT_EQ("Standard Input", e->getParamFile());
    EXPECT_EQ(0, e->getLine());

    // With a line number the same line is an error of that source.
    std::string file;
    EXPECT_EQ(
        "Invalid parameter: SEED",
        QarnoTest::messageOf([] { Parameters::readParamLine("seed", "p.txt", 3, false); }, &file));
    EXPECT_EQ("p.txt", file);
}

TEST(ReadParamLineTest, OverwriteReplacesTheChain)
{
    QarnoTest::ProcessStateGuard guard;
    auto& store = Parameters::_paramEntries;
    Parameters::readParamLine("SEED 1", "Standard Input", 0, false);
    Parameters::readParamLine("SEED 2", "Standard Input", 0, false);
    EXPECT_EQ(2u, store.size());
    Parameters::readParamLine("seed 3", "Standard Input", 0, true);
    ASSERT_EQ(1u, store.size());
    EXPECT_EQ((Words{"3"}), store.find("SEED")->getValues());
    EXPECT_TRUE(store.find("SEED")->isUnique());
    EXPECT_EQ(nullptr, store.find("SEED")->getNext());

    // An unusable line with overwrite leaves the stored entry alone.
    CerrCapture err;
    Parameters::readParamLine("SEED", "Standard Input", 0, true);
    EXPECT_EQ((Words{"3"}), store.find("SEED")->getValues());
}

TEST(ReadParamLineTest, GuardEmptiesTheStore)
{
    {
        QarnoTest::ProcessStateGuard guard;
        Parameters::readParamLine("SEED 1", "Standard Input", 0, false);
        EXPECT_EQ(1u, Parameters::_paramEntries.size());
    }
    QarnoTest::ProcessStateGuard guard;
    EXPECT_EQ(0u, Parameters::_paramEntries.size());
}
