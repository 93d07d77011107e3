#include "cli/SampleFile.h"

#include "document/DataTable.h"
#include "document/TableText.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace orvanel {
namespace {

using ::testing::ElementsAre;

SampleTable FromFileText(std::string_view text) {
    DataTable table;
    TableText::ParseTableText(table, text, TableText::LineEnds::AnyForm);
    return SampleFile::FromTable(table);
}

std::string Refusal(std::string_view text) {
    try {
        FromFileText(text);
    } catch (const DataError& error) {
        return error.what();
    }
    return "no error";
}

TEST(SampleFile, ReadsEveryLineEndAndOnlyCompleteLines) {
    const SampleTable table = FromFileText("1\t2\t3\r\n4\t5\t6\n7\t8\t9\r10\t11\t12");
    EXPECT_EQ(table.Inputs, 2);
    EXPECT_EQ(table.Samples, 3);
    EXPECT_THAT(table.Values, ElementsAre(1, 2, 3, 4, 5, 6, 7, 8, 9));
    EXPECT_THAT(table.Row(1), ElementsAre(4, 5, 6));
}

TEST(SampleFile, ReadsNumbersWithAPointAndExponents) {
    const SampleTable table = FromFileText("-0.5\t1.5890000e+01\r\n.25\t+3\r\n");
    EXPECT_THAT(table.Values, ElementsAre(-0.5, 15.89, 0.25, 3.0));
}

TEST(SampleFile, NamesTheFirstCellThatIsNotANumber) {
    const std::string prefix = "Input data could not be understood. Execution cancelled. ";
    EXPECT_EQ(Refusal("1\t2\r\n3\t4,5\r\n6\tx\r\n"), prefix + "Row 2, column 2 is not a number.");
    // The widest line sets the columns; shorter lines have empty cells.
    EXPECT_EQ(Refusal("1\t2\t3\r\n4\t5\r\n"), prefix + "Row 2, column 3 is not a number.");
    // A single field per line leaves the output column empty.
    EXPECT_EQ(Refusal("1\r\n2\r\n"), prefix + "Row 1, column 2 is not a number.");
    // CR CR LF is a line, then an empty line.
    EXPECT_EQ(Refusal("1\t2\r\r\n"), prefix + "Row 2, column 1 is not a number.");
    EXPECT_EQ(Refusal("1\t2 \r\n"), prefix + "Row 1, column 2 is not a number.");
}

TEST(SampleFile, AFileThatCannotBeLoadedSaysWhy) {
    try {
        SampleFile::Read("/nonexistent/data.txt");
        FAIL() << "no error";
    } catch (const DataError& error) {
        EXPECT_STREQ(error.what(), "Error opening the file. Check its format. Cannot read file "
                                   "/nonexistent/data.txt");
    }
}

} // namespace
} // namespace orvanel
