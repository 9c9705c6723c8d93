#include "Cache/CacheBase.hpp"

#include <iostream>

#include "Cache/CacheSet.hpp"
#include "Param/CacheParameters.hpp"
#include "Util/Exception.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

std::unique_ptr<CacheBase> CacheBase::_single;
std::atomic<size_t> CacheBase::_nbCacheHits{0};

const std::unique_ptr<CacheBase>& CacheBase::getInstance()
{
    if (!_single)
    {
        QARNO_THROW(Exception,
                    "Cannot get instance. A non-virtual object derived from CacheBase must be "
                    "instantiated first. For example, call CacheSet::setInstance() ONCE before "
                    "calling CacheBase::getInstance()");
    }
    return _single;
}

void CacheBase::resetInstance()
{
    _single.reset();
    _nbCacheHits.store(0);
    CacheSet::_bbOutputType.clear();
}

CacheBase::CacheBase(const std::shared_ptr<CacheParameters>& cacheParams)
    : _filename(), _maxSize(0), _cacheParams(cacheParams), _pointSize(0)
{
}

CacheBase::~CacheBase() = default;

void CacheBase::init()
{
    if (!_cacheParams)
    {
        _cacheParams = std::make_shared<CacheParameters>();
    }
    _maxSize = _cacheParams->getAttributeValue<size_t>("MAX_CACHE_SIZE");
    _filename = _cacheParams->getAttributeValue<std::string>("CACHE_FILE");
    if (!_filename.empty() && !isAbsolute(_filename))
    {
        std::cerr << "Error: Cache file name should have been converted to full path: "
                  << _filename;
    }
}

void CacheBase::lockFile()
{
    if (_filename.empty() || _fileLock.held())
    {
        return;
    }
    if (FileLock::Result::IN_USE == _fileLock.acquire(_filename))
    {
        const std::string fileName = _filename;
        _filename.clear();
        QARNO_THROW(Exception,
                    "The cache file " + fileName + " is in use by another run (lock file " +
                        _fileLock.lockFileName() +
                        "): two runs sharing one cache file would lose each other's points. "
                        "Give this run another CACHE_FILE, or start it when the other one "
                        "has ended.");
    }
}

void CacheBase::unlockFile() noexcept
{
    _fileLock.release();
}

size_t CacheBase::computeMeanF(Double& mean) const
{
    std::cerr << "Warning: computeMeanF is not implemented for this type of cache." << std::endl;
    mean = Double();
    return 0;
}

void CacheBase::processOnAllPoints(PointVisitor /*func*/)
{
    std::cerr << "Warning: processOnAllPoints is not implemented for this type of cache."
              << std::endl;
}

void CacheBase::processOnAllPoints(PointVisitor /*func*/, int /*mainThreadNum*/)
{
    std::cerr << "Warning: processOnAllPoints is not implemented for this type of cache."
              << std::endl;
}

void CacheBase::purge()
{
    std::cerr << "Warning: purge is not implemented for this type of cache." << std::endl;
}

bool CacheBase::offer(const EvalPoint& evalPoint, const EvalPoint* /*queued*/, short maxNumberEval,
                      EvalType evalType, const EvalPoint** cached)
{
    if (nullptr != cached)
    {
        *cached = nullptr;
    }
    return smartInsert(evalPoint, maxNumberEval, evalType);
}

bool CacheBase::eraseUnevaluated(const Point& /*x*/)
{
    return false;
}

std::string CacheBase::displayAll() const
{
    return std::string();
}

size_t CacheBase::getAllPoints(std::vector<EvalPoint>& evalPointList) const
{
    return find(isTrue, evalPointList);
}

bool isTrue(const EvalPoint& /*evalPoint*/)
{
    return true;
}

} // namespace QARNO_4_0_0
