#include "engine/search/Selection.h"

#include "model/Rnd.h"
#include "model/RunError.h"

#include <cmath>
#include <cstdint>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <vector>

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
    EXPECT_EQ(RouletteWheel(weights).First(8.0), 1u);
    QueueRandomReals({0.0});
    EXPECT_EQ(RouletteWheel(weights).First(8.0), 0u);
    QueueRandomReals({0.99});
    EXPECT_EQ(RouletteWheel(weights).First(8.0), 3u);
}

TEST(Roulette, SecondParentWalksTheOthersOverTheTotalWithoutTheFirst) {
    const std::vector<double> weights{1, 1, 2, 4};
    // Targets 0.5 x 7 = 3.5, 0.1 x 7 = 0.7, 2 / 7 x 7 = 2: positions 0, 2, 3 sum to 1, 3, 7.
    QueueRandomReals({0.5});
    EXPECT_EQ(RouletteWheel(weights).Second(8.0, 1), 3u);
    QueueRandomReals({0.1});
    EXPECT_EQ(RouletteWheel(weights).Second(8.0, 1), 0u);
    QueueRandomReals({2.0 / 7.0});
    EXPECT_EQ(RouletteWheel(weights).Second(8.0, 1), 2u);
}

TEST(Roulette, AWalkLeftShortOfItsTargetStillPicksAnotherPosition) {
    const std::vector<double> weights{1, 1, 1, 1};
    QueueRandomReals({0.9, 0.9});
    EXPECT_EQ(RouletteWheel(weights).First(10.0), 3u);
    EXPECT_EQ(RouletteWheel(weights).Second(10.0, 3), 2u);
}

// The roulette as a walk over the weights from the start for every pick, skipping `skip`: the
// wheel's searches must pick what it picks.
std::size_t WalkedPick(const std::vector<double>& weights, double target, std::size_t skip) {
    double sum = 0.0;
    std::size_t last = skip < weights.size() ? skip : weights.size() - 1;
    for (std::size_t i = 0; i < weights.size(); ++i) {
        if (i == skip)
            continue;
        sum += weights[i];
        last = i;
        if (sum >= target)
            return i;
    }
    return last;
}

// Weight vectors of the kinds a generation can give and of kinds it cannot.
std::vector<double> SomeWeights(std::mt19937_64& random, int kind) {
    const auto uniform = [&random] { return static_cast<double>(random() >> 11) * 0x1p-53; };
    const std::size_t n = 1 + random() % (kind / 6 % 2 == 0 ? 7 : 400);
    std::vector<double> weights(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double x = uniform();
        const double position = static_cast<double>(i) / static_cast<double>(n);
        const double choices[] = {x,
                                  x < 0.3 ? 0.0 : uniform(),
                                  0.1,
                                  0.9 + 0.2 * position,
                                  std::pow(10.0, 600.0 * x - 300.0),
                                  x < 0.5 ? 1e-300 * uniform() : 1e300 * uniform()};
        weights[i] = choices[kind % 6];
    }
    if (kind % 13 == 12)
        weights[random() % n] = kind % 3 == 0   ? std::numeric_limits<double>::infinity()
                                : kind % 3 == 1 ? std::nan("")
                                                : -1.0;
    return weights;
}

TEST(Roulette, TheWheelPicksWhatAWalkFromTheStartPicks) {
    std::mt19937_64 random(20240611);
    int compared = 0;
    for (int kind = 0; kind < 600; ++kind) {
        const std::vector<double> weights = SomeWeights(random, kind);
        const std::size_t n = weights.size();
        double total = 0.0;
        for (const double w : weights)
            total += w;
        const RouletteWheel wheel(weights);
        // Targets on and a few units in the last place around every running sum of the walks,
        // and past the total.
        const auto check = [&](double span, double target, std::size_t first) {
            for (double r = target / span, step = 0; step < 5; ++step) {
                for (const double draw : {r, std::nextafter(r, 2.0), std::nextafter(r, -1.0)}) {
                    QueueRandomReals({draw});
                    const std::size_t picked =
                        first < n ? wheel.Second(total, first) : wheel.First(total);
                    ASSERT_EQ(picked, WalkedPick(weights, draw * span, first))
                        << "kind " << kind << " first " << first << " draw " << draw;
                    ++compared;
                }
                r = std::nextafter(std::nextafter(r, 2.0), 2.0);
            }
        };
        const std::size_t skips[] = {n, 0, n / 2, n - 1, random() % n};
        for (const std::size_t first : skips) {
            if (first < n && n < 2)
                continue;
            const double span = first < n ? total - weights[first] : total;
            double sum = 0.0;
            for (std::size_t i = 0; i < n; ++i) {
                if (i != first)
                    sum += weights[i];
                if (i % (1 + n / 40) == 0)
                    check(span, sum, first);
                if (i % (1 + n / 10) == 0)
                    check(span, span * static_cast<double>(random() >> 11) * 0x1p-53, first);
            }
            check(span, span, first);
            check(span, 1.5 * span, first);
        }
    }
    EXPECT_GT(compared, 100000);
}

} // namespace
} // namespace orvanel
