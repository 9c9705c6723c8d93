#ifndef QARNO_ALGOS_INITIALIZATION_HPP
#define QARNO_ALGOS_INITIALIZATION_HPP

#include <memory>

#include "Algos/Step.hpp"

namespace QARNO_4_0_0
{

/// The step an algorithm runs once at its start: the subclass evaluates the
/// starting points and builds the first barrier from them.
class Initialization : public Step
{
public:
    /// Child step of its algorithm, named after it ("MADS Initialization").
    explicit Initialization(const Step* parentStep);
    /// Flushes the output queue so that the messages come before the next
    /// step's; never throws.
    ~Initialization() override;

    /// Empty until the subclass has built it.
    const std::shared_ptr<Barrier>& getBarrier() const { return _barrier; }

protected:
    void init();

    void startImp() override {}
    bool runImp() override = 0;
    void endImp() override {}

    std::shared_ptr<Barrier> _barrier;
};

} // namespace QARNO_4_0_0

#endif
