#ifndef QARNO_PARAM_EVALUATORCONTROLPARAMETERS_HPP
#define QARNO_PARAM_EVALUATORCONTROLPARAMETERS_HPP

#include <memory>

#include "Param/Parameters.hpp"

namespace QARNO_4_0_0
{

class RunParameters;

/// The evaluation options of one main thread of the evaluation queue:
/// opportunistic evaluation, use of the cache and the budget of a
/// sub-problem. The queue keeps one checked copy per main thread.
class EvaluatorControlParameters : public Parameters
{
public:
    EvaluatorControlParameters() { init(); }
    ~EvaluatorControlParameters() override = default;

    void init() override;

    /// `run` may be empty; when given, it must have been checked.
    void checkAndComply(const std::shared_ptr<RunParameters>& run);
};

} // namespace QARNO_4_0_0

#endif
