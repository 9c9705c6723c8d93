#ifndef QARNO_PARAM_EVALUATORCONTROLGLOBALPARAMETERS_HPP
#define QARNO_PARAM_EVALUATORCONTROLGLOBALPARAMETERS_HPP

#include <memory>

#include "Param/Parameters.hpp"

namespace QARNO_4_0_0
{

class PbParameters;

/// What the evaluation queue shares over the whole run: the evaluation
/// budgets, the block sizes, the clearing of the queue after a success, the
/// directory of temporary files and the random ordering of the queue.
///
/// A budget of 0 means no limit; when every variable is granular and no
/// total budget is given, the check derives one, since a search on a finite
/// grid could otherwise circle the best point without end.
class EvaluatorControlGlobalParameters : public Parameters
{
public:
    EvaluatorControlGlobalParameters() { init(); }
    ~EvaluatorControlGlobalParameters() override = default;

    void init() override;

    /// `pb` may be empty; when given, it must have been checked.
    void checkAndComply(std::shared_ptr<PbParameters> pb);
};

} // namespace QARNO_4_0_0

#endif
