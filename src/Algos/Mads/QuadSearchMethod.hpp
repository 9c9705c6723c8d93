#ifndef QARNO_ALGOS_MADS_QUADSEARCHMETHOD_HPP
#define QARNO_ALGOS_MADS_QUADSEARCHMETHOD_HPP

#include "Algos/Mads/SearchMethodSimple.hpp"

namespace QARNO_4_0_0
{

/// The quadratic-model search. This build has no surrogate library: asked
/// for with QUAD_MODEL_SEARCH, it says it cannot run and disables itself;
/// it never proposes a point.
class QuadSearchMethod : public SearchMethodSimple
{
public:
    explicit QuadSearchMethod(const Step* parentStep);
    ~QuadSearchMethod() override;

protected:
    void init();
    /// Proposes nothing.
    void generateTrialPointsImp() override {}
};

} // namespace QARNO_4_0_0

#endif
