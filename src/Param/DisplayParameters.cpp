#include "Param/DisplayParameters.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <locale>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "Math/Double.hpp"
#include "Param/AttributeDefinition.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/ArrayOfString.hpp"
#include "Util/Exception.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

namespace
{

/// Precision shown for a coordinate without granularity.
const double DEFAULT_PRECISION = 6.0;

// keyword, type, default, short info, help, help keywords,
// algoCompatibilityCheck, restartAttribute, uniqueEntry
const std::vector<AttributeDefinition>& displayDefinitions()
{
    static const std::vector<AttributeDefinition> table = {
        {"DISPLAY_STATS", "QARNO::ArrayOfString", "BBE OBJ",
         " Format for displaying the evaluation points ",
         " \n"
         " . Format of the statistics line shown for each reported evaluation\n"
         "  \n"
         " . Argument: a list of words; each word is a keyword of the statistics lines or any "
         "other text, which is shown as written\n"
         "  \n"
         " . Keywords: OBJ, CONS_H, H_MAX, BBE, FEAS_BBE, INF_BBE, ALGO_BBE, BLK_EVA, BLK_SIZE, "
         "LAP, SGTE, TOTAL_SGTE, BBO, EVAL, REL_SUCC, PHASE_ONE_SUCC, CACHE_HITS, CACHE_SIZE, "
         "ITER_NUM, TIME, MESH_INDEX, MESH_SIZE (DELTA_M), FRAME_SIZE (DELTA_F, POLL_SIZE, "
         "DELTA_P), SOL, THREAD_ALGO, THREAD_NUM, GEN_STEP, SUCCESS_TYPE\n"
         "  \n"
         " . A keyword may start with a display format: %.2fOBJ shows the objective with two "
         "decimals\n"
         "  \n"
         " . More points are shown with DISPLAY_ALL_EVAL\n"
         "  \n"
         " . Example: DISPLAY_STATS BBE ( SOL ) OBJ\n"
         "  \n"
         " . Default: BBE OBJ\n\n",
         "  basic display displays output outputs stat stats success successes  ", "false", "true",
         "true"},
        {"DISPLAY_DEGREE", "int", "2", " Level of verbose during execution ",
         " \n"
         " . Verbosity of the display\n"
         "  \n"
         " . Argument: one integer: 0 no display, 1 minimal display, 2 normal display, 3 "
         "information, 4 debug, 5 full debug\n"
         "  \n"
         " . Example: DISPLAY_DEGREE 3\n"
         "  \n"
         " . Default: 2\n\n",
         "  basic display verbose output outputs info infos  ", "false", "true", "true"},
        {"DISPLAY_ALL_EVAL", "bool", "false", " Flag to display all evaluations ",
         " \n"
         " . Argument: one boolean (yes or no)\n"
         "  \n"
         " . When yes, every evaluation is shown on standard output, overriding "
         "DISPLAY_INFEASIBLE and DISPLAY_UNSUCCESSFUL\n"
         "  \n"
         " . When no, only the evaluations that pass DISPLAY_INFEASIBLE and DISPLAY_UNSUCCESSFUL "
         "are shown\n"
         "  \n"
         " . Example: DISPLAY_ALL_EVAL yes\n"
         "  \n"
         " . Default: false\n\n",
         "  basic display displays stat stats eval evals evaluation evaluations   ", "false",
         "true", "true"},
        {"DISPLAY_INFEASIBLE", "bool", "false", " Flag to display infeasible ",
         " \n"
         " . Argument: one boolean (yes or no)\n"
         "  \n"
         " . When yes, infeasible evaluations are shown too\n"
         "  \n"
         " . When no, only feasible evaluations are shown\n"
         "  \n"
         " . Example: DISPLAY_INFEASIBLE yes\n"
         "  \n"
         " . Default: false\n\n",
         "  advanced display displays infeasible  ", "false", "true", "true"},
        {"DISPLAY_UNSUCCESSFUL", "bool", "true", " Flag to display unsuccessful ",
         " \n"
         " . Argument: one boolean (yes or no)\n"
         "  \n"
         " . When yes, evaluations are shown even when they bring no better solution\n"
         "  \n"
         " . When no, only successes are shown\n"
         "  \n"
         " . Example: DISPLAY_UNSUCCESSFUL no\n"
         "  \n"
         " . Default: true\n\n",
         "  advanced display displays success successes failed failure failures fail fails  ",
         "false", "true", "true"},
        {"STATS_FILE", "QARNO::ArrayOfString", "", " The name of the stats file ",
         " \n"
         " . Argument: a file name followed by a list of words that formats the lines of the "
         "file, as DISPLAY_STATS does; a file name alone gives the format BBE OBJ\n"
         "  \n"
         " . A relative name is taken in the problem directory\n"
         "  \n"
         " . The seed is added to the file name when ADD_SEED_TO_FILE_NAMES is true\n"
         "  \n"
         " . Example: STATS_FILE stats.txt BBE SOL OBJ\n"
         "  \n"
         " . Default: empty (no statistics file)\n\n",
         "  basic stat stats file files name display displays output outputs  ", "false", "false",
         "true"},
        {"MAIN_STATS_FILE", "string", "-", " The name of the main stats file ",
         " \n"
         " . Argument: one file name\n"
         "  \n"
         " . The file receives the detailed counts of evaluations and successes at the end of "
         "the run\n"
         "  \n"
         " . A relative name is taken in the problem directory\n"
         "  \n"
         " . The seed is added to the file name when ADD_SEED_TO_FILE_NAMES is true\n"
         "  \n"
         " . Example: MAIN_STATS_FILE detailed_stats.txt\n"
         "  \n"
         " . Default: no default value (no main statistics file)\n\n",
         "  basic main detailed stat stats file files success successes evaluation evaluations  ",
         "false", "false", "true"},
        {"SOL_FORMAT", "QARNO::ArrayOfDouble", "-", " Format of the solution ",
         " \n"
         " . Internal parameter: not to be set by the user\n"
         "  \n"
         " . Precision (number of decimals) per coordinate for showing points, computed from "
         "GRANULARITY (6 for a variable without granularity)\n"
         "  \n"
         " . Also used for other arrays of the problem dimension\n"
         "  \n"
         " . Default: computed from GRANULARITY\n\n",
         "  advanced internal  ", "false", "true", "true"},
        {"DISPLAY_HEADER", "size_t", "40", " Frequency at which the stats header is displayed ",
         " \n"
         " . Argument: an integer or INF\n"
         "  \n"
         " . Number of statistics lines after which the header is shown again\n"
         "  \n"
         " . 0: the header is shown once, above the first line; INF: it is never shown\n"
         "  \n"
         " . Example: DISPLAY_HEADER 20\n"
         "  \n"
         " . Default: 40\n\n",
         "  advanced  ", "false", "true", "true"},
        {"OBJ_WIDTH", "size_t", "0", " Character width of the objective ",
         " \n"
         " . Internal parameter\n"
         "  \n"
         " . Width in characters of the objective column of the statistics lines (at most "
         "1000)\n"
         "  \n"
         " . Default: 0\n\n",
         "  advanced internal  ", "false", "false", "true"},
        {"MAX_DISPLAY_STEP_LEVEL", "size_t", "20",
         " Depth of the step after which info is not printed ",
         " \n"
         " . Argument: a non-negative integer\n"
         "  \n"
         " . A step with more parent steps than this is not shown\n"
         "  \n"
         " . Matters only at the full display degree (DISPLAY_DEGREE 5)\n"
         "  \n"
         " . Example: MAX_DISPLAY_STEP_LEVEL 5\n"
         "  \n"
         " . Default: 20\n\n",
         "  advanced  ", "false", "true", "true"},
        {"HISTORY_FILE", "std::string", "", " The name of the history file ",
         " \n"
         " . Argument: one file name\n"
         "  \n"
         " . The file receives every evaluation in the simple form: point and outputs\n"
         "  \n"
         " . A relative name is taken in the problem directory\n"
         "  \n"
         " . The seed is added to the file name when ADD_SEED_TO_FILE_NAMES is true\n"
         "  \n"
         " . Example: HISTORY_FILE history.txt\n"
         "  \n"
         " . Default: empty (no history file)\n\n",
         "  basic history file name display displays output outputs  ", "false", "false", "true"},
        {"SOLUTION_FILE", "std::string", "",
         " The name of the file containing the best feasible solution ",
         " \n"
         " . Argument: one file name\n"
         "  \n"
         " . The file holds the best feasible point in the simple form: point and outputs\n"
         "  \n"
         " . A relative name is taken in the problem directory\n"
         "  \n"
         " . The seed is added to the file name when ADD_SEED_TO_FILE_NAMES is true\n"
         "  \n"
         " . Example: SOLUTION_FILE sol.txt\n"
         "  \n"
         " . Default: empty (no solution file)\n\n",
         "  basic solution best incumbent file name display displays output outputs  ", "false",
         "false", "true"},
    };
    return table;
}

/// The number of decimals shown for a positive step g.
size_t decimalsOf(double g)
{
    // Multiples of an infinite step are integral.
    if (!std::isfinite(g))
    {
        return 0;
    }
    return Double(g).nbDecimals();
}

std::string toText(const ArrayOfDouble& values)
{
    std::ostringstream oss;
    oss.imbue(std::locale::classic());
    oss << values;
    return oss.str();
}

/// True when every element is a finite integer from 0 to the largest
/// precision: the output layer turns them into int precisions and pads
/// numbers to them.
bool isValidSolFormat(const ArrayOfDouble& solFormat, size_t n)
{
    if (solFormat.size() != n)
    {
        return false;
    }
    for (size_t i = 0; i < n; ++i)
    {
        const Double& p = solFormat[i];
        if (!p.isDefined() || !std::isfinite(p.todouble()) || !p.isInteger() || p < Double(0.0) ||
            p > Double(DisplayParameters::maxSolFormatPrecision))
        {
            return false;
        }
    }
    return true;
}

} // namespace

void DisplayParameters::init()
{
    initFromTable("Display", displayDefinitions());
}

ArrayOfDouble DisplayParameters::setFormatFromGranularity(const ArrayOfDouble& granularity) const
{
    ArrayOfDouble format(granularity.size(), Double(DEFAULT_PRECISION));
    for (size_t i = 0; i < granularity.size(); ++i)
    {
        const Double& g = granularity[i];
        // An undefined or NaN granularity is no granularity, like 0.
        if (!g.isDefined() || !(g > Double(0.0)))
        {
            continue;
        }
        format[i] = Double(static_cast<double>(decimalsOf(g.todouble())));
    }
    return format;
}

void DisplayParameters::checkAndComply(const std::shared_ptr<RunParameters>& run,
                                       const std::shared_ptr<PbParameters>& pb)
{
    checkInfo();
    if (!toBeChecked())
    {
        return;
    }

    // Every new value is computed and checked before the first one is
    // written, so that a failure leaves the set as it was.
    if (nullptr == pb)
    {
        QARNO_THROW(Exception, "DisplayParameters::checkAndComply: Problem Parameters are NULL");
    }
    const size_t n = pb->getAttributeValue<size_t>("DIMENSION");
    if (0 == n)
    {
        QARNO_THROW(Exception, "Parameters check: DIMENSION must be positive");
    }

    // Every statistics line is padded to this width.
    const size_t objWidth = getSpValue<size_t>("OBJ_WIDTH", false, false);
    if (objWidth > maxObjWidth)
    {
        QARNO_THROW(Exception, "Parameters check: OBJ_WIDTH must be at most " + itos(maxObjWidth) +
                                   ". Value provided: " + itos(objWidth));
    }

    // SOL_FORMAT: 6 per variable, replaced by the decimals of the
    // granularity when the problem has one.
    ArrayOfDouble solFormat = getSpValue<ArrayOfDouble>("SOL_FORMAT", false, false);
    bool writeSolFormat = false;
    if (!solFormat.isDefined())
    {
        solFormat = ArrayOfDouble(n, Double(DEFAULT_PRECISION));
        writeSolFormat = true;
    }
    if (!pb->isAttributeDefaultValue<ArrayOfDouble>("GRANULARITY"))
    {
        solFormat = setFormatFromGranularity(pb->getAttributeValue<ArrayOfDouble>("GRANULARITY"));
        writeSolFormat = true;
    }
    if (!isValidSolFormat(solFormat, n))
    {
        QARNO_THROW(Exception, "Parameters check: SOL_FORMAT must hold " + itos(n) +
                                   " integers from 0 to " + itos(maxSolFormatPrecision) +
                                   ", one per variable. Value provided: ( " + toText(solFormat) +
                                   " )");
    }

    ArrayOfString displayStats = getSpValue<ArrayOfString>("DISPLAY_STATS", false, false);
    const bool writeDisplayStats = (0 == displayStats.size());
    if (writeDisplayStats)
    {
        displayStats = ArrayOfString("BBE OBJ", " ");
    }

    // File names: completed against the problem directory, with the seed.
    // The run set is needed only when there is a name to complete.
    bool runValuesRead = false;
    std::string problemDir;
    bool addSeed = false;
    int seed = 0;
    auto complete = [&](std::string& name)
    {
        if (!runValuesRead)
        {
            if (nullptr == run)
            {
                QARNO_THROW(Exception,
                            "DisplayParameters::checkAndComply: Run Parameters are NULL");
            }
            problemDir = RunParameters::problemDirPrefix(run);
            addSeed = run->getAttributeValue<bool>("ADD_SEED_TO_FILE_NAMES");
            seed = run->getAttributeValue<int>("SEED");
            runValuesRead = true;
        }
        completeFileName(name, problemDir, addSeed, seed);
    };

    // The keyword and completed name of every output file, to find two
    // that would write over each other.
    std::vector<std::pair<std::string, std::string>> files;

    ArrayOfString statsFile = getSpValue<ArrayOfString>("STATS_FILE", false, false);
    const bool writeStatsFile = (statsFile.size() > 0);
    if (writeStatsFile)
    {
        std::string name = statsFile[0];
        if (1 == statsFile.size())
        {
            statsFile.add("BBE");
            statsFile.add("OBJ");
        }
        if (!name.empty())
        {
            complete(name);
            statsFile.replace(0, name);
            files.emplace_back("STATS_FILE", name);
        }
    }

    std::string mainStatsFile = getSpValue<std::string>("MAIN_STATS_FILE", false, false);
    const bool writeMainStatsFile = (!mainStatsFile.empty() && mainStatsFile != "-");
    if (writeMainStatsFile)
    {
        complete(mainStatsFile);
        files.emplace_back("MAIN_STATS_FILE", mainStatsFile);
    }

    std::string historyFile = getSpValue<std::string>("HISTORY_FILE", false, false);
    const bool writeHistoryFile = !historyFile.empty();
    if (writeHistoryFile)
    {
        complete(historyFile);
        files.emplace_back("HISTORY_FILE", historyFile);
    }

    std::string solutionFile = getSpValue<std::string>("SOLUTION_FILE", false, false);
    const bool writeSolutionFile = !solutionFile.empty();
    if (writeSolutionFile)
    {
        complete(solutionFile);
        files.emplace_back("SOLUTION_FILE", solutionFile);
    }

    // Each file is truncated when opened, and the solution file at every
    // new best point: two keywords naming one file would destroy each
    // other's content.
    for (size_t i = 0; i < files.size(); ++i)
    {
        for (size_t j = i + 1; j < files.size(); ++j)
        {
            if (files[i].second == files[j].second)
            {
                QARNO_THROW(Exception, "Parameters check: " + files[i].first + " and " +
                                           files[j].first +
                                           " name the same file: " + files[i].second);
            }
        }
    }

    if (writeSolFormat)
    {
        setAttributeValue("SOL_FORMAT", std::move(solFormat));
    }
    if (writeDisplayStats)
    {
        setAttributeValue("DISPLAY_STATS", std::move(displayStats));
    }
    if (writeStatsFile)
    {
        setAttributeValue("STATS_FILE", std::move(statsFile));
    }
    if (writeMainStatsFile)
    {
        setAttributeValue("MAIN_STATS_FILE", std::move(mainStatsFile));
    }
    if (writeHistoryFile)
    {
        setAttributeValue("HISTORY_FILE", std::move(historyFile));
    }
    if (writeSolutionFile)
    {
        setAttributeValue("SOLUTION_FILE", std::move(solutionFile));
    }

    _toBeChecked = false;
}

} // namespace QARNO_4_0_0
