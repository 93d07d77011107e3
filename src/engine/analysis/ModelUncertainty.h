// How well the data determine an identified model: the covariance of its parameters and, by
// first order, the standard deviations of its coefficients and bands around its responses.
#pragma once

#include "engine/linear/LinearModel.h"

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace orvanel {

// For an output-error model fitted by least squares to data with white output noise, the
// parameters' covariance is sigma^2 (J'J)^-1, J the Jacobian of the simulated output by the
// parameters (in LinearModel::Parameters order) at the model and sigma^2 the residuals'
// variance over the estimation rows, their sum of squares over rows less parameters. Every
// other figure follows from it to first order, which holds while the deviations are small
// beside the parameters.
class ModelUncertainty {
public:
    // The 99 % quantile of the normal distribution: bands are ±Quantile99 sigma.
    static constexpr double Quantile99 = 2.58;

    // The columns as Refinement takes them (the model's own inputs and output, offsets
    // removed as the model saw them), the first `rows` counting. Nothing when there are no
    // more rows than parameters, the data do not determine every parameter (J'J singular) or
    // a value is not finite. Rows of several experiments are simulated from rest at each.
    static std::optional<ModelUncertainty>
    Estimate(const LinearModel& model, std::span<const std::span<const double>> inputs,
             std::span<const double> output, std::size_t rows, const Experiments& experiments = {});

    LinearModel Model;
    double ResidualVariance = 0.0;
    // ParameterCount x ParameterCount, row-major.
    std::vector<double> Covariance;

    std::vector<double> ParameterStd() const;

    // Standard deviations of input k's coefficients as the exports give them: the numerator
    // with the gain and the monic denominator without the delay, both in descending powers
    // of z (the denominator's leading 1 has 0).
    struct CoefficientStd {
        std::vector<double> Numerator;
        std::vector<double> Denominator;
    };
    CoefficientStd Coefficients(std::size_t input) const;

    // A response value with the half width of its 99 % band.
    struct Band {
        double Value = 0.0;
        double HalfWidth = 0.0;
    };
    // Input k's unit step response at samples 0 .. samples-1.
    std::vector<Band> StepBand(std::size_t input, std::size_t samples) const;
    // Input k's frequency response at the points of ModelAnalysis::FrequencyResponse (same
    // arguments), magnitude in dB and phase in degrees each with its band.
    struct FrequencyBand {
        double Frequency = 0.0;
        Band MagnitudeDb;
        Band PhaseDeg;
    };
    std::vector<FrequencyBand> FrequencyBands(std::size_t input, std::size_t count = 400,
                                              double lowest = 1e-3 * 3.14159265358979) const;

private:
    // g' C g over input k's parameters' rows and columns of the covariance, g one entry per
    // parameter in LinearModel::InputParameters order.
    double Variance(std::size_t input, std::span<const double> gradient) const;
};

} // namespace orvanel
