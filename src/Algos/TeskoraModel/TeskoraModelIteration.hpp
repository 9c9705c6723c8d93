#ifndef QARNO_ALGOS_TESKORAMODEL_TESKORAMODELITERATION_HPP
#define QARNO_ALGOS_TESKORAMODEL_TESKORAMODELITERATION_HPP

#include <cstddef>
#include <memory>
#include <set>

#include "Algos/Iteration.hpp"
#include "Eval/EvalPoint.hpp"

namespace QARNO_4_0_0
{

class TeskoraModelOptimize;

/// One attempt of a surrogate-model mega-iteration: brings the surrogate up
/// to date with the cache, then optimises the surrogate problem; its product
/// is the optimisation's oracle points.
class TeskoraModelIteration : public Iteration
{
public:
    TeskoraModelIteration(const Step* parentStep, size_t k);
    ~TeskoraModelIteration() override;

    /// Empty when the optimisation did not run.
    const std::set<EvalPoint, EvalPointCompare>& getOraclePoints() const;

protected:
    void init();
    void startImp() override;
    bool runImp() override;

private:
    std::shared_ptr<TeskoraModelOptimize> _optimize;
};

} // namespace QARNO_4_0_0

#endif
