#ifndef QARNO_ALGOS_MADS_SEARCH_HPP
#define QARNO_ALGOS_MADS_SEARCH_HPP

#include <memory>
#include <vector>

#include "Algos/IterationUtils.hpp"
#include "Algos/Step.hpp"

namespace QARNO_4_0_0
{

class SearchMethodBase;

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
