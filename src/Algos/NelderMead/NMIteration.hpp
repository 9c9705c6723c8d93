#ifndef QARNO_ALGOS_NELDERMEAD_NMITERATION_HPP
#define QARNO_ALGOS_NELDERMEAD_NMITERATION_HPP

#include <cstddef>
#include <memory>

#include "Algos/Iteration.hpp"
#include "Algos/NelderMead/NMSimplex.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

class EvalPoint;
class MeshBase;

/// One Nelder-Mead iteration. Its start updates and, while it is empty,
/// creates the simplex Y around the frame centre; its run walks the
/// reflective steps (reflect, expand, outside and inside contraction) in the
/// order their outcomes dictate, until Y has been updated or a shrink is
/// asked for, and does the shrink when Nelder-Mead runs alone (inside MADS
/// the iteration simply ends).
///
/// The iteration owns Y; every Nelder-Mead step below it works on that same
/// simplex. One object serves every run of a Nelder-Mead mega-iteration, so
/// Y and the success type carry over from one run to the next.
///
///     NMIteration iteration(&mega, frameCenter, k, mesh);   // mesh: none alone
///     iteration.start(); iteration.run(); iteration.end();
class NMIteration : public Iteration, public NMSimplexOwner
{
public:
    /// Named `getAlgoName()` + "Iteration"; success type FAILURE; Y empty.
    NMIteration(const Step* parentStep, const std::shared_ptr<EvalPoint>& frameCenter, size_t k,
                const std::shared_ptr<MeshBase>& mesh);
    ~NMIteration() override;

    std::shared_ptr<MeshBase> getMesh() const override { return _mesh; }
    std::shared_ptr<EvalPoint> getFrameCenter() const override { return _frameCenter; }
    const NMSimplexPtr& getY() const override { return _simplexY; }
    /// Before the first start: the steps work on Y instead of a simplex of
    /// their own making.
    void continueWith(const NMSimplexPtr& Y) { _simplexY = Y; }

    /// The iteration counter, which every start raises by one.
    size_t getK() const { return _nmK; }
    /// The best success reached by the steps of this object over its runs.
    SuccessType getSuccessType() const { return _success; }

protected:
    void init();

    /// Counter + 1, the update step, then the simplex creation; a creation
    /// that fails sets the Nelder-Mead stop reason INITIALIZATION_FAILED.
    void startImp() override;
    /// The reflective chain, then the shrink when asked for and Nelder-Mead
    /// runs alone. True when this run raised the success type (which the
    /// mega-iteration above then takes).
    bool runImp() override;

    // Points queued by the steps below are tagged with the current counter.
    size_t ownIterationK() const override { return _nmK; }

    // Released in the reverse order: mesh, frame centre, then Y.
    NMSimplexPtr _simplexY;
    std::shared_ptr<EvalPoint> _frameCenter;
    std::shared_ptr<MeshBase> _mesh;
    SuccessType _success;

private:
    /// `Iteration`'s k is fixed at construction; this one moves with the runs.
    size_t _nmK;
};

} // namespace QARNO_4_0_0

#endif
