#ifndef QARNO_TESTS_SUPPORT_MODELSEARCHSUPPORT_HPP
#define QARNO_TESTS_SUPPORT_MODELSEARCHSUPPORT_HPP

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Algos/AlgoStopReasons.hpp"
#include "Param/AllParameters.hpp"
#include "support/EvcSupport.hpp"
#include "support/StepSupport.hpp"
#include "support/TestSupport.hpp"

namespace QarnoTest
{

/// The outputs of an analytic blackbox, one value per BB_OUTPUT_TYPE entry.
using Analytic = std::function<std::vector<double>(const std::vector<double>&)>;

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
    std::shared_ptr<QARNO_4_0_0::AlgoStopReasons<QARNO_4_0_0::ModelStopType>> makeStopReasons() const;

    /// Has the blackbox evaluate the points through the queue, so that the
    /// cache holds them evaluated.
    void seedCache(const std::vector<std::vector<double>>& points);

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

} // namespace QarnoTest

#endif
