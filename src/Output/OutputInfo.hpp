#ifndef QARNO_OUTPUT_OUTPUTINFO_HPP
#define QARNO_OUTPUT_OUTPUTINFO_HPP

#include <memory>
#include <string>

#include "Output/OutputLevel.hpp"
#include "Util/ArrayOfString.hpp"

namespace QARNO_4_0_0
{

class Point;
class StatsInfo;

/// One message for the output queue: who sent it, its lines, its level,
/// whether it opens or closes an indented block, and, for a statistics
/// record, the evaluation it reports.
///
/// A record is moved into the queue, never copied: it owns its statistics
/// line.
///
///     OutputInfo info("Poll", "Generate points", OutputLevel::LEVEL_INFO, true, false);
///     OutputQueue::Add(std::move(info));
class OutputInfo
{
public:
    OutputInfo(std::string originator, const std::string& msg, OutputLevel outputLevel,
               bool isBlockStart = false, bool isBlockEnd = false);
    OutputInfo(std::string originator, ArrayOfString msg, OutputLevel outputLevel,
               bool isBlockStart = false, bool isBlockEnd = false);
    virtual ~OutputInfo();

    OutputInfo(OutputInfo&& other) noexcept;
    OutputInfo& operator=(OutputInfo&& other) noexcept;
    OutputInfo(const OutputInfo&) = delete;
    OutputInfo& operator=(const OutputInfo&) = delete;

    const std::string& getOriginator() const { return _originator; }
    void setOriginator(const std::string& originator) { _originator = originator; }

    const ArrayOfString& getMsg() const { return _msg; }
    /// Appends one line.
    void addMsg(const std::string& line) { _msg.add(line); }
    /// Appends one line: `msg` directly followed by the point between
    /// parentheses, each coordinate with its SOL_FORMAT precision taken from
    /// the display parameters of the output queue. Throws "OutputQueue:
    /// Display Parameters are NULL" when the queue has none yet.
    void addMsgAndSol(const std::string& msg, const Point& sol);

    OutputLevel getOutputLevel() const { return _outputLevel; }
    void setOutputLevel(OutputLevel outputLevel) { _outputLevel = outputLevel; }

    bool isBlockStart() const { return _blockStart; }
    void setBlockStart(bool blockStart) { _blockStart = blockStart; }
    bool isBlockEnd() const { return _blockEnd; }
    void setBlockEnd(bool blockEnd) { _blockEnd = blockEnd; }

    /// The record takes the statistics line over.
    void setStatsInfo(std::unique_ptr<StatsInfo> statsInfo);
    /// The statistics line, nullptr when there is none.
    const StatsInfo* getStatsInfo() const { return _statsInfo.get(); }

private:
    std::string _originator;
    ArrayOfString _msg;
    OutputLevel _outputLevel;
    bool _blockStart;
    bool _blockEnd;
    std::unique_ptr<StatsInfo> _statsInfo;
};

} // namespace QARNO_4_0_0

#endif
