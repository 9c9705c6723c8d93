#ifndef QARNO_ALGOS_NELDERMEAD_NMSTEPTYPE_HPP
#define QARNO_ALGOS_NELDERMEAD_NMSTEPTYPE_HPP

namespace QARNO_4_0_0
{

/// The kind of the Nelder-Mead step in progress or chosen next. The values
/// are fixed (1 is unused) because the stop-reason map and the displays of
/// the steps rely on them.
enum class NMStepType
{
    UNSET = 0,               ///< no step chosen (after construction and each decision)
    REFLECT = 2,             ///< reflection
    EXPAND = 3,              ///< expansion
    OUTSIDE_CONTRACTION = 4, ///< outside contraction
    INSIDE_CONTRACTION = 5,  ///< inside contraction
    SHRINK = 6,              ///< shrink of the simplex
    INSERT_IN_Y = 7,         ///< insertion of points into Y
    CONTINUE = 8             ///< Y was updated: the iteration is complete
};

} // namespace QARNO_4_0_0

#endif
