#ifndef QARNO_TESTS_SUPPORT_EVALUATORSUPPORT_HPP
#define QARNO_TESTS_SUPPORT_EVALUATORSUPPORT_HPP

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Eval/EvalPoint.hpp"
#include "Param/EvalParameters.hpp"
#include "Type/EvalType.hpp"

namespace QarnoTest
{

/// The path of the blackbox executable built with the tests
/// (tests/tools/test_bb_exe.cpp; its modes are listed there).
const std::string& testBBExe();

/// The path of the qarno command line built over the test algorithm
/// (tests/tools/qarno_test_frontend.cpp).
const std::string& testFrontEnd();

/// `text` as one shell word, in single quotes.
std::string shellWord(const std::string& text);

/// A BB_EXE value: the "$" command running the test executable in `mode`.
std::string testBBCommand(const std::string& mode);

/// Checked evaluation parameters with this BB_EXE (taken as it stands, as a
/// value set directly) and BB_OUTPUT_TYPE (as text, "OBJ PB").
std::shared_ptr<QARNO_4_0_0::EvalParameters> makeEvalParams(const std::string& bbExe,
                                                            const std::string& bbOutputType);

/// One point per coordinate list (NaN: undefined coordinate), tagged, with an evaluation of
/// `evalType` whose status is EVAL_IN_PROGRESS, as the queue hands them to evaluators.
std::vector<std::shared_ptr<QARNO_4_0_0::EvalPoint>>
makeBlockInProgress(const std::vector<std::vector<double>>& coords,
                    QARNO_4_0_0::EvalType evalType = QARNO_4_0_0::EvalType::BB);

/// Sets (or, with no value, unsets) an environment variable for the life of
/// the object, then puts the previous value back.
class ScopedEnv
{
public:
    ScopedEnv(std::string name, const std::optional<std::string>& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string _name;
    std::optional<std::string> _previous;
};

} // namespace QarnoTest

#endif
