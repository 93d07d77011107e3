#include "engine/estimators/SharedDenominator.h"

#include "engine/linear/PolynomialFactors.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>

namespace orvanel {
namespace {

double Radius(const LinearModel::Factor& f) {
    if (!f.Pair)
        return std::abs(f.Root);
    const double discriminant = f.A * f.A - 4.0 * f.B;
    if (discriminant < 0.0)
        return std::sqrt(f.B);
    return (std::abs(f.A) + std::sqrt(discriminant)) / 2.0;
}

// Ascending numerator coefficients as gain and zero factors; nothing when they are all zero
// or a root is not finite.
std::optional<LinearModel::Input> NumeratorInput(std::vector<double> ascending) {
    while (!ascending.empty() && ascending.back() == 0.0)
        ascending.pop_back();
    if (ascending.empty())
        return std::nullopt;
    std::reverse(ascending.begin(), ascending.end());
    LinearModel::Input input;
    input.Gain = ascending.front();
    input.Zeros = PolynomialFactors::Of(ascending);
    const bool finite = std::all_of(input.Zeros.begin(), input.Zeros.end(), [](const auto& f) {
        return std::isfinite(f.Root) && std::isfinite(f.A) && std::isfinite(f.B);
    });
    return finite ? std::optional(input) : std::nullopt;
}

} // namespace

SharedDenominator::SharedDenominator(std::span<const std::span<const double>> inputs,
                                     std::span<const double> output, std::size_t rows,
                                     Experiments experiments)
    : inputs(inputs), output(output), rows(rows), experiments(std::move(experiments)) {}

std::vector<LinearModel::Factor> SharedDenominator::DominantPoles(const LinearModel& model,
                                                                  std::size_t order) {
    std::vector<LinearModel::Factor> all;
    for (const LinearModel::Input& input : model.Inputs)
        for (const LinearModel::Factor& f : input.Poles)
            if (std::find(all.begin(), all.end(), f) == all.end())
                all.push_back(f);
    std::stable_sort(all.begin(), all.end(),
                     [](const auto& a, const auto& b) { return Radius(a) > Radius(b); });
    std::vector<LinearModel::Factor> dominant;
    for (const LinearModel::Factor& f : all)
        if (LinearModel::Degree(dominant) + (f.Pair ? 2 : 1) <= order)
            dominant.push_back(f);
    return dominant;
}

std::vector<std::vector<double>>
SharedDenominator::Regressors(std::size_t k, int delay, std::size_t count,
                              const std::vector<LinearModel::Factor>& poles) const {
    std::vector<std::vector<double>> signals;
    LinearModel through{{LinearModel::Input{1.0, {}, poles, delay}}};
    const std::span<const double> column[] = {inputs[k]};
    for (std::size_t term = 0; term < count; ++term) {
        signals.push_back(through.Simulate(column, rows, experiments));
        through.Inputs.front().Zeros.push_back({false, 0.0, 0.0, 0.0});
    }
    return signals;
}

std::optional<LinearModel>
SharedDenominator::Fit(const LinearModel& model,
                       const std::vector<LinearModel::Factor>& poles) const {
    const std::size_t degree = LinearModel::Degree(poles);
    if (degree == 0 || rows == 0)
        return std::nullopt;
    std::vector<std::size_t> terms;
    std::vector<std::vector<double>> signals;
    for (std::size_t k = 0; k < model.Inputs.size() && k < inputs.size(); ++k) {
        terms.push_back(std::min(LinearModel::Degree(model.Inputs[k].Zeros) + 1, degree));
        for (std::vector<double>& s : Regressors(k, model.Inputs[k].Delay, terms.back(), poles))
            signals.push_back(std::move(s));
    }
    Eigen::MatrixXd regressors(static_cast<Eigen::Index>(rows),
                               static_cast<Eigen::Index>(signals.size()));
    for (std::size_t j = 0; j < signals.size(); ++j)
        for (std::size_t i = 0; i < rows; ++i)
            regressors(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(j)) = signals[j][i];
    const Eigen::VectorXd measured =
        Eigen::Map<const Eigen::VectorXd>(output.data(), static_cast<Eigen::Index>(rows));
    const Eigen::ColPivHouseholderQR<Eigen::MatrixXd> solver(regressors);
    if (solver.rank() < regressors.cols())
        return std::nullopt;
    const Eigen::VectorXd theta = solver.solve(measured);
    if (!theta.allFinite())
        return std::nullopt;
    LinearModel shared = model.WithSharedPoles(poles);
    Eigen::Index next = 0;
    for (std::size_t k = 0; k < terms.size(); ++k) {
        std::vector<double> ascending(theta.data() + next, theta.data() + next + terms[k]);
        next += static_cast<Eigen::Index>(terms[k]);
        LinearModel::Input& input = shared.Inputs[k];
        const std::optional<LinearModel::Input> numerator = NumeratorInput(ascending);
        if (!numerator) {
            input.Gain = 0.0;
            input.Zeros.clear();
            continue;
        }
        input.Gain = numerator->Gain;
        input.Zeros = numerator->Zeros;
    }
    return shared;
}

} // namespace orvanel
