#include "engine/estimators/SubspaceEstimate.h"

#include "support/CommonDenominatorPlant.h"

#include <gtest/gtest.h>

namespace orvanel {
namespace {

void ExpectTheSecondOrderModel(const SubspaceEstimate& subspace, const LinearModel& truth) {
    const std::optional<LinearModel> fitted = subspace.Fit(2);
    ASSERT_TRUE(fitted);
    for (std::size_t k = 0; k < 2; ++k) {
        const LinearModel::Input& found = fitted->Inputs[k];
        EXPECT_EQ(found.Delay, 0);
        ASSERT_EQ(found.Numerator().size(), 2u);
        ASSERT_EQ(found.Denominator().size(), 3u);
        for (std::size_t j = 0; j < 2; ++j)
            EXPECT_NEAR(found.Numerator()[j], truth.Inputs[k].Numerator()[j], 1e-9);
        for (std::size_t j = 0; j < 3; ++j)
            EXPECT_NEAR(found.Denominator()[j], truth.Inputs[k].Denominator()[j], 1e-9);
    }
}

TEST(SubspaceEstimate, RecoversANoiseFreeSecondOrderModel) {
    const testing::CommonDenominatorPlant plant(0);
    const SubspaceEstimate subspace(plant.Inputs, plant.Y, plant.Rows);
    ASSERT_EQ(subspace.OrderLimit(), 8);
    EXPECT_EQ(subspace.BestOrder(subspace.Fits(), 1e-6), 2);
    ExpectTheSecondOrderModel(subspace, plant.Truth);
}

// No Hankel column spans two experiments, and each has its own initial state.
TEST(SubspaceEstimate, RecoversTheModelFromExperimentsEachFromRest) {
    testing::CommonDenominatorPlant plant(0);
    const Experiments two({0, 150});
    plant.Y = plant.Truth.Simulate(plant.Inputs, plant.Rows, two);
    ExpectTheSecondOrderModel(SubspaceEstimate(plant.Inputs, plant.Y, plant.Rows, two),
                              plant.Truth);
}

} // namespace
} // namespace orvanel
