#include "Algos/QuadModel/QuadModelUpdate.hpp"

#include <iostream>
#include <limits>
#include <string>
#include <vector>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/CacheInterface.hpp"
#include "Algos/EvcInterface.hpp"
#include "Algos/MeshBase.hpp"
#include "Algos/QuadModel/QuadModelAlgo.hpp"
#include "Algos/QuadModel/QuadModelIteration.hpp"
#include "Cache/CacheBase.hpp"
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

QuadModelUpdate::QuadModelUpdate(const Step* parentStep, OutputLevel displayLevel)
    : Step(parentStep), _displayLevel(displayLevel), _frameCenter(nullptr), _radiuses()
{
    init();
}

QuadModelUpdate::~QuadModelUpdate() = default;

void QuadModelUpdate::init()
{
    setName("QuadModel Update");
    verifyParentNotNull();
}

bool QuadModelUpdate::isValidForUpdate(const EvalPoint& x) const
{
    const Eval* eval = x.getEval(EvalType::BB);
    if (nullptr == eval || !eval->isBBOutputComplete())
    {
        return false;
    }
    const EvalStatusType status = eval->getEvalStatus();
    return (EvalStatusType::EVAL_OK == status || EvalStatusType::EVAL_CONS_H_OVER == status) &&
           eval->getF().isDefined();
}

bool QuadModelUpdate::isValidForIncludeInModel(const EvalPoint& x) const
{
    if (nullptr == _frameCenter || !_frameCenter->isComplete() || !_radiuses.isComplete())
    {
        std::cerr
            << "QuadModelUpdate : isValidForIncludeInModel : frameCenter or radiuses not defined  "
            << std::endl;
    }
    if (!isValidForUpdate(x))
    {
        return false;
    }
    if (nullptr == _frameCenter)
    {
        return false;
    }
    return (x - *_frameCenter).abs() <= _radiuses;
}

bool QuadModelUpdate::runImp()
{
    const QuadModelIteration* iteration = nullptr;
    for (const Step* s = getParentStep(); nullptr != s; s = s->getParentStep())
    {
        iteration = dynamic_cast<const QuadModelIteration*>(s);
        if (nullptr != iteration || s->isAnAlgorithm())
        {
            break;
        }
    }
    if (nullptr == iteration)
    {
        QARNO_THROW(Exception, "Update must have a Iteration among its ancestors.");
    }

    const size_t n = _pbParams->getAttributeValue<size_t>("DIMENSION");
    const BBOutputTypeList bbot = QuadModelAlgo::getBBOutputType();
    const size_t m = getNbConstraints(bbot);

    TESKORA::Matrix rowX("row_X", 1, static_cast<int>(n));
    TESKORA::Matrix rowZ("row_Z", 1, static_cast<int>(m + 1));
    TESKORA::Matrix addX("add_X", 0, static_cast<int>(n));
    TESKORA::Matrix addZ("add_Z", 0, static_cast<int>(m + 1));

    const auto trainingSet = iteration->getTrainingSet();
    const auto model = iteration->getModel();

    const auto& queue = OutputQueue::getInstance();
    const bool showDetail = queue->goodLevel(_displayLevel);
    if (showDetail)
    {
        AddOutputInfo("Review of the cache", _displayLevel);
    }

    _radiuses = ArrayOfDouble(n, std::numeric_limits<double>::max());
    std::vector<EvalPoint> selected;

    if (EvcInterface::getEvaluatorControl()->getUseCache(-1))
    {
        const auto frameCenter = iteration->getFrameCenter();
        _frameCenter = frameCenter.get();
        CacheInterface cacheInterface(this);
        if (nullptr != frameCenter)
        {
            EvalPoint found;
            if (0 == cacheInterface.find(*frameCenter, found, EvalType::UNDEFINED))
            {
                cacheInterface.smartInsert(*frameCenter, 1, EvalType::BB);
            }
        }
        if (const auto mesh = iteration->getMesh())
        {
            _radiuses = mesh->getDeltaFrameSize();
            _radiuses *= _runParams->getAttributeValue<Double>("MODEL_RADIUS_FACTOR");
        }
        cacheInterface.find([this](const EvalPoint& x) { return isValidForIncludeInModel(x); },
                            selected, true);
    }

    const size_t nbSelected = selected.size();
    const size_t minimum = _runParams->getAttributeValue<size_t>("TESKORA_MIN_POINTS_FOR_MODEL");
    const bool showInfo = queue->goodLevel(OutputLevel::LEVEL_INFO);
    if (nbSelected < minimum)
    {
        AlgoStopReasons<ModelStopType>::get(_stopReasons)
            ->_algoStopReason.set(ModelStopType::NOT_ENOUGH_POINTS);
        if (showInfo)
        {
            AddOutputInfo("QuadModel has not enough points to build model",
                          OutputLevel::LEVEL_INFO);
        }
    }
    if (showInfo)
    {
        AddOutputInfo("Found " + std::to_string(nbSelected) + " point" +
                          (nbSelected > 1 ? "s" : "") + " in cache of size " +
                          std::to_string(CacheBase::getInstance()->size()),
                      OutputLevel::LEVEL_INFO);
    }

    for (const EvalPoint& x : selected)
    {
        if (showDetail)
        {
            AddOutputInfo("xNew = " + x.display(ArrayOfDouble()), _displayLevel);
        }
        for (size_t j = 0; j < n; ++j)
        {
            rowX.set(0, static_cast<int>(j), x[j].todouble());
        }
        addX.add_rows(rowX);

        const Eval* eval = x.getEval(EvalType::BB);
        rowZ.set(0, 0, eval->getF().todouble());
        const ArrayOfDouble outputs = eval->getBBOutput().getBBOAsArrayOfDouble();
        int column = 1;
        for (size_t k = 0; k < outputs.size() && k < bbot.size(); ++k)
        {
            if (isConstraint(bbot[k]))
            {
                rowZ.set(0, column, outputs[k].todouble());
                ++column;
            }
        }
        addZ.add_rows(rowZ);
    }

    if (addX.get_nb_rows() > 0)
    {
        if (showDetail)
        {
            AddOutputInfo("Add points to training set...", _displayLevel);
        }
        trainingSet->partial_reset_and_add_points(addX, addZ);
        if (showDetail)
        {
            AddOutputInfo("OK.", _displayLevel);
            AddOutputInfo("Build model from training set...", _displayLevel);
        }
        model->build();
        if (showDetail)
        {
            AddOutputInfo("OK.", _displayLevel);
        }
    }

    const bool ready = model->is_ready();
    if (showInfo)
    {
        AddOutputInfo("New nb of points: " + std::to_string(trainingSet->get_nb_points()),
                      OutputLevel::LEVEL_INFO);
        AddOutputInfo(std::string("Ready: ") + boolToString(ready), OutputLevel::LEVEL_INFO);
    }
    return ready;
}

} // namespace QARNO_4_0_0
