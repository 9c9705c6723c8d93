#ifndef QARNO_ALGOS_NELDERMEAD_NM_HPP
#define QARNO_ALGOS_NELDERMEAD_NM_HPP

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Algos/Algorithm.hpp"
#include "Algos/NelderMead/NMSettings.hpp"
#include "Algos/NelderMead/NMSimplex.hpp"

namespace QARNO_4_0_0
{

/// The Nelder-Mead algorithm: its initialization evaluates the starting
/// points, then Nelder-Mead mega-iterations run until the termination step
/// says stop. It runs alone (NM_OPTIMIZATION, on the barrier its
/// initialization built) or as the child of the Nelder-Mead search of MADS,
/// where every mega-iteration works on the barrier of the MADS
/// mega-iteration above.
///
///     auto nm = std::make_shared<NM>(parent, std::make_shared<AlgoStopReasons<NMStopType>>(),
///                                    runParams, pbParams);
///     nm->start(); nm->run(); nm->end();
///
/// Its start never reads a hot-restart file: an NM run always starts from
/// its own initialization.
///
/// Alone, the simplex that one mega-iteration leaves is the one the next
/// goes on with: a simplex made again from the best cached points is nearly
/// flat once the walk has contracted, and Nelder-Mead then stalls far from
/// the optimum. As a search, every mega-iteration makes its simplex around
/// the MADS frame centre.
///
/// A point met again is judged with its evaluation on record, so a walk can
/// go on without evaluating; the algorithm remembers the simplexes it has
/// walked from since the last evaluation, so that such a walk cannot go round
/// for ever.
class NM : public Algorithm
{
public:
    /// The algorithm's construction, then `init()`.
    NM(const Step* parentStep, std::shared_ptr<AllStopReasons> stopReasons,
       const std::shared_ptr<RunParameters>& runParams,
       const std::shared_ptr<PbParameters>& pbParams);
    ~NM() override;

    /// Names the step "NM" (" One Iteration" appended with
    /// GENERATE_ALL_POINTS_BEFORE_EVAL), reads the settings of its steps and
    /// installs a new `NMInitialization`.
    void init();

    /// Loads the hot-restart file into a fresh mega-iteration when
    /// HOT_RESTART_READ_FILES is set; no NM start calls it.
    void readInformationForHotRestart() override;

    /// Records that the walk reflects from Y. True when it reflected from the
    /// same simplex (the same points) before, with no evaluation since: it
    /// can then only repeat itself.
    bool simplexMetBefore(const NMSimplex& Y);
    /// A point was evaluated: the walk may meet any simplex again.
    void evaluationMade() { _simplexesSinceEvaluation.clear(); }

    /// The parameters of its steps, read at its construction.
    const std::shared_ptr<const NMSettings>& getSettings() const { return _settings; }

protected:
    /// Stop reasons started, lap counter reset, the initialization run;
    /// no hot-restart read, no lap budget.
    void startImp() override;
    /// Mega-iterations numbered 0, 2, 4, ... until `terminate(k)`; keeps the
    /// final one for the hot-restart file. True when one of them succeeded.
    bool runImp() override;
    void endImp() override;

private:
    /// The coordinates of the points of each simplex walked from since the
    /// last evaluation, sorted.
    std::set<std::vector<std::vector<double>>> _simplexesSinceEvaluation;
    std::shared_ptr<const NMSettings> _settings;
};

} // namespace QARNO_4_0_0

#endif
