#ifndef QARNO_TESTS_SUPPORT_ITERATIONSUPPORT_HPP
#define QARNO_TESTS_SUPPORT_ITERATIONSUPPORT_HPP

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "Algos/Algorithm.hpp"
#include "Algos/Initialization.hpp"
#include "Algos/Iteration.hpp"
#include "Algos/MegaIteration.hpp"
#include "Param/RunParameters.hpp"

namespace QarnoTest
{

/// Run parameters of dimension 2, checked, with USER_CALLS_ENABLED and
/// MAX_ITERATION_PER_MEGAITERATION as given.
std::shared_ptr<QARNO_4_0_0::RunParameters> makeIterationRunParams(bool userCallsEnabled,
                                                                   size_t maxIterPerMega = 10);

/// An algorithm with its own stop reasons and the given run parameters
/// (checked problem parameters of dimension 2), so that the steps below it
/// can read them.
class ParamAlgorithm : public QARNO_4_0_0::Algorithm
{
public:
    ParamAlgorithm(const QARNO_4_0_0::Step* parent, const std::string& name,
                   const std::shared_ptr<QARNO_4_0_0::RunParameters>& runParams);

    void readInformationForHotRestart() override {}

protected:
    void startImp() override {}
    bool runImp() override { return true; }
    void endImp() override {}
};

/// An initialization that records its run and then holds `barrierToBuild`.
class RecordingInitialization : public QARNO_4_0_0::Initialization
{
public:
    explicit RecordingInitialization(const QARNO_4_0_0::Step* parent);

    std::vector<std::string> calls;
    std::shared_ptr<QARNO_4_0_0::Barrier> barrierToBuild;

protected:
    bool runImp() override;
};

/// An iteration that records start and run; its end is the base one. Mesh
/// and frame centre are those given, when given.
class RecordingIteration : public QARNO_4_0_0::Iteration
{
public:
    RecordingIteration(const QARNO_4_0_0::Step* parent, size_t k,
                       std::shared_ptr<QARNO_4_0_0::MeshBase> mesh = nullptr,
                       std::shared_ptr<QARNO_4_0_0::EvalPoint> frameCenter = nullptr);

    std::shared_ptr<QARNO_4_0_0::MeshBase> getMesh() const override;
    std::shared_ptr<QARNO_4_0_0::EvalPoint> getFrameCenter() const override;

    std::vector<std::string> calls;

protected:
    void startImp() override;
    bool runImp() override;

private:
    std::shared_ptr<QARNO_4_0_0::MeshBase> _mesh;
    std::shared_ptr<QARNO_4_0_0::EvalPoint> _frameCenter;
};

/// A mega-iteration whose run takes `iterationsToRun` `RecordingIteration`s
/// through start, run and end, numbered from its k, and keeps them.
class RecordingMegaIteration : public QARNO_4_0_0::MegaIteration
{
public:
    RecordingMegaIteration(const QARNO_4_0_0::Step* parent, size_t k,
                           std::shared_ptr<QARNO_4_0_0::Barrier> barrier);

    size_t iterationsToRun = 0;
    std::vector<std::string> calls;
    /// The names of the iterations run.
    std::vector<std::string> iterationNames;

protected:
    void startImp() override;
    bool runImp() override;
};

} // namespace QarnoTest

#endif
