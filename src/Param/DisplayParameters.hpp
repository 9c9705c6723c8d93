#ifndef QARNO_PARAM_DISPLAYPARAMETERS_HPP
#define QARNO_PARAM_DISPLAYPARAMETERS_HPP

#include <memory>

#include "Math/ArrayOfDouble.hpp"
#include "Param/Parameters.hpp"

namespace QARNO_4_0_0
{

class PbParameters;
class RunParameters;

/// What is shown and written: the display degree, the statistics-line
/// formats and their filters, the statistics, main statistics, history and
/// solution files, the precision of points and the depth of nested steps
/// shown. The output queue and the history and solution writer are
/// configured from it.
///
/// The check runs last, after the run and problem parameters: it derives the
/// precision of points (`SOL_FORMAT`) from the granularity and completes the
/// file names against `PROBLEM_DIR`, inserting `SEED` when
/// `ADD_SEED_TO_FILE_NAMES` is true.
///
///     auto display = std::make_shared<DisplayParameters>();
///     display->setAttributeValue("HISTORY_FILE", std::string("history.txt"));
///     display->checkAndComply(run, pb);   // run and pb checked first
///     // HISTORY_FILE is now "<PROBLEM_DIR>history.<SEED>.txt", absolute.
///
/// After a check, `SOL_FORMAT` holds one integer precision from 0 to
/// `maxSolFormatPrecision` per variable, `STATS_FILE` is empty or a file name
/// followed by at least one format word, `DISPLAY_HEADER` is positive (INF:
/// never) and `OBJ_WIDTH` is at most `maxObjWidth`.
class DisplayParameters : public Parameters
{
public:
    /// The largest precision a check lets through in `SOL_FORMAT`. A precision
    /// derived from a granularity never exceeds 16 (the tolerance is at least
    /// the machine epsilon); 20 is the precision of the history file.
    static constexpr int maxSolFormatPrecision = 20;
    /// The widest objective column a check lets through: columns are padded
    /// with blanks to this width on every statistics line.
    static constexpr size_t maxObjWidth = 1000;

    DisplayParameters() : Parameters() { init(); }
    ~DisplayParameters() override = default;

    /// Type name "Display"; registers the definition table.
    void init() override;

    /// Checks and completes the set from the checked `run` (PROBLEM_DIR,
    /// ADD_SEED_TO_FILE_NAMES, SEED) and `pb` (DIMENSION, GRANULARITY) sets.
    /// On a failure nothing of the set is changed and it stays to be checked.
    void checkAndComply(const std::shared_ptr<RunParameters>& run,
                        const std::shared_ptr<PbParameters>& pb);

    /// The number of decimals to show per coordinate: that of the
    /// granularity where it is positive (beyond the tolerance), 6 elsewhere.
    ArrayOfDouble setFormatFromGranularity(const ArrayOfDouble& granularity) const;
};

} // namespace QARNO_4_0_0

#endif
