#ifndef QARNO_TESTS_SUPPORT_SSDSUPPORT_HPP
#define QARNO_TESTS_SUPPORT_SSDSUPPORT_HPP

#include <cstddef>
#include <set>
#include <vector>

#include "Util/Utils.hpp"

namespace QarnoTest
{

/// One sub-problem Mads of an SSD-MADS mega-iteration, as it ended.
struct SSDSubproblemRecord
{
    /// Indices of the variables left free (undefined in FIXED_VARIABLE).
    std::set<size_t> freeVariables;
    bool pollster = false; ///< DIRECTION_TYPE SINGLE and MAX_ITERATIONS 1
    bool ran = false;      ///< it reached its own mega-iterations
};

/// One SSD-MADS mega-iteration, recorded at its end.
struct SSDMegaIterationRecord
{
    size_t k = 0;
    QARNO_4_0_0::SuccessType success = QARNO_4_0_0::SuccessType::NOT_EVALUATED;
    std::vector<SSDSubproblemRecord> subproblems;
};

/// Registers a mega-iteration end callback that appends a record for every
/// SSD-MADS mega-iteration to `records` (which must outlive the run; the
/// callbacks are reset with the process state).
void recordSSDMegaIterations(std::vector<SSDMegaIterationRecord>& records);

} // namespace QarnoTest

#endif
