// A multi-input transfer-function model in its continuous parameters, free of any chromosome.
#pragma once

#include "model/Experiments.h"
#include "model/MISOFunTrans.h"

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace orvanel {

// The model the search found, in a form a local optimiser can move: per input a gain, the
// factors of the numerator and the denominator and a delay,
//   G(z) = Gain * prod(zero factors) / (z^Delay * prod(pole factors)),
// each factor z - Root (a real root) or z^2 + A z + B (a pair). Factors keep the order the
// chromosome applied them in, so that the coefficients, and the simulation, come out as the
// search computed them to the last bit.
class LinearModel {
public:
    struct Factor {
        bool Pair = false;
        double Root = 0.0;
        double A = 0.0;
        double B = 0.0;
        bool operator==(const Factor&) const = default;
    };

    // The farthest from the origin Stabilised puts a pole it moves.
    static constexpr double MaxStableRadius = 0.99;

    struct Input {
        double Gain = 1.0;
        std::vector<Factor> Zeros;
        std::vector<Factor> Poles;
        int Delay = 0;

        // Coefficients in descending powers of z: the numerator with the gain, the denominator
        // monic and with the delay's trailing zeros.
        std::vector<double> Numerator() const;
        std::vector<double> Denominator() const;
        // The same in ascending powers of z, without gain and delay: what the simulation uses.
        std::vector<double> ZeroPolynomial() const;
        std::vector<double> PolePolynomial() const;
        // Whether every pole lies strictly inside the unit circle.
        bool Stable() const;
        // Whether it has the search's form: a pole at least, no more zeros than poles and no
        // negative delay.
        bool SearchForm() const;
        // 1 for the gain plus 1 per real factor and 2 per pair.
        std::size_t ParameterCount() const;
        bool operator==(const Input&) const = default;
    };

    // The model of the search's individual, from its chromosome; nothing when a transfer
    // function does not decode, is not one the search simulates (no poles, more zeros than
    // poles) or has a negative delay.
    static std::optional<LinearModel> From(const TMISOFunTrans& individual);
    static std::optional<Input> From(const TFunTrans& function);
    // The transfer function numerator / denominator, both in descending powers of z with a
    // denominator of at least the numerator's degree and a nonzero leading coefficient, in
    // factored form: leading numerator coefficients within 1e-9 of the largest count as zero,
    // roots at the origin become delay, and a pole is kept at the origin when no other is left.
    static Input FromPolynomials(std::vector<double> numerator, std::vector<double> denominator);
    // Every input through 0 / z: the fewest parameters a model of the search's form has, and
    // an output of zero.
    static LinearModel Simplest(std::size_t inputs);
    // The degree of the factors' product, 1 per real factor and 2 per pair: also how many
    // parameters they have.
    static std::size_t Degree(const std::vector<Factor>& factors);

    std::vector<Input> Inputs;
    // Whether every input has the same pole factors, moved together: the form of a plant whose
    // inputs all pass through its own dynamics, with the poles counted and fitted once.
    bool SharedPoles = false;

    // The model with `poles` as every input's denominator and SharedPoles set; gains, zeros
    // and delays as they are.
    LinearModel WithSharedPoles(const std::vector<Factor>& poles) const;
    // The model in the shared form when every input already has the same pole factors, as
    // the least-squares estimates over one denominator give them; nothing otherwise.
    std::optional<LinearModel> AsShared() const;
    // Positions in Parameters of the pole parameters.
    std::vector<int> PoleParameters() const;
    // Positions in Parameters of input k's parameters, in the order of its model alone: the
    // gain, the zeros, the poles.
    std::vector<std::size_t> InputParameters(std::size_t k) const;

    // The output over the first `count` rows from zero state: every input simulated as the
    // search does and the results added in input order. inputs holds one column per input.
    std::vector<double> Simulate(std::span<const std::span<const double>> inputs,
                                 std::size_t count) const;
    // The same over rows made of several experiments, each from rest with its input taken as
    // 0 outside its own rows: as if each were simulated alone.
    std::vector<double> Simulate(std::span<const std::span<const double>> inputs, std::size_t count,
                                 const Experiments& experiments) const;
    // The squared residual sum of `output` against Simulate over the first `count` rows;
    // infinite when it is not finite.
    double SquaredError(std::span<const std::span<const double>> inputs,
                        std::span<const double> output, std::size_t count,
                        const Experiments& experiments = {}) const;
    // Whether the two have the same number and kind of factors and the same delay per input,
    // and both share their poles or neither does.
    bool SameStructure(const LinearModel& other) const;
    bool Stable() const;
    // The model with every pole on or outside the unit circle mirrored inside it, at most
    // MaxStableRadius from the origin, and a pole that is not finite put at the origin; the
    // rest as it is. The result is Stable.
    LinearModel Stabilised() const;
    // With shared poles, their parameters count once.
    std::size_t ParameterCount() const;
    // The continuous parameters, input by input: the gain, then each zero factor's root or
    // A, B, then each pole factor's. With shared poles each input gives its gain and zeros,
    // and the shared pole factors follow once after the last input.
    std::vector<double> Parameters() const;
    // Takes ParameterCount values in the order Parameters gives them; shared poles are
    // written into every input.
    void SetParameters(std::span<const double> values);
    bool operator==(const LinearModel&) const = default;

    // y(i) = sum_{j<=m} x(i + j - shift) b[j] - sum_{j<n} y(i + j - n) a[j] for i < y.size(),
    // with x zero outside its entries and y zero before 0; b and a in ascending powers (a
    // without its leading 1). The transfer function b(z) / (z^(shift - n) (z^n + a(z))).
    static void Filter(std::span<const double> x, std::span<const double> b,
                       std::span<const double> a, std::ptrdiff_t shift, std::span<double> y);
};

} // namespace orvanel
