#ifndef QARNO_ALGOS_SUBPROBLEM_HPP
#define QARNO_ALGOS_SUBPROBLEM_HPP

#include <cstddef>
#include <memory>

#include "Math/Point.hpp"
#include "Type/ListOfVariableGroup.hpp"

namespace QARNO_4_0_0
{

class PbParameters;

/// The problem restricted to the variables that are not fixed.
///
/// The fixed variable is a point of the full space of the whole problem:
/// defined coordinates are fixed values, undefined ones are free. The fixed
/// variables of nested algorithms accumulate in it, while the reduced
/// problem parameters describe the free coordinates only.
///
///     // 5 variables, 1 and 3 fixed in the reference FIXED_VARIABLE
///     Subproblem sub(pb, Point(5));
///     sub.getDimension();                      // 3
///     sub.getPbParams()->...("X0")             // (x0, x2, x4)
class Subproblem
{
public:
    Subproblem(const std::shared_ptr<PbParameters>& refPbParams, const Point& fixedVariable);
    virtual ~Subproblem();
    Subproblem(const Subproblem&) = default;
    Subproblem& operator=(const Subproblem&) = default;

    const Point& getFixedVariable() const { return _fixedVariable; }
    size_t getDimension() const { return _dimension; }
    const std::shared_ptr<PbParameters>& getPbParams() const { return _subPbParams; }

    /// Rewrites the groups for the sub-space: indices of fixed variables are
    /// dropped, the others renumbered among the free ones, and groups left
    /// empty removed.
    void resetVariableGroupsAgainstFixedVariables(ListOfVariableGroup& groups,
                                                  const Point& fixedVariable) const;

    /// Drops the parameters kept from the last sub-problem made (the process
    /// reset), so that a finished run holds none of its sets.
    static void forgetLastParameters();
    /// Whether parameters of a sub-problem made earlier are kept.
    static bool keepsLastParameters();

private:
    void init();
    void setupProblemParameters();
    /// A new copy of the reference parameters, reduced to the sub-space.
    void makeProblemParameters();
    /// The fixed variable completed with the reference's own fixed values.
    void completeFixedVariable();

    Point _fixedVariable;
    size_t _dimension;
    std::shared_ptr<PbParameters> _refPbParams;
    std::shared_ptr<PbParameters> _subPbParams;
};

} // namespace QARNO_4_0_0

#endif
