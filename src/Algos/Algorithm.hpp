#ifndef QARNO_ALGOS_ALGORITHM_HPP
#define QARNO_ALGOS_ALGORITHM_HPP

#include <memory>

#include "Algos/Step.hpp"

namespace QARNO_4_0_0
{

/// The step that runs one optimisation algorithm, with its own stop
/// reasons. For now only the type that the step tree's look-ups and the
/// sub-problem registry recognise; the algorithm's life cycle, comments and
/// reports come with the algorithm classes.
class Algorithm : public Step
{
public:
    Algorithm(const Step* parentStep, std::shared_ptr<AllStopReasons> stopReasons,
              const std::shared_ptr<RunParameters>& runParams,
              const std::shared_ptr<PbParameters>& pbParams);
    ~Algorithm() override;
};

} // namespace QARNO_4_0_0

#endif
