#ifndef QARNO_ALGOS_MADS_MADSINITIALIZATION_HPP
#define QARNO_ALGOS_MADS_MADSINITIALIZATION_HPP

#include <memory>

#include "Algos/Initialization.hpp"

namespace QARNO_4_0_0
{

class MeshBase;

/// The initialization of the MADS-type algorithms: builds the initial
/// granular mesh, evaluates the starting points X0 (all of them: no
/// opportunistic stop) and builds the first barrier from those whose
/// evaluation succeeded. When none succeeded, the algorithm's stop reason
/// becomes X0_FAILED and no barrier is built.
class MadsInitialization : public Initialization
{
public:
    /// A child step of the algorithm, whose stop reasons must be
    /// `AlgoStopReasons<MadsStopType>`.
    explicit MadsInitialization(const Step* parentStep);
    ~MadsInitialization() override;

    /// Empty until `run()`.
    const std::shared_ptr<MeshBase>& getMesh() const { return _initialMesh; }

    /// Warns about the starting points that are incomplete or of the wrong
    /// size; throws when none is valid (or there is none).
    void validateX0s() const;
    /// Evaluates the starting points and builds the barrier; true when at
    /// least one has a good evaluation.
    bool eval_x0s();

protected:
    void init() {}

    /// Mesh, then the starting points; true unless the run must stop.
    bool runImp() override;

    std::shared_ptr<MeshBase> _initialMesh;
};

} // namespace QARNO_4_0_0

#endif
