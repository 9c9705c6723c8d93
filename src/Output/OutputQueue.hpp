#ifndef QARNO_OUTPUT_OUTPUTQUEUE_HPP
#define QARNO_OUTPUT_OUTPUTQUEUE_HPP

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "Output/OutputInfo.hpp"
#include "Output/OutputLevel.hpp"
#include "Util/ArrayOfString.hpp"

namespace QARNO_4_0_0
{

class DisplayParameters;
class StatsInfo;

/// The one queue through which every message of the library travels.
///
/// Producers add records; nothing is printed until `flush`. At flush time a
/// record is filtered by its level against the maximum level of the display
/// degree and written to standard output, indented four blanks per open
/// block: a record that opens a block ends with " {", one that closes it
/// begins with "} ". Blocks nested deeper than MAX_DISPLAY_STEP_LEVEL are
/// cut: the first hidden depth shows one line of 40 dots per record, deeper
/// ones nothing. Statistics records (level `LEVEL_STATS`) also go to the
/// statistics file, whatever the display shows.
///
/// The queue is process-wide and serves every run of the process: the main
/// step configures it with `initParameters` at the start of each run; the
/// count of statistics lines shown (the header rhythm) and the block depth
/// carry over from one run to the next.
///
///     auto& queue = OutputQueue::getInstance();
///     if (queue->goodLevel(OutputLevel::LEVEL_DEBUG))
///     {
///         queue->add("x = " + x.display(), OutputLevel::LEVEL_DEBUG); // formatted only if shown
///     }
///     queue->flush();
///
/// Not thread-safe: every producer runs on the optimisation thread.
class OutputQueue
{
public:
    /// The owned pointer holding the instance; the first call creates it.
    static const std::unique_ptr<OutputQueue>& getInstance();
    /// True once `getInstance` made the instance (and no reset dropped it).
    static bool hasInstance() { return static_cast<bool>(_single); }

    /// Drops the instance without showing what it still holds, so that the
    /// next `getInstance` starts as the process did at load.
    static void resetInstance();

    /// Flushes what is left and closes the statistics file; reports a failure
    /// on standard error instead of throwing.
    virtual ~OutputQueue();

    OutputQueue(const OutputQueue&) = delete;
    OutputQueue& operator=(const OutputQueue&) = delete;

    /// `add` on the instance.
    static void Add(OutputInfo outputInfo);

    /// Queues the record when its level passes `goodLevel`, drops it otherwise.
    void add(OutputInfo outputInfo);
    /// Queues one line with an empty originator when the level passes
    /// `goodLevel`; otherwise builds nothing.
    void add(const std::string& msg, OutputLevel outputLevel);

    /// Queues the text returned by `build` (a callable giving a std::string)
    /// with an empty originator; `build` runs only when a message of this
    /// level passes `goodLevel`, so a message that would not be shown costs
    /// no formatting.
    template <typename BUILD> static void addIfShown(OutputLevel outputLevel, BUILD&& build)
    {
        const auto& queue = getInstance();
        if (queue->goodLevel(outputLevel))
        {
            queue->add(build(), outputLevel);
        }
    }

    /// True when a message of this level would be shown, or would reach the
    /// statistics file (level at most `LEVEL_STATS` with a statistics file).
    /// Ask it before formatting a costly message.
    bool goodLevel(const OutputLevel& outputLevel) const;

    /// Maximum level from the display degree 0..5: 0, 2, 6, 7, 9, 10. Any
    /// other degree is reported on standard error and gives 6.
    void setDisplayDegree(int displayDegree);
    OutputLevel getMaxLevel() const { return _maxOutputLevel; }

    /// Configures the queue for a run (after a `reset` when an earlier run
    /// configured it): display degree, MAX_DISPLAY_STEP_LEVEL, OBJ_WIDTH, and
    /// STATS_FILE, whose file is opened truncated. Throws
    /// "OutputQueue::initParameters: Display Parameters are NULL" for empty
    /// parameters.
    void initParameters(const std::shared_ptr<DisplayParameters>& displayParams);
    /// Empty until `initParameters`.
    const std::shared_ptr<DisplayParameters>& getDisplayParams() const { return _params; }
    static bool hasBeenInitialized() { return _hasBeenInitialized; }

    /// Shows every queued record in order and empties the queue. A block end
    /// without an open block throws "OutputQueue has more block ends than
    /// block starts."; the records before it have been shown and leave the
    /// queue with the faulty one, the later ones stay queued.
    void flush();
    /// Shows one record (statistics file, level filter, indentation, cut).
    void flushBlock(const OutputInfo& outputInfo);

    /// Flushes the queue, closes the statistics file and marks the queue as
    /// not configured. The statistics file name and format, the block depth
    /// and the count of statistics lines shown stay.
    void reset();

    /// (Re)opens the statistics file, truncated, when a name is set. A file
    /// that cannot be opened is reported on standard error; the run goes on.
    void initStatsFile();
    /// Shows a statistics line on standard output, filtered by the display
    /// flags, under a header every DISPLAY_HEADER lines (once when it is 0,
    /// never when it is INF or from display degree 3).
    void flushStatsToStdout(const StatsInfo* stats);
    /// Writes a statistics line to the statistics file, at precision 20,
    /// without header, success mark or comment.
    void flushStatsToStatsFile(const StatsInfo* stats);

    const std::string& getStatsFileName() const { return _statsFileName; }
    /// Statistics lines shown on standard output since the process started.
    uint64_t getStatsLineCount() const { return _statsLineCount; }
    size_t getObjWidth() const { return _objWidth; }
    size_t getHWidth() const { return _hWidth; }
    int getIndentLevel() const { return _indentLevel; }

private:
    OutputQueue();

    /// " {"
    void startBlock();
    /// "} "
    void endBlock();
    /// Four blanks n times; nothing for n <= 0.
    void indent(int n);

    static std::unique_ptr<OutputQueue> _single;
    static bool _hasBeenInitialized;

    std::vector<OutputInfo> _queue;
    std::shared_ptr<DisplayParameters> _params;
    std::string _statsFileName;
    std::ofstream _statsFile;
    ArrayOfString _statsFileFormat;
    uint64_t _statsLineCount;
    size_t _objWidth;
    size_t _hWidth;
    /// Blocks nested deeper than this are cut from the display.
    size_t _maxStepLevel;
    OutputLevel _maxOutputLevel;
    /// The current block depth.
    int _indentLevel;
    const std::string _blockStart;
    const std::string _blockEnd;
};

} // namespace QARNO_4_0_0

#endif
