// The signs that an identified transfer function is dubious, or surprising, told in words.
#pragma once

#include "engine/linear/LinearModel.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orvanel {

class ModelWarnings {
public:
    // A pole and a zero closer than this cancel: a model without both does the same.
    static constexpr double CancellationDistance = 1e-3;
    // A static gain whose response to the input's range exceeds the output's range this many
    // times is not what the data show.
    static constexpr double GainRangeRatio = 100.0;

    // What the data say about the scale of the input: the rows the model was fitted to and
    // the ranges (largest less smallest value) of the input and the output over them.
    struct Data {
        std::size_t Rows = 0;
        double InputRange = 0.0;
        double OutputRange = 0.0;
    };

    // One sentence per finding about `input` (without naming it), in this order: a pole
    // slower than the data are long (with data), a pole and a zero that cancel, a gain out
    // of scale (with data), a pole on the negative real axis, a zero outside the unit circle
    // (information: an inverse response is no fault). Empty for a model with none of these.
    static std::vector<std::string> Of(const LinearModel::Input& input,
                                       const std::optional<Data>& data = std::nullopt);
    // Largest less smallest value; 0 for no values.
    static double Range(std::span<const double> values);
};

} // namespace orvanel
