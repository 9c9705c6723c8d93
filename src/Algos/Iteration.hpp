#ifndef QARNO_ALGOS_ITERATION_HPP
#define QARNO_ALGOS_ITERATION_HPP

#include <cstddef>
#include <memory>

#include "Algos/Step.hpp"

namespace QARNO_4_0_0
{

/// One numbered iteration of an algorithm, run inside a mega-iteration. The
/// steps below it reach its mesh and frame centre through the step tree.
/// Its end shows the stop reason and runs the end-of-iteration callback.
class Iteration : public Step
{
public:
    /// Child step, named after its algorithm and k ("MADS Iteration 3").
    Iteration(const Step* parentStep, size_t k);
    /// Flushes the output queue so that the messages come before the next
    /// step's; never throws.
    ~Iteration() override;

    size_t getK() const { return _k; }

    /// Empty here; subclasses return their mesh.
    virtual std::shared_ptr<MeshBase> getMesh() const { return nullptr; }
    /// Empty here; subclasses return their frame centre.
    virtual std::shared_ptr<EvalPoint> getFrameCenter() const { return nullptr; }
    /// False for iterations run as secondary ones.
    virtual bool isMainIteration() const { return true; }

protected:
    void init();

    void startImp() override = 0;
    bool runImp() override = 0;
    /// Shows the stop reason; with USER_CALLS_ENABLED, runs the
    /// end-of-iteration callback, which may stop the whole run.
    void endImp() override;

    // The step tree's look-ups reach the iteration through these.
    bool isAnIteration() const override { return true; }
    std::shared_ptr<MeshBase> ownIterationMesh() const override { return getMesh(); }
    size_t ownIterationK() const override { return _k; }
    std::shared_ptr<EvalPoint> ownFrameCenter() const override { return getFrameCenter(); }

    // The quadratic-model iteration counts itself up when it starts.
    size_t _k;
};

/// The end-of-step user callback of iterations and mega-iterations: with the
/// run parameter USER_CALLS_ENABLED, runs the callback of this type; when it
/// asks to stop and the step's stop reasons do not already end the work, the
/// run-wide base stop reason becomes USER_STOPPED. Missing run parameters or
/// stop reasons raise a `StepException`.
void runStepEndCallback(const Step& step, CallbackType callbackType);

} // namespace QARNO_4_0_0

#endif
