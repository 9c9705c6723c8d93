#include "support/MadsMeshSupport.hpp"

#include "Math/Point.hpp"
#include "support/TestSupport.hpp"

namespace QarnoTest
{

using namespace QARNO_4_0_0;

std::shared_ptr<PbParameters> makeMeshPbParams(const MeshSetup& setup)
{
    const size_t n = setup.initialFrameSize.size();
    auto pb = std::make_shared<PbParameters>();
    pb->setAttributeValue<size_t>("DIMENSION", n);
    pb->setAttributeValue<Point>("X0", Point(n, Double(0.0)));
    pb->setAttributeValue("INITIAL_FRAME_SIZE", makeArray(setup.initialFrameSize));
    if (!setup.granularity.empty())
    {
        pb->setAttributeValue("GRANULARITY", makeArray(setup.granularity));
    }
    if (!setup.minMeshSize.empty())
    {
        pb->setAttributeValue("MIN_MESH_SIZE", makeArray(setup.minMeshSize));
    }
    if (!setup.minFrameSize.empty())
    {
        pb->setAttributeValue("MIN_FRAME_SIZE", makeArray(setup.minFrameSize));
    }
    CerrCapture ignoreWarnings;
    pb->checkAndComply();
    return pb;
}

std::shared_ptr<GMesh> makeGMesh(const MeshSetup& setup)
{
    return std::make_shared<GMesh>(makeMeshPbParams(setup));
}

} // namespace QarnoTest
