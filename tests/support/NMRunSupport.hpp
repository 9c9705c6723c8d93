#ifndef QARNO_TESTS_SUPPORT_NMRUNSUPPORT_HPP
#define QARNO_TESTS_SUPPORT_NMRUNSUPPORT_HPP

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Algos/MeshBase.hpp"
#include "Algos/NelderMead/NMIteration.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvalPoint.hpp"
#include "Param/AllParameters.hpp"
#include "support/EvcSupport.hpp"
#include "support/NMSupport.hpp"
#include "support/StepSupport.hpp"
#include "support/StepTree.hpp"

namespace QarnoTest
{

/// Checked parameters of a Nelder-Mead run in dimension n: outputs OBJ PB,
/// X0 all ones unless the lines give one, NM_OPTIMIZATION as `standalone`,
/// then the further parameter lines.
std::shared_ptr<QARNO_4_0_0::AllParameters>
makeNMParameters(size_t n, bool standalone, const std::vector<std::string>& lines = {});

/// Puts into the cache a blackbox point evaluated as "f c" under OBJ PB
/// (h = c^2 for c > 0), with the next tag, and returns it.
QARNO_4_0_0::EvalPoint cacheNMPoint(const std::vector<double>& coords, double f, double c = 0);

/// The barrier a standalone run would start from: the cache's best points.
std::shared_ptr<QARNO_4_0_0::Barrier> barrierFromCache(size_t n);

/// What `op` shows through the output queue with the debug level (9)
/// shown, from display degree 4.
std::string debugMessagesOf(const std::function<void()>& op);

/// main step > "NM" algorithm (Nelder-Mead stop reasons, the parameters
/// given) > mega-iteration 0 holding the barrier > Nelder-Mead iteration 0
/// around the frame centre, with the mesh or none (a `StepTree`): the frame
/// of the steps that an NM iteration builds. The process needs an
/// `EvcHarness` (queue and cache), held by the test.
StepTreeOptions nmIterationTree(const std::shared_ptr<QARNO_4_0_0::AllParameters>& params,
                                std::shared_ptr<QARNO_4_0_0::Barrier> barrier,
                                std::shared_ptr<QARNO_4_0_0::EvalPoint> frameCenter,
                                std::shared_ptr<QARNO_4_0_0::MeshBase> mesh = nullptr);

} // namespace QarnoTest

#endif
