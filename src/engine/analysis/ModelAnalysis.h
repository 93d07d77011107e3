// The views control engineers take of an identified transfer function: its frequency response,
// its poles and zeros, and the correlations of the residuals it leaves.
#pragma once

#include "engine/linear/LinearModel.h"

#include <complex>
#include <cstddef>
#include <span>
#include <vector>

namespace orvanel {

class ModelAnalysis {
public:
    struct FrequencyPoint {
        // In rad/sample, pi being the Nyquist frequency.
        double Frequency = 0.0;
        // 20 log10 |G|: very low, or minus infinity, at a zero on the unit circle.
        double MagnitudeDb = 0.0;
        // The argument of G in degrees, continuous from the lowest frequency on, the delay's
        // -Delay * Frequency included exactly.
        double PhaseDeg = 0.0;
    };

    // G(e^jw) of `input` at `count` (at least 2) frequencies spaced evenly on a logarithmic axis
    // from `lowest` (above 0) up to pi. The phase starts at its principal value and each step
    // takes the turn that keeps it within half a turn of the previous point.
    static std::vector<FrequencyPoint> FrequencyResponse(const LinearModel::Input& input,
                                                         std::size_t count = 400,
                                                         double lowest = 1e-3 * 3.14159265358979);

    // The roots of the numerator, factor by factor in the model's order.
    static std::vector<std::complex<double>> Zeros(const LinearModel::Input& input);
    // The roots of the denominator, factor by factor, followed by Delay poles at the origin.
    static std::vector<std::complex<double>> Poles(const LinearModel::Input& input);

    struct Correlation {
        // The lag of Values[0]; the lags then rise by one.
        int FirstLag = 0;
        std::vector<double> Values;
        // Half the width of the 99 % confidence band of a white sequence: 2.58 / sqrt(N).
        double Band = 0.0;
    };

    // r(k) = sum e(t) e(t+k) / sum e(t)^2 for k = 0..maxLag over the sequence less its mean.
    // Lags reaching past the sequence get 0, and so does every lag of a constant sequence.
    static Correlation Autocorrelation(std::span<const double> residuals, int maxLag);
    // r(k) = sum e(t+k) u(t) / sqrt(sum e^2 sum u^2) for k = -maxLag..maxLag, both less their
    // means, over the first min(residuals, input) samples; 0 where either is constant.
    static Correlation CrossCorrelation(std::span<const double> residuals,
                                        std::span<const double> input, int maxLag);
};

} // namespace orvanel
