#include "cli/ProgressDisplay.h"

#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace orvanel {
namespace {

TEST(ProgressDisplay, TheBarFillsWithoutOverflowForAnyGenerationCount) {
    EXPECT_EQ(ProgressDisplay::FilledCells(50, 100), 15);
    EXPECT_EQ(ProgressDisplay::FilledCells(75'000'000, 100'000'000), 22);
    EXPECT_EQ(ProgressDisplay::FilledCells(2'147'483'647, 2'147'483'647), 30);
    EXPECT_EQ(ProgressDisplay::FilledCells(2'147'483'646, 2'147'483'647), 29);
}

std::string Written(bool terminal, const std::function<void(ProgressDisplay&)>& show) {
    std::FILE* file = std::tmpfile();
    ProgressDisplay display(file, terminal);
    show(display);
    std::rewind(file);
    std::string text;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file))
        text += static_cast<char>(c);
    std::fclose(file);
    return text;
}

TEST(ProgressDisplay, APhaseIsWrittenOnceWhateverHowOftenItIsShown) {
    const auto phases = [](ProgressDisplay& display) {
        display.ShowPhase("", 0, 0);
        display.ShowPhase("Restart 1 of 2", 0, 2);
        display.ShowPhase("Restart 1 of 2", 0, 2);
        display.ShowPhase("Restart 2 of 2", 1, 2);
        display.ShowPhase("Choosing the model on held-out rows", 0, 0);
        display.ShowPhase("Choosing the model on held-out rows", 0, 0);
        display.ShowPhase("Restart 2 of 2", 2, 2);
        display.Finish();
    };
    EXPECT_EQ(Written(false, phases), "Restart 1 of 2\nRestart 2 of 2\nChoosing the model on "
                                      "held-out rows\nRestart 2 of 2\n");
    EXPECT_EQ(Written(true, phases),
              "\rExecuting... Restart 1 of 2 [..............................]"
              "\rExecuting... Restart 2 of 2 [###############...............]"
              "\rExecuting... Choosing the model on held-out rows" +
                  std::string(12, ' ') + // over the longer bar
                  "\rExecuting... Restart 2 of 2 [##############################]\n");
}

} // namespace
} // namespace orvanel
