#ifndef QARNO_ALGOS_QUADMODEL_QUADMODELUPDATE_HPP
#define QARNO_ALGOS_QUADMODEL_QUADMODELUPDATE_HPP

#include "Algos/Step.hpp"
#include "Eval/EvalPoint.hpp"
#include "Math/ArrayOfDouble.hpp"
#include "Output/OutputLevel.hpp"

namespace QARNO_4_0_0
{

/// Fills the training set of its quadratic-model iteration with the valid
/// evaluated cache points (within MODEL_RADIUS_FACTOR frame sizes of the
/// frame centre when the iteration has a mesh) and builds the model. Its run
/// answers whether the model is ready.
class QuadModelUpdate : public Step
{
public:
    QuadModelUpdate(const Step* parentStep, OutputLevel displayLevel);
    ~QuadModelUpdate() override;

    /// A complete, successful (EVAL_OK or EVAL_CONS_H_OVER) blackbox
    /// evaluation with a defined f.
    bool isValidForUpdate(const EvalPoint& x) const;
    /// Valid for the update and inside the box around the frame centre.
    bool isValidForIncludeInModel(const EvalPoint& x) const;

protected:
    void init();
    void startImp() override {}
    bool runImp() override;
    void endImp() override {}

private:
    OutputLevel _displayLevel;
    const EvalPoint* _frameCenter;
    ArrayOfDouble _radiuses;
};

} // namespace QARNO_4_0_0

#endif
