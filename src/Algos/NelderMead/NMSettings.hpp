#ifndef QARNO_ALGOS_NELDERMEAD_NMSETTINGS_HPP
#define QARNO_ALGOS_NELDERMEAD_NMSETTINGS_HPP

#include <cstddef>
#include <memory>

#include "Math/ArrayOfDouble.hpp"
#include "Math/Double.hpp"

namespace QARNO_4_0_0
{

class PbParameters;
class RunParameters;
class Step;

/// The parameters that the Nelder-Mead steps read, read once: the
/// algorithm reads them at its construction and its steps take them from it
/// (`of`), instead of looking every keyword up again at each iteration and
/// move. Checks of the values stay with the steps that use them.
struct NMSettings
{
    bool optimization = false;               ///< NM_OPTIMIZATION
    bool stopOnSuccess = false;              ///< NM_SEARCH_STOP_ON_SUCCESS
    Double deltaE;                           ///< NM_DELTA_E
    Double deltaIC;                          ///< NM_DELTA_IC
    Double deltaOC;                          ///< NM_DELTA_OC
    Double gamma;                            ///< NM_GAMMA
    Double searchRankEps;                    ///< NM_SEARCH_RANK_EPS
    Double includeLength;                    ///< NM_SIMPLEX_INCLUDE_LENGTH
    size_t includeFactor = 0;                ///< NM_SIMPLEX_INCLUDE_FACTOR
    size_t maxIterationPerMegaIteration = 0; ///< MAX_ITERATION_PER_MEGAITERATION
    size_t dimension = 0;                    ///< DIMENSION
    ArrayOfDouble lowerBound;                ///< LOWER_BOUND
    ArrayOfDouble upperBound;                ///< UPPER_BOUND

    /// Reads them (checked parameters).
    static std::shared_ptr<const NMSettings> read(const RunParameters& runParams,
                                                  const PbParameters& pbParams);

    /// `read`, or the settings last read from these very sets while neither
    /// has changed since: the Nelder-Mead search builds an algorithm at
    /// every MADS iteration, on the same sub-problem parameters.
    static std::shared_ptr<const NMSettings>
    readOrKept(const std::shared_ptr<RunParameters>& runParams,
               const std::shared_ptr<PbParameters>& pbParams);
    /// Drops the kept settings (a run starts without them).
    static void forgetKept();
    static bool keepsSettings();

    /// Those of the Nelder-Mead algorithm that runs `step` (the nearest
    /// algorithm above it, when it is NM); read from the step's own
    /// parameters when it runs under another algorithm.
    static std::shared_ptr<const NMSettings> of(const Step& step);
};

} // namespace QARNO_4_0_0

#endif
