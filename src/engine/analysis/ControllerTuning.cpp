#include "engine/analysis/ControllerTuning.h"

#include <algorithm>
#include <cmath>

namespace orvanel {
namespace {

// The closed loop is watched for this many times the slowest of the time constants at play.
constexpr double HorizonSpans = 20.0;
constexpr std::size_t ShortestLoop = 200;
constexpr std::size_t LongestLoop = 100000;
constexpr std::size_t LongerHorizon = 4;
// An output beyond this many set points is a loop gone unstable.
constexpr double Diverged = 1e6;

// A loop that is still creeping in at the end of the horizon, such as one whose controller
// cancels a slow lead, is watched for longer, up to the longest horizon.
ControllerTuning::ClosedLoop SimulateToSettling(const LinearModel::Input& input,
                                                const ControllerTuning::Controller& controller,
                                                double timeUnit, std::size_t samples) {
    ControllerTuning::ClosedLoop loop =
        ControllerTuning::Simulate(input, controller, timeUnit, samples);
    while (std::isnan(loop.SettlingTime) && !std::isnan(loop.OvershootPercent) &&
           samples < LongestLoop) {
        samples = std::min(LongestLoop, samples * LongerHorizon);
        loop = ControllerTuning::Simulate(input, controller, timeUnit, samples);
    }
    return loop;
}

} // namespace

double ControllerTuning::DefaultTauC(const ProcessFigures& figures) {
    const double deadTime = figures.Fopdt ? figures.Fopdt->DeadTime : figures.DeadTime;
    return deadTime > 0.0 ? deadTime : figures.TimeUnit;
}

std::optional<ControllerTuning::Settings> ControllerTuning::Simc(const LinearModel::Input& input,
                                                                 const ProcessFigures& figures,
                                                                 std::optional<double> tauC) {
    if (!figures.Fopdt || !figures.Sopdt || !(figures.Fopdt->TimeConstant > 0.0))
        return std::nullopt;
    Settings s;
    s.Units = figures.Units();
    s.TauC = tauC && *tauC > 0.0 ? *tauC : DefaultTauC(figures);
    const ProcessFigures::FirstOrder& first = *figures.Fopdt;
    const double firstSpan = s.TauC + first.DeadTime;
    s.Pi = {first.TimeConstant / (first.Gain * firstSpan),
            std::min(first.TimeConstant, 4.0 * firstSpan), 0.0};
    const ProcessFigures::SecondOrder& second = *figures.Sopdt;
    const double secondSpan = s.TauC + second.DeadTime;
    s.Pid = {second.TimeConstant1 / (second.Gain * secondSpan),
             std::min(second.TimeConstant1, 4.0 * secondSpan), second.TimeConstant2};
    const double slowest = std::max({first.TimeConstant, firstSpan, s.Pi.Ti});
    const auto samples = static_cast<std::size_t>(
        std::min(static_cast<double>(LongestLoop),
                 std::max(static_cast<double>(ShortestLoop),
                          std::ceil(HorizonSpans * slowest / figures.TimeUnit))));
    s.PiLoop = SimulateToSettling(input, s.Pi, figures.TimeUnit, samples);
    s.PidLoop = SimulateToSettling(input, s.Pid, figures.TimeUnit, samples);
    return s;
}

ControllerTuning::ClosedLoop ControllerTuning::Simulate(const LinearModel::Input& input,
                                                        const Controller& controller,
                                                        double timeUnit, std::size_t samples) {
    // The plant as y[k] = sum beta[j] u[k-j] - sum alpha[i] y[k-i], i from 1.
    const std::vector<double> poles = input.PolePolynomial();
    const std::size_t n = poles.size() - 1;
    std::vector<double> alpha(n + 1);
    for (std::size_t i = 0; i <= n; ++i)
        alpha[i] = poles[n - i];
    const std::vector<double> zeros = input.ZeroPolynomial();
    std::vector<double> beta(n + static_cast<std::size_t>(input.Delay) + 1, 0.0);
    for (std::size_t i = 0; i < zeros.size() && i <= n; ++i)
        beta[n + static_cast<std::size_t>(input.Delay) - i] = zeros[i] * input.Gain;
    // The controller in velocity form: u[k] = u[k-1] + q0 e[k] + q1 e[k-1] + q2 e[k-2].
    const double ratio = controller.Td / timeUnit;
    const double proportional = controller.Kc * (1.0 + timeUnit / controller.Ti);
    const double q0 = proportional * (1.0 + ratio);
    const double q1 = -proportional * ratio - controller.Kc * (1.0 + ratio);
    const double q2 = controller.Kc * ratio;

    std::vector<double> y(samples, 0.0);
    std::vector<double> u(samples, 0.0);
    std::vector<double> e(samples, 0.0);
    const auto at = [](const std::vector<double>& v, std::size_t k, std::size_t back) {
        return k >= back ? v[k - back] : 0.0;
    };
    ClosedLoop loop;
    loop.Horizon = static_cast<double>(samples - 1) * timeUnit;
    for (std::size_t k = 0; k < samples; ++k) {
        double free = 0.0;
        for (std::size_t j = 1; j < beta.size(); ++j)
            free += beta[j] * at(u, k, j);
        for (std::size_t i = 1; i <= n; ++i)
            free -= alpha[i] * at(y, k, i);
        const double held = at(u, k, 1) + q1 * at(e, k, 1) + q2 * at(e, k, 2);
        // e = 1 - y, y = free + beta0 u, u = held + q0 e, solved for u.
        u[k] = (held + q0 * (1.0 - free)) / (1.0 + q0 * beta[0]);
        y[k] = free + beta[0] * u[k];
        e[k] = 1.0 - y[k];
        if (!std::isfinite(y[k]) || std::abs(y[k]) > Diverged) {
            y.resize(k + 1);
            loop.Output = std::move(y);
            return loop;
        }
    }
    const ProcessFigures::Step figures = ProcessFigures::StepFiguresOf(y, 1.0, timeUnit);
    loop.SettlingTime = figures.SettlingTime;
    loop.OvershootPercent = figures.OvershootPercent;
    loop.Output = std::move(y);
    return loop;
}

} // namespace orvanel
