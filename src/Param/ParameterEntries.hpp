#ifndef QARNO_PARAM_PARAMETERENTRIES_HPP
#define QARNO_PARAM_PARAMETERENTRIES_HPP

#include "Param/ParameterEntry.hpp"
#include "Util/Uncopyable.hpp"

#include <iosfwd>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace QARNO_4_0_0
{

/// Orders entries by keyword, byte by byte. Transparent, so that the store can
/// be searched by keyword text without building an entry.
struct ParameterEntryComp
{
    using is_transparent = void;

    bool operator()(const std::shared_ptr<ParameterEntry>& a,
                    const std::shared_ptr<ParameterEntry>& b) const
    {
        return a->getName() < b->getName();
    }
    bool operator()(const std::shared_ptr<ParameterEntry>& a, const std::string& name) const
    {
        return a->getName() < name;
    }
    bool operator()(const std::string& name, const std::shared_ptr<ParameterEntry>& b) const
    {
        return name < b->getName();
    }
};

/// The store of parsed parameter lines, shared by all parameter sets of the
/// process (`Parameters::_paramEntries`).
///
/// Every entry is kept, repeated keywords included; entries of one keyword
/// stay in order of arrival, and each one is also chained behind the first
/// one through `ParameterEntry::getNext()`. The store lives as long as the
/// process; `eraseAll` is the one way to empty it.
class ParameterEntries : private Uncopyable
{
public:
    ParameterEntries() = default;
    virtual ~ParameterEntries() = default;

    /// Adds the entry; a second entry of a keyword makes both entries
    /// non-unique and is chained behind the last entry of that keyword.
    void insert(std::shared_ptr<ParameterEntry> entry);

    /// The first-stored entry of the keyword given as the first word of
    /// `name` (any case); empty when there is none.
    std::shared_ptr<ParameterEntry> find(const std::string& name) const;

    /// Removes every entry with the keyword of `entry` (its whole chain).
    void erase(const std::shared_ptr<ParameterEntry>& entry);

    /// Removes every entry.
    void eraseAll();

    /// The first entry (keyword order, then order of arrival) not yet
    /// interpreted; empty when there is none.
    std::shared_ptr<ParameterEntry> findNonInterpreted() const;

    /// Every entry not yet interpreted, in keyword order then order of arrival.
    std::vector<std::shared_ptr<ParameterEntry>> findAllNonInterpreted() const;

    /// Number of stored entries, repeated keywords included.
    size_t size() const { return _entries.size(); }

    /// One line per entry (its display), flushed after each line.
    void display(std::ostream& os) const;

private:
    std::multiset<std::shared_ptr<ParameterEntry>, ParameterEntryComp> _entries;
};

} // namespace QARNO_4_0_0

#endif
