#include "support/CacheSupport.hpp"

#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>

#include "Cache/CacheSet.hpp"
#include "Math/Point.hpp"
#include "Output/OutputQueue.hpp"
#include "support/TestSupport.hpp"

namespace QarnoTest
{

using namespace QARNO_4_0_0;

std::shared_ptr<CacheParameters> makeCacheParameters(const std::string& cacheFile, size_t maxSize)
{
    auto params = std::make_shared<CacheParameters>();
    params->setAttributeValue<std::string>("CACHE_FILE", cacheFile);
    params->setAttributeValue<size_t>("MAX_CACHE_SIZE", maxSize);
    params->checkAndComply(nullptr);
    return params;
}

CacheBase& startCache(const BBOutputTypeList& bbOutputType, const std::string& cacheFile,
                      size_t maxSize)
{
    CacheSet::setInstance(makeCacheParameters(cacheFile, maxSize), bbOutputType);
    return *CacheBase::getInstance();
}

EvalPoint makeBBPoint(const std::vector<double>& coords, const std::string& rawBBO,
                      const BBOutputTypeList& bbOutputType)
{
    EvalPoint point(Point(makeArray(coords)));
    point.setBBO(rawBBO, bbOutputType, EvalType::BB, true);
    point.setNumberEval(1);
    return point;
}

std::vector<std::vector<double>> coordsOf(const std::vector<EvalPoint>& points)
{
    std::vector<std::vector<double>> all;
    for (const auto& p : points)
    {
        std::vector<double> coords;
        for (size_t i = 0; i < p.size(); ++i)
        {
            coords.push_back(p[i].todouble());
        }
        all.push_back(coords);
    }
    return all;
}

std::string infoMessagesOf(const std::function<void()>& op)
{
    auto& queue = OutputQueue::getInstance();
    queue->setDisplayDegree(3);
    StreamCapture out(std::cout);
    op();
    queue->flush();
    return out.text();
}

void writeTextFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out)
    {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string readTextFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace QarnoTest
