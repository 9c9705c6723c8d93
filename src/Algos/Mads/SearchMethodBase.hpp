#ifndef QARNO_ALGOS_MADS_SEARCHMETHODBASE_HPP
#define QARNO_ALGOS_MADS_SEARCHMETHODBASE_HPP

#include "Algos/IterationUtils.hpp"
#include "Algos/Step.hpp"

namespace QARNO_4_0_0
{

/// A search method of MADS: a step that generates trial points. An
/// algorithm run as a search method (Nelder-Mead, for one) hands its best
/// success to it at its end.
class SearchMethodBase : public Step, public IterationUtils
{
public:
    explicit SearchMethodBase(const Step* parentStep);
    ~SearchMethodBase() override;
};

} // namespace QARNO_4_0_0

#endif
