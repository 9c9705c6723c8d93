#include "Algos/TeskoraModel/TeskoraModel.hpp"

#include <cmath>
#include <iostream>
#include <limits>
#include <string>

#include "Algos/EvcInterface.hpp"
#include "Algos/Initialization.hpp"
#include "Algos/SubproblemManager.hpp"
#include "Algos/Termination.hpp"
#include "Algos/TeskoraModel/TeskoraModelEvaluator.hpp"
#include "Algos/TeskoraModel/TeskoraModelInitialization.hpp"
#include "Algos/TeskoraModel/TeskoraModelMegaIteration.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/BBOutput.hpp"
#include "Eval/ComputeSuccessType.hpp"
#include "Eval/Eval.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/EvalParameters.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/ArrayOfString.hpp"
#include "Util/Exception.hpp"
#include "teskora/Exception.hpp"
#include "teskora/SurrogateFactory.hpp"

namespace QARNO_4_0_0
{

TeskoraModel::TeskoraModel(const Step* parentStep, std::shared_ptr<AllStopReasons> stopReasons,
                           const std::shared_ptr<RunParameters>& runParams,
                           const std::shared_ptr<PbParameters>& pbParams,
                           const std::shared_ptr<MeshBase>& mesh,
                           const std::shared_ptr<Barrier>& x0Barrier)
    : Algorithm(parentStep, std::move(stopReasons), runParams, pbParams), _x0Barrier(x0Barrier),
      _trainingSet(), _model(), _nbModels(0), _formulation(TeskoraModelFormulationType::UNDEFINED),
      _ready(false), _foundFeasible(false), _modelLowerBound(), _modelUpperBound(), _mesh(mesh)
{
    const size_t n = _pbParams->getAttributeValue<size_t>("DIMENSION");
    _modelLowerBound = ArrayOfDouble(n);
    _modelUpperBound = ArrayOfDouble(n);
    init();
}

TeskoraModel::~TeskoraModel()
{
    reset();
}

void TeskoraModel::init()
{
    setName("TeskoraModel");
    verifyParentNotNull();

    const auto formulation =
        _runParams->getAttributeValue<TeskoraModelFormulationType>("TESKORA_MODEL_FORMULATION");
    _formulation = formulation;
    const auto feasibility =
        _runParams->getAttributeValue<TeskoraModelFeasibilityType>("TESKORA_MODEL_FEASIBILITY");
    const auto definition =
        _runParams->getAttributeValue<ArrayOfString>("TESKORA_MODEL_DEFINITION");

    // The external formulation would optimise through a blackbox command of
    // its own, which this system does not run: refused before anything is
    // made.
    if (TeskoraModelFormulationType::EXTERN == formulation)
    {
        QARNO_THROW(Exception, "TeskoraModel: EXTERN formulation is not supported");
    }
    if ((TeskoraModelFormulationType::FS == formulation ||
         TeskoraModelFormulationType::EIS == formulation) &&
        TeskoraModelFeasibilityType::C != feasibility)
    {
        std::cerr << "ERROR : Formulations FS and EIS can only be used with FeasibilityMethod C"
                  << std::endl;
        QARNO_THROW(TESKORA::Exception, "TeskoraModel: TESKORA_MODEL_FEASIBILITY not valid");
    }
    // Without a known method the number of outputs is meaningless (the
    // largest size_t): refused rather than sized.
    if (TeskoraModelFeasibilityType::C != feasibility &&
        TeskoraModelFeasibilityType::H != feasibility &&
        TeskoraModelFeasibilityType::B != feasibility &&
        TeskoraModelFeasibilityType::M != feasibility)
    {
        QARNO_THROW(Exception, "TeskoraModel: TESKORA_MODEL_FEASIBILITY not valid");
    }

    _nbModels = getNbModels(feasibility, getNbConstraints(getBBOutputType()));

    const size_t n = _pbParams->getAttributeValue<size_t>("DIMENSION");
    {
        const TESKORA::Matrix emptyX("empty_X", 0, static_cast<int>(n));
        const TESKORA::Matrix emptyZ("empty_Z", 0, static_cast<int>(_nbModels));
        _trainingSet = std::make_shared<TESKORA::TrainingSet>(emptyX, emptyZ);
    }
    _model = std::shared_ptr<TESKORA::Surrogate>(
        TESKORA::Surrogate_Factory(*_trainingSet, definition.display()), TESKORA::surrogate_delete);
    _initialization = std::make_unique<TeskoraModelInitialization>(this);
}

size_t TeskoraModel::getNbModels(TeskoraModelFeasibilityType feasibility, size_t nbConstraints)
{
    switch (feasibility)
    {
    case TeskoraModelFeasibilityType::C:
        return nbConstraints + 1;
    case TeskoraModelFeasibilityType::H:
    case TeskoraModelFeasibilityType::B:
    case TeskoraModelFeasibilityType::M:
        return 2;
    case TeskoraModelFeasibilityType::UNDEFINED:
        std::cerr << "UNDEFINED TESKORA_MODEL_FEASIBILITY" << std::endl;
        return std::numeric_limits<size_t>::max();
    }
    return std::numeric_limits<size_t>::max();
}

BBOutputTypeList TeskoraModel::getBBOutputType()
{
    const auto& evc = EvcInterface::getEvaluatorControl();
    std::shared_ptr<EvalParameters> evalParams;
    if (nullptr != evc)
    {
        evalParams = evc->getEvalParams(-1);
    }
    if (nullptr == evalParams)
    {
        QARNO_THROW(Exception, "Error in TeskoraModel::getBBOutputType()");
    }
    return evalParams->getAttributeValue<BBOutputTypeList>("BB_OUTPUT_TYPE");
}

TeskoraModelFormulationType TeskoraModel::getFormulation() const
{
    if (TeskoraModelFormulationType::EXTERN == _formulation || _ready)
    {
        return _formulation;
    }
    return TeskoraModelFormulationType::D;
}

bool TeskoraModel::isReady() const
{
    if (_ready)
    {
        return true;
    }
    if (TeskoraModelFormulationType::EXTERN == _formulation)
    {
        _ready = true;
        return true;
    }
    if (nullptr == _trainingSet)
    {
        QARNO_THROW(Exception, "TeskoraModel::isReady : no training set");
    }
    if (!_trainingSet->is_ready())
    {
        return false;
    }
    _trainingSet->check_ready();
    _ready = _trainingSet->get_pvar() > 10 && nullptr != _model && _model->is_ready();
    return _ready;
}

void TeskoraModel::setModelBounds(const std::shared_ptr<TESKORA::Matrix>& X)
{
    const size_t n = _pbParams->getAttributeValue<size_t>("DIMENSION");
    if (nullptr == X || static_cast<size_t>(X->get_nb_cols()) != n)
    {
        QARNO_THROW(Exception, "TeskoraModel::setModelBounds() dimensions do not match");
    }
    for (size_t j = 0; j < n; ++j)
    {
        Double lb = _modelLowerBound[j];
        Double ub = _modelUpperBound[j];
        for (int i = 0; i < X->get_nb_rows(); ++i)
        {
            const Double v = X->get(i, static_cast<int>(j));
            if (!lb.isDefined() || !(lb < v))
            {
                lb = v;
            }
            if (!ub.isDefined() || !(ub > v))
            {
                ub = v;
            }
        }
        _modelLowerBound[j] = lb;
        _modelUpperBound[j] = ub;
    }
}

namespace
{

// The problem bound, or, where it is undefined and the model box is known,
// the model box widened by its width (at least 10) on that side.
ArrayOfDouble extendedBound(const ArrayOfDouble& problemBound, const ArrayOfDouble& lower,
                            const ArrayOfDouble& upper, bool isLower)
{
    ArrayOfDouble bound(problemBound);
    for (size_t i = 0; i < bound.size() && i < lower.size(); ++i)
    {
        if (bound[i].isDefined() || !lower[i].isDefined() || !upper[i].isDefined())
        {
            continue;
        }
        const Double w = upper[i] - lower[i];
        const Double margin = (Double(10.0) > w) ? Double(10.0) : w;
        bound[i] = isLower ? lower[i] - margin : upper[i] + margin;
    }
    return bound;
}

} // namespace

ArrayOfDouble TeskoraModel::getExtendedLowerBound() const
{
    return extendedBound(_pbParams->getAttributeValue<ArrayOfDouble>("LOWER_BOUND"),
                         _modelLowerBound, _modelUpperBound, true);
}

ArrayOfDouble TeskoraModel::getExtendedUpperBound() const
{
    return extendedBound(_pbParams->getAttributeValue<ArrayOfDouble>("UPPER_BOUND"),
                         _modelLowerBound, _modelUpperBound, false);
}

Double TeskoraModel::getDeltaMNorm() const
{
    if (nullptr == _mesh)
    {
        return Double();
    }
    Double sum = 0.0;
    const ArrayOfDouble delta = _mesh->getdeltaMeshSize();
    for (size_t i = 0; i < delta.size(); ++i)
    {
        sum += delta[i].pow2();
    }
    return sum.sqrt();
}

void TeskoraModel::checkHF(EvalPoint& x) const
{
    Double f = x.getF(EvalType::SGTE);
    Double h = x.getH(EvalType::SGTE);
    if (!f.isDefined())
    {
        AddOutputWarning(
            "Warning: TeskoraModel::checkHF(): f is not defined and needs to be recomputed.");
    }
    if (!h.isDefined())
    {
        const Eval* eval = x.getEval(EvalType::SGTE);
        if (nullptr != eval)
        {
            TeskoraModelEvaluator::evalH(eval->getBBOutput().getBBOAsArrayOfDouble(),
                                         getBBOutputType(), h);
        }
        AddOutputWarning(
            "Warning: TeskoraModel::checkHF(): h is not defined and needs to be recomputed.");
    }
    if (!f.isDefined() || !h.isDefined())
    {
        f = INF;
        h = INF;
    }
    x.setF(f, EvalType::SGTE);
    x.setH(h, EvalType::SGTE);
}

Double TeskoraModel::getFMin() const
{
    if (nullptr == _trainingSet || !_trainingSet->is_ready())
    {
        std::cout << "(getFMin : training set is not ready) " << std::endl;
        return Double();
    }
    std::cout << "(getFMin : training set is ready:) " << _trainingSet->get_nb_points() << ")"
              << std::endl;
    return _trainingSet->get_f_min();
}

std::vector<EvalPoint> TeskoraModel::getX0s() const
{
    if (nullptr == _x0Barrier)
    {
        return {};
    }
    return _x0Barrier->getAllPoints();
}

void TeskoraModel::info() const
{
    const std::string rule = "  #===================================================== #";
    std::cout << rule << std::endl;
    std::cout << "TeskoraModel::info" << std::endl;
    std::cout << "TeskoraModel : " << static_cast<const void*>(this) << std::endl;
    std::cout << "Model : " << static_cast<const void*>(_model.get()) << std::endl;
    std::cout << "Cache size : " << CacheBase::getInstance()->size() << std::endl;
    std::cout << "Found feasible : " << (_foundFeasible ? 1 : 0) << std::endl;
    std::cout << "Model Bounds, lower bounds : ( " << _modelLowerBound.display(ArrayOfDouble())
              << " "
              << ") , upper bounds : ( " << _modelUpperBound.display(ArrayOfDouble()) << " )"
              << std::endl;
    std::cout << "Model Extended Bounds, lower bounds : ( "
              << getExtendedLowerBound().display(ArrayOfDouble()) << " "
              << ") , upper bounds : ( " << getExtendedUpperBound().display(ArrayOfDouble()) << " )"
              << std::endl;
    std::cout << (_ready ? "teskoraModel model is ready" : "teskoraModel model is NOT ready")
              << std::endl;
    std::cout << rule << std::endl;
}

void TeskoraModel::reset()
{
    // The surrogate refers to the training set: it goes first.
    _model.reset();
    _trainingSet.reset();
    _trainingPoints.clear();
    _ready = false;
}

bool TeskoraModel::addTrainingPoint(const Point& x)
{
    std::vector<double> coords;
    coords.reserve(x.size());
    for (size_t i = 0; i < x.size(); ++i)
    {
        coords.push_back(x[i].todouble());
    }
    return _trainingPoints.insert(std::move(coords)).second;
}

std::set<EvalPoint, EvalPointCompare> TeskoraModel::createOraclePoints()
{
    const auto& evc = EvcInterface::getEvaluatorControl();
    evc->setComputeSuccessTypeFunction(ComputeSuccessType::computeSuccessTypeSgte);
    std::set<EvalPoint, EvalPointCompare> points;
    {
        // The default rule comes back on every way out; the mega-iteration's
        // destruction clears the surrogate evaluations from the cache.
        struct DefaultRule
        {
            const std::shared_ptr<EvaluatorControl>& evc;
            ~DefaultRule()
            {
                evc->setComputeSuccessTypeFunction(ComputeSuccessType::defaultComputeSuccessType);
            }
        } rule{evc};
        TeskoraModelMegaIteration megaIteration(this, 0, _x0Barrier, SuccessType::NOT_EVALUATED);
        megaIteration.generateTrialPoints();
        OutputQueue::getInstance()->flush();
        points = megaIteration.getTrialPoints();
    }
    return points;
}

void TeskoraModel::startImp()
{
    Algorithm::startImp();
    EvcInterface::getEvaluatorControl()->setComputeSuccessTypeFunction(
        ComputeSuccessType::computeSuccessTypeSgte);
    _x0Barrier = _initialization->getBarrier();
}

bool TeskoraModel::runImp()
{
    if (!terminate(0))
    {
        MegaIterationState state;
        state.barrier = startingBarrier();
        // A surrogate-model mega-iteration raises its own k for each
        // iteration it runs: that k is the next one.
        runMegaIterations(state, KAdvance::OWN_K,
                          [this](const MegaIterationState& s) {
                              return std::make_unique<TeskoraModelMegaIteration>(
                                  this, s.k, s.barrier, s.success);
                          });
        // Kept for the hot-restart file.
        _megaIteration = std::make_shared<TeskoraModelMegaIteration>(this, state.k, state.barrier,
                                                                     state.success);
    }
    runTermination();
    OutputQueue::getInstance()->flush();
    // Its success shows in the barrier and the stop reasons, not here.
    return true;
}

void TeskoraModel::endImp()
{
    EvcInterface::getEvaluatorControl()->setComputeSuccessTypeFunction(
        ComputeSuccessType::defaultComputeSuccessType);
    Algorithm::endImp();
}

} // namespace QARNO_4_0_0
