#ifndef QARNO_EVAL_COMPAREPRIORITY_HPP
#define QARNO_EVAL_COMPAREPRIORITY_HPP

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Eval/EvalQueuePoint.hpp"
#include "Math/Direction.hpp"
#include "Math/RandomPickup.hpp"

namespace QARNO_4_0_0
{

/// An order of the evaluation queue.
///
/// `comp(a, b)` true places a before b; the queue takes its points from the
/// back, so the entry placed last is evaluated first. The base order holds
/// every pair equivalent.
///
/// The built-in methods also give each entry a sort key (`hasSortKey`,
/// `sortKey`): the queue computes one key per entry, once, and sorts the
/// keys strictly (`sortEvalQueue`). `comp` of `OrderByDirection` compares
/// with a tolerance, which is not a strict weak order and must not drive a
/// sort by itself.
class ComparePriorityMethod
{
public:
    ComparePriorityMethod() = default;
    /// Methods are owned through a shared_ptr of their own type; the
    /// destructor is virtual all the same, so that a user's method held or
    /// deleted through a base pointer is destroyed whole.
    virtual ~ComparePriorityMethod() = default;

    virtual bool comp(std::shared_ptr<EvalQueuePoint>& p1,
                      std::shared_ptr<EvalQueuePoint>& p2) const;

    /// True when the method gives sort keys; the base class (and so a user's
    /// method that does not override it) gives none.
    virtual bool hasSortKey() const { return false; }

    /// The key of an entry: an entry with a smaller key is placed before one
    /// with a larger key, equal keys are equivalent. Only meaningful when
    /// `hasSortKey`; the base class answers 0.
    virtual double sortKey(const EvalQueuePoint& p) const;
    /// Bracket the keys of one sort, during which nothing the keys read
    /// changes but the entries: what they share may be computed once.
    virtual void startKeys() const {}
    virtual void endKeys() const noexcept {}

    const std::string& getName() const { return _name; }

protected:
    std::string _name;
};

/// Orders by iteration number, smaller first.
class BasicComp : public ComparePriorityMethod
{
public:
    BasicComp();
    bool comp(std::shared_ptr<EvalQueuePoint>& p1,
              std::shared_ptr<EvalQueuePoint>& p2) const override;
    bool hasSortKey() const override { return true; }
    /// The iteration number.
    double sortKey(const EvalQueuePoint& p) const override;
};

/// A random order: each tag draws a rank among 0 .. n-1, without
/// replacement, the first time it is seen, and keeps it for the life of the
/// object (0 for every tag once all n ranks are drawn).
class RandomComp : public ComparePriorityMethod
{
public:
    explicit RandomComp(size_t n);
    bool comp(std::shared_ptr<EvalQueuePoint>& p1,
              std::shared_ptr<EvalQueuePoint>& p2) const override;
    bool hasSortKey() const override { return true; }
    /// The rank of the entry's tag, drawn now when the tag has none yet, so
    /// that keying the entries in queue order draws in queue order.
    double sortKey(const EvalQueuePoint& p) const override;

private:
    size_t rankOf(size_t tag) const;

    mutable RandomPickup _randomPickup;
    mutable std::map<size_t, size_t> _tagRank;
};

/// Favours the points whose direction from their frame center is closest to
/// the last successful direction of their main thread: in the sorted queue
/// the points with a direction come first in increasing cosine, then the
/// points without a point-from or with a zero direction; the last entry is
/// evaluated first.
class OrderByDirection : public ComparePriorityMethod
{
public:
    /// `lastSuccessfulDirs` is indexed by main-thread number; null where a
    /// thread has none. A point whose thread number falls outside the vector
    /// is treated as a thread without a direction.
    explicit OrderByDirection(const std::vector<std::shared_ptr<Direction>>& lastSuccessfulDirs);
    bool comp(std::shared_ptr<EvalQueuePoint>& p1,
              std::shared_ptr<EvalQueuePoint>& p2) const override;
    bool hasSortKey() const override { return true; }
    /// The cosine between the entry's direction and its thread's last
    /// successful direction; +infinity when there is no usable cosine (no
    /// usable last direction, no point-from, zero direction), which places
    /// the entry last. Throws like `comp` on a dimension mismatch.
    double sortKey(const EvalQueuePoint& p) const override;
    /// Each key checks its thread's last direction and takes its norm, the
    /// same for all the keys of a sort: done once per thread between these.
    void startKeys() const override;
    void endKeys() const noexcept override;

private:
    /// The usable last successful direction of a thread, or null.
    const Direction* usableLastDir(int threadAlgo) const;

    std::vector<std::shared_ptr<Direction>> _lastSuccessfulDirs;
    /// Between startKeys and endKeys: per thread, the usable last direction
    /// and its Euclidean norm.
    mutable bool _keysStarted = false;
    mutable std::vector<std::pair<const Direction*, double>> _lastDirNorms;
};

/// The comparison functor: the method's `comp`, false without a method. An
/// `Exception` from the method is reported on standard error and rethrown
/// with both points named.
class ComparePriority
{
public:
    explicit ComparePriority(std::shared_ptr<ComparePriorityMethod> compMethod);
    bool operator()(std::shared_ptr<EvalQueuePoint>& p1, std::shared_ptr<EvalQueuePoint>& p2) const;

private:
    std::shared_ptr<ComparePriorityMethod> _compMethod;
};

/// Sorts the queue by `method`, the entry to evaluate first last.
///
/// A method with sort keys: each entry's key is computed once, in queue
/// order, and the entries are sorted by strictly increasing key, equal keys
/// keeping their queue order (a null entry counts as +infinity). A method
/// without keys (a user's method): a stable merge sort driven by
/// `ComparePriority`, which stays within the vector and calls the method a
/// bounded number of times whatever the method answers; the resulting order
/// is only meaningful when the method is a strict weak order. A null method
/// leaves the queue as it is.
///
/// An `Exception` from a key is reported on standard error as "Error:
/// ComparePriority: Sort key with method <name> failed for point = <point>
/// <what>" and rethrown with that message; the queue is then unchanged.
void sortEvalQueue(std::vector<std::shared_ptr<EvalQueuePoint>>& queue,
                   const std::shared_ptr<ComparePriorityMethod>& method);

} // namespace QARNO_4_0_0

#endif
