#ifndef QARNO_ALGOS_SUBPROBLEMMANAGER_HPP
#define QARNO_ALGOS_SUBPROBLEMMANAGER_HPP

#include <cstddef>
#include <map>

#include "Algos/Subproblem.hpp"

namespace QARNO_4_0_0
{

class Algorithm;
class Step;

/// The process-wide registry mapping each live algorithm to its
/// sub-problem, so that any step finds the fixed variable of the algorithm
/// it belongs to. An algorithm registers while it initialises and removes
/// its entry when it is destroyed; the main step empties the registry at the
/// start of a run.
class SubproblemManager
{
public:
    SubproblemManager() = delete;

    static void init() {}
    static void destroy() {}
    /// Empties the registry, with a warning on standard error when it was
    /// not empty (an earlier run left entries).
    static void reset();
    /// Empties the registry without a word: the state at load.
    static void clear();

    /// Throws StepException when the algorithm already has an entry.
    static void addSubproblem(const Algorithm* algo, const Subproblem& subproblem);
    /// Throws StepException when the algorithm has no entry.
    static void removeSubproblem(const Algorithm* algo);
    /// The sub-problem of the step's algorithm (the step itself or the
    /// nearest algorithm above).
    static const Subproblem& getSubproblem(const Step* step);
    static const Point& getSubFixedVariable(const Step* step);

    static size_t size() { return _map.size(); }

private:
    static std::map<const Algorithm*, const Subproblem> _map;
};

} // namespace QARNO_4_0_0

#endif
