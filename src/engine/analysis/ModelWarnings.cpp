#include "engine/analysis/ModelWarnings.h"

#include "engine/analysis/ModelAnalysis.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <numeric>

namespace orvanel {
namespace {

using Complex = std::complex<double>;

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

// "z = 0.5" or "z = 0.5 ± 0.2j" for a conjugate pair.
std::string Place(const Complex& root) {
    if (root.imag() == 0.0)
        return "z = " + Number(root.real());
    return "z = " + Number(root.real()) + " \u00b1 " + Number(std::abs(root.imag())) + "j";
}

// Each real root and one of each conjugate pair.
std::vector<Complex> Distinct(std::vector<Complex> roots) {
    std::erase_if(roots, [](const Complex& r) { return r.imag() < 0.0; });
    return roots;
}

} // namespace

std::vector<std::string> ModelWarnings::Of(const LinearModel::Input& input,
                                           const std::optional<Data>& data) {
    std::vector<Complex> poles = ModelAnalysis::Poles(input);
    poles.resize(poles.size() - static_cast<std::size_t>(input.Delay));
    poles = Distinct(std::move(poles));
    const std::vector<Complex> zeros = Distinct(ModelAnalysis::Zeros(input));
    std::vector<std::string> warnings;
    if (data) {
        for (const Complex& p : poles) {
            const double radius = std::abs(p);
            const double samples = radius >= 1.0 ? INFINITY : -1.0 / std::log(radius);
            if (samples > static_cast<double>(data->Rows))
                warnings.push_back("the pole at " + Place(p) + " has a time constant of " +
                                   (std::isfinite(samples) ? Number(samples) + " samples"
                                                           : std::string("no end")) +
                                   ", longer than the " + std::to_string(data->Rows) +
                                   " rows of data: over these data it acts as an integrator");
        }
    }
    for (const Complex& p : poles) {
        for (const Complex& z : zeros) {
            if (std::abs(p - z) < CancellationDistance)
                warnings.push_back("the pole at " + Place(p) + " and the zero at " + Place(z) +
                                   " nearly cancel: a model without both does the same");
        }
    }
    if (data) {
        const std::vector<double> numerator = input.Numerator();
        const std::vector<double> denominator = input.PolePolynomial();
        const double gain = std::accumulate(numerator.begin(), numerator.end(), 0.0) /
                            std::accumulate(denominator.begin(), denominator.end(), 0.0);
        const double change = std::abs(gain) * data->InputRange;
        if (change > GainRangeRatio * data->OutputRange)
            warnings.push_back("the static gain of " + Number(gain) +
                               " turns the input's range of " + Number(data->InputRange) +
                               " into a change of " + Number(change) + ", more than " +
                               Number(GainRangeRatio) + " times the output's range of " +
                               Number(data->OutputRange) + ": the data show no such response");
    }
    for (const Complex& p : poles) {
        if (p.imag() == 0.0 && p.real() < 0.0)
            warnings.push_back("the pole at " + Place(p) +
                               " lies on the negative real axis: the response rings at half the "
                               "sample rate");
    }
    for (const Complex& z : zeros) {
        if (std::abs(z) > 1.0)
            warnings.push_back("the zero at " + Place(z) +
                               " lies outside the unit circle: an inverse response (information, "
                               "not a fault)");
    }
    return warnings;
}

double ModelWarnings::Range(std::span<const double> values) {
    if (values.empty())
        return 0.0;
    const auto [lowest, highest] = std::minmax_element(values.begin(), values.end());
    return *highest - *lowest;
}

} // namespace orvanel
