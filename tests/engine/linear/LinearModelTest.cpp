#include "engine/linear/LinearModel.h"

#include <cmath>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>
#include <random>

namespace orvanel {
namespace {

using ::testing::ElementsAre;
using Factor = LinearModel::Factor;

std::shared_ptr<const std::vector<double>> Signal(int samples, int step, double scale) {
    auto values = std::make_shared<std::vector<double>>();
    for (int k = 0; k < samples; ++k)
        values->push_back(scale * (((k / step) * 7 + k) % 9 - 4.0));
    return values;
}

// 2 (z - 0.5) / (z (z^2 - 1.2 z + 0.5) (z + 0.25)).
LinearModel::Input Example() {
    LinearModel::Input input;
    input.Gain = 2.0;
    input.Zeros = {Factor{false, 0.5}};
    input.Poles = {Factor{true, 0.0, -1.2, 0.5}, Factor{false, -0.25}};
    input.Delay = 1;
    return input;
}

TEST(LinearModel, GivesCoefficientsInDescendingPowersWithGainAndDelay) {
    const LinearModel::Input input = Example();
    EXPECT_THAT(input.Numerator(), ElementsAre(2.0, -1.0));
    EXPECT_THAT(input.Denominator(),
                ElementsAre(1.0, -1.2 + 0.25, 0.5 + 0.25 * -1.2, 0.25 * 0.5, 0.0));
    EXPECT_EQ(input.ParameterCount(), 5u);
    EXPECT_TRUE(input.Stable());

    LinearModel model{{input, input}};
    std::vector<double> parameters = model.Parameters();
    EXPECT_THAT(parameters, ElementsAre(2.0, 0.5, -1.2, 0.5, -0.25, 2.0, 0.5, -1.2, 0.5, -0.25));
    parameters[9] = -1.0;
    LinearModel moved = model;
    moved.SetParameters(parameters);
    EXPECT_FALSE(moved.Stable());
    EXPECT_TRUE(moved.SameStructure(model));
    moved.Inputs[1].Delay = 2;
    EXPECT_FALSE(moved.SameStructure(model));

    // The pair z^2 + A z + B is stable only inside the triangle |B| < 1, |A| < 1 + B.
    for (const auto& [a, b, stable] : {std::tuple{-1.2, 0.5, true},
                                       {1.49, 0.5, true},
                                       {1.5, 0.5, false},
                                       {0.0, 1.0, false},
                                       {0.0, -0.99, true}}) {
        LinearModel::Input pair;
        pair.Poles = {Factor{true, 0.0, a, b}};
        EXPECT_EQ(pair.Stable(), stable) << a << " " << b;
    }
}

// Random chromosomes over three inputs: every model the search can simulate converts, with the
// search's coefficients and, summed over the inputs, its output to the last bit.
TEST(LinearModel, ReproducesTheSearchsModelsExactly) {
    constexpr int Samples = 60;
    std::vector<std::shared_ptr<const std::vector<double>>> inputs{
        Signal(Samples, 5, 1.0), Signal(Samples, 3, 0.5), Signal(Samples, 7, 2.0)};
    const auto output = Signal(Samples, 4, 3.0);
    const std::vector<std::span<const double>> columns{*inputs[0], *inputs[1], *inputs[2]};
    std::mt19937 draws(11);
    int converted = 0;
    for (int trial = 0; trial < 400; ++trial) {
        TMISOFunTrans individual;
        individual.SetInputCount(3);
        for (std::size_t k = 0; k < 3; ++k) {
            TFunTrans& function = individual.Functions()[k];
            function.SetGeneCount(6);
            function.SetSamples(inputs[k], output);
            for (int g = 0; g < 6; ++g) {
                function.SetGeneValue(g, static_cast<double>(draws() % 4001) / 1000.0 - 2.0);
                function.SetGeneType(g, static_cast<int>(draws() % 8));
            }
        }
        const std::optional<LinearModel> model = LinearModel::From(individual);
        individual.Evaluate();
        const bool simulated =
            std::all_of(individual.Functions().begin(), individual.Functions().end(),
                        [](const TFunTrans& f) { return f.Error < TFunTrans::FailedError; });
        ASSERT_EQ(model.has_value(), simulated) << trial;
        if (!model)
            continue;
        ++converted;
        for (std::size_t k = 0; k < 3; ++k) {
            const TFunTrans& function = individual.Functions()[k];
            std::vector<double> numerator;
            for (const double c : function.Numerator)
                numerator.insert(numerator.begin(), c * function.Gain);
            std::vector<double> denominator(function.Denominator.rbegin(),
                                            function.Denominator.rend());
            denominator.resize(denominator.size() + static_cast<std::size_t>(function.Delay));
            EXPECT_EQ(model->Inputs[k].Numerator(), numerator) << trial;
            EXPECT_EQ(model->Inputs[k].Denominator(), denominator) << trial;
        }
        EXPECT_EQ(model->Simulate(columns, Samples), individual.Output()) << trial;
    }
    EXPECT_GT(converted, 20);
}

// A pole outside is mirrored to 1 / p, and one on the circle or not finite moved inside; the
// rest of the model stays.
TEST(LinearModel, StabilisedMirrorsPolesInsideTheUnitCircle) {
    LinearModel model{{Example(), Example()}};
    model.Inputs[0].Poles = {Factor{false, -2.0}, Factor{true, 0.0, -1.2, 1.5625},
                             Factor{true, 0.0, -2.5, 1.0}};
    model.Inputs[1].Poles.push_back(Factor{false, std::nan("")});
    const LinearModel inside = model.Stabilised();
    EXPECT_TRUE(inside.Stable());
    const std::vector<Factor>& poles = inside.Inputs[0].Poles;
    EXPECT_EQ(poles[0], (Factor{false, -0.5}));
    // Complex roots at radius 1.25 go to 0.8 at the same angle; real roots 2 and 0.5 to 0.5.
    EXPECT_NEAR(poles[1].A, -1.2 * 0.64, 1e-15);
    EXPECT_NEAR(poles[1].B, 0.64, 1e-15);
    EXPECT_EQ(poles[2], (Factor{true, 0.0, -1.0, 0.25}));
    EXPECT_EQ(inside.Inputs[1].Poles.back(), (Factor{false, 0.0}));
    for (std::size_t k = 0; k < 2; ++k) {
        EXPECT_EQ(inside.Inputs[k].Gain, model.Inputs[k].Gain);
        EXPECT_EQ(inside.Inputs[k].Zeros, model.Inputs[k].Zeros);
        EXPECT_EQ(inside.Inputs[k].Delay, model.Inputs[k].Delay);
    }
    EXPECT_EQ(inside.Inputs[1].Poles.front(), model.Inputs[1].Poles.front());
    EXPECT_EQ(LinearModel{{Example()}}.Stabilised(), LinearModel{{Example()}});
}

} // namespace
} // namespace orvanel
