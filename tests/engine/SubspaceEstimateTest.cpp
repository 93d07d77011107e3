#include "engine/SubspaceEstimate.h"

#include "support/CommonDenominatorPlant.h"

#include <gtest/gtest.h>

namespace orvanel {
namespace {

TEST(SubspaceEstimate, RecoversANoiseFreeSecondOrderModel) {
    const testing::CommonDenominatorPlant plant(0);
    const SubspaceEstimate subspace(plant.Inputs, plant.Y, plant.Rows);
    ASSERT_EQ(subspace.OrderLimit(), 8);
    EXPECT_EQ(subspace.BestOrder(1e-6), 2);
    const std::optional<LinearModel> fitted = subspace.Fit(2);
    ASSERT_TRUE(fitted);
    for (std::size_t k = 0; k < 2; ++k) {
        const LinearModel::Input& found = fitted->Inputs[k];
        const LinearModel::Input& truth = plant.Truth.Inputs[k];
        EXPECT_EQ(found.Delay, 0);
        ASSERT_EQ(found.Numerator().size(), 2u);
        ASSERT_EQ(found.Denominator().size(), 3u);
        for (std::size_t j = 0; j < 2; ++j)
            EXPECT_NEAR(found.Numerator()[j], truth.Numerator()[j], 1e-9);
        for (std::size_t j = 0; j < 3; ++j)
            EXPECT_NEAR(found.Denominator()[j], truth.Denominator()[j], 1e-9);
    }
}

} // namespace
} // namespace orvanel
