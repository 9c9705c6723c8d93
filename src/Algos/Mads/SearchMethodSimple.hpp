#ifndef QARNO_ALGOS_MADS_SEARCHMETHODSIMPLE_HPP
#define QARNO_ALGOS_MADS_SEARCHMETHODSIMPLE_HPP

#include "Algos/Mads/SearchMethodBase.hpp"

namespace QARNO_4_0_0
{

/// A search method that proposes its points in `start()` and evaluates them
/// in `run()`; both do nothing once the stop reasons say terminate.
class SearchMethodSimple : public SearchMethodBase
{
public:
    explicit SearchMethodSimple(const Step* parentStep);
    ~SearchMethodSimple() override;

protected:
    void startImp() override;
    /// True on a partial or full success of the evaluation.
    bool runImp() override;
    void generateTrialPointsImp() override = 0;
};

} // namespace QARNO_4_0_0

#endif
