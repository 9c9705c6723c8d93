#ifndef QARNO_ALGOS_TESKORAMODEL_TESKORAMODELOPTIMIZE_HPP
#define QARNO_ALGOS_TESKORAMODEL_TESKORAMODELOPTIMIZE_HPP

#include <memory>
#include <set>

#include "Algos/Mads/Mads.hpp"
#include "Algos/Step.hpp"
#include "Eval/EvalPoint.hpp"
#include "Math/ArrayOfDouble.hpp"
#include "Output/OutputLevel.hpp"

namespace QARNO_4_0_0
{

class TeskoraModel;

/// Optimises the surrogate problem of its `TeskoraModel` with a child MADS
/// whose every evaluation is a value of that problem, inside the bounds the
/// iteration gives; every point of the child's final barrier becomes an
/// oracle point. Nothing is evaluated by the blackbox here.
///
///     TeskoraModelOptimize optimize(&model, runParams, pbParams);
///     optimize.setupPbParameters(lb, ub, meshSize, frameSize);
///     optimize.start(); optimize.run(); optimize.end();
///     for (const auto& x : optimize.getOraclePoints()) ...
class TeskoraModelOptimize : public Step
{
public:
    TeskoraModelOptimize(const Step* parentStep, const std::shared_ptr<RunParameters>& refRunParams,
                         const std::shared_ptr<PbParameters>& refPbParams);
    ~TeskoraModelOptimize() override;

    void setupPbParameters(const ArrayOfDouble& lowerBound, const ArrayOfDouble& upperBound,
                           const ArrayOfDouble& initialMeshSize,
                           const ArrayOfDouble& initialFrameSize);
    void updateOraclePoints();
    const std::set<EvalPoint, EvalPointCompare>& getOraclePoints() const { return _oraclePoints; }
    const std::shared_ptr<RunParameters>& getOptRunParams() const { return _optRunParams; }
    const std::shared_ptr<PbParameters>& getOptPbParams() const { return _optPbParams; }

protected:
    void init();
    void setupRunParameters();
    void startImp() override;
    bool runImp() override;
    void endImp() override {}
    /// The child problem has a starting point to begin from.
    bool hasStartingPoint() const;

private:
    const TeskoraModel* _teskoraModel;
    OutputLevel _displayLevel;
    std::shared_ptr<Mads> _mads;
    std::set<EvalPoint, EvalPointCompare> _oraclePoints;
    std::shared_ptr<RunParameters> _refRunParams;
    std::shared_ptr<PbParameters> _refPbParams;
    std::shared_ptr<RunParameters> _optRunParams;
    std::shared_ptr<PbParameters> _optPbParams;
};

} // namespace QARNO_4_0_0

#endif
