#include "Param/AllParameters.hpp"

#include <climits>
#include <iostream>
#include <limits>
#include <sstream>
#include <utility>

#include "Param/CacheParameters.hpp"
#include "Param/DisplayParameters.hpp"
#include "Param/EvalParameters.hpp"
#include "Param/EvaluatorControlGlobalParameters.hpp"
#include "Param/EvaluatorControlParameters.hpp"
#include "Param/ParameterEntry.hpp"
#include "Param/Parameters.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

namespace
{

// Every banner of the help is one line of 79 characters.
const char* const DASHES =
    "-------------------------------------------------------------------------------";
const char* const DEVELOPPER_BANNER =
    "----------------------------- DEVELOPPER PARAMETERS ---------------------------";
const char* const BASIC_BANNER =
    "-------------------------------- BASIC PARAMETERS -----------------------------";
const char* const ADVANCED_BANNER =
    "------------------------------ ADVANCED PARAMETERS ----------------------------";

// Counts given as int: -1 and the largest int both mean no limit; any other
// value is taken as it is (a negative one wraps around).
size_t countFromInt(int count)
{
    if (-1 == count || INT_MAX == count)
    {
        return std::numeric_limits<size_t>::max();
    }
    return static_cast<size_t>(count);
}

// Counts read as int: what does not fit below the largest int (no limit
// included) reads as -1.
int countToInt(size_t count)
{
    return (count < static_cast<size_t>(INT_MAX)) ? static_cast<int>(count) : -1;
}

} // namespace

AllParameters::AllParameters()
    : _runParams(std::make_shared<RunParameters>()), _pbParams(std::make_shared<PbParameters>()),
      _cacheParams(std::make_shared<CacheParameters>()),
      _dispParams(std::make_shared<DisplayParameters>()),
      _evalParams(std::make_shared<EvalParameters>()),
      _evaluatorControlGlobalParams(std::make_shared<EvaluatorControlGlobalParameters>()),
      _evaluatorControlParams(std::make_shared<EvaluatorControlParameters>())
{
}

AllParameters::~AllParameters() = default;

// ---------------------------------------------------------------------------
// Typed access
// ---------------------------------------------------------------------------

Parameters* AllParameters::findTypedAccessOwner(const std::string& name) const
{
    Parameters* const sets[] = {_evalParams.get(),
                                _evaluatorControlGlobalParams.get(),
                                _evaluatorControlParams.get(),
                                _runParams.get(),
                                _pbParams.get(),
                                _dispParams.get(),
                                _cacheParams.get()};
    for (Parameters* set : sets)
    {
        if (set->isRegisteredAttribute(name))
        {
            return set;
        }
    }
    return nullptr;
}

template <typename T> void AllParameters::setAttributeValue(std::string name, T value)
{
    Parameters* owner = findTypedAccessOwner(name);
    if (nullptr == owner)
    {
        QARNO_THROW(Exception, "setAttributeValue: attribute " + name + " is not registered");
    }
    owner->setAttributeValue<T>(name, std::move(value));
}

template <typename T> const T& AllParameters::getAttributeValue(const std::string& name) const
{
    const Parameters* owner = findTypedAccessOwner(name);
    if (nullptr == owner)
    {
        QARNO_THROW(Exception, "getAttributeValue: attribute " + name + " is not registered");
    }
    return owner->getAttributeValue<T>(name, false);
}

// ---------------------------------------------------------------------------
// Lines, files and the joint check
// ---------------------------------------------------------------------------

void AllParameters::readParamLine(const std::string& line)
{
    // The entry is parsed here only to learn the keyword; the owning set
    // parses the line again into the shared store.
    const std::string name = ParameterEntry(line, true).getName();

    Parameters* const sets[] = {_cacheParams.get(),
                                _dispParams.get(),
                                _evalParams.get(),
                                _evaluatorControlParams.get(),
                                _evaluatorControlGlobalParams.get(),
                                _pbParams.get(),
                                _runParams.get()};
    for (Parameters* set : sets)
    {
        if (set->getAttribute(name))
        {
            set->readParamLine(line, true);
            return;
        }
    }
    std::cerr << "Unknown parameter: " << name << std::endl;
}

void AllParameters::read(const std::string& paramFile, bool overwrite, bool resetAllEntries)
{
    Parameters::readParamFileAndSetEntries(paramFile, overwrite, resetAllEntries);

    Parameters* const sets[] = {_runParams.get(),
                                _pbParams.get(),
                                _evalParams.get(),
                                _evaluatorControlGlobalParams.get(),
                                _evaluatorControlParams.get(),
                                _cacheParams.get(),
                                _dispParams.get()};
    for (Parameters* set : sets)
    {
        set->readEntries(false);
    }
}

void AllParameters::checkAndComply()
{
    if (!toBeChecked())
    {
        return;
    }
    // Each set is given only sets checked before it: it reads them with the
    // checked read. A set that is not to be checked returns at once.
    _pbParams->checkAndComply();
    _evaluatorControlGlobalParams->checkAndComply(_pbParams);
    _runParams->checkAndComply(_evaluatorControlGlobalParams, _pbParams);
    _evaluatorControlParams->checkAndComply(_runParams);
    _evalParams->checkAndComply(_runParams);
    _cacheParams->checkAndComply(_runParams);
    _dispParams->checkAndComply(_runParams, _pbParams);
}

bool AllParameters::toBeChecked() const
{
    const Parameters* const sets[] = {_pbParams.get(),
                                      _evalParams.get(),
                                      _evaluatorControlGlobalParams.get(),
                                      _evaluatorControlParams.get(),
                                      _runParams.get(),
                                      _cacheParams.get(),
                                      _dispParams.get()};
    for (const Parameters* set : sets)
    {
        if (nullptr == set || set->toBeChecked())
        {
            return true;
        }
    }
    return false;
}

void AllParameters::resetToDefaultValues()
{
    Parameters* const sets[] = {_runParams.get(),
                                _pbParams.get(),
                                _cacheParams.get(),
                                _dispParams.get(),
                                _evalParams.get(),
                                _evaluatorControlGlobalParams.get(),
                                _evaluatorControlParams.get()};
    for (Parameters* set : sets)
    {
        set->resetToDefaultValues();
    }
}

bool AllParameters::isAlgoCompatible(const AllParameters& allParameters) const
{
    // The cache sets are not compared: a cache does not change the algorithm.
    const std::pair<const Parameters*, const Parameters*> pairs[] = {
        {_pbParams.get(), allParameters._pbParams.get()},
        {_dispParams.get(), allParameters._dispParams.get()},
        {_runParams.get(), allParameters._runParams.get()},
        {_evaluatorControlGlobalParams.get(), allParameters._evaluatorControlGlobalParams.get()},
        {_evaluatorControlParams.get(), allParameters._evaluatorControlParams.get()},
        {_evalParams.get(), allParameters._evalParams.get()}};
    for (const auto& pair : pairs)
    {
        if (!pair.first->isAlgoCompatible(pair.second))
        {
            return false;
        }
    }
    return true;
}

std::string AllParameters::getSetAttributeAsString() const
{
    const Parameters* const sets[] = {_runParams.get(),
                                      _pbParams.get(),
                                      _evalParams.get(),
                                      _evaluatorControlGlobalParams.get(),
                                      _evaluatorControlParams.get(),
                                      _cacheParams.get(),
                                      _dispParams.get()};
    std::string record;
    for (const Parameters* set : sets)
    {
        record += set->getSetAttributeAsString();
    }
    if (record.empty())
    {
        record = "All attributes have default value";
    }
    return record;
}

void AllParameters::display(std::ostream& os, bool helpInfo)
{
    if (toBeChecked())
    {
        std::cerr << "Warning: AllParameters::display(): Parameters are not checked." << std::endl;
    }
    const std::pair<const char*, const Parameters*> sections[] = {
        {"----- RUN PARAMETERS -----", _runParams.get()},
        {"----- PROBLEM PARAMETERS -----", _pbParams.get()},
        {"----- EVAL PARAMETERS -----", _evalParams.get()},
        {"----- EVALUATOR CONTROL PARAMETERS (GLOBAL) -----", _evaluatorControlGlobalParams.get()},
        {"----- EVALUATOR CONTROL PARAMETERS (BY MAIN THREAD)-----", _evaluatorControlParams.get()},
        {"----- CACHE PARAMETERS -----", _cacheParams.get()},
        {"----- DISPLAY PARAMETERS -----", _dispParams.get()}};
    for (const auto& section : sections)
    {
        os << section.first << std::endl;
        section.second->display(os, helpInfo);
    }
}

void AllParameters::displayHelp(const std::string& helpSubject, bool developer, std::ostream& os)
{
    std::ostringstream ossBasic;
    std::ostringstream ossAdvanced;
    const Parameters* const sets[] = {_evalParams.get(),
                                      _evaluatorControlGlobalParams.get(),
                                      _evaluatorControlParams.get(),
                                      _runParams.get(),
                                      _pbParams.get(),
                                      _cacheParams.get(),
                                      _dispParams.get()};
    for (const Parameters* set : sets)
    {
        set->displayHelp(helpSubject, developer, ossBasic, ossAdvanced);
    }
    const std::string basic = ossBasic.str();
    const std::string advanced = ossAdvanced.str();

    if (developer)
    {
        // Developer mode shows the developer parameters only, gathered in
        // the first text.
        if (basic.empty())
        {
            os << "No help found for " << helpSubject << std::endl << std::endl;
            return;
        }
        os << DASHES << std::endl
           << DEVELOPPER_BANNER << std::endl
           << DASHES << std::endl
           << basic << std::endl
           << std::endl;
        return;
    }

    if (basic.empty() && advanced.empty())
    {
        os << "No help found for " << helpSubject << std::endl << std::endl;
        return;
    }
    if (!basic.empty())
    {
        os << DASHES << std::endl
           << BASIC_BANNER << std::endl
           << DASHES << std::endl
           << std::endl
           << basic << std::endl
           << std::endl;
    }
    if (!advanced.empty())
    {
        os << DASHES << std::endl
           << ADVANCED_BANNER << std::endl
           << DASHES << std::endl
           << std::endl
           << advanced << std::endl
           << std::endl;
    }
}

// ---------------------------------------------------------------------------
// Convenience accessors
// ---------------------------------------------------------------------------

void AllParameters::set_DIMENSION(size_t dimension)
{
    setAttributeValue<size_t>("DIMENSION", dimension);
}

void AllParameters::set_MAX_BB_EVAL(int maxBbEval)
{
    setAttributeValue<size_t>("MAX_BB_EVAL", countFromInt(maxBbEval));
}

void AllParameters::set_MAX_EVAL(int maxEval)
{
    setAttributeValue<size_t>("MAX_EVAL", countFromInt(maxEval));
}

void AllParameters::set_MAX_ITERATIONS(int maxIterations)
{
    setAttributeValue<size_t>("MAX_ITERATIONS", countFromInt(maxIterations));
}

void AllParameters::set_SEED(int seed)
{
    setAttributeValue<int>("SEED", seed);
}

void AllParameters::set_DISPLAY_DEGREE(int displayDegree)
{
    setAttributeValue<int>("DISPLAY_DEGREE", displayDegree);
}

void AllParameters::set_X0(const Point& x0)
{
    setAttributeValue<Point>("X0", x0);
}

void AllParameters::set_UNDEF_STR(const std::string& undefStr)
{
    setAttributeValue<std::string>("UNDEF_STR", undefStr);
}

void AllParameters::set_INF_STR(const std::string& infStr)
{
    setAttributeValue<std::string>("INF_STR", infStr);
}

void AllParameters::set_TMP_DIR(const std::string& tmpDir)
{
    setAttributeValue<std::string>("TMP_DIR", tmpDir);
}

void AllParameters::set_BB_EXE(const std::string& bbExe)
{
    setAttributeValue<std::string>("BB_EXE", bbExe);
}

void AllParameters::set_DISPLAY_ALL_EVAL(bool displayAllEval)
{
    setAttributeValue<bool>("DISPLAY_ALL_EVAL", displayAllEval);
}

void AllParameters::set_ADD_SEED_TO_FILE_NAMES(bool addSeedToFileNames)
{
    setAttributeValue<bool>("ADD_SEED_TO_FILE_NAMES", addSeedToFileNames);
}

void AllParameters::set_BB_INPUT_TYPE(const std::vector<BBInputType>& bbInputType)
{
    setAttributeValue<BBInputTypeList>("BB_INPUT_TYPE", bbInputType);
}

void AllParameters::set_BB_OUTPUT_TYPE(const std::vector<BBOutputType>& bbOutputType)
{
    setAttributeValue<BBOutputTypeList>("BB_OUTPUT_TYPE", bbOutputType);
}

void AllParameters::set_EPSILON(const Double& epsilon)
{
    setAttributeValue<Double>("EPSILON", epsilon);
}

void AllParameters::set_MIN_MESH_SIZE(const ArrayOfDouble& minMeshSize)
{
    setAttributeValue<ArrayOfDouble>("MIN_MESH_SIZE", minMeshSize);
}

void AllParameters::set_MIN_POLL_SIZE(const ArrayOfDouble& minPollSize)
{
    // The poll size of the programming interface is the frame size.
    setAttributeValue<ArrayOfDouble>("MIN_FRAME_SIZE", minPollSize);
}

void AllParameters::set_INITIAL_MESH_SIZE(const ArrayOfDouble& initialMeshSize)
{
    setAttributeValue<ArrayOfDouble>("INITIAL_MESH_SIZE", initialMeshSize);
}

void AllParameters::set_INITIAL_POLL_SIZE(const ArrayOfDouble& initialPollSize)
{
    setAttributeValue<ArrayOfDouble>("INITIAL_FRAME_SIZE", initialPollSize);
}

void AllParameters::set_LOWER_BOUND(const ArrayOfDouble& lb)
{
    setAttributeValue<ArrayOfDouble>("LOWER_BOUND", lb);
}

void AllParameters::set_UPPER_BOUND(const ArrayOfDouble& ub)
{
    setAttributeValue<ArrayOfDouble>("UPPER_BOUND", ub);
}

void AllParameters::set_GRANULARITY(const ArrayOfDouble& granularity)
{
    setAttributeValue<ArrayOfDouble>("GRANULARITY", granularity);
}

void AllParameters::set_DISPLAY_STATS(ArrayOfString displayStats)
{
    setAttributeValue<ArrayOfString>("DISPLAY_STATS", std::move(displayStats));
}

void AllParameters::set_STATS_FILE(ArrayOfString statsFile)
{
    setAttributeValue<ArrayOfString>("STATS_FILE", std::move(statsFile));
}

std::string AllParameters::get_problem_dir() const
{
    return getAttributeValue<std::string>("PROBLEM_DIR");
}

std::string AllParameters::get_undef_str() const
{
    return getAttributeValue<std::string>("UNDEF_STR");
}

std::string AllParameters::get_inf_str() const
{
    return getAttributeValue<std::string>("INF_STR");
}

std::string AllParameters::get_tmp_dir() const
{
    return getAttributeValue<std::string>("TMP_DIR");
}

std::string AllParameters::get_bb_exe() const
{
    return getAttributeValue<std::string>("BB_EXE");
}

int AllParameters::get_max_bb_eval() const
{
    return countToInt(getAttributeValue<size_t>("MAX_BB_EVAL"));
}

int AllParameters::get_max_iterations() const
{
    return countToInt(getAttributeValue<size_t>("MAX_ITERATIONS"));
}

int AllParameters::get_dimension() const
{
    return static_cast<int>(getAttributeValue<size_t>("DIMENSION"));
}

Double AllParameters::get_epsilon() const
{
    return getAttributeValue<Double>("EPSILON");
}

int AllParameters::get_display_degree() const
{
    return getAttributeValue<int>("DISPLAY_DEGREE");
}

bool AllParameters::get_display_all_eval() const
{
    return getAttributeValue<bool>("DISPLAY_ALL_EVAL");
}

bool AllParameters::get_add_seed_to_file_names() const
{
    return getAttributeValue<bool>("ADD_SEED_TO_FILE_NAMES");
}

const ArrayOfDouble& AllParameters::get_initial_mesh_size() const
{
    return getAttributeValue<ArrayOfDouble>("INITIAL_MESH_SIZE");
}

const ArrayOfDouble& AllParameters::get_initial_poll_size() const
{
    return getAttributeValue<ArrayOfDouble>("INITIAL_FRAME_SIZE");
}

const ArrayOfDouble& AllParameters::get_min_mesh_size() const
{
    return getAttributeValue<ArrayOfDouble>("MIN_MESH_SIZE");
}

const ArrayOfDouble& AllParameters::get_min_poll_size() const
{
    return getAttributeValue<ArrayOfDouble>("MIN_FRAME_SIZE");
}

const ArrayOfDouble& AllParameters::get_lb() const
{
    return getAttributeValue<ArrayOfDouble>("LOWER_BOUND");
}

const ArrayOfDouble& AllParameters::get_ub() const
{
    return getAttributeValue<ArrayOfDouble>("UPPER_BOUND");
}

const ArrayOfDouble& AllParameters::get_granularity() const
{
    return getAttributeValue<ArrayOfDouble>("GRANULARITY");
}

ArrayOfString AllParameters::get_display_stats() const
{
    return getAttributeValue<ArrayOfString>("DISPLAY_STATS");
}

ArrayOfString AllParameters::get_stats_file() const
{
    return getAttributeValue<ArrayOfString>("STATS_FILE");
}

const std::vector<Point>& AllParameters::get_x0s() const
{
    return getAttributeValue<ArrayOfPoint>("X0");
}

const Point& AllParameters::get_x0() const
{
    return getAttributeValue<Point>("X0");
}

const std::vector<BBInputType>& AllParameters::get_bb_input_type() const
{
    return getAttributeValue<BBInputTypeList>("BB_INPUT_TYPE");
}

const std::vector<BBOutputType>& AllParameters::get_bb_output_type() const
{
    return getAttributeValue<BBOutputTypeList>("BB_OUTPUT_TYPE");
}

void AllParameters::resetStatsFile()
{
    _dispParams->resetToDefaultValue("STATS_FILE");
}

void AllParameters::reset_bounds()
{
    _pbParams->resetToDefaultValue("LOWER_BOUND");
    _pbParams->resetToDefaultValue("UPPER_BOUND");
}

// ---------------------------------------------------------------------------
// Instantiations of the typed pair
// ---------------------------------------------------------------------------

#define QARNO_ALLPARAMETERS_TYPED_ACCESS(T)                                                        \
    template void AllParameters::setAttributeValue<T>(std::string, T);                             \
    template const T& AllParameters::getAttributeValue<T>(const std::string&) const;

QARNO_FOR_EACH_PARAMETER_TYPE(QARNO_ALLPARAMETERS_TYPED_ACCESS)

#undef QARNO_ALLPARAMETERS_TYPED_ACCESS

} // namespace QARNO_4_0_0
