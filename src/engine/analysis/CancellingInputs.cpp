#include "engine/analysis/CancellingInputs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace orvanel {
namespace {

// The standard deviation of the values.
double Spread(const std::vector<double>& values) {
    if (values.empty())
        return 0.0;
    double mean = 0.0;
    for (const double v : values)
        mean = mean + v;
    mean = mean / static_cast<double>(values.size());
    double sum = 0.0;
    for (const double v : values)
        sum = sum + (v - mean) * (v - mean);
    return std::sqrt(sum / static_cast<double>(values.size()));
}

// Pearson's correlation of two columns of equal length; 0 when either holds one value.
double Correlation(std::span<const double> a, std::span<const double> b) {
    const std::size_t n = a.size();
    if (n == 0)
        return 0.0;
    double meanA = 0.0, meanB = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        meanA = meanA + a[i];
        meanB = meanB + b[i];
    }
    meanA = meanA / static_cast<double>(n);
    meanB = meanB / static_cast<double>(n);
    double ab = 0.0, aa = 0.0, bb = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        ab = ab + (a[i] - meanA) * (b[i] - meanB);
        aa = aa + (a[i] - meanA) * (a[i] - meanA);
        bb = bb + (b[i] - meanB) * (b[i] - meanB);
    }
    return aa > 0.0 && bb > 0.0 ? ab / std::sqrt(aa * bb) : 0.0;
}

// Two significant digits, the exponent without sign or padding: 3.1E4, -5.7E2, 1.2E-3.
std::string Short(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1E", value);
    std::string s = text;
    const std::size_t e = s.find('E');
    if (e == std::string::npos)
        return s;
    const int exponent = std::atoi(s.c_str() + e + 1);
    return s.substr(0, e + 1) + std::to_string(exponent);
}

} // namespace

// The inputs' correlations first: only a pair that moves together needs its responses, and
// most data have none.
std::vector<CancellingInputs::Pair>
CancellingInputs::Of(const LinearModel& model, std::span<const std::span<const double>> inputs,
                     std::size_t rows, const Experiments& experiments) {
    const std::size_t count = std::min(model.Inputs.size(), inputs.size());
    std::vector<std::optional<std::vector<double>>> responses(count);
    const auto response = [&](std::size_t k) -> const std::vector<double>& {
        if (!responses[k]) {
            LinearModel alone;
            alone.Inputs = {model.Inputs[k]};
            const std::span<const double> column[] = {inputs[k]};
            responses[k] = alone.Simulate(column, rows, experiments);
        }
        return *responses[k];
    };
    std::vector<Pair> pairs;
    for (std::size_t j = 0; j < count; ++j)
        for (std::size_t k = j + 1; k < count; ++k) {
            if (std::abs(Correlation(inputs[j].first(rows), inputs[k].first(rows))) <
                TogetherCorrelation)
                continue;
            const std::vector<double>& first = response(j);
            const std::vector<double>& second = response(k);
            std::vector<double> sum(rows);
            for (std::size_t i = 0; i < rows; ++i)
                sum[i] = first[i] + second[i];
            if (Spread(sum) < std::max(Spread(first), Spread(second)))
                pairs.push_back({j, k});
        }
    return pairs;
}

std::string CancellingInputs::Sentence(const Pair& pair, double firstGain, double secondGain) {
    return "inputs " + std::to_string(pair.First + 1) + " and " + std::to_string(pair.Second + 1) +
           " move together over the data: their static gains " + Short(firstGain) + " and " +
           Short(secondGain) + " cancel";
}

} // namespace orvanel
