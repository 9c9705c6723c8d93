#ifndef QARNO_ALGOS_QUADMODEL_QUADMODELITERATION_HPP
#define QARNO_ALGOS_QUADMODEL_QUADMODELITERATION_HPP

#include <cstddef>
#include <memory>

#include "Algos/Iteration.hpp"
#include "Algos/MeshBase.hpp"
#include "Eval/EvalPoint.hpp"
#include "teskora/Surrogate.hpp"
#include "teskora/TrainingSet.hpp"

namespace QARNO_4_0_0
{

/// One frame centre of the quadratic-model family with its training set and
/// its quadratic model, which every step below it works on: the update fills
/// the training set from the cache and builds the model, the optimisation
/// minimises it. Training outputs: column 0 the objective, then the EB and PB
/// outputs in BB_OUTPUT_TYPE order.
class QuadModelIteration : public Iteration
{
public:
    /// The family passes k = 0 and no mesh; a single pass passes its
    /// search's mesh.
    QuadModelIteration(const Step* parentStep, const std::shared_ptr<EvalPoint>& frameCenter,
                       size_t k, const std::shared_ptr<MeshBase>& mesh);
    ~QuadModelIteration() override;

    /// Releases the model, then the training set it refers to.
    void reset();

    std::shared_ptr<MeshBase> getMesh() const override { return _mesh; }
    std::shared_ptr<EvalPoint> getFrameCenter() const override { return _frameCenter; }
    std::shared_ptr<TESKORA::TrainingSet> getTrainingSet() const { return _trainingSet; }
    std::shared_ptr<TESKORA::Surrogate> getModel() const { return _model; }

protected:
    void init();
    /// Counts itself up, updates the model from the cache.
    void startImp() override;
    /// Optimises a ready model and has its points evaluated.
    bool runImp() override;

    std::shared_ptr<EvalPoint> _frameCenter;
    std::shared_ptr<MeshBase> _mesh;
    std::shared_ptr<TESKORA::TrainingSet> _trainingSet;
    std::shared_ptr<TESKORA::Surrogate> _model;
};

} // namespace QARNO_4_0_0

#endif
