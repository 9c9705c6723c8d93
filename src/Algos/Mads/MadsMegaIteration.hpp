#ifndef QARNO_ALGOS_MADS_MADSMEGAITERATION_HPP
#define QARNO_ALGOS_MADS_MADSMEGAITERATION_HPP

#include <cstddef>
#include <istream>
#include <memory>
#include <ostream>

#include "Algos/MegaIteration.hpp"

namespace QARNO_4_0_0
{

class MeshBase;

/// One outer step of MADS. Its start updates the main mesh from the outcome
/// of the previous mega-iteration (`MadsUpdate`), tests the mesh for
/// stopping and makes one `MadsIteration` per frame centre (feasible
/// incumbents first, at most MAX_ITERATION_PER_MEGAITERATION, numbered from
/// k); its run runs them until one reaches a full success.
///
/// Barrier and main mesh are shared with the previous and next
/// mega-iterations. Its hot-restart text is "MAIN_MESH" with the mesh sizes,
/// then the base's ITERATION_COUNT and BARRIER.
class MadsMegaIteration : public MegaIteration
{
public:
    /// A null barrier is refused by the base.
    MadsMegaIteration(const Step* parentStep, size_t k, std::shared_ptr<Barrier> barrier,
                      std::shared_ptr<MeshBase> mesh, SuccessType success);
    ~MadsMegaIteration() override;

    const std::shared_ptr<MeshBase>& getMesh() const { return _mainMesh; }

    /// Token loop over "MAIN_MESH", "ITERATION_COUNT" and "BARRIER", in any
    /// order; the first other word is put back for the enclosing reader.
    void read(std::istream& is) override;
    /// "MAIN_MESH", the mesh sizes, then the base's text.
    void display(std::ostream& os) const override;

protected:
    /// MAIN_MESH: the main mesh's own reader.
    bool readOwnToken(const std::string& token, std::istream& is) override;
    void init();

    /// The start shared by the MADS-family mega-iterations: the mesh update
    /// from the last success, then the mesh stop test; false when the run
    /// must stop.
    bool updateMeshAndGoOn();

    void startImp() override;
    /// True when the best success reached is at least a partial success.
    bool runImp() override;

    std::shared_ptr<MeshBase> _mainMesh;
};

std::ostream& operator<<(std::ostream& os, const MadsMegaIteration& megaIteration);
std::istream& operator>>(std::istream& is, MadsMegaIteration& megaIteration);

} // namespace QARNO_4_0_0

#endif
