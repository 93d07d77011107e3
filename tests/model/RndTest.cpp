#include "model/Rnd.h"

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
