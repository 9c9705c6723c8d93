#ifndef QARNO_ALGOS_SSDMADS_SSDMADSMEGAITERATION_HPP
#define QARNO_ALGOS_SSDMADS_SSDMADSMEGAITERATION_HPP

#include <cstddef>
#include <memory>
#include <vector>

#include "Algos/Mads/MadsMegaIteration.hpp"
#include "Math/RandomPickup.hpp"

namespace QARNO_4_0_0
{

class Mads;
class Point;

/// One mega-iteration of SSD-MADS. Its start updates the main mesh from the
/// last success and builds the sub-problem `Mads` around the barrier's
/// reference best point: first a pollster on all the variables (one
/// direction, one iteration, main frame size), then runs freeing
/// SSD_MADS_NB_VAR_IN_SUBPROBLEM randomly drawn variables each. Its run runs
/// them in order and merges the points of their final barriers, in full
/// space, into the shared barrier.
///
/// Within one mega-iteration no variable is freed twice until the pick-up
/// runs out, unless SSD_MADS_RESET_VAR_PICKUP_SUBPROBLEM is set.
class SSDMadsMegaIteration : public MadsMegaIteration
{
public:
    SSDMadsMegaIteration(const Step* parentStep, size_t k, std::shared_ptr<Barrier> barrier,
                         std::shared_ptr<MeshBase> mesh, SuccessType success);
    ~SSDMadsMegaIteration() override;

    /// Writes the parameters of one sub-problem into the two copies; the
    /// caller checks them afterwards.
    void setupSubproblemParams(std::shared_ptr<PbParameters>& pbParams,
                               std::shared_ptr<RunParameters>& runParams, const Point& bestPoint,
                               bool isPollster);

    /// The sub-problem runs built by the start, in running order.
    const std::vector<std::shared_ptr<Mads>>& getMadsList() const { return _madsList; }

protected:
    void startImp() override;
    /// True when the success reached is partial or full.
    bool runImp() override;

private:
    std::vector<std::shared_ptr<Mads>> _madsList;
    RandomPickup _randomPickup;
};

} // namespace QARNO_4_0_0

#endif
