#include "document/table/TableSamples.h"

#include "document/table/DataTable.h"
#include "document/table/TableText.h"
#include "engine/search/Genetico.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace orvanel {
namespace {

using ::testing::ElementsAre;

TableSamples FromFileText(std::string_view text, char separator = '.') {
    DataTable table;
    TableText::ParseTableText(table, text, TableText::LineEnds::AnyForm);
    return TableSamples::FromTable(table, separator);
}

std::string Refusal(std::string_view text) {
    try {
        FromFileText(text);
    } catch (const BadCellError& error) {
        return std::to_string(error.Row) + "," + std::to_string(error.Column) + " " + error.what();
    }
    return "no error";
}

TEST(TableSamples, ReadsTheInputsThenTheOutputOfEveryRow) {
    const TableSamples samples = FromFileText("1\t2\t3\r\n4\t5\t6\n-0.5\t1.5890000e+01\t+3\r");
    EXPECT_EQ(samples.Inputs(), 2);
    EXPECT_EQ(samples.Samples(), 3);
    EXPECT_THAT(samples.Row(0), ElementsAre(1, 2, 3));
    EXPECT_THAT(samples.Row(2), ElementsAre(-0.5, 15.89, 3.0));
    EXPECT_THAT(FromFileText("0,25\t1\r\n", ',').Row(0), ElementsAre(0.25, 1.0));
}

TEST(TableSamples, HandsTheRowsToTheEngineInputsFirst) {
    TGenetico engine(0);
    FromFileText("1\t2\t3\r\n4\t5\t6\r\n7\t8\t9\r\n").HandTo(engine);
    EXPECT_EQ(engine.InputCount(), 2);
    EXPECT_THAT(engine.DataColumn(0), ElementsAre(1, 4, 7));
    EXPECT_THAT(engine.DataColumn(1), ElementsAre(2, 5, 8));
    EXPECT_THAT(engine.DataColumn(2), ElementsAre(3, 6, 9));
}

TEST(TableSamples, NamesTheFirstCellThatIsNotANumber) {
    const std::string message = "Input data could not be understood. Execution cancelled. ";
    EXPECT_EQ(Refusal("1\t2\r\n3\t4,5\r\n6\tx\r\n"),
              "2,2 " + message + "Row 2, column 2: \"4,5\" is not a number.");
    // The widest line sets the columns; shorter lines have empty cells.
    EXPECT_EQ(Refusal("1\t2\t3\r\n4\t5\r\n"), "2,3 " + message + "Row 2, column 3 is empty.");
    // A single field per line leaves the output column empty.
    EXPECT_EQ(Refusal("1\r\n2\r\n"), "1,2 " + message + "Row 1, column 2 is empty.");
    // CR CR LF is a line, then an empty line.
    EXPECT_EQ(Refusal("1\t2\r\r\n"), "2,1 " + message + "Row 2 is empty.");
    EXPECT_EQ(Refusal("1\t2\r\n\t\r\n"), "2,1 " + message + "Row 2 is empty.");
    EXPECT_EQ(Refusal("1\t2 \r\n"), "1,2 " + message + "Row 1, column 2: \"2 \" is not a number.");
}

} // namespace
} // namespace orvanel
