// The residuals of a model's simulation and their derivatives by its parameters.
#pragma once

#include "engine/linear/LinearModel.h"

#include <cstddef>
#include <span>
#include <vector>

namespace orvanel {

// For output-error models the derivative of the simulated output by a parameter is itself a
// filtered signal: by the gain, the input through the unit-gain model; by a numerator
// coefficient, the input through the model with that factor's derivative in place of the
// factor; by a denominator coefficient, the input's simulated output through the inverse of
// that pole factor (stable while the poles are). Each costs one pass over the rows.
class SimulationJacobian {
public:
    // Columns as Refinement takes them; the first `rows` rows count, made of the experiments
    // given, each simulated from rest.
    SimulationJacobian(std::span<const std::span<const double>> inputs,
                       std::span<const double> output, std::size_t rows,
                       const Experiments& experiments = {});

    // residuals[i] := output[i] - simulated[i] for every row; when jacobian is given
    // (rows x ParameterCount, row-major), jacobian[i][p] := d residuals[i] / d parameter p in
    // the order of LinearModel::Parameters. False when a value is not finite.
    bool Evaluate(const LinearModel& model, double* residuals, double* jacobian);

private:
    bool EvaluateRows(const LinearModel& model, double* residuals, double* jacobian);
    void Weighted(std::span<const double> c, std::span<double> out) const;
    void AddColumn(std::span<const double> derivative, double sign, double* jacobian);
    void ClearSharedColumns(std::size_t degree, double* jacobian);
    void AddPoleColumn(std::span<const double> derivative, double sign, double* jacobian);

    std::span<const std::span<const double>> inputs;
    std::span<const double> output;
    std::size_t rows;
    std::size_t parameters = 0;
    std::size_t column = 0;
    // With shared poles, the first of their columns and the next one an input adds to.
    bool sharedPoles = false;
    std::size_t sharedBegin = 0;
    std::size_t sharedColumn = 0;
    std::vector<double> simulated;
    std::vector<double> scratch;
    std::vector<double> filtered;
    // With several experiments, one of these per experiment over its own rows, the columns
    // they read and their first rows.
    std::vector<std::vector<std::span<const double>>> partColumns;
    std::vector<SimulationJacobian> parts;
    std::vector<std::size_t> partBegins;
};

} // namespace orvanel
