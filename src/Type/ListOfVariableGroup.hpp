#ifndef QARNO_TYPE_LISTOFVARIABLEGROUP_HPP
#define QARNO_TYPE_LISTOFVARIABLEGROUP_HPP

#include <cstddef>
#include <iosfwd>
#include <list>
#include <set>

namespace QARNO_4_0_0
{

/// A group of variables: their indices, in increasing order.
using VariableGroup = std::set<size_t>;

/// The value type of VARIABLE_GROUP: groups of variables, in order.
using ListOfVariableGroup = std::list<VariableGroup>;

/// Display form of one group: " ( 1 2 3 ) ", and " (  ) " when empty.
std::ostream& operator<<(std::ostream& out, const VariableGroup& vg);

/// Display form of the groups, one blank between two groups and nothing
/// around them: " ( 0 1 )   ( 2 ) "; an empty list writes nothing.
std::ostream& operator<<(std::ostream& out, const ListOfVariableGroup& lvg);

} // namespace QARNO_4_0_0

#endif
