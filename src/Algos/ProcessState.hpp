#ifndef QARNO_ALGOS_PROCESSSTATE_HPP
#define QARNO_ALGOS_PROCESSSTATE_HPP

#include <string>
#include <vector>

namespace QARNO_4_0_0
{

/// The process-wide states of the library, in one list, and their resets.
/// It sits above every layer it resets (foundation, parameters, output,
/// evaluation, cache, steps, the surrogate library), so that none of them
/// depends on another to be reset.
///
/// Each state is either one that every run resets at its start (what an
/// earlier run may leave behind: interrupt flags, stop reasons, rules that
/// phase one swaps, the random generators, ...) or one that the embedding
/// program may set up before a run and that the run then uses (the cache,
/// the evaluation queue, the user callbacks, the parameter lines read, the
/// output queue). A whole-process reset clears both kinds:
///
///     resetProcessState();   // the module before each call, the tests
///     ... set up a cache, an evaluation queue, callbacks, parameters ...
///     MainStep mainStep;      // its start calls resetRunState()
///
/// So a `qarno` run, a C++ run and a Python call all start from the state at
/// load, but for what the embedding program set up on purpose.
///
/// Whatever adds a singleton or a static rule adds its entry here (and to the
/// list the process-state test dirties).

/// Puts every process-wide state back to its state at load.
void resetProcessState();

/// Puts back the states that every run resets at its start; keeps those that
/// the embedding program sets up for a run. Called by the main step's start.
void resetRunState();

/// The names of the states in the list, in reset order; with `runStartOnly`,
/// those that `resetRunState` resets.
std::vector<std::string> processStateNames(bool runStartOnly);

} // namespace QARNO_4_0_0

#endif
