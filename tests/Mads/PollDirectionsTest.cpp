#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <iostream>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "Algos/Mads/DoublePollMethod.hpp"
#include "Algos/Mads/NP1UniPollMethod.hpp"
#include "Algos/Mads/Ortho2NPollMethod.hpp"
#include "Algos/Mads/Poll.hpp"
#include "Algos/Mads/SinglePollMethod.hpp"
#include "Math/Direction.hpp"
#include "Math/RNG.hpp"
#include "support/PollSupport.hpp"
#include "support/StepTree.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using namespace QarnoTest;

namespace
{

/// The four generators, each built under the iteration of a tree.
struct Generator
{
    const char* label;
    DirectionType type;
    std::function<std::shared_ptr<PollMethodBase>(const Step*)> make;
};

const std::vector<Generator>& generators()
{
    static const std::vector<Generator> all = {
        {"ORTHO 2N", DirectionType::ORTHO_2N,
         [](const Step* p) { return std::make_shared<Ortho2NPollMethod>(p); }},
        {"N+1 UNI", DirectionType::NP1_UNI,
         [](const Step* p) { return std::make_shared<NP1UniPollMethod>(p); }},
        {"SINGLE", DirectionType::SINGLE,
         [](const Step* p) { return std::make_shared<SinglePollMethod>(p); }},
        {"DOUBLE", DirectionType::DOUBLE,
         [](const Step* p) { return std::make_shared<DoublePollMethod>(p); }},
    };
    return all;
}

struct RngState
{
    uint32_t x, y, z;
    bool operator==(const RngState& o) const { return x == o.x && y == o.y && z == o.z; }
};

RngState rngState()
{
    return {RNG::_x, RNG::_y, RNG::_z};
}

/// The normalised direction of n draws from the generator's present state.
std::vector<double> unitDraw(size_t n)
{
    std::vector<double> v(n);
    double norm2 = 0.0;
    for (auto& c : v)
    {
        c = RNG::normalRand(0.0, 1.0);
        norm2 += c * c;
    }
    for (auto& c : v)
    {
        c /= std::sqrt(norm2);
    }
    return v;
}

double dot(const std::vector<double>& a, const std::vector<double>& b)
{
    double s = 0.0;
    for (size_t i = 0; i < a.size(); ++i)
    {
        s += a[i] * b[i];
    }
    return s;
}

std::unique_ptr<StepTree> makeTree(size_t n)
{
    PollProblem problem;
    problem.n = n;
    return std::make_unique<StepTree>(pollTree(problem, std::vector<double>(n, 0.0),
                                               std::vector<double>(n, 0.1),
                                               std::vector<double>(n, 1.0)));
}

} // namespace

TEST(PollDirections, OneDimensionGivesTheSpecifiedDirections)
{
    ProcessStateGuard guard;
    QarnoTest::StreamCapture quiet(std::cout);
    auto tree = makeTree(1);
    for (const auto& g : generators())
    {
        SCOPED_TRACE(g.label);
        RNG::reset();
        const double v = unitDraw(1)[0];
        EXPECT_DOUBLE_EQ(1.0, std::fabs(v));
        RNG::reset();
        std::list<Direction> dirs;
        g.make(&tree->iteration)->generateUnitPollDirections(dirs, 1);
        const auto got = coordinatesOf(dirs);

        std::vector<std::vector<double>> expected;
        switch (g.type)
        {
        case DirectionType::ORTHO_2N:
            expected = {{-1.0}, {1.0}};
            break;
        case DirectionType::NP1_UNI:
            expected = {{1.0}, {-1.0}};
            break;
        case DirectionType::SINGLE:
            expected = {{v}};
            break;
        default:
            expected = {{v}, {-v}};
            break;
        }
        ASSERT_EQ(expected.size(), got.size());
        for (size_t k = 0; k < got.size(); ++k)
        {
            EXPECT_NEAR(expected[k][0], got[k][0], 1e-12) << "direction " << k;
        }
    }
}

TEST(PollDirections, SetsHaveTheirGeometry)
{
    ProcessStateGuard guard;
    QarnoTest::StreamCapture quiet(std::cout);
    for (const size_t n : {2u, 3u, 5u, 12u})
    {
        auto tree = makeTree(n);
        for (const auto& g : generators())
        {
            SCOPED_TRACE(std::string(g.label) + " n=" + std::to_string(n));
            RNG::reset();
            const auto v = unitDraw(n);
            RNG::reset();
            std::list<Direction> dirs;
            g.make(&tree->iteration)->generateUnitPollDirections(dirs, n);
            const auto d = coordinatesOf(dirs);

            for (const auto& dir : d)
            {
                ASSERT_EQ(n, dir.size());
                EXPECT_NEAR(1.0, dot(dir, dir), 1e-12);
            }
            switch (g.type)
            {
            case DirectionType::ORTHO_2N:
                ASSERT_EQ(2 * n, d.size());
                for (size_t i = 0; i < n; ++i)
                {
                    // H_i = e_i - 2 v_i v, followed by its negative.
                    for (size_t j = 0; j < n; ++j)
                    {
                        EXPECT_NEAR((i == j ? 1.0 : 0.0) - 2.0 * v[i] * v[j], d[2 * i][j], 1e-12);
                        EXPECT_EQ(-d[2 * i][j], d[2 * i + 1][j]);
                    }
                    for (size_t k = i + 1; k < n; ++k)
                    {
                        EXPECT_NEAR(0.0, dot(d[2 * i], d[2 * k]), 1e-12);
                    }
                }
                break;
            case DirectionType::NP1_UNI:
            {
                ASSERT_EQ(n + 1, d.size());
                std::vector<double> sum(n, 0.0);
                for (size_t i = 0; i <= n; ++i)
                {
                    for (size_t j = 0; j < n; ++j)
                    {
                        sum[j] += d[i][j];
                    }
                    for (size_t k = i + 1; k <= n; ++k)
                    {
                        EXPECT_NEAR(-1.0 / static_cast<double>(n), dot(d[i], d[k]), 1e-12);
                    }
                }
                for (const double s : sum)
                {
                    EXPECT_NEAR(0.0, s, 1e-12);
                }
                break;
            }
            case DirectionType::SINGLE:
                ASSERT_EQ(1u, d.size());
                for (size_t j = 0; j < n; ++j)
                {
                    EXPECT_NEAR(v[j], d[0][j], 1e-15);
                }
                break;
            default:
                ASSERT_EQ(2u, d.size());
                for (size_t j = 0; j < n; ++j)
                {
                    EXPECT_NEAR(v[j], d[0][j], 1e-15);
                    EXPECT_EQ(-d[0][j], d[1][j]);
                }
                break;
            }
        }
    }
}

TEST(PollDirections, EachGenerationDrawsExactlyNNormalNumbers)
{
    ProcessStateGuard guard;
    QarnoTest::StreamCapture quiet(std::cout);
    for (const size_t n : {1u, 2u, 7u})
    {
        auto tree = makeTree(n);
        for (const auto& g : generators())
        {
            SCOPED_TRACE(std::string(g.label) + " n=" + std::to_string(n));
            RNG::reset();
            RNG::setSeed(3);
            for (size_t i = 0; i < n; ++i)
            {
                RNG::normalRand(0.0, 1.0);
            }
            const RngState afterDraws = rngState();

            RNG::reset();
            RNG::setSeed(3);
            std::list<Direction> dirs;
            g.make(&tree->iteration)->generateUnitPollDirections(dirs, n);
            EXPECT_EQ(afterDraws, rngState());
        }
    }
}

TEST(PollDirections, SameGeneratorStateGivesSameDirections)
{
    ProcessStateGuard guard;
    QarnoTest::StreamCapture quiet(std::cout);
    auto tree = makeTree(4);
    for (const auto& g : generators())
    {
        SCOPED_TRACE(g.label);
        const auto method = g.make(&tree->iteration);
        std::list<Direction> first;
        std::list<Direction> second;
        RNG::reset();
        RNG::setSeed(11);
        method->generateUnitPollDirections(first, 4);
        RNG::reset();
        RNG::setSeed(11);
        method->generateUnitPollDirections(second, 4);
        EXPECT_EQ(coordinatesOf(first), coordinatesOf(second));
    }
}

TEST(PollDirections, GenerationReplacesWhatTheListHeld)
{
    ProcessStateGuard guard;
    QarnoTest::StreamCapture quiet(std::cout);
    auto tree = makeTree(3);
    const std::vector<size_t> counts = {6, 4, 1, 2};
    for (size_t k = 0; k < generators().size(); ++k)
    {
        const auto& g = generators()[k];
        SCOPED_TRACE(g.label);
        std::list<Direction> dirs(5, Direction(QarnoTest::makeArray({9.0, 9.0})));
        g.make(&tree->iteration)->generateUnitPollDirections(dirs, 3);
        ASSERT_EQ(counts[k], dirs.size());
        for (const auto& d : dirs)
        {
            EXPECT_EQ(3u, d.size());
        }
    }
}

TEST(PollDirections, ZeroDimensionCannotBeDrawn)
{
    ProcessStateGuard guard;
    QarnoTest::StreamCapture quiet(std::cout);
    auto tree = makeTree(1);
    for (const auto& g : generators())
    {
        SCOPED_TRACE(g.label);
        std::list<Direction> dirs;
        const auto method = g.make(&tree->iteration);
        EXPECT_EQ("Cannot compute a random direction on unit sphere",
                  messageOf([&] { method->generateUnitPollDirections(dirs, 0); }));
    }
}

TEST(PollDirections, PollChoosesTheMethodOfDirectionType)
{
    ProcessStateGuard guard;
    QarnoTest::StreamCapture quiet(std::cout);
    const std::vector<std::pair<DirectionType, std::string>> cases = {
        {DirectionType::ORTHO_2N, "Ortho 2N Poll Method"},
        {DirectionType::NP1_UNI, "N+1 Uniform Poll Method"},
        {DirectionType::SINGLE, "Single Poll Method"},
        {DirectionType::DOUBLE, "Double Poll Method"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.second);
        PollProblem problem;
        problem.directionType = c.first;
        StepTree tree(pollTree(problem, {0.0, 0.0}, {0.1, 0.1}, {1.0, 1.0}));
        Poll poll(&tree.iteration);
        EXPECT_EQ("Poll", poll.getName());
        ASSERT_NE(nullptr, poll.getPollMethod());
        EXPECT_EQ(c.second, poll.getPollMethod()->getName());
        EXPECT_EQ(&poll, poll.getPollMethod()->getParentStep());
    }
}

TEST(PollDirections, DirectionTypesWithoutMethodAreRefused)
{
    ProcessStateGuard guard;
    QarnoTest::StreamCapture quiet(std::cout);
    const std::vector<std::pair<DirectionType, std::string>> cases = {
        {DirectionType::ORTHO_NP1_NEG, "Poll methodORTHO N+1 NEGnot available."},
        {DirectionType::ORTHO_NP1_QUAD, "Poll methodORTHO N+1 QUADnot available."},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.second);
        StepTree tree(pollTree(PollProblem(), {0.0, 0.0}, {0.1, 0.1}, {1.0, 1.0}));
        // Set directly in the checked set, as a program holding the object can.
        tree.pbParams->setSpValueDefault<DirectionType>("DIRECTION_TYPE", c.first);
        std::string file;
        EXPECT_EQ(c.second, messageOf([&] { Poll poll(&tree.iteration); }, &file));
        EXPECT_EQ("src/Algos/Mads/Poll", file);
    }
}

TEST(PollDirections, MethodsNeedAParent)
{
    ProcessStateGuard guard;
    QarnoTest::StreamCapture quiet(std::cout);
    EXPECT_EQ("Parent step is NULL. This constructor is for child steps having a parent only.",
              messageOf([] { Poll poll(nullptr); }));
    for (const auto& g : generators())
    {
        SCOPED_TRACE(g.label);
        EXPECT_EQ("Parent step is NULL. This constructor is for child steps having a parent only.",
                  messageOf([&] { g.make(nullptr); }));
    }
}
