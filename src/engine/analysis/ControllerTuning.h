// PI and PID settings for an identified input by the SIMC rules, with the closed loop they
// give on the identified model itself.
#pragma once

#include "engine/analysis/ProcessFigures.h"
#include "engine/linear/LinearModel.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace orvanel {

// Settings in series form, u = Kc (1 + 1 / (Ti s)) (1 + Td s) e, times in the figures' unit
// (seconds with a sample time, samples without). The closed loops are those of the discrete
// model as identified, not of its approximation, under the controller discretised by backward
// differences and acting on the output of the same sample (a model with direct feed-through
// is solved with it).
class ControllerTuning {
public:
    struct Controller {
        double Kc = 0.0;
        double Ti = 0.0;
        // 0 for a PI controller.
        double Td = 0.0;
    };
    // The output's response to a unit step of the set point.
    struct ClosedLoop {
        std::vector<double> Output;
        // Settling into ±2 % of the set point for good and the overshoot beyond it; NaN
        // settling time when the loop does not settle within the horizon simulated.
        double SettlingTime = ProcessFigures::NaN;
        double OvershootPercent = ProcessFigures::NaN;
        // The time the loop was watched for, the last sample's.
        double Horizon = 0.0;
    };
    struct Settings {
        std::string Rule = "SIMC";
        std::string Form = "series";
        std::string Units;
        // The closed-loop time constant the settings aim at.
        double TauC = 0.0;
        // From the first-order-plus-dead-time approximation.
        Controller Pi;
        // From the second-order one: Kc = T1 / (K (TauC + dead time)), Ti = min(T1, 4 (TauC +
        // dead time)), Td = T2.
        Controller Pid;
        ClosedLoop PiLoop;
        ClosedLoop PidLoop;
    };

    // SIMC's recommended closed-loop time constant, the approximation's dead time; one
    // sample when that is 0, the fastest a sampled controller can act.
    static double DefaultTauC(const ProcessFigures& figures);
    // The settings for `input` whose figures are given, for tauC (DefaultTauC when unset or
    // not above 0). Each closed loop is watched until it settles, for up to 100000 samples. Nothing
    // without the approximations or when the first-order time constant is 0 (a pure gain and delay
    // wants an integral controller alone).
    static std::optional<Settings> Simc(const LinearModel::Input& input,
                                        const ProcessFigures& figures,
                                        std::optional<double> tauC = std::nullopt);
    // The set-point step response over `samples` samples.
    static ClosedLoop Simulate(const LinearModel::Input& input, const Controller& controller,
                               double timeUnit, std::size_t samples);
};

} // namespace orvanel
