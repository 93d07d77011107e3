// Data sets generated from a known two-input model with noise, for examples and benchmarks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvanel {

// Samples of y = G1(z) u1 + G2(z) u2 + noise with
//   G1(z) = 0.5 / (z - 0.8)
//   G2(z) = 0.3 (z + 0.5) / ((z - 0.4)(z - 0.5)),
// the inputs holding random levels in [-50, 50] for 5 to 20 samples each, and the noise
// uniform in [-1, 1]. The same seed gives the same samples on every machine.
class ExampleData {
public:
    // Rows of u1, u2, y.
    static std::vector<std::vector<double>> TwoInputs(int samples, std::uint32_t seed);

    // The rows as a document file: cells with 6 significant digits and ".", TAB between
    // cells, CR LF after every line.
    static std::string DocumentText(const std::vector<std::vector<double>>& rows);
    // The rows as a plant historian exports them: a header naming the columns
    // "timestamp;valve;feed;temperature", one ISO 8601 time a second from 2026-01-15 08:00:00
    // UTC, semicolons between cells, decimal commas, and the temperature around 80.
    static std::string HistorianText(const std::vector<std::vector<double>>& rows);
};

} // namespace orvanel
