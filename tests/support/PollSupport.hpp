#ifndef QARNO_TESTS_SUPPORT_POLLSUPPORT_HPP
#define QARNO_TESTS_SUPPORT_POLLSUPPORT_HPP

#include <cstddef>
#include <list>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/Algorithm.hpp"
#include "Algos/Mads/PollMethodBase.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvalPoint.hpp"
#include "Math/Direction.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Type/DirectionType.hpp"
#include "Type/ListOfVariableGroup.hpp"
#include "support/SearchSupport.hpp"
#include "support/StepSupport.hpp"
#include "support/StepTree.hpp"
#include "support/TestSupport.hpp"

namespace QarnoTest
{

/// What a poll test varies in the problem; empty bounds are not set.
struct PollProblem
{
    size_t n = 2;
    std::vector<double> lowerBound;
    std::vector<double> upperBound;
    QARNO_4_0_0::DirectionType directionType = QARNO_4_0_0::DirectionType::ORTHO_2N;
    QARNO_4_0_0::ListOfVariableGroup variableGroups;
    bool generateAllPointsBeforeEval = false;
};

/// Checked problem parameters: DIMENSION n, X0 all ones and the rest as
/// given. Starts a cache of one objective when there is none.
std::shared_ptr<QARNO_4_0_0::PbParameters> makePollPbParams(const PollProblem& problem);

/// A poll method that hands out the directions the test gives, whatever n,
/// and counts the calls; it draws nothing.
class FixedDirectionsPollMethod : public QARNO_4_0_0::PollMethodBase
{
public:
    FixedDirectionsPollMethod(const QARNO_4_0_0::Step* parent,
                              const std::vector<std::vector<double>>& directions);

    void generateUnitPollDirections(std::list<QARNO_4_0_0::Direction>& directions,
                                    size_t n) const override;

    mutable std::vector<size_t> requestedDimensions;

    using QARNO_4_0_0::PollMethodBase::scaleAndProjectOnMesh;

private:
    std::vector<std::vector<double>> _directions;
};

/// The steps a poll lives under (a `StepTree`): main > "MADS" algorithm
/// (MADS stop reasons) > mega-iteration 1 (barrier holding the frame centre
/// evaluated with centerF, its first coordinate when UNDEF, and centerH) >
/// iteration 1 (a `PollMesh` with the sizes given, the frame centre). The
/// poll itself is built by the test with `&tree.iteration` as parent.
StepTreeOptions pollTree(const PollProblem& problem, const std::vector<double>& frameCenter,
                         const std::vector<double>& meshSize, const std::vector<double>& frameSize,
                         double centerF = UNDEF, double centerH = 0.0);

/// The coordinates of directions, in list order, as plain values (the form
/// for point sets is in SearchSupport).
std::vector<std::vector<double>> coordinatesOf(const std::list<QARNO_4_0_0::Direction>& directions);

} // namespace QarnoTest

#endif
