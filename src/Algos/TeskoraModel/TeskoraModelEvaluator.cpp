#include "Algos/TeskoraModel/TeskoraModelEvaluator.hpp"

#include <cmath>

#include "Algos/ModelConstraintViolation.hpp"
#include "Algos/TeskoraModel/TeskoraModel.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/EvalParameters.hpp"
#include "Type/TeskoraModelFormulationType.hpp"
#include "Util/ArrayOfString.hpp"
#include "Util/Exception.hpp"
#include "Util/Utils.hpp"
#include "teskora/Exception.hpp"
#include "teskora/Matrix.hpp"
#include "teskora/Surrogate.hpp"
#include "teskora/TrainingSet.hpp"

namespace QARNO_4_0_0
{

namespace
{

std::string show6(double v)
{
    return Double(v).display(6, 0);
}

/// Whether the formulation reads the surrogate's standard deviations,
/// cumulative distributions and expected improvements.
bool needsStatistics(TeskoraModelFormulationType formulation, const Double& diversification)
{
    switch (formulation)
    {
    case TeskoraModelFormulationType::FS:
        return diversification.abs().todouble() >= Double::getEpsilon();
    case TeskoraModelFormulationType::FSP:
    case TeskoraModelFormulationType::EIS:
    case TeskoraModelFormulationType::EFI:
    case TeskoraModelFormulationType::EFIS:
    case TeskoraModelFormulationType::EFIM:
    case TeskoraModelFormulationType::EFIC:
    case TeskoraModelFormulationType::PFI:
        return true;
    case TeskoraModelFormulationType::D:
        return false;
    default:
        // EXTERN is optimised through a blackbox of its own, never here.
        QARNO_THROW(TESKORA::Exception, "Forbiden formulation");
    }
}

} // namespace

TeskoraModelEvaluator::TeskoraModelEvaluator(const std::shared_ptr<EvalParameters>& evalParams,
                                             const TeskoraModel* teskoraModel,
                                             const std::string& modelDisplay,
                                             const Double& diversification,
                                             TeskoraModelFeasibilityType feasibilityMethod,
                                             double exclusionArea, const Point& fixedVariable)
    : Evaluator(evalParams, EvalType::SGTE, EvalXDefined::UNDEFINED), _teskoraModel(teskoraModel),
      _modelDisplay(modelDisplay), _diversification(diversification),
      _feasibilityMethod(feasibilityMethod), _exclusionArea(exclusionArea),
      _displayLevel(OutputLevel::LEVEL_INFO), _fixedVariable(fixedVariable)
{
    init();
}

TeskoraModelEvaluator::~TeskoraModelEvaluator() = default;

void TeskoraModelEvaluator::init()
{
    _displayLevel = (std::string::npos != _modelDisplay.find('X')) ? OutputLevel::LEVEL_INFO
                                                                   : OutputLevel::LEVEL_FULL_DEBUG;
    if (nullptr == _teskoraModel)
    {
        QARNO_THROW(Exception, "Evaluator: a model is required (nullptr)");
    }
    // Any other method has no number of model outputs: the working matrices
    // would be sized by the largest size_t.
    if (TeskoraModelFeasibilityType::C != _feasibilityMethod &&
        TeskoraModelFeasibilityType::H != _feasibilityMethod &&
        TeskoraModelFeasibilityType::B != _feasibilityMethod &&
        TeskoraModelFeasibilityType::M != _feasibilityMethod)
    {
        QARNO_THROW(Exception, "TeskoraModelEvaluator: TESKORA_MODEL_FEASIBILITY not valid");
    }
    if (nullptr != _evalParams)
    {
        _bbot = _evalParams->getSpValue<BBOutputTypeList>("BB_OUTPUT_TYPE", true, false);
    }
}

bool TeskoraModelEvaluator::eval_x(EvalPoint& x, const Double& /*hMax*/, bool& countEval) const
{
    // Decided once: a message that is not shown is not composed either.
    const auto& queue = OutputQueue::getInstance();
    const bool show = queue->goodLevel(_displayLevel);
    const auto say = [&queue, this](const std::string& msg) { queue->add(msg, _displayLevel); };

    // The model knows only the sub-problem's variables.
    x = x.makeSubSpacePointFromFixed(_fixedVariable);
    if (show)
    {
        say("X = " + x.display());
    }

    const BBOutputTypeList& bbot = _bbot;
    const size_t nbConstraints = getNbConstraints(bbot);
    const size_t m = TeskoraModel::getNbModels(_feasibilityMethod, nbConstraints);
    const int mi = static_cast<int>(m);
    const size_t n = x.size();

    const auto& trainingSet = _teskoraModel->getTrainingSet();
    const auto& model = _teskoraModel->getModel();
    if (nullptr == trainingSet || nullptr == model)
    {
        QARNO_THROW(Exception, "TeskoraModelEvaluator: the model has no surrogate");
    }

    TESKORA::Matrix X_predict("X_predict", 1, static_cast<int>(n));
    for (size_t j = 0; j < n; ++j)
    {
        X_predict.set(0, static_cast<int>(j), x[j].todouble());
    }
    TESKORA::Matrix M_predict("M_predict", 1, mi);
    TESKORA::Matrix STD_predict("STD_predict", 1, mi);
    TESKORA::Matrix CDF_predict("CDF_predict", 1, mi);
    TESKORA::Matrix EI_predict("EI_predict", 1, mi);
    double pf = 1.0;
    double f = 0.0, sigma = 0.0, PI = 0.0, EI = 0.0, EFI = 0.0, PFI = 0.0, mu = 0.0, P = 0.0,
           d = 0.0;

    const TeskoraModelFormulationType formulation = _teskoraModel->getFormulation();

    // Until the surrogate problem is computed, the point carries a
    // placeholder value per output.
    x.setBBO(ArrayOfString(bbot.size(), "-1").display(), bbot, EvalType::SGTE, true);

    const bool computeStat = needsStatistics(formulation, _diversification);
    const bool foundFeasible = _teskoraModel->getFoundFeasible();
    const bool constraintColumns = TeskoraModelFormulationType::FS == formulation ||
                                   TeskoraModelFormulationType::EIS == formulation;
    // These read the k-th constraint in model column k, which only the
    // method C provides for more than one constraint.
    if (constraintColumns && nbConstraints >= m)
    {
        QARNO_THROW(Exception,
                    "TeskoraModelEvaluator: Formulations FS and EIS can only be used with "
                    "FeasibilityMethod C");
    }
    if (show)
    {
        say("Formulation: " + TeskoraModelFormulationTypeToString(formulation) +
            "; compute stat: " + boolToString(computeStat) +
            "; found feasible: " + boolToString(foundFeasible));
    }

    if (TeskoraModelFormulationType::D == formulation)
    {
        // The training inputs are kept scaled: the point is compared in the
        // same space. An empty training set has no scaling yet.
        TESKORA::Matrix Xs(X_predict);
        Xs.set_name("Xs_predict");
        if (trainingSet->get_nb_points() > 0)
        {
            trainingSet->X_scale(Xs);
        }
        d = trainingSet->get_distance_to_closest(Xs).get(0, 0);
        if (show)
        {
            say("d = " + show6(d));
        }
    }
    else
    {
        if (show)
        {
            say("Predict... ");
        }
        model->build();
        model->check_ready(QARNO_SOURCE_FILE, "eval_x", __LINE__);
        if (computeStat)
        {
            model->predict(X_predict, &M_predict, &STD_predict, &EI_predict, &CDF_predict);
        }
        else
        {
            model->predict(X_predict, &M_predict);
        }
        // A model trained on fewer outputs than BB_OUTPUT_TYPE needs would
        // be read out of its range.
        if (M_predict.get_nb_cols() < mi)
        {
            QARNO_THROW(Exception, "TeskoraModelEvaluator: the model gives " +
                                       itos(M_predict.get_nb_cols()) +
                                       " outputs; BB_OUTPUT_TYPE needs " + itos(m));
        }
        if (show)
        {
            say("ok");
        }
    }

    f = M_predict.get(0, 0);
    if (computeStat)
    {
        // Before any feasible point the statistics of the objective say
        // nothing: every point is equally promising.
        sigma = foundFeasible ? STD_predict.get(0, 0) : 1.0;
        PI = foundFeasible ? CDF_predict.get(0, 0) : 1.0;
        EI = foundFeasible ? EI_predict.get(0, 0) : 1.0;
    }
    if (show)
    {
        say("F = " + show6(f) + (computeStat ? " +/- " + show6(sigma) : std::string()));

        std::string feasibility;
        const auto aggregate = [&](const std::string& title, const std::string& name)
        {
            return title + name + " = " + modelValueText(M_predict.get(0, 1)) + " +/- " +
                   modelValueText(STD_predict.get(0, 1)) +
                   " (CDF : " + modelValueText(CDF_predict.get(0, 1)) + ")";
        };
        switch (_feasibilityMethod)
        {
        case TeskoraModelFeasibilityType::C:
            if (computeStat)
            {
                for (int j = 1; j < mi; ++j)
                {
                    feasibility += "C" + itos(static_cast<size_t>(j)) + " = " +
                                   modelValueText(M_predict.get(0, j)) + " +/- " +
                                   modelValueText(STD_predict.get(0, j)) +
                                   " (CDF : " + modelValueText(CDF_predict.get(0, j)) + ")";
                }
            }
            else
            {
                feasibility = "C = [ ";
                for (int j = 1; j < mi; ++j)
                {
                    feasibility += modelValueText(M_predict.get(0, j)) + " ";
                }
                feasibility += " ]";
            }
            break;
        case TeskoraModelFeasibilityType::H:
            feasibility = aggregate("Feasibility_Method : H (Aggregate prediction)", "H");
            break;
        case TeskoraModelFeasibilityType::B:
            feasibility = aggregate("Feasibility_Method : B (binary prediction)", "B");
            break;
        case TeskoraModelFeasibilityType::M:
            feasibility = aggregate("Feasibility_Method : M (Biggest constraint prediction)", "M");
            break;
        default:
            break;
        }
        say(feasibility);
    }

    if (computeStat)
    {
        const double eps = Double::getEpsilon();
        double L2 = 0.0;
        if (nbConstraints > 0 && m > 1)
        {
            for (int j = 1; j < mi; ++j)
            {
                pf *= CDF_predict.get(0, j);
                const double c = M_predict.get(0, j);
                if (!(c < -eps))
                {
                    L2 += c * c;
                }
            }
        }
        // No point is likely feasible yet: the least violated are preferred.
        if (!foundFeasible && std::fabs(pf) < eps)
        {
            pf = 1.0 / (1.0 + L2);
            if (show)
            {
                say("pf = 0 and L2 = " + show6(L2) + " => pF = " + show6(pf));
            }
        }
        PFI = PI * pf;
        EFI = EI * pf;
        mu = 4.0 * pf * (1.0 - pf);
    }

    // The diversification is read only by the formulations that use it.
    const auto div = [this]() { return _diversification.todouble(); };
    ArrayOfDouble outputs(bbot.size(), Double(-1.0));
    Double obj;
    switch (formulation)
    {
    case TeskoraModelFormulationType::FS:
    case TeskoraModelFormulationType::EIS:
    {
        obj = (TeskoraModelFormulationType::FS == formulation) ? f - div() * sigma
                                                               : -EI - div() * sigma;
        int k = 0;
        for (size_t j = 0; j < bbot.size(); ++j)
        {
            if (isConstraint(bbot[j]))
            {
                ++k;
                outputs[j] = M_predict.get(0, k) - div() * STD_predict.get(0, k);
            }
        }
        break;
    }
    case TeskoraModelFormulationType::FSP:
        obj = f - div() * sigma;
        for (size_t j = 0; j < bbot.size(); ++j)
        {
            if (BBOutputType::OBJ != bbot[j])
            {
                outputs[j] = 0.5 - pf;
            }
        }
        break;
    case TeskoraModelFormulationType::EFI:
        obj = -EFI;
        break;
    case TeskoraModelFormulationType::EFIS:
        obj = -EFI - div() * sigma;
        break;
    case TeskoraModelFormulationType::EFIM:
        obj = -EFI - div() * sigma * mu;
        break;
    case TeskoraModelFormulationType::EFIC:
        obj = -EFI - div() * (EI * mu + pf * sigma);
        break;
    case TeskoraModelFormulationType::PFI:
        obj = -PFI;
        break;
    case TeskoraModelFormulationType::D:
        obj = -d;
        break;
    default:
        break;
    }

    if (_exclusionArea > 0.0)
    {
        P = model->get_exclusion_area_penalty(X_predict, _exclusionArea).get(0, 0);
        obj += P;
    }
    for (size_t j = 0; j < bbot.size(); ++j)
    {
        if (BBOutputType::OBJ == bbot[j])
        {
            outputs[j] = obj;
        }
    }

    x.setBBO(outputs.display(), bbot, EvalType::SGTE, true);
    Double h;
    evalH(outputs, bbot, h);
    // The values read back from the text are rounded to its digits.
    x.setF(obj, EvalType::SGTE);
    x.setH(h, EvalType::SGTE);

    if (show)
    {
        if (computeStat)
        {
            say("f_min                    f_min = " + modelValueText(trainingSet->get_f_min()));
            say("Probability of Feasibility PF  = " + show6(pf));
            say("Feasibility Uncertainty    mu  = " + show6(mu));
            say("Probability Improvement    PI  = " + show6(PI));
            say("Exptected Improvement      EI  = " + show6(EI));
            say("Proba. of Feasible Imp.    PFI = " + show6(PFI));
            say("Expected Feasible Imp.     EFI = " + show6(EFI));
        }
        say("Exclusion area penalty = " + show6(P));
        say("Model Output = (" + x.getBBO(EvalType::SGTE) + ")");
    }

    if (std::isnan(pf) || std::isnan(PI))
    {
        QARNO_THROW(TESKORA::Exception, "TeskoraModelEvaluator::eval_x: NaN values in pi or pf.");
    }
    countEval = true;
    x.setEvalStatus(EvalStatusType::EVAL_OK, EvalType::SGTE);
    x = x.makeFullSpacePointFromFixed(_fixedVariable);
    return true;
}

void TeskoraModelEvaluator::evalH(const ArrayOfDouble& bbo, const BBOutputTypeList& bbot, Double& h)
{
    computeModelConstraintViolation(bbo, bbot, h, "TeskoraModelEvaluator");
}

} // namespace QARNO_4_0_0
