#include "Util/AllStopReasons.hpp"

namespace QARNO_4_0_0
{

// Made at load; their construction also makes and checks the dictionaries
// of the two types.
StopReason<BaseStopType> AllStopReasons::_baseStopReason;
StopReason<EvalGlobalStopType> AllStopReasons::_evalGlobalStopReason;

AllStopReasons::~AllStopReasons() = default;

void AllStopReasons::setStarted()
{
    _iterStopReason.setStarted();
    setSharedStarted();
}

void AllStopReasons::setSharedStarted()
{
    _baseStopReason.setStarted();
    _evalGlobalStopReason.setStarted();
}

std::string AllStopReasons::getStopReasonAsString() const
{
    std::string text;
    if (_baseStopReason.checkTerminate())
    {
        text += getBaseStopReasonAsString();
    }
    if (_evalGlobalStopReason.checkTerminate())
    {
        text += (text.empty() ? "" : " ") + getEvalGlobalStopReasonAsString();
    }
    if (_iterStopReason.checkTerminate())
    {
        text += (text.empty() ? "" : " ") + _iterStopReason.getStopReasonAsString() + " (Iter)";
    }
    if (text.empty())
    {
        text = "No termination (all). ";
    }
    return text;
}

bool AllStopReasons::checkTerminate() const
{
    return _baseStopReason.checkTerminate() || _evalGlobalStopReason.checkTerminate() ||
           _iterStopReason.checkTerminate();
}

std::string AllStopReasons::getBaseStopReasonAsString()
{
    return _baseStopReason.getStopReasonAsString() + " (Base)";
}

std::string AllStopReasons::getEvalGlobalStopReasonAsString()
{
    return _evalGlobalStopReason.getStopReasonAsString() + " (Eval Global)";
}

} // namespace QARNO_4_0_0
