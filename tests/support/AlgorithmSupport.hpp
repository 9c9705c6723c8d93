#ifndef QARNO_TESTS_SUPPORT_ALGORITHMSUPPORT_HPP
#define QARNO_TESTS_SUPPORT_ALGORITHMSUPPORT_HPP

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "Algos/Algorithm.hpp"
#include "Algos/MegaIteration.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Type/EvalType.hpp"
#include "Util/AllStopReasons.hpp"
#include "support/EvcSupport.hpp"
#include "support/IterationSupport.hpp"

namespace QarnoTest
{

/// Checked run parameters for a problem of that dimension with the
/// hot-restart flags and file given (an absolute file name, or empty to keep
/// the default).
std::shared_ptr<QARNO_4_0_0::RunParameters>
makeHotRestartRunParams(size_t dimension, bool readFiles, bool writeFiles,
                        const std::string& hotRestartFile);

/// What an algorithm needs from the process to start and end: the cache
/// (outputs OBJ and PB, created unless one exists), an evaluation queue
/// installed in `EvcInterface` for the life of the object, whose evaluator
/// answers f = x0 and h = 0, and an output queue configured at display
/// degree 2 for points of `dimension` variables. Hold a ProcessStateGuard
/// around it.
struct AlgorithmRun
{
    explicit AlgorithmRun(const EvcOptions& options = EvcOptions(),
                          QARNO_4_0_0::EvalType evalType = QARNO_4_0_0::EvalType::BB,
                          size_t dimension = 2);
    ~AlgorithmRun();
    AlgorithmRun(const AlgorithmRun&) = delete;
    AlgorithmRun& operator=(const AlgorithmRun&) = delete;

    EvcHarness harness;
};

} // namespace QarnoTest

#endif
