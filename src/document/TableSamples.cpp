#include "document/TableSamples.h"

#include "document/DataTable.h"
#include "engine/Genetico.h"
#include "model/NumberText.h"

#include <string>

namespace orvanel {

BadCellError::BadCellError(int row, int column)
    : DocumentError(std::string(InputDataMessage) + " Row " + std::to_string(row) + ", column " +
                    std::to_string(column) + " is not a number."),
      Row(row), Column(column) {}

TableSamples TableSamples::FromTable(const DataTable& table, char decimalSeparator) {
    TableSamples result;
    result.inputs = table.InputCount();
    result.samples = table.DataPointCount();
    const int columns = result.inputs + 1;
    result.values.reserve(static_cast<std::size_t>(columns) *
                          static_cast<std::size_t>(result.samples));
    for (int r = 1; r <= result.samples; ++r) {
        for (int c = 1; c <= columns; ++c) {
            const std::optional<double> value = ParseNumber(table.DataCell(r, c), decimalSeparator);
            if (!value)
                throw BadCellError(r, c);
            result.values.push_back(*value);
        }
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
