#include "cli/ExampleData.h"

#include "model/NumberText.h"

#include <array>
#include <cstdio>
#include <random>

namespace orvanel {
namespace {

// Uniform in [low, high) from the raw 32-bit output, which the standard fixes exactly (the
// library's distributions are free to differ between implementations).
double Uniform(std::mt19937& generator, double low, double high) {
    return low + (high - low) * (static_cast<double>(generator()) / 4294967296.0);
}

std::vector<double> RandomLevels(std::mt19937& generator, int samples) {
    std::vector<double> levels(static_cast<std::size_t>(samples));
    std::size_t i = 0;
    while (i < levels.size()) {
        const auto hold = 5 + generator() % 16;
        const double level = Uniform(generator, -50.0, 50.0);
        for (std::uint32_t k = 0; k < hold && i < levels.size(); ++k)
            levels[i++] = level;
    }
    return levels;
}

} // namespace

std::vector<std::vector<double>> ExampleData::TwoInputs(int samples, std::uint32_t seed) {
    std::mt19937 generator(seed);
    const std::vector<double> u1 = RandomLevels(generator, samples);
    const std::vector<double> u2 = RandomLevels(generator, samples);
    std::vector<std::vector<double>> rows;
    rows.reserve(u1.size());
    double y1 = 0.0;
    double y2 = 0.0;
    double y2Before = 0.0;
    for (std::size_t i = 0; i < u1.size(); ++i) {
        const double u1Before = i >= 1 ? u1[i - 1] : 0.0;
        const double u2Before = i >= 1 ? u2[i - 1] : 0.0;
        const double u2Before2 = i >= 2 ? u2[i - 2] : 0.0;
        const double nextY1 = 0.8 * y1 + 0.5 * u1Before;
        const double nextY2 = 0.9 * y2 - 0.2 * y2Before + 0.3 * u2Before + 0.15 * u2Before2;
        y1 = nextY1;
        y2Before = y2;
        y2 = nextY2;
        rows.push_back({u1[i], u2[i], y1 + y2 + Uniform(generator, -1.0, 1.0)});
    }
    return rows;
}

std::string ExampleData::DocumentText(const std::vector<std::vector<double>>& rows) {
    std::string text;
    for (const std::vector<double>& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            if (c > 0)
                text += '\t';
            text += FormatGeneral(row[c], 6);
        }
        text += "\r\n";
    }
    return text;
}

std::string ExampleData::HistorianText(const std::vector<std::vector<double>>& rows) {
    constexpr double TemperatureLevel = 80.0;
    std::string text = "timestamp;valve;feed;temperature\r\n";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto minute = static_cast<int>(i / 60);
        std::array<char, 40> time{};
        std::snprintf(time.data(), time.size(), "2026-01-15T%02d:%02d:%02dZ", 8 + minute / 60,
                      minute % 60, static_cast<int>(i % 60));
        text += time.data();
        for (std::size_t c = 0; c < rows[i].size(); ++c) {
            const double value = rows[i][c] + (c + 1 == rows[i].size() ? TemperatureLevel : 0.0);
            text += ';' + FormatGeneral(value, 6, ',');
        }
        text += "\r\n";
    }
    return text;
}

} // namespace orvanel
