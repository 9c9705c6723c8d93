#include "Algos/Mads/Poll.hpp"

#include <string>

#include "Algos/EvcInterface.hpp"
#include "Algos/Mads/DoublePollMethod.hpp"
#include "Algos/Mads/NP1UniPollMethod.hpp"
#include "Algos/Mads/Ortho2NPollMethod.hpp"
#include "Algos/Mads/PollMethodBase.hpp"
#include "Algos/Mads/SinglePollMethod.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/PbParameters.hpp"
#include "Type/DirectionType.hpp"
#include "Util/AllStopReasons.hpp"
#include "Util/Exception.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

Poll::Poll(const Step* parentStep) : Step(parentStep), IterationUtils(parentStep), _pollMethod()
{
    init();
}

Poll::~Poll()
{
    _pollMethod.reset();
    _trialPoints.clear();
}

void Poll::init()
{
    setName("Poll");
    verifyParentNotNull();

    _pollMethod.reset();
    const auto directionType = getPbParams()->getAttributeValue<DirectionType>("DIRECTION_TYPE");
    switch (directionType)
    {
    case DirectionType::ORTHO_2N:
        _pollMethod = std::make_shared<Ortho2NPollMethod>(this);
        break;
    case DirectionType::NP1_UNI:
        _pollMethod = std::make_shared<NP1UniPollMethod>(this);
        break;
    case DirectionType::SINGLE:
        _pollMethod = std::make_shared<SinglePollMethod>(this);
        break;
    case DirectionType::DOUBLE:
        _pollMethod = std::make_shared<DoublePollMethod>(this);
        break;
    default:
        // The text conversion throws first for a value outside the
        // enumeration.
        QARNO_THROW(Exception,
                    "Poll method" + directionTypeToString(directionType) + "not available.");
    }
}

void Poll::startImp()
{
    verifyGenerateAllPointsBeforeEval("virtual void QARNO_4_0_0::Poll::startImp()", false);
}

bool Poll::runImp()
{
    verifyGenerateAllPointsBeforeEval("virtual bool QARNO_4_0_0::Poll::runImp()", false);

    if (OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_DEBUG))
    {
        AddOutputDebug("Poll method " + _pollMethod->getName() + " is enabled");
    }

    _pollMethod->start();
    _pollMethod->run();
    const SuccessType success = _pollMethod->getSuccessType();
    _pollMethod->end();

    if (OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_INFO))
    {
        std::string msg = _pollMethod->getName();
        msg += (SuccessType::FULL_SUCCESS == success) ? " is successful" : " is not successful";
        msg += ". Stop reason: ";
        if (nullptr != _stopReasons)
        {
            msg += _stopReasons->getStopReasonAsString();
        }
        AddOutputInfo(msg);
    }

    _success = (success < SuccessType::NOT_EVALUATED) ? SuccessType::NOT_EVALUATED : success;
    return SuccessType::FULL_SUCCESS == success;
}

void Poll::endImp()
{
    verifyGenerateAllPointsBeforeEval("virtual void QARNO_4_0_0::Poll::endImp()", false);
    postProcessing(EvcInterface::getEvaluatorControl()->getEvalType(-1));
}

void Poll::generateTrialPoints()
{
    verifyGenerateAllPointsBeforeEval("virtual void QARNO_4_0_0::Poll::generateTrialPoints()",
                                      true);

    const bool showInfo = OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_INFO);
    if (showInfo)
    {
        AddOutputInfo("Generate points for " + getName(), true, false);
    }

    _pollMethod->generateTrialPoints();
    for (const auto& point : _pollMethod->getTrialPoints())
    {
        insertTrialPoint(point);
    }
    verifyPointsAreOnMesh(getName());

    if (showInfo)
    {
        AddOutputInfo("Generated " + itos(_trialPoints.size()) + " points");
        AddOutputInfo("Generate points for " + getName(), false, true);
    }
}

} // namespace QARNO_4_0_0
