#include "document/table/TableText.h"

#include "document/table/DocumentError.h"

#include <algorithm>
#include <vector>

namespace orvanel::TableText {
namespace {

// The lines of a table text, as views into it, and what its widest line needs.
struct ScannedText {
    std::vector<std::string_view> lines;
    std::string_view partialLine;
    int columns = 0;
};

[[noreturn]] void Fail(const char* message) {
    throw DocumentError(message);
}

void CheckFieldCount(int tabs) {
    if (tabs >= DataTable::MaxDataColumns)
        Fail("A line has more cells than the table can hold");
}

// Length of the line end starting at text[i]: 2 for CR LF, 1 for a CR or LF alone when such
// ends a line, 0 otherwise.
std::size_t LineEndLength(std::string_view text, std::size_t i, LineEnds lineEnds) {
    const char c = text[i];
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
        return 2;
    const bool lone = c == '\r' || c == '\n';
    return lone && lineEnds == LineEnds::AnyForm ? 1 : 0;
}

ScannedText ScanLines(std::string_view text, LineEnds lineEnds) {
    ScannedText scanned;
    std::size_t lineStart = 0;
    int tabs = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\t') {
            CheckFieldCount(++tabs);
            continue;
        }
        const std::size_t lineEnd = LineEndLength(text, i, lineEnds);
        if (lineEnd == 0)
            continue;
        if (scanned.lines.size() == static_cast<std::size_t>(DataTable::MaxDataPoints))
            Fail("The text has more lines than the table can hold");
        scanned.lines.push_back(text.substr(lineStart, i - lineStart));
        scanned.columns = std::max(scanned.columns, tabs + 2);
        tabs = 0;
        i += lineEnd - 1;
        lineStart = i + 1;
    }
    const std::string_view rest = text.substr(lineStart);
    scanned.partialLine = rest.substr(0, rest.rfind('\t') + 1);
    scanned.columns = std::max(scanned.columns, tabs + 1);
    return scanned;
}

} // namespace

void ParseTableText(DataTable& table, std::string_view text, LineEnds lineEnds) {
    const ScannedText scanned = ScanLines(text, lineEnds);
    if (scanned.lines.empty())
        Fail("The text holds no complete line");
    table.ReplaceRows(scanned.lines, scanned.partialLine, scanned.columns);
}

std::string CopyTable(const DataTable& table) {
    std::string text;
    const int lastColumn = table.ColumnCount() - 1;
    for (int column = 0; column <= lastColumn; ++column) {
        if (column > 0)
            text += '\t';
        text += table.CellText(0, column);
    }
    text += "\r\n";
    for (int row = 1; row < table.RowCount(); ++row) {
        text += table.CellText(row, 0);
        text += '\t';
        table.AppendRowCells(row, lastColumn, text);
        text += "\r\n";
    }
    return text;
}

std::string DataRowsText(const DataTable& table) {
    std::string text;
    const int outputColumn = table.InputCount() + 1;
    for (int row = 1; row < table.RowCount(); ++row) {
        table.AppendRowCells(row, outputColumn, text);
        text += "\r\n";
    }
    return text;
}

std::string_view CellPasteText(std::string_view clipboardText) {
    return clipboardText.substr(0, clipboardText.find_first_of("\t\r\n"));
}

} // namespace orvanel::TableText
