#ifndef QARNO_ALGOS_MADS_SEARCH_HPP
#define QARNO_ALGOS_MADS_SEARCH_HPP

#include <memory>
#include <string>
#include <vector>

#include "Algos/IterationUtils.hpp"
#include "Algos/Step.hpp"

namespace QARNO_4_0_0
{

class RunParameters;
class SearchMethodBase;
class Search;

/// The MADS runs that a step runs inside itself, on a model or on a part of
/// the problem: each keeps only some of the search methods.
enum class InnerRun
{
    /// The minimisation of a quadratic model.
    QUAD_MODEL_OPTIMIZATION,
    /// The minimisation of a surrogate-model problem.
    TESKORA_MODEL_OPTIMIZATION,
    /// The pollster of the parallel space decomposition: a single poll
    /// direction around the current centre, no search at all.
    PSD_POLLSTER
};

/// One search method: the run parameter that asks for it, how it is made,
/// how an inner run switches it off, and in which inner runs it stays.
/// The inner runs keep a method only where its row says so: a method added
/// without a thought for them stays out of them.
struct SearchMethodEntry
{
    /// The run parameter that asks for the method; empty for the user
    /// search, which no parameter asks for.
    std::string keyword;
    std::shared_ptr<SearchMethodBase> (*make)(const Search* search);
    /// Sets the run parameter so that the method is not run; null when there
    /// is nothing to switch off.
    void (*switchOff)(RunParameters& runParams);
    bool inQuadModelOptimization = false;
    bool inTeskoraModelOptimization = false;
    bool inPsdPollster = false;

    /// Whether the method stays on in that inner run.
    bool runsIn(InnerRun innerRun) const;
};

/// The search phase of one MADS iteration: its child methods, always built
/// in this order: speculative, user, quadratic model, surrogate model, Latin
/// hypercube, Nelder-Mead (each enabled or not by its own parameter).
///
/// Normal mode (GENERATE_ALL_POINTS_BEFORE_EVAL false): `start()`, `run()`,
/// `end()`; run takes the enabled methods one after the other through their
/// life cycle and stops at the first full success, which it returns as true
/// (the iteration then skips the poll). `getSuccessType()` is the best
/// success of the methods run.
///
///     Search search(iteration);
///     search.start();
///     const bool fullSuccess = search.run();
///     search.end();
///
/// Gathering mode (true): `generateTrialPoints()` collects the points of
/// every enabled method into this step's trial points and evaluates nothing.
/// Each operation refuses the other mode.
class Search : public Step, public IterationUtils
{
public:
    /// Child step named "Search", below a MADS iteration; builds the methods.
    explicit Search(const Step* parentStep);
    ~Search() override;

    /// True when at least one method is enabled.
    bool isEnabled() const;

    /// Every search method, in running order: speculative, user, quadratic
    /// model, surrogate model, Latin hypercube, Nelder-Mead.
    static const std::vector<SearchMethodEntry>& methodTable();
    /// Switches off in `runParams` the methods that `innerRun` does not keep
    /// (by default those of `methodTable()`).
    static void switchOffSearchesFor(InnerRun innerRun, RunParameters& runParams,
                                     const std::vector<SearchMethodEntry>& table = methodTable());

    /// The methods, in their running order.
    const std::vector<std::shared_ptr<SearchMethodBase>>& getSearchMethods() const
    {
        return _searchMethods;
    }

    /// Gathering mode only: the points of every enabled method, once each.
    void generateTrialPoints() override;

protected:
    void init();

    void startImp() override;
    /// True when a method obtained a full success.
    bool runImp() override;
    /// Lets the evaluations go on after a method's sub-algorithm used up its
    /// own budget.
    void endImp() override;

private:
    std::vector<std::shared_ptr<SearchMethodBase>> _searchMethods;
};

} // namespace QARNO_4_0_0

#endif
