#include "engine/estimators/SubspaceEstimate.h"

#include <Eigen/Dense>
#include <Eigen/Eigenvalues>
#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>

namespace orvanel {
namespace {

// The block rows of the data's Hankel matrices grow with the inputs; this bounds their rows.
constexpr int MostHankelRows = 120;

// Ascending-to-descending coefficients of prod (z - root), real for conjugate roots.
std::vector<double> PolynomialOf(const Eigen::VectorXcd& roots) {
    std::vector<std::complex<double>> p{1.0};
    for (Eigen::Index r = 0; r < roots.size(); ++r) {
        p.push_back(0.0);
        for (std::size_t j = p.size() - 1; j > 0; --j)
            p[j] = p[j] - roots(r) * p[j - 1];
    }
    std::vector<double> real;
    for (const std::complex<double>& c : p)
        real.push_back(c.real());
    return real;
}

std::vector<double> CharacteristicPolynomial(const Eigen::MatrixXd& a) {
    return PolynomialOf(Eigen::EigenSolver<Eigen::MatrixXd>(a, false).eigenvalues());
}

} // namespace

SubspaceEstimate::SubspaceEstimate(std::span<const std::span<const double>> inputs,
                                   std::span<const double> output, std::size_t rows,
                                   Experiments experiments)
    : inputs(inputs), output(output), rows(rows), experiments(std::move(experiments)) {
    const auto m = static_cast<int>(inputs.size());
    blockRows = std::min(MaxOrder + 2, std::max(2, MostHankelRows / (2 * m + 2)));
    const int i = blockRows;
    // A column of the Hankel matrices spans 2 i rows of one experiment.
    std::vector<long> firstRows;
    for (const Experiments::Part& part : this->experiments.Parts(rows))
        for (long c = static_cast<long>(part.Begin); c + 2L * i <= static_cast<long>(part.End); ++c)
            firstRows.push_back(c);
    const auto columns = static_cast<long>(firstRows.size());
    if (columns < 4L * (2 * m + 2) * i)
        return;
    limit = std::min(MaxOrder, i - 1);
    // Rows of the stacked Hankel matrix: future inputs, past inputs, past outputs, future outputs.
    const Eigen::Index height = 2 * (m + 1) * i;
    Eigen::MatrixXd h(columns, height);
    for (long column = 0; column < columns; ++column) {
        const long c = firstRows[static_cast<std::size_t>(column)];
        Eigen::Index row = 0;
        for (int part = 0; part < 2; ++part) {
            const long offset = part == 0 ? i : 0;
            for (int b = 0; b < i; ++b)
                for (int k = 0; k < m; ++k)
                    h(column, row++) = inputs[static_cast<std::size_t>(k)]
                                             [static_cast<std::size_t>(c + offset + b)];
        }
        for (int b = 0; b < i; ++b)
            h(column, row++) = output[static_cast<std::size_t>(c + b)];
        for (int b = 0; b < i; ++b)
            h(column, row++) = output[static_cast<std::size_t>(c + i + b)];
    }
    const Eigen::HouseholderQR<Eigen::MatrixXd> qr(h);
    const Eigen::MatrixXd l =
        qr.matrixQR().topRows(height).triangularView<Eigen::Upper>().toDenseMatrix().transpose();
    // The future outputs' part explained by the past, the future inputs taken out.
    const Eigen::MatrixXd projected = l.block(2 * m * i + i, m * i, i, (m + 1) * i);
    const Eigen::JacobiSVD<Eigen::MatrixXd> svd(projected, Eigen::ComputeFullU);
    directions.assign(svd.matrixU().data(), svd.matrixU().data() + svd.matrixU().size());
    singular.assign(svd.singularValues().data(),
                    svd.singularValues().data() + svd.singularValues().size());
}

std::optional<LinearModel> SubspaceEstimate::Fit(int order) const {
    if (order < 1 || order > limit)
        return std::nullopt;
    const int i = blockRows;
    const Eigen::Map<const Eigen::MatrixXd> u(directions.data(), i, i);
    Eigen::MatrixXd gamma = u.leftCols(order);
    for (int n = 0; n < order; ++n)
        gamma.col(n) *= std::sqrt(singular[static_cast<std::size_t>(n)]);
    const Eigen::MatrixXd a =
        gamma.topRows(i - 1).completeOrthogonalDecomposition().solve(gamma.bottomRows(i - 1));
    const Eigen::RowVectorXd c = gamma.row(0);
    // y(t) = C A^t x0 + sum_k C (qI - A)^-1 B_k u_k(t) + D_k u_k(t): linear in x0, B and D,
    // one regressor per state and input from the states driven by that input alone. Data that
    // do not begin at rest would otherwise bend B and D to fit the first transient; x0 is
    // estimated with them and then dropped, as the model is simulated from rest. Each
    // experiment begins from rest, with an x0 of its own.
    const auto m = static_cast<Eigen::Index>(inputs.size());
    const std::vector<Experiments::Part> parts = experiments.Parts(rows);
    const Eigen::Index shared = m * (order + 1);
    const Eigen::Index width = shared + order * static_cast<Eigen::Index>(parts.size());
    Eigen::MatrixXd normal = Eigen::MatrixXd::Zero(width, width);
    Eigen::VectorXd right = Eigen::VectorXd::Zero(width);
    Eigen::VectorXd phi = Eigen::VectorXd::Zero(width);
    for (std::size_t e = 0; e < parts.size(); ++e) {
        Eigen::MatrixXd free = Eigen::MatrixXd::Identity(order, order);
        std::vector<Eigen::MatrixXd> states(static_cast<std::size_t>(m),
                                            Eigen::MatrixXd::Zero(order, order));
        const Eigen::Index own = shared + order * static_cast<Eigen::Index>(e);
        if (e > 0)
            phi.segment(own - order, order).setZero();
        for (std::size_t t = parts[e].Begin; t < parts[e].End; ++t) {
            for (Eigen::Index k = 0; k < m; ++k) {
                const double now = inputs[static_cast<std::size_t>(k)][t];
                phi.segment(k * (order + 1), order) =
                    (c * states[static_cast<std::size_t>(k)]).transpose();
                phi(k * (order + 1) + order) = now;
                Eigen::MatrixXd next = a * states[static_cast<std::size_t>(k)];
                next.diagonal().array() += now;
                states[static_cast<std::size_t>(k)] = std::move(next);
            }
            phi.segment(own, order) = (c * free).transpose();
            free = a * free;
            for (Eigen::Index p = 0; p < width; ++p) {
                right(p) = right(p) + phi(p) * output[t];
                for (Eigen::Index q = 0; q <= p; ++q)
                    normal(p, q) = normal(p, q) + phi(p) * phi(q);
            }
        }
    }
    const Eigen::LDLT<Eigen::MatrixXd> solver(normal.selfadjointView<Eigen::Lower>());
    if (solver.info() != Eigen::Success || !(solver.rcond() > 1e-14))
        return std::nullopt;
    const Eigen::VectorXd theta = solver.solve(right);
    if (!theta.allFinite() || !a.allFinite())
        return std::nullopt;
    const std::vector<double> denominator = CharacteristicPolynomial(a);
    LinearModel model;
    for (Eigen::Index k = 0; k < m; ++k) {
        const Eigen::VectorXd b = theta.segment(k * (order + 1), order);
        const double d = theta(k * (order + 1) + order);
        // C (zI - A)^-1 b = (det(zI - A + b C) - det(zI - A)) / det(zI - A).
        const std::vector<double> coupled = CharacteristicPolynomial(a - b * c);
        std::vector<double> numerator(denominator.size());
        for (std::size_t j = 0; j < numerator.size(); ++j)
            numerator[j] = coupled[j] - denominator[j] + d * denominator[j];
        model.Inputs.push_back(LinearModel::FromPolynomials(numerator, denominator));
    }
    return model;
}

std::vector<std::optional<LinearModel>> SubspaceEstimate::Fits() const {
    std::vector<std::optional<LinearModel>> fits;
    for (int order = 1; order <= limit; ++order)
        fits.push_back(Fit(order));
    return fits;
}

int SubspaceEstimate::BestOrder(std::span<const std::optional<LinearModel>> fits, double penalty,
                                int highest) const {
    int best = 0;
    double bestScore = std::numeric_limits<double>::infinity();
    const int last = std::min(static_cast<int>(fits.size()), highest);
    for (int order = 1; order <= last; ++order) {
        const std::optional<LinearModel>& model = fits[static_cast<std::size_t>(order - 1)];
        if (!model)
            continue;
        const double score = model->SquaredError(inputs, output, rows, experiments) +
                             penalty * static_cast<double>(model->ParameterCount());
        if (score < bestScore) {
            bestScore = score;
            best = order;
        }
    }
    return best;
}

} // namespace orvanel
