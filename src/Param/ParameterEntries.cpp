#include "Param/ParameterEntries.hpp"

#include <iterator>
#include <ostream>

namespace QARNO_4_0_0
{

void ParameterEntries::insert(std::shared_ptr<ParameterEntry> entry)
{
    if (!entry)
    {
        return;
    }
    // Entries of one keyword are adjacent and in order of arrival, so the
    // last one of the range is the end of the chain: no walk along the chain.
    // (The two bounds are searched separately: the transparent equal_range of
    // the standard library may step through the whole range.)
    const auto first = _entries.lower_bound(entry->getName());
    const auto end = _entries.upper_bound(entry->getName());
    if (first != end)
    {
        (*first)->setUnique(false);
        entry->setUnique(false);
        (*std::prev(end))->setNext(entry);
    }
    _entries.insert(end, std::move(entry));
}

std::shared_ptr<ParameterEntry> ParameterEntries::find(const std::string& name) const
{
    // The name is read like a line, so only its first word counts and case
    // does not matter.
    const ParameterEntry probe(name, true);
    const std::string& keyword = probe.getName();
    if (keyword.empty())
    {
        return nullptr;
    }
    const auto it = _entries.lower_bound(keyword);
    if (it != _entries.end() && (*it)->getName() == keyword)
    {
        return *it;
    }
    return nullptr;
}

void ParameterEntries::erase(const std::shared_ptr<ParameterEntry>& entry)
{
    if (!entry)
    {
        return;
    }
    _entries.erase(_entries.lower_bound(entry->getName()), _entries.upper_bound(entry->getName()));
}

void ParameterEntries::eraseAll()
{
    _entries.clear();
}

std::shared_ptr<ParameterEntry> ParameterEntries::findNonInterpreted() const
{
    for (const auto& entry : _entries)
    {
        if (!entry->hasBeenInterpreted())
        {
            return entry;
        }
    }
    return nullptr;
}

std::vector<std::shared_ptr<ParameterEntry>> ParameterEntries::findAllNonInterpreted() const
{
    std::vector<std::shared_ptr<ParameterEntry>> nonInterpreted;
    for (const auto& entry : _entries)
    {
        if (!entry->hasBeenInterpreted())
        {
            nonInterpreted.push_back(entry);
        }
    }
    return nonInterpreted;
}

void ParameterEntries::display(std::ostream& os) const
{
    for (const auto& entry : _entries)
    {
        entry->display(os);
        os << std::endl;
    }
}

} // namespace QARNO_4_0_0
