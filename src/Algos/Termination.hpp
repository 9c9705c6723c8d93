#ifndef QARNO_ALGOS_TERMINATION_HPP
#define QARNO_ALGOS_TERMINATION_HPP

#include <cstddef>

#include "Algos/Step.hpp"

namespace QARNO_4_0_0
{

/// The step an algorithm asks, before and between its mega-iterations,
/// whether to stop; run at the end of the algorithm, it shows why it stopped.
/// The run-wide criteria are tested here in a fixed order (user termination,
/// iterations, time, feasible point, evaluation budgets); the algorithm's own
/// criteria are only read through the shared stop reasons.
class Termination : public Step
{
public:
    /// Child step of `parentStep` (its algorithm), named "Termination".
    explicit Termination(const Step* parentStep);
    ~Termination() override;

    /// Records the first criterion that holds for the mega-iteration number k
    /// and answers whether the algorithm must stop.
    virtual bool terminate(size_t k);
    /// True when the cache or the algorithm's barrier holds a feasible point.
    bool solHasFeas() const;

protected:
    void init();

    /// Takes the algorithm's name as prefix ("MADS Termination").
    void startImp() override;
    /// The stop reasons' answer; changes nothing.
    bool runImp() override;
    /// Queues "A termination criterion is reached: ..." or
    /// "No termination criterion reached".
    void endImp() override;

private:
    // The limits, read again only when their set has changed since (a hot
    // restart may change them in the middle of the algorithm), and with the
    // errors of getAttributeValue then. STOP_IF_FEASIBLE is read only when
    // the criteria before it do not hold, as it always was.
    bool _runLimitsKnown = false;
    size_t _runLimitsChangeCount = 0;
    size_t _maxIterations = 0;
    size_t _maxTime = 0;
    bool _stopIfFeasibleKnown = false;
    size_t _stopIfFeasibleChangeCount = 0;
    bool _stopIfFeasible = false;

    void readRunLimits();
    bool stopIfFeasible();
};

} // namespace QARNO_4_0_0

#endif
