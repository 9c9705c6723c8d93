// One MADS iteration: search, then poll unless the search fully succeeded
// or the run must stop; the success kept is the better of the two.

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/Mads/GMesh.hpp"
#include "Algos/Mads/MadsIteration.hpp"
#include "Algos/Mads/MadsMegaIteration.hpp"
#include "Eval/Barrier.hpp"
#include "Util/AllStopReasons.hpp"
#include "support/EvcSupport.hpp"
#include "support/MadsSupport.hpp"
#include "support/StepSupport.hpp"
#include "support/StepTree.hpp"
#include "support/TestSupport.hpp"

namespace
{

using namespace QARNO_4_0_0;
using QarnoTest::EvcHarness;
using QarnoTest::MadsUnderTest;
using QarnoTest::makeMadsPoint;
using QarnoTest::messageOf;
using QarnoTest::ProcessStateGuard;

/// An iteration around ( 1 1 ) (f = x0 = 1) in a mega-iteration of the
/// Mads of `madsRun`.
struct IterationUnderTest
{
    explicit IterationUnderTest(MadsUnderTest& madsRun)
        : center(makeMadsPoint({1, 1}, 1, 0)),
          barrier(std::make_shared<Barrier>(INF, Point(2), EvalType::BB,
                                            std::vector<EvalPoint>{center})),
          mesh(std::make_shared<GMesh>(madsRun.params->get_pb_params())),
          mega(madsRun.mads.get(), 4, barrier, mesh, SuccessType::NOT_EVALUATED),
          iteration(&mega, std::make_shared<EvalPoint>(center), 4, mesh)
    {
    }

    EvalPoint center;
    std::shared_ptr<Barrier> barrier;
    std::shared_ptr<GMesh> mesh;
    MadsMegaIteration mega;
    MadsIteration iteration;
};

TEST(MadsIteration, PollFindsALowerPoint)
{
    ProcessStateGuard guard;
    EvcHarness algoRun;
    MadsUnderTest madsRun(2);
    IterationUnderTest under(madsRun);
    EXPECT_EQ("MADS Iteration 4", under.iteration.getName());
    EXPECT_TRUE(under.iteration.isMainIteration());

    under.iteration.start();
    EXPECT_TRUE(under.iteration.run());
    under.iteration.end();
    EXPECT_EQ(SuccessType::FULL_SUCCESS, under.iteration.getSuccessType());
    EXPECT_FALSE(algoRun.evaluator->evaluatedPoints().empty());
}

TEST(MadsIteration, StoppedRunBuildsNeitherStep)
{
    ProcessStateGuard guard;
    EvcHarness algoRun;
    MadsUnderTest madsRun(2);
    IterationUnderTest under(madsRun);
    AlgoStopReasons<MadsStopType>::get(madsRun.mads->getAllStopReasons())
        ->_algoStopReason.set(MadsStopType::MIN_MESH_SIZE_REACHED);

    EXPECT_FALSE(under.iteration.run());
    EXPECT_EQ(SuccessType::NOT_EVALUATED, under.iteration.getSuccessType());
    EXPECT_TRUE(algoRun.evaluator->evaluatedPoints().empty());
}

TEST(MadsIteration, OnlyForEvaluationOneIterationAtATime)
{
    ProcessStateGuard guard;
    EvcHarness algoRun;
    MadsUnderTest madsRun(2, {"GENERATE_ALL_POINTS_BEFORE_EVAL yes"});
    IterationUnderTest under(madsRun);
    EXPECT_EQ("Error: virtual bool QARNO_4_0_0::MadsIteration::runImp() should only be called if "
              " parameter GENERATE_ALL_POINTS_BEFORE_EVAL is false",
              messageOf([&] { under.iteration.run(); }));
}

TEST(MadsIteration, MainIterationOnlyOnTheMainMeshAndFirstIncumbent)
{
    ProcessStateGuard guard;
    EvcHarness algoRun;
    MadsUnderTest madsRun(2);
    IterationUnderTest under(madsRun);
    const auto center = std::make_shared<EvalPoint>(under.center);
    const MadsIteration otherMesh(&under.mega, center, 4,
                                  std::make_shared<GMesh>(madsRun.params->get_pb_params()));
    const MadsIteration next(&under.mega, center, 5, under.mesh);
    const MadsIteration otherCenter(
        &under.mega, std::make_shared<EvalPoint>(makeMadsPoint({2, 1}, 2, 0)), 4, under.mesh);
    EXPECT_FALSE(otherMesh.isMainIteration());
    EXPECT_FALSE(next.isMainIteration());
    EXPECT_FALSE(otherCenter.isMainIteration());
}

} // namespace
