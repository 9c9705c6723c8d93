#ifndef QARNO_ALGOS_MAINSTEP_HPP
#define QARNO_ALGOS_MAINSTEP_HPP

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Algos/SignalHandlerGuard.hpp"
#include "Algos/Step.hpp"

namespace QARNO_4_0_0
{

class AllParameters;
class AllStopReasons;
class Algorithm;
class Evaluator;
class PbParameters;

/// The algorithms a run may be made of, in the order of the choice rules.
enum class AlgoKind
{
    LH,
    NM,
    SSD_MADS,
    PHASE_ONE,
    MADS
};

/// "LH", "NM", "SSD-MADS", "PhaseOne", "MADS".
std::string algoKindToString(AlgoKind kind);

/// The root of the step tree: one optimisation run, from its parameters to
/// its evaluated points.
///
///     MainStep mainStep;
///     mainStep.setAllParameters(params);    // or setParamFileName("runs/pb1/param.txt")
///     mainStep.setEvaluator(evaluator);      // optional: BB_EXE otherwise
///     mainStep.start();
///     mainStep.run();
///     mainStep.end();
///
/// The start checks the parameters, configures the output, binds the cache
/// and the evaluation queue of the process (created when absent, kept
/// afterwards), completes X0 from the cache and chooses the algorithms. The
/// run takes them one after the other; the end writes MAIN_STATS_FILE.
///
/// A run starts from the state of a fresh process whatever an earlier run
/// of the process left (an exception included): interrupt flags, shared stop
/// reasons, the evaluation rules that phase one swaps, the solution-file
/// switch, and the binding of an empty cache. The signal handlers of the run
/// are in place from the start to the end (or the destruction) of the step,
/// and the handlers found before are put back afterwards. MAX_TIME, read at
/// the start (and after a hot-restart dialog), also bounds the wait for a
/// blackbox executable (`Evaluator::setTimeLimit`).
class MainStep : public Step
{
public:
    MainStep();
    /// With the caller's parameter sets: none are built only to be dropped.
    explicit MainStep(const std::shared_ptr<AllParameters>& allParams);
    ~MainStep() override;

    /// The sets built by the constructor are dropped.
    void setAllParameters(const std::shared_ptr<AllParameters>& allParams);
    const std::shared_ptr<AllParameters>& getAllParameters() const { return _allParams; }

    /// A parameter file to read at start; its folder becomes PROBLEM_DIR.
    void setParamFileName(const std::string& paramFileName) { _paramFileName = paramFileName; }
    const std::string& getParamFileName() const { return _paramFileName; }

    /// Without an evaluator, the start makes the blackbox-executable one.
    void setEvaluator(const std::shared_ptr<Evaluator>& evaluator) { _evaluator = evaluator; }
    const std::shared_ptr<Evaluator>& getEvaluator() const { return _evaluator; }

    /// The algorithms chosen by the start, in run order.
    const std::vector<std::shared_ptr<Algorithm>>& getAlgos() const { return _algos; }

    /// The dialog of a hot restart after a user interrupt: parameter lines
    /// from the HOT_RESTART callback, or a file name or lines on standard
    /// input.
    void hotRestartOnUserInterrupt() override;

    /// Creates the cache of the process when there is none; an empty cache
    /// is bound to this run (parameters, output types, file), one that holds
    /// points is kept as it is.
    void createCache() const;
    /// True when the cache has no feasible blackbox point and BB_OUTPUT_TYPE
    /// holds an EB constraint.
    bool detectPhaseOne() const;
    /// An X0 that is missing or not complete becomes the best cache points
    /// (feasible, else infeasible within H_MAX_0); an empty cache changes
    /// nothing.
    void updateX0sFromCache() const;

    /// Writes MAIN_STATS_FILE (nothing for "-" or an empty name).
    void displayDetailedStats() const;

    /// The help of the keywords matching `helpSubject` (all for an empty one).
    void displayHelp(const std::string& helpSubject = "", bool devHelp = false);
    void displayUsage(const char* exeName) const;
    void displayVersion() const;
    /// The notice file of the library, when it can be read.
    void displayInfo() const;

    int getNumThreads() const { return 1; }
    void setNumThreads() const {}
    void printNumThreads() const {}

    /// Between two optimisations in one process: what every run resets at
    /// its start (`resetRunState`), and the cache's points and the tags of
    /// evaluation points; the cache itself and the evaluation queue stay.
    static void resetComponentsBetweenOptimization();

    /// The notice file read by `displayInfo`.
    static std::string noticeFileName();

protected:
    void init(const std::shared_ptr<AllParameters>& allParams);

    void startImp() override;
    bool runImp() override;
    void endImp() override;

    /// Builds one algorithm of the run with the main step as parent; the
    /// stop reasons and problem parameters come from the choice rules. The
    /// algorithms that this build does not hold throw an `Exception`.
    virtual std::shared_ptr<Algorithm>
    createAlgorithm(AlgoKind kind, std::shared_ptr<AllStopReasons> stopReasons,
                    const std::shared_ptr<PbParameters>& pbParams);

    std::string _paramFileName;
    std::shared_ptr<AllParameters> _allParams;
    std::shared_ptr<Evaluator> _evaluator;
    std::vector<std::shared_ptr<Algorithm>> _algos;

private:
    /// Builds `_algos` by the choice rules.
    void chooseAlgorithms();
    /// LH and NM alone evaluate every point they generate: OPPORTUNISTIC_EVAL
    /// off in the run's parameters and on the evaluation queue.
    void disableOpportunisticEval(const std::string& algoName);
    /// Puts back the queue's opportunistic flag changed for this run.
    void restoreQueueOpportunisticEval() noexcept;
    std::shared_ptr<PbParameters> copyOfPbParams() const;

    std::unique_ptr<SignalHandlerGuard> _signalHandlers;
    /// The queue's opportunistic flag before this run switched it off.
    std::optional<bool> _queueOpportunisticEval;
};

} // namespace QARNO_4_0_0

#endif
