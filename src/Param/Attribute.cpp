#include "Param/Attribute.hpp"

#include <ostream>

namespace QARNO_4_0_0
{

Attribute::Attribute(const std::string& name, bool algoCompatibilityCheck, bool restartAttribute,
                     bool uniqueEntry, const std::string& shortInfo, const std::string& helpInfo,
                     const std::string& keywords)
    : _name(name), _shortInfo(shortInfo), _helpInfo(helpInfo), _keywords(keywords),
      _algoCompatibilityCheck(algoCompatibilityCheck), _restartAttribute(restartAttribute),
      _uniqueEntry(uniqueEntry)
{
}

Attribute::~Attribute() = default;

void Attribute::display(std::ostream& out, bool withShortInfo) const
{
    out << _name << " ";
    displayShortInfo(out, withShortInfo);
}

void Attribute::displayShortInfo(std::ostream& out, bool withShortInfo) const
{
    if (withShortInfo && !_shortInfo.empty())
    {
        out << " (" << _shortInfo << ")";
    }
}

} // namespace QARNO_4_0_0
