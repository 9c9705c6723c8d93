#ifndef QARNO_OUTPUT_DISPLAYSTATSTYPE_HPP
#define QARNO_OUTPUT_DISPLAYSTATSTYPE_HPP

namespace QARNO_4_0_0
{

/// The keyword of one column of a statistics line (DISPLAY_STATS, STATS_FILE,
/// the history and solution files). The texts and the words read are those of
/// `StatsInfo::displayStatsTypeToString` and `StatsInfo::stringToDisplayStatsType`.
enum class DisplayStatsType
{
    OBJ = 0,             ///< "OBJ": objective value
    CONS_H = 1,          ///< "CONS_H": infeasibility h
    H_MAX = 2,           ///< "H_MAX": largest infeasibility accepted
    BBE = 3,             ///< "BBE": blackbox evaluations
    FEAS_BBE = 4,        ///< "FEAS_BBE": feasible blackbox evaluations
    INF_BBE = 5,         ///< "INF_BBE": infeasible blackbox evaluations
    ALGO_BBE = 6,        ///< "ALGO_BBE": the producer's own count
    BLK_EVA = 7,         ///< "BLK_EVA": block evaluation calls
    BLK_SIZE = 8,        ///< "BLK_SIZE": points in the block
    LAP = 9,             ///< "LAP": lap evaluations since the last reset
    SGTE = 10,           ///< "SGTE": surrogate evaluations since the last reset
    TOTAL_SGTE = 11,     ///< "TOTAL_SGTE": total surrogate evaluations
    BBO = 12,            ///< "BBO": raw blackbox output
    EVAL = 13,           ///< "EVAL": points sent to the evaluator
    REL_SUCC = 14,       ///< "REL_SUCC": relative successes
    PHASE_ONE_SUCC = 15, ///< "PHASE_ONE_SUCC": successes during phase one
    CACHE_HITS = 16,     ///< "CACHE_HITS"
    CACHE_SIZE = 17,     ///< "CACHE_SIZE"
    ITER_NUM = 18,       ///< "ITER_NUM": iteration of the evaluation
    TIME = 19,           ///< "TIME": real time in seconds
    MESH_INDEX = 20,     ///< "MESH_INDEX"
    MESH_SIZE = 21,      ///< "MESH_SIZE", also read from "DELTA_M"
    DELTA_M = 22,        ///< "DELTA_M": mesh size, never produced by reading
    FRAME_SIZE = 23,     ///< "FRAME_SIZE", also read from "DELTA_F", "POLL_SIZE", "DELTA_P"
    DELTA_F = 24,        ///< "DELTA_F": frame size, never produced by reading
    SOL = 25,            ///< "SOL": the evaluated point
    THREAD_ALGO = 26,    ///< "THREAD_ALGO": main thread of the algorithm
    THREAD_NUM = 27,     ///< "THREAD_NUM": thread of the evaluation
    GEN_STEP = 28,       ///< "GEN_STEP": step that generated the point
    SUCCESS_TYPE = 29,   ///< "SUCCESS_TYPE": success type of the evaluation
    USER = 30            ///< "USER": any other word, shown as written
};

} // namespace QARNO_4_0_0

#endif
