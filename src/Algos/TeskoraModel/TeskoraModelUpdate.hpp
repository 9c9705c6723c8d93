#ifndef QARNO_ALGOS_TESKORAMODEL_TESKORAMODELUPDATE_HPP
#define QARNO_ALGOS_TESKORAMODEL_TESKORAMODELUPDATE_HPP

#include "Algos/Step.hpp"
#include "Eval/EvalPoint.hpp"
#include "Output/OutputLevel.hpp"

namespace QARNO_4_0_0
{

/// Feeds the surrogate of its `TeskoraModel` with the correctly evaluated
/// cache points that lie in a box around the points of the current barrier:
/// one input row and one output row each (the output layout follows the
/// feasibility method), appended once per point, then the surrogate is
/// rebuilt, its readiness recorded and the model box widened.
class TeskoraModelUpdate : public Step
{
public:
    explicit TeskoraModelUpdate(const Step* parentStep);
    ~TeskoraModelUpdate() override;

    /// A blackbox evaluation with a complete output line, status EVAL_OK or
    /// EVAL_CONS_H_OVER, and a defined f.
    static bool validForUpdate(const EvalPoint& x);

protected:
    void init();
    void startImp() override;
    bool runImp() override;
    void endImp() override {}

private:
    OutputLevel _displayLevel;
};

} // namespace QARNO_4_0_0

#endif
