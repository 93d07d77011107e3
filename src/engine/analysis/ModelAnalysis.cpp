#include "engine/analysis/ModelAnalysis.h"

#include <cmath>
#include <numbers>
#include <numeric>

namespace orvanel {
namespace {

using Complex = std::complex<double>;

constexpr double ConfidenceQuantile99 = 2.58;

// The product of the factors at z.
Complex FactorsAt(const std::vector<LinearModel::Factor>& factors, Complex z) {
    Complex product = 1.0;
    for (const LinearModel::Factor& f : factors) {
        product *= f.Pair ? z * z + f.A * z + f.B : z - f.Root;
    }
    return product;
}

void AppendRoots(const LinearModel::Factor& f, std::vector<Complex>& roots) {
    if (!f.Pair) {
        roots.emplace_back(f.Root, 0.0);
        return;
    }
    // z^2 + A z + B: a real pair when the discriminant allows, a conjugate pair otherwise.
    const double half = -f.A / 2.0;
    const double discriminant = half * half - f.B;
    const double spread = std::sqrt(std::abs(discriminant));
    if (discriminant >= 0.0) {
        roots.emplace_back(half + spread, 0.0);
        roots.emplace_back(half - spread, 0.0);
    } else {
        roots.emplace_back(half, spread);
        roots.emplace_back(half, -spread);
    }
}

std::vector<double> LessMean(std::span<const double> values) {
    const double mean = values.empty() ? 0.0
                                       : std::accumulate(values.begin(), values.end(), 0.0) /
                                             static_cast<double>(values.size());
    std::vector<double> centred(values.begin(), values.end());
    for (double& v : centred) {
        v -= mean;
    }
    return centred;
}

double SumOfSquares(const std::vector<double>& values) {
    return std::inner_product(values.begin(), values.end(), values.begin(), 0.0);
}

// sum over t of a(t + lag) b(t), over the t where both exist.
double LaggedProduct(const std::vector<double>& a, const std::vector<double>& b, int lag) {
    const auto n = static_cast<std::ptrdiff_t>(std::min(a.size(), b.size()));
    const std::ptrdiff_t first = std::max<std::ptrdiff_t>(0, -lag);
    const std::ptrdiff_t end = std::min(n, n - lag);
    double sum = 0.0;
    for (std::ptrdiff_t t = first; t < end; ++t) {
        sum += a[static_cast<std::size_t>(t + lag)] * b[static_cast<std::size_t>(t)];
    }
    return sum;
}

double Band(std::size_t samples) {
    return samples == 0 ? 0.0 : ConfidenceQuantile99 / std::sqrt(static_cast<double>(samples));
}

} // namespace

std::vector<ModelAnalysis::FrequencyPoint>
ModelAnalysis::FrequencyResponse(const LinearModel::Input& input, std::size_t count,
                                 double lowest) {
    std::vector<FrequencyPoint> points(count);
    const double logLowest = std::log10(lowest);
    const double logStep =
        (std::log10(std::numbers::pi) - logLowest) / static_cast<double>(count - 1);
    double previous = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        const double w = i + 1 == count
                             ? std::numbers::pi
                             : std::pow(10.0, logLowest + logStep * static_cast<double>(i));
        const Complex z = std::polar(1.0, w);
        const Complex g = input.Gain * FactorsAt(input.Zeros, z) / FactorsAt(input.Poles, z);
        // The delay's phase is added exactly after unwrapping: sampled, it could turn by more
        // than half a turn between two points.
        double phase = std::arg(g);
        if (i > 0) {
            phase -=
                2.0 * std::numbers::pi * std::round((phase - previous) / (2.0 * std::numbers::pi));
        }
        previous = phase;
        points[i] = {w, 20.0 * std::log10(std::abs(g)),
                     (phase - input.Delay * w) * 180.0 / std::numbers::pi};
    }
    return points;
}

std::vector<std::complex<double>> ModelAnalysis::Zeros(const LinearModel::Input& input) {
    std::vector<Complex> roots;
    for (const LinearModel::Factor& f : input.Zeros) {
        AppendRoots(f, roots);
    }
    return roots;
}

std::vector<std::complex<double>> ModelAnalysis::Poles(const LinearModel::Input& input) {
    std::vector<Complex> roots;
    for (const LinearModel::Factor& f : input.Poles) {
        AppendRoots(f, roots);
    }
    roots.insert(roots.end(), static_cast<std::size_t>(std::max(input.Delay, 0)), Complex{});
    return roots;
}

ModelAnalysis::Correlation ModelAnalysis::Autocorrelation(std::span<const double> residuals,
                                                          int maxLag) {
    const std::vector<double> e = LessMean(residuals);
    const double energy = SumOfSquares(e);
    Correlation result{0, std::vector<double>(static_cast<std::size_t>(maxLag + 1), 0.0),
                       Band(e.size())};
    if (energy > 0.0) {
        for (int k = 0; k <= maxLag; ++k) {
            result.Values[static_cast<std::size_t>(k)] = LaggedProduct(e, e, k) / energy;
        }
    }
    return result;
}

ModelAnalysis::Correlation ModelAnalysis::CrossCorrelation(std::span<const double> residuals,
                                                           std::span<const double> input,
                                                           int maxLag) {
    const std::size_t n = std::min(residuals.size(), input.size());
    const std::vector<double> e = LessMean(residuals.first(n));
    const std::vector<double> u = LessMean(input.first(n));
    const double scale = std::sqrt(SumOfSquares(e) * SumOfSquares(u));
    Correlation result{-maxLag, std::vector<double>(static_cast<std::size_t>(2 * maxLag + 1), 0.0),
                       Band(n)};
    if (scale > 0.0) {
        for (int k = -maxLag; k <= maxLag; ++k) {
            result.Values[static_cast<std::size_t>(k + maxLag)] = LaggedProduct(e, u, k) / scale;
        }
    }
    return result;
}

} // namespace orvanel
