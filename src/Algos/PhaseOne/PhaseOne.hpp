#ifndef QARNO_ALGOS_PHASEONE_PHASEONE_HPP
#define QARNO_ALGOS_PHASEONE_PHASEONE_HPP

#include "Algos/Algorithm.hpp"

namespace QARNO_4_0_0
{

/// The algorithm that looks for a feasible point before the optimisation
/// proper; the points evaluated below it are marked as phase-one points.
class PhaseOne : public Algorithm
{
public:
    using Algorithm::Algorithm;
    ~PhaseOne() override;
};

} // namespace QARNO_4_0_0

#endif
