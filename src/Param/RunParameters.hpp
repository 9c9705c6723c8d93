#ifndef QARNO_PARAM_RUNPARAMETERS_HPP
#define QARNO_PARAM_RUNPARAMETERS_HPP

#include <memory>

#include "Param/Parameters.hpp"

namespace QARNO_4_0_0
{

class EvaluatorControlGlobalParameters;
class PbParameters;

/// The parameters of a run: random seed, hot restart, the choice of the
/// algorithm (Latin-hypercube sampling, Nelder-Mead, model optimisation,
/// space decomposition, MADS by default), the MADS search methods and their
/// settings, the Nelder-Mead constants, the mesh anisotropy, the iteration and
/// time budgets, and the process-wide settings of the value types (tolerance,
/// texts of undefined and infinite values, version, problem directory).
///
///     auto run = std::make_shared<RunParameters>();
///     run->setAttributeValue("SEED", 3);
///     run->checkAndComply(evcGlobal, pb);   // pb and evcGlobal checked first
///     size_t maxIter = run->getAttributeValue<size_t>("MAX_ITERATIONS");
class RunParameters : public Parameters
{
public:
    /// Whether the warning about unrecognised parameters was already given
    /// in this process (set by every completed check): it is shown once.
    static bool _warningUnknownParamShown;

    RunParameters() : Parameters() { init(); }
    ~RunParameters() override = default;

    /// Type name "Run"; registers the definition table, then EPSILON,
    /// UNDEF_STR, QARNO_VERSION, INF_STR and PROBLEM_DIR.
    void init() override;

    /// Checks and completes the set; reads DIMENSION of `pb` and the block
    /// sizes of `evcGlobal` (checking `evcGlobal` first when it is still to
    /// be checked). Writes the seed, tolerance and value texts into the
    /// value types.
    void checkAndComply(const std::shared_ptr<EvaluatorControlGlobalParameters>& evcGlobal,
                        const std::shared_ptr<PbParameters>& pb);

    /// Hands SEED to the random generator, EPSILON to the comparison
    /// tolerance and UNDEF_STR / INF_STR to the texts of Double, then writes
    /// back what those hold.
    void setStaticParameters();
    /// Hands the checked SEED, EPSILON, UNDEF_STR and INF_STR to the value
    /// types again, the random generator from its state at load, without
    /// changing the set: a run starts from them whether or not its
    /// parameters were checked before.
    void applyStaticParameters() const;

    /// PROBLEM_DIR of `run` as a prefix of file names, ending in "/" (a
    /// directory given without it would otherwise be glued to the name);
    /// "./" without run parameters.
    static std::string problemDirPrefix(const std::shared_ptr<RunParameters>& run);

    /// GENERATE_ALL_POINTS_BEFORE_EVAL, which every step of every iteration
    /// checks: read again only when the set has changed since, and with the
    /// errors of `getAttributeValue` then.
    bool getGenerateAllPointsBeforeEval() const;
    /// USER_CALLS_ENABLED, which every iteration end checks; read as above.
    bool getUserCallsEnabled() const;
    /// FRAME_CENTER_USE_CACHE, which every step that evaluates checks; read
    /// as above.
    bool getFrameCenterUseCache() const;
    /// Whether DISABLE holds EVAL_SORT, which every step that evaluates
    /// checks; read as above.
    bool getEvalSortDisabled() const;

private:
    /// A flag kept with the change count of the set when it was read.
    struct KeptFlag
    {
        bool known = false;
        bool value = false;
        size_t changeCount = 0;
    };
    /// The kept value of `flag` while the set has not changed since it was
    /// read; else `getAttributeValue<bool>(name)`, kept.
    bool keptFlag(KeptFlag& flag, std::string_view name) const;
    /// The same with the value given by `read`.
    bool keptFlag(KeptFlag& flag, bool (*read)(const RunParameters&)) const;

    mutable KeptFlag _generateAll;
    mutable KeptFlag _userCallsEnabled;
    mutable KeptFlag _frameCenterUseCache;
    mutable KeptFlag _evalSortDisabled;
};

} // namespace QARNO_4_0_0

#endif
