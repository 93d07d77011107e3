// Feeds arbitrary bytes to the table paste and to the document load path (decoding, then any
// line ends), checking that a failure leaves the table as it was and that a parsed table's data
// rows read back as the same cells.
#include "document/table/DataTable.h"
#include "document/table/DocumentError.h"
#include "document/table/TableText.h"
#include "document/table/TextEncoding.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace orvanel;

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

// A table that already holds cells, some of them hidden, as a paste target.
DataTable PasteTarget() {
    DataTable table;
    table.ReshapeColumns("3");
    table.ReshapeRows("4");
    table.SetCellText(1, 1, "1.5");
    table.SetCellText(4, 4, "-2");
    table.ReshapeRows("2");
    table.AddComputedColumn();
    return table;
}

void RequireReadsBackTheSame(const DataTable& table) {
    Require(table.InputCount() >= 1 && table.InputCount() <= DataTable::TypedInputsLimit);
    Require(table.DataPointCount() >= 1 && table.DataPointCount() <= DataTable::MaxDataPoints);
    const std::string rows = TableText::DataRowsText(table);
    DataTable copy;
    TableText::ParseTableText(copy, rows);
    Require(copy.InputCount() == table.InputCount());
    Require(copy.DataPointCount() == table.DataPointCount());
    Require(TableText::DataRowsText(copy) == rows);
}

void ParseOrKeep(DataTable& table, std::string_view text, TableText::LineEnds lineEnds) {
    const std::string before = TableText::CopyTable(table);
    try {
        TableText::ParseTableText(table, text, lineEnds);
    } catch (const DocumentError&) {
        Require(TableText::CopyTable(table) == before);
        return;
    }
    RequireReadsBackTheSame(table);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    DataTable pasted = PasteTarget();
    ParseOrKeep(pasted, bytes, TableText::LineEnds::CrLfOnly);

    const std::string decoded = TextEncoding::DecodeText(bytes);
    Require(TextEncoding::IsValidUtf8(decoded));
    DataTable loaded;
    ParseOrKeep(loaded, decoded, TableText::LineEnds::AnyForm);
    return 0;
}
