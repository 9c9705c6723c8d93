#include "Eval/ComparePriority.hpp"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <limits>
#include <utility>

#include "Math/Double.hpp"
#include "Math/Point.hpp"
#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

namespace
{

const double NO_COSINE = std::numeric_limits<double>::infinity();

const char* const DIMENSION_MISMATCH =
    "Error: Last successful direction is not of the same dimension as points";

[[noreturn]] void throwDimensionMismatch()
{
    std::cerr << DIMENSION_MISMATCH << std::endl;
    QARNO_THROW(Exception, DIMENSION_MISMATCH);
}

/// The direction from the point's frame center to the point, checked
/// against the last successful direction's size.
Direction directionFromCenter(const EvalQueuePoint& p, const Direction& lastDir)
{
    Direction dir = Point::vectorize(*p.getPointFrom(), p);
    if (dir.size() != lastDir.size())
    {
        throwDimensionMismatch();
    }
    return dir;
}

/// Euclidean norm below the tolerance (compared as plain numbers: the
/// tolerant "<" of Double would ask for a norm below 0).
bool isZero(const Direction& dir)
{
    return dir.norm(NormType::L2).todouble() < Double::getEpsilon();
}

std::string withMethodName(const std::string& name)
{
    return name.empty() ? std::string() : "with method " + name + " ";
}

std::string displayOf(const std::shared_ptr<EvalQueuePoint>& p)
{
    return p ? p->display() : std::string("null");
}

/// A stable bottom-up merge sort. Every access is bounds-checked and the
/// comparison is called at most once per element moved, so a comparison
/// that is not a strict weak order, or even not deterministic, gives some
/// permutation of the entries, never a read outside the vector or an endless
/// loop (which std::sort and std::stable_sort do not promise).
template <typename T, typename Less> void guardedStableSort(std::vector<T>& v, const Less& less)
{
    const size_t n = v.size();
    std::vector<T> buffer(n);
    for (size_t width = 1; width < n; width *= 2)
    {
        for (size_t lo = 0; lo < n; lo += 2 * width)
        {
            const size_t mid = std::min(lo + width, n);
            const size_t hi = std::min(lo + 2 * width, n);
            size_t i = lo;
            size_t j = mid;
            size_t k = lo;
            while (i < mid && j < hi)
            {
                // The right entry goes first only when strictly before the
                // left one: equivalent entries keep their order.
                if (less(v[j], v[i]))
                {
                    buffer[k++] = std::move(v[j++]);
                }
                else
                {
                    buffer[k++] = std::move(v[i++]);
                }
            }
            while (i < mid)
            {
                buffer[k++] = std::move(v[i++]);
            }
            while (j < hi)
            {
                buffer[k++] = std::move(v[j++]);
            }
        }
        v.swap(buffer);
    }
}

} // namespace

// ---------------------------------------------------------------------------

bool ComparePriorityMethod::comp(std::shared_ptr<EvalQueuePoint>&,
                                 std::shared_ptr<EvalQueuePoint>&) const
{
    return false;
}

double ComparePriorityMethod::sortKey(const EvalQueuePoint&) const
{
    return 0.0;
}

// ---------------------------------------------------------------------------

BasicComp::BasicComp()
{
    _name = "Basic";
}

bool BasicComp::comp(std::shared_ptr<EvalQueuePoint>& p1, std::shared_ptr<EvalQueuePoint>& p2) const
{
    return p1->getK() < p2->getK();
}

double BasicComp::sortKey(const EvalQueuePoint& p) const
{
    // Iteration numbers stay far below 2^53, where doubles are exact.
    return static_cast<double>(p.getK());
}

// ---------------------------------------------------------------------------

RandomComp::RandomComp(size_t n) : _randomPickup(n)
{
    _name = "Random";
}

size_t RandomComp::rankOf(size_t tag) const
{
    auto it = _tagRank.find(tag);
    if (it == _tagRank.end())
    {
        it = _tagRank.emplace(tag, _randomPickup.pickup()).first;
    }
    return it->second;
}

bool RandomComp::comp(std::shared_ptr<EvalQueuePoint>& p1,
                      std::shared_ptr<EvalQueuePoint>& p2) const
{
    const size_t rank1 = rankOf(p1->getTag());
    const size_t rank2 = rankOf(p2->getTag());
    return rank1 < rank2;
}

double RandomComp::sortKey(const EvalQueuePoint& p) const
{
    return static_cast<double>(rankOf(p.getTag()));
}

// ---------------------------------------------------------------------------

OrderByDirection::OrderByDirection(
    const std::vector<std::shared_ptr<Direction>>& lastSuccessfulDirs)
    : _lastSuccessfulDirs(lastSuccessfulDirs)
{
    _name = "OrderByDirection";
}

const Direction* OrderByDirection::usableLastDir(int threadAlgo) const
{
    if (threadAlgo < 0 || static_cast<size_t>(threadAlgo) >= _lastSuccessfulDirs.size())
    {
        return nullptr;
    }
    const Direction* lastDir = _lastSuccessfulDirs[static_cast<size_t>(threadAlgo)].get();
    if (nullptr == lastDir || !lastDir->isDefined())
    {
        return nullptr;
    }
    if (isZero(*lastDir))
    {
        return nullptr;
    }
    return lastDir;
}

bool OrderByDirection::comp(std::shared_ptr<EvalQueuePoint>& p1,
                            std::shared_ptr<EvalQueuePoint>& p2) const
{
    if (!p1 || !p2)
    {
        return false;
    }
    const Direction* last1 = usableLastDir(p1->getThreadAlgo());
    const Direction* last2 = usableLastDir(p2->getThreadAlgo());
    if (nullptr == last1 || nullptr == last2)
    {
        return false;
    }
    if (!p1->getPointFrom())
    {
        return false;
    }
    if (!p2->getPointFrom())
    {
        return true;
    }
    const Direction dir1 = directionFromCenter(*p1, *last1);
    const Direction dir2 = directionFromCenter(*p2, *last2);
    if (isZero(dir1))
    {
        return false;
    }
    if (isZero(dir2))
    {
        return true;
    }
    return Direction::cos(*last1, dir1).todouble() <
           Direction::cos(*last2, dir2).todouble() - Double::getEpsilon();
}

void OrderByDirection::startKeys() const
{
    _keysStarted = false;
    _lastDirNorms.clear();
    _lastDirNorms.reserve(_lastSuccessfulDirs.size());
    for (size_t t = 0; t < _lastSuccessfulDirs.size(); ++t)
    {
        const Direction* lastDir = usableLastDir(static_cast<int>(t));
        const double norm = (nullptr == lastDir) ? 0.0 : lastDir->norm(NormType::L2).todouble();
        _lastDirNorms.emplace_back(lastDir, norm);
    }
    _keysStarted = true;
}

void OrderByDirection::endKeys() const noexcept
{
    _keysStarted = false;
    _lastDirNorms.clear();
}

double OrderByDirection::sortKey(const EvalQueuePoint& p) const
{
    const int thread = p.getThreadAlgo();
    const bool known =
        _keysStarted && thread >= 0 && static_cast<size_t>(thread) < _lastDirNorms.size();
    const Direction* lastDir =
        known ? _lastDirNorms[static_cast<size_t>(thread)].first : usableLastDir(thread);
    if (nullptr == lastDir || !p.getPointFrom())
    {
        return NO_COSINE;
    }
    // One pass over the coordinates, without a direction made: every queued
    // point of a poll is keyed, and at large n the passes over the
    // difference were most of the sort. The numbers are those of
    // Point::vectorize, Direction::norm and Direction::cos: the same
    // operations, summed in index order.
    const Point& from = *p.getPointFrom();
    const size_t n = from.size();
    if (p.size() != n)
    {
        (void)Point::vectorize(from, p); // throws what the difference throws
    }
    if (n != lastDir->size())
    {
        throwDimensionMismatch();
    }
    const Double* const x = from.data();
    const Double* const y = p.data();
    const Double* const last = lastDir->data();
    double squares = 0.0;
    double dot = 0.0;
    for (size_t i = 0; i < n; ++i)
    {
        const double d = y[i].todouble() - x[i].todouble();
        squares += d * d;
        dot += last[i].todouble() * d;
    }
    // The norm that tells a zero direction is the one the cosine divides by.
    const double dirNorm = std::sqrt(squares);
    if (dirNorm < Double::getEpsilon())
    {
        return NO_COSINE;
    }
    const double lastNorm = known ? _lastDirNorms[static_cast<size_t>(thread)].second
                                  : lastDir->norm(NormType::L2).todouble();
    if (0 == lastNorm)
    {
        QARNO_THROW(Exception, "Cosine: a vector is of size 0");
    }
    const double cosine = dot / (lastNorm * dirNorm);
    // A coordinate too large for its square gives no cosine: no direction.
    return (cosine == cosine) ? cosine : NO_COSINE;
}

// ---------------------------------------------------------------------------

ComparePriority::ComparePriority(std::shared_ptr<ComparePriorityMethod> compMethod)
    : _compMethod(std::move(compMethod))
{
}

bool ComparePriority::operator()(std::shared_ptr<EvalQueuePoint>& p1,
                                 std::shared_ptr<EvalQueuePoint>& p2) const
{
    if (!_compMethod)
    {
        return false;
    }
    try
    {
        return _compMethod->comp(p1, p2);
    }
    catch (const Exception& e)
    {
        const std::string msg =
            "Error: ComparePriority: Comparison " + withMethodName(_compMethod->getName()) +
            "failed for point1 = " + displayOf(p1) + ", point2 = " + displayOf(p2) + " " + e.what();
        std::cerr << msg << std::endl;
        QARNO_THROW(Exception, msg);
    }
}

// ---------------------------------------------------------------------------

void sortEvalQueue(std::vector<std::shared_ptr<EvalQueuePoint>>& queue,
                   const std::shared_ptr<ComparePriorityMethod>& method)
{
    if (!method || queue.size() < 2)
    {
        return;
    }
    if (!method->hasSortKey())
    {
        guardedStableSort(queue, ComparePriority(method));
        return;
    }

    // One key per entry, computed once and in queue order; the entry's
    // position breaks ties, which makes the order strict and the sort
    // stable.
    std::vector<std::pair<double, size_t>> keys;
    keys.reserve(queue.size());
    method->startKeys();
    struct EndKeys
    {
        const ComparePriorityMethod& method;
        ~EndKeys() { method.endKeys(); }
    } endKeys{*method};
    for (size_t i = 0; i < queue.size(); ++i)
    {
        double key = NO_COSINE;
        if (queue[i])
        {
            try
            {
                key = method->sortKey(*queue[i]);
            }
            catch (const Exception& e)
            {
                const std::string msg =
                    "Error: ComparePriority: Sort key " + withMethodName(method->getName()) +
                    "failed for point = " + queue[i]->display() + " " + e.what();
                std::cerr << msg << std::endl;
                QARNO_THROW(Exception, msg);
            }
            if (key != key)
            {
                key = NO_COSINE;
            }
        }
        keys.emplace_back(key, i);
    }
    std::sort(keys.begin(), keys.end());

    std::vector<std::shared_ptr<EvalQueuePoint>> sorted;
    sorted.reserve(queue.size());
    for (const auto& key : keys)
    {
        sorted.push_back(std::move(queue[key.second]));
    }
    queue.swap(sorted);
}

} // namespace QARNO_4_0_0
