#include "engine/estimators/ArxEstimate.h"

#include <Eigen/Dense>
#include <cmath>
#include <limits>

namespace orvanel {
namespace {

constexpr int InputLags = ArxEstimate::MaxDelay + ArxEstimate::MaxOrder;
// Passes over the inputs choosing their delays; each pass may change what suits the others.
constexpr int DelayPasses = 2;

// The value `lag` rows before row t of an experiment beginning at row `begin`: 0 before it.
double Lagged(std::span<const double> column, std::size_t t, int lag, std::size_t begin) {
    const auto l = static_cast<std::size_t>(lag);
    return t - begin >= l ? column[t - l] : 0.0;
}

} // namespace

ArxEstimate::ArxEstimate(std::span<const std::span<const double>> inputs,
                         std::span<const double> output, std::size_t rows, Experiments experiments)
    : inputs(inputs), output(output), rows(rows), experiments(std::move(experiments)),
      width(static_cast<std::size_t>(MaxOrder) + inputs.size() * InputLags),
      gram(width * width, 0.0), moment(width, 0.0) {
    std::vector<double> phi(width);
    for (const Experiments::Part& part : this->experiments.Parts(rows)) {
        for (std::size_t t = part.Begin; t < part.End; ++t) {
            for (int lag = 1; lag <= MaxOrder; ++lag)
                phi[OutputColumn(lag)] = -Lagged(output, t, lag, part.Begin);
            for (std::size_t k = 0; k < inputs.size(); ++k)
                for (int lag = 0; lag < InputLags; ++lag)
                    phi[InputColumn(k, lag)] = Lagged(inputs[k], t, lag, part.Begin);
            for (std::size_t i = 0; i < width; ++i) {
                moment[i] = moment[i] + phi[i] * output[t];
                for (std::size_t j = 0; j <= i; ++j)
                    gram[i * width + j] = gram[i * width + j] + phi[i] * phi[j];
            }
        }
    }
    for (std::size_t i = 0; i < width; ++i)
        for (std::size_t j = i + 1; j < width; ++j)
            gram[i * width + j] = gram[j * width + i];
}

std::size_t ArxEstimate::OutputColumn(int lag) const {
    return static_cast<std::size_t>(lag - 1);
}

std::size_t ArxEstimate::InputColumn(std::size_t k, int lag) const {
    return static_cast<std::size_t>(MaxOrder) + k * InputLags + static_cast<std::size_t>(lag);
}

std::optional<LinearModel> ArxEstimate::Fit(int order, std::span<const int> delays) const {
    std::vector<std::size_t> chosen;
    for (int lag = 1; lag <= order; ++lag)
        chosen.push_back(OutputColumn(lag));
    for (std::size_t k = 0; k < inputs.size(); ++k)
        for (int j = 0; j < order; ++j)
            chosen.push_back(InputColumn(k, delays[k] + j));
    const auto size = static_cast<Eigen::Index>(chosen.size());
    Eigen::MatrixXd normal(size, size);
    Eigen::VectorXd right(size);
    for (Eigen::Index i = 0; i < size; ++i) {
        right(i) = moment[chosen[static_cast<std::size_t>(i)]];
        for (Eigen::Index j = 0; j < size; ++j)
            normal(i, j) = gram[chosen[static_cast<std::size_t>(i)] * width +
                                chosen[static_cast<std::size_t>(j)]];
    }
    const Eigen::LDLT<Eigen::MatrixXd> solver(normal);
    if (solver.info() != Eigen::Success || !(solver.rcond() > 1e-14))
        return std::nullopt;
    const Eigen::VectorXd theta = solver.solve(right);
    if (!theta.allFinite())
        return std::nullopt;
    // z^-d B(z^-1) / A(z^-1) = N(z) / (z^(d-1) D(z)) with D(z) = z^n + a1 z^(n-1) + ... and
    // N(z) = b0 z^(n-1) + ... + b(n-1).
    std::vector<double> denominator{1.0};
    for (int lag = 1; lag <= order; ++lag)
        denominator.push_back(theta(lag - 1));
    LinearModel model;
    for (std::size_t k = 0; k < inputs.size(); ++k) {
        std::vector<double> numerator;
        for (int j = 0; j < order; ++j)
            numerator.push_back(theta(order + static_cast<Eigen::Index>(k) * order + j));
        std::vector<double> shifted = denominator;
        if (delays[k] == 0)
            numerator.push_back(0.0);
        else
            shifted.resize(shifted.size() + static_cast<std::size_t>(delays[k] - 1), 0.0);
        model.Inputs.push_back(LinearModel::FromPolynomials(numerator, shifted));
    }
    return model;
}

double ArxEstimate::Score(const LinearModel& model, double penalty) const {
    return model.SquaredError(inputs, output, rows, experiments) +
           penalty * static_cast<double>(model.ParameterCount());
}

std::vector<ArxEstimate::Structure> ArxEstimate::Structures(double penalty) const {
    std::vector<Structure> structures;
    for (int order = 1; order <= MaxOrder; ++order) {
        Structure best{
            order, std::vector<int>(inputs.size(), 0), {}, std::numeric_limits<double>::infinity()};
        std::vector<int> delays = best.Delays;
        for (int pass = 0; pass < DelayPasses; ++pass) {
            for (std::size_t k = 0; k < inputs.size(); ++k) {
                for (int d = 0; d <= MaxDelay; ++d) {
                    delays[k] = d;
                    std::optional<LinearModel> model = Fit(order, delays);
                    const double score =
                        model ? Score(*model, penalty) : std::numeric_limits<double>::infinity();
                    if (score < best.Score) {
                        best.Score = score;
                        best.Delays = delays;
                        best.Model = std::move(*model);
                    }
                }
                delays = best.Delays;
            }
        }
        if (std::isfinite(best.Score))
            structures.push_back(std::move(best));
    }
    return structures;
}

std::optional<LinearModel> ArxEstimate::Best(std::span<const Structure> structures) {
    const Structure* best = nullptr;
    for (const Structure& structure : structures)
        if (!best || structure.Score < best->Score)
            best = &structure;
    return best ? std::optional<LinearModel>(best->Model) : std::nullopt;
}

} // namespace orvanel
