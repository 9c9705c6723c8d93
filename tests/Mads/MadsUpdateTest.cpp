// The mesh update between two MADS mega-iterations: the success computed
// from the barrier's references, what it does to the frame and its
// messages.

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Algos/Mads/GMesh.hpp"
#include "Algos/Mads/MadsMegaIteration.hpp"
#include "Algos/Mads/MadsUpdate.hpp"
#include "Eval/Barrier.hpp"
#include "support/CacheSupport.hpp"
#include "support/EvcSupport.hpp"
#include "support/MadsSupport.hpp"
#include "support/StepSupport.hpp"
#include "support/StepTree.hpp"
#include "support/TestSupport.hpp"

namespace
{

using namespace QARNO_4_0_0;
using QarnoTest::EvcHarness;
using QarnoTest::infoMessagesOf;
using QarnoTest::MadsUnderTest;
using QarnoTest::makeMadsPoint;
using QarnoTest::messageOf;
using QarnoTest::ProcessStateGuard;

enum class Frame
{
    SAME,
    LARGER,
    SMALLER
};

struct UpdateCase
{
    std::string name;
    std::vector<EvalPoint> barrierPoints;
    std::shared_ptr<EvalPoint> refFeas;
    std::shared_ptr<EvalPoint> refInf;
    SuccessType megaSuccess;
    std::vector<std::string> messages;
    std::vector<std::string> absentMessages;
    Frame frame;
};

std::shared_ptr<EvalPoint> ref(const EvalPoint& point)
{
    return std::make_shared<EvalPoint>(point);
}

bool contains(const std::string& text, const std::string& part)
{
    return std::string::npos != text.find(part);
}

TEST(MadsUpdate, SuccessDecidesTheFrame)
{
    // Points are given as (coordinates, f, c) with h = c^2 for c > 0.
    const EvalPoint feas = makeMadsPoint({1, 1}, 5, 0, {1, 1});
    const EvalPoint betterFeas = makeMadsPoint({2, 1}, 3, 0, {1, 1});
    const EvalPoint inf = makeMadsPoint({0, 0}, 1, 2, {0, 0});
    const EvalPoint improvingInf = makeMadsPoint({0, 1}, 2, 1, {0, 0});
    const EvalPoint dominatingInf = makeMadsPoint({0, 1}, 0.5, 1, {0, 0});
    const EvalPoint feasFromInf = makeMadsPoint({1, 1}, 5, 0, {0, 0});
    const std::string successful = "Last Iteration Successful.";
    const std::string improving = "Last Iteration Improving. Delta remains the same.";
    const std::string unsuccessful = "Last Iteration Unsuccessful. Refine Delta.";

    const std::vector<UpdateCase> cases = {
        {"first update",
         {feas},
         nullptr,
         nullptr,
         SuccessType::NOT_EVALUATED,
         {"delta mesh  size = ", "Delta frame size = "},
         {successful, improving, unsuccessful},
         Frame::SAME},
        {"better feasible point",
         {betterFeas},
         ref(feas),
         nullptr,
         SuccessType::NOT_EVALUATED,
         {"New direction 1 0", successful},
         {improving, unsuccessful},
         Frame::LARGER},
        {"same feasible point",
         {feas},
         ref(feas),
         nullptr,
         SuccessType::NOT_EVALUATED,
         {unsuccessful},
         {successful, improving},
         Frame::SMALLER},
        {"improving infeasible point",
         {feas, improvingInf},
         ref(feas),
         ref(inf),
         SuccessType::NOT_EVALUATED,
         {"New direction 0 1", improving},
         {successful, unsuccessful},
         Frame::SAME},
        {"dominating infeasible point",
         {feas, dominatingInf},
         ref(feas),
         ref(inf),
         SuccessType::NOT_EVALUATED,
         {"New direction 0 1", successful},
         {improving, unsuccessful},
         Frame::LARGER},
        {"first feasible point",
         {feasFromInf},
         nullptr,
         ref(inf),
         SuccessType::NOT_EVALUATED,
         {"New direction 1 1", successful},
         {improving, unsuccessful},
         Frame::LARGER},
        {"success type of the mega-iteration differs",
         {feas},
         ref(feas),
         nullptr,
         SuccessType::FULL_SUCCESS,
         {"Warning: MegaIteration success type: Full success (dominating). Is different than "
          "computed success type: Failure\nRef best feasible:   ",
          unsuccessful},
         {successful},
         Frame::SMALLER},
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard guard;
        EvcHarness run;
        MadsUnderTest madsRun(2);
        auto barrier = std::make_shared<Barrier>(INF, Point(2), EvalType::BB, c.barrierPoints);
        barrier->setRefBestFeas(c.refFeas);
        barrier->setRefBestInf(c.refInf);
        auto mesh = std::make_shared<GMesh>(madsRun.params->get_pb_params());
        const ArrayOfDouble frameBefore = mesh->getDeltaFrameSize();
        MadsMegaIteration mega(madsRun.mads.get(), 0, barrier, mesh, c.megaSuccess);

        const std::string out = infoMessagesOf(
            [&]
            {
                MadsUpdate update(&mega);
                update.start();
                EXPECT_TRUE(update.run());
                update.end();
            });
        for (const auto& message : c.messages)
        {
            EXPECT_TRUE(contains(out, message)) << message << "\n" << out;
        }
        for (const auto& message : c.absentMessages)
        {
            EXPECT_FALSE(contains(out, message)) << message << "\n" << out;
        }

        const ArrayOfDouble frameAfter = mesh->getDeltaFrameSize();
        switch (c.frame)
        {
        case Frame::SAME:
            EXPECT_EQ(frameBefore, frameAfter);
            break;
        case Frame::LARGER:
            EXPECT_TRUE(frameAfter[0] > frameBefore[0] || frameAfter[1] > frameBefore[1]);
            EXPECT_TRUE(frameAfter[0] >= frameBefore[0] && frameAfter[1] >= frameBefore[1]);
            break;
        case Frame::SMALLER:
            EXPECT_TRUE(frameAfter[0] < frameBefore[0] || frameAfter[1] < frameBefore[1]);
            break;
        }

        // The current best points are the references of the next update.
        ASSERT_NE(nullptr, barrier->getRefBestFeas());
        EXPECT_EQ(*barrier->getFirstXFeas(), *barrier->getRefBestFeas());
    }
}

TEST(MadsUpdate, SuccessWithoutGeneratingPointIsRefused)
{
    ProcessStateGuard guard;
    EvcHarness run;
    MadsUnderTest madsRun(2);
    const EvalPoint feas = makeMadsPoint({1, 1}, 5, 0);
    auto barrier = std::make_shared<Barrier>(INF, Point(2), EvalType::BB,
                                             std::vector<EvalPoint>{makeMadsPoint({2, 1}, 3, 0)});
    barrier->setRefBestFeas(ref(feas));
    auto mesh = std::make_shared<GMesh>(madsRun.params->get_pb_params());
    MadsMegaIteration mega(madsRun.mads.get(), 0, barrier, mesh, SuccessType::NOT_EVALUATED);
    MadsUpdate update(&mega);
    const std::string message = messageOf([&] { update.run(); });
    EXPECT_EQ(0u, message.find("Error: Update cannot compute new direction for successful point: "
                               "pointFromPtr is NULL #"))
        << message;
}

TEST(MadsUpdate, NeedsAMadsMegaIterationAbove)
{
    ProcessStateGuard guard;
    EvcHarness run;
    MadsUnderTest madsRun(2);
    EXPECT_EQ("Error: An instance of class MadsUpdate must have a MegaIteration among its "
              "ancestors",
              messageOf([&] { MadsUpdate update(madsRun.mads.get()); }));
}

} // namespace
