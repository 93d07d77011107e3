#include "cli/ProgressDisplay.h"

#include <gtest/gtest.h>

namespace orvanel {
namespace {

TEST(ProgressDisplay, TheBarFillsWithoutOverflowForAnyGenerationCount) {
    EXPECT_EQ(ProgressDisplay::FilledCells(50, 100), 15);
    EXPECT_EQ(ProgressDisplay::FilledCells(75'000'000, 100'000'000), 22);
    EXPECT_EQ(ProgressDisplay::FilledCells(2'147'483'647, 2'147'483'647), 30);
    EXPECT_EQ(ProgressDisplay::FilledCells(2'147'483'646, 2'147'483'647), 29);
}

} // namespace
} // namespace orvanel
