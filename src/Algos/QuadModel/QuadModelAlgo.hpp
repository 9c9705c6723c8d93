#ifndef QARNO_ALGOS_QUADMODEL_QUADMODELALGO_HPP
#define QARNO_ALGOS_QUADMODEL_QUADMODELALGO_HPP

#include <memory>

#include "Algos/Algorithm.hpp"
#include "Type/BBOutputType.hpp"

namespace QARNO_4_0_0
{

/// Quadratic-model optimisation on its own: the starting points are
/// evaluated, a quadratic model of the objective and the constraints is fitted
/// to the evaluated cache points, minimised by an inner MADS on the model,
/// and the model's best points are evaluated by the blackbox. One run is one
/// mega-iteration with one iteration. Its stop reasons must be
/// `AlgoStopReasons<ModelStopType>`.
///
///     QuadModelAlgo algo(&parent, std::make_shared<AlgoStopReasons<ModelStopType>>(),
///                        runParams, pbParams);
///     algo.start(); algo.run(); algo.end();
class QuadModelAlgo : public Algorithm
{
public:
    QuadModelAlgo(const Step* parentStep, std::shared_ptr<AllStopReasons> stopReasons,
                  const std::shared_ptr<RunParameters>& runParams,
                  const std::shared_ptr<PbParameters>& pbParams);
    ~QuadModelAlgo() override;

    /// Names the step "QuadModel" and installs a new initialization step.
    void init();

    /// The algorithm never reads hot-restart information.
    void readInformationForHotRestart() override {}

    /// The blackbox output types of the calling main thread's evaluator.
    static BBOutputTypeList getBBOutputType();

protected:
    void startImp() override;
    bool runImp() override;
    void endImp() override;
};

} // namespace QARNO_4_0_0

#endif
