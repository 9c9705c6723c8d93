#include "Algos/TeskoraModel/TeskoraModelIteration.hpp"

#include "Algos/TeskoraModel/TeskoraModel.hpp"
#include "Algos/TeskoraModel/TeskoraModelOptimize.hpp"
#include "Algos/TeskoraModel/TeskoraModelUpdate.hpp"
#include "Util/AllStopReasons.hpp"

namespace QARNO_4_0_0
{

namespace
{
const TeskoraModel* owningModel(const Step* step)
{
    for (const Step* s = step->getParentStep(); nullptr != s; s = s->getParentStep())
    {
        if (const auto* model = dynamic_cast<const TeskoraModel*>(s))
        {
            return model;
        }
        if (s->isAnAlgorithm())
        {
            break;
        }
    }
    return nullptr;
}
} // namespace

TeskoraModelIteration::TeskoraModelIteration(const Step* parentStep, size_t k)
    : Iteration(parentStep, k), _optimize()
{
    init();
}

TeskoraModelIteration::~TeskoraModelIteration() = default;

void TeskoraModelIteration::init()
{
    // Without a model above, the child-step constructor refuses the parent.
    _optimize = std::make_shared<TeskoraModelOptimize>(owningModel(this), _runParams, _pbParams);
}

void TeskoraModelIteration::startImp()
{
    TeskoraModelUpdate update(this);
    update.start();
    update.run();
    update.end();
}

bool TeskoraModelIteration::runImp()
{
    const TeskoraModel* model = owningModel(this);
    if (_stopReasons->checkTerminate() || nullptr == model || !model->isReady())
    {
        return false;
    }
    ArrayOfDouble meshSize;
    ArrayOfDouble frameSize;
    if (const auto& mesh = model->getMesh())
    {
        meshSize = mesh->getdeltaMeshSize();
        frameSize = mesh->getDeltaFrameSize();
    }
    _optimize->setupPbParameters(model->getExtendedLowerBound(), model->getExtendedUpperBound(),
                                 meshSize, frameSize);
    _optimize->start();
    const bool result = _optimize->run();
    _optimize->end();
    return result;
}

const std::set<EvalPoint, EvalPointCompare>& TeskoraModelIteration::getOraclePoints() const
{
    // Made by init: an iteration always has its optimisation step.
    return _optimize->getOraclePoints();
}

} // namespace QARNO_4_0_0
