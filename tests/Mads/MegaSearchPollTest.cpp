// Gathering mode of MADS: the search and poll points of every iteration of
// a mega-iteration gathered by the mega search-poll, each credited to the
// first iteration that proposed it, and evaluated once, as one block.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/Mads/GMesh.hpp"
#include "Algos/Mads/MadsIteration.hpp"
#include "Algos/Mads/MadsMegaIteration.hpp"
#include "Algos/Mads/MegaSearchPoll.hpp"
#include "Algos/Mads/Poll.hpp"
#include "Algos/Mads/Search.hpp"
#include "Algos/Mads/SearchMethodBase.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/Barrier.hpp"
#include "Math/RNG.hpp"
#include "support/EvcSupport.hpp"
#include "support/GatheringSupport.hpp"
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
using QarnoTest::SeenEvaluation;

using PointSet = std::set<EvalPoint, EvalPointCompare>;

/// A MADS mega-iteration that also holds an iteration of another kind.
class MixedMegaIteration : public MadsMegaIteration
{
public:
    using MadsMegaIteration::MadsMegaIteration;
    void addIteration(const std::shared_ptr<Iteration>& iteration)
    {
        _iterList.push_back(iteration);
    }
};

using QarnoTest::GatheringTree;
using QarnoTest::neighbours;
using QarnoTest::twoIncumbents;

const std::vector<std::string> GATHER = {"GENERATE_ALL_POINTS_BEFORE_EVAL yes",
                                         "MAX_ITERATION_PER_MEGAITERATION 10"};

TEST(MegaSearchPoll, PointsAreCreditedToTheFirstIterationThatProposedThem)
{
    ProcessStateGuard guard;
    GatheringTree tree(GATHER, twoIncumbents(), neighbours());
    const auto& iterations = tree.mega.getIterationList();
    ASSERT_EQ(2u, iterations.size());

    const uint32_t x = RNG::_x, y = RNG::_y, z = RNG::_z;
    MegaSearchPoll megaSearchPoll(&tree.mega);
    megaSearchPoll.start();

    // The same proposals again, from the same draws: search then poll of
    // each iteration in list order.
    RNG::_x = x;
    RNG::_y = y;
    RNG::_z = z;
    std::map<EvalPoint, const Step*, EvalPointCompare> expectedOwner;
    std::vector<PointSet> searchPoints;
    size_t proposals = 0;
    for (const auto& iteration : iterations)
    {
        Search search(iteration.get());
        search.generateTrialPoints();
        Poll poll(iteration.get());
        poll.generateTrialPoints();
        searchPoints.push_back(search.getTrialPoints());
        for (const auto* points : {&search.getTrialPoints(), &poll.getTrialPoints()})
        {
            for (const auto& p : *points)
            {
                expectedOwner.emplace(p, iteration.get());
                ++proposals;
            }
        }
    }
    // The fixture makes both Nelder-Mead passes build the same simplex, so
    // that they propose some of the same points.
    PointSet proposedTwice;
    for (const auto& p : searchPoints[1])
    {
        if (searchPoints[0].count(p) > 0)
        {
            proposedTwice.insert(p);
        }
    }
    ASSERT_FALSE(proposedTwice.empty());
    ASSERT_LT(expectedOwner.size(), proposals);

    // One set, each point once, credited to its first proposer.
    ASSERT_EQ(expectedOwner.size(), megaSearchPoll.getTrialPointsCount());
    for (const auto& p : megaSearchPoll.getTrialPoints())
    {
        SCOPED_TRACE(p.display());
        ASSERT_EQ(1u, expectedOwner.count(p));
        EXPECT_EQ(expectedOwner.at(p), megaSearchPoll.getIterForPoint(p));
    }
    for (const auto& p : proposedTwice)
    {
        EXPECT_EQ(iterations[0].get(), megaSearchPoll.getIterForPoint(p));
    }
    EXPECT_EQ(nullptr,
              megaSearchPoll.getIterForPoint(EvalPoint(Point(QarnoTest::makeArray({40, 40})))));
    megaSearchPoll.end();
}

TEST(MegaSearchPoll, GatheredPointsAreEvaluatedOnceAsOneBlock)
{
    ProcessStateGuard guard;
    GatheringTree tree(GATHER, twoIncumbents(), neighbours());
    std::vector<SeenEvaluation> seen;
    tree.run.evaluator->blocks.clear();
    QarnoTest::recordEvaluations(*tree.run.evaluator, seen);

    MegaSearchPoll megaSearchPoll(&tree.mega);
    megaSearchPoll.start();
    const size_t gathered = megaSearchPoll.getTrialPointsCount();
    std::map<EvalPoint, size_t, EvalPointCompare> kOf;
    for (const auto& p : megaSearchPoll.getTrialPoints())
    {
        const auto* iteration =
            dynamic_cast<const MadsIteration*>(megaSearchPoll.getIterForPoint(p));
        ASSERT_NE(nullptr, iteration);
        kOf[p] = iteration->getK();
    }
    megaSearchPoll.run();
    megaSearchPoll.end();

    // Every gathered point that the cache does not hold yet is evaluated,
    // once, in one block; each is tagged with the number of the iteration
    // it is credited to.
    size_t alreadyCached = 0;
    for (const auto& p : neighbours())
    {
        alreadyCached += kOf.count(p);
    }
    for (const auto& p : twoIncumbents())
    {
        alreadyCached += kOf.count(p);
    }
    ASSERT_EQ(gathered - alreadyCached, seen.size());
    EXPECT_EQ(std::vector<size_t>{seen.size()}, tree.run.evaluator->blockSizes());
    std::set<size_t> ks;
    PointSet evaluated;
    for (const auto& s : seen)
    {
        EvalPoint p{Point(QarnoTest::makeArray(s.coords))};
        EXPECT_TRUE(evaluated.insert(p).second);
        ASSERT_EQ(1u, kOf.count(p));
        EXPECT_EQ(kOf.at(p), s.k);
        ks.insert(s.k);
    }
    EXPECT_EQ((std::set<size_t>{0, 1}), ks);
    EXPECT_NE(SuccessType::NOT_EVALUATED, tree.mega.getSuccessType());
}

TEST(MegaSearchPoll, PendingTerminationEvaluatesNothing)
{
    ProcessStateGuard guard;
    GatheringTree tree(GATHER, twoIncumbents(), neighbours());
    std::vector<SeenEvaluation> seen;
    QarnoTest::recordEvaluations(*tree.run.evaluator, seen);
    tree.mega.setSuccessType(SuccessType::FULL_SUCCESS);

    MegaSearchPoll megaSearchPoll(&tree.mega);
    megaSearchPoll.start();
    EXPECT_GT(megaSearchPoll.getTrialPointsCount(), 0u);
    AlgoStopReasons<MadsStopType>::get(tree.mega.getAllStopReasons())
        ->_algoStopReason.set(MadsStopType::MESH_PREC_REACHED);
    EXPECT_FALSE(megaSearchPoll.run());
    megaSearchPoll.end();
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(SuccessType::NOT_EVALUATED, tree.mega.getSuccessType());
}

TEST(MegaSearchPoll, RefusesWhatItCannotWorkWith)
{
    ProcessStateGuard guard;
    EvcHarness run;
    struct Case
    {
        const char* name;
        std::vector<std::string> lines;
        std::string message;
    };
    const Case cases[] = {
        {"not in gathering mode",
         {},
         "virtual void QARNO_4_0_0::MegaSearchPoll::generateTrialPoints() should only be called "
         "if  parameter GENERATE_ALL_POINTS_BEFORE_EVAL is true"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        MadsUnderTest madsRun(2, c.lines);
        auto barrier = std::make_shared<Barrier>(INF, Point(2), EvalType::BB, twoIncumbents());
        MadsMegaIteration mega(madsRun.mads.get(), 0, barrier,
                               std::make_shared<GMesh>(madsRun.params->get_pb_params()),
                               SuccessType::NOT_EVALUATED);
        MegaSearchPoll megaSearchPoll(&mega);
        EXPECT_NE(
            std::string::npos,
            QarnoTest::messageOf([&] { megaSearchPoll.generateTrialPoints(); }).find(c.message));
    }

    // An iteration that is not a MADS one.
    MadsUnderTest madsRun(2, GATHER);
    MixedMegaIteration mixed(
        madsRun.mads.get(), 0,
        std::make_shared<Barrier>(INF, Point(2), EvalType::BB, twoIncumbents()),
        std::make_shared<GMesh>(madsRun.params->get_pb_params()), SuccessType::NOT_EVALUATED);
    mixed.addIteration(std::make_shared<QarnoTest::TestIteration>(&mixed, 0));
    MegaSearchPoll gathering(&mixed);
    EXPECT_EQ("Cannot convert to MadsIteration shared pointer",
              QarnoTest::messageOf([&] { gathering.start(); }));

    // Below a mega-iteration of another algorithm.
    QarnoTest::TestMegaIteration other(
        madsRun.mads.get(), 0,
        std::make_shared<Barrier>(INF, Point(2), EvalType::BB, twoIncumbents()));
    EXPECT_EQ("An instance of class MegaSearch must have a MadsMegaIteration among its ancestors",
              QarnoTest::messageOf([&] { MegaSearchPoll megaSearchPoll(&other); }));
}

TEST(MegaSearchPoll, NelderMeadSinglePassProposesAtMostFourPointsUnevaluated)
{
    const struct
    {
        const char* name;
        std::vector<std::string> lines;
        size_t atMost;
    } cases[] = {
        {"default coefficients", {}, 4},
        // The outside contraction falls on the reflection.
        {"outside contraction coefficient 1", {"NM_DELTA_OC 1"}, 3},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ProcessStateGuard guard;
        std::vector<std::string> lines = GATHER;
        lines.push_back("SPECULATIVE_SEARCH no");
        lines.insert(lines.end(), c.lines.begin(), c.lines.end());
        GatheringTree tree(lines, twoIncumbents(), neighbours());
        std::vector<SeenEvaluation> seen;
        QarnoTest::recordEvaluations(*tree.run.evaluator, seen);
        const auto iteration =
            std::dynamic_pointer_cast<MadsIteration>(tree.mega.getIterationList().front());
        ASSERT_NE(nullptr, iteration);

        Search search(iteration.get());
        EXPECT_EQ("Search (Nelder Mead single pass)", search.getSearchMethods().back()->getName());
        search.generateTrialPoints();
        EXPECT_GE(search.getTrialPointsCount(), 1u);
        EXPECT_LE(search.getTrialPointsCount(), c.atMost);
        EXPECT_TRUE(seen.empty());

        EXPECT_TRUE(seen.empty());
    }
}

TEST(MegaSearchPoll, GatheringRunIsNotCappedByTheNelderMeadBudget)
{
    // The Nelder-Mead search of a gathering run evaluates nothing itself:
    // no lap budget of 80 x n may end the whole run.
    ProcessStateGuard guard;
    auto evaluator = QarnoTest::shiftedQuadratic({0.3, -0.7, 1.1});
    std::vector<SeenEvaluation> seen;
    QarnoTest::recordEvaluations(*evaluator, seen);
    auto params = QarnoTest::makeMadsParameters(
        3, "OBJ", {{5, 5, 5}},
        {"MAX_BB_EVAL 400", "GENERATE_ALL_POINTS_BEFORE_EVAL yes", "BB_MAX_BLOCK_SIZE 100",
         "LOWER_BOUND * -10", "UPPER_BOUND * 10"});
    const auto result = QarnoTest::runMadsMainStep(params, evaluator);
    EXPECT_EQ(400u, result.bbEval) << result.stopReason;
    EXPECT_NE(std::string::npos, result.stopReason.find("Max number of blackbox evaluations"))
        << result.stopReason;
    for (const auto& s : seen)
    {
        EXPECT_EQ(std::numeric_limits<size_t>::max(), s.lapMaxBbEval);
    }
    // Search and poll points of a mega-iteration come in one block: more
    // than the 2n poll points.
    size_t largest = 0;
    for (const size_t size : evaluator->blockSizes())
    {
        largest = std::max(largest, size);
    }
    EXPECT_GT(largest, 6u);
    EXPECT_LT(result.bestF, 1e-3);
}

} // namespace
