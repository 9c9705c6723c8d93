#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "Algos/Mads/LHSearchMethod.hpp"
#include "Algos/Mads/Search.hpp"
#include "Eval/Barrier.hpp"
#include "Math/Double.hpp"
#include "Type/LHSearchType.hpp"
#include "support/CacheSupport.hpp"
#include "support/EvalSupport.hpp"
#include "support/SearchSupport.hpp"
#include "support/StepSupport.hpp"
#include "support/StepTree.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using namespace QarnoTest;

namespace
{

std::shared_ptr<Barrier> barrierAt(const std::vector<double>& x)
{
    return std::make_shared<Barrier>(Double(INF), Point(x.size()), EvalType::BB,
                                     std::vector<EvalPoint>{QarnoTest::makeEvalPoint(x, 1, 0)});
}

std::shared_ptr<RunParameters> lhRunParams(const std::shared_ptr<PbParameters>& pb,
                                           const std::string& lhSearch)
{
    return QarnoTest::makeSearchRunParams(
        pb,
        [&](RunParameters& run)
        {
            run.setAttributeValue<bool>("SPECULATIVE_SEARCH", false);
            if (!lhSearch.empty())
            {
                run.setAttributeValue("LH_SEARCH", LHSearchType(lhSearch));
            }
        });
}

SearchMethodBase& lhOf(const Search& search)
{
    for (const auto& method : search.getSearchMethods())
    {
        if ("Latin Hypercube Search Method" == method->getName())
        {
            return *method;
        }
    }
    throw std::logic_error("no Latin-hypercube search");
}

} // namespace

TEST(LHSearchMethod, PointCountsAtTheFirstIterationAndAfter)
{
    const struct
    {
        const char* lhSearch;
        bool enabled;
        size_t atFirst;
        size_t after;
    } cases[] = {
        {"100 0", true, 100, 0}, {"0 5", true, 0, 5}, {"7 3", true, 7, 3},
        {"0 0", false, 0, 0},    {"", false, 0, 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string("LH_SEARCH \"") + c.lhSearch + "\"");
        ProcessStateGuard guard;
        StreamCapture quiet(std::cout);
        QarnoTest::startCache({BBOutputType::OBJ});
        // A wide box and a fine mesh: the projected points stay apart.
        auto pb = QarnoTest::makeBoundedPbParams({-100, -100}, {100, 100}, {1, 1});
        auto mesh = QarnoTest::makeProjectingMesh(pb, {1e-6, 1e-6}, {1, 1});
        auto center = QarnoTest::makeFrameCenter({1, 1}, {});
        StepTree tree(searchTree(lhRunParams(pb, c.lhSearch), pb, barrierAt({1, 1}), mesh, center));
        TestIteration first(&tree.mega, 0, mesh, center);

        for (const auto& [iteration, expected] :
             {std::pair<const Step*, size_t>{&first, c.atFirst}, {&tree.iteration, c.after}})
        {
            Search search(iteration);
            auto& method = lhOf(search);
            EXPECT_EQ(c.enabled, method.isEnabled());
            if (!c.enabled)
            {
                continue;
            }
            method.generateTrialPoints();
            EXPECT_EQ(expected, method.getTrialPointsCount());
            for (const auto& point : method.getTrialPoints())
            {
                for (size_t i = 0; i < 2; ++i)
                {
                    EXPECT_LE(-100.0, point[i].todouble());
                    EXPECT_GE(100.0, point[i].todouble());
                }
            }
        }
    }
}

TEST(LHSearchMethod, MissingBoundsAreSetAroundTheFrameCentre)
{
    const double r1 = (10.0 * 1.0) * 5.471161321778275;
    const double rHalf = (10.0 * 0.5) * 5.471161321778275;
    const struct
    {
        const char* name;
        std::vector<double> lb, ub, center, Delta;
        std::vector<double> expectedLb, expectedUb;
    } cases[] = {
        {"unbounded, centre 0, frame 1", {UNDEF}, {UNDEF}, {0}, {1}, {-r1}, {r1}},
        {"lower bound 0 only, centre 2, frame 0.5", {0}, {UNDEF}, {2}, {0.5}, {0}, {2 + rHalf}},
        {"upper bound only", {UNDEF}, {3}, {2}, {0.5}, {2 - rHalf}, {3}},
        {"both bounds kept", {-1}, {1}, {0}, {1}, {-1}, {1}},
        {"per coordinate", {UNDEF, 0}, {UNDEF, UNDEF}, {0, 2}, {1, 0.5}, {-r1, 0}, {r1, 2 + rHalf}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ArrayOfDouble lb = makeArray(c.lb);
        ArrayOfDouble ub = makeArray(c.ub);
        LHSearchMethod::completeBounds(lb, ub, Point(makeArray(c.center)), makeArray(c.Delta));
        for (size_t i = 0; i < c.center.size(); ++i)
        {
            EXPECT_DOUBLE_EQ(c.expectedLb[i], lb[i].todouble());
            EXPECT_DOUBLE_EQ(c.expectedUb[i], ub[i].todouble());
        }
    }
    EXPECT_NEAR(54.71161321778275, r1, 1e-12);
    EXPECT_NEAR(2 + 27.355806608891374, 2 + rHalf, 1e-12);
}

TEST(LHSearchMethod, UnboundedSampleFillsTheRangeAroundTheCentre)
{
    // Frame centre 0, frame size 1, no bound: 40 points, one in each fortieth
    // of [-54.71..., 54.71...] (up to the mesh projection of 1e-6).
    ProcessStateGuard guard;
    StreamCapture quiet(std::cout);
    QarnoTest::startCache({BBOutputType::OBJ});
    auto pb = QarnoTest::makeBoundedPbParams({UNDEF}, {UNDEF}, {0});
    auto mesh = QarnoTest::makeProjectingMesh(pb, {1e-6}, {1});
    auto center = QarnoTest::makeFrameCenter({0}, {});
    StepTree tree(searchTree(lhRunParams(pb, "40 0"), pb, barrierAt({0}), mesh, center));
    TestIteration first(&tree.mega, 0, mesh, center);
    Search search(&first);
    auto& method = lhOf(search);
    method.generateTrialPoints();
    ASSERT_EQ(40u, method.getTrialPointsCount());
    const double r = 54.71161321778275;
    std::vector<int> slices;
    for (const auto& point : method.getTrialPoints())
    {
        const double x = point[0].todouble();
        EXPECT_LE(-r - 1e-6, x);
        EXPECT_GE(r + 1e-6, x);
        slices.push_back(static_cast<int>(std::floor((x + r) / (2 * r) * 40)));
    }
    // The set is sorted by coordinate: slice j holds the j-th point, except
    // where the projection moved a point across a slice edge.
    size_t inPlace = 0;
    for (size_t j = 0; j < slices.size(); ++j)
    {
        inPlace += (static_cast<int>(j) == slices[j]) ? 1 : 0;
    }
    EXPECT_GE(inPlace, 38u);
}

TEST(LHSearchMethod, MissingAncestorsAreReported)
{
    ProcessStateGuard guard;
    StreamCapture quiet(std::cout);
    QarnoTest::startCache({BBOutputType::OBJ});
    auto pb = QarnoTest::makeBoundedPbParams({-1, -1}, {1, 1}, {0, 0});
    auto mesh = QarnoTest::makeProjectingMesh(pb, {0.1, 0.1}, {1, 1});
    auto center = QarnoTest::makeFrameCenter({0, 0}, {});
    StepTree tree(searchTree(lhRunParams(pb, "5 5"), pb, barrierAt({0, 0}), mesh, center));
    {
        TestIteration noMesh(&tree.mega, 0, nullptr, center);
        Search search(&noMesh);
        EXPECT_EQ("LHSearchMethod: must have a mesh",
                  messageOf([&] { lhOf(search).generateTrialPoints(); }));
    }
    {
        TestIteration noCenter(&tree.mega, 0, mesh, nullptr);
        Search search(&noCenter);
        EXPECT_EQ("LHSearchMethod: must have a frameCenter",
                  messageOf([&] { lhOf(search).generateTrialPoints(); }));
    }
}
