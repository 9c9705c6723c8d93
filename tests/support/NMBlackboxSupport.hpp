#ifndef QARNO_TESTS_SUPPORT_NMBLACKBOXSUPPORT_HPP
#define QARNO_TESTS_SUPPORT_NMBLACKBOXSUPPORT_HPP

#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Algos/MeshBase.hpp"
#include "Algos/NelderMead/NMIteration.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvalPoint.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "support/EvcSupport.hpp"
#include "support/NMSupport.hpp"
#include "support/StepSupport.hpp"
#include "support/StepTree.hpp"

namespace QarnoTest
{

/// The blackbox of the Nelder-Mead tests, outputs "OBJ PB": the line of the
/// first entry whose coordinates match the point (within 1e-9), else
/// `otherwise`. A point whose line is "FAIL" fails its evaluation.
///
///     NMBlackbox bb{{{{1, -1}, "3 0"}}, "100 0"};   // f(1, -1) = 3, else 100
struct NMBlackbox
{
    std::vector<std::pair<std::vector<double>, std::string>> lines;
    std::string otherwise = "100 0";

    /// The line for a point, as described above.
    std::string lineFor(const QARNO_4_0_0::EvalPoint& point) const;
};

/// The harness of the Nelder-Mead step tests (`EvcHarness` layers):
/// non-opportunistic blocks of one point over `blackbox` (which the test may
/// change between evaluations) under "OBJ PB", installed with the display of
/// dimension n at `displayDegree`. Hold a ProcessStateGuard around it.
HarnessOptions nmHarness(std::shared_ptr<NMBlackbox> blackbox, size_t n = 2, int displayDegree = 2,
                         const EvcOptions& options = EvcOptions());

/// Problem parameters of dimension n, X0 all zeros, checked.
std::shared_ptr<QARNO_4_0_0::PbParameters> makeNMPbParams(size_t n);

/// Run parameters checked against pbParams, with NM_OPTIMIZATION as given
/// and then `set` applied.
std::shared_ptr<QARNO_4_0_0::RunParameters>
makeNMRunParams(const std::shared_ptr<QARNO_4_0_0::PbParameters>& pbParams, bool nmOptimization,
                const std::function<void(QARNO_4_0_0::RunParameters&)>& set = {});

/// The tree a Nelder-Mead iteration lives in (a `StepTree`): main step >
/// algorithm "NM" (Nelder-Mead stop reasons, the parameters given) >
/// mega-iteration 0 (a barrier made from the cache and `barrierPoints`, its
/// references set to its first points) > `NMIteration` k 0 (frame centre and
/// mesh as given). The steps of an iteration are built with
/// `&tree.iteration` as parent; `Y()` is the iteration's simplex. Needs the
/// cache (an `EvcHarness` of `nmHarness`); hold a ProcessStateGuard around it.
StepTreeOptions nmWalkTree(const std::shared_ptr<QARNO_4_0_0::RunParameters>& runParams,
                           const std::shared_ptr<QARNO_4_0_0::PbParameters>& pbParams,
                           const std::vector<QARNO_4_0_0::EvalPoint>& barrierPoints,
                           std::shared_ptr<QARNO_4_0_0::EvalPoint> frameCenter,
                           std::shared_ptr<QARNO_4_0_0::MeshBase> mesh = nullptr);

/// A copy of the cached point at those coordinates, with its evaluations;
/// null when the cache does not hold it.
std::shared_ptr<QARNO_4_0_0::EvalPoint> cachedPoint(const std::vector<double>& coords);

/// The coordinates of the points of Y, in Y's order.
std::vector<std::vector<double>> coordinatesOf(const QARNO_4_0_0::NMSimplex& Y);

/// The coordinates of a point.
std::vector<double> coordinatesOf(const QARNO_4_0_0::Point& point);

} // namespace QarnoTest

#endif
