#include "engine/analysis/ProcessFigures.h"

#include "engine/analysis/ModelAnalysis.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <unsupported/Eigen/MatrixFunctions>

namespace orvanel {
namespace {

using Complex = std::complex<double>;

constexpr double Infinity = std::numeric_limits<double>::infinity();
// A leading coefficient of the continuous numerator this small beside the others (with s
// in units of the sample rate) is rounding, not a zero far out.
constexpr double NegligibleCoefficient = 1e-9;
// Skogestad's cap on a time constant paired with a zero, in dead times.
constexpr double ZeroPairingDeadTimes = 5.0;
// The step figures' horizon: the slowest pole's decay to this share, twice over.
constexpr double HorizonDecay = 1e-6;
constexpr std::size_t LongestHorizon = 300000;
constexpr double RiseFrom = 0.1;
constexpr double RiseTo = 0.9;
constexpr double SettlingBand = 0.02;
// Beyond the final value by less than this share is no overshoot.
constexpr double NoOvershoot = 1e-9;

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

std::string Short(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", value);
    return text;
}

std::string GainNote(const ProcessFigures& f, double gain, const std::string& pairings) {
    return "Gain " + Short(gain / f.StaticGain) +
           " times the static gain: the half rule pairs each lead with a lag for the gain a loop "
           "tuned to this dead time (theta) sees, not the final value. " +
           pairings + ".";
}

struct StateSpace {
    Eigen::MatrixXd A;
    Eigen::VectorXd B;
    Eigen::RowVectorXd C;
    double D = 0.0;
};

// The controllable companion form of Gain * Z(z) / P(z), delay left out.
StateSpace Companion(const LinearModel::Input& input) {
    const std::vector<double> p = input.PolePolynomial();
    const std::size_t n = p.size() - 1;
    std::vector<double> b = input.ZeroPolynomial();
    for (double& c : b)
        c = c * input.Gain;
    b.resize(n + 1, 0.0);
    const auto size = static_cast<Eigen::Index>(n);
    StateSpace s{Eigen::MatrixXd::Zero(size, size), Eigen::VectorXd::Zero(size),
                 Eigen::RowVectorXd::Zero(size), b[n]};
    for (Eigen::Index j = 0; j < size; ++j) {
        const std::size_t power = n - 1 - static_cast<std::size_t>(j);
        s.A(0, j) = -p[power];
        s.C(j) = b[power] - s.D * p[power];
        if (j > 0)
            s.A(j, j - 1) = 1.0;
    }
    if (size > 0)
        s.B(0) = 1.0;
    return s;
}

// Descending coefficients of the monic polynomial with these roots (conjugates in pairs).
std::vector<double> MonicFrom(const std::vector<Complex>& roots) {
    std::vector<double> p{1.0};
    const auto multiply = [&p](std::initializer_list<double> factor) {
        std::vector<double> product(p.size() + factor.size() - 1, 0.0);
        for (std::size_t i = 0; i < p.size(); ++i) {
            std::size_t j = 0;
            for (const double f : factor)
                product[i + j++] += p[i] * f;
        }
        p = std::move(product);
    };
    for (const Complex& r : roots) {
        if (r.imag() == 0.0)
            multiply({1.0, -r.real()});
        else if (r.imag() > 0.0)
            multiply({1.0, -2.0 * r.real(), std::norm(r)});
    }
    return p;
}

std::vector<Complex> Roots(std::vector<double> descending) {
    while (descending.size() > 1 && descending.front() == 0.0)
        descending.erase(descending.begin());
    const auto degree = static_cast<Eigen::Index>(descending.size()) - 1;
    if (degree < 1)
        return {};
    Eigen::MatrixXd companion = Eigen::MatrixXd::Zero(degree, degree);
    for (Eigen::Index j = 0; j < degree; ++j) {
        companion(0, j) = -descending[static_cast<std::size_t>(j) + 1] / descending.front();
        if (j > 0)
            companion(j, j - 1) = 1.0;
    }
    const Eigen::VectorXcd values = companion.eigenvalues();
    std::vector<Complex> roots(values.begin(), values.end());
    std::sort(roots.begin(), roots.end(), [](const Complex& x, const Complex& y) {
        return x.real() != y.real() ? x.real() < y.real() : x.imag() < y.imag();
    });
    return roots;
}

// The zeros of C (sI - A)^-1 B + D given the roots of det(sI - A): the numerator is
// D p(s) + sum_k s^(n-k) sum_{j<k} p_j C A^(k-1-j) B with p descending and monic.
std::vector<Complex> ContinuousZeros(const Eigen::MatrixXd& a, const Eigen::VectorXd& b,
                                     const Eigen::RowVectorXd& c, double d,
                                     const std::vector<Complex>& poles, double timeUnit) {
    const std::vector<double> p = MonicFrom(poles);
    const std::size_t n = p.size() - 1;
    std::vector<double> markov(n);
    Eigen::VectorXd power = b;
    for (std::size_t i = 0; i < n; ++i) {
        markov[i] = c.dot(power);
        power = a * power;
    }
    std::vector<double> numerator(n + 1);
    numerator[0] = d;
    for (std::size_t k = 1; k <= n; ++k) {
        double sum = d * p[k];
        for (std::size_t j = 0; j < k; ++j)
            sum += p[j] * markov[k - 1 - j];
        numerator[k] = sum;
    }
    // Compared with s in units of the sample rate, where rounding is alike for every term.
    std::vector<double> scaled(numerator.size());
    for (std::size_t k = 0; k <= n; ++k)
        scaled[k] = std::abs(numerator[k]) * std::pow(timeUnit, static_cast<double>(n - k));
    const double largest = *std::max_element(scaled.begin(), scaled.end());
    std::size_t first = 0;
    while (first < n && scaled[first] <= NegligibleCoefficient * largest)
        ++first;
    return Roots({numerator.begin() + static_cast<std::ptrdiff_t>(first), numerator.end()});
}

// Why the model has no continuous equivalent under a zero-order hold, or nothing.
std::optional<std::string> NoContinuousEquivalent(const LinearModel::Input& input,
                                                  const std::vector<Complex>& poles) {
    if (ModelAnalysis::Zeros(input).size() > poles.size())
        return "more zeros than poles: no causal continuous-time equivalent";
    for (const Complex& z : poles) {
        if (z.imag() == 0.0 && z.real() <= 0.0)
            return "a pole at z = " + Number(z.real()) +
                   (z.real() == 0.0 ? " (the origin)" : " on the negative real axis") +
                   " has no continuous-time equivalent under a zero-order hold: no time "
                   "constants, zeros in s or low-order approximations";
    }
    return std::nullopt;
}

// Skogestad's rules for a left-half-plane zero (T0 s + 1), theta the dead time: cancelled
// against the closest larger time constant tau0 (rules T2 and T3), or against the largest one
// when none is larger (T1, T1a, T1b). The gain takes the factor the rule leaves, the lead-lag's
// gain at the speed of a loop tuned for this dead time. Says how the gain moved, if it did.
std::string PairZero(double t0, double deadTime, std::vector<double>& taus, double& gain) {
    if (taus.empty())
        return {};
    std::sort(taus.begin(), taus.end(), std::greater<>());
    auto larger = taus.end();
    for (auto it = taus.begin(); it != taus.end() && *it >= t0; ++it)
        larger = it;
    const std::string lead = "the lead T0 = " + Short(t0);
    std::string why;
    if (larger != taus.end()) {
        const double tau0 = *larger;
        const double capped = std::min(tau0, ZeroPairingDeadTimes * deadTime);
        if (capped >= t0) {
            gain *= capped / tau0;
            *larger = capped - t0;
            if (capped < tau0)
                why = "Rule T3: the lag tau0 = " + Short(tau0) +
                      " counts as 5 theta = " + Short(capped) + " against " + lead +
                      ", which scales the gain by 5 theta/tau0 = " + Short(capped / tau0);
        } else {
            gain *= t0 / tau0;
            taus.erase(larger);
            why = "Rule T2: " + lead + " against the lag tau0 = " + Short(tau0) +
                  " (tau0 >= T0 >= 5 theta) counts as T0/tau0 = " + Short(t0 / tau0);
        }
    } else {
        const double tau0 = taus.front();
        if (tau0 >= deadTime) {
            gain *= t0 / tau0;
            why = "Rule T1: " + lead +
                  " outlasts every lag; against the largest, tau0 = " + Short(tau0) +
                  " (T0 >= tau0 >= theta), it counts as T0/tau0 = " + Short(t0 / tau0);
        } else if (t0 >= deadTime) {
            gain *= t0 / deadTime;
            why = "Rule T1a: " + lead + " outlasts every lag and the dead time (T0 >= theta >= " +
                  "tau0 = " + Short(tau0) + "): it counts as T0/theta = " + Short(t0 / deadTime);
        }
        taus.erase(taus.begin());
    }
    std::erase(taus, 0.0);
    return why;
}

// The half rule: half of the largest neglected time constant goes to the smallest one kept,
// the other half and every smaller one to the dead time.
void Approximate(ProcessFigures& f) {
    const bool stable = std::all_of(f.TimeConstants.begin(), f.TimeConstants.end(),
                                    [](double tau) { return tau > 0.0 && std::isfinite(tau); }) &&
                        std::all_of(f.Pairs.begin(), f.Pairs.end(),
                                    [](const ProcessFigures::Pair& p) { return p.Damping > 0.0; });
    if (!stable || !std::isfinite(f.StaticGain) || f.StaticGain == 0.0)
        return;
    std::vector<double> taus = f.TimeConstants;
    // A pair counts as two equal time constants of the same sum, 2 zeta / wn: the mean
    // residence time it adds.
    for (const ProcessFigures::Pair& p : f.Pairs)
        taus.insert(taus.end(), 2, p.Damping / p.NaturalFrequency);
    double deadTime = f.DeadTime;
    double gain = f.StaticGain;
    std::vector<double> leftZeros;
    for (const Complex& z : f.ZerosS) {
        if (z.imag() != 0.0)
            continue;
        if (z.real() > 0.0)
            deadTime += 1.0 / z.real(); // (-T0 s + 1) acts as e^(-T0 s)
        else
            leftZeros.push_back(-1.0 / z.real());
    }
    std::sort(leftZeros.begin(), leftZeros.end(), std::greater<>());
    std::string pairings;
    for (const double t0 : leftZeros) {
        const std::string why = PairZero(t0, deadTime, taus, gain);
        if (!why.empty())
            pairings += (pairings.empty() ? "" : ". ") + why;
    }
    std::sort(taus.begin(), taus.end(), std::greater<>());
    taus.resize(std::max<std::size_t>(taus.size(), 3), 0.0);
    const double beyondThird = std::accumulate(taus.begin() + 3, taus.end(), 0.0);
    f.Fopdt = ProcessFigures::FirstOrder{gain, taus[0] + taus[1] / 2.0,
                                         deadTime + taus[1] / 2.0 + taus[2] + beyondThird};
    f.Sopdt = ProcessFigures::SecondOrder{gain, taus[0], taus[1] + taus[2] / 2.0,
                                          deadTime + taus[2] / 2.0 + beyondThird};
    if (!pairings.empty())
        f.GainNote = GainNote(f, gain, pairings);
}

void Continuous(const LinearModel::Input& input, const std::vector<Complex>& poles,
                ProcessFigures& f) {
    const StateSpace sampled = Companion(input);
    const Eigen::Index n = sampled.A.rows();
    // exp([[Ac Bc] [0 0]] T) = [[A B] [0 1]] for the zero-order hold; its logarithm gives the
    // continuous system back.
    Eigen::MatrixXd augmented = Eigen::MatrixXd::Zero(n + 1, n + 1);
    augmented.topLeftCorner(n, n) = sampled.A;
    augmented.col(n).head(n) = sampled.B;
    augmented(n, n) = 1.0;
    const Eigen::MatrixXd logarithm = augmented.log();
    const Eigen::MatrixXd a = logarithm.topLeftCorner(n, n) / f.TimeUnit;
    const Eigen::VectorXd b = logarithm.col(n).head(n) / f.TimeUnit;
    for (const Complex& z : poles) {
        const Complex s = z.imag() == 0.0 ? Complex(std::log(z.real()) / f.TimeUnit, 0.0)
                                          : std::log(z) / f.TimeUnit;
        f.PolesS.push_back(s);
        if (s.imag() == 0.0)
            f.TimeConstants.push_back(s.real() == 0.0 ? Infinity : -1.0 / s.real());
        else if (s.imag() > 0.0)
            f.Pairs.push_back({std::abs(s), -s.real() / std::abs(s)});
    }
    std::sort(f.TimeConstants.begin(), f.TimeConstants.end(), std::greater<>());
    if (!a.allFinite() || !b.allFinite()) {
        f.Note = "the matrix logarithm of the sampled system is not finite";
        return;
    }
    f.ZerosS = ContinuousZeros(a, b, sampled.C, sampled.D, f.PolesS, f.TimeUnit);
    f.HasContinuous = true;
    Approximate(f);
}

} // namespace

ProcessFigures ProcessFigures::Of(const LinearModel::Input& input,
                                  std::optional<double> sampleTime) {
    ProcessFigures f;
    f.InSeconds = sampleTime && *sampleTime > 0.0;
    f.TimeUnit = f.InSeconds ? *sampleTime : 1.0;
    const std::vector<double> numerator = input.Numerator();
    const std::vector<double> poles = input.PolePolynomial();
    f.StaticGain = std::accumulate(numerator.begin(), numerator.end(), 0.0) /
                   std::accumulate(poles.begin(), poles.end(), 0.0);
    f.DelaySamples = input.Delay;
    f.DeadTime = input.Delay * f.TimeUnit;
    std::vector<Complex> roots = ModelAnalysis::Poles(input);
    roots.resize(roots.size() - static_cast<std::size_t>(input.Delay));
    if (const auto why = NoContinuousEquivalent(input, roots))
        f.Note = *why;
    else
        Continuous(input, roots, f);
    const bool settles = input.Stable() && std::isfinite(f.StaticGain) && f.StaticGain != 0.0;
    if (settles)
        f.StepFigures =
            StepFiguresOf(StepResponse(input, SettlingHorizon(input)), f.StaticGain, f.TimeUnit);
    return f;
}

std::vector<double> ProcessFigures::StepResponse(const LinearModel::Input& input,
                                                 std::size_t samples) {
    std::vector<double> b = input.ZeroPolynomial();
    for (double& c : b)
        c = c * input.Gain;
    const std::vector<double> a = input.PolePolynomial();
    const std::size_t n = a.size() - 1;
    const std::vector<double> step(samples, 1.0);
    std::vector<double> response(samples);
    LinearModel::Filter(step, b, std::span(a).first(n),
                        static_cast<std::ptrdiff_t>(n) + input.Delay, response);
    return response;
}

std::size_t ProcessFigures::SettlingHorizon(const LinearModel::Input& input) {
    double slowest = 0.0;
    for (const Complex& pole : ModelAnalysis::Poles(input))
        slowest = std::max(slowest, std::abs(pole));
    const std::size_t base = static_cast<std::size_t>(input.Delay) + 2 * input.Poles.size() + 20;
    if (slowest == 0.0)
        return base;
    if (slowest >= 1.0)
        return LongestHorizon;
    const double tail = 2.0 * std::log(HorizonDecay) / std::log(slowest);
    return std::min(LongestHorizon, base + static_cast<std::size_t>(std::ceil(tail)));
}

ProcessFigures::Step ProcessFigures::StepFiguresOf(std::span<const double> response,
                                                   double finalValue, double timeUnit) {
    Step figures;
    if (!std::isfinite(finalValue) || finalValue == 0.0 || response.empty())
        return figures;
    const auto level = [&](std::size_t k) { return response[k] / finalValue; };
    const auto firstReaching = [&](double fraction) {
        for (std::size_t k = 0; k < response.size(); ++k) {
            if (level(k) < fraction)
                continue;
            if (k == 0)
                return 0.0;
            const double before = level(k - 1);
            return (static_cast<double>(k - 1) + (fraction - before) / (level(k) - before)) *
                   timeUnit;
        }
        return NaN;
    };
    figures.RiseTime = firstReaching(RiseTo) - firstReaching(RiseFrom);
    std::optional<std::size_t> lastOutside;
    double highest = level(0);
    for (std::size_t k = 0; k < response.size(); ++k) {
        if (std::abs(level(k) - 1.0) > SettlingBand)
            lastOutside = k;
        highest = std::max(highest, level(k));
    }
    if (!lastOutside) {
        figures.SettlingTime = 0.0;
    } else if (*lastOutside + 1 < response.size()) {
        const std::size_t k = *lastOutside;
        const double edge = level(k) > 1.0 ? 1.0 + SettlingBand : 1.0 - SettlingBand;
        figures.SettlingTime =
            (static_cast<double>(k) + (edge - level(k)) / (level(k + 1) - level(k))) * timeUnit;
    }
    // A response that ends at its highest point passes the final value by rounding alone.
    figures.OvershootPercent = highest - 1.0 > NoOvershoot ? (highest - 1.0) * 100.0 : 0.0;
    return figures;
}

} // namespace orvanel
