#ifndef QARNO_TESTS_SUPPORT_SUBSPACESUPPORT_HPP
#define QARNO_TESTS_SUPPORT_SUBSPACESUPPORT_HPP

#include <memory>
#include <string>
#include <vector>

#include "Algos/Mads/MegaSearchPoll.hpp"
#include "Algos/MeshBase.hpp"
#include "Algos/PhaseOne/PhaseOne.hpp"
#include "Algos/Subproblem.hpp"
#include "Math/Point.hpp"
#include "Param/PbParameters.hpp"
#include "support/StepSupport.hpp"
#include "support/StepTree.hpp"

namespace QarnoTest
{

/// Checked problem parameters of dimension `fixed.size()`, X0 the fixed
/// values and ones elsewhere,
/// FIXED_VARIABLE `fixed` (UNDEF for a free variable).
std::shared_ptr<QARNO_4_0_0::PbParameters> makeFixedPbParams(const std::vector<double>& fixed);

/// A phase-one algorithm that does nothing by itself, with the parameter
/// sets given.
class FakePhaseOne : public QARNO_4_0_0::PhaseOne
{
public:
    FakePhaseOne(const QARNO_4_0_0::Step* parent,
                 const std::shared_ptr<QARNO_4_0_0::RunParameters>& runParams,
                 const std::shared_ptr<QARNO_4_0_0::PbParameters>& pbParams);

    void readInformationForHotRestart() override {}

protected:
    void startImp() override {}
    bool runImp() override { return true; }
    void endImp() override {}
};

/// A root step "Main" with a `TestAlgorithm` "Algo" below it (below a
/// `FakePhaseOne` "PhaseOne" with `underPhaseOne`), whose sub-problem fixes
/// `fixed` (UNDEF for a free variable): the top algorithm is built on
/// `makeFixedPbParams(fixed)`, and the algorithms register their
/// sub-problems themselves for their lifetime. Hold a ProcessStateGuard
/// around it.
class SubspaceAlgorithm
{
public:
    explicit SubspaceAlgorithm(const std::vector<double>& fixed, bool underPhaseOne = false);
    SubspaceAlgorithm(const SubspaceAlgorithm&) = delete;
    SubspaceAlgorithm& operator=(const SubspaceAlgorithm&) = delete;

    RecordingStep main;
    std::unique_ptr<FakePhaseOne> phaseOne;
    TestAlgorithm algo;
};

/// A mega search-poll step that attributes every point to `iteration` (null:
/// to none) and counts the questions.
class FakeMegaSearchPoll : public QARNO_4_0_0::MegaSearchPoll
{
public:
    FakeMegaSearchPoll(const QARNO_4_0_0::Step* parent, const QARNO_4_0_0::Step* iteration);

    const QARNO_4_0_0::Step* getIterForPoint(const QARNO_4_0_0::EvalPoint& point) const override;

    const QARNO_4_0_0::Step* iteration;
    mutable size_t questions = 0;

protected:
    void startImp() override {}
    bool runImp() override { return true; }
    void endImp() override {}
};

} // namespace QarnoTest

#endif
