#ifndef QARNO_UTIL_PROCESSSTATE_HPP
#define QARNO_UTIL_PROCESSSTATE_HPP

namespace QARNO_4_0_0
{

/// Puts every process-wide state of the library back to its state at load,
/// so that a run started after it behaves as in a fresh process: the number
/// texts and tolerance of `Double`, the random generator, the shared stop
/// reasons, the store of parameter entries and the unknown-keyword warning,
/// the output queue and the history/solution writer, the record of files
/// that could not be written, the tag counter of evaluation points, the h
/// and success rules of `Eval`, the cache (no
/// instance, no cache hit, no output types), the user-interrupt flags and
/// recorded interrupts of `Step`, its user callbacks (back to the defaults),
/// the sub-problem registry (emptied without a warning) and the output
/// types of phase one.
///
/// This is the one list of such states: whatever adds a singleton or a
/// static rule adds its reset here. Every run starts with this call, and so
/// does every test that touches one of them.
void resetProcessState();

} // namespace QARNO_4_0_0

#endif
