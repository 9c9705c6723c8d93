#ifndef QARNO_TESTS_SUPPORT_NMSUPPORT_HPP
#define QARNO_TESTS_SUPPORT_NMSUPPORT_HPP

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "Algos/Algorithm.hpp"
#include "Algos/NelderMead/NMSimplex.hpp"
#include "Algos/NelderMead/NMSimplexInsertion.hpp"
#include "Algos/NelderMead/NMStepType.hpp"
#include "Algos/Step.hpp"
#include "Eval/EvalPoint.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "StepSupport.hpp"

namespace QarnoTest
{

/// A point with a blackbox evaluation EVAL_OK of the given f and h
/// (`makeEvalPoint`) and the given tag.
QARNO_4_0_0::EvalPoint makeNMPoint(const std::vector<double>& coords, double f, double h,
                                   size_t tag);

/// A simplex holding the given points, inserted in the given order (each
/// insertion must be accepted).
QARNO_4_0_0::NMSimplexPtr makeSimplex(const std::vector<QARNO_4_0_0::EvalPoint>& points);

/// The tags of the points of Y, in Y's order.
std::vector<size_t> tagsOf(const QARNO_4_0_0::NMSimplex& Y);

/// An algorithm named "NM" with Nelder-Mead stop reasons
/// (`AlgoStopReasons<NMStopType>`) and the given parameter sets (checked ones
/// of dimension 2 when none are given); start, run and end do nothing.
class FakeNMAlgorithm : public QARNO_4_0_0::Algorithm
{
public:
    explicit FakeNMAlgorithm(const QARNO_4_0_0::Step* parent);
    FakeNMAlgorithm(const QARNO_4_0_0::Step* parent,
                    const std::shared_ptr<QARNO_4_0_0::RunParameters>& runParams,
                    const std::shared_ptr<QARNO_4_0_0::PbParameters>& pbParams);

    void readInformationForHotRestart() override {}

    /// The Nelder-Mead stop reason, as text ("Started", "Unknown step"...).
    std::string nmStopReasonText() const;

protected:
    void startImp() override {}
    bool runImp() override { return true; }
    void endImp() override {}
};

/// An iteration (`FakeIteration`: mesh and frame centre as given) that owns
/// a simplex, as the Nelder-Mead iteration does for the steps below it.
class FakeNMIteration : public FakeIteration, public QARNO_4_0_0::NMSimplexOwner
{
public:
    FakeNMIteration(const QARNO_4_0_0::Step* parent,
                    QARNO_4_0_0::NMSimplexPtr Y = std::make_shared<QARNO_4_0_0::NMSimplex>(),
                    std::shared_ptr<QARNO_4_0_0::MeshBase> mesh = nullptr,
                    std::shared_ptr<QARNO_4_0_0::EvalPoint> frameCenter = nullptr);

    const QARNO_4_0_0::NMSimplexPtr& getY() const override { return _Y; }

private:
    QARNO_4_0_0::NMSimplexPtr _Y;
};

/// main step -> "NM" algorithm -> mega-iteration with the barrier given (none
/// by default) -> iteration owning Y: the frame under which a Nelder-Mead
/// step is built in tests. Hold a ProcessStateGuard around it.
///
///     NMStepFrame frame(2);
///     frame.Y = makeSimplex({...});    // or fill frame.iteration.getY()
///     MyNMStep step(&frame.iteration);
struct NMStepFrame
{
    explicit NMStepFrame(size_t dimension,
                         QARNO_4_0_0::NMSimplexPtr Y = std::make_shared<QARNO_4_0_0::NMSimplex>(),
                         std::shared_ptr<QARNO_4_0_0::Barrier> barrier = nullptr);

    RecordingStep mainStep;
    FakeNMAlgorithm algo;
    FakeMegaIteration megaIteration;
    FakeNMIteration iteration;
};

/// A Nelder-Mead step that generates nothing: it carries the simplex
/// operations (characteristics, dominance lists, insertions) of a step built
/// under `parent`, with the rank tolerance and step kind settable.
class NMUtilsStep : public QARNO_4_0_0::Step, public QARNO_4_0_0::NMSimplexInsertion
{
public:
    explicit NMUtilsStep(const QARNO_4_0_0::Step* parent);

    void setRankTolerance(double tolerance) { _rankTolerance = tolerance; }
    void setStepType(QARNO_4_0_0::NMStepType stepType) { _stepType = stepType; }

protected:
    void startImp() override {}
    bool runImp() override { return true; }
    void endImp() override {}
    void generateTrialPoints() override {}
};

} // namespace QarnoTest

#endif
