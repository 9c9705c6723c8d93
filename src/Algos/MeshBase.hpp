#ifndef QARNO_ALGOS_MESHBASE_HPP
#define QARNO_ALGOS_MESHBASE_HPP

#include <cstddef>
#include <iosfwd>
#include <memory>

#include "Math/ArrayOfDouble.hpp"
#include "Math/Double.hpp"
#include "Math/Point.hpp"

namespace QARNO_4_0_0
{

class AllStopReasons;
class Direction;
class PbParameters;

/// The mesh of the direct-search algorithms: per coordinate, the mesh size
/// δ (the spacing trial points lie on) and the frame size Δ (the extent of
/// the poll frame). The concrete mesh keeps the current sizes and decides how
/// they change; this base keeps the sizes read from the problem parameters,
/// the whole-vector forms, the membership test and the text form.
///
/// Text form, read back by `operator>>` up to the first foreign token:
///     DELTA_MESH_SIZE 0.5 0.5
///     DELTA_FRAME_SIZE 1 1
class MeshBase
{
public:
    /// Reads DIMENSION and the four size arrays; the parameters must have
    /// passed checkAndComply.
    explicit MeshBase(const std::shared_ptr<PbParameters>& pbParams);
    virtual ~MeshBase();

    virtual void updatedeltaMeshSize() = 0;
    /// True when at least one frame size was enlarged.
    virtual bool enlargeDeltaFrameSize(const Direction& direction, const Double& anisotropyFactor,
                                       bool anisotropicMesh) = 0;
    virtual void refineDeltaFrameSize() = 0;
    virtual void checkMeshForStopping(std::shared_ptr<AllStopReasons> stopReasons) const = 0;

    virtual Double getRho(size_t i) const = 0;
    virtual ArrayOfDouble getRho() const;
    virtual Double getdeltaMeshSize(size_t i) const = 0;
    virtual ArrayOfDouble getdeltaMeshSize() const;
    virtual Double getDeltaFrameSize(size_t i) const = 0;
    virtual ArrayOfDouble getDeltaFrameSize() const;
    virtual Double getDeltaFrameSizeCoarser(size_t i) const = 0;
    virtual ArrayOfDouble getDeltaFrameSizeCoarser() const;

    virtual void setDeltas(size_t i, const Double& deltaMeshSize, const Double& deltaFrameSize) = 0;
    /// The per-coordinate form for every coordinate; both arrays have the
    /// mesh dimension.
    virtual void setDeltas(const ArrayOfDouble& deltaMeshSize, const ArrayOfDouble& deltaFrameSize);

    /// Pure; the body throws for a concrete mesh that calls up to it.
    virtual Double scaleAndProjectOnMesh(size_t i, const Double& l) const = 0;
    virtual ArrayOfDouble scaleAndProjectOnMesh(const Direction& dir) const;
    virtual Point projectOnMesh(const Point& point, const Point& frameCenter) const;

    /// True when every coordinate of `point` is a multiple of δ, or, where
    /// the centre is itself off the mesh, its offset from the centre is.
    bool verifyPointIsOnMesh(const Point& point, const Point& center) const;

    size_t getSize() const { return _n; }
    const std::shared_ptr<PbParameters>& getPbParams() const { return _pbParams; }
    const ArrayOfDouble& getInitialMeshSize() const { return _initialMeshSize; }
    const ArrayOfDouble& getMinMeshSize() const { return _minMeshSize; }
    const ArrayOfDouble& getInitialFrameSize() const { return _initialFrameSize; }
    const ArrayOfDouble& getMinFrameSize() const { return _minFrameSize; }

protected:
    /// The values of a per-coordinate getter for every coordinate (through
    /// the virtual getter, so a derived mesh's values).
    ArrayOfDouble allCoordinates(Double (MeshBase::*coordinate)(size_t) const) const;

    size_t _n;
    std::shared_ptr<PbParameters> _pbParams;
    ArrayOfDouble _initialMeshSize;
    ArrayOfDouble _minMeshSize;
    ArrayOfDouble _initialFrameSize;
    ArrayOfDouble _minFrameSize;
};

std::ostream& operator<<(std::ostream& os, const MeshBase& mesh);
std::istream& operator>>(std::istream& is, MeshBase& mesh);

} // namespace QARNO_4_0_0

#endif
