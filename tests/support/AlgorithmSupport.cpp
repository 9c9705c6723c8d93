#include "support/AlgorithmSupport.hpp"

#include <utility>

#include "Algos/EvcInterface.hpp"
#include "Algos/Initialization.hpp"
#include "Eval/Barrier.hpp"
#include "Output/OutputQueue.hpp"
#include "Util/FileUtils.hpp"
#include "Util/Utils.hpp"
#include "support/StepSupport.hpp"
#include "support/StepTree.hpp"
#include "support/TestSupport.hpp"

namespace QarnoTest
{

using namespace QARNO_4_0_0;

std::shared_ptr<RunParameters> makeHotRestartRunParams(size_t dimension, bool readFiles,
                                                       bool writeFiles,
                                                       const std::string& hotRestartFile)
{
    return makeRunParams(makeCheckedPbParams(dimension),
                         [&](RunParameters& run)
                         {
                             run.setAttributeValue<bool>("HOT_RESTART_READ_FILES", readFiles);
                             run.setAttributeValue<bool>("HOT_RESTART_WRITE_FILES", writeFiles);
                             if (!hotRestartFile.empty())
                             {
                                 run.setAttributeValue<std::string>("HOT_RESTART_FILE",
                                                                    hotRestartFile);
                             }
                         });
}

} // namespace QarnoTest
