#include "Algos/QuadModel/QuadModelIterationUtils.hpp"

#include "Algos/QuadModel/QuadModelIteration.hpp"
#include "Output/OutputInfo.hpp"
#include "Output/OutputQueue.hpp"
#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

QuadModelIterationUtils::QuadModelIterationUtils(const Step* parentStep)
    : IterationUtils(parentStep), _trainingSet(), _model()
{
    init();
}

QuadModelIterationUtils::~QuadModelIterationUtils()
{
    _model.reset();
    _trainingSet.reset();
}

void QuadModelIterationUtils::init()
{
    if (const auto* iteration = dynamic_cast<const QuadModelIteration*>(getIterationAncestor()))
    {
        _model = iteration->getModel();
        _trainingSet = iteration->getTrainingSet();
    }
}

void QuadModelIterationUtils::displayModelInfo() const
{
    if (nullptr == _model || nullptr == _trainingSet)
    {
        QARNO_THROW(Exception,
                    "The iteration utils must have a model and a training set to work with");
    }
    const auto& queue = OutputQueue::getInstance();
    if (queue->goodLevel(OutputLevel::LEVEL_DEBUG))
    {
        queue->add(OutputInfo("Quad Model iteration utils", "", OutputLevel::LEVEL_DEBUG));
        queue->flush();
    }
}

} // namespace QARNO_4_0_0
