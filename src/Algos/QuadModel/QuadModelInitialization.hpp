#ifndef QARNO_ALGOS_QUADMODEL_QUADMODELINITIALIZATION_HPP
#define QARNO_ALGOS_QUADMODEL_QUADMODELINITIALIZATION_HPP

#include <memory>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/Initialization.hpp"
#include "Algos/IterationUtils.hpp"

namespace QARNO_4_0_0
{

/// The initialization of the quadratic-model algorithm: the valid starting
/// points become trial points and are evaluated by the blackbox, all of
/// them (opportunism off). It makes no barrier: the algorithm takes one from
/// the cache. Under a quadratic-model search method it does nothing.
class QuadModelInitialization : public Initialization, public IterationUtils
{
public:
    explicit QuadModelInitialization(const Step* parentStep);
    ~QuadModelInitialization() override;

    /// Evaluates the trial points with opportunism off; true on a partial or
    /// full success.
    bool eval_x0s();

protected:
    void init();
    void startImp() override;
    bool runImp() override;
    void endImp() override {}
    /// The valid starting points; throws when there is none.
    void generateTrialPoints() override;

private:
    /// Whether the step runs under a quadratic-model search method.
    bool underQuadSearch() const;
    /// Whether a valid starting point has a successful blackbox evaluation.
    bool someX0EvaluatedOk() const;

    std::shared_ptr<AlgoStopReasons<ModelStopType>> _qmStopReason;
};

} // namespace QARNO_4_0_0

#endif
