#include "Util/ProcessState.hpp"

#include <cstdlib>

#include "Algos/EvcInterface.hpp"
#include "Algos/PhaseOne/PhaseOne.hpp"
#include "Algos/Step.hpp"
#include "Algos/SubproblemManager.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/Eval.hpp"
#include "Eval/EvalPoint.hpp"
#include "Eval/Evaluator.hpp"
#include "Math/Double.hpp"
#include "Math/RNG.hpp"
#include "Output/OutputDirectToFile.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/Parameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/AllStopReasons.hpp"
#include "Util/TextConstants.hpp"
#include "Util/WriteFailures.hpp"
#include "teskora/Diagnostics.hpp"

namespace QARNO_4_0_0
{

void resetProcessState()
{
    // Foundation
    Double::setEpsilon(Double::DEFAULT_EPSILON);
    Double::_infStr = INF_TEXT;
    Double::_undefStr = UNDEF_TEXT;
    RNG::reset();
    // The surrogate library draws from the standard generator, which a new
    // process starts as if seeded with 1.
    std::srand(1);
    TESKORA::set_diag_stream(nullptr);
    AllStopReasons::setSharedStarted();

    // Parameters
    Parameters::_paramEntries.eraseAll();
    RunParameters::_warningUnknownParamShown = false;

    // Output
    OutputQueue::resetInstance();
    OutputDirectToFile::resetInstance();
    WriteFailures::reset();

    // Evaluation
    EvalPoint::resetCurrentTag();
    Eval::resetComputeRules();
    CacheBase::resetInstance();
    Evaluator::removeTmpFiles();
    Evaluator::setTimeLimit(Evaluator::NO_TIME_LIMIT);
    EvcInterface::setEvaluatorControl(nullptr);

    // Steps
    Step::resetInterruptState();
    Step::resetCallbacks();
    SubproblemManager::clear();
    PhaseOne::_bboutputtypes.clear();
}

} // namespace QARNO_4_0_0
