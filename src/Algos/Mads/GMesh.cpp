#include "Algos/Mads/GMesh.hpp"

#include <cfloat>
#include <cmath>
#include <iostream>
#include <string>

#include "Algos/AlgoStopReasons.hpp"
#include "Math/Direction.hpp"
#include "Math/Grid.hpp"
#include "Output/OutputInfo.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/PbParameters.hpp"
#include "Util/Exception.hpp"
#include "Util/StopReasonTypes.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

namespace
{

/// The fixed nudge of the projection's stabilisation; deliberately not the
/// tolerance, so that it does not move with EPSILON.
constexpr double PROJECTION_NUDGE = 1e-13;

/// A coordinate needs at most this many rounding steps to reach the mesh.
constexpr size_t MAX_PROJECTION_STEPS = 11;

/// Counts of grid steps up to this size are exact doubles, and so are their
/// sums.
constexpr double MAX_EXACT_STEPS = 4503599627370496.0; // 2^52

/// A count of grid steps computed from coordinates is exact up to rounding
/// noise: a millionth of a step, more for very large counts.
double stepTolerance(double steps)
{
    return 1e-6 + 8.0 * std::fabs(steps) * DBL_EPSILON;
}

double tenTo(const Double& exponent)
{
    return std::pow(10.0, exponent.todouble());
}

/// Writes the message of a failed check to standard error, then throws it.
[[noreturn]] void reportAndThrow(size_t line, const std::string& msg, bool lineEnd)
{
    std::cerr << msg;
    if (lineEnd)
    {
        std::cerr << std::endl;
    }
    throw Exception(QARNO_SOURCE_FILE, line, msg);
}

Double negated(const Double& d)
{
    return Double(-d.todouble());
}

/// g > epsilon, the tolerant comparison.
bool isGranular(const Double& g)
{
    return g > Double(0.0);
}

/// |g| < epsilon, compared raw: the tolerant < against epsilon itself would
/// never hold.
bool isContinuous(const Double& g)
{
    return std::fabs(g.todouble()) < Double::getEpsilon();
}
} // namespace

GMesh::GMesh(const std::shared_ptr<PbParameters>& pbParams)
    : MeshBase(pbParams), _initFrameSizeExp(), _frameSizeMant(), _frameSizeExp(), _granularity(),
      _checkIntegrity(true), _refinementExhausted(false), _deltaMeshSize(), _deltaFrameSize(),
      _rho(), _deltaFrameSizeCoarser()
{
    _granularity = _pbParams->getAttributeValue<ArrayOfDouble>("GRANULARITY");
    if (_granularity.size() != _n)
    {
        // Every per-coordinate operation indexes the granularity.
        QARNO_THROW(Exception, "GMesh: GRANULARITY has size " + itos(_granularity.size()) +
                                   ", expecting " + itos(_n));
    }
    init();
}

GMesh::~GMesh() = default;

// ---------------------------------------------------------------------------
// Initialisation
// ---------------------------------------------------------------------------

void GMesh::init()
{
    initFrameSizeGranular(_initialFrameSize);

    _initFrameSizeExp.reset(_n);
    _initFrameSizeExp = _frameSizeExp;

    if (!_minMeshSize.isComplete())
    {
        QARNO_THROW(Exception, "Expecting mesh minimum size to be fully defined.");
    }

    _deltaMeshSize.reset(_n);
    _deltaFrameSize.reset(_n);
    _rho.reset(_n);
    _deltaFrameSizeCoarser.reset(_n);
    for (size_t i = 0; i < _n; ++i)
    {
        refreshSizes(i);
        if (!std::isfinite(_deltaFrameSize[i].todouble()))
        {
            QARNO_THROW(Exception, "GMesh: the initial frame size of coordinate " + itos(i) + " (" +
                                       _initialFrameSize[i].tostring() +
                                       ") gives a frame size that is not finite.");
        }
        if (_checkIntegrity)
        {
            checkFrameSizeIntegrity(_frameSizeExp[i], _frameSizeMant[i]);
            checkDeltasGranularity(i, _deltaMeshSize[i], _deltaFrameSize[i]);
        }
    }
}

void GMesh::initFrameSizeGranular(const ArrayOfDouble& initialFrameSize)
{
    if (!initialFrameSize.isDefined() || initialFrameSize.size() != _n)
    {
        QARNO_THROW(Exception,
                    "GMesh: initFrameSizeGranular: inconsistent dimension of the frame size." +
                        std::string(" initial frame size defined: ") +
                        itos(initialFrameSize.isDefined() ? 1 : 0) +
                        " size: " + itos(initialFrameSize.size()) + " n: " + itos(_n));
    }

    _frameSizeExp.reset(_n);
    _frameSizeMant.reset(_n);
    for (size_t i = 0; i < _n; ++i)
    {
        const Double& g = _granularity[i];
        const Double G = (g.todouble() > 0.0) ? g : Double(1.0);
        const Double q = initialFrameSize[i] / G;
        const double qv = q.todouble();
        if (!(qv > 0.0) || !std::isfinite(qv))
        {
            // The logarithm below needs a positive finite ratio; anything
            // else would give an exponent that is no integer at all.
            QARNO_THROW(Exception,
                        "GMesh: initFrameSizeGranular: the initial frame size of coordinate " +
                            itos(i) + " must be positive and finite, got " +
                            initialFrameSize[i].tostring());
        }
        const int exp = roundFrameSizeExp(std::log10(std::fabs(qv)));
        _frameSizeExp[i] = exp;
        _frameSizeMant[i] =
            roundFrameSizeMant(q * Double(std::pow(10.0, -static_cast<double>(exp))));
    }
}

// ---------------------------------------------------------------------------
// Rounding and stepping
// ---------------------------------------------------------------------------

int GMesh::roundFrameSizeExp(const Double& exp)
{
    const double v = exp.todouble();
    // The test is written so that NaN fails it too; converting a value out
    // of the int range would be undefined.
    if (!(v > -2147483649.0 && v < 2147483648.0))
    {
        QARNO_THROW(Exception, "GMesh: the frame size exponent " + exp.tostring() +
                                   " is not finite or out of the integer range.");
    }
    return static_cast<int>(v);
}

int GMesh::roundFrameSizeMant(const Double& mant)
{
    if (mant < Double(1.5))
    {
        return 1;
    }
    if (mant < Double(3.5))
    {
        return 2;
    }
    return 5;
}

void GMesh::getLargerMantExp(Double& frameSizeMant, Double& frameSizeExp) const
{
    if (frameSizeMant == Double(1.0))
    {
        frameSizeMant = 2.0;
    }
    else if (frameSizeMant == Double(2.0))
    {
        frameSizeMant = 5.0;
    }
    else
    {
        frameSizeMant = 1.0;
        ++frameSizeExp;
    }
}

void GMesh::refineDeltaFrameSize(Double& frameSizeMant, Double& frameSizeExp,
                                 const Double& granularity) const
{
    if (frameSizeMant == Double(1.0))
    {
        frameSizeMant = 5.0;
        --frameSizeExp;
    }
    else if (frameSizeMant == Double(2.0))
    {
        frameSizeMant = 1.0;
    }
    else
    {
        frameSizeMant = 2.0;
    }

    // A granular frame never goes below the granularity itself.
    if (isGranular(granularity) && frameSizeExp.todouble() <= Double::getEpsilon() &&
        frameSizeMant != Double(1.0))
    {
        frameSizeMant = 1.0;
        frameSizeExp = 0.0;
    }
}

// ---------------------------------------------------------------------------
// Sizes
// ---------------------------------------------------------------------------

Double GMesh::getdeltaMeshSize(const Double& frameSizeExp, const Double& initFrameSizeExp,
                               const Double& granularity) const
{
    const Double diff = (frameSizeExp - initFrameSizeExp).abs();
    const Double d = tenTo(frameSizeExp - diff);
    if (isGranular(granularity))
    {
        return (d < Double(1.0)) ? granularity : granularity * d;
    }
    return d;
}

Double GMesh::getDeltaFrameSize(const Double& granularity, const Double& frameSizeMant,
                                const Double& frameSizeExp) const
{
    const Double G = isGranular(granularity) ? granularity : Double(1.0);
    return (G * frameSizeMant) * Double(tenTo(frameSizeExp));
}

void GMesh::refreshSizes(size_t i)
{
    const Double& m = _frameSizeMant[i];
    const Double& e = _frameSizeExp[i];
    if (!m.isDefined() || !e.isDefined() || !_initFrameSizeExp[i].isDefined())
    {
        _deltaMeshSize[i] = Double();
        _deltaFrameSize[i] = Double();
        _rho[i] = Double();
        _deltaFrameSizeCoarser[i] = Double();
        return;
    }
    const Double& g = _granularity[i];
    const Double& e0 = _initFrameSizeExp[i];

    _deltaMeshSize[i] = getdeltaMeshSize(e, e0, g);
    _deltaFrameSize[i] = getDeltaFrameSize(g, m, e);

    const Double decades = tenTo((e - e0).abs());
    if (isGranular(g))
    {
        const Double tenToE = tenTo(e);
        _rho[i] = m * ((tenToE < decades) ? tenToE : decades);
    }
    else
    {
        _rho[i] = m * decades;
    }

    Double coarserMant = m;
    Double coarserExp = e;
    getLargerMantExp(coarserMant, coarserExp);
    const Double coarser = getDeltaFrameSize(g, coarserMant, coarserExp);
    // At the top of the double range the frame cannot be enlarged (see
    // enlargeDeltaFrameSize), so its coarser frame is the frame itself.
    _deltaFrameSizeCoarser[i] = std::isfinite(coarser.todouble()) ? coarser : _deltaFrameSize[i];
}

void GMesh::checkIndex(size_t i, const char* operation) const
{
    if (i >= _n)
    {
        QARNO_THROW(Exception, std::string("GMesh: ") + operation + ": index " + itos(i) +
                                   " is out of range for a mesh of dimension " + itos(_n));
    }
}

Double GMesh::getRho(size_t i) const
{
    checkIndex(i, "getRho");
    return _rho[i];
}

ArrayOfDouble GMesh::getRho() const
{
    return _rho;
}

Double GMesh::getdeltaMeshSize(size_t i) const
{
    checkIndex(i, "getdeltaMeshSize");
    return _deltaMeshSize[i];
}

ArrayOfDouble GMesh::getdeltaMeshSize() const
{
    return _deltaMeshSize;
}

Double GMesh::getDeltaFrameSize(size_t i) const
{
    checkIndex(i, "getDeltaFrameSize");
    return _deltaFrameSize[i];
}

ArrayOfDouble GMesh::getDeltaFrameSize() const
{
    return _deltaFrameSize;
}

Double GMesh::getDeltaFrameSizeCoarser(size_t i) const
{
    checkIndex(i, "getDeltaFrameSizeCoarser");
    return _deltaFrameSizeCoarser[i];
}

ArrayOfDouble GMesh::getDeltaFrameSizeCoarser() const
{
    return _deltaFrameSizeCoarser;
}

// ---------------------------------------------------------------------------
// Updates
// ---------------------------------------------------------------------------

void GMesh::updatedeltaMeshSize() {}

bool GMesh::enlargeDeltaFrameSize(const Direction& direction, const Double& anisotropyFactor,
                                  bool anisotropicMesh)
{
    // Computed before any coordinate changes.
    Double minRho = INF;
    for (size_t i = 0; i < _n; ++i)
    {
        if (isContinuous(_granularity[i]) && !(minRho < _rho[i]))
        {
            minRho = _rho[i];
        }
    }

    bool oneWasEnlarged = false;
    for (size_t i = 0; i < _n; ++i)
    {
        bool enlarge = !anisotropicMesh;
        if (!enlarge)
        {
            const Double ratio = (direction[i].abs() / _deltaMeshSize[i]) / _rho[i];
            enlarge = ratio > anisotropyFactor;
        }
        if (!enlarge && isContinuous(_granularity[i]) && _frameSizeExp[i] < _initFrameSizeExp[i] &&
            _rho[i] > minRho * minRho)
        {
            enlarge = true;
        }
        if (!enlarge)
        {
            continue;
        }

        Double mant = _frameSizeMant[i];
        Double exp = _frameSizeExp[i];
        getLargerMantExp(mant, exp);
        if (!std::isfinite(getDeltaFrameSize(_granularity[i], mant, exp).todouble()))
        {
            // The frame is at the top of the double range: a larger one would
            // be infinite and so would every point polled from it.
            continue;
        }
        _frameSizeMant[i] = mant;
        _frameSizeExp[i] = exp;
        refreshSizes(i);
        oneWasEnlarged = true;
        _refinementExhausted = false;
        if (_checkIntegrity)
        {
            checkFrameSizeIntegrity(_frameSizeExp[i], _frameSizeMant[i]);
            checkDeltasGranularity(i, _deltaMeshSize[i], _deltaFrameSize[i]);
        }
    }
    return oneWasEnlarged;
}

void GMesh::refineDeltaFrameSize()
{
    bool oneWasRefined = false;
    for (size_t i = 0; i < _n; ++i)
    {
        Double mant = _frameSizeMant[i];
        Double exp = _frameSizeExp[i];
        refineDeltaFrameSize(mant, exp, _granularity[i]);

        // The mesh size before refinement decides, so that a coordinate is
        // refined once below its minimum and the stop test sees it.
        if (_minMeshSize[i] <= _deltaMeshSize[i])
        {
            // Exact comparisons: the pair holds small integers.
            if (mant.todouble() != _frameSizeMant[i].todouble() ||
                exp.todouble() != _frameSizeExp[i].todouble())
            {
                oneWasRefined = true;
            }
            _frameSizeMant[i] = mant;
            _frameSizeExp[i] = exp;
            refreshSizes(i);
        }
        if (_checkIntegrity)
        {
            checkFrameSizeIntegrity(_frameSizeExp[i], _frameSizeMant[i]);
            checkDeltasGranularity(i, _deltaMeshSize[i], _deltaFrameSize[i]);
        }
    }
    _refinementExhausted = !oneWasRefined;
}

void GMesh::setDeltas(size_t i, const Double& deltaMeshSize, const Double& deltaFrameSize)
{
    checkIndex(i, "setDeltas");
    checkDeltasGranularity(i, deltaMeshSize, deltaFrameSize);

    const Double& g = _granularity[i];
    const Double G = isGranular(g) ? g : Double(1.0);
    const Double l1 = std::log10((deltaFrameSize / (Double(1.0) * G)).todouble());
    const Double l2 = std::log10((deltaFrameSize / (Double(2.0) * G)).todouble());
    const Double l5 = std::log10((deltaFrameSize / (Double(5.0) * G)).todouble());

    Double mant;
    Double exp;
    if (l1.isInteger())
    {
        mant = 1.0;
        exp = l1;
    }
    else if (l2.isInteger())
    {
        mant = 2.0;
        exp = l2;
    }
    else
    {
        mant = 5.0;
        exp = l5;
    }

    // A zero, negative, infinite or undefined frame size read back gives a
    // logarithm that is refused here, before anything is changed.
    _frameSizeExp[i] = roundFrameSizeExp(exp);
    _frameSizeMant[i] = mant;
    refreshSizes(i);
    _refinementExhausted = false;

    if (_checkIntegrity)
    {
        checkFrameSizeIntegrity(_frameSizeExp[i], _frameSizeMant[i]);
        checkSetDeltas(i, deltaMeshSize, deltaFrameSize);
        checkDeltasGranularity(i, _deltaMeshSize[i], _deltaFrameSize[i]);
    }
}

// ---------------------------------------------------------------------------
// Checks
// ---------------------------------------------------------------------------

void GMesh::checkFrameSizeIntegrity(const Double& frameSizeExp, const Double& frameSizeMant) const
{
    if (!frameSizeExp.isInteger())
    {
        reportAndThrow(__LINE__,
                       "Error: Integrity check" + std::string(" of frameSizeExp (") +
                           frameSizeExp.tostring() + "): Should be integer.",
                       false);
    }
    if (frameSizeMant != Double(1.0) && frameSizeMant != Double(2.0) &&
        frameSizeMant != Double(5.0))
    {
        reportAndThrow(__LINE__,
                       "Error: Integrity check" + std::string(" of frameSizeMant (") +
                           frameSizeMant.tostring() + "): Should be 1, 2 or 5.",
                       false);
    }
}

void GMesh::checkDeltasGranularity(size_t i, const Double& deltaMeshSize,
                                   const Double& deltaFrameSize) const
{
    const Double& g = _granularity[i];
    if (!isGranular(g))
    {
        return;
    }
    if (!deltaMeshSize.isMultipleOf(g))
    {
        reportAndThrow(__LINE__,
                       "Error: setDeltas: " + std::string("deltaMeshSize at index ") + itos(i) +
                           " is not a multiple of granularity " + g.tostring(),
                       false);
    }
    if (!deltaFrameSize.isMultipleOf(g))
    {
        reportAndThrow(__LINE__,
                       "Error: setDeltas: " + std::string("deltaFrameSize at index ") + itos(i) +
                           " is not a multiple of granularity " + g.tostring(),
                       false);
    }
}

void GMesh::checkSetDeltas(size_t i, const Double& deltaMeshSize,
                           const Double& deltaFrameSize) const
{
    const Double computedMesh = getdeltaMeshSize(i);
    if (computedMesh != deltaMeshSize)
    {
        reportAndThrow(__LINE__,
                       "Warning: setDeltas did not give good value" +
                           std::string(" for deltaMeshSize at index ") + itos(i) + " Expected: " +
                           deltaMeshSize.tostring() + " computed: " + computedMesh.tostring(),
                       true);
    }
    const Double computedFrame = getDeltaFrameSize(i);
    if (computedFrame != deltaFrameSize)
    {
        reportAndThrow(__LINE__,
                       "Warning: setDeltas did not give good value" +
                           std::string(" for deltaFrameSize at index ") + itos(i) + "." +
                           " Expected: " + deltaFrameSize.tostring() +
                           " computed: " + computedFrame.tostring(),
                       true);
    }
}

// ---------------------------------------------------------------------------
// Stop test
// ---------------------------------------------------------------------------

void GMesh::checkMeshForStopping(std::shared_ptr<AllStopReasons> stopReasons) const
{
    auto madsStopReasons = AlgoStopReasons<MadsStopType>::get(stopReasons);

    bool oneContinuous = false;
    for (size_t i = 0; i < _n && !oneContinuous; ++i)
    {
        oneContinuous = isContinuous(_granularity[i]);
    }
    if (oneContinuous)
    {
        bool meshAboveMin = false;
        for (size_t i = 0; i < _n && !meshAboveMin; ++i)
        {
            if (isContinuous(_granularity[i]))
            {
                meshAboveMin = _deltaMeshSize[i].todouble() >= _minMeshSize[i].todouble();
            }
        }
        if (!meshAboveMin)
        {
            madsStopReasons->_algoStopReason.set(MadsStopType::MIN_MESH_SIZE_REACHED);
            return;
        }
    }
    else if (_refinementExhausted)
    {
        // Every frame is as fine as it can be and the iteration polled on it
        // failed: another iteration would only draw points already in the
        // cache.
        madsStopReasons->_algoStopReason.set(MadsStopType::MESH_PREC_REACHED);
        return;
    }

    if (!_minFrameSize.isDefined())
    {
        return;
    }
    for (size_t i = 0; i < _n; ++i)
    {
        if (_minFrameSize[i].isDefined() &&
            _deltaFrameSize[i].todouble() >= _minFrameSize[i].todouble())
        {
            return;
        }
    }
    madsStopReasons->_algoStopReason.set(MadsStopType::MIN_FRAME_SIZE_REACHED);
}

// ---------------------------------------------------------------------------
// Projection
// ---------------------------------------------------------------------------

Double GMesh::scaleAndProjectOnMesh(size_t i, const Double& l) const
{
    const Double delta = getdeltaMeshSize(i);
    if (i < _n && _frameSizeMant.isDefined() && _frameSizeExp.isDefined() && delta.isDefined())
    {
        return (_rho[i] * l).roundd() * delta;
    }
    QARNO_THROW(Exception, "GMesh: scaleAndProjectOnMesh cannot be performed." +
                               std::string(" i = ") + itos(i) +
                               " mantissa defined: " + itos(_frameSizeMant.isDefined() ? 1 : 0) +
                               " exp defined: " + itos(_frameSizeExp.isDefined() ? 1 : 0) +
                               " delta mesh size defined: " + itos(delta.isDefined() ? 1 : 0));
}

ArrayOfDouble GMesh::scaleAndProjectOnMesh(const Direction& dir) const
{
    // DIMENSION as read at construction: the poll scales every direction,
    // so the parameter is not looked up per call.
    const size_t m = _n;
    ArrayOfDouble result(m);
    const Double norm = dir.infiniteNorm();
    if (norm == Double(0.0))
    {
        QARNO_THROW(Exception,
                    "GMesh: scaleAndProjectOnMesh: Cannot handle an infinite norm of zero");
    }
    for (size_t i = 0; i < m; ++i)
    {
        result[i] = scaleAndProjectOnMesh(i, dir[i] / norm);
    }
    return result;
}

bool GMesh::projectGranularCoordinate(size_t i, const Double& p, const Double& c, bool below,
                                      double& projected) const
{
    const Double& g = _granularity[i];
    const Grid grid(g);
    const double gv = g.todouble();
    const double cv = c.todouble();
    const double pv = p.todouble();

    // The mesh size, the centre and the point counted in steps of the grid.
    const double meshSteps = std::round(_deltaMeshSize[i].todouble() / gv);
    const double centerSteps = grid.stepsOf(cv);
    const double pointSteps = pv / gv;
    if (!(meshSteps >= 1.0) || !std::isfinite(pointSteps) ||
        std::fabs(centerSteps) >= MAX_EXACT_STEPS || std::fabs(pointSteps) >= MAX_EXACT_STEPS ||
        std::fabs(cv / gv - centerSteps) > stepTolerance(centerSteps))
    {
        // A centre off its grid (or values too large to count in steps):
        // the tolerant rounding below.
        return false;
    }

    const bool centerOnMesh = (0.0 == std::fmod(centerSteps, meshSteps));
    double v = centerOnMesh ? pointSteps : pointSteps - centerSteps;
    const double tolerance = stepTolerance(v);
    if (g.isInteger() && c.isInteger())
    {
        v = std::round(v);
    }
    const double meshMultiple = std::round(v / meshSteps);
    if (std::fabs(v - meshMultiple * meshSteps) <= tolerance)
    {
        v = meshMultiple * meshSteps;
    }
    else
    {
        // Away from the centre, as the tolerant rounding does.
        v = meshSteps * (below ? std::floor(v / meshSteps) : std::ceil(v / meshSteps));
    }
    projected = grid.multiple(centerOnMesh ? v : centerSteps + v);
    return true;
}

Point GMesh::projectOnMesh(const Point& point, const Point& frameCenter) const
{
    Point x = point;
    const double eps = Double::getEpsilon();
    const Double nudge(PROJECTION_NUDGE);

    for (size_t i = 0; i < point.size(); ++i)
    {
        const Double& c = frameCenter[i];
        const Double& p = point[i];
        const Double delta = getdeltaMeshSize(i);
        const Double diff = p - c;
        const bool below = diff.todouble() < -eps;
        const Double& g = _granularity[i];

        // A granular coordinate is counted in steps of its grid, where the
        // tests are exact: the tolerant multiple test below takes any value
        // within 1e-13 x |value / mesh size| of a multiple for one, so on a
        // fine grid it keeps points off the grid (a fraction of a step away)
        // and off the mesh.
        double projected = 0.0;
        if (isGranular(g) && projectGranularCoordinate(i, p, c, below, projected))
        {
            x[i] = projected;
            continue;
        }

        const bool centerOnMesh = c.isMultipleOf(delta);
        const bool integerRounding = isGranular(g) && g.isInteger() && c.isInteger();

        auto writeBack = [&](const Double& v) -> Double
        {
            x[i] = centerOnMesh ? v : v + c;
            return centerOnMesh ? x[i] : x[i] - c;
        };

        Double v = centerOnMesh ? p : diff;
        size_t k = 0;
        while (!v.isMultipleOf(delta))
        {
            if (k >= MAX_PROJECTION_STEPS)
            {
                break;
            }
            if (0 == k && integerRounding)
            {
                v = v.roundd();
            }
            else if (below)
            {
                v = negated(negated(v).nextMult(delta));
            }
            else
            {
                v = v.nextMult(delta);
            }
            Double vPrime = writeBack(v);
            ++k;

            // The write-back v + c may not reproduce v: push it to the next
            // multiple until it does.
            while (std::fabs(vPrime.todouble() - v.todouble()) >= eps && k != MAX_PROJECTION_STEPS)
            {
                if (v.todouble() >= -eps)
                {
                    if (!(v > vPrime))
                    {
                        v = vPrime;
                    }
                    v = (v + nudge).nextMult(delta);
                }
                else
                {
                    if (!(v < vPrime))
                    {
                        v = vPrime;
                    }
                    v = negated(negated(v - nudge).nextMult(delta));
                }
                vPrime = writeBack(v);
                ++k;
            }
            v = vPrime;
        }

        if (!v.isMultipleOf(delta))
        {
            auto& queue = OutputQueue::getInstance();
            if (queue->goodLevel(OutputLevel::LEVEL_INFO))
            {
                queue->add(OutputInfo("Mesh",
                                      "Warning: Could not project point (index " + itos(i) + ") " +
                                          point.display() + " on mesh " + _deltaMeshSize.display() +
                                          " with frame center " + frameCenter.display(),
                                      OutputLevel::LEVEL_INFO));
            }
            x[i] = p;
        }
    }
    return x;
}

} // namespace QARNO_4_0_0
