// The hot-restart file reader of MADS on any text, for a problem of
// dimension 2 whose cache file holds a few evaluated points. A file that
// does not match the problem is refused with the library's error; nothing
// else may happen.

#include <cstdint>
#include <memory>
#include <string>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/EvcInterface.hpp"
#include "Algos/Mads/Mads.hpp"
#include "Algos/MainStep.hpp"
#include "Cache/CacheBase.hpp"
#include "Cache/CacheSet.hpp"
#include "Eval/Evaluator.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "FuzzSupport.hpp"
#include "Param/AllParameters.hpp"
#include "Param/EvaluatorControlParameters.hpp"
#include "Util/Exception.hpp"

using namespace QARNO_4_0_0;

namespace
{

struct Problem
{
    QarnoFuzz::ScratchFile hotRestartFile{"hotrestart.txt"};
    QarnoFuzz::ScratchFile cacheFile{"cache.txt"};
    std::shared_ptr<AllParameters> params;
    std::unique_ptr<MainStep> main;
};

Problem& problem()
{
    static Problem p;
    return p;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    QarnoFuzz::silenceStreams();
    Problem& p = problem();
    p.cacheFile.write("CACHE_HITS 2\n"
                      "BB_OUTPUT_TYPE OBJ PB\n"
                      "( 0 0 ) EVAL_OK ( 2 -3 )\n"
                      "( 1 1 ) EVAL_OK ( 0 -2 )\n"
                      "( 2 0 ) EVAL_OK ( 2 1 )\n"
                      "( 0 1 ) EVAL_FAILED ( x 0 )\n");
    p.params = std::make_shared<AllParameters>();
    for (const std::string line : {"DIMENSION 2", "X0 ( 0 0 )", "LOWER_BOUND * -5",
                                   "UPPER_BOUND * 5", "BB_OUTPUT_TYPE OBJ PB", "BB_EXE /bin/true",
                                   "HOT_RESTART_READ_FILES yes", "DISPLAY_DEGREE 0"})
    {
        p.params->readParamLine(line);
    }
    p.params->readParamLine("HOT_RESTART_FILE " + p.hotRestartFile.path());
    p.params->readParamLine("CACHE_FILE " + p.cacheFile.path());
    p.params->checkAndComply();

    CacheSet::setInstance(p.params->get_cache_params(),
                          p.params->getAttributeValue<BBOutputTypeList>("BB_OUTPUT_TYPE"));
    auto evaluator = std::make_shared<Evaluator>(p.params->get_eval_params(), EvalType::BB,
                                                 EvalXDefined::USE_BB_EXE);
    auto evcParams = std::make_shared<EvaluatorControlParameters>();
    evcParams->copyParameters(*p.params->get_evc_params());
    evcParams->checkAndComply(nullptr);
    auto evc = std::make_shared<EvaluatorControl>(p.params->get_evc_global_params());
    evc->init(evaluator, evcParams);
    EvcInterface::setEvaluatorControl(evc);
    p.main = std::make_unique<MainStep>();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Problem& p = problem();
    p.hotRestartFile.write(QarnoFuzz::textOf(data, size));
    try
    {
        Mads mads(p.main.get(), std::make_shared<AlgoStopReasons<MadsStopType>>(),
                  p.params->get_run_params(), p.params->get_pb_params());
        mads.readInformationForHotRestart();
    }
    catch (const Exception&)
    {
    }
    return 0;
}
