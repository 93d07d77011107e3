#include "engine/analysis/ModelUncertainty.h"

#include "engine/estimators/Refinement.h"
#include "support/CommonDenominatorPlant.h"

#include <cmath>
#include <gtest/gtest.h>
#include <random>

namespace orvanel {
namespace {

using Factor = LinearModel::Factor;

// 0.4 / (z - 0.8): static gain 2.
const LinearModel Truth{{LinearModel::Input{0.4, {}, {Factor{false, 0.8}}, 0}}};
constexpr std::size_t Rows = 400;
constexpr double NoiseDeviation = 0.5;

std::vector<double> WhiteNoise(std::mt19937_64& random, double deviation) {
    std::normal_distribution<double> normal(0.0, deviation);
    std::vector<double> values(Rows);
    for (double& v : values)
        v = normal(random);
    return values;
}

double Spread(const std::vector<double>& values) {
    double mean = 0.0;
    for (const double v : values)
        mean += v / static_cast<double>(values.size());
    double squares = 0.0;
    for (const double v : values)
        squares += (v - mean) * (v - mean);
    return std::sqrt(squares / static_cast<double>(values.size() - 1));
}

TEST(ModelUncertainty, StatedDeviationsMatchTheSpreadOfRefitsOverNoiseDraws) {
    std::mt19937_64 random(537);
    const std::vector<double> input = WhiteNoise(random, 1.0);
    const std::span<const double> columns[] = {input};
    const std::vector<double> clean = Truth.Simulate(columns, Rows);
    std::vector<double> numerators;
    std::vector<double> denominators;
    double statedNumerator = 0.0;
    double statedDenominator = 0.0;
    constexpr int Draws = 200;
    for (int draw = 0; draw < Draws; ++draw) {
        const std::vector<double> noise = WhiteNoise(random, NoiseDeviation);
        std::vector<double> output(Rows);
        for (std::size_t r = 0; r < Rows; ++r)
            output[r] = clean[r] + noise[r];
        const Refinement refinement({input}, output, Rows);
        const LinearModel fitted = refinement.Refine(Truth).Model;
        const auto uncertainty = ModelUncertainty::Estimate(fitted, columns, output, Rows);
        ASSERT_TRUE(uncertainty);
        const ModelUncertainty::CoefficientStd stated = uncertainty->Coefficients(0);
        ASSERT_EQ(stated.Denominator.size(), 2u);
        EXPECT_EQ(stated.Denominator[0], 0.0);
        statedNumerator += stated.Numerator[0] / Draws;
        statedDenominator += stated.Denominator[1] / Draws;
        numerators.push_back(fitted.Inputs[0].Numerator()[0]);
        denominators.push_back(-fitted.Inputs[0].Poles[0].Root);
    }
    const double numeratorSpread = Spread(numerators);
    const double denominatorSpread = Spread(denominators);
    EXPECT_NEAR(statedNumerator / numeratorSpread, 1.0, 0.2)
        << statedNumerator << " stated, " << numeratorSpread << " seen";
    EXPECT_NEAR(statedDenominator / denominatorSpread, 1.0, 0.2)
        << statedDenominator << " stated, " << denominatorSpread << " seen";
}

TEST(ModelUncertainty, ResponseBandsAgreeWithTheStaticGainsDeviation) {
    std::mt19937_64 random(11);
    const std::vector<double> input = WhiteNoise(random, 1.0);
    const std::span<const double> columns[] = {input};
    std::vector<double> output = Truth.Simulate(columns, Rows);
    const std::vector<double> noise = WhiteNoise(random, NoiseDeviation);
    for (std::size_t r = 0; r < Rows; ++r)
        output[r] += noise[r];
    const auto uncertainty = ModelUncertainty::Estimate(Truth, columns, output, Rows);
    ASSERT_TRUE(uncertainty);
    // K = b / (1 - a): by first order dK = db / (1 - a) + b da / (1 - a)^2.
    const double b = 0.4;
    const double a = 0.8;
    const std::vector<double>& c = uncertainty->Covariance;
    const double gb = 1.0 / (1.0 - a);
    const double ga = b / ((1.0 - a) * (1.0 - a));
    const double gainDeviation = std::sqrt(gb * gb * c[0] + 2.0 * gb * ga * c[1] + ga * ga * c[3]);
    const auto step = uncertainty->StepBand(0, 200);
    EXPECT_NEAR(step.back().Value, 2.0, 1e-12);
    EXPECT_NEAR(step.back().HalfWidth, ModelUncertainty::Quantile99 * gainDeviation, 1e-9);
    EXPECT_EQ(step.front().HalfWidth, 0.0);
    const auto frequency = uncertainty->FrequencyBands(0, 50, 1e-6);
    EXPECT_NEAR(frequency.front().MagnitudeDb.HalfWidth,
                ModelUncertainty::Quantile99 * 20.0 / std::log(10.0) * gainDeviation / 2.0, 1e-6);
    EXPECT_NEAR(frequency.front().PhaseDeg.HalfWidth, 0.0, 1e-3);
    // The data alone say nothing of a model with no gain: its pole is not determined.
    EXPECT_FALSE(ModelUncertainty::Estimate(LinearModel::Simplest(1), columns, output, Rows));
}

// Shared poles are the same parameters in every input: the same deviations, from the
// covariance's last rows.
TEST(ModelUncertainty, SharedPolesHaveOneDeviationForEveryInput) {
    const testing::CommonDenominatorPlant plant(1);
    std::mt19937_64 random(5);
    std::vector<double> output = plant.Y;
    for (double& v : output)
        v += std::normal_distribution<double>(0.0, 0.05)(random);
    const LinearModel shared = plant.Truth.AsShared().value();
    const auto uncertainty = ModelUncertainty::Estimate(shared, plant.Inputs, output, plant.Rows);
    ASSERT_TRUE(uncertainty);
    const std::vector<double>& c = uncertainty->Covariance;
    ASSERT_EQ(c.size(), 36u);
    for (std::size_t k = 0; k < 2; ++k) {
        const std::vector<double> deviations = uncertainty->Coefficients(k).Denominator;
        ASSERT_EQ(deviations.size(), 3u);
        EXPECT_DOUBLE_EQ(deviations[1], std::sqrt(c[4 * 6 + 4])) << "input " << k;
        EXPECT_DOUBLE_EQ(deviations[2], std::sqrt(c[5 * 6 + 5])) << "input " << k;
    }
    EXPECT_DOUBLE_EQ(uncertainty->Coefficients(1).Numerator.front(), std::sqrt(c[2 * 6 + 2]));
}

} // namespace
} // namespace orvanel
