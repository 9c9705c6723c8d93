#ifndef QARNO_ALGOS_MADS_MADS_HPP
#define QARNO_ALGOS_MADS_MADS_HPP

#include <memory>

#include "Algos/Algorithm.hpp"

namespace QARNO_4_0_0
{

/// Mesh Adaptive Direct Search: after its initialization has evaluated the
/// starting points, runs MADS mega-iterations until its termination step
/// says stop. Every mega-iteration of a run shares one barrier and one mesh;
/// each hands its k, barrier, mesh and success type to the next.
///
///     auto mads = std::make_shared<Mads>(parent,
///     std::make_shared<AlgoStopReasons<MadsStopType>>(),
///                                        runParams, pbParams);
///     mads->start(); mads->run(); mads->end();
///
/// A top Mads continues from the hot-restart file when HOT_RESTART_READ_FILES
/// is set and the file can be read: its barrier, mesh and iteration count
/// replace the initialization.
class Mads : public Algorithm
{
public:
    /// The algorithm's construction, then `init()`.
    Mads(const Step* parentStep, std::shared_ptr<AllStopReasons> stopReasons,
         const std::shared_ptr<RunParameters>& runParams,
         const std::shared_ptr<PbParameters>& pbParams);
    ~Mads() override;

    /// Names the step "MADS" and installs a new `MadsInitialization`.
    void init();

    /// Reads the hot-restart file when asked to; throws, naming the file and
    /// the reason, for a file that does not match the problem (another
    /// dimension, a barrier point that the cache file does not hold with its
    /// evaluation, fewer evaluations than the cache file's cache hits).
    void readInformationForHotRestart() override;
    void hotRestartOnUserInterrupt() override;

protected:
    /// True when at least one mega-iteration reached a full success.
    bool runImp() override;

private:
    /// Throws when a point of the barrier read back is not an evaluated
    /// point of the cache.
    void checkHotRestartBarrier() const;
};

} // namespace QARNO_4_0_0

#endif
