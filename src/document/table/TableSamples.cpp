#include "document/table/TableSamples.h"

#include "document/table/DataTable.h"
#include "document/table/TextEncoding.h"
#include "engine/search/Genetico.h"
#include "model/NumberText.h"

#include <string>

namespace orvanel {

BadCellError BadCellError::NotANumber(int row, int column, std::string_view cell) {
    return BadCellError(row, column,
                        ", column " + std::to_string(column) +
                            (cell.empty()
                                 ? " is empty."
                                 : ": " + TextEncoding::Quoted(cell) + " is not a number."));
}

BadCellError BadCellError::EmptyRow(int row) {
    return BadCellError(row, 1, " is empty.");
}

BadCellError BadCellError::UnevenRow(int row, int cells, int firstRowCells, int column) {
    return BadCellError(row, column,
                        " has " + std::to_string(cells) + " cells where row 1 has " +
                            std::to_string(firstRowCells) + ".");
}

BadCellError::BadCellError(int row, int column, const std::string& detail)
    : DocumentError(std::string(InputDataMessage) + " Row " + std::to_string(row) + detail),
      Row(row), Column(column) {}

namespace {

// A first row short of cells because a later line has more than the others: that line set the
// table's width, and it is the one to name.
BadCellError CellError(const DataTable& table, int row, int column, std::string_view cell) {
    const int firstRowCells = table.StoredCellCount(1);
    if (row != 1 || column <= firstRowCells)
        return BadCellError::NotANumber(row, column, cell);
    for (int r = 2; r <= table.DataPointCount(); ++r) {
        const int cells = table.StoredCellCount(r);
        if (cells >= column)
            return BadCellError::UnevenRow(r, cells, firstRowCells, column);
    }
    return BadCellError::NotANumber(row, column, cell);
}

} // namespace

TableSamples TableSamples::FromTable(const DataTable& table, char decimalSeparator) {
    TableSamples result;
    result.inputs = table.InputCount();
    result.samples = table.DataPointCount();
    const int columns = result.inputs + 1;
    result.values.reserve(static_cast<std::size_t>(columns) *
                          static_cast<std::size_t>(result.samples));
    // Each row's cells are walked once, left to right: looking every cell up by its column
    // would scan the row from its start again for each of them.
    std::string cells;
    for (int r = 1; r <= result.samples; ++r) {
        cells.clear();
        table.AppendRowCells(r, columns, cells);
        // An empty line, such as the one between the CR and the CR LF of a doubled line end.
        if (cells.find_first_not_of('\t') == std::string::npos)
            throw BadCellError::EmptyRow(r);
        std::string_view rest = cells;
        for (int c = 1; c <= columns; ++c) {
            const std::size_t tab = rest.find('\t');
            const std::string_view cell = rest.substr(0, tab);
            const std::optional<double> value = ParseNumber(cell, decimalSeparator);
            if (!value)
                throw CellError(table, r, c, cell);
            result.values.push_back(*value);
            rest = tab == std::string_view::npos ? std::string_view() : rest.substr(tab + 1);
        }
    }
    return result;
}

TableSamples TableSamples::FromColumns(const std::vector<std::vector<double>>& inputs,
                                       const std::vector<double>& output) {
    TableSamples result;
    result.inputs = static_cast<int>(inputs.size());
    result.samples = static_cast<int>(output.size());
    result.values.reserve((inputs.size() + 1) * output.size());
    for (std::size_t r = 0; r < output.size(); ++r) {
        for (const std::vector<double>& input : inputs)
            result.values.push_back(input[r]);
        result.values.push_back(output[r]);
    }
    return result;
}

std::span<const double> TableSamples::Row(int sample) const {
    const auto width = static_cast<std::size_t>(inputs + 1);
    return std::span<const double>(values).subspan(static_cast<std::size_t>(sample) * width, width);
}

void TableSamples::HandTo(TGenetico& engine) const {
    engine.SetDataSize(inputs, samples);
    for (int r = 1; r <= samples; ++r)
        engine.SetDataRow(Row(r - 1), r);
    engine.SetInputCount(inputs);
}

} // namespace orvanel
