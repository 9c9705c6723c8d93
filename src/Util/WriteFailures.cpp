#include "Util/WriteFailures.hpp"

#include <algorithm>

namespace QARNO_4_0_0
{

namespace
{

std::vector<std::string>& failedFiles()
{
    static std::vector<std::string> files;
    return files;
}

} // namespace

void WriteFailures::record(const std::string& fileName)
{
    if (!has(fileName))
    {
        failedFiles().push_back(fileName);
    }
}

const std::vector<std::string>& WriteFailures::files()
{
    return failedFiles();
}

bool WriteFailures::has(const std::string& fileName)
{
    const auto& files = failedFiles();
    return std::find(files.begin(), files.end(), fileName) != files.end();
}

void WriteFailures::reset()
{
    failedFiles().clear();
}

} // namespace QARNO_4_0_0
