#ifndef QARNO_TESTS_SUPPORT_MADSSUPPORT_HPP
#define QARNO_TESTS_SUPPORT_MADSSUPPORT_HPP

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Algos/Mads/Mads.hpp"
#include "Eval/EvalPoint.hpp"
#include "Param/AllParameters.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "support/EvcSupport.hpp"

namespace QarnoTest
{

/// The path of the qarno program.
const std::string& qarnoExe();

/// Parameters of a MADS run in dimension n from X0 (a list of points),
/// with those output types, display degree 2, file names without seed and
/// the further parameter lines. Not checked.
std::shared_ptr<QARNO_4_0_0::AllParameters>
makeMadsParameters(size_t n, const std::string& bbOutputType,
                   const std::vector<std::vector<double>>& x0s,
                   const std::vector<std::string>& lines = {});

/// f = sum (x_i - shift_i)^2, followed for each further output type by the
/// constraint `constraint(x)` (only one kind per evaluator).
std::shared_ptr<FunctionEvaluator>
shiftedQuadratic(const std::vector<double>& shift, const std::string& bbOutputType = "OBJ",
                 const std::function<double(const QARNO_4_0_0::EvalPoint&)>& constraint = {});

/// What a run through the main step left behind.
struct MadsRunResult
{
    bool runResult = false;
    /// The names of the algorithms built, in order, and their stop-reason
    /// texts, read before the main step's end.
    std::vector<std::string> algos;
    std::vector<std::string> stopReasons;
    /// The last algorithm's stop reasons ("" without an algorithm).
    std::string stopReason;
    /// Standard output of start, run and end.
    std::string out;
    size_t bbEval = 0;
    /// Best feasible point of the cache (empty when none), and its f.
    std::vector<double> bestFeas;
    double bestF = 0;
    /// The text of the exception caught ("" for none).
    std::string error;
};

/// Which exceptions of a main step's run are caught into the result.
enum class CatchErrors
{
    NONE,
    /// Those of run: the main step is still ended.
    RUN,
    /// Those of start, run and end.
    ALL,
};

/// start, run and end of a main step (the algorithms chosen by the rules)
/// over the evaluator; the cache keeps its points afterwards. `onError` is
/// called right after an exception is caught.
MadsRunResult runMadsMainStep(const std::shared_ptr<QARNO_4_0_0::AllParameters>& params,
                              const std::shared_ptr<QARNO_4_0_0::Evaluator>& evaluator,
                              CatchErrors catchErrors = CatchErrors::NONE,
                              const std::function<void()>& onError = {});

/// Checked parameters of a Mads in dimension n with more lines; X0 all
/// ones unless the lines give X0. `prepare` may change the checked problem
/// parameters (which are checked again).
std::shared_ptr<QARNO_4_0_0::AllParameters>
checkedMadsParameters(size_t n, const std::vector<std::string>& lines = {},
                      const std::function<void(QARNO_4_0_0::PbParameters&)>& prepare = {});

/// A Mads below a root step, for the tests of its steps one by one: the
/// process needs an installed `EvcHarness` (held by the test, with its
/// ProcessStateGuard) for the queue and the cache.
struct MadsUnderTest
{
    /// `checkedMadsParameters`, `prepare` applied before the Mads takes its
    /// copy.
    explicit MadsUnderTest(size_t n, const std::vector<std::string>& lines = {},
                           const std::function<void(QARNO_4_0_0::PbParameters&)>& prepare = {});
    ~MadsUnderTest();
    MadsUnderTest(const MadsUnderTest&) = delete;
    MadsUnderTest& operator=(const MadsUnderTest&) = delete;

    std::shared_ptr<QARNO_4_0_0::AllParameters> params;
    std::unique_ptr<QARNO_4_0_0::Step> root;
    std::unique_ptr<QARNO_4_0_0::Mads> mads;
};

/// A `prepare` of MadsUnderTest: X0 := those points (NaN: undefined
/// coordinate), set directly, past the checks of the parameter lines.
std::function<void(QARNO_4_0_0::PbParameters&)> setX0s(const std::vector<std::vector<double>>& x0s);

/// A blackbox point evaluated as "f c" under the outputs OBJ PB (so h = c^2
/// for c > 0), generated from `from` when given.
QARNO_4_0_0::EvalPoint makeMadsPoint(const std::vector<double>& coords, double f, double c,
                                     const std::vector<double>& from = {});

} // namespace QarnoTest

#endif
