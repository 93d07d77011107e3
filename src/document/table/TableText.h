// The table text shared by the document file and the clipboard: one line per row, each ending
// with CR LF, cells joined by one TAB.
#pragma once

#include "document/table/DataTable.h"

#include <string>
#include <string_view>

namespace orvanel::TableText {

// Which line ends a text may use. With AnyForm, which the document file and the table paste
// read, CR LF, CR alone and LF alone each end a line; with CrLfOnly only CR LF does.
enum class LineEnds { CrLfOnly, AnyForm };

// Replaces the table's data rows by the complete lines of `text`: the first field of each line
// goes to column 1, the next to column 2 and so on; cells a line does not reach keep their text;
// the column count grows to the widest line and never shrinks; the computed column is dropped;
// the data point count becomes the number of lines. A final line without a line end does not
// become a row (the cells of it that end with a TAB go to the hidden row below). Marks the table
// modified. Throws DocumentError, leaving the table exactly as it was, when the text holds no
// complete line, a line of more than DataTable::MaxDataColumns fields, more than
// DataTable::MaxDataPoints lines, or (with CrLfOnly) a CR or LF that does not end a line.
void ParseTableText(DataTable& table, std::string_view text,
                    LineEnds lineEnds = LineEnds::CrLfOnly);

// The whole grid as text, header row and row-number column included, the computed column too.
std::string CopyTable(const DataTable& table);

// The data rows as a document file holds them: the input and output cells of rows
// 1..DataPointCount(), never the computed column.
std::string DataRowsText(const DataTable& table);

// The part of a clipboard text that the cell paste puts into one cell: everything before the
// first TAB, CR or LF.
std::string_view CellPasteText(std::string_view clipboardText);

} // namespace orvanel::TableText
