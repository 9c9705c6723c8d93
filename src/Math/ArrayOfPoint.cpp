#include "Math/ArrayOfPoint.hpp"

#include <ostream>

namespace QARNO_4_0_0
{

std::ostream& operator<<(std::ostream& out, const std::vector<Point>& points)
{
    bool first = true;
    for (const Point& p : points)
    {
        if (!first)
        {
            out << " ";
        }
        out << p.display(ArrayOfDouble());
        first = false;
    }
    return out;
}

} // namespace QARNO_4_0_0
