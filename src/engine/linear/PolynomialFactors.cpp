#include "engine/linear/PolynomialFactors.h"

#include <Eigen/Eigenvalues>
#include <algorithm>
#include <cmath>
#include <complex>

namespace orvanel {
namespace {

// An imaginary part this small beside the root's size is rounding: the root is real.
constexpr double RealTolerance = 1e-9;

bool Finite(const LinearModel::Factor& factor) {
    return std::isfinite(factor.Root) && std::isfinite(factor.A) && std::isfinite(factor.B);
}

} // namespace

std::vector<LinearModel::Factor> PolynomialFactors::Of(std::span<const double> descending) {
    std::vector<LinearModel::Factor> factors;
    const auto degree = static_cast<Eigen::Index>(descending.size()) - 1;
    if (degree < 1)
        return factors;
    Eigen::MatrixXd companion = Eigen::MatrixXd::Zero(degree, degree);
    for (Eigen::Index j = 0; j < degree; ++j)
        companion(0, j) = -descending[static_cast<std::size_t>(j) + 1] / descending[0];
    for (Eigen::Index i = 1; i < degree; ++i)
        companion(i, i - 1) = 1.0;
    const Eigen::VectorXcd roots =
        Eigen::EigenSolver<Eigen::MatrixXd>(companion, false).eigenvalues();
    for (const std::complex<double>& root : roots) {
        if (std::fabs(root.imag()) <= RealTolerance * std::max(1.0, std::abs(root)))
            factors.push_back({false, root.real(), 0.0, 0.0});
        else if (root.imag() > 0.0)
            factors.push_back({true, 0.0, -2.0 * root.real(), std::norm(root)});
    }
    return factors;
}

std::optional<LinearModel::Input> PolynomialFactors::InputOf(std::span<const double> numerator,
                                                             std::span<const double> denominator,
                                                             int delay) {
    const auto first =
        std::find_if(numerator.begin(), numerator.end(), [](double c) { return c != 0.0; });
    if (first == numerator.end() || numerator.size() > denominator.size())
        return std::nullopt;
    LinearModel::Input input;
    input.Gain = *first;
    input.Zeros = Of(numerator.subspan(static_cast<std::size_t>(first - numerator.begin())));
    input.Poles = Of(denominator);
    input.Delay = delay;
    const auto finite = [](const std::vector<LinearModel::Factor>& factors) {
        return std::all_of(factors.begin(), factors.end(), Finite);
    };
    if (!finite(input.Zeros) || !finite(input.Poles))
        return std::nullopt;
    return input;
}

} // namespace orvanel
