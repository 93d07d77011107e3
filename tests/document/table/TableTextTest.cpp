#include "document/table/TableText.h"

#include "document/table/DocumentError.h"

#include <gtest/gtest.h>
#include <string>

using orvanel::DataTable;
using orvanel::DocumentError;
using namespace orvanel::TableText;

namespace {

DataTable Parsed(std::string_view text, LineEnds lineEnds = LineEnds::CrLfOnly) {
    DataTable table;
    ParseTableText(table, text, lineEnds);
    return table;
}

} // namespace

TEST(TableText, CopyOfANewDocumentIsTheWholeGrid) {
    DataTable table;
    table.SetCellText(1, 1, "2");
    table.SetCellText(1, 2, "3");
    EXPECT_EQ(CopyTable(table), "\tInput 1\tOutput\r\n1\t2\t3\r\n");
    table.AddComputedColumn();
    EXPECT_EQ(CopyTable(table), "\tInput 1\tOutput\tOutput (calc.)\r\n1\t2\t3\t\r\n");
}

TEST(TableText, DataRowsLeaveOutHeadersNumbersAndTheComputedColumn) {
    const DataTable table = Parsed("0.5\t1\t2.25\r\n0.6\t-1\t2.4\r\n");
    EXPECT_EQ(DataRowsText(table), "0.5\t1\t2.25\r\n0.6\t-1\t2.4\r\n");
    DataTable run = table;
    run.AddComputedColumn();
    run.SetComputedOutputs({"2.2", "2.3"});
    EXPECT_EQ(DataRowsText(run), DataRowsText(table));
}

TEST(TableText, PasteFillsRowsAndSetsTheCounts) {
    const DataTable table = Parsed("1\t2\r\n3\t4\r\n5\t6\r\n");
    EXPECT_EQ(table.InputCount(), 1);
    EXPECT_EQ(table.DataPointCount(), 3);
    EXPECT_EQ(CopyTable(table), "\tInput 1\tOutput\r\n1\t1\t2\r\n2\t3\t4\r\n3\t5\t6\r\n");
    EXPECT_TRUE(table.Modified());
}

TEST(TableText, NarrowPasteKeepsTheColumnsAndCellsItDoesNotReach) {
    DataTable table = Parsed("a\tb\tc\td\r\ne\tf\tg\th\r\n");
    ParseTableText(table, "1\t2\r\n");
    EXPECT_EQ(table.InputCount(), 3);
    EXPECT_EQ(DataRowsText(table), "1\t2\tc\td\r\n");
    table.ReshapeRows("2");
    EXPECT_EQ(DataRowsText(table), "1\t2\tc\td\r\ne\tf\tg\th\r\n");
}

TEST(TableText, RaggedLinesTrailingTabsAndEmptyLinesComeBackRectangular) {
    EXPECT_EQ(DataRowsText(Parsed("1\r\n2\r\n")), "1\t\r\n2\t\r\n");
    EXPECT_EQ(DataRowsText(Parsed("1\t2\t3\r\n4\r\n\r\n")), "1\t2\t3\r\n4\t\t\r\n\t\t\r\n");
    const DataTable trailing = Parsed("1\t2\t\r\n");
    EXPECT_EQ(trailing.InputCount(), 2);
    EXPECT_EQ(DataRowsText(trailing), "1\t2\t\r\n");
}

TEST(TableText, UnfinishedLastLineIsNotARowButItsTabEndedCellsAreKeptHidden) {
    DataTable table = Parsed("1\t2\r\n3\t4\t5");
    EXPECT_EQ(table.DataPointCount(), 1);
    EXPECT_EQ(table.InputCount(), 1);
    EXPECT_EQ(DataRowsText(table), "1\t2\r\n");
    table.ReshapeRows("2");
    EXPECT_EQ(DataRowsText(table), "1\t2\r\n3\t4\r\n");
}

TEST(TableText, AnyFormLineEndsReadAsCrLf) {
    const std::string expected = "1\t2\r\n3\t4\r\n";
    for (const char* text : {"1\t2\n3\t4\n", "1\t2\r3\t4\r", "1\t2\r\n3\t4\n"})
        EXPECT_EQ(DataRowsText(Parsed(text, LineEnds::AnyForm)), expected) << text;
    EXPECT_EQ(Parsed("1\r\r\n2\r\n", LineEnds::AnyForm).DataPointCount(), 3);
}

TEST(TableText, FailedParseLeavesTheTableExactlyAsItWas) {
    DataTable table = Parsed("a\tb\r\nc\td\r\n");
    table.ReshapeRows("3");
    table.ClearModified();
    const std::string before = CopyTable(table);
    const std::string tooWide = std::string(DataTable::MaxDataColumns, '\t') + "\r\n";
    std::string tooLong;
    for (int i = 0; i <= DataTable::MaxDataPoints; ++i)
        tooLong += "\r\n";
    for (const std::string& text :
         {std::string(), std::string("1\t2"), std::string("1\t2\n3\t4\n"), std::string("1\n2\r\n"),
          std::string("1\r\n2\r\t"), tooWide, tooLong}) {
        EXPECT_THROW(ParseTableText(table, text), DocumentError);
        EXPECT_EQ(CopyTable(table), before);
        EXPECT_FALSE(table.Modified());
    }
}

TEST(TableText, WidestAcceptedLineFillsEveryInput) {
    const std::string widest = std::string(DataTable::MaxDataColumns - 1, '\t') + "\r\n";
    EXPECT_EQ(Parsed(widest).InputCount(), DataTable::MaxInputs);
}

TEST(TableText, PasteDropsTheComputedColumn) {
    DataTable table;
    table.AddComputedColumn();
    table.SetComputedOutputs({"9"});
    ParseTableText(table, "1\t2\r\n");
    EXPECT_FALSE(table.HasComputedColumn());
    EXPECT_EQ(table.ColumnCount(), 3);
    table.ReshapeColumns("2");
    EXPECT_EQ(DataRowsText(table), "1\t2\t\r\n");
}

TEST(TableText, DataRowsReadBackAsTheSameCells) {
    DataTable table;
    table.ReshapeColumns("3");
    table.ReshapeRows("3");
    table.SetCellText(1, 1, "1E-5");
    table.SetCellText(2, 4, "text with spaces");
    table.SetCellText(3, 2, std::string("nul\0byte", 8));
    const DataTable copy = Parsed(DataRowsText(table));
    EXPECT_EQ(CopyTable(copy), CopyTable(table));
}

TEST(TableText, CellPasteTakesTheTextBeforeTheFirstSeparator) {
    EXPECT_EQ(CellPasteText("1.5\t2"), "1.5");
    EXPECT_EQ(CellPasteText("a\r\nb"), "a");
    EXPECT_EQ(CellPasteText("a\nb"), "a");
    EXPECT_EQ(CellPasteText("plain"), "plain");
}
