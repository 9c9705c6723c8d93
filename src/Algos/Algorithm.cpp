#include "Algos/Algorithm.hpp"

#include <utility>

namespace QARNO_4_0_0
{

Algorithm::Algorithm(const Step* parentStep, std::shared_ptr<AllStopReasons> stopReasons,
                     const std::shared_ptr<RunParameters>& runParams,
                     const std::shared_ptr<PbParameters>& pbParams)
    : Step(parentStep, std::move(stopReasons), runParams, pbParams)
{
}

Algorithm::~Algorithm() = default;

} // namespace QARNO_4_0_0
