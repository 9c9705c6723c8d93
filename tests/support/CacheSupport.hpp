#ifndef QARNO_TESTS_SUPPORT_CACHESUPPORT_HPP
#define QARNO_TESTS_SUPPORT_CACHESUPPORT_HPP

#include <cstddef>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "Cache/CacheBase.hpp"
#include "Eval/EvalPoint.hpp"
#include "Param/CacheParameters.hpp"
#include "Type/BBOutputType.hpp"
#include "Type/EvalStatusType.hpp"

namespace QarnoTest
{

/// Checked cache parameters with that CACHE_FILE (absolute, or empty for
/// none) and MAX_CACHE_SIZE.
std::shared_ptr<QARNO_4_0_0::CacheParameters>
makeCacheParameters(const std::string& cacheFile = "",
                    size_t maxSize = std::numeric_limits<size_t>::max());

/// Creates the cache of the process (`CacheSet::setInstance`) with those
/// parameters and output types, and returns it.
QARNO_4_0_0::CacheBase& startCache(const QARNO_4_0_0::BBOutputTypeList& bbOutputType,
                                   const std::string& cacheFile = "",
                                   size_t maxSize = std::numeric_limits<size_t>::max());

/// A point with a blackbox evaluation of that raw output, interpreted under
/// the output types, evaluated once.
QARNO_4_0_0::EvalPoint makeBBPoint(const std::vector<double>& coords, const std::string& rawBBO,
                                   const QARNO_4_0_0::BBOutputTypeList& bbOutputType);

/// The coordinates of the points, in order, one list per point.
std::vector<std::vector<double>> coordsOf(const std::vector<QARNO_4_0_0::EvalPoint>& points);

/// What `op` shows through the output queue with every level up to
/// information (7) shown, from display degree 3.
std::string infoMessagesOf(const std::function<void()>& op);

/// Writes `text` to the file as it stands (no line end added).
void writeTextFile(const std::string& path, const std::string& text);
/// The whole content of a file; empty when it cannot be read.
std::string readTextFile(const std::string& path);

} // namespace QarnoTest

#endif
