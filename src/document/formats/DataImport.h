// A plant's data file read into the samples of a run: the program's own tables and delimited
// files with names and a time column.
#pragma once

#include "document/formats/DelimitedFormat.h"
#include "document/table/DocumentError.h"
#include "document/table/TableSamples.h"

#include <optional>
#include <string>
#include <vector>

namespace orvanel {

class DelimitedTable;
class MatTable;

// A delimited file that cannot be read as the user asked: the text names the line and column.
class ImportError : public DocumentError {
public:
    using DocumentError::DocumentError;
};

// What the user asks of a delimited file; every field unset takes what the file suggests.
struct ImportChoice {
    std::optional<DelimitedFormat::Delimiter> Delimiter;
    std::optional<char> Decimal;
    std::optional<bool> Header;
    // Columns by name or by number from 1. Output empty: the last one that is not the time.
    // Inputs empty: every other one. Time empty: a column named "time", "t" or "timestamp",
    // or else the first when it rises strictly and evenly; "none": no time column.
    std::string Output;
    std::vector<std::string> Inputs;
    std::string Time;
    // Cells that are no number taken by linear interpolation between their neighbours.
    bool FillMissing = false;

    // Whether anything asks for the delimited reader rather than the program's own.
    bool AnySet() const;
};

// The samples of a run with what the file said of them.
struct ImportedData {
    TableSamples Samples;
    std::vector<std::string> InputNames;
    std::string OutputName;
    // From the time column, in its units (seconds for date-times).
    std::optional<double> SampleTime;
    // Cells filled by interpolation.
    int FilledCells = 0;
    // Whether the file was read as a delimited one rather than in the program's own format.
    bool Delimited = false;
    // The file's columns (from 0) that gave the inputs, the output and the time, for a delimited
    // or MATLAB file.
    std::vector<int> InputColumns;
    int OutputColumn = -1;
    std::optional<int> TimeColumn;
};

namespace DataImport {

// The file's samples. A file in the program's own format (TAB, ".", no header) with no choice
// set is read exactly as a document is, with its errors (DocumentError, BadCellError); a
// ".csv" or ".tsv" file, any choice set, or a file whose own-format reading fails while it
// looks delimited, through DelimitedTable, whose refusals are ImportError naming the line and
// column.
ImportedData Read(const std::string& path, const ImportChoice& choice = {});
// The same for a delimited text already read.
ImportedData FromDelimited(std::string text, const ImportChoice& choice);
// The same for a table already split, whose format the choice's delimiter, decimal mark and
// header no longer change: what an import preview shows is what this loads.
ImportedData FromTable(const DelimitedTable& table, const ImportChoice& choice);
ImportedData FromTable(const MatTable& table, const ImportChoice& choice);
// The columns' roles the table suggests (InputColumns, OutputColumn, TimeColumn and the sample
// time set, no samples read), so that a dialog can start from them even when a cell is no
// number. Throws ImportError when the table suggests none.
ImportedData SuggestRoles(const DelimitedTable& table);
// The format a delimited text is read with: what its first lines suggest, overridden by the
// choice. Throws ImportError for a decimal comma with the comma as delimiter.
DelimitedFormat FormatFor(std::string_view text, const ImportChoice& choice);

} // namespace DataImport

} // namespace orvanel
