// The progressive barrier: building it from the cache, offering evaluated
// points with and without ties, the hMax checks, the display and the text
// form of the hot-restart file.

#include <gtest/gtest.h>

#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "Cache/CacheBase.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvalPoint.hpp"
#include "Math/Point.hpp"
#include "support/CacheSupport.hpp"
#include "support/EvalSupport.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::CerrCapture;
using QarnoTest::coordsOf;
using QarnoTest::makeArray;
using QarnoTest::makeBBPoint;
using QarnoTest::makeEvalPoint;
using QarnoTest::messageOf;
using QarnoTest::ProcessStateGuard;
using QarnoTest::startCache;
using QarnoTest::UNDEF;

namespace
{

const double EPS = Double::DEFAULT_EPSILON;
const BBOutputTypeList OBJ_PB = {BBOutputType::OBJ, BBOutputType::PB};

/// The fixed variable of a problem of dimension n without fixed variables.
Point noFixed(size_t n)
{
    return Point(n);
}

class BarrierTest : public ::testing::Test
{
protected:
    ProcessStateGuard _guard;
};

TEST_F(BarrierTest, BuiltFromTheCacheAndThePointsGiven)
{
    CacheBase& cache = startCache(OBJ_PB);
    EXPECT_EQ("Barrier could not set point size", messageOf([] { Barrier(INF, noFixed(2)); }));

    // Failed points set the dimension but enter no list.
    EvalPoint failed(Point(makeArray({1, 1})));
    failed.setBBO("x 0", OBJ_PB, EvalType::BB);
    EXPECT_EQ("Barrier constructor: xFeas or xInf must be evaluated.\nThere are no xFeas and no "
              "xInf defined.",
              messageOf([&] { Barrier(INF, noFixed(2), EvalType::BB, {failed}); }));

    // A cache of infeasible points only.
    cache.insert(makeBBPoint({1, 1}, "5 2", OBJ_PB));  // h = 4
    cache.insert(makeBBPoint({2, 2}, "3 1", OBJ_PB));  // h = 1: best infeasible
    cache.insert(makeBBPoint({3, 3}, "0 30", OBJ_PB)); // h above hMax
    const Barrier infeasibleOnly(10.0, noFixed(2));
    EXPECT_TRUE(infeasibleOnly.getAllXFeas().empty());
    EXPECT_EQ((std::vector<std::vector<double>>{{2, 2}}), coordsOf(infeasibleOnly.getAllXInf()));
    EXPECT_EQ(2u, infeasibleOnly.getN());

    // Cache points come in the sub-space of the fixed variable; given points join them.
    cache.insert(makeBBPoint({4, 5}, "7 -1", OBJ_PB));
    const Barrier sub(10.0, Point(makeArray({UNDEF, 5})), EvalType::BB,
                      {makeBBPoint({8}, "7 0", OBJ_PB)});
    EXPECT_EQ((std::vector<std::vector<double>>{{4}, {8}}), coordsOf(sub.getAllXFeas()));
    EXPECT_TRUE(sub.getAllXInf().empty()); // no cached infeasible point has x2 = 5

    EXPECT_EQ("Error: Fixed variable of dimension 0", messageOf([] { Barrier(INF, Point()); }));
}

TEST_F(BarrierTest, NeedsTheCache)
{
    EXPECT_EQ(
        "Cache must be instantiated before initializing Barrier.",
        messageOf([] { Barrier(INF, noFixed(1), EvalType::BB, {makeEvalPoint({1}, 1, 0)}); }));
}

TEST_F(BarrierTest, UpdateWithPoints)
{
    startCache(OBJ_PB);
    const struct
    {
        const char* name;
        std::vector<EvalPoint> offered;
        bool keepAllPoints;
        bool updated;
        std::vector<std::vector<double>> xFeas;
        std::vector<std::vector<double>> xInf;
    } cases[] = {
        {"better feasible replaces all", {makeEvalPoint({9}, 0, 0)}, true, true, {{9}}, {{2}}},
        {"tie joins with keepAllPoints",
         {makeEvalPoint({9}, 1 + EPS / 2, 0)},
         true,
         true,
         {{1}, {9}},
         {{2}}},
        {"tie ignored without", {makeEvalPoint({9}, 1, 0)}, false, false, {{1}}, {{2}}},
        {"same point again", {makeEvalPoint({1}, 1, 0)}, true, false, {{1}}, {{2}}},
        {"worse feasible", {makeEvalPoint({9}, 2, 0)}, true, false, {{1}}, {{2}}},
        {"lower h, higher f replaces", {makeEvalPoint({9}, 50, 1)}, false, true, {{1}}, {{9}}},
        {"same h, lower f replaces", {makeEvalPoint({9}, 4, 2)}, false, true, {{1}}, {{9}}},
        {"both lists",
         {makeEvalPoint({8}, 0, 0), makeEvalPoint({9}, 9, 1)},
         false,
         true,
         {{8}},
         {{9}}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Barrier barrier(10.0, noFixed(1), EvalType::BB,
                        {makeEvalPoint({1}, 1, 0), makeEvalPoint({2}, 5, 2)});
        EXPECT_EQ(c.updated, barrier.updateWithPoints(c.offered, EvalType::BB, c.keepAllPoints));
        EXPECT_EQ(c.xFeas, coordsOf(barrier.getAllXFeas()));
        EXPECT_EQ(c.xInf, coordsOf(barrier.getAllXInf()));
        EXPECT_EQ(10.0, barrier.getHMax().todouble()); // never changed by an update
    }

    // An infeasible point enters with h up to hMax, not beyond.
    const struct
    {
        double h;
        bool enters;
    } hCases[] = {{10, true}, {10 + EPS / 2, true}, {10 + 2 * EPS, false}};
    for (const auto& c : hCases)
    {
        SCOPED_TRACE(c.h);
        Barrier barrier(10.0, noFixed(1), EvalType::BB, {makeEvalPoint({1}, 1, 0)});
        EXPECT_EQ(c.enters,
                  barrier.updateWithPoints({makeEvalPoint({9}, 0, c.h)}, EvalType::BB, false));
        EXPECT_EQ(c.enters ? 1u : 0u, barrier.getAllXInf().size());
    }

    // Points without a usable evaluation change nothing; a wrong dimension throws.
    Barrier barrier(10.0, noFixed(1), EvalType::BB, {makeEvalPoint({1}, 1, 0)});
    EvalPoint failed(Point(makeArray({0})));
    failed.setBBO("x", "OBJ", EvalType::BB);
    EXPECT_FALSE(
        barrier.updateWithPoints({failed, makeEvalPoint({3}, 0, 0)}, EvalType::SGTE, true));
    EXPECT_FALSE(barrier.updateWithPoints({failed}, EvalType::BB, true));
    EXPECT_EQ("Barrier update: Barrier points are of dimension 1. Trying to add this point of "
              "dimension 2: #0 ( 1 2 )\tEvaluation OK\t f = 0\t h = 0",
              messageOf(
                  [&] {
                      barrier.updateWithPoints({makeEvalPoint({1, 2}, 0, 0)}, EvalType::BB, true);
                  }));
}

TEST_F(BarrierTest, HMaxAndListChecks)
{
    startCache(OBJ_PB);
    Barrier barrier(10.0, noFixed(1), EvalType::BB, {makeEvalPoint({1}, 1, 0)});
    barrier.setHMax(0.0);
    EXPECT_EQ(0.0, barrier.getHMax().todouble());
    EXPECT_EQ("Barrier: hMax must be positive. Value:  -1       ",
              messageOf([&] { barrier.setHMax(-1.0); }));
    EXPECT_EQ("Barrier: hMax is not defined.", messageOf([&] { barrier.setHMax(Double()); }));
    EXPECT_EQ("Barrier: xInf must be evaluated before being set.",
              messageOf([&] { barrier.checkXInf(); }));
    barrier.clearXFeas();
    EXPECT_EQ("Barrier: xFeas must be evaluated before being set.",
              messageOf([&] { barrier.checkXFeas(EvalType::BB); }));

    // A feasible incumbent whose h is not 0 is repaired with a warning.
    CerrCapture err;
    EvalPoint almost = makeEvalPoint({4}, 1, 0);
    almost.getEval(EvalType::BB)->setH(0.5);
    barrier.addXFeas(almost, EvalType::BB);
    EXPECT_EQ("Warning: Barrier: xFeas' H value will be enforced to 0.0. xFeas input value for h "
              "was 0.5\n",
              err.text());
    EXPECT_EQ(0.0, barrier.getAllXFeas()[0].getH(EvalType::BB).todouble());
}

TEST_F(BarrierTest, DisplayAndReferences)
{
    startCache(OBJ_PB);
    Barrier barrier(INF, noFixed(1), EvalType::BB,
                    {makeEvalPoint({1}, 1, 0), makeEvalPoint({2}, 1, 0), makeEvalPoint({3}, 1, 0)});
    EXPECT_EQ(nullptr, barrier.getRefBestFeas());
    barrier.updateRefBests();
    ASSERT_NE(nullptr, barrier.getRefBestFeas());
    EXPECT_EQ(nullptr, barrier.getRefBestInf());
    EXPECT_EQ(1.0, (*barrier.getRefBestFeas())[0].todouble());

    const std::string display = barrier.display(0);
    EXPECT_EQ("X_FEAS #0 ( 1 )\t(BB - Evaluation OK\t f = 1\t h = 0)\n"
              "... (total 3)\n"
              "H_MAX inf\n"
              "Ref Best Feasible:   #0 ( 1 )\t(BB - Evaluation OK\t f = 1\t h = 0)\n"
              "Ref Best Infeasible: NULL\n",
              display);
    EXPECT_EQ(std::string::npos, barrier.display(4).find("total"));
}

TEST_F(BarrierTest, TextFormReadBackTakesThePointsFromTheCache)
{
    CacheBase& cache = startCache(OBJ_PB);
    const EvalPoint feasible = makeBBPoint({1, 2}, "3 0", OBJ_PB);
    const EvalPoint infeasible = makeBBPoint({2, 2}, "1 2", OBJ_PB);
    cache.insert(feasible);
    cache.insert(infeasible);
    Barrier written(5.0, noFixed(2));
    std::ostringstream out;
    out << written;

    // Two runs in one process read the same text the same way.
    for (int run = 0; run < 2; ++run)
    {
        SCOPED_TRACE(run);
        std::istringstream in(out.str() + "MAIN_MESH 1");
        Barrier read(INF, noFixed(2), EvalType::BB, {makeEvalPoint({9, 9}, 0, 7)});
        in >> read;
        EXPECT_EQ(coordsOf(written.getAllXFeas()), coordsOf(read.getAllXFeas()));
        EXPECT_EQ(coordsOf(written.getAllXInf()), coordsOf(read.getAllXInf()));
        EXPECT_EQ(5.0, read.getHMax().todouble());
        // The cached points come with their evaluations.
        EXPECT_EQ(3.0, read.getAllXFeas()[0].getF(EvalType::BB).todouble());
        EXPECT_EQ(4.0, read.getAllXInf()[0].getH(EvalType::BB).todouble());
        std::string next;
        in >> next;
        EXPECT_EQ("MAIN_MESH", next); // left for the next reader
    }
}

} // namespace
