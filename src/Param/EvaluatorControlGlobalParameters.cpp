#include "Param/EvaluatorControlGlobalParameters.hpp"

#include <cstddef>
#include <exception>
#include <iostream>
#include <limits>
#include <vector>

#include "Math/ArrayOfDouble.hpp"
#include "Math/Double.hpp"
#include "Param/PbParameters.hpp"
#include "Util/Exception.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

namespace
{

constexpr size_t SIZE_T_INF = std::numeric_limits<size_t>::max();

// keyword, type, default, short info, help, help keywords,
// algoCompatibilityCheck, restartAttribute, uniqueEntry
const std::vector<AttributeDefinition>& definitionTable()
{
    static const std::vector<AttributeDefinition> table = {
        {"MAX_BB_EVAL", "size_t", "INF",
         " Stopping criterion on the number of blackbox evaluations ",
         " \n"
         " . Maximum number of blackbox evaluations\n"
         "  \n"
         " . Argument: one positive integer\n"
         "  \n"
         " . An INF value disables this criterion\n"
         "  \n"
         " . Evaluations taken from the cache (cache hits) are not counted\n"
         "  \n"
         " . In bi-objective mode: the budget of each MADS run\n"
         "  \n"
         " . Example: MAX_BB_EVAL 1000\n"
         "  \n"
         " . Default: INF\n\n",
         "  basic stop stops stopping max maximum criterion criterions blackbox blackboxes bb  ",
         "false", "true", "true"},
        {"MAX_EVAL", "size_t", "INF",
         " Stopping criterion on the number of evaluations (blackbox and cache) ",
         " \n"
         " . Maximum number of evaluations, cache hits included\n"
         "  \n"
         " . Argument: one positive integer\n"
         "  \n"
         " . An INF value disables this criterion\n"
         "  \n"
         " . Example: MAX_EVAL 1000\n"
         "  \n"
         " . Default: INF\n\n",
         "  advanced stop stops stopping max maximum criterion criterions blackbox blackboxes bb "
         "eval evals evaluation evaluations cache  ",
         "false", "true", "true"},
        {"BB_MAX_BLOCK_SIZE", "size_t", "1",
         " Size of blocks of points, to be used for parallel evaluations ",
         " \n"
         " . Maximum number of points sent at once to the blackbox executable\n"
         "  \n"
         " . The blackbox executable may evaluate the points of a block in parallel\n"
         "  \n"
         " . Opportunistic strategies may apply after each block of evaluations\n"
         "  \n"
         " . When above 1, the number of evaluations may exceed MAX_BB_EVAL\n"
         "  \n"
         " . Argument: one integer > 0\n"
         "  \n"
         " . Example: BB_MAX_BLOCK_SIZE 3\n"
         "  \n"
         " . Default: 1\n\n",
         "  advanced block parallel  ", "true", "true", "true"},
        {"SGTE_MAX_BLOCK_SIZE", "size_t", "INF",
         " Size of blocks of points, to be used for parallel evaluations ",
         " \n"
         " . Maximum number of points sent at once to the surrogate library\n"
         "  \n"
         " . The surrogate library may evaluate the points of a block in parallel\n"
         "  \n"
         " . Opportunistic strategies may apply after each block of evaluations\n"
         "  \n"
         " . When above 1, the number of surrogate evaluations may exceed MAX_SGTE_EVAL\n"
         "  \n"
         " . Argument: one integer > 0\n"
         "  \n"
         " . Example: SGTE_MAX_BLOCK_SIZE 100\n"
         "  \n"
         " . Default: INF\n\n",
         "  advanced block parallel  ", "true", "true", "true"},
        {"MAX_BLOCK_EVAL", "size_t", "INF",
         " Stopping criterion on the number of blocks evaluations ",
         " \n"
         " . Maximum number of block evaluations\n"
         "  \n"
         " . Argument: one positive integer\n"
         "  \n"
         " . An INF value disables this criterion\n"
         "  \n"
         " . Example: MAX_BLOCK_EVAL 100\n"
         "  \n"
         " . Default: INF\n\n",
         "  advances block stop parallel  ", "true", "true", "true"},
        {"MAX_SGTE_EVAL", "size_t", "1000",
         " Max number of teskora model evaluations for each optimization of the surrogate "
         "problem ",
         " \n"
         " . Maximum number of surrogate model evaluations for each optimization of the "
         "surrogate problem\n"
         "  \n"
         " . Argument: one integer > 0\n"
         "  \n"
         " . May be exceeded when SGTE_MAX_BLOCK_SIZE is above 1\n"
         "  \n"
         " . Note: the earlier default of 10000 gave very long resolution times; 1000 is used "
         "until further study\n"
         "  \n"
         " . Example: MAX_SGTE_EVAL 5000\n"
         "  \n"
         " . Default: 1000\n\n",
         "  advanced teskora search model model_search  ", "true", "true", "true"},
        {"CLEAR_EVAL_QUEUE", "bool", "true",
         " Opportunistic strategy: Flag to clear EvaluatorControl queue between each run ",
         " \n"
         " . Opportunistic strategy: on a success, the evaluation queue is cleared of its "
         "other points (true), or they are kept and may be evaluated later (false)\n"
         "  \n"
         " . No effect when the opportunistic strategy is not used\n"
         "  \n"
         " . Argument: one boolean ('yes' or 'no')\n"
         "  \n"
         " . Example: CLEAR_EVAL_QUEUE false\n"
         "  \n"
         " . Default: true\n\n",
         "  advanced opportunistic oppor eval evals evaluation evaluations clear flush  ", "true",
         "true", "true"},
        {"TMP_DIR", "std::string", "/tmp/", " Directory where to put temporary files ",
         " \n"
         " . Directory where the blackbox input and output files are put\n"
         "  \n"
         " . A local directory improves performance\n"
         "  \n"
         " . Argument: one string\n"
         "  \n"
         " . Example: TMP_DIR /tmp\n"
         "  \n"
         " . Default: /tmp/\n\n",
         "  advanced  ", "false", "false", "true"},
        {"RANDOM_EVAL_SORT", "bool", "false", " Mix points randomly before evaluation ",
         " \n"
         " . Trial points are mixed randomly before evaluation, instead of being sorted\n"
         "  \n"
         " . Argument: one boolean ('yes' or 'no')\n"
         "  \n"
         " . Example: RANDOM_EVAL_SORT true\n"
         "  \n"
         " . Default: false\n\n",
         "  advanced  ", "true", "true", "true"},
    };
    return table;
}

// True when the granularity gives every variable a non-zero step. An
// undefined step counts as a continuous variable, and an empty array makes no
// variable granular.
bool allVariablesGranular(const ArrayOfDouble& granularity)
{
    if (granularity.size() == 0)
    {
        return false;
    }
    for (size_t i = 0; i < granularity.size(); ++i)
    {
        const Double& g = granularity[i];
        if (!g.isDefined() || g.abs().todouble() < Double::getEpsilon())
        {
            return false;
        }
    }
    return true;
}

// The total budget of an all-granular problem of n variables, where a search
// on the finite grid could circle the best point without end. 10 x
// MAX_BB_EVAL saturates at INF (no limit) rather than wrapping around to a
// small budget.
size_t granularMaxEval(size_t n, size_t maxBbEval)
{
    size_t base = 1000000;
    if (n <= 8)
    {
        base = 100;
        for (size_t i = 0; i < n; ++i)
        {
            base *= 3;
        }
    }

    if (SIZE_T_INF == maxBbEval)
    {
        return base;
    }
    if (maxBbEval > SIZE_T_INF / 10)
    {
        return SIZE_T_INF;
    }
    const size_t tenTimes = 10 * maxBbEval;
    return (tenTimes > base) ? tenTimes : base;
}

} // namespace

void EvaluatorControlGlobalParameters::init()
{
    initFromTable("EvaluatorControl", definitionTable());
}

void EvaluatorControlGlobalParameters::checkAndComply(std::shared_ptr<PbParameters> pb)
{
    checkInfo();

    if (!toBeChecked())
    {
        return;
    }

    // A budget of 0 would stop a run before its first evaluation; it means
    // no limit.
    if (0 == getSpValue<size_t>("MAX_BB_EVAL", false, false))
    {
        setSpValueDefault<size_t>("MAX_BB_EVAL", SIZE_T_INF);
    }
    if (0 == getSpValue<size_t>("MAX_EVAL", false, false))
    {
        setSpValueDefault<size_t>("MAX_EVAL", SIZE_T_INF);
    }

    if (nullptr != pb && SIZE_T_INF == getSpValue<size_t>("MAX_EVAL", false, false))
    {
        const auto& granularity = pb->getAttributeValue<ArrayOfDouble>("GRANULARITY");
        if (allVariablesGranular(granularity))
        {
            const size_t maxEval = granularMaxEval(granularity.size(),
                                                   getSpValue<size_t>("MAX_BB_EVAL", false, false));
            std::cerr << "All variables are granular. MAX_EVAL is set to " << itos(maxEval)
                      << " to prevent algorithm from circling around best solution indefinitely"
                      << std::endl;
            setSpValueDefault<size_t>("MAX_EVAL", maxEval);
        }
    }

    const size_t sgteMaxBlockSize = getSpValue<size_t>("SGTE_MAX_BLOCK_SIZE", false, false);
    if (0 == sgteMaxBlockSize)
    {
        QARNO_THROW(Exception, "Parameter SGTE_MAX_BLOCK_SIZE must be positive");
    }

    // A block never holds more points than the surrogate budget allows. A
    // budget of 0 would make the block size 0, which no evaluation loop can
    // take: refuse it here, where the user can tell its cause.
    const size_t maxSgteEval = getSpValue<size_t>("MAX_SGTE_EVAL", false, false);
    if (0 == maxSgteEval)
    {
        QARNO_THROW(Exception, "Parameter MAX_SGTE_EVAL must be positive");
    }
    if (maxSgteEval < sgteMaxBlockSize)
    {
        setSpValueDefault<size_t>("SGTE_MAX_BLOCK_SIZE", maxSgteEval);
    }

    _toBeChecked = false;
}

} // namespace QARNO_4_0_0
