#ifndef QARNO_ALGOS_MADS_GMESH_HPP
#define QARNO_ALGOS_MADS_GMESH_HPP

#include <cstddef>
#include <memory>

#include "Algos/MeshBase.hpp"
#include "Math/ArrayOfDouble.hpp"
#include "Math/Double.hpp"
#include "Math/Point.hpp"

namespace QARNO_4_0_0
{

class AllStopReasons;
class Direction;
class PbParameters;

/// The granular mesh of MADS. Per coordinate the frame size is
/// granularity x mantissa x 10^exponent with the mantissa in {1, 2, 5}; the
/// mesh size and the frame/mesh ratio rho are derived from the current
/// exponent and the exponent at construction. A coordinate with a positive
/// granularity keeps mesh and frame sizes that are multiples of it.
///
/// The derived sizes are kept per coordinate and refreshed whenever a
/// mantissa or an exponent changes, so the getters (single coordinate or
/// whole vector) cost no power of ten: the poll and the projections read them
/// for every trial point.
///
///     auto pb = ...;               // DIMENSION, INITIAL_FRAME_SIZE, ... then checkAndComply
///     GMesh mesh(pb);
///     mesh.refineDeltaFrameSize(); // after a failure
///     mesh.checkMeshForStopping(stopReasons);
///
/// Exponents are integers stored in `Double`; no value that is not finite or
/// that lies outside the int range is ever converted to int: such a value
/// (a frame size derived from an infinite bound, a hand-edited size read
/// back) is refused with an `Exception`.
class GMesh : public MeshBase
{
public:
    /// The parameters must have passed checkAndComply.
    explicit GMesh(const std::shared_ptr<PbParameters>& pbParams);
    ~GMesh() override;

    /// Nothing to do: the mesh size is always derived from the frame size.
    void updatedeltaMeshSize() override;
    bool enlargeDeltaFrameSize(const Direction& direction, const Double& anisotropyFactor,
                               bool anisotropicMesh) override;
    void refineDeltaFrameSize() override;
    /// Continuous coordinates stop the run on their mesh size; a problem
    /// whose coordinates are all granular stops once a refinement (after a
    /// failure) finds nothing left to refine ("Mesh minimum precision
    /// reached"). Either kind then stops on MIN_FRAME_SIZE.
    void checkMeshForStopping(std::shared_ptr<AllStopReasons> stopReasons) const override;

    Double getRho(size_t i) const override;
    ArrayOfDouble getRho() const override;
    Double getdeltaMeshSize(size_t i) const override;
    ArrayOfDouble getdeltaMeshSize() const override;
    Double getDeltaFrameSize(size_t i) const override;
    ArrayOfDouble getDeltaFrameSize() const override;
    Double getDeltaFrameSizeCoarser(size_t i) const override;
    ArrayOfDouble getDeltaFrameSizeCoarser() const override;

    /// Cheap whole-vector views of the cached sizes (no copy), valid until
    /// the next change of the mesh.
    const ArrayOfDouble& deltaMeshSizes() const { return _deltaMeshSize; }
    const ArrayOfDouble& deltaFrameSizes() const { return _deltaFrameSize; }
    const ArrayOfDouble& rhos() const { return _rho; }

    void setDeltas(size_t i, const Double& deltaMeshSize, const Double& deltaFrameSize) override;
    using MeshBase::setDeltas;

    /// A multiple of the mesh size of coordinate i, about rho_i x |l| mesh
    /// steps, for a direction coordinate l scaled into [-1, 1].
    Double scaleAndProjectOnMesh(size_t i, const Double& l) const override;
    /// The displacement on the mesh of a direction, scaled by its infinite norm.
    ArrayOfDouble scaleAndProjectOnMesh(const Direction& dir) const override;
    /// `point` with every coordinate moved onto the mesh of `frameCenter`,
    /// away from the centre.
    Point projectOnMesh(const Point& point, const Point& frameCenter) const override;

    // Steps and rounding of the mantissa/exponent form.

    /// Truncation toward zero; throws `Exception` for a value that is not
    /// finite or outside the int range.
    static int roundFrameSizeExp(const Double& exp);
    /// 1 below 1.5, 2 below 3.5, else 5.
    static int roundFrameSizeMant(const Double& mant);
    /// One enlargement step: 1 -> 2 -> 5 -> 1 with the next exponent.
    void getLargerMantExp(Double& frameSizeMant, Double& frameSizeExp) const;
    /// One refinement step; a granular frame stops at the granularity.
    void refineDeltaFrameSize(Double& frameSizeMant, Double& frameSizeExp,
                              const Double& granularity) const;

    /// The mesh size of a coordinate from its exponents and granularity.
    Double getdeltaMeshSize(const Double& frameSizeExp, const Double& initFrameSizeExp,
                            const Double& granularity) const;
    /// The frame size of a coordinate from its granularity, mantissa and exponent.
    Double getDeltaFrameSize(const Double& granularity, const Double& frameSizeMant,
                             const Double& frameSizeExp) const;

    /// The checks write their message to standard error and throw it.
    void checkFrameSizeIntegrity(const Double& frameSizeExp, const Double& frameSizeMant) const;
    void checkDeltasGranularity(size_t i, const Double& deltaMeshSize,
                                const Double& deltaFrameSize) const;
    void checkSetDeltas(size_t i, const Double& deltaMeshSize, const Double& deltaFrameSize) const;

    const ArrayOfDouble& getGranularity() const { return _granularity; }
    const ArrayOfDouble& getFrameSizeMant() const { return _frameSizeMant; }
    const ArrayOfDouble& getFrameSizeExp() const { return _frameSizeExp; }
    const ArrayOfDouble& getInitFrameSizeExp() const { return _initFrameSizeExp; }

private:
    void init();
    void initFrameSizeGranular(const ArrayOfDouble& initialFrameSize);

    /// Recomputes the cached sizes of coordinate i from its mantissa and
    /// exponent.
    void refreshSizes(size_t i);
    /// Throws for an index past the mesh dimension.
    void checkIndex(size_t i, const char* operation) const;
    /// The projection of coordinate i (granular) counted in steps of its
    /// grid, written as a grid value; false when the centre is off its grid.
    bool projectGranularCoordinate(size_t i, const Double& p, const Double& c, bool below,
                                   double& projected) const;

    ArrayOfDouble _initFrameSizeExp;
    ArrayOfDouble _frameSizeMant;
    ArrayOfDouble _frameSizeExp;
    ArrayOfDouble _granularity;
    bool _checkIntegrity;
    /// The last refinement (a failure) left every coordinate as it was:
    /// each is at its granularity or held by its minimum mesh size. Cleared
    /// by any change of the frame.
    bool _refinementExhausted;

    // Derived per coordinate, refreshed by refreshSizes.
    ArrayOfDouble _deltaMeshSize;
    ArrayOfDouble _deltaFrameSize;
    ArrayOfDouble _rho;
    ArrayOfDouble _deltaFrameSizeCoarser;
};

} // namespace QARNO_4_0_0

#endif
