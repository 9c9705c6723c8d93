#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/Mads/GMesh.hpp"
#include "Math/Direction.hpp"
#include "Util/StopReasonTypes.hpp"
#include "support/MadsMeshSupport.hpp"
#include "support/StepTree.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::CerrCapture;
using QarnoTest::makeArray;
using QarnoTest::makeGMesh;
using QarnoTest::MeshSetup;
using QarnoTest::messageOf;
using QarnoTest::ProcessStateGuard;

namespace
{

/// The state of one coordinate: mantissa, exponent and the derived sizes.
struct CoordinateState
{
    double mant;
    double exp;
    double frame;
    double mesh;
    double rho;
};

void expectCoordinate(const GMesh& mesh, size_t i, const CoordinateState& expected)
{
    EXPECT_DOUBLE_EQ(expected.mant, mesh.getFrameSizeMant()[i].todouble());
    EXPECT_DOUBLE_EQ(expected.exp, mesh.getFrameSizeExp()[i].todouble());
    EXPECT_DOUBLE_EQ(expected.frame, mesh.getDeltaFrameSize(i).todouble());
    EXPECT_DOUBLE_EQ(expected.mesh, mesh.getdeltaMeshSize(i).todouble());
    EXPECT_DOUBLE_EQ(expected.rho, mesh.getRho(i).todouble());
}

Direction makeDirection(const std::vector<double>& values)
{
    return Direction(makeArray(values));
}

std::shared_ptr<AllStopReasons> madsStopReasons()
{
    return std::make_shared<AlgoStopReasons<MadsStopType>>();
}

MadsStopType madsStopOf(const std::shared_ptr<AllStopReasons>& reasons)
{
    return AlgoStopReasons<MadsStopType>::get(reasons)->_algoStopReason.get();
}

const double REAL_INF = std::numeric_limits<double>::infinity();

} // namespace

TEST(GMesh, RefinementSequenceOfAContinuousCoordinate)
{
    ProcessStateGuard guard;
    auto mesh = makeGMesh({{1.0}, {}, {}, {}});
    expectCoordinate(*mesh, 0, {1, 0, 1, 1, 1});
    const std::vector<CoordinateState> expected = {
        {5, -1, 0.5, 0.01, 50},
        {2, -1, 0.2, 0.01, 20},
        {1, -1, 0.1, 0.01, 10},
        {5, -2, 0.05, 0.0001, 500},
    };
    for (size_t step = 0; step < expected.size(); ++step)
    {
        SCOPED_TRACE("refinement " + std::to_string(step + 1));
        mesh->refineDeltaFrameSize();
        mesh->updatedeltaMeshSize();
        expectCoordinate(*mesh, 0, expected[step]);
        EXPECT_EQ(0.0, mesh->getInitFrameSizeExp()[0].todouble());
    }
}

TEST(GMesh, EnlargementSequenceAndCoarserFrame)
{
    ProcessStateGuard guard;
    auto mesh = makeGMesh({{1.0}, {}, {}, {}});
    const std::vector<CoordinateState> expected = {
        {2, 0, 2, 1, 2},
        {5, 0, 5, 1, 5},
        {1, 1, 10, 1, 10},
    };
    for (size_t step = 0; step < expected.size(); ++step)
    {
        SCOPED_TRACE("enlargement " + std::to_string(step + 1));
        // The coarser frame is the next enlargement, read without changing the mesh.
        const double coarser = mesh->getDeltaFrameSizeCoarser(0).todouble();
        EXPECT_DOUBLE_EQ(expected[step].frame, coarser);
        EXPECT_TRUE(mesh->enlargeDeltaFrameSize(makeDirection({1.0}), 0.1, false));
        expectCoordinate(*mesh, 0, expected[step]);
    }
}

TEST(GMesh, InitialMantissaAndExponent)
{
    ProcessStateGuard guard;
    struct Case
    {
        double frame;
        double mant;
        double exp;
    };
    const std::vector<Case> cases = {
        {1.49, 1, 0}, {1.5, 2, 0}, {3.49, 2, 0},  {3.5, 5, 0},  {9.9, 5, 0},
        {20, 2, 1},   {0.5, 1, 0}, {0.05, 1, -1}, {1000, 1, 3}, {0.003, 1, -2},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE("initial frame size " + std::to_string(c.frame));
        auto mesh = makeGMesh({{c.frame}, {}, {}, {}});
        EXPECT_DOUBLE_EQ(c.mant, mesh->getFrameSizeMant()[0].todouble());
        EXPECT_DOUBLE_EQ(c.exp, mesh->getFrameSizeExp()[0].todouble());
        EXPECT_DOUBLE_EQ(c.exp, mesh->getInitFrameSizeExp()[0].todouble());
        // At the initial exponent the mesh size is the power of ten of the frame.
        EXPECT_DOUBLE_EQ(std::pow(10.0, c.exp), mesh->getdeltaMeshSize(0).todouble());
    }
}

TEST(GMesh, RoundingOfExponentAndMantissa)
{
    struct Case
    {
        double value;
        int exp;
        int mant;
    };
    const std::vector<Case> cases = {
        {-0.3, 0, 1},   {-1.3, -1, 1}, {2.9, 2, 2},  {1.4999, 1, 1}, {1.5, 1, 2},
        {3.4999, 3, 2}, {3.5, 3, 5},   {9.99, 9, 5}, {0.2, 0, 1},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(c.exp, GMesh::roundFrameSizeExp(c.value));
        EXPECT_EQ(c.mant, GMesh::roundFrameSizeMant(c.value));
    }
}

TEST(GMesh, ExponentConversionRefusesNonFiniteAndOutOfRangeValues)
{
    ProcessStateGuard guard;
    for (double value : {REAL_INF, -REAL_INF, std::numeric_limits<double>::quiet_NaN(), 3e9, -3e9,
                         DBL_MAX, 2147483648.0})
    {
        SCOPED_TRACE(value);
        const std::string msg = messageOf([&] { GMesh::roundFrameSizeExp(value); });
        EXPECT_NE(std::string::npos, msg.find("GMesh: the frame size exponent")) << msg;
        EXPECT_NE(std::string::npos, msg.find("is not finite or out of the integer range")) << msg;
    }
    EXPECT_EQ(2147483647, GMesh::roundFrameSizeExp(2147483647.5));
    EXPECT_EQ(-2147483647 - 1, GMesh::roundFrameSizeExp(-2147483648.5));
    EXPECT_THROW(GMesh::roundFrameSizeExp(Double()), Double::NotDefined);
}

TEST(GMesh, GranularCoordinates)
{
    ProcessStateGuard guard;
    struct Case
    {
        const char* name;
        double granularity;
        double frame;
        std::vector<CoordinateState> states; // initial, then after each refinement
    };
    const std::vector<Case> cases = {
        {"integer stays at its granularity", 1.0, 1.0, {{1, 0, 1, 1, 1}, {1, 0, 1, 1, 1}}},
        // Below the exponent 0 a granular frame jumps straight to its granularity.
        {"half granularity",
         0.5,
         2.0,
         {{5, 0, 2.5, 0.5, 5}, {1, 0, 0.5, 0.5, 1}, {1, 0, 0.5, 0.5, 1}}},
        // Below the initial exponent the mesh shrinks, but not below the granularity.
        {"integer with a large frame",
         1.0,
         100.0,
         {{1, 2, 100, 100, 1},
          {5, 1, 50, 1, 50},
          {2, 1, 20, 1, 20},
          {1, 1, 10, 1, 10},
          {1, 0, 1, 1, 1},
          {1, 0, 1, 1, 1}}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        auto mesh = makeGMesh({{c.frame}, {c.granularity}, {}, {}});
        for (size_t step = 0; step < c.states.size(); ++step)
        {
            SCOPED_TRACE("state " + std::to_string(step));
            if (step > 0)
            {
                mesh->refineDeltaFrameSize();
            }
            expectCoordinate(*mesh, 0, c.states[step]);
            EXPECT_TRUE(mesh->getdeltaMeshSize(0).isMultipleOf(c.granularity));
            EXPECT_TRUE(mesh->getDeltaFrameSize(0).isMultipleOf(c.granularity));
        }
    }
}

TEST(GMesh, AnisotropicEnlargement)
{
    ProcessStateGuard guard;

    // Both coordinates at (1, -1): only the one the direction uses grows.
    auto mesh = makeGMesh({{1.0, 1.0}, {}, {}, {}});
    for (int k = 0; k < 3; ++k)
    {
        mesh->refineDeltaFrameSize();
    }
    EXPECT_TRUE(mesh->enlargeDeltaFrameSize(makeDirection({0.5, 0.001}), 0.1, true));
    expectCoordinate(*mesh, 0, {2, -1, 0.2, 0.01, 20});
    expectCoordinate(*mesh, 1, {1, -1, 0.1, 0.01, 10});

    // A coordinate far below the others' ratio is enlarged through minRho.
    mesh = makeGMesh({{1.0, 1.0}, {}, {}, {}});
    {
        CerrCapture quiet;
        mesh->setDeltas(1, 0.0001, 0.05);
    }
    expectCoordinate(*mesh, 1, {5, -2, 0.05, 0.0001, 500});
    EXPECT_TRUE(mesh->enlargeDeltaFrameSize(makeDirection({1.0, 0.0}), 0.1, true));
    expectCoordinate(*mesh, 0, {2, 0, 2, 1, 2});
    expectCoordinate(*mesh, 1, {1, -1, 0.1, 0.01, 10});

    // A zero coordinate of the direction at the initial size stays.
    mesh = makeGMesh({{1.0, 1.0}, {}, {}, {}});
    EXPECT_TRUE(mesh->enlargeDeltaFrameSize(makeDirection({1.0, 0.0}), 0.1, true));
    expectCoordinate(*mesh, 0, {2, 0, 2, 1, 2});
    expectCoordinate(*mesh, 1, {1, 0, 1, 1, 1});

    // Nothing qualifies: the answer is false and nothing changes.
    mesh = makeGMesh({{1.0, 1.0}, {}, {}, {}});
    EXPECT_FALSE(mesh->enlargeDeltaFrameSize(makeDirection({0.0, 0.0}), 0.1, true));
    expectCoordinate(*mesh, 0, {1, 0, 1, 1, 1});
    expectCoordinate(*mesh, 1, {1, 0, 1, 1, 1});

    // Isotropic: every coordinate, whatever the direction.
    EXPECT_TRUE(mesh->enlargeDeltaFrameSize(makeDirection({0.0, 0.0}), 0.1, false));
    expectCoordinate(*mesh, 0, {2, 0, 2, 1, 2});
    expectCoordinate(*mesh, 1, {2, 0, 2, 1, 2});
}

TEST(GMesh, RhoRuleEnlargesOnlyAboveTheSquareOfTheSmallestRho)
{
    ProcessStateGuard guard;
    // Coordinate 0 at (1, -1): rho 10, the smallest, and the direction's
    // coordinate. Coordinate 1 below its initial exponent, unused by the
    // direction: enlarged only when its rho exceeds 10^2 = 100.
    struct Case
    {
        const char* name;
        double mesh1;
        double frame1;
        CoordinateState after1;
    };
    const std::vector<Case> cases = {
        {"rho between the smallest and its square", 0.01, 0.5, {5, -1, 0.5, 0.01, 50}},
        {"rho at the square", 0.0001, 0.01, {1, -2, 0.01, 0.0001, 100}},
        {"rho above the square", 0.0001, 0.02, {5, -2, 0.05, 0.0001, 500}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        auto mesh = makeGMesh({{1.0, 1.0}, {}, {}, {}});
        {
            CerrCapture quiet;
            mesh->setDeltas(0, 0.01, 0.1);
            mesh->setDeltas(1, c.mesh1, c.frame1);
        }
        EXPECT_TRUE(mesh->enlargeDeltaFrameSize(makeDirection({1.0, 0.0}), 0.1, true));
        expectCoordinate(*mesh, 0, {2, -1, 0.2, 0.01, 20});
        expectCoordinate(*mesh, 1, c.after1);
    }
}

TEST(GMesh, SetDeltasFindsMantissaAndExponent)
{
    ProcessStateGuard guard;
    auto mesh = makeGMesh({{1.0, 1.0}, {}, {}, {}});
    CerrCapture err;
    mesh->setDeltas(0, 0.01, 0.2);
    mesh->setDeltas(1, 1.0, 50.0);
    EXPECT_EQ("", err.text());
    expectCoordinate(*mesh, 0, {2, -1, 0.2, 0.01, 20});
    expectCoordinate(*mesh, 1, {5, 1, 50, 1, 50});
    EXPECT_EQ(0.0, mesh->getInitFrameSizeExp()[0].todouble());
}

TEST(GMesh, SetDeltasRefusesSizesItCannotReproduce)
{
    ProcessStateGuard guard;
    struct Case
    {
        const char* name;
        double granularity;
        double mesh;
        double frame;
        std::string message;
        bool lineEnd;
    };
    const std::vector<Case> cases = {
        {"frame not of the 1-2-5 form", 0, 0.01, 0.3,
         "Warning: setDeltas did not give good value for deltaFrameSize at index 0. Expected: "
         "0.3 computed: 0.5",
         true},
        {"mesh not the one the frame gives", 0, 0.02, 0.2,
         "Warning: setDeltas did not give good value for deltaMeshSize at index 0 Expected: "
         "0.02 computed: 0.01",
         true},
        {"mesh off the granularity", 0.5, 0.3, 1.0,
         "Error: setDeltas: deltaMeshSize at index 0 is not a multiple of granularity 0.5", false},
        {"frame off the granularity", 0.5, 0.5, 1.2,
         "Error: setDeltas: deltaFrameSize at index 0 is not a multiple of granularity 0.5", false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        auto mesh = makeGMesh({{1.0}, {c.granularity}, {}, {}});
        CerrCapture err;
        EXPECT_EQ(c.message, messageOf([&] { mesh->setDeltas(0, c.mesh, c.frame); }));
        EXPECT_EQ(c.message + (c.lineEnd ? "\n" : ""), err.text());
    }
}

TEST(GMesh, SetDeltasRefusesNonFiniteAndNonPositiveFrames)
{
    ProcessStateGuard guard;
    for (double frame : {0.0, -1.0, REAL_INF, -REAL_INF, std::numeric_limits<double>::quiet_NaN()})
    {
        SCOPED_TRACE(frame);
        auto mesh = makeGMesh({{1.0}, {}, {}, {}});
        CerrCapture err;
        const std::string msg = messageOf([&] { mesh->setDeltas(0, 1.0, frame); });
        EXPECT_NE(std::string::npos, msg.find("is not finite or out of the integer range")) << msg;
        // Refused before anything changed.
        expectCoordinate(*mesh, 0, {1, 0, 1, 1, 1});
    }
    auto mesh = makeGMesh({{1.0}, {}, {}, {}});
    EXPECT_THROW(mesh->setDeltas(0, 1.0, Double()), Double::NotDefined);
    EXPECT_NE(std::string::npos,
              messageOf([&] { mesh->setDeltas(1, 1.0, 1.0); }).find("out of range"));
    EXPECT_NE(std::string::npos, messageOf(
                                     [&] {
                                         mesh->setDeltas(makeArray({1, 1}), makeArray({1, 1}));
                                     })
                                     .find("setDeltas: expecting arrays of size 1"));
}

TEST(GMesh, InitialFrameThatIsNotFiniteIsRefused)
{
    ProcessStateGuard guard;
    // The largest double as a frame size: the 1-2-5 form rounds it up past
    // the double range.
    const std::string msg = messageOf([] { makeGMesh({{1.0, DBL_MAX}, {}, {}, {}}); });
    EXPECT_EQ("GMesh: the initial frame size of coordinate 1 (inf) gives a frame size that is not "
              "finite.",
              msg);
}

TEST(GMesh, FrameFromHugeBoundsStaysFinite)
{
    ProcessStateGuard guard;
    auto pb = std::make_shared<PbParameters>();
    pb->setAttributeValue<size_t>("DIMENSION", size_t(1));
    pb->setAttributeValue<Point>("X0", Point(1, Double(0.0)));
    pb->setAttributeValue("LOWER_BOUND", makeArray({-1.7e308}));
    pb->setAttributeValue("UPPER_BOUND", makeArray({1.7e308}));
    {
        CerrCapture quiet;
        pb->checkAndComply();
    }
    GMesh mesh(pb);
    EXPECT_TRUE(std::isfinite(mesh.getDeltaFrameSize(0).todouble()));
    EXPECT_DOUBLE_EQ(2e307, mesh.getDeltaFrameSize(0).todouble());
}

TEST(GMesh, EnlargementStopsAtTheTopOfTheDoubleRange)
{
    ProcessStateGuard guard;
    auto mesh = makeGMesh({{5e307}, {}, {}, {}});
    EXPECT_TRUE(mesh->enlargeDeltaFrameSize(makeDirection({1.0}), 0.1, false));
    EXPECT_DOUBLE_EQ(1e308, mesh->getDeltaFrameSize(0).todouble());
    // 2e308 is past the largest double: the frame stays and the coarser
    // frame is the frame itself.
    EXPECT_DOUBLE_EQ(1e308, mesh->getDeltaFrameSizeCoarser(0).todouble());
    EXPECT_FALSE(mesh->enlargeDeltaFrameSize(makeDirection({1.0}), 0.1, false));
    EXPECT_DOUBLE_EQ(1e308, mesh->getDeltaFrameSize(0).todouble());
    EXPECT_TRUE(std::isfinite(mesh->getRho(0).todouble()));
}

TEST(GMesh, StopReasonsOfTheMeshTest)
{
    ProcessStateGuard guard;
    struct Case
    {
        const char* name;
        MeshSetup setup;
        std::vector<MadsStopType> afterRefinement; // stop reason after each refinement
    };
    const MadsStopType started = MadsStopType::STARTED;
    const MadsStopType minMesh = MadsStopType::MIN_MESH_SIZE_REACHED;
    const MadsStopType minFrame = MadsStopType::MIN_FRAME_SIZE_REACHED;
    const MadsStopType meshPrec = MadsStopType::MESH_PREC_REACHED;
    const std::vector<Case> cases = {
        {"mesh below its minimum",
         {{1.0}, {}, {0.001}, {}},
         {started, started, started, minMesh, minMesh}},
        {"frame below its minimum", {{1.0}, {}, {}, {0.3}}, {started, minFrame}},
        {"one continuous coordinate still above",
         {{1.0, 100.0}, {}, {0.001, 0.001}, {}},
         {started, started, started, started}},
        // The granular frame can never fall below its minimum (its granularity).
        {"granular frame keeps the frame test from stopping",
         {{1.0, 1.0}, {0, 1}, {}, {0.3, 1}},
         {started, started, started}},
        // Coordinate 1 goes from 2.5 straight to its granularity 0.5;
        // coordinate 0 is at its granularity from the start. The second
        // refinement changes nothing: the mesh is as fine as it gets.
        {"all granular", {{1.0, 2.0}, {1, 0.5}, {}, {}}, {started, meshPrec, meshPrec}},
        // Granular coordinates stop on their minimum frame size too.
        {"all granular below the minimum frame",
         {{1.0, 20.0}, {0.1, 0.1}, {}, {0.5, 0.5}},
         {started, started, started, started, minFrame}},
        // A frame can never fall below a minimum equal to its granularity:
        // only the precision test stops such a problem.
        {"all granular, one minimum frame at the granularity",
         {{1.0, 20.0}, {0.1, 0.1}, {}, {0.1, 4}},
         {started, started, started, started, started, meshPrec}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        auto mesh = makeGMesh(c.setup);
        auto reasons = madsStopReasons();
        mesh->checkMeshForStopping(reasons);
        EXPECT_EQ(started, madsStopOf(reasons));
        for (size_t step = 0; step < c.afterRefinement.size(); ++step)
        {
            SCOPED_TRACE("refinement " + std::to_string(step + 1));
            mesh->refineDeltaFrameSize();
            reasons = madsStopReasons();
            mesh->checkMeshForStopping(reasons);
            EXPECT_EQ(c.afterRefinement[step], madsStopOf(reasons));
        }
    }
}

TEST(GMesh, RefinementBelowTheMinimumMeshHappensOnce)
{
    ProcessStateGuard guard;
    auto mesh = makeGMesh({{1.0}, {}, {0.001}, {}});
    for (int k = 0; k < 4; ++k)
    {
        mesh->refineDeltaFrameSize();
    }
    expectCoordinate(*mesh, 0, {5, -2, 0.05, 0.0001, 500});
    mesh->refineDeltaFrameSize();
    expectCoordinate(*mesh, 0, {5, -2, 0.05, 0.0001, 500});
    auto reasons = madsStopReasons();
    mesh->checkMeshForStopping(reasons);
    EXPECT_EQ("Min mesh size reached",
              AlgoStopReasons<MadsStopType>::get(reasons)->_algoStopReason.getStopReasonAsString());
}

TEST(GMesh, AllGranularProblemStopsOnceNoRefinementIsLeft)
{
    ProcessStateGuard guard;
    const MadsStopType started = MadsStopType::STARTED;
    auto mesh = makeGMesh({{5.0, 1.0}, {1, 0.1}, {}, {}});
    auto reasons = madsStopReasons();
    // Frames 5 -> 1 and 1 -> 0.1: at the exponent 0 a granular frame goes
    // straight to its granularity.
    mesh->refineDeltaFrameSize();
    mesh->checkMeshForStopping(reasons);
    EXPECT_EQ(started, madsStopOf(reasons));
    EXPECT_DOUBLE_EQ(1.0, mesh->getDeltaFrameSize(0).todouble());
    EXPECT_DOUBLE_EQ(0.1, mesh->getDeltaFrameSize(1).todouble());

    // A failure at the finest frame: nothing more to learn on this mesh.
    mesh->refineDeltaFrameSize();
    mesh->checkMeshForStopping(reasons);
    EXPECT_EQ(MadsStopType::MESH_PREC_REACHED, madsStopOf(reasons));
    EXPECT_EQ("Mesh minimum precision reached",
              AlgoStopReasons<MadsStopType>::get(reasons)->_algoStopReason.getStopReasonAsString());

    // An enlargement (a success) makes the mesh refinable again.
    EXPECT_TRUE(mesh->enlargeDeltaFrameSize(makeDirection({1.0, 1.0}), 0.1, false));
    reasons = madsStopReasons();
    mesh->checkMeshForStopping(reasons);
    EXPECT_EQ(started, madsStopOf(reasons));

    // So does a frame read back from a hot restart.
    mesh->refineDeltaFrameSize();
    mesh->refineDeltaFrameSize();
    mesh->setDeltas(0, Double(1.0), Double(2.0));
    reasons = madsStopReasons();
    mesh->checkMeshForStopping(reasons);
    EXPECT_EQ(started, madsStopOf(reasons));
}

TEST(GMesh, MixedProblemKeepsTheContinuousStopRules)
{
    ProcessStateGuard guard;
    // The granular coordinate is at its finest from the start; the
    // continuous one keeps refining, so only its mesh size stops the run.
    auto mesh = makeGMesh({{1.0, 1.0}, {1, 0}, {}, {}});
    auto reasons = madsStopReasons();
    for (int k = 0; k < 10; ++k)
    {
        mesh->refineDeltaFrameSize();
        mesh->checkMeshForStopping(reasons);
    }
    EXPECT_EQ(MadsStopType::STARTED, madsStopOf(reasons));
}

TEST(GMesh, StopTestNeedsMadsStopReasons)
{
    ProcessStateGuard guard;
    auto mesh = makeGMesh({{1.0}, {}, {}, {}});
    std::shared_ptr<AllStopReasons> other = std::make_shared<AlgoStopReasons<NMStopType>>();
    EXPECT_EQ("Invalid shared pointer cast", messageOf([&] { mesh->checkMeshForStopping(other); }));
}

TEST(GMesh, HotRestartTextRoundTrip)
{
    ProcessStateGuard guard;
    const MeshSetup setup{{1.0, 20.0, 3.0}, {0, 0, 1}, {}, {}};
    auto mesh = makeGMesh(setup);
    mesh->refineDeltaFrameSize();
    mesh->refineDeltaFrameSize();
    mesh->enlargeDeltaFrameSize(makeDirection({0.0, 1.0, 0.0}), 0.1, true);
    mesh->refineDeltaFrameSize();

    std::ostringstream saved;
    saved << *mesh;
    EXPECT_EQ(2u, QarnoTest::linesOf(saved.str()).size());

    auto restored = makeGMesh(setup);
    std::istringstream in(saved.str() + "NEXT_ITEM 1\n");
    {
        CerrCapture err;
        in >> *restored;
        EXPECT_EQ("", err.text());
    }
    std::string next;
    in >> next;
    EXPECT_EQ("NEXT_ITEM", next);

    EXPECT_EQ(mesh->getFrameSizeMant().display(), restored->getFrameSizeMant().display());
    EXPECT_EQ(mesh->getFrameSizeExp().display(), restored->getFrameSizeExp().display());
    std::ostringstream again;
    again << *restored;
    EXPECT_EQ(saved.str(), again.str());
}

TEST(GMesh, HotRestartFromOtherInitialFrameIsRefused)
{
    ProcessStateGuard guard;
    auto mesh = makeGMesh({{1.0}, {}, {}, {}});
    mesh->refineDeltaFrameSize();
    std::ostringstream saved;
    saved << *mesh; // mesh 0.01, frame 0.5 around an initial exponent 0

    // The new parameters give another initial exponent, hence another mesh.
    auto restored = makeGMesh({{10.0}, {}, {}, {}});
    std::istringstream in(saved.str());
    CerrCapture err;
    EXPECT_EQ("Warning: setDeltas did not give good value for deltaMeshSize at index 0 Expected: "
              "0.01 computed: 0.001",
              messageOf([&] { in >> *restored; }));
}

TEST(GMesh, WholeVectorGettersMatchTheCoordinates)
{
    ProcessStateGuard guard;
    auto mesh = makeGMesh({{1.0, 20.0, 3.0}, {0, 0, 1}, {}, {}});
    mesh->refineDeltaFrameSize();
    mesh->enlargeDeltaFrameSize(makeDirection({1.0, 0.0, 0.0}), 0.1, true);
    const ArrayOfDouble delta = mesh->getdeltaMeshSize();
    const ArrayOfDouble frame = mesh->getDeltaFrameSize();
    const ArrayOfDouble rho = mesh->getRho();
    const ArrayOfDouble coarser = mesh->getDeltaFrameSizeCoarser();
    ASSERT_EQ(3u, delta.size());
    for (size_t i = 0; i < 3; ++i)
    {
        SCOPED_TRACE(i);
        const Double& g = mesh->getGranularity()[i];
        const Double& m = mesh->getFrameSizeMant()[i];
        const Double& e = mesh->getFrameSizeExp()[i];
        EXPECT_EQ(mesh->getdeltaMeshSize(e, mesh->getInitFrameSizeExp()[i], g), delta[i]);
        EXPECT_EQ(mesh->getDeltaFrameSize(g, m, e), frame[i]);
        // rho is the number of mesh steps across the frame.
        EXPECT_DOUBLE_EQ(frame[i].todouble() / delta[i].todouble(), rho[i].todouble());
        Double cm = m;
        Double ce = e;
        mesh->getLargerMantExp(cm, ce);
        EXPECT_EQ(mesh->getDeltaFrameSize(g, cm, ce), coarser[i]);
        EXPECT_EQ(delta[i], mesh->deltaMeshSizes()[i]);
        EXPECT_EQ(frame[i], mesh->deltaFrameSizes()[i]);
        EXPECT_EQ(rho[i], mesh->rhos()[i]);
    }
    for (const auto& op :
         std::vector<std::function<void()>>{
             [&] { mesh->getdeltaMeshSize(3); }, [&] { mesh->getDeltaFrameSize(3); },
             [&] { mesh->getRho(3); }, [&] { mesh->getDeltaFrameSizeCoarser(3); }})
    {
        EXPECT_NE(std::string::npos, messageOf(op).find("out of range"));
    }
}

TEST(GMesh, IntegrityChecks)
{
    ProcessStateGuard guard;
    auto mesh = makeGMesh({{1.0}, {0.5}, {}, {}});
    struct Case
    {
        double exp;
        double mant;
        std::string message;
    };
    const std::vector<Case> cases = {
        {0.5, 1, "Error: Integrity check of frameSizeExp (0.5): Should be integer."},
        {1, 3, "Error: Integrity check of frameSizeMant (3): Should be 1, 2 or 5."},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.message);
        CerrCapture err;
        EXPECT_EQ(c.message, messageOf([&] { mesh->checkFrameSizeIntegrity(c.exp, c.mant); }));
        EXPECT_EQ(c.message, err.text());
    }
    CerrCapture err;
    EXPECT_EQ("(no exception)", messageOf([&] { mesh->checkFrameSizeIntegrity(-3, 5); }));
    EXPECT_EQ("", err.text());
}
