// Uses both installed libraries through their installed headers.
#include <iostream>

#include "Math/Point.hpp"
#include "teskora/Matrix.hpp"

int main()
{
    const QARNO_4_0_0::Point x(2, QARNO_4_0_0::Double(1.5));
    TESKORA::Matrix m("M", 2, 2);
    m.set(0, 0, 3.0);
    std::cout << x.display() << " " << m.get(0, 0) << "\n";
    return 0;
}
