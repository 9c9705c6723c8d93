#ifndef QARNO_ALGOS_PSDMADS_PSDMADSMEGAITERATION_HPP
#define QARNO_ALGOS_PSDMADS_PSDMADSMEGAITERATION_HPP

#include <cstddef>
#include <memory>

#include "Algos/Mads/MadsMegaIteration.hpp"
#include "Math/Point.hpp"

namespace QARNO_4_0_0
{

class Mads;

/// One sub-run of PSD-MADS: builds one `Mads` on a sub-problem, runs it and
/// answers whether it found a full success. On main thread 0 (the pollster)
/// the sub-run works on all the variables with one direction, no search and
/// one blackbox evaluation; on the other threads (workers) it works on the
/// free (undefined) coordinates of the fixed-variable point, from x0, with
/// frame sizes taken from the shared main mesh.
///
///     PSDMadsMegaIteration mi(psd, k, barrier, mesh, success, x0, fixed);
///     mi.start(); if (mi.run()) { use mi.getMads(); } mi.end();
///
/// The mesh is only read here.
class PSDMadsMegaIteration : public MadsMegaIteration
{
public:
    PSDMadsMegaIteration(const Step* parentStep, size_t k, std::shared_ptr<Barrier> barrier,
                         std::shared_ptr<MeshBase> mesh, SuccessType success, const Point& x0,
                         const Point& fixedVariable);
    ~PSDMadsMegaIteration() override;

    /// Writes the role's keywords into the two copies and checks them; sets
    /// the calling main thread's sub-run budget.
    void setupSubproblemParams(std::shared_ptr<PbParameters>& pbParams,
                               std::shared_ptr<RunParameters>& runParams, bool isPollster);

    const std::shared_ptr<Mads>& getMads() const { return _madsOnSubproblem; }

protected:
    void startImp() override;
    /// True when the sub-run found a full success.
    bool runImp() override;

private:
    std::shared_ptr<Mads> _madsOnSubproblem;
    Point _x0;
    Point _fixedVariable;
};

} // namespace QARNO_4_0_0

#endif
