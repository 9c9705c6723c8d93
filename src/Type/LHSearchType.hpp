#ifndef QARNO_TYPE_LHSEARCHTYPE_HPP
#define QARNO_TYPE_LHSEARCHTYPE_HPP

#include <cstddef>
#include <string>

namespace QARNO_4_0_0
{

/// The setting of the Latin-hypercube search (LH_SEARCH): the number of
/// points of the first search and of each following iteration. The search is
/// enabled when either count is not zero.
///
///   LHSearchType lh("100 0"); // enabled, 100 initial points, none after
class LHSearchType
{
public:
    /// Disabled, with both counts 0: the value of an empty text.
    LHSearchType() = default;

    /// Reads the two counts from text such as "10 5" (the form the
    /// parameter display writes). "INF" stands for 2147483647. An empty text
    /// gives the disabled value; any other number of words, and a word that
    /// is not a non-negative integer, throws.
    explicit LHSearchType(const std::string& text);

    bool isEnabled() const { return _enabled; }
    size_t getNbInitial() const { return _nbInitial; }
    size_t getNbIteration() const { return _nbIteration; }

    bool operator==(const LHSearchType& other) const
    {
        return _enabled == other._enabled && _nbInitial == other._nbInitial &&
               _nbIteration == other._nbIteration;
    }
    bool operator!=(const LHSearchType& other) const { return !(*this == other); }

private:
    bool _enabled = false;
    size_t _nbInitial = 0;
    size_t _nbIteration = 0;
};

} // namespace QARNO_4_0_0

#endif
