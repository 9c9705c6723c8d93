#include "Type/ListOfVariableGroup.hpp"

#include <ostream>
#include <string>

#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

std::ostream& operator<<(std::ostream& out, const VariableGroup& vg)
{
    // Built as text first: the indices must not take the stream's locale
    // (digit grouping).
    std::string text = " ( ";
    bool first = true;
    for (const size_t index : vg)
    {
        if (!first)
        {
            text += " ";
        }
        text += itos(index);
        first = false;
    }
    text += " ) ";
    out << text;
    return out;
}

std::ostream& operator<<(std::ostream& out, const ListOfVariableGroup& lvg)
{
    bool first = true;
    for (const auto& vg : lvg)
    {
        if (!first)
        {
            out << " ";
        }
        out << vg;
        first = false;
    }
    return out;
}

} // namespace QARNO_4_0_0
