// The single pass of Nelder-Mead reflective moves that the MADS search uses
// when all points are gathered before evaluation.

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Algos/Mads/MadsIteration.hpp"
#include "Algos/NelderMead/NMAllReflective.hpp"
#include "support/GatheringSupport.hpp"
#include "support/TestSupport.hpp"

namespace
{

using namespace QARNO_4_0_0;
using QarnoTest::GatheringTree;
using QarnoTest::ProcessStateGuard;
using QarnoTest::SeenEvaluation;

std::shared_ptr<MadsIteration> firstIteration(const GatheringTree& tree)
{
    return std::dynamic_pointer_cast<MadsIteration>(tree.mega.getIterationList().front());
}

TEST(NMAllReflective, OnePassProposesTheMovesOfOneSimplexUnevaluated)
{
    const struct
    {
        const char* name;
        std::vector<std::string> lines;
        size_t atMost;
    } cases[] = {
        {"default coefficients", {}, 4},
        // The outside contraction falls on the reflection: held once.
        {"outside contraction coefficient 1", {"NM_DELTA_OC 1"}, 3},
        {"expansion coefficient 3", {"NM_DELTA_E 3"}, 4},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard guard;
        std::vector<std::string> lines = {"GENERATE_ALL_POINTS_BEFORE_EVAL yes"};
        lines.insert(lines.end(), c.lines.begin(), c.lines.end());
        GatheringTree tree(lines, QarnoTest::twoIncumbents(), QarnoTest::neighbours());
        std::vector<SeenEvaluation> seen;
        QarnoTest::recordEvaluations(*tree.run.evaluator, seen);
        const auto iteration = firstIteration(tree);
        ASSERT_NE(nullptr, iteration);

        NMAllReflective pass(iteration.get(), iteration->getFrameCenter(), iteration->getMesh());
        pass.start();
        const NMSimplex yAfterStart = *pass.getY();
        pass.end();

        EXPECT_GE(pass.getTrialPointsCount(), 1u);
        EXPECT_LE(pass.getTrialPointsCount(), c.atMost);
        ASSERT_EQ(3u, pass.getY()->size());
        EXPECT_EQ(yAfterStart.size(), pass.getY()->size());
        for (size_t i = 0; i < yAfterStart.size(); ++i)
        {
            EXPECT_EQ(yAfterStart[i], (*pass.getY())[i]);
        }
        for (const auto& p : pass.getTrialPoints())
        {
            EXPECT_NE(nullptr, p.getPointFrom());
        }
        EXPECT_TRUE(seen.empty());
        EXPECT_NE(std::string::npos, pass.getAllStopReasons()->getStopReasonAsString().find(
                                         "NM with a single iteration is completed"));
        // Its own stop reasons: the MADS run is not told to stop.
        EXPECT_FALSE(tree.mega.getAllStopReasons()->checkTerminate());
    }
}

TEST(NMAllReflective, NeedsTheGatheringModeAndASimplex)
{
    {
        SCOPED_TRACE("not in gathering mode");
        ProcessStateGuard guard;
        GatheringTree tree({}, QarnoTest::twoIncumbents(), QarnoTest::neighbours());
        const auto iteration = firstIteration(tree);
        NMAllReflective pass(iteration.get(), iteration->getFrameCenter(), iteration->getMesh());
        EXPECT_NE(std::string::npos,
                  QarnoTest::messageOf([&] { pass.start(); })
                      .find("virtual void QARNO_4_0_0::NMAllReflective::startImp() should only be "
                            "called if  parameter GENERATE_ALL_POINTS_BEFORE_EVAL is true"));
    }
    {
        SCOPED_TRACE("too few cached points for a simplex");
        ProcessStateGuard guard;
        GatheringTree tree({"GENERATE_ALL_POINTS_BEFORE_EVAL yes"}, QarnoTest::twoIncumbents(), {});
        const auto iteration = firstIteration(tree);
        NMAllReflective pass(iteration.get(), iteration->getFrameCenter(), iteration->getMesh());
        pass.start();
        pass.end();
        EXPECT_EQ(0u, pass.getTrialPointsCount());
        EXPECT_EQ(std::string::npos, pass.getAllStopReasons()->getStopReasonAsString().find(
                                         "NM with a single iteration is completed"));
    }
}

} // namespace
