#ifndef QARNO_UTIL_STOPREASONTYPES_HPP
#define QARNO_UTIL_STOPREASONTYPES_HPP

#include <cstdint>

namespace QARNO_4_0_0
{

// The ten kinds of reasons why work stops. Values run from 0 without gaps and
// 0 is always the started state. Their texts and the values that end the work
// are kept with StopReason<T> (Util/StopReason.cpp).

/// Run-wide reasons, shared by every algorithm of a run.
enum class BaseStopType : std::int32_t
{
    STARTED = 0,
    MAX_TIME_REACHED,
    INITIALIZATION_FAILED,
    ERROR,
    UNKNOWN,
    CTRL_C,
    USER_STOPPED
};

/// Reasons of a MADS algorithm.
enum class MadsStopType : std::int32_t
{
    STARTED = 0,
    MESH_PREC_REACHED,
    MIN_MESH_SIZE_REACHED,
    MIN_FRAME_SIZE_REACHED,
    X0_FAILED,
    PHASE_ONE_FAILED
};

/// Reasons of the phase-one algorithm.
enum class PhaseOneStopType : std::int32_t
{
    STARTED = 0,
    NO_FEASIBLE_POINT,
    MADS_FAILED
};

/// Reasons of the sequential space decomposition.
enum class SSDMadsStopType : std::int32_t
{
    STARTED = 0,
    X0_FAILED
};

/// Reasons of the Latin-hypercube algorithm.
enum class LHStopType : std::int32_t
{
    STARTED = 0,
    NO_POINTS_GENERATED,
    ALL_POINTS_EVALUATED
};

/// Reasons of the Nelder-Mead algorithm.
enum class NMStopType : std::int32_t
{
    STARTED = 0,
    SIMPLEX_TOO_SMALL,
    SIMPLEX_RANK_TOO_SMALL,
    INITIALIZATION_FAILED,
    REFLECT_FAILED,
    EXPANSION_FAILED,
    OUTSIDE_CONTRACTION_FAILED,
    INSIDE_CONTRACTION_FAILED,
    SHRINK_FAILED,
    UNKNOWN_STEP,
    INSERTION_FAILED,
    X0_FAILED,
    SINGLE_ITERATION_COMPLETED,
    STOPPED_ON_EVAL_SUCCESS
};

/// Reasons of an algorithm's iteration loop.
enum class IterStopType : std::int32_t
{
    STARTED = 0,
    MAX_ITERATIONS_REACHED,
    FEASIBLE_POINT_REACHED
};

/// Run-wide evaluation budgets.
enum class EvalGlobalStopType : std::int32_t
{
    STARTED = 0,
    MAX_BB_EVAL_REACHED,
    MAX_EVAL_REACHED,
    MAX_BLOCK_EVAL_REACHED
};

/// Reasons of one main thread's evaluation queue. Some of them only say why
/// the queue paused (success, empty list, nothing left) and do not end the work.
enum class EvalMainThreadStopType : std::int32_t
{
    STARTED = 0,
    LAP_MAX_BB_EVAL_REACHED,
    SUBPROBLEM_MAX_BB_EVAL_REACHED,
    OPPORTUNISTIC_SUCCESS,
    EMPTY_LIST_OF_POINTS,
    ALL_POINTS_EVALUATED,
    MAX_SGTE_EVAL_REACHED
};

/// Reasons of the model-based algorithms.
enum class ModelStopType : std::int32_t
{
    STARTED = 0,
    ORACLE_FAILED,
    MODEL_OPTIMIZATION_FAILED,
    INITIALIZATION_FAILED,
    NOT_ENOUGH_POINTS,
    NO_NEW_POINTS_FOUND,
    EVAL_FAILED,
    X0_FAILED,
    SINGLE_PASS_COMPLETED,
    ALL_POINTS_EVALUATED
};

} // namespace QARNO_4_0_0

#endif
