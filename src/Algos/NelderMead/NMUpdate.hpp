#ifndef QARNO_ALGOS_NELDERMEAD_NMUPDATE_HPP
#define QARNO_ALGOS_NELDERMEAD_NMUPDATE_HPP

#include "Algos/Step.hpp"

namespace QARNO_4_0_0
{

/// The update that starts every Nelder-Mead iteration and shrink. Nelder-Mead
/// keeps no mesh nor frame to move between iterations, so it has nothing to
/// change: its run succeeds and leaves the simplex as it is.
///
///     NMUpdate update(this);
///     update.start(); update.run(); update.end();
class NMUpdate : public Step
{
public:
    /// Named `getAlgoName()` + "Update"; throws without a parent.
    explicit NMUpdate(const Step* parentStep);
    ~NMUpdate() override;

protected:
    void startImp() override {}
    bool runImp() override { return true; }
    void endImp() override {}

private:
    void init();
};

} // namespace QARNO_4_0_0

#endif
