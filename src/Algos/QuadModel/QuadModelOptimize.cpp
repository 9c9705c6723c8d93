#include "Algos/QuadModel/QuadModelOptimize.hpp"

#include <iostream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/EvcInterface.hpp"
#include "Algos/InnerMadsRun.hpp"
#include "Algos/Iteration.hpp"
#include "Algos/Mads/Mads.hpp"
#include "Algos/QuadModel/QuadModelAlgo.hpp"
#include "Algos/QuadModel/QuadModelEvaluator.hpp"
#include "Algos/SubproblemManager.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/ComputeSuccessType.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/ArrayOfPoint.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/EvaluatorControlGlobalParameters.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/Exception.hpp"
#include "Util/Utils.hpp"
#include "teskora/Matrix.hpp"

namespace QARNO_4_0_0
{

namespace
{

bool shownInfo()
{
    return OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_INFO);
}

} // namespace

QuadModelOptimize::QuadModelOptimize(const Step* parentStep,
                                     const std::shared_ptr<PbParameters>& refPbParams)
    : Step(parentStep), QuadModelIterationUtils(parentStep), _displayLevel(OutputLevel::LEVEL_INFO),
      _modelLowerBound(), _modelUpperBound(), _modelFixedVar(), _refPbParams(refPbParams),
      _optRunParams(), _optPbParams()
{
    const size_t n = _refPbParams->getAttributeValue<size_t>("DIMENSION");
    _modelLowerBound = ArrayOfDouble(n);
    _modelUpperBound = ArrayOfDouble(n);
    _modelFixedVar = Point(n);
    init();
}

QuadModelOptimize::~QuadModelOptimize() = default;

void QuadModelOptimize::init()
{
    setName("QuadModel Optimize");
    verifyParentNotNull();
    if (nullptr == getIterationAncestor())
    {
        QARNO_THROW(Exception, getName() + " must have an Iteration ancestor.");
    }
}

void QuadModelOptimize::startImp()
{
    const std::string modelDisplay = _runParams->getAttributeValue<std::string>("MODEL_DISPLAY");
    _displayLevel = (std::string::npos != modelDisplay.find('O')) ? OutputLevel::LEVEL_INFO
                                                                  : OutputLevel::LEVEL_FULL_DEBUG;
    if (shownInfo())
    {
        const auto& evc = EvcInterface::getEvaluatorControl();
        AddOutputInfo("MAX_SGTE_EVAL: " +
                          std::to_string(evc->getEvcGlobalParams()->getAttributeValue<size_t>(
                              "MAX_SGTE_EVAL")),
                      _displayLevel);
        AddOutputInfo("BBOT: " + BBOutputTypeListToString(QuadModelAlgo::getBBOutputType()),
                      _displayLevel);
    }
    generateTrialPoints();
}

void QuadModelOptimize::setModelBoundsAndFixedVar()
{
    const TESKORA::Matrix& X = _trainingSet->get_matrix_X();
    const int p = X.get_nb_rows();
    const size_t n = _pbParams->getAttributeValue<size_t>("DIMENSION");
    if (static_cast<size_t>(X.get_nb_cols()) != n)
    {
        QARNO_THROW(Exception, "QuadModel::setModelBounds() dimensions do not match");
    }

    for (size_t i = 0; i < n; ++i)
    {
        Double lb = _modelLowerBound[i];
        Double ub = _modelUpperBound[i];
        for (int j = 0; j < p; ++j)
        {
            const double v = X.get(j, static_cast<int>(i));
            if (!lb.isDefined() || lb.todouble() > v)
            {
                lb = v;
            }
            if (!ub.isDefined() || v > ub.todouble())
            {
                ub = v;
            }
        }
        if (std::fabs(lb.todouble() - ub.todouble()) < Double::getEpsilon())
        {
            _modelFixedVar[i] = ub;
            lb = Double();
            ub = Double();
        }
        _modelLowerBound[i] = lb;
        _modelUpperBound[i] = ub;
    }

    if (shownInfo())
    {
        AddOutputInfo("model lower bound: " + _modelLowerBound.display(ArrayOfDouble()),
                      OutputLevel::LEVEL_INFO);
        AddOutputInfo("model upper bound: " + _modelUpperBound.display(ArrayOfDouble()),
                      OutputLevel::LEVEL_INFO);
    }
}

void QuadModelOptimize::setupRunParameters()
{
    _optRunParams = InnerMadsRun::runParameters(*_runParams, InnerRun::QUAD_MODEL_OPTIMIZATION);
    _optRunParams->setAttributeValue("MAX_ITERATIONS", std::numeric_limits<size_t>::max());
    _optRunParams->checkAndComply(EvcInterface::getEvaluatorControl()->getEvcGlobalParams(),
                                  _pbParams);
}

void QuadModelOptimize::setupPbParameters()
{
    _optPbParams = InnerMadsRun::pbParameters(*_refPbParams);
    _optPbParams->setAttributeValue("LOWER_BOUND", _modelLowerBound);
    _optPbParams->setAttributeValue("UPPER_BOUND", _modelUpperBound);
    _optPbParams->setAttributeValue("FIXED_VARIABLE", _modelFixedVar);

    const Iteration* iteration = getIterationAncestor();
    const auto frameCenter = (nullptr != iteration) ? iteration->getFrameCenter() : nullptr;
    if (nullptr == frameCenter || !frameCenter->inBounds(_modelLowerBound, _modelUpperBound))
    {
        QARNO_THROW(
            Exception,
            "A frameCenter must be available and within bounds to set X0 for quad optimization.");
    }
    _optPbParams->setAttributeValue("X0", ArrayOfPoint{Point(*frameCenter)});
    _optPbParams->checkAndComply();
}

void QuadModelOptimize::generateTrialPoints()
{
    _trialPoints.clear();
    setModelBoundsAndFixedVar();

    if (_modelFixedVar.nbDefined() == _modelFixedVar.size())
    {
        if (shownInfo())
        {
            AddOutputInfo("Effective dimension is null. No QuadModelOptimize",
                          OutputLevel::LEVEL_FULL_DEBUG);
        }
        return;
    }

    const auto& evc = EvcInterface::getEvaluatorControl();
    if (nullptr == evc || nullptr == evc->getEvalParams(-1))
    {
        // Nothing to restore afterwards, so nothing is changed.
        std::cerr << "Warning: QuadModelOptimize: Could not set SGTE Evaluator" << std::endl;
        return;
    }
    const std::string modelDisplay = _runParams->getAttributeValue<std::string>("MODEL_DISPLAY");
    const Point fixedVariable = SubproblemManager::getSubFixedVariable(this);
    if (shownInfo())
    {
        AddOutputInfo("Create QuadModelEvaluator with fixed variable = " +
                          fixedVariable.display(ArrayOfDouble()),
                      OutputLevel::LEVEL_INFO);
    }
    auto evaluator = std::make_shared<QuadModelEvaluator>(evc->getEvalParams(-1), _model,
                                                          modelDisplay, fixedVariable);

    auto stopReasons = std::make_shared<AlgoStopReasons<MadsStopType>>();
    setupRunParameters();
    setupPbParameters();
    if (shownInfo())
    {
        std::ostringstream shown;
        shown << "Run Parameters for QuadModelOptimize:" << std::endl;
        _optRunParams->display(shown, false);
        AddOutputInfo(shown.str(), OutputLevel::LEVEL_FULL_DEBUG);
    }

    Mads mads(this, stopReasons, _optRunParams, _optPbParams);
    mads.setName(mads.getName() + " (QuadModelOptimize)");
    const bool success = InnerMadsRun::runOnModel(mads, evaluator, true);

    if (!success)
    {
        AlgoStopReasons<ModelStopType>::get(_stopReasons)
            ->_algoStopReason.set(ModelStopType::MODEL_OPTIMIZATION_FAILED);
        return;
    }

    const auto barrier = mads.getMegaIterationBarrier();
    if (nullptr != barrier)
    {
        if (const auto xFeas = barrier->getFirstXFeas())
        {
            const bool inserted = insertTrialPoint(*xFeas);
            if (shownInfo())
            {
                AddOutputInfo(std::string("xt:") + (inserted ? " " : " not inserted: ") +
                                  xFeas->display(ArrayOfDouble()),
                              OutputLevel::LEVEL_INFO);
            }
        }
        if (const auto xInf = barrier->getFirstXInf())
        {
            insertTrialPoint(*xInf);
        }
    }

    if (_modelFixedVar.nbDefined() > 0)
    {
        std::set<EvalPoint, EvalPointCompare> full;
        for (const EvalPoint& point : _trialPoints)
        {
            full.insert(point.makeFullSpacePointFromFixed(_modelFixedVar));
        }
        _trialPoints.swap(full);
    }
}

bool QuadModelOptimize::runImp()
{
    if (_stopReasons->checkTerminate())
    {
        return false;
    }
    const bool result = evalTrialPoints(this);
    postProcessing(EvcInterface::getEvaluatorControl()->getEvalType(-1));
    if (SuccessType::NOT_EVALUATED == _success)
    {
        AlgoStopReasons<ModelStopType>::get(_stopReasons)
            ->_algoStopReason.set(ModelStopType::NO_NEW_POINTS_FOUND);
    }
    return result;
}

void QuadModelOptimize::endImp()
{
    CacheBase::getInstance()->deleteSgteOnly(getThreadNum());
}

} // namespace QARNO_4_0_0
