#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "Algos/Mads/GMesh.hpp"
#include "Math/Direction.hpp"
#include "Math/Point.hpp"
#include "support/CacheSupport.hpp"
#include "support/MadsMeshSupport.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::CerrCapture;
using QarnoTest::makeArray;
using QarnoTest::makeGMesh;
using QarnoTest::messageOf;
using QarnoTest::ProcessStateGuard;

TEST(GMeshProjection, CoordinateScaling)
{
    ProcessStateGuard guard;
    // Frame 0.5 on a mesh of 0.01: rho 50.
    auto mesh = makeGMesh({{1.0}, {}, {}, {}});
    mesh->refineDeltaFrameSize();
    struct Case
    {
        double l;
        double expected;
    };
    const std::vector<Case> cases = {
        {1.0, 0.5}, {-1.0, -0.5}, {-0.333, -0.17}, {0.001, 0.0}, {0.01, 0.01}, {0.0, 0.0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.l);
        const Double projected = mesh->scaleAndProjectOnMesh(0, c.l);
        EXPECT_DOUBLE_EQ(c.expected, projected.todouble());
        EXPECT_TRUE(projected.isMultipleOf(mesh->getdeltaMeshSize(0)));
    }
    EXPECT_NE(std::string::npos,
              messageOf([&] { mesh->scaleAndProjectOnMesh(1, 0.5); }).find("out of range"));
    EXPECT_THROW(mesh->scaleAndProjectOnMesh(0, Double()), Double::NotDefined);
}

TEST(GMeshProjection, DirectionScaling)
{
    ProcessStateGuard guard;
    // Frame 5 on a mesh of 1 in both coordinates: rho 5.
    auto mesh = makeGMesh({{5.0, 5.0}, {}, {}, {}});
    const ArrayOfDouble scaled = mesh->scaleAndProjectOnMesh(Direction(makeArray({2.0, -1.0})));
    EXPECT_EQ("5 -3", scaled.display());
    EXPECT_EQ("GMesh: scaleAndProjectOnMesh: Cannot handle an infinite norm of zero",
              messageOf(
                  [&] {
                      mesh->scaleAndProjectOnMesh(Direction(makeArray({0.0, 0.0})));
                  }));
    // The scale is the infinite norm: a huge direction lands on the frame.
    const ArrayOfDouble huge = mesh->scaleAndProjectOnMesh(Direction(makeArray({1e300, -1e299})));
    EXPECT_EQ("5 -1", huge.display());
}

TEST(GMeshProjection, PointProjectionRules)
{
    ProcessStateGuard guard;
    struct Case
    {
        const char* name;
        double granularity;
        double frame;
        double center;
        double point;
        double expected;
    };
    const std::vector<Case> cases = {
        // A granularity of 0.25 gives a mesh of 0.25.
        {"centre on the mesh, above", 0.25, 0.25, 0.0, 0.3, 0.5},
        {"centre on the mesh, below", 0.25, 0.25, 0.0, -0.3, -0.5},
        {"already on the mesh", 0.25, 0.25, 0.0, 0.25, 0.25},
        {"centre off the mesh", 0.25, 0.25, 0.1, 0.3, 0.35},
        {"centre off the mesh, below", 0.25, 0.25, 0.1, -0.3, -0.4},
        {"integer centre: nearest integer first", 1.0, 1.0, 3.0, 4.4, 4.0},
        {"integer centre below: nearest integer first", 1.0, 1.0, 3.0, 1.6, 2.0},
        {"integer centre off a mesh of 2", 2.0, 2.0, 3.0, 4.4, 5.0},
        {"point at the centre on the mesh", 0.25, 0.25, 0.5, 0.5, 0.5},
        {"point at the centre off the mesh", 0.25, 0.25, 0.1, 0.1, 0.1},
        {"continuous mesh of 1", 0.0, 1.0, 0.0, 2.2, 3.0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        auto mesh = makeGMesh({{c.frame}, {c.granularity}, {}, {}});
        const std::string messages = QarnoTest::infoMessagesOf(
            [&]
            {
                const Point projected = mesh->projectOnMesh(Point(1, c.point), Point(1, c.center));
                EXPECT_NEAR(c.expected, projected[0].todouble(), 1e-12);
            });
        EXPECT_EQ("", messages);
    }
}

TEST(GMeshProjection, GranularCoordinatesLandExactlyOnTheirGrid)
{
    ProcessStateGuard guard;
    // The tolerant multiple test takes any value within 1e-13 x |value /
    // mesh size| of a multiple for one: on a grid of 1e-7 that is 10 steps
    // near 1. A granular coordinate is placed exactly, on the double that
    // the grid point's decimal text reads as.
    struct Case
    {
        const char* name;
        double granularity;
        double frame;
        double center;
        double point;
        double expected;
    };
    const std::vector<Case> cases = {
        {"half a step above, rounded away", 1e-7, 1e-7, 0.3, 1.00000125, 1.0000013},
        {"half a step below, rounded away", 1e-7, 1e-7, 2.0, 1.00000125, 1.0000012},
        {"a rounding error off the grid", 1e-7, 1e-7, 0.1, 0.30000000000000004, 0.3},
        {"a rounding error off an integer", 1.0, 1.0, 3.0, 3.9999999999999996, 4.0},
        {"a rounding error off a tenth", 0.1, 0.1, 0.7, 0.49999999999999994, 0.5},
        {"a mesh of 100 steps", 1e-7, 1e-5, 0.0, 1.000002, 1.00001},
        {"centre off a mesh of 100 steps", 1e-7, 1e-5, 0.0000003, -0.0000205, -0.0000297},
        {"integer centre: nearest integer", 1.0, 1.0, 3.0, 4.4, 4.0},
        {"integer centre off a mesh of 2", 2.0, 2.0, 3.0, 4.4, 5.0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        auto mesh = makeGMesh({{c.frame}, {c.granularity}, {}, {}});
        const Point center(1, c.center);
        const Point projected = mesh->projectOnMesh(Point(1, c.point), center);
        EXPECT_EQ(c.expected, projected[0].todouble());
        EXPECT_TRUE(mesh->verifyPointIsOnMesh(projected, center));
    }
}

TEST(GMeshProjection, EachCoordinateOnItsOwnMesh)
{
    ProcessStateGuard guard;
    auto mesh = makeGMesh({{0.25, 1.0, 1.0}, {0.25, 1.0, 0.0}, {}, {}});
    const Point center(makeArray({0.0, 3.0, 0.0}));
    const Point projected = mesh->projectOnMesh(Point(makeArray({0.3, 4.4, -0.5})), center);
    EXPECT_EQ("( 0.5 4 -1 )", projected.display());
    EXPECT_TRUE(mesh->verifyPointIsOnMesh(projected, center));
}

TEST(GMeshProjection, HugeCoordinatesAreProjectedWithoutFailure)
{
    ProcessStateGuard guard;
    auto mesh = makeGMesh({{1.0, 1.0}, {}, {}, {}});
    mesh->refineDeltaFrameSize();
    const Point center(makeArray({0.0, 1e300}));
    const Point point(makeArray({1e300, -DBL_MAX}));
    Point projected;
    QarnoTest::infoMessagesOf([&] { projected = mesh->projectOnMesh(point, center); });
    ASSERT_EQ(2u, projected.size());
    EXPECT_TRUE(std::isfinite(projected[0].todouble()));
    EXPECT_TRUE(std::isfinite(projected[1].todouble()));
    EXPECT_DOUBLE_EQ(1e300, projected[0].todouble());
    EXPECT_TRUE(std::isfinite(mesh->scaleAndProjectOnMesh(0, 1e300).todouble()));
}

TEST(GMeshProjection, UndefinedValuesThrow)
{
    ProcessStateGuard guard;
    auto mesh = makeGMesh({{1.0}, {}, {}, {}});
    mesh->refineDeltaFrameSize();
    EXPECT_THROW(mesh->projectOnMesh(Point(1, Double(0.33)), Point(1)), Double::NotDefined);
}

TEST(GMeshProjection, CoordinateThatCannotBeProjectedKeepsItsValue)
{
    ProcessStateGuard guard;
    // Far from the origin, the write-back centre + offset loses the last bits
    // of an offset on a mesh of 0.1, so the offset never lands on the mesh.
    auto mesh = makeGMesh({{0.1, 0.1}, {}, {}, {}});
    const Point center(makeArray({1e5 + 0.05, 0.0}));
    const Point point(makeArray({1e5 + 1.37, 0.17}));
    Point projected;
    const std::string messages =
        QarnoTest::infoMessagesOf([&] { projected = mesh->projectOnMesh(point, center); });
    EXPECT_EQ(point[0].todouble(), projected[0].todouble());
    EXPECT_DOUBLE_EQ(0.2, projected[1].todouble());
    EXPECT_NE(std::string::npos,
              messages.find("Warning: Could not project point (index 0) " + point.display() +
                            " on mesh 0.1 0.1 with frame center " + center.display()))
        << messages;
}
