// The mesh base: its text form and the reader that leaves a foreign token,
// the membership test of a point, and what the base refuses.

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Algos/MeshBase.hpp"
#include "Math/Direction.hpp"
#include "Param/PbParameters.hpp"
#include "support/StepSupport.hpp"
#include "support/TestSupport.hpp"

namespace
{

using namespace QARNO_4_0_0;
using QarnoTest::FixedMesh;
using QarnoTest::makeArray;
using QarnoTest::messageOf;
using QarnoTest::ProcessStateGuard;
using QarnoTest::UNDEF;

/// A two-variable mesh with δ = (0.5, 0.25) and Δ = (1, 2).
std::shared_ptr<FixedMesh> makeMesh()
{
    auto mesh = std::make_shared<FixedMesh>(QarnoTest::makeCheckedPbParams(2));
    mesh->setDeltas(makeArray({0.5, 0.25}), makeArray({1.0, 2.0}));
    mesh->setDeltasCalls = 0;
    return mesh;
}

TEST(MeshBase, TextFormIsWrittenAndReadBackUpToAForeignToken)
{
    ProcessStateGuard guard;
    const auto written = makeMesh();
    std::ostringstream out;
    out << *written;
    EXPECT_EQ("DELTA_MESH_SIZE 0.5 0.25\nDELTA_FRAME_SIZE 1 2\n", out.str());

    struct Case
    {
        const char* label;
        std::string text;
        std::vector<double> delta;
        std::vector<double> Delta;
        std::string next; // the token left for the next reader
    };
    const Case cases[] = {
        {"both arrays, foreign token after them",
         out.str() + "ITERATION_COUNT 7\n",
         {0.5, 0.25},
         {1, 2},
         "ITERATION_COUNT"},
        {"frame size only: mesh size undefined",
         "DELTA_FRAME_SIZE 3 4\nX0 ( 1 2 )",
         {UNDEF, UNDEF},
         {3, 4},
         "X0"},
        {"foreign token first: nothing read",
         "BARRIER_F 1\n",
         {UNDEF, UNDEF},
         {UNDEF, UNDEF},
         "BARRIER_F"},
        {"empty text", "", {UNDEF, UNDEF}, {UNDEF, UNDEF}, ""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        auto read = makeMesh();
        std::istringstream in(c.text);
        in >> *read;
        // The array form was called, whatever was found.
        EXPECT_EQ(2u, read->setDeltasCalls);
        EXPECT_EQ(makeArray(c.delta).display(), read->getdeltaMeshSize().display());
        EXPECT_EQ(makeArray(c.Delta).display(), read->getDeltaFrameSize().display());
        in.clear();
        std::string next;
        in >> next;
        EXPECT_EQ(c.next, next);
    }
}

TEST(MeshBase, MalformedArrayIsReportedAndSetsNothing)
{
    ProcessStateGuard guard;
    auto mesh = makeMesh();
    // Too few values, a word that is no value, too many values: each is a
    // mesh of another problem, named with the keyword and the dimension.
    const struct
    {
        const char* text;
        const char* message;
    } cases[] = {
        {"DELTA_MESH_SIZE 0.5 oops\nDELTA_FRAME_SIZE 1 2\n",
         "DELTA_MESH_SIZE does not hold 2 values, one per variable"},
        {"DELTA_MESH_SIZE 0.5\nDELTA_FRAME_SIZE 1 2\n",
         "DELTA_MESH_SIZE does not hold 2 values, one per variable"},
        {"DELTA_MESH_SIZE 0.5 0.5\nDELTA_FRAME_SIZE 1 2 3\nITERATION_COUNT 1\n",
         "DELTA_FRAME_SIZE does not hold 2 values, one per variable"},
        {"DELTA_MESH_SIZE 0.5 0.5 0.5", "DELTA_MESH_SIZE does not hold 2 values, one per variable"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.text);
        std::istringstream in(c.text);
        EXPECT_EQ(c.message, messageOf([&] { in >> *mesh; }));
        EXPECT_EQ(0u, mesh->setDeltasCalls);
        EXPECT_EQ("0.5 0.25", mesh->getdeltaMeshSize().display());
    }

    // The word after the values is the next reader's.
    std::istringstream in("DELTA_MESH_SIZE 1 1\nDELTA_FRAME_SIZE 2 2\nITERATION_COUNT 3\n");
    in >> *mesh;
    EXPECT_EQ("1 1", mesh->getdeltaMeshSize().display());
    std::string next;
    in >> next;
    EXPECT_EQ("ITERATION_COUNT", next);
}

TEST(MeshBase, PointIsOnTheMeshOrItsOffsetFromAnOffMeshCentreIs)
{
    ProcessStateGuard guard;
    const auto mesh = makeMesh(); // δ = (0.5, 0.25)
    struct Case
    {
        const char* label;
        std::vector<double> point;
        std::vector<double> center;
        bool onMesh;
    };
    const Case cases[] = {
        {"centre on the mesh, point on it", {1.5, 0.75}, {0.5, 0.25}, true},
        {"centre on the mesh, point off it", {1.5, 0.7}, {0.5, 0.25}, false},
        {"centre off the mesh, offset on it", {0.6, 0.35}, {0.1, 0.1}, true},
        {"centre off the mesh, point on it but not the offset", {1.0, 0.5}, {0.1, 0.1}, false},
        {"dimension 0", {}, {}, true},
        // A coordinate equal to the centre's is on the mesh, whatever the centre.
        {"centre off the mesh, one coordinate its own", {0.1, 0.35}, {0.1, 0.1}, true},
        {"centre off the mesh, the other coordinate off", {0.1, 0.3}, {0.1, 0.1}, false},
        {"the centre itself, off the mesh", {0.1, 0.1}, {0.1, 0.1}, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.onMesh,
                  mesh->verifyPointIsOnMesh(Point(makeArray(c.point)), Point(makeArray(c.center))));
    }
    EXPECT_NE(std::string::npos,
              messageOf(
                  [&] {
                      mesh->verifyPointIsOnMesh(Point(makeArray({1, 1})), Point(makeArray({1})));
                  })
                  .find("is smaller than the point"));
}

TEST(MeshBase, BaseOperationsAndBadInputsAreReported)
{
    ProcessStateGuard guard;
    const auto mesh = makeMesh();
    auto unchecked = std::make_shared<PbParameters>();
    unchecked->setAttributeValue<size_t>("DIMENSION", 2);
    struct Case
    {
        const char* label;
        std::function<void()> op;
        std::string message;
    };
    const Case cases[] = {
        {"per-coordinate projection", [&] { mesh->scaleAndProjectOnMesh(0, Double(1.0)); },
         "scaleAndProjectOnMesh() not defined for MeshBase."},
        {"direction projection", [&] { mesh->scaleAndProjectOnMesh(Direction(2, 1.0)); },
         "scaleAndProjectOnMesh() not defined for MeshBase."},
        {"point projection", [&] { mesh->projectOnMesh(Point(2, 1.0), Point(2, 0.0)); },
         "projectOnMesh() not defined for MeshBase."},
        {"unchecked parameters", [&] { FixedMesh m(unchecked); },
         "Parameter to be checked. In getAttributeValue<T> the attribute INITIAL_MESH_SIZE "
         "has not been checked"},
        {"arrays of the wrong size",
         [&] {
             mesh->setDeltas(makeArray({1}), makeArray({1, 2}));
         },
         "setDeltas: expecting arrays of size 2, got sizes 1 and 2"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.message, messageOf(c.op));
    }
}

TEST(MeshBase, VectorFormsAskEveryCoordinate)
{
    ProcessStateGuard guard;
    const auto mesh = makeMesh();
    EXPECT_EQ("2 8", mesh->getRho().display());
    EXPECT_EQ("2 4", mesh->getDeltaFrameSizeCoarser().display());
}

} // namespace
