// Starts for models whose inputs share one denominator.
#pragma once

#include "engine/linear/LinearModel.h"
#include "model/Experiments.h"

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace orvanel {

// A plant's inputs pass through its own dynamics, so one set of poles serves them all. ARX and
// subspace estimates already have one denominator (LinearModel::AsShared puts them in the
// shared form); a model with poles of its own per input is given one by taking its slowest
// poles and fitting every numerator to them. With the poles fixed, the simulated output is
// linear in the numerator coefficients: one least-squares solve. Only the rows given are read.
class SharedDenominator {
public:
    // The columns' first `rows` rows; inputs hold one column per input, each at least that long.
    // Rows of several experiments lie end to end: each begins from rest.
    SharedDenominator(std::span<const std::span<const double>> inputs,
                      std::span<const double> output, std::size_t rows,
                      Experiments experiments = {});

    // The slowest of the model's distinct pole factors, farthest from the origin first, while
    // their degree stays within `order`; a pair that would pass it is left out.
    static std::vector<LinearModel::Factor> DominantPoles(const LinearModel& model,
                                                          std::size_t order);
    // `model` with `poles` shared by every input: each input keeps its delay and takes a
    // numerator of one term more than its zeros, at most as many terms as the poles' degree,
    // fitted by least squares on the simulation from rest. Nothing when poles is empty or the
    // equations are singular.
    std::optional<LinearModel> Fit(const LinearModel& model,
                                   const std::vector<LinearModel::Factor>& poles) const;

private:
    // Input k through z^terms / (z^delay D(z)) for terms 0..count-1: the signals its numerator
    // coefficients weigh.
    std::vector<std::vector<double>>
    Regressors(std::size_t k, int delay, std::size_t count,
               const std::vector<LinearModel::Factor>& poles) const;

    std::span<const std::span<const double>> inputs;
    std::span<const double> output;
    std::size_t rows;
    Experiments experiments;
};

} // namespace orvanel
