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
#include "support/StepSupport.hpp"
#include "support/StepTree.hpp"

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

/// The frame under which a Nelder-Mead step is built in tests (a
/// `StepTree`): main step > "NM" algorithm (Nelder-Mead stop reasons, checked
/// parameters of that dimension) > mega-iteration 0 on the barrier given (none
/// by default) > iteration 0 owning Y. Hold a ProcessStateGuard
/// around it.
///
///     StepTree frame(nmStepTree(2, makeSimplex({...})));
///     MyNMStep step(&frame.iteration);
StepTreeOptions nmStepTree(size_t dimension,
                           QARNO_4_0_0::NMSimplexPtr Y = std::make_shared<QARNO_4_0_0::NMSimplex>(),
                           std::shared_ptr<QARNO_4_0_0::Barrier> barrier = nullptr);

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
