#include "Algos/QuadModel/QuadModelIteration.hpp"

#include <string>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/MegaIteration.hpp"
#include "Algos/QuadModel/QuadModelAlgo.hpp"
#include "Algos/QuadModel/QuadModelOptimize.hpp"
#include "Algos/QuadModel/QuadModelUpdate.hpp"
#include "Param/PbParameters.hpp"
#include "teskora/Matrix.hpp"
#include "teskora/SurrogateFactory.hpp"

namespace QARNO_4_0_0
{

QuadModelIteration::QuadModelIteration(const Step* parentStep,
                                       const std::shared_ptr<EvalPoint>& frameCenter, size_t k,
                                       const std::shared_ptr<MeshBase>& mesh)
    : Iteration(parentStep, k), _frameCenter(frameCenter), _mesh(mesh), _trainingSet(), _model()
{
    init();
}

QuadModelIteration::~QuadModelIteration()
{
    reset();
}

void QuadModelIteration::init()
{
    setName(getAlgoName() + getName());

    const BBOutputTypeList bbot = QuadModelAlgo::getBBOutputType();
    const size_t m = getNbConstraints(bbot);
    const size_t n = _pbParams->getAttributeValue<size_t>("DIMENSION");

    const TESKORA::Matrix emptyX("empty_X", 0, static_cast<int>(n));
    const TESKORA::Matrix emptyZ("empty_Z", 0, static_cast<int>(m + 1));
    _trainingSet = std::make_shared<TESKORA::TrainingSet>(emptyX, emptyZ);
    _model = std::shared_ptr<TESKORA::Surrogate>(
        TESKORA::Surrogate_Factory(*_trainingSet, "TYPE PRS"), TESKORA::surrogate_delete);
}

void QuadModelIteration::reset()
{
    // The model refers to the training set: it goes first.
    _model.reset();
    _trainingSet.reset();
}

void QuadModelIteration::startImp()
{
    ++_k;

    QuadModelUpdate update(this, OutputLevel::LEVEL_INFO);
    update.start();
    const bool updated = update.run();
    update.end();

    if (!updated)
    {
        auto stopReasons = AlgoStopReasons<ModelStopType>::get(_stopReasons);
        if (!_stopReasons->checkTerminate())
        {
            stopReasons->_algoStopReason.set(ModelStopType::INITIALIZATION_FAILED);
        }
    }
}

bool QuadModelIteration::runImp()
{
    QuadModelOptimize optimize(this, _pbParams);

    bool result = false;
    if (!_stopReasons->checkTerminate() && nullptr != _model && _model->is_ready())
    {
        optimize.start();
        result = optimize.run();
        optimize.end();
    }

    for (const Step* s = getParentStep(); nullptr != s; s = s->getParentStep())
    {
        if (auto* mega = dynamic_cast<MegaIteration*>(const_cast<Step*>(s)))
        {
            mega->setSuccessType(optimize.getSuccessType());
            break;
        }
        if (s->isAnAlgorithm())
        {
            break;
        }
    }
    return result;
}

} // namespace QARNO_4_0_0
