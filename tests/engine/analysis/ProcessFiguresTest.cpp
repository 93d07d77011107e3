#include "engine/analysis/ProcessFigures.h"

#include <cmath>
#include <gtest/gtest.h>

namespace orvanel {
namespace {

using Factor = LinearModel::Factor;

constexpr double KnownAnswer = 1e-9;

// The exact zero-order-hold model of a second-order plant of unit gain from its continuous
// step response y: (b1 z + b0) / (z^2 + A z + B) reproduces y at every sample when it does
// at the first two, the poles being e^(sT).
template <typename StepResponse>
LinearModel::Input SampledSecondOrder(StepResponse y, double a, double b, double t, int delay) {
    const double b1 = y(t);
    const double b0 = y(2.0 * t) + a * b1 - b1;
    return LinearModel::Input{b1, {Factor{false, -b0 / b1}}, {Factor{true, 0.0, a, b}}, delay};
}

TEST(ProcessFigures, FirstOrderWithDelayComesBackFromItsSampledModel) {
    // K e^(-5s) / (20 s + 1) sampled at 1 s and at 0.5 s.
    for (const double t : {1.0, 0.5}) {
        const double a = std::exp(-t / 20.0);
        const LinearModel::Input input{
            2.0 * (1.0 - a), {}, {Factor{false, a}}, static_cast<int>(5.0 / t)};
        const ProcessFigures f = ProcessFigures::Of(input, t);
        EXPECT_EQ(f.Units(), "seconds");
        EXPECT_NEAR(f.StaticGain, 2.0, KnownAnswer);
        EXPECT_NEAR(f.DeadTime, 5.0, KnownAnswer);
        ASSERT_TRUE(f.HasContinuous) << f.Note;
        ASSERT_EQ(f.TimeConstants.size(), 1u);
        EXPECT_NEAR(f.TimeConstants[0], 20.0, KnownAnswer);
        EXPECT_TRUE(f.ZerosS.empty());
        ASSERT_TRUE(f.Fopdt);
        EXPECT_NEAR(f.Fopdt->Gain, 2.0, KnownAnswer);
        EXPECT_NEAR(f.Fopdt->TimeConstant, 20.0, KnownAnswer);
        EXPECT_NEAR(f.Fopdt->DeadTime, 5.0, KnownAnswer);
        // Read off the samples of the exact response, to within the interpolation between them.
        EXPECT_NEAR(f.StepFigures.RiseTime, 20.0 * std::log(9.0), 0.02);
        EXPECT_NEAR(f.StepFigures.SettlingTime, 5.0 + 20.0 * std::log(50.0), 0.02);
        EXPECT_EQ(f.StepFigures.OvershootPercent, 0.0);
    }
}

TEST(ProcessFigures, UnderdampedPairComesBackWithItsFrequencyAndDamping) {
    const double wn = 0.5;
    const double zeta = 0.3;
    const double t = 0.2;
    const double sigma = zeta * wn;
    const double wd = wn * std::sqrt(1.0 - zeta * zeta);
    const auto y = [&](double time) {
        return 1.0 -
               std::exp(-sigma * time) * (std::cos(wd * time) + sigma / wd * std::sin(wd * time));
    };
    const LinearModel::Input input = SampledSecondOrder(
        y, -2.0 * std::exp(-sigma * t) * std::cos(wd * t), std::exp(-2.0 * sigma * t), t, 0);
    const ProcessFigures f = ProcessFigures::Of(input, t);
    ASSERT_TRUE(f.HasContinuous) << f.Note;
    EXPECT_TRUE(f.TimeConstants.empty());
    ASSERT_EQ(f.Pairs.size(), 1u);
    EXPECT_NEAR(f.Pairs[0].NaturalFrequency, wn, KnownAnswer);
    EXPECT_NEAR(f.Pairs[0].Damping, zeta, KnownAnswer);
    // The discrete zero the hold adds has no continuous counterpart.
    EXPECT_TRUE(f.ZerosS.empty());
    EXPECT_NEAR(f.StepFigures.OvershootPercent,
                100.0 * std::exp(-zeta * M_PI / std::sqrt(1 - zeta * zeta)), 0.1);
}

// K (T0 s + 1) e^(-delay s) / ((tau1 s + 1)(tau2 s + 1)) at 1 s.
LinearModel::Input SampledLeadLag(double k, double t0, double tau1, double tau2, int delay) {
    const auto y = [&](double time) {
        return 1.0 - (tau1 - t0) / (tau1 - tau2) * std::exp(-time / tau1) -
               (t0 - tau2) / (tau1 - tau2) * std::exp(-time / tau2);
    };
    const double p1 = std::exp(-1.0 / tau1);
    const double p2 = std::exp(-1.0 / tau2);
    LinearModel::Input input = SampledSecondOrder(y, -(p1 + p2), p1 * p2, 1.0, delay);
    input.Gain *= k;
    return input;
}

TEST(ProcessFigures, ContinuousZeroAndHalfRuleWithSkogestadsZeroPairing) {
    // (2 s + 1) e^(-3s) / ((5 s + 1)(s + 1)) at 1 s: the zero is paired with the 5 s time
    // constant (5 - 2 = 3 s, capped at five dead times), the half rule does the rest.
    const double t0 = 2.0;
    const double tau1 = 5.0;
    const double tau2 = 1.0;
    const ProcessFigures f = ProcessFigures::Of(SampledLeadLag(1.0, t0, tau1, tau2, 3));
    EXPECT_EQ(f.Units(), "samples");
    ASSERT_TRUE(f.HasContinuous) << f.Note;
    ASSERT_EQ(f.ZerosS.size(), 1u);
    EXPECT_NEAR(f.ZerosS[0].real(), -1.0 / t0, KnownAnswer);
    EXPECT_EQ(f.ZerosS[0].imag(), 0.0);
    ASSERT_EQ(f.TimeConstants.size(), 2u);
    EXPECT_NEAR(f.TimeConstants[0], tau1, KnownAnswer);
    EXPECT_NEAR(f.TimeConstants[1], tau2, KnownAnswer);
    ASSERT_TRUE(f.Fopdt && f.Sopdt);
    EXPECT_NEAR(f.Fopdt->Gain, 1.0, KnownAnswer);
    EXPECT_NEAR(f.Fopdt->TimeConstant, 3.5, KnownAnswer);
    EXPECT_NEAR(f.Fopdt->DeadTime, 3.5, KnownAnswer);
    EXPECT_NEAR(f.Sopdt->TimeConstant1, 3.0, KnownAnswer);
    EXPECT_NEAR(f.Sopdt->TimeConstant2, 1.0, KnownAnswer);
    EXPECT_NEAR(f.Sopdt->DeadTime, 3.0, KnownAnswer);
}

TEST(ProcessFigures, ALeadPairedWithALagMovesTheGainAndSaysWhy) {
    // Rule T2: T0 = 14 against tau0 = 32 beyond five dead times counts as 14/32.
    const ProcessFigures fuel = ProcessFigures::Of(SampledLeadLag(250.0, 14.0, 32.0, 10.0, 1));
    ASSERT_TRUE(fuel.Fopdt);
    EXPECT_NEAR(fuel.StaticGain, 250.0, 1e-9);
    EXPECT_NEAR(fuel.Fopdt->Gain, 250.0 * 14.0 / 32.0, 1e-6);
    EXPECT_NEAR(fuel.Fopdt->TimeConstant, 10.0, 1e-6);
    EXPECT_NE(fuel.GainNote.find("Gain 0.4375 times the static gain"), std::string::npos)
        << fuel.GainNote;
    EXPECT_NE(fuel.GainNote.find("Rule T2: the lead T0 = 14 against the lag tau0 = 32"),
              std::string::npos);

    // Rule T1: a lead outlasting every lag counts as T0/tau0 against the largest, a gain the
    // step response, peaking near -1.78, never reaches; the note says so.
    const double k = -0.6945;
    const ProcessFigures feedwater = ProcessFigures::Of(SampledLeadLag(k, 67.83, 11.03, 10.98, 2));
    ASSERT_TRUE(feedwater.Fopdt);
    EXPECT_NEAR(feedwater.Fopdt->Gain, k * 67.83 / 11.03, 1e-6);
    EXPECT_NEAR(feedwater.Fopdt->TimeConstant, 10.98, 1e-6);
    EXPECT_NEAR(feedwater.Fopdt->DeadTime, 2.0, 1e-6);
    EXPECT_NE(feedwater.GainNote.find("Gain 6.15 times the static gain"), std::string::npos)
        << feedwater.GainNote;
    EXPECT_NE(feedwater.GainNote.find("Rule T1: the lead T0 = 67.83 outlasts every lag"),
              std::string::npos);

    // A rounding above the final value of a response that never passes it is no overshoot.
    const std::vector<double> rising{0.0, 0.5, 1.0 + 4e-16, 1.0};
    EXPECT_EQ(ProcessFigures::StepFiguresOf(rising, 1.0, 1.0).OvershootPercent, 0.0);
}

TEST(ProcessFigures, PolesWithoutContinuousEquivalentOrSettlingAreSaidSo) {
    const ProcessFigures ringing =
        ProcessFigures::Of({1.0, {}, {Factor{false, 0.5}, Factor{false, -0.4}}, 0}, 2.0);
    EXPECT_FALSE(ringing.HasContinuous);
    EXPECT_NE(ringing.Note.find("z = -0.4 on the negative real axis"), std::string::npos);
    EXPECT_FALSE(ringing.Fopdt);
    EXPECT_NEAR(ringing.StaticGain, 1.0 / (0.5 * 1.4), 1e-15);
    EXPECT_TRUE(std::isfinite(ringing.StepFigures.SettlingTime));

    const ProcessFigures integrator = ProcessFigures::Of({0.1, {}, {Factor{false, 1.0}}, 2});
    ASSERT_TRUE(integrator.HasContinuous) << integrator.Note;
    EXPECT_EQ(integrator.TimeConstants, std::vector<double>{INFINITY});
    EXPECT_FALSE(integrator.Fopdt);
    EXPECT_TRUE(std::isnan(integrator.StepFigures.RiseTime));
}

} // namespace
} // namespace orvanel
