// The evaluation parameters (blackbox executable and output types) and the
// cache parameters (cache size and file).

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <typeindex>
#include <typeinfo>
#include <vector>

#include "Math/ArrayOfPoint.hpp"
#include "Math/Point.hpp"
#include "Param/Attribute.hpp"
#include "Param/CacheParameters.hpp"
#include "Param/EvalParameters.hpp"
#include "Param/EvaluatorControlGlobalParameters.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Type/BBOutputType.hpp"
#include "Util/Utils.hpp"
#include "support/TestParameters.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::CerrCapture;
using QarnoTest::outcomeOf;
using QarnoTest::ProcessStateGuard;
using QarnoTest::TempDir;

namespace
{

/// `text` with every "@" replaced by `dir`.
std::string under(const std::string& text, const std::string& dir)
{
    std::string result;
    for (const char c : text)
    {
        if ('@' == c)
        {
            result += dir;
        }
        else
        {
            result += c;
        }
    }
    return result;
}

/// Creates a file holding one line, with the given permissions.
void makeFile(const std::string& path, std::filesystem::perms perms)
{
    std::ofstream(path) << "#!/bin/sh\n";
    std::filesystem::permissions(path, perms);
}

/// A run set checked against checked problem and evaluator-control sets.
std::shared_ptr<RunParameters> checkedRun(const std::string& problemDir,
                                          bool hotRestartRead = false, bool hotRestartWrite = false)
{
    auto pb = std::make_shared<PbParameters>();
    pb->setAttributeValue<size_t>("DIMENSION", 2);
    pb->setAttributeValue<ArrayOfPoint>("X0", ArrayOfPoint{Point(2, 1.0)});
    pb->checkAndComply();
    auto evcGlobal = std::make_shared<EvaluatorControlGlobalParameters>();
    evcGlobal->checkAndComply(pb);
    auto run = std::make_shared<RunParameters>();
    run->setAttributeValue<std::string>("PROBLEM_DIR", problemDir);
    run->setAttributeValue<bool>("HOT_RESTART_READ_FILES", hotRestartRead);
    run->setAttributeValue<bool>("HOT_RESTART_WRITE_FILES", hotRestartWrite);
    CerrCapture ignoreRunWarnings;
    run->checkAndComply(evcGlobal, pb);
    return run;
}

} // namespace

TEST(EvalCacheParameters, DefinitionTables)
{
    const EvalParameters eval;
    const CacheParameters cache;
    EXPECT_EQ("Eval", eval.getTypeName());
    EXPECT_EQ("Cache", cache.getTypeName());
    EXPECT_EQ(2u, eval.getAttributes().size());
    EXPECT_EQ(2u, cache.getAttributes().size());

    const struct
    {
        const Parameters& set;
        const char* name;
        std::type_index type;
        const char* valueLine;
        const char* shortInfo;
        const char* keywords;
        const char* defaultItem;
    } rows[] = {
        {eval, "BB_EXE", typeid(std::string), "BB_EXE ", " Blackbox executable ",
         "  basic blackbox blackboxes bb exe executable executables binary output outputs "
         "batch  ",
         "empty"},
        {eval, "BB_OUTPUT_TYPE", typeid(BBOutputTypeList), "BB_OUTPUT_TYPE OBJ",
         " Type of outputs provided by the blackboxes ",
         "  basic bb exe blackbox blackboxs output outputs constraint constraints type types  ",
         "OBJ"},
        {cache, "MAX_CACHE_SIZE", typeid(size_t), "MAX_CACHE_SIZE 18446744073709551615",
         " Termination criterion on the number of evaluation points stored in the cache ",
         "  advanced termination cache  ", "INF"},
        {cache, "CACHE_FILE", typeid(std::string), "CACHE_FILE ", " Cache file name ",
         "  basic cache file  ", "empty (no cache file)"},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.name);
        const auto attribute = row.set.getAttribute(row.name);
        ASSERT_NE(nullptr, attribute);
        const std::type_index* type = Parameters::findTypeOfAttribute(row.name);
        ASSERT_NE(nullptr, type);
        EXPECT_EQ(row.type, *type);
        EXPECT_EQ(row.valueLine, QarnoTest::valueLine(*attribute));
        // No flag but the unique entry, on all four.
        EXPECT_FALSE(attribute->isForAlgoCompatibilityCheck());
        EXPECT_FALSE(attribute->isRestartAttribute());
        EXPECT_TRUE(attribute->getParamFromUniqueEntry());
        EXPECT_EQ(row.shortInfo, attribute->getShortInfo());
        EXPECT_EQ(row.keywords, attribute->getKeywords());
        EXPECT_EQ(std::string(" . Default: ") + row.defaultItem,
                  QarnoTest::helpLastItem(attribute->getHelpInfo()));
    }
}

TEST(EvalParameters, BlackboxExecutable)
{
    ProcessStateGuard guard;
    TempDir tmp;
    const std::string dir = tmp.path();
    makeFile(tmp.file("bb.exe"), std::filesystem::perms::owner_all);
    makeFile(tmp.file("data.txt"),
             std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    std::filesystem::create_directory(tmp.file("bin"));
    makeFile(tmp.file("bin/run"), std::filesystem::perms::owner_all);
    std::filesystem::create_directory(tmp.file("sub"));

    // "@" stands for the temporary directory.
    const struct
    {
        const char* label;
        const char* line; // nullptr: BB_EXE not given by the user
        const char* problemDir;
        const char* outcome;
        const char* stored;
    } cases[] = {
        {"relative name", "BB_EXE bb.exe", "@/", "ok", "@/bb.exe"},
        {"relative path", "BB_EXE bin/run", "@/", "ok", "@/bin/run"},
        {"absolute name", "BB_EXE @/bb.exe", "/elsewhere/", "ok", "@/bb.exe"},
        // A directory without its final "/" is not glued to the name.
        {"problem directory without slash", "BB_EXE bb.exe", "@", "ok", "@/bb.exe"},
        {"command", "BB_EXE '$python3 bb.py'", "@/", "ok", "python3 bb.py"},
        {"command of one word", "BB_EXE $bb.exe", "/elsewhere/", "ok", "bb.exe"},
        {"not executable", "BB_EXE data.txt", "@/",
         "Exception: BB_EXE needs to be an executable file: @/data.txt", "@/data.txt"},
        {"missing", "BB_EXE missing.exe", "@/",
         "Exception: BB_EXE needs to be an executable file: @/missing.exe", "@/missing.exe"},
        // The execute permission of a directory does not make it a program.
        {"directory", "BB_EXE sub", "@/", "Exception: BB_EXE needs to be an executable file: @/sub",
         "@/sub"},
        {"empty", "BB_EXE ''", "@/", "Exception: BB_EXE is not defined", ""},
        {"command without text", "BB_EXE $", "@/", "Exception: BB_EXE is not defined", "$"},
        {"not given by the user", nullptr, "@/", "ok", "missing.exe"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ProcessStateGuard::resetToLoadState();
        const auto run = checkedRun(under(c.problemDir, dir));

        EvalParameters eval;
        if (nullptr != c.line)
        {
            CerrCapture cerr;
            eval.readParamLine(under(c.line, dir), true);
            ASSERT_EQ("", cerr.text());
        }
        else
        {
            eval.setAttributeValue<std::string>("BB_EXE", "missing.exe");
        }
        const std::string outcome = outcomeOf([&] { eval.checkAndComply(run); });
        EXPECT_EQ(under(c.outcome, dir), outcome);
        EXPECT_EQ(under(c.stored, dir), eval.getSpValue<std::string>("BB_EXE", false, false));
        EXPECT_EQ("ok" != outcome, eval.toBeChecked());
    }
}

TEST(EvalParameters, CheckingAgainKeepsTheExecutable)
{
    ProcessStateGuard guard;
    TempDir tmp;
    makeFile(tmp.file("bb.exe"), std::filesystem::perms::owner_all);
    const auto run = checkedRun(tmp.path() + "/");

    const struct
    {
        const char* line;
        std::string stored;
    } cases[] = {
        {"BB_EXE '$python3 bb.py'", "python3 bb.py"},
        {"BB_EXE bb.exe", tmp.file("bb.exe")},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.line);
        ProcessStateGuard::resetToLoadState();
        EvalParameters eval;
        eval.readParamLine(c.line, true);
        eval.checkAndComply(run);

        // A later change of the set makes it checked again: a command taken
        // from the "$" form must not now be taken for a file name.
        eval.setAttributeValue<BBOutputTypeList>("BB_OUTPUT_TYPE",
                                                 {BBOutputType::OBJ, BBOutputType::PB});
        EXPECT_EQ("ok", outcomeOf([&] { eval.checkAndComply(run); }));
        EXPECT_EQ(c.stored, eval.getAttributeValue<std::string>("BB_EXE"));

        // A new value is checked as any other.
        eval.setAttributeValue<std::string>("BB_EXE", "python3 other.py");
        EXPECT_EQ("Exception: BB_EXE needs to be an executable file: " + tmp.path() +
                      "/python3 other.py",
                  outcomeOf([&] { eval.checkAndComply(run); }));
    }
}

TEST(EvalParameters, OutputTypes)
{
    ProcessStateGuard guard;
    const auto run = checkedRun("./");
    const struct
    {
        const char* label;
        BBOutputTypeList given;
        BBOutputTypeList expected;
    } cases[] = {
        {"empty list", {}, {BBOutputType::OBJ}},
        {"kept", {BBOutputType::OBJ, BBOutputType::EB}, {BBOutputType::OBJ, BBOutputType::EB}},
        {"objective last",
         {BBOutputType::PB, BBOutputType::OBJ},
         {BBOutputType::PB, BBOutputType::OBJ}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        EvalParameters eval;
        eval.setAttributeValue<BBOutputTypeList>("BB_OUTPUT_TYPE", c.given);
        eval.checkAndComply(run);
        EXPECT_FALSE(eval.toBeChecked());
        EXPECT_EQ(c.expected, eval.getAttributeValue<BBOutputTypeList>("BB_OUTPUT_TYPE"));
    }
}

TEST(EvalParameters, OutputTypesWithoutObjectiveAreRefused)
{
    // Nothing to minimise: the run could only fail, after evaluations.
    ProcessStateGuard guard;
    const auto run = checkedRun("./");
    const struct
    {
        const char* line;
        const char* types;
    } cases[] = {
        {"BB_OUTPUT_TYPE PB", "PB"},
        {"BB_OUTPUT_TYPE EB PB", "EB PB"},
        {"BB_OUTPUT_TYPE CNT_EVAL", "CNT_EVAL"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.line);
        EvalParameters eval;
        eval.readParamLine(c.line, true);
        EXPECT_EQ(std::string("Exception: Invalid Parameter. Parameters check: BB_OUTPUT_TYPE \"") +
                      c.types + "\" has no objective: one output must be of type OBJ",
                  outcomeOf([&] { eval.checkAndComply(run); }));
        EXPECT_TRUE(eval.toBeChecked());
    }
}

TEST(EvalParameters, RunMustBeCheckedOnlyForAGivenExecutable)
{
    ProcessStateGuard guard;
    auto run = std::make_shared<RunParameters>();

    EvalParameters library;
    EXPECT_EQ("ok", outcomeOf([&] { library.checkAndComply(run); }));

    EvalParameters batch;
    batch.readParamLine("BB_EXE bb.exe", true);
    EXPECT_EQ("ParameterToBeChecked: Parameter to be checked. In getAttributeValue<T> the "
              "attribute PROBLEM_DIR has not "
              "been checked",
              outcomeOf([&] { batch.checkAndComply(run); }));
    EXPECT_TRUE(batch.toBeChecked());
}

TEST(CacheParameters, CacheFile)
{
    ProcessStateGuard guard;
    const std::string warningEnd = " is set. CACHE_FILE set to \"cache.txt\"\n";
    const struct
    {
        const char* label;
        const char* cacheFile;
        const char* problemDir;
        bool hotRestartRead;
        bool hotRestartWrite;
        const char* expected;
        std::string warning;
    } cases[] = {
        {"no file", "", "/home/p/", false, false, "", ""},
        {"relative name", "cache.bin", "/home/p/", false, false, "/home/p/cache.bin", ""},
        {"absolute name", "/data/c.txt", "/home/p/", true, true, "/data/c.txt", ""},
        {"problem directory without slash", "c.txt", "/home/p", false, false, "/home/p/c.txt", ""},
        {"hot restart writes", "", "/home/p/", false, true, "/home/p/cache.txt",
         "Warning: HOT_RESTART_WRITE_FILES" + warningEnd},
        {"hot restart reads", "", "/home/p/", true, false, "/home/p/cache.txt",
         "Warning: HOT_RESTART_READ_FILES" + warningEnd},
        {"hot restart reads and writes", "", "/home/p/", true, true, "/home/p/cache.txt",
         "Warning: HOT_RESTART_WRITE_FILES" + warningEnd},
        {"hot restart with a file", "mine.txt", "/home/p/", true, true, "/home/p/mine.txt", ""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        const auto run = checkedRun(c.problemDir, c.hotRestartRead, c.hotRestartWrite);
        CacheParameters cache;
        cache.setAttributeValue<std::string>("CACHE_FILE", c.cacheFile);
        cache.setAttributeValue<size_t>("MAX_CACHE_SIZE", 500);
        CerrCapture cerr;
        cache.checkAndComply(run);
        EXPECT_FALSE(cache.toBeChecked());
        EXPECT_EQ(c.expected, cache.getAttributeValue<std::string>("CACHE_FILE"));
        EXPECT_EQ(c.warning, cerr.text());
        EXPECT_EQ(500u, cache.getAttributeValue<size_t>("MAX_CACHE_SIZE"));

        // Checking the completed name again changes nothing.
        cache.setAttributeValue<size_t>("MAX_CACHE_SIZE", 600);
        cache.checkAndComply(run);
        EXPECT_EQ(c.expected, cache.getAttributeValue<std::string>("CACHE_FILE"));
    }
}

TEST(CacheParameters, RelativeProblemDirectoryUnderCurrentDirectory)
{
    ProcessStateGuard guard;
    const auto run = checkedRun("./");
    CacheParameters cache;
    cache.setAttributeValue<std::string>("CACHE_FILE", "c.txt");
    cache.checkAndComply(run);
    EXPECT_EQ(curdir() + "/./c.txt", cache.getAttributeValue<std::string>("CACHE_FILE"));
}

TEST(CacheParameters, RunMustBeChecked)
{
    ProcessStateGuard guard;
    auto run = std::make_shared<RunParameters>();
    const struct
    {
        const char* cacheFile;
        const char* outcome;
    } cases[] = {
        {"", "ParameterToBeChecked: Parameter to be checked. In getAttributeValue<T> the attribute "
             "HOT_RESTART_READ_FILES "
             "has not been checked"},
        {"c.txt", "ParameterToBeChecked: Parameter to be checked. In getAttributeValue<T> the "
                  "attribute PROBLEM_DIR has "
                  "not been checked"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.cacheFile);
        CacheParameters cache;
        cache.setAttributeValue<std::string>("CACHE_FILE", c.cacheFile);
        EXPECT_EQ(c.outcome, outcomeOf([&] { cache.checkAndComply(run); }));
        EXPECT_TRUE(cache.toBeChecked());
    }
}
