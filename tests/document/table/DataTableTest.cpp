#include "document/table/DataTable.h"

#include "document/table/TableObserver.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using orvanel::DataTable;

namespace {

// Column 1 of rows 1..n holds "r1".."rn".
DataTable TableWithRows(int n) {
    DataTable table;
    table.ReshapeRows(std::to_string(n));
    for (int row = 1; row <= n; ++row)
        table.SetCellText(row, 1, "r" + std::to_string(row));
    table.ClearModified();
    return table;
}

std::vector<std::string> Column(const DataTable& table, int column) {
    std::vector<std::string> texts;
    for (int row = 0; row < table.RowCount(); ++row)
        texts.push_back(table.CellText(row, column));
    return texts;
}

using Texts = std::vector<std::string>;

} // namespace

TEST(DataTable, NewTableHasOneInputAndOneEmptyRow) {
    const DataTable table;
    EXPECT_EQ(table.RowCount(), 2);
    EXPECT_EQ(table.ColumnCount(), 3);
    EXPECT_EQ((Texts{"", "Input 1", "Output", ""}),
              (Texts{table.CellText(0, 0), table.CellText(0, 1), table.CellText(0, 2),
                     table.CellText(0, 3)}));
    EXPECT_EQ(Column(table, 0), (Texts{"", "1"}));
    EXPECT_FALSE(table.Modified());
}

TEST(DataTable, ReshapingColumnsRelabelsCellsWithoutMovingThem) {
    DataTable table;
    table.SetCellText(1, 1, "in");
    table.SetCellText(1, 2, "out");
    ASSERT_TRUE(table.ReshapeColumns("3"));
    EXPECT_EQ(table.ColumnCount(), 5);
    EXPECT_EQ(table.CellText(0, 3), "Input 3");
    EXPECT_EQ(table.CellText(0, 4), "Output");
    EXPECT_EQ(table.CellText(1, 2), "out");
    EXPECT_EQ(table.CellText(1, 4), "");
    table.SetCellText(1, 4, "hidden later");
    ASSERT_TRUE(table.ReshapeColumns("1"));
    EXPECT_EQ(table.CellText(1, 2), "out");
    EXPECT_EQ(table.CellText(1, 4), "");
    ASSERT_TRUE(table.ReshapeColumns("3"));
    EXPECT_EQ(table.CellText(1, 4), "hidden later");
}

TEST(DataTable, RowsTypedPastTheEndShowHiddenTextAndEmptyRows) {
    DataTable table = TableWithRows(10);
    for (const char* typed : {"1", "15"})
        table.ReshapeRows(typed);
    EXPECT_EQ(table.DataPointCount(), 15);
    EXPECT_EQ(table.CellText(10, 1), "r10");
    EXPECT_EQ(table.CellText(11, 1), "");
    EXPECT_EQ(table.CellText(15, 0), "15");
    EXPECT_TRUE(table.Modified());
}

TEST(DataTable, CountTextsThatAreNotIntegersChangeNothingAndOthersAreBounded) {
    DataTable table = TableWithRows(3);
    for (const char* text : {"", "-", "+", "abc", "2x", " 2", "1234567890"}) {
        EXPECT_FALSE(table.ReshapeRows(text)) << text;
        EXPECT_FALSE(table.ReshapeColumns(text)) << text;
    }
    EXPECT_EQ(table.DataPointCount(), 3);
    EXPECT_FALSE(table.Modified());
    table.ReshapeRows("0");
    EXPECT_EQ(table.DataPointCount(), 1);
    table.ReshapeRows("99999999");
    EXPECT_EQ(table.DataPointCount(), DataTable::TypedDataPointsLimit);
    table.ReshapeColumns("60");
    EXPECT_EQ(table.ColumnCount(), 62);
    table.ReshapeColumns("-4");
    EXPECT_EQ(table.InputCount(), 1);
}

TEST(DataTable, InsertRowPutsAnEmptyRowAtTheCurrentRow) {
    DataTable table = TableWithRows(5);
    ASSERT_TRUE(table.InsertRow(3));
    EXPECT_EQ(Column(table, 1), (Texts{"Input 1", "r1", "r2", "", "r3", "r4", "r5"}));
    EXPECT_EQ(table.CellText(6, 0), "6");
    EXPECT_TRUE(table.Modified());
    EXPECT_FALSE(table.InsertRow(0));
    EXPECT_FALSE(table.InsertRow(8));
}

TEST(DataTable, InsertRowOverwritesOnlyTheFirstHiddenRow) {
    DataTable table = TableWithRows(6);
    table.ReshapeRows("4");
    table.InsertRow(2);
    table.ReshapeRows("6");
    EXPECT_EQ(Column(table, 1), (Texts{"Input 1", "r1", "", "r2", "r3", "r4", "r6"}));
}

TEST(DataTable, DeleteRowMovesTheRowsBelowUp) {
    DataTable table = TableWithRows(5);
    ASSERT_TRUE(table.DeleteRow(5));
    EXPECT_EQ(Column(table, 1), (Texts{"Input 1", "r1", "r2", "r3", "r4"}));
    ASSERT_TRUE(table.DeleteRow(2));
    EXPECT_EQ(Column(table, 1), (Texts{"Input 1", "r1", "r3", "r4"}));
    EXPECT_EQ(Column(table, 0), (Texts{"", "1", "2", "3"}));
    EXPECT_FALSE(table.DeleteRow(4));
}

TEST(DataTable, DeletingTheOnlyRowEmptiesIt) {
    DataTable table = TableWithRows(1);
    table.SetCellText(1, 2, "y");
    ASSERT_TRUE(table.DeleteRow(1));
    EXPECT_EQ(table.DataPointCount(), 1);
    EXPECT_EQ(table.CellText(1, 1), "");
    EXPECT_EQ(table.CellText(1, 2), "");
    EXPECT_EQ(table.CellText(1, 0), "1");
}

TEST(DataTable, DeleteRowsLeavesWhatOneDeletionAfterAnotherLeaves) {
    for (const auto& [first, last] :
         std::vector<std::pair<int, int>>{{1, 1}, {2, 4}, {5, 6}, {1, 5}, {1, 6}, {3, 6}}) {
        // Six rows shown, two more hidden, row 6 with a second cell.
        DataTable bulk = TableWithRows(8);
        bulk.SetCellText(6, 2, "o6");
        bulk.ReshapeRows("6");
        DataTable oneByOne = bulk;
        ASSERT_TRUE(bulk.DeleteRows(first, last));
        for (int row = first; row <= last; ++row)
            oneByOne.DeleteRow(first);
        EXPECT_EQ(bulk.DataPointCount(), oneByOne.DataPointCount());
        EXPECT_TRUE(bulk.Modified());
        bulk.ReshapeRows("8");
        oneByOne.ReshapeRows("8");
        EXPECT_EQ(Column(bulk, 1), Column(oneByOne, 1)) << first << ".." << last;
        EXPECT_EQ(Column(bulk, 2), Column(oneByOne, 2)) << first << ".." << last;
    }
    DataTable table = TableWithRows(3);
    EXPECT_FALSE(table.DeleteRows(2, 4));
    EXPECT_FALSE(table.DeleteRows(3, 2));
    EXPECT_FALSE(table.DeleteRows(0, 1));
    EXPECT_EQ(table.DataPointCount(), 3);
    EXPECT_FALSE(table.Modified());
}

TEST(DataTable, InsertRowStopsAtTheDataPointRange) {
    DataTable table;
    table.ReshapeRows(std::to_string(DataTable::MaxDataPoints));
    EXPECT_FALSE(table.InsertRow(1));
    EXPECT_EQ(table.DataPointCount(), DataTable::MaxDataPoints);
}

TEST(DataTable, RefusedEditsChangeNothing) {
    DataTable table;
    for (const auto& [row, column] : {std::pair{0, 1}, {1, 0}, {2, 1}, {1, 3}, {-1, 1}})
        EXPECT_FALSE(table.SetCellText(row, column, "5"));
    for (const char* text : {"a\tb", "a\rb", "a\nb", "\r\n"})
        EXPECT_FALSE(table.SetCellText(1, 1, text));
    EXPECT_EQ(table.CellText(1, 1), "");
    EXPECT_EQ(table.CellText(0, 1), "Input 1");
    EXPECT_FALSE(table.Modified());
    EXPECT_TRUE(table.SetCellText(1, 1, ""));
    EXPECT_FALSE(table.Modified());
}

TEST(DataTable, KeyFilterAcceptsOnlyNumberCharacters) {
    DataTable table;
    std::string typed;
    for (const char32_t c : std::u32string(U"1.5e3+E,-\b\r\x1B ax\u00B5")) {
        if (table.FilterKey(c))
            typed += static_cast<char>(c);
    }
    EXPECT_EQ(typed, "1.5e3+E,-");
    EXPECT_TRUE(table.Modified());
    DataTable untouched;
    EXPECT_FALSE(untouched.FilterKey(U'\b'));
    EXPECT_FALSE(untouched.Modified());
}

TEST(DataTable, ComputedColumnIsAddedEmptyAndRemovedWithItsTexts) {
    DataTable table = TableWithRows(2);
    table.ReshapeColumns("2");
    table.SetCellText(1, 3, "hidden");
    table.ReshapeColumns("1");
    EXPECT_FALSE(table.SetComputedOutputs({"9"}));
    table.AddComputedColumn();
    table.ClearModified();
    EXPECT_EQ(table.ColumnCount(), 4);
    EXPECT_EQ(Column(table, 3), (Texts{"Output (calc.)", "", ""}));
    EXPECT_TRUE(table.SetComputedOutputs({"0.5", "0.25", "extra"}));
    EXPECT_EQ(Column(table, 3), (Texts{"Output (calc.)", "0.5", "0.25"}));
    EXPECT_FALSE(table.Modified());
    table.RemoveComputedColumn();
    table.ReshapeColumns("2");
    EXPECT_EQ(Column(table, 3), (Texts{"Output", "", ""}));
}

TEST(DataTable, ReshapingColumnsTurnsTheComputedColumnIntoAnOrdinaryOne) {
    DataTable table;
    table.AddComputedColumn();
    table.SetComputedOutputs({"7"});
    ASSERT_TRUE(table.ReshapeColumns("2"));
    EXPECT_FALSE(table.HasComputedColumn());
    EXPECT_EQ(table.CellText(0, 3), "Output");
    EXPECT_EQ(table.CellText(1, 3), "7");
}

namespace {

struct RecordingObserver : orvanel::TableObserver {
    std::vector<std::string> calls;
    void CellsChanged(int firstRow, int lastRow, int firstColumn, int lastColumn) override {
        calls.push_back("cells " + std::to_string(firstRow) + "-" + std::to_string(lastRow) + " " +
                        std::to_string(firstColumn) + "-" + std::to_string(lastColumn));
    }
    void TableAboutToReset() override { calls.push_back("about"); }
    void TableReset() override { calls.push_back("reset"); }
};

} // namespace

TEST(DataTable, ObserverHearsEveryChangeAndNothingElse) {
    DataTable table;
    RecordingObserver observer;
    table.SetObserver(&observer);
    table.SetCellText(1, 2, "x");
    table.SetCellText(0, 2, "refused");
    table.ReshapeRows("1");
    table.ReshapeRows("2");
    table.AddComputedColumn();
    table.SetComputedOutputs({"1", "2"});
    DataTable copy = table;
    copy.SetCellText(1, 1, "copy");
    EXPECT_EQ(observer.calls,
              (Texts{"cells 1-1 2-2", "about", "reset", "about", "reset", "cells 1-2 3-3"}));
}
