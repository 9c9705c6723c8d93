#include "support/SearchSupport.hpp"

#include <cmath>
#include <utility>

#include "Algos/EvcInterface.hpp"
#include "Math/ArrayOfDouble.hpp"
#include "Math/Double.hpp"
#include "Math/Point.hpp"
#include "Output/OutputQueue.hpp"
#include "support/TestSupport.hpp"

namespace QarnoTest
{

using namespace QARNO_4_0_0;

std::shared_ptr<ProjectingMesh> makeProjectingMesh(const std::shared_ptr<PbParameters>& pbParams,
                                                   const std::vector<double>& delta,
                                                   const std::vector<double>& Delta)
{
    auto mesh = std::make_shared<ProjectingMesh>(pbParams);
    mesh->setDeltas(makeArray(delta), makeArray(Delta));
    return mesh;
}

std::shared_ptr<PbParameters> makeBoundedPbParams(const std::vector<double>& lb,
                                                  const std::vector<double>& ub,
                                                  const std::vector<double>& x0)
{
    StepTreeOptions options;
    options.dimension = lb.size();
    options.lowerBound = lb;
    options.upperBound = ub;
    options.x0 = x0;
    return makeTreePbParams(options);
}

std::shared_ptr<RunParameters> makeSearchRunParams(const std::shared_ptr<PbParameters>& pbParams,
                                                   const std::function<void(RunParameters&)>& set)
{
    return makeRunParams(pbParams,
                         [&](RunParameters& run)
                         {
                             // The Nelder-Mead search needs a MADS iteration above it, which
                             // these trees do not have; the tests that want it switch it back
                             // on.
                             run.setAttributeValue<bool>("NM_SEARCH", false);
                             set(run);
                         });
}

std::shared_ptr<EvalPoint> makeFrameCenter(const std::vector<double>& center,
                                           const std::vector<double>& origin)
{
    auto frameCenter = std::make_shared<EvalPoint>(Point(makeArray(center)));
    if (!origin.empty())
    {
        frameCenter->setPointFrom(std::make_shared<Point>(makeArray(origin)));
    }
    return frameCenter;
}

std::vector<std::vector<double>> coordinatesOf(const std::set<EvalPoint, EvalPointCompare>& points)
{
    std::vector<std::vector<double>> all;
    for (const auto& p : points)
    {
        std::vector<double> c;
        for (size_t i = 0; i < p.size(); ++i)
        {
            c.push_back(p[i].todouble());
        }
        all.push_back(std::move(c));
    }
    return all;
}

StepTreeOptions searchTree(const std::shared_ptr<RunParameters>& runParams,
                           const std::shared_ptr<PbParameters>& pbParams,
                           std::shared_ptr<Barrier> barrier, std::shared_ptr<MeshBase> mesh,
                           std::shared_ptr<EvalPoint> frameCenter)
{
    StepTreeOptions options;
    options.runParams = runParams;
    options.pbParams = pbParams;
    options.barrier = std::move(barrier);
    options.mesh = std::move(mesh);
    options.frameCenter = std::move(frameCenter);
    return options;
}

HarnessOptions searchHarness(const BBOutputTypeList& bbOutputType, FunctionEvaluator::Output output,
                             int displayDegree)
{
    HarnessOptions options = installedHarness(bbOutputType, std::move(output));
    options.displayDegree = displayDegree;
    return options;
}

} // namespace QarnoTest
