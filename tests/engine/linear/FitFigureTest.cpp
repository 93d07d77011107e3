#include "engine/linear/FitFigure.h"

#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace orvanel {
namespace {

TEST(FitFigure, ComparesTheResidualWithTheSpreadAroundTheMeanOverTheRows) {
    const std::vector<double> measured{1, 2, 3, 4, 5};
    EXPECT_EQ(FitFigure::Percent(measured, measured, 0, 5), 100.0);
    EXPECT_EQ(FitFigure::Percent(measured, std::vector<double>(5, 3.0), 0, 5), 0.0);
    EXPECT_DOUBLE_EQ(FitFigure::Percent(measured, std::vector<double>{1, 2, 3, 4, 8}, 0, 5),
                     100.0 * (1.0 - 3.0 / std::sqrt(10.0)));
    // Rows 3..4 only: mean 4.5, spread sqrt(0.5), residual 3.
    EXPECT_DOUBLE_EQ(FitFigure::Percent(measured, std::vector<double>{0, 0, 0, 4, 8}, 3, 99),
                     100.0 * (1.0 - 3.0 / std::sqrt(0.5)));
    EXPECT_TRUE(std::isnan(FitFigure::Percent(measured, measured, 2, 2)));
    EXPECT_TRUE(std::isnan(FitFigure::Percent(std::vector<double>(4, 7.0), measured, 0, 4)));
}

TEST(FitFigure, APooledFitTakesEachPartAroundItsOwnMean) {
    FitFigure pooled;
    EXPECT_TRUE(std::isnan(pooled.PooledPercent()));
    // Residuals 2 + 0 and deviations 2 + 2; around the mean of all four rows they would be 104.
    pooled.Add(std::vector<double>{0, 2}, std::vector<double>{1, 1});
    pooled.Add(std::vector<double>{10, 12}, std::vector<double>{10, 12});
    EXPECT_EQ(pooled.PooledPercent(), 100.0 * (1.0 - std::sqrt(2.0 / 4.0)));
}

} // namespace
} // namespace orvanel
