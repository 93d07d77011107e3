#include "model/Rnd.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

using namespace orvanel;

namespace {

// Every test starts from the state the program has at start-up.
class RndTest : public ::testing::Test {
protected:
    void SetUp() override { Rnd::GlobalState() = Rnd::State{}; }
};

TEST_F(RndTest, MainSequenceFromKnownSeeds) {
    Rnd::SeedRandom(0.5);
    EXPECT_NEAR(Rnd::RandomReal(), 0.281362323043, 5e-13);
    EXPECT_NEAR(Rnd::RandomReal(), 0.672650978495, 5e-13);
    EXPECT_NEAR(Rnd::RandomReal(), 0.767347419478, 5e-13);

    Rnd::SeedRandom(0.0);
    EXPECT_NEAR(Rnd::RandomReal(), 0.781363646923, 5e-13);
    EXPECT_NEAR(Rnd::RandomReal(), 0.672649592954, 5e-13);
    EXPECT_NEAR(Rnd::RandomReal(), 0.267336297573, 5e-13);
}

TEST_F(RndTest, FiftySixthDrawRenewsTheTable) {
    Rnd::SeedRandom(0.5);
    for (int i = 0; i < 55; ++i)
        Rnd::RandomReal();
    const Rnd::State before = Rnd::GlobalState();
    const double value = Rnd::RandomReal();
    EXPECT_EQ(Rnd::GlobalState().RandomIndex, 1);
    EXPECT_NE(Rnd::GlobalState().RandomTable, before.RandomTable);
    EXPECT_EQ(value, Rnd::GlobalState().RandomTable[1]);
    double expected = before.RandomTable[1] - before.RandomTable[32];
    if (expected < 0)
        expected += 1;
    EXPECT_EQ(value, expected);
}

TEST_F(RndTest, SeedingLeavesTheIntegerSequenceAlone) {
    Rnd::SystemRandom();
    const auto seed = Rnd::GlobalState().SystemSeed;
    Rnd::SeedRandom(0.25);
    EXPECT_EQ(Rnd::GlobalState().SystemSeed, seed);
    EXPECT_EQ(Rnd::GlobalState().RandomIndex, 0);
}

TEST_F(RndTest, SystemRandomFromProgramStart) {
    EXPECT_EQ(Rnd::SystemRandom(), std::ldexp(1.0, -32));
    EXPECT_NEAR(Rnd::SystemRandom(), 0.0313799395226, 5e-14);
    EXPECT_NEAR(Rnd::SystemRandom(), 0.861048467224, 5e-13);
    EXPECT_NEAR(Rnd::SystemRandom(), 0.202580965124, 5e-13);
}

TEST_F(RndTest, RandomIntFromProgramStart) {
    const int expected[] = {0, 0, 6, 1, 2, 5, 2, 1};
    for (int value : expected)
        EXPECT_EQ(Rnd::RandomInt(0, 7), value);
}

TEST_F(RndTest, EmptyOrSingleRangeDoesNotDraw) {
    EXPECT_EQ(Rnd::RandomInt(3, 3), 3);
    EXPECT_EQ(Rnd::RandomInt(5, 2), 5);
    EXPECT_EQ(Rnd::GlobalState().SystemSeed, 0u);
}

TEST_F(RndTest, FlipDrawsUnlessCertain) {
    Rnd::SeedRandom(0.5);
    EXPECT_TRUE(Rnd::Flip(1.0));
    EXPECT_EQ(Rnd::GlobalState().RandomIndex, 0);
    // The first draw after seeding 0.5 is 0.2813...
    EXPECT_FALSE(Rnd::Flip(0.28));
    EXPECT_EQ(Rnd::GlobalState().RandomIndex, 1);
    EXPECT_TRUE(Rnd::Flip(0.68));
    EXPECT_FALSE(Rnd::Flip(0.0));
    EXPECT_EQ(Rnd::GlobalState().RandomIndex, 3);
}

// Many flips at once answer as one flip after the other, across renewals of the table, and
// leave the sequence where those would.
TEST_F(RndTest, FlipsDrawAsSingleFlips) {
    Rnd::SeedRandom(0.537);
    std::vector<int> expected;
    for (int i = 0; i < 130; ++i)
        if (Rnd::Flip(0.3))
            expected.push_back(i);
    const double next = Rnd::RandomReal();

    Rnd::SeedRandom(0.537);
    std::vector<int> hits;
    Rnd::Flips(0.3, 7, hits);
    EXPECT_EQ(hits,
              std::vector<int>(expected.begin(), std::find_if(expected.begin(), expected.end(),
                                                              [](int i) { return i >= 7; })));
    Rnd::Flips(0.3, 123, hits);
    for (int& i : hits)
        i += 7;
    EXPECT_EQ(hits, std::vector<int>(std::find_if(expected.begin(), expected.end(),
                                                  [](int i) { return i >= 7; }),
                                     expected.end()));
    EXPECT_EQ(Rnd::RandomReal(), next);

    Rnd::Flips(1.0, 3, hits);
    EXPECT_EQ(hits, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(Rnd::GlobalState().RandomIndex, 131 - 2 * 55);
}

TEST_F(RndTest, SeedFromMilliseconds) {
    EXPECT_EQ(Rnd::SeedFromMilliseconds(7), 0.7);
    EXPECT_EQ(Rnd::SeedFromMilliseconds(57), 57.0 / 10 / 10);
    EXPECT_EQ(Rnd::SeedFromMilliseconds(537), 537.0 / 10 / 10 / 10);
    EXPECT_EQ(Rnd::SeedFromMilliseconds(10), 1.0);
    EXPECT_EQ(Rnd::SeedFromMilliseconds(100), 1.0);
    EXPECT_EQ(Rnd::SeedFromMilliseconds(0), 0.0);
    EXPECT_NEAR(Rnd::SeedFromMilliseconds(999), 0.999, 1e-15);
}

} // namespace
