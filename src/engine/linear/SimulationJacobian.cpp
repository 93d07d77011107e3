#include "engine/linear/SimulationJacobian.h"

#include <algorithm>
#include <cmath>

namespace orvanel {
namespace {

std::vector<double> Scaled(std::vector<double> p, double factor) {
    for (double& c : p)
        c = c * factor;
    return p;
}

// The zero polynomial (ascending) without its factor f.
std::vector<double> ZerosWithout(const LinearModel::Input& input, std::size_t f) {
    LinearModel::Input rest = input;
    rest.Zeros.erase(rest.Zeros.begin() + static_cast<std::ptrdiff_t>(f));
    return rest.ZeroPolynomial();
}

bool AllFinite(std::span<const double> values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

} // namespace

SimulationJacobian::SimulationJacobian(std::span<const std::span<const double>> inputs,
                                       std::span<const double> output, std::size_t rows,
                                       const Experiments& experiments)
    : inputs(inputs), output(output), rows(rows) {
    if (experiments.Single()) {
        simulated.resize(rows);
        scratch.resize(rows);
        return;
    }
    for (const Experiments::Part& part : experiments.Parts(rows)) {
        std::vector<std::span<const double>>& columns = partColumns.emplace_back();
        for (const std::span<const double> column : inputs)
            columns.push_back(column.subspan(part.Begin, part.End - part.Begin));
        partBegins.push_back(part.Begin);
    }
    for (std::size_t k = 0; k < partBegins.size(); ++k) {
        const std::size_t length =
            (k + 1 < partBegins.size() ? partBegins[k + 1] : rows) - partBegins[k];
        parts.emplace_back(partColumns[k], output.subspan(partBegins[k], length), length);
    }
}

bool SimulationJacobian::Evaluate(const LinearModel& model, double* residuals, double* jacobian) {
    if (parts.empty())
        return EvaluateRows(model, residuals, jacobian);
    const std::size_t count = model.ParameterCount();
    for (std::size_t k = 0; k < parts.size(); ++k) {
        if (!parts[k].Evaluate(model, residuals + partBegins[k],
                               jacobian != nullptr ? jacobian + partBegins[k] * count : nullptr))
            return false;
    }
    return true;
}

bool SimulationJacobian::EvaluateRows(const LinearModel& model, double* residuals,
                                      double* jacobian) {
    parameters = model.ParameterCount();
    column = 0;
    sharedPoles = model.SharedPoles;
    std::fill(residuals, residuals + rows, 0.0);
    if (sharedPoles && jacobian != nullptr && !model.Inputs.empty())
        ClearSharedColumns(LinearModel::Degree(model.Inputs.front().Poles), jacobian);
    for (std::size_t k = 0; k < model.Inputs.size() && k < inputs.size(); ++k) {
        const LinearModel::Input& input = model.Inputs[k];
        const std::vector<double> zeros = input.ZeroPolynomial();
        const std::vector<double> poles = input.PolePolynomial();
        const std::span<const double> a = std::span(poles).first(poles.size() - 1);
        const auto shift = static_cast<std::ptrdiff_t>(a.size()) + input.Delay;
        const std::span<const double> u = inputs[k];
        LinearModel::Filter(u, Scaled(zeros, input.Gain), a, shift, simulated);
        for (std::size_t i = 0; i < rows; ++i)
            residuals[i] = residuals[i] + simulated[i];
        if (jacobian == nullptr)
            continue;
        // Numerator derivatives share the denominator: u through 1 / (z^Delay D(z)) once,
        // then a short sum of its samples per parameter.
        const std::size_t m = zeros.size() - 1;
        filtered.resize(rows + m);
        const double one[] = {1.0};
        LinearModel::Filter(u, one, a, shift, filtered);
        Weighted(zeros, scratch);
        AddColumn(scratch, -1.0, jacobian);
        for (std::size_t f = 0; f < input.Zeros.size(); ++f) {
            std::vector<double> rest = Scaled(ZerosWithout(input, f), input.Gain);
            if (input.Zeros[f].Pair) {
                rest.insert(rest.begin(), 0.0);
                Weighted(rest, scratch);
                AddColumn(scratch, -1.0, jacobian);
                rest.erase(rest.begin());
            }
            Weighted(rest, scratch);
            AddColumn(scratch, input.Zeros[f].Pair ? -1.0 : 1.0, jacobian);
        }
        sharedColumn = sharedBegin;
        for (const LinearModel::Factor& f : input.Poles) {
            if (f.Pair) {
                const double pair[] = {f.B, f.A};
                const double z[] = {0.0, 1.0};
                const double one[] = {1.0};
                LinearModel::Filter(simulated, z, pair, 2, scratch);
                AddPoleColumn(scratch, 1.0, jacobian);
                LinearModel::Filter(simulated, one, pair, 2, scratch);
                AddPoleColumn(scratch, 1.0, jacobian);
            } else {
                const double root[] = {-f.Root};
                const double one[] = {1.0};
                LinearModel::Filter(simulated, one, root, 1, scratch);
                AddPoleColumn(scratch, -1.0, jacobian);
            }
        }
    }
    for (std::size_t i = 0; i < rows; ++i)
        residuals[i] = output[i] - residuals[i];
    if (!AllFinite(std::span<const double>(residuals, rows)))
        return false;
    return jacobian == nullptr || AllFinite(std::span<const double>(jacobian, rows * parameters));
}

// out(i) := sum_j c[j] filtered(i + j): c(z) applied to the signal through the denominator.
void SimulationJacobian::Weighted(std::span<const double> c, std::span<double> out) const {
    for (std::size_t i = 0; i < rows; ++i) {
        const double* w = filtered.data() + i;
        double s = 0.0;
        for (std::size_t j = 0; j < c.size(); ++j)
            s = s + w[j] * c[j];
        out[i] = s;
    }
}

void SimulationJacobian::AddColumn(std::span<const double> derivative, double sign,
                                   double* jacobian) {
    for (std::size_t i = 0; i < rows; ++i)
        jacobian[i * parameters + column] = sign * derivative[i];
    ++column;
}

void SimulationJacobian::ClearSharedColumns(std::size_t degree, double* jacobian) {
    sharedBegin = parameters - degree;
    for (std::size_t i = 0; i < rows; ++i)
        std::fill_n(jacobian + i * parameters + sharedBegin, degree, 0.0);
}

// A shared pole parameter moves every input's copy of the factor: its column is the sum of
// the columns each copy would have alone.
void SimulationJacobian::AddPoleColumn(std::span<const double> derivative, double sign,
                                       double* jacobian) {
    if (!sharedPoles) {
        AddColumn(derivative, sign, jacobian);
        return;
    }
    for (std::size_t i = 0; i < rows; ++i)
        jacobian[i * parameters + sharedColumn] += sign * derivative[i];
    ++sharedColumn;
}

} // namespace orvanel
