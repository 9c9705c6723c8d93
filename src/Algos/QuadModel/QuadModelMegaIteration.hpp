#ifndef QARNO_ALGOS_QUADMODEL_QUADMODELMEGAITERATION_HPP
#define QARNO_ALGOS_QUADMODEL_QUADMODELMEGAITERATION_HPP

#include <cstddef>
#include <istream>
#include <memory>
#include <ostream>

#include "Algos/MegaIteration.hpp"

namespace QARNO_4_0_0
{

/// The mega-iteration of the quadratic-model algorithm: one iteration on the
/// barrier's first feasible point (else its first infeasible one), and at the
/// end no surrogate evaluation left in the cache.
class QuadModelMegaIteration : public MegaIteration
{
public:
    QuadModelMegaIteration(const Step* parentStep, size_t k, std::shared_ptr<Barrier> barrier,
                           SuccessType success);
    /// Clears the surrogate evaluations when a cache exists; never throws.
    ~QuadModelMegaIteration() override;

protected:
    void init();
    void startImp() override;
    bool runImp() override;
    void endImp() override;
};

std::ostream& operator<<(std::ostream& os, const QuadModelMegaIteration& megaIteration);
std::istream& operator>>(std::istream& is, QuadModelMegaIteration& megaIteration);

} // namespace QARNO_4_0_0

#endif
