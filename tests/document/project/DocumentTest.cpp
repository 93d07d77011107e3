#include "document/project/Document.h"

#include "document/formats/DataImport.h"
#include "document/formats/DelimitedSource.h"
#include "document/formats/DelimitedTable.h"
#include "document/table/DocumentError.h"
#include "document/table/TableText.h"
#include "support/TempFolder.h"

using orvanel::Document;
using orvanel::DocumentError;
using orvanel::TableText::CopyTable;

class DocumentFiles : public TempFolder {};

TEST_F(DocumentFiles, LoadingReadsAnyLineEndsAndNamesTheDocument) {
    WriteFile("Run1.TXT", "1\t2\t3\n4\t5\t6\n");
    Document document("New1");
    document.LoadDocument(PathOf("Run1.TXT"));
    EXPECT_EQ(document.Table().InputCount(), 2);
    EXPECT_EQ(document.Table().DataPointCount(), 2);
    EXPECT_EQ(document.Table().CellText(2, 3), "6");
    EXPECT_FALSE(document.Modified());
    EXPECT_EQ(document.Caption(), "run1.txt");
    EXPECT_EQ(document.DocumentPath(), PathOf("Run1.TXT"));
}

TEST_F(DocumentFiles, TheLastLineWithoutALineEndIsASample) {
    WriteFile("editor.txt", "1\t2\n3\t4");
    Document document("New1");
    document.LoadDocument(PathOf("editor.txt"));
    EXPECT_EQ(CopyTable(document.Table()), "\tInput 1\tOutput\r\n1\t1\t2\r\n2\t3\t4\r\n");
}

TEST_F(DocumentFiles, SavingFollowsTheNameRuleAndWritesTheDataRows) {
    WriteFile("one.txt", "0.5\r0.6\r");
    Document document("New1");
    document.LoadDocument(PathOf("one.txt"));
    document.Table().SetCellText(2, 2, "x");
    document.SaveDocument(PathOf("Run1.DAT"));
    EXPECT_EQ(ReadFile("Run1.txt"), "0.5\t\r\n0.6\tx\r\n");
    EXPECT_EQ(document.Caption(), "run1.dat");
    EXPECT_EQ(document.DocumentPath(), PathOf("Run1.DAT"));
    EXPECT_FALSE(document.Modified());
}

TEST_F(DocumentFiles, FailedSaveKeepsTheDocumentState) {
    Document document("New2");
    document.MarkModified();
    EXPECT_THROW(document.SaveDocument(PathOf("missing/a.txt")), DocumentError);
    EXPECT_TRUE(document.Modified());
    EXPECT_EQ(document.Caption(), "New2");
    EXPECT_EQ(document.DocumentPath(), "");
}

TEST_F(DocumentFiles, FailedLoadLeavesTheDocumentUntouched) {
    WriteFile("empty.txt", "");
    WriteFile("wide.txt", std::string(orvanel::DataTable::MaxDataColumns, '\t') + "\n");
    Document document("New1");
    document.Table().SetCellText(1, 1, "kept");
    for (const char* name : {"empty.txt", "wide.txt", "none.txt"}) {
        EXPECT_THROW(document.LoadDocument(PathOf(name)), DocumentError) << name;
        EXPECT_EQ(document.DocumentPath(), "");
        EXPECT_EQ(document.Caption(), "New1");
        EXPECT_EQ(CopyTable(document.Table()), "\tInput 1\tOutput\r\n1\tkept\t\r\n");
        EXPECT_TRUE(document.Modified());
    }
}

TEST(Document, PastesMarkTheDocumentModified) {
    Document pasted("New2");
    pasted.PasteTable("1\t2\r\n3\t4\r\n");
    EXPECT_EQ(pasted.Table().DataPointCount(), 2);
    EXPECT_TRUE(pasted.Modified());
    pasted.PasteTable("5\t6\n7\t8\n9\t10\n");
    EXPECT_EQ(CopyTable(pasted.Table()), "\tInput 1\tOutput\r\n1\t5\t6\r\n2\t7\t8\r\n3\t9\t10\r\n");
    Document failed("New3");
    EXPECT_THROW(failed.PasteTable("1\t2"), DocumentError);
    EXPECT_FALSE(failed.Modified());
}

namespace orvanel {
namespace {

// An imported file's time column is kept beside the grid by row: once rows move, writing it
// back would pair the times with other samples, so only the program's own format is written.
TEST_F(DocumentFiles, AnImportWhoseRowsMovedIsNotWrittenBackOverItsKeptColumns) {
    const std::string text = "time;valve;temp\n0;1,5;10\n1;2;11\n2;2,5;12\n";
    const DelimitedTable file = DelimitedTable::Parse(text, DelimitedFormat::Detect(text));
    const ImportedData data = DataImport::FromTable(file, ImportChoice{});
    Document document("New1");
    document.LoadImported(data, DelimitedSource::Of(file, data), PathOf("plant.csv"), '.');
    document.SaveDelimited(PathOf("same.csv"), '.');
    EXPECT_EQ(ReadFile("same.csv"), "time;valve;temp\n0;1,5;10\n1;2;11\n2;2,5;12\n");
    ASSERT_TRUE(document.Table().InsertRow(2));
    EXPECT_THROW(document.SaveDelimited(PathOf("moved.csv"), '.'), DocumentError);
    EXPECT_FALSE(std::filesystem::exists(PathOf("moved.csv")));
}

} // namespace
} // namespace orvanel
