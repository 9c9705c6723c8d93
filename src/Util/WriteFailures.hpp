#ifndef QARNO_UTIL_WRITEFAILURES_HPP
#define QARNO_UTIL_WRITEFAILURES_HPP

#include <string>
#include <vector>

namespace QARNO_4_0_0
{

/// The files that the run was asked to write (history, solution, statistics,
/// cache, hot-restart files) and could not write whole: a full disk, a
/// missing folder, a file that cannot be opened. Each writer says so on
/// standard error where it happens and records the file here, so that the
/// end of the run can tell its caller: the program `qarno` then ends with a
/// failure status, the Python module issues a warning. A run goes on after a
/// failed write: its result is still worth having.
///
///     if (!out) { std::cerr << "Warning: ..."; WriteFailures::record(fileName); }
///     ...
///     for (const auto& name : WriteFailures::files()) ...   // at the end
class WriteFailures
{
public:
    /// Records a file whose write failed; a file is listed once.
    static void record(const std::string& fileName);
    /// The files recorded, in the order of their first failure.
    static const std::vector<std::string>& files();
    /// Whether `fileName` is recorded.
    static bool has(const std::string& fileName);
    /// Forgets every file: the state of a new process.
    static void reset();
};

} // namespace QARNO_4_0_0

#endif
