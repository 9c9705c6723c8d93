#include "Algos/Mads/MadsIteration.hpp"

#include <algorithm>

#include "Algos/Mads/MadsMegaIteration.hpp"
#include "Algos/Mads/Poll.hpp"
#include "Algos/Mads/Search.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvalPoint.hpp"
#include "Util/AllStopReasons.hpp"

namespace QARNO_4_0_0
{

MadsIteration::MadsIteration(const Step* parentStep, const std::shared_ptr<EvalPoint>& frameCenter,
                             size_t k, const std::shared_ptr<MeshBase>& mesh)
    : Iteration(parentStep, k), _frameCenter(frameCenter), _mesh(mesh),
      _success(SuccessType::NOT_EVALUATED)
{
    init();
}

MadsIteration::~MadsIteration() = default;

bool MadsIteration::runImp()
{
    verifyGenerateAllPointsBeforeEval("virtual bool QARNO_4_0_0::MadsIteration::runImp()", false);

    SuccessType best = SuccessType::NOT_EVALUATED;
    bool successful = false;

    if (!_stopReasons->checkTerminate())
    {
        // The search and poll steps, and their methods, live for this call
        // only: every iteration works with fresh ones.
        Search search(this);
        search.start();
        successful = search.run();
        best = std::max(best, search.getSuccessType());
        search.end();

        if (successful && !_stopReasons->checkTerminate())
        {
            AddOutputInfo("Search Successful. Enlarge Delta frame size.", OutputLevel::LEVEL_INFO);
        }
    }

    if (!successful && !_stopReasons->checkTerminate())
    {
        Poll poll(this);
        poll.start();
        successful = poll.run();
        best = std::max(best, poll.getSuccessType());
        poll.end();
    }

    _success = best;
    return successful;
}

bool MadsIteration::isMainIteration() const
{
    const MadsMegaIteration* mega = nullptr;
    for (const Step* s = getParentStep(); nullptr != s; s = s->getParentStep())
    {
        mega = dynamic_cast<const MadsMegaIteration*>(s);
        if (nullptr != mega || s->isAnAlgorithm())
        {
            break;
        }
    }
    if (nullptr == mega || _mesh != mega->getMesh() || _k != mega->getK())
    {
        return false;
    }
    const auto& barrier = mega->getBarrier();
    if (nullptr == barrier || nullptr == _frameCenter)
    {
        return false;
    }
    std::shared_ptr<EvalPoint> first = barrier->getFirstXFeas();
    if (nullptr == first)
    {
        first = barrier->getFirstXInf();
    }
    return nullptr != first && *_frameCenter == *first;
}

} // namespace QARNO_4_0_0
