#include "support/MadsMeshSupport.hpp"

#include "Math/Point.hpp"
#include "support/StepTree.hpp"
#include "support/TestSupport.hpp"

namespace QarnoTest
{

using namespace QARNO_4_0_0;

std::shared_ptr<PbParameters> makeMeshPbParams(const MeshSetup& setup)
{
    StepTreeOptions options;
    options.dimension = setup.initialFrameSize.size();
    options.x0.assign(options.dimension, 0.0);
    options.setPb = [&setup](PbParameters& pb)
    {
        pb.setAttributeValue("INITIAL_FRAME_SIZE", makeArray(setup.initialFrameSize));
        const std::pair<const char*, const std::vector<double>*> optional[] = {
            {"GRANULARITY", &setup.granularity},
            {"MIN_MESH_SIZE", &setup.minMeshSize},
            {"MIN_FRAME_SIZE", &setup.minFrameSize}};
        for (const auto& entry : optional)
        {
            if (!entry.second->empty())
            {
                pb.setAttributeValue(entry.first, makeArray(*entry.second));
            }
        }
    };
    return makeTreePbParams(options);
}

std::shared_ptr<GMesh> makeGMesh(const MeshSetup& setup)
{
    return std::make_shared<GMesh>(makeMeshPbParams(setup));
}

} // namespace QarnoTest
