#ifndef QARNO_ALGOS_LATINHYPERCUBE_LH_HPP
#define QARNO_ALGOS_LATINHYPERCUBE_LH_HPP

#include <memory>

#include "Algos/Algorithm.hpp"
#include "Algos/IterationUtils.hpp"

namespace QARNO_4_0_0
{

/// One-shot Latin-hypercube sampling of the bounded variable space: LH_EVAL
/// points drawn between LOWER_BOUND and UPPER_BOUND (both complete), each
/// evaluated once as one batch. The sample holds no more points than the
/// evaluation budgets allow (MAX_BB_EVAL 20 gives a sample of 20 points,
/// whatever LH_EVAL says). No mesh, no mega-iteration, no barrier of
/// its own; the evaluated points stay in the cache.
///
///     auto lh = std::make_shared<LH>(parent, std::make_shared<AlgoStopReasons<LHStopType>>(),
///                                    runParams, pbParams);
///     lh->start(); evc->run(); lh->run(); evc->stop(); lh->end();
///
/// Its start only draws the sample and its end does nothing: no
/// initialization step, no hot-restart file, no end-of-run report.
class LH : public Algorithm, public IterationUtils
{
public:
    LH(const Step* parentStep, std::shared_ptr<AllStopReasons> stopReasons,
       const std::shared_ptr<RunParameters>& runParams,
       const std::shared_ptr<PbParameters>& pbParams);
    ~LH() override;

    /// Names the step "Latin Hypercube Sampling"; needs a parent.
    void init();

    /// Nothing of LH is kept in the hot-restart file.
    void readInformationForHotRestart() override {}

    /// Fills the trial points with the sample. Throws on an infinite
    /// LH_EVAL or an incomplete bound.
    void generateTrialPoints() override;

protected:
    void startImp() override;
    /// Evaluates the trial points not in the cache yet; true on a partial or
    /// full success.
    bool runImp() override;
    void endImp() override {}
};

} // namespace QARNO_4_0_0

#endif
