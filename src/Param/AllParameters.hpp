#ifndef QARNO_PARAM_ALLPARAMETERS_HPP
#define QARNO_PARAM_ALLPARAMETERS_HPP

#include <cstddef>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "Param/ParameterValueTypes.hpp"

namespace QARNO_4_0_0
{

class CacheParameters;
class DisplayParameters;
class EvalParameters;
class EvaluatorControlGlobalParameters;
class EvaluatorControlParameters;
class Parameters;
class PbParameters;
class RunParameters;

/// The seven parameter sets of one run behind one keyword interface.
///
/// A run is prepared by filling the facade (typed values by keyword, single
/// parameter lines, or a parameter file) and then calling `checkAndComply`,
/// which checks the sets in dependency order: problem, global evaluator
/// control, run, evaluator control, evaluation, cache, display. Each set is
/// given only sets checked before it. From then on the algorithms work with
/// the individual sets, taken from the member accessors; the sets are
/// shared and outlive the facade as long as anyone holds them.
///
///     auto all = std::make_shared<AllParameters>();
///     all->set_DIMENSION(2);
///     all->readParamLine("MAX_BB_EVAL 100");
///     all->setAttributeValue("X0", Point(2, 0.0));
///     all->checkAndComply();
///     size_t n = all->getAttributeValue<size_t>("MAX_BB_EVAL");
///
/// Each keyword belongs to exactly one set, so the owner found by a keyword
/// does not depend on the order in which the sets are asked.
class AllParameters
{
public:
    /// Creates the seven sets, each with its defaults and to be checked.
    AllParameters();
    virtual ~AllParameters();
    AllParameters(const AllParameters&) = delete;
    AllParameters& operator=(const AllParameters&) = delete;

    const std::shared_ptr<RunParameters>& get_run_params() const { return _runParams; }
    const std::shared_ptr<PbParameters>& get_pb_params() const { return _pbParams; }
    const std::shared_ptr<CacheParameters>& get_cache_params() const { return _cacheParams; }
    const std::shared_ptr<DisplayParameters>& get_display_params() const { return _dispParams; }
    const std::shared_ptr<EvalParameters>& get_eval_params() const { return _evalParams; }
    const std::shared_ptr<EvaluatorControlGlobalParameters>& get_evc_global_params() const
    {
        return _evaluatorControlGlobalParams;
    }
    const std::shared_ptr<EvaluatorControlParameters>& get_evc_params() const
    {
        return _evaluatorControlParams;
    }

    // ---------------------------------------------------------------------
    // Typed access (defined in AllParameters.cpp for every value type)
    // ---------------------------------------------------------------------

    /// Stores the value in the set that registers the keyword (any case) and
    /// marks that set to be checked.
    template <typename T> void setAttributeValue(std::string name, T value);

    /// The current value held by the set that registers the keyword; fails
    /// with ParameterToBeChecked while that set is to be checked (DIMENSION
    /// excepted).
    template <typename T> const T& getAttributeValue(const std::string& name) const;

    // ---------------------------------------------------------------------
    // Lines, files and the joint check
    // ---------------------------------------------------------------------

    /// Gives one parameter line to the set that owns its keyword; a keyword
    /// that no set has is reported on standard error, nothing is raised.
    void readParamLine(const std::string& line);

    /// Reads a parameter file into the shared entry store, then lets every
    /// set interpret the entries of its keywords.
    void read(const std::string& paramFile, bool overwrite, bool resetAllEntries);

    /// Checks and completes every set that is to be checked, in dependency
    /// order; does nothing when none is.
    void checkAndComply();

    bool toBeChecked() const;

    /// Every set back to its defaults (and to be checked).
    void resetToDefaultValues();

    /// True when each set but the cache set is compatible with the same set
    /// of `allParameters` for the algorithm.
    bool isAlgoCompatible(const AllParameters& allParameters) const;

    /// The record of the values set away from their defaults, all sets.
    std::string getSetAttributeAsString() const;

    /// Every set under its header; `helpInfo` shows help texts, not values.
    void display(std::ostream& os, bool helpInfo);

    /// The help of every set on `helpSubject`, basic then advanced (or the
    /// developer parameters only).
    void displayHelp(const std::string& helpSubject, bool developer, std::ostream& os);

    // ---------------------------------------------------------------------
    // Convenience accessors of the most used keywords
    // ---------------------------------------------------------------------

    virtual void set_DIMENSION(size_t dimension);
    /// Counts: -1 and 2147483647 mean no limit.
    void set_MAX_BB_EVAL(int maxBbEval);
    void set_MAX_EVAL(int maxEval);
    void set_MAX_ITERATIONS(int maxIterations);
    void set_SEED(int seed);
    void set_DISPLAY_DEGREE(int displayDegree);
    /// The starting points become this one point.
    void set_X0(const Point& x0);
    void set_UNDEF_STR(const std::string& undefStr);
    void set_INF_STR(const std::string& infStr);
    void set_TMP_DIR(const std::string& tmpDir);
    void set_BB_EXE(const std::string& bbExe);
    void set_DISPLAY_ALL_EVAL(bool displayAllEval);
    void set_ADD_SEED_TO_FILE_NAMES(bool addSeedToFileNames);
    void set_BB_INPUT_TYPE(const std::vector<BBInputType>& bbInputType);
    void set_BB_OUTPUT_TYPE(const std::vector<BBOutputType>& bbOutputType);
    void set_EPSILON(const Double& epsilon);
    void set_MIN_MESH_SIZE(const ArrayOfDouble& minMeshSize);
    /// Writes MIN_FRAME_SIZE.
    void set_MIN_POLL_SIZE(const ArrayOfDouble& minPollSize);
    void set_INITIAL_MESH_SIZE(const ArrayOfDouble& initialMeshSize);
    /// Writes INITIAL_FRAME_SIZE.
    void set_INITIAL_POLL_SIZE(const ArrayOfDouble& initialPollSize);
    void set_LOWER_BOUND(const ArrayOfDouble& lb);
    void set_UPPER_BOUND(const ArrayOfDouble& ub);
    void set_GRANULARITY(const ArrayOfDouble& granularity);
    void set_DISPLAY_STATS(ArrayOfString displayStats);
    void set_STATS_FILE(ArrayOfString statsFile);

    std::string get_problem_dir() const;
    std::string get_undef_str() const;
    std::string get_inf_str() const;
    std::string get_tmp_dir() const;
    std::string get_bb_exe() const;
    /// -1 for a count of 2147483647 or more (no limit included).
    int get_max_bb_eval() const;
    int get_max_iterations() const;
    int get_dimension() const;
    Double get_epsilon() const;
    int get_display_degree() const;
    bool get_display_all_eval() const;
    bool get_add_seed_to_file_names() const;
    const ArrayOfDouble& get_initial_mesh_size() const;
    /// Reads INITIAL_FRAME_SIZE.
    const ArrayOfDouble& get_initial_poll_size() const;
    const ArrayOfDouble& get_min_mesh_size() const;
    /// Reads MIN_FRAME_SIZE.
    const ArrayOfDouble& get_min_poll_size() const;
    const ArrayOfDouble& get_lb() const;
    const ArrayOfDouble& get_ub() const;
    const ArrayOfDouble& get_granularity() const;
    ArrayOfString get_display_stats() const;
    ArrayOfString get_stats_file() const;
    const std::vector<Point>& get_x0s() const;
    /// The first starting point.
    const Point& get_x0() const;
    const std::vector<BBInputType>& get_bb_input_type() const;
    const std::vector<BBOutputType>& get_bb_output_type() const;

    /// STATS_FILE of the display set back to its default.
    void resetStatsFile();
    /// LOWER_BOUND and UPPER_BOUND of the problem set back to their defaults.
    void reset_bounds();

private:
    /// The set that registers `name` (any case), asked in the order of the
    /// typed access; nullptr when none does.
    Parameters* findTypedAccessOwner(const std::string& name) const;

    std::shared_ptr<RunParameters> _runParams;
    std::shared_ptr<PbParameters> _pbParams;
    std::shared_ptr<CacheParameters> _cacheParams;
    std::shared_ptr<DisplayParameters> _dispParams;
    std::shared_ptr<EvalParameters> _evalParams;
    std::shared_ptr<EvaluatorControlGlobalParameters> _evaluatorControlGlobalParams;
    std::shared_ptr<EvaluatorControlParameters> _evaluatorControlParams;
};

// The typed pair is instantiated once, in AllParameters.cpp.
#define QARNO_ALLPARAMETERS_TYPED_ACCESS(T)                                                        \
    extern template void AllParameters::setAttributeValue<T>(std::string, T);                      \
    extern template const T& AllParameters::getAttributeValue<T>(const std::string&) const;

QARNO_FOR_EACH_PARAMETER_TYPE(QARNO_ALLPARAMETERS_TYPED_ACCESS)

#undef QARNO_ALLPARAMETERS_TYPED_ACCESS

} // namespace QARNO_4_0_0

#endif
