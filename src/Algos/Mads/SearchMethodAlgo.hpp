#ifndef QARNO_ALGOS_MADS_SEARCHMETHODALGO_HPP
#define QARNO_ALGOS_MADS_SEARCHMETHODALGO_HPP

#include "Algos/Mads/SearchMethodBase.hpp"

namespace QARNO_4_0_0
{

/// A search method that runs a whole sub-algorithm in `run()`; its start
/// does nothing, since the sub-algorithm generates its own points.
class SearchMethodAlgo : public SearchMethodBase
{
public:
    explicit SearchMethodAlgo(const Step* parentStep);
    ~SearchMethodAlgo() override;

protected:
    void startImp() override {}
    bool runImp() override = 0;
    void generateTrialPointsImp() override = 0;
};

} // namespace QARNO_4_0_0

#endif
