#ifndef QARNO_TYPE_DIRECTIONTYPE_HPP
#define QARNO_TYPE_DIRECTIONTYPE_HPP

#include <list>
#include <string>

namespace QARNO_4_0_0
{

/// The type of the poll directions, as given by DIRECTION_TYPE.
enum class DirectionType
{
    ORTHO_2N = 0,       ///< "ORTHO 2N"
    ORTHO_NP1_NEG = 1,  ///< "ORTHO N+1 NEG"
    ORTHO_NP1_QUAD = 2, ///< "ORTHO N+1 QUAD"
    NP1_UNI = 3,        ///< "N+1 UNI"
    SINGLE = 4,         ///< "SINGLE"
    DOUBLE = 5          ///< "DOUBLE"
};

/// Reads a direction type from its words, in any case. Accepted: "ORTHO 2N",
/// "N+1 UNI", "ORTHO N+1 UNI", "SINGLE", "ORTHO 1", "DOUBLE", "ORTHO 2" and
/// "ORTHO" alone (ORTHO_NP1_QUAD). Words after the deciding ones are not
/// looked at. Throws on an empty list, on more than 4 words, on the types
/// that are not supported (ORTHO N+1 QUAD, ORTHO N+1 NEG, LT, GPS) and on
/// anything else.
DirectionType stringToDirectionType(const std::list<std::string>& words);

/// Cuts the text into words at every blank, keeping the empty words that
/// repeated, leading or trailing blanks make, and reads the list.
DirectionType stringToDirectionType(const std::string& s);

/// The text of a direction type; throws on a value outside the enumeration.
std::string directionTypeToString(const DirectionType& dt);

} // namespace QARNO_4_0_0

#endif
