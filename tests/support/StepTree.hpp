#ifndef QARNO_TESTS_SUPPORT_STEPTREE_HPP
#define QARNO_TESTS_SUPPORT_STEPTREE_HPP

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/Algorithm.hpp"
#include "Algos/Initialization.hpp"
#include "Algos/Iteration.hpp"
#include "Algos/MegaIteration.hpp"
#include "Algos/MeshBase.hpp"
#include "Algos/NelderMead/NMSimplex.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvalPoint.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Type/DirectionType.hpp"
#include "Type/ListOfVariableGroup.hpp"
#include "Util/AllStopReasons.hpp"
#include "support/StepSupport.hpp"

namespace QarnoTest
{

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

/// The iteration of the tests: a real `Iteration` (number k, the name the
/// library gives it) with the mesh, frame centre and simplex given. It
/// records start and run; its end is the library's. With no simplex it
/// still answers the simplex look-up of the Nelder-Mead steps, with none,
/// which is what a step finds under a MADS iteration.
class TestIteration : public QARNO_4_0_0::Iteration, public QARNO_4_0_0::NMSimplexOwner
{
public:
    TestIteration(const QARNO_4_0_0::Step* parent, size_t k,
                  std::shared_ptr<QARNO_4_0_0::MeshBase> mesh = nullptr,
                  std::shared_ptr<QARNO_4_0_0::EvalPoint> frameCenter = nullptr,
                  QARNO_4_0_0::NMSimplexPtr Y = nullptr);

    std::shared_ptr<QARNO_4_0_0::MeshBase> getMesh() const override { return _mesh; }
    std::shared_ptr<QARNO_4_0_0::EvalPoint> getFrameCenter() const override { return _frameCenter; }
    const QARNO_4_0_0::NMSimplexPtr& getY() const override { return _Y; }

    std::vector<std::string> calls;

protected:
    void startImp() override;
    bool runImp() override;

private:
    std::shared_ptr<QARNO_4_0_0::MeshBase> _mesh;
    std::shared_ptr<QARNO_4_0_0::EvalPoint> _frameCenter;
    QARNO_4_0_0::NMSimplexPtr _Y;
};

/// The mega-iteration of the tests: it records start and run, takes
/// `iterationsToRun` `TestIteration`s (numbered from its k) through start,
/// run and end and keeps them, then leaves `successToReach` as its success
/// (when it is set) and answers `runResult`. With `allowNoBarrier` it may
/// hold no barrier, which the library's mega-iterations refuse.
class TestMegaIteration : public QARNO_4_0_0::MegaIteration
{
public:
    TestMegaIteration(const QARNO_4_0_0::Step* parent, size_t k,
                      std::shared_ptr<QARNO_4_0_0::Barrier> barrier, bool allowNoBarrier = false);

    size_t iterationsToRun = 0;
    bool runResult = true;
    QARNO_4_0_0::SuccessType successToReach = QARNO_4_0_0::SuccessType::NOT_EVALUATED;
    std::vector<std::string> calls;
    /// The names of the iterations run.
    std::vector<std::string> iterationNames;

protected:
    void startImp() override;
    bool runImp() override;
};

/// The algorithm of the tests, on the library's frame (comment stack,
/// sub-problem registration). It takes the parameter sets given (null ones
/// go to the library as they are), or without them its parent's, else
/// checked ones of dimension 2; and the stop reasons given
/// (`newMadsStopReasons()`...), else plain ones.
///
/// - By default its start, run and end do nothing, and its barrier look-up
///   answers `currentBarrier` when set, else its mega-iteration's.
/// - With `libraryRun`, start and end are those of `Algorithm`: its
///   initialization is a `RecordingInitialization` (set `barrierToBuild` to
///   give the run a first barrier), and with HOT_RESTART_READ_FILES and a
///   readable HOT_RESTART_FILE an empty `TestMegaIteration` (k 0, a fresh
///   barrier taken from the cache) becomes the current one and the file is
///   read into the algorithm, as MADS does without a mesh. Its run goes from
///   that mega-iteration, or else from the initialization's barrier, through
///   up to `megaIterationsToRun` `TestMegaIteration`s while `terminate(k)`
///   says go on; each answers `megaRunResult` and reaches `megaSuccess`, and
///   the algorithm keeps the best success and whether any run succeeded, as
///   Nelder-Mead does. No barrier: no mega-iteration.
///
///     TestAlgorithm algo(&main, "Test Algorithm", runParams, pbParams);
///     algo.libraryRun = true;
///     algo.initialization().barrierToBuild = barrier;
///     algo.start(); algo.run(); algo.end();
class TestAlgorithm : public QARNO_4_0_0::Algorithm
{
public:
    explicit TestAlgorithm(const QARNO_4_0_0::Step* parent,
                           const std::string& name = "Test Algorithm");
    TestAlgorithm(const QARNO_4_0_0::Step* parent, const std::string& name,
                  const std::shared_ptr<QARNO_4_0_0::RunParameters>& runParams,
                  const std::shared_ptr<QARNO_4_0_0::PbParameters>& pbParams,
                  std::shared_ptr<QARNO_4_0_0::AllStopReasons> stopReasons = nullptr);

    RecordingInitialization& initialization() const;

    void readInformationForHotRestart() override;

    bool libraryRun = false;
    std::shared_ptr<QARNO_4_0_0::Barrier> currentBarrier;
    /// Calls of readInformationForHotRestart.
    size_t hotRestartReads = 0;
    size_t megaIterationsToRun = 1;
    bool megaRunResult = false;
    QARNO_4_0_0::SuccessType megaSuccess = QARNO_4_0_0::SuccessType::NOT_EVALUATED;

protected:
    void startImp() override;
    bool runImp() override;
    void endImp() override;
    std::shared_ptr<QARNO_4_0_0::Barrier> ownMegaIterationBarrier() const override;
};

/// New stop reasons of the algorithm families, for `TestAlgorithm`.
std::shared_ptr<QARNO_4_0_0::AllStopReasons> newMadsStopReasons();
std::shared_ptr<QARNO_4_0_0::AllStopReasons> newNMStopReasons();

/// The family stop reasons of a step.
std::shared_ptr<QARNO_4_0_0::AlgoStopReasons<QARNO_4_0_0::MadsStopType>>
madsStopReasons(const QARNO_4_0_0::Step& step);
/// The Nelder-Mead stop reason of a step, as text ("Started"...).
std::string nmStopReasonText(const QARNO_4_0_0::Step& step);

/// What a step tree is made of. Every piece has a default; the factories
/// put real steps of a family in place of the test ones.
struct StepTreeOptions
{
    // Problem parameters, unless `pbParams` is given: DIMENSION `dimension`,
    // X0 `x0` (all ones when empty), the bounds when not empty (NaN leaves
    // a bound out), DIRECTION_TYPE when set, VARIABLE_GROUP when not empty,
    // and what `setPb` sets.
    size_t dimension = 2;
    std::vector<double> x0;
    std::vector<double> lowerBound;
    std::vector<double> upperBound;
    std::optional<QARNO_4_0_0::DirectionType> directionType;
    QARNO_4_0_0::ListOfVariableGroup variableGroups;
    std::function<void(QARNO_4_0_0::PbParameters&)> setPb;
    std::shared_ptr<QARNO_4_0_0::PbParameters> pbParams;
    // Run parameters, unless `runParams` is given: `setRun` applied, then
    // checked against the problem.
    std::function<void(QARNO_4_0_0::RunParameters&)> setRun;
    std::shared_ptr<QARNO_4_0_0::RunParameters> runParams;

    std::string rootName = "Main";

    // The algorithm: a `TestAlgorithm` of that name and stop reasons, or
    // what `makeAlgorithm` builds.
    std::string algorithmName = "MADS";
    std::shared_ptr<QARNO_4_0_0::AllStopReasons> stopReasons;
    std::function<std::unique_ptr<QARNO_4_0_0::Algorithm>(
        const QARNO_4_0_0::Step* parent, const std::shared_ptr<QARNO_4_0_0::RunParameters>&,
        const std::shared_ptr<QARNO_4_0_0::PbParameters>&)>
        makeAlgorithm;

    // The mega-iteration, k `megaK`: on `barrier`, else on none with
    // `withoutBarrier`, else on a barrier of the cache (started for one
    // objective when there is none) and `barrierPoints`; its references set
    // when `setBarrierReferences` (as the update of a MADS mega-iteration
    // does). A `TestMegaIteration`, or what `makeMegaIteration` builds.
    size_t megaK = 1;
    std::shared_ptr<QARNO_4_0_0::Barrier> barrier;
    bool withoutBarrier = false;
    std::vector<QARNO_4_0_0::EvalPoint> barrierPoints;
    bool setBarrierReferences = false;
    std::function<std::unique_ptr<QARNO_4_0_0::MegaIteration>(
        const QARNO_4_0_0::Step* parent, size_t k, std::shared_ptr<QARNO_4_0_0::Barrier>)>
        makeMegaIteration;

    // The iteration, k `k`: mesh `mesh`, else a `PollMesh` of the sizes
    // given (none when both are empty); the frame centre and the simplex. A
    // `TestIteration`, or what `makeIteration` builds; none without
    // `withIteration` (a mega-iteration that makes its own).
    bool withIteration = true;
    size_t k = 1;
    std::shared_ptr<QARNO_4_0_0::MeshBase> mesh;
    std::vector<double> meshSize;
    std::vector<double> frameSize;
    std::shared_ptr<QARNO_4_0_0::EvalPoint> frameCenter;
    QARNO_4_0_0::NMSimplexPtr simplex;
    std::function<std::unique_ptr<QARNO_4_0_0::Step>(const QARNO_4_0_0::Step* parent, size_t k,
                                                     std::shared_ptr<QARNO_4_0_0::EvalPoint>,
                                                     std::shared_ptr<QARNO_4_0_0::MeshBase>)>
        makeIteration;
};

/// The factory of a real Nelder-Mead iteration, for `makeIteration`.
std::function<std::unique_ptr<QARNO_4_0_0::Step>(const QARNO_4_0_0::Step*, size_t,
                                                 std::shared_ptr<QARNO_4_0_0::EvalPoint>,
                                                 std::shared_ptr<QARNO_4_0_0::MeshBase>)>
nelderMeadIteration();

/// The steps a step of an algorithm lives under: root > algorithm >
/// mega-iteration > iteration, as the options say (without an iteration,
/// `iteration` is the mega-iteration). The step under test is
/// built by the test with `&tree.iteration` (or `&tree.mega`...) as parent.
/// Hold a ProcessStateGuard around it.
///
///     StepTreeOptions options;
///     options.meshSize = {0.5, 0.25};
///     options.frameSize = {1, 2};
///     StepTree tree(options);
///     MyPoll poll(&tree.iteration);
class StepTree
{
public:
    explicit StepTree(const StepTreeOptions& options = StepTreeOptions());
    ~StepTree();
    StepTree(const StepTree&) = delete;
    StepTree& operator=(const StepTree&) = delete;

private:
    // Built in this order, and destroyed children first.
    std::unique_ptr<RecordingStep> _main;
    std::unique_ptr<QARNO_4_0_0::Algorithm> _algo;
    std::unique_ptr<QARNO_4_0_0::MegaIteration> _mega;
    std::shared_ptr<QARNO_4_0_0::MeshBase> _mesh;
    std::unique_ptr<QARNO_4_0_0::Step> _iteration;

public:
    RecordingStep& main;
    QARNO_4_0_0::Algorithm& algo;
    QARNO_4_0_0::MegaIteration& mega;
    QARNO_4_0_0::Step& iteration;
    /// The algorithm's parameters (its own copy of the problem's).
    std::shared_ptr<QARNO_4_0_0::PbParameters> pbParams;
    std::shared_ptr<QARNO_4_0_0::MeshBase> mesh;
    std::shared_ptr<QARNO_4_0_0::EvalPoint> frameCenter;

    /// The pieces as the type the test built them with.
    template <typename T> T& iterationAs() const { return dynamic_cast<T&>(iteration); }
    template <typename T> T& megaAs() const { return dynamic_cast<T&>(mega); }

    /// The simplex of the iteration.
    QARNO_4_0_0::NMSimplex& Y() const;
};

/// Checked problem parameters as the options say (the first block of
/// `StepTreeOptions`).
std::shared_ptr<QARNO_4_0_0::PbParameters> makeTreePbParams(const StepTreeOptions& options);

/// Run parameters with `set` applied (when given), checked against
/// `pbParams` (their warnings swallowed).
std::shared_ptr<QARNO_4_0_0::RunParameters>
makeRunParams(const std::shared_ptr<QARNO_4_0_0::PbParameters>& pbParams,
              const std::function<void(QARNO_4_0_0::RunParameters&)>& set = {});

} // namespace QarnoTest

#endif
