// The MADS mega-iteration: the iterations made around the barrier's
// incumbents and their numbers, and the hot-restart text of its mesh,
// iteration count and barrier.

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Algos/Mads/GMesh.hpp"
#include "Algos/Mads/MadsIteration.hpp"
#include "Algos/Mads/MadsMegaIteration.hpp"
#include "Eval/Barrier.hpp"
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
using QarnoTest::ProcessStateGuard;

/// nbFeas and nbInf equally good feasible and infeasible points.
std::vector<EvalPoint> incumbents(size_t nbFeas, size_t nbInf)
{
    std::vector<EvalPoint> points;
    for (size_t i = 0; i < nbFeas; ++i)
    {
        points.push_back(makeMadsPoint({static_cast<double>(i), 0}, 1, 0));
    }
    for (size_t i = 0; i < nbInf; ++i)
    {
        points.push_back(makeMadsPoint({static_cast<double>(i), 1}, 5, 1));
    }
    return points;
}

TEST(MadsMegaIteration, IterationsAroundTheIncumbents)
{
    struct Case
    {
        size_t nbFeas, nbInf, k;
        size_t itersFeas, itersInf;
    };
    const std::vector<Case> cases = {
        {12, 3, 0, 7, 3}, {1, 20, 4, 1, 9}, {8, 8, 7, 5, 5}, {0, 4, 3, 0, 4}, {2, 3, 1, 2, 3},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.nbFeas) + " feasible, " + std::to_string(c.nbInf) +
                     " infeasible");
        ProcessStateGuard guard;
        EvcHarness run;
        MadsUnderTest madsRun(2, {"MAX_ITERATION_PER_MEGAITERATION 10"});
        auto barrier =
            std::make_shared<Barrier>(INF, Point(2), EvalType::BB, incumbents(c.nbFeas, c.nbInf));
        ASSERT_EQ(c.nbFeas, barrier->getAllXFeas().size());
        ASSERT_EQ(c.nbInf, barrier->getAllXInf().size());
        auto mesh = std::make_shared<GMesh>(madsRun.params->get_pb_params());
        MadsMegaIteration mega(madsRun.mads.get(), c.k, barrier, mesh, SuccessType::NOT_EVALUATED);
        mega.start();

        const auto& iterations = mega.getIterationList();
        ASSERT_EQ(c.itersFeas + c.itersInf, iterations.size());
        for (size_t i = 0; i < iterations.size(); ++i)
        {
            const auto iteration = std::dynamic_pointer_cast<MadsIteration>(iterations[i]);
            ASSERT_NE(nullptr, iteration);
            EXPECT_EQ(c.k + i, iteration->getK());
            EXPECT_EQ(mesh, iteration->getMesh());
            const auto& expected = i < c.itersFeas ? barrier->getAllXFeas()[i]
                                                   : barrier->getAllXInf()[i - c.itersFeas];
            EXPECT_EQ(expected, *iteration->getFrameCenter());
            // Only the first iteration is around the barrier's first incumbent.
            EXPECT_EQ(0 == i, iteration->isMainIteration());
        }
        mega.end();
        EXPECT_TRUE(mega.getIterationList().empty());
    }
}

TEST(MadsMegaIteration, AFullSuccessEndsTheMegaIteration)
{
    // Two feasible incumbents, (0, 0) and (1, 0), whose recorded f is
    // `incumbentF`; the evaluator gives f = x0, so the poll around (0, 0)
    // finds f = -1. Below -1 nothing the polls reach improves.
    struct Case
    {
        const char* name;
        double incumbentF;
        size_t iterationsRun;
        SuccessType success;
    };
    const std::vector<Case> cases = {
        {"full success in the first iteration", 1.0, 1, SuccessType::FULL_SUCCESS},
        {"no success: every iteration runs", -5.0, 2, SuccessType::FAILURE},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard guard;
        EvcHarness run;
        MadsUnderTest madsRun(2, {"NM_SEARCH no", "SPECULATIVE_SEARCH no"});
        auto barrier = std::make_shared<Barrier>(
            INF, Point(2), EvalType::BB,
            std::vector<EvalPoint>{makeMadsPoint({0, 0}, c.incumbentF, 0),
                                   makeMadsPoint({1, 0}, c.incumbentF, 0)});
        ASSERT_EQ(2u, barrier->getAllXFeas().size());
        auto mesh = std::make_shared<GMesh>(madsRun.params->get_pb_params());
        MadsMegaIteration mega(madsRun.mads.get(), 3, barrier, mesh, SuccessType::NOT_EVALUATED);
        mega.start();
        ASSERT_EQ(2u, mega.getIterationList().size());
        const bool improved = mega.run();
        mega.end();

        EXPECT_EQ(c.iterationsRun, mega.getNbIterRun());
        EXPECT_EQ(3 + c.iterationsRun, mega.getNextK());
        EXPECT_EQ(c.success, mega.getSuccessType());
        EXPECT_EQ(SuccessType::FULL_SUCCESS == c.success, improved);
    }
}

TEST(MadsMegaIteration, HotRestartTextRoundTrip)
{
    ProcessStateGuard guard;
    EvcHarness run;
    MadsUnderTest madsRun(2);
    const auto& pb = madsRun.params->get_pb_params();

    auto barrier = std::make_shared<Barrier>(INF, Point(2), EvalType::BB, incumbents(2, 1));
    auto mesh = std::make_shared<GMesh>(pb);
    mesh->refineDeltaFrameSize();
    mesh->refineDeltaFrameSize();
    MadsMegaIteration written(madsRun.mads.get(), 5, barrier, mesh, SuccessType::NOT_EVALUATED);
    std::ostringstream out;
    out << written;
    const std::string text = out.str();
    EXPECT_EQ(0u, text.find("MAIN_MESH \nDELTA_MESH_SIZE "));
    EXPECT_NE(std::string::npos, text.find("ITERATION_COUNT 5\nBARRIER \n"));

    // Read back into fresh objects, the three blocks in another order, and
    // followed by a word for the enclosing reader.
    const size_t countAt = text.find("ITERATION_COUNT");
    const std::string reordered = text.substr(countAt) + text.substr(0, countAt) + "NB_EVAL 3\n";
    auto readBarrier = std::make_shared<Barrier>(INF, Point(2), EvalType::BB, incumbents(1, 0));
    auto readMesh = std::make_shared<GMesh>(pb);
    MadsMegaIteration read(madsRun.mads.get(), 0, readBarrier, readMesh,
                           SuccessType::NOT_EVALUATED);
    std::istringstream in(reordered);
    in >> read;

    EXPECT_EQ(5u, read.getK());
    EXPECT_EQ(mesh->getDeltaFrameSize(), readMesh->getDeltaFrameSize());
    EXPECT_EQ(mesh->getdeltaMeshSize(), readMesh->getdeltaMeshSize());
    // The points read back are compared through their text below (their f
    // and h are recomputed by the cache, not by the reader).
    EXPECT_EQ(2u, readBarrier->getAllXFeas().size());
    EXPECT_EQ(1u, readBarrier->getAllXInf().size());
    std::string next;
    in >> next;
    EXPECT_EQ("NB_EVAL", next);

    std::ostringstream again;
    again << read;
    EXPECT_EQ(text, again.str());
}

TEST(MadsMegaIteration, ReadWithoutCountGivesZero)
{
    ProcessStateGuard guard;
    EvcHarness run;
    MadsUnderTest madsRun(2);
    auto barrier = std::make_shared<Barrier>(INF, Point(2), EvalType::BB, incumbents(1, 0));
    MadsMegaIteration mega(madsRun.mads.get(), 9, barrier, nullptr, SuccessType::NOT_EVALUATED);
    QarnoTest::CerrCapture err;
    std::istringstream in("MAIN_MESH NB_BB_EVAL 4");
    mega.read(in);
    EXPECT_EQ(0u, mega.getK());
    EXPECT_EQ("Error: Reading a mesh onto a NULL pointer", err.text());
    std::string next;
    in >> next;
    EXPECT_EQ("NB_BB_EVAL", next);
}

} // namespace
