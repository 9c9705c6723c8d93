#ifndef QARNO_ALGOS_MADS_TESKORASEARCHMETHOD_HPP
#define QARNO_ALGOS_MADS_TESKORASEARCHMETHOD_HPP

#include <memory>

#include "Algos/Mads/SearchMethodAlgo.hpp"

namespace QARNO_4_0_0
{

class ArrayOfDouble;
class Point;

/// The surrogate-model search. This build has no surrogate library: asked
/// for with TESKORA_SEARCH, it says it cannot run and disables itself; it
/// never proposes a point.
class TeskoraSearchMethod : public SearchMethodAlgo
{
public:
    explicit TeskoraSearchMethod(const Step* parentStep);
    ~TeskoraSearchMethod() override;

    /// Does nothing in this build.
    void getBestProjection(const Point& incumbent, const ArrayOfDouble& deltaMeshSize,
                           std::shared_ptr<Point> x);

protected:
    void init();
    /// Generates (nothing) and evaluates; never reached, as the method is
    /// never enabled.
    bool runImp() override;
    /// Proposes nothing.
    void generateTrialPointsImp() override {}
};

} // namespace QARNO_4_0_0

#endif
