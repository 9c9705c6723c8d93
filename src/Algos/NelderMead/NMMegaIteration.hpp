#ifndef QARNO_ALGOS_NELDERMEAD_NMMEGAITERATION_HPP
#define QARNO_ALGOS_NELDERMEAD_NMMEGAITERATION_HPP

#include <cstddef>
#include <istream>
#include <memory>
#include <ostream>

#include "Algos/MegaIteration.hpp"
#include "Algos/NelderMead/NMSimplex.hpp"

namespace QARNO_4_0_0
{

class NMIteration;

/// One outer step of Nelder-Mead: its start builds one `NMIteration` around
/// the barrier's first incumbent (feasible first) and raises k by one; its
/// run runs that same iteration object up to MAX_ITERATION_PER_MEGAITERATION
/// times, so the simplex of the first run is improved by the next ones.
///
/// Under a MADS mega-iteration it works on that mega-iteration's barrier and
/// main mesh. Because the iterations run are never counted, a mega-iteration
/// built with k reports `getNextK()` = k + 2.
class NMMegaIteration : public MegaIteration
{
public:
    /// A null barrier is refused by the base, before the MADS barrier is taken.
    NMMegaIteration(const Step* parentStep, size_t k, std::shared_ptr<Barrier> barrier,
                    SuccessType success);
    ~NMMegaIteration() override;

    /// The iteration built by the start; empty before, or without incumbent.
    const std::shared_ptr<NMIteration>& getNMIteration() const { return _nmIteration; }

    /// Before the start: the iteration goes on with Y, the simplex of an
    /// earlier mega-iteration, instead of making one, when Y is complete
    /// (n + 1 points).
    void continueSimplex(const NMSimplexPtr& Y) { _simplexToContinue = Y; }

    void read(std::istream& is) override;
    void display(std::ostream& os) const override;

protected:
    void init();

    void startImp() override;
    /// Throws "No iteration to run" when the start built no iteration.
    bool runImp() override;

    std::shared_ptr<NMIteration> _nmIteration;

private:
    NMSimplexPtr _simplexToContinue;
};

std::ostream& operator<<(std::ostream& os, const NMMegaIteration& megaIteration);
std::istream& operator>>(std::istream& is, NMMegaIteration& megaIteration);

} // namespace QARNO_4_0_0

#endif
