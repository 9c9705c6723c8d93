#ifndef QARNO_ALGOS_QUADMODEL_QUADMODELEVALUATOR_HPP
#define QARNO_ALGOS_QUADMODEL_QUADMODELEVALUATOR_HPP

#include <memory>
#include <string>
#include <vector>

#include "Eval/EvalPoint.hpp"
#include "Eval/Evaluator.hpp"
#include "Math/ArrayOfDouble.hpp"
#include "Math/Double.hpp"
#include "Math/Point.hpp"
#include "Output/OutputLevel.hpp"
#include "Type/BBOutputType.hpp"

namespace TESKORA
{
class Surrogate;
}

namespace QARNO_4_0_0
{

class EvalParameters;

/// The evaluator of the quadratic-model optimisation: answers every request
/// with a prediction of the quadratic model instead of running the blackbox.
///
/// A block is predicted in one call of the model. Each point of the block is
/// replaced by a new point carrying a surrogate evaluation (`EvalType::SGTE`)
/// with the predicted objective and constraints, and the constraint violation
/// h computed from the predictions (`evalH`); every point is EVAL_OK and
/// counted, whatever its predicted values.
///
/// The queue hands points in the space of the whole problem, while the model
/// was trained on the sub-problem of the quadratic-model algorithm: the fixed
/// variables are dropped before the prediction and put back afterwards.
///
/// Model outputs: output 0 is the objective, output k (1..nc) the k-th
/// constraint (EB or PB) of BB_OUTPUT_TYPE, in that order; other output
/// types (CNT_EVAL, unused outputs) receive -1.
///
/// Messages go to the output queue at LEVEL_INFO when MODEL_DISPLAY holds
/// the letter "X", at LEVEL_FULL_DEBUG otherwise.
class QuadModelEvaluator : public Evaluator
{
public:
    /// Throws "Evaluator: a model is required (nullptr)" for an empty model.
    QuadModelEvaluator(const std::shared_ptr<EvalParameters>& evalParams,
                       const std::shared_ptr<TESKORA::Surrogate>& model,
                       const std::string& modelDisplay, const Point& fixedVariable);
    ~QuadModelEvaluator() override;

    /// Predicts the whole block; hMax is not used. On success the block has
    /// the same length, each entry a new full-space point, and countEval and
    /// the result one true per point. An exception leaves the block holding
    /// the sub-space copies of its points (the points it held before are not
    /// changed).
    std::vector<bool> eval_block(std::vector<std::shared_ptr<EvalPoint>>& block, const Double& hMax,
                                 std::vector<bool>& countEval) const override;

    /// The constraint violation of one output vector: INF as soon as an EB
    /// value exceeds epsilon, otherwise the Euclidean norm of the PB values
    /// above epsilon. Undefined values are skipped. Writes a line on standard
    /// error and throws when bbo and bbot differ in size.
    static void evalH(const ArrayOfDouble& bbo, const BBOutputTypeList& bbot, Double& h);

private:
    void init();

    std::shared_ptr<TESKORA::Surrogate> _model;
    std::string _modelDisplay;
    OutputLevel _displayLevel;
    /// Fixed variables of the sub-problem, in the space of the whole problem.
    Point _fixedVariable;
    /// BB_OUTPUT_TYPE, read once: the parameters do not change while the
    /// evaluator serves a run.
    BBOutputTypeList _bbot;
};

} // namespace QARNO_4_0_0

#endif
