#ifndef QARNO_TESTS_SUPPORT_SEARCHSUPPORT_HPP
#define QARNO_TESTS_SUPPORT_SEARCHSUPPORT_HPP

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Algos/MeshBase.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvalPoint.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "support/EvcSupport.hpp"
#include "support/StepSupport.hpp"
#include "support/StepTree.hpp"

namespace QarnoTest
{

/// A projecting mesh on `pbParams` with mesh sizes δ and frame sizes Δ.
std::shared_ptr<ProjectingMesh>
makeProjectingMesh(const std::shared_ptr<QARNO_4_0_0::PbParameters>& pbParams,
                   const std::vector<double>& delta, const std::vector<double>& Delta);

/// Checked problem parameters of the bounds' dimension with X0 given (all
/// ones when empty); NaN (UNDEF) leaves a bound out.
std::shared_ptr<QARNO_4_0_0::PbParameters> makeBoundedPbParams(const std::vector<double>& lb,
                                                               const std::vector<double>& ub,
                                                               const std::vector<double>& x0 = {});

/// Run parameters with `set` applied, checked against `pbParams` (their
/// warnings swallowed).
std::shared_ptr<QARNO_4_0_0::RunParameters>
makeSearchRunParams(const std::shared_ptr<QARNO_4_0_0::PbParameters>& pbParams,
                    const std::function<void(QARNO_4_0_0::RunParameters&)>& set);

/// A frame centre at `center` whose point of origin is `origin` (none when
/// empty).
std::shared_ptr<QARNO_4_0_0::EvalPoint> makeFrameCenter(const std::vector<double>& center,
                                                        const std::vector<double>& origin);

/// The coordinates of a set of points, in set order.
std::vector<std::vector<double>>
coordinatesOf(const std::set<QARNO_4_0_0::EvalPoint, QARNO_4_0_0::EvalPointCompare>& points);

/// The tree a search lives in (a `StepTree`): root "Main" > algorithm
/// "MADS" (the given parameters) > mega-iteration 1 (the barrier) >
/// iteration 1 (mesh and frame centre). Hold a ProcessStateGuard around it.
StepTreeOptions searchTree(const std::shared_ptr<QARNO_4_0_0::RunParameters>& runParams,
                           const std::shared_ptr<QARNO_4_0_0::PbParameters>& pbParams,
                           std::shared_ptr<QARNO_4_0_0::Barrier> barrier,
                           std::shared_ptr<QARNO_4_0_0::MeshBase> mesh,
                           std::shared_ptr<QARNO_4_0_0::EvalPoint> frameCenter);

/// The harness of a search (`EvcHarness` layers): non-opportunistic blocks
/// of one point over `output`, installed, with the display of dimension 2 at
/// `displayDegree`; the cache is created for the output types when there is
/// none. Hold a ProcessStateGuard around it.
HarnessOptions searchHarness(const QARNO_4_0_0::BBOutputTypeList& bbOutputType,
                             FunctionEvaluator::Output output, int displayDegree = 2);

} // namespace QarnoTest

#endif
