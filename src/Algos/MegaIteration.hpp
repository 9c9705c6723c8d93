#ifndef QARNO_ALGOS_MEGAITERATION_HPP
#define QARNO_ALGOS_MEGAITERATION_HPP

#include <cstddef>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "Algos/Iteration.hpp"
#include "Algos/Step.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

/// The unit an algorithm's run loop repeats: iterations that share one
/// progressive barrier, with the mega-iteration number k. Its text form
/// (ITERATION_COUNT, BARRIER) is the mega-iteration block of the
/// hot-restart file.
class MegaIteration : public Step
{
public:
    /// Child step named after its algorithm and k ("MADS MegaIteration 0").
    /// Throws a `StepException` for an empty barrier.
    MegaIteration(const Step* parentStep, size_t k, std::shared_ptr<Barrier> barrier,
                  SuccessType success);
    ~MegaIteration() override;

    /// k plus the iterations run, or k + 1 when none ran.
    size_t getNextK() const;

    /// Brings the wanted numbers of iterations on feasible and infeasible
    /// frame centres within MAX_ITERATION_PER_MEGAITERATION, sharing it
    /// half and half when both want more than their half.
    void computeMaxXFeasXInf(size_t& maxXFeas, size_t& maxXInf) const;

    const std::shared_ptr<Barrier>& getBarrier() const { return _barrier; }
    size_t getK() const { return _k; }
    void setK(size_t k) { _k = k; }
    size_t getNbIterRun() const { return _nbIterRun; }
    SuccessType getSuccessType() const { return _megaIterationSuccess; }
    void setSuccessType(SuccessType success) { _megaIterationSuccess = success; }
    const std::vector<std::shared_ptr<Iteration>>& getIterationList() const { return _iterList; }

    /// Token loop over "ITERATION_COUNT" and "BARRIER"; the first other word
    /// is put back for the enclosing reader. k becomes the value read, 0
    /// when absent.
    virtual void read(std::istream& is);
    /// "ITERATION_COUNT k", "BARRIER", then the barrier.
    virtual void display(std::ostream& os) const;

protected:
    /// The token loop of `read`: ITERATION_COUNT, BARRIER and the tokens of
    /// `readOwnToken`; the first other word is put back. Without a barrier
    /// the error text ends with a line end when `nullBarrierLineEnd`.
    void readTokens(std::istream& is, bool nullBarrierLineEnd);
    /// Reads the value of a keyword of a subclass's own block; false for a
    /// keyword it does not know.
    virtual bool readOwnToken(const std::string& /*token*/, std::istream& /*is*/) { return false; }

    void init();

    void startImp() override = 0;
    bool runImp() override = 0;
    /// With USER_CALLS_ENABLED, the end-of-mega-iteration callback, which
    /// may stop the whole run; then the iterations are released.
    void endImp() override;

    bool isAMegaIteration() const override { return true; }
    std::shared_ptr<Barrier> ownMegaIterationBarrier() const override { return _barrier; }

    std::vector<std::shared_ptr<Iteration>> _iterList;
    std::shared_ptr<Barrier> _barrier;
    size_t _k;
    size_t _nbIterRun;
    SuccessType _megaIterationSuccess;
};

std::ostream& operator<<(std::ostream& os, const MegaIteration& megaIteration);
std::istream& operator>>(std::istream& is, MegaIteration& megaIteration);

} // namespace QARNO_4_0_0

#endif
