#include "Algos/Mads/PollMethodBase.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <list>
#include <string>
#include <utility>
#include <vector>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/EvcInterface.hpp"
#include "Algos/Iteration.hpp"
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

/// The mesh's scaling of poll directions, its sizes read once for a poll.
class MeshScaling
{
public:
    /// Plain values once for the whole poll: todouble throws
    /// Double::NotDefined for an undefined size, as the Double arithmetic
    /// of the mesh would.
    MeshScaling(const ArrayOfDouble& meshSize, const ArrayOfDouble& rho)
        : _delta(meshSize.size()), _ratio(meshSize.size()), _v(meshSize.size()),
          _eps(Double::getEpsilon())
    {
        for (size_t i = 0; i < _delta.size(); ++i)
        {
            _delta[i] = meshSize[i].todouble();
            _ratio[i] = rho[i].todouble();
        }
    }

    /// dir divided by its infinite norm, then coordinate i brought to a
    /// whole number of mesh sizes of coordinate i; `scaled` may be dir.
    void scale(const Direction& dir, Direction& scaled)
    {
        const size_t n = _delta.size();
        // Every coordinate is read below without an index check: the sizes
        // are checked here once, with the exception a coordinate read would
        // throw.
        if (n > 0)
        {
            static_cast<void>(dir[n - 1]);
            static_cast<void>(scaled[n - 1]);
        }
        const double norm = infiniteNorm(dir.data(), n);
        if (Double(norm) == Double(0.0))
        {
            QARNO_THROW(Exception, "Cannot handle an infinite norm of zero");
        }
        // The mesh's coordinate scaling, delta_i * round(rho_i * l) with
        // rounding half away from zero, in the same double operations; each
        // coordinate depends on itself only.
        const Double* const d = dir.data();
        Double* const out = scaled.data();
        for (size_t i = 0; i < n; ++i)
        {
            _v[i] = _ratio[i] * (d[i].todouble() / norm);
            out[i] = roundedHalfAway(_v[i]) * _delta[i];
        }
    }

    /// The scaling of the direction last scaled, negated. Its infinite norm
    /// is the same, and negating the operand of a correctly rounded
    /// division or product negates the result: rho_i * (-d_i / norm) is
    /// exactly -(rho_i * (d_i / norm)), which saves the divisions.
    void scaleOpposite(Direction& scaled) const
    {
        const size_t n = _delta.size();
        if (n > 0)
        {
            static_cast<void>(scaled[n - 1]);
        }
        Double* const out = scaled.data();
        for (size_t i = 0; i < n; ++i)
        {
            out[i] = roundedHalfAway(-_v[i]) * _delta[i];
        }
    }

private:
    /// The infinite norm of Direction, with its tolerant comparisons, on
    /// plain values: the last |d_i| not below the norm so far by more than
    /// epsilon.
    double infiniteNorm(const Double* dir, size_t n) const
    {
        // That scan carries the norm from each coordinate to the next. Where
        // the greatest |d_i| is the only one within epsilon of itself, the
        // scan takes it when it comes to it and keeps it to the end, since
        // no later one is near enough to replace it: the greatest is the
        // norm. Four partial maxima keep the coordinates independent.
        double greatest[4] = {-1.0, -1.0, -1.0, -1.0};
        size_t i = 0;
        for (; i + 4 <= n; i += 4)
        {
            for (size_t k = 0; k < 4; ++k)
            {
                const double a = std::fabs(dir[i + k].todouble());
                greatest[k] = (a > greatest[k]) ? a : greatest[k];
            }
        }
        for (; i < n; ++i)
        {
            const double a = std::fabs(dir[i].todouble());
            greatest[0] = (a > greatest[0]) ? a : greatest[0];
        }
        const double top =
            std::max(std::max(greatest[0], greatest[1]), std::max(greatest[2], greatest[3]));
        // Below 0 when no coordinate is a number: the scan then decides.
        size_t near = (top < 0) ? 2 : 0;
        for (i = 0; i < n && near < 2; ++i)
        {
            // A NaN counts as near, as it would replace the norm.
            near += !(top > std::fabs(dir[i].todouble()) + _eps) ? 1 : 0;
        }
        if (near < 2)
        {
            return top;
        }
        double norm = 0.0;
        for (i = 0; i < n; ++i)
        {
            const double a = std::fabs(dir[i].todouble());
            if (!(norm > a + _eps))
            {
                norm = a;
            }
        }
        return norm;
    }

    static double roundedHalfAway(double v)
    {
        return (v < 0) ? -std::floor(0.5 - v) : std::floor(v + 0.5);
    }

    std::vector<double> _delta;
    std::vector<double> _ratio;
    /// rho_i * (d_i / norm) of the direction last scaled.
    std::vector<double> _v;
    double _eps;
};

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
    const auto& lowerBound = pbParams->getAttributeValue<ArrayOfDouble>("LOWER_BOUND");
    const auto& upperBound = pbParams->getAttributeValue<ArrayOfDouble>("UPPER_BOUND");

    // Unless each point is shown as it is inserted, the points are gathered
    // and put in the set's order first, where comparing two of them mostly
    // takes one look at where each leaves the centre; then each insertion
    // costs one comparison with the last point, not a descent of long
    // comparisons. The stable order keeps the first-made of equal points,
    // as inserting them one by one does.
    std::vector<Candidate> candidates;
    // The snap's mesh and centre, asked once for all the points.
    const Iteration* const iteration = getIterationAncestor();
    const auto snapMesh = (nullptr == iteration) ? nullptr : iteration->getMesh();
    const auto snapCenter = (nullptr == iteration) ? nullptr : iteration->getFrameCenter();
    const auto offer = [&](Point&& x, const Point& center)
    {
        if (!snapPointToBoundsAndProjectOnMesh(x, lowerBound, upperBound, snapMesh.get(),
                                               snapCenter.get()) ||
            static_cast<const ArrayOfDouble&>(x) == center)
        {
            return;
        }
        if (!showInfo)
        {
            candidates.push_back(keyed(std::move(x), center));
            return;
        }
        const std::string text = x.display(ArrayOfDouble());
        const bool inserted = insertTrialPoint(EvalPoint(std::move(x)));
        AddOutputInfo("Generated point" + std::string(inserted ? ": " : " not inserted: ") + text);
    };

    if (!showInfo && groups.size() <= 1)
    {
        // Nothing shown between the steps: each direction is scaled and
        // made a point as soon as it is drawn, and is then dropped. The
        // checks of the mesh and the centre come before the draws.
        ArrayOfDouble meshSize;
        ArrayOfDouble rho;
        readMeshSizes(meshSize, rho);
        const auto frameCenter = validFrameCenter(n);
        const Point& center = *frameCenter;
        MeshScaling scaling(meshSize, rho);
        Direction scaled(n);
        forEachUnitPollDirection(n,
                                 [&](const Direction& dir, bool oppositeOfLast)
                                 {
                                     if (oppositeOfLast)
                                     {
                                         scaling.scaleOpposite(scaled);
                                     }
                                     else
                                     {
                                         scaling.scale(dir, scaled);
                                     }
                                     // All three hold n coordinates.
                                     Point x(n);
                                     const Double* const c = center.data();
                                     const Double* const s = scaled.data();
                                     Double* const xd = x.data();
                                     for (size_t i = 0; i < n; ++i)
                                     {
                                         xd[i] = c[i].todouble() + s[i].todouble();
                                     }
                                     offer(std::move(x), center);
                                 });
    }
    else
    {
        std::list<Direction> directions;
        if (groups.size() <= 1)
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
                        AddOutputDebug("Unit poll direction for Variable Group " +
                                       itos(groupNumber) + ": " + dir.display());
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
        const auto frameCenter = validFrameCenter(n);
        const Point& center = *frameCenter;
        if (showDebug)
        {
            AddOutputDebug("Frame center: " + center.display(ArrayOfDouble()));
        }

        if (!showInfo)
        {
            candidates.reserve(directions.size());
        }
        // Each direction is dropped once its point is made: in many
        // variables the directions and the points each weigh as much as a
        // dense matrix.
        while (!directions.empty())
        {
            const Direction& dir = directions.front();
            Point x(n);
            for (size_t i = 0; i < n; ++i)
            {
                x[i] = center[i].todouble() + dir[i].todouble();
            }
            directions.pop_front();
            offer(std::move(x), center);
        }
    }

    // Ordered through pointers: a comparison mostly reads the two keys, and
    // moving a pointer costs less than moving a point.
    std::vector<Candidate*> order(candidates.size());
    for (size_t k = 0; k < candidates.size(); ++k)
    {
        order[k] = &candidates[k];
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const Candidate* a, const Candidate* b) { return candidateLess(*a, *b); });
    for (Candidate* candidate : order)
    {
        _trialPoints.insert(_trialPoints.end(), EvalPoint(std::move(candidate->point)));
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

std::shared_ptr<EvalPoint> PollMethodBase::validFrameCenter(size_t n) const
{
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
    return frameCenter;
}

void PollMethodBase::forEachUnitPollDirection(
    size_t n, const std::function<void(const Direction&, bool)>& take) const
{
    std::list<Direction> directions;
    generateUnitPollDirections(directions, n);
    for (const auto& dir : directions)
    {
        take(dir, false);
    }
}

void PollMethodBase::readMeshSizes(ArrayOfDouble& meshSize, ArrayOfDouble& rho) const
{
    const auto mesh = getIterationMesh();
    if (nullptr == mesh)
    {
        QARNO_THROW(Exception, "Iteration or Mesh not found.");
    }
    // Read once for the whole poll: one call per vector, not one per
    // coordinate of every direction.
    meshSize = mesh->getdeltaMeshSize();
    rho = mesh->getRho();
    const size_t n = getPbParams()->getAttributeValue<size_t>("DIMENSION");
    if (meshSize.size() != n || rho.size() != n)
    {
        QARNO_THROW(Exception, "Mesh of dimension " + itos(meshSize.size()) +
                                   " for a problem of dimension " + itos(n));
    }
}

void PollMethodBase::scaleAndProjectOnMesh(std::list<Direction>& directions) const
{
    ArrayOfDouble meshSize;
    ArrayOfDouble rho;
    readMeshSizes(meshSize, rho);
    scaleAndProjectOnMesh(directions, meshSize, rho);
}

void PollMethodBase::scaleAndProjectOnMesh(std::list<Direction>& directions,
                                           const ArrayOfDouble& meshSize, const ArrayOfDouble& rho)
{
    MeshScaling scaling(meshSize, rho);
    for (auto& dir : directions)
    {
        scaling.scale(dir, dir);
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
