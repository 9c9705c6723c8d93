#ifndef QARNO_TESTS_SUPPORT_MADSMESHSUPPORT_HPP
#define QARNO_TESTS_SUPPORT_MADSMESHSUPPORT_HPP

#include <memory>
#include <vector>

#include "Algos/Mads/GMesh.hpp"
#include "Param/PbParameters.hpp"

namespace QarnoTest
{

/// What a granular mesh is built from; an empty vector leaves the parameter
/// to its default (checkAndComply fills it). NaN stands for an undefined
/// coordinate.
struct MeshSetup
{
    std::vector<double> initialFrameSize;
    std::vector<double> granularity;
    std::vector<double> minMeshSize;
    std::vector<double> minFrameSize;
};

/// Problem parameters of the dimension of `setup.initialFrameSize` with X0
/// all zeros, the given mesh parameters, checked (warnings swallowed).
std::shared_ptr<QARNO_4_0_0::PbParameters> makeMeshPbParams(const MeshSetup& setup);

/// A granular mesh built from `makeMeshPbParams(setup)`.
std::shared_ptr<QARNO_4_0_0::GMesh> makeGMesh(const MeshSetup& setup);

} // namespace QarnoTest

#endif
