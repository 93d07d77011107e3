#include "engine/analysis/ModelUncertainty.h"

#include "engine/analysis/ModelAnalysis.h"
#include "engine/linear/SimulationJacobian.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace orvanel {
namespace {

using Complex = std::complex<double>;

// Below this reciprocal condition number (after scaling each parameter to unit sensitivity)
// the data leave a combination of the parameters undetermined.
constexpr double SmallestConditionReciprocal = 1e-13;

std::vector<double> Descending(std::vector<double> ascending) {
    std::reverse(ascending.begin(), ascending.end());
    return ascending;
}

// d log G / d parameter at z for every parameter of the input, in Parameters order.
std::vector<Complex> LogDerivatives(const LinearModel::Input& input, Complex z) {
    std::vector<Complex> d{1.0 / input.Gain};
    const auto add = [&](const std::vector<LinearModel::Factor>& factors, double sign) {
        for (const LinearModel::Factor& f : factors) {
            if (f.Pair) {
                const Complex q = z * z + f.A * z + f.B;
                d.push_back(sign * z / q);
                d.push_back(sign / q);
            } else {
                d.push_back(-sign / (z - f.Root));
            }
        }
    };
    add(input.Zeros, 1.0);
    add(input.Poles, -1.0);
    return d;
}

} // namespace

std::optional<ModelUncertainty> ModelUncertainty::Estimate(
    const LinearModel& model, std::span<const std::span<const double>> inputs,
    std::span<const double> output, std::size_t rows, const Experiments& experiments) {
    const std::size_t parameters = model.ParameterCount();
    if (rows <= parameters || parameters == 0)
        return std::nullopt;
    SimulationJacobian simulation(inputs, output, rows, experiments);
    std::vector<double> residuals(rows);
    std::vector<double> jacobian(rows * parameters);
    if (!simulation.Evaluate(model, residuals.data(), jacobian.data()))
        return std::nullopt;
    const auto p = static_cast<Eigen::Index>(parameters);
    const Eigen::Map<const Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>>
        j(jacobian.data(), static_cast<Eigen::Index>(rows), p);
    const Eigen::MatrixXd information = j.transpose() * j;
    const Eigen::VectorXd scale = information.diagonal().cwiseSqrt();
    if (!scale.allFinite() || (scale.array() == 0.0).any())
        return std::nullopt;
    const Eigen::MatrixXd scaled =
        scale.cwiseInverse().asDiagonal() * information * scale.cwiseInverse().asDiagonal();
    const Eigen::LLT<Eigen::MatrixXd> factor(scaled);
    if (factor.info() != Eigen::Success || factor.rcond() < SmallestConditionReciprocal)
        return std::nullopt;
    double squares = 0.0;
    for (const double r : residuals)
        squares += r * r;
    ModelUncertainty u;
    u.Model = model;
    u.ResidualVariance = squares / static_cast<double>(rows - parameters);
    const Eigen::MatrixXd inverse = factor.solve(Eigen::MatrixXd::Identity(p, p));
    Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor> covariance =
        u.ResidualVariance * scale.cwiseInverse().asDiagonal() * inverse *
        scale.cwiseInverse().asDiagonal();
    u.Covariance.assign(covariance.data(), covariance.data() + covariance.size());
    return u;
}

std::vector<double> ModelUncertainty::ParameterStd() const {
    const std::size_t p = Model.ParameterCount();
    std::vector<double> deviations(p);
    for (std::size_t i = 0; i < p; ++i)
        deviations[i] = std::sqrt(Covariance[i * p + i]);
    return deviations;
}

double ModelUncertainty::Variance(std::size_t input, std::span<const double> gradient) const {
    const std::size_t p = Model.ParameterCount();
    const std::vector<std::size_t> at = Model.InputParameters(input);
    double sum = 0.0;
    for (std::size_t a = 0; a < gradient.size(); ++a)
        for (std::size_t b = 0; b < gradient.size(); ++b)
            sum += gradient[a] * Covariance[at[a] * p + at[b]] * gradient[b];
    return sum;
}

ModelUncertainty::CoefficientStd ModelUncertainty::Coefficients(std::size_t input) const {
    const LinearModel alone{{Model.Inputs[input]}};
    const std::vector<double> parameters = alone.Parameters();
    const std::vector<double> numerator = alone.Inputs[0].Numerator();
    const std::vector<double> denominator = Descending(alone.Inputs[0].PolePolynomial());
    // Every coefficient is linear in each parameter alone (the gain, a real root, a pair's
    // A or B each appear in one factor, to the first power): a unit step of one parameter
    // changes the coefficients by exactly their derivatives.
    std::vector<std::vector<double>> dNumerator(numerator.size());
    std::vector<std::vector<double>> dDenominator(denominator.size());
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        LinearModel moved = alone;
        std::vector<double> values = parameters;
        values[i] += 1.0;
        moved.SetParameters(values);
        const std::vector<double> n = moved.Inputs[0].Numerator();
        const std::vector<double> d = Descending(moved.Inputs[0].PolePolynomial());
        for (std::size_t c = 0; c < n.size(); ++c)
            dNumerator[c].push_back(n[c] - numerator[c]);
        for (std::size_t c = 0; c < d.size(); ++c)
            dDenominator[c].push_back(d[c] - denominator[c]);
    }
    CoefficientStd deviations;
    for (const std::vector<double>& gradient : dNumerator)
        deviations.Numerator.push_back(std::sqrt(Variance(input, gradient)));
    for (const std::vector<double>& gradient : dDenominator)
        deviations.Denominator.push_back(std::sqrt(Variance(input, gradient)));
    return deviations;
}

std::vector<ModelUncertainty::Band> ModelUncertainty::StepBand(std::size_t input,
                                                               std::size_t samples) const {
    const LinearModel alone{{Model.Inputs[input]}};
    const std::size_t p = alone.ParameterCount();
    const std::vector<double> step(samples, 1.0);
    const std::vector<double> zero(samples, 0.0);
    const std::span<const double> columns[] = {step};
    // Against an output of zero the residuals are the response less, and their derivatives
    // the response's less.
    SimulationJacobian simulation(columns, zero, samples);
    std::vector<double> residuals(samples);
    std::vector<double> jacobian(samples * p);
    std::vector<Band> bands(samples);
    if (!simulation.Evaluate(alone, residuals.data(), jacobian.data()))
        return bands;
    for (std::size_t k = 0; k < samples; ++k) {
        bands[k].Value = -residuals[k];
        const std::span<const double> gradient(jacobian.data() + k * p, p);
        bands[k].HalfWidth = Quantile99 * std::sqrt(Variance(input, gradient));
    }
    return bands;
}

std::vector<ModelUncertainty::FrequencyBand>
ModelUncertainty::FrequencyBands(std::size_t input, std::size_t count, double lowest) const {
    const LinearModel::Input& model = Model.Inputs[input];
    std::vector<FrequencyBand> bands;
    constexpr double DbPerNeper = 20.0 / std::numbers::ln10;
    constexpr double DegreesPerRadian = 180.0 / std::numbers::pi;
    for (const ModelAnalysis::FrequencyPoint& point :
         ModelAnalysis::FrequencyResponse(model, count, lowest)) {
        const std::vector<Complex> d = LogDerivatives(model, std::polar(1.0, point.Frequency));
        std::vector<double> magnitude(d.size());
        std::vector<double> phase(d.size());
        for (std::size_t i = 0; i < d.size(); ++i) {
            magnitude[i] = DbPerNeper * d[i].real();
            phase[i] = DegreesPerRadian * d[i].imag();
        }
        bands.push_back({point.Frequency,
                         {point.MagnitudeDb, Quantile99 * std::sqrt(Variance(input, magnitude))},
                         {point.PhaseDeg, Quantile99 * std::sqrt(Variance(input, phase))}});
    }
    return bands;
}

} // namespace orvanel
