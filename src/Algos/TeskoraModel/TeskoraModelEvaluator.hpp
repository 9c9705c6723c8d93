#ifndef QARNO_ALGOS_TESKORAMODEL_TESKORAMODELEVALUATOR_HPP
#define QARNO_ALGOS_TESKORAMODEL_TESKORAMODELEVALUATOR_HPP

#include <memory>
#include <string>

#include "Eval/EvalPoint.hpp"
#include "Eval/Evaluator.hpp"
#include "Math/ArrayOfDouble.hpp"
#include "Math/Double.hpp"
#include "Math/Point.hpp"
#include "Output/OutputLevel.hpp"
#include "Type/BBOutputType.hpp"
#include "Type/TeskoraModelFeasibilityType.hpp"

namespace QARNO_4_0_0
{

class EvalParameters;
class TeskoraModel;

/// The evaluator of the surrogate problem: while an inner MADS optimises the
/// surrogate of a `TeskoraModel`, each trial point gets, instead of a
/// blackbox run, a surrogate evaluation (`EvalType::SGTE`) whose outputs are
/// those of the formulation in force (TESKORA_MODEL_FORMULATION, D until the
/// model is ready): the predicted objective, or one of the
/// expected-improvement, probability or distance criteria, plus the
/// exclusion-area penalty; the raw output has the output types of the real
/// problem.
///
/// Model columns: 0 is the objective; with feasibility method C the
/// constraints (EB, PB) follow in BB_OUTPUT_TYPE order, with H, B and M one
/// aggregate column.
///
/// The queue hands points in the space of the whole problem, while the model
/// knows only the sub-problem: fixed variables are dropped before the
/// prediction and put back afterwards (an exception leaves the point in the
/// sub-space).
///
/// Messages go to the output queue at LEVEL_INFO when MODEL_DISPLAY holds
/// the letter "X", at LEVEL_FULL_DEBUG otherwise.
class TeskoraModelEvaluator : public Evaluator
{
public:
    /// The model is not owned and must outlive the evaluator. Throws for a
    /// missing model or a feasibility method other than C, H, B and M.
    TeskoraModelEvaluator(const std::shared_ptr<EvalParameters>& evalParams,
                          const TeskoraModel* teskoraModel, const std::string& modelDisplay,
                          const Double& diversification,
                          TeskoraModelFeasibilityType feasibilityMethod, double exclusionArea,
                          const Point& fixedVariable);
    ~TeskoraModelEvaluator() override;

    /// Evaluates x on the surrogate problem; hMax is not used. Builds the
    /// surrogate first when its training set changed. Returns true and sets
    /// countEval.
    bool eval_x(EvalPoint& x, const Double& hMax, bool& countEval) const override;

    /// The constraint violation of one output vector: INF as soon as an EB
    /// value exceeds epsilon, otherwise the Euclidean norm of the PB values
    /// above epsilon; undefined values are skipped. Writes a line on standard
    /// error and throws when bbo and bbot differ in size.
    static void evalH(const ArrayOfDouble& bbo, const BBOutputTypeList& bbot, Double& h);

private:
    void init();

    const TeskoraModel* _teskoraModel;
    std::string _modelDisplay;
    Double _diversification;
    TeskoraModelFeasibilityType _feasibilityMethod;
    double _exclusionArea;
    OutputLevel _displayLevel;
    /// Fixed variables of the sub-problem, in the space of the whole problem.
    Point _fixedVariable;
    /// BB_OUTPUT_TYPE, read once: the parameters do not change while the
    /// evaluator serves a run.
    BBOutputTypeList _bbot;
};

} // namespace QARNO_4_0_0

#endif
