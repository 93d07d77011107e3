// State-space models by subspace identification, a start for the refinement beside the search's.
#pragma once

#include "engine/linear/LinearModel.h"
#include "model/Experiments.h"

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace orvanel {

// Past-output MOESP: the column space of the future outputs that the past inputs and outputs
// explain, with the future inputs projected out, gives the observability matrix and from it
// A and C; B and D then follow by least squares on the simulation from rest. The model, a sum
// of per-input transfer functions over the common denominator det(zI - A), is returned in the
// program's factored form. Only the rows given are read.
class SubspaceEstimate {
public:
    static constexpr int MaxOrder = 8;

    // The columns' first `rows` rows; inputs hold one column per input, each at least that long.
    // Rows of several experiments lie end to end: each begins from rest.
    SubspaceEstimate(std::span<const std::span<const double>> inputs,
                     std::span<const double> output, std::size_t rows,
                     Experiments experiments = {});

    // The highest order the data allow (at most MaxOrder; 0 when they are too few).
    int OrderLimit() const { return limit; }
    // The model of order n (1..OrderLimit); nothing when it cannot be computed. Its inputs have
    // the factors of det(zI - A) as poles, so LinearModel::AsShared gives its shared form.
    std::optional<LinearModel> Fit(int order) const;
    // The models of orders 1..OrderLimit, in order; nothing where one cannot be computed.
    std::vector<std::optional<LinearModel>> Fits() const;
    // Among `fits` (as Fits gives them), the order up to `highest` of lowest squared
    // simulation error plus `penalty` per parameter of the transfer functions; 0 when no
    // order gives a model.
    int BestOrder(std::span<const std::optional<LinearModel>> fits, double penalty,
                  int highest = MaxOrder) const;

private:
    std::span<const std::span<const double>> inputs;
    std::span<const double> output;
    std::size_t rows;
    Experiments experiments;
    int blockRows = 0;
    int limit = 0;
    // Left singular vectors and values of the projected future outputs (blockRows x blockRows).
    std::vector<double> directions;
    std::vector<double> singular;
};

} // namespace orvanel
