// The cache file reader on any text. What it reads writes back to a file
// that reads into the same cache: the same points, statuses, outputs and
// hit count, nothing skipped.

#include <cstdint>
#include <memory>
#include <sstream>
#include <string>

#include "Cache/CacheBase.hpp"
#include "Cache/CacheSet.hpp"
#include "FuzzSupport.hpp"
#include "Param/CacheParameters.hpp"
#include "Type/BBOutputType.hpp"
#include "Util/Exception.hpp"

using namespace QARNO_4_0_0;

namespace
{

const BBOutputTypeList DEFAULT_TYPES = {BBOutputType::OBJ, BBOutputType::PB};

CacheSet& cache()
{
    return dynamic_cast<CacheSet&>(*CacheBase::getInstance());
}

/// The cache emptied, as created for a run with the default types.
void startOver()
{
    cache().clear();
    CacheBase::_nbCacheHits.store(0);
    CacheSet::_bbOutputType = DEFAULT_TYPES;
}

std::string fileText()
{
    std::ostringstream out;
    out << cache();
    return out.str();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    QarnoFuzz::silenceStreams();
    auto params = std::make_shared<CacheParameters>();
    params->checkAndComply(nullptr);
    CacheSet::setInstance(params, DEFAULT_TYPES);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    startOver();
    std::istringstream in(QarnoFuzz::textOf(data, size));
    try
    {
        cache().readText(in, "fuzz.txt");
    }
    catch (const Exception&)
    {
        // An unknown output type: nothing more to check.
        startOver();
        return 0;
    }

    const std::string written = fileText();
    startOver();
    std::istringstream again(written);
    try
    {
        cache().readText(again, "written.txt");
    }
    catch (const Exception& e)
    {
        QarnoFuzz::propertyFailed("the file written does not read back: " + std::string(e.what()) +
                                  "\n" + written);
    }
    const std::string rewritten = fileText();
    if (rewritten != written)
    {
        QarnoFuzz::propertyFailed("the file written reads back otherwise:\n" + written +
                                  "\n--- written again ---\n" + rewritten);
    }
    // What one input allocates is freed before the next: libFuzzer would
    // otherwise look for a leak after every input.
    startOver();
    return 0;
}
