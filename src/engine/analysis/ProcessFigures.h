// An identified transfer function in a process engineer's terms: gain, dead time, time
// constants, the low-order approximations tuning rules take, and its step figures.
#pragma once

#include "engine/linear/LinearModel.h"

#include <complex>
#include <cstddef>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orvanel {

// Every time below is in seconds when a sample time is given, in samples otherwise (Units
// says which). The continuous-time figures are those of the one continuous system whose
// sampling through a zero-order hold gives the model exactly: its state matrices come from
// the matrix logarithm of the sampled system, so that its zeros are the true ones and not
// the discrete zeros mapped one by one, which have no continuous meaning.
class ProcessFigures {
public:
    static constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

    struct Pair {
        double NaturalFrequency = 0.0;
        double Damping = 0.0;
        bool operator==(const Pair&) const = default;
    };
    // K e^(-Dead time s) / (Time constant s + 1).
    struct FirstOrder {
        double Gain = 0.0;
        double TimeConstant = 0.0;
        double DeadTime = 0.0;
    };
    // K e^(-Dead time s) / ((T1 s + 1)(T2 s + 1)), T1 >= T2 >= 0.
    struct SecondOrder {
        double Gain = 0.0;
        double TimeConstant1 = 0.0;
        double TimeConstant2 = 0.0;
        double DeadTime = 0.0;
    };
    // NaN where the response never gets there (an unstable or integrating model, a zero
    // static gain, no settling within the horizon simulated).
    struct Step {
        double RiseTime = NaN;
        double SettlingTime = NaN;
        double OvershootPercent = NaN;
    };

    // The length of a sample in the units of every time: the sample time, or 1.
    double TimeUnit = 1.0;
    bool InSeconds = false;
    // "seconds" or "samples".
    std::string Units() const { return InSeconds ? "seconds" : "samples"; }

    // G(1): infinite with a pole at 1.
    double StaticGain = 0.0;
    int DelaySamples = 0;
    // DelaySamples in the time unit.
    double DeadTime = 0.0;

    // Whether the continuous-time equivalent exists; when not, Note says why and the
    // continuous figures and approximations stay empty.
    bool HasContinuous = false;
    std::string Note;
    // One per real pole, largest first: -1 / s, negative for an unstable pole, infinite for an
    // integrator.
    std::vector<double> TimeConstants;
    // One per complex pair of poles, in the model's factor order.
    std::vector<Pair> Pairs;
    std::vector<std::complex<double>> PolesS;
    std::vector<std::complex<double>> ZerosS;
    // By Skogestad's half rule; empty when the model is not stable with a finite non-zero
    // gain.
    std::optional<FirstOrder> Fopdt;
    std::optional<SecondOrder> Sopdt;
    // Why the approximations' gain is not the static gain, as a sentence naming each rule
    // that moved it; empty when it is the static gain.
    std::string GainNote;
    Step StepFigures;

    // The figures of `input`; times in seconds when sampleTime (above 0) is given.
    static ProcessFigures Of(const LinearModel::Input& input,
                             std::optional<double> sampleTime = std::nullopt);

    // The unit step response at samples 0 .. samples-1 (the value at time k TimeUnit).
    static std::vector<double> StepResponse(const LinearModel::Input& input, std::size_t samples);
    // Samples enough for the response of a stable input to settle to well within 2 %.
    static std::size_t SettlingHorizon(const LinearModel::Input& input);
    // The step figures of a response sampled every timeUnit that tends to finalValue: rise
    // time from 10 % to 90 % and settling time into ±2 % for good, both interpolated between
    // samples, and the overshoot beyond finalValue in percent of it.
    static Step StepFiguresOf(std::span<const double> response, double finalValue, double timeUnit);
};

} // namespace orvanel
