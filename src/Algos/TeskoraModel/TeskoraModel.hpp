#ifndef QARNO_ALGOS_TESKORAMODEL_TESKORAMODEL_HPP
#define QARNO_ALGOS_TESKORAMODEL_TESKORAMODEL_HPP

#include <cstddef>
#include <memory>
#include <set>
#include <vector>

#include "Algos/Algorithm.hpp"
#include "Algos/MeshBase.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvalPoint.hpp"
#include "Math/ArrayOfDouble.hpp"
#include "Math/Double.hpp"
#include "Type/BBOutputType.hpp"
#include "Type/TeskoraModelFeasibilityType.hpp"
#include "Type/TeskoraModelFormulationType.hpp"
#include "teskora/Matrix.hpp"
#include "teskora/Surrogate.hpp"
#include "teskora/TrainingSet.hpp"

namespace QARNO_4_0_0
{

/// The algorithm of the surrogate-model search, and the shared state of its
/// steps: a surrogate (TESKORA_MODEL_DEFINITION) trained on evaluated cache
/// points, the number of its outputs, whether it is ready, the box the
/// training points span, the caller's mesh and whether a feasible point was
/// seen. The steps find it as their nearest `TeskoraModel` ancestor. Its
/// stop reasons must be `AlgoStopReasons<ModelStopType>`.
class TeskoraModel : public Algorithm
{
public:
    /// The model box starts with DIMENSION undefined entries; `mesh` and
    /// `x0Barrier` may be empty. Calls `init`.
    TeskoraModel(const Step* parentStep, std::shared_ptr<AllStopReasons> stopReasons,
                 const std::shared_ptr<RunParameters>& runParams,
                 const std::shared_ptr<PbParameters>& pbParams,
                 const std::shared_ptr<MeshBase>& mesh = nullptr,
                 const std::shared_ptr<Barrier>& x0Barrier = nullptr);
    ~TeskoraModel() override;

    /// Number of surrogate outputs: the objective and one per constraint
    /// (C), or the objective and one feasibility output (H, B, M).
    static size_t getNbModels(TeskoraModelFeasibilityType feasibility, size_t nbConstraints);
    /// The blackbox output types of the calling main thread's evaluator.
    static BBOutputTypeList getBBOutputType();

    /// The configured formulation once the model is ready; D until then.
    TeskoraModelFormulationType getFormulation() const;
    bool isReady() const;
    /// Widens the model box to the rows of X.
    void setModelBounds(const std::shared_ptr<TESKORA::Matrix>& X);
    ArrayOfDouble getExtendedLowerBound() const;
    ArrayOfDouble getExtendedUpperBound() const;
    /// Norm of the mesh size vector; undefined without mesh.
    Double getDeltaMNorm() const;
    /// Makes the surrogate f and h of x defined.
    void checkHF(EvalPoint& x) const;
    /// Best feasible objective of the training set.
    Double getFMin() const;
    /// Every point of the starting barrier, feasible ones first.
    std::vector<EvalPoint> getX0s() const;
    void info() const;
    /// Releases the surrogate, then the training set; not ready.
    void reset();
    /// The trial points of one mega-iteration, generated from the starting
    /// barrier and not evaluated.
    std::set<EvalPoint, EvalPointCompare> createOraclePoints();

    void readInformationForHotRestart() override {}

    const std::shared_ptr<TESKORA::TrainingSet>& getTrainingSet() const { return _trainingSet; }
    const std::shared_ptr<TESKORA::Surrogate>& getModel() const { return _model; }
    size_t getNbModelsInUse() const { return _nbModels; }
    bool getFoundFeasible() const { return _foundFeasible; }
    void setFoundFeasible(bool foundFeasible) { _foundFeasible = foundFeasible; }
    void setReady(bool ready) const { _ready = ready; }
    const ArrayOfDouble& getModelLowerBound() const { return _modelLowerBound; }
    const ArrayOfDouble& getModelUpperBound() const { return _modelUpperBound; }
    const std::shared_ptr<MeshBase>& getMesh() const { return _mesh; }
    const std::shared_ptr<Barrier>& getX0Barrier() const { return _x0Barrier; }
    /// Records the point as part of the training set; false when it is
    /// there already.
    bool addTrainingPoint(const Point& x);
    void setX0Barrier(const std::shared_ptr<Barrier>& barrier) { _x0Barrier = barrier; }

protected:
    void init();
    void startImp() override;
    bool runImp() override;
    void endImp() override;

    std::shared_ptr<Barrier> _x0Barrier;
    std::shared_ptr<TESKORA::TrainingSet> _trainingSet;
    std::shared_ptr<TESKORA::Surrogate> _model;
    size_t _nbModels;
    // TESKORA_MODEL_FORMULATION, read once: it is asked for at every
    // surrogate evaluation.
    TeskoraModelFormulationType _formulation;
    mutable bool _ready;
    bool _foundFeasible;
    ArrayOfDouble _modelLowerBound;
    ArrayOfDouble _modelUpperBound;
    std::shared_ptr<MeshBase> _mesh;
    // The coordinates already in the training set, so that an update appends
    // each cache point once.
    std::set<std::vector<double>> _trainingPoints;
};

} // namespace QARNO_4_0_0

#endif
