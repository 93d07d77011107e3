#include "engine/estimators/Refinement.h"

#include "engine/linear/SimulationJacobian.h"
#include "support/CommonDenominatorPlant.h"

#include <atomic>
#include <cmath>
#include <gtest/gtest.h>

namespace orvanel {
namespace {

using Factor = LinearModel::Factor;

constexpr std::size_t Rows = 400;

// Input 1: 0.3 (z - 0.4) / (z^2 - 1.3 z + 0.6); input 2: -0.5 / (z (z - 0.7)).
LinearModel TruePlant() {
    LinearModel::Input first;
    first.Gain = 0.3;
    first.Zeros = {Factor{false, 0.4}};
    first.Poles = {Factor{true, 0.0, -1.3, 0.6}};
    LinearModel::Input second;
    second.Gain = -0.5;
    second.Poles = {Factor{false, 0.7}};
    second.Delay = 1;
    return LinearModel{{first, second}};
}

struct Plant {
    std::vector<double> u1 = testing::HeldLevels(1, Rows);
    std::vector<double> u2 = testing::HeldLevels(2, Rows);
    std::vector<std::span<const double>> inputs{u1, u2};
    std::vector<double> y = TruePlant().Simulate(inputs, Rows);
};

// Into a jacobian that holds stray values: every entry is written.
void ExpectDerivativesMatchDifferences(const LinearModel& model) {
    const Plant plant;
    const std::vector<double> at = model.Parameters();
    const std::size_t p = at.size();
    SimulationJacobian jacobian(plant.inputs, plant.y, Rows);
    std::vector<double> residuals(Rows);
    std::vector<double> derivatives(Rows * p, 123.0);
    ASSERT_TRUE(jacobian.Evaluate(model, residuals.data(), derivatives.data()));
    const double h = 1e-6;
    for (std::size_t k = 0; k < p; ++k) {
        std::vector<double> up = at;
        std::vector<double> down = at;
        up[k] += h;
        down[k] -= h;
        LinearModel plus = model;
        LinearModel minus = model;
        plus.SetParameters(up);
        minus.SetParameters(down);
        std::vector<double> rPlus(Rows);
        std::vector<double> rMinus(Rows);
        ASSERT_TRUE(jacobian.Evaluate(plus, rPlus.data(), nullptr));
        ASSERT_TRUE(jacobian.Evaluate(minus, rMinus.data(), nullptr));
        for (std::size_t i = 0; i < Rows; i += 37)
            EXPECT_NEAR(derivatives[i * p + k], (rPlus[i] - rMinus[i]) / (2 * h), 1e-6)
                << "parameter " << k << " row " << i;
    }
}

TEST(Refinement, DerivativesMatchDifferencesOfTheSimulation) {
    LinearModel model = TruePlant();
    model.Inputs[1].Zeros = {Factor{true, 0.0, 0.3, -0.2}};
    model.Inputs[1].Poles.push_back(Factor{true, 0.0, 0.5, 0.4});
    ExpectDerivativesMatchDifferences(model);
    // A shared pole's derivative sums those of its copies in every input.
    ExpectDerivativesMatchDifferences(
        model.WithSharedPoles({Factor{true, 0.0, -1.3, 0.6}, Factor{false, 0.2}}));
}

// The plant with every parameter off by 10 to 15 %.
LinearModel DisturbedPlant() {
    LinearModel start = TruePlant();
    std::vector<double> disturbed = start.Parameters();
    for (std::size_t k = 0; k < disturbed.size(); ++k)
        disturbed[k] *= k % 2 == 0 ? 1.15 : 0.9;
    start.SetParameters(disturbed);
    return start;
}

void ExpectThePlant(const Refinement::Result& result) {
    EXPECT_LT(result.Error, 1e-16);
    const std::vector<double> found = result.Model.Parameters();
    const std::vector<double> truth = TruePlant().Parameters();
    for (std::size_t k = 0; k < truth.size(); ++k)
        EXPECT_NEAR(found[k], truth[k], 1e-7) << k;
    EXPECT_EQ(result.Model.Inputs[1].Delay, 1);
}

TEST(Refinement, FindsThePlantFromADisturbedStartWithTheSameStructure) {
    const Plant plant;
    const Refinement refinement({plant.u1, plant.u2}, plant.y, Rows);
    ExpectThePlant(refinement.Refine(DisturbedPlant()));
}

// Three experiments laid end to end, each simulated from rest: the plant is found from them
// only when every simulation and derivative starts again at each experiment's first row.
TEST(Refinement, FitsSeveralExperimentsEachSimulatedFromRest) {
    const Plant plant;
    const Experiments parts({0, 150, 280});
    const std::vector<double> y = TruePlant().Simulate(plant.inputs, Rows, parts);
    const std::vector<std::span<const double>> second{std::span(plant.u1).subspan(150, 130),
                                                      std::span(plant.u2).subspan(150, 130)};
    EXPECT_EQ(std::vector<double>(y.begin() + 150, y.begin() + 280),
              TruePlant().Simulate(second, 130));
    EXPECT_NE(y[151], plant.y[151]);
    const Refinement refinement({plant.u1, plant.u2}, y, Rows, parts);
    ExpectThePlant(refinement.Refine(DisturbedPlant()));
}

// An integrating plant pulls a pole towards 1: the refined pole stays strictly inside and the
// error never rises.
TEST(Refinement, KeepsPolesInsideTheUnitCircleAndNeverWorsens) {
    Plant plant;
    double sum = 0.0;
    for (std::size_t i = 0; i < Rows; ++i) {
        plant.y[i] = sum;
        sum += plant.u1[i];
    }
    LinearModel start = TruePlant();
    start.Inputs[0] = LinearModel::Input{0.5, {}, {Factor{false, 0.5}}, 0};
    const Refinement refinement({plant.u1, plant.u2}, plant.y, Rows);
    const Refinement::Result result = refinement.Refine(start);
    EXPECT_TRUE(result.Model.Stable());
    EXPECT_LT(result.Model.Inputs[0].Poles[0].Root, 1.0);
    EXPECT_GT(result.Model.Inputs[0].Poles[0].Root, 0.9);
    EXPECT_LT(result.Error, refinement.SquaredError(start));
}

// A pole outside the unit circle may fit the integrating plant better than any stable pole;
// still no unstable model comes back from a refinement or a simplification.
TEST(Refinement, NoUnstableStartComesBack) {
    Plant plant;
    double sum = 0.0;
    for (std::size_t i = 0; i < Rows; ++i) {
        plant.y[i] = sum;
        sum = 1.01 * sum + plant.u1[i];
    }
    LinearModel unstable = TruePlant();
    unstable.Inputs[0] = LinearModel::Input{1.0, {}, {Factor{false, 1.01}}, 0};
    unstable.Inputs[1].Poles = {Factor{true, 0.0, -0.5, 1.2}};
    const Refinement refinement({plant.u1, plant.u2}, plant.y, Rows);
    const std::vector<LinearModel> candidates{unstable};
    EXPECT_TRUE(refinement.Refine(unstable).Model.Stable());
    EXPECT_TRUE(refinement.RefineBest(candidates).Model.Stable());
    const Refinement::Result start{unstable, refinement.SquaredError(unstable), 0};
    EXPECT_TRUE(refinement.Simplify(start, 1e-3).Model.Stable());
}

// A constant output shows no response to any input, and a model that fits worse than zero
// output tells nothing: both give the simplest model, whatever the candidates were.
TEST(Refinement, AnOutputNoModelImprovesOnGivesTheSimplestModel) {
    Plant plant;
    const std::vector<double> constant(Rows, 5.0);
    LinearModel tiny = TruePlant();
    tiny.Inputs[0].Gain = 1e-237;
    tiny.Inputs[1].Poles = {Factor{true, 0.0, -0.5, 1.2}};
    const std::vector<LinearModel> candidates{tiny, TruePlant()};
    const Refinement flat({plant.u1, plant.u2}, constant, Rows);
    EXPECT_EQ(flat.RefineBest(candidates).Model, LinearModel::Simplest(2));
    EXPECT_EQ(flat.Simplify({tiny, flat.SquaredError(tiny), 0}, 0.0).Model,
              LinearModel::Simplest(2));
    EXPECT_TRUE(LinearModel::Simplest(2).Stable());

    LinearModel inverted = TruePlant();
    inverted.Inputs[0].Gain = -inverted.Inputs[0].Gain;
    inverted.Inputs[1].Gain = -inverted.Inputs[1].Gain;
    Refinement unrefined({plant.u1, plant.u2}, plant.y, Rows);
    const std::atomic<bool> stop{true};
    unrefined.Stop = &stop;
    const std::vector<LinearModel> worse{inverted};
    EXPECT_EQ(unrefined.RefineBest(worse).Model, LinearModel::Simplest(2));
}

// A stop asked for before the work ends it at once: the best start comes back as it was, and
// the result says it was stopped.
TEST(Refinement, AStopReturnsTheBestFoundSoFar) {
    const Plant plant;
    LinearModel near = TruePlant();
    near.Inputs[0].Poles[0].B = 0.5;
    LinearModel far = TruePlant();
    far.Inputs[1].Delay = 3;
    Refinement refinement({plant.u1, plant.u2}, plant.y, Rows);
    const std::atomic<bool> stop{true};
    refinement.Stop = &stop;
    const std::vector<LinearModel> candidates{far, near};
    const Refinement::Result best = refinement.RefineBest(candidates);
    EXPECT_TRUE(best.Stopped);
    EXPECT_EQ(best.Model, near);
    EXPECT_EQ(best.Start, 1u);
    EXPECT_EQ(best.Error, refinement.SquaredError(near));
    LinearModel extra = near;
    extra.Inputs[1].Zeros = {Factor{false, 0.1}};
    const Refinement::Result simplified =
        refinement.Simplify({extra, refinement.SquaredError(extra), 0}, 1e-3);
    EXPECT_TRUE(simplified.Stopped);
    EXPECT_EQ(simplified.Model, extra);
}

// Candidates of one structure are refined once, from the first of them; the best result wins
// even when its start was not the best.
TEST(Refinement, RefinesDistinctStructuresAndKeepsTheLowestError) {
    const Plant plant;
    LinearModel firstOrder = TruePlant();
    firstOrder.Inputs[0] = LinearModel::Input{0.2, {}, {Factor{false, 0.8}}, 0};
    LinearModel sameStructure = firstOrder;
    sameStructure.Inputs[0].Poles[0].Root = 0.5;
    LinearModel right = TruePlant();
    right.Inputs[0].Poles[0].B = 0.45;
    right.Inputs[0].Zeros[0].Root = 0.9;
    const Refinement refinement({plant.u1, plant.u2}, plant.y, Rows);
    const std::vector<LinearModel> candidates{firstOrder, sameStructure, right};
    for (const int threads : {1, 2}) {
        Refinement parallel = refinement;
        parallel.ThreadCount = threads;
        const Refinement::Result best = parallel.RefineBest(candidates, 8);
        EXPECT_EQ(best.Start, 2u);
        EXPECT_LT(best.Error, 1e-16);
        EXPECT_EQ(parallel.RefineBest(candidates, 1).Start, 0u);
    }
}

// Terms the plant lacks are cleared, a pair and a sample of delay among them; the terms it
// needs stay, and the result is refined to the plant.
TEST(Refinement, SimplifiesToTheStructureThatPaysForItsParameters) {
    const Plant plant;
    LinearModel start = TruePlant();
    start.Inputs[1] = LinearModel::Input{
        -0.4, {Factor{false, 0.1}}, {Factor{false, 0.6}, Factor{true, 0.0, 0.1, 0.05}}, 2};
    const Refinement refinement({plant.u1, plant.u2}, plant.y, Rows);
    const Refinement::Result simplified = refinement.Simplify(refinement.Refine(start), 1e-3);
    EXPECT_TRUE(simplified.Model.SameStructure(TruePlant()));
    EXPECT_LT(simplified.Error, 1e-16);
    EXPECT_NEAR(simplified.Model.Inputs[1].Poles[0].Root, 0.7, 1e-7);

    const Refinement::Result kept = refinement.Simplify({TruePlant(), 0.0, 3}, 1e-3);
    EXPECT_EQ(kept.Model, TruePlant());
    EXPECT_EQ(kept.Start, 3u);
}

} // namespace
} // namespace orvanel
