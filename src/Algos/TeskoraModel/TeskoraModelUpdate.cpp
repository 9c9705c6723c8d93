#include "Algos/TeskoraModel/TeskoraModelUpdate.hpp"

#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/CacheInterface.hpp"
#include "Algos/EvcInterface.hpp"
#include "Algos/MegaIteration.hpp"
#include "Algos/TeskoraModel/TeskoraModel.hpp"
#include "Algos/TeskoraModel/TeskoraModelEvaluator.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/Eval.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/Exception.hpp"
#include "Util/Utils.hpp"
#include "teskora/Matrix.hpp"

namespace QARNO_4_0_0
{

namespace
{

TeskoraModel* owningModel(const Step* step)
{
    for (const Step* s = step->getParentStep(); nullptr != s; s = s->getParentStep())
    {
        if (const auto* model = dynamic_cast<const TeskoraModel*>(s))
        {
            // The update writes the model's training state.
            return const_cast<TeskoraModel*>(model);
        }
        if (s->isAnAlgorithm())
        {
            break;
        }
    }
    return nullptr;
}

const MegaIteration* nearestMegaIteration(const Step* step)
{
    for (const Step* s = step->getParentStep(); nullptr != s; s = s->getParentStep())
    {
        if (const auto* mega = dynamic_cast<const MegaIteration*>(s))
        {
            return mega;
        }
        if (s->isAnAlgorithm())
        {
            break;
        }
    }
    return nullptr;
}
} // namespace

TeskoraModelUpdate::TeskoraModelUpdate(const Step* parentStep)
    : Step(parentStep), _displayLevel(OutputLevel::LEVEL_INFO)
{
    init();
}

TeskoraModelUpdate::~TeskoraModelUpdate() = default;

void TeskoraModelUpdate::init()
{
    setName(getAlgoName() + "Update");
    verifyParentNotNull();
}

void TeskoraModelUpdate::startImp()
{
    const std::string modelDisplay = _runParams->getAttributeValue<std::string>("MODEL_DISPLAY");
    _displayLevel = (std::string::npos != modelDisplay.find('U')) ? OutputLevel::LEVEL_INFO
                                                                  : OutputLevel::LEVEL_FULL_DEBUG;
}

bool TeskoraModelUpdate::validForUpdate(const EvalPoint& x)
{
    const Eval* eval = x.getEval(EvalType::BB);
    if (nullptr == eval || !eval->getBBOutput().getBBOAsArrayOfDouble().isComplete())
    {
        return false;
    }
    const EvalStatusType status = eval->getEvalStatus();
    return (EvalStatusType::EVAL_CONS_H_OVER == status || EvalStatusType::EVAL_OK == status) &&
           eval->getF().isDefined();
}

bool TeskoraModelUpdate::runImp()
{
    const auto feasibility =
        _runParams->getAttributeValue<TeskoraModelFeasibilityType>("TESKORA_MODEL_FEASIBILITY");
    const auto formulation =
        _runParams->getAttributeValue<TeskoraModelFormulationType>("TESKORA_MODEL_FORMULATION");

    TeskoraModel* model = owningModel(this);
    if (nullptr == model)
    {
        QARNO_THROW(Exception, "Error: In TeskoraModelUpdate, need a TeskoraModel parent.");
    }

    const size_t n = _pbParams->getAttributeValue<size_t>("DIMENSION");
    const BBOutputTypeList bbot = TeskoraModel::getBBOutputType();
    const size_t m = TeskoraModel::getNbModels(feasibility, getNbConstraints(bbot));

    const auto& queue = OutputQueue::getInstance();
    const bool shown = queue->goodLevel(OutputLevel::LEVEL_INFO);
    if (TeskoraModelFormulationType::EXTERN == formulation)
    {
        if (shown)
        {
            AddOutputInfo("FORMULATION: EXTERN.", _displayLevel);
        }
        return true;
    }

    TESKORA::Matrix rowX("row_X", 1, static_cast<int>(n));
    TESKORA::Matrix rowZ("row_Z", 1, static_cast<int>(m));
    auto addX = std::make_shared<TESKORA::Matrix>("add_X", 0, static_cast<int>(n));
    auto addZ = std::make_shared<TESKORA::Matrix>("add_Z", 0, static_cast<int>(m));
    if (shown)
    {
        AddOutputInfo("Review of the cache", _displayLevel);
    }

    std::vector<EvalPoint> collected;
    if (EvcInterface::getEvaluatorControl()->getUseCache(-1))
    {
        CacheInterface cacheInterface(this);
        cacheInterface.find(validForUpdate, collected, false);
    }

    const size_t minPoints = _runParams->getAttributeValue<size_t>("TESKORA_MIN_POINTS_FOR_MODEL");
    ArrayOfDouble halfWidths(n, 1.0);
    if (const auto& mesh = model->getMesh())
    {
        halfWidths = mesh->getDeltaFrameSize();
    }
    halfWidths *= _runParams->getAttributeValue<Double>("MODEL_RADIUS_FACTOR");

    const MegaIteration* mega = nearestMegaIteration(this);
    if (nullptr == mega || nullptr == mega->getBarrier())
    {
        QARNO_THROW(Exception,
                    "Error: In TeskoraModelUpdate, need a MegaIteration with a barrier.");
    }
    const std::vector<EvalPoint> centres = mega->getBarrier()->getAllPoints();

    std::vector<EvalPoint> kept;
    for (const EvalPoint& x : collected)
    {
        for (const EvalPoint& c : centres)
        {
            if ((x - c).abs() <= halfWidths)
            {
                kept.push_back(x);
                break;
            }
        }
    }

    const size_t nbKept = kept.size();
    if (nbKept < minPoints)
    {
        AlgoStopReasons<ModelStopType>::get(_stopReasons)
            ->_algoStopReason.set(ModelStopType::NOT_ENOUGH_POINTS);
        if (shown)
        {
            AddOutputInfo("Teskora Model has not enough points to build model",
                          OutputLevel::LEVEL_INFO);
        }
    }
    if (shown)
    {
        AddOutputInfo("Found " + std::to_string(nbKept) + " point" + (nbKept > 1 ? "s" : "") +
                          " in cache of size " + std::to_string(CacheBase::getInstance()->size()),
                      OutputLevel::LEVEL_INFO);
    }

    for (const EvalPoint& x : kept)
    {
        // A point already in the training set is not appended again: the
        // set would grow without bound and an interpolating model's matrix
        // turn singular.
        if (!model->addTrainingPoint(x))
        {
            continue;
        }
        if (shown)
        {
            AddOutputInfo("xNew = " + x.display(ArrayOfDouble()), _displayLevel);
        }
        for (size_t j = 0; j < n; ++j)
        {
            rowX.set(0, static_cast<int>(j), x[j].todouble());
        }
        addX->add_rows(rowX);

        const Eval* eval = x.getEval(EvalType::BB);
        rowZ.set(0, 0, eval->getF().todouble());
        const ArrayOfDouble outputs = eval->getBBOutput().getBBOAsArrayOfDouble();
        switch (feasibility)
        {
        case TeskoraModelFeasibilityType::C:
        {
            int column = 1;
            for (size_t k = 0; k < outputs.size() && k < bbot.size(); ++k)
            {
                if (isConstraint(bbot[k]))
                {
                    rowZ.set(0, column++, outputs[k].todouble());
                }
            }
            break;
        }
        case TeskoraModelFeasibilityType::H:
        {
            Double h;
            TeskoraModelEvaluator::evalH(outputs, bbot, h);
            rowZ.set(0, 1, h.todouble());
            break;
        }
        case TeskoraModelFeasibilityType::B:
            rowZ.set(0, 1, x.isFeasible(EvalType::BB) ? 1.0 : 0.0);
            break;
        case TeskoraModelFeasibilityType::M:
        {
            Double largest = -INF;
            for (size_t k = 0; k < outputs.size() && k < bbot.size(); ++k)
            {
                if (isConstraint(bbot[k]) && outputs[k] >= largest)
                {
                    largest = outputs[k];
                }
            }
            rowZ.set(0, 1, largest.todouble());
            break;
        }
        default:
            break;
        }
        addZ->add_rows(rowZ);

        if (x.isFeasible(EvalType::BB) && !model->getFoundFeasible())
        {
            AddOutputInfo(" (feasible)", _displayLevel);
            model->setFoundFeasible(true);
        }
    }

    const auto& trainingSet = model->getTrainingSet();
    const auto& surrogate = model->getModel();
    if (shown)
    {
        AddOutputInfo("Current nb of points: " + std::to_string(trainingSet->get_nb_points()),
                      OutputLevel::LEVEL_INFO);
    }
    if (addX->get_nb_rows() > 0)
    {
        if (shown)
        {
            AddOutputInfo("Add points...", _displayLevel);
        }
        trainingSet->add_points(*addX, *addZ);
        if (shown)
        {
            AddOutputInfo("OK", _displayLevel);
            AddOutputInfo("Build model...", _displayLevel);
        }
        surrogate->build();
        if (shown)
        {
            AddOutputInfo("OK.", _displayLevel);
        }
    }

    model->setReady(surrogate->is_ready());
    if (shown)
    {
        AddOutputInfo("New nb of points: " + std::to_string(trainingSet->get_nb_points()),
                      OutputLevel::LEVEL_INFO);
        AddOutputInfo(std::string("Ready: ") + boolToString(surrogate->is_ready()),
                      OutputLevel::LEVEL_INFO);
    }
    model->setModelBounds(addX);
    return true;
}

} // namespace QARNO_4_0_0
