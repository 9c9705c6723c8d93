#ifndef QARNO_ALGOS_PHASEONE_PHASEONE_HPP
#define QARNO_ALGOS_PHASEONE_PHASEONE_HPP

#include "Algos/Algorithm.hpp"
#include "Type/BBOutputType.hpp"

namespace QARNO_4_0_0
{

/// The algorithm that looks for a feasible point before the optimisation
/// proper; the points evaluated below it are marked as phase-one points.
class PhaseOne : public Algorithm
{
public:
    /// The output types of the run, set by the main step before phase one
    /// is built: h of the cache's points is recomputed with them. Empty at
    /// load and after `resetProcessState`.
    static BBOutputTypeList _bboutputtypes;

    using Algorithm::Algorithm;
    ~PhaseOne() override;
};

} // namespace QARNO_4_0_0

#endif
