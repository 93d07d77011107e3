// The difference equation of one transfer function, run over a block of samples.
#pragma once

#include "model/Experiments.h"

#include <cstddef>
#include <cstdint>

namespace orvanel {

// y(i) = sum_j u(i + j - n - delay) * numerator[j] - sum_{j<n} y(i + j - n) * denominator[j],
// with u and y taken as 0 before sample 0 and u as 0 past the last sample. Input indices are
// formed in 32-bit two's-complement arithmetic with wrap-around, as the model defines them.
// Sums run in increasing j, samples in increasing i, so results are the same bits whatever the
// machine. The numerator is already multiplied by the gain.
struct Recursion {
    // What a run achieved.
    struct Result {
        // Outputs written, from sample 0: all of them unless a failure stopped the run.
        std::size_t stored = 0;
        // Sum of squared differences to the measured outputs over the samples written.
        double error = 0.0;
        // False when a simulated sample or the error left the double range (or became NaN).
        bool complete = true;

        // Adds what a run over the experiment beginning at row `begin` achieved, after this
        // one's.
        void Append(const Result& part, std::size_t begin);
    };

    const double* inputs;
    const double* outputs;
    std::size_t count;
    const double* numerator;
    int numeratorDegree;
    const double* denominator;
    int denominatorDegree; // at least 1
    std::int32_t delay;

    // Writes y(0) .. y(count - 1) into out, stopping at the first arithmetic failure: a
    // sample that is not finite is not written, an error that is not finite ends the run
    // after its sample. With a sum (count entries), every sample written is also added to
    // its entry: sum[i] := sum[i] + y(i).
    Result Run(double* out, double* sum = nullptr) const;
    // Run over every experiment in turn, each from rest, until the first failure.
    Result Run(const Experiments& experiments, double* out, double* sum = nullptr) const;
    // The recursion over one experiment's rows alone.
    Recursion Part(const Experiments::Part& part) const;

    // Sample i through bounds-checked reads, for the samples whose terms reach before the
    // first or past the last sample, and for every sample when the indices wrap. past(k)
    // gives the output y(k) of an earlier sample k >= 0.
    template <class Past> double CheckedSample(std::int64_t i, Past past) const {
        const auto total = static_cast<std::int64_t>(count);
        const std::int64_t n = denominatorDegree;
        double s = 0.0;
        for (std::int64_t j = 0; j <= numeratorDegree; ++j) {
            const std::int32_t k = Wrapped(i + j - n, delay);
            const double u = k >= 0 && k < total ? inputs[k] : 0.0;
            s = s + u * numerator[j];
        }
        double t = 0.0;
        for (std::int64_t j = 0; j < n; ++j) {
            const std::int64_t k = i + j - n;
            t = t + (k >= 0 ? past(k) : 0.0) * denominator[j];
        }
        return s - t;
    }

    // The 32-bit two's-complement value of offset - delay.
    static std::int32_t Wrapped(std::int64_t offset, std::int32_t delay) {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(offset) -
                                         static_cast<std::uint32_t>(delay));
    }
};

} // namespace orvanel
