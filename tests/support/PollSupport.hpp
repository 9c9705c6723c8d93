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
#include "support/IterationSupport.hpp"
#include "support/SearchSupport.hpp"
#include "support/StepSupport.hpp"
#include "support/TestSupport.hpp"

namespace QarnoTest
{

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

/// An algorithm with the stop reasons of MADS whose own steps do nothing.
class PollAlgorithm : public QARNO_4_0_0::Algorithm
{
public:
    PollAlgorithm(const QARNO_4_0_0::Step* parent,
                  const std::shared_ptr<QARNO_4_0_0::RunParameters>& runParams,
                  const std::shared_ptr<QARNO_4_0_0::PbParameters>& pbParams);

    void readInformationForHotRestart() override {}

    std::shared_ptr<QARNO_4_0_0::AlgoStopReasons<QARNO_4_0_0::MadsStopType>>
    madsStopReasons() const;

protected:
    void startImp() override {}
    bool runImp() override { return true; }
    void endImp() override {}
};

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

/// The steps a poll lives under: main > "MADS" algorithm > mega-iteration
/// (barrier holding the frame centre evaluated with centerF, its first
/// coordinate when UNDEF, and centerH) > iteration (a `PollMesh` with the sizes
/// given, the frame centre). The poll itself is built by the test with
/// `&tree.iteration` as parent.
struct PollTree
{
    PollTree(const PollProblem& problem, const std::vector<double>& frameCenter,
             const std::vector<double>& meshSize, const std::vector<double>& frameSize,
             double centerF = UNDEF, double centerH = 0.0);
    PollTree(const PollTree&) = delete;
    PollTree& operator=(const PollTree&) = delete;

    /// After construction: the algorithm's parameters, which the steps
    /// below it read.
    std::shared_ptr<QARNO_4_0_0::PbParameters> pbParams;
    std::shared_ptr<PollMesh> mesh;
    std::shared_ptr<QARNO_4_0_0::EvalPoint> frameCenter;
    RecordingStep main;
    PollAlgorithm algo;
    RecordingMegaIteration mega;
    RecordingIteration iteration;
};

/// The coordinates of directions, in list order, as plain values (the form
/// for point sets is in SearchSupport).
std::vector<std::vector<double>> coordinatesOf(const std::list<QARNO_4_0_0::Direction>& directions);

} // namespace QarnoTest

#endif
