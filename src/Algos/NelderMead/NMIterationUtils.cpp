#include "Algos/NelderMead/NMIterationUtils.hpp"

#include <cmath>
#include <iomanip>
#include <locale>
#include <sstream>
#include <string>
#include <vector>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/CacheInterface.hpp"
#include "Algos/EvcInterface.hpp"
#include "Algos/NelderMead/NMEdgeBasis.hpp"
#include "Algos/NelderMead/NMSimplexEvalPointCompare.hpp"
#include "Algos/Step.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/MatrixUtils.hpp"
#include "Output/OutputInfo.hpp"
#include "Output/OutputQueue.hpp"
#include "Util/ArrayOfString.hpp"
#include "Util/Exception.hpp"
#include "Util/StopReasonTypes.hpp"

namespace QARNO_4_0_0
{

namespace
{

/// The nearest simplex owner above step, not looking beyond an algorithm.
NMSimplexPtr findSimplexOfAncestor(const Step* step)
{
    // The walk starts at the parent: the step itself may still be under
    // construction, and its type cannot be asked yet.
    for (const Step* s = step->getParentStep(); nullptr != s; s = s->getParentStep())
    {
        if (auto owner = dynamic_cast<const NMSimplexOwner*>(s))
        {
            return owner->getY();
        }
        if (s->isAnAlgorithm())
        {
            break;
        }
    }
    return nullptr;
}

/// Rows yk - y0, k = 1 .. nbRows, of Y in its order, as a row-pointer matrix
/// over one block of storage.
class EdgeMatrix
{
public:
    EdgeMatrix(const NMSimplex& Y, size_t nbRows, size_t n)
        : _storage(nbRows * n), _rows(nbRows, nullptr)
    {
        const EvalPoint& y0 = Y.front();
        for (size_t k = 0; k < nbRows; ++k)
        {
            _rows[k] = _storage.data() + k * n;
            const EvalPoint& yk = Y[k + 1];
            for (size_t j = 0; j < n; ++j)
            {
                _rows[k][j] = yk[j].todouble() - y0[j].todouble();
            }
        }
    }
    double** rows() { return _rows.data(); }
    const double* row(size_t k) const { return _rows[k]; }

private:
    std::vector<double> _storage;
    std::vector<double*> _rows;
};

bool debugShown()
{
    return OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_DEBUG);
}

std::ostringstream classicStream()
{
    std::ostringstream oss;
    oss.imbue(std::locale::classic());
    return oss;
}

} // namespace

NMIterationUtils::NMIterationUtils(const Step* parentStep)
    : IterationUtils(parentStep), _yDiameter(0), _yVolume(0), _yNormalizedVolume(0),
      _rankTolerance(1e-13), _stepType(NMStepType::UNSET),
      _simplexY(findSimplexOfAncestor(parentStep))
{
}

NMIterationUtils::~NMIterationUtils() = default;

void NMIterationUtils::verifySimplexNotNull() const
{
    if (nullptr == _simplexY)
    {
        QARNO_THROW(Exception, "The iteration utils must have a simplex to work with");
    }
}

int NMIterationUtils::getRankDZ() const
{
    verifySimplexNotNull();
    const NMSimplex& Y = *_simplexY;
    if (Y.empty())
    {
        // No y0 to take differences from: nothing has rank.
        return -1;
    }
    const size_t m = Y.size();
    const size_t n = Y.front().size();
    if (1 == m)
    {
        // DZ has no row.
        OutputQueue::addIfShown(OutputLevel::LEVEL_DEBUG,
                                [] { return std::string("The rank of DZ=[ ] equals 0"); });
        return 0;
    }
    EdgeMatrix DZ(Y, m - 1, n);

    // getRank overwrites the matrix: the debug line is written first.
    std::string rows;
    const bool shown = debugShown();
    if (shown)
    {
        auto oss = classicStream();
        for (size_t k = 0; k + 1 < m; ++k)
        {
            oss << " (";
            for (size_t j = 0; j < n; ++j)
            {
                oss << DZ.row(k)[j] << " ";
            }
            oss << ")";
        }
        rows = oss.str();
    }
    const int rank = getRank(DZ.rows(), m - 1, n, _rankTolerance.todouble());
    if (shown)
    {
        OutputQueue::getInstance()->add("The rank of DZ=[" + rows + " ] equals " +
                                            std::to_string(rank),
                                        OutputLevel::LEVEL_DEBUG);
    }
    return rank;
}

bool NMIterationUtils::isDZFullRank() const
{
    verifySimplexNotNull();
    const NMSimplex& Y = *_simplexY;
    if (!debugShown())
    {
        const double tolerance = _rankTolerance.todouble();
        if (NMEdgeBasis::hasSurelyShortEdge(Y, tolerance))
        {
            return false;
        }
        NMEdgeBasis& basis = Y.edgeBasis();
        basis.follow(Y);
        switch (basis.fullRank(tolerance))
        {
        case NMEdgeBasis::Decision::FULL_RANK:
            return true;
        case NMEdgeBasis::Decision::RANK_DEFICIENT:
            return false;
        case NMEdgeBasis::Decision::UNSURE:
            break;
        }
    }
    return getRankDZ() == static_cast<int>(Y.size()) - 1;
}

void NMIterationUtils::updateYDiameter()
{
    verifySimplexNotNull();
    const NMSimplex& Y = *_simplexY;
    _yDiameter = 0;
    for (size_t p = 0; p < Y.size(); ++p)
    {
        for (size_t q = p + 1; q < Y.size(); ++q)
        {
            double sum = 0;
            for (size_t j = 0; j < Y[p].size(); ++j)
            {
                const double d = Y[p][j].todouble() - Y[q][j].todouble();
                sum += d * d;
            }
            const double dist = std::sqrt(sum);
            if (dist > _yDiameter)
            {
                _yDiameter = dist;
            }
        }
    }
}

void NMIterationUtils::updateYCharacteristics()
{
    verifySimplexNotNull();
    // The characteristics only feed the debug display; the size check is a
    // consistency check of the callers and is kept whatever is shown.
    if (debugShown())
    {
        computeYCharacteristics();
        return;
    }
    const NMSimplex& Y = *_simplexY;
    const size_t n = Y.empty() ? 0 : Y.front().size();
    if (Y.size() != n + 1)
    {
        QARNO_THROW(Exception,
                    "Cannot get the volume of simplex Y when its dimension is not dimPb+1");
    }
}

void NMIterationUtils::computeYCharacteristics()
{
    verifySimplexNotNull();
    updateYDiameter();
    _yVolume = -1;
    _yNormalizedVolume = -1;

    const NMSimplex& Y = *_simplexY;
    const size_t n = Y.empty() ? 0 : Y.front().size();
    if (Y.size() != n + 1)
    {
        QARNO_THROW(Exception,
                    "Cannot get the volume of simplex Y when its dimension is not dimPb+1");
    }

    EdgeMatrix M(Y, n, n);
    double det = 0;
    if (!getDeterminant(M.rows(), det, n))
    {
        OutputQueue::addIfShown(
            OutputLevel::LEVEL_DEBUG,
            [] {
                return std::string(
                    "Cannot get the volume of simplex Y because determinant failed. Continue");
            });
        return;
    }
    OutputQueue::addIfShown(
        OutputLevel::LEVEL_DEBUG,
        [det]
        {
            auto oss = classicStream();
            oss << std::fixed << std::setprecision(6) << det;
            return "The determinant of the matrix: det( [(y1-y0) (y2-y0) ... (ynf-y0)] ) = " +
                   oss.str();
        });
    double factorial = 1;
    for (size_t i = 2; i <= n; ++i)
    {
        factorial *= static_cast<double>(i);
    }
    _yVolume = std::fabs(det) / factorial;

    if (_yDiameter > 0)
    {
        _yNormalizedVolume = _yVolume / std::pow(_yDiameter, static_cast<double>(n));
    }
    else
    {
        OutputQueue::addIfShown(
            OutputLevel::LEVEL_DEBUG,
            []
            {
                return std::string("Cannot get the normalized volume of simplex Y because simplex "
                                   "diameter <=0. Let's continue. ");
            });
    }
}

void NMIterationUtils::displayYInfo() const
{
    verifySimplexNotNull();
    if (!debugShown())
    {
        return;
    }
    const NMSimplex& Y = *_simplexY;
    _parentStep->AddOutputInfo("Number of points in the simplex Y: " + std::to_string(Y.size()),
                               OutputLevel::LEVEL_INFO);

    auto fixed6 = [](double v)
    {
        auto oss = classicStream();
        oss << std::fixed << std::setprecision(6) << v;
        return oss.str();
    };
    auto plain = [](double v)
    {
        auto oss = classicStream();
        oss << v;
        return oss.str();
    };

    OutputInfo info("NM iteration utils", "", OutputLevel::LEVEL_DEBUG);
    info.addMsg((_yVolume > 0) ? "The volume of the simplex: " + fixed6(_yVolume)
                               : "WARNING: Evaluation of the simplex volume failed.");
    info.addMsg((_yDiameter > 0) ? "The diameter of the simplex: " + plain(_yDiameter)
                                 : "WARNING: Evaluation of the simplex diameter failed.");
    info.addMsg((_yNormalizedVolume > 0)
                    ? "The normalized volume of the simplex: " + plain(_yNormalizedVolume)
                    : "WARNING: Evaluation of the simplex normalized volume failed.");
    info.addMsg("The simplex Y contains: ");
    for (const EvalPoint& y : Y)
    {
        info.addMsg(y.display(ArrayOfDouble()));
    }

    // Its debug line goes before the block.
    (void)getRankDZ();

    const auto& queue = OutputQueue::getInstance();
    queue->add(std::move(info));
    queue->flush();
}

bool NMIterationUtils::evalTrialPointsAndFindKnown(Step* step, std::vector<EvalPoint>& known)
{
    known.clear();
    const std::vector<EvalPoint> generated(_trialPoints.begin(), _trialPoints.end());
    const bool result = evalTrialPoints(step);
    if (generated.size() == _trialPoints.size())
    {
        return result;
    }

    // The queue asked the cache when it uses one and the barrier otherwise:
    // the evaluation on record is looked up where the queue found it.
    const EvalType evalType = NMSimplexEvalPointCompare::currentEvalType();
    const bool useCache = EvcInterface::getEvaluatorControl()->getUseCache(-1);
    for (const EvalPoint& x : generated)
    {
        if (_trialPoints.count(x) > 0)
        {
            continue;
        }
        EvalPoint found;
        const bool isFound = useCache ? (0 < CacheInterface(step).find(x, found, evalType))
                                      : EvcInterface(step).findInBarrier(x, found);
        if (isFound && nullptr != found.getEval(evalType))
        {
            known.push_back(std::move(found));
        }
    }
    return result;
}

void NMIterationUtils::setStopReason() const
{
    auto nmStopReasons = AlgoStopReasons<NMStopType>::get(_parentStep->getAllStopReasons());
    NMStopType stopType = NMStopType::UNKNOWN_STEP;
    switch (_stepType)
    {
    case NMStepType::REFLECT:
        stopType = NMStopType::REFLECT_FAILED;
        break;
    case NMStepType::EXPAND:
        stopType = NMStopType::EXPANSION_FAILED;
        break;
    case NMStepType::OUTSIDE_CONTRACTION:
        stopType = NMStopType::OUTSIDE_CONTRACTION_FAILED;
        break;
    case NMStepType::INSIDE_CONTRACTION:
        stopType = NMStopType::INSIDE_CONTRACTION_FAILED;
        break;
    case NMStepType::SHRINK:
        stopType = NMStopType::SHRINK_FAILED;
        break;
    case NMStepType::INSERT_IN_Y:
        stopType = NMStopType::INSERTION_FAILED;
        break;
    default:
        stopType = NMStopType::UNKNOWN_STEP;
        break;
    }
    nmStopReasons->_algoStopReason.set(stopType);
}

} // namespace QARNO_4_0_0
