#ifndef QARNO_OUTPUT_OUTPUTDIRECTTOFILE_HPP
#define QARNO_OUTPUT_OUTPUTDIRECTTOFILE_HPP

#include <fstream>
#include <memory>
#include <string>

#include "Math/ArrayOfDouble.hpp"
#include "Util/ArrayOfString.hpp"

namespace QARNO_4_0_0
{

class DisplayParameters;
class StatsInfo;

/// The process-wide writer of the history file (HISTORY_FILE: one line per
/// evaluation reported to it) and of the solution file (SOLUTION_FILE: one
/// line, the last best point reported). Both lines read "SOL BBO": the
/// coordinates with precision 20, a blank, the raw blackbox output as the
/// evaluator gave it. These files bypass the output queue.
///
/// The main step configures the writer at the start of every run; the
/// history file is truncated then and stays open for the run, the solution
/// file is rewritten by every write that asks for it.
///
///     auto& writer = OutputDirectToFile::getInstance();
///     writer->init(displayParams);            // once per run
///     if (writer->goodToWrite())
///     {
///         writer->write(stats, isBestFeasible, true);
///     }
///
/// A file that cannot be opened is reported on standard error and the run
/// goes on without it.
class OutputDirectToFile
{
public:
    /// Phase one switches the solution file off for its duration (its points
    /// optimise the infeasibility, not the objective); `write` leaves the
    /// solution file alone while this is false. The history file does not
    /// depend on it. True at construction.
    bool _writeSolutionFile;

    virtual ~OutputDirectToFile();
    OutputDirectToFile(const OutputDirectToFile&) = delete;
    OutputDirectToFile& operator=(const OutputDirectToFile&) = delete;

    /// The owner of the one instance; the first call creates it.
    static const std::unique_ptr<OutputDirectToFile>& getInstance();
    /// True once `getInstance` made the instance (and no reset dropped it).
    static bool hasInstance() { return static_cast<bool>(_single); }
    /// True once `init` configured the writer.
    static bool hasBeenInitialized() { return _hasBeenInitialized; }

    /// Back to the state at load: no instance (the history file of the
    /// current one is closed) and not initialised. For a process that must
    /// start over, such as a test.
    static void resetInstance();

    /// Configures the writer for a run: file names from `displayParams`,
    /// history file truncated and opened. Throws when `displayParams` is
    /// empty and when an earlier run of the process still writes the same
    /// history file; the writer then keeps its previous configuration.
    void init(const std::shared_ptr<DisplayParameters>& displayParams);

    /// Throws, as `init` does, when `historyFile` is the non-empty history
    /// file of an earlier run of the process, `earlierHistoryFile`. For a
    /// caller that starts every run from a reset writer (the Python module)
    /// and keeps the earlier run's file name itself.
    static void checkHistoryFileFree(const std::string& historyFile,
                                     const std::string& earlierHistoryFile);

    /// The history file of the run configured last; empty for none.
    const std::string& getHistoryFile() const { return _historyFile; }

    /// Closes the history file of an earlier run and, when a history file
    /// name is set, opens it truncated (a warning on standard error when it
    /// cannot be opened).
    void initHistoryFile();

    /// A history or a solution file name is set: records are worth making.
    bool goodToWrite() const { return !_historyFile.empty() || !_solutionFile.empty(); }

    /// Writes the "SOL BBO" line of `stats` to the history file (appended)
    /// and/or to the solution file (rewritten with this line only).
    void write(const StatsInfo& stats, bool writeInSolutionFile, bool writeInHistoryFile);

private:
    OutputDirectToFile();

    std::shared_ptr<DisplayParameters> _params;
    /// The two words "SOL" and "BBO".
    const ArrayOfString _outputFormat;
    /// Precision 20 for every coordinate (as many as SOL_FORMAT has), read
    /// once per run rather than once per record.
    ArrayOfDouble _precisions;
    std::string _solutionFile;
    std::ofstream _solutionStream;
    std::string _historyFile;
    std::ofstream _historyStream;

    static std::unique_ptr<OutputDirectToFile> _single;
    static bool _hasBeenInitialized;
};

} // namespace QARNO_4_0_0

#endif
