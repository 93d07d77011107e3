#include "engine/Selection.h"

#include "engine/RunError.h"
#include "model/Rnd.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace orvanel {
namespace {

using ::testing::ElementsAre;

// Makes the next RandomReal draws return the given values.
void QueueRandomReals(std::initializer_list<double> values) {
    Rnd::State& state = Rnd::GlobalState();
    state.RandomIndex = 0;
    int i = 1;
    for (const double v : values)
        state.RandomTable[static_cast<std::size_t>(i++)] = v;
}

std::string TodosIgualesMessage(std::vector<double> fitness) {
    try {
        ComputeFitnessStatistics(fitness);
    } catch (const RunError& error) {
        return error.what();
    }
    return "no error";
}

TEST(FitnessStatistics, FailedModelsAreLeftOutAndTheDeviationIsAbsoluteOverNMinusOne) {
    const FitnessStatistics s = ComputeFitnessStatistics(
        std::vector<double>{-10, -20, -30, FailedFitness, FailedFitness, FailedFitness});
    EXPECT_EQ(s.Mean, -20.0);
    EXPECT_EQ(s.Deviation, 10.0);

    // Squaring this spread would overflow; the absolute difference does not.
    const FitnessStatistics wide = ComputeFitnessStatistics(std::vector<double>{-1e200, -3e200});
    EXPECT_EQ(wide.Mean, -2e200);
    EXPECT_EQ(wide.Deviation, 2e200);
}

TEST(FitnessStatistics, EqualValidFitnessGivesZeroDeviation) {
    const FitnessStatistics s = ComputeFitnessStatistics(std::vector<double>{-5, -5, -5, -1e300});
    EXPECT_EQ(s.Mean, -5.0);
    EXPECT_EQ(s.Deviation, 0.0);
}

TEST(FitnessStatistics, FewerThanTwoValidScoresAreTodosIguales) {
    EXPECT_EQ(TodosIgualesMessage({-7, FailedFitness, FailedFitness}), "Todos Iguales");
    EXPECT_EQ(TodosIgualesMessage({FailedFitness, FailedFitness}), "Todos Iguales");
    // The floor itself is a failed score.
    EXPECT_EQ(TodosIgualesMessage({-7, -1e250}), "Todos Iguales");
    EXPECT_EQ(TodosIgualesMessage({-7, -1e249}), "no error");
}

TEST(SortByFitnessOrder, PutsTheFitterFirstAndKeepsTheQuicksortOrderOfTies) {
    // Traced by hand through the engine's quicksort; a stable sort would give 1 3 2 0 4.
    EXPECT_THAT(SortByFitnessOrder(std::vector<double>{1, 3, 2, 3, 1}), ElementsAre(1, 3, 2, 4, 0));
    EXPECT_THAT(SortByFitnessOrder(std::vector<double>{-5, -1, -3}), ElementsAre(1, 2, 0));
    EXPECT_THAT(SortByFitnessOrder(std::vector<double>{4}), ElementsAre(0));
}

TEST(TournamentPick, TakesTheFitterWithProbabilityOneWithoutDrawingAReal) {
    const std::vector<double> fitness{-1, -9, -3, -4};
    Rnd::SeedRandom(0.5);
    for (int round = 0; round < 20; ++round) {
        const Rnd::State before = Rnd::GlobalState();
        const int a = Rnd::RandomInt(0, 3);
        const int b = Rnd::RandomInt(0, 3);
        Rnd::GlobalState() = before;
        const std::size_t expected = fitness[a] > fitness[b] ? a : b;
        EXPECT_EQ(TournamentPick(fitness, 1.0), expected);
        EXPECT_EQ(Rnd::GlobalState().RandomIndex, before.RandomIndex);
    }
}

TEST(TournamentPick, TakesTheLessFitWhenTheFlipFailsAndTiesGoToTheSecondContestant) {
    const std::vector<double> fitness{-1, -9, -9, -4};
    for (int round = 0; round < 20; ++round) {
        const Rnd::State before = Rnd::GlobalState();
        const int a = Rnd::RandomInt(0, 3);
        const int b = Rnd::RandomInt(0, 3);
        Rnd::GlobalState() = before;
        QueueRandomReals({0.5});
        const std::size_t expected = fitness[a] < fitness[b] ? a : b;
        EXPECT_EQ(TournamentPick(fitness, 0.0), expected);
    }
    // Equal fitness at two different positions: the second drawn wins either way.
    const std::vector<double> tied{-2, -2};
    for (int round = 0; round < 10; ++round) {
        const Rnd::State before = Rnd::GlobalState();
        Rnd::RandomInt(0, 1);
        const auto b = static_cast<std::size_t>(Rnd::RandomInt(0, 1));
        Rnd::GlobalState() = before;
        QueueRandomReals({0.9});
        EXPECT_EQ(TournamentPick(tied, 0.5), b);
    }
}

TEST(Roulette, FirstParentIsWhereTheRunningSumReachesTheTarget) {
    const std::vector<double> weights{1, 1, 2, 4};
    QueueRandomReals({0.25});
    EXPECT_EQ(RouletteFirst(weights, 8.0), 1u);
    QueueRandomReals({0.0});
    EXPECT_EQ(RouletteFirst(weights, 8.0), 0u);
    QueueRandomReals({0.99});
    EXPECT_EQ(RouletteFirst(weights, 8.0), 3u);
}

TEST(Roulette, SecondParentWalksTheOthersOverTheTotalWithoutTheFirst) {
    const std::vector<double> weights{1, 1, 2, 4};
    // Targets 0.5 x 7 = 3.5, 0.1 x 7 = 0.7, 2 / 7 x 7 = 2: positions 0, 2, 3 sum to 1, 3, 7.
    QueueRandomReals({0.5});
    EXPECT_EQ(RouletteSecond(weights, 8.0, 1), 3u);
    QueueRandomReals({0.1});
    EXPECT_EQ(RouletteSecond(weights, 8.0, 1), 0u);
    QueueRandomReals({2.0 / 7.0});
    EXPECT_EQ(RouletteSecond(weights, 8.0, 1), 2u);
}

TEST(Roulette, AWalkLeftShortOfItsTargetStillPicksAnotherPosition) {
    const std::vector<double> weights{1, 1, 1, 1};
    QueueRandomReals({0.9, 0.9});
    EXPECT_EQ(RouletteFirst(weights, 10.0), 3u);
    EXPECT_EQ(RouletteSecond(weights, 10.0, 3), 2u);
}

} // namespace
} // namespace orvanel
