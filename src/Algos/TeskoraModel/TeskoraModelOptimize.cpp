#include "Algos/TeskoraModel/TeskoraModelOptimize.hpp"

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/CacheInterface.hpp"
#include "Algos/EvcInterface.hpp"
#include "Algos/InnerMadsRun.hpp"
#include "Algos/MegaIteration.hpp"
#include "Algos/SubproblemManager.hpp"
#include "Algos/TeskoraModel/TeskoraModel.hpp"
#include "Algos/TeskoraModel/TeskoraModelEvaluator.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/ArrayOfPoint.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/EvaluatorControlGlobalParameters.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/ArrayOfString.hpp"
#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

TeskoraModelOptimize::TeskoraModelOptimize(const Step* parentStep,
                                           const std::shared_ptr<RunParameters>& refRunParams,
                                           const std::shared_ptr<PbParameters>& refPbParams)
    : Step(parentStep), _teskoraModel(dynamic_cast<const TeskoraModel*>(parentStep)),
      _displayLevel(OutputLevel::LEVEL_INFO), _mads(), _oraclePoints(), _refRunParams(refRunParams),
      _refPbParams(refPbParams), _optRunParams(), _optPbParams()
{
    init();
}

TeskoraModelOptimize::~TeskoraModelOptimize() = default;

void TeskoraModelOptimize::init()
{
    setName(getAlgoName() + "Optimize");
    verifyParentNotNull();
    setupRunParameters();
}

void TeskoraModelOptimize::setupRunParameters()
{
    const auto& evcGlobal = EvcInterface::getEvaluatorControl()->getEvcGlobalParams();
    _optRunParams =
        InnerMadsRun::runParameters(*_refRunParams, InnerRun::TESKORA_MODEL_OPTIMIZATION);
    _optRunParams->setAttributeValue("DISABLE", ArrayOfString(1, "MODELS"));
    _optRunParams->setAttributeValue("ANISOTROPIC_MESH", false);
    // A Latin-hypercube search of 30% of the surrogate budget in the first
    // iteration, none afterwards.
    const int k = static_cast<int>(
        static_cast<double>(evcGlobal->getAttributeValue<size_t>("MAX_SGTE_EVAL")) * 0.3);
    _optRunParams->setAttributeValue("LH_SEARCH", LHSearchType(std::to_string(k) + " 0"));
    _optRunParams->checkAndComply(evcGlobal, _pbParams);
}

void TeskoraModelOptimize::setupPbParameters(const ArrayOfDouble& lowerBound,
                                             const ArrayOfDouble& upperBound,
                                             const ArrayOfDouble& initialMeshSize,
                                             const ArrayOfDouble& initialFrameSize)
{
    _optPbParams = InnerMadsRun::pbParameters(*_refPbParams);
    _optPbParams->setAttributeValue("LOWER_BOUND", lowerBound);
    _optPbParams->setAttributeValue("UPPER_BOUND", upperBound);

    CacheInterface cacheInterface(this);
    std::vector<EvalPoint> feasible;
    std::vector<EvalPoint> infeasible;
    cacheInterface.findBestFeas(feasible, EvalType::SGTE, nullptr);
    const auto& x0Barrier = (nullptr != _teskoraModel) ? _teskoraModel->getX0Barrier() : nullptr;
    const Double hMax = (nullptr != x0Barrier) ? x0Barrier->getHMax() : Double(INF);
    cacheInterface.findBestInf(infeasible, hMax, EvalType::SGTE, nullptr);

    ArrayOfPoint x0s;
    for (const auto* list : {&feasible, &infeasible})
    {
        for (const EvalPoint& x : *list)
        {
            if (x.inBounds(lowerBound, upperBound))
            {
                x0s.push_back(Point(x));
            }
        }
    }
    if (x0s.empty() && nullptr != _teskoraModel)
    {
        for (const EvalPoint& x : _teskoraModel->getX0s())
        {
            if (x.inBounds(lowerBound, upperBound))
            {
                x0s.push_back(Point(x));
            }
        }
    }
    _optPbParams->setAttributeValue("X0", x0s);

    if (initialMeshSize.isDefined() && initialMeshSize.isComplete())
    {
        _optPbParams->setAttributeValue("INITIAL_MESH_SIZE", initialMeshSize);
    }
    if (initialFrameSize.isDefined() && initialFrameSize.isComplete())
    {
        _optPbParams->setAttributeValue("INITIAL_FRAME_SIZE", initialFrameSize);
    }
    _optPbParams->checkAndComply();
}

void TeskoraModelOptimize::startImp()
{
    const std::string modelDisplay = _runParams->getAttributeValue<std::string>("MODEL_DISPLAY");
    _displayLevel = (std::string::npos != modelDisplay.find('O')) ? OutputLevel::LEVEL_INFO
                                                                  : OutputLevel::LEVEL_FULL_DEBUG;
    if (OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_INFO))
    {
        const auto& evc = EvcInterface::getEvaluatorControl();
        AddOutputInfo("MAX_SGTE_EVAL: " +
                          std::to_string(evc->getEvcGlobalParams()->getAttributeValue<size_t>(
                              "MAX_SGTE_EVAL")),
                      _displayLevel);
        AddOutputInfo("BBOT: " + BBOutputTypeListToString(TeskoraModel::getBBOutputType()),
                      _displayLevel);
        AddOutputInfo("Formulation: " +
                          TeskoraModelFormulationTypeToString(
                              _runParams->getAttributeValue<TeskoraModelFormulationType>(
                                  "TESKORA_MODEL_FORMULATION")),
                      _displayLevel);
        std::ostringstream shown;
        shown << "Run Parameters for TeskoraModelOptimize:" << std::endl;
        _optRunParams->display(shown, false);
        AddOutputInfo(shown.str(), OutputLevel::LEVEL_FULL_DEBUG);
    }
}

bool TeskoraModelOptimize::runImp()
{
    const auto formulation =
        _runParams->getAttributeValue<TeskoraModelFormulationType>("TESKORA_MODEL_FORMULATION");
    const auto& evc = EvcInterface::getEvaluatorControl();
    if (TeskoraModelFormulationType::EXTERN == formulation)
    {
        QARNO_THROW(Exception, "TeskoraModel: EXTERN formulation is not supported");
    }
    // Everything that can be refused is checked before the queue changes.
    if (nullptr == _teskoraModel)
    {
        QARNO_THROW(Exception, "Error: In TeskoraModelOptimize, need a TeskoraModel parent.");
    }
    if (nullptr == evc->getEvalParams(-1))
    {
        std::cerr << "Warning: TeskoraModelOptimize: Could not set SGTE Evaluator" << std::endl;
        return false;
    }
    if (!hasStartingPoint())
    {
        // Neither a surrogate point nor a point of the model's barrier lies
        // within the bounds: the child would refuse its empty X0 with an
        // exception. This attempt brings nothing, and the iteration goes on
        // without oracle points.
        _mads.reset();
        _oraclePoints.clear();
        AddOutputWarning(
            "No starting point within the bounds of the surrogate problem: it is not optimised.");
        return false;
    }
    const std::string modelDisplay = _runParams->getAttributeValue<std::string>("MODEL_DISPLAY");
    const Double diversification =
        _runParams->getAttributeValue<Double>("TESKORA_MODEL_DIVERSIFICATION");
    const auto feasibility =
        _runParams->getAttributeValue<TeskoraModelFeasibilityType>("TESKORA_MODEL_FEASIBILITY");
    const double exclusionArea =
        _runParams->getAttributeValue<Double>("TESKORA_MODEL_EXCLUSION_AREA").todouble();

    auto evaluator = std::make_shared<TeskoraModelEvaluator>(
        evc->getEvalParams(-1), _teskoraModel, modelDisplay, diversification, feasibility,
        exclusionArea, SubproblemManager::getSubFixedVariable(this));
    auto stopReasons = std::make_shared<AlgoStopReasons<MadsStopType>>();
    _mads = std::make_shared<Mads>(this, stopReasons, _optRunParams, _optPbParams);
    _mads->setName(_mads->getName() + " (TeskoraModelOptimize)");
    _mads->setEndDisplay(false);
    // The success rule is left to the evaluators: the surrogate rule with the
    // model's, the blackbox rule with the queue's when it comes back.
    const bool success = InnerMadsRun::runOnModel(*_mads, evaluator, false);

    updateOraclePoints();

    if (success)
    {
        return true;
    }
    AlgoStopReasons<ModelStopType>::get(_stopReasons)
        ->_algoStopReason.set(ModelStopType::MODEL_OPTIMIZATION_FAILED);
    return false;
}

bool TeskoraModelOptimize::hasStartingPoint() const
{
    if (nullptr == _optPbParams)
    {
        return false;
    }
    // The checks of the parameters turn an empty X0 into one undefined point.
    for (const Point& x0 : _optPbParams->getAttributeValue<ArrayOfPoint>("X0"))
    {
        if (x0.isComplete())
        {
            return true;
        }
    }
    return false;
}

void TeskoraModelOptimize::updateOraclePoints()
{
    _oraclePoints.clear();
    if (nullptr == _mads || nullptr == _mads->getMegaIteration())
    {
        return;
    }
    const auto& barrier = _mads->getMegaIteration()->getBarrier();
    if (nullptr == barrier)
    {
        return;
    }
    for (const EvalPoint& x : barrier->getAllPoints())
    {
        _oraclePoints.insert(x);
    }
}

} // namespace QARNO_4_0_0
