#include "Algos/TeskoraModel/TeskoraModelInitialization.hpp"

#include <set>
#include <string>
#include <vector>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/CacheInterface.hpp"
#include "Algos/EvcInterface.hpp"
#include "Algos/StartingPoints.hpp"
#include "Algos/SubproblemManager.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvalPoint.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/ArrayOfPoint.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

TeskoraModelInitialization::TeskoraModelInitialization(const Step* parentStep)
    : Initialization(parentStep)
{
    init();
}

TeskoraModelInitialization::~TeskoraModelInitialization() = default;

void TeskoraModelInitialization::init()
{
    verifyParentNotNull();
}

bool TeskoraModelInitialization::runImp()
{
    if (_stopReasons->checkTerminate())
    {
        return false;
    }
    eval_x0s();
    return !_stopReasons->checkTerminate();
}

void TeskoraModelInitialization::validateX0s() const
{
    validateStartingPoints(*this, _pbParams->getAttributeValue<ArrayOfPoint>("X0"),
                           _pbParams->getAttributeValue<size_t>("DIMENSION"), QARNO_SOURCE_FILE);
}

bool TeskoraModelInitialization::eval_x0s()
{
    const ArrayOfPoint x0s = _pbParams->getAttributeValue<ArrayOfPoint>("X0");
    const size_t n = _pbParams->getAttributeValue<size_t>("DIMENSION");
    validateX0s();

    CacheInterface cacheInterface(this);
    const auto& evc = EvcInterface::getEvaluatorControl();
    const std::vector<EvalPoint> evaluated = evaluateStartingPoints(this, x0s, n);

    bool success = false;
    for (const Point& x0 : x0s)
    {
        if (_stopReasons->checkTerminate())
        {
            break;
        }
        EvalPoint found;
        if (isValidStartingPoint(x0, n) && cacheInterface.find(x0, found, EvalType::BB) > 0 &&
            found.isEvalOk(EvalType::BB))
        {
            if (OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_INFO))
            {
                AddOutputInfo("Using X0: " + found.displayAll(), OutputLevel::LEVEL_INFO);
            }
            success = true;
        }
        else
        {
            AddOutputError("X0 evaluation failed for X0 = " + x0.display(ArrayOfDouble()));
        }
    }

    if (success)
    {
        const Double hMax0 = _runParams->getAttributeValue<Double>("H_MAX_0");
        _barrier = std::make_shared<Barrier>(hMax0, SubproblemManager::getSubFixedVariable(this),
                                             evc->getEvalType(-1), evaluated);
    }
    else
    {
        AlgoStopReasons<ModelStopType>::get(_stopReasons)
            ->_algoStopReason.set(ModelStopType::X0_FAILED);
    }
    OutputQueue::getInstance()->flush();
    return success;
}

} // namespace QARNO_4_0_0
