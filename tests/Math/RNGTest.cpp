#include <climits>
#include <cmath>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>

#include "Math/RNG.hpp"
#include "Math/RandomPickup.hpp"
#include "Util/Exception.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;

namespace
{

// The first numbers of Marsaglia's xor96 sequence from the default words,
// computed apart from the library.
const uint32_t DEFAULT_SEQUENCE[] = {
    1588437975u, 2268752316u, 3071397075u, 1066942004u, 2996772340u, 86133791u,   3042881956u,
    1313616534u, 646932915u,  1705310046u, 3262036971u, 1879364535u, 148703600u,  4127416475u,
    355253909u,  3788471619u, 1117136759u, 1349898135u, 3126577947u, 1098675800u, 1442961278u,
    2149775075u, 2374295459u, 2184860431u, 2418444112u, 3821533117u, 186939988u,  3501512791u,
    3875258883u, 2705527006u, 1582668130u, 2440529289u,
};

struct Words
{
    uint32_t x, y, z;
};

Words state()
{
    return Words{RNG::_x, RNG::_y, RNG::_z};
}

void setState(const Words& w)
{
    RNG::_x = w.x;
    RNG::_y = w.y;
    RNG::_z = w.z;
}

void expectState(const Words& expected)
{
    EXPECT_EQ(expected.x, RNG::_x);
    EXPECT_EQ(expected.y, RNG::_y);
    EXPECT_EQ(expected.z, RNG::_z);
}

class RNGTest : public ::testing::Test
{
protected:
    QarnoTest::ProcessStateGuard _guard;
};

} // namespace

TEST_F(RNGTest, DefaultStateGivesXorshiftSequence)
{
    EXPECT_EQ(123456789u, RNG::_x);
    EXPECT_EQ(362436069u, RNG::_y);
    EXPECT_EQ(521288629u, RNG::_z);
    EXPECT_EQ(0, RNG::_s);
    for (uint32_t expected : DEFAULT_SEQUENCE)
    {
        EXPECT_EQ(expected, RNG::rand());
    }
}

TEST_F(RNGTest, SetSeedFromLoadSkipsSeedDraws)
{
    const int seeds[] = {0, 1, 3, 17};
    for (int seed : seeds)
    {
        SCOPED_TRACE(seed);
        QarnoTest::resetRandomGenerator();
        RNG::setSeed(seed);
        EXPECT_EQ(seed, RNG::_s);
        EXPECT_EQ(DEFAULT_SEQUENCE[seed], RNG::rand());
    }
}

TEST_F(RNGTest, SetSeedTwiceAdvancesNewSeedRestarts)
{
    const struct
    {
        int first;
        int drawsBetween;
        int second;
        size_t nextIndex; // position of the next number in the default sequence
    } cases[] = {
        {3, 0, 3, 6}, // same seed: three more draws instead of a restart
        {3, 2, 3, 8}, // the draws in between are kept too
        {0, 4, 0, 4}, // setSeed(0) with seed 0 stored leaves the state as it is
        {3, 4, 5, 5}, // another seed restarts from the defaults
        {5, 1, 0, 0}, // back to seed 0: the defaults, nothing drawn
        {17, 0, 2, 2},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.first) + " then " + std::to_string(c.second));
        QarnoTest::resetRandomGenerator();
        RNG::setSeed(c.first);
        for (int i = 0; i < c.drawsBetween; ++i)
        {
            RNG::rand();
        }
        RNG::setSeed(c.second);
        EXPECT_EQ(c.second, RNG::_s);
        EXPECT_EQ(DEFAULT_SEQUENCE[c.nextIndex], RNG::rand());
    }
}

TEST_F(RNGTest, NegativeSeedThrowsAndChangesNothing)
{
    const int seeds[] = {-1, -17, INT_MIN};
    RNG::setSeed(7);
    RNG::rand();
    const Words before = state();
    for (int seed : seeds)
    {
        SCOPED_TRACE(seed);
        try
        {
            RNG::setSeed(seed);
            ADD_FAILURE() << "no exception";
        }
        catch (const Exception& e)
        {
            const std::string what = e.what();
            EXPECT_NE(std::string::npos, what.find("(src/Math/RNG, ")) << what;
            const std::string msg =
                ") QARNO::RNG::setSeed(): invalid seed. Seed should be in [0,INT_MAX]";
            ASSERT_GE(what.size(), msg.size());
            EXPECT_EQ(msg, what.substr(what.size() - msg.size())) << what;
        }
        expectState(before);
        EXPECT_EQ(7, RNG::_s);
    }
}

// The jump must give exactly the state that plain stepping gives, from any
// state, for small and large counts.
TEST_F(RNGTest, AdvanceMatchesStepping)
{
    const uint64_t counts[] = {0, 1, 2, 3, 17, 255, 256, 1000, 65537, 123457};
    const Words starts[] = {
        {RNG::x_def, RNG::y_def, RNG::z_def},
        {1u, 0u, 0u},
        {0xffffffffu, 0x80000000u, 0x12345678u},
    };
    for (const Words& start : starts)
    {
        for (uint64_t n : counts)
        {
            SCOPED_TRACE(std::to_string(start.x) + " advanced by " + std::to_string(n));
            setState(start);
            for (uint64_t i = 0; i < n; ++i)
            {
                RNG::rand();
            }
            const Words stepped = state();
            setState(start);
            RNG::advance(n);
            expectState(stepped);
        }
    }
}

TEST_F(RNGTest, SetSeedMatchesSteppingFromDefaults)
{
    const int seeds[] = {0, 1, 2, 3, 17, 1000, 65537, 123457};
    for (int seed : seeds)
    {
        SCOPED_TRACE(seed);
        setState({RNG::x_def, RNG::y_def, RNG::z_def});
        for (int i = 0; i < seed; ++i)
        {
            RNG::rand();
        }
        const Words stepped = state();

        // Start away from the defaults with another stored seed: setSeed restarts.
        setState({42u, 43u, 44u});
        RNG::_s = seed + 1;
        RNG::setSeed(seed);
        expectState(stepped);

        // The same seed again: s more steps from there.
        for (int i = 0; i < seed; ++i)
        {
            RNG::rand();
        }
        const Words steppedTwice = state();
        setState(stepped);
        RNG::setSeed(seed);
        expectState(steppedTwice);
    }
}

// Words obtained offline by stepping the generator from the defaults.
TEST_F(RNGTest, LargeSeedsReachSteppedState)
{
    const struct
    {
        int seed;
        Words words;
    } cases[] = {
        {123457, {3665882809u, 1349656142u, 2406014092u}},
        {1000000, {1093203396u, 1785528856u, 1539220389u}},
        {INT_MAX, {843331946u, 633603267u, 930676703u}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.seed);
        QarnoTest::resetRandomGenerator();
        RNG::setSeed(c.seed);
        expectState(c.words);
        EXPECT_EQ(c.seed, RNG::_s);
    }
}

TEST_F(RNGTest, NormalRandTakesTwoNumbersPerAttempt)
{
    // Seeds chosen so that the first pairs fall outside the unit disc.
    const struct
    {
        int seed;
        double mean;
        double variance;
        size_t attempts;
        double expected;
    } cases[] = {
        {0, 0.0, 1.0, 1, -2.2480055817655074},  {4, 0.0, 1.0, 2, 1.0977461895816543},
        {12, 0.0, 1.0, 3, -1.1179063133922047}, {25, 2.5, 4.0, 3, 5.3042437429281115},
        {3, 2.5, 4.0, 1, 0.3990313894655859},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.seed);
        QarnoTest::resetRandomGenerator();
        RNG::setSeed(c.seed);
        EXPECT_NEAR(c.expected, RNG::normalRand(c.mean, c.variance), 1e-12);
        EXPECT_EQ(DEFAULT_SEQUENCE[c.seed + 2 * c.attempts], RNG::rand());
    }
}

TEST_F(RNGTest, NormalRandMean0SumsNUniforms)
{
    const struct
    {
        double variance;
        int n;
        double expected;
    } cases[] = {
        {1.0, 1, -0.45089773309741177},
        {1.0, 4, -0.23970847054474648},
        {2.0, 12, -0.9355366627973657},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.n);
        QarnoTest::resetRandomGenerator();
        EXPECT_NEAR(c.expected, RNG::normalRandMean0(c.variance, c.n), 1e-12);
        EXPECT_EQ(DEFAULT_SEQUENCE[c.n], RNG::rand());
    }
}

TEST_F(RNGTest, NormalRandMean0WithoutTermsIsNaNAndDrawsNothing)
{
    const int counts[] = {0, -3};
    for (int n : counts)
    {
        SCOPED_TRACE(n);
        QarnoTest::resetRandomGenerator();
        EXPECT_TRUE(std::isnan(RNG::normalRandMean0(1.0, n)));
        EXPECT_EQ(DEFAULT_SEQUENCE[0], RNG::rand());
    }
}

TEST_F(RNGTest, GuardLeavesTheGeneratorAsAtLoad)
{
    RNG::setSeed(9);
    RNG::rand();
    {
        QarnoTest::ProcessStateGuard inner;
        expectState({RNG::x_def, RNG::y_def, RNG::z_def});
        EXPECT_EQ(0, RNG::_s);
        RNG::setSeed(4);
    }
    expectState({RNG::x_def, RNG::y_def, RNG::z_def});
    EXPECT_EQ(0, RNG::_s);
}

static_assert(!std::is_copy_constructible<RandomPickup>::value, "RandomPickup is not copyable");
static_assert(!std::is_copy_assignable<RandomPickup>::value, "RandomPickup is not copyable");

TEST_F(RNGTest, RandomPickupDrawsWithoutReplacement)
{
    RandomPickup rp(5);
    const size_t expected[] = {0, 4, 3, 2, 1};
    for (size_t v : expected)
    {
        EXPECT_EQ(v, rp.pickup());
    }
    // Exhausted: 0 again, and no number taken from the stream.
    EXPECT_EQ(0u, rp.pickup());
    EXPECT_EQ(DEFAULT_SEQUENCE[5], RNG::rand());
}

TEST_F(RNGTest, RandomPickupResetContinuesStream)
{
    RandomPickup rp(5);
    for (int i = 0; i < 5; ++i)
    {
        rp.pickup();
    }
    rp.reset();
    const size_t expected[] = {1, 0, 3, 4, 2}; // from numbers 5 .. 9 of the sequence
    for (size_t v : expected)
    {
        EXPECT_EQ(v, rp.pickup());
    }
    EXPECT_EQ(0u, rp.pickup());
    EXPECT_EQ(DEFAULT_SEQUENCE[10], RNG::rand());
}

TEST_F(RNGTest, RandomPickupOfNothingDrawsNothing)
{
    RandomPickup rp(0);
    EXPECT_EQ(0u, rp.pickup());
    rp.reset();
    EXPECT_EQ(0u, rp.pickup());
    EXPECT_EQ(DEFAULT_SEQUENCE[0], RNG::rand());
}

TEST_F(RNGTest, RandomPickupGivesPermutationForManySizes)
{
    const size_t sizes[] = {1, 2, 7, 100};
    RNG::setSeed(31);
    for (size_t n : sizes)
    {
        SCOPED_TRACE(n);
        RandomPickup rp(n);
        for (int round = 0; round < 2; ++round)
        {
            std::vector<bool> seen(n, false);
            for (size_t i = 0; i < n; ++i)
            {
                const size_t v = rp.pickup();
                ASSERT_LT(v, n);
                EXPECT_FALSE(seen[v]) << v;
                seen[v] = true;
            }
            rp.reset();
        }
    }
}
