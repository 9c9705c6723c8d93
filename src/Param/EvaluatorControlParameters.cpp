#include "Param/EvaluatorControlParameters.hpp"

#include <cstddef>
#include <exception>
#include <limits>
#include <vector>

#include "Param/RunParameters.hpp"
#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

namespace
{

// keyword, type, default, short info, help, help keywords,
// algoCompatibilityCheck, restartAttribute, uniqueEntry
const std::vector<AttributeDefinition>& definitionTable()
{
    static const std::vector<AttributeDefinition> table = {
        {"OPPORTUNISTIC_EVAL", "bool", "true",
         " Opportunistic strategy: Terminate evaluations as soon as a success is found ",
         " \n"
         " . Opportunistic strategy: terminate the evaluations as soon as a success is found\n"
         "  \n"
         " . This is the default value of the other opportunistic parameters, search steps "
         "included, and the value used by the poll\n"
         "  \n"
         " . Argument: one boolean ('yes' or 'no')\n"
         "  \n"
         " . Type 'qarno -h opportunistic' to see the other opportunistic options\n"
         "  \n"
         " . Example: OPPORTUNISTIC_EVAL no # complete evaluations\n"
         "  \n"
         " . Default: true\n\n",
         "  advanced opportunistic oppor eval evals evaluation evaluations terminate list success "
         "successes  ",
         "true", "true", "true"},
        {"USE_CACHE", "bool", "true", " Use cache in algorithms ",
         " \n"
         " . When false, the cache is not used at all and points may be evaluated more than "
         "once\n"
         "  \n"
         " . Recommended for a large DIMENSION with cheap evaluations\n"
         "  \n"
         " . May be on for the top algorithm and off for a sub-algorithm\n"
         "  \n"
         " . A non-empty CACHE_FILE is still read and written\n"
         "  \n"
         " . Argument: one boolean ('yes' or 'no')\n"
         "  \n"
         " . Example: USE_CACHE false\n"
         "  \n"
         " . Default: true\n\n",
         "  advanced  ", "true", "false", "true"},
        {"MAX_BB_EVAL_IN_SUBPROBLEM", "size_t", "INF",
         " Max number of evaluations for each subproblem ",
         " \n"
         " . Sequential and parallel space decomposition (SSD-MADS, PSD-MADS): maximum number "
         "of evaluations in each MADS subproblem\n"
         "  \n"
         " . Argument: one positive integer\n"
         "  \n"
         " . Example: MAX_BB_EVAL_IN_SUBPROBLEM 10\n"
         "  \n"
         " . Default: INF\n\n",
         "  advanced psd ssd mads parallel sequential decomposition subproblem  ", "true", "false",
         "true"},
    };
    return table;
}

} // namespace

void EvaluatorControlParameters::init()
{
    initFromTable("EvaluatorControl", definitionTable());
}

void EvaluatorControlParameters::checkAndComply(const std::shared_ptr<RunParameters>& run)
{
    checkInfo();

    if (!toBeChecked())
    {
        return;
    }

    if (nullptr != run)
    {
        // The sub-problem budget only holds for the space decompositions.
        const bool psdMads = run->getAttributeValue<bool>("PSD_MADS_OPTIMIZATION");
        const bool ssdMads = run->getAttributeValue<bool>("SSD_MADS_OPTIMIZATION");
        if (!psdMads && !ssdMads)
        {
            setSpValueDefault<size_t>("MAX_BB_EVAL_IN_SUBPROBLEM",
                                      std::numeric_limits<size_t>::max());
        }
    }

    _toBeChecked = false;
}

} // namespace QARNO_4_0_0
