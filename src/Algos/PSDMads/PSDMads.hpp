#ifndef QARNO_ALGOS_PSDMADS_PSDMADS_HPP
#define QARNO_ALGOS_PSDMADS_PSDMADS_HPP

#include <atomic>
#include <cstddef>
#include <memory>

#include "Algos/Algorithm.hpp"
#include "Math/RandomPickup.hpp"

namespace QARNO_4_0_0
{

class Barrier;
class Evaluator;
class EvaluatorControlParameters;
class MeshBase;
class Point;

/// Parallel space decomposition MADS ("PSD-MADS"). Every main thread runs
/// `runImp` on the same object: thread 0, the pollster, runs one-evaluation
/// MADS sub-runs on all the variables and alone updates the shared main
/// mesh; the other threads, the workers, run MADS sub-runs on a few randomly
/// drawn free variables. All share one barrier.
///
///     PSDMads psd(parent, stopReasons, runParams, pbParams, evaluator, evcParams);
///     psd.start(); psd.run(); psd.end();   // on each main thread
///
/// PSD_MADS_NB_SUBPROBLEM must hold the number of main threads before the
/// construction. Only `_lastSubproblemSuccessful` is made safe for several
/// threads: the barrier, the pick-up and the mesh are not protected.
class PSDMads : public Algorithm
{
public:
    /// The algorithm's construction, then `init(evaluator, evcParams)`.
    PSDMads(const Step* parentStep, std::shared_ptr<AllStopReasons> stopReasons,
            const std::shared_ptr<RunParameters>& runParams,
            const std::shared_ptr<PbParameters>& pbParams,
            const std::shared_ptr<Evaluator>& evaluator,
            const std::shared_ptr<EvaluatorControlParameters>& evcParams);
    ~PSDMads() override;

    /// Names the step, installs a `MadsInitialization`, registers the main
    /// threads 1 .. N - 1 and fills the pick-up.
    void init(const std::shared_ptr<Evaluator>& evaluator,
              const std::shared_ptr<EvaluatorControlParameters>& evcParams);

    void readInformationForHotRestart() override {}

    /// Returns once thread 0 has published the shared barrier.
    void waitForBarrier() const;

    /// Whether the pollster updates the main mesh now (with its message).
    bool doUpdateMesh() const;

    /// Frees PSD_MADS_NB_VAR_IN_SUBPROBLEM drawn coordinates of the point.
    void generateSubproblem(Point& fixedVariable);

    /// Variable indices not yet drawn since the last mesh update.
    size_t getNbVariablesNotDrawn() const { return _nbNotDrawn; }

    const std::shared_ptr<MeshBase>& getMainMesh() const { return _mainMesh; }
    const std::shared_ptr<Barrier>& getSharedBarrier() const { return _barrier; }
    bool lastSubproblemSuccessful() const { return _lastSubproblemSuccessful.load(); }
    void setLastSubproblemSuccessful(bool success) { _lastSubproblemSuccessful.store(success); }

protected:
    void startImp() override;
    /// The loop of sub-runs of the calling main thread; always true.
    bool runImp() override;
    void endImp() override;

private:
    void destroy() {}
    void resetPickup();

    RandomPickup _randomPickup;
    // The pick-up does not tell how many indices remain: counted here.
    size_t _nbNotDrawn;
    std::shared_ptr<MeshBase> _mainMesh;
    std::shared_ptr<Barrier> _barrier;
    std::atomic<bool> _lastSubproblemSuccessful;
};

} // namespace QARNO_4_0_0

#endif
