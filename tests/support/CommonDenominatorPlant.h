// Noise-free data of a two-input plant whose transfer functions share their denominator, so that
// both ARX and state-space models of order 2 describe it exactly.
#pragma once

#include "engine/linear/LinearModel.h"

#include <span>
#include <vector>

namespace orvanel::testing {

// Pseudo-random levels held for 4 to 11 samples.
inline std::vector<double> HeldLevels(unsigned seed, std::size_t rows) {
    std::vector<double> values;
    unsigned state = seed;
    while (values.size() < rows) {
        state = state * 1103515245u + 12345u;
        const double level = static_cast<double>((state >> 16) % 2001) / 1000.0 - 1.0;
        values.insert(values.end(), 4 + (state >> 8) % 8, level);
    }
    values.resize(rows);
    return values;
}

// Input 1: 0.3 (z - 0.4) / (z^2 - 1.3 z + 0.6); input 2: -0.5 (z + 0.2) / (z^Delay (z^2 - 1.3 z +
// 0.6)).
inline LinearModel CommonDenominatorModel(int secondDelay) {
    const LinearModel::Factor pair{true, 0.0, -1.3, 0.6};
    return LinearModel{{LinearModel::Input{0.3, {{false, 0.4, 0.0, 0.0}}, {pair}, 0},
                        LinearModel::Input{-0.5, {{false, -0.2, 0.0, 0.0}}, {pair}, secondDelay}}};
}

struct CommonDenominatorPlant {
    static constexpr std::size_t Rows = 400;
    explicit CommonDenominatorPlant(int secondDelay) : Truth(CommonDenominatorModel(secondDelay)) {}

    LinearModel Truth;
    std::vector<double> U1 = HeldLevels(1, Rows);
    std::vector<double> U2 = HeldLevels(2, Rows);
    std::vector<std::span<const double>> Inputs{U1, U2};
    std::vector<double> Y = Truth.Simulate(Inputs, Rows);
};

} // namespace orvanel::testing
