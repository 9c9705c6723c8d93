#include "Algos/TeskoraModel/Projection.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <string>

#include "Algos/CacheInterface.hpp"
#include "Algos/EvcInterface.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/RNG.hpp"
#include "Output/OutputQueue.hpp"

namespace QARNO_4_0_0
{

namespace
{

bool patternLess(const Projection::SignPattern& a, const Projection::SignPattern& b)
{
    // Numeric order of the patterns: the highest word decides first.
    for (size_t w = std::max(a.size(), b.size()); w-- > 0;)
    {
        const uint32_t x = w < a.size() ? a[w] : 0;
        const uint32_t y = w < b.size() ? b[w] : 0;
        if (x != y)
        {
            return x < y;
        }
    }
    return false;
}

bool negative(const Projection::SignPattern& pattern, size_t i)
{
    const size_t word = i / 32;
    return word < pattern.size() && ((pattern[word] >> (i % 32)) & 1u);
}

} // namespace

Projection::Projection(const Step* parentStep,
                       const std::set<EvalPoint, EvalPointCompare>& oraclePoints)
    : Step(parentStep), IterationUtils(parentStep), _oraclePoints(oraclePoints),
      _displayLevel(OutputLevel::LEVEL_INFO), _mesh(), _frameCenter(), _indexSet(),
      _nbTrialPoints(0)
{
    init();
}

Projection::~Projection() = default;

void Projection::init()
{
    setName("Projection");
    verifyParentNotNull();
    // The mesh and frame centre of the nearest iteration above.
    _mesh = getIterationMesh();
    _frameCenter = getIterationFrameCenter();
    // Perturbations need both: the mesh sizes and the dimension of the frame
    // centre.
    if (nullptr != _frameCenter && nullptr != _mesh)
    {
        _nbTrialPoints = _frameCenter->size();
        buildIndexSet(_nbTrialPoints);
    }
}

Projection::SignPattern Projection::patternOf(size_t index, size_t n)
{
    SignPattern pattern((n + 31) / 32, 0u);
    for (size_t w = 0; w < pattern.size() && w < 2; ++w)
    {
        pattern[w] = static_cast<uint32_t>(index >> (32 * w));
    }
    return pattern;
}

void Projection::buildIndexSet(size_t n)
{
    const size_t m = _nbTrialPoints;
    std::vector<SignPattern> patterns;
    if (n <= 63)
    {
        const size_t N = static_cast<size_t>(std::pow(2.0, static_cast<double>(n)));
        if (static_cast<double>(N) * 1.3 <= static_cast<double>(m))
        {
            for (size_t index = 0; index < N; ++index)
            {
                patterns.push_back(patternOf(index, n));
            }
        }
        else
        {
            for (size_t draw = 0; draw < m; ++draw)
            {
                patterns.push_back(patternOf(static_cast<size_t>(RNG::rand()) % N, n));
            }
        }
    }
    else
    {
        // 2^n does not fit a word: one draw per 32 coordinates gives the
        // signs directly.
        for (size_t draw = 0; draw < m; ++draw)
        {
            SignPattern pattern((n + 31) / 32, 0u);
            for (auto& word : pattern)
            {
                word = RNG::rand();
            }
            if (n % 32 != 0)
            {
                pattern.back() &= (1u << (n % 32)) - 1u;
            }
            patterns.push_back(std::move(pattern));
        }
    }
    std::sort(patterns.begin(), patterns.end(), patternLess);
    patterns.erase(std::unique(patterns.begin(), patterns.end()), patterns.end());
    _indexSet = std::move(patterns);
}

void Projection::startImp()
{
    generateTrialPoints();
}

bool Projection::runImp()
{
    evalTrialPoints(this);
    return true;
}

void Projection::generateTrialPoints()
{
    for (const EvalPoint& oraclePoint : _oraclePoints)
    {
        projectPoint(EvalPoint(oraclePoint));
    }
}

void Projection::nonProjectedPoint(const EvalPoint& oraclePoint)
{
    insertTrialPoint(oraclePoint);
}

void Projection::stdProjectedPoint(const EvalPoint& oraclePoint)
{
    Point p(oraclePoint);
    if (nullptr != _mesh && nullptr != _frameCenter)
    {
        p = _mesh->projectOnMesh(p, *_frameCenter);
    }
    const EvalPoint candidate(p);
    if (EvcInterface::getEvaluatorControl()->getUseCache(-1))
    {
        CacheInterface cacheInterface(this);
        if (cacheInterface.smartInsert(candidate, 1, EvalType::SGTE))
        {
            insertTrialPoint(candidate);
        }
    }
    else
    {
        insertTrialPoint(candidate);
    }
}

Direction Projection::computePerturbation(const EvalPoint& oraclePoint,
                                          const SignPattern& pattern) const
{
    const size_t n = oraclePoint.size();
    Direction dir(n, 0.0);
    for (size_t i = 0; i < n; ++i)
    {
        const Double delta = _mesh->getdeltaMeshSize(i);
        dir[i] = negative(pattern, i) ? Double(-delta.todouble()) : delta;
    }
    return dir;
}

Point Projection::buildProjectionTrialPoint(const Point& base, const Direction& dir) const
{
    return _mesh->projectOnMesh(base + dir, base);
}

void Projection::projectPoint(const EvalPoint& oraclePoint)
{
    nonProjectedPoint(oraclePoint);
    stdProjectedPoint(oraclePoint);
    AddOutputInfo("Projection candidate", true, false);

    CacheInterface cacheInterface(this);
    std::vector<EvalPoint> cachePoints;
    cacheInterface.getAllPoints(cachePoints);

    // Candidates as points, sorted and made unique in the cache's order;
    // evaluation points are made only for those kept.
    std::vector<Point> candidates;
    if (!_indexSet.empty())
    {
        candidates.reserve(_indexSet.size() * cachePoints.size());
        for (const SignPattern& pattern : _indexSet)
        {
            const Direction dir = computePerturbation(oraclePoint, pattern);
            for (const EvalPoint& x : cachePoints)
            {
                candidates.push_back(buildProjectionTrialPoint(x, dir));
            }
        }
        std::sort(candidates.begin(), candidates.end(), Point::weakLess);
        candidates.erase(std::unique(candidates.begin(), candidates.end(),
                                     [](const Point& a, const Point& b)
                                     { return !Point::weakLess(a, b) && !Point::weakLess(b, a); }),
                         candidates.end());
    }

    const auto& queue = OutputQueue::getInstance();
    if (queue->goodLevel(_displayLevel))
    {
        queue->add(std::to_string(_indexSet.size()) + " perturbation vectors", _displayLevel);
        queue->add(std::to_string(cachePoints.size()) + " cache points", _displayLevel);
        queue->add(std::to_string(candidates.size()) + " projection candidates", _displayLevel);
    }
    AddOutputInfo("Projection candidate", false, true);

    std::vector<bool> keep(candidates.size(), false);
    if (_nbTrialPoints < candidates.size())
    {
        doGreedySelection(oraclePoint, candidates, keep);
    }
    else
    {
        std::fill(keep.begin(), keep.end(), true);
    }
    for (size_t j = 0; j < candidates.size(); ++j)
    {
        if (keep[j])
        {
            insertTrialPoint(EvalPoint(candidates[j]));
        }
    }
    // Perturbations are for the first oracle point only.
    _indexSet.clear();
}

void Projection::doGreedySelection(const EvalPoint& oraclePoint,
                                   const std::vector<Point>& candidates, std::vector<bool>& keep)
{
    const size_t K = candidates.size();
    const size_t n = oraclePoint.size();
    const size_t m = _nbTrialPoints;
    std::vector<double> delta(n);
    std::vector<double> oracle(n);
    for (size_t i = 0; i < n; ++i)
    {
        delta[i] = _mesh->getdeltaMeshSize(i).todouble();
        oracle[i] = oraclePoint[i].todouble();
    }
    // Coordinates once, as plain numbers, for the distance loops.
    std::vector<double> coords(K * n);
    for (size_t j = 0; j < K; ++j)
    {
        for (size_t i = 0; i < n; ++i)
        {
            coords[j * n + i] = candidates[j][i].todouble();
        }
    }
    const auto squaredDistance = [&](const double* a, const double* b)
    {
        double d = 0.0;
        for (size_t i = 0; i < n; ++i)
        {
            const double t = (a[i] - b[i]) / delta[i];
            d += t * t;
        }
        return d;
    };

    std::vector<double> A(K), B(K), C(K);
    keep.assign(K, false);
    for (size_t j = 0; j < K; ++j)
    {
        A[j] = std::sqrt(squaredDistance(oracle.data(), &coords[j * n]));
        C[j] = squaredDistance(&coords[0], &coords[j * n]);
        B[j] = std::sqrt(C[j]);
    }
    keep[0] = true;
    B[0] = 0.0;
    size_t selected = 1;
    double w = 3.0;
    while (selected < m)
    {
        double best = -DBL_MAX;
        size_t jBest = 1;
        for (size_t j = 0; j < K; ++j)
        {
            const double score = B[j] - w * A[j];
            if (score > best)
            {
                best = score;
                jBest = j;
            }
        }
        if (B[jBest] == 0.0)
        {
            w *= 0.9;
            if (w < 1e-6)
            {
                break;
            }
            continue;
        }
        keep[jBest] = true;
        ++selected;
        B[jBest] = 0.0;
        for (size_t k = 0; k < K; ++k)
        {
            if (B[k] > 0)
            {
                const double d = squaredDistance(&coords[jBest * n], &coords[k * n]);
                if (d < C[k])
                {
                    C[k] = d;
                    B[k] = std::sqrt(d);
                }
            }
        }
    }
    const auto& queue = OutputQueue::getInstance();
    if (queue->goodLevel(_displayLevel))
    {
        queue->add(std::to_string(selected) + " projection candidates (after greedy selection)",
                   _displayLevel);
    }
}

} // namespace QARNO_4_0_0
