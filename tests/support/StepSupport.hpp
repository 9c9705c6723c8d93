#ifndef QARNO_TESTS_SUPPORT_STEPSUPPORT_HPP
#define QARNO_TESTS_SUPPORT_STEPSUPPORT_HPP

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "Algos/Algorithm.hpp"
#include "Algos/MeshBase.hpp"
#include "Algos/Step.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"

namespace QarnoTest
{

/// Problem parameters of the given dimension with X0 all ones, checked
/// (their warnings swallowed).
std::shared_ptr<QARNO_4_0_0::PbParameters> makeCheckedPbParams(size_t dimension);

/// Run parameters checked against `makeCheckedPbParams(dimension)`; the two
/// booleans set GENERATE_ALL_POINTS_BEFORE_EVAL and
/// HOT_RESTART_ON_USER_INTERRUPT.
std::shared_ptr<QARNO_4_0_0::RunParameters> makeCheckedRunParams(size_t dimension,
                                                                 bool generateAllPointsBeforeEval,
                                                                 bool hotRestartOnUserInterrupt);

/// A step that records the calls of its life cycle in `calls` ("start",
/// "run", "end") and returns `runResult` from run().
class RecordingStep : public QARNO_4_0_0::Step
{
public:
    /// A root step.
    explicit RecordingStep(const std::string& name);
    /// A child step.
    RecordingStep(const QARNO_4_0_0::Step* parent, const std::string& name);

    std::vector<std::string> calls;
    bool runResult = true;

protected:
    void startImp() override;
    bool runImp() override;
    void endImp() override;
};

/// An algorithm on the real frame (comment stack, sub-problem registration)
/// whose start, run and end do nothing and which reads no hot-restart file.
/// It takes its parent's parameter sets, or checked ones of dimension 2 when
/// the parent has none (a bare root step), or the sets given. Its barrier
/// look-up answers `currentBarrier` when set, else its mega-iteration's.
class FakeAlgorithm : public QARNO_4_0_0::Algorithm
{
public:
    FakeAlgorithm(const QARNO_4_0_0::Step* parent, const std::string& name);
    FakeAlgorithm(const QARNO_4_0_0::Step* parent, const std::string& name,
                  const std::shared_ptr<QARNO_4_0_0::RunParameters>& runParams,
                  const std::shared_ptr<QARNO_4_0_0::PbParameters>& pbParams);

    void readInformationForHotRestart() override {}

    std::shared_ptr<QARNO_4_0_0::Barrier> currentBarrier;

protected:
    void startImp() override {}
    bool runImp() override { return true; }
    void endImp() override {}
    std::shared_ptr<QARNO_4_0_0::Barrier> ownMegaIterationBarrier() const override;
};

/// A mega-iteration with a barrier.
class FakeMegaIteration : public RecordingStep
{
public:
    FakeMegaIteration(const QARNO_4_0_0::Step* parent,
                      std::shared_ptr<QARNO_4_0_0::Barrier> barrier);

protected:
    bool isAMegaIteration() const override { return true; }
    std::shared_ptr<QARNO_4_0_0::Barrier> ownMegaIterationBarrier() const override
    {
        return _barrier;
    }

private:
    std::shared_ptr<QARNO_4_0_0::Barrier> _barrier;
};

/// An iteration with a mesh and a frame centre.
class FakeIteration : public RecordingStep
{
public:
    FakeIteration(const QARNO_4_0_0::Step* parent, std::shared_ptr<QARNO_4_0_0::MeshBase> mesh,
                  std::shared_ptr<QARNO_4_0_0::EvalPoint> frameCenter);

protected:
    bool isAnIteration() const override { return true; }
    std::shared_ptr<QARNO_4_0_0::MeshBase> ownIterationMesh() const override { return _mesh; }
    std::shared_ptr<QARNO_4_0_0::EvalPoint> ownFrameCenter() const override { return _frameCenter; }

private:
    std::shared_ptr<QARNO_4_0_0::MeshBase> _mesh;
    std::shared_ptr<QARNO_4_0_0::EvalPoint> _frameCenter;
};

/// A mesh whose sizes are what `setDeltas` last gave (δ, Δ), ρ = Δ / δ and
/// the coarser frame size 2Δ; it never moves by itself. Counts the calls of
/// the per-coordinate setDeltas.
class FixedMesh : public QARNO_4_0_0::MeshBase
{
public:
    explicit FixedMesh(const std::shared_ptr<QARNO_4_0_0::PbParameters>& pbParams);

    void updatedeltaMeshSize() override {}
    bool enlargeDeltaFrameSize(const QARNO_4_0_0::Direction&, const QARNO_4_0_0::Double&,
                               bool) override
    {
        return false;
    }
    void refineDeltaFrameSize() override {}
    void checkMeshForStopping(std::shared_ptr<QARNO_4_0_0::AllStopReasons>) const override {}

    using QARNO_4_0_0::MeshBase::getDeltaFrameSize;
    using QARNO_4_0_0::MeshBase::getDeltaFrameSizeCoarser;
    using QARNO_4_0_0::MeshBase::getdeltaMeshSize;
    using QARNO_4_0_0::MeshBase::getRho;
    using QARNO_4_0_0::MeshBase::scaleAndProjectOnMesh;
    using QARNO_4_0_0::MeshBase::setDeltas;

    QARNO_4_0_0::Double getRho(size_t i) const override;
    QARNO_4_0_0::Double getdeltaMeshSize(size_t i) const override { return _delta[i]; }
    QARNO_4_0_0::Double getDeltaFrameSize(size_t i) const override { return _Delta[i]; }
    QARNO_4_0_0::Double getDeltaFrameSizeCoarser(size_t i) const override;
    void setDeltas(size_t i, const QARNO_4_0_0::Double& deltaMeshSize,
                   const QARNO_4_0_0::Double& deltaFrameSize) override;
    QARNO_4_0_0::Double scaleAndProjectOnMesh(size_t i,
                                              const QARNO_4_0_0::Double& l) const override;

    size_t setDeltasCalls = 0;

private:
    QARNO_4_0_0::ArrayOfDouble _delta;
    QARNO_4_0_0::ArrayOfDouble _Delta;
};

} // namespace QarnoTest

#endif
