// The layout of a delimited file a document came from, kept so that saving writes it back.
#pragma once

#include "document/formats/DelimitedFormat.h"

#include <string>
#include <vector>

namespace orvanel {

class DataTable;
class DelimitedTable;
struct ImportedData;

// A delimited file's format, its columns' names and roles, and the texts of the columns the
// grid does not show (the time and the ignored ones): what a save needs to write back every
// column that was read.
struct DelimitedSource {
    DelimitedFormat Format;
    // Every column of the file, in its order.
    std::vector<std::string> Names;
    // The file column of each input, and of the output.
    std::vector<int> InputColumns;
    int OutputColumn = 0;
    // Per file column, its texts row by row; empty for the input and output columns, whose
    // texts come from the grid.
    std::vector<std::vector<std::string>> KeptCells;

    // The layout of `table` as `data` was read from it.
    static DelimitedSource Of(const DelimitedTable& table, const ImportedData& data);
    // A comma-separated layout with a header for a table that came from no such file: its
    // inputs and output, named as the grid's headers.
    static DelimitedSource For(const DataTable& table);

    // The file's text for the table's data rows: the header when the format has one, then one
    // line per row with the grid's numbers (written with `gridDecimal`) in the format's decimal
    // mark and the kept texts of the other columns (empty past their last row). Throws
    // DocumentError when the grid no longer has the inputs the file had.
    std::string Text(const DataTable& table, char gridDecimal) const;
};

} // namespace orvanel
