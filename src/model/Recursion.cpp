#include "model/Recursion.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace orvanel {
namespace {

// Pole counts up to this keep the recent outputs in registers; a search draws up to about 13.
constexpr int UnrolledPoles = 16;

// Where the samples go: the outputs, and optionally a running sum of several simulations.
struct Target {
    double* y;
    double* sum;
};

// Stores y(i) and adds its squared residual; false after an arithmetic failure.
inline bool Accept(Recursion::Result& result, Target target, const double* measured, std::int64_t i,
                   double value) {
    if (!std::isfinite(value)) {
        result.complete = false;
        return false;
    }
    target.y[i] = value;
    if (target.sum != nullptr)
        target.sum[i] = target.sum[i] + value;
    result.stored = static_cast<std::size_t>(i) + 1;
    const double r = measured[i] - value;
    result.error = result.error + r * r;
    if (!std::isfinite(result.error)) {
        result.complete = false;
        return false;
    }
    return true;
}

bool RunChecked(const Recursion& r, Target target, std::int64_t from, std::int64_t to,
                Recursion::Result& result) {
    for (std::int64_t i = from; i < to; ++i)
        if (!Accept(result, target, r.outputs, i,
                    r.CheckedSample(i, [&](std::int64_t k) { return target.y[k]; })))
            return false;
    return true;
}

// Samples whose every term lies inside the data, with the last Poles outputs carried in
// registers from one sample to the next.
template <int Poles>
bool RunInside(const Recursion& r, Target target, std::int64_t from, std::int64_t to,
               Recursion::Result& result) {
    double a[Poles];
    double recent[Poles];
#pragma GCC unroll 16
    for (int k = 0; k < Poles; ++k) {
        a[k] = r.denominator[k];
        recent[k] = target.y[from - Poles + k];
    }
    const double* b = r.numerator;
    const int m = r.numeratorDegree;
    const double* u = r.inputs + (from - Poles - r.delay);
    // A local copy stays in registers; through the reference every store to y would force
    // the error back to memory, since both are doubles.
    Recursion::Result local = result;
    bool accepted = true;
    for (std::int64_t i = from; accepted && i < to; ++i, ++u) {
        double s = 0.0;
        for (int j = 0; j <= m; ++j)
            s = s + u[j] * b[j];
        double t = 0.0;
#pragma GCC unroll 16
        for (int k = 0; k < Poles; ++k)
            t = t + recent[k] * a[k];
        const double value = s - t;
        accepted = Accept(local, target, r.outputs, i, value);
#pragma GCC unroll 16
        for (int k = 0; k + 1 < Poles; ++k)
            recent[k] = recent[k + 1];
        recent[Poles - 1] = value;
    }
    result = local;
    return accepted;
}

bool RunInsideAnyOrder(const Recursion& r, Target target, std::int64_t from, std::int64_t to,
                       Recursion::Result& result) {
    const double* a = r.denominator;
    const double* b = r.numerator;
    const int m = r.numeratorDegree;
    const int n = r.denominatorDegree;
    Recursion::Result local = result;
    bool accepted = true;
    for (std::int64_t i = from; accepted && i < to; ++i) {
        const double* u = r.inputs + (i - n - r.delay);
        const double* past = target.y + (i - n);
        double s = 0.0;
        for (int j = 0; j <= m; ++j)
            s = s + u[j] * b[j];
        double t = 0.0;
        for (int j = 0; j < n; ++j)
            t = t + past[j] * a[j];
        accepted = Accept(local, target, r.outputs, i, s - t);
    }
    result = local;
    return accepted;
}

template <int Poles = 1>
bool RunInsideFor(const Recursion& r, Target target, std::int64_t from, std::int64_t to,
                  Recursion::Result& result) {
    if constexpr (Poles > UnrolledPoles) {
        return RunInsideAnyOrder(r, target, from, to, result);
    } else {
        if (r.denominatorDegree == Poles)
            return RunInside<Poles>(r, target, from, to, result);
        return RunInsideFor<Poles + 1>(r, target, from, to, result);
    }
}

} // namespace

Recursion::Result Recursion::Run(double* y, double* sum) const {
    Result result;
    const Target target{y, sum};
    const auto total = static_cast<std::int64_t>(count);
    const std::int64_t m = std::max(numeratorDegree, 0);
    const std::int64_t offset = -static_cast<std::int64_t>(denominatorDegree) - delay;
    // Without wrap-around the input index of term j at sample i is i + j + offset, so the
    // samples split into a head and a tail that reach outside the data and a body that
    // reads it directly.
    const bool wraps = total - 1 > INT_MAX || offset < INT_MIN || total - 1 + m + offset > INT_MAX;
    std::int64_t from = total;
    std::int64_t to = total;
    if (!wraps) {
        from = std::min(total, std::max<std::int64_t>({0, denominatorDegree, -offset}));
        to = std::max(from, std::min(total, total - m - offset));
    }
    if (!RunChecked(*this, target, 0, from, result))
        return result;
    if (from < to && !RunInsideFor(*this, target, from, to, result))
        return result;
    RunChecked(*this, target, to, total, result);
    return result;
}

Recursion::Result Recursion::Run(const Experiments& experiments, double* y, double* sum) const {
    if (experiments.Single())
        return Run(y, sum);
    Result result;
    for (const Experiments::Part& part : experiments.Parts(count)) {
        result.Append(Part(part).Run(y + part.Begin, sum != nullptr ? sum + part.Begin : nullptr),
                      part.Begin);
        if (!result.complete)
            break;
    }
    return result;
}

Recursion Recursion::Part(const Experiments::Part& part) const {
    Recursion alone = *this;
    alone.inputs = inputs + part.Begin;
    alone.outputs = outputs + part.Begin;
    alone.count = part.End - part.Begin;
    return alone;
}

void Recursion::Result::Append(const Result& part, std::size_t begin) {
    stored = begin + part.stored;
    error = error + part.error;
    complete = complete && part.complete && std::isfinite(error);
}

} // namespace orvanel
