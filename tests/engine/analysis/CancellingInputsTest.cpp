#include "engine/analysis/CancellingInputs.h"

#include <gtest/gtest.h>

#include <vector>

namespace orvanel {
namespace {

using Factor = LinearModel::Factor;
using Pair = CancellingInputs::Pair;

// Input 2 moves with input 1 (twice it, and a trace of its own), input 3 on its own; input 1
// with gain 100 and input 2 with -49 through the same pole leave little of either.
TEST(CancellingInputs, OnlyOpposingResponsesOfInputsThatMoveTogetherCancel) {
    constexpr std::size_t rows = 300;
    std::vector<double> first(rows), second(rows), third(rows);
    for (std::size_t i = 0; i < rows; ++i) {
        first[i] = (i / 10) % 2 == 0 ? 1.0 : -1.0;
        second[i] = 2.0 * first[i] + 0.01 * static_cast<double>(i % 3);
        third[i] = static_cast<double>((i / 7) % 3);
    }
    const std::vector<std::span<const double>> inputs{first, second, third};
    LinearModel model;
    model.Inputs = {{100.0, {}, {Factor{false, 0.9}}, 0},
                    {-49.0, {}, {Factor{false, 0.9}}, 0},
                    {1.0, {}, {Factor{false, 0.5}}, 1}};
    EXPECT_EQ(CancellingInputs::Of(model, inputs, rows), (std::vector<Pair>{{0, 1}}));
    EXPECT_EQ(CancellingInputs::Sentence({0, 1}, 1000.0, -490.0),
              "inputs 1 and 2 move together over the data: their static gains 1.0E3 and -4.9E2 "
              "cancel");

    // Responses of one sign add up; a silent input has nothing to cancel.
    model.Inputs[1].Gain = 49.0;
    EXPECT_TRUE(CancellingInputs::Of(model, inputs, rows).empty());
    model.Inputs[1].Gain = 0.0;
    EXPECT_TRUE(CancellingInputs::Of(model, inputs, rows).empty());
    // Opposing responses of inputs that do not move together are the plant's.
    model.Inputs[1].Gain = -49.0;
    const std::vector<std::span<const double>> apart{first, third, second};
    EXPECT_TRUE(CancellingInputs::Of(model, apart, rows).empty());
}

} // namespace
} // namespace orvanel
