#include "engine/linear/LinearModel.h"

#include <Eigen/Eigenvalues>
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <limits>
#include <numeric>

namespace orvanel {
namespace {

enum GeneKind { Zero = 0, Pole = 1, ZeroPair = 2, PolePair = 3 };

std::vector<double> Product(const std::vector<LinearModel::Factor>& factors) {
    std::vector<double> p{1.0};
    for (const LinearModel::Factor& f : factors) {
        if (f.Pair)
            TFunTrans::MultiplyBy(p, f.B, f.A, true);
        else
            TFunTrans::MultiplyBy(p, -f.Root, 1.0, false);
    }
    return p;
}

LinearModel::Factor RealFactor(double c0) {
    return {false, -c0, 0.0, 0.0};
}

LinearModel::Factor PairFactor(double c0, double c1) {
    return {true, 0.0, c1, c0};
}

// The factors the chromosome's genes apply, walked the way the transfer function decodes
// them: a zero counts only while the zero orders stay below the pole estimate, and a pair
// takes the next gene as its second coefficient.
void CollectFactors(const TFunTrans& function, LinearModel::Input& input) {
    const int genes = function.GeneCount();
    int poleEstimate = 0;
    for (int i = 0; i < genes; ++i) {
        if (i > 0 && (function.GeneType(i - 1) == ZeroPair || function.GeneType(i - 1) == PolePair))
            continue;
        const int type = function.GeneType(i);
        poleEstimate += type == Pole ? 1 : type == PolePair ? 2 : 0;
    }
    int zeroOrders = 0;
    for (int j = 0; j < genes; ++j) {
        switch (function.GeneType(j)) {
        case Zero:
            if (++zeroOrders < poleEstimate)
                input.Zeros.push_back(RealFactor(function.GeneValue(j)));
            break;
        case Pole:
            input.Poles.push_back(RealFactor(function.GeneValue(j)));
            break;
        case ZeroPair:
            zeroOrders += 2;
            if (zeroOrders < poleEstimate && j < genes - 2) {
                input.Zeros.push_back(PairFactor(function.GeneValue(j), function.GeneValue(j + 1)));
                ++j;
            }
            break;
        case PolePair:
            if (j < genes - 2) {
                input.Poles.push_back(PairFactor(function.GeneValue(j), function.GeneValue(j + 1)));
                ++j;
            }
            break;
        default:
            break;
        }
    }
}

bool FactorStable(const LinearModel::Factor& f) {
    if (!f.Pair)
        return f.Root > -1.0 && f.Root < 1.0;
    // Jury's conditions for z^2 + A z + B.
    return f.B > -1.0 && f.B < 1.0 && f.A < 1.0 + f.B && -f.A < 1.0 + f.B;
}

// A real root on or outside the unit circle at its mirror image 1 / root.
double Inside(double root) {
    if (!std::isfinite(root))
        return 0.0;
    if (std::abs(root) < 1.0)
        return root;
    return std::copysign(std::min(1.0 / std::abs(root), LinearModel::MaxStableRadius), root);
}

// Mirroring keeps the shape of the magnitude response, which the gain then scales: a start
// close to where the unstable one fitted.
LinearModel::Factor Inside(LinearModel::Factor f) {
    if (FactorStable(f))
        return f;
    if (!f.Pair)
        return {false, Inside(f.Root), 0.0, 0.0};
    const double discriminant = f.A * f.A - 4.0 * f.B;
    if (discriminant >= 0.0) {
        const double p = Inside((-f.A + std::sqrt(discriminant)) / 2.0);
        const double q = Inside((-f.A - std::sqrt(discriminant)) / 2.0);
        f.A = -(p + q);
        f.B = p * q;
    } else {
        // Complex roots at radius sqrt(B).
        const double radius = std::sqrt(f.B);
        const double scale = std::min(1.0 / radius, LinearModel::MaxStableRadius) / radius;
        f.A = f.A * scale;
        f.B = f.B * scale * scale;
    }
    // Coefficients that are not finite.
    return FactorStable(f) ? f : LinearModel::Factor{true, 0.0, 0.0, 0.0};
}

bool SameKinds(const std::vector<LinearModel::Factor>& a,
               const std::vector<LinearModel::Factor>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const auto& x, const auto& y) { return x.Pair == y.Pair; });
}

// The roots of a polynomial (descending powers, nonzero leading coefficient, degree >= 1) as
// factors: each real root alone, each complex pair as z^2 + A z + B; real roots in descending
// order, then pairs by ascending A.
std::vector<LinearModel::Factor> RootFactors(const std::vector<double>& p) {
    const auto n = static_cast<Eigen::Index>(p.size()) - 1;
    Eigen::MatrixXd companion = Eigen::MatrixXd::Zero(n, n);
    for (Eigen::Index j = 0; j < n; ++j)
        companion(0, j) = -p[static_cast<std::size_t>(j) + 1] / p[0];
    for (Eigen::Index i = 1; i < n; ++i)
        companion(i, i - 1) = 1.0;
    const Eigen::EigenSolver<Eigen::MatrixXd> solver(companion, false);
    std::vector<LinearModel::Factor> real;
    std::vector<LinearModel::Factor> pairs;
    for (const std::complex<double>& root : solver.eigenvalues()) {
        if (root.imag() == 0.0)
            real.push_back({false, root.real(), 0.0, 0.0});
        else if (root.imag() > 0.0)
            pairs.push_back({true, 0.0, -2.0 * root.real(), std::norm(root)});
    }
    std::sort(real.begin(), real.end(),
              [](const auto& a, const auto& b) { return a.Root > b.Root; });
    std::sort(pairs.begin(), pairs.end(), [](const auto& a, const auto& b) { return a.A < b.A; });
    real.insert(real.end(), pairs.begin(), pairs.end());
    return real;
}

// Removes the trailing zero coefficients (roots at the origin) and returns how many there were.
int StripOrigin(std::vector<double>& p) {
    int count = 0;
    while (p.size() > 1 && p.back() == 0.0) {
        p.pop_back();
        ++count;
    }
    return count;
}

} // namespace

LinearModel::Input LinearModel::FromPolynomials(std::vector<double> numerator,
                                                std::vector<double> denominator) {
    double largest = 0.0;
    for (const double c : numerator)
        largest = std::max(largest, std::abs(c));
    while (numerator.size() > 1 && std::abs(numerator.front()) <= 1e-9 * largest)
        numerator.erase(numerator.begin());
    Input input;
    if (largest == 0.0)
        return Input{0.0, {}, {Factor{false, 0.0, 0.0, 0.0}}, 0};
    input.Gain = numerator.front() / denominator.front();
    const int originZeros = StripOrigin(numerator);
    const int originPoles = StripOrigin(denominator);
    if (numerator.size() > 1)
        input.Zeros = RootFactors(numerator);
    if (denominator.size() > 1)
        input.Poles = RootFactors(denominator);
    input.Delay = originPoles - originZeros;
    for (; input.Delay < 0; ++input.Delay)
        input.Zeros.push_back({false, 0.0, 0.0, 0.0});
    if (input.Poles.empty()) {
        input.Poles.push_back({false, 0.0, 0.0, 0.0});
        if (input.Delay > 0)
            --input.Delay;
        else
            input.Zeros.push_back({false, 0.0, 0.0, 0.0});
    }
    return input;
}

std::vector<double> LinearModel::Input::ZeroPolynomial() const {
    return Product(Zeros);
}

std::vector<double> LinearModel::Input::PolePolynomial() const {
    return Product(Poles);
}

std::vector<double> LinearModel::Input::Numerator() const {
    std::vector<double> p = ZeroPolynomial();
    for (double& c : p)
        c = c * Gain;
    std::reverse(p.begin(), p.end());
    return p;
}

std::vector<double> LinearModel::Input::Denominator() const {
    std::vector<double> p = PolePolynomial();
    std::reverse(p.begin(), p.end());
    p.resize(p.size() + static_cast<std::size_t>(Delay), 0.0);
    return p;
}

bool LinearModel::Input::Stable() const {
    return std::all_of(Poles.begin(), Poles.end(), FactorStable);
}

std::size_t LinearModel::Input::ParameterCount() const {
    return 1 + Degree(Zeros) + Degree(Poles);
}

std::optional<LinearModel::Input> LinearModel::From(const TFunTrans& function) {
    TFunTrans decoded;
    decoded.CopyFrom(function);
    if (!decoded.Decode() || !decoded.Admissible() || decoded.Delay < 0)
        return std::nullopt;
    Input input;
    input.Gain = decoded.Gain;
    input.Delay = decoded.Delay;
    CollectFactors(decoded, input);
    return input;
}

std::optional<LinearModel> LinearModel::From(const TMISOFunTrans& individual) {
    LinearModel model;
    for (const TFunTrans& function : individual.Functions()) {
        std::optional<Input> input = From(function);
        if (!input)
            return std::nullopt;
        model.Inputs.push_back(std::move(*input));
    }
    return model;
}

LinearModel LinearModel::Simplest(std::size_t inputs) {
    return LinearModel{
        std::vector<Input>(inputs, Input{0.0, {}, {Factor{false, 0.0, 0.0, 0.0}}, 0})};
}

bool LinearModel::Input::SearchForm() const {
    return Delay >= 0 && !Poles.empty() && Degree(Zeros) <= Degree(Poles);
}

std::size_t LinearModel::Degree(const std::vector<Factor>& factors) {
    std::size_t degree = 0;
    for (const Factor& f : factors)
        degree += f.Pair ? 2 : 1;
    return degree;
}

std::vector<double> LinearModel::Simulate(std::span<const std::span<const double>> inputs,
                                          std::size_t count) const {
    std::vector<double> sum(count, 0.0);
    std::vector<double> y(count);
    for (std::size_t k = 0; k < Inputs.size() && k < inputs.size(); ++k) {
        const Input& input = Inputs[k];
        std::vector<double> b = input.ZeroPolynomial();
        for (double& c : b)
            c = c * input.Gain;
        const std::vector<double> a = input.PolePolynomial();
        const std::size_t n = a.size() - 1;
        Filter(inputs[k], b, std::span(a).first(n), static_cast<std::ptrdiff_t>(n) + input.Delay,
               y);
        for (std::size_t i = 0; i < count; ++i)
            sum[i] = sum[i] + y[i];
    }
    return sum;
}

std::vector<double> LinearModel::Simulate(std::span<const std::span<const double>> inputs,
                                          std::size_t count, const Experiments& experiments) const {
    if (experiments.Single())
        return Simulate(inputs, count);
    std::vector<double> sum(count, 0.0);
    std::vector<std::span<const double>> part(inputs.size());
    for (const Experiments::Part& rows : experiments.Parts(count)) {
        const std::size_t length = rows.End - rows.Begin;
        for (std::size_t k = 0; k < inputs.size(); ++k)
            part[k] = inputs[k].subspan(rows.Begin, length);
        const std::vector<double> alone = Simulate(part, length);
        std::copy(alone.begin(), alone.end(),
                  sum.begin() + static_cast<std::ptrdiff_t>(rows.Begin));
    }
    return sum;
}

double LinearModel::SquaredError(std::span<const std::span<const double>> inputs,
                                 std::span<const double> output, std::size_t count,
                                 const Experiments& experiments) const {
    const std::vector<double> simulated = Simulate(inputs, count, experiments);
    double error = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        const double r = output[i] - simulated[i];
        error = error + r * r;
    }
    return std::isfinite(error) ? error : std::numeric_limits<double>::infinity();
}

bool LinearModel::SameStructure(const LinearModel& other) const {
    return SharedPoles == other.SharedPoles &&
           std::equal(Inputs.begin(), Inputs.end(), other.Inputs.begin(), other.Inputs.end(),
                      [](const Input& x, const Input& y) {
                          return x.Delay == y.Delay && SameKinds(x.Zeros, y.Zeros) &&
                                 SameKinds(x.Poles, y.Poles);
                      });
}

bool LinearModel::Stable() const {
    return std::all_of(Inputs.begin(), Inputs.end(), [](const Input& i) { return i.Stable(); });
}

LinearModel LinearModel::Stabilised() const {
    LinearModel inside = *this;
    for (Input& input : inside.Inputs)
        std::transform(input.Poles.begin(), input.Poles.end(), input.Poles.begin(),
                       [](const Factor& f) { return Inside(f); });
    return inside;
}

LinearModel LinearModel::WithSharedPoles(const std::vector<Factor>& poles) const {
    LinearModel shared = *this;
    for (Input& input : shared.Inputs)
        input.Poles = poles;
    shared.SharedPoles = true;
    return shared;
}

std::optional<LinearModel> LinearModel::AsShared() const {
    if (Inputs.empty())
        return std::nullopt;
    const std::vector<Factor>& poles = Inputs.front().Poles;
    if (!std::all_of(Inputs.begin(), Inputs.end(),
                     [&](const Input& i) { return i.Poles == poles; }))
        return std::nullopt;
    return WithSharedPoles(poles);
}

std::vector<int> LinearModel::PoleParameters() const {
    std::vector<int> positions;
    int next = 0;
    const auto skip = [&next](std::size_t count) { next += static_cast<int>(count); };
    const auto take = [&](std::size_t count) {
        for (std::size_t k = 0; k < count; ++k)
            positions.push_back(next++);
    };
    for (const Input& input : Inputs) {
        skip(1 + Degree(input.Zeros));
        if (!SharedPoles)
            take(Degree(input.Poles));
    }
    if (SharedPoles && !Inputs.empty())
        take(Degree(Inputs.front().Poles));
    return positions;
}

std::vector<std::size_t> LinearModel::InputParameters(std::size_t k) const {
    const auto own = [this](const Input& input) {
        return SharedPoles ? 1 + Degree(input.Zeros) : input.ParameterCount();
    };
    std::size_t first = 0;
    for (std::size_t j = 0; j < k; ++j)
        first += own(Inputs[j]);
    std::vector<std::size_t> positions(own(Inputs[k]));
    std::iota(positions.begin(), positions.end(), first);
    if (SharedPoles) {
        const std::size_t degree = Degree(Inputs[k].Poles);
        for (std::size_t p = ParameterCount() - degree; p < ParameterCount(); ++p)
            positions.push_back(p);
    }
    return positions;
}

std::size_t LinearModel::ParameterCount() const {
    std::size_t count = 0;
    for (const Input& input : Inputs)
        count += input.ParameterCount();
    if (SharedPoles && !Inputs.empty())
        count -= (Inputs.size() - 1) * Degree(Inputs.front().Poles);
    return count;
}

std::vector<double> LinearModel::Parameters() const {
    std::vector<double> values;
    const auto add = [&values](const std::vector<Factor>& factors) {
        for (const Factor& f : factors) {
            if (f.Pair)
                values.insert(values.end(), {f.A, f.B});
            else
                values.push_back(f.Root);
        }
    };
    for (const Input& input : Inputs) {
        values.push_back(input.Gain);
        add(input.Zeros);
        if (!SharedPoles)
            add(input.Poles);
    }
    if (SharedPoles && !Inputs.empty())
        add(Inputs.front().Poles);
    return values;
}

void LinearModel::SetParameters(std::span<const double> values) {
    auto next = values.begin();
    const auto take = [&next](std::vector<Factor>& factors) {
        for (Factor& f : factors) {
            if (f.Pair) {
                f.A = *next++;
                f.B = *next++;
            } else {
                f.Root = *next++;
            }
        }
    };
    for (Input& input : Inputs) {
        input.Gain = *next++;
        take(input.Zeros);
        if (!SharedPoles)
            take(input.Poles);
    }
    if (!SharedPoles || Inputs.empty())
        return;
    take(Inputs.front().Poles);
    for (Input& input : Inputs)
        input.Poles = Inputs.front().Poles;
}

void LinearModel::Filter(std::span<const double> x, std::span<const double> b,
                         std::span<const double> a, std::ptrdiff_t shift, std::span<double> y) {
    const auto size = static_cast<std::ptrdiff_t>(x.size());
    const auto count = static_cast<std::ptrdiff_t>(y.size());
    const auto m = static_cast<std::ptrdiff_t>(b.size()) - 1;
    const auto n = static_cast<std::ptrdiff_t>(a.size());
    // Terms outside the data take part as 0.0, as in the search's simulation, so that the
    // sums round alike; the rows whose terms all lie inside skip the checks.
    const auto checked = [&](std::ptrdiff_t i) {
        double s = 0.0;
        for (std::ptrdiff_t j = 0; j <= m; ++j) {
            const std::ptrdiff_t k = i - shift + j;
            const double u = k >= 0 && k < size ? x[static_cast<std::size_t>(k)] : 0.0;
            s = s + u * b[static_cast<std::size_t>(j)];
        }
        double t = 0.0;
        for (std::ptrdiff_t j = 0; j < n; ++j) {
            const std::ptrdiff_t k = i + j - n;
            t = t +
                (k >= 0 ? y[static_cast<std::size_t>(k)] : 0.0) * a[static_cast<std::size_t>(j)];
        }
        y[static_cast<std::size_t>(i)] = s - t;
    };
    const std::ptrdiff_t from = std::min(count, std::max({n, shift, std::ptrdiff_t{0}}));
    const std::ptrdiff_t to = std::max(from, std::min(count, size - m + shift));
    for (std::ptrdiff_t i = 0; i < from; ++i)
        checked(i);
    const double* bp = b.data();
    const double* ap = a.data();
    for (std::ptrdiff_t i = from; i < to; ++i) {
        const double* u = x.data() + (i - shift);
        const double* past = y.data() + (i - n);
        double s = 0.0;
        for (std::ptrdiff_t j = 0; j <= m; ++j)
            s = s + u[j] * bp[j];
        double t = 0.0;
        for (std::ptrdiff_t j = 0; j < n; ++j)
            t = t + past[j] * ap[j];
        y[static_cast<std::size_t>(i)] = s - t;
    }
    for (std::ptrdiff_t i = to; i < count; ++i)
        checked(i);
}

} // namespace orvanel
