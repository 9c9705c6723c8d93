#include "Output/OutputInfo.hpp"

#include <utility>

#include "Math/ArrayOfDouble.hpp"
#include "Math/Point.hpp"
#include "Output/OutputQueue.hpp"
#include "Output/StatsInfo.hpp"
#include "Param/DisplayParameters.hpp"
#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

namespace
{
}

OutputInfo::OutputInfo(std::string originator, const std::string& msg, OutputLevel outputLevel,
                       bool isBlockStart, bool isBlockEnd)
    : _originator(std::move(originator)), _msg(1, msg), _outputLevel(outputLevel),
      _blockStart(isBlockStart), _blockEnd(isBlockEnd), _statsInfo()
{
}

OutputInfo::OutputInfo(std::string originator, ArrayOfString msg, OutputLevel outputLevel,
                       bool isBlockStart, bool isBlockEnd)
    : _originator(std::move(originator)), _msg(std::move(msg)), _outputLevel(outputLevel),
      _blockStart(isBlockStart), _blockEnd(isBlockEnd), _statsInfo()
{
}

// Defined here, where StatsInfo is complete.
OutputInfo::~OutputInfo() = default;
OutputInfo::OutputInfo(OutputInfo&& other) noexcept = default;
OutputInfo& OutputInfo::operator=(OutputInfo&& other) noexcept = default;

void OutputInfo::addMsgAndSol(const std::string& msg, const Point& sol)
{
    // The precision of the coordinates is a setting of the run: without it
    // there is no sensible way to show the point.
    const std::shared_ptr<DisplayParameters>& params =
        OutputQueue::getInstance()->getDisplayParams();
    if (nullptr == params)
    {
        QARNO_THROW(Exception, "OutputQueue: Display Parameters are NULL");
    }
    const ArrayOfDouble& solFormat = params->getAttributeValue<ArrayOfDouble>("SOL_FORMAT");
    _msg.add(msg + sol.display(solFormat));
}

void OutputInfo::setStatsInfo(std::unique_ptr<StatsInfo> statsInfo)
{
    _statsInfo = std::move(statsInfo);
}

} // namespace QARNO_4_0_0
