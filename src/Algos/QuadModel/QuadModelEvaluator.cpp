#include "Algos/QuadModel/QuadModelEvaluator.hpp"

#include "Algos/ModelConstraintViolation.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/EvalParameters.hpp"
#include "Util/ArrayOfString.hpp"
#include "Util/Exception.hpp"
#include "Util/Utils.hpp"
#include "teskora/Matrix.hpp"
#include "teskora/Surrogate.hpp"

namespace QARNO_4_0_0
{

QuadModelEvaluator::QuadModelEvaluator(const std::shared_ptr<EvalParameters>& evalParams,
                                       const std::shared_ptr<TESKORA::Surrogate>& model,
                                       const std::string& modelDisplay, const Point& fixedVariable)
    : Evaluator(evalParams, EvalType::SGTE, EvalXDefined::UNDEFINED), _model(model),
      _modelDisplay(modelDisplay), _displayLevel(OutputLevel::LEVEL_INFO),
      _fixedVariable(fixedVariable)
{
    init();
}

QuadModelEvaluator::~QuadModelEvaluator() = default;

void QuadModelEvaluator::init()
{
    _displayLevel = (std::string::npos != _modelDisplay.find('X')) ? OutputLevel::LEVEL_INFO
                                                                   : OutputLevel::LEVEL_FULL_DEBUG;
    if (!_model)
    {
        QARNO_THROW(Exception, "Evaluator: a model is required (nullptr)");
    }
    if (nullptr != _evalParams)
    {
        _bbot = _evalParams->getSpValue<BBOutputTypeList>("BB_OUTPUT_TYPE", true, false);
    }
}

std::vector<bool> QuadModelEvaluator::eval_block(std::vector<std::shared_ptr<EvalPoint>>& block,
                                                 const Double& /*hMax*/,
                                                 std::vector<bool>& countEval) const
{
    std::vector<bool> evalOk;
    countEval.clear();
    if (block.empty())
    {
        QARNO_THROW(Exception, "Evaluator: eval_block called with an empty block");
    }

    // Decided once: a message that is not shown is not composed either.
    const auto& queue = OutputQueue::getInstance();
    const bool show = queue->goodLevel(_displayLevel);
    const auto say = [&queue, this](const std::string& msg) { queue->add(msg, _displayLevel); };

    // The model knows only the sub-problem's variables.
    for (auto& point : block)
    {
        if (!point)
        {
            // Said as for a point without coordinates rather than crash.
            QARNO_THROW(Exception, "Evaluator: Incomplete point " + Point().display());
        }
        point = std::make_shared<EvalPoint>(point->makeSubSpacePointFromFixed(_fixedVariable));
    }

    const size_t nbPoints = block.size();
    const size_t n = block[0]->size();
    const BBOutputTypeList& bbot = _bbot;
    const size_t nc = getNbConstraints(bbot);
    const size_t m = nc + 1;

    TESKORA::Matrix M_predict("M_predict", static_cast<int>(nbPoints), static_cast<int>(m));
    TESKORA::Matrix X_predict("X_predict", static_cast<int>(nbPoints), static_cast<int>(n));

    // Until the prediction is written, each point says that it is being
    // evaluated by the model, with a placeholder value per output.
    const std::string provisionalBBO = ArrayOfString(bbot.size(), "-1").display();
    for (size_t i = 0; i < nbPoints; ++i)
    {
        EvalPoint& point = *block[i];
        if (!point.isComplete())
        {
            QARNO_THROW(Exception, "Evaluator: Incomplete point " + point.display());
        }
        if (show)
        {
            say("X" + itos(i) + " =" + point.display());
        }
        for (size_t j = 0; j < n; ++j)
        {
            X_predict.set(static_cast<int>(i), static_cast<int>(j), point[j].todouble());
        }
        point.setBBO(provisionalBBO, bbot, EvalType::SGTE, true);
    }

    if (show)
    {
        say("Predict with quadratic formulation... ");
    }
    _model->check_ready(QARNO_SOURCE_FILE, "eval_block", __LINE__);
    _model->predict(X_predict, &M_predict);
    // The columns are read by their constraint rank: a model trained on
    // fewer outputs than BB_OUTPUT_TYPE has constraints would be read out of
    // its range.
    if (M_predict.get_nb_cols() < static_cast<int>(m))
    {
        QARNO_THROW(Exception, "Evaluator: the model gives " + itos(M_predict.get_nb_cols()) +
                                   " outputs; BB_OUTPUT_TYPE needs " + itos(m));
    }
    if (show)
    {
        say("ok");
    }

    ArrayOfDouble outputs(bbot.size());
    for (size_t i = 0; i < nbPoints; ++i)
    {
        EvalPoint& point = *block[i];
        const int row = static_cast<int>(i);
        if (show)
        {
            say("X" + itos(i) + ": " + point.display());
            std::string values = "F = " + modelValueText(M_predict.get(row, 0)) + " ";
            if (nc > 0)
            {
                values += "C = [ ";
                for (size_t k = 1; k <= nc; ++k)
                {
                    values += modelValueText(M_predict.get(row, static_cast<int>(k))) + " ";
                }
                values += " ]";
            }
            say(values);
        }

        const Double f = M_predict.get(row, 0);
        size_t k = 0;
        for (size_t j = 0; j < bbot.size(); ++j)
        {
            if (BBOutputType::OBJ == bbot[j])
            {
                outputs[j] = f;
            }
            else if (isConstraint(bbot[j]))
            {
                ++k;
                outputs[j] = M_predict.get(row, static_cast<int>(k));
            }
            else
            {
                outputs[j] = -1.0;
            }
        }
        point.setBBO(outputs.display(), bbot, EvalType::SGTE, true);

        Double h;
        evalH(outputs, bbot, h);
        // The values read back from the text are rounded to its digits.
        point.setF(f, EvalType::SGTE);
        point.setH(h, EvalType::SGTE);

        countEval.push_back(true);
        evalOk.push_back(true);
        point.setEvalStatus(EvalStatusType::EVAL_OK, EvalType::SGTE);
    }

    for (auto& point : block)
    {
        point = std::make_shared<EvalPoint>(point->makeFullSpacePointFromFixed(_fixedVariable));
    }

    return evalOk;
}

void QuadModelEvaluator::evalH(const ArrayOfDouble& bbo, const BBOutputTypeList& bbot, Double& h)
{
    computeModelConstraintViolation(bbo, bbot, h, "QuadModelEvaluator");
}

} // namespace QARNO_4_0_0
