// Linear least-squares ARX models, a start for the refinement beside the search's.
#pragma once

#include "engine/linear/LinearModel.h"
#include "model/Experiments.h"

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace orvanel {

// y(t) + a1 y(t-1) + ... + an y(t-n) = sum_k sum_{j<n} b_kj u_k(t - d_k - j): one denominator
// for all inputs, n numerator coefficients per input after its delay d_k. The equation error
// is linear in the coefficients, so each model is one small least-squares solve; values before
// the first row count as zero, as in the simulation from rest. Only the rows given are read.
class ArxEstimate {
public:
    static constexpr int MaxOrder = 4;
    static constexpr int MaxDelay = 3;

    // The columns' first `rows` rows; inputs hold one column per input, each at least that long.
    // Rows of several experiments lie end to end: each begins from rest.
    ArxEstimate(std::span<const std::span<const double>> inputs, std::span<const double> output,
                std::size_t rows, Experiments experiments = {});

    // The least-squares model of order n (1..MaxOrder) with the delays given per input
    // (0..MaxDelay), as one transfer function per input; nothing when its equations are singular.
    // Every input gets the same pole factors, so LinearModel::AsShared gives its shared form.
    std::optional<LinearModel> Fit(int order, std::span<const int> delays) const;
    struct Structure {
        int Order = 1;
        std::vector<int> Delays;
        // Its least-squares model and that model's squared simulation error plus penalty.
        LinearModel Model;
        double Score = 0.0;
    };
    // Per order 1..MaxOrder, the per-input delays (0..MaxDelay) of lowest squared simulation
    // error plus `penalty` per parameter of the transfer functions, chosen input by input in a
    // few passes; orders without a model that simulates are left out.
    std::vector<Structure> Structures(double penalty) const;
    // The model of lowest score among the structures, the lower order among equals; nothing
    // when there is none.
    static std::optional<LinearModel> Best(std::span<const Structure> structures);

private:
    // Column of the regressor for output lag 1..MaxOrder, and for input k's lag 0..
    std::size_t OutputColumn(int lag) const;
    std::size_t InputColumn(std::size_t k, int lag) const;
    double Score(const LinearModel& model, double penalty) const;

    std::span<const std::span<const double>> inputs;
    std::span<const double> output;
    std::size_t rows;
    Experiments experiments;
    std::size_t width;
    // Regressor Gram matrix (width x width, row-major) and its products with the output.
    std::vector<double> gram;
    std::vector<double> moment;
};

} // namespace orvanel
