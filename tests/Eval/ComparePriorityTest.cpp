// The orders of the evaluation queue: the comparison methods, the functor
// that applies them, and the keyed sort of the queue.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <regex>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "Eval/ComparePriority.hpp"
#include "Eval/EvalQueuePoint.hpp"
#include "Math/Direction.hpp"
#include "Math/Double.hpp"
#include "Math/Point.hpp"
#include "Util/Exception.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::CerrCapture;
using QarnoTest::makeArray;
using QarnoTest::messageOf;
using QarnoTest::ProcessStateGuard;

namespace
{

using Entry = std::shared_ptr<EvalQueuePoint>;
using Queue = std::vector<Entry>;

/// A queue entry with these coordinates and tag, generated from `from`
/// (none when empty) by main thread `thread` at iteration k.
Entry entry(const std::vector<double>& coords, size_t tag, const std::vector<double>& from = {},
            int thread = 0, size_t k = 0)
{
    EvalPoint point{Point(makeArray(coords))};
    point.setTag(tag);
    point.setThreadAlgo(thread);
    if (!from.empty())
    {
        point.setPointFrom(std::make_shared<Point>(makeArray(from)));
    }
    auto e = std::make_shared<EvalQueuePoint>(point, EvalType::BB);
    e->setK(k);
    return e;
}

std::vector<size_t> tagsOf(const Queue& queue)
{
    std::vector<size_t> tags;
    for (const auto& e : queue)
    {
        tags.push_back(e->getTag());
    }
    return tags;
}

std::shared_ptr<OrderByDirection> byDirection(const std::vector<double>& lastDir)
{
    return std::make_shared<OrderByDirection>(
        std::vector<std::shared_ptr<Direction>>{std::make_shared<Direction>(makeArray(lastDir))});
}

/// A method of the user: by decreasing tag, with no sort keys; throws the
/// library's exception for tag 99 and another exception for tag 98.
class ByDecreasingTag : public ComparePriorityMethod
{
public:
    explicit ByDecreasingTag(const std::string& name) { _name = name; }
    bool comp(Entry& p1, Entry& p2) const override
    {
        for (const auto* p : {&p1, &p2})
        {
            if (99 == (*p)->getTag())
            {
                throw Exception("user", 1, "cannot compare");
            }
            if (98 == (*p)->getTag())
            {
                throw std::runtime_error("not the library's");
            }
        }
        return p1->getTag() > p2->getTag();
    }
};

/// A method of the user that is no order at all.
class AlwaysBefore : public ComparePriorityMethod
{
public:
    bool comp(Entry&, Entry&) const override { return true; }
};

// ---------------------------------------------------------------------------

TEST(ComparePriority, WithoutMethodEveryPairIsEquivalent)
{
    Entry a = entry({1, 0}, 1);
    Entry b = entry({0, 1}, 2);
    const ComparePriority none(nullptr);
    EXPECT_FALSE(none(a, b));
    EXPECT_FALSE(none(b, a));

    Queue queue{b, a};
    sortEvalQueue(queue, nullptr);
    EXPECT_EQ((std::vector<size_t>{2, 1}), tagsOf(queue));

    // The base method holds every pair equivalent too.
    const ComparePriority base(std::make_shared<ComparePriorityMethod>());
    EXPECT_FALSE(base(a, b));
    EXPECT_FALSE(base(b, a));
}

TEST(ComparePriority, BasicCompOrdersByIterationNumber)
{
    auto method = std::make_shared<BasicComp>();
    Queue queue{entry({1}, 1, {}, 0, 3), entry({2}, 2, {}, 0, 1), entry({3}, 3, {}, 0, 2)};
    const ComparePriority comp(method);
    EXPECT_TRUE(comp(queue[1], queue[0]));
    EXPECT_FALSE(comp(queue[0], queue[1]));
    EXPECT_FALSE(comp(queue[0], queue[0]));

    sortEvalQueue(queue, method);
    EXPECT_EQ((std::vector<size_t>{2, 3, 1}), tagsOf(queue));
}

TEST(ComparePriority, RandomRanks)
{
    // Twice in one process: the same generator state gives the same ranks.
    std::vector<double> firstRun;
    for (int run = 0; run < 2; ++run)
    {
        SCOPED_TRACE("run " + std::to_string(run));
        ProcessStateGuard guard;
        auto method = std::make_shared<RandomComp>(3);
        EXPECT_EQ("Random", method->getName());
        Queue queue{entry({1}, 11), entry({2}, 12), entry({3}, 13)};

        // Ranks are drawn on first sight and kept.
        const ComparePriority comp(method);
        const bool before = comp(queue[0], queue[1]);
        std::vector<double> ranks;
        for (const auto& e : queue)
        {
            ranks.push_back(method->sortKey(*e));
        }
        EXPECT_EQ((std::set<double>{0, 1, 2}), std::set<double>(ranks.begin(), ranks.end()));
        EXPECT_EQ(ranks[0] < ranks[1], before);
        EXPECT_EQ(ranks[1] < ranks[2], comp(queue[1], queue[2]));

        // All three ranks drawn: a fourth tag gets 0.
        EXPECT_EQ(0.0, method->sortKey(*entry({4}, 14)));
        EXPECT_EQ(ranks[0], method->sortKey(*queue[0]));

        sortEvalQueue(queue, method);
        for (size_t i = 0; i < queue.size(); ++i)
        {
            EXPECT_EQ(static_cast<double>(i), method->sortKey(*queue[i]));
        }
        if (0 == run)
        {
            firstRun = ranks;
        }
        else
        {
            EXPECT_EQ(firstRun, ranks);
        }
    }
}

TEST(ComparePriority, RandomSortDrawsInQueueOrder)
{
    // The keyed sort draws the ranks of new tags in queue order, whatever
    // order a sort algorithm would compare them in.
    std::vector<double> drawnDirectly;
    {
        ProcessStateGuard guard;
        RandomComp method(4);
        for (size_t tag = 1; tag <= 4; ++tag)
        {
            drawnDirectly.push_back(method.sortKey(*entry({0}, tag)));
        }
    }
    ProcessStateGuard guard;
    auto method = std::make_shared<RandomComp>(4);
    Queue queue{entry({0}, 1), entry({0}, 2), entry({0}, 3), entry({0}, 4)};
    sortEvalQueue(queue, method);
    for (size_t i = 0; i < queue.size(); ++i)
    {
        EXPECT_EQ(static_cast<double>(i), drawnDirectly[queue[i]->getTag() - 1]);
    }
}

TEST(ComparePriority, OrderByDirectionPairs)
{
    // Last success (1, 0); frame center (0, 0).
    auto method = byDirection({1, 0});
    EXPECT_EQ("OrderByDirection", method->getName());
    Entry along = entry({1, 0}, 1, {0, 0});  // cosine 1
    Entry across = entry({0, 1}, 2, {0, 0}); // cosine 0
    Entry center = entry({0, 0}, 3, {0, 0}); // zero direction
    Entry orphan = entry({5, 5}, 4);         // no point-from
    Entry otherThread = entry({0, 1}, 5, {0, 0}, 1);

    const struct
    {
        const char* label;
        Entry p1;
        Entry p2;
        bool expected;
    } cases[] = {
        {"smaller cosine first", across, along, true},
        {"larger cosine not first", along, across, false},
        {"equal cosines", along, along, false},
        {"normal point before zero direction", along, center, true},
        {"zero direction not before normal point", center, along, false},
        {"point-from before none", across, orphan, true},
        {"none not before point-from", orphan, across, false},
        {"both without point-from", orphan, orphan, false},
        {"thread without a direction", otherThread, along, false},
        {"thread without a direction, second", along, otherThread, false},
        {"null entry", nullptr, along, false},
    };
    const ComparePriority comp(method);
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        Entry p1 = c.p1;
        Entry p2 = c.p2;
        EXPECT_EQ(c.expected, comp(p1, p2));
    }

    // Cosines within the tolerance are equivalent to `comp`.
    Entry almostAlong = entry({1, Double::getEpsilon() / 4}, 6, {0, 0});
    EXPECT_FALSE(comp(almostAlong, along));
    EXPECT_FALSE(comp(along, almostAlong));
}

TEST(ComparePriority, OrderByDirectionWithoutUsableDirection)
{
    const struct
    {
        const char* label;
        std::vector<std::shared_ptr<Direction>> dirs;
    } cases[] = {
        {"none at all", {}},
        {"null", {nullptr}},
        {"undefined", {std::make_shared<Direction>(2)}},
        {"zero", {std::make_shared<Direction>(2, 0.0)}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        auto method = std::make_shared<OrderByDirection>(c.dirs);
        Queue queue{entry({1, 0}, 1, {0, 0}), entry({0, 1}, 2, {0, 0}), entry({3, 3}, 3)};
        const ComparePriority comp(method);
        EXPECT_FALSE(comp(queue[0], queue[1]));
        EXPECT_FALSE(comp(queue[1], queue[0]));
        sortEvalQueue(queue, method);
        EXPECT_EQ((std::vector<size_t>{1, 2, 3}), tagsOf(queue));
    }
}

TEST(ComparePriority, QueueSortedByDirection)
{
    // From first to last (the last is evaluated first): increasing cosine,
    // then the points without a direction in their queue order.
    auto method = byDirection({1, 0});
    Queue queue{
        entry({0, 0}, 1, {0, 0}),  // zero direction
        entry({1, 0}, 2, {0, 0}),  // cosine 1
        entry({7, 7}, 3),          // no point-from
        entry({-1, 0}, 4, {0, 0}), // cosine -1
        entry({1, 1}, 5, {0, 0}),  // cosine 0.707
        entry({0, 1}, 6, {0, 0}),  // cosine 0
    };
    sortEvalQueue(queue, method);
    EXPECT_EQ((std::vector<size_t>{4, 6, 5, 2, 1, 3}), tagsOf(queue));
}

TEST(ComparePriority, EachSortReadsTheLastDirectionAgain)
{
    // One method kept across sorts (as a user's may be): the direction and
    // its norm are taken at each sort, never from the one before.
    auto last = std::make_shared<Direction>(makeArray({1, 0}));
    auto method = std::make_shared<OrderByDirection>(std::vector<std::shared_ptr<Direction>>{last});
    const Entry towardX = entry({2, 0}, 1, {0, 0});
    const Entry towardY = entry({0, 3}, 2, {0, 0});
    Queue queue{towardX, towardY};
    sortEvalQueue(queue, method);
    EXPECT_EQ((std::vector<size_t>{2, 1}), tagsOf(queue));
    EXPECT_DOUBLE_EQ(1.0, method->sortKey(*towardX));

    *last = Direction(makeArray({0, 5}));
    sortEvalQueue(queue, method);
    EXPECT_EQ((std::vector<size_t>{1, 2}), tagsOf(queue));
    EXPECT_DOUBLE_EQ(1.0, method->sortKey(*towardY));
    EXPECT_DOUBLE_EQ(0.0, method->sortKey(*towardX));
}

TEST(ComparePriority, QueueSortFollowsCosinesCloserThanTheTolerance)
{
    // Forty cosines, a quarter of the tolerance apart, queued in decreasing
    // order: the tolerant comparison holds neighbours equivalent but not
    // the ends, which is no order a sort may rely on. The queue is sorted by
    // the cosines themselves.
    auto method = byDirection({1, 0});
    const double step = Double::getEpsilon() / 4;
    Queue queue;
    for (size_t i = 0; i < 40; ++i)
    {
        const double angle = std::acos(0.5) + static_cast<double>(i) * step;
        queue.push_back(entry({std::cos(angle), std::sin(angle)}, i + 1, {0, 0}));
    }
    sortEvalQueue(queue, method);
    for (size_t i = 1; i < queue.size(); ++i)
    {
        EXPECT_LT(method->sortKey(*queue[i - 1]), method->sortKey(*queue[i])) << "position " << i;
    }
    EXPECT_EQ(40u, queue.front()->getTag());
    EXPECT_EQ(1u, queue.back()->getTag());
}

// The key is the cosine of the point's direction from its frame centre with
// the last successful direction, to the last bit: a key off by one unit in
// the last place can swap two points of a poll and change a run.
TEST(ComparePriority, DirectionKeysAreTheCosinesOfTheDirections)
{
    const size_t n = 300;
    std::vector<double> last(n);
    std::vector<double> centre(n);
    std::vector<double> far(n);
    std::vector<double> near(n);
    std::vector<double> sparse(n, 0.0);
    for (size_t i = 0; i < n; ++i)
    {
        const double t = static_cast<double>(i);
        last[i] = std::sin(0.7 * t) * std::pow(10.0, static_cast<double>(i % 7) - 3.0);
        centre[i] = std::cos(1.3 * t) * 1e3 + 0.1;
        far[i] = centre[i] + std::sin(2.9 * t) * std::pow(10.0, static_cast<double>(i % 5) - 1.0);
        near[i] = centre[i] + ((i % 3 == 0) ? 1e-7 * std::cos(t) : 0.0);
    }
    sparse[17] = centre[17] - 2.5;
    const struct
    {
        const char* name;
        std::vector<double> point;
        std::vector<double> from;
    } cases[] = {
        {"dense and of mixed scales", far, centre},
        {"a few coordinates moved on a fine grid", near, centre},
        {"one coordinate moved from a centre mostly at zero", sparse, std::vector<double>(n, 0.0)},
    };
    auto method = byDirection(last);
    const Direction lastDir(makeArray(last));
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const Entry e = entry(c.point, 1, c.from);
        const Direction dir = Point::vectorize(*e->getPointFrom(), *e);
        const double expected = Direction::cos(lastDir, dir).todouble();
        EXPECT_EQ(expected, method->sortKey(*e));
        method->startKeys();
        EXPECT_EQ(expected, method->sortKey(*e));
        method->endKeys();
    }
}

TEST(ComparePriority, DirectionOfAnotherDimension)
{
    const std::string first =
        "Error: Last successful direction is not of the same dimension as points";
    auto method = byDirection({1, 0, 0});
    Entry a = entry({1, 0}, 1, {0, 0});
    Entry b = entry({0, 1}, 2, {0, 0});

    {
        CerrCapture cerr;
        EXPECT_EQ(first, messageOf([&] { method->comp(a, b); }));
        EXPECT_EQ(first + "\n", cerr.text());
    }
    {
        const ComparePriority comp(method);
        CerrCapture cerr;
        const std::string msg = messageOf([&] { comp(a, b); });
        const std::regex expected("Error: ComparePriority: Comparison with method OrderByDirection "
                                  "failed for point1 = #1 \\( 1 0 \\), point2 = #2 \\( 0 1 \\) "
                                  "QARNO::Exception thrown \\([^,]*, [0-9]+\\) " +
                                  first);
        EXPECT_TRUE(std::regex_match(msg, expected)) << msg;
        EXPECT_EQ(first + "\n" + msg + "\n", cerr.text());
    }
    {
        // The keyed sort names the point whose key failed and leaves the
        // queue as it was.
        Queue queue{b, a};
        CerrCapture cerr;
        const std::string msg = messageOf([&] { sortEvalQueue(queue, method); });
        const std::regex expected("Error: ComparePriority: Sort key with method OrderByDirection "
                                  "failed for point = #2 \\( 0 1 \\) "
                                  "QARNO::Exception thrown \\([^,]*, [0-9]+\\) " +
                                  first);
        EXPECT_TRUE(std::regex_match(msg, expected)) << msg;
        EXPECT_EQ((std::vector<size_t>{2, 1}), tagsOf(queue));
    }
}

TEST(ComparePriority, MethodOfTheUser)
{
    Entry failing = entry({1}, 99);
    Entry other = entry({2}, 2);
    const struct
    {
        const char* name;
        const char* start;
    } cases[] = {
        {"", "Error: ComparePriority: Comparison failed for point1 = #99 \\( 1 \\), "},
        {"Mine", "Error: ComparePriority: Comparison with method Mine failed for point1 = #99 "
                 "\\( 1 \\), "},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const ComparePriority comp(std::make_shared<ByDecreasingTag>(c.name));
        CerrCapture cerr;
        const std::string msg = messageOf([&] { comp(failing, other); });
        const std::regex expected(std::string(c.start) +
                                  "point2 = #2 \\( 2 \\) QARNO::Exception thrown \\(user, 1\\) "
                                  "cannot compare");
        EXPECT_TRUE(std::regex_match(msg, expected)) << msg;
        EXPECT_EQ(msg + "\n", cerr.text());
    }

    // Exceptions that are not the library's pass unchanged.
    Entry foreign = entry({3}, 98);
    const ComparePriority comp(std::make_shared<ByDecreasingTag>("Mine"));
    EXPECT_THROW(comp(foreign, other), std::runtime_error);

    // Without keys the queue is sorted by the method, equivalent entries
    // keeping their order.
    Queue queue{entry({1}, 3), entry({2}, 7), entry({3}, 5), entry({4}, 7)};
    queue[3]->setK(1);
    sortEvalQueue(queue, std::make_shared<ByDecreasingTag>("Mine"));
    EXPECT_EQ((std::vector<size_t>{7, 7, 5, 3}), tagsOf(queue));
    EXPECT_EQ(0u, queue[0]->getK());
}

TEST(ComparePriority, MethodThatIsNoOrderStillGivesAPermutation)
{
    Queue queue;
    for (size_t tag = 1; tag <= 50; ++tag)
    {
        queue.push_back(entry({static_cast<double>(tag)}, tag));
    }
    sortEvalQueue(queue, std::make_shared<AlwaysBefore>());
    auto tags = tagsOf(queue);
    std::sort(tags.begin(), tags.end());
    for (size_t i = 0; i < tags.size(); ++i)
    {
        EXPECT_EQ(i + 1, tags[i]);
    }
}

} // namespace
