// Inputs whose responses cancel over the data: collinear inputs fitted with large opposite gains.
#pragma once

#include "engine/linear/LinearModel.h"
#include "model/Experiments.h"

#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace orvanel {

// When two inputs move together over the data, how the output's response is shared between
// them is not determined by it: a model may give them large gains whose responses cancel on
// the rows it was fitted to and part anywhere else. Such a pair's responses move the output
// less together than the larger of them alone.
class CancellingInputs {
public:
    // The least correlation, in magnitude, of two inputs that move together.
    static constexpr double TogetherCorrelation = 0.99;

    struct Pair {
        std::size_t First = 0;
        std::size_t Second = 0;
        bool operator==(const Pair&) const = default;
    };

    // The pairs of `model`'s inputs, first < second, whose responses over the first `rows`
    // rows of `inputs` (one column per input) cancel, in order.
    static std::vector<Pair> Of(const LinearModel& model,
                                std::span<const std::span<const double>> inputs, std::size_t rows,
                                const Experiments& experiments = {});
    // "inputs 1 and 2 move together over the data: their static gains 3.1E4 and -3.1E4 cancel",
    // numbering inputs from 1.
    static std::string Sentence(const Pair& pair, double firstGain, double secondGain);
};

} // namespace orvanel
