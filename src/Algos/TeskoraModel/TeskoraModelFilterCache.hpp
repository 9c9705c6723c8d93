#ifndef QARNO_ALGOS_TESKORAMODEL_TESKORAMODELFILTERCACHE_HPP
#define QARNO_ALGOS_TESKORAMODEL_TESKORAMODELFILTERCACHE_HPP

#include <cstddef>
#include <set>
#include <string>
#include <vector>

#include "Algos/Step.hpp"
#include "Eval/EvalPoint.hpp"
#include "Output/OutputLevel.hpp"

namespace QARNO_4_0_0
{

class TeskoraModel;

/// The ways the cache filter picks its next candidate.
enum class FilterSelectionMethod : int
{
    BEST = 0,              ///< smallest h, then smallest f
    MOST_DISTANT = 1,      ///< farthest from the evaluated and the picked points
    BEST_MIN_DISTANCE = 2, ///< best, but away from the points already picked
    BEST_GOOD_HMAX = 3,    ///< best f under an adaptive limit on the constraints
    HIGHEST_ISOLATION = 4, ///< most isolated from the candidates dominating it
    HIGHEST_DENSITY = 5    ///< most candidates in its free neighbourhood
};

/// The text of a selection method ("Select the best point", ...); empty for
/// a value outside the table.
std::string filterSelectionMethodToString(FilterSelectionMethod method);

/// Picks, among the cache points that carry a surrogate evaluation, a small
/// and varied set of candidates for the blackbox: one point at a time, each
/// time with the next method that TESKORA_MODEL_FILTER enables (only
/// MOST_DISTANT for formulation D), keeping later picks away from the
/// blackbox-evaluated points and from the earlier picks.
///
///     TeskoraModelFilterCache filter(&model, nbWanted);
///     filter.start(); filter.run(); filter.end();
///     for (const auto& x : filter.getSelectedPoints()) ...
class TeskoraModelFilterCache : public Step
{
public:
    /// `teskoraModel` is both the parent step and the model whose surrogate
    /// values and mesh are read. The candidates are read from the cache here.
    TeskoraModelFilterCache(const TeskoraModel* teskoraModel, size_t nbCandidates);
    ~TeskoraModelFilterCache() override;

    /// The candidates picked by `run()`, at most the number wanted.
    const std::set<EvalPoint, EvalPointCompare>& getSelectedPoints() const
    {
        return _selectedPoints;
    }

    /// The candidate, not selected yet, that the method picks; -1 when none.
    /// Methods HIGHEST_ISOLATION and HIGHEST_DENSITY cache the numbers they
    /// compute, BEST_GOOD_HMAX moves the limit on the constraints.
    int applyMethod(FilterSelectionMethod method);
    /// Surrogate values, distances and isolations of the candidates.
    void computeInitialValues();
    /// Drops the candidates and their values; the selection stays.
    void freeSpace();

protected:
    void init();
    void startImp() override;
    bool runImp() override;
    void endImp() override {}

    const TeskoraModel* _teskoraModel;
    size_t _nbCandidates;
    std::set<EvalPoint, EvalPointCompare> _selectedPoints;
    OutputLevel _displayLevel;

    // One entry per candidate, indexed like `_cachePoints` (cache order).
    std::vector<EvalPoint> _cachePoints;
    std::vector<double> _f;
    std::vector<double> _h;
    /// Largest constraint output; -DBL_MAX without constraint outputs.
    std::vector<double> _hmax;
    std::vector<double> _distToEvaluated;
    /// Full symmetric table of the distances between candidates.
    std::vector<std::vector<double>> _distances;
    /// Distance to the nearest candidate dominating this one (or to the
    /// nearest pick, when closer).
    std::vector<double> _isolation;
    std::vector<bool> _isSelected;
    std::vector<double> _distToSelected;
    /// min(_distToEvaluated, _distToSelected).
    std::vector<double> _distMin;
    /// -1 until computed.
    std::vector<int> _isolationNumber;
    std::vector<int> _densityNumber;
    double _hmaxLimit;
};

} // namespace QARNO_4_0_0

#endif
