#include "Algos/Mads/PollMethodBase.hpp"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/EvcInterface.hpp"
#include "Algos/MeshBase.hpp"
#include "Eval/EvalPoint.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/Double.hpp"
#include "Math/Point.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/PbParameters.hpp"
#include "Type/ListOfVariableGroup.hpp"
#include "Util/Exception.hpp"
#include "Util/StopReasonTypes.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

namespace
{

/// A trial point with where it first leaves the epsilon cells of the frame
/// centre, as `Point::weakLess` tells cells apart.
struct Candidate
{
    Point point;
    /// The first coordinate in another cell than the centre's; the
    /// dimension when there is none.
    size_t apart;
    /// Its cell lies below the centre's there.
    bool below;
};

/// Whether x and y lie in different cells, as `Point::weakLess` decides it;
/// `below` then tells whether x's is the lower one.
bool cellsApart(const Double& x, const Double& y, bool& below)
{
    if (Double::sameDefinedValue(x, y))
    {
        return false;
    }
    const double kx = x.trunk();
    const double ky = y.trunk();
    below = (kx < ky);
    return below || ky < kx;
}

Candidate keyed(Point&& x, const Point& center)
{
    const size_t n = x.size();
    Candidate candidate{std::move(x), n, false};
    for (size_t i = 0; i < n; ++i)
    {
        if (cellsApart(candidate.point[i], center[i], candidate.below))
        {
            candidate.apart = i;
            break;
        }
    }
    return candidate;
}

/// `Point::weakLess` of two candidates of the same centre. Both share the
/// centre's cells up to the first place where either leaves them; there the
/// one that leaves decides alone, unless both leave at once.
bool candidateLess(const Candidate& a, const Candidate& b)
{
    if (a.apart != b.apart)
    {
        return (a.apart < b.apart) ? a.below : !b.below;
    }
    const size_t n = a.point.size();
    for (size_t i = a.apart; i < n; ++i)
    {
        bool below = false;
        if (cellsApart(a.point[i], b.point[i], below))
        {
            return below;
        }
    }
    return false;
}

} // namespace

PollMethodBase::PollMethodBase(const Step* parentStep)
    : Step(parentStep), IterationUtils(parentStep)
{
    init();
}

PollMethodBase::~PollMethodBase()
{
    _trialPoints.clear();
}

void PollMethodBase::init()
{
    verifyParentNotNull();
}

void PollMethodBase::startImp()
{
    if (nullptr != _stopReasons && _stopReasons->checkTerminate())
    {
        return;
    }
    generateTrialPoints();
    if (_trialPoints.empty())
    {
        // Nothing left to poll: every candidate fell back onto the frame
        // centre or outside the bounds, so the mesh is too fine to go on.
        AlgoStopReasons<MadsStopType>::get(_stopReasons)
            ->_algoStopReason.set(MadsStopType::MESH_PREC_REACHED);
    }
}

bool PollMethodBase::runImp()
{
    if (nullptr != _stopReasons && _stopReasons->checkTerminate())
    {
        return false;
    }
    return evalTrialPoints(this);
}

void PollMethodBase::endImp()
{
    postProcessing(EvcInterface::getEvaluatorControl()->getEvalType(-1));
}

void PollMethodBase::generateTrialPoints()
{
    const auto& pbParams = getPbParams();
    const auto& groups = pbParams->getAttributeValue<ListOfVariableGroup>("VARIABLE_GROUP");
    const size_t n = pbParams->getAttributeValue<size_t>("DIMENSION");
    const bool showDebug = OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_DEBUG);
    const bool showInfo = OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_INFO);

    std::list<Direction> directions;
    if (groups.empty())
    {
        generateUnitPollDirections(directions, n);
    }
    else if (1 == groups.size())
    {
        generateUnitPollDirections(directions, n);
        if (showDebug)
        {
            for (const auto& dir : directions)
            {
                AddOutputDebug("Unit poll direction: " + dir.display());
            }
        }
    }
    else
    {
        std::list<Direction> groupDirections;
        size_t groupNumber = 0;
        for (const auto& group : groups)
        {
            generateUnitPollDirections(groupDirections, group.size());
            for (const auto& groupDir : groupDirections)
            {
                Direction dir(n, 0.0);
                size_t k = 0;
                // The set holds the indices in ascending order.
                for (const size_t index : group)
                {
                    dir[index] = groupDir[k++];
                }
                if (showDebug)
                {
                    AddOutputDebug("Unit poll direction for Variable Group " + itos(groupNumber) +
                                   ": " + dir.display());
                }
                directions.push_back(std::move(dir));
            }
            ++groupNumber;
        }
    }

    scaleAndProjectOnMesh(directions);
    if (showDebug)
    {
        for (const auto& dir : directions)
        {
            AddOutputDebug("Scaled and mesh projected poll direction: " + dir.display());
        }
    }

    if (showInfo)
    {
        AddOutputInfo("Generate points for " + getName(), true, false);
    }

    const auto frameCenter = getIterationFrameCenter();
    if (nullptr == frameCenter || !frameCenter->ArrayOfDouble::isDefined() ||
        frameCenter->size() != n)
    {
        std::string msg = "Invalid frame center: ";
        if (nullptr != frameCenter)
        {
            msg += frameCenter->display();
        }
        QARNO_THROW(Exception, msg);
    }
    if (showDebug)
    {
        AddOutputDebug("Frame center: " + frameCenter->display(ArrayOfDouble()));
    }

    const auto& lowerBound = pbParams->getAttributeValue<ArrayOfDouble>("LOWER_BOUND");
    const auto& upperBound = pbParams->getAttributeValue<ArrayOfDouble>("UPPER_BOUND");
    const Point& center = *frameCenter;
    // Unless each point is shown as it is inserted, the points are gathered
    // and put in the set's order first, where comparing two of them mostly
    // takes one look at where each leaves the centre; then each insertion
    // costs one comparison with the last point, not a descent of long
    // comparisons. The stable order keeps the first-made of equal points,
    // as inserting them one by one does.
    std::vector<Candidate> candidates;
    if (!showInfo)
    {
        candidates.reserve(directions.size());
    }
    // Each direction is dropped once its point is made: in many variables
    // the directions and the points each weigh as much as a dense matrix.
    while (!directions.empty())
    {
        const Direction& dir = directions.front();
        Point x(n);
        for (size_t i = 0; i < n; ++i)
        {
            x[i] = center[i].todouble() + dir[i].todouble();
        }
        directions.pop_front();
        if (snapPointToBoundsAndProjectOnMesh(x, lowerBound, upperBound) &&
            !(static_cast<const ArrayOfDouble&>(x) == center))
        {
            if (!showInfo)
            {
                candidates.push_back(keyed(std::move(x), center));
                continue;
            }
            const std::string text = x.display(ArrayOfDouble());
            const bool inserted = insertTrialPoint(EvalPoint(std::move(x)));
            AddOutputInfo("Generated point" + std::string(inserted ? ": " : " not inserted: ") +
                          text);
        }
    }
    std::stable_sort(candidates.begin(), candidates.end(), candidateLess);
    for (auto& candidate : candidates)
    {
        _trialPoints.insert(_trialPoints.end(), EvalPoint(std::move(candidate.point)));
    }
    candidates.clear();

    // No second pass over the points to check them on the mesh: each was
    // inserted only once the projection found it on the iteration's mesh
    // around this frame centre.
    updatePointsWithFrameCenter();

    if (showInfo)
    {
        AddOutputInfo("Generated " + itos(_trialPoints.size()) + " points");
        AddOutputInfo("Generate points for " + getName(), false, true);
    }
}

void PollMethodBase::scaleAndProjectOnMesh(std::list<Direction>& directions) const
{
    const auto mesh = getIterationMesh();
    if (nullptr == mesh)
    {
        QARNO_THROW(Exception, "Iteration or Mesh not found.");
    }
    // Read once for the whole poll: one call per vector, not one per
    // coordinate of every direction.
    const ArrayOfDouble meshSize = mesh->getdeltaMeshSize();
    const ArrayOfDouble rho = mesh->getRho();
    const size_t n = getPbParams()->getAttributeValue<size_t>("DIMENSION");
    if (meshSize.size() != n || rho.size() != n)
    {
        QARNO_THROW(Exception, "Mesh of dimension " + itos(meshSize.size()) +
                                   " for a problem of dimension " + itos(n));
    }
    scaleAndProjectOnMesh(directions, meshSize, rho);
}

void PollMethodBase::scaleAndProjectOnMesh(std::list<Direction>& directions,
                                           const ArrayOfDouble& meshSize, const ArrayOfDouble& rho)
{
    // Plain values once for the whole poll: todouble throws
    // Double::NotDefined for an undefined size, as the Double arithmetic of
    // the mesh would.
    const size_t n = meshSize.size();
    std::vector<double> delta(n);
    std::vector<double> ratio(n);
    for (size_t i = 0; i < n; ++i)
    {
        delta[i] = meshSize[i].todouble();
        ratio[i] = rho[i].todouble();
    }
    const double eps = Double::getEpsilon();
    for (auto& dir : directions)
    {
        // The infinite norm of Direction, with its tolerant comparisons, on
        // plain values: the last |d_i| not below the norm so far by more
        // than epsilon.
        double norm = 0.0;
        for (size_t i = 0; i < n; ++i)
        {
            const double a = std::fabs(dir[i].todouble());
            if (!(norm > a + eps))
            {
                norm = a;
            }
        }
        if (Double(norm) == Double(0.0))
        {
            QARNO_THROW(Exception, "Cannot handle an infinite norm of zero");
        }
        // The mesh's coordinate scaling, delta_i * round(rho_i * l) with
        // rounding half away from zero, in the same double operations; each
        // coordinate depends on itself only, so it is replaced in place.
        for (size_t i = 0; i < n; ++i)
        {
            const double v = ratio[i] * (dir[i].todouble() / norm);
            const double rounded = (v < 0) ? -std::floor(0.5 - v) : std::floor(v + 0.5);
            dir[i] = rounded * delta[i];
        }
    }
}

std::vector<Direction> PollMethodBase::householderRows(size_t n, bool completeTo2n)
{
    Direction v(n);
    Direction::computeDirOnUnitSphere(v);
    // Every coordinate of every row is written below: nothing to fill first.
    const size_t nbRows = completeTo2n ? 2 * n : n;
    std::vector<Direction> rows;
    rows.reserve(nbRows);
    std::vector<Direction*> H(nbRows);
    for (size_t i = 0; i < nbRows; ++i)
    {
        rows.emplace_back(n);
        H[i] = &rows[i];
    }
    Direction::householder(v, completeTo2n, H.data());
    return rows;
}

} // namespace QARNO_4_0_0
