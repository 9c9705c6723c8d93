#ifndef QARNO_ALGOS_MADS_MEGASEARCHPOLL_HPP
#define QARNO_ALGOS_MADS_MEGASEARCHPOLL_HPP

#include <map>
#include <memory>

#include "Algos/IterationUtils.hpp"
#include "Algos/Step.hpp"
#include "Eval/EvalPoint.hpp"

namespace QARNO_4_0_0
{

class MadsIteration;

/// The step that gathers the search and poll points of every iteration of a
/// MADS mega-iteration (GENERATE_ALL_POINTS_BEFORE_EVAL), evaluates them as
/// one block and merges the results into the mega-iteration's barrier.
///
///     MegaSearchPoll megaSearchPoll(&madsMegaIteration);
///     megaSearchPoll.start();  // gathers
///     megaSearchPoll.run();    // evaluates
///     megaSearchPoll.end();    // post-processes
///
/// It is not below an iteration, so it tells the evaluation layer which
/// iteration generated each point: the first iteration, in list order, that
/// proposed it, and within one iteration the search before the poll.
class MegaSearchPoll : public Step, public IterationUtils
{
public:
    /// Child of a `MadsMegaIteration`; any other mega-iteration above is
    /// refused.
    explicit MegaSearchPoll(const Step* parentStep);
    ~MegaSearchPoll() override;

    /// The iteration that generated `point` (sub-space); null when none did.
    virtual const Step* getIterForPoint(const EvalPoint& point) const;

    /// The search then the poll points of every iteration, once each.
    void generateTrialPoints() override;

protected:
    /// For steps that answer `getIterForPoint` by other means and gather
    /// nothing: no mega-iteration is required above them.
    struct NoGathering
    {
    };
    MegaSearchPoll(const Step* parentStep, NoGathering);

    void init();

    void startImp() override;
    /// True on a partial or full success of the evaluation.
    bool runImp() override;
    void endImp() override;

private:
    // The iterations stay in the mega-iteration's list for the life of this
    // step: the points of one iteration all share its pointer.
    std::map<EvalPoint, std::shared_ptr<MadsIteration>, EvalPointCompare> _iterForPoint;
};

} // namespace QARNO_4_0_0

#endif
