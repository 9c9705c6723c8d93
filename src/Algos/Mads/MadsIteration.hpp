#ifndef QARNO_ALGOS_MADS_MADSITERATION_HPP
#define QARNO_ALGOS_MADS_MADSITERATION_HPP

#include <cstddef>
#include <memory>

#include "Algos/Iteration.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

/// One MADS iteration around one frame centre: the search step, then the
/// poll unless the search reached a full success or the run must stop. The
/// point generators below it read its frame centre and mesh through the
/// step tree.
class MadsIteration : public Iteration
{
public:
    MadsIteration(const Step* parentStep, const std::shared_ptr<EvalPoint>& frameCenter, size_t k,
                  const std::shared_ptr<MeshBase>& mesh);
    ~MadsIteration() override;

    std::shared_ptr<MeshBase> getMesh() const override { return _mesh; }
    std::shared_ptr<EvalPoint> getFrameCenter() const override { return _frameCenter; }

    /// Best success type of the search and the poll of the last run.
    SuccessType getSuccessType() const { return _success; }

    /// True for the iteration around the mega-iteration's first incumbent,
    /// on its main mesh and numbered with its k.
    bool isMainIteration() const override;

protected:
    void init() {}

    void startImp() override {}
    /// True when the search or the poll reached a full success; a partial
    /// success is only recorded.
    bool runImp() override;

    std::shared_ptr<EvalPoint> _frameCenter;
    std::shared_ptr<MeshBase> _mesh;
    SuccessType _success;
};

} // namespace QARNO_4_0_0

#endif
