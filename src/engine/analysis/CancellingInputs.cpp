#include "engine/analysis/CancellingInputs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

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

std::vector<CancellingInputs::Pair>
CancellingInputs::Of(const LinearModel& model, std::span<const std::span<const double>> inputs,
                     std::size_t rows, const Experiments& experiments) {
    std::vector<std::vector<double>> responses;
    std::vector<double> spreads;
    for (std::size_t k = 0; k < model.Inputs.size() && k < inputs.size(); ++k) {
        LinearModel alone;
        alone.Inputs = {model.Inputs[k]};
        const std::span<const double> column[] = {inputs[k]};
        responses.push_back(alone.Simulate(column, rows, experiments));
        spreads.push_back(Spread(responses.back()));
    }
    std::vector<Pair> pairs;
    for (std::size_t j = 0; j < responses.size(); ++j)
        for (std::size_t k = j + 1; k < responses.size(); ++k) {
            std::vector<double> sum(rows);
            for (std::size_t i = 0; i < rows; ++i)
                sum[i] = responses[j][i] + responses[k][i];
            const double together = Spread(sum);
            if (std::abs(Correlation(inputs[j].first(rows), inputs[k].first(rows))) >=
                    TogetherCorrelation &&
                together < std::max(spreads[j], spreads[k]))
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
