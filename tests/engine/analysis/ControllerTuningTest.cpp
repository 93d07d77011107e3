#include "engine/analysis/ControllerTuning.h"

#include <cmath>
#include <gtest/gtest.h>

namespace orvanel {
namespace {

using Factor = LinearModel::Factor;

TEST(ControllerTuning, SimcSettingsForFirstOrderWithDelayAndTheirClosedLoop) {
    // 2 e^(-5s) / (20 s + 1) at 1 s: tau_c = 5, Kc = 20 / (2 (5 + 5)) = 1, Ti = min(20, 40).
    const double a = std::exp(-1.0 / 20.0);
    const LinearModel::Input plant{2.0 * (1.0 - a), {}, {Factor{false, a}}, 5};
    const ProcessFigures figures = ProcessFigures::Of(plant, 1.0);
    const auto settings = ControllerTuning::Simc(plant, figures);
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->Units, "seconds");
    EXPECT_NEAR(settings->TauC, 5.0, 1e-9);
    EXPECT_NEAR(settings->Pi.Kc, 1.0, 1e-9);
    EXPECT_NEAR(settings->Pi.Ti, 20.0, 1e-9);
    // A first-order plant has no second time constant: the PID is the PI.
    EXPECT_NEAR(settings->Pid.Kc, 1.0, 1e-9);
    EXPECT_NEAR(settings->Pid.Td, 0.0, 1e-9);
    // SIMC with tau_c = theta: a few percent overshoot, settled in a few tau_c + theta.
    EXPECT_GT(settings->PiLoop.OvershootPercent, 0.0);
    EXPECT_LT(settings->PiLoop.OvershootPercent, 15.0);
    EXPECT_GT(settings->PiLoop.SettlingTime, 10.0);
    EXPECT_LT(settings->PiLoop.SettlingTime, 60.0);
    EXPECT_NEAR(settings->PiLoop.Output.back(), 1.0, 1e-6);

    // A tighter tau_c: Kc = 20 / (2 (1 + 5)), Ti = min(20, 24).
    const auto tight = ControllerTuning::Simc(plant, figures, 1.0);
    ASSERT_TRUE(tight);
    EXPECT_NEAR(tight->Pi.Kc, 20.0 / 12.0, 1e-9);
    EXPECT_NEAR(tight->Pi.Ti, 20.0, 1e-9);
}

TEST(ControllerTuning, ALoopStillCreepingInAtTheHorizonIsWatchedUntilItSettles) {
    // A lead slower than two 11-sample lags, tuned by a first-order approximation of its fast
    // part alone: the integral action closes the lead's slow tail only after the 20 time
    // constants of that approximation the loop is watched for at first.
    const double p1 = std::exp(-1.0 / 11.03);
    const double p2 = std::exp(-1.0 / 10.98);
    const LinearModel::Input plant{
        -0.3451, {Factor{false, 0.9855}}, {Factor{true, 0.0, -(p1 + p2), p1 * p2}}, 2};
    ProcessFigures figures = ProcessFigures::Of(plant);
    figures.Fopdt = ProcessFigures::FirstOrder{-4.27, 10.98, 2.0};
    const auto settings = ControllerTuning::Simc(plant, figures);
    ASSERT_TRUE(settings);
    EXPECT_GT(settings->PiLoop.SettlingTime, 20.0 * 10.98);
    EXPECT_LT(settings->PiLoop.SettlingTime, settings->PiLoop.Horizon);
    EXPECT_EQ(settings->PiLoop.Horizon, static_cast<double>(settings->PiLoop.Output.size() - 1));
}

TEST(ControllerTuning, AnUnstableLoopNeverSettlesAndNoApproximationGivesNoSettings) {
    const double a = std::exp(-1.0 / 20.0);
    const LinearModel::Input plant{2.0 * (1.0 - a), {}, {Factor{false, a}}, 5};
    const auto loop = ControllerTuning::Simulate(plant, {20.0, 20.0, 0.0}, 1.0, 2000);
    EXPECT_TRUE(std::isnan(loop.SettlingTime));
    const LinearModel::Input ringing{1.0, {}, {Factor{false, -0.5}}, 0};
    EXPECT_FALSE(ControllerTuning::Simc(ringing, ProcessFigures::Of(ringing)));
}

} // namespace
} // namespace orvanel
