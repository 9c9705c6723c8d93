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

/// A step of type Base that counts the reads of its name: a message built
/// below its display level shows as a read.
template <class Base> class NameCounting : public Base
{
public:
    using Base::Base;
    mutable size_t nameReads = 0;
    const std::string& getName() const override
    {
        ++nameReads;
        return Base::getName();
    }
};

/// Problem parameters of the given dimension with X0 all ones, checked
/// (their warnings swallowed).
std::shared_ptr<QARNO_4_0_0::PbParameters> makeCheckedPbParams(size_t dimension);

/// Run parameters checked against `makeCheckedPbParams(dimension)`; the two
/// booleans set GENERATE_ALL_POINTS_BEFORE_EVAL and
/// HOT_RESTART_ON_USER_INTERRUPT.
std::shared_ptr<QARNO_4_0_0::RunParameters> makeCheckedRunParams(size_t dimension,
                                                                 bool generateAllPointsBeforeEval,
                                                                 bool hotRestartOnUserInterrupt);

/// Run parameters of dimension 2, checked, with USER_CALLS_ENABLED and
/// MAX_ITERATION_PER_MEGAITERATION as given.
std::shared_ptr<QARNO_4_0_0::RunParameters> makeIterationRunParams(bool userCallsEnabled,
                                                                   size_t maxIterPerMega = 10);

/// Checked run parameters for a problem of that dimension with the
/// hot-restart flags and file given (an absolute file name, or empty to keep
/// the default).
std::shared_ptr<QARNO_4_0_0::RunParameters>
makeHotRestartRunParams(size_t dimension, bool readFiles, bool writeFiles,
                        const std::string& hotRestartFile);

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

/// A `FixedMesh` that scales and projects: coordinate scaling gives
/// δ_i × round(ρ_i × l); a point goes to the nearest multiple of δ_i, counted
/// from the centre when the centre is itself off the mesh.
class PollMesh : public FixedMesh
{
public:
    using FixedMesh::FixedMesh;
    using FixedMesh::scaleAndProjectOnMesh;

    QARNO_4_0_0::Double scaleAndProjectOnMesh(size_t i,
                                              const QARNO_4_0_0::Double& l) const override;
    QARNO_4_0_0::Point projectOnMesh(const QARNO_4_0_0::Point& point,
                                     const QARNO_4_0_0::Point& frameCenter) const override;
};

/// A `FixedMesh` that also projects: each coordinate goes to the nearest
/// frame centre + k δ.
class ProjectingMesh : public FixedMesh
{
public:
    using FixedMesh::FixedMesh;
    QARNO_4_0_0::Point projectOnMesh(const QARNO_4_0_0::Point& point,
                                     const QARNO_4_0_0::Point& frameCenter) const override;
};

} // namespace QarnoTest

#endif
