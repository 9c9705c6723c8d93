#ifndef QARNO_ALGOS_SSDMADS_SSDMADS_HPP
#define QARNO_ALGOS_SSDMADS_SSDMADS_HPP

#include <memory>

#include "Algos/Algorithm.hpp"

namespace QARNO_4_0_0
{

/// Sequential space decomposition MADS ("SSD-MADS"). After a MADS
/// initialization, runs its own mega-iterations (`SSDMadsMegaIteration`):
/// each updates the main mesh, then runs one after the other a pollster
/// (all the variables, one direction, one iteration) and small `Mads` runs on
/// a few randomly drawn free variables, and merges their points into the
/// shared barrier.
///
///     auto ssd = std::make_shared<SSDMads>(parent,
///     std::make_shared<AlgoStopReasons<MadsStopType>>(),
///                                          runParams, pbParams);
///     ssd->start(); ssd->run(); ssd->end();
///
/// It never resumes from a hot-restart file.
class SSDMads : public Algorithm
{
public:
    /// The algorithm's construction, then `init()`.
    SSDMads(const Step* parentStep, std::shared_ptr<AllStopReasons> stopReasons,
            const std::shared_ptr<RunParameters>& runParams,
            const std::shared_ptr<PbParameters>& pbParams);
    ~SSDMads() override;

    /// Names the step "SSD-MADS" and installs a new `MadsInitialization`.
    void init();

    void readInformationForHotRestart() override {}

protected:
    /// The result of the last termination test: false when the run stopped
    /// before its first mega-iteration.
    bool runImp() override;
};

} // namespace QARNO_4_0_0

#endif
