#ifndef QARNO_ALGOS_MADS_POLL_HPP
#define QARNO_ALGOS_MADS_POLL_HPP

#include <memory>

#include "Algos/IterationUtils.hpp"
#include "Algos/Step.hpp"

namespace QARNO_4_0_0
{

class PollMethodBase;

/// The poll of one MADS iteration. It owns the poll method that
/// DIRECTION_TYPE names and hands it the work.
///
/// Evaluating mode (GENERATE_ALL_POINTS_BEFORE_EVAL false):
///     Poll poll(iteration);
///     poll.start(); const bool fullSuccess = poll.run(); poll.end();
///     poll.getSuccessType();   // also PARTIAL_SUCCESS
/// Gather mode (true): `generateTrialPoints()`, then `getTrialPoints()`; the
/// caller evaluates them.
class Poll : public Step, public IterationUtils
{
public:
    /// A child step of the iteration; throws when DIRECTION_TYPE has no poll
    /// method.
    explicit Poll(const Step* parentStep);
    ~Poll() override;

    /// Gather mode only: the poll method's trial points, copied into the
    /// Poll's own set.
    void generateTrialPoints() override;

    const std::shared_ptr<PollMethodBase>& getPollMethod() const { return _pollMethod; }

protected:
    /// Names the step "Poll" and creates the poll method of DIRECTION_TYPE.
    void init();

    void startImp() override;
    /// Runs the poll method; true on a full success.
    bool runImp() override;
    void endImp() override;

private:
    std::shared_ptr<PollMethodBase> _pollMethod;
};

} // namespace QARNO_4_0_0

#endif
