#ifndef QARNO_ALGOS_QUADMODEL_QUADMODELSINGLEPASS_HPP
#define QARNO_ALGOS_QUADMODEL_QUADMODELSINGLEPASS_HPP

#include <cstddef>
#include <memory>

#include "Algos/QuadModel/QuadModelIteration.hpp"
#include "Algos/QuadModel/QuadModelIterationUtils.hpp"

namespace QARNO_4_0_0
{

/// Trial points for a search from one quadratic model, without evaluating
/// them: placed under the search step with its frame centre and mesh, it
/// updates the model from the cache points near the frame centre, optimises
/// it, and keeps the optimiser's points as its own trial points (in
/// sub-space). Its start, run and end do nothing: the work is
/// `generateTrialPoints`.
///
///     QuadModelSinglePass pass(&search, frameCenter, k, mesh);
///     pass.generateTrialPoints();
///     for (const auto& x : pass.getTrialPoints()) ...
class QuadModelSinglePass : public QuadModelIteration, public QuadModelIterationUtils
{
public:
    QuadModelSinglePass(const Step* parentStep, const std::shared_ptr<EvalPoint>& frameCenter,
                        size_t k, const std::shared_ptr<MeshBase>& mesh);
    ~QuadModelSinglePass() override;

    void generateTrialPoints() override;

protected:
    void startImp() override {}
    bool runImp() override { return false; }
    void endImp() override {}
};

} // namespace QARNO_4_0_0

#endif
