#ifndef QARNO_ALGOS_INNERMADSRUN_HPP
#define QARNO_ALGOS_INNERMADSRUN_HPP

#include <cstddef>
#include <memory>

#include "Algos/Mads/Search.hpp"

namespace QARNO_4_0_0
{

class Evaluator;
class Mads;
class PbParameters;
class RunParameters;

/// A MADS run that a step runs inside itself: the minimisation of a
/// quadratic model or of a surrogate-model problem, or one sub-problem of the
/// parallel space decomposition. The three share how the inner run's
/// parameters start (copies of the step's, with the search methods that the
/// inner run does not keep switched off, see `Search::methodTable`) and how
/// it runs; a model's evaluator takes the queue's place for the length of
/// the run only, and the queue's settings come back on every way out, an
/// exception included.
///
///     auto run = InnerMadsRun::runParameters(*_runParams, InnerRun::QUAD_MODEL_OPTIMIZATION);
///     run->setAttributeValue(...);            // the step's own settings
///     run->checkAndComply(evcGlobal, pb);
///     auto pb = InnerMadsRun::pbParameters(*_pbParams);
///     ...
///     Mads mads(this, stopReasons, run, pb);
///     const bool success = InnerMadsRun::runOnModel(mads, modelEvaluator, true);
class InnerMadsRun
{
public:
    InnerMadsRun() = delete;

    /// A copy of `from` with the search methods that `innerRun` does not
    /// keep switched off; a model optimisation also accepts any constraint
    /// violation at its start (H_MAX_0 infinite) and calls no user callback.
    /// Not checked: the caller adds its own settings first.
    static std::shared_ptr<RunParameters> runParameters(const RunParameters& from,
                                                        InnerRun innerRun);
    /// A copy of `from` that does not warn about its mesh (the run around it
    /// did). Not checked.
    static std::shared_ptr<PbParameters> pbParameters(const PbParameters& from);

    /// `start()`, `run()` and `end()` of `mads` with `evaluator` (a model's)
    /// in place of the queue's, without opportunism and without the cache,
    /// the surrogate count of the calling thread reset before and after; the
    /// queue's evaluator, opportunism and cache use come back afterwards,
    /// with the default success rule when `restoreDefaultRule`. The answer of
    /// the run.
    static bool runOnModel(Mads& mads, const std::shared_ptr<Evaluator>& evaluator,
                           bool restoreDefaultRule);

    /// `start()`, `run()` and `end()` of `mads` on the queue's evaluator,
    /// its blackbox evaluations counted for the sub-problem from zero; their
    /// number goes to `bbEval`, and the count starts from zero again. The
    /// answer of the run.
    static bool runOnSubproblem(Mads& mads, size_t& bbEval);
};

} // namespace QARNO_4_0_0

#endif
