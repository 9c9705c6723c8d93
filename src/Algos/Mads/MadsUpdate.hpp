#ifndef QARNO_ALGOS_MADS_MADSUPDATE_HPP
#define QARNO_ALGOS_MADS_MADSUPDATE_HPP

#include "Algos/Step.hpp"

namespace QARNO_4_0_0
{

/// The mesh update between two MADS mega-iterations. It compares the
/// barrier's best points with the references kept at the previous update:
/// a full success enlarges the frame along the direction of the improving
/// point, a partial success keeps it, a failure refines it. The direction of
/// any success orders the evaluation queue, and the current best points
/// become the references of the next update.
///
///     MadsUpdate update(megaIteration);   // below a MadsMegaIteration
///     update.start(); update.run(); update.end();
class MadsUpdate : public Step
{
public:
    /// Throws unless a `MadsMegaIteration` is among the ancestors (within
    /// the algorithm).
    explicit MadsUpdate(const Step* parentStep);
    ~MadsUpdate() override;

protected:
    void init();

    void startImp() override {}
    /// Always true.
    bool runImp() override;
    void endImp() override {}
};

} // namespace QARNO_4_0_0

#endif
