#ifndef QARNO_ALGOS_QUADMODEL_QUADMODELOPTIMIZE_HPP
#define QARNO_ALGOS_QUADMODEL_QUADMODELOPTIMIZE_HPP

#include <memory>

#include "Algos/QuadModel/QuadModelIterationUtils.hpp"
#include "Algos/Step.hpp"
#include "Math/ArrayOfDouble.hpp"
#include "Math/Point.hpp"
#include "Output/OutputLevel.hpp"

namespace QARNO_4_0_0
{

/// Minimises the quadratic model of its iteration with a child MADS whose
/// every evaluation is a model prediction, inside the box spanned by the
/// training points (variables on which they all agree are fixed), from the
/// frame centre. The child's best feasible and best infeasible points become
/// the trial points; `run()` has them evaluated by the blackbox, `end()`
/// removes the surrogate-only points from the cache.
class QuadModelOptimize : public Step, public QuadModelIterationUtils
{
public:
    QuadModelOptimize(const Step* parentStep, const std::shared_ptr<PbParameters>& refPbParams);
    ~QuadModelOptimize() override;

    const ArrayOfDouble& getModelLowerBound() const { return _modelLowerBound; }
    const ArrayOfDouble& getModelUpperBound() const { return _modelUpperBound; }
    const Point& getModelFixedVar() const { return _modelFixedVar; }
    /// The run parameters of the last inner run; empty before one.
    const std::shared_ptr<RunParameters>& getOptRunParams() const { return _optRunParams; }

protected:
    void init();
    void startImp() override;
    bool runImp() override;
    void endImp() override;
    void generateTrialPoints() override;

    void setupRunParameters();
    void setupPbParameters();
    void setModelBoundsAndFixedVar();

private:
    OutputLevel _displayLevel;
    ArrayOfDouble _modelLowerBound;
    ArrayOfDouble _modelUpperBound;
    Point _modelFixedVar;
    std::shared_ptr<PbParameters> _refPbParams;
    std::shared_ptr<RunParameters> _optRunParams;
    std::shared_ptr<PbParameters> _optPbParams;
};

} // namespace QARNO_4_0_0

#endif
