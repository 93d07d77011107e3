// The numbers of a document's table, as a run hands them to the engine.
#pragma once

#include "document/table/DocumentError.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvanel {

class DataTable;
class TGenetico;

// A cell of the table that is not a number. what() is InputDataMessage followed by the cell and
// its text, "Row 2, column 3: \"1..5\" is not a number." or "Row 2, column 3 is empty.", so that
// the user can find it.
class BadCellError : public DocumentError {
public:
    static constexpr const char* InputDataMessage =
        "Input data could not be understood. Execution cancelled.";

    // A cell whose text `cell` is no number, or that is empty.
    static BadCellError NotANumber(int row, int column, std::string_view cell);
    // A data row whose cells are all empty, "Row 2 is empty."; the cell is its first one.
    static BadCellError EmptyRow(int row);
    // A row with another number of cells than the rows before it, "Row 101 has 4 cells where
    // row 1 has 3."; the cell is the first one the shorter row lacks.
    static BadCellError UnevenRow(int row, int cells, int firstRowCells, int column);

    // The cell in the table's coordinates: data row from 1, column from 1 (Input 1).
    int Row;
    int Column;

private:
    BadCellError(int row, int column, const std::string& detail);
};

// The input and output columns of every data row of a table, read as numbers.
class TableSamples {
public:
    // Reads the cells of columns 1..InputCount()+1 of rows 1..DataPointCount() as decimal
    // numbers with the given separator. Throws BadCellError for the first cell, row by row,
    // that is not a number (an empty cell is none).
    static TableSamples FromTable(const DataTable& table, char decimalSeparator = '.');
    // The samples of input columns and an output column, all of the output's length.
    static TableSamples FromColumns(const std::vector<std::vector<double>>& inputs,
                                    const std::vector<double>& output);

    int Inputs() const { return inputs; }
    int Samples() const { return samples; }
    // The values of a sample (from 0): the inputs, then the output.
    std::span<const double> Row(int sample) const;

    // The run driver's data hand-over: SetDataSize, SetDataRow for every row in order, then
    // SetInputCount.
    void HandTo(TGenetico& engine) const;

    // The same rows, value for value.
    bool operator==(const TableSamples& other) const = default;

private:
    int inputs = 0;
    int samples = 0;
    // Row-major, inputs + 1 values per sample.
    std::vector<double> values;
};

} // namespace orvanel
