#ifndef QARNO_TESTS_SUPPORT_GATHERINGSUPPORT_HPP
#define QARNO_TESTS_SUPPORT_GATHERINGSUPPORT_HPP

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "Algos/Mads/MadsMegaIteration.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvalPoint.hpp"
#include "support/EvcSupport.hpp"
#include "support/MadsSupport.hpp"
#include "support/StepSupport.hpp"
#include "support/StepTree.hpp"

namespace QarnoTest
{

/// One blackbox evaluation as the evaluator saw it.
struct SeenEvaluation
{
    std::vector<double> coords;
    /// Name of the step that queued the point.
    std::string genStep;
    /// Number k of the iteration the point was credited to.
    size_t k = 0;
    /// The lap budget of the main thread while the point was evaluated.
    size_t lapMaxBbEval = 0;
    /// The lap counter of the main thread when the point was evaluated.
    size_t lapBbEval = 0;
    /// Index of the evaluator block that held the point.
    size_t block = 0;
};

/// Wraps `evaluator` so that every point it evaluates is recorded in `seen`.
void recordEvaluations(FunctionEvaluator& evaluator, std::vector<SeenEvaluation>& seen);

/// True for the points of a Nelder-Mead sub-run or single pass.
bool fromNelderMead(const SeenEvaluation& evaluation);

/// Index of the first evaluation after `from` whose step name holds
/// `text`; seen.size() when there is none.
size_t firstAfter(const std::vector<SeenEvaluation>& seen, size_t from, const std::string& text);

/// A MADS mega-iteration in dimension 2 whose barrier holds the equally
/// good feasible points `incumbents`, started, so that it has one iteration
/// per incumbent; the cache holds them and `cached` besides. The steps are a
/// `StepTree` of a Mads (`checkedMadsParameters` with the lines given) and
/// the mega-iteration, which makes its own iterations. The evaluator (f = x0)
/// takes blocks of up to 100 points. Hold a ProcessStateGuard around it.
struct GatheringTree
{
    GatheringTree(const std::vector<std::string>& lines,
                  const std::vector<QARNO_4_0_0::EvalPoint>& incumbents,
                  const std::vector<QARNO_4_0_0::EvalPoint>& cached);
    GatheringTree(const GatheringTree&) = delete;
    GatheringTree& operator=(const GatheringTree&) = delete;

    EvcHarness run;
    StepTree steps;
    QARNO_4_0_0::MadsMegaIteration& mega;
};

/// Two feasible incumbents, (0 0) and (0.1 0), both with f = 1: close
/// enough that the Nelder-Mead simplex around each is built from the same
/// cached points.
std::vector<QARNO_4_0_0::EvalPoint> twoIncumbents();
/// Two worse feasible points next to them, (0 0.1) and (0.1 0.1).
std::vector<QARNO_4_0_0::EvalPoint> neighbours();

} // namespace QarnoTest

#endif
