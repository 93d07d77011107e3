#include "engine/linear/PolynomialFactors.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace orvanel {
namespace {

constexpr double RootTolerance = 1e-12;

// A model's coefficients give back its gain, delay and roots: a real zero, a real pole and a
// complex pair.
TEST(PolynomialFactorsTest, TheCoefficientsOfAModelGiveBackItsFactors) {
    LinearModel::Input truth;
    truth.Gain = 0.3;
    truth.Zeros = {{false, -0.4, 0.0, 0.0}};
    truth.Poles = {{true, 0.0, -1.2, 0.5}, {false, 0.7, 0.0, 0.0}};
    truth.Delay = 2;
    std::vector<double> denominator = truth.PolePolynomial();
    std::reverse(denominator.begin(), denominator.end());
    // A leading zero in the numerator changes nothing.
    std::vector<double> numerator = truth.Numerator();
    numerator.insert(numerator.begin(), 0.0);

    const std::optional<LinearModel::Input> input =
        PolynomialFactors::InputOf(numerator, denominator, 2);
    ASSERT_TRUE(input);
    EXPECT_EQ(input->Gain, 0.3);
    EXPECT_EQ(input->Delay, 2);
    ASSERT_EQ(input->Zeros.size(), 1u);
    EXPECT_NEAR(input->Zeros[0].Root, -0.4, RootTolerance);
    ASSERT_EQ(input->Poles.size(), 2u);
    const auto pair = std::find_if(input->Poles.begin(), input->Poles.end(),
                                   [](const LinearModel::Factor& f) { return f.Pair; });
    const auto real = std::find_if(input->Poles.begin(), input->Poles.end(),
                                   [](const LinearModel::Factor& f) { return !f.Pair; });
    ASSERT_NE(pair, input->Poles.end());
    ASSERT_NE(real, input->Poles.end());
    EXPECT_NEAR(pair->A, -1.2, RootTolerance);
    EXPECT_NEAR(pair->B, 0.5, RootTolerance);
    EXPECT_NEAR(real->Root, 0.7, RootTolerance);

    EXPECT_FALSE(PolynomialFactors::InputOf(std::vector<double>{0.0}, denominator, 0));
    EXPECT_FALSE(
        PolynomialFactors::InputOf(std::vector<double>{1.0, 2.0}, std::vector<double>{1.0}, 0));
}

} // namespace
} // namespace orvanel
