#ifndef QARNO_TESTS_SUPPORT_MODELSEARCHSUPPORT_HPP
#define QARNO_TESTS_SUPPORT_MODELSEARCHSUPPORT_HPP

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Algos/AlgoStopReasons.hpp"
#include "Param/AllParameters.hpp"
#include "Util/Utils.hpp"
#include "support/EvcSupport.hpp"
#include "support/StepSupport.hpp"
#include "support/TestSupport.hpp"

namespace QARNO_4_0_0
{
class Step;
}

namespace QarnoTest
{

/// What a model-based search needs in a test, for the life of the object:
///
/// - the process-wide state reset at construction and again at the end (the
///   standard generator of the surrogate library included);
/// - checked parameter sets of the problem: dimension n, the output types,
///   the starting points and further parameter lines;
/// - an empty cache and an evaluation queue whose blackbox is `f`, counted,
///   installed for the run, and the output queue at display degree 2;
/// - a root step, the parent of the algorithms a test makes.
///
///     ModelSearchHarness h(2, "OBJ PB", f, {{1, 1}});
///     h.seedCache({{0, 0}, {1, 0}, {0, 1}});
///     QuadModelAlgo algo(h.root.get(), h.makeStopReasons(), h.runParams(), h.pbParams());
class ModelSearchHarness
{
public:
    ModelSearchHarness(size_t n, const std::string& bbOutputType, Analytic f,
                       const std::vector<std::vector<double>>& x0s = {},
                       const std::vector<std::string>& lines = {},
                       const EvcOptions& options = EvcOptions());
    ~ModelSearchHarness();
    ModelSearchHarness(const ModelSearchHarness&) = delete;
    ModelSearchHarness& operator=(const ModelSearchHarness&) = delete;

    const std::shared_ptr<QARNO_4_0_0::RunParameters>& runParams() const;
    const std::shared_ptr<QARNO_4_0_0::PbParameters>& pbParams() const;

    /// New model stop reasons, for an algorithm of a model-based family.
    std::shared_ptr<QARNO_4_0_0::AlgoStopReasons<QARNO_4_0_0::ModelStopType>>
    makeStopReasons() const;

    /// Has the blackbox evaluate the points through the queue, so that the
    /// cache holds them evaluated.
    void seedCache(const std::vector<std::vector<double>>& points);

    /// Gives cached points a surrogate evaluation (f = 0, constraints -1), as
    /// an earlier model would have left them.
    void giveSgteValues(const std::vector<std::vector<double>>& points);

    /// Blackbox evaluations so far, and the points evaluated in order.
    size_t bbEvalCount() const;
    std::vector<std::vector<double>> bbEvaluated() const;

    /// Number of cache points with a surrogate evaluation, and with no
    /// blackbox evaluation.
    size_t cachedWithSgte() const;
    size_t cachedSgteOnly() const;

    ProcessStateGuard guard;
    std::shared_ptr<QARNO_4_0_0::AllParameters> params;
    std::unique_ptr<EvcHarness> evc;
    std::unique_ptr<RecordingStep> root;
};

/// The calling main thread's evaluation settings that a model optimisation
/// changes while it runs and must give back.
struct QueueSettings
{
    std::shared_ptr<QARNO_4_0_0::Evaluator> evaluator;
    bool opportunistic = false;
    bool useCache = false;
    bool defaultSuccessRule = false;
    size_t sgteCount = 0;

    bool operator==(const QueueSettings& other) const;
};

/// The settings now.
QueueSettings queueSettings();

/// A smooth problem with one constraint, which a quadratic model fits
/// exactly: f = (x - 1)^2 + (y + 0.5)^2 and c = x + y - 1 (feasible when
/// c <= 0); its minimum (1, -0.5) is feasible.
std::vector<double> constrainedBowl(const std::vector<double>& x);

/// `count` distinct points of [-2, 2]^2, spread as a low-discrepancy sequence.
std::vector<std::vector<double>> scatteredPoints(size_t count);

/// The model stop reason's text of the stop reasons.
std::string modelStopText(const std::shared_ptr<QARNO_4_0_0::AllStopReasons>& stopReasons);

/// One problem of the table that the runs of both model-based families
/// draw from: an unconstrained objective of n variables on [lb, ub]^n, the
/// starting point, and the points a test evaluates first so that a model can
/// be built.
struct ModelProblem
{
    std::string name;
    size_t n;
    Analytic f;
    std::vector<double> x0;
    double lb;
    double ub;
    std::vector<std::vector<double>> seed;

    /// The parameter lines of the problem's bounds.
    std::vector<std::string> boundLines() const;
};

/// Shifted quadratics of dimension 2, 5 and 10 (minimum 0 at (1, ..., 1))
/// and Rosenbrock's function in dimension 2 (minimum 0 at (1, 1)), from the
/// shared table of test problems (support/problems.txt), each
/// seeded with max(2n + 1, 12) points spread over the box of half-width 2
/// around its starting point.
std::vector<ModelProblem> modelProblems();

/// `count` distinct points of [lb, ub]^n spread as a low-discrepancy
/// sequence (fractional parts of multiples of irrational numbers).
std::vector<std::vector<double>> spreadPoints(size_t n, size_t count, double lb, double ub);

/// Records, mega-iteration by mega-iteration, how the success that a run of a
/// model-based algorithm reports compares with what its blackbox evaluations
/// really brought. The objective is read again from `f` for every point
/// evaluated; the problem must have no constraint.
///
///     SuccessWatch watch(h, problem.f);
///     algo.start();
///     watch.markKnown();   // the starting points: not part of any turn
///     algo.run();
///     for (const auto& turn : watch.turns) ...
class SuccessWatch
{
public:
    struct Turn
    {
        double bestBefore; // best f of every evaluation before the turn
        double bestNew;    // best f of the turn's evaluations (inf: none)
        size_t nbNew;      // the turn's evaluations
        QARNO_4_0_0::SuccessType success;

        /// The reported success matches the evaluations: a partial or full
        /// success exactly when some evaluation lowered the best f.
        bool honest() const;
    };

    SuccessWatch(const ModelSearchHarness& h, Analytic f);
    /// Gives the mega-iteration callback back its default.
    ~SuccessWatch();
    SuccessWatch(const SuccessWatch&) = delete;
    SuccessWatch& operator=(const SuccessWatch&) = delete;

    /// Every evaluation so far is known before the next turn.
    void markKnown();

    /// Best f of every evaluation so far.
    double bestF() const;

    std::vector<Turn> turns;

private:
    void endOfMegaIteration(const QARNO_4_0_0::Step& step);

    const ModelSearchHarness& _h;
    Analytic _f;
    size_t _known;
};

} // namespace QarnoTest

#endif
