#ifndef QARNO_ALGOS_MADS_NMSEARCHMETHOD_HPP
#define QARNO_ALGOS_MADS_NMSEARCHMETHOD_HPP

#include "Algos/Mads/SearchMethodAlgo.hpp"

namespace QARNO_4_0_0
{

/// The Nelder-Mead search of MADS (NM_SEARCH), last of the search methods.
///
/// Optimization mode (GENERATE_ALL_POINTS_BEFORE_EVAL false): `run()` runs
/// a whole Nelder-Mead algorithm as a child, on the MADS barrier, within a
/// budget of NM_SEARCH_MAX_TRIAL_PTS_NFACTOR x DIMENSION blackbox
/// evaluations (none when the factor is infinite).
///
/// Single-pass mode (true): `generateTrialPoints()` proposes the reflective
/// points of one simplex around the frame centre, unevaluated, for the mega
/// search-poll to evaluate with the other points.
class NMSearchMethod : public SearchMethodAlgo
{
public:
    explicit NMSearchMethod(const Step* parentStep);
    ~NMSearchMethod() override;

protected:
    void init();

    /// The Nelder-Mead sub-run; true when one of its mega-iterations
    /// succeeded.
    bool runImp() override;
    void generateTrialPointsImp() override;
};

} // namespace QARNO_4_0_0

#endif
