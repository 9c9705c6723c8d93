#ifndef QARNO_ALGOS_STEP_HPP
#define QARNO_ALGOS_STEP_HPP

#include <csignal>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Output/OutputInfo.hpp"
#include "Output/OutputLevel.hpp"

namespace QARNO_4_0_0
{

class AllStopReasons;
class Algorithm;
class Barrier;
class EvalPoint;
class MeshBase;
class PbParameters;
class RunParameters;

/// The hooks an embedding program may set on `Step`.
enum class CallbackType
{
    ITERATION_END = 0,
    MEGA_ITERATION_END = 1,
    HOT_RESTART = 2
};

/// The unit of work of the optimiser. Steps form a tree through their parent
/// pointer: the main step is the root, then algorithms, their
/// initialization, mega-iterations, iterations, searches, polls...
///
/// A step shares its algorithm's stop reasons and the run and problem
/// parameter sets. Callers use `start()`, `run()` and `end()`; subclasses
/// provide `startImp`, `runImp` and `endImp`. Output of a step's work falls
/// between its "Start step" and "End step" lines, and every `end()` flushes
/// the output queue.
///
/// Ancestor look-ups never cross an algorithm: the steps of a sub-algorithm
/// do not see the iterations of the algorithm that runs it.
///
/// User interrupts: the SIGINT handler only records the signal. The record is
/// acted upon at the next `handlePendingInterrupts()` (every `start()` calls
/// it, and so should every algorithm loop between mega-iterations), which
/// prints the texts, sets the flags and the stop reason, and throws
/// `UserTerminateException` on a second interrupt. The handlers are in place
/// only while a `SignalHandlerGuard` lives.
class Step
{
public:
    using StepEndCallback = std::function<void(const Step&, bool&)>;
    using HotRestartCallback = std::function<void(std::vector<std::string>&)>;

    /// A first user interrupt was received and not yet handled.
    static bool _userInterrupt;
    /// The run must end.
    static bool _userTerminate;

    /// Root step, named "Main Step", with no stop reasons nor parameters.
    Step();
    /// Child step, named "Child step", sharing the parent's stop reasons and
    /// parameter sets.
    explicit Step(const Step* parentStep);
    /// Step with its own stop reasons (the form algorithms use), named "Step".
    Step(const Step* parentStep, std::shared_ptr<AllStopReasons> stopReasons,
         const std::shared_ptr<RunParameters>& runParams,
         const std::shared_ptr<PbParameters>& pbParams);

    /// Flushes the output queue; never throws.
    virtual ~Step();

    Step(const Step&) = delete;
    Step& operator=(const Step&) = delete;

    virtual const std::string& getName() const { return _name; }
    void setName(const std::string& name) { _name = name; }

    /// The comment of the root algorithm; empty without one. The comment is
    /// display state of that algorithm, which is reached through const
    /// parents, so the forwarding operations are const.
    virtual std::string getAlgoComment() const;
    virtual void setAlgoComment(const std::string& comment, bool force = false) const;
    virtual void resetPreviousAlgoComment(bool force = false) const;

    /// See the class comment: the begin helper, then the end helper, which
    /// climbs to the parent.
    virtual void hotRestartOnUserInterrupt();

    void start();
    bool run();
    void end();

    const Step* getParentStep() const { return _parentStep; }
    const std::shared_ptr<AllStopReasons>& getAllStopReasons() const { return _stopReasons; }
    const std::shared_ptr<RunParameters>& getRunParams() const { return _runParams; }
    const std::shared_ptr<PbParameters>& getPbParams() const { return _pbParams; }

    /// True when the dynamic type is `Algorithm` or a subclass. The ancestor
    /// walks ask every step they pass, so this is a virtual call rather than
    /// a type test that climbs the class hierarchy.
    virtual bool isAnAlgorithm() const { return false; }
    /// The outermost algorithm among this step and its ancestors; null when
    /// there is none.
    const Algorithm* getRootAlgorithm() const;
    /// The name of this algorithm or of the nearest one above, followed by one
    /// blank; empty when there is none.
    std::string getAlgoName() const;
    /// The mesh of the nearest iteration above, within the algorithm.
    std::shared_ptr<MeshBase> getIterationMesh() const;
    /// The frame centre of the nearest iteration above, within the algorithm.
    std::shared_ptr<EvalPoint> getIterationFrameCenter() const;
    /// For an algorithm, the barrier of its current mega-iteration; else the
    /// barrier of this mega-iteration or of the nearest one above, within the
    /// algorithm.
    std::shared_ptr<Barrier> getMegaIterationBarrier() const;

    void verifyParentNotNull() const;
    void verifyGenerateAllPointsBeforeEval(const std::string& method, bool expected) const;

    void AddOutputInfo(OutputInfo outputInfo) const;
    void AddOutputInfo(const std::string& msg, bool isBlockStart, bool isBlockEnd) const;
    void AddOutputInfo(const std::string& msg, OutputLevel level = OutputLevel::LEVEL_INFO) const;
    void AddOutputError(const std::string& msg) const;
    void AddOutputVeryHigh(const std::string& msg) const;
    void AddOutputWarning(const std::string& msg) const;
    void AddOutputHigh(const std::string& msg) const;
    void AddOutputDebug(const std::string& msg) const;

    static void addCallback(const CallbackType& callbackType, const StepEndCallback& callback);
    static void addCallback(const CallbackType& callbackType, const HotRestartCallback& callback);
    static void runCallback(CallbackType callbackType, const Step& step, bool& stop);
    static void runCallback(CallbackType callbackType, std::vector<std::string>& paramLines);
    static void defaultStepEnd(const Step& step, bool& stop);
    static void defaultHotRestart(std::vector<std::string>& paramLines);
    /// The three callbacks := their defaults.
    static void resetCallbacks();

    /// SIGINT handler: records the signal, nothing else (async-signal-safe).
    static void userInterrupt(int signalValue);
    /// Handler of SIGTERM and SIGHUP: records the signal, nothing else.
    static void terminationSignal(int signalValue);
    /// SIGSEGV handler: writes "Caught seg fault in thread 0" on standard
    /// error with write(2), puts back the handler found before the run (the
    /// default one when there was none) and raises the signal again, so the
    /// process ends as the fault demands, through that handler.
    static void debugSegFault(int signalValue);
    /// Acts on the interrupts recorded since the last call, in order: the
    /// first prints "QARNO caught User interruption." and "Please wait...",
    /// sets the base stop reason to Ctrl-C and `_userInterrupt`; one more
    /// prints "Terminate QARNO.", sets `_userTerminate` and throws
    /// `UserTerminateException` "User termination". A termination signal
    /// (SIGTERM, SIGHUP) prints "QARNO caught signal SIGTERM." (or SIGHUP)
    /// and "Terminate QARNO.", then sets the base stop reason to Ctrl-C and
    /// `_userTerminate` without throwing: the run ends at once with its
    /// reports.
    static void handlePendingInterrupts();
    /// Flags and recorded signals := none, as at load.
    static void resetInterruptState();

    /// "Call stack:", the names from the root down to this step, each
    /// indented two blanks more than its parent, then an empty line.
    void debugShowCallStack() const;

protected:
    void init();

    void defaultStart();
    void defaultEnd();
    void hotRestartBeginHelper();
    void hotRestartEndHelper();

    virtual void startImp() = 0;
    virtual bool runImp() = 0;
    virtual void endImp() = 0;

    // Seams for the iteration classes, which know their own mesh, frame
    // centre and barrier; the look-ups above only walk the tree.
    /// An `Iteration` answers true.
    virtual bool isAnIteration() const { return false; }
    /// A `MegaIteration` answers true.
    virtual bool isAMegaIteration() const { return false; }
    /// The mesh of an iteration.
    virtual std::shared_ptr<MeshBase> ownIterationMesh() const { return nullptr; }
    /// The number k of an iteration.
    virtual size_t ownIterationK() const { return 0; }
    /// The frame centre of an iteration.
    virtual std::shared_ptr<EvalPoint> ownFrameCenter() const { return nullptr; }
    /// The barrier of a mega-iteration; for an algorithm, that of its current
    /// mega-iteration.
    virtual std::shared_ptr<Barrier> ownMegaIterationBarrier() const { return nullptr; }

    const Step* _parentStep;
    std::string _name;
    std::shared_ptr<AllStopReasons> _stopReasons;
    std::shared_ptr<RunParameters> _runParams;
    std::shared_ptr<PbParameters> _pbParams;

    // The evaluator-control view tags queued points with the mesh and the
    // number k of the iteration that generated them.
    friend class EvcInterface;

private:
    /// The nearest ancestor (this step excluded) for which `wanted` holds,
    /// not looking beyond the first algorithm met.
    template <typename PRED> const Step* findAncestor(PRED wanted) const;
    /// This step when it is an algorithm, else the nearest algorithm above.
    const Step* nearestAlgorithmStep() const;
    const Step* rootAlgorithmStep() const;

    static StepEndCallback _cbIterationEnd;
    static StepEndCallback _cbMegaIterationEnd;
    static HotRestartCallback _cbHotRestart;

    /// Interrupts of the signal record already acted upon; read and written
    /// outside the handler.
    static std::sig_atomic_t _sigintHandled;
    /// The termination signal of the record was acted upon.
    static bool _terminationHandled;
};

} // namespace QARNO_4_0_0

#endif
