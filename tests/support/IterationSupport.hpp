#ifndef QARNO_TESTS_SUPPORT_ITERATIONSUPPORT_HPP
#define QARNO_TESTS_SUPPORT_ITERATIONSUPPORT_HPP

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "Algos/Algorithm.hpp"
#include "Algos/Initialization.hpp"
#include "Algos/Iteration.hpp"
#include "Algos/MegaIteration.hpp"
#include "Param/RunParameters.hpp"

namespace QarnoTest
{

/// Run parameters of dimension 2, checked, with USER_CALLS_ENABLED and
/// MAX_ITERATION_PER_MEGAITERATION as given.
std::shared_ptr<QARNO_4_0_0::RunParameters> makeIterationRunParams(bool userCallsEnabled,
                                                                   size_t maxIterPerMega = 10);

/// An initialization that records its run and then holds `barrierToBuild`.
class RecordingInitialization : public QARNO_4_0_0::Initialization
{
public:
    explicit RecordingInitialization(const QARNO_4_0_0::Step* parent);

    std::vector<std::string> calls;
    std::shared_ptr<QARNO_4_0_0::Barrier> barrierToBuild;

protected:
    bool runImp() override;
};

} // namespace QarnoTest

#endif
