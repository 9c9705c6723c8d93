#ifndef QARNO_ALGOS_TESKORAMODEL_TESKORAMODELMEGAITERATION_HPP
#define QARNO_ALGOS_TESKORAMODEL_TESKORAMODELMEGAITERATION_HPP

#include <cstddef>
#include <istream>
#include <memory>
#include <ostream>

#include "Algos/IterationUtils.hpp"
#include "Algos/MegaIteration.hpp"

namespace QARNO_4_0_0
{

/// One turn of the surrogate-model algorithm: its iterations update and
/// optimise the surrogate, their oracle points (moved into the extended
/// bounds) and the filter's candidates become trial points, which are
/// evaluated by the blackbox and folded into the shared barrier.
class TeskoraModelMegaIteration : public MegaIteration, public IterationUtils
{
public:
    TeskoraModelMegaIteration(const Step* parentStep, size_t k, std::shared_ptr<Barrier> barrier,
                              SuccessType success);
    /// Clears the surrogate evaluations when a cache exists; never throws.
    ~TeskoraModelMegaIteration() override;

    void generateTrialPoints() override;
    void generateIterations();
    void runIterationsAndSetTrialPoints();
    void filterCache();

protected:
    void init();
    void startImp() override;
    bool runImp() override;
    void endImp() override;

private:
    /// Moves x into the extended bounds; true when it lies within them.
    bool intoBounds(Point& x);
};

std::ostream& operator<<(std::ostream& os, const TeskoraModelMegaIteration& megaIteration);
std::istream& operator>>(std::istream& is, TeskoraModelMegaIteration& megaIteration);

} // namespace QARNO_4_0_0

#endif
