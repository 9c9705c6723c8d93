#include "Algos/NelderMead/NMIteration.hpp"

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/MegaIteration.hpp"
#include "Algos/NelderMead/NM.hpp"
#include "Algos/NelderMead/NMInitializeSimplex.hpp"
#include "Algos/NelderMead/NMReflective.hpp"
#include "Algos/NelderMead/NMSettings.hpp"
#include "Algos/NelderMead/NMShrink.hpp"
#include "Algos/NelderMead/NMStepType.hpp"
#include "Algos/NelderMead/NMUpdate.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/RunParameters.hpp"
#include "Util/AllStopReasons.hpp"

namespace QARNO_4_0_0
{

namespace
{

/// The mega-iteration that runs this iteration, within the algorithm.
MegaIteration* parentMegaIteration(const Step* step)
{
    for (const Step* s = step->getParentStep(); nullptr != s; s = s->getParentStep())
    {
        if (auto mega = dynamic_cast<const MegaIteration*>(s))
        {
            // Reached through the const parent chain; the mega-iteration
            // owns this iteration and takes its success.
            return const_cast<MegaIteration*>(mega);
        }
        if (s->isAnAlgorithm())
        {
            break;
        }
    }
    return nullptr;
}

/// The Nelder-Mead algorithm that runs this iteration; none when the
/// iteration runs under another kind of algorithm.
NM* walkingAlgorithm(const Step* step)
{
    for (const Step* s = step->getParentStep(); nullptr != s; s = s->getParentStep())
    {
        if (s->isAnAlgorithm())
        {
            // Reached through the const parent chain; the algorithm keeps
            // the memory of the walk that this iteration continues.
            return const_cast<NM*>(dynamic_cast<const NM*>(s));
        }
    }
    return nullptr;
}

void setNMStopReason(const std::shared_ptr<AllStopReasons>& stopReasons, NMStopType stopType)
{
    AlgoStopReasons<NMStopType>::get(stopReasons)->_algoStopReason.set(stopType);
}

} // namespace

NMIteration::NMIteration(const Step* parentStep, const std::shared_ptr<EvalPoint>& frameCenter,
                         size_t k, const std::shared_ptr<MeshBase>& mesh)
    : Iteration(parentStep, k), _simplexY(), _frameCenter(frameCenter), _mesh(mesh),
      _success(SuccessType::FAILURE), _nmK(k)
{
    init();
    _simplexY = std::make_shared<NMSimplex>();
}

NMIteration::~NMIteration() = default;

void NMIteration::init()
{
    setName(getAlgoName() + "Iteration");
    _success = SuccessType::FAILURE;
}

void NMIteration::startImp()
{
    ++_nmK;

    {
        NMUpdate update(this);
        update.start();
        update.run();
        update.end();
    }

    NMInitializeSimplex initSimplex(this);
    initSimplex.start();
    const bool created = initSimplex.run();
    initSimplex.end();
    if (!created)
    {
        setNMStopReason(_stopReasons, NMStopType::INITIALIZATION_FAILED);
    }
}

bool NMIteration::runImp()
{
    verifyGenerateAllPointsBeforeEval("virtual bool QARNO_4_0_0::NMIteration::runImp()", false);

    NMReflective reflective(this);

    const auto settings = NMSettings::of(*this);
    const bool opt = settings->optimization;
    const bool stopOnSuccess = settings->stopOnSuccess;

    NM* walk = walkingAlgorithm(this);
    NMStepType stepType = NMStepType::REFLECT;
    bool result = false;
    while (!_stopReasons->checkTerminate() && NMStepType::SHRINK != stepType &&
           NMStepType::CONTINUE != stepType)
    {
        if (NMStepType::REFLECT == stepType && nullptr != walk &&
            walk->simplexMetBefore(*_simplexY))
        {
            // Points met again are judged without being evaluated: from a
            // simplex already reflected from, with nothing evaluated since,
            // the walk would go the same way round again.
            if (OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_INFO))
            {
                AddOutputInfo("The simplex was reflected from before, with no evaluation since. "
                              "Stop NM.",
                              OutputLevel::LEVEL_INFO);
            }
            setNMStopReason(_stopReasons, NMStopType::REFLECT_FAILED);
            break;
        }
        reflective.setCurrentNMStepType(stepType);
        reflective.start();
        reflective.run();
        reflective.end();
        if (nullptr != walk && reflective.getNbEvalPointsThatNeedEval() > 0)
        {
            walk->evaluationMade();
        }

        stepType = reflective.getNextNMStepType();
        const SuccessType success = reflective.getSuccessType();
        if (success > _success)
        {
            if (!opt && SuccessType::FULL_SUCCESS == success && stopOnSuccess)
            {
                setNMStopReason(_stopReasons, NMStopType::STOPPED_ON_EVAL_SUCCESS);
            }
            _success = success;
            result = true;
        }
    }

    // As a MADS search, Nelder-Mead never shrinks: the iteration just ends.
    if (!_stopReasons->checkTerminate() && NMStepType::SHRINK == stepType && opt)
    {
        NMShrink shrink(this);
        shrink.start();
        shrink.run();
        shrink.end();
        if (nullptr != walk && shrink.getNbEvalPointsThatNeedEval() > 0)
        {
            walk->evaluationMade();
        }
        if (shrink.getSuccessType() > _success)
        {
            _success = shrink.getSuccessType();
            result = true;
        }
    }

    if (result)
    {
        if (MegaIteration* mega = parentMegaIteration(this))
        {
            mega->setSuccessType(_success);
        }
    }
    return result;
}

} // namespace QARNO_4_0_0
