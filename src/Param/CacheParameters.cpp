#include "Param/CacheParameters.hpp"

#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "Param/RunParameters.hpp"
#include "Util/Exception.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

namespace
{

// The cache file of a hot restart for which none was given.
const char* const DEFAULT_CACHE_FILE = "cache.txt";

// keyword, type, default, short info, help, help keywords,
// algoCompatibilityCheck, restartAttribute, uniqueEntry
const std::vector<AttributeDefinition>& definitionTable()
{
    static const std::vector<AttributeDefinition> table = {
        {"MAX_CACHE_SIZE", "size_t", "INF",
         " Termination criterion on the number of evaluation points stored in the cache ",
         " \n"
         " . The program terminates as soon as the cache reaches this number of evaluation "
         "points\n"
         "  \n"
         " . Argument: one positive integer\n"
         "  \n"
         " . Example: MAX_CACHE_SIZE 10000\n"
         "  \n"
         " . Default: INF\n\n",
         "  advanced termination cache  ", "false", "false", "true"},
        {"CACHE_FILE", "std::string", "", " Cache file name ",
         " \n"
         " . Cache file; it is created when it does not exist\n"
         "  \n"
         " . Argument: one string\n"
         "  \n"
         " . An empty string means no cache file\n"
         "  \n"
         " . Points already in the file are not evaluated again\n"
         "  \n"
         " . Example: CACHE_FILE cache.txt\n"
         "  \n"
         " . Default: empty (no cache file)\n\n",
         "  basic cache file  ", "false", "false", "true"},
    };
    return table;
}

} // namespace

void CacheParameters::init()
{
    initFromTable("Cache", definitionTable());
}

void CacheParameters::checkAndComply(std::shared_ptr<RunParameters> run)
{
    checkInfo();

    if (!toBeChecked())
    {
        return;
    }

    std::string cacheFile = getSpValue<std::string>("CACHE_FILE", false, false);
    if (!cacheFile.empty())
    {
        completeFileName(cacheFile, RunParameters::problemDirPrefix(run));
        setSpValueDefault<std::string>("CACHE_FILE", cacheFile);
    }

    // A hot restart reads or writes the cache: it always gets a file.
    const bool readFiles =
        (nullptr != run) && run->getAttributeValue<bool>("HOT_RESTART_READ_FILES");
    const bool writeFiles =
        (nullptr != run) && run->getAttributeValue<bool>("HOT_RESTART_WRITE_FILES");
    if ((readFiles || writeFiles) && cacheFile.empty())
    {
        cacheFile = DEFAULT_CACHE_FILE;
        std::cerr << "Warning: "
                  << (writeFiles ? "HOT_RESTART_WRITE_FILES" : "HOT_RESTART_READ_FILES")
                  << " is set. CACHE_FILE set to \"" << cacheFile << "\"" << std::endl;
        completeFileName(cacheFile, RunParameters::problemDirPrefix(run));
        setSpValueDefault<std::string>("CACHE_FILE", cacheFile);
    }

    _toBeChecked = false;
}

} // namespace QARNO_4_0_0
