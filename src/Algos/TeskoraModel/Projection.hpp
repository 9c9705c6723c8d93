#ifndef QARNO_ALGOS_TESKORAMODEL_PROJECTION_HPP
#define QARNO_ALGOS_TESKORAMODEL_PROJECTION_HPP

#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <vector>

#include "Algos/IterationUtils.hpp"
#include "Algos/MeshBase.hpp"
#include "Algos/Step.hpp"
#include "Eval/EvalPoint.hpp"
#include "Math/Direction.hpp"
#include "Output/OutputLevel.hpp"

namespace QARNO_4_0_0
{

/// Turns oracle points into trial points on the mesh of the enclosing MADS
/// iteration and has them evaluated by the blackbox: each oracle point
/// itself, its projection on the mesh around the frame centre, and, for the
/// first oracle point, mesh neighbours of the cache points (each moved by one
/// mesh size per coordinate with a drawn sign pattern, projected around
/// itself), thinned by a greedy selection when there are more than wanted.
///
///     Projection projection(&step, oraclePoints);
///     projection.start(); projection.run(); projection.end();
class Projection : public Step, public IterationUtils
{
public:
    /// The signs of one perturbation: bit i set is a negative step on
    /// coordinate i, 32 coordinates per word, lowest word first.
    using SignPattern = std::vector<uint32_t>;

    Projection(const Step* parentStep, const std::set<EvalPoint, EvalPointCompare>& oraclePoints);
    ~Projection() override;

    void generateTrialPoints() override;
    void projectPoint(const EvalPoint& oraclePoint);
    void nonProjectedPoint(const EvalPoint& oraclePoint);
    void stdProjectedPoint(const EvalPoint& oraclePoint);
    void buildIndexSet(size_t n);
    Direction computePerturbation(const EvalPoint& oraclePoint, const SignPattern& pattern) const;
    Point buildProjectionTrialPoint(const Point& base, const Direction& dir) const;
    /// Marks the candidates to keep; candidate 0 always.
    void doGreedySelection(const EvalPoint& oraclePoint, const std::vector<Point>& candidates,
                           std::vector<bool>& keep);

    /// The sign patterns in use, in increasing order.
    const std::vector<SignPattern>& getSignPatterns() const { return _indexSet; }
    /// The pattern of index i (for n up to 63).
    static SignPattern patternOf(size_t index, size_t n);

protected:
    void init();
    void startImp() override;
    bool runImp() override;
    void endImp() override {}

private:
    std::set<EvalPoint, EvalPointCompare> _oraclePoints;
    OutputLevel _displayLevel;
    std::shared_ptr<MeshBase> _mesh;
    std::shared_ptr<EvalPoint> _frameCenter;
    std::vector<SignPattern> _indexSet;
    size_t _nbTrialPoints;
};

} // namespace QARNO_4_0_0

#endif
