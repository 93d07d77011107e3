#include "engine/analysis/ModelAnalysis.h"

#include <cmath>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <numbers>

namespace orvanel {
namespace {

using ::testing::ElementsAre;
using Complex = std::complex<double>;
using Factor = LinearModel::Factor;

constexpr double Pi = std::numbers::pi;
constexpr double PhaseTolerance = 1e-9;

TEST(ModelAnalysis, FrequencyResponseSpansToNyquistOnALogAxisWithTheDelayInThePhase) {
    // 0.5 / (z (z - 0.5)): unit gain at DC; at Nyquist 0.5 / -1.5 behind a half-turn delay.
    LinearModel::Input lag;
    lag.Gain = 0.5;
    lag.Poles = {Factor{false, 0.5}};
    lag.Delay = 1;
    const auto points = ModelAnalysis::FrequencyResponse(lag, 3, Pi / 100);
    ASSERT_EQ(points.size(), 3u);
    EXPECT_DOUBLE_EQ(points[0].Frequency, Pi / 100);
    EXPECT_DOUBLE_EQ(points[1].Frequency, Pi / 10);
    EXPECT_EQ(points[2].Frequency, Pi);
    EXPECT_NEAR(points[2].MagnitudeDb, 20 * std::log10(1.0 / 3.0), 1e-12);
    EXPECT_NEAR(points[2].PhaseDeg, -360.0, PhaseTolerance);
    EXPECT_NEAR(points[0].MagnitudeDb, 20 * std::log10(0.5 / std::sqrt(1.25 - std::cos(Pi / 100))),
                1e-12);
}

TEST(ModelAnalysis, PhaseIsUnwrappedPastManyHalfTurns) {
    // A zero on the circle at Nyquist (+90 degrees there), three poles with a resonant pair
    // among them (-540) and two samples of delay (-360): the phase falls all the way.
    LinearModel::Input resonant;
    resonant.Zeros = {Factor{false, -1.0}};
    resonant.Poles = {Factor{true, 0.0, -1.6, 0.8}, Factor{false, 0.5}};
    resonant.Delay = 2;
    const auto points = ModelAnalysis::FrequencyResponse(resonant);
    ASSERT_EQ(points.size(), 400u);
    EXPECT_NEAR(points.back().PhaseDeg, -810.0, PhaseTolerance);
    for (std::size_t i = 1; i + 1 < points.size(); ++i) {
        ASSERT_LT(points[i].PhaseDeg, points[i - 1].PhaseDeg + 1.0) << "at point " << i;
    }
}

TEST(ModelAnalysis, RootsOfRealAndPairedFactorsAndTheDelay) {
    LinearModel::Input input;
    input.Zeros = {Factor{true, 0.0, -0.75, 0.125}, Factor{false, 0.9}};
    input.Poles = {Factor{true, 0.0, -1.2, 0.5}, Factor{false, -0.25}};
    input.Delay = 2;
    EXPECT_THAT(ModelAnalysis::Zeros(input),
                ElementsAre(Complex(0.5, 0.0), Complex(0.25, 0.0), Complex(0.9, 0.0)));
    const auto poles = ModelAnalysis::Poles(input);
    ASSERT_EQ(poles.size(), 5u);
    EXPECT_DOUBLE_EQ(poles[0].real(), 0.6);
    EXPECT_DOUBLE_EQ(poles[0].imag(), std::sqrt(0.14));
    EXPECT_EQ(poles[1], std::conj(poles[0]));
    EXPECT_THAT(std::vector<Complex>(poles.begin() + 2, poles.end()),
                ElementsAre(Complex(-0.25, 0.0), Complex(), Complex()));
}

TEST(ModelAnalysis, AutocorrelationIsNormalisedWithTheBandOfItsLength) {
    const std::vector<double> alternating{3.0, 1.0, 3.0, 1.0};
    const auto r = ModelAnalysis::Autocorrelation(alternating, 4);
    EXPECT_EQ(r.FirstLag, 0);
    EXPECT_THAT(r.Values, ElementsAre(1.0, -0.75, 0.5, -0.25, 0.0));
    EXPECT_DOUBLE_EQ(r.Band, 1.29);

    const std::vector<double> constant(10, 2.5);
    EXPECT_THAT(ModelAnalysis::Autocorrelation(constant, 2).Values, ElementsAre(0.0, 0.0, 0.0));
}

TEST(ModelAnalysis, CrossCorrelationPeaksAtTheLagTheResidualsFollowTheInputBy) {
    // The residuals repeat the input one sample later; the extra residual lies past the input.
    const std::vector<double> residuals{0.0, 1.0, 0.0, -1.0, 7.0};
    const std::vector<double> input{1.0, 0.0, -1.0, 0.0};
    const auto r = ModelAnalysis::CrossCorrelation(residuals, input, 3);
    EXPECT_EQ(r.FirstLag, -3);
    EXPECT_THAT(r.Values, ElementsAre(0.0, 0.0, -0.5, 0.0, 1.0, 0.0, -0.5));
    EXPECT_DOUBLE_EQ(r.Band, 1.29);
}

} // namespace
} // namespace orvanel
