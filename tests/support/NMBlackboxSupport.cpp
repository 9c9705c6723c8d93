#include "support/NMBlackboxSupport.hpp"

#include <cmath>
#include <utility>

#include "Algos/EvcInterface.hpp"
#include "Cache/CacheBase.hpp"
#include "Math/Double.hpp"
#include "Math/Point.hpp"
#include "Output/OutputQueue.hpp"
#include "Type/BBOutputType.hpp"
#include "Util/Utils.hpp"
#include "support/TestSupport.hpp"

namespace QarnoTest
{

using namespace QARNO_4_0_0;

std::string NMBlackbox::lineFor(const EvalPoint& point) const
{
    for (const auto& entry : lines)
    {
        bool same = entry.first.size() == point.size();
        for (size_t i = 0; same && i < point.size(); ++i)
        {
            same = std::fabs(entry.first[i] - point[i].todouble()) < 1e-9;
        }
        if (same)
        {
            return entry.second;
        }
    }
    return otherwise;
}

HarnessOptions nmHarness(std::shared_ptr<NMBlackbox> blackbox, size_t n, int displayDegree,
                         const EvcOptions& options)
{
    HarnessOptions harness;
    harness.queue = options;
    harness.blackbox = [blackbox](const EvalPoint& point)
    {
        const std::string line = blackbox->lineFor(point);
        return line == "FAIL" ? std::string("0 0") : line;
    };
    harness.evalOk = [blackbox](const EvalPoint& point)
    { return blackbox->lineFor(point) != "FAIL"; };
    harness.dimension = n;
    harness.displayDegree = displayDegree;
    return harness;
}

std::shared_ptr<PbParameters> makeNMPbParams(size_t n)
{
    StepTreeOptions options;
    options.dimension = n;
    options.x0.assign(n, 0.0);
    return makeTreePbParams(options);
}

std::shared_ptr<RunParameters> makeNMRunParams(const std::shared_ptr<PbParameters>& pbParams,
                                               bool nmOptimization,
                                               const std::function<void(RunParameters&)>& set)
{
    return makeRunParams(pbParams,
                         [&](RunParameters& run)
                         {
                             run.setAttributeValue<bool>("NM_OPTIMIZATION", nmOptimization);
                             if (set)
                             {
                                 set(run);
                             }
                         });
}

StepTreeOptions nmWalkTree(const std::shared_ptr<RunParameters>& runParams,
                           const std::shared_ptr<PbParameters>& pbParams,
                           const std::vector<EvalPoint>& barrierPoints,
                           std::shared_ptr<EvalPoint> frameCenter, std::shared_ptr<MeshBase> mesh)
{
    StepTreeOptions options;
    options.algorithmName = "NM";
    options.stopReasons = newNMStopReasons();
    options.runParams = runParams;
    options.pbParams = pbParams;
    options.megaK = 0;
    options.barrierPoints = barrierPoints;
    // Successes are measured against the barrier's references, which the
    // update of a MADS mega-iteration sets before its iterations run.
    options.setBarrierReferences = true;
    options.k = 0;
    options.frameCenter = std::move(frameCenter);
    options.mesh = std::move(mesh);
    options.makeIteration = nelderMeadIteration();
    return options;
}

std::shared_ptr<EvalPoint> cachedPoint(const std::vector<double>& coords)
{
    auto point = std::make_shared<EvalPoint>();
    if (0 == CacheBase::getInstance()->find(Point(makeArray(coords)), *point))
    {
        return nullptr;
    }
    return point;
}

std::vector<std::vector<double>> coordinatesOf(const NMSimplex& Y)
{
    std::vector<std::vector<double>> all;
    for (const auto& y : Y)
    {
        all.push_back(coordinatesOf(y));
    }
    return all;
}

std::vector<double> coordinatesOf(const Point& point)
{
    std::vector<double> coords;
    for (size_t i = 0; i < point.size(); ++i)
    {
        coords.push_back(point[i].todouble());
    }
    return coords;
}

} // namespace QarnoTest
