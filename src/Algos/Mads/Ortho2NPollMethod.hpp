#ifndef QARNO_ALGOS_MADS_ORTHO2NPOLLMETHOD_HPP
#define QARNO_ALGOS_MADS_ORTHO2NPOLLMETHOD_HPP

#include <cstddef>
#include <functional>
#include <list>

#include "Algos/Mads/PollMethodBase.hpp"

namespace QARNO_4_0_0
{

/// Poll method polling along the 2n directions H_0, -H_0, ..., H_{n-1}, -H_{n-1} of the Householder
/// reflection of a random unit direction: a maximal positive basis.
class Ortho2NPollMethod : public PollMethodBase
{
public:
    explicit Ortho2NPollMethod(const Step* parentStep);
    ~Ortho2NPollMethod() override;

    void generateUnitPollDirections(std::list<Direction>& directions, size_t n) const override;

protected:
    /// Each row of the Householder matrix is made when it is handed over:
    /// in many variables the 2n directions together weigh as much as a
    /// dense matrix.
    void forEachUnitPollDirection(
        size_t n, const std::function<void(const Direction&, bool)>& take) const override;

private:
    /// Names the step; requires a parent.
    void init();
};

} // namespace QARNO_4_0_0

#endif
