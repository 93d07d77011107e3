#include "engine/linear/ColumnOffsets.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <vector>

namespace orvanel {
namespace {

using ::testing::ElementsAre;

TEST(ColumnOffsets, TakesTheMeansOfTheEstimationRowsOutAndAddsTheOutputsBack) {
    std::vector<std::vector<double>> columns{{1, 3, 100}, {-2, -4, 7}, {98, 100, 0}};
    const ColumnOffsets offsets = ColumnOffsets::Measure(columns, 2);
    EXPECT_THAT(offsets.Means(), ElementsAre(2.0, -3.0, 99.0));
    offsets.Remove(columns);
    EXPECT_THAT(columns[0], ElementsAre(-1.0, 1.0, 98.0));
    EXPECT_THAT(columns[1], ElementsAre(1.0, -1.0, 10.0));
    EXPECT_THAT(columns[2], ElementsAre(-1.0, 1.0, -99.0));
    std::vector<double> computed{0.5, -0.5};
    offsets.AddToOutput(computed);
    EXPECT_THAT(computed, ElementsAre(99.5, 98.5));

    EXPECT_THAT(ColumnOffsets::Measure(columns, 0).Means(), ElementsAre(0.0, 0.0, 0.0));
    EXPECT_EQ(ColumnOffsets().OutputMean(), 0.0);
}

} // namespace
} // namespace orvanel
