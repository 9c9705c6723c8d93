#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <vector>

#include "Algos/EvaluatorSettingsGuard.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Eval/EvcMainThreadInfo.hpp"
#include "Output/OutputQueue.hpp"
#include "support/EvcSupport.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using namespace QarnoTest;

TEST(EvaluatorSettingsGuard, GivesTheQueueBackOnEveryWayOut)
{
    for (const bool throwing : {false, true})
    {
        SCOPED_TRACE(throwing ? "an exception" : "the normal end");
        ProcessStateGuard state;
        OutputQueue::getInstance()->initParameters(makeDisplayParameters(2, 2, ""));
        EvcOptions options;
        options.opportunistic = true;
        EvcHarness h(options, {BBOutputType::OBJ}, firstCoordinateObjective());
        const auto blackbox = h.evc->getMainThreadInfo(-1).getEvaluator();
        auto model = std::make_shared<FunctionEvaluator>(
            BBOutputTypeList{BBOutputType::OBJ}, firstCoordinateObjective(), EvalType::SGTE);
        try
        {
            EvaluatorSettingsGuard guard(h.evc, true);
            h.evc->setOpportunisticEval(false);
            h.evc->setUseCache(false);
            guard.install(model);
            // Queued for the model and never taken, as an inner run that
            // stops on its surrogate budget leaves them.
            ASSERT_TRUE(h.queueAll({{1, 1}, {2, 2}}));
            ASSERT_EQ(2u, h.evc->getQueueSize(-1));
            if (throwing)
            {
                throw std::runtime_error("the inner run failed");
            }
        }
        catch (const std::runtime_error&)
        {
        }

        EXPECT_EQ(0u, h.evc->getQueueSize(-1));
        EXPECT_EQ(blackbox, h.evc->getMainThreadInfo(-1).getEvaluator());
        EXPECT_TRUE(h.evc->getOpportunisticEval(-1));
        EXPECT_TRUE(h.evc->getUseCache(-1));

        // The blackbox then gets its own points only.
        ASSERT_TRUE(h.queueAll({{3, 3}}));
        EXPECT_NO_THROW(h.evc->run());
        EXPECT_EQ((std::vector<std::vector<double>>{{3, 3}}), h.evaluator->evaluatedPoints());
        EXPECT_TRUE(model->blocks.empty());
    }
}
