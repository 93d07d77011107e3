#include "engine/estimators/StructureSearch.h"

#include "support/CommonDenominatorPlant.h"

#include <gtest/gtest.h>

namespace orvanel {
namespace {

// 0.5 / (z^5 (z - 0.9)): a first-order plant with a dead time of five samples, found from a
// start without delay one sample a pass.
TEST(StructureSearch, TakesTheSamplesOfDelayThatLowerErrorPlusPenalty) {
    const std::size_t rows = 400;
    const std::vector<double> u = testing::HeldLevels(3, rows);
    const std::vector<std::span<const double>> inputs{u};
    const LinearModel truth{{LinearModel::Input{0.5, {}, {{false, 0.9, 0.0, 0.0}}, 5}}};
    const std::vector<double> y = truth.Simulate(inputs, rows);
    LinearModel start = truth;
    start.Inputs[0].Delay = 0;
    const Refinement refinement(inputs, y, rows);
    const Refinement::Result refined = refinement.Refine(start);
    ASSERT_GT(refined.Error, 1.0);
    const Refinement::Result grown = StructureSearch(inputs, y, rows).Grow(refined, 1e-3);
    ASSERT_EQ(grown.Model.Inputs[0].Delay, 5);
    ASSERT_EQ(grown.Model.Inputs[0].Poles.size(), 1u);
    EXPECT_TRUE(grown.Model.Inputs[0].Zeros.empty());
    EXPECT_NEAR(grown.Model.Inputs[0].Gain, 0.5, 1e-6);
    EXPECT_NEAR(grown.Model.Inputs[0].Poles[0].Root, 0.9, 1e-6);
    EXPECT_LT(grown.Error, 1e-12);
}

} // namespace
} // namespace orvanel
