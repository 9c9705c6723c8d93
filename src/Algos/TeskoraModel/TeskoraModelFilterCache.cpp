#include "Algos/TeskoraModel/TeskoraModelFilterCache.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <string>

#include "Algos/CacheInterface.hpp"
#include "Algos/TeskoraModel/TeskoraModel.hpp"
#include "Eval/BBOutput.hpp"
#include "Eval/Eval.hpp"
#include "Math/ArrayOfDouble.hpp"
#include "Math/Double.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/RunParameters.hpp"
#include "Type/BBOutputType.hpp"
#include "Type/TeskoraModelFormulationType.hpp"
#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

namespace
{

constexpr size_t NB_FILTER_METHODS = 6;

// Constant-initialised, so usable by any other static at load time.
constexpr const char* const METHOD_TEXTS[NB_FILTER_METHODS] = {
    "Select the best point",
    "Select the most distant point",
    "Select the best point but with a minimum distance to points already selected",
    "Select the best points with a good enough value of hmax",
    "Select point with highest isolation number",
    "Select point with highest density number",
};

const char* methodText(int method)
{
    return (method >= 0 && static_cast<size_t>(method) < NB_FILTER_METHODS) ? METHOD_TEXTS[method]
                                                                            : "";
}

std::string shown(double value)
{
    return Double(value).display(6, 0);
}

// The coordinates as plain values, so that the pairwise distances need no
// temporary direction per pair.
std::vector<double> coordinatesOf(const Point& x)
{
    std::vector<double> coords(x.size());
    for (size_t k = 0; k < x.size(); ++k)
    {
        coords[k] = x[k].todouble();
    }
    return coords;
}

double euclidean(const std::vector<double>& a, const std::vector<double>& b)
{
    double sum = 0.0;
    for (size_t k = 0; k < a.size(); ++k)
    {
        const double d = b[k] - a[k];
        sum += d * d;
    }
    return std::sqrt(sum);
}
} // namespace

TeskoraModelFilterCache::TeskoraModelFilterCache(const TeskoraModel* teskoraModel,
                                                 size_t nbCandidates)
    : Step(teskoraModel), _teskoraModel(teskoraModel), _nbCandidates(nbCandidates),
      _selectedPoints(), _displayLevel(OutputLevel::LEVEL_INFO), _hmaxLimit(-DBL_MAX)
{
    init();
}

TeskoraModelFilterCache::~TeskoraModelFilterCache()
{
    freeSpace();
}

void TeskoraModelFilterCache::init()
{
    setName(getAlgoName() + "Search Filter");
    verifyParentNotNull();

    // Only points of this sub-problem: their sub-space forms are distinct,
    // and comparable with each other.
    CacheInterface cacheInterface(this);
    cacheInterface.find(EvalPoint::hasSgteEval, _cachePoints, true);

    const size_t n = _cachePoints.size();
    _f.assign(n, 0.0);
    _h.assign(n, 0.0);
    _hmax.assign(n, -DBL_MAX);
    _distToEvaluated.assign(n, DBL_MAX);
    _distances.assign(n, std::vector<double>(n, 0.0));
    _isolation.assign(n, DBL_MAX);
    _isSelected.assign(n, false);
    _distToSelected.assign(n, DBL_MAX);
    _distMin.assign(n, DBL_MAX);
    _isolationNumber.assign(n, -1);
    _densityNumber.assign(n, -1);
}

void TeskoraModelFilterCache::freeSpace()
{
    _cachePoints.clear();
    _f.clear();
    _h.clear();
    _hmax.clear();
    _distToEvaluated.clear();
    _distances.clear();
    _isolation.clear();
    _isSelected.clear();
    _distToSelected.clear();
    _distMin.clear();
    _isolationNumber.clear();
    _densityNumber.clear();
}

void TeskoraModelFilterCache::startImp()
{
    computeInitialValues();
}

void TeskoraModelFilterCache::computeInitialValues()
{
    const std::string modelDisplay = _runParams->getAttributeValue<std::string>("MODEL_DISPLAY");
    _displayLevel = (std::string::npos != modelDisplay.find('F')) ? OutputLevel::LEVEL_INFO
                                                                  : OutputLevel::LEVEL_FULL_DEBUG;
    const bool showDetails = OutputQueue::getInstance()->goodLevel(_displayLevel);

    const size_t n = _cachePoints.size();
    if (0 == n)
    {
        return;
    }

    const BBOutputTypeList bbot = TeskoraModel::getBBOutputType();
    std::vector<EvalPoint> evaluated;
    CacheInterface cacheInterface(this);
    cacheInterface.find(EvalPoint::hasBbEval, evaluated, true);
    std::vector<std::vector<double>> evaluatedCoords;
    evaluatedCoords.reserve(evaluated.size());
    for (const EvalPoint& y : evaluated)
    {
        evaluatedCoords.push_back(coordinatesOf(y));
    }
    evaluated.clear();

    std::vector<std::vector<double>> coords;
    coords.reserve(n);
    for (size_t i = 0; i < n; ++i)
    {
        EvalPoint x(_cachePoints[i]);
        _teskoraModel->checkHF(x);
        _f[i] = x.getF(EvalType::SGTE).todouble();
        _h[i] = x.getH(EvalType::SGTE).todouble();

        const ArrayOfDouble outputs =
            x.getEval(EvalType::SGTE)->getBBOutput().getBBOAsArrayOfDouble();
        for (size_t k = 0; k < bbot.size(); ++k)
        {
            if (!isConstraint(bbot[k]))
            {
                continue;
            }
            // A constraint the surrogate line leaves out, or gives no value
            // for, counts as violated as badly as can be.
            const double value =
                (k < outputs.size() && outputs[k].isDefined()) ? outputs[k].todouble() : DBL_MAX;
            _hmax[i] = std::max(_hmax[i], value);
        }

        coords.push_back(coordinatesOf(x));
        for (const auto& y : evaluatedCoords)
        {
            _distToEvaluated[i] = std::min(_distToEvaluated[i], euclidean(coords[i], y));
        }
        _distMin[i] = _distToEvaluated[i];
    }

    if (showDetails)
    {
        AddOutputInfo("Compute distances", _displayLevel);
    }
    for (size_t i = 0; i < n; ++i)
    {
        _distances[i][i] = 0.0;
        for (size_t j = i + 1; j < n; ++j)
        {
            _distances[i][j] = _distances[j][i] = euclidean(coords[i], coords[j]);
        }
    }

    if (showDetails)
    {
        AddOutputInfo("Compute isolations", _displayLevel);
    }
    for (size_t i = 0; i < n; ++i)
    {
        for (size_t j = 0; j < n; ++j)
        {
            const bool dominates = (_h[j] < _h[i]) || (_h[j] == _h[i] && _f[j] < _f[i]);
            if (dominates)
            {
                _isolation[i] = std::min(_isolation[i], _distances[i][j]);
            }
        }
    }

    for (size_t i = 0; i < n; ++i)
    {
        if (_hmax[i] < 0)
        {
            _hmaxLimit = std::max(_hmaxLimit, _hmax[i]);
        }
    }
}

int TeskoraModelFilterCache::applyMethod(FilterSelectionMethod method)
{
    const Double mesh = _teskoraModel->getDeltaMNorm();
    const double deltaMNorm = mesh.isDefined() ? mesh.todouble() : 0.0;
    const bool showDetails = OutputQueue::getInstance()->goodLevel(_displayLevel);
    const size_t n = _cachePoints.size();

    // Smaller h, or equal h and smaller f.
    const auto better = [this](size_t i, size_t j)
    { return (_h[i] < _h[j]) || (_h[i] == _h[j] && _f[i] < _f[j]); };
    // Within `radius` of candidate i, i itself included.
    const auto countWithin = [this, n](size_t i, double radius)
    {
        int count = 0;
        for (size_t j = 0; j < n; ++j)
        {
            count += (_distances[i][j] <= radius) ? 1 : 0;
        }
        return count;
    };

    int best = -1;
    switch (method)
    {
    case FilterSelectionMethod::BEST:
        for (size_t i = 0; i < n; ++i)
        {
            if (!_isSelected[i] && _distMin[i] > 0 &&
                (best < 0 || better(i, static_cast<size_t>(best))))
            {
                best = static_cast<int>(i);
            }
        }
        break;

    case FilterSelectionMethod::MOST_DISTANT:
    {
        double bestDist = 0.0;
        for (size_t i = 0; i < n; ++i)
        {
            if (!_isSelected[i] && _distMin[i] >= bestDist)
            {
                bestDist = _distMin[i];
                best = static_cast<int>(i);
            }
        }
        break;
    }

    case FilterSelectionMethod::BEST_MIN_DISTANCE:
    {
        double dmin = 0.0;
        if (showDetails)
        {
            AddOutputInfo("dmin = " + shown(dmin), _displayLevel);
        }
        for (size_t i = 0; i < n; ++i)
        {
            if (_isSelected[i])
            {
                continue;
            }
            if (_distMin[i] >= dmin && (best < 0 || better(i, static_cast<size_t>(best))))
            {
                best = static_cast<int>(i);
            }
            if (best >= 0)
            {
                if (showDetails)
                {
                    AddOutputInfo("d = " + shown(_distMin[best]), _displayLevel);
                    AddOutputInfo("h select = " + shown(_h[best]), _displayLevel);
                }
                dmin = std::max(dmin, deltaMNorm + _distMin[best]);
            }
        }
        break;
    }

    case FilterSelectionMethod::BEST_GOOD_HMAX:
    {
        double bestF = DBL_MAX;
        for (size_t i = 0; i < n; ++i)
        {
            if (_isSelected[i])
            {
                continue;
            }
            if (_hmax[i] <= _hmaxLimit && _f[i] < bestF && _distMin[i] > deltaMNorm)
            {
                best = static_cast<int>(i);
                bestF = _f[i];
            }
            // Loosen the limit while nothing qualifies, tighten it once a
            // point does. A limit of minus infinity stays so.
            _hmaxLimit = (best < 0) ? _hmaxLimit * 0.5 : 2.0 * _hmax[best];
        }
        break;
    }

    case FilterSelectionMethod::HIGHEST_ISOLATION:
    {
        int bestNumber = 0;
        for (size_t i = 0; i < n; ++i)
        {
            if (_isSelected[i] || !(_isolation[i] > 0))
            {
                continue;
            }
            if (_isolationNumber[i] < 0)
            {
                _isolationNumber[i] = countWithin(i, _isolation[i]);
            }
            if (_isolationNumber[i] > bestNumber)
            {
                bestNumber = _isolationNumber[i];
                best = static_cast<int>(i);
            }
        }
        break;
    }

    case FilterSelectionMethod::HIGHEST_DENSITY:
    {
        int bestNumber = 0;
        for (size_t i = 0; i < n; ++i)
        {
            if (_isSelected[i] || !(_distMin[i] > 0))
            {
                continue;
            }
            if (_densityNumber[i] < 0)
            {
                _densityNumber[i] = countWithin(i, _distMin[i]);
            }
            if (_densityNumber[i] > bestNumber)
            {
                bestNumber = _densityNumber[i];
                best = static_cast<int>(i);
            }
        }
        break;
    }

    default:
        QARNO_THROW(Exception, "Method is not valid: " + std::to_string(static_cast<int>(method)));
    }
    return best;
}

bool TeskoraModelFilterCache::runImp()
{
    const auto formulation =
        _runParams->getAttributeValue<TeskoraModelFormulationType>("TESKORA_MODEL_FORMULATION");
    const std::string filter = _runParams->getAttributeValue<std::string>("TESKORA_MODEL_FILTER");
    const bool isD = (TeskoraModelFormulationType::D == formulation);
    const bool showDetails = OutputQueue::getInstance()->goodLevel(_displayLevel);

    bool present[10] = {};
    size_t nbMethods = 0;
    bool anyMethod = false;
    for (int k = 0; k < 10; ++k)
    {
        present[k] = (std::string::npos != filter.find(static_cast<char>('0' + k)));
        if (present[k])
        {
            ++nbMethods;
            anyMethod = anyMethod || (static_cast<size_t>(k) < NB_FILTER_METHODS);
        }
    }

    if (showDetails)
    {
        std::string msg = "Used method: ";
        if (isD)
        {
            msg += "Method override. Use method 1";
        }
        else
        {
            for (int k = 0; k < 10; ++k)
            {
                if (present[k])
                {
                    msg += std::to_string(k) + " ";
                }
            }
        }
        msg += "(total nb methods = " + std::to_string(nbMethods) + ")";
        AddOutputInfo(msg, _displayLevel);
    }
    if (0 == nbMethods || (!isD && !anyMethod))
    {
        QARNO_THROW(Exception, "No filter method selected, parameter TESKORA_MODEL_FILTER");
    }

    if (showDetails)
    {
        AddOutputInfo("Filter: Start greedy selection", _displayLevel);
    }
    const size_t n = _cachePoints.size();
    const size_t maxAttempts = 2 * nbMethods;
    int method = 0;
    size_t picked = 0;
    bool pickedInPass = true;
    while (picked < _nbCandidates && pickedInPass)
    {
        pickedInPass = false;
        for (size_t attempts = 0; attempts < maxAttempts && !pickedInPass;)
        {
            if (isD)
            {
                method = static_cast<int>(FilterSelectionMethod::MOST_DISTANT);
            }
            else
            {
                // The next enabled method after the current one, cyclically.
                do
                {
                    method = (method + 1) % static_cast<int>(NB_FILTER_METHODS);
                } while (!present[method]);
            }
            if (showDetails)
            {
                AddOutputInfo(std::string("Method ") + methodText(method), _displayLevel);
            }

            const int i = applyMethod(static_cast<FilterSelectionMethod>(method));
            if (i >= 0 && !_isSelected[i])
            {
                if (showDetails)
                {
                    AddOutputInfo("--> Selection of search point " + _cachePoints[i].displayAll(),
                                  _displayLevel);
                }
                _isSelected[i] = true;
                ++picked;
                pickedInPass = true;
                for (size_t j = 0; j < n; ++j)
                {
                    const double d = _distances[j][i];
                    if (d < _distToSelected[j])
                    {
                        _distToSelected[j] = d;
                        // A density number depends on _distMin alone: keep it
                        // while _distMin stays.
                        if (d < _distMin[j])
                        {
                            _distMin[j] = d;
                            _densityNumber[j] = -1;
                        }
                        if (d < _isolation[j])
                        {
                            _isolation[j] = d;
                            _isolationNumber[j] = 0;
                        }
                    }
                }
            }
            else
            {
                if (showDetails)
                {
                    AddOutputInfo(std::string("Method ") + methodText(method) +
                                      " did not return a point",
                                  _displayLevel);
                }
                ++attempts;
            }
        }
    }

    for (size_t i = 0; i < n && _selectedPoints.size() < _nbCandidates; ++i)
    {
        if (_isSelected[i])
        {
            _selectedPoints.insert(_cachePoints[i]);
        }
    }

    if (OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_INFO))
    {
        AddOutputInfo("Cache filter found " + std::to_string(_selectedPoints.size()) + " points",
                      OutputLevel::LEVEL_INFO);
    }
    return true;
}

std::string filterSelectionMethodToString(FilterSelectionMethod method)
{
    return methodText(static_cast<int>(method));
}

} // namespace QARNO_4_0_0
