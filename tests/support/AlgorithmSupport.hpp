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

/// A mega-iteration that runs no iteration: its run answers `runResult`
/// and leaves `successToReach` as its success.
class FrameMegaIteration : public QARNO_4_0_0::MegaIteration
{
public:
    FrameMegaIteration(const QARNO_4_0_0::Step* parent, size_t k,
                       std::shared_ptr<QARNO_4_0_0::Barrier> barrier);

    bool runResult = false;
    QARNO_4_0_0::SuccessType successToReach = QARNO_4_0_0::SuccessType::NOT_EVALUATED;

protected:
    void startImp() override {}
    bool runImp() override;
};

/// A concrete algorithm whose start and end are those of `Algorithm`.
///
/// - Its initialization is a `RecordingInitialization`: set its
///   `barrierToBuild` to give the run a first barrier.
/// - Hot restart, as MADS reads it but without a mesh: with
///   HOT_RESTART_READ_FILES and a readable HOT_RESTART_FILE, an empty
///   `FrameMegaIteration` (k 0, a fresh barrier taken from the cache) becomes
///   the current mega-iteration and the file is read into the algorithm.
/// - Run: from the mega-iteration read back, or else from the
///   initialization's barrier, up to `megaIterationsToRun`
///   `FrameMegaIteration`s while `terminate(k)` says go on; each answers
///   `megaRunResult` and reaches `megaSuccess`, and the algorithm keeps the
///   best success and whether any run succeeded, as Nelder-Mead does. No
///   barrier: no mega-iteration.
///
///     FrameAlgorithm algo(&main, runParams, pbParams);
///     algo.initialization().barrierToBuild = barrier;
///     algo.start(); algo.run(); algo.end();
class FrameAlgorithm : public QARNO_4_0_0::Algorithm
{
public:
    FrameAlgorithm(const QARNO_4_0_0::Step* parent,
                   const std::shared_ptr<QARNO_4_0_0::RunParameters>& runParams,
                   const std::shared_ptr<QARNO_4_0_0::PbParameters>& pbParams,
                   const std::string& name = "Test Algorithm",
                   std::shared_ptr<QARNO_4_0_0::AllStopReasons> stopReasons =
                       std::make_shared<QARNO_4_0_0::AllStopReasons>());

    RecordingInitialization& initialization() const;

    void readInformationForHotRestart() override;

    /// Calls of readInformationForHotRestart.
    size_t hotRestartReads = 0;
    size_t megaIterationsToRun = 1;
    bool megaRunResult = false;
    QARNO_4_0_0::SuccessType megaSuccess = QARNO_4_0_0::SuccessType::NOT_EVALUATED;

protected:
    bool runImp() override;
};

} // namespace QarnoTest

#endif
