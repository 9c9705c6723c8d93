#include "Param/RunParameters.hpp"

#include <cstddef>
#include <initializer_list>
#include <iostream>
#include <limits>
#include <string>
#include <vector>

#include "Math/Double.hpp"
#include "Math/RNG.hpp"
#include "Param/EvaluatorControlGlobalParameters.hpp"
#include "Param/InvalidParameter.hpp"
#include "Param/ParameterEntry.hpp"
#include "Param/PbParameters.hpp"
#include "Util/ArrayOfString.hpp"
#include "Util/Exception.hpp"
#include "Util/TextConstants.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

bool RunParameters::_warningUnknownParamShown = false;

namespace
{

/// From this dimension on the model searches are switched off.
const size_t MODELS_MAX_DIMENSION = 50;

/// The size_t value that means "no limit".
constexpr size_t NO_LIMIT = std::numeric_limits<size_t>::max();

/// True for a defined value above 0 by more than the tolerance.
bool isPositive(const Double& value)
{
    return value.isDefined() && value > Double(0.0);
}

/// One help text in the layout every keyword's help follows: a line with one
/// blank, then one " . " line per item with a line of two blanks between
/// items, and an empty line at the end.
std::string helpText(std::initializer_list<const char*> items)
{
    std::string text = " \n";
    bool first = true;
    for (const char* item : items)
    {
        if (!first)
        {
            text += "  \n";
        }
        text += " . ";
        text += item;
        text += "\n";
        first = false;
    }
    text += "\n";
    return text;
}

const std::vector<AttributeDefinition>& runDefinitions()
{
    // keyword, type, default, short info, help, help keywords,
    // algoCompatibilityCheck, restartAttribute, uniqueEntry
    static const std::vector<AttributeDefinition> table = {
        {"SEED", "int", "0", " The seed for the pseudo-random number generator ",
         helpText({"Seed of the pseudo-random number generator",
                   "The same default seed is used by every run in which SEED is not given",
                   "The seed is part of the names of the output files",
                   "Argument: one non-negative integer", "Example: SEED 123456", "Default: 0"}),
         "  advanced seed seeds random number run  ", "true", "true", "true"},
        {"ADD_SEED_TO_FILE_NAMES", "bool", "true", " The flag to add seed to the file names ",
         helpText({"When yes, the seed is added to the names of the output files",
                   "Argument: one boolean ('yes' or 'no')", "Example: ADD_SEED_TO_FILE_NAMES no",
                   "Default: true"}),
         "  advanced seed seeds random number run stat stats file history solution solutions  ",
         "false", "false", "true"},
        {"NB_THREADS_OPENMP", "int", "-1",
         " The number of threads when OpenMP parallel evaluations \n are enabled ",
         helpText({"Number of threads for parallel evaluations",
                   "-1: the parallel runtime decides the number of threads",
                   "Argument: one integer", "Example: NB_THREADS_OPENMP 4", "Default: -1"}),
         "  advanced thread threads openmp parallel eval evals evaluation evaluations  ", "true",
         "false", "true"},
        {"HOT_RESTART_READ_FILES", "bool", "false", " Flag to read hot restart files ",
         helpText({"When true, the hot restart file and CACHE_FILE are read at the start of the "
                   "run, so that a second run continues where the first one ended",
                   "When false, two runs start from the same configuration",
                   "Argument: one boolean ('yes' or 'no')", "Example: HOT_RESTART_READ_FILES yes",
                   "Default: false"}),
         "  advanced hot restart file files interrupt  ", "false", "false", "true"},
        {"HOT_RESTART_WRITE_FILES", "bool", "false", " Flag to write hot restart files ",
         helpText({"When true, the hot restart file and CACHE_FILE are written when the run ends",
                   "Argument: one boolean ('yes' or 'no')", "Example: HOT_RESTART_WRITE_FILES yes",
                   "Default: false"}),
         "  advanced hot restart file files interrupt  ", "false", "false", "true"},
        {"HOT_RESTART_ON_USER_INTERRUPT", "bool", "false",
         " Flag to perform a hot restart on user interrupt ",
         helpText({"When true, an interruption (CTRL+C) lets the user change parameters, and "
                   "CTRL+D resumes the run with them",
                   "When false, the interruption ends the run",
                   "Argument: one boolean ('yes' or 'no')",
                   "Example: HOT_RESTART_ON_USER_INTERRUPT yes", "Default: false"}),
         "  advanced hot restart file files interrupt  ", "false", "false", "true"},
        {"HOT_RESTART_FILE", "std::string", "hotrestart.txt", " The name of the hot restart file ",
         helpText({"Name of the file that holds the hot restart information",
                   "Argument: one file name", "Example: HOT_RESTART_FILE hot.txt",
                   "Default: hotrestart.txt"}),
         "  advanced hot restart file files file interrupt  ", "false", "false", "true"},
        {"REJECT_UNKNOWN_PARAMETERS", "bool", "false",
         " Flag to reject unknown parameters when checking validity of parameters ",
         helpText({"When true, a parameter file holding unknown parameters stops the run with an "
                   "error",
                   "When false, unknown parameters are ignored",
                   "Argument: one boolean ('yes' or 'no')",
                   "Example: REJECT_UNKNOWN_PARAMETERS yes", "Default: false"}),
         "  advanced valid param params parameter parameters ignore  ", "false", "false", "true"},
        {"LH_SEARCH", "QARNO::LHSearchType", "-", " Latin Hypercube Sampling Search method ",
         helpText({"Latin Hypercube Sampling search method",
                   "Argument: two non-negative integers p0 and pi: p0 points at the first "
                   "iteration, pi points at each following iteration",
                   "The search is opportunistic or not as OPPORTUNISTIC_EVAL says",
                   "Example: LH_SEARCH 100 0", "No default value"}),
         "  basic search latin hypercube sampling opportunistic_lh  ", "true", "true", "true"},
        {"LH_EVAL", "size_t", "0", " Latin Hypercube Sampling of points (no optimization) ",
         helpText({"Latin Hypercube Sampling of p points: all of them are evaluated, without "
                   "opportunism and without optimization",
                   "Lower and upper bounds are needed", "Argument: one non-negative integer p",
                   "Example: LH_EVAL 100", "Default: 0"}),
         "  basic latin hypercube sampling  ", "true", "true", "true"},
        {"TESKORA_MODEL_EVAL", "bool", "0", " Teskora Model Sampling of points ",
         helpText({"Model sampling: the best points of the cache build a model, and the most "
                   "promising points of the model are evaluated",
                   "No opportunism", "Replaces the other optimization strategies",
                   "Argument: one boolean ('yes' or 'no')", "Example: TESKORA_MODEL_EVAL true",
                   "Default: 0"}),
         "  advanced teskora model sampling  ", "true", "false", "true"},
        {"H_MAX_0", "QARNO::Double", "QARNO::INF", " Initial value of hMax. ",
         helpText({"Initial value of hMax of the progressive barrier (PB constraints)",
                   "Points x with h(x) > hMax are rejected", "Argument: one positive real",
                   "Example: H_MAX_0 100.0", "Default: QARNO::INF"}),
         "  advanced hmax h_max constraint constraints pb feasibility progressive barrier  ",
         "true", "false", "true"},
        {"TESKORA_SEARCH", "bool", "false", " Model search using Teskora ",
         helpText({"MADS model search with the surrogate library",
                   "Switched off from 50 variables on", "See also DISABLE",
                   "Argument: one boolean ('yes' or 'no')", "Example: TESKORA_SEARCH yes",
                   "Default: false"}),
         "  basic mads model search teskora model_search  ", "true", "true", "true"},
        {"QUAD_MODEL_SEARCH", "bool", "false", " Quad model search using Teskora ",
         helpText({"MADS model search with quadratic models", "Switched off from 50 variables on",
                   "See also DISABLE", "Argument: one boolean ('yes' or 'no')",
                   "Example: QUAD_MODEL_SEARCH yes", "Default: false"}),
         "  basic mads quad model search teskora model_search  ", "true", "true", "true"},
        {"MODEL_DISPLAY", "std::string", "", " Display of a model ",
         helpText({"Details shown by the model searches and by the quadratic model optimization, "
                   "at DISPLAY_DEGREE 3 or more",
                   "Argument: a word of one or more of the letters:\n"
                   "     S: general information\n"
                   "     F: filter\n"
                   "     O: model optimization\n"
                   "     P: projection\n"
                   "     U: model update\n"
                   "     I: progress of the optimization\n"
                   "     X: every model evaluation",
                   "Example: MODEL_DISPLAY SPF", "Default: empty"}),
         "  developer advanced model quad teskora  ", "false", "false", "true"},
        {"QUAD_MODEL_OPTIMIZATION", "bool", "false",
         " Quad model stand alone optimization for constrained and unconstrained pbs ",
         helpText({"Stand-alone quadratic model optimization, with or without constraints",
                   "Replaces the other optimization strategies",
                   "Argument: one boolean ('yes' or 'no')", "Example: QUAD_MODEL_OPTIMIZATION yes",
                   "Default: false"}),
         "  advanced teskora quadratic quad optimization simplex  ", "true", "false", "true"},
        {"TESKORA_MODEL_DEFINITION", "QARNO::ArrayOfString", "",
         " Definition of the surrogate model ",
         helpText({"Definition of the model of the surrogate library",
                   "Argument: the words of a model definition",
                   "Example: TESKORA_MODEL_DEFINITION TYPE PRS DEGREE 2", "Default: empty"}),
         "  advanced teskora search model model_search interpolation regression  ", "true", "true",
         "true"},
        {"TESKORA_MODEL_TRIALS", "size_t", "1",
         " Max number of teskora model search failures before going to the poll step ",
         helpText({"Maximum number of model search failures before the poll",
                   "The smaller of this value and MAX_ITERATION_PER_MEGAITERATION is used",
                   "Argument: one positive integer", "Example: TESKORA_MODEL_TRIALS 5",
                   "Default: 1"}),
         "  developer trials teskora model search  ", "true", "true", "true"},
        {"TESKORA_MODEL_FORMULATION", "QARNO::TeskoraModelFormulationType", "FS",
         " Formulation of the surrogate problem ",
         helpText({"Formulation of the surrogate problem",
                   "Argument: one of the words:\n"
                   "     FS: minimize f - d.sigma_f subject to c_j - d.sigma_j <= 0\n"
                   "     EIS: minimize - EI - d.sigma_f subject to c_j - d.sigma_j <= 0\n"
                   "     FSP: minimize f - d.sigma_f subject to P >= 1/2\n"
                   "     EFI: minimize - EI.P\n"
                   "     EFIS: minimize - EI.P - d.sigma_f\n"
                   "     EFIM: minimize - EI.P - d.sigma_f.mu.(1 - mu)\n"
                   "     EFIC: minimize - EI.P - d.(EI.mu + P.sigma_f)\n"
                   "     PFI: minimize - P\n"
                   "     D: minimize - distance to the cache\n"
                   "     EXTERN: the surrogate problem is solved by an external program",
                   "Example: TESKORA_MODEL_FORMULATION EFI", "Default: FS"}),
         "  developer advanced surrogate problem expected improvement diversification model "
         "teskora  ",
         "true", "true", "true"},
        {"TESKORA_MODEL_FEASIBILITY", "QARNO::TeskoraModelFeasibilityType", "C",
         " Method used to model the feasibility of a point ",
         helpText({"How the feasibility of a point is modelled",
                   "Argument: one of the letters:\n"
                   "     C: one model per constraint\n"
                   "     H: one model of the aggregate constraint\n"
                   "     M: one model of the largest constraint\n"
                   "     B: one binary model of the feasibility",
                   "Example: TESKORA_MODEL_FEASIBILITY H", "Default: C"}),
         "  developer advanced feasibility constraints interpolation regression model teskora  ",
         "true", "true", "true"},
        {"TESKORA_MODEL_DIVERSIFICATION", "QARNO::Double", "0.01",
         " Coefficient of the exploration term in the surrogate problem ",
         helpText({"Weight of the exploration term of the surrogate problem",
                   "Argument: one real from 0 (no exploration) to 1 (strong exploration)",
                   "Example: TESKORA_MODEL_DIVERSIFICATION 0.1", "Default: 0.01"}),
         "  developer advanced model teskora  ", "true", "true", "true"},
        {"TESKORA_MODEL_EXCLUSION_AREA", "QARNO::Double", "0.0",
         " Exclusion area for the teskora model search around points of the cache ",
         helpText({"Exclusion area of the model search around the points of the cache",
                   "Argument: one real in [0, 0.5]", "Example: TESKORA_MODEL_EXCLUSION_AREA 0.1",
                   "Default: 0.0"}),
         "  developer advanced model teskora  ", "true", "true", "true"},
        {"TESKORA_MODEL_CANDIDATES_NB", "int", "-1",
         " Number of candidates returned by the teskora model search ",
         helpText({"Number of candidates returned by the model search",
                   "0 or less: the larger of BB_MAX_BLOCK_SIZE and 2 times DIMENSION",
                   "Argument: one integer", "Example: TESKORA_MODEL_CANDIDATES_NB 8",
                   "Default: -1"}),
         "  developer advanced model teskora  ", "true", "true", "true"},
        {"TESKORA_MIN_POINTS_FOR_MODEL", "size_t", "1",
         " Minimum number of valid points necessary to build a model ",
         helpText({"Minimum number of valid points needed to build a model",
                   "Argument: one positive integer", "Example: TESKORA_MIN_POINTS_FOR_MODEL 5",
                   "Default: 1"}),
         "  developer advanced model teskora  ", "true", "true", "true"},
        {"TESKORA_MAX_POINTS_FOR_MODEL", "size_t", "100",
         " Maximum number of valid points used to build a model ",
         helpText({"Maximum number of valid points kept to build a model",
                   "Further points are ignored", "Argument: one positive integer",
                   "Example: TESKORA_MAX_POINTS_FOR_MODEL 500", "Default: 100"}),
         "  developer advanced model teskora  ", "true", "true", "true"},
        {"TESKORA_MODEL_FILTER", "std::string", "2345",
         " Methods used in the teskora search filter to return several search candidates ",
         helpText({"Candidate filters of the model search, used in turn",
                   "Argument: a word of digits from 0 to 5:\n"
                   "     0: best objective\n"
                   "     1: most remote point\n"
                   "     2: best point with a minimal distance to the cache\n"
                   "     3: best point with a minimal margin of feasibility\n"
                   "     4: best isolation number\n"
                   "     5: best density number",
                   "Example: TESKORA_MODEL_FILTER 0145", "Default: 2345"}),
         "  developer advanced model teskora  ", "true", "true", "true"},
        {"MODEL_SEARCH_PROJ_TO_MESH", "bool", "true",
         " Model search trial points are projected to the mesh ",
         helpText({"The trial points of the model searches are projected on the mesh",
                   "Argument: one boolean ('yes' or 'no')", "Example: MODEL_SEARCH_PROJ_TO_MESH no",
                   "Default: true"}),
         "  developer models teskora  ", "true", "true", "true"},
        {"SPECULATIVE_SEARCH", "bool", "true", " MADS speculative search method ",
         helpText({"MADS speculative (optimistic) search on or off",
                   "Argument: one boolean ('yes' or 'no')", "Example: SPECULATIVE_SEARCH no",
                   "Default: true"}),
         "  basic mads search speculative  ", "true", "true", "true"},
        {"SPECULATIVE_SEARCH_MAX", "size_t", "1", " MADS speculative search method ",
         helpText({"Number of points generated by the speculative search",
                   "Argument: one positive integer", "Example: SPECULATIVE_SEARCH_MAX 2",
                   "Default: 1"}),
         "  advanced mads search speculative  ", "true", "true", "true"},
        {"ANISOTROPIC_MESH", "bool", "true",
         " MADS uses anisotropic mesh for generating directions ",
         helpText({"MADS uses an anisotropic mesh to generate directions",
                   "Argument: one boolean ('yes' or 'no')", "Example: ANISOTROPIC_MESH no",
                   "Default: true"}),
         "  advanced mads direction directions anisotropic anisotropy aniso  ", "true", "true",
         "true"},
        {"ANISOTROPY_FACTOR", "QARNO::Double", "0.1",
         " MADS anisotropy factor for mesh size change ",
         helpText({"Factor of the relative coarsening and refining of an anisotropic mesh",
                   "Argument: one positive real", "Example: ANISOTROPY_FACTOR 0.05",
                   "Default: 0.1"}),
         "  advanced mads direction directions anisotropic anisotropy aniso  ", "true", "true",
         "true"},
        {"GENERATE_ALL_POINTS_BEFORE_EVAL", "bool", "false",
         " Evaluate points generated from Search and Poll steps all at once ",
         helpText({"When true, the points of the search and poll steps are all generated before "
                   "any of them is evaluated",
                   "When false, the search points are evaluated before the poll",
                   "Argument: one boolean ('yes' or 'no')",
                   "Example: GENERATE_ALL_POINTS_BEFORE_EVAL yes", "Default: false"}),
         "  advanced  ", "true", "true", "true"},
        {"USER_CALLS_ENABLED", "bool", "true", " Controls the automatic calls to user function ",
         helpText({"When true, the user callback functions are called",
                   "Argument: one boolean ('yes' or 'no')", "Example: USER_CALLS_ENABLED no",
                   "Default: true"}),
         "  advanced user users callback function functions  ", "false", "true", "true"},
        {"FRAME_CENTER_USE_CACHE", "bool", "false",
         " Find best points in the cache and use them as frame centers ",
         helpText({"When true, the update step takes the best points of the cache (ties "
                   "included) as frame centers",
                   "When false, one feasible and one infeasible frame center are carried from "
                   "iteration to iteration",
                   "Argument: one boolean ('yes' or 'no')", "Example: FRAME_CENTER_USE_CACHE yes",
                   "Default: false"}),
         "  advanced  ", "true", "true", "true"},
        {"MAX_TIME", "size_t", "INF", " Maximum wall-clock time in seconds ",
         helpText({"Maximum wall-clock time in seconds", "INF: no limit",
                   "Argument: one positive integer", "Example: MAX_TIME 3600", "Default: INF"}),
         "  basic clock stop time  ", "false", "true", "true"},
        {"NM_OPTIMIZATION", "bool", "false",
         " Nelder Mead stand alone optimization for constrained and unconstrained pbs ",
         helpText({"Stand-alone Nelder-Mead optimization",
                   "Replaces the other optimization strategies",
                   "Argument: one boolean ('yes' or 'no')", "Example: NM_OPTIMIZATION yes",
                   "Default: false"}),
         "  advanced nelder mead simplex  ", "true", "false", "true"},
        {"NM_SEARCH", "bool", "true", " Nelder Mead optimization used as a search step for Mads ",
         helpText({"Nelder-Mead as a search step of MADS", "Argument: one boolean ('yes' or 'no')",
                   "Example: NM_SEARCH no", "Default: true"}),
         "  advanced nelder mead simplex mads search ", "true", "true", "true"},
        {"NM_SIMPLEX_INCLUDE_LENGTH", "QARNO::Double", "INF",
         " Construct NM simplex using points in cache.",
         helpText({"The simplex is built from the points of the cache within this absolute "
                   "distance of the poll center",
                   "INF: all the points of the cache", "Argument: one positive real",
                   "Example: NM_SIMPLEX_INCLUDE_LENGTH 0.5", "Default: INF"}),
         "  advanced nelder mead simplex length ", "true", "true", "true"},
        {"NM_SIMPLEX_INCLUDE_FACTOR", "size_t", "8", " Construct NM simplex using points in cache.",
         helpText({"The simplex is built from the points of the cache within this factor times "
                   "the frame size of the frame center, when a mesh exists",
                   "Argument: one positive integer", "Example: NM_SIMPLEX_INCLUDE_FACTOR 4",
                   "Default: 8"}),
         "  advanced nelder mead simplex include factor length poll  ", "true", "true", "true"},
        {"NM_DELTA_E", "QARNO::Double", "2", " NM expansion parameter delta_e.",
         helpText({"Nelder-Mead expansion parameter delta_e", "Argument: one real greater than 1",
                   "Example: NM_DELTA_E 2.5", "Default: 2"}),
         "  advanced nelder mead simplex expansion  ", "true", "true", "true"},
        {"NM_DELTA_IC", "QARNO::Double", "-0.5", " NM inside contraction parameter delta_ic.",
         helpText({"Nelder-Mead inside contraction parameter delta_ic",
                   "Argument: one negative real", "Example: NM_DELTA_IC -0.75", "Default: -0.5"}),
         "  advanced nelder mead simplex inside contraction  ", "true", "true", "true"},
        {"NM_DELTA_OC", "QARNO::Double", "0.5", " NM outside contraction parameter delta_oc.",
         helpText({"Nelder-Mead outside contraction parameter delta_oc",
                   "Argument: one positive real, at most 1", "Example: NM_DELTA_OC 0.75",
                   "Default: 0.5"}),
         "  advanced nelder mead simplex outside contraction  ", "true", "true", "true"},
        {"NM_GAMMA", "QARNO::Double", "0.5", " NM shrink parameter gamma.",
         helpText({"Nelder-Mead shrink parameter gamma", "Argument: one positive real, at most 1",
                   "Example: NM_GAMMA 0.75", "Default: 0.5"}),
         "  advanced nelder mead simplex shrink  ", "true", "true", "true"},
        {"NM_SEARCH_MAX_TRIAL_PTS_NFACTOR", "size_t", "80", " NM-Mads search stopping criterion.",
         helpText({"The Nelder-Mead search stops when its number of trial points reaches the "
                   "dimension times this factor",
                   "INF: the criterion is off", "Argument: one positive integer",
                   "Example: NM_SEARCH_MAX_TRIAL_PTS_NFACTOR 100", "Default: 80"}),
         "  advanced nelder mead mads search stop trial  ", "true", "true", "true"},
        {"NM_SEARCH_RANK_EPS", "QARNO::Double", "0.01", " NM-Mads epsilon for the rank of DZ.",
         helpText({"Tolerance that decides whether a vector increases the rank of DZ",
                   "Argument: one positive real", "Example: NM_SEARCH_RANK_EPS 1E-4",
                   "Default: 0.01"}),
         "  advanced nelder mead mads search rank DZ  ", "true", "true", "true"},
        {"NM_SEARCH_STOP_ON_SUCCESS", "bool", "false", " NM-Mads search stops on success.",
         helpText({"The Nelder-Mead search stops at its first success",
                   "Argument: one boolean ('yes' or 'no')",
                   "Example: NM_SEARCH_STOP_ON_SUCCESS yes", "Default: false"}),
         "  advanced nelder mead mads search opportunistic success  ", "true", "true", "true"},
        {"DISABLE", "QARNO::ArrayOfString", "", "Forcefully disable a feature",
         helpText({"Forcefully disables a feature",
                   "Argument: one or more of the words:\n"
                   "     MODELS: every use of models is off (as QUAD_MODEL_SEARCH no and "
                   "TESKORA_SEARCH no)\n"
                   "     EVAL_SORT: the points keep the lexicographic order before evaluation",
                   "May be given on several lines", "Example: DISABLE MODELS", "Default: empty"}),
         "  advanced model  ", "true", "true", "false"},
        {"MODEL_RADIUS_FACTOR", "QARNO::Double", "4.0", " Model radius factor ",
         helpText({"The points of the cache that build a model lie within the frame size times "
                   "this factor of the poll center",
                   "Argument: one positive real", "Example: MODEL_RADIUS_FACTOR 2.0",
                   "Default: 4.0"}),
         "  developer model  ", "true", "true", "true"},
        {"MAX_ITERATIONS", "size_t", "INF",
         " The maximum number of iterations of the MADS algorithm ",
         helpText({"Maximum number of iterations", "INF: no limit",
                   "Argument: one positive integer", "Example: MAX_ITERATIONS 1000",
                   "Default: INF"}),
         "  advanced max maximum iteration iterations stop stops stopping criterion criterions  ",
         "true", "true", "true"},
        {"MAX_ITERATION_PER_MEGAITERATION", "size_t", "10",
         " Maximum number of Iterations to generate for each MegaIteration. ",
         helpText({"Maximum number of iterations generated in one mega-iteration, when "
                   "FRAME_CENTER_USE_CACHE yields many points of the barrier",
                   "Argument: one positive integer", "Example: MAX_ITERATION_PER_MEGAITERATION 5",
                   "Default: 10"}),
         "  advanced  ", "true", "true", "true"},
        {"PSD_MADS_OPTIMIZATION", "bool", "0", " PSD-MADS optimization algorithm ",
         helpText({"Parallel space decomposition with MADS",
                   "Replaces the other optimization strategies",
                   "Argument: one boolean ('yes' or 'no')", "Example: PSD_MADS_OPTIMIZATION yes",
                   "Default: 0"}),
         "  advanced psd mads parallel decomposition  ", "true", "false", "true"},
        {"PSD_MADS_NB_VAR_IN_SUBPROBLEM", "size_t", "2",
         " Number of variables in PSD-MADS subproblems ",
         helpText({"Number of variables of each sub-problem of the parallel space decomposition",
                   "Argument: one positive integer", "Example: PSD_MADS_NB_VAR_IN_SUBPROBLEM 3",
                   "Default: 2"}),
         "  advanced psd mads parallel decomposition subproblem  ", "true", "false", "true"},
        {"PSD_MADS_NB_SUBPROBLEM", "size_t", "INF", " Number of PSD-MADS subproblems ",
         helpText({"Number of sub-problems of the parallel space decomposition",
                   "INF: adjusted so that the sub-problems cover all the variables",
                   "Argument: one positive integer", "Example: PSD_MADS_NB_SUBPROBLEM 4",
                   "Default: INF"}),
         "  advanced psd mads parallel decomposition subproblem  ", "true", "false", "true"},
        {"PSD_MADS_ITER_OPPORTUNISTIC", "bool", "true",
         " Opportunistic strategy between the Mads subproblems in PSD-MADS ",
         helpText({"The launch of the sub-problems of an iteration stops when one of them "
                   "succeeds",
                   "Argument: one boolean ('yes' or 'no')",
                   "Example: PSD_MADS_ITER_OPPORTUNISTIC no", "Default: true"}),
         "  advanced parallel space mads parallel decomposition subproblem opportunistic  ", "true",
         "false", "true"},
        {"PSD_MADS_ORIGINAL", "bool", "false", " Use QARNO 3 strategy for mesh update in PSD-MADS ",
         helpText({"The mesh is updated whenever a new pollster is launched, instead of under the "
                   "stricter conditions",
                   "Argument: one boolean ('yes' or 'no')", "Example: PSD_MADS_ORIGINAL yes",
                   "Default: false"}),
         "  advanced parallel space mads parallel decomposition subproblem original  ", "true",
         "false", "true"},
        {"PSD_MADS_SUBPROBLEM_PCT_COVERAGE", "QARNO::Double", "70",
         " Percentage of variables that must be covered in subproblems before updating mesh ",
         helpText({"Percentage of the variables that the sub-problems must cover before the mesh "
                   "is updated",
                   "Argument: one real from 0 to 100",
                   "Example: PSD_MADS_SUBPROBLEM_PCT_COVERAGE 50", "Default: 70"}),
         "  advanced parallel space mads parallel subproblem  ", "true", "false", "true"},
        {"SSD_MADS_OPTIMIZATION", "bool", "0", " SSD-MADS optimization algorithm ",
         helpText({"Sequential space decomposition with MADS",
                   "Replaces the other optimization strategies",
                   "Argument: one boolean ('yes' or 'no')", "Example: SSD_MADS_OPTIMIZATION yes",
                   "Default: 0"}),
         "  advanced ssd mads sequential decomposition  ", "true", "false", "true"},
        {"SSD_MADS_NB_VAR_IN_SUBPROBLEM", "size_t", "2",
         " Number of variables in SSD-MADS subproblems ",
         helpText({"Number of variables of each sub-problem of the sequential space "
                   "decomposition",
                   "Argument: one positive integer", "Example: SSD_MADS_NB_VAR_IN_SUBPROBLEM 3",
                   "Default: 2"}),
         "  advanced ssd mads sequential decomposition subproblem  ", "true", "false", "true"},
        {"SSD_MADS_NB_SUBPROBLEM", "size_t", "INF", " Number of SSD-MADS subproblems ",
         helpText({"Number of sub-problems of the sequential space decomposition",
                   "INF: adjusted so that the sub-problems cover all the variables",
                   "Argument: one positive integer", "Example: SSD_MADS_NB_SUBPROBLEM 4",
                   "Default: INF"}),
         "  advanced ssd mads sequential decomposition subproblem  ", "true", "false", "true"},
        {"SSD_MADS_RESET_VAR_PICKUP_SUBPROBLEM", "bool", "false",
         " Reset random variable pick-up for each subproblem ",
         helpText({"The random choice of the variables starts afresh for each sub-problem",
                   "Argument: one boolean ('yes' or 'no')",
                   "Example: SSD_MADS_RESET_VAR_PICKUP_SUBPROBLEM yes", "Default: false"}),
         "  advanced ssd mads sequential decomposition subproblem  ", "true", "false", "true"},
        {"SSD_MADS_ITER_OPPORTUNISTIC", "bool", "true",
         " Opportunistic strategy between the Mads subproblems in SSD-MADS ",
         helpText({"The sequence of the sub-problems of an iteration stops when one of them "
                   "succeeds",
                   "Argument: one boolean ('yes' or 'no')",
                   "Example: SSD_MADS_ITER_OPPORTUNISTIC no", "Default: true"}),
         "  advanced sequential space ssd mads decomposition subproblem opportunistic  ", "true",
         "false", "true"},
    };
    return table;
}

} // namespace

void RunParameters::init()
{
    initFromTable(
        "Run", runDefinitions(),
        [this]()
        {
            // The settings of the value types, registered one by one.
            registerAttribute<Double>("EPSILON", Double(1e-13), false, true, true,
                                      " advanced precision double(s) value(s) number(s) ");
            registerAttribute<std::string>("UNDEF_STR", UNDEF_TEXT, false, true, true,
                                           " advanced undef(ined) value(s) string(s) ");
            registerAttribute<std::string>("QARNO_VERSION", VERSION_TEXT, true, true, true,
                                           " advanced qarno version(s) release(s) revision(s) ");
            registerAttribute<std::string>("INF_STR", INF_TEXT, false, true, true,
                                           " advanced string(s) inf(inite) value(s) ");
            registerAttribute<std::string>("PROBLEM_DIR", std::string(".") + "/", false, true, true,
                                           " problem dir(ectory) folder(s) ");
        });
}

void RunParameters::applyStaticParameters() const
{
    RNG::reset();
    RNG::setSeed(getAttributeValue<int>("SEED"));
    Double::setEpsilon(getAttributeValue<Double>("EPSILON").todouble());
    Double::_undefStr = getAttributeValue<std::string>("UNDEF_STR");
    Double::_infStr = getAttributeValue<std::string>("INF_STR");
}

void RunParameters::setStaticParameters()
{
    RNG::setSeed(getSpValue<int>("SEED", false, false));
    Double::setEpsilon(getSpValue<Double>("EPSILON", false, false).todouble());
    Double::_undefStr = getSpValue<std::string>("UNDEF_STR", false, false);
    Double::_infStr = getSpValue<std::string>("INF_STR", false, false);

    // Keep the set in agreement with what the value types hold.
    setAttributeValue<int>("SEED", RNG::_s);
    setAttributeValue<Double>("EPSILON", Double(Double::getEpsilon()));
    setAttributeValue<std::string>("UNDEF_STR", Double::_undefStr);
    setAttributeValue<std::string>("INF_STR", Double::_infStr);
}

void RunParameters::checkAndComply(
    const std::shared_ptr<EvaluatorControlGlobalParameters>& evcGlobal,
    const std::shared_ptr<PbParameters>& pb)
{
    checkInfo();

    if (!toBeChecked())
    {
        return;
    }

    // Entries of the parameter file that no set took.
    const auto unknownEntries = _paramEntries.findAllNonInterpreted();
    if (!unknownEntries.empty())
    {
        std::string text =
            "Unrecognized parameters in file " + unknownEntries.front()->getParamFile() + ":\n";
        for (const auto& entry : unknownEntries)
        {
            text += "line " + itos(entry->getLine()) +
                    ": Unrecognized parameter: " + entry->getName() + "\n";
        }
        if (getSpValue<bool>("REJECT_UNKNOWN_PARAMETERS", false, false))
        {
            QARNO_THROW(Exception, text);
        }
        if (!_warningUnknownParamShown)
        {
            std::cerr << "Warning: " << text << "Ignoring unknown parameters." << std::endl;
        }
    }

    const std::string problemDir = getSpValue<std::string>("PROBLEM_DIR", false, false);

    if (getSpValue<int>("SEED", false, false) < 0)
    {
        QARNO_THROW(Exception, "Parameters check: SEED must be non-negative");
    }

    if (getSpValue<std::string>("QARNO_VERSION", false, false) != VERSION_TEXT)
    {
        QARNO_THROW(Exception, std::string("Parameters check: QARNO_VERSION is not compatible with "
                                           "registered version ") +
                                   VERSION_TEXT + "\n");
    }

    if (!isPositive(getSpValue<Double>("ANISOTROPY_FACTOR", false, false)))
    {
        QARNO_THROW(Exception, "Parameters check: ANISOTROPY_FACTOR must be positive");
    }

    setStaticParameters();

    // DISABLE words are compared in upper case by their users.
    ArrayOfString disable = getSpValue<ArrayOfString>("DISABLE", false, false);
    for (size_t i = 0; i < disable.size(); ++i)
    {
        std::string word = disable[i];
        toupper(word);
        disable.replace(i, word);
    }
    setAttributeValue<ArrayOfString>("DISABLE", disable);

    if (nullptr == pb)
    {
        QARNO_THROW(Exception, "RunParameters::checkAndComply: the problem parameters are missing");
    }
    const size_t dimension = pb->getAttributeValue<size_t>("DIMENSION");
    if (dimension >= MODELS_MAX_DIMENSION && disable.find("MODELS") < 0)
    {
        disable.add("MODELS");
        setAttributeValue<ArrayOfString>("DISABLE", disable);
        std::cerr << "Warning: Dimension " << dimension << " is greater than (or equal to) "
                  << MODELS_MAX_DIMENSION << ". Models are disabled." << std::endl;
    }

    if (getSpValue<ArrayOfString>("TESKORA_MODEL_DEFINITION", false, false).size() == 0)
    {
        setAttributeValue<ArrayOfString>("TESKORA_MODEL_DEFINITION",
                                         ArrayOfString("TYPE PRS DEGREE 2", " "));
    }

    if (getSpValue<size_t>("TESKORA_MODEL_TRIALS", false, false) == 0)
    {
        QARNO_THROW(Exception, "Parameter TESKORA_MODEL_TRIALS must be positive");
    }

    if (nullptr == evcGlobal)
    {
        QARNO_THROW(Exception,
                    "RunParameters::checkAndComply: the evaluator control global parameters "
                    "are missing");
    }
    if (evcGlobal->toBeChecked())
    {
        evcGlobal->checkAndComply(nullptr);
    }
    if (evcGlobal->getAttributeValue<size_t>("BB_MAX_BLOCK_SIZE") == 0)
    {
        QARNO_THROW(Exception, "Parameter BB_MAX_BLOCK_SIZE must be positive");
    }
    if (evcGlobal->getAttributeValue<size_t>("SGTE_MAX_BLOCK_SIZE") == 0)
    {
        QARNO_THROW(Exception, "Parameter SGTE_MAX_BLOCK_SIZE must be positive");
    }

    // This build holds no surrogate library and runs on one thread.
    const bool teskoraModelEval = getSpValue<bool>("TESKORA_MODEL_EVAL", false, false);
    if (teskoraModelEval)
    {
        throw Exception(
            QARNO_SOURCE_FILE, __LINE__,
            std::string("Teskora Model sampling cannot be used. Either set parameter ") +
                "TESKORA_MODEL_EVAL to false, or recompile QARNO using option "
                "USE_TESKORA=1.");
    }
    // TESKORA_SEARCH and QUAD_MODEL_SEARCH stay as given: the run, not every
    // check of a copy of this set, says once that MADS goes without them.
    if (getSpValue<bool>("PSD_MADS_OPTIMIZATION", false, false))
    {
        QARNO_THROW(Exception,
                    "Error: PSD_MADS_OPTIMIZATION can only be used when OpenMP is available. "
                    "If that is not the case, use SSD_MADS_OPTIMIZATION.");
    }

    const bool ssdMads = getSpValue<bool>("SSD_MADS_OPTIMIZATION", false, false);
    if (ssdMads)
    {
        const size_t nbVar = getSpValue<size_t>("SSD_MADS_NB_VAR_IN_SUBPROBLEM", false, false);
        if (nbVar < 1 || nbVar > dimension)
        {
            QARNO_THROW(InvalidParameter, std::string("Parameter ") +
                                              "SSD_MADS_NB_VAR_IN_SUBPROBLEM" +
                                              " must be between 1 and " + itos(dimension) +
                                              ". Value provided: " + itos(nbVar));
        }
        if (getSpValue<size_t>("SSD_MADS_NB_SUBPROBLEM", false, false) == NO_LIMIT)
        {
            // One sub-problem more than the quotient; it cannot pass the
            // largest size_t, which means "no limit".
            const size_t quotient = dimension / nbVar;
            const size_t nbSubproblem = quotient < NO_LIMIT ? quotient + 1 : NO_LIMIT;
            setAttributeValue<size_t>("SSD_MADS_NB_SUBPROBLEM", nbSubproblem);
        }
    }

    // One algorithm at most replaces MADS.
    const bool lhEval = getSpValue<size_t>("LH_EVAL", false, false) > 0;
    const bool nmOptimization = getSpValue<bool>("NM_OPTIMIZATION", false, false);
    const bool quadModelOptimization = getSpValue<bool>("QUAD_MODEL_OPTIMIZATION", false, false);
    const int nbAlgorithms = int(lhEval) + int(ssdMads) + int(nmOptimization) +
                             int(quadModelOptimization) + int(teskoraModelEval);
    if (nbAlgorithms > 1)
    {
        std::string text = "Multiple parameters for algorithms are set. ";
        text += "These parameters are mutually exclusive:";
        if (lhEval)
        {
            text += " LH_EVAL";
        }
        if (nmOptimization)
        {
            text += " NM_OPTIMIZATION";
        }
        if (quadModelOptimization)
        {
            text += " QUAD_MODEL_OPTIMIZATION";
        }
        if (teskoraModelEval)
        {
            text += " TESKORA_MODEL_EVAL";
        }
        if (ssdMads)
        {
            text += " SSD_MADS_OPTIMIZATION";
        }
        text += ". Please review parameters settings and choose only one algorithm.";
        QARNO_THROW(Exception, text);
    }

    std::string hotRestartFile = getSpValue<std::string>("HOT_RESTART_FILE", false, false);
    if (!hotRestartFile.empty())
    {
        // A directory given without its final "/" must not be glued to the
        // file name.
        std::string dir = problemDir;
        ensureDirPath(dir);
        completeFileName(hotRestartFile, dir, false, 0);
        setAttributeValue<std::string>("HOT_RESTART_FILE", hotRestartFile);
    }

    if (!isPositive(getSpValue<Double>("H_MAX_0", false, false)))
    {
        QARNO_THROW(Exception, "Parameters check: H_MAX_0 must be positive");
    }

    _toBeChecked = false;
    _warningUnknownParamShown = true;
}

std::string RunParameters::problemDirPrefix(const std::shared_ptr<RunParameters>& run)
{
    std::string dir =
        (nullptr == run) ? std::string("./") : run->getAttributeValue<std::string>("PROBLEM_DIR");
    ensureDirPath(dir);
    return dir;
}

bool RunParameters::keptFlag(KeptFlag& flag, std::string_view name) const
{
    if (!flag.known || flag.changeCount != getChangeCount())
    {
        flag.value = getAttributeValue<bool>(name);
        flag.changeCount = getChangeCount();
        flag.known = true;
    }
    return flag.value;
}

bool RunParameters::keptFlag(KeptFlag& flag, bool (*read)(const RunParameters&)) const
{
    if (!flag.known || flag.changeCount != getChangeCount())
    {
        flag.value = read(*this);
        flag.changeCount = getChangeCount();
        flag.known = true;
    }
    return flag.value;
}

bool RunParameters::getGenerateAllPointsBeforeEval() const
{
    return keptFlag(_generateAll, "GENERATE_ALL_POINTS_BEFORE_EVAL");
}

bool RunParameters::getUserCallsEnabled() const
{
    return keptFlag(_userCallsEnabled, "USER_CALLS_ENABLED");
}

bool RunParameters::getFrameCenterUseCache() const
{
    return keptFlag(_frameCenterUseCache, "FRAME_CENTER_USE_CACHE");
}

bool RunParameters::getEvalSortDisabled() const
{
    return keptFlag(
        _evalSortDisabled, [](const RunParameters& run)
        { return run.getAttributeValue<ArrayOfString>("DISABLE").find("EVAL_SORT") >= 0; });
}

} // namespace QARNO_4_0_0
