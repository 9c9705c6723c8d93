#ifndef QARNO_ALGOS_NELDERMEAD_NMALLREFLECTIVE_HPP
#define QARNO_ALGOS_NELDERMEAD_NMALLREFLECTIVE_HPP

#include <cstddef>
#include <memory>

#include "Algos/NelderMead/NMIteration.hpp"
#include "Algos/NelderMead/NMIterationUtils.hpp"

namespace QARNO_4_0_0
{

/// One pass of the Nelder-Mead reflective moves around the MADS frame
/// centre, for the search of a mega-iteration that gathers all its points
/// before evaluating them: the simplex Y is created once, and the
/// reflection, expansion, inside- and outside-contraction points of that
/// one simplex become the trial points (at most four, once each). Nothing
/// is evaluated, no decision is taken and Y stays as created.
///
///     NMAllReflective pass(&searchMethod, frameCenter, mesh);
///     pass.start();  // creates Y and generates the points
///     pass.end();    // run() is never called
///     for (const auto& p : pass.getTrialPoints()) ...
class NMAllReflective : public NMIteration, public NMIterationUtils
{
public:
    /// Child of `parentStep` with fresh Nelder-Mead stop reasons, iteration
    /// number 0 and rank tolerance 1e-13.
    NMAllReflective(const Step* parentStep, const std::shared_ptr<EvalPoint>& frameCenter,
                    const std::shared_ptr<MeshBase>& mesh);
    ~NMAllReflective() override;

    /// The four moves, each computed from the unchanged Y.
    void generateTrialPoints() override;

protected:
    /// Y around the frame centre, then the points on the mesh.
    void startImp() override;
    /// Never called by the search; evaluates nothing.
    bool runImp() override { return false; }
    void endImp() override {}
};

} // namespace QARNO_4_0_0

#endif
