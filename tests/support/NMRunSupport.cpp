#include "support/NMRunSupport.hpp"

#include <iostream>
#include <limits>
#include <utility>

#include "Cache/CacheBase.hpp"
#include "Math/Point.hpp"
#include "Output/OutputQueue.hpp"
#include "support/MadsSupport.hpp"
#include "support/TestSupport.hpp"

namespace QarnoTest
{

using namespace QARNO_4_0_0;

std::shared_ptr<AllParameters> makeNMParameters(size_t n, bool standalone,
                                                const std::vector<std::string>& lines)
{
    std::vector<std::string> all = {standalone ? "NM_OPTIMIZATION yes" : "NM_OPTIMIZATION no"};
    all.insert(all.end(), lines.begin(), lines.end());
    return checkedMadsParameters(n, all);
}

EvalPoint cacheNMPoint(const std::vector<double>& coords, double f, double c)
{
    EvalPoint point = makeMadsPoint(coords, f, c);
    point.updateTag();
    CacheBase::getInstance()->insert(point);
    return point;
}

std::shared_ptr<Barrier> barrierFromCache(size_t n)
{
    return std::make_shared<Barrier>(Double(std::numeric_limits<double>::max()), Point(n),
                                     EvalType::BB);
}

std::string debugMessagesOf(const std::function<void()>& op)
{
    auto& queue = OutputQueue::getInstance();
    queue->setDisplayDegree(4);
    StreamCapture out(std::cout);
    op();
    queue->flush();
    return out.text();
}

StepTreeOptions nmIterationTree(const std::shared_ptr<AllParameters>& params,
                                std::shared_ptr<Barrier> barrier,
                                std::shared_ptr<EvalPoint> frameCenter,
                                std::shared_ptr<MeshBase> mesh)
{
    StepTreeOptions options;
    options.algorithmName = "NM";
    options.stopReasons = newNMStopReasons();
    options.runParams = params->get_run_params();
    options.pbParams = params->get_pb_params();
    options.megaK = 0;
    options.barrier = std::move(barrier);
    options.k = 0;
    options.frameCenter = std::move(frameCenter);
    options.mesh = std::move(mesh);
    options.makeIteration = nelderMeadIteration();
    return options;
}

} // namespace QarnoTest
