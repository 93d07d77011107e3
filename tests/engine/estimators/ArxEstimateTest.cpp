#include "engine/estimators/ArxEstimate.h"

#include "support/CommonDenominatorPlant.h"

#include <gtest/gtest.h>

namespace orvanel {
namespace {

void ExpectCoefficients(const std::vector<double>& found, const std::vector<double>& truth) {
    ASSERT_EQ(found.size(), truth.size());
    for (std::size_t j = 0; j < truth.size(); ++j)
        EXPECT_NEAR(found[j], truth[j], 1e-9) << "coefficient " << j;
}

void ExpectSameTransferFunctions(const LinearModel& found, const LinearModel& truth) {
    ASSERT_EQ(found.Inputs.size(), truth.Inputs.size());
    for (std::size_t k = 0; k < truth.Inputs.size(); ++k) {
        EXPECT_EQ(found.Inputs[k].Delay, truth.Inputs[k].Delay) << "input " << k;
        ExpectCoefficients(found.Inputs[k].Numerator(), truth.Inputs[k].Numerator());
        ExpectCoefficients(found.Inputs[k].Denominator(), truth.Inputs[k].Denominator());
    }
}

// A delay of 2 on input 2 is an ARX delay of 3: the numerator starts after z^-(2 + 1).
TEST(ArxEstimate, RecoversANoiseFreeModelWithItsOrderAndDelays) {
    const testing::CommonDenominatorPlant plant(2);
    const ArxEstimate arx(plant.Inputs, plant.Y, plant.Rows);
    const std::vector<int> delays{1, 3};
    const std::optional<LinearModel> fitted = arx.Fit(2, delays);
    ASSERT_TRUE(fitted);
    ExpectSameTransferFunctions(*fitted, plant.Truth);
    const std::optional<LinearModel> best = ArxEstimate::Best(arx.Structures(1e-6));
    ASSERT_TRUE(best);
    ExpectSameTransferFunctions(*best, plant.Truth);
}

// Where one experiment ends and the next begins from rest, the next's lags are no rows of the
// first.
TEST(ArxEstimate, RecoversTheModelFromExperimentsEachFromRest) {
    testing::CommonDenominatorPlant plant(2);
    const Experiments two({0, 150});
    plant.Y = plant.Truth.Simulate(plant.Inputs, plant.Rows, two);
    const std::vector<int> delays{1, 3};
    const std::optional<LinearModel> fitted =
        ArxEstimate(plant.Inputs, plant.Y, plant.Rows, two).Fit(2, delays);
    ASSERT_TRUE(fitted);
    ExpectSameTransferFunctions(*fitted, plant.Truth);
}

} // namespace
} // namespace orvanel
