#ifndef QARNO_ALGOS_TESKORAMODEL_TESKORAMODELINITIALIZATION_HPP
#define QARNO_ALGOS_TESKORAMODEL_TESKORAMODELINITIALIZATION_HPP

#include "Algos/Initialization.hpp"

namespace QARNO_4_0_0
{

/// The initialization of the surrogate-model algorithm: the valid starting
/// points are evaluated by the blackbox (all of them, opportunism off), each
/// listed point is reported, and the first barrier is made from the
/// evaluated points. Without any successful starting point the algorithm's
/// stop reason is X0_FAILED.
class TeskoraModelInitialization : public Initialization
{
public:
    explicit TeskoraModelInitialization(const Step* parentStep);
    ~TeskoraModelInitialization() override;

    /// Warns about invalid starting points; throws when none is valid.
    void validateX0s() const;
    /// True when at least one starting point was evaluated successfully.
    bool eval_x0s();

protected:
    void init();
    void startImp() override {}
    bool runImp() override;
    void endImp() override {}
};

} // namespace QARNO_4_0_0

#endif
