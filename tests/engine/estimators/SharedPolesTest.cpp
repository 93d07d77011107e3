#include "engine/estimators/ArxEstimate.h"
#include "engine/estimators/Refinement.h"
#include "engine/estimators/SharedDenominator.h"
#include "engine/estimators/StructureSearch.h"
#include "engine/estimators/SubspaceEstimate.h"
#include "support/CommonDenominatorPlant.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <random>

namespace orvanel {
namespace {

using Factor = LinearModel::Factor;

// (z - 0.85)(z^2 - 1.2 z + 0.5) = z^3 - 2.05 z^2 + 1.52 z - 0.425 for all three inputs:
// 0.4 (z - 0.3), -0.25 / z and 0.15 (z + 0.5) / z^2 over it.
LinearModel ThreeInputPlant() {
    const std::vector<Factor> poles{{false, 0.85}, {true, 0.0, -1.2, 0.5}};
    return LinearModel{{LinearModel::Input{0.4, {{false, 0.3}}, poles, 0},
                        LinearModel::Input{-0.25, {}, poles, 1},
                        LinearModel::Input{0.15, {{false, -0.5}}, poles, 2}}};
}

// Its output with uniform noise of +-0.05 from a fixed seed.
struct NoisyPlant {
    static constexpr std::size_t Rows = 600;
    std::vector<double> U1 = testing::HeldLevels(1, Rows);
    std::vector<double> U2 = testing::HeldLevels(2, Rows);
    std::vector<double> U3 = testing::HeldLevels(3, Rows);
    std::vector<std::span<const double>> Inputs{U1, U2, U3};
    std::vector<double> Y = Noisy(ThreeInputPlant().Simulate(Inputs, Rows));

    static std::vector<double> Noisy(std::vector<double> y) {
        std::mt19937 generator(7);
        for (double& v : y)
            v += 0.1 * (static_cast<double>(generator()) / 4294967296.0 - 0.5);
        return y;
    }
};

std::vector<double> ImpulseResponse(const LinearModel::Input& input, std::size_t length) {
    std::vector<double> impulse(length, 0.0);
    impulse.front() = 1.0;
    const std::span<const double> columns[] = {impulse};
    return LinearModel{{input}}.Simulate(columns, length);
}

void ExpectShared(const LinearModel& model) {
    ASSERT_TRUE(model.SharedPoles);
    for (const LinearModel::Input& input : model.Inputs)
        EXPECT_EQ(input.Poles, model.Inputs.front().Poles);
}

TEST(SharedPoles, RefiningTheArxStartRecoversTheCommonDenominatorWithFewerParameters) {
    const NoisyPlant plant;
    const ArxEstimate arx(plant.Inputs, plant.Y, plant.Rows);
    const std::vector<int> delays{1, 2, 3};
    const std::optional<LinearModel> start = arx.Fit(3, delays);
    ASSERT_TRUE(start);
    const std::optional<LinearModel> shared = start->AsShared();
    ASSERT_TRUE(shared);
    const Refinement refinement(plant.Inputs, plant.Y, plant.Rows);
    const Refinement::Result sharedFit = refinement.Refine(*shared);
    const Refinement::Result apart = refinement.Refine(*start);

    ExpectShared(sharedFit.Model);
    const LinearModel truth = ThreeInputPlant();
    const std::vector<double> found = sharedFit.Model.Inputs.front().PolePolynomial();
    const std::vector<double> expected = truth.Inputs.front().PolePolynomial();
    ASSERT_EQ(found.size(), expected.size());
    for (std::size_t j = 0; j < expected.size(); ++j)
        EXPECT_NEAR(found[j], expected[j], 0.01) << "denominator coefficient " << j;
    for (std::size_t k = 0; k < truth.Inputs.size(); ++k) {
        const std::vector<double> response = ImpulseResponse(sharedFit.Model.Inputs[k], 40);
        const std::vector<double> trueResponse = ImpulseResponse(truth.Inputs[k], 40);
        for (std::size_t i = 0; i < response.size(); ++i)
            EXPECT_NEAR(response[i], trueResponse[i], 0.01) << "input " << k << " sample " << i;
    }
    EXPECT_EQ(sharedFit.Model.ParameterCount(), 12u);
    EXPECT_EQ(apart.Model.ParameterCount(), 18u);
    EXPECT_LT(sharedFit.Error, refinement.SquaredError(*shared));
}

TEST(SharedPoles, ParametersListTheSharedPolesOnceAndWriteThemIntoEveryInput) {
    const NoisyPlant plant;
    LinearModel model = ThreeInputPlant().AsShared().value();
    const std::vector<double> parameters = model.Parameters();
    ASSERT_EQ(parameters.size(), 8u);
    EXPECT_EQ(model.ParameterCount(), 8u);
    LinearModel copy = model;
    copy.SetParameters(parameters);
    EXPECT_EQ(copy.Simulate(plant.Inputs, plant.Rows), model.Simulate(plant.Inputs, plant.Rows));

    std::vector<double> moved = parameters;
    moved.back() = 0.4;
    copy.SetParameters(moved);
    for (const LinearModel::Input& input : copy.Inputs)
        EXPECT_EQ(input.Poles.back(), (Factor{true, 0.0, -1.2, 0.4}));
    EXPECT_FALSE(copy.SameStructure(ThreeInputPlant()));
}

TEST(SharedPoles, HoldingThePolesMovesOnlyGainsAndZeros) {
    const testing::CommonDenominatorPlant plant(2);
    LinearModel start = plant.Truth;
    start.Inputs[0].Gain = 1.0;
    start.Inputs[1].Zeros.front().Root = 0.5;
    start.Inputs[1].Poles = {{false, 0.6}};
    Refinement refinement(plant.Inputs, plant.Y, plant.Rows);
    refinement.HoldPoles = true;
    const Refinement::Result held = refinement.Refine(start);
    EXPECT_LT(held.Error, refinement.SquaredError(start) / 2);
    EXPECT_EQ(held.Model.Inputs[0].Poles, start.Inputs[0].Poles);
    EXPECT_EQ(held.Model.Inputs[1].Poles, start.Inputs[1].Poles);
    EXPECT_NE(held.Model.Inputs[1].Zeros, start.Inputs[1].Zeros);
}

TEST(SharedPoles, SimplifyRemovesASpuriousSharedPoleAndKeepsThePolesShared) {
    const testing::CommonDenominatorPlant plant(2);
    std::vector<Factor> poles = plant.Truth.Inputs.front().Poles;
    poles.push_back({false, 0.1});
    const Refinement refinement(plant.Inputs, plant.Y, plant.Rows);
    const Refinement::Result start = refinement.Refine(plant.Truth.WithSharedPoles(poles));
    const Refinement::Result simpler = refinement.Simplify(start, 1e-6);
    ExpectShared(simpler.Model);
    EXPECT_EQ(simpler.Model.Inputs.front().Poles.size(), 1u);
    EXPECT_EQ(simpler.Model.ParameterCount(), 6u);
    EXPECT_LT(simpler.Error, 1e-12);
}

TEST(SharedPoles, GrowFindsADelayAndAMissingSharedPole) {
    const testing::CommonDenominatorPlant plant(2);
    LinearModel start = plant.Truth.WithSharedPoles({{false, 0.5}});
    start.Inputs[1].Delay = 0;
    const StructureSearch search(plant.Inputs, plant.Y, plant.Rows);
    const Refinement::Result grown =
        search.Grow(Refinement(plant.Inputs, plant.Y, plant.Rows).Refine(start), 1e-6);
    ExpectShared(grown.Model);
    EXPECT_EQ(grown.Model.Inputs[1].Delay, 2);
    EXPECT_EQ(LinearModel::Degree(grown.Model.Inputs.front().Poles), 2u);
    EXPECT_LT(grown.Error, 1e-12);
}

TEST(SharedPoles, StartsShareTheEstimatesDenominatorOrTheSlowestPoles) {
    const testing::CommonDenominatorPlant plant(1);
    const std::vector<int> delays{1, 2};
    EXPECT_TRUE(ArxEstimate(plant.Inputs, plant.Y, plant.Rows).Fit(2, delays)->AsShared());
    EXPECT_TRUE(SubspaceEstimate(plant.Inputs, plant.Y, plant.Rows).Fit(2)->AsShared());

    LinearModel apart = plant.Truth;
    apart.Inputs[0].Poles = {{false, 0.2}, {true, 0.0, -1.3, 0.6}};
    apart.Inputs[1].Poles = {{false, -0.9}, {false, 0.3}};
    EXPECT_EQ(SharedDenominator::DominantPoles(apart, 2),
              (std::vector<Factor>{{false, -0.9}, {false, 0.3}}));
    EXPECT_EQ(SharedDenominator::DominantPoles(apart, 3),
              (std::vector<Factor>{{false, -0.9}, {true, 0.0, -1.3, 0.6}}));

    const SharedDenominator start(plant.Inputs, plant.Y, plant.Rows);
    const std::optional<LinearModel> fitted = start.Fit(apart, plant.Truth.Inputs.front().Poles);
    ASSERT_TRUE(fitted);
    EXPECT_TRUE(fitted->SharedPoles);
    for (std::size_t k = 0; k < 2; ++k) {
        const std::vector<double> found = fitted->Inputs[k].Numerator();
        const std::vector<double> truth = plant.Truth.Inputs[k].Numerator();
        ASSERT_EQ(found.size(), truth.size());
        for (std::size_t j = 0; j < truth.size(); ++j)
            EXPECT_NEAR(found[j], truth[j], 1e-9) << "input " << k << " coefficient " << j;
        EXPECT_EQ(fitted->Inputs[k].Delay, plant.Truth.Inputs[k].Delay);
    }
}

} // namespace
} // namespace orvanel
