#ifndef QARNO_ALGOS_MADS_MEGASEARCHPOLL_HPP
#define QARNO_ALGOS_MADS_MEGASEARCHPOLL_HPP

#include "Algos/Step.hpp"

namespace QARNO_4_0_0
{

class EvalPoint;

/// The step that gathers the search and poll points of every iteration of a
/// mega-iteration and evaluates them together; it is not below an
/// iteration, so it tells which iteration generated each point.
class MegaSearchPoll : public Step
{
public:
    using Step::Step;
    ~MegaSearchPoll() override;

    /// The iteration that generated `point` (sub-space); null when none did.
    virtual const Step* getIterForPoint(const EvalPoint& point) const = 0;
};

} // namespace QARNO_4_0_0

#endif
