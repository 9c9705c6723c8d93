#ifndef QARNO_ALGOS_MADS_POLLMETHODBASE_HPP
#define QARNO_ALGOS_MADS_POLLMETHODBASE_HPP

#include <cstddef>
#include <list>
#include <vector>

#include "Algos/IterationUtils.hpp"
#include "Algos/Step.hpp"
#include "Math/ArrayOfDouble.hpp"
#include "Math/Direction.hpp"

namespace QARNO_4_0_0
{

/// The common part of the poll methods: a step below the `Poll` that turns
/// the unit directions of its subclass into trial points around the
/// iteration's frame centre, evaluates them (`run`) and merges them into the
/// barrier (`end`).
///
///     directions (subclass, per variable group) -> full dimension
///     -> divided by their infinite norm, scaled and projected on the mesh
///     -> frame centre + direction, snapped to the bounds, on the mesh,
///        de-duplicated -> trial points
///
/// A method object serves one poll: its trial-point set is filled once.
class PollMethodBase : public Step, public IterationUtils
{
public:
    /// A child step of the `Poll`; its trial points are bound to the Poll.
    explicit PollMethodBase(const Step* parentStep);
    ~PollMethodBase() override;

    /// Fills the trial-point set; the `Poll` calls it directly when all
    /// points are gathered before evaluation.
    void generateTrialPoints() override;

    /// Replaces each direction by its mesh form: divided by its infinite
    /// norm, then coordinate i brought to a whole number of mesh sizes of
    /// coordinate i within the frame. Throws when there is no iteration mesh
    /// or a direction is zero.
    void scaleAndProjectOnMesh(std::list<Direction>& directions) const;

    /// Replaces the content of `directions` with the unit directions of the
    /// method for dimension n (drawing n normal numbers from `RNG`).
    virtual void generateUnitPollDirections(std::list<Direction>& directions, size_t n) const = 0;

protected:
    /// Requires a parent.
    void init();

    /// Generates the trial points unless the run must stop; no point at all
    /// sets "Mesh minimum precision reached".
    void startImp() override;
    /// Evaluates the trial points; true on a partial or full success.
    bool runImp() override;
    /// Merges the evaluated points into the mega-iteration's barrier.
    void endImp() override;

    /// The scaling of `scaleAndProjectOnMesh` with the mesh sizes and
    /// frame-to-mesh ratios read once for all directions.
    static void scaleAndProjectOnMesh(std::list<Direction>& directions,
                                      const ArrayOfDouble& meshSize, const ArrayOfDouble& rho);

    /// The 2n rows of the Householder matrix of a random unit direction of
    /// dimension n (n normal draws), in one contiguous block: rows i and
    /// i + n are H_i and -H_i. Without completeTo2n, the n rows H_i alone.
    static std::vector<Direction> householderRows(size_t n, bool completeTo2n = true);
};

} // namespace QARNO_4_0_0

#endif
