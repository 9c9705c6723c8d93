#ifndef QARNO_ALGOS_ALGORITHM_HPP
#define QARNO_ALGOS_ALGORITHM_HPP

#include <cstddef>
#include <cstdint>
#include <functional>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "Algos/Step.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

class Initialization;
class MegaIteration;
class Termination;

/// The step every optimisation algorithm derives from. It owns the
/// algorithm's `Termination` step and, once the subclass made it, its
/// `Initialization` step; it keeps the current mega-iteration, registers the
/// algorithm's sub-problem (fixed variables) and works from then on in the
/// sub-space of the free variables.
///
/// A top algorithm (no other algorithm above it) reads the hot-restart file
/// at its start, resets the cache-hit counter, keeps its own comment stack
/// and writes the cache and hot-restart files at its end. A sub-algorithm
/// shares the root algorithm's comment stack and reports at the information
/// level only.
///
/// Life cycle: construction (`init`, then the subclass's own init), then
/// `start()` (hot-restart state or the Initialization step), `run()` (the
/// subclass's loop of mega-iterations until `terminate(k)`), `end()` (reports
/// and files).
class Algorithm : public Step
{
public:
    /// Builds the `Step` part and runs `init()`. Throws a `StepException`
    /// without run or problem parameters, and the `Step` errors without a
    /// parent or stop reasons.
    Algorithm(const Step* parentStep, std::shared_ptr<AllStopReasons> stopReasons,
              const std::shared_ptr<RunParameters>& runParams,
              const std::shared_ptr<PbParameters>& pbParams);
    /// Unregisters the sub-problem, then releases the members.
    ~Algorithm() override;

    bool isAnAlgorithm() const final { return true; }

    /// True when an ancestor is an algorithm.
    bool isSubAlgo() const;
    /// The termination step's answer for the mega-iteration number k.
    bool terminate(size_t k);

    /// The comment stack of the run: a sub-algorithm forwards to the root
    /// algorithm. See the implementation for the force rule.
    std::string getAlgoComment() const override;
    void setAlgoComment(const std::string& comment, bool force = false) const override;
    void resetPreviousAlgoComment(bool force = false) const override;

    void hotRestartOnUserInterrupt() override;

    /// Fills the current mega-iteration from the hot-restart file when the
    /// algorithm reads one; called at the start of a top algorithm only.
    virtual void readInformationForHotRestart() = 0;
    /// Writes the cache file (when named) and, with HOT_RESTART_WRITE_FILES,
    /// the hot-restart file.
    void saveInformationForHotRestart() const;

    /// Hot-restart text: token loop over MEGA_ITERATION, NB_EVAL,
    /// NB_BB_EVAL and RNG, then the evaluation counters are set.
    virtual void read(std::istream& is);
    /// Hot-restart text: the current mega-iteration and the counters.
    virtual void display(std::ostream& os) const;

    /// End-of-run report of the barrier's incumbents, in the full space.
    void displayBestSolutions() const;
    /// End-of-run report of the evaluation counters.
    void displayEvalCounts() const;

    const std::shared_ptr<MegaIteration>& getMegaIteration() const { return _megaIteration; }
    void setMegaIteration(const std::shared_ptr<MegaIteration>& megaIteration)
    {
        _megaIteration = megaIteration;
    }
    bool getEndDisplay() const { return _endDisplay; }
    void setEndDisplay(bool endDisplay) { _endDisplay = endDisplay; }
    SuccessType getAlgoBestSuccess() const { return _algoBestSuccess; }
    bool getAlgoSuccessful() const { return _algoSuccessful; }

protected:
    /// What a run loop hands from one mega-iteration to the next.
    struct MegaIterationState
    {
        size_t k = 0;
        std::shared_ptr<Barrier> barrier;
        SuccessType success = SuccessType::NOT_EVALUATED;
    };

    /// How the number of the next mega-iteration is found.
    enum class KAdvance
    {
        /// `getNextK()`: k plus the iterations run, or k + 1 when none ran.
        NEXT_K,
        /// The mega-iteration's own k, which it raised itself for each
        /// iteration it ran.
        OWN_K
    };

    /// What happened in `runMegaIterations`; each algorithm answers its
    /// `runImp` from the part its own rule names.
    struct MegaIterationsOutcome
    {
        /// The answer of the last termination test (false when the loop
        /// ended on its count).
        bool terminated = false;
        /// Some mega-iteration ended with a full success.
        bool anyFullSuccess = false;
        /// Some mega-iteration's `run()` answered true.
        bool anyRunSuccess = false;
        /// The best success type of the mega-iterations run.
        SuccessType bestSuccess = SuccessType::NOT_EVALUATED;
        size_t nbMegaIterations = 0;
    };

    /// Builds the mega-iteration for the state (the constructor's arguments
    /// and whatever the algorithm hands on besides).
    using MegaIterationFactory =
        std::function<std::unique_ptr<MegaIteration>(const MegaIterationState&)>;
    /// Takes what the algorithm hands on besides k, barrier and success
    /// (a mesh, a simplex) from the mega-iteration just ended.
    using MegaIterationFollowUp = std::function<void(MegaIteration&)>;

    /// The run loop of every algorithm that repeats mega-iterations: while
    /// fewer than `maxMegaIterations` ran and `terminate(state.k)` is false,
    /// build one, start, run and end it, take its k (by `kAdvance`),
    /// barrier and success type into `state`, call `followUp`, and act on a
    /// user interrupt (`hotRestartOnUserInterrupt`).
    MegaIterationsOutcome runMegaIterations(MegaIterationState& state, KAdvance kAdvance,
                                            const MegaIterationFactory& makeMegaIteration,
                                            const MegaIterationFollowUp& followUp = nullptr,
                                            size_t maxMegaIterations = SIZE_MAX);

    /// The initialization's barrier, or, when it made none, a barrier of the
    /// best cache points (hMax H_MAX_0) in the algorithm's sub-space.
    std::shared_ptr<Barrier> startingBarrier() const;

    /// Starts, runs and ends the termination step, which reports why the
    /// algorithm stops.
    void runTermination();

    void init();

    void startImp() override;
    bool runImp() override = 0;
    void endImp() override;

    std::shared_ptr<Barrier> ownMegaIterationBarrier() const override;

    std::unique_ptr<Initialization> _initialization;
    std::unique_ptr<Termination> _termination;
    std::shared_ptr<MegaIteration> _megaIteration;

    // Display state reached through const parents (see Step).
    mutable std::string _algoComment;
    mutable std::vector<std::string> _prevAlgoComment;
    mutable bool _forceAlgoComment;

    bool _endDisplay;
    SuccessType _algoBestSuccess;
    bool _algoSuccessful;
};

std::ostream& operator<<(std::ostream& os, const Algorithm& algo);
std::istream& operator>>(std::istream& is, Algorithm& algo);

} // namespace QARNO_4_0_0

#endif
