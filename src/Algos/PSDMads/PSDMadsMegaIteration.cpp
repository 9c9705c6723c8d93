#include "Algos/PSDMads/PSDMadsMegaIteration.hpp"

#include <algorithm>
#include <string>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/EvcInterface.hpp"
#include "Algos/InnerMadsRun.hpp"
#include "Algos/Mads/Mads.hpp"
#include "Algos/Mads/Search.hpp"
#include "Algos/MeshBase.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/EvaluatorControlGlobalParameters.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

namespace
{
bool shown(OutputLevel level)
{
    return OutputQueue::getInstance()->goodLevel(level);
}
} // namespace

PSDMadsMegaIteration::PSDMadsMegaIteration(const Step* parentStep, size_t k,
                                           std::shared_ptr<Barrier> barrier,
                                           std::shared_ptr<MeshBase> mesh, SuccessType success,
                                           const Point& x0, const Point& fixedVariable)
    : MadsMegaIteration(parentStep, k, std::move(barrier), std::move(mesh), success),
      _madsOnSubproblem(), _x0(x0), _fixedVariable(fixedVariable)
{
}

PSDMadsMegaIteration::~PSDMadsMegaIteration() = default;

void PSDMadsMegaIteration::startImp()
{
    auto stopReasons = std::make_shared<AlgoStopReasons<MadsStopType>>();
    const bool isPollster = (0 == getThreadNum());

    auto pb = InnerMadsRun::pbParameters(*_pbParams);
    auto run = std::make_shared<RunParameters>();
    run->copyParameters(*_runParams);

    setupSubproblemParams(pb, run, isPollster);

    _madsOnSubproblem = std::make_shared<Mads>(this, stopReasons, run, pb);

    std::string name = "Mads ";
    if (isPollster)
    {
        name += "pollster";
    }
    else if (_fixedVariable.size() <= 10)
    {
        name += "with fixed variable " + _fixedVariable.display(ArrayOfDouble());
    }
    else
    {
        // The count given is that of the free variables.
        name += "with " + std::to_string(_fixedVariable.size() - _fixedVariable.nbDefined()) +
                " fixed variables";
    }
    _madsOnSubproblem->setName(name);
}

void PSDMadsMegaIteration::setupSubproblemParams(std::shared_ptr<PbParameters>& pbParams,
                                                 std::shared_ptr<RunParameters>& runParams,
                                                 bool isPollster)
{
    const ArrayOfDouble frame = _mainMesh->getDeltaFrameSize();
    const auto& evc = EvcInterface::getEvaluatorControl();
    // Only the top-level problem warns about its mesh.
    pbParams->_showMeshWarning = false;

    if (isPollster)
    {
        pbParams->setAttributeValue("DIRECTION_TYPE", DirectionType::SINGLE);
        pbParams->setAttributeValue("INITIAL_FRAME_SIZE", frame);
        Search::switchOffSearchesFor(InnerRun::PSD_POLLSTER, *runParams);
        // Around the current frame centre, not the run's first X0: else the
        // pollster would never move from the starting point.
        pbParams->setAttributeValue("X0", ArrayOfPoint{_x0});
        evc->setMaxBbEvalInSubproblem(1);
    }
    else
    {
        const ArrayOfDouble coarser = _mainMesh->getDeltaFrameSizeCoarser();
        pbParams->setAttributeValue("INITIAL_FRAME_SIZE", coarser);
        for (size_t i = 0; i < coarser.size(); ++i)
        {
            if (coarser[i].todouble() < frame[i].todouble() - Double::getEpsilon())
            {
                if (shown(OutputLevel::LEVEL_INFO))
                {
                    AddOutputInfo("Set initial frame size to main frame size.",
                                  OutputLevel::LEVEL_INFO);
                }
                pbParams->setAttributeValue("INITIAL_FRAME_SIZE", frame);
                break;
            }
        }
        pbParams->setAttributeValue("FIXED_VARIABLE", _fixedVariable);
        pbParams->setAttributeValue("X0", ArrayOfPoint{_x0});
        pbParams->setAttributeValue("MIN_FRAME_SIZE", frame);
        runParams->setAttributeValue("PSD_MADS_NB_VAR_IN_SUBPROBLEM",
                                     _fixedVariable.size() - _fixedVariable.nbDefined());

        const size_t maxBbEval =
            evc->getEvcGlobalParams()->getAttributeValue<size_t>("MAX_BB_EVAL");
        const size_t nbSubproblem = _runParams->getAttributeValue<size_t>("PSD_MADS_NB_SUBPROBLEM");
        // A zero count of sub-problems would divide by zero: no share then.
        const size_t share = (0 == nbSubproblem) ? (maxBbEval - 1) : (maxBbEval - 1) / nbSubproblem;
        evc->setMaxBbEvalInSubproblem(std::min(evc->getMaxBbEvalInSubproblem(-1), share));
    }

    pbParams->checkAndComply();
    runParams->checkAndComply(evc->getEvcGlobalParams(), pbParams);
}

bool PSDMadsMegaIteration::runImp()
{
    const std::string thread = std::to_string(getThreadNum());
    const std::string name = _madsOnSubproblem->getName();
    if (shown(OutputLevel::LEVEL_NORMAL))
    {
        AddOutputInfo("Running " + name + " on thread " + thread, OutputLevel::LEVEL_NORMAL);
    }

    size_t bbEval = 0;
    const bool success = InnerMadsRun::runOnSubproblem(*_madsOnSubproblem, bbEval);

    if (shown(OutputLevel::LEVEL_NORMAL))
    {
        AddOutputInfo("Done running " + name + " on thread " + thread + ". " +
                          "Number of evaluations: " + std::to_string(bbEval) + ". " +
                          "Found a new success: " + boolToString(success) + ".",
                      OutputLevel::LEVEL_NORMAL);
    }
    return success;
}

} // namespace QARNO_4_0_0
