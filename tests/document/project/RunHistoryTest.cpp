#include "document/project/RunHistory.h"

#include <gtest/gtest.h>

namespace orvanel {
namespace {

std::vector<std::string> Names(const RunHistory& history) {
    std::vector<std::string> names;
    for (const KeptModel& model : history.Models())
        names.push_back(model.Name);
    return names;
}

TEST(RunHistoryTest, TwoRunsARenameAndRemovalsKeepAChosenEntryAndCountAsUnsaved) {
    RunHistory history;
    history.Add({});
    EXPECT_TRUE(history.Unsaved());
    history.MarkSaved();
    const int secondId = history.Add({}).Id;
    EXPECT_EQ(Names(history), (std::vector<std::string>{"Run 1", "Run 2"}));
    EXPECT_EQ(history.Chosen(), 1u);
    EXPECT_EQ(history.ChosenModel()->Id, secondId);
    EXPECT_TRUE(history.Unsaved());

    history.MarkSaved();
    history.Choose(0);
    history.SetOverlaid(1, true);
    EXPECT_FALSE(history.Unsaved());
    history.Rename(0, "Run 1");
    history.Rename(0, "");
    EXPECT_FALSE(history.Unsaved());
    history.Rename(0, "first");
    EXPECT_TRUE(history.Unsaved());

    // Removing an entry before the chosen one keeps the same model chosen.
    history.Add({});
    history.Choose(1);
    history.Remove(0);
    EXPECT_EQ(Names(history), (std::vector<std::string>{"Run 2", "Run 3"}));
    EXPECT_EQ(history.ChosenModel()->Id, secondId);
    // Removing the chosen one chooses the last left; the numbers go on from the highest.
    history.Remove(0);
    EXPECT_EQ(history.Chosen(), 0u);
    history.Remove(5);
    KeptModel named;
    named.Name = "Run 7";
    history.Add(named);
    history.Add({});
    EXPECT_EQ(Names(history), (std::vector<std::string>{"Run 3", "Run 7", "Run 8"}));
    history.Remove(0);
    history.Remove(0);
    history.Remove(0);
    EXPECT_TRUE(history.Empty());
    EXPECT_EQ(history.ChosenModel(), nullptr);
}

} // namespace
} // namespace orvanel
