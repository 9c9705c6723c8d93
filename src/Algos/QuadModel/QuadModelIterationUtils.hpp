#ifndef QARNO_ALGOS_QUADMODEL_QUADMODELITERATIONUTILS_HPP
#define QARNO_ALGOS_QUADMODEL_QUADMODELITERATIONUTILS_HPP

#include <memory>

#include "Algos/IterationUtils.hpp"
#include "teskora/Surrogate.hpp"
#include "teskora/TrainingSet.hpp"

namespace QARNO_4_0_0
{

/// Trial points of a step that works on its quadratic-model iteration's
/// model: shares the iteration's training set and model, taken once at
/// construction (none when the iteration ancestor is of another kind).
class QuadModelIterationUtils : public IterationUtils
{
public:
    explicit QuadModelIterationUtils(const Step* parentStep);
    ~QuadModelIterationUtils() override;

    /// Throws without a model and a training set.
    void displayModelInfo() const;

protected:
    void init();

    std::shared_ptr<TESKORA::TrainingSet> _trainingSet;
    std::shared_ptr<TESKORA::Surrogate> _model;
};

} // namespace QARNO_4_0_0

#endif
