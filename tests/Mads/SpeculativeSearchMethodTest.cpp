#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "Algos/Mads/GMesh.hpp"
#include "Algos/Mads/Search.hpp"
#include "Algos/Mads/SearchMethodBase.hpp"
#include "Algos/Mads/SpeculativeSearchMethod.hpp"
#include "Math/Double.hpp"
#include "Output/OutputQueue.hpp"
#include "support/CacheSupport.hpp"
#include "support/EvalSupport.hpp"
#include "support/SearchSupport.hpp"
#include "support/StepSupport.hpp"
#include "support/StepTree.hpp"
#include "support/SubspaceSupport.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using namespace QarnoTest;

namespace
{

using Coords = std::vector<std::vector<double>>;

std::shared_ptr<Barrier> barrierAt(const std::vector<double>& x)
{
    return std::make_shared<Barrier>(Double(INF), Point(x.size()), EvalType::BB,
                                     std::vector<EvalPoint>{QarnoTest::makeEvalPoint(x, 1, 0)});
}

std::shared_ptr<RunParameters> speculativeRunParams(const std::shared_ptr<PbParameters>& pb,
                                                    size_t max, bool enabled = true)
{
    return QarnoTest::makeSearchRunParams(
        pb,
        [&](RunParameters& run)
        {
            run.setAttributeValue<bool>("SPECULATIVE_SEARCH", enabled);
            run.setAttributeValue<size_t>("SPECULATIVE_SEARCH_MAX", max);
        });
}

SearchMethodBase& speculativeOf(const Search& search)
{
    return *search.getSearchMethods().at(0);
}

} // namespace

TEST(SpeculativeSearchMethod, PointsGoWholeFramesAlongTheLastMove)
{
    const double none = UNDEF;
    struct Case
    {
        const char* name;
        std::vector<double> origin;
        std::vector<double> Delta;
        std::vector<double> delta;
        size_t max;
        std::vector<double> lb;
        std::vector<double> ub;
        Coords expected;
        std::vector<double> x0; // X0 of the problem; all ones when empty
    };
    // Frame centre (1 1) throughout.
    const Case cases[] = {
        {"three frames along d = (2 0.5): factor 1/2",
         {-1, 0.5},
         {1, 1},
         {0.25, 0.25},
         3,
         {none, none},
         {none, none},
         {{2, 1.25}, {3, 1.5}, {4, 1.75}},
         {}},
        {"a zero coordinate does not limit the factor",
         {1, -3},
         {1, 2},
         {0.5, 0.5},
         1,
         {none, none},
         {none, none},
         {{1, 3}},
         {}},
        {"a move toward smaller values",
         {2, 1.5},
         {0.5, 0.5},
         {0.25, 0.25},
         1,
         {none, none},
         {none, none},
         {{0.5, 0.75}},
         {}},
        {"SPECULATIVE_SEARCH_MAX 0 proposes nothing",
         {-1, 0.5},
         {1, 1},
         {0.25, 0.25},
         0,
         {none, none},
         {none, none},
         {},
         {}},
        {"a starting point has no origin",
         {},
         {1, 1},
         {0.25, 0.25},
         3,
         {none, none},
         {none, none},
         {},
         {}},
        {"an origin equal to the frame centre gives no move",
         {1, 1},
         {1, 1},
         {0.25, 0.25},
         3,
         {none, none},
         {none, none},
         {},
         {}},
        {"projected on the mesh",
         {-1, 0.5},
         {1, 1},
         {0.5, 0.5},
         1,
         {none, none},
         {none, none},
         {{2, 1.5}},
         {}},
        {"points moved onto a bound are held once",
         {0, 1},
         {1, 1},
         {0.5, 0.5},
         3,
         {none, none},
         {2.5, 10},
         {{2, 1}, {2.5, 1}},
         {}},
        {"a point with no mesh point within the bounds is dropped",
         {0, 1},
         {1, 1},
         {0.5, 0.5},
         1,
         {1.1, 0},
         {1.4, 10},
         {},
         {1.2, 1}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard guard;
        StreamCapture quiet(std::cout);
        QarnoTest::startCache({BBOutputType::OBJ});
        auto pb = QarnoTest::makeBoundedPbParams(c.lb, c.ub, c.x0);
        StepTree tree(searchTree(speculativeRunParams(pb, c.max), pb, barrierAt({1, 1}),
                                 QarnoTest::makeProjectingMesh(pb, c.delta, c.Delta),
                                 QarnoTest::makeFrameCenter({1, 1}, c.origin)));
        Search search(&tree.iteration);
        auto& method = speculativeOf(search);
        ASSERT_TRUE(method.isEnabled());

        method.generateTrialPoints();

        EXPECT_EQ(c.expected, QarnoTest::coordinatesOf(method.getTrialPoints()));
        for (const auto& point : method.getTrialPoints())
        {
            ASSERT_NE(nullptr, point.getPointFrom());
            EXPECT_EQ(makeArray({1, 1}), static_cast<const ArrayOfDouble&>(*point.getPointFrom()));
        }
    }
}

TEST(SpeculativeSearchMethod, OriginIsTakenInTheSubspace)
{
    // The sub-problem fixes x1 = 5; the frame centre is (1) in the
    // sub-space and its origin (-1 5) is recorded in full space.
    ProcessStateGuard guard;
    StreamCapture quiet(std::cout);
    QarnoTest::startCache({BBOutputType::OBJ});
    QarnoTest::SubspaceAlgorithm sub({UNDEF, 5.0});
    const auto& pb = sub.algo.getPbParams();
    QarnoTest::TestMegaIteration mega(&sub.algo, 1, barrierAt({1}));
    auto mesh = QarnoTest::makeProjectingMesh(pb, {0.5}, {1.5});
    QarnoTest::TestIteration iteration(&mega, 1, mesh, QarnoTest::makeFrameCenter({1}, {-1, 5}));
    Search search(&iteration);
    auto& method = speculativeOf(search);
    method.generateTrialPoints();
    EXPECT_EQ(Coords({{2.5}}), QarnoTest::coordinatesOf(method.getTrialPoints()));
}

TEST(SpeculativeSearchMethod, ReportsDirectionScaledDirectionsAndCount)
{
    const struct
    {
        int degree;
        bool shown;
    } cases[] = {{2, false}, {3, true}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.degree);
        ProcessStateGuard guard;
        StreamCapture out(std::cout);
        QarnoTest::startCache({BBOutputType::OBJ});
        OutputQueue::getInstance()->setDisplayDegree(c.degree);
        auto pb = QarnoTest::makeBoundedPbParams({UNDEF, UNDEF}, {UNDEF, UNDEF});
        StepTree tree(searchTree(speculativeRunParams(pb, 2), pb, barrierAt({1, 1}),
                                 QarnoTest::makeProjectingMesh(pb, {0.25, 0.25}, {1, 1}),
                                 QarnoTest::makeFrameCenter({1, 1}, {-1, 0.5})));
        Search search(&tree.iteration);
        speculativeOf(search).generateTrialPoints();
        OutputQueue::getInstance()->flush();

        const std::string text = out.text();
        for (const char* line :
             {"Generate points for Speculative Search Method", "Direction before scaling: 2 0.5",
              "Scaled direction on frame: 1 0.25", "Scaled direction on frame: 2 0.5",
              "Snap point ", "Generated 2 points"})
        {
            EXPECT_EQ(c.shown, std::string::npos != text.find(line)) << line << "\n" << text;
        }
    }
}

TEST(SpeculativeSearchMethod, HiddenGenerationBlockCostsNoText)
{
    // Every iteration generates: below LEVEL_INFO the block's lines must not
    // be built, not even from the method's name.
    using NameCountingMethod = QarnoTest::NameCounting<SpeculativeSearchMethod>;
    ProcessStateGuard guard;
    StreamCapture out(std::cout);
    QarnoTest::startCache({BBOutputType::OBJ});
    OutputQueue::getInstance()->setDisplayDegree(2);
    auto pb = QarnoTest::makeBoundedPbParams({UNDEF, UNDEF}, {UNDEF, UNDEF});
    StepTree tree(searchTree(speculativeRunParams(pb, 2), pb, barrierAt({1, 1}),
                             QarnoTest::makeProjectingMesh(pb, {0.25, 0.25}, {1, 1}),
                             QarnoTest::makeFrameCenter({1, 1}, {-1, 0.5})));
    Search search(&tree.iteration);
    NameCountingMethod method(&search);
    method.generateTrialPoints();
    EXPECT_EQ(2u, method.getTrialPoints().size());
    EXPECT_EQ(0u, method.nameReads);
}

TEST(SpeculativeSearchMethod, NoOriginReportsZeroPoints)
{
    ProcessStateGuard guard;
    StreamCapture out(std::cout);
    QarnoTest::startCache({BBOutputType::OBJ});
    OutputQueue::getInstance()->setDisplayDegree(3);
    auto pb = QarnoTest::makeBoundedPbParams({UNDEF, UNDEF}, {UNDEF, UNDEF});
    StepTree tree(searchTree(speculativeRunParams(pb, 2), pb, barrierAt({1, 1}),
                             QarnoTest::makeProjectingMesh(pb, {0.25, 0.25}, {1, 1}),
                             QarnoTest::makeFrameCenter({1, 1}, {})));
    Search search(&tree.iteration);
    speculativeOf(search).generateTrialPoints();
    OutputQueue::getInstance()->flush();
    EXPECT_NE(std::string::npos, out.text().find("Generated 0 points")) << out.text();
    EXPECT_EQ(std::string::npos, out.text().find("Direction before scaling")) << out.text();
}

TEST(SpeculativeSearchMethod, MissingIterationMeshOrScaleIsAnError)
{
    ProcessStateGuard guard;
    StreamCapture quiet(std::cout);
    QarnoTest::startCache({BBOutputType::OBJ});
    auto pb = QarnoTest::makeBoundedPbParams({UNDEF, UNDEF}, {UNDEF, UNDEF});
    auto run = speculativeRunParams(pb, 1);
    const auto frameCenter = QarnoTest::makeFrameCenter({1, 1}, {0, 1});

    {
        SCOPED_TRACE("no iteration ancestor");
        StepTree tree(searchTree(run, pb, barrierAt({1, 1}), nullptr, frameCenter));
        SpeculativeSearchMethod method(&tree.mega);
        EXPECT_EQ("SpeculativeSearchMethod: must have an iteration ancestor",
                  messageOf([&] { method.generateTrialPoints(); }));
    }
    {
        SCOPED_TRACE("no mesh");
        StepTree tree(searchTree(run, pb, barrierAt({1, 1}), nullptr, frameCenter));
        Search search(&tree.iteration);
        EXPECT_EQ("SpeculativeSearchMethod: must have a mesh",
                  messageOf([&] { speculativeOf(search).generateTrialPoints(); }));
    }
    // Frames so large that no coordinate gives a usable factor: the
    // largest double itself, and a ratio that overflows (the points would
    // lie at infinity).
    const struct
    {
        const char* name;
        double Delta;
        std::vector<double> origin;
    } noScale[] = {
        {"frame size INF", INF, {0, 1}},
        {"overflowing ratio", 1e300, {1 - 1e-10, 1}},
    };
    for (const auto& c : noScale)
    {
        SCOPED_TRACE(c.name);
        StepTree tree(searchTree(run, pb, barrierAt({1, 1}),
                                 QarnoTest::makeProjectingMesh(pb, {0.5, 0.5}, {c.Delta, c.Delta}),
                                 QarnoTest::makeFrameCenter({1, 1}, c.origin)));
        Search search(&tree.iteration);
        EXPECT_EQ("SpeculativeSearch: Cannot scale direction on frame",
                  messageOf([&] { speculativeOf(search).generateTrialPoints(); }));
        EXPECT_EQ(0u, speculativeOf(search).getTrialPointsCount());
    }
}

TEST(SpeculativeSearchMethod, PointsLieOnTheGranularMesh)
{
    // Gathering mode checks that every gathered point is on the mesh.
    ProcessStateGuard guard;
    StreamCapture quiet(std::cout);
    QarnoTest::startCache({BBOutputType::OBJ});
    auto pb = QarnoTest::makeBoundedPbParams({UNDEF, UNDEF}, {UNDEF, UNDEF});
    auto run = QarnoTest::makeSearchRunParams(
        pb,
        [](RunParameters& r)
        {
            r.setAttributeValue<size_t>("SPECULATIVE_SEARCH_MAX", 2);
            r.setAttributeValue<bool>("GENERATE_ALL_POINTS_BEFORE_EVAL", true);
        });
    auto mesh = std::make_shared<GMesh>(pb);
    const double frame0 = mesh->getDeltaFrameSize(0).todouble();
    StepTree tree(searchTree(run, pb, barrierAt({1, 1}), mesh,
                             QarnoTest::makeFrameCenter({1, 1}, {1 - 3 * frame0, 1})));
    Search search(&tree.iteration);

    EXPECT_EQ("(no exception)", messageOf([&] { search.generateTrialPoints(); }));

    const Coords points = QarnoTest::coordinatesOf(search.getTrialPoints());
    ASSERT_EQ(2u, points.size());
    for (size_t k = 0; k < 2; ++k)
    {
        SCOPED_TRACE(k);
        EXPECT_DOUBLE_EQ(1 + (k + 1) * frame0, points[k][0]);
        EXPECT_DOUBLE_EQ(1, points[k][1]);
    }
}
